# Who hands Brisvane out, and under which licence: the MSI and winget name them
# (packaging/CMakeLists.txt), and so does the lookup service's Debian package, in its copyright
# file (packaging/debian/). The defaults are placeholders and say so; scripts/release.sh warns
# while any is left.
include_guard(GLOBAL)

set(BRISVANE_PUBLISHER "Placeholder Publisher (set BRISVANE_PUBLISHER)" CACHE STRING
    "The organisation that publishes Brisvane (Add/Remove Programs, winget, the .deb)")
set(BRISVANE_LICENSE "Placeholder licence (set BRISVANE_LICENSE)" CACHE STRING
    "The licence under which the organisation hands Brisvane out (winget, the .deb)")

foreach(name IN ITEMS BRISVANE_PUBLISHER BRISVANE_LICENSE)
    string(LENGTH "${${name}}" length)
    if(NOT "${${name}}" MATCHES "^[^\r\n\t]+$" OR length GREATER 256)
        message(FATAL_ERROR "${name} must be one line of text of at most 256 characters")
    endif()
endforeach()
string(LENGTH "${BRISVANE_PUBLISHER}" length)
if(length LESS 2)
    message(FATAL_ERROR "BRISVANE_PUBLISHER must be at least two characters long")
endif()
string(LENGTH "${BRISVANE_LICENSE}" length)
if(length LESS 3)
    message(FATAL_ERROR "BRISVANE_LICENSE must be at least three characters long")
endif()
