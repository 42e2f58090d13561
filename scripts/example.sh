#!/usr/bin/env bash
# The main job: builds the bundles and the command-line host (Release), lists
# what each bundle registers, and runs a low-pass filter over a generated
# sine sweep into build-example/lowpass.wav.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QW_EXAMPLE_BUILD_DIR:-$root/build-example}"
jobs="${QW_JOBS:-$(nproc)}"

missing=()
for p in g++ cmake make libcairo2-dev pkg-config fonts-dejavu-core fonts-liberation; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQW_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target qwhost panelkit signalkit shapekit samplekit2 samplekit

qwhost="$build/tools/qwhost"
for b in panelkit signalkit shapekit samplekit2 samplekit; do
    echo "== $b"
    "$qwhost" list "$build/bundles/$b.so"
done

if "$qwhost" list "$build/bundles/signalkit.so" | grep -qx '  QW_Biquad2'; then
    echo "== low-pass at 1 kHz over a two-second sweep"
    "$qwhost" run "$build/bundles/signalkit.so" QW_Biquad2 --pin "Cutoff=100" --pin "Sections=2" --seconds 2 \
        --out "$build/lowpass.wav"
    echo "written: $build/lowpass.wav"
fi
