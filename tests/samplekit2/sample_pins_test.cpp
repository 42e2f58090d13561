// The sample pins on their own, driven with the events and calls a host
// makes: raw-float blobs inline and out of line, the descriptor input's
// flags, and the user-interface pins' copies and echo guard.
#include "Sample2Pins.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{
// A module that keeps what its inputs show while it handles each event.
struct Seen
{
    bool rawUpdated;
    int rawCount;
    float rawFirst;
    int ncCount;
    bool changed, invalid;
    int count;
    uint32_t serial;
};

class Holder : public MpBase2
{
public:
    enum
    {
        RAW,
        NC,
        S2
    };
    Holder()
    {
        initializePin(raw);
        initializePin(nc);
        initializePin(s2);
    }
    void onSetPins() override
    {
        seen.push_back({raw.updated(), raw.count(), raw.count() ? raw.frames()[0] : 0.0f, nc.count(), s2.changed(),
                        s2.invalid(), s2.count(), s2.serial()});
    }
    // One pin value as the host delivers it: up to eight bytes inline.
    void deliver(int pin, const void* data, int size)
    {
        std::vector<char> bytes(static_cast<const char*>(data), static_cast<const char*>(data) + size);
        gmpi::MpEvent e{};
        e.eventType = gmpi::EVENT_PIN_SET;
        e.parm1 = pin;
        e.parm2 = size;
        if (size > 8)
            e.extraData = bytes.data();
        else if (size > 0)
            std::memcpy(&e.parm3, bytes.data(), static_cast<size_t>(size));
        process(1, &e);
    }

    InternalSampleInPin raw;
    InternalSample1InPinNC nc;
    qw::Sample2InPin s2;
    std::vector<Seen> seen;
};

// A pin owner whose host hands every transmitted value straight back.
class EchoingOwner : public GuiPinOwner
{
public:
    int32_t pinTransmit(int32_t pinId, int32_t size, const void* data, int32_t) override
    {
        sent.emplace_back(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + (data ? size : 0));
        return setPin(pinId, 0, size, data);
    }
    std::vector<std::vector<uint8_t>> sent;
};
} // namespace

TEST(RawSamplePins, SizesInlineAndOutOfLine)
{
    const float frames[3] = {1.5f, -0.25f, 0.75f};
    struct Row
    {
        int bytes;
        int rawCount, ncCount;
    };
    // Four bytes are one frame, except for first-generation senders, whose
    // four bytes mean "empty". Sizes that are no whole number of frames are empty.
    const Row rows[] = {{0, 0, 0}, {4, 1, 0}, {6, 0, 0}, {8, 2, 2}, {12, 3, 3}};
    for (const Row& r : rows)
    {
        Holder m;
        m.deliver(Holder::RAW, frames, r.bytes);
        m.deliver(Holder::NC, frames, r.bytes);
        ASSERT_EQ(m.seen.size(), 2u);
        EXPECT_TRUE(m.seen[0].rawUpdated) << r.bytes;
        EXPECT_EQ(m.seen[0].rawCount, r.rawCount) << r.bytes;
        if (r.rawCount)
        {
            EXPECT_EQ(m.seen[0].rawFirst, 1.5f) << r.bytes;
        }
        EXPECT_EQ(m.seen[1].ncCount, r.ncCount) << r.bytes;
        // Outside the event the frames are gone: they point into the host's data.
        EXPECT_FALSE(m.raw.updated());
        EXPECT_EQ(m.raw.count(), 0);
        EXPECT_EQ(m.raw.frames(), nullptr);
        EXPECT_EQ(m.nc.count(), 0);
    }
}

TEST(Sample2InPin, ValidEmptyAndInvalidValues)
{
    const float frames[5] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f};
    const Sample2Descriptor good = qw::makeSample2(frames, 5, 7);
    EXPECT_EQ(good.magic, 0x534D504Cu);
    EXPECT_NE(good.token, 0u);

    Holder m;
    m.deliver(Holder::S2, &good, 24);
    ASSERT_EQ(m.seen.size(), 1u);
    EXPECT_TRUE(m.seen[0].changed);
    EXPECT_FALSE(m.seen[0].invalid);
    EXPECT_EQ(m.seen[0].count, 5);
    EXPECT_EQ(m.seen[0].serial, 7u);
    // The sample stays until the next value; "changed" only for its event.
    EXPECT_FALSE(m.s2.changed());
    EXPECT_EQ(m.s2.count(), 5);
    EXPECT_EQ(m.s2.frames(), frames);

    m.deliver(Holder::S2, nullptr, 0);
    EXPECT_TRUE(m.seen.back().changed);
    EXPECT_FALSE(m.seen.back().invalid) << "the empty sample is not invalid";
    EXPECT_EQ(m.seen.back().count, 0);

    Sample2Descriptor forged = good;
    forged.token ^= 1;
    m.deliver(Holder::S2, &forged, 24);
    EXPECT_TRUE(m.seen.back().invalid);
    EXPECT_EQ(m.seen.back().count, 0);
    EXPECT_EQ(m.s2.frames(), nullptr);
    EXPECT_EQ(m.seen.back().serial, 0u);

    // Eight bytes arrive inline and are no descriptor.
    m.deliver(Holder::S2, &good, 8);
    EXPECT_TRUE(m.seen.back().invalid);
}

