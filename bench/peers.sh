#!/bin/sh
# Byteway next to two other serial terminals, in one run on one machine: CuteCom and
# GTKTerm (Debian's packages) are each fed the same 1,000,000-byte flood through a
# pseudo-terminal on one Xvfb display, in their hexadecimal view, and Byteway's own
# receive benchmark (receive_bench throughput) runs on the same display. Prints
# displayed MB/s and CPU-ms per 100 KB of the three side by side.
#
#   bench/peers.sh
#   bench/peers.sh keep [BYTES]
#
# The second form keeps everything on screen: 4,000,000 bytes (or BYTES), Byteway with
# automatic clearing off (receive_bench keep), and the peak memory (VmHWM) of each
# reader beside the rest. CuteCom keeps all it received, GTKTerm its scrollback.
#
# With PEERS_SHOTS=<folder>, a screenshot of each peer after its flood is saved
# there (needs ImageMagick), to check that it shows the hexadecimal view.
#
# A peer counts as having displayed everything when its CPU time stands still after
# the flood (no more than one clock tick in half a second); its CPU is that of the
# whole process, from /proc/<pid>/stat. The flood writer (byteway-flood) writes in
# large writes and reports its own rate.
#
# Installs cutecom, gtkterm, xvfb and xdotool with apt-get when they are missing
# (as root, else through sudo). Builds byteway-flood and receive_bench with cmake in
# $BUILD_PEERS (default build-peers, RelWithDebInfo like `make`). Works from a fresh clone.
set -eu
cd "$(dirname "$0")/.."
build=${BUILD_PEERS:-build-peers}
bytes=1000000
keep=""
if [ "${1:-}" = keep ]; then
    keep=yes
    bytes=${2:-4000000}
fi

say() { printf 'peers: %s\n' "$*" >&2; }
fail() {
    say "$*"
    exit 1
}

# ---- what the run needs -------------------------------------------------------
missing=""
for need in cutecom:cutecom gtkterm:gtkterm Xvfb:xvfb xdotool:xdotool cmake:cmake; do
    command -v "${need%%:*}" >/dev/null 2>&1 || missing="$missing ${need##*:}"
done
if [ -n "$missing" ]; then
    say "installing$missing"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    # shellcheck disable=SC2086 # one word per package
    if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing; then
        $sudo apt-get update
        # shellcheck disable=SC2086
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
    fi
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
    say "configuring $build"
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
say "building byteway-flood, byteway-modemlines and receive_bench in $build"
cmake --build "$build" -j "$(nproc)" --target byteway-flood byteway-modemlines receive_bench >/dev/null
flood=$(pwd)/$build/bin/byteway-flood
modemlines=$(pwd)/$build/bin/libbyteway-modemlines.so
bench=$(pwd)/$build/bin/receive_bench
if [ ! -x "$flood" ] || [ ! -f "$modemlines" ] || [ ! -x "$bench" ]; then
    fail "the build did not produce $flood, $modemlines and $bench"
fi

