// Loads a WAV file on the audio thread and publishes each of its channels as
// a sample on an output of its own, with the file's rate, loop and bit depth.
// The file is read inside process, once per block at most: at the position
// of the block's last load request.
#include "denormals.h"
#include "sample_files.h"

#include <vector>

class QW_S2_SampleLoaderDSP : public MpBase2
{
public:
    static constexpr int kFixedPins = 8;
    using MpBase2::process;

    QW_S2_SampleLoaderDSP()
    {
        initializePin(loadOnName_);
        initializePin(repeatLast_);
        initializePin(fileName_);
        initializePin(trigger_);
        initializePin(rate_);
        initializePin(loopStart_);
        initializePin(loopEnd_);
        initializePin(bits_);
    }

    int32_t open() override
    {
        qw::files::addChannelPins(*this, channels_, kFixedPins);
        return MpBase2::open();
    }

    void process(int32_t sampleFrames, const gmpi::MpEvent* events) override
    {
        // The file is decoded in the same mode as the rest of the call.
        const qw::FlushDenormals flush;
        pendingLoad_ = -1;
        MpBase2::process(sampleFrames, events);
        if (pendingLoad_ >= 0)
            doLoad(pendingLoad_);
    }

    void onSetPins() override
    {
        // A later request in the block replaces an earlier one.
        if (request_.check(fileName_, loadOnName_, trigger_))
            pendingLoad_ = getBlockPosition();
    }

private:
    void doLoad(int blockPosition)
    {
        const std::wstring& name = fileName_.getValue();
        if (channels_.empty() || name.empty())
            return;
        // Frames published earlier in this block stay readable up to here.
        qw::WavFile32& file = files_.select(blockPosition, true);
        bool loaded = file._loadWav(name);
        if (!loaded)
        {
            const std::wstring bare = qw::files::lastPathComponent(name);
            if (!bare.empty())
            {
                const std::wstring resolved = GmpiSdk::ProcessorHost(getHost()).resolveFilename_old(bare);
                loaded = !resolved.empty() && file._loadWav(resolved);
            }
        }
        if (!loaded)
        {
            for (auto& out : channels_)
                out->sendEmpty(blockPosition);
            return;
        }

        rate_.setValue(static_cast<float>(file.sampleRate), blockPosition);
        bits_.setValue(file.bits, blockPosition);
        if (file.loopStart != -1 && file.loopEnd != -1)
        {
            loopStart_.setValue(file.loopStart, blockPosition);
            loopEnd_.setValue(file.loopEnd, blockPosition);
        }
        const int channels = file.frames > 0 ? file.channels : 0;
        for (size_t i = 0; i < channels_.size(); ++i)
        {
            int source = static_cast<int>(i);
            if (source >= channels)
                source = repeatLast_ ? channels - 1 : -1;
            if (source >= 0)
                channels_[i]->send(file.data[static_cast<size_t>(source)].data(), static_cast<size_t>(file.frames),
                                   blockPosition);
            else
                channels_[i]->sendEmpty(blockPosition);
        }
    }

    BoolInPin loadOnName_;
    BoolInPin repeatLast_;
    StringInPin fileName_;
    BoolInPin trigger_;
    FloatOutPin rate_;
    IntOutPin loopStart_;
    IntOutPin loopEnd_;
    IntOutPin bits_;
    std::vector<std::unique_ptr<qw::Sample2OutPin>> channels_;

    qw::TwoBuffers<qw::WavFile32> files_;
    qw::files::FileRequest request_;
    int pendingLoad_ = -1;
};

namespace
{
auto r =
    RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_S2_SampleLoaderDSP", &gmpi::Register<QW_S2_SampleLoaderDSP>::withId);
}
