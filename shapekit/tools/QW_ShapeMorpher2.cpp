// Morphs through any number of shapes by position: 0 gives the first input,
// 1 the last, and a position between two neighbouring inputs morphs those two.
// Only the two shapes of the current segment are read; updates of the other
// inputs are remembered until their segment is used.
#include "shape_dsp.h"

#include <memory>
#include <vector>

class QW_ShapeMorpher2 final : public MpBase2
{
public:
    QW_ShapeMorpher2()
    {
        initializePin(pinOut_);
        initializePin(pinPosition_);
    }

    int32_t open() override
    {
        PinIterator it(this);
        for (int32_t r = it.first(); r == gmpi::MP_OK && !it.isAtEnd(); r = it.next())
            if (it.getDirection() == gmpi::MP_IN && it.getDatatype() == gmpi::MP_BLOB)
            {
                inputs_.push_back(std::make_unique<qw::dsp::ShapeInPin>());
                initializePin(it.getUniqueId(), *inputs_.back());
            }
        shapes_.resize(inputs_.size());
        pending_.assign(inputs_.size(), 0);
        return MpBase2::open();
    }

    void onSetPins() override
    {
        const size_t n = inputs_.size();
        if (n == 1)
        {
            const qw::dsp::ShapeInPin& in = *inputs_[0];
            if (in.isUpdated())
                pinOut_.sendBytes(in.rawSize(), in.rawData());
        }
        else if (n == 2)
            morphTwo();
        else if (n >= 3)
            morphMany();
    }

private:
    // True when the position pin brought a new t.
    bool takePosition()
    {
        if (!pinPosition_.isUpdated())
            return false;
        const float t = qw::dsp::clampTo(qw::dsp::orZero(pinPosition_), 0.0f, 1.0f);
        if (t == t_)
            return false;
        t_ = t;
        return true;
    }

    void morphTwo()
    {
        bool changed = takePosition();
        if (inputs_[0]->isUpdated())
        {
            changed |= inputs_[0]->applyTo(shapes_[0]);
            if (shapes_[0].invalid)
                return;
        }
        if (inputs_[1]->isUpdated())
        {
            const bool c1 = inputs_[1]->applyTo(shapes_[1]);
            if ((shapes_[1].invalid || !c1) && !(changed && !shapes_[1].invalid))
                return;
            changed |= c1;
        }
        if (!changed)
            return;
        send(0, t_);
    }

    void morphMany()
    {
        const size_t n = inputs_.size();
        bool changed = false;
        if (takePosition())
        {
            const float span = static_cast<float>(n - 1) * t_;
            segment_ = std::min(static_cast<int>(n - 2), static_cast<int>(span));
            changed = true;
        }
        for (size_t k = 0; k < n; ++k)
            if (inputs_[k]->isUpdated())
                pending_[k] = 1;
        if (t_ < 0.0f)
            return; // no position yet
        for (size_t k = static_cast<size_t>(segment_); k <= static_cast<size_t>(segment_) + 1; ++k)
            if (pending_[k])
            {
                pending_[k] = 0;
                changed |= inputs_[k]->applyTo(shapes_[k]);
            }
        if (!changed)
            return;
        send(segment_, static_cast<float>(n - 1) * t_ - static_cast<float>(segment_));
    }

    // The morphed nodes written straight into the shape that is sent (the
    // bytes of shape s morphed in place, without the comparison with the
    // nodes it had).
    void send(int s, float t)
    {
        const qw::Shape& from = shapes_[static_cast<size_t>(s)];
        const int n = qw::Shape::morphNodes(from, shapes_[static_cast<size_t>(s) + 1], t, out_.nodes);
        if (n == 0)
            out_ = from;
        else
        {
            out_.magic = from.magic;
            out_.count = n;
        }
        pinOut_.send(out_);
    }

    qw::dsp::ShapeOutPin pinOut_;
    FloatInPin pinPosition_;
    std::vector<std::unique_ptr<qw::dsp::ShapeInPin>> inputs_;
    std::vector<qw::Shape> shapes_;
    std::vector<uint8_t> pending_; // inputs updated since their shape was last read
    qw::Shape out_;
    float t_ = -1.0f; // none yet
    int segment_ = 0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_ShapeMorpher2", &gmpi::Register<QW_ShapeMorpher2>::withId);
}
