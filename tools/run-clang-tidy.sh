#!/bin/sh
# clang-tidy over the project's own sources with the checks of .clang-tidy, one
# batch a core at a time; fails on any finding. Usage: tools/run-clang-tidy.sh [build-dir]
# (default: build, which must have been configured; CMake writes its
# compile_commands.json).
#
# Tests and benchmarks are left out: they are not shipped, GoogleTest's and Qt
# Test's macros expand into code that trips several bugprone checks, and the
# compiler's -Werror already covers them. Generated files (moc, rcc) live in the
# build folder and are not listed. The *_win.cpp files need the cross build's
# commands: tools/run-clang-tidy-win.sh.
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
tidy=$(command -v clang-tidy || command -v clang-tidy-14 || true)
if [ -z "$tidy" ]; then
    echo "clang-tidy is not installed" >&2
    exit 1
fi
if [ ! -f "$build/compile_commands.json" ]; then
    echo "$build/compile_commands.json is missing: configure the build first" >&2
    exit 1
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
git ls-files '*.cpp' | grep -Ev '^(tests|bench)/' \
    | grep -Ev '_win\.cpp$' \
    | xargs -P "${JOBS:-$(nproc)}" -n4 "$tidy" -p "$build" --quiet --warnings-as-errors='*' >"$log" 2>&1 || status=$?
grep -E 'warning:|error:' "$log" | sort -u || true
if [ "${status:-0}" -ne 0 ]; then
    echo "clang-tidy: findings above" >&2
    exit 1
fi
echo "clang-tidy: no findings"
