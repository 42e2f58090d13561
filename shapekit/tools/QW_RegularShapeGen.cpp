// A shape from N levels at evenly spaced x: one node per level pin (at most
// 100 nodes; later pins are ignored).
#include "shape_dsp.h"

#include <memory>
#include <vector>

class QW_RegularShapeGen final : public MpBase2
{
public:
    QW_RegularShapeGen() { initializePin(pinOut_); }

    int32_t open() override
    {
        // The level inputs the host made, after the output.
        PinIterator it(this);
        for (int32_t r = it.first(); r == gmpi::MP_OK && !it.isAtEnd(); r = it.next())
            if (it.getDirection() == gmpi::MP_IN && it.getDatatype() == gmpi::MP_FLOAT32)
            {
                levels_.push_back(std::make_unique<FloatInPin>());
                initializePin(it.getUniqueId(), *levels_.back());
            }
        const int n = static_cast<int>(levels_.size());
        if (n >= 2)
        {
            const float step = 1.0f / static_cast<float>(n - 1);
            float x = step;
            for (int k = 1; k < n - 1 && shape_.count < qw::Shape::kMaxNodes; ++k, x += step)
                shape_.addNode({x, 0.0f});
        }
        return MpBase2::open();
    }

    void onSetPins() override
    {
        bool changed = false;
        const int n = std::min(static_cast<int>(levels_.size()), static_cast<int>(shape_.count));
        for (int k = 0; k < n; ++k)
        {
            const FloatInPin& pin = *levels_[static_cast<size_t>(k)];
            if (!pin.isUpdated())
                continue;
            const float y = qw::dsp::clampTo(qw::dsp::orZero(pin) * 0.2f, -1.0f, 1.0f);
            if (y != shape_.nodes[k].y)
            {
                shape_.nodes[k].y = y;
                changed = true;
            }
        }
        if (changed)
            pinOut_.send(shape_);
    }

private:
    qw::dsp::ShapeOutPin pinOut_;
    std::vector<std::unique_ptr<FloatInPin>> levels_;
    qw::Shape shape_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_RegularShapeGen", &gmpi::Register<QW_RegularShapeGen>::withId);
}
