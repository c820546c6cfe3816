#!/bin/sh
# The demo behind `make run`: the built-in demo device on a pseudo-terminal linked
# as COM1 in a settings folder of its own, and Byteway started on that folder.
# Usage: tools/run-demo.sh BUILD_DIR
set -eu

build=${1:-build}
if [ ! -d "$build" ]; then
    echo "run-demo: no build folder '$build' (run 'make build' first)" >&2
    exit 1
fi
build=$(cd "$build" && pwd)
app="$build/bin/byteway"
device="$build/bin/byteway-device"
config="$build/demo-config"
link="$config/byteway/com1"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<'TEXT'
run-demo: Byteway is a graphical program and needs a graphical session (X11 or
Wayland), but neither DISPLAY nor WAYLAND_DISPLAY is set.
Start `make run` from a terminal on your desktop, over `ssh -X`, or under a
virtual display such as `xvfb-run -a make run`.
TEXT
    exit 1
fi
for program in "$app" "$device"; do
    if [ ! -x "$program" ]; then
        echo "run-demo: $program is missing (run 'make build' first)" >&2
        exit 1
    fi
done

mkdir -p "$config/byteway"
rm -f "$link"

"$device" --link "$link" --echo &
device_pid=$!
stop_device() {
    kill "$device_pid" 2>/dev/null || true
    wait "$device_pid" 2>/dev/null || true
    rm -f "$link"
}
trap stop_device EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# The device creates the link once its pseudo-terminal is ready.
tries=0
while [ ! -L "$link" ]; do
    if ! kill -0 "$device_pid" 2>/dev/null; then
        echo "run-demo: the demo device stopped before it was ready" >&2
        exit 1
    fi
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ]; then
        echo "run-demo: the demo device did not create $link within 10 s" >&2
        exit 1
    fi
    sleep 0.1
done

cat <<TEXT
Byteway demo
  COM1 is a pseudo-terminal played by the demo device (byteway-device --echo):
  it sends back every byte it receives. Press 接收 (receive), then 发送 (send):
  the bytes of the send field come back under a green "Receiving: " header.
  Settings of the demo: $config/byteway/Byteway.ini
  The demo device stops when you close Byteway.
TEXT

# In the background, so that an interrupt or a termination of this script can be
# passed on to the program (a background job of a script ignores Ctrl+C itself).
XDG_CONFIG_HOME="$config" "$app" &
app_pid=$!
trap 'kill "$app_pid" 2>/dev/null || true' INT TERM HUP
status=0
while kill -0 "$app_pid" 2>/dev/null; do
    status=0
    wait "$app_pid" || status=$?
done
exit "$status"
