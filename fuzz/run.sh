#!/usr/bin/env bash
# Runs every fuzz target for FUZZ_SECONDS each. Seeds: fuzz/seeds/<name>/ of the project and,
# for the metadata parser, the ONVIF documents of ../shared/onvif-samples/ when present.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
for bin in "$build"/fuzz/fuzz_*; do
    [ -x "$bin" ] || continue
    name=$(basename "$bin")
    corpus="$build/fuzz/corpus/$name"
    mkdir -p "$corpus"
    seeds=()
    [ -d "$root/fuzz/seeds/$name" ] && seeds+=("$root/fuzz/seeds/$name")
    if [ "$name" = fuzz_metadata ] && [ -d "$root/../shared/onvif-samples" ]; then
        seeds+=("$root/../shared/onvif-samples")
    fi
    echo "== $name: ${seconds}s"
    "$bin" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=2048 \
        "$corpus" "${seeds[@]}" 2>&1 | grep -E 'stat::number_of_executed_units|Done|ERROR|SUMMARY' || true
    test "${PIPESTATUS[0]}" -eq 0
done
