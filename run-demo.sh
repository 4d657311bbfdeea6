#!/usr/bin/env bash
# Builds the client and the reference back end, starts zelt-server with demo
# data in the background, points the client at it and starts the client. The
# server stops when the client exits, and also when this script is
# interrupted or terminated.
set -euo pipefail
cd "$(dirname "$0")"

scripts/setup.sh

port=${ZELT_DEMO_PORT:-8181}
cmake --preset release >/dev/null
cmake --build --preset release --target zelt zelt-server crm

bin=build/release/bin
mkdir -p run
server_log=run/zelt-server.log
server_pid=""
client_pid=""

stop_all() {
    if [ -n "$client_pid" ]; then
        kill "$client_pid" 2>/dev/null || true
        wait "$client_pid" 2>/dev/null || true
    fi
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
}
trap stop_all EXIT
# A signal ends the script through its EXIT trap, so nothing is left running.
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

"$bin/zelt-server" --port "$port" --db run/zelt-server.db --files run/zelt-files >"$server_log" 2>&1 &
server_pid=$!

# A first start creates and fills the database before it listens.
api_url=""
for _ in $(seq 1 300); do
    api_url=$(sed -n 's/^listening on \(http:\/\/[^ ]*\)$/\1/p' "$server_log" 2>/dev/null | head -n 1 || true)
    [ -n "$api_url" ] && break
    kill -0 "$server_pid" 2>/dev/null || { cat "$server_log" >&2; exit 1; }
    sleep 0.1
done
if [ -z "$api_url" ]; then
    echo "zelt-server did not start listening (log: $server_log)" >&2
    exit 1
fi

# The demo customer's keys and the server's update key (made on its first
# start); the "SignIn" section, if any, is kept.
update_key=$(tr -d '[:space:]' < run/zelt-server.db.update-key.pub)
conf="$bin/app.conf"
signin=""
if [ -f "$conf" ]; then
    signin=$(awk '/^[[:space:]]*\[/ { keep = (tolower($0) ~ /^[[:space:]]*\[signin\][[:space:]]*$/) } keep' "$conf")
fi
{
    printf '[AppConfig]\nCustKey=ZELT-DEMO-0001\nSecretKey=demo-secret-0001\nMode=dev\n\n[URL]\nApiURL=%s\n' "$api_url"
    printf '\n[Update]\nPublicKey=%s\n' "$update_key"
    if [ -n "$signin" ]; then
        printf '\n%s\n' "$signin"
    fi
} >"$conf.tmp"
mv "$conf.tmp" "$conf"

echo "zelt-server on $api_url (log: $server_log)"
echo "Sign in as sarah@zelt.local (English) or budi@zelt.local (Indonesian), password Demo#2024"
# In the background so that a signal reaches the traps at once.
"$bin/zelt" "$@" &
client_pid=$!
status=0
wait "$client_pid" || status=$?
client_pid=""
exit "$status"
