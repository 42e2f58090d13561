// What the invisible shape tools share: their own working copy of the shape,
// fed in place from a blob pin; the shape sent back on that pin as its blob,
// straight to the host and inside the echo guard, its echo expected back;
// left/right pin pairs written right first; triggers on true only; user units.
#pragma once

#include "mp_sdk_gui.h"
#include "qw_shape.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace qw
{
// Raised while a module writes a pin it also reads; the handler of that pin
// returns at once while it is raised. Raising saves the level it finds and
// restores it, so nested writes leave the outer one guarded.
class ShapeEchoGuard
{
public:
    bool raised() const { return raised_; }

    class Raise
    {
    public:
        explicit Raise(ShapeEchoGuard& guard) : guard_(guard), was_(guard.raised_) { guard_.raised_ = true; }
        ~Raise() { guard_.raised_ = was_; }
        Raise(const Raise&) = delete;
        Raise& operator=(const Raise&) = delete;

    private:
        ShapeEchoGuard& guard_;
        bool was_;
    };

private:
    bool raised_ = false;
};

// The bytes of a blob pin tested as a shape blob and taken into `shape` in
// place: a refused blob keeps the shape's nodes (invalid = 1); an accepted
// one sets invalid = 0 and changed when the nodes differ. True when accepted.
inline bool takeShapeBlob(Shape& shape, const MpBlob& blob)
{
    shape.setBlob(static_cast<unsigned long>(std::max(blob.getSize(), 0)), blob.getData());
    return shape.invalid == 0;
}

// A shape built from a pin's blob: the default two nodes when it is refused.
inline Shape shapeOf(const MpBlob& blob)
{
    return Shape(static_cast<unsigned long>(std::max(blob.getSize(), 0)), blob.getData());
}

// Sends a shape's blob form (magic, count, the count nodes) on a pin, straight
// to the host whatever the pin holds, with the guard raised around the send.
inline int32_t transmitShape(MpGuiBase2& module, int32_t pinId, const Shape& shape, ShapeEchoGuard& guard)
{
    ShapeEchoGuard::Raise raise(guard);
    return module.pinTransmit(pinId, static_cast<int32_t>(shape.blobSize()), shape.blobData(), 0);
}

// One value on both pins of an output pair, the right pin first; each pin
// sends only when its value changes.
template <class T> void writePair(MpGuiPin<T>& left, MpGuiPin<T>& right, const T& v)
{
    right = v;
    left = v;
}

// A trigger on an output pair: true on both, then false on both, right first.
inline void pulsePair(MpGuiPin<bool>& left, MpGuiPin<bool>& right)
{
    right = true;
    left = true;
    right = false;
    left = false;
}

// A value of a float pin given in user units (-5 .. 5); NaN counts as 0.
inline float userUnits(float v)
{
    return std::isnan(v) ? 0.f : v;
}
// Node x of a position in user units: (X + 5) * 0.1.
inline float xFromUser(float X)
{
    return (userUnits(X) + 5.f) * 0.1f;
}
// Node y of a level in user units: Y * 0.2.
inline float yFromUser(float Y)
{
    return userUnits(Y) * 0.2f;
}
inline float clampLevel(float y)
{
    return y < -1.f ? -1.f : (y > 1.f ? 1.f : y);
}

// Base of the tools that keep their own shape and read it from a blob pin that
// they also write. A derived constructor registers `shapePin` in its place.
// The tool's own values coming back from the host, now or later, run nothing.
class ShapeToolBase : public MpGuiInvisibleBase
{
protected:
    ShapeToolBase() { expectOwnEchoes(); }

    // The shape pin's blob taken in place, unless it is the echo of the
    // module's own send; true when it was accepted.
    bool receiveShape()
    {
        if (guard.raised())
            return false;
        return takeShapeBlob(shape, shapePin.getValue());
    }
    // The own shape sent back on the shape pin.
    void sendShape() { transmitShape(*this, shapePin.getId(), shape, guard); }

    MpGuiPin<MpBlob> shapePin;
    Shape shape;
    ShapeEchoGuard guard;
};
} // namespace qw