TEST(Sample2GuiPin, IgnoresItsOwnEchoAndCountsNonEmptySends)
{
    EchoingOwner owner;
    qw::Sample2GuiPin pin;
    pin.initialize(&owner, 0, nullptr);
    owner.addPin(0, pin);

    const float a[4] = {1, 2, 3, 4};
    const float b[2] = {5, 6};
    pin.send(a, 4);
    pin.sendEmpty();
    pin.send(b, 2);
    ASSERT_EQ(owner.sent.size(), 3u);
    Sample2Descriptor d0, d2;
    ASSERT_EQ(owner.sent[0].size(), 24u);
    std::memcpy(&d0, owner.sent[0].data(), 24);
    EXPECT_TRUE(owner.sent[1].empty());
    std::memcpy(&d2, owner.sent[2].data(), 24);
    EXPECT_EQ(d0.serial, 0u) << "the first non-empty send";
    EXPECT_EQ(d2.serial, 1u) << "an empty send does not count";
    EXPECT_EQ(d0.count, 4);
    EXPECT_EQ(d0.address, reinterpret_cast<uintptr_t>(a));
    // The echo came back inside each transmission and changed nothing.
    EXPECT_EQ(pin.count(), 2);
    EXPECT_EQ(pin.frames(), b);
    EXPECT_FALSE(pin.invalid());

    // A value from elsewhere: taken when valid, flagged when not.
    const float c[3] = {7, 8, 9};
    const Sample2Descriptor other = qw::makeSample2(c, 3, 41);
    EXPECT_TRUE(owner.setPin(0, 0, 24, &other) == 0 && pin.count() == 3 && pin.frames() == c);
    Sample2Descriptor wrongMagic = other;
    wrongMagic.magic = 0x4C504D53;
    EXPECT_FALSE(pin.set(0, 24, &wrongMagic));
    EXPECT_TRUE(pin.invalid());
    EXPECT_EQ(pin.count(), 0);
    EXPECT_EQ(pin.rawSize(), 0);
}

// A host that hands the values back later: each echo is recognised whenever
// it comes, also after newer sends or a value from outside, and is never
// stored, so the pin keeps naming the newest value.
TEST(Sample2GuiPin, RecognisesEchoesThatComeLate)
{
    struct HoldingOwner : GuiPinOwner
    {
        int32_t pinTransmit(int32_t, int32_t size, const void* data, int32_t) override
        {
            held.emplace_back(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + (data ? size : 0));
            return 0;
        }
        // Hands back the held value k as the host would, then says what the pin did with it.
        bool giveBack(qw::Sample2GuiPin& pin, size_t k)
        {
            pin.set(0, static_cast<int32_t>(held[k].size()), held[k].empty() ? nullptr : held[k].data());
            return pin.echoed();
        }
        std::vector<std::vector<uint8_t>> held;
    } owner;
    qw::Sample2GuiPin pin;
    pin.initialize(&owner, 0, nullptr);
    owner.addPin(0, pin);

    const float a[3] = {1, 2, 3}, b[2] = {4, 5}, c[4] = {6, 7, 8, 9};
    pin.send(a, 3);
    pin.sendEmpty();
    pin.send(b, 2);
    ASSERT_EQ(owner.held.size(), 3u);
    // A value from outside arrives before the echoes.
    const Sample2Descriptor other = qw::makeSample2(c, 4, 0);
    EXPECT_TRUE(pin.set(0, 24, &other));
    EXPECT_FALSE(pin.echoed());
    EXPECT_EQ(pin.frames(), c);
    for (size_t k = 0; k < 3; ++k)
    {
        EXPECT_TRUE(owner.giveBack(pin, k)) << "echo " << k;
        EXPECT_EQ(pin.frames(), c) << "echo " << k << " was stored";
    }
    // An earlier send comes back once; the last one whenever it comes.
    EXPECT_FALSE(owner.giveBack(pin, 0));
    EXPECT_EQ(pin.frames(), a);
    EXPECT_TRUE(owner.giveBack(pin, 2));
    EXPECT_EQ(pin.frames(), a);
    // An invalid value is never an echo.
    const std::vector<uint8_t> junk(24, 0);
    pin.set(0, 24, junk.data());
    EXPECT_FALSE(pin.echoed());
    EXPECT_TRUE(pin.invalid());

    // A pin that never sent takes every value, the empty one included.
    qw::Sample2GuiPin reader;
    EXPECT_FALSE(reader.set(0, 0, nullptr));
    EXPECT_FALSE(reader.echoed());
}

TEST(InternalSampleGuiPin, KeepsACopyOfTheHostsBytes)
{
    std::vector<float> host = {0.5f, -0.5f, 0.25f};
    InternalSampleGuiPin pin;
    EXPECT_TRUE(pin.set(0, 12, host.data()));
    host.assign(3, 9.0f); // the host reuses its buffer before the handler runs
    ASSERT_EQ(pin.count(), 3);
    EXPECT_EQ(pin.frames()[0], 0.5f);
    EXPECT_EQ(pin.frames()[2], 0.25f);
    EXPECT_NE(pin.frames(), host.data());
    EXPECT_FALSE(pin.set(0, 6, host.data()));
    EXPECT_EQ(pin.count(), 0);
    EXPECT_EQ(pin.frames(), nullptr);
}
