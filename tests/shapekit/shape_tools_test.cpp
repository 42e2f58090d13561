// The shape processing tools through the built bundle: every result as the
// blob each send carried (repeats included), expected nodes worked out by hand
// from the tools' rules.
#include "mp_sdk_common.h"
#include "processing_host.h"
#include "shape_bytes.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

namespace
{
using qwtest::Bytes;
using qwtest::shapeBytes;
using qwtest::ShapeNodes;

const float kNan = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// Nodes of a sent blob; empty when it is no shape blob.
ShapeNodes nodesOf(const std::vector<uint8_t>& b)
{
    ShapeNodes n;
    if (b.size() < 8)
        return n;
    uint32_t magic;
    int32_t count;
    std::memcpy(&magic, b.data(), 4);
    std::memcpy(&count, b.data() + 4, 4);
    if (magic != 0x53484150 || b.size() != 8u + 8u * static_cast<size_t>(count))
        return n;
    for (int i = 0; i < count; ++i)
    {
        float x, y;
        std::memcpy(&x, b.data() + 8 + 8 * i, 4);
        std::memcpy(&y, b.data() + 12 + 8 * i, 4);
        n.push_back({x, y});
    }
    return n;
}

Bytes blobOfText(const wchar_t* text)
{
    std::vector<uint8_t> b;
    ShapeNodes n;
    // User units to internal: x = (X + 5) / 10, y = Y / 5, by the texts' own rule.
    const std::wstring t = text;
    size_t at = 0;
    while ((at = t.find(L'(', at)) != std::wstring::npos)
    {
        const float X = std::wcstof(t.c_str() + at + 1, nullptr);
        const float Y = std::wcstof(t.c_str() + t.find(L',', at) + 1, nullptr);
        n.push_back({(X + 5.0f) * 0.1f, Y * 0.2f});
        ++at;
    }
    return shapeBytes(n);
}

class Tool
{
public:
    explicit Tool(const std::wstring& id, int dup = 2)
    {
        host_.autoDuplicateCount = dup;
        p_ = host_.create(qwtest::bundle("shapekit"), id);
        p_->startGraph();
        p_->run(1);
    }
    qwhost::Processor& p() { return *p_; }
    // Sends of the output pin since the last call.
    std::vector<std::vector<uint8_t>> sends(int pin)
    {
        std::vector<std::vector<uint8_t>> r;
        for (size_t i = seen_; i < p_->updates.size(); ++i)
            if (p_->updates[i].pin == pin)
                r.push_back(p_->updates[i].data);
        seen_ = p_->updates.size();
        return r;
    }
    void step() { p_->run(1); }

private:
    qwhost::ProcessingHost host_;
    std::unique_ptr<qwhost::Processor> p_;
    size_t seen_ = 0;
};

void expectNodes(const ShapeNodes& want, const std::vector<uint8_t>& got)
{
    const ShapeNodes n = nodesOf(got);
    ASSERT_EQ(want.size(), n.size());
    for (size_t i = 0; i < want.size(); ++i)
    {
        EXPECT_FLOAT_EQ(want[i].first, n[i].first) << "node " << i;
        EXPECT_FLOAT_EQ(want[i].second, n[i].second) << "node " << i;
    }
}

// --- QW_DefaultShape ---

TEST(DefaultShape, FallsBackToTheTextThenTheFlatShape)
{
    Tool t(L"QW_DefaultShape");
    auto& p = t.p();
    t.sends(2);
    p.setText(1, L"(-5,-5)(5,5)");
    p.setBlob(0, {});
    t.step();
    auto s = t.sends(2);
    ASSERT_EQ(1u, s.size());
    expectNodes({{0, -1}, {1, 1}}, s[0]);

    p.setText(1, L"(-5,-5) (5,5)"); // a blank between pairs is refused
    p.setBlob(0, {1, 2, 3});
    t.step();
    s = t.sends(2);
    ASSERT_EQ(1u, s.size());
    expectNodes({{0, 0}, {1, 0}}, s[0]);
}

TEST(DefaultShape, SendsAValidBlobAfterEveryChange)
{
    Tool t(L"QW_DefaultShape");
    auto& p = t.p();
    const Bytes a = shapeBytes({{0, 0.5f}, {0.3f, -1}, {1, 0}});
    const Bytes b = shapeBytes({{0, 0.25f}, {1, 0}});
    for (const Bytes* blob : {&a, &b, &a})
    {
        t.sends(2);
        p.setBlob(0, *blob);
        t.step();
        const auto s = t.sends(2);
        ASSERT_EQ(1u, s.size());
        EXPECT_EQ(*blob, s[0]);
    }
    // The text alone sends nothing.
    p.setText(1, L"(-5,1)(5,1)");
    t.step();
    EXPECT_TRUE(t.sends(2).empty());
}

// --- QW_ShapeMorpher2 ---

const Bytes kFlat0 = blobOfText(L"(-5,0)(5,0)");
const Bytes kFlatUp = blobOfText(L"(-5,5)(5,5)");
const Bytes kFlatDown = blobOfText(L"(-5,-5)(5,-5)");

struct MorphCase
{
    float t;
    ShapeNodes want;
};

TEST(ShapeMorpher2, ThreeInputsByPosition)
{
    const MorphCase cases[] = {
        {0.5f, {{0, 1}, {1, 1}}},                                   // input 1 exactly
        {0.25f, {{0, 0.5f}, {1, 0.5f}}},                            // half way from input 0 to input 1
        {1.0f, {{0, -1}, {1, -1}}},                                 // the last input
        {0.0f, {{0, 0}, {1, 0}}},        {0.75f, {{0, 0}, {1, 0}}}, // half way from +1 to -1
        {7.0f, {{0, -1}, {1, -1}}},                                 // above 1 counts as 1
        {kNan, {{0, 0}, {1, 0}}},                                   // NaN counts as 0
    };
    for (const auto& c : cases)
    {
        Tool t(L"QW_ShapeMorpher2", 3);
        auto& p = t.p();
        p.setBlob(2, kFlat0);
        p.setBlob(3, kFlatUp);
        p.setBlob(4, kFlatDown);
        p.setFloat(1, 0.6f); // a change of position from here reads the segment
        t.step();
        t.sends(0);
        p.setFloat(1, c.t);
        t.step();
        const auto s = t.sends(0);
        ASSERT_EQ(1u, s.size()) << "t " << c.t;
        SCOPED_TRACE(c.t);
        expectNodes(c.want, s[0]);
    }
}

TEST(ShapeMorpher2, OneInputPassesUnchangedAndNoneSendsNothing)
{
    Tool one(L"QW_ShapeMorpher2", 1);
    one.sends(0);
    const Bytes odd = {1, 2, 3, 4, 5}; // passed on as it is, shape or not
    for (const Bytes& b : {kFlatUp, odd})
    {
        one.p().setBlob(2, b);
        one.step();
        const auto s = one.sends(0);
        ASSERT_EQ(1u, s.size());
        EXPECT_EQ(b, s[0]);
    }
    Tool none(L"QW_ShapeMorpher2", 0);
    none.p().setFloat(1, 0.3f);
    none.step();
    EXPECT_TRUE(none.sends(0).empty());
}

TEST(ShapeMorpher2, TwoInputsMorphAndRepeatTheResult)
{
    Tool t(L"QW_ShapeMorpher2", 2);
    auto& p = t.p();
    p.setBlob(2, shapeBytes({{0, 0}, {0.5f, 1}, {1, 0}}));
    p.setBlob(3, shapeBytes({{0, 1}, {0.25f, 0}, {1, 1}}));
    p.setFloat(1, 0.5f);
    t.step();
    auto s = t.sends(0);
    ASSERT_EQ(1u, s.size());
    // Equal counts: node by node, each weighing one half.
    expectNodes({{0, 0.5f}, {0.375f, 0.5f}, {1, 0.5f}}, s[0]);
    // The same position again is no change; a refused first input stops.
    p.setFloat(1, 0.5f);
    t.step();
    EXPECT_TRUE(t.sends(0).empty());
    p.setBlob(2, {0, 0, 0});
    p.setFloat(1, 0.0f);
    t.step();
    EXPECT_TRUE(t.sends(0).empty());
}

TEST(ShapeMorpher2, FortyInputsReadOnlyTheirSegment)
{
    const int n = 40;
    Tool t(L"QW_ShapeMorpher2", n);
    auto& p = t.p();
    for (int k = 0; k < n; ++k)
        p.setBlob(2 + k, shapeBytes({{0, 0.02f * static_cast<float>(k)}, {1, 0}}));
    p.setFloat(1, 0.01f);
    t.step();
    t.sends(0);
    p.setFloat(1, 0.0f);
    t.step();
    auto s = t.sends(0);
    ASSERT_EQ(1u, s.size());
    expectNodes({{0, 0}, {1, 0}}, s[0]);
    // An update of input 10 while the position is in segment 0: nothing to send.
    p.setBlob(2 + 10, shapeBytes({{0, -0.9f}, {1, -0.9f}}));
    t.step();
    EXPECT_TRUE(t.sends(0).empty());
    // Position 10/39 lands exactly on input 10, which brings its new shape.
    p.setFloat(1, 10.0f / 39.0f);
    t.step();
    s = t.sends(0);
    ASSERT_EQ(1u, s.size());
    const ShapeNodes got = nodesOf(s[0]);
    ASSERT_EQ(2u, got.size());
    // The segment is 9 or 10 by float rounding: either way input 10's levels.
    EXPECT_NEAR(-0.9, got[0].second, 1e-5);
    EXPECT_NEAR(-0.9, got[1].second, 1e-5);
}

// --- QW_ShapeNodeVal ---

TEST(ShapeNodeVal, FallbacksUntilAValidNode)
{
    Tool t(L"QW_ShapeNodeVal");
    auto& p = t.p();
    auto last = [&](int pin) {
        float v = kNan;
        for (const auto& u : p.updates)
            if (u.pin == pin)
                v = u.asFloat();
        return v;
    };
    p.setFloat(2, 3.0f);
    p.setFloat(3, -2.0f);
    p.setInt(1, 1);
    t.step();
    EXPECT_EQ(3.0f, last(4));
    EXPECT_EQ(-2.0f, last(5));
    p.setBlob(0, shapeBytes({{0, 0.1f}, {0.4f, -0.6f}, {-1, 0}, {1, 1}}));
    t.step();
    EXPECT_FLOAT_EQ(0.4f, last(4)); // internal units
    EXPECT_FLOAT_EQ(-0.6f, last(5));
    for (int idx : {2, 4, -1, INT_MIN, INT_MAX}) // (-1, 0) is absent; the rest lie outside
    {
        p.setInt(1, idx);
        t.step();
        EXPECT_EQ(3.0f, last(4)) << idx;
        EXPECT_EQ(-2.0f, last(5)) << idx;
    }
    p.setInt(1, 3);
    t.step();
    EXPECT_EQ(1.0f, last(4));
    p.setBlob(0, {1, 2}); // refused: no valid nodes
    t.step();
    EXPECT_EQ(3.0f, last(4));
    p.setFloat(2, kNan);
    t.step();
    EXPECT_EQ(0.0f, last(4));
}

// --- QW_ShapeFit ---

struct FitCase
{
    ShapeNodes in;
    float low, high;
    ShapeNodes want;
};

TEST(ShapeFit, FitsLevelsIntoTheRange)
{
    const FitCase cases[] = {
        {{{0, -1}, {0.5f, 1}, {1, -1}}, 0.5f, 0.5f, {{0, 0.1f}, {0.5f, 0.1f}, {1, 0.1f}}},
        {{{0, -1}, {0.5f, 1}, {1, -1}}, -2.5f, 2.5f, {{0, -0.5f}, {0.5f, 0.5f}, {1, -0.5f}}},
        {{{0, 0}, {0.5f, 0.5f}, {1, 1}}, 5.0f, -5.0f, {{0, 1}, {0.5f, 0}, {1, -1}}}, // reversed range flips
        {{{0, 0.3f}, {1, 0.3f}}, -2.5f, 5.0f, {{0, 0.25f}, {1, 0.25f}}},             // flat: the middle
        {{{0, -1}, {1, 1}}, -50.0f, 50.0f, {{0, -1}, {1, 1}}},                       // bounds clamp to 1
        {{{0, -1}, {1, 1}}, kNan, 5.0f, {{0, 0}, {1, 1}}},                           // NaN counts as 0
    };
    for (const auto& c : cases)
    {
        Tool t(L"QW_ShapeFit");
        auto& p = t.p();
        p.setFloat(1, c.low);
        p.setFloat(2, c.high);
        p.setBlob(0, shapeBytes(c.in));
        t.sends(3);
        t.step();
        const auto s = t.sends(3);
        ASSERT_EQ(1u, s.size());
        SCOPED_TRACE(::testing::Message() << c.low << " " << c.high);
        expectNodes(c.want, s[0]);
    }
}

// --- QW_ShapeAmp2 ---

TEST(ShapeAmp2, ScalesAroundTheCentreAndSendsUnityToo)
{
    Tool t(L"QW_ShapeAmp2");
    auto& p = t.p();
    const Bytes in = shapeBytes({{0, 0.3f}, {1, -0.6f}});
    p.setBlob(0, in);
    t.sends(3);
    t.step();
    auto s = t.sends(3);
    ASSERT_EQ(1u, s.size());
    EXPECT_EQ(in, s[0]); // gain 1: unchanged, still sent
    p.setFloat(2, 2.0f);
    t.step();
    s = t.sends(3);
    ASSERT_EQ(1u, s.size());
    expectNodes({{0, 0.6f}, {1, -1}}, s[0]);
    // Centre 2.5 (0.5): 0.3 -> 0.1, -0.6 -> -1.7 -> -1.
    p.setFloat(1, 2.5f);
    t.step();
    s = t.sends(3);
    ASSERT_EQ(1u, s.size());
    expectNodes({{0, 0.1f}, {1, -1}}, s[0]);
    // The same gain again is still a change and sends again.
    p.setFloat(2, 2.0f);
    t.step();
    EXPECT_EQ(1u, t.sends(3).size());
    // Infinite gain: every node leaves for a bound; one on the centre stays.
    p.setBlob(0, shapeBytes({{0, 0.5f}, {0.5f, 0.7f}, {1, 0.2f}}));
    p.setFloat(2, kInf);
    t.step();
    s = t.sends(3);
    ASSERT_EQ(1u, s.size());
    expectNodes({{0, 0.5f}, {0.5f, 1}, {1, -1}}, s[0]);
    p.setFloat(2, kNan); // counts as 0: every node to the centre
    t.step();
    s = t.sends(3);
    ASSERT_EQ(1u, s.size());
    expectNodes({{0, 0.5f}, {0.5f, 0.5f}, {1, 0.5f}}, s[0]);
}

// --- QW_ShapeNodeModif2 ---

TEST(ShapeNodeModif2, SetsOneNodeKeepingTheOrder)
{
    Tool t(L"QW_ShapeNodeModif2");
    auto& p = t.p();
    const ShapeNodes in = {{0, 0}, {0.25f, 0.5f}, {0.5f, -0.5f}, {1, 0}};
    p.setBlob(0, shapeBytes(in));
    t.step();
    t.sends(4);
    struct Case
    {
        int index;
        float X, Y;
        ShapeNodes want;
    };
    const float justBelowHalf = std::nextafter(0.5f + 1.0f, 0.0f) - 1.0f;
    const float justAboveZero = std::nextafter(0.0f + 1.0f, 2.0f) - 1.0f;
    const Case cases[] = {
        {0, 3.0f, 2.5f, {{0, 0.5f}, {0.25f, 0.5f}, {0.5f, -0.5f}, {1, 0}}},    // first: y only
        {3, -3.0f, -2.5f, {{0, 0}, {0.25f, 0.5f}, {0.5f, -0.5f}, {1, -0.5f}}}, // last: y only
        {1, -4.0f, 1.0f, {{0, 0}, {0.1f, 0.2f}, {0.5f, -0.5f}, {1, 0}}},
        {1, 4.0f, 2.5f, {{0, 0}, {justBelowHalf, 0.5f}, {0.5f, -0.5f}, {1, 0}}}, // stops short of node 2
        {1, -9.0f, 2.5f, {{0, 0}, {justAboveZero, 0.5f}, {0.5f, -0.5f}, {1, 0}}},
        {1, kNan, kNan, {{0, 0}, {justBelowHalf, 0.0f}, {0.5f, -0.5f}, {1, 0}}}, // NaN X is 0 (x 0.5)
    };
    for (const auto& c : cases)
    {
        p.setInt(1, c.index);
        p.setFloat(2, c.X);
        p.setFloat(3, c.Y);
        t.step();
        const auto s = t.sends(4);
        ASSERT_EQ(1u, s.size()) << c.index << " " << c.X;
        SCOPED_TRACE(::testing::Message() << c.index << " " << c.X);
        expectNodes(c.want, s[0]);
    }
    // A negative or outside index sends only on blob changes.
    for (int idx : {-1, INT_MIN, INT_MAX})
    {
        p.setInt(1, idx);
        p.setFloat(3, 1.0f);
        t.step();
        EXPECT_TRUE(t.sends(4).empty()) << idx;
    }
    p.setInt(1, -1);
    p.setBlob(0, shapeBytes(in));
    t.step();
    const auto s = t.sends(4);
    ASSERT_EQ(1u, s.size());
    EXPECT_EQ(shapeBytes(in), s[0]);
}

// --- QW_ShapeNodeModul2 ---

TEST(ShapeNodeModul2, ModulatesFromTheInputShapeEachTime)
{
    Tool t(L"QW_ShapeNodeModul2");
    auto& p = t.p();
    p.setBlob(0, shapeBytes({{0, 0}, {0.25f, 0.5f}, {0.5f, -0.5f}, {1, 0}}));
    p.setInt(1, 1);
    t.step();
    t.sends(4);
    const float belowNext = std::nextafter(0.5f + 1.0f, 0.0f) - 1.0f;
    struct Case
    {
        float mx, my;
        float x, y;
    };
    const Case cases[] = {
        {1.0f, 0.0f, belowNext, 0.5f}, {0.5f, 0.0f, 0.375f, 0.5f},   // half way to the next node
        {-0.5f, 0.0f, 0.125f, 0.5f},                                 // half way to the previous one
        {0.0f, 1.0f, 0.25f, 1.0f},     {0.0f, -0.5f, 0.25f, -0.25f}, // 0.5 * 0.5 - 0.5
        {0.0f, 0.5f, 0.25f, 0.75f},                                  // again from 0.5, not from -0.25
        {kNan, 9.0f, 0.25f, 1.0f},                                   // NaN is 0; 9 clamps to 1
    };
    for (const auto& c : cases)
    {
        p.setFloat(2, c.mx);
        p.setFloat(3, c.my);
        t.step();
        const auto s = t.sends(4);
        ASSERT_EQ(1u, s.size()) << c.mx << " " << c.my;
        const ShapeNodes n = nodesOf(s[0]);
        ASSERT_EQ(4u, n.size());
        EXPECT_FLOAT_EQ(c.x, n[1].first) << c.mx << " " << c.my;
        EXPECT_FLOAT_EQ(c.y, n[1].second) << c.mx << " " << c.my;
        EXPECT_EQ(0.5f, n[2].first);
    }
    // An index outside the shape sends the input unchanged.
    p.setInt(1, 7);
    t.step();
    const auto s = t.sends(4);
    ASSERT_EQ(1u, s.size());
    EXPECT_EQ(shapeBytes({{0, 0}, {0.25f, 0.5f}, {0.5f, -0.5f}, {1, 0}}), s[0]);
}

// --- QW_RegularShapeGen ---

TEST(RegularShapeGen, NodesEvenlySpacedOnePerLevel)
{
    {
        Tool t(L"QW_RegularShapeGen", 5);
        t.p().setFloat(1 + 2, 5.0f);
        t.step();
        const auto s = t.sends(0);
        ASSERT_FALSE(s.empty());
        expectNodes({{0, 0}, {0.25f, 0}, {0.5f, 1}, {0.75f, 0}, {1, 0}}, s.back());
    }
    {
        Tool t(L"QW_RegularShapeGen", 1);
        t.p().setFloat(1, -5.0f);
        t.step();
        const auto s = t.sends(0);
        ASSERT_FALSE(s.empty());
        expectNodes({{0, -1}, {1, 0}}, s.back());
    }
    {
        Tool t(L"QW_RegularShapeGen", 150);
        t.p().setFloat(1 + 99, 5.0f);
        t.p().setFloat(1 + 140, -5.0f); // beyond the nodes: ignored
        t.step();
        const auto s = t.sends(0);
        ASSERT_FALSE(s.empty());
        const ShapeNodes n = nodesOf(s.back());
        ASSERT_EQ(100u, n.size());
        EXPECT_EQ(1.0f, n[99].first);
        EXPECT_EQ(1.0f, n[99].second);
        for (size_t i = 1; i < n.size(); ++i)
            EXPECT_LT(n[i - 1].first, n[i].first);
    }
}

// --- bad input ---

TEST(ShapeTools, HostileBlobsAndValues)
{
    std::vector<Bytes> blobs = {
        {},
        Bytes(16, 0),
        Bytes(28, 0),
        Bytes(812, 0),
        shapeBytes(qwtest::evenNodes(101)), // 816 bytes
        Bytes(1 << 16, 0xFF),
        qwtest::shapeBytesCounted({{0, 0}, {1, 0}}, 3),
        qwtest::shapeBytesCounted({{0, 0}, {1, 0}}, -1),
        shapeBytes({{kNan, kNan}, {0.5f, kInf}, {0.2f, -kInf}, {1, kNan}}),
        shapeBytes(qwtest::evenNodes(100, 0.5f)),
    };
    Bytes wrongMagic = shapeBytes({{0, 0}, {1, 0}});
    wrongMagic[0] ^= 1;
    blobs.push_back(wrongMagic);
    const float values[] = {kNan, kInf, -kInf, 1e30f, -1e30f, 0.5f};
    const int ints[] = {INT_MIN, INT_MAX, -1, 0, 1, 99};
    for (const wchar_t* id : {L"QW_DefaultShape", L"QW_ShapeMorpher2", L"QW_ShapeNodeVal", L"QW_ShapeFit",
                              L"QW_ShapeAmp2", L"QW_ShapeNodeModif2", L"QW_ShapeNodeModul2", L"QW_RegularShapeGen"})
    {
        Tool t(id, 4);
        auto& p = t.p();
        p.resetAllocationCount();
        for (size_t k = 0; k < blobs.size() * 4; ++k)
        {
            for (int pin = 0; pin < p.pinCount(); ++pin)
            {
                const auto& info = p.pinInfo(pin);
                if (info.direction != gmpi::MP_IN)
                    continue;
                if (info.datatype == gmpi::MP_BLOB)
                    p.setBlob(pin, blobs[(k + static_cast<size_t>(pin)) % blobs.size()]);
                else if (info.datatype == gmpi::MP_FLOAT32)
                    p.setFloat(pin, values[(k + static_cast<size_t>(pin)) % 6]);
                else if (info.datatype == gmpi::MP_INT32)
                    p.setInt(pin, ints[k % 6]);
            }
            t.step();
        }
        EXPECT_EQ(0, p.allocationsAfterFirstBlock()) << gmpi_sdk::toUtf8(id);
        for (const auto& u : p.updates)
        {
            if (p.pinInfo(u.pin).datatype == gmpi::MP_FLOAT32)
                EXPECT_FALSE(std::isnan(u.asFloat())) << gmpi_sdk::toUtf8(id); // fallbacks pass infinities
            else
                EXPECT_LE(u.data.size(), 808u) << gmpi_sdk::toUtf8(id);
        }
    }
}
} // namespace
