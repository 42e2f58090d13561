// Sample display: a first-generation sample shown as a waveform, with a view
// that scrolls and zooms and a selection dragged with the first button. It
// never changes the sample; the frames are the blob pin's own bytes.
#include "SamplePins.h"
#include "WaveformView.h"

class QW_SampleDisplay final : public qw::WaveformView
{
public:
    QW_SampleDisplay() : WaveformView(Kind::Display)
    {
        initializePin(pinSample_, &QW_SampleDisplay::onSetData);
        registerViewPins();
    }

private:
    Frames shownFrames() const override
    {
        const qw::PlainSample s = qw::readPlainSample(pinSample_.getValue());
        return {s.frames, s.count};
    }
    void onSetData() { newSample(); }

    MpGuiPin<MpBlob> pinSample_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_SampleDisplay", &gmpi::Register<QW_SampleDisplay>::withId);
auto rc = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_SampleDisplayC", &gmpi::Register<QW_SampleDisplay>::withId);
auto rcc = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_SampleDisplayCC", &gmpi::Register<QW_SampleDisplay>::withId);
} // namespace
