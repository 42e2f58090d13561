#!/usr/bin/env bash
# Builds the benchmarks in Release, runs every one pinned to one core with
# repetitions, and prints one table: benchmark, configuration, ns per item
# (a sample, or a call where the benchmark counts calls) and, for a module
# benchmark, its ratio to its bare loop.
#
# Pairing: a benchmark named moduleX (the module through its real process or
# drawing call) is compared with bareX (the same arithmetic with nothing
# around it) of the same arguments. Items are whatever the benchmark counts
# with SetItemsProcessed; without items the time per iteration is shown.
# Where a binary has calibrateAddChain (a chain of one-cycle additions, run in
# the same process), its items are also shown in cycles.
#
# usage: scripts/bench.sh [FILTER]      FILTER: a regular expression on names
# environment: QW_BENCH_BUILD_DIR  build folder (default build-bench in the tree)
#              QW_BENCH_CPU        core to pin to (default 1)
#              QW_BENCH_REPS       repetitions (default 5; the median is shown)
#              QW_JOBS             parallel compile jobs (default: the number of cores)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QW_BENCH_BUILD_DIR:-$root/build-bench}"
cpu="${QW_BENCH_CPU:-1}"
reps="${QW_BENCH_REPS:-5}"
jobs="${QW_JOBS:-$(nproc)}"
filter="${1:-.}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQW_BUILD_TESTS=OFF -DQW_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j "$jobs" >/dev/null

pin=()
command -v taskset >/dev/null 2>&1 && pin=(taskset -c "$cpu")

out="$build/bench-results"
rm -rf "$out"
mkdir -p "$out"
mapfile -t exes < <(find "$build/bench" -type f -executable -name '*_bench' | sort)
for exe in "${exes[@]}"; do
    name="$(basename "$exe")"
    echo "bench.sh: running $name" >&2
    "${pin[@]}" "$exe" --benchmark_filter="($filter)|^calibrateAddChain\$" --benchmark_repetitions="$reps" \
        --benchmark_report_aggregates_only=true --benchmark_format=json >"$out/$name.json" 2>/dev/null || true
done

python3 - "$out" <<'PY'
import json, os, re, sys

rows = []
for f in sorted(os.listdir(sys.argv[1])):
    text = open(os.path.join(sys.argv[1], f)).read()
    if not text.strip():
        continue  # the filter matched nothing in this binary
    data = json.loads(text)
    for b in data.get("benchmarks", []):
        # the median of the repetitions; a single run reports no aggregates
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        if b.get("run_type") == "iteration" and b.get("repetitions", 1) > 1:
            continue
        name = b["run_name"]
        scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[b.get("time_unit", "ns")]
        ns = b["cpu_time"] * scale
        per = "iteration"
        if b.get("items_per_second"):
            ns = 1e9 / b["items_per_second"]
            per = "item"
        func, _, config = name.partition("/")
        rows.append((f[:-5], func, config, ns, per))

by_key = {(r[1], r[2]): r[3] for r in rows}
# A binary with a calibrateAddChain row (one item = one cycle) shows cycles too.
cycle = {r[0]: r[3] for r in rows if r[1] == "calibrateAddChain"}
print(f"{'binary':<18} {'benchmark':<34} {'configuration':<40} {'ns':>12} {'per':<9} {'ratio':>7} {'cycles':>8}")
for binary, func, config, ns, per in rows:
    ratio = ""
    m = re.match(r"module(.+)", func)
    if m and ("bare" + m.group(1), config) in by_key:
        ratio = f"{ns / by_key[('bare' + m.group(1), config)]:.3f}"
    cycles = f"{ns / cycle[binary]:.1f}" if binary in cycle and per == "item" else ""
    print(f"{binary:<18} {func:<34} {config:<40} {ns:>12.3f} {per:<9} {ratio:>7} {cycles:>8}")
PY
