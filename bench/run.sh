#!/usr/bin/env bash
# Runs every benchmark program of the build directory given, then `lumo-host bench`.
set -euo pipefail
build=${1:-build-bench}
for bin in "$build"/bench/bench_*; do
    [ -x "$bin" ] || continue
    echo "== $(basename "$bin")"
    "$bin" --benchmark_counters_tabular=true
done
# Many cameras through the whole plugin at once: CPU, drops, latency, threads and memory.
if [ -x "$build/lumo-host" ]; then
    echo "== lumo-host bench"
    "$build/lumo-host" bench --cameras 128 --rate 10 --seconds 30
    echo "== lumo-host bench, 512 cameras sized as on a 64-thread server"
    "$build/lumo-host" bench --cameras 512 --rate 10 --seconds 30 --simulate-cores 64
    echo "== lumo-host bench --churn"
    "$build/lumo-host" bench --churn 1000
fi
