#!/bin/sh
# Installs what a fresh Debian 12 machine lacks to build and test mrv, then
# configures and builds incrementally into build/. Does nothing that is
# already done: packages present are not touched, the build is incremental.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
build=${MRV_BUILD_DIR:-$here/build}

packages="cmake ninja-build g++ ccache pkg-config
qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libsqlite3-dev
libgmime-3.0-dev libcurl4-gnutls-dev libpq-dev postgresql-15 python3-aiosmtpd openssl
qt6-pdf-dev qt6-tools-dev qt6-l10n-tools qt6-tools-dev-tools poppler-utils
qt6-svg-dev libqt6svg6 dovecot-imapd"

missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done

if [ -n "$missing" ]; then
    echo "mrv setup: installing$missing"
    if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
    # shellcheck disable=SC2086
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing
fi

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -- -j"$(nproc)"
