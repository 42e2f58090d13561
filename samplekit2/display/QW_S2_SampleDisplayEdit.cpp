// Waveform display and editor of a second-generation sample. The pencil
// draws into a copy of the sample's frames, made at the first stroke after a
// new sample; on release the copy is published as the module's own sample on
// the same pin. The copy lives until a newer sample has replaced it there,
// and its memory is held until the sample after that: an echo of it that the
// host hands back late still names frames of this module, and no other sender
// can meanwhile be given the same address.
#include "Sample2Pins.h"
#include "WaveformView.h"

#include <cstdint>
#include <new>
#include <vector>

namespace
{
// The sample pin. The module's own publication coming back, whenever the host
// hands it back, names the frames (count and address) of the last one sent:
// it is not stored, so the pin keeps naming the newest sample.
class DisplaySamplePin final : public qw::Sample2GuiPin
{
public:
    bool set(int32_t voice, int32_t size, const void* data) override
    {
        Sample2Descriptor d;
        echo_ = published_.count > 0 && qw::readSample2(size, data, d) == qw::SampleValue::Valid &&
                d.count == published_.count && d.address == published_.address;
        return echo_ ? false : qw::Sample2GuiPin::set(voice, size, data);
    }

    void publish(const std::vector<float>& frames)
    {
        published_ = qw::makeSample2(frames.data(), frames.size(), 0);
        if (frames.empty())
            published_.count = 0;
        send(frames.data(), frames.size());
    }
    // The frames last published are gone: nothing names them any more.
    void forgetUnless(const std::vector<float>& kept)
    {
        if (kept.empty() || published_.address != reinterpret_cast<uintptr_t>(kept.data()))
            published_.count = 0;
    }

    // The value last handed to the pin was the module's own.
    bool echo() const { return echo_; }

private:
    Sample2Descriptor published_{qw::kSample2Magic, 0, 0, 0, 0};
    bool echo_ = false;
};
} // namespace

class QW_S2_SampleDisplayEdit final : public qw::WaveformView
{
public:
    QW_S2_SampleDisplayEdit() : WaveformView(Kind::Editor)
    {
        initializePin(pinSample_, &QW_S2_SampleDisplayEdit::onSetData);
        registerViewPins();
    }

private:
    Frames shownFrames() const override
    {
        if (!edit_.empty())
            return {edit_.data(), static_cast<int64_t>(edit_.size())};
        return {pinSample_.frames(), pinSample_.count()};
    }

    float* pencilFrames() override
    {
        if (edit_.empty())
        {
            const float* frames = pinSample_.frames();
            const int32_t count = pinSample_.count();
            if (!frames || count <= 0)
                return nullptr;
            try
            {
                edit_.assign(frames, frames + count);
            }
            catch (const std::bad_alloc&)
            {
                return nullptr;
            }
        }
        return edit_.data();
    }

    void publishStroke() override { pinSample_.publish(edit_); }

    void onSetData()
    {
        if (publishing() || pinSample_.echo())
            return;
        // A newer sample has replaced the copy on the pin: nobody reads it now.
        std::vector<float>().swap(retired_);
        retired_.swap(edit_);
        pinSample_.forgetUnless(retired_);
        newSample();
    }

    DisplaySamplePin pinSample_;
    std::vector<float> edit_;
    std::vector<float> retired_; // the copy before the newest sample

};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_SampleDisplayEdit",
                        &gmpi::Register<QW_S2_SampleDisplayEdit>::withId);
auto rc = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_SampleDisplayEditC",
                         &gmpi::Register<QW_S2_SampleDisplayEdit>::withId);
} // namespace
