#!/bin/sh
# Installs the Debian 12 packages that building, running and testing need.
# Quiet and quick when everything is already there.
set -eu

packages="cmake make g++ pkg-config googletest libgtest-dev libgmock-dev lrzsz
qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-serialport-dev qt6-qpa-plugins
qt6-l10n-tools qt6-translations-l10n qt6-tools-dev qt6-charts-dev libqt6opengl6-dev
fonts-noto-cjk fonts-dejavu-core
ser2net python3-serial lrzsz"

if [ "${1:-}" = "--windows" ]; then
    packages="g++-mingw-w64-x86-64-posix wine64 googletest"
fi
# `make package`: CPack finds the programs with `file` and their library
# dependencies with dpkg-shlibdeps (dpkg-dev).
if [ "${1:-}" = "--package" ]; then
    packages="dpkg-dev file"
fi

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
sudo=""
if [ "$(id -u)" != 0 ]; then
    sudo="sudo"
fi
$sudo apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
