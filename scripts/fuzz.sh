#!/usr/bin/env bash
# Builds every fuzz target (tests/fuzz/*/) with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs them within one
# wall-clock budget, a few at a time. Exits non-zero when a target crashes
# (its input is kept as BUILD/fuzz-artifacts/NAME-crash-*).
#
# usage: scripts/fuzz.sh [SECONDS]     the budget of all targets together (default 600)
# environment: QW_FUZZ_BUILD_DIR  build folder (default build-fuzz in the tree; scripts/test.sh
#                                 hands over its instrumented tree, which holds the targets)
#              QW_FUZZ_JOBS       parallel compile jobs (default 4)
#              QW_FUZZ_PARALLEL   targets running at once (default 2)
#              QW_FUZZ_PREBUILT   1: the targets are built already, only run them
#
# Each target gets the budget divided by the rounds of `parallel` targets it
# takes to run them all, never less than 10 s.
# The corpus each run grows is kept in BUILD/fuzz-corpus/NAME (never
# committed); a target's seeds and dictionary come from its source folder.
set -euo pipefail

budget="${1:-600}"
if ! [[ "$budget" =~ ^[0-9]+$ ]] || [ "$budget" -lt 1 ]; then
    echo "fuzz.sh: the time budget must be a whole number of seconds, not '$budget'" >&2
    exit 2
fi
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QW_FUZZ_BUILD_DIR:-$root/build-fuzz}"
jobs="${QW_FUZZ_JOBS:-4}"
parallel="${QW_FUZZ_PARALLEL:-2}"
if ! [[ "$parallel" =~ ^[0-9]+$ ]] || [ "$parallel" -lt 1 ]; then
    echo "fuzz.sh: QW_FUZZ_PARALLEL must be a whole number of at least 1, not '$parallel'" >&2
    exit 2
fi

if [ "${QW_FUZZ_PREBUILT:-0}" != "1" ]; then
    # --- tools: clang with its libFuzzer runtime, cmake, GoogleTest (the tree configures with it)
    missing=()
    command -v clang++ >/dev/null 2>&1 || missing+=(clang)
    dpkg -s libclang-rt-14-dev >/dev/null 2>&1 || missing+=(libclang-rt-14-dev)
    command -v cmake >/dev/null 2>&1 || missing+=(cmake)
    command -v make >/dev/null 2>&1 || missing+=(make)
    dpkg -s libgtest-dev >/dev/null 2>&1 || missing+=(libgtest-dev)
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "fuzz.sh: installing ${missing[*]}"
        sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
    fi
    # --- configure and build: every library instrumented for coverage, the
    # fuzz targets linked with libFuzzer (QW_BUILD_FUZZ sets both up).
    cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQW_BUILD_FUZZ=ON -DQW_SANITIZE=ON -DQW_BUILD_TESTS=ON >/dev/null
    cmake --build "$build" --target qw_fuzzers -j "$jobs"
fi

shopt -s nullglob
targets=()
for f in "$build"/fuzzers/*; do
    [ -f "$f" ] && [ -x "$f" ] && targets+=("$f")
done
if [ "${#targets[@]}" -eq 0 ]; then
    echo "fuzz.sh: no fuzz target was built in $build/fuzzers" >&2
    exit 1
fi

# Targets run in rounds of `parallel`; the rounds share the budget.
rounds=$(((${#targets[@]} + parallel - 1) / parallel))
seconds=$((budget / rounds))
[ "$seconds" -ge 10 ] || seconds=10
echo "fuzz.sh: ${#targets[@]} targets, ${parallel} at a time, ${seconds} s each (budget ${budget} s)"

logs="$build/fuzz-logs"
artifacts="$build/fuzz-artifacts"
mkdir -p "$logs" "$artifacts"

# Runs one target; its output goes to its log, shown whole when it fails.
run_target() {
    local exe="$1" name corpus
    name="$(basename "$exe")"
    corpus="$build/fuzz-corpus/$name"
    mkdir -p "$corpus"
    local args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
                -artifact_prefix="$artifacts/$name-")
    [ -f "$exe.dict" ] && args+=(-dict="$exe.dict")
    local dirs=("$corpus")
    [ -d "$exe.seeds" ] && dirs+=("$exe.seeds")
    "$exe" "${args[@]}" "${dirs[@]}" >"$logs/$name.log" 2>&1
}

failed=()
declare -A running=() # pid -> target name
finish_one() {
    local pid name status
    wait -n -p pid "${!running[@]}" && status=0 || status=$?
    name="${running[$pid]}"
    unset "running[$pid]"
    if [ "$status" -eq 0 ]; then
        echo "=== $name: no crash ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$logs/$name.log" | grep -o '[0-9]*$' || echo '?') runs)"
    else
        cat "$logs/$name.log" >&2
        echo "=== $name: FAILED (inputs in $artifacts/$name-*)" >&2
        failed+=("$name")
    fi
}
for exe in "${targets[@]}"; do
    [ "${#running[@]}" -lt "$parallel" ] || finish_one
    echo "=== $(basename "$exe"): ${seconds} s"
    run_target "$exe" &
    running[$!]="$(basename "$exe")"
done
while [ "${#running[@]}" -gt 0 ]; do
    finish_one
done

if [ "${#failed[@]}" -gt 0 ]; then
    echo "fuzz.sh: ${#failed[@]} of ${#targets[@]} targets failed: ${failed[*]}" >&2
    exit 1
fi
echo "fuzz.sh: ${#targets[@]} targets ran ${seconds} s each, ${parallel} at a time, without a crash"
