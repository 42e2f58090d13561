// Writes the samples on its inputs as one multi-channel WAV file, on the
// audio thread. Each input's frames are copied whole when they arrive; a save
// writes every channel at the length of the longest, shorter ones padded with
// zeros. Rate and loop points given once stay for later saves until replaced.
#include "sample_files.h"

#include <vector>

class QW_S2_SampleSaverDSP : public MpBase2
{
public:
    static constexpr int kFixedPins = 7;

    QW_S2_SampleSaverDSP()
    {
        initializePin(saveOnName_);
        initializePin(fileName_);
        initializePin(trigger_);
        initializePin(rate_);
        initializePin(loopStart_);
        initializePin(loopEnd_);
        initializePin(bitsIndex_);
    }

    int32_t open() override
    {
        qw::files::addChannelPins(*this, channels_, kFixedPins);
        kept_.resize(channels_.size());
        return MpBase2::open();
    }

    void onSetPins() override
    {
        for (size_t i = 0; i < channels_.size(); ++i)
        {
            const qw::Sample2InPin& in = *channels_[i];
            if (!in.changed())
                continue;
            if (in.count() > 0)
                kept_[i].assign(in.frames(), in.frames() + in.count());
            else
                std::vector<float>().swap(kept_[i]);
        }

        if (request_.check(fileName_, saveOnName_, trigger_))
            doSave();
    }

private:
    void doSave()
    {
        std::vector<qw::files::ChannelFrames> channels;
        for (auto& k : kept_)
            channels.push_back({k.data(), k.size()});
        const size_t written = qw::files::nonEmptyChannels(channels);
        if (written == 0 || fileName_.getValue().empty())
            return;
        GmpiSdk::ProcessorHost host(getHost());
        const std::wstring resolved = host.resolveFilename_old(fileName_.getValue());
        if (resolved.empty())
            return;

        const int bits = qw::files::dspBits(bitsIndex_);
        // The rate must fit the file's byte-rate field; depths the writer
        // refuses write nothing anyway.
        const int64_t bytesPerFrame = static_cast<int64_t>(written) * (bits ? bits / 8 : 4);
        int32_t rate = qw::files::rateThatFits(rate_.getValue(), bytesPerFrame);
        if (rate == 0)
            rate = qw::files::rateThatFits(getSampleRate(), bytesPerFrame);
        if (rate > 0)
            sampleRate_ = rate;
        if (loopStart_ != -1 && loopEnd_ != -1)
        {
            loopStartKept_ = loopStart_;
            loopEndKept_ = loopEnd_;
        }
        if (bits == 0)
            return;

        qw::WavFile32 file;
        qw::files::gatherChannels(file, channels);
        file.sampleRate = sampleRate_;
        file.loopStart = loopStartKept_;
        file.loopEnd = loopEndKept_;
        file._saveWav(qw::files::fixExtension(resolved), bits);
    }

    BoolInPin saveOnName_;
    StringInPin fileName_;
    BoolInPin trigger_;
    FloatInPin rate_;
    IntInPin loopStart_;
    IntInPin loopEnd_;
    EnumInPin bitsIndex_;
    std::vector<std::unique_ptr<qw::Sample2InPin>> channels_;

    std::vector<std::vector<float>> kept_;
    int32_t sampleRate_ = -1;
    int32_t loopStartKept_ = -1;
    int32_t loopEndKept_ = -1;
    qw::files::FileRequest request_;
};

namespace
{
auto r =
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_S2_SampleSaverDSP", &gmpi::Register<QW_S2_SampleSaverDSP>::withId);
}
