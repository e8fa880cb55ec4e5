# The organisation a program is built for: its settings (CMake cache variables), the function
# that writes a program's organisation, and this build's own, the product's.

# What an organisation sets when it builds the tool for its members. The texts' defaults are
# those of the organisation Brisvane was first built for, so a build that sets none of them shows
# exactly what it always showed.
set(BRISVANE_LOOKUP_URL "http://lookup.campus.example${BRISVANE_LOOKUP_PATH}" CACHE STRING
    "Address of the share lookup page")
set(BRISVANE_MAIL_DOMAIN_SUFFIX "@campus.example" CACHE STRING
    "\"@\" and the organisation's e-mail domain, removed from typed usernames")
set(BRISVANE_FILE_SERVERS "" CACHE STRING
    "The organisation's file servers (\".campus.example\": any in that domain); empty: no list")
set(BRISVANE_LOGON_DOMAIN "CAMPUS" CACHE STRING
    "Logon domain: before every member's user name, and shown in the Domain box")
set(BRISVANE_CREDENTIALS_CAPTION "University Credentials" CACHE STRING
    "Caption of the frame around the username and password boxes")
set(BRISVANE_ACCOUNT_NAME "Varnholt" CACHE STRING
    "Whose accounts the shares belong to, in the message for a page without the member's share")
set(BRISVANE_CONTACT "Tamsk" CACHE STRING
    "Whom members ask to update the program when the lookup page has changed")

# brisvane_add_organisation(<target> [LOOKUP_URL <url>] [MAIL_DOMAIN_SUFFIX <suffix>]
#     [FILE_SERVERS <server>...] [LOGON_DOMAIN <domain>] [CREDENTIALS_CAPTION <text>]
#     [ACCOUNT_NAME <text>] [CONTACT <text>])
# Writes <target>.cpp in the current build folder, which defines ThisOrganisation()
# (mount/organisation.h) with these settings, and makes it the object library <target> for the
# programs of that organisation to link. A setting not given is this build's (the cache variable
# above); FILE_SERVERS given without a server means no list.
function(brisvane_add_organisation target)
    set(texts LOOKUP_URL MAIL_DOMAIN_SUFFIX LOGON_DOMAIN CREDENTIALS_CAPTION ACCOUNT_NAME CONTACT)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "${texts}" "FILE_SERVERS")
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "brisvane_add_organisation: unknown arguments: "
                            "${arg_UNPARSED_ARGUMENTS}")
    endif()
    foreach(text IN LISTS texts)
        if(NOT DEFINED arg_${text})
            set(arg_${text} "${BRISVANE_${text}}")
        endif()
        if(arg_${text} STREQUAL "")
            message(FATAL_ERROR "BRISVANE_${text} must not be empty")
        endif()
        # The values become C++ string literals: keep them to printable characters without
        # quotes or backslashes.
        if(NOT "${arg_${text}}" MATCHES "^[^\"\\\\\r\n\t]*$")
            message(FATAL_ERROR "BRISVANE_${text}: \"${arg_${text}}\": a setting must not hold "
                                "quotes, backslashes or control characters")
        endif()
    endforeach()
    if(NOT DEFINED arg_FILE_SERVERS AND NOT "FILE_SERVERS" IN_LIST arg_KEYWORDS_MISSING_VALUES)
        set(arg_FILE_SERVERS "${BRISVANE_FILE_SERVERS}")
    endif()
    if(NOT arg_MAIL_DOMAIN_SUFFIX MATCHES "^@.+")
        message(FATAL_ERROR "BRISVANE_MAIL_DOMAIN_SUFFIX must be \"@\" followed by a domain")
    endif()
    if(NOT arg_LOOKUP_URL MATCHES "^https?://.+")
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
    foreach(server IN LISTS arg_FILE_SERVERS)
        if(NOT server MATCHES "^\\.?[A-Za-z0-9_-]+(\\.[A-Za-z0-9_-]+)*$")
            message(FATAL_ERROR "BRISVANE_FILE_SERVERS: \"${server}\" is neither a server name "
                                "(letters, digits, hyphens and underscores, labels joined by "
                                "dots) nor \".\" and a domain")
        endif()
        list(APPEND file_server_literals "u\"${server}\"")
    endforeach()
    list(LENGTH file_server_literals file_server_count)
    list(JOIN file_server_literals ", " file_server_literals)

    set(source "${CMAKE_CURRENT_BINARY_DIR}/${target}.cpp")
    file(CONFIGURE OUTPUT "${source}" CONTENT [[
// @target@: the organisation of the programs that link it, written by
// brisvane_add_organisation (cmake/BrisvaneOrganisation.cmake).
#include <array>

#include "mount/organisation.h"

namespace brisvane {

namespace {

constexpr std::array<TextView, @file_server_count@> kFileServers{@file_server_literals@};

constexpr Organisation kOrganisation{
    .lookupPageUrl = u"@arg_LOOKUP_URL@",
    .mailDomainSuffix = u"@arg_MAIL_DOMAIN_SUFFIX@",
    .logonDomain = u"@arg_LOGON_DOMAIN@",
    .credentialsCaption = u"@arg_CREDENTIALS_CAPTION@",
    .accountName = u"@arg_ACCOUNT_NAME@",
    .contact = u"@arg_CONTACT@",
    .fileServers = kFileServers,
};

}  // namespace

const Organisation& ThisOrganisation() {
    return kOrganisation;
}

}  // namespace brisvane
]] @ONLY)
    brisvane_add_library(${target} OBJECT EXCLUDE_FROM_ALL "${source}")
    target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}")
