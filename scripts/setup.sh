#!/usr/bin/env bash
# Installs what building, testing and running ZeltERP needs on Debian 12,
# and only what is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql postgresql libssl-dev
    qt6-httpserver-dev qt6-websockets-dev
    libquazip1-qt6-dev libsodium-dev
    libsimdjson-dev                    # list bodies (JSON) read at wire speed
    qtkeychain-qt6-dev libsecret-1-0   # remembered passwords (the Secret Service backend is loaded at run time)
    dbus-daemon gnome-keyring          # the keyring tests: dbus-run-session, gnome-keyring-daemon
    libgl-dev
    xvfb xauth imagemagick poppler-utils fonts-dejavu-core
    clang-format clang-tidy            # scripts/check-style.sh: formatting and static analysis
    g++-mingw-w64-x86-64-posix         # scripts/check-windows-syntax.sh: the Windows-only code compiles
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
