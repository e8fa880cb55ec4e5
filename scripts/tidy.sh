#!/usr/bin/env bash
# Runs clang-tidy over every product folder:
#   scripts/tidy.sh [native build] [windows build]     (default build/native build/windows)
# The platform-free code (the core, the window's behaviour, the lookup service) with the compile
# commands of the native build; win32/, services/, window/win32/ and standins/ with those of the
# mingw-w64 build, for the mingw target and with mingw's libstdc++ (clang's driver does not find
# Debian's "12-posix" folder of it on its own). A folder's own .clang-tidy turns off the checks
# that its C and Win32 APIs make noise of, and says why. Without the Windows build's compile
# commands the Windows folders are skipped with a note.
set -euo pipefail
cd "$(dirname "$0")/.."
native_build="${1:-build/native}"
windows_build="${2:-build/windows}"
jobs="$(nproc)"

# clang-tidy counts the warnings it suppressed in system headers on stderr; keep the rest.
quiet() { grep -v -E '^[0-9]+ warnings? generated\.$' >&2 || true; }

# Runs clang-tidy on the files given after "--", a few at a time on every core; fails when any
# run fails.
run_tidy() {
    local args=()
    while [[ $1 != -- ]]; do args+=("$1"); shift; done
    shift
    printf '%s\0' "$@" | xargs -0 -r -P "$jobs" -n 4 clang-tidy --quiet "${args[@]}" \
        2> >(quiet)
}

mapfile -t native_files < <(git ls-files -co --exclude-standard 'mount/*.cpp' \
    ':(glob)window/*.cpp' ':(glob)lookupd/*.cpp')
run_tidy -p "$native_build" -- "${native_files[@]}"
echo "clang-tidy: ${#native_files[@]} files clean (native)"

if [[ ! -f "$windows_build/compile_commands.json" ]]; then
    echo "clang-tidy: no $windows_build/compile_commands.json: the Windows folders were skipped" \
         "(cmake --preset windows first)" >&2
    exit 0
fi
mingw_cxx="$(ls -d /usr/lib/gcc/x86_64-w64-mingw32/*-posix/include/c++ | sort -V | tail -n 1)"
mapfile -t windows_files < <(git ls-files -co --exclude-standard ':(glob)win32/*.cpp' \
    ':(glob)services/*.cpp' ':(glob)window/win32/*.cpp' ':(glob)standins/*.cpp')
run_tidy -p "$windows_build" --extra-arg=--target=x86_64-w64-mingw32 \
    "--extra-arg=-isystem$mingw_cxx" "--extra-arg=-isystem$mingw_cxx/x86_64-w64-mingw32" \
    "--extra-arg=-isystem$mingw_cxx/backward" -- "${windows_files[@]}"
echo "clang-tidy: ${#windows_files[@]} files clean (Windows)"
