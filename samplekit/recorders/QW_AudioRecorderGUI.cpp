// Interface half of QW_AudioRecorder.
#include "recorder_gui.h"

class QW_AudioRecorderGUI final : public RecorderGui<MpGuiPin<MpBlob>>
{};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_AudioRecorder", &gmpi::Register<QW_AudioRecorderGUI>::withId);
}
