// Writes the samples on its channel pins as one multi-channel WAV file, on
// the user-interface thread, reading the senders' frames in place. Every
// channel is written at the length of the longest, shorter ones padded with
// zeros. File names are resolved by the host before use.
#include "sample_files.h"

#include <memory>
#include <vector>

class QW_S2_SampleSaverGUI : public MpGuiInvisibleBase
{
public:
    static constexpr int kFixedPins = 9;

    QW_S2_SampleSaverGUI()
    {
        initializePin(saveOnName_);
        initializePin(fileNameR_, &QW_S2_SampleSaverGUI::onSetFNameR);
        initializePin(fileNameL_, &QW_S2_SampleSaverGUI::onSetFNameL);
        initializePin(trigger_, &QW_S2_SampleSaverGUI::onSetTrigger);
        initializePin(rate_);
        initializePin(loopStart_);
        initializePin(loopEnd_);
        initializePin(bitsIndex_);
        initializePin(bitsItems_, &QW_S2_SampleSaverGUI::onSetBitsItems);
    }

    int32_t initialize() override
    {
        const int32_t count = getHostPinCount();
        for (int i = kFixedPins; i < count; ++i)
        {
            channels_.push_back(std::make_unique<qw::Sample2GuiPin>());
            initializePin(*channels_.back());
        }
        return MpGuiInvisibleBase::initialize();
    }

private:
    // An empty text names no file (the host would resolve it to a folder).
    std::wstring resolved(const std::wstring& text) const
    {
        return text.empty() ? std::wstring() : getUiHost().resolveFilename(text);
    }

    void onSetFNameR()
    {
        current_ = resolved(fileNameR_.getValue());
        if (saveOnName_)
            doSave();
    }

    void onSetFNameL()
    {
        current_ = resolved(fileNameL_.getValue());
        if (saveOnName_)
            doSave();
    }

    void onSetTrigger()
    {
        if (!trigger_)
            return;
        if (current_.empty())
            current_ = resolved(!fileNameL_.getValue().empty() ? fileNameL_.getValue() : fileNameR_.getValue());
        doSave();
    }

    void onSetBitsItems() { bitsItems_ = std::wstring(L"16,24,32"); }

    void doSave()
    {
        if (channels_.empty() || current_.empty())
            return;
        std::vector<qw::files::ChannelFrames> channels;
        for (auto& pin : channels_)
            channels.push_back({pin->frames(), static_cast<size_t>(pin->count())});
        const size_t written = qw::files::nonEmptyChannels(channels);
        if (written == 0)
            return;

        const int bits = qw::files::guiBits(bitsIndex_);
        qw::WavFile32 file;
        file.sampleRate = qw::files::rateThatFits(rate_.getValue(), static_cast<int64_t>(written) * (bits / 8));
        file.loopStart = -1;
        file.loopEnd = -1;
        if (loopStart_ != -1 && loopEnd_ != -1)
        {
            file.loopStart = loopStart_;
            file.loopEnd = loopEnd_;
        }
        qw::files::gatherChannels(file, channels);
        file._saveWav(qw::files::fixExtension(current_), bits);
    }

    MpGuiPin<bool> saveOnName_;
    StringGuiPin fileNameR_;
    StringGuiPin fileNameL_;
    MpGuiPin<bool> trigger_;
    MpGuiPin<float> rate_;
    MpGuiPin<int> loopStart_;
    MpGuiPin<int> loopEnd_;
    MpGuiPin<int> bitsIndex_;
    StringGuiPin bitsItems_;
    std::vector<std::unique_ptr<qw::Sample2GuiPin>> channels_;

    std::wstring current_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_SampleSaverGUI", &gmpi::Register<QW_S2_SampleSaverGUI>::withId);
}
