// Real second-generation samples for the descriptor inputs of a module under
// test, and a scratch folder for what modules read and write.
#pragma once

#include "patch.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qwtest
{
// A fresh folder of its own under the system's temporary folder, removed
// with the object.
class ScratchFolder
{
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Feeds every input of `module` marked `descriptor` in its description with a
// sample that a QW_S2_SampleLoaderDSP of samplekit2, added upstream in the
// patch, loads from a small generated stereo WAV file (inputs take its two
// channels in turn). Both hosts of the patch resolve file names into the
// scratch folder, and only there. A module without such inputs gets no loader.
class SampleSource
{
public:
    SampleSource(qwhost::Patch& patch, qwhost::Processor& module);
    bool active() const { return loader_ != nullptr; }
    // After patch.start(): the loader loads the file at each of these times
    // (samples from the start).
    void loadAt(const std::vector<int64_t>& times);
    // The frames of each channel of the file.
    static const std::vector<std::vector<float>>& frames();

private:
    ScratchFolder folder_;
    qwhost::Processor* loader_ = nullptr;
};
} // namespace qwtest
