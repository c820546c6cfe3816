#!/bin/sh
# The packaging test: validates the launcher, the metadata and the manual pages,
# builds the Debian package and runs lintian on it, installs it with apt-get, checks
# that the installed programs run, then removes it and checks that nothing is left.
# Needs root (or sudo): it installs and removes the package byteway on this machine.
# Usage: tools/test-package.sh [BUILD_DIR]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
app_id=io.github.byteway.Byteway
export DEBIAN_FRONTEND=noninteractive

sudo=""
if [ "$(id -u)" != 0 ]; then
    sudo="sudo"
fi
fail() {
    echo "test-package: $*" >&2
    exit 1
}

# The tools the checks use.
missing=""
for p in dpkg-dev lintian appstream desktop-file-utils man-db groff-base file; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
if [ -n "$missing" ]; then
    $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
    # shellcheck disable=SC2086
    $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends $missing >/dev/null
fi

# The validators must have nothing to say.
silent() {
    output=$("$@" 2>&1) || fail "$* failed:
$output"
    [ -z "$output" ] || fail "$* reported:
$output"
}
echo "== validators"
silent desktop-file-validate packaging/$app_id.desktop
# --no-net: the screenshot and home page addresses are not fetched. Pedantic notes
# (an upper-case letter in the id) are allowed; infos, warnings and errors are not.
output=$(appstreamcli validate --no-net packaging/$app_id.metainfo.xml 2>&1) \
    || fail "appstreamcli validate failed:
$output"
if echo "$output" | grep -q '^[EWI]: '; then
    fail "appstreamcli validate reported:
$output"
fi
for page in packaging/byteway.1 packaging/byteway-device.1 packaging/byteway-linetest.1 \
    packaging/byteway-sequence.1; do
    silent groff -ww -z -man -Tutf8 "$page"
done

echo "== package"
rm -f "$build"/byteway_*.deb
make package BUILD="$build" >/dev/null
set -- "$build"/byteway_*.deb
if [ $# != 1 ] || [ ! -f "$1" ]; then
    fail "make package made no single byteway_*.deb in $build"
fi
deb=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
dpkg-deb --field "$deb" Package | grep -qx byteway || fail "the package is not named byteway"
dpkg-deb --field "$deb" Depends | grep -q 'fonts-noto-cjk' || fail "no dependency on the CJK font"
dpkg-deb --field "$deb" Depends | grep -q 'libqt6widgets6' \
    || fail "no library dependencies from dpkg-shlibdeps"
# Warnings and errors fail; the info notes are listed in the README.
lintian --fail-on error,warning "$deb" 2>/dev/null || fail "lintian found problems in $deb"

echo "== install"
$sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq "$deb" >/dev/null
files=$(mktemp)
trap 'rm -f "$files"' EXIT
dpkg -L byteway >"$files"
# The folders that no other installed package has must go with the package.
own_folders=$(mktemp)
trap 'rm -f "$files" "$own_folders"' EXIT
while IFS= read -r path; do
    if [ -d "$path" ] && [ ! -L "$path" ] && [ "$(dpkg-query -S "$path")" = "byteway: $path" ]; then
        echo "$path" >>"$own_folders"
    fi
done <"$files"
grep -qx /usr/share/doc/byteway "$own_folders" || fail "dpkg does not count /usr/share/doc/byteway as the package's"
for path in /usr/bin/byteway /usr/bin/byteway-device /usr/bin/byteway-linetest /usr/bin/byteway-sequence \
    /usr/share/applications/$app_id.desktop \
    /usr/share/metainfo/$app_id.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/$app_id.svg \
    /usr/share/icons/hicolor/48x48/apps/$app_id.png \
    /usr/share/icons/hicolor/64x64/apps/$app_id.png \
    /usr/share/icons/hicolor/128x128/apps/$app_id.png \
    /usr/share/icons/hicolor/256x256/apps/$app_id.png \
    /usr/share/man/man1/byteway.1.gz /usr/share/man/man1/byteway-device.1.gz \
    /usr/share/man/man1/byteway-linetest.1.gz /usr/share/man/man1/byteway-sequence.1.gz \
    /usr/share/doc/byteway/copyright /usr/share/doc/byteway/changelog.gz; do
    [ -f "$path" ] || fail "$path is not installed"
    grep -qx "$path" "$files" || fail "$path is not listed as the package's"
done
silent desktop-file-validate /usr/share/applications/$app_id.desktop
for size in 48 64 128 256; do
    file "/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png" \
        | grep -q "PNG image data, $size x $size," || fail "the ${size}x${size} icon has another size"
done

byteway-device --help | grep -q -- '--link' || fail "byteway-device --help printed no usage"
man -w byteway >/dev/null || fail "man does not find byteway(1)"
man -w byteway-device >/dev/null || fail "man does not find byteway-device(1)"
byteway-linetest --help | grep -q -- '--max-ber' || fail "byteway-linetest --help printed no usage"
man -w byteway-linetest >/dev/null || fail "man does not find byteway-linetest(1)"
byteway-sequence --help | grep -q -- '--sequence' || fail "byteway-sequence --help printed no usage"
man -w byteway-sequence >/dev/null || fail "man does not find byteway-sequence(1)"

# The installed program starts as the launcher starts it (no arguments) on settings
# of its own: a throw-away home, so the user's settings are never touched. With no
# port to open it shows its warning and goes on running.
home=$(mktemp -d)
trap 'rm -f "$files" "$own_folders"; rm -rf "$home"' EXIT
env HOME="$home" XDG_CONFIG_HOME="$home/config" QT_QPA_PLATFORM=offscreen \
    XDG_RUNTIME_DIR="$home" byteway >"$home/byteway.log" 2>&1 &
pid=$!
sleep 2
if ! kill -0 "$pid" 2>/dev/null; then
    status=0
    wait "$pid" || status=$?
    fail "byteway ended within 2 s (status $status):
$(cat "$home/byteway.log")"
fi
kill "$pid"
wait "$pid" 2>/dev/null || true
# It read (and, the first time, wrote) its settings file in that home.
[ -f "$home/config/byteway/Byteway.ini" ] \
    || fail "byteway made no settings file in \$XDG_CONFIG_HOME/byteway"

echo "== remove"
$sudo apt-get -o DPkg::Lock::Timeout=600 remove --purge -y -qq byteway >/dev/null
if dpkg-query -W -f='${Status}' byteway 2>/dev/null | grep -q installed; then
    fail "byteway is still installed"
fi
# Every file of the package is gone, and so is every folder that only it had.
while IFS= read -r path; do
    if [ -d "$path" ] && [ ! -L "$path" ]; then
        continue
    fi
    if [ -e "$path" ] || [ -L "$path" ]; then
        fail "$path was left behind"
    fi
done <"$files"
while IFS= read -r folder; do
    [ ! -e "$folder" ] || fail "$folder was left behind"
done <"$own_folders"
echo "test-package: all checks passed"
