// The random interface modules through the built bundle, under every echo of
// the host: the history stepped back and forth without new draws, the float
// draws predicted from the mantissa of the one before (the state's low 23
// bits evolve on their own), the integer draws predicted after the full span
// shows the state, equal and swapped limits, and no repeat.
#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace
{
using qwtest::kEchoModes;

// Pins: first limit, second limit, value, step forward, step back, no repeat
// (QW_RndInt).
constexpr int kFirst = 0, kSecond = 1, kValue = 2, kForward = 3, kBack = 4, kNoRepeat = 5;

// The generator's step, worked here in 64 bits.
uint32_t nextState(uint32_t s)
{
    return static_cast<uint32_t>((uint64_t{s} * 1664525u + 1013904223u) % (uint64_t{1} << 32));
}

// One module under one echo of the host.
class Rnd
{
public:
    Rnd(const wchar_t* id, qwhost::Echo echo)
    {
        host_.echo = echo;
        g_ = host_.create(qwtest::bundle("panelkit"), id, false);
    }
    qwhost::GuiModule& g() { return *g_; }

    void setInt(int pin, int32_t v) { g_->setInt(pin, v), settle(); }
    void setFloat(int pin, float v) { g_->setFloat(pin, v), settle(); }
    void setBool(int pin, bool v) { g_->setBool(pin, v), settle(); }
    void forward() { setBool(kForward, true); }
    void back() { setBool(kBack, true); }

    size_t sent() { return g_->transmitsOf(kValue).size(); }
    // The value last sent.
    int32_t lastInt() { return g_->lastTransmit(kValue)->asInt(); }
    float lastFloat() { return g_->lastTransmit(kValue)->asFloat(); }
    // A forward step that must send a new value.
    int32_t drawInt()
    {
        const size_t before = sent();
        forward();
        EXPECT_EQ(sent(), before + 1);
        return lastInt();
    }
    float drawFloat()
    {
        const size_t before = sent();
        forward();
        EXPECT_EQ(sent(), before + 1);
        return lastFloat();
    }

private:
    void settle() { ASSERT_TRUE(g_->settleEchoes()); }

    qwhost::GuiHost host_;
    std::unique_ptr<qwhost::GuiModule> g_;
};

std::string echoTitle(qwhost::Echo e)
{
    return qwtest::echoName(e);
}

// Forward, forward, back, forward: the first draw, the second, the first again,
// the second again; the next forward draws what follows the second, so no
// draw happened in between.
TEST(RndFloat, HistoryStepsBackAndForthWithoutDrawing)
{
    for (auto echo : kEchoModes)
    {
        SCOPED_TRACE(echoTitle(echo));
        Rnd m(L"QW_RndFloat", echo);
        m.setFloat(kSecond, 1);
        m.back();
        EXPECT_EQ(m.sent(), 0u) << "a step back before any draw";
        const float first = m.drawFloat();
        const float second = m.drawFloat();
        m.back();
        ASSERT_EQ(m.sent(), 3u);
        EXPECT_EQ(m.lastFloat(), first);
        m.back();
        EXPECT_EQ(m.sent(), 3u) << "at the first entry: the same value, nothing sent";
        m.setBool(kForward, false);
        EXPECT_EQ(m.sent(), 3u) << "a false step does nothing";
        m.setFloat(kSecond, 100);
        m.forward();
        EXPECT_EQ(m.lastFloat(), second) << "a kept value whatever the limits are now";
        m.setFloat(kSecond, 1);
        const float third = m.drawFloat();
        const uint32_t mantissa = static_cast<uint32_t>(std::ldexp(double(second), 23));
        EXPECT_EQ(double(third), std::ldexp(double(nextState(mantissa) & 0x7FFFFF), -23));
    }
}

// Between 0 and 1 a draw is its mantissa over 2^23 exactly; the next state's
// low 23 bits follow from the last ones alone.
TEST(RndFloat, EachDrawPredictsTheNext)
{
    for (auto echo : kEchoModes)
    {
        SCOPED_TRACE(echoTitle(echo));
        Rnd m(L"QW_RndFloat", echo);
        m.setFloat(kSecond, 1);
        float u = m.drawFloat();
        std::set<float> seen;
        for (int k = 0; k < 200; ++k)
        {
            ASSERT_GE(u, 0.0f);
            ASSERT_LT(u, 1.0f);
            const double scaled = std::ldexp(double(u), 23);
            ASSERT_EQ(scaled, std::floor(scaled)) << "a whole number of 2^-23";
            const double expected = std::ldexp(double(nextState(static_cast<uint32_t>(scaled)) & 0x7FFFFF), -23);
            seen.insert(u);
            u = m.drawFloat();
            ASSERT_EQ(double(u), expected) << "draw " << k;
        }
        EXPECT_GT(seen.size(), 190u);
    }
}

// Other limits: (hi - lo) x u + lo in float, the limits in either order.
TEST(RndFloat, ScaledIntoTheLimits)
{
    for (auto echo : kEchoModes)
    {
        SCOPED_TRACE(echoTitle(echo));
        Rnd m(L"QW_RndFloat", echo);
        m.setFloat(kSecond, 1);
        const float u = m.drawFloat();
        const uint32_t mantissa = static_cast<uint32_t>(std::ldexp(double(u), 23));
        const float next = static_cast<float>(std::ldexp(double(nextState(mantissa) & 0x7FFFFF), -23));
        m.setFloat(kFirst, 10);
        m.setFloat(kSecond, -6);
        const float v = m.drawFloat();
        EXPECT_NEAR(v, 16.0 * next - 6.0, 1e-5);
        EXPECT_GE(v, -6.0f);
        EXPECT_LE(v, 10.0f);
    }
}

// The full span gives lo + state: the state shows, and every later draw with
// any limits is lo + (state x n >> 32), n = hi - lo + 1, worked in 64 bits.
TEST(RndInt, FullSpanShowsTheStateAndPredictsTheRest)
{
    for (auto echo : kEchoModes)
    {
        SCOPED_TRACE(echoTitle(echo));
        Rnd m(L"QW_RndInt", echo);
        m.setInt(kFirst, INT_MAX);
        m.setInt(kSecond, INT_MIN);
        const int32_t shown = m.drawInt();
        uint32_t state = static_cast<uint32_t>(int64_t{shown} - INT_MIN);
        state = nextState(state);
        EXPECT_EQ(m.drawInt(), int64_t{INT_MIN} + state) << "the full span again";

        const struct
        {
            int32_t a, b;
        } limits[] = {{3, 10}, {10, 3}, {0, 1}, {-1000, 1000}, {INT_MIN, 0}, {-5, INT_MAX}, {0, 2}};
        for (int round = 0; round < 20; ++round)
            for (auto& l : limits)
            {
                m.setInt(kFirst, l.a);
                m.setInt(kSecond, l.b);
                const int64_t lo = std::min(l.a, l.b), hi = std::max(l.a, l.b);
                state = nextState(state);
                const int64_t expected = lo + static_cast<int64_t>((uint64_t{state} * uint64_t(hi - lo + 1)) >> 32);
                m.forward(); // an unchanged value is not sent, and the last one sent is it
                ASSERT_EQ(m.lastInt(), expected);
            }
    }
}

// Equal limits give that value and leave the state where it was.
TEST(RndInt, EqualLimitsDrawNothing)
{
    for (auto echo : kEchoModes)
    {
        SCOPED_TRACE(echoTitle(echo));
        Rnd m(L"QW_RndInt", echo);
        m.setInt(kFirst, INT_MIN);
        m.setInt(kSecond, INT_MAX);
        const uint32_t state = static_cast<uint32_t>(int64_t{m.drawInt()} - INT_MIN);
        m.setInt(kFirst, 5);
        m.setInt(kSecond, 5);
        m.setBool(kNoRepeat, true);
        EXPECT_EQ(m.drawInt(), 5);
        for (int k = 0; k < 5; ++k)
            m.forward();
        EXPECT_EQ(m.sent(), 2u) << "5 each time, sent once";
        m.setInt(kFirst, INT_MIN);
        m.setInt(kSecond, INT_MAX);
        EXPECT_EQ(m.drawInt(), int64_t{INT_MIN} + nextState(state)) << "one step of the state since";
    }
}

TEST(RndInt, SwappedLimitsStayInside)
{
    for (auto echo : kEchoModes)
    {
        SCOPED_TRACE(echoTitle(echo));
        Rnd m(L"QW_RndInt", echo);
        m.setInt(kFirst, 3);
        m.setInt(kSecond, 1);
        std::set<int32_t> seen;
        for (int k = 0; k < 300; ++k)
        {
            m.forward();
            if (m.sent() > 0)
                seen.insert(m.lastInt());
        }
        EXPECT_EQ(seen, (std::set<int32_t>{1, 2, 3}));
    }
}

// With no repeat every draw of 0 or 1 differs from the one before, so each is
// sent; without it the draws repeat now and then (a generator whose low bit
// alternates would alternate strictly).
TEST(RndInt, NoRepeatAlternatesAndPlainDrawsDoNot)
{
    for (auto echo : kEchoModes)
        for (bool noRepeat : {true, false})
        {
            SCOPED_TRACE(echoTitle(echo) + (noRepeat ? ", no repeat" : ", repeats allowed"));
            Rnd m(L"QW_RndInt", echo);
            m.setInt(kSecond, 1);
            m.setBool(kNoRepeat, noRepeat);
            constexpr size_t kDraws = 200;
            std::vector<int32_t> values;
            for (size_t k = 0; k < kDraws; ++k)
                m.forward();
            for (const auto* v : m.g().transmitsOf(kValue))
                values.push_back(v->asInt());
            for (size_t k = 1; k < values.size(); ++k)
                ASSERT_NE(values[k], values[k - 1]) << "the host sees only changes";
            if (noRepeat)
                EXPECT_GE(values.size(), kDraws - 1) << "every draw differs (the first may be the initial 0)";
            else
                EXPECT_LT(values.size(), kDraws * 3 / 4) << "a fair coin repeats about half the time";
        }
}

// Back past the first entry stays there; the kept history reaches back far.
TEST(RndInt, BackStopsAtTheFirstEntry)
{
    Rnd m(L"QW_RndInt", qwhost::Echo::None);
    m.setInt(kFirst, INT_MIN);
    m.setInt(kSecond, INT_MAX);
    std::vector<int32_t> drawn;
    for (int k = 0; k < 50; ++k)
        drawn.push_back(m.drawInt());
    for (int k = 48; k >= 0; --k)
    {
        m.back();
        ASSERT_EQ(m.lastInt(), drawn[static_cast<size_t>(k)]);
    }
    const size_t before = m.sent();
    m.back();
    EXPECT_EQ(m.sent(), before);
    for (int k = 1; k < 50; ++k)
    {
        m.forward();
        ASSERT_EQ(m.lastInt(), drawn[static_cast<size_t>(k)]);
    }
}
} // namespace
