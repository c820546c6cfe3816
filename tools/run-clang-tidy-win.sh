#!/bin/sh
# clang-tidy over the Windows-only sources (*_win.cpp), which the native build never
# compiles, with the compile commands of the mingw-w64 cross build. Clang reads them
# as mingw's g++ would, with its standard library and Windows headers, but with
# clang's own compiler headers: gcc's intrinsics do not parse under clang. Usage:
# tools/run-clang-tidy-win.sh [build-dir] (default: build-win, configured here if
# it is not; needs `make windows-deps`).
set -eu
cd "$(dirname "$0")/.."
build=${1:-build-win}
tidy=$(command -v clang-tidy || command -v clang-tidy-14 || true)
cxx=x86_64-w64-mingw32-g++-posix
if [ -z "$tidy" ] || ! command -v "$cxx" >/dev/null 2>&1; then
    echo "clang-tidy and $cxx are needed (make windows-deps)" >&2
    exit 1
fi
if [ ! -f "$build/compile_commands.json" ]; then
    cmake -S . -B "$build" -DBYTEWAY_CORE_ONLY=ON -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$(pwd)/cmake/mingw-w64.cmake" >/dev/null
fi
set -- --extra-arg=--target=x86_64-w64-mingw32 --extra-arg=-nostdinc++
for dir in $(echo | "$cxx" -std=c++20 -E -x c++ - -v 2>&1 \
    | sed -n '/#include <...> search starts here/,/End of search/p' | grep '^ /'); do
    case $(readlink -f "$dir") in
    */include/c++* | */x86_64-w64-mingw32/include) set -- "$@" "--extra-arg=-isystem$dir" ;;
    esac
done
log=$(mktemp)
trap 'rm -f "$log"' EXIT
git ls-files '*_win.cpp' | grep -Ev '^(tests|bench)/' \
    | xargs "$tidy" -p "$build" --quiet --warnings-as-errors='*' "$@" >"$log" 2>&1 || status=$?
grep -E 'warning:|error:' "$log" | sort -u || true
if [ "${status:-0}" -ne 0 ]; then
    echo "clang-tidy (Windows sources): findings above" >&2
    exit 1
fi
echo "clang-tidy (Windows sources): no findings"
