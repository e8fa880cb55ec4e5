# GoogleTest built from source with the project's own compiler, so that the native, sanitized
# and cross-compiled builds all link a matching copy. Debian ships the source in
# /usr/src/googletest (package googletest); elsewhere it is fetched.

set(BRISVANE_GOOGLETEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)

if(EXISTS "${BRISVANE_GOOGLETEST_SOURCE}/CMakeLists.txt")
    add_subdirectory("${BRISVANE_GOOGLETEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest"
                     EXCLUDE_FROM_ALL SYSTEM)
else()
    include(FetchContent)
    FetchContent_Declare(googletest
        URL https://github.com/google/googletest/archive/refs/tags/v1.14.0.tar.gz
        URL_HASH SHA256=8ad598c73ad796e0d8280b082cebd82a630d73e73cd3c70057938a6501bba5d7)
    FetchContent_MakeAvailable(googletest)
endif()

include(GoogleTest)

# Registers a GoogleTest executable with ctest. Natively each test case becomes a ctest test;
# under Wine a process start costs seconds, so the executable runs once as a whole.
function(brisvane_add_gtest target)
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${target} COMMAND ${target})
    else()
        gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST)
    endif()
endfunction()
