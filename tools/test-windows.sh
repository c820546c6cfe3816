#!/bin/sh
# Builds the Qt-free core and its GoogleTest tests for 64-bit Windows with mingw-w64
# and runs them under Wine, in a throw-away Wine prefix, with COM ports mapped to
# pseudo-terminals that byteway-device plays:
#   COM1 and COM8  an echoing device      COM3  a device that never reads
#   COM2           a device that does not exist
#   COM4           a device playing the modem lines (libbyteway-modemsim preloaded)
#   COM5           an echoing device whose reads fail when a test asks (the library
#                  fails them, as for a USB adapter pulled out)
#   COM6           an echoing device that ends when a test asks
# Needs g++-mingw-w64-x86-64-posix, wine64 and googletest (`make windows-deps`).
# BUILD_WIN names the build folder (default build-win).
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_WIN:-build-win}
jobs=${JOBS:-$(nproc)}

say() { printf 'test-windows: %s\n' "$*"; }

wine=""
for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
        wine=$candidate
        break
    fi
done
wineserver=""
for candidate in /usr/lib/wine/wineserver "$(command -v wineserver || true)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
        wineserver=$candidate
        break
    fi
done
if [ -z "$wine" ] || [ -z "$wineserver" ]; then
    say "Wine is not installed (make windows-deps)" >&2
    exit 1
fi

say "cross-building the core and its tests in $build"
cmake -S . -B "$build" -DBYTEWAY_CORE_ONLY=ON -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" >/dev/null
cmake --build "$build" -j "$jobs"

# The device runs on this side of the emulator, so it is built natively; it is its
# own plain C++ files and the project's error shape (base/status.cpp).
device="$build/native/byteway-device"
mkdir -p "$build/native"
g++ -std=c++20 -O2 -I. -Itools/modemsim -o "$device" tools/device/main.cpp \
    tools/device/deviceoptions.cpp tools/device/devicefaults.cpp base/status.cpp -lutil -pthread
# The modem lines of a UART for one pseudo-terminal pair, preloaded into the device
# that plays them and into Wine, whose serial calls end in the same ioctls.
modemsim="$(cd "$build/native" && pwd)/libbyteway-modemsim.so"
g++ -std=c++20 -O2 -shared -fPIC -o "$modemsim" tools/modemsim/modemsim.cpp -ldl

work=$(mktemp -d "${TMPDIR:-/tmp}/byteway-wine.XXXXXX")
device_pids=""
cleanup() {
    for pid in $device_pids; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    if [ -d "$work/prefix" ]; then
        WINEPREFIX="$work/prefix" "$wineserver" -k 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
say "creating a Wine prefix in $WINEPREFIX"
timeout 300 "$wine" wineboot -i >"$work/wineboot.log" 2>&1 || {
    cat "$work/wineboot.log" >&2
    exit 1
}

start_device() { # link, arguments...
    link=$1
    shift
    "$device" --link "$link" "$@" >"$link.log" 2>&1 &
    device_pids="$device_pids $!"
    tries=0
    until [ -L "$link" ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ]; then
            say "byteway-device did not start:" >&2
            cat "$link.log" >&2
            exit 1
        fi
        sleep 0.05
    done
    cat "$link.log"
}
start_device "$work/echo" --echo
start_device "$work/stall" --stall
export BYTEWAY_MODEMSIM_DIR="$work"
export LD_PRELOAD="$modemsim"
start_device "$work/lines" --lines
unset LD_PRELOAD
start_device "$work/failing" --echo
start_device "$work/hangup" --echo
hangup_pid=${device_pids##* }
# A test asks for a device to go by creating its trigger file.
(
    while [ ! -e "$work/hangup.trigger" ] && kill -0 "$hangup_pid" 2>/dev/null; do
        sleep 0.05
    done
    kill "$hangup_pid" 2>/dev/null || true
) &
device_pids="$device_pids $!"

# Wine's mount manager rewrites dosdevices/comN at start; the registry's port
# mapping is what it honours. The server must restart to read it.
map_port() { # COMn, unix path
    "$wine" reg add 'HKLM\Software\Wine\Ports' /v "$1" /t REG_SZ /d "$2" /f >/dev/null
}
map_port COM1 "$work/echo"
map_port COM8 "$work/echo"
map_port COM3 "$work/stall"
map_port COM2 "$work/no-such-device"
map_port COM4 "$work/lines"
map_port COM5 "$work/failing"
map_port COM6 "$work/hangup"
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w 2>/dev/null || true
# One server for the whole run instead of one start per test program, and Wine's
# background services started now with their output in a file: started by the
# first test, they would hold ctest's output pipe open after that test ended.
"$wineserver" -p >"$work/wineserver.log" 2>&1
"$wine" wineboot >"$work/services.log" 2>&1

export BYTEWAY_ECHO_PORTS=1,8 BYTEWAY_STALLED_PORT=3 BYTEWAY_MISSING_PORT=2 BYTEWAY_LINES_PORT=4
# Wine's drive Z: is the root of this system.
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
export BYTEWAY_FAILING_PORT=5 BYTEWAY_HANGUP_PORT=6
BYTEWAY_FAILING_TRIGGER=$(windows_path "$work/failing.trigger")
BYTEWAY_HANGUP_TRIGGER=$(windows_path "$work/hangup.trigger")
export BYTEWAY_FAILING_TRIGGER BYTEWAY_HANGUP_TRIGGER
export BYTEWAY_MODEMSIM_VANISHING="$work/failing" BYTEWAY_MODEMSIM_VANISH_TRIGGER="$work/failing.trigger"
export LD_PRELOAD="$modemsim"
say "running the tests under $wine"
ctest --test-dir "$build" --output-on-failure --timeout 300
# What the emulator could not show is reported as skipped, with the reason.
# (Read from the run's log: a second run would find the vanishing devices gone.)
grep -A1 '_win_test\.cpp:[0-9]*: Skipped$' "$build/Testing/Temporary/LastTest.log" || true
