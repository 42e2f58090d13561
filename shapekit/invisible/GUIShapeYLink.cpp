// Each node's level as a float value in 0..1, one auto-duplicated pin per
// node; a value moved on a pin moves its node and sends the shape back. The
// value a node shows (its echo included) leaves the node where it is, even
// where the float round trip would not give back its level exactly.
#include "shape_link.h"

#include <algorithm>
#include <cmath>

class QW_GUI_ShapeYLink : public qw::ShapeLinkBase
{
public:
    QW_GUI_ShapeYLink() { initializePin(shapePin, &QW_GUI_ShapeYLink::onSetShape); }

private:
    void onSetShape()
    {
        if (!receiveShape() || floatPins_ == 0)
            return;
        const int32_t n = std::min(floatPins_, shape.count);
        for (int32_t k = 0; k < n; ++k)
            transmitFloat(k + kFixedPins, shown(k));
    }

    float shown(int32_t k) const { return (shape.nodes[k].y + 1.f) * 0.5f; }

    void onSetFloat(int32_t k, float v) override
    {
        if (floatPins_ == 0 || k >= shape.count || std::isnan(v) || v == shown(k))
            return;
        const float y = qw::clampLevel(2.f * v - 1.f);
        if (y == shape.nodes[k].y)
            return;
        shape.nodes[k].y = y;
        shape.changed = 1;
        sendShape();
    }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUI_ShapeYLink", &gmpi::Register<QW_GUI_ShapeYLink>::withId);
}