# ---- one display for all three --------------------------------------------------
work=$(mktemp -d "${TMPDIR:-/tmp}/byteway-peers.XXXXXX")
started=""
cleanup() {
    for pid in $started; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in $started; do
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

display=""
for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
        display=$n
        break
    fi
done
[ -n "$display" ] || fail "no free display number"
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
started="$started $!"
export DISPLAY=":$display"
tries=0
until xdotool getdisplaygeometry >/dev/null 2>&1; do
    tries=$((tries + 1))
    [ $tries -lt 100 ] || fail "Xvfb did not start (see $work/xvfb.log)"
    sleep 0.1
done

# Waits up to $2 tenths of a second for a line matching $1 in file $3.
wait_line() {
    tries=0
    until grep -q "$1" "$3" 2>/dev/null; do
        tries=$((tries + 1))
        [ $tries -lt "$2" ] || return 1
        sleep 0.1
    done
}

# Whether process $1 has the terminal $2 open.
holds() {
    for fd in /proc/"$1"/fd/*; do
        [ "$(readlink "$fd" 2>/dev/null)" = "$2" ] && return 0
    done
    return 1
}

# ---- one peer ---------------------------------------------------------------------
# Writes "<MB/s> <CPU-ms per 100 KB>" for peer $1 into $work/$1/result.
measure_peer() {
    name=$1
    home="$work/$name"
    mkdir -p "$home/.config"
    link="$home/ttyFLOOD"
    mkfifo "$home/control"
    "$flood" --link "$link" --bytes "$bytes" <"$home/control" >"$home/flood.txt" &
    flood_pid=$!
    started="$started $flood_pid"
    exec 3>"$home/control"
    wait_line '^ready ' 100 "$home/flood.txt" || fail "$name: the flood writer did not start"
    terminal=$(sed -n 's/^ready //p' "$home/flood.txt")

    case $name in
    CuteCom)
        # The session names the device; hexadecimal output and opening the device are
        # the check box "He&x output" and the button "&Open" (no setting for them).
        mkdir -p "$home/.config/CuteCom"
        cat >"$home/.config/CuteCom/CuteCom5.conf" <<EOF
[CuteCom]
session=flood

[sessions]
1\\BaudRate=115200
1\\DataBits=8
1\\Device=$link
1\\FlowControl=0
1\\OpenMode=3
1\\Parity=0
1\\StopBits=1
1\\name=flood
1\\showCtrlCharacters=false
1\\showTimestamp=false
size=1
EOF
        HOME=$home XDG_CONFIG_HOME=$home/.config cutecom -s flood >"$home/peer.log" 2>&1 &
        keys="alt+x alt+o"
        ;;
    GTKTerm)
        # The port is named in the configuration file (which also spares the dialog
        # about a newly created one). GTKTerm opens it at start but closes it again
        # at once, because a pseudo-terminal is no device it can find through udev:
        # the menu item Control signals > Open Port opens it for good. It also
        # closes a port whose modem lines it cannot read, which a pseudo-terminal
        # does not have: libbyteway-modemlines.so, preloaded, reports them present.
        # The hexadecimal view is View > Hexadecimal (no setting for it).
        cat >"$home/.config/.gtktermrc" <<EOF
[default]
port	= $link
speed	= 115200
bits	= 8
stopbits	= 1
parity	= none
flow	= none
wait_delay	= 0
wait_char	= -1
echo	= False
crlfauto	= False
timestamp	= False
EOF
        LD_PRELOAD=$modemlines HOME=$home XDG_CONFIG_HOME=$home/.config \
            gtkterm -p "$link" -s 115200 >"$home/peer.log" 2>&1 &
        keys="alt+s o alt+v h"
        ;;
    esac
    peer_pid=$!
    started="$started $peer_pid"
    window=$(timeout 30 xdotool search --sync --onlyvisible --pid "$peer_pid" 2>/dev/null | head -n 1) ||
        fail "$name: no window appeared"
    sleep 1
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    for key in $keys; do
        xdotool key "$key"
        sleep 0.5
    done
    tries=0
    until holds "$peer_pid" "$terminal"; do
        tries=$((tries + 1))
        [ $tries -lt 100 ] || fail "$name did not open $terminal (see $home/peer.log)"
        sleep 0.1
    done

    echo "go $peer_pid" >&3
    wait_line '^watched: ' 3600 "$home/flood.txt" || fail "$name: no result within 6 minutes"
    peak_kb=$(sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$peer_pid/status" 2>/dev/null || true)
    if [ -n "${PEERS_SHOTS:-}" ] && command -v convert >/dev/null 2>&1; then
        mkdir -p "$PEERS_SHOTS"
        convert x:root "$PEERS_SHOTS/$name.png" || true
    fi
    exec 3>&-
    kill "$peer_pid" 2>/dev/null || true
    wait "$peer_pid" 2>/dev/null || true
    wait "$flood_pid" 2>/dev/null || true
    say "$name: $(sed -n 's/^flood: //p' "$home/flood.txt")"
    say "$name: $(sed -n 's/^watched: //p' "$home/flood.txt")"
    say "$name: peak RSS ${peak_kb:-?} KB"
    sed -n "s/^watched: [0-9.]* s \([0-9.]*\) MB\/s [0-9]* ms \([0-9.]*\) ms\/100KB/\1 \2 ${peak_kb:-0}/p" \
        "$home/flood.txt" >"$home/result"
    [ -s "$home/result" ] || fail "$name: $(grep '^watched: ' "$home/flood.txt")"
}

say "load before: $(uptime)"
measure_peer CuteCom
measure_peer GTKTerm
cutecom=$(cat "$work/CuteCom/result")
gtkterm=$(cat "$work/GTKTerm/result")

# ---- Byteway ---------------------------------------------------------------------
if [ -n "$keep" ]; then
    say "Byteway: receive_bench keep $bytes on the same display"
    QT_QPA_PLATFORM=xcb "$bench" keep "$bytes" >"$work/byteway.txt" 2>"$work/byteway.log" ||
        fail "receive_bench failed (see $work/byteway.log)"
else
    say "Byteway: receive_bench throughput on the same display"
    QT_QPA_PLATFORM=xcb "$bench" throughput >"$work/byteway.txt" 2>"$work/byteway.log" ||
        fail "receive_bench failed (see $work/byteway.log)"
fi
sed 's/^/peers: Byteway: /' "$work/byteway.txt" >&2
grep -q 'counts .*: right; last lines of the document: right' "$work/byteway.txt" ||
    say "Byteway: BYTES LOST OR WRONG"
byteway_mb=$(sed -n 's/.*in the document: \([0-9.]*\) MB\/s.*/\1/p' "$work/byteway.txt")
byteway_cpu=$(sed -n 's/.*thread): [0-9]* ms, \([0-9.]*\) ms per 100 KB.*/\1/p' "$work/byteway.txt")
byteway_kb=$(sed -n 's/.*peak RSS \([0-9]*\) KB.*/\1/p' "$work/byteway.txt")
say "load after: $(uptime)"

# ---- the table ---------------------------------------------------------------------
echo "$cutecom" "$gtkterm" "$byteway_mb" "$byteway_cpu" "$byteway_kb" | awk -v bytes="$bytes" -v keep="$keep" '{
    if (keep != "")
        printf "%d bytes through a pseudo-terminal, hexadecimal view, everything kept\n", bytes
    else
        printf "%d bytes through a pseudo-terminal, hexadecimal view\n", bytes
    printf "%-30s %15s %18s %14s %15s\n", "program", "displayed MB/s", "CPU-ms per 100 KB", "peak RSS MiB", "RSS bytes/byte"
    printf "%-30s %15.2f %18.1f %14.0f %15.1f\n", "CuteCom (hex output)", $1, $2, $3 / 1024, $3 * 1024 / bytes
    printf "%-30s %15.2f %18.1f %14.0f %15.1f\n", "GTKTerm (hexadecimal view)", $4, $5, $6 / 1024, $6 * 1024 / bytes
    printf "%-30s %15.2f %18.1f %14.0f %15.1f\n", "Byteway (receive_bench)", $7, $8, $9 / 1024, $9 * 1024 / bytes
    fast = $1 > $4 ? $1 : $4
    cheap = $2 < $5 ? $2 : $5
    printf "Byteway: %.2f x the faster peer'"'"'s MB/s (aim >= 1.3), %.2f x the cheaper peer'"'"'s CPU (aim <= 0.5)", $7 / fast, $8 / cheap
    if (keep != "")
        printf ", %.1f bytes of peak RSS per byte (aim <= 20)", $9 * 1024 / bytes
    printf "\n"
}'
