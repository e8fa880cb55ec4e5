#!/usr/bin/env bash
# Runs clang-tidy over every product folder and fails on any finding:
#   scripts/tidy.sh [native build] [windows build]     (default build/native build/windows)
# The platform-free code (the core, the window's behaviour, the lookup service) with the compile
# commands of the native build; win32/, services/, window/win32/, standins/ and demo/ with those
# of the mingw-w64 build, for the mingw target and with mingw's libstdc++ (clang's driver does
# not find Debian's "12-posix" folder of it on its own). A folder's own .clang-tidy turns off the
# checks that its Win32 API makes noise of, and says why. Only files git knows are checked (no
# generated ones); every one must be in its build's compile commands. The files run in parallel,
# one clang-tidy each, on every core. Without the Windows build's compile commands, and when it
# was not named, the Windows folders are skipped with a note.
set -euo pipefail
cd "$(dirname "$0")/.."
native_build="${1:-build/native}"
windows_build="${2:-build/windows}"

# The lookup service's adapters to C libraries (libmicrohttpd, libldap) pass C arrays of options
# and attributes, cast what the libraries declare without const and take variadic options: the
# checks against those are noise in these files alone.
c_adapters=(lookupd/directory_try.cpp lookupd/http_server.cpp lookupd/ldap_connect.cpp
    lookupd/ldap_directory.cpp)
c_adapter_checks="-cppcoreguidelines-pro-type-reinterpret-cast,-cppcoreguidelines-pro-type-const-cast"
c_adapter_checks+=",-cppcoreguidelines-pro-type-vararg,-cppcoreguidelines-avoid-c-arrays"
c_adapter_checks+=",-modernize-avoid-c-arrays,-cppcoreguidelines-pro-bounds-array-to-pointer-decay"

# Fails unless every file is in the build's compile commands (clang-tidy would guess its flags).
require_compiled() {
    local build="$1" file
    shift
    if [[ ! -f "$build/compile_commands.json" ]]; then
        echo "clang-tidy: no $build/compile_commands.json (configure that build first)" >&2
        exit 1
    fi
    for file in "$@"; do
        if ! grep -qF "\"file\": \"$PWD/$file\"" "$build/compile_commands.json"; then
            echo "clang-tidy: $file is not in $build/compile_commands.json" >&2
            exit 1
        fi
    done
}

mapfile -t native_files < <(git ls-files -co --exclude-standard 'mount/*.cpp' \
    ':(glob)window/*.cpp' ':(glob)lookupd/*.cpp')
require_compiled "$native_build" "${native_files[@]}"
jobs=()
for file in "${native_files[@]}"; do
    kind=native
    for adapter in "${c_adapters[@]}"; do
        [[ $file == "$adapter" ]] && kind=c-adapter
    done
    jobs+=("$kind" "$file")
done

windows_files=()
if [[ -f "$windows_build/compile_commands.json" || $# -ge 2 ]]; then
    mapfile -t windows_files < <(git ls-files -co --exclude-standard ':(glob)win32/*.cpp' \
        ':(glob)services/*.cpp' ':(glob)window/win32/*.cpp' ':(glob)standins/*.cpp' \
        ':(glob)demo/*.cpp')
    require_compiled "$windows_build" "${windows_files[@]}"
    mingw_cxx="$(find /usr/lib/gcc/x86_64-w64-mingw32 -maxdepth 3 -path '*-posix/include/c++' |
        sort -V | tail -n 1)"
    if [[ -z $mingw_cxx ]]; then
        echo "clang-tidy: mingw-w64's posix libstdc++ headers are not installed" >&2
        exit 1
    fi
    # The Windows files take longest (windows.h): first, so that the short ones fill the end.
    windows_jobs=()
    for file in "${windows_files[@]}"; do
        windows_jobs+=(windows "$file")
    done
    jobs=("${windows_jobs[@]}" "${jobs[@]}")
else
    echo "clang-tidy: no $windows_build/compile_commands.json: the Windows folders were skipped" \
        "(cmake --preset windows first)" >&2
fi

# One file: its findings, without the count of warnings suppressed in system headers.
tidy_one() {
    local kind="$1" file="$2" args output status=0
    case "$kind" in
        native) args=(-p "$native_build") ;;
        c-adapter) args=(-p "$native_build" "--checks=$c_adapter_checks") ;;
        windows)
            args=(-p "$windows_build" --extra-arg=--target=x86_64-w64-mingw32
                "--extra-arg=-isystem$mingw_cxx" "--extra-arg=-isystem$mingw_cxx/x86_64-w64-mingw32"
                "--extra-arg=-isystem$mingw_cxx/backward")
            ;;
    esac
    output="$(clang-tidy --quiet "${args[@]}" "$file" 2>&1)" || status=$?
    output="$(grep -v -E '^[0-9]+ warnings? generated\.$' <<<"$output" || true)"
    if [[ -n $output ]]; then
        printf '%s\n' "$output"
    fi
    return "$status"
}
export -f tidy_one
export native_build windows_build c_adapter_checks mingw_cxx="${mingw_cxx:-}"

start=$SECONDS
printf '%s\0' "${jobs[@]}" | xargs -0 -n 2 -P "$(nproc)" bash -c 'tidy_one "$@"' tidy_one ||
    {
        echo "clang-tidy: findings above" >&2
        exit 1
    }
echo "clang-tidy: ${#native_files[@]} native and ${#windows_files[@]} Windows files clean" \
    "in $((SECONDS - start)) s"
