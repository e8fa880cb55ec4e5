# Turns the organisation's cache variables into a generated header of constants.

# Writes <dir>/mount/build_settings.h for a program that asks the lookup page at `lookup_url`
# and removes `mail_domain_suffix` from typed usernames.
function(brisvane_write_build_settings dir lookup_url mail_domain_suffix)
    # The values become C++ string literals: keep them to printable characters without quotes
    # or backslashes.
    foreach(value IN ITEMS "${lookup_url}" "${mail_domain_suffix}")
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
    # The names that build_settings.h.in uses, in this function's scope only.
    set(BRISVANE_LOOKUP_URL "${lookup_url}")
    set(BRISVANE_MAIL_DOMAIN_SUFFIX "${mail_domain_suffix}")
    configure_file("${PROJECT_SOURCE_DIR}/mount/build_settings.h.in"
                   "${dir}/mount/build_settings.h" @ONLY)
endfunction()

set(BRISVANE_GENERATED_DIR "${CMAKE_BINARY_DIR}/generated")
brisvane_write_build_settings("${BRISVANE_GENERATED_DIR}" "${BRISVANE_LOOKUP_URL}"
                              "${BRISVANE_MAIL_DOMAIN_SUFFIX}")
