// Interface half of QW_AudioRecorder2.
#include "SamplePins.h"
#include "recorder_gui.h"

class QW_AudioRecorder2GUI final : public RecorderGui<qw::SampleGuiPin>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_AudioRecorder2", &gmpi::Register<QW_AudioRecorder2GUI>::withId);
}
