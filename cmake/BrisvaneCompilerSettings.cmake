# The project's warnings on every compiler; sanitizers on request (native builds only).
# Warnings become errors where CMAKE_COMPILE_WARNING_AS_ERROR is on: in the presets and in CI,
# not for everyone who builds the source with another compiler or build type.

function(brisvane_target_settings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /utf-8 /permissive-)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion
                               -Wsign-conversion -Wshadow -Wnon-virtual-dtor)
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
