// Frames as a second-generation sample descriptor that the bundle accepts:
// written to a WAV file and loaded by samplekit2's own loader, which keeps
// them (and so the descriptor valid) for the rest of the process.
#pragma once

#include "../bench_support.h"
#include "WavFile32.h"
#include "processing_host.h"

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace qwbench
{
inline std::vector<uint8_t> loadedSample(const std::vector<float>& frames, int rate = 48000)
{
    static qwhost::ProcessingHost host;
    static std::vector<std::unique_ptr<qwhost::Processor>> loaders;
    static int files = 0;
    const auto path = std::filesystem::temp_directory_path() /
                      ("qw-bench-sample-" + std::to_string(::getpid()) + "-" + std::to_string(files++) + ".wav");
    qw::WavFile32 wav;
    wav.setChannel(0, static_cast<int>(frames.size()), frames.data());
    wav.sampleRate = rate;
    if (!wav._saveWav(path.wstring(), 32))
        throw std::runtime_error("cannot write " + path.string());
    host.autoDuplicateCount = 1;
    loaders.push_back(host.create(bundle("samplekit2"), L"QW_S2_SampleLoaderDSP"));
    auto& loader = *loaders.back();
    loader.startGraph();
    loader.setText(loader.pin("File"), path.wstring());
    loader.run(1);
    std::filesystem::remove(path);
    for (auto& u : loader.updates)
        if (u.pin == loader.pin("Channel") && u.data.size() == 24)
            return u.data;
    throw std::runtime_error("the loader published no sample");
}
} // namespace qwbench
