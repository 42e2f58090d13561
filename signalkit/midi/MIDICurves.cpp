// Passes a MIDI stream through while remapping note-on velocity, release
// velocity, channel pressure and key pressure through drawn response curves.
// Each curve is a breakpoint shape rendered into a 128-entry table whenever
// the shape, its interpolation type or its exponent changes; a message then
// costs one table read.
#include "midi_message.h"
#include "qw_shape.h"

#include <cmath>

namespace
{
using namespace qw::midi;
}

class QW_MIDICurves final : public MpBase2
{
public:
    using MpBase2::onMidiMessage;

    QW_MIDICurves()
    {
        initializePin(pinIn_);
        for (auto& c : curves_)
        {
            initializePin(c.pinShape);
            initializePin(c.pinType);
            initializePin(c.pinExponent);
            c.rebuild(1.0f);
        }
        initializePin(pinOut_);
    }

    void onSetPins() override
    {
        for (auto& c : curves_)
            c.update();
    }

    void onMidiMessage(int, const unsigned char* bytes, int size) override
    {
        const int type = kind(bytes, size);
        switch (type)
        {
        case kNoteOn:
            if (!hasData(bytes, size, 2))
                return;
            // Velocity 0 is a note-off and stays one.
            remap3(bytes, bytes[2] == 0 ? 0 : curve(Velocity).table[bytes[2]]);
            return;
        case kNoteOff:
            if (hasData(bytes, size, 2))
                remap3(bytes, curve(ReleaseVelocity).table[bytes[2]]);
            return;
        case kPolyPressure:
            if (hasData(bytes, size, 2))
                remap3(bytes, curve(KeyPressure).table[bytes[2]]);
            return;
        case kChannelPressure:
            if (hasData(bytes, size, 1))
            {
                const unsigned char m[2] = {bytes[0], curve(ChannelPressure).table[bytes[1]]};
                pinOut_.send(m, 2);
            }
            return;
        default:
            pinOut_.send(bytes, size);
            return;
        }
    }

private:
    static constexpr int kEntries = 128;

    enum CurveIndex
    {
        Velocity,
        ReleaseVelocity,
        ChannelPressure,
        KeyPressure
    };

    struct Curve
    {
        BlobInPin pinShape;
        EnumInPin pinType;
        FloatInPin pinExponent;
        // Holds the shape (a straight line from 0 to 127 until a blob arrives).
        qw::Shape::Interpolator interpolator{qw::Shape(L"(-5,-5)(5,5)"), kEntries};
        unsigned char table[kEntries] = {};

        void update()
        {
            bool changed = false;
            if (pinShape.isUpdated())
            {
                const MpBlob& blob = pinShape;
                changed = interpolator.shape.setBlob(static_cast<unsigned long>(blob.getSize()), blob.getData());
            }
            // A type that arrives with a new shape applies at once as well.
            if (pinType.isUpdated())
                changed |= interpolator.shape.setItp(pinType);
            if (changed || pinExponent.isUpdated())
                rebuild(pinExponent);
        }

        // table[i] = trunc(a^p x 126) + 1, with a the curve at i / 127 mapped
        // from [-1, 1] to [0, 1].
        void rebuild(float exponent)
        {
            const float p = exponent > 0.0f ? exponent : 0.0f; // NaN counts as 0
            interpolator.render();
            for (auto& entry : table)
            {
                const float y = interpolator.readNext();
                float a = (y + 1.0f) * 0.5f;
                a = a > 0.0f ? (a < 1.0f ? a : 1.0f) : 0.0f;
                entry = static_cast<unsigned char>(static_cast<int>(std::pow(a, p) * 126.0f) + 1);
            }
        }
    };

    const Curve& curve(CurveIndex i) const { return curves_[i]; }

    // The status and first data byte as they came, the second replaced.
    void remap3(const unsigned char* bytes, unsigned char value)
    {
        const unsigned char m[3] = {bytes[0], bytes[1], value};
        pinOut_.send(m, 3);
    }

    MidiInPin pinIn_;
    Curve curves_[4];
    MidiOutPin pinOut_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_MIDICurves", &gmpi::Register<QW_MIDICurves>::withId);
}
