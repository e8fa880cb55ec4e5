# The https end-to-end tests: the demo's brisvane.exe (https://localhost:BRISVANE_DEMO_PORT) under
# Wine against the real lookup service on a real slapd, with the test network provider. ctest
# fixtures run e2e/https-organisation.sh natively to make a throwaway certificate authority
# (trusted in the test's prefix), start slapd with the demo members, and start the service once
# for each certificate it presents, in turn on the same port:
#   trusted     localhost, signed by the trusted authority: the member's drive is mapped
#   untrusted   localhost, signed by an authority that the prefix does not trust: refused
#   otherhost   another host name, signed by the trusted authority: refused
# They run only where the Windows tests run under Wine on the Linux host that runs the service.
if(NOT (CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX))
    return()
endif()

set(BRISVANE_LOOKUPD "${PROJECT_SOURCE_DIR}/build/service/lookupd/brisvane-lookupd" CACHE FILEPATH
    "The lookup service that the https end-to-end tests run (cmake --build --preset service)")
set(directory_port ${BRISVANE_DIRECTORY_PORT})  # slapd's
set(state "${CMAKE_CURRENT_BINARY_DIR}/https-organisation")
set(organisation "${CMAKE_CURRENT_SOURCE_DIR}/https-organisation.sh")
string(JOIN "," file_servers ${BRISVANE_DEMO_FILE_SERVERS})

# Beside the demo's brisvane.exe and the provider DLL, which the tests find beside themselves.
brisvane_add_executable(brisvane_https_e2e_tests https_test.cpp)
set_target_properties(brisvane_https_e2e_tests PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${BRISVANE_DEMO_DIR}")
target_link_libraries(brisvane_https_e2e_tests PRIVATE brisvane_program_driver
                      brisvane_demo_program_organisation brisvane_test_provider_support
                      brisvane_win32 brisvane_windows_test_support GTest::gtest_main)
add_dependencies(brisvane_https_e2e_tests brisvane_demo)

add_test(NAME brisvane_https_e2e.directory.start
         COMMAND bash "${organisation}" start-directory "${state}" ${directory_port}
                 "${BRISVANE_DEMO_DIR}/brisvane-trust-ca.exe")
add_test(NAME brisvane_https_e2e.directory.stop
         COMMAND bash "${organisation}" stop-directory "${state}")
set_tests_properties(brisvane_https_e2e.directory.start PROPERTIES
                     FIXTURES_SETUP brisvane_https_directory)
set_tests_properties(brisvane_https_e2e.directory.stop PROPERTIES
                     FIXTURES_CLEANUP brisvane_https_directory)

set(case_trusted MapsTheMembersDriveThroughTheService)
set(case_untrusted RefusesACertificateFromAnUntrustedAuthority)
set(case_otherhost RefusesACertificateForAnotherHost)
set(previous "")
foreach(certificate trusted untrusted otherhost)
    set(name brisvane_https_e2e.${certificate})
    add_test(NAME ${name}.service.start
             COMMAND bash "${organisation}" start-service "${state}" ${certificate}
                     ${BRISVANE_DEMO_PORT} ${directory_port} "${BRISVANE_LOOKUPD}"
                     "${file_servers}")
    add_test(NAME ${name}.service.stop
             COMMAND bash "${organisation}" stop-service "${state}" ${certificate})
    set_tests_properties(${name}.service.start PROPERTIES
                         FIXTURES_SETUP brisvane_https_${certificate}
                         FIXTURES_REQUIRED brisvane_https_directory)
    set_tests_properties(${name}.service.stop PROPERTIES
                         FIXTURES_CLEANUP brisvane_https_${certificate})
    # One service at a time on the demo's port.
    if(previous)
        set_tests_properties(${name}.service.start PROPERTIES DEPENDS ${previous}.service.stop)
    endif()
    set(previous ${name})

    add_test(NAME ${name}
             COMMAND brisvane_https_e2e_tests --gtest_filter=HttpsLookupTest.${case_${certificate}})
    # The service's log, where it writes a line for every request it receives.
    set_tests_properties(${name} PROPERTIES
        FIXTURES_REQUIRED "brisvane_https_directory;brisvane_https_${certificate}"
        ENVIRONMENT "BRISVANE_LOOKUPD_LOG=Z:${state}/${certificate}/service.log")
endforeach()

# The same chain on real parts: an Active Directory domain and its Samba file server.
include("${CMAKE_CURRENT_SOURCE_DIR}/active_directory.cmake")
