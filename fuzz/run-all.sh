#!/usr/bin/env bash
# Builds the fuzz targets (preset fuzz) and runs each one over its seed corpus for SECONDS
# (default 600). An input that crashes a target, leaks, runs out of memory or times out is kept in
# the target's seed corpus, fuzz/corpus/<name>/, so every later run starts from it: mend the fault
# and commit the input beside the other seeds. With --print nothing is written into the tree and
# each such input is printed in hex instead (continuous integration). Inputs that merely add
# coverage stay in a temporary folder. Exits 1 when any target failed.
set -euo pipefail
cd "$(dirname "$0")/.."

keep=true
if [ "${1:-}" = "--print" ]; then
    keep=false
    shift
fi
seconds=${1:-600}
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ $# -gt 1 ]; then
    echo "usage: fuzz/run-all.sh [--print] [SECONDS]" >&2
    exit 2
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "${JOBS:-$(nproc)}"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=()
while read -r target corpus; do
    [ -n "$target" ] || continue
    work="$scratch/$target"
    mkdir -p "$work/corpus" "$work/found"
    cp -r "$corpus"/. "$work/corpus"/
    echo "-- $target (${seconds} s)"
    if "build/fuzz/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$work/found/" "$work/corpus" >"$work/log" 2>&1; then
        tail -n 2 "$work/log"
        continue
    fi
    failed+=("$target")
    tail -n 40 "$work/log"
    for input in "$work"/found/{crash,leak,oom,timeout}-*; do
        [ -e "$input" ] || continue
        name=$(basename "$input")
        if ! $keep; then
            echo "   $target: $name ($(stat -c %s "$input") bytes):"
            od -An -tx1 -v "$input"
            continue
        fi
        known=""
        for seed in "$corpus"/*; do
            if [ -f "$seed" ] && cmp -s "$seed" "$input"; then
                known=$seed
                break
            fi
        done
        if [ -n "$known" ]; then
            echo "   $target: the seed $known still fails"
        else
            cp "$input" "$corpus/$name"
            echo "   $target: kept $corpus/$name"
        fi
    done
done <build/fuzz/fuzzers.txt

if ((${#failed[@]})); then
    echo "fuzz targets that failed: ${failed[*]}" >&2
    exit 1
fi
