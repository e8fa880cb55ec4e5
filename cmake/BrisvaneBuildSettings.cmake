# Turns the organisation's cache variables into a generated header of constants.

foreach(setting BRISVANE_MAIL_DOMAIN_SUFFIX BRISVANE_LOOKUP_URL)
    # The values become C++ string literals: keep them to printable characters without quotes
    # or backslashes.
    if(NOT "${${setting}}" MATCHES "^[^\"\\\\\r\n\t]*$")
        message(FATAL_ERROR "${setting} must not hold quotes, backslashes or control characters")
    endif()
endforeach()
if(NOT BRISVANE_MAIL_DOMAIN_SUFFIX MATCHES "^@.+")
    message(FATAL_ERROR "BRISVANE_MAIL_DOMAIN_SUFFIX must be \"@\" followed by a domain")
endif()
if(NOT BRISVANE_LOOKUP_URL MATCHES "^https?://.+")
    message(FATAL_ERROR "BRISVANE_LOOKUP_URL must be an http:// or https:// address")
endif()

set(BRISVANE_GENERATED_DIR "${CMAKE_BINARY_DIR}/generated")
configure_file("${CMAKE_SOURCE_DIR}/mount/build_settings.h.in"
               "${BRISVANE_GENERATED_DIR}/mount/build_settings.h" @ONLY)