endfunction()

# The product's organisation: this build's settings. Written in every build, so that configuring
# checks them wherever it runs; only the Windows build links it (brisvane.exe).
brisvane_add_organisation(brisvane_organisation)

# The product's settings with which someone else can send the member's password to a server of
# their own. A plain build may have them (a developer's needs no list); configuring warns once
# for each, and scripts/release.sh refuses them unless told otherwise. The demo's and the tests'
# organisations are not the product and are not warned about.
#
# Short names, which others can answer to: a server without a dot, a name in a one-label domain
# (".campus", "files1.campus": a top-level domain that the public suffix list does not know, so no
# public DNS answers for it) or in ".local". Windows asks the member's network for such a name
# (LLMNR, NetBIOS, mDNS), and any machine there can answer to it and receive the log-on. And
# public suffixes (".co.uk", ".github.io"): anyone can register a domain under one and name a
# server there. The public suffix list is Debian's (publicsuffix); IPv4 addresses pass.
set(public_suffix_list "/usr/share/publicsuffix/public_suffix_list.dat")
set(public_suffix_rules "")
if(NOT BRISVANE_FILE_SERVERS STREQUAL "")
    if(EXISTS "${public_suffix_list}")
        # Rules, exceptions ("!") and wildcards ("*."); comments start with "//".
        file(STRINGS "${public_suffix_list}" public_suffix_rules REGEX "^[^/]")
    else()
        message(WARNING "No public suffix list at ${public_suffix_list} (Debian package "
                        "publicsuffix): BRISVANE_FILE_SERVERS is checked for names without a dot "
                        "and in .local only.")
    endif()
endif()
set(BRISVANE_SHORT_FILE_SERVERS "")
foreach(server IN LISTS BRISVANE_FILE_SERVERS)
    if(server MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+$")
        continue()  # an IPv4 address
    endif()
    string(TOLOWER "${server}" name)
    string(REGEX REPLACE "^\\." "" name "${name}")
    set(short FALSE)
    if(NOT name MATCHES "\\." OR name MATCHES "\\.local$")
        set(short TRUE)
    elseif(NOT public_suffix_rules STREQUAL "")
        # The top-level domain is known when some rule ends in it. The name is a public suffix
        # when a rule names it, or a wildcard rule its parent, and no exception rule names it.
        string(REGEX REPLACE "^.*\\." "" top_level "${name}")
        string(REGEX REPLACE "^[^.]*\\." "" parent "${name}")
        set(top_level_rules "${public_suffix_rules}")
        list(FILTER top_level_rules INCLUDE REGEX "(^|\\.)${top_level}$")
        list(LENGTH top_level_rules known_top_level)
        list(FIND public_suffix_rules "${name}" exact)
        list(FIND public_suffix_rules "*.${parent}" wildcard)
        list(FIND public_suffix_rules "!${name}" exception)
        if(known_top_level EQUAL 0 OR
           ((exact GREATER -1 OR wildcard GREATER -1) AND exception EQUAL -1))
            set(short TRUE)
        endif()
    endif()
    if(short)
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
    message(WARNING "BRISVANE_FILE_SERVERS has names that others can answer to (${short_names}): "
                    "any machine on the member's network answers to a name without a dot, in a "
                    "one-label domain or in .local (LLMNR, NetBIOS, mDNS), and anyone can register "
                    "a domain under a public suffix; either receives the member's log-on. Give "
                    "the servers' fully qualified names in the organisation's own domain.")
endif()
