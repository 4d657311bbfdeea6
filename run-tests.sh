#!/usr/bin/env bash
# Set-up, build and every test. With --asan the same suite runs again built
# with AddressSanitizer and UndefinedBehaviorSanitizer; with --style the code
# checks of scripts/check-style.sh (format, clang-tidy, Windows syntax) run
# after the plain suite.
set -euo pipefail
cd "$(dirname "$0")"

asan=0
style=0
for arg in "$@"; do
    case "$arg" in
        --asan) asan=1 ;;
        --style) style=1 ;;
        *) echo "usage: $0 [--asan] [--style]" >&2; exit 2 ;;
    esac
done

scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
# A throw-away PostgreSQL for the *_pg tests (the server suite and the
# end-to-end test run once on SQLite and once on it), stopped on any exit.
pg_dir=$(mktemp -d "${TMPDIR:-/tmp}/zelt-pg.XXXXXX")
trap 'scripts/test-postgres.sh stop "$pg_dir"' EXIT
ZELT_TEST_PG_URL=$(scripts/test-postgres.sh start "$pg_dir")
export ZELT_TEST_PG_URL

run_suite() {
    local preset=$1
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
}

run_suite default
if [ "$style" = 1 ]; then
    scripts/check-style.sh
fi
if [ "$asan" = 1 ]; then
    run_suite asan
fi
