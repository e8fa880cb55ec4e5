# GoogleTest built from source with the project's own compiler, so that the native, sanitized
# and cross-compiled builds all link a matching copy. Where Debian's source copy is installed
# (package googletest, /usr/src/googletest), every build uses it and needs no network; elsewhere
# FetchContent downloads the release below. A find_package would not do: the mingw-w64 build
# would find the Linux build of the library.

include(FetchContent)

if(NOT DEFINED FETCHCONTENT_SOURCE_DIR_GOOGLETEST AND EXISTS /usr/src/googletest/CMakeLists.txt)
    set(FETCHCONTENT_SOURCE_DIR_GOOGLETEST /usr/src/googletest CACHE PATH
        "GoogleTest's source, used instead of downloading it")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)  # the tests use GoogleTest alone
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)

FetchContent_Declare(googletest
    URL https://github.com/google/googletest/archive/refs/tags/v1.14.0.tar.gz
    URL_HASH SHA256=8ad598c73ad796e0d8280b082cebd82a630d73e73cd3c70057938a6501bba5d7)
FetchContent_MakeAvailable(googletest)

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
