// Each inner node's position between its neighbours as a float value in 0..1,
// one auto-duplicated pin per inner node; a value moved on a pin moves its
// node along x (never onto a neighbour) and sends the shape back. There is no
// echo guard; the module's own values coming back run nothing.
#include "shape_link.h"

#include <algorithm>
#include <cmath>

class QW_GUI_ShapeXLink : public qw::ShapeLinkBase
{
public:
    QW_GUI_ShapeXLink() { initializePin(shapePin, &QW_GUI_ShapeXLink::onSetShape); }

private:
    void onSetShape()
    {
        if (!takeShapeBlob(shape, shapePin.getValue()) || floatPins_ == 0)
            return;
        const int32_t n = std::min(floatPins_, shape.count - 2);
        for (int32_t k = 0; k < n; ++k)
            transmitFloat(k + kFixedPins, shown(k));
    }

    // Inner node k + 1's position between its neighbours; 0 in a blob with
    // repeated or unordered x, where it has none.
    float shown(int32_t k) const
    {
        const float x0 = shape.nodes[k].x, x1 = shape.nodes[k + 1].x, x2 = shape.nodes[k + 2].x;
        const float v = (x1 - x0) / (x2 - x0);
        return std::isfinite(v) ? v : 0.f;
    }

    void onSetFloat(int32_t k, float v) override
    {
        if (floatPins_ == 0 || k + 1 >= shape.count - 1 || std::isnan(v) || v == shown(k))
            return;
        const float x0 = shape.nodes[k].x, x2 = shape.nodes[k + 2].x;
        const float lo = std::nextafter(x0 + 1.f, 2.f);
        const float hi = std::nextafter(x2 + 1.f, 0.f);
        float p = (x2 - x0) * v + x0 + 1.f;
        if (std::isnan(p) || !(lo <= hi))
            return;
        p = std::min(std::max(p, lo), hi);
        if (p == shape.nodes[k + 1].x + 1.f)
            return;
        shape.nodes[k + 1].x = p - 1.f;
        shape.changed = 1;
        pinTransmit(shapePin.getId(), static_cast<int32_t>(shape.blobSize()), shape.blobData(), 0);
    }
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUI_ShapeXLink", &gmpi::Register<QW_GUI_ShapeXLink>::withId);
}
