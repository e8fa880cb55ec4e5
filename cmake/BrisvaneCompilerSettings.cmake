# The project's warnings on every compiler; sanitizers on request (native builds only).
# Warnings become errors where CMAKE_COMPILE_WARNING_AS_ERROR is on: in the presets and in CI,
# not for everyone who builds the source with another compiler or build type.

# What every Windows target compiles with: the wide (UTF-16) API, windows.h without its rarely
# used parts and without the min and max macros, and the declarations of Windows 10. A program
# whose entry point is wmain or wWinMain sets the target property BRISVANE_WIDE_ENTRY_POINT, and
# MinGW then links the wide start-up code.
if(WIN32)
    add_library(brisvane_windows INTERFACE)
    target_compile_definitions(brisvane_windows INTERFACE
        UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX WINVER=0x0A00 _WIN32_WINNT=0x0A00)
    if(MINGW)
        target_link_options(brisvane_windows INTERFACE
            "$<$<BOOL:$<TARGET_PROPERTY:BRISVANE_WIDE_ENTRY_POINT>>:-municode>")
    endif()
endif()

# The project's compiler settings for one of its targets, the Windows ones included; applied by
# brisvane_add_library and brisvane_add_executable below.
function(brisvane_target_settings target)
    if(WIN32)
        target_link_libraries(${target} PRIVATE brisvane_windows)
    endif()
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /utf-8 /permissive-)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion
                               -Wsign-conversion -Wshadow -Wnon-virtual-dtor)
    endif()
endfunction()

# Every library and executable of the project is added through these two, which take the
# arguments of add_library and add_executable and apply the project's settings, so that no
# target can miss them. Interface libraries compile nothing and get none.
function(brisvane_add_library target)
    add_library(${target} ${ARGN})
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
        brisvane_target_settings(${target})
    endif()
endfunction()

function(brisvane_add_executable target)
    add_executable(${target} ${ARGN})
    brisvane_target_settings(${target})
endfunction()

# The hardening that Debian builds its network daemons with (dpkg-buildflags with
# hardening=+all), for a native program and the libraries of its own code: the C library's
# fortified calls and the stack protector in optimised builds, relocations read-only and bound
# at start. Not with the sanitizers, which check memory their own way.
function(brisvane_harden target)
    if(WIN32 OR MSVC OR BRISVANE_SANITIZE OR BRISVANE_FUZZ)
        return()
    endif()
    set(optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
    target_compile_options(${target} PRIVATE -fstack-protector-strong
                           "$<${optimised}:-U_FORTIFY_SOURCE>" "$<${optimised}:-D_FORTIFY_SOURCE=2>")
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        target_link_options(${target} PRIVATE LINKER:-z,relro LINKER:-z,now)
    endif()
endfunction()

if(BRISVANE_SANITIZE)
    if(MSVC OR CMAKE_CROSSCOMPILING)
        message(FATAL_ERROR "BRISVANE_SANITIZE is for native GCC or Clang builds")
    endif()
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# The Windows program needs nothing beside Windows' own DLLs: link the C++ runtime,
# libgcc and winpthread statically.
if(MINGW)
    add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# Coverage instrumentation for libFuzzer on everything, the core included; only the fuzz
# targets link libFuzzer itself (fuzz/CMakeLists.txt).
if(BRISVANE_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang" OR CMAKE_CROSSCOMPILING)
        message(FATAL_ERROR "BRISVANE_FUZZ needs a native Clang build (libFuzzer)")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
