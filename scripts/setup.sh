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
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
    as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
