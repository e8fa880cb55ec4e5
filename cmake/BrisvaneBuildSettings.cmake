# Turns the organisation's cache variables into a generated header of constants.

# The organisation's texts. The defaults are the texts of the organisation Brisvane was first
# built for, so a build that sets none of them shows exactly what it always showed.
set(BRISVANE_LOGON_DOMAIN "CAMPUS" CACHE STRING
    "Logon domain: before every member's user name, and shown in the Domain box")
set(BRISVANE_CREDENTIALS_CAPTION "University Credentials" CACHE STRING
    "Caption of the frame around the username and password boxes")
set(BRISVANE_ACCOUNT_NAME "Varnholt" CACHE STRING
    "Whose accounts the shares belong to, in the message for a page without the member's share")
set(BRISVANE_CONTACT "Tamsk" CACHE STRING
    "Whom members ask to update the program when the lookup page has changed")

# Writes <dir>/mount/build_settings.h for a program that asks the lookup page at `lookup_url`,
# removes `mail_domain_suffix` from typed usernames and maps shares only on `file_servers` (a
# list, passed quoted so that it stays one argument; empty: no list). The organisation's texts
# come from the cache variables above unless given as LOGON_DOMAIN, CREDENTIALS_CAPTION,
# ACCOUNT_NAME and CONTACT.
function(brisvane_write_build_settings dir lookup_url mail_domain_suffix file_servers)
    set(texts LOGON_DOMAIN CREDENTIALS_CAPTION ACCOUNT_NAME CONTACT)
    cmake_parse_arguments(PARSE_ARGV 4 arg "" "${texts}" "")
    foreach(text IN LISTS texts)
        if(NOT DEFINED arg_${text})
            set(arg_${text} "${BRISVANE_${text}}")
        endif()
        if(arg_${text} STREQUAL "")
            message(FATAL_ERROR "BRISVANE_${text} must not be empty")
        endif()
    endforeach()
    # The values become C++ string literals: keep them to printable characters without quotes
    # or backslashes.
    foreach(value IN ITEMS "${lookup_url}" "${mail_domain_suffix}" "${arg_LOGON_DOMAIN}"
                           "${arg_CREDENTIALS_CAPTION}" "${arg_ACCOUNT_NAME}" "${arg_CONTACT}")
        if(NOT "${value}" MATCHES "^[^\"\\\\\r\n\t]*$")
            message(FATAL_ERROR "\"${value}\": a setting must not hold quotes, backslashes or "
                                "control characters")
        endif()
    endforeach()
    if(NOT mail_domain_suffix MATCHES "^@.+")
        message(FATAL_ERROR "BRISVANE_MAIL_DOMAIN_SUFFIX must be \"@\" followed by a domain")
    endif()
    if(NOT lookup_url MATCHES "^https?://.+")
        message(FATAL_ERROR "BRISVANE_LOOKUP_URL must be an http:// or https:// address")
    endif()
    # The domain goes before a backslash in the user name, and typed usernames lose it ignoring
    # the case of ASCII letters only.
    if(NOT arg_LOGON_DOMAIN MATCHES "^[A-Za-z0-9]([A-Za-z0-9._-]*[A-Za-z0-9])?$")
        message(FATAL_ERROR "BRISVANE_LOGON_DOMAIN must be a domain name: ASCII letters, digits, "
                            "\".\", \"-\" and \"_\", starting and ending with a letter or digit")
    endif()
    # Host names, IP addresses or NetBIOS names, or "." and a domain.
    set(file_server_literals "")
    foreach(server IN LISTS file_servers)
        if(NOT server MATCHES "^\\.?[A-Za-z0-9_-]+(\\.[A-Za-z0-9_-]+)*$")
            message(FATAL_ERROR "BRISVANE_FILE_SERVERS: \"${server}\" is neither a server name "
                                "(letters, digits, hyphens and underscores, labels joined by "
                                "dots) nor \".\" and a domain")
        endif()
        list(APPEND file_server_literals "u\"${server}\"")
    endforeach()
    list(LENGTH file_server_literals BRISVANE_FILE_SERVER_COUNT)
    # The names that build_settings.h.in uses, in this function's scope only.
    set(BRISVANE_LOOKUP_URL "${lookup_url}")
    set(BRISVANE_MAIL_DOMAIN_SUFFIX "${mail_domain_suffix}")
    list(JOIN file_server_literals ", " BRISVANE_FILE_SERVER_LITERALS)
    foreach(text IN LISTS texts)
        set(BRISVANE_${text} "${arg_${text}}")
    endforeach()
    configure_file("${PROJECT_SOURCE_DIR}/mount/build_settings.h.in"
                   "${dir}/mount/build_settings.h" @ONLY)
endfunction()

set(BRISVANE_GENERATED_DIR "${CMAKE_BINARY_DIR}/generated")
brisvane_write_build_settings("${BRISVANE_GENERATED_DIR}" "${BRISVANE_LOOKUP_URL}"
                              "${BRISVANE_MAIL_DOMAIN_SUFFIX}" "${BRISVANE_FILE_SERVERS}")

# The product's settings with which someone else can send the member's password to a server of
# their own. A plain build may have them (a developer's needs no list); configuring warns once
# for each, and scripts/release.sh refuses them unless told otherwise. The demo's and the tests'
# organisations are not the product and are not warned about.
#
# Short names: a server without a dot, a domain of one label (".campus") or anything in
# ".local". Windows asks the member's network for such a name (LLMNR, NetBIOS, mDNS), and any
# machine there can answer to it and receive the log-on.
set(BRISVANE_SHORT_FILE_SERVERS "")
foreach(server IN LISTS BRISVANE_FILE_SERVERS)
    string(TOLOWER "${server}" name)
    string(REGEX REPLACE "^\\." "" name "${name}")
    if(NOT name MATCHES "\\." OR name MATCHES "\\.local$")
        list(APPEND BRISVANE_SHORT_FILE_SERVERS "${server}")
    endif()
endforeach()
if(NOT BRISVANE_LOOKUP_URL MATCHES "^https://")
    message(WARNING "BRISVANE_LOOKUP_URL is not https: whoever can answer the lookup request on "
                    "the member's network can answer in the page's place and name the share.")
endif()
if(BRISVANE_FILE_SERVERS STREQUAL "")
    message(WARNING "BRISVANE_FILE_SERVERS is empty: a lookup page that was answered or changed "
                    "by someone else can name any server, and Windows then offers it the "
                    "member's password.")
endif()
if(NOT BRISVANE_SHORT_FILE_SERVERS STREQUAL "")
    list(JOIN BRISVANE_SHORT_FILE_SERVERS " " short_names)
    message(WARNING "BRISVANE_FILE_SERVERS has short names (${short_names}): any machine on the "
                    "member's network can answer to them (LLMNR, NetBIOS, mDNS) and receive the "
                    "member's log-on. Give the servers' fully qualified names.")
endif()
