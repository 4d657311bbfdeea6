#!/usr/bin/env bash
# Builds the client and the reference back end, starts zelt-server with demo
# data in the background, points the client at it and starts the client. The
# server stops when the client exits.
set -euo pipefail
cd "$(dirname "$0")"

scripts/setup.sh

port=${ZELT_DEMO_PORT:-8181}
cmake --preset release >/dev/null
cmake --build --preset release --target zelt zelt-server crm

bin=build/release/bin
mkdir -p run
server_log=run/zelt-server.log
"$bin/zelt-server" --port "$port" --db run/zelt-server.db --files run/zelt-files >"$server_log" 2>&1 &
server_pid=$!
trap 'kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true' EXIT

for _ in $(seq 1 100); do
    grep -q "listening on" "$server_log" 2>/dev/null && break
    kill -0 "$server_pid" 2>/dev/null || { cat "$server_log" >&2; exit 1; }
    sleep 0.1
done

# The demo customer's keys; the "SignIn" section, if any, is kept.
conf="$bin/app.conf"
signin=""
if [ -f "$conf" ]; then
    signin=$(awk 'BEGIN{IGNORECASE=1} /^\[/{keep=($0 ~ /^\[signin\]/)} keep' "$conf")
fi
{
    printf '[AppConfig]\nCustKey=ZELT-DEMO-0001\nSecretKey=demo-secret-0001\nMode=dev\n\n[URL]\nApiURL=http://127.0.0.1:%s\n' "$port"
    [ -n "$signin" ] && printf '\n%s\n' "$signin"
} >"$conf.tmp" && mv "$conf.tmp" "$conf"

echo "zelt-server on http://127.0.0.1:$port (log: $server_log)"
echo "Sign in as sarah@zelt.local (English) or budi@zelt.local (Indonesian), password Demo#2024"
"$bin/zelt" "$@"
