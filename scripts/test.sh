#!/usr/bin/env bash
# Runs every test: installs the Debian packages the build needs when they are
# missing, configures one build with AddressSanitizer and
# UndefinedBehaviorSanitizer, builds it once, runs ctest in parallel, then
# runs each fuzz target for a bounded time.
#
# environment: QW_TEST_BUILD_DIR  build folder (default build-test in the tree)
#              QW_JOBS            parallel jobs (default: the number of cores)
#              QW_FUZZ_SECONDS    time budget of all fuzz targets together, split evenly
#                                 (default 600; 0 skips fuzzing)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QW_TEST_BUILD_DIR:-$root/build-test}"
jobs="${QW_JOBS:-$(nproc)}"
fuzz_seconds="${QW_FUZZ_SECONDS:-600}"

packages=(g++ cmake make libgtest-dev libbenchmark-dev libcairo2-dev pkg-config fonts-dejavu-core fonts-liberation
          clang-format)
missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "test.sh: installing ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

"$root/scripts/format.sh" --check

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQW_SANITIZE=ON -DQW_BUILD_TESTS=ON \
    -DQW_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j "$jobs"
(cd "$build" && ctest --output-on-failure --timeout 900 -j "$jobs")
QW_JOBS="$jobs" "$root/scripts/tsan.sh"

if [ "$fuzz_seconds" != "0" ]; then
    QW_FUZZ_JOBS="$jobs" "$root/scripts/fuzz.sh" "$fuzz_seconds"
fi
echo "test.sh: all tests passed"
