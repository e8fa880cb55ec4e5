# The tests on real parts, labelled active-directory: a throwaway Active Directory domain with
# its Samba file server (scripts/lib/samba-ad.sh) in place of slapd and of the provider's
# password table. ctest fixtures run e2e/https-organisation.sh natively, as root, to make the
# test certificate authority (trusted in the test's prefix), provision and start the domain, start
# the SMB bridge of the provider's SMB mode on the port after slapd's, and start the lookup service
# on the domain with the Active Directory configuration of docs/lookup-service.md on the demo's port. Samba's LDAP
# ports cannot be moved, so the domain is one per run (RESOURCE_LOCK), shared by:
#   brisvane_active_directory.loopback_only   the domain's settings and sockets stay on loopback
#   brisvane_active_directory.smb_provider    the provider's SMB mode against Samba
#   brisvane_active_directory.chain           brisvane.exe -> the service -> the domain -> Samba
#   brisvane_active_directory.lookup_service  the lookup service alone on the domain
# scripts/test.sh runs them in a network namespace with nothing but loopback
# (scripts/loopback-only.sh), where anything that tried to leave the machine would fail.
# They run where the https end-to-end tests run.

set(state "${CMAKE_CURRENT_BINARY_DIR}/active-directory")
set(bridge_port ${BRISVANE_BRIDGE_PORT})

brisvane_add_executable(brisvane_active_directory_tests active_directory_test.cpp
                        smb_provider_test.cpp)
set_target_properties(brisvane_active_directory_tests PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${BRISVANE_DEMO_DIR}")
target_include_directories(brisvane_active_directory_tests PRIVATE "${generated}")
target_link_libraries(brisvane_active_directory_tests PRIVATE brisvane_program_driver
                      brisvane_demo_program_organisation brisvane_services
                      brisvane_test_provider_support brisvane_lookup_page brisvane_win32
                      brisvane_windows_test_support GTest::gtest_main)
add_dependencies(brisvane_active_directory_tests brisvane_demo)

set(prefix brisvane_active_directory)
add_test(NAME ${prefix}.domain.start
         COMMAND bash "${organisation}" start-domain "${state}"
                 "${BRISVANE_DEMO_DIR}/brisvane-trust-ca.exe" ${bridge_port} "${file_servers}")
add_test(NAME ${prefix}.domain.stop COMMAND bash "${organisation}" stop-domain "${state}")
add_test(NAME ${prefix}.loopback_only COMMAND bash "${organisation}" check-domain "${state}")
add_test(NAME ${prefix}.service.start
         COMMAND bash "${organisation}" start-domain-service "${state}" ${BRISVANE_DEMO_PORT}
                 "${BRISVANE_LOOKUPD}" "${file_servers}")
add_test(NAME ${prefix}.service.stop
         COMMAND bash "${organisation}" stop-service "${state}" service)
add_test(NAME ${prefix}.smb_provider
         COMMAND brisvane_active_directory_tests --gtest_filter=SmbModeTest.*)
add_test(NAME ${prefix}.chain
         COMMAND brisvane_active_directory_tests --gtest_filter=ActiveDirectoryTest.*)
# The lookup service alone on the domain: its connections, binds, names and refusals, --try.
add_test(NAME ${prefix}.lookup_service
         COMMAND bash "${PROJECT_SOURCE_DIR}/tests/lookupd/active_directory_test.sh"
                 "${state}/domain" "${BRISVANE_LOOKUPD}")

set_tests_properties(${prefix}.domain.start PROPERTIES FIXTURES_SETUP ${prefix}_domain)
set_tests_properties(${prefix}.domain.stop PROPERTIES FIXTURES_CLEANUP ${prefix}_domain
                     DEPENDS ${prefix}.service.stop)
set_tests_properties(${prefix}.service.start PROPERTIES
                     FIXTURES_SETUP ${prefix}_service FIXTURES_REQUIRED ${prefix}_domain)
set_tests_properties(${prefix}.service.stop PROPERTIES FIXTURES_CLEANUP ${prefix}_service)
set_tests_properties(${prefix}.loopback_only ${prefix}.smb_provider ${prefix}.lookup_service
                     PROPERTIES FIXTURES_REQUIRED ${prefix}_domain)
set_tests_properties(${prefix}.chain PROPERTIES
                     FIXTURES_REQUIRED "${prefix}_domain;${prefix}_service")
set(real_part_tests ${prefix}.domain.start ${prefix}.domain.stop ${prefix}.loopback_only
    ${prefix}.service.start ${prefix}.service.stop ${prefix}.smb_provider ${prefix}.chain
    ${prefix}.lookup_service)
set_tests_properties(${real_part_tests} PROPERTIES
                     LABELS active-directory RESOURCE_LOCK brisvane_samba_ad)
# The service takes the demo's port, as the https tests' services do: after theirs.
set_tests_properties(${prefix}.service.start PROPERTIES DEPENDS ${previous}.service.stop)
set_tests_properties(${prefix}.smb_provider ${prefix}.chain PROPERTIES ENVIRONMENT
    "BRISVANE_SMB_BRIDGE=127.0.0.1:${bridge_port};BRISVANE_AD_SHARES=Z:${state}/domain/domain/shares;BRISVANE_LOOKUPD_LOG=Z:${state}/service/service.log")
