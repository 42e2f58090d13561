// The first-generation sample pins on their own, driven with the events and
// calls a host makes, and the reader of plain blob values. (The output pins
// are seen through the built bundle, in bridges_test and recorders_test.)
#include "SamplePins.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{
// What the owner sees of its inputs while it handles an event.
struct Seen
{
    bool inUpdated;
    std::vector<float> inFrames;
    bool ncUpdated;
    int32_t ncSize;
    const void* ncData;
};

class Holder : public MpBase2
{
public:
    enum
    {
        IN,
        NC,
    };
    Holder()
    {
        initializePin(in);
        initializePin(nc);
        setSubProcess(&Holder::subProcess);
        setSleep(false);
    }
    void onSetPins() override { seen.push_back({in.updated, in.frames, nc.updated, nc.size, nc.data}); }
    void subProcess(int n)
    {
        spans.push_back(n);
        spanUpdated |= in.updated || nc.updated;
    }

    qw::SampleInPin in;
    qw::BlobInPinNC nc;
    std::vector<Seen> seen;
    std::vector<int> spans;
    bool spanUpdated = false;
};

// A pin value as the host delivers it: up to eight bytes inline, more as extra data.
struct PinEvent
{
    PinEvent(int pin, const void* data, int size, int time = 0)
    {
        if (size > 0)
            bytes.assign(static_cast<const char*>(data), static_cast<const char*>(data) + size);
        e.timeDelta = time;
        e.eventType = gmpi::EVENT_PIN_SET;
        e.parm1 = pin;
        e.parm2 = size;
        if (size > 8)
            e.extraData = bytes.data();
        else if (size > 0)
            std::memcpy(&e.parm3, bytes.data(), static_cast<size_t>(size));
    }
    std::vector<char> bytes;
    gmpi::MpEvent e{};
};
} // namespace

TEST(SamplePins, SizeTableForEveryPinKind)
{
    const float frames[3] = {1.5f, -0.25f, 0.75f};
    struct Row
    {
        int bytes;
        size_t copied; // frames a copying pin keeps
        bool inline_;  // the no-copy pin points into the event itself
        int32_t plain; // frames read in place from a plain blob
    };
    const Row rows[] = {
        {0, 0, false, 0}, {1, 0, true, 0}, {2, 0, true, 0}, {3, 0, true, 0},
        {4, 0, true, 1},  {6, 0, true, 0}, {8, 2, true, 2}, {10, 0, false, 0},
    };
    for (const Row& r : rows)
    {
        SCOPED_TRACE(std::to_string(r.bytes) + " bytes");
        Holder m;
        PinEvent in(Holder::IN, frames, r.bytes);
        PinEvent nc(Holder::NC, frames, r.bytes);
        m.process(1, &in.e);
        m.process(1, &nc.e);
        ASSERT_EQ(m.seen.size(), 2u);
        EXPECT_TRUE(m.seen[0].inUpdated);
        EXPECT_EQ(m.seen[0].inFrames, std::vector<float>(frames, frames + r.copied));

        EXPECT_TRUE(m.seen[1].ncUpdated);
        EXPECT_EQ(m.seen[1].ncSize, r.bytes);
        if (r.bytes == 0)
            EXPECT_EQ(m.seen[1].ncData, nullptr);
        else if (r.inline_)
            EXPECT_EQ(m.seen[1].ncData, static_cast<const void*>(&nc.e.parm3)) << "the event's inline field";
        else
            EXPECT_EQ(m.seen[1].ncData, static_cast<const void*>(nc.e.extraData)) << "the event's extra data";
        // After the event the no-copy pin names nothing; the copy stays.
        EXPECT_FALSE(m.nc.updated);
        EXPECT_EQ(m.nc.size, 0);
        EXPECT_EQ(m.nc.data, nullptr);
        EXPECT_EQ(m.in.frames.size(), r.copied);

        qw::SampleGuiPin gui;
        EXPECT_EQ(gui.set(0, r.bytes, frames), r.copied > 0);
        EXPECT_EQ(gui.frames, std::vector<float>(frames, frames + r.copied));
        EXPECT_EQ(gui.rawSize(), static_cast<int32_t>(r.copied * 4));

        const MpBlob blob(static_cast<size_t>(r.bytes), frames);
        const qw::PlainSample plain = qw::readPlainSample(blob);
        EXPECT_EQ(plain.count, r.plain);
        if (r.plain)
        {
            EXPECT_EQ(plain.frames[0], 1.5f);
        }
        else
            EXPECT_EQ(plain.frames, nullptr);
    }
}

TEST(SamplePins, UpdatedOnlyWhileItsOwnValueIsHandled)
{
    const float a[2] = {0.5f, 0.25f};
    const float b[4] = {1, 2, 3, 4};
    Holder m;
    // Two values of the sample input and one of the other pin in one block.
    PinEvent first(Holder::IN, a, 8, 3);
    PinEvent other(Holder::NC, a, 4, 10);
    PinEvent second(Holder::IN, b, 16, 20);
    first.e.next = &other.e;
    other.e.next = &second.e;
    m.process(32, &first.e);

    ASSERT_EQ(m.seen.size(), 3u);
    EXPECT_TRUE(m.seen[0].inUpdated);
    EXPECT_EQ(m.seen[0].inFrames, std::vector<float>(a, a + 2));
    EXPECT_FALSE(m.seen[1].inUpdated) << "another pin's value";
    EXPECT_EQ(m.seen[1].inFrames, std::vector<float>(a, a + 2)) << "the sample stays until the next value";
    EXPECT_TRUE(m.seen[2].inUpdated) << "a later value raises it again";
    EXPECT_EQ(m.seen[2].inFrames, std::vector<float>(b, b + 4));
    EXPECT_EQ(m.spans, (std::vector<int>{3, 7, 10, 12}));
    EXPECT_FALSE(m.spanUpdated) << "no span between the events sees a pin updated";

    // Streaming and MIDI events are not values.
    gmpi::MpEvent start{};
    start.eventType = gmpi::EVENT_PIN_STREAMING_START;
    start.parm1 = Holder::IN;
    m.process(1, &start);
    EXPECT_FALSE(m.seen.back().inUpdated);
    EXPECT_EQ(m.in.frames.size(), 4u);
}

TEST(SamplePins, ANegativeOrTruncatedSizeIsNoValue)
{
    Holder m;
    PinEvent nc(Holder::NC, nullptr, 0);
    nc.e.parm2 = -5;
    m.process(1, &nc.e);
    EXPECT_EQ(m.seen.back().ncSize, 0);
    EXPECT_EQ(m.seen.back().ncData, nullptr);

    // A size above eight with no extra data: only the eight inline bytes exist.
    const float two[2] = {7.0f, 8.0f};
    PinEvent in(Holder::IN, two, 8);
    in.e.parm2 = 1 << 20;
    m.process(1, &in.e);
    EXPECT_EQ(m.seen.back().inFrames, std::vector<float>(two, two + 2));
}
