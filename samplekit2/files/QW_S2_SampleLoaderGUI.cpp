// Loads a WAV file on the user-interface thread and publishes each of its
// channels as a sample on a pin of its own, with the file's rate, loop and
// bit depth.
//
// Published frames stay alive until a newer value has replaced them on every
// channel pin: a load builds the new frames in the spare file object, sends
// them, then releases the old ones; a failed load sends the empty sample
// first. Once each channel pin holds a value from elsewhere, nobody reads the
// loaded frames any more and they are released. The module's own values
// coming back (echoes, now or later) do not count as values from elsewhere.
#include "sample_files.h"

#include <array>
#include <memory>
#include <vector>

class QW_S2_SampleLoaderGUI : public MpGuiInvisibleBase
{
public:
    static constexpr int kFixedPins = 9;

    QW_S2_SampleLoaderGUI()
    {
        initializePin(loadOnName_);
        initializePin(repeatLast_);
        initializePin(fileName2_, &QW_S2_SampleLoaderGUI::onSetFName2);
        initializePin(fileName1_, &QW_S2_SampleLoaderGUI::onSetFName1);
        initializePin(trigger_, &QW_S2_SampleLoaderGUI::onSetTrigger);
        initializePin(rate_);
        initializePin(loopStart_);
        initializePin(loopEnd_);
        initializePin(bits_);
    }

    int32_t initialize() override
    {
        const int32_t count = getHostPinCount();
        for (int i = kFixedPins; i < count; ++i)
        {
            channels_.push_back(std::make_unique<Channel>());
            initializePin(channels_.back()->pin);
        }
        return MpGuiInvisibleBase::initialize();
    }

    int32_t setPin(int32_t pinId, int32_t voice, int32_t size, const void* data) override
    {
        const int32_t i = pinId - kFixedPins;
        if (i >= 0 && static_cast<size_t>(i) < channels_.size() && !sending_ && !channels_[i]->isOwn(size, data))
        {
            channels_[i]->fromElsewhere = true;
            bool all = true;
            for (auto& c : channels_)
                all = all && c->fromElsewhere;
            if (all)
                files_[published_].clear();
        }
        return MpGuiInvisibleBase::setPin(pinId, voice, size, data);
    }

private:
    // A channel pin and what the module published on it. Echoes may come back
    // after a newer publication, so a few recent ones are remembered.
    struct Channel
    {
        qw::Sample2GuiPin pin;
        bool fromElsewhere = false;
        std::array<std::pair<int32_t, uint64_t>, 4> recent{};
        size_t next = 0;

        void published()
        {
            recent[next] = {pin.descriptor().count, pin.descriptor().address};
            next = (next + 1) % recent.size();
            // The empty sample names no frames: nothing to wait for.
            fromElsewhere = pin.descriptor().count == 0;
        }
        bool isOwn(int32_t size, const void* data) const
        {
            Sample2Descriptor d;
            if (qw::readSample2(size, data, d) != qw::SampleValue::Valid)
                return false;
            for (auto& r : recent)
                if (r.first == d.count && r.second == d.address)
                    return true;
            return false;
        }
    };

    void onSetFName2()
    {
        current_ = fileName2_.getValue();
        if (loadOnName_)
            doLoad();
    }

    void onSetFName1()
    {
        current_ = fileName1_.getValue();
        if (loadOnName_)
            doLoad();
    }

    void onSetTrigger()
    {
        if (!trigger_)
            return;
        if (current_.empty())
            current_ = !fileName1_.getValue().empty() ? fileName1_.getValue() : fileName2_.getValue();
        doLoad();
    }

    void doLoad()
    {
        if (channels_.empty() || current_.empty())
            return;
        const int spare = published_ ^ 1;
        qw::WavFile32& file = files_[spare];
        bool loaded = file._loadWav(current_);
        if (!loaded)
        {
            const std::wstring bare = qw::files::lastPathComponent(current_);
            if (!bare.empty())
            {
                const std::wstring resolved = getUiHost().resolveFilename(bare);
                loaded = !resolved.empty() && file._loadWav(resolved);
            }
        }
        if (!loaded)
        {
            // Nothing may keep naming the old frames once they are released.
            sending_ = true;
            for (auto& c : channels_)
            {
                c->pin.sendEmpty();
                c->published();
            }
            sending_ = false;
            files_[published_].clear();
            return;
        }

        rate_ = static_cast<float>(file.sampleRate);
        bits_ = file.bits;
        if (file.loopStart == -1 || file.loopEnd == -1)
        {
            loopStart_ = 0;
            loopEnd_ = -1;
        }
        else
        {
            loopStart_ = file.loopStart < file.frames ? file.loopStart : file.frames - 1;
            loopEnd_ = file.loopEnd < file.frames ? file.loopEnd : file.frames - 1;
        }

        const int channels = file.frames > 0 ? file.channels : 0;
        sending_ = true;
        for (size_t i = 0; i < channels_.size(); ++i)
        {
            int source = static_cast<int>(i);
            if (source >= channels)
                source = repeatLast_ ? channels - 1 : -1;
            Channel& c = *channels_[i];
            if (source >= 0)
                c.pin.send(file.data[static_cast<size_t>(source)].data(), static_cast<size_t>(file.frames));
            else
                c.pin.sendEmpty();
            c.published();
        }
        sending_ = false;
        files_[published_].clear();
        published_ = spare;
    }

    MpGuiPin<bool> loadOnName_;
    MpGuiPin<bool> repeatLast_;
    StringGuiPin fileName2_;
    StringGuiPin fileName1_;
    MpGuiPin<bool> trigger_;
    MpGuiPin<float> rate_;
    MpGuiPin<int> loopStart_;
    MpGuiPin<int> loopEnd_;
    MpGuiPin<int> bits_;
    std::vector<std::unique_ptr<Channel>> channels_;

    std::wstring current_;
    qw::WavFile32 files_[2];
    int published_ = 0;
    bool sending_ = false;
};

namespace
{
auto r =
    RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_SampleLoaderGUI", &gmpi::Register<QW_S2_SampleLoaderGUI>::withId);
}
