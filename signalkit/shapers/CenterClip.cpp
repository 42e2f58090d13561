// Centre clipper: samples below the threshold in magnitude become 0, the
// others pass unchanged. A threshold of 0 or below passes everything.
#include "shapers.h"

class QW_CenterClip final : public qw::shapers::SignalAndControl<QW_CenterClip>
{
public:
    static float shape(float x, float c) { return std::fabs(x) < std::max(0.0f, c) ? 0.0f : x; }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_CenterClip", &gmpi::Register<QW_CenterClip>::withId);
}
