#!/usr/bin/env bash
# The code checks that are not tests: formatting (clang-format), static
# analysis (clang-tidy, the checks of .clang-tidy) and the Windows syntax
# check. Each stage prints its time; any finding fails the script.
#
#   scripts/check-style.sh [--changed REF] [--skip-tidy] [--skip-windows]
#
# --changed REF checks only the C++ files that differ from REF (format and
# tidy); without it, the whole tree. Needs a built build/default (tidy reads
# its compile_commands.json and generated moc headers).
#
# The format check runs once the tree has been formatted: the file
# .clang-format-enforced at the top marks that. Until then it reports the
# number of files that differ and does not fail.
set -euo pipefail
cd "$(dirname "$0")/.."

changed_ref=""
run_tidy=1
run_windows=1
while [ $# -gt 0 ]; do
    case "$1" in
        --changed) changed_ref=${2:?--changed needs a git ref}; shift ;;
        --skip-tidy) run_tidy=0 ;;
        --skip-windows) run_windows=0 ;;
        *) echo "usage: $0 [--changed REF] [--skip-tidy] [--skip-windows]" >&2; exit 2 ;;
    esac
    shift
done

jobs=${ZELT_STYLE_JOBS:-2}
status=0
stage_start=0
begin() { stage_start=$SECONDS; echo "== $1"; }
end() { echo "== $1: $2 ($((SECONDS - stage_start)) s)"; }

# C++ files of ours: tracked, not generated, not third-party.
cxx_files() {
    if [ -n "$changed_ref" ]; then
        git diff --name-only --diff-filter=ACMR "$changed_ref" -- "$@"
    else
        git ls-files -- "$@"
    fi | grep -E '\.(cpp|h)$' || true
}

# ------------------------------------------------------------------ format
begin "clang-format"
mapfile -t format_files < <(cxx_files source server tests bench)
if [ ${#format_files[@]} -eq 0 ]; then
    end "clang-format" "no files"
elif [ -f .clang-format-enforced ]; then
    if printf '%s\0' "${format_files[@]}" | xargs -0 -n 20 -P "$jobs" clang-format --dry-run -Werror; then
        end "clang-format" "ok, ${#format_files[@]} files"
    else
        end "clang-format" "FAILED (clang-format -i the files named above)"
        status=1
    fi
else
    differ=0
    for f in "${format_files[@]}"; do
        clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || differ=$((differ + 1))
    done
    end "clang-format" "not enforced yet: $differ of ${#format_files[@]} files differ"
fi

# -------------------------------------------------------------------- tidy
if [ "$run_tidy" = 1 ]; then
    begin "clang-tidy"
    db=build/default/compile_commands.json
    [ -f "$db" ] || { echo "$db is missing: configure and build the default preset first" >&2; exit 2; }
    mapfile -t tidy_files < <(cxx_files source server | grep -E '\.cpp$' || true)
    # Windows-only backends are checked by the Windows syntax check below.
    mapfile -t tidy_files < <(printf '%s\n' "${tidy_files[@]}" | grep -vE 'Win\.cpp$' | grep . || true)
    if [ ${#tidy_files[@]} -eq 0 ]; then
        end "clang-tidy" "no files"
    else
        # The database of the g++ build, without its precompiled header
        # (clang cannot read g++'s) and with only the files to check.
        tidy_db=$(mktemp -d)
        trap 'rm -rf "$tidy_db"' EXIT
        python3 - "$db" "$tidy_db/compile_commands.json" "$PWD" "${tidy_files[@]}" <<'PY'
import json, re, sys
src, dst, root, files = sys.argv[1], sys.argv[2], sys.argv[3], set(sys.argv[4:])
out = []
for e in json.load(open(src)):
    rel = e["file"][len(root) + 1:] if e["file"].startswith(root + "/") else None
    if rel not in files:
        continue
    cmd = re.sub(r"\s-include\s+\S*cmake_pch\.hxx", "", e["command"])
    cmd = cmd.replace(" -Winvalid-pch", "")
    out.append(dict(e, command=cmd))
json.dump(out, open(dst, "w"), indent=1)
print(f"{len(out)} translation units")
PY
        if run-clang-tidy -quiet -j "$jobs" -p "$tidy_db" >"$tidy_db/tidy.log" 2>&1 \
            && ! grep -qE '(warning|error): ' "$tidy_db/tidy.log"; then
            end "clang-tidy" "ok"
        else
            grep -E -A3 '(warning|error): ' "$tidy_db/tidy.log" | head -200 || tail -40 "$tidy_db/tidy.log"
            end "clang-tidy" "FAILED"
            status=1
        fi
    fi
fi

# ----------------------------------------------------------------- windows
if [ "$run_windows" = 1 ]; then
    begin "Windows syntax check"
    if scripts/check-windows-syntax.sh; then
        end "Windows syntax check" "ok"
    else
        end "Windows syntax check" "FAILED"
        status=1
    fi
fi

exit $status
