#!/usr/bin/env bash
# Builds every fuzz target (tests/fuzz/*/) with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs each for a bounded
# time. Exits non-zero when a target crashes (its input is kept as
# BUILD/fuzz-artifacts/NAME-crash-*).
#
# usage: scripts/fuzz.sh [SECONDS_PER_TARGET]     (default 60)
# environment: QW_FUZZ_BUILD_DIR  build folder (default build-fuzz in the tree)
#              QW_FUZZ_JOBS       parallel compile jobs (default 4)
#
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

# --- tools: clang with its libFuzzer runtime, cmake, GoogleTest (the test tree configures with it)
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
# fuzz targets linked with libFuzzer (qw_add_fuzzer adds -fsanitize=fuzzer).
cmake -S "$root" -B "$build" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQW_BUILD_FUZZ=ON -DQW_SANITIZE=ON -DQW_BUILD_TESTS=ON \
    "-DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link" \
    "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link -Wno-unknown-warning-option" >/dev/null
cmake --build "$build" --target qw_fuzzers -j "$jobs"

shopt -s nullglob
targets=()
for f in "$build"/fuzzers/*; do
    [ -f "$f" ] && [ -x "$f" ] && targets+=("$f")
done
if [ "${#targets[@]}" -eq 0 ]; then
    echo "fuzz.sh: no fuzz target was built in $build/fuzzers" >&2
    exit 1
fi

seconds=$((budget / ${#targets[@]}))
[ "$seconds" -ge 10 ] || seconds=10
echo "fuzz.sh: ${#targets[@]} targets, ${seconds} s each (budget ${budget} s)"

failed=()
for exe in "${targets[@]}"; do
    name="$(basename "$exe")"
    corpus="$build/fuzz-corpus/$name"
    artifacts="$build/fuzz-artifacts"
    mkdir -p "$corpus" "$artifacts"
    args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
          -artifact_prefix="$artifacts/$name-")
    [ -f "$exe.dict" ] && args+=(-dict="$exe.dict")
    dirs=("$corpus")
    [ -d "$exe.seeds" ] && dirs+=("$exe.seeds")
    echo "=== $name: ${seconds} s"
    if "$exe" "${args[@]}" "${dirs[@]}"; then
        echo "=== $name: no crash"
    else
        echo "=== $name: FAILED (inputs in $artifacts/$name-*)" >&2
        failed+=("$name")
    fi
done

if [ "${#failed[@]}" -gt 0 ]; then
    echo "fuzz.sh: ${#failed[@]} of ${#targets[@]} targets failed: ${failed[*]}" >&2
    exit 1
fi
echo "fuzz.sh: ${#targets[@]} targets ran ${seconds} s each without a crash"
