#!/usr/bin/env bash
# Installs the Debian packages that building and testing Corvanta need, when any is missing.
# Runs apt-get as root (directly, or through sudo when the caller is not root).
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    libgtest-dev libgmock-dev
    libssl-dev
    qt6-base-dev fonts-liberation
    mdbtools
    clang libclang-rt-14-dev
    # The Debian package (cpack reads library dependencies with dpkg-shlibdeps and file) and
    # the validators of its desktop entry, metainfo and manual pages, and Debian's own checker.
    dpkg-dev file desktop-file-utils appstream groff-base lintian
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

# Node.js runs the npm package mdb-reader, the tests' second independent reader. A machine that
# has node and npm already (from any source) keeps them.
if ! command -v node > /dev/null || ! command -v npm > /dev/null; then
    missing+=(nodejs npm)
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    as_root=()
    if [ "$(id -u)" -ne 0 ]; then
        as_root=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${as_root[@]}" apt-get update -q
    "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# mdb-reader at the version its lock file pins, installed beside the script that runs it.
reader="$(dirname "$0")/../tests/support/mdb_reader"
if [ ! -d "$reader/node_modules/mdb-reader" ]; then
    echo "Installing the npm package mdb-reader for the tests"
    npm ci --prefix "$reader" --no-audit --no-fund --loglevel=error
fi
