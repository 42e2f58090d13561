// QW_MIDICurves through the built bundle: response tables against
// trunc(a^p x 126) + 1 worked out in double precision from the curve's line,
// shape blobs accepted and refused, and messages that pass untouched.
#include "midi_fixture.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace
{
using namespace midi_test;

struct Node
{
    float x, y;
};

Bytes shapeBlob(const std::vector<Node>& nodes, uint32_t magic = 0x53484150, int64_t count = -1)
{
    Bytes b(8 + nodes.size() * 8);
    const uint32_t n = static_cast<uint32_t>(count < 0 ? static_cast<int64_t>(nodes.size()) : count);
    std::memcpy(b.data(), &magic, 4);
    std::memcpy(b.data() + 4, &n, 4);
    if (!nodes.empty())
        std::memcpy(b.data() + 8, nodes.data(), nodes.size() * 8);
    return b;
}

const std::vector<Node> kRising = {{0.0f, -1.0f}, {1.0f, 1.0f}};
const std::vector<Node> kFalling = {{0.0f, 1.0f}, {1.0f, -1.0f}};

// Table entry for level a (0..1 along the curve) and exponent p.
int expected(double a, double p)
{
    return static_cast<int>(std::pow(a, p) * 126.0) + 1;
}

std::string message(int status, int data1, int data2)
{
    return hex(Bytes{static_cast<uint8_t>(status), static_cast<uint8_t>(data1), static_cast<uint8_t>(data2)});
}

struct Curves : ::testing::Test
{
    MidiModule m{L"QW_MIDICurves"};
    int in = m.pin("MIDI In"), out = m.pin("MIDI Out");
    int velocity = m.pin("Velocity Curve"), release = m.pin("Release Velocity Curve"),
        channelPressure = m.pin("Channel Pressure Curve"), keyPressure = m.pin("Key Pressure Curve");
    // Pins of a curve: shape blob, interpolation type, exponent.
    static int type(int curve) { return curve + 1; }
    static int exponent(int curve) { return curve + 2; }

    void SetUp() override { m.start(); }

    // Messages out for these messages in (one per sample).
    std::vector<std::string> through(const std::vector<std::string>& messages)
    {
        m.forget();
        for (size_t i = 0; i < messages.size(); ++i)
            m.send(in, messages[i], static_cast<int>(i % 64));
        m.run(64);
        return m.messages(out);
    }
    std::string one(const std::string& msg)
    {
        const auto r = through({msg});
        return r.size() == 1 ? r[0] : "(" + std::to_string(r.size()) + " messages)";
    }
};

TEST_F(Curves, DefaultLineMapsOneTo127)
{
    for (int v = 1; v <= 127; ++v)
    {
        const int e = v * 126 / 127 + 1; // trunc(v / 127 x 126) + 1
        ASSERT_EQ(one(message(0x90, 60, v)), message(0x90, 60, e)) << "velocity " << v;
        ASSERT_EQ(one(message(0x8F, 61, v)), message(0x8F, 61, e)) << "release " << v;
        ASSERT_EQ(one(message(0xA3, 62, v)), message(0xA3, 62, e)) << "key pressure " << v;
        ASSERT_EQ(one(hex(Bytes{0xD2, static_cast<uint8_t>(v)})), hex(Bytes{0xD2, static_cast<uint8_t>(e)}))
            << "channel pressure " << v;
    }
    EXPECT_EQ(one("80 3C 00"), "80 3C 01");
}

TEST_F(Curves, EachKindHasItsOwnExponent)
{
    m.p->setFloat(exponent(velocity), 2.0f, 0);
    m.p->setFloat(exponent(release), 0.0f, 0);
    m.p->setFloat(exponent(keyPressure), 3.0f, 0);
    m.run(64);
    EXPECT_EQ(one("90 3C 40"), "90 3C 20"); // (64/127)^2 x 126 + 1 = 32.998: 32
    EXPECT_EQ(one("95 3C 40"), "95 3C 20"); // the channel stays
    for (int v : {1, 64, 127})
    {
        EXPECT_EQ(one(message(0x90, 60, v)), message(0x90, 60, expected(v / 127.0, 2.0)));
        EXPECT_EQ(one(message(0x80, 60, v)), message(0x80, 60, 127));
        EXPECT_EQ(one(message(0xA0, 60, v)), message(0xA0, 60, expected(v / 127.0, 3.0)));
        EXPECT_EQ(one(hex(Bytes{0xD0, static_cast<uint8_t>(v)})),
                  hex(Bytes{0xD0, static_cast<uint8_t>(v * 126 / 127 + 1)}));
    }
    // A note-on of velocity 0 is a note-off and passes as one.
    EXPECT_EQ(one("90 3C 00"), "90 3C 00");
    EXPECT_EQ(one("80 3C 00"), "80 3C 7F");
}

TEST_F(Curves, UnusualExponents)
{
    struct Row
    {
        float exponent;
        int at1, at64, at127;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const Row rows[] = {
        {std::numeric_limits<float>::quiet_NaN(), 127, 127, 127}, // counts as 0
        {-3.0f, 127, 127, 127},
        {-inf, 127, 127, 127},
        {1e30f, 1, 1, 127},
        {inf, 1, 1, 127},
        {0.5f, expected(1 / 127.0, 0.5), expected(64 / 127.0, 0.5), 127},
    };
    for (const Row& row : rows)
    {
        m.p->setFloat(exponent(velocity), row.exponent, 0);
        m.run(64);
        EXPECT_EQ(one("90 3C 01"), message(0x90, 60, row.at1)) << row.exponent;
        EXPECT_EQ(one("90 3C 40"), message(0x90, 60, row.at64)) << row.exponent;
        EXPECT_EQ(one("90 3C 7F"), message(0x90, 60, row.at127)) << row.exponent;
    }
}

TEST_F(Curves, AValidShapeChangesTheCurveAndAnInvalidOneKeepsIt)
{
    m.p->setBlob(velocity, shapeBlob(kFalling), 0);
    m.run(64);
    auto falling = [&](int v) { return message(0x90, 60, (127 - v) * 126 / 127 + 1); };
    EXPECT_EQ(one("90 3C 7F"), falling(127));
    EXPECT_EQ(one("90 3C 01"), falling(1));
    EXPECT_EQ(one("90 3C 40"), falling(64));

    Bytes odd = shapeBlob(kRising);
    odd.resize(23);
    Bytes huge = shapeBlob(std::vector<Node>(100, Node{0.5f, 1.0f}));
    huge.push_back(0);
    Bytes ragged = shapeBlob({{0.0f, -1.0f}, {0.5f, 0.0f}, {1.0f, 1.0f}});
    ragged.resize(28);
    const Bytes refused[] = {
        odd,                               // 23 bytes
        huge,                              // 809 bytes
        ragged,                            // not a multiple of 8
        shapeBlob(kRising, 0x50414853),    // wrong magic
        shapeBlob(kRising, 0x53484150, 3), // count does not match the size
        shapeBlob({{0.0f, -1.0f}, {0.5f, 0.0f}, {1.0f, 1.0f}}, 0x53484150, 2),
        Bytes{},
    };
    for (const Bytes& blob : refused)
    {
        m.p->setBlob(velocity, blob, 0);
        m.run(64);
        EXPECT_EQ(one("90 3C 7F"), falling(127)) << blob.size() << " bytes";
        EXPECT_EQ(one("90 3C 40"), falling(64)) << blob.size() << " bytes";
        // The exponent rebuilds from the curve still in force.
        m.p->setFloat(exponent(velocity), 1.0f, 0);
        m.run(64);
        EXPECT_EQ(one("90 3C 40"), falling(64)) << blob.size() << " bytes";
    }

    m.p->setBlob(velocity, shapeBlob(kRising), 0);
    m.run(64);
    EXPECT_EQ(one("90 3C 40"), message(0x90, 60, 64 * 126 / 127 + 1));
    // The other curves never changed.
    EXPECT_EQ(one("80 3C 7F"), "80 3C 7F");
}

TEST_F(Curves, InterpolationTypes)
{
    // A shape and a type in one batch both apply: without interpolation the
    // table holds the end nodes only (the middle lies at level 0.5: 64).
    m.p->setBlob(velocity, shapeBlob(kFalling), 0);
    m.p->setInt(type(velocity), 0, 0);
    m.run(64);
    EXPECT_EQ(one("90 3C 7F"), "90 3C 01");
    EXPECT_EQ(one("90 3C 40"), "90 3C 40");
    EXPECT_EQ(one("90 3C 01"), "90 3C 40");

    for (int ignored : {5, 40, -10, 11})
    {
        m.p->setInt(type(velocity), ignored, 0);
        m.run(64);
        EXPECT_EQ(one("90 3C 40"), "90 3C 40") << "type " << ignored;
    }
    // Linear again: the falling line.
    m.p->setInt(type(velocity), 10, 0);
    m.run(64);
    EXPECT_EQ(one("90 3C 40"), message(0x90, 60, 63 * 126 / 127 + 1));
}

TEST_F(Curves, OtherMessagesPassUntouched)
{
    const std::vector<std::string> same = {
        "C0 05", "C7 05 00", "E0 00 40", "B0 07 64", "B0 7B 00", "F8", "3C 40", "F0 7E 7F 09 01 F7", "FF", "",
    };
    EXPECT_EQ(through(same), same);
}

TEST_F(Curves, MessagesAreRebuiltAtTheirOwnSize)
{
    m.p->setFloat(exponent(channelPressure), 0.0f, 0);
    m.run(64);
    EXPECT_EQ(one("D0 40"), "D0 7F");
    EXPECT_EQ(one("D0 40 00"), "D0 7F");       // channel pressure is 2 bytes
    EXPECT_EQ(one("90 3C 7F 00"), "90 3C 7F"); // a note-on 3
}

TEST_F(Curves, MalformedMessagesAreDropped)
{
    const std::vector<std::string> malformed = {
        "90 BC 40", "90 3C C0", "90 3C", "90", "80 3C 80", "A0 3C", "A0 80 10", "D0", "D0 C0",
    };
    EXPECT_TRUE(through(malformed).empty());
}
} // namespace
