#!/usr/bin/env bash
# Runs every fuzz target of tests/fuzz (or those named) for a while each and
# prints, per target, the executions, the coverage reached and the findings.
#
#   scripts/fuzz.sh [-t SECONDS] [TARGET...]     default: 600 s each, all targets
#
# Builds build/fuzz with clang (-DZELT_FUZZ=ON: libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer). Each run starts from the target's seed corpus
# (tests/fuzz/corpus/NAME, read only) and keeps what it learns in
# build/fuzz/corpus/NAME. A finding (crash-*, leak-*, timeout-*, oom-*) lands
# in build/fuzz/findings/NAME; minimise it with
#   build/fuzz/bin/fuzz_NAME -minimize_crash=1 -runs=100000 FILE
# and put the result into tests/fuzz/corpus/NAME together with the fix.
# A target's own libFuzzer flags, one a line, go into
# tests/fuzz/options/NAME.options; they override the defaults below.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=600
while getopts "t:" opt; do
    case "$opt" in
        t) seconds=$OPTARG ;;
        *) echo "usage: $0 [-t SECONDS] [TARGET...]" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for src in tests/fuzz/fuzz_*.cpp; do
        name=$(basename "$src" .cpp)
        targets+=("${name#fuzz_}")
    done
fi

build=build/fuzz
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
        -DZELT_FUZZ=ON -DZELT_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j2 --target $(printf 'fuzz_%s ' "${targets[@]}")

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:detect_odr_violation=0:abort_on_error=0
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

summary=()
for name in "${targets[@]}"; do
    exe=$build/bin/fuzz_$name
    work=$build/corpus/$name
    findings=$build/findings/$name
    log=$build/logs/$name.log
    mkdir -p "$work" "$findings" "$(dirname "$log")"
    dict=()
    [ -f "tests/fuzz/dict/$name.dict" ] && dict=(-dict="tests/fuzz/dict/$name.dict")
    own=()
    [ -f "tests/fuzz/options/$name.options" ] && mapfile -t own < <(grep -Ev '^(#|$)' "tests/fuzz/options/$name.options")
    echo "== $name: $seconds s" >&2
    # -fork keeps going after a finding, so one run can report several
    set +e
    "$exe" "${dict[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -max_len=16384 \
        -print_final_stats=1 -artifact_prefix="$findings/" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 \
        -ignore_ooms=1 "${own[@]}" "$work" "tests/fuzz/corpus/$name" >"$log" 2>&1
    set -e
    # the fork mode's status lines: "#N: cov: C ft: F corp: ... exec/s: E ..."
    last=$(grep -E '^#[0-9]+: cov:' "$log" | tail -1 || true)
    execs=$(sed -nE 's/^#([0-9]+): cov:.*/\1/p' <<<"$last")
    cov=$(sed -nE 's/.* cov: ([0-9]+) .*/\1/p' <<<"$last")
    ft=$(sed -nE 's/.* ft: ([0-9]+) .*/\1/p' <<<"$last")
    found=$(find "$findings" -type f | wc -l)
    summary+=("$(printf '%-14s %12s %8s %8s %9s' "$name" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$found")")
done

printf '%-14s %12s %8s %8s %9s\n' target executions cov features findings
printf '%s\n' "${summary[@]}"
echo "logs: $build/logs, findings: $build/findings" >&2
