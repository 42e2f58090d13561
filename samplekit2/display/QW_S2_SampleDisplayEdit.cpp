// Waveform display and editor of a second-generation sample. The pencil
// draws into a copy of the sample's frames, made at the first stroke after a
// new sample; on release the copy is published as the module's own sample on
// the same pin. Its own values coming back from the host (now or later) are
// no new sample: the pin recognises them.
//
// The copy stays readable until a newer sample has replaced it on the pin,
// and its memory is held until the sample after that: meanwhile a late echo
// of it is still recognised as the module's own, and no other sender can be
// given the same address for a sample that would then look like one.
#include "Sample2Pins.h"
#include "WaveformView.h"

#include <new>
#include <vector>

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

    void publishStroke() override { pinSample_.send(edit_.data(), edit_.size()); }

    void onSetData()
    {
        if (pinSample_.echoed())
            return;
        // A newer sample has replaced the copy on the pin: nobody reads it now.
        pinSample_.forgetSendsOf(retired_.data());
        std::vector<float>().swap(retired_);
        retired_.swap(edit_);
        newSample();
    }

    qw::Sample2GuiPin pinSample_;
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
