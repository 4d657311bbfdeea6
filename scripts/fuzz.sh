#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz) with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build/fuzz, and runs each for a bounded time
# on a copy of its seed corpus. Not part of the test suite.
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true

cmake --preset fuzz >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for src in tests/fuzz/fuzz_*.cpp; do
        targets+=("$(basename "$src" .cpp)")
    done
fi
cmake --build build/fuzz --target "${targets[@]}" -j2

status=0
for t in "${targets[@]}"; do
    name="${t#fuzz_}"
    work="build/fuzz/corpus/$name"
    mkdir -p "$work" build/fuzz/findings
    [ -d "tests/fuzz/corpus/$name" ] && cp -n "tests/fuzz/corpus/$name"/* "$work"/ 2>/dev/null || true
    echo "== $t for ${seconds}s"
    if ! QT_QPA_PLATFORM=offscreen "build/fuzz/bin/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
        -max_len=65536 -artifact_prefix=build/fuzz/findings/ "$work"; then
        echo "$t found a failure: see build/fuzz/findings/ (add the input to tests/fuzz/corpus/$name once fixed)"
        status=1
    fi
done
exit $status
