#!/usr/bin/env bash
# Runs the test that puts both halves of the samplekit modules on two threads
# (tests/samplekit/threads_test.cpp) under ThreadSanitizer. ThreadSanitizer
# cannot share a build with AddressSanitizer, so the test, the host stand-in
# and samplekit are built alone in a build of their own. Exits non-zero on a
# failed check or a reported data race.
#
# environment: QW_TSAN_BUILD_DIR  build folder (default build-tsan in the tree)
#              QW_JOBS            parallel compile jobs (default: the number of cores)
#              QW_THREAD_SECONDS  how long each module runs (default 1.5)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QW_TSAN_BUILD_DIR:-$root/build-tsan}"
jobs="${QW_JOBS:-$(nproc)}"

launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
flags="-fsanitize=thread -fno-omit-frame-pointer"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQW_SANITIZE=OFF -DQW_BUILD_TESTS=ON \
    -DQW_BUILD_BENCH=OFF "${launcher[@]}" "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_CXX_FLAGS=$flags" \
    -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_MODULE_LINKER_FLAGS=-fsanitize=thread \
    -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build "$build" -j "$jobs" --target samplekit samplekit_threads_test

QW_THREAD_SECONDS="${QW_THREAD_SECONDS:-1.5}" TSAN_OPTIONS="halt_on_error=1 ${TSAN_OPTIONS:-}" \
    "$build/tests/samplekit/samplekit_threads_test"
echo "tsan.sh: both halves ran on two threads without a data race"
