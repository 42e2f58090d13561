#include "sample_source.h"

#include "WavFile32.h"
#include "test_support.h"

#include <atomic>
#include <cmath>
#include <unistd.h>

namespace qwtest
{
ScratchFolder::ScratchFolder()
{
    static std::atomic<int> count{0};
    path_ = std::filesystem::temp_directory_path() /
            ("qw-scratch-" + std::to_string(::getpid()) + "-" + std::to_string(count++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

const std::vector<std::vector<float>>& SampleSource::frames()
{
    // Two short channels: a decaying tone and a ramp, enough for a player to loop over.
    static const std::vector<std::vector<float>> channels = [] {
        std::vector<std::vector<float>> c(2, std::vector<float>(600));
        for (size_t i = 0; i < 600; ++i)
        {
            c[0][i] = static_cast<float>(0.8 * std::sin(0.05 * static_cast<double>(i)) * std::exp(-0.004 * i));
            c[1][i] = static_cast<float>(i) / 300.0f - 1.0f;
        }
        return c;
    }();
    return channels;
}

SampleSource::SampleSource(qwhost::Patch& patch, qwhost::Processor& module)
{
    patch.processing.resourceFolder = folder_.path().string();
    patch.processing.confineFiles = true;
    patch.gui.resourceFolder = folder_.path().string();
    patch.gui.confineFiles = true;

    std::vector<int> inputs;
    for (int i = 0; i < module.pinCount(); ++i)
    {
        const auto& info = module.pinInfo(i);
        if (info.direction == gmpi::MP_IN && info.datatype == gmpi::MP_BLOB && info.has("descriptor"))
            inputs.push_back(i);
    }
    if (inputs.empty())
        return;

    qw::WavFile32 wav;
    for (size_t c = 0; c < frames().size(); ++c)
        wav.setChannel(static_cast<int>(c), static_cast<int>(frames()[c].size()), frames()[c].data());
    wav.sampleRate = 44100;
    if (!wav._saveWav((folder_.path() / "sample.wav").wstring(), 32))
        throw qwhost::Error("cannot write the sample file in " + folder_.path().string());

    loader_ = &patch.addProcessor(bundle("samplekit2"), L"QW_S2_SampleLoaderDSP");
    const int first = loader_->pin("Channel");
    int channels = 0;
    while (first + channels < loader_->pinCount() && loader_->pinInfo(first + channels).name == "Channel")
        ++channels;
    if (channels == 0)
        throw qwhost::Error("the sample loader has no channel outputs");
    for (size_t k = 0; k < inputs.size(); ++k)
        patch.connect(*loader_, first + static_cast<int>(k % static_cast<size_t>(channels)), module, inputs[k]);
}

void SampleSource::loadAt(const std::vector<int64_t>& times)
{
    if (!loader_)
        return;
    loader_->setBool(loader_->pin("Auto Load"), false, 0);
    loader_->setText(loader_->pin("File"), (folder_.path() / "sample.wav").wstring(), 0);
    for (int64_t t : times)
    {
        loader_->setBool(loader_->pin("Trigger"), true, static_cast<int>(t));
        loader_->setBool(loader_->pin("Trigger"), false, static_cast<int>(t + 1));
    }
}
} // namespace qwtest
