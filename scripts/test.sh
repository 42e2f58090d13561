#!/usr/bin/env bash
# Runs every test: installs the Debian packages the builds need when they are
# missing, checks the formatting, configures and builds one instrumented tree
# (clang with AddressSanitizer and UndefinedBehaviorSanitizer, the libraries
# also instrumented for libFuzzer) holding the tests, the bundles they load
# and the fuzz targets, runs ctest there in parallel, builds the plain
# Release tree with the default compiler and runs the tests labelled "plain"
# and one short run of each benchmark against it, then runs the fuzz targets
# within one time budget. Prints the wall and CPU time of each phase at the end.
#
# environment: QW_TEST_BUILD_DIR   instrumented tree (default build-ci in the tree)
#              QW_PLAIN_BUILD_DIR  plain Release tree (default build-ci-plain in the tree)
#              QW_JOBS             parallel jobs (default: the number of cores)
#              QW_FUZZ_SECONDS     wall-clock budget of all fuzz targets together, split
#                                  across them (default 600; 0 skips fuzzing)
#              QW_WERROR           1: warnings are errors (what .ci/run sets)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QW_TEST_BUILD_DIR:-$root/build-ci}"
plain="${QW_PLAIN_BUILD_DIR:-$root/build-ci-plain}"
jobs="${QW_JOBS:-$(nproc)}"
fuzz_seconds="${QW_FUZZ_SECONDS:-600}"
werror=OFF
[ "${QW_WERROR:-0}" = "1" ] && werror=ON

# --- phase timings: wall clock, and the CPU time (user + system) of the
# phase's processes, read from this shell's waited-for children.
ticks="$(getconf CLK_TCK)"
phases=()
children_cpu() {
    local stat
    read -r -a stat </proc/$$/stat
    echo $((stat[15] + stat[16]))
}
phase() {
    local name="$1"
    shift
    local wall0="$EPOCHREALTIME" cpu0
    cpu0="$(children_cpu)"
    echo "=== test.sh: $name"
    "$@"
    local cpu1
    cpu1="$(children_cpu)"
    phases+=("$(awk -v n="$name" -v w0="$wall0" -v w1="$EPOCHREALTIME" -v c="$((cpu1 - cpu0))" -v t="$ticks" \
        'BEGIN { printf "  %-16s %9.1f s %9.1f s\n", n, w1 - w0, c / t }')")
}
report() {
    local status=$?
    if [ "${#phases[@]}" -gt 0 ]; then
        printf 'test.sh: %-14s %11s %11s\n' "phase" "wall" "cpu"
        printf '%s\n' "${phases[@]}"
    fi
    return $status
}
trap report EXIT

packages=(g++ cmake ninja-build make lld-14 clang libclang-rt-14-dev libgtest-dev libbenchmark-dev libcairo2-dev
          pkg-config fonts-dejavu-core fonts-liberation clang-format)
install_missing() {
    local missing=() p
    for p in "${packages[@]}"; do
        dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "test.sh: installing ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
    fi
}
phase packages install_missing

phase format "$root/scripts/format.sh" --check

# A tree made anew uses Ninja; an existing one keeps its generator.
generator() {
    [ -f "$1/CMakeCache.txt" ] || echo "-GNinja"
}

phase configure cmake -S "$root" -B "$build" $(generator "$build") \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQW_SANITIZE=ON -DQW_BUILD_TESTS=ON -DQW_BUILD_FUZZ=ON -DQW_BUILD_BENCH=OFF -DQW_WERROR="$werror"
phase build cmake --build "$build" -j "$jobs"
phase ctest ctest --test-dir "$build" --output-on-failure --timeout 900 -j "$jobs"

phase "plain configure" cmake -S "$root" -B "$plain" $(generator "$plain") -DCMAKE_BUILD_TYPE=Release \
    -DQW_BUILD_TESTS=ON -DQW_BUILD_BENCH=ON -DQW_WERROR="$werror"
phase "plain build" cmake --build "$plain" -j "$jobs" --target qw_plain_checks
phase "plain ctest" ctest --test-dir "$plain" --output-on-failure --timeout 900 -j "$jobs" -L plain
phase tsan env QW_JOBS="$jobs" "$root/scripts/tsan.sh"

if [ "$fuzz_seconds" != "0" ]; then
    phase fuzzing env QW_FUZZ_BUILD_DIR="$build" QW_FUZZ_PREBUILT=1 QW_FUZZ_PARALLEL="${QW_FUZZ_PARALLEL:-2}" \
        "$root/scripts/fuzz.sh" "$fuzz_seconds"
fi
echo "test.sh: all tests passed"
