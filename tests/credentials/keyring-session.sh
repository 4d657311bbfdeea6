#!/bin/sh
# Runs a test inside a private D-Bus session with a GNOME keyring of its own,
# created unlocked in a throw-away home: the user's own session and keyring
# are never reached.
set -eu
if [ -z "${ZELT_KEYRING_SESSION:-}" ]; then
    export ZELT_KEYRING_SESSION=1
    exec dbus-run-session -- "$0" "$@"
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
    XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$home/run"
# no unlock prompt can appear anywhere
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_DATA_HOME"
chmod 700 "$XDG_RUNTIME_DIR"
# creates the "login" keyring with this password, unlocked
printf '%s' zelt-test-keyring | gnome-keyring-daemon --unlock --components=secrets >/dev/null
"$@"
