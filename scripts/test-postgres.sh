#!/usr/bin/env bash
# A throw-away PostgreSQL for the tests: "start DIR" creates a cluster in DIR
# (an empty or missing folder), starts it on 127.0.0.1 and a free port and
# prints its URL (postgresql://zelt@127.0.0.1:PORT); "stop DIR" stops it and
# removes DIR. initdb refuses to run as root, so as root the cluster belongs
# to the unprivileged user "nobody".
set -euo pipefail

usage() { echo "usage: $0 start|stop DIR" >&2; exit 2; }
[ $# -eq 2 ] || usage
cmd=$1
dir=$2

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -n "$bin" ] || { echo "PostgreSQL server programs not found (scripts/setup.sh installs them)" >&2; exit 1; }

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u nobody -- "$@"
    else
        "$@"
    fi
}

case "$cmd" in
start)
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown nobody "$dir"
    as_owner "$bin/initdb" -D "$dir/data" -U zelt --auth=trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
        || { cat "$dir/initdb.log" >&2; exit 1; }
    # durability is not what these tests are about: no fsync keeps them quick
    for _ in $(seq 1 20); do
        port=$((20000 + RANDOM % 30000))
        if as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
            -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c max_connections=200" \
            start >/dev/null 2>&1; then
            echo "postgresql://zelt@127.0.0.1:$port"
            exit 0
        fi
    done
    cat "$dir/server.log" >&2 || true
    exit 1
    ;;
stop)
    if [ -d "$dir/data" ]; then
        as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    ;;
*)
    usage
    ;;
esac
