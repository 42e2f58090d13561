// The sample measurements of samplekit2 through the built bundle, both halves
// of each from one table (the interface half once per echo mode of the
// host): length, duration, the value of a frame and the peak level of a
// range, with empty, invalid and hostile inputs.
#include "sample_fixture.h"

#include <climits>
#include <cmath>
#include <limits>

namespace
{
using namespace s2test;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The level in dB as written out for the modules: the peak as m x 2^e with m
// in [0.5, 1), x = m - 0.75, log2 = e + P(x) / Q(x), times 6.0206; worked out
// here in double precision.
double writtenOutDb(float peak)
{
    int e;
    const double m = std::frexp(static_cast<double>(peak), &e);
    const double x = m - 0.75;
    const double p = ((0.5777593 * x + 2.1220846) * x + 1.0935184) * x - 0.4150375;
    const double q = ((0.11851852 * x + 1.0666667) * x + 2.0) * x + 1.0;
    return 6.0206 * (e + p / q);
}

class Measure : public EchoTest
{
protected:
    std::unique_ptr<qwhost::Processor> dsp(const std::wstring& id)
    {
        auto p = host.create(kit(), id);
        p->startGraph();
        return p;
    }
    // The value a processing output holds: its last update (graph start sends the first).
    static const qwhost::PinUpdate& out(const qwhost::Processor& p, int pin)
    {
        for (auto it = p.updates.rbegin(); it != p.updates.rend(); ++it)
            if (it->pin == pin)
                return *it;
        ADD_FAILURE() << "pin " << pin << " never sent";
        static const qwhost::PinUpdate none{};
        return none;
    }
    static void expectLevel(float got, double want, double tolerance, const std::string& what)
    {
        if (std::isinf(want))
            EXPECT_EQ(got, want) << what;
        else
            EXPECT_NEAR(got, want, tolerance) << what;
    }

    qwhost::ProcessingHost host;
};

INSTANTIATE_TEST_SUITE_P(Echo, Measure, ::testing::Values(Echo::Inside, Echo::Later, Echo::None), echoName);

// ===========================================================================
// Level

enum LevelDsp
{
    LD_SAMPLE,
    LD_START,
    LD_END,
    LD_UNITS,
    LD_LEVEL,
    LD_POSITION
};
enum LevelGui
{
    LG_UNITS,
    LG_SAMPLE,
    LG_START,
    LG_END,
    LG_LEVEL,
    LG_POSITION
};

TEST_P(Measure, LevelOfARangeOnBothHalves)
{
    const std::vector<float> x = {0.1f, -0.2f, 0.3f, -0.75f, 0.5f, 0.75f, kNaN, 0.6f, 0.0f, 0.0f, 0.2f, -0.4f};
    const std::vector<float> unit = {1.0f, 0.25f};
    const struct
    {
        const std::vector<float>& frames;
        int start, end, units;
        double level;
        int position;
        double tolerance;
    } rows[] = {
        {x, 10, 3, 0, 0.75, 3, 0},                     // either order; the first of two equal peaks; NaN never wins
        {x, 3, 10, 1, 7.5, 3, 0},                      // x 10
        {x, -1, -5, 0, 0.4f, 11, 0},                   // both negative: the last frame alone
        {x, 50, 9, 0, 0.4f, 11, 0},                    // past the end: from the last frame
        {x, INT_MIN, INT_MAX, 0, 0.4f, 11, 0},         //
        {x, 12, 10, 0, 0.4f, 11, 0},                   // the frame count itself is past the end
        {x, 8, 9, 0, 0.0, 0, 0},                       // silence: 0 at position 0
        {x, 8, 9, 1, 0.0, 0, 0},                       //
        {x, 8, 9, 2, -kInf, 0, 0},                     // -infinity dB
        {x, 9, 8, 5, -kInf, 0, 0},                     // any other units value is dB
        {x, 6, 6, 0, 0.0, 0, 0},                       // a NaN frame alone measures as silence
        {x, 4, 4, 2, writtenOutDb(0.5f), 4, 1e-5},     // -6.0206 dB
        {x, 0, -1, -3, writtenOutDb(0.75f), 3, 1e-5},  //
        {unit, 0, -1, 2, writtenOutDb(1.0f), 0, 1e-6}, // 5.5e-6 dB, not 0
    };
    for (auto& row : rows)
    {
        const std::string what = "frames " + std::to_string(row.start) + ".." + std::to_string(row.end) + ", units " +
                                 std::to_string(row.units);
        SCOPED_TRACE(what);
        auto p = dsp(L"QW_S2_SampleLevelDSP");
        p->setInt(LD_UNITS, row.units);
        p->setInt(LD_START, row.start);
        p->setInt(LD_END, row.end);
        p->setBlob(LD_SAMPLE, sample(row.frames));
        p->run(1);
        expectLevel(out(*p, LD_LEVEL).asFloat(), row.level, row.tolerance, "processing half");
        EXPECT_EQ(out(*p, LD_POSITION).asInt(), row.position) << "processing half";

        auto g = make(L"QW_S2_SampleLevelGUI");
        g->setInt(LG_UNITS, row.units);
        g->setInt(LG_START, row.start);
        g->setInt(LG_END, row.end);
        g->setBlob(LG_SAMPLE, sample(row.frames));
        g->deliverEchoes();
        expectLevel(lastFloat(*g, LG_LEVEL), row.level, row.tolerance, "interface half");
        EXPECT_EQ(lastInt(*g, LG_POSITION), row.position) << "interface half";
    }
    EXPECT_NEAR(writtenOutDb(0.5f), -6.0206, 1e-4);
}

// An empty or invalid sample: the processing half gives 0 (or -infinity in
// dB) at position -1; the interface half changes nothing.
TEST_P(Measure, LevelOfNoSample)
{
    const std::vector<float> x = {0.5f, -0.25f};
    for (const auto& none : {std::vector<uint8_t>(), std::vector<uint8_t>(24, 7)})
        for (int units : {0, 1, 2, 9})
        {
            SCOPED_TRACE("units " + std::to_string(units) + (none.empty() ? ", empty" : ", invalid"));
            auto p = dsp(L"QW_S2_SampleLevelDSP");
            p->setInt(LD_UNITS, units);
            p->setBlob(LD_SAMPLE, sample(x));
            p->run(1);
            p->setBlob(LD_SAMPLE, none);
            p->run(1);
            expectLevel(out(*p, LD_LEVEL).asFloat(), units == 0 || units == 1 ? 0.0 : -kInf, 0, "processing");
            EXPECT_EQ(out(*p, LD_POSITION).asInt(), -1);

            auto g = make(L"QW_S2_SampleLevelGUI");
            g->setInt(LG_UNITS, units);
            g->setBlob(LG_SAMPLE, sample(x));
            const size_t sent = g->transmits.size();
            g->setBlob(LG_SAMPLE, none);
            g->setInt(LG_START, 1);
            g->deliverEchoes();
            EXPECT_EQ(g->transmits.size(), sent) << "the interface half changed its outputs";
        }
}

// The interface half waits until units, sample, start and end have all
// arrived, then measures on each change.
TEST_P(Measure, LevelInterfaceHalfWaitsForEveryInput)
{
    const std::vector<float> x = {0.5f, -0.25f, 0.75f};
    auto g = make(L"QW_S2_SampleLevelGUI", false);
    g->setBlob(LG_SAMPLE, sample(x));
    g->setInt(LG_START, 0);
    g->setInt(LG_END, 1);
    EXPECT_TRUE(g->transmits.empty());
    g->setInt(LG_UNITS, 0);
    EXPECT_EQ(lastFloat(*g, LG_LEVEL), 0.5f);
    g->setInt(LG_END, -1);
    EXPECT_EQ(lastFloat(*g, LG_LEVEL), 0.75f);
    EXPECT_EQ(lastInt(*g, LG_POSITION), 2);
    // Position first, then the level; values that do not change are not sent again.
    ASSERT_GE(g->transmits.size(), 2u);
    EXPECT_EQ(g->transmits[g->transmits.size() - 2].pin, LG_POSITION);
    EXPECT_EQ(g->transmits.back().pin, LG_LEVEL);
    const size_t sent = g->transmits.size();
    g->setInt(LG_START, 2);
    g->deliverEchoes();
    EXPECT_EQ(g->transmits.size(), sent);
}

// ===========================================================================
// Value

TEST_P(Measure, ValueOfAFrameOnBothHalves)
{
    const std::vector<float> x = {0.5f, -0.25f, 0.125f};
    const struct
    {
        int position;
        float value;
    } rows[] = {{-5, 0.5f},  {0, 0.5f},     {1, -0.25f},     {2, 0.125f},
                {3, 0.125f}, {100, 0.125f}, {INT_MIN, 0.5f}, {INT_MAX, 0.125f}};
    for (auto& row : rows)
    {
        SCOPED_TRACE("position " + std::to_string(row.position));
        auto p = dsp(L"QW_S2_SampleValueDSP");
        p->setBlob(0, sample(x));
        p->setInt(1, row.position);
        p->run(1);
        EXPECT_EQ(out(*p, 2).asFloat(), row.value) << "processing half";
        auto g = make(L"QW_S2_SampleValueGUI");
        g->setInt(1, row.position);
        g->setBlob(0, sample(x));
        g->deliverEchoes();
        EXPECT_EQ(lastFloat(*g, 2), row.value) << "interface half";
    }

    // An empty sample: 0 on the processing half, the value kept on the interface half.
    auto p = dsp(L"QW_S2_SampleValueDSP");
    p->setBlob(0, sample(x));
    p->setInt(1, 1);
    p->run(1);
    p->setBlob(0, {});
    p->run(1);
    EXPECT_EQ(out(*p, 2).asFloat(), 0.0f);
    auto g = make(L"QW_S2_SampleValueGUI");
    g->setInt(1, 1);
    g->setBlob(0, sample(x));
    g->setBlob(0, {});
    g->setInt(1, 2);
    g->deliverEchoes();
    EXPECT_EQ(lastFloat(*g, 2), -0.25f);
    EXPECT_EQ(g->transmitsOf(2).size(), 1u);
    // Nothing until both the sample and the position have arrived.
    auto waiting = make(L"QW_S2_SampleValueGUI", false);
    waiting->setBlob(0, sample(x));
    EXPECT_TRUE(waiting->transmits.empty());
    waiting->setInt(1, 2);
    EXPECT_EQ(lastFloat(*waiting, 2), 0.125f);
}

// ===========================================================================
// Length and duration

TEST_P(Measure, LengthOnBothHalves)
{
    const std::vector<float> x = ramp(7);
    struct Row
    {
        std::vector<uint8_t> value;
        int length;
    };
    std::vector<Row> rows = {{sample(x), 7}, {{}, 0}};
    for (auto& broken : brokenDescriptors(*asDesc(sample(x))))
    {
        rows.push_back({sample(x), 7});
        rows.push_back({broken, 0});
    }
    auto p = dsp(L"QW_S2_SampleLengthDSP");
    auto g = make(L"QW_S2_SampleLengthGUI");
    for (auto& row : rows)
    {
        p->setBlob(0, row.value);
        p->run(1);
        EXPECT_EQ(out(*p, 1).asInt(), row.length) << "processing half";
        g->setBlob(0, row.value);
        g->deliverEchoes();
        EXPECT_EQ(lastInt(*g, 1), row.length) << "interface half";
    }
}

TEST_P(Measure, DurationOnBothHalves)
{
    host.sampleRate = 48000.0f;
    struct Time
    {
        int m, s, h;
    };
    const struct
    {
        int frames;
        float rate;
        Time dsp, gui;
    } rows[] = {
        {44100, 44100.0f, {0, 1, 0}, {0, 1, 0}},
        {6615000, 44100.0f, {2, 30, 0}, {2, 30, 0}},
        {12789, 44100.0f, {0, 0, 29}, {0, 0, 29}}, // 0.29 s exactly: whole hundredths, not 0.28
        {90, 100.0f, {0, 0, 90}, {0, 0, 90}},
        {72000, 0.0f, {0, 1, 50}, {0, 0, 0}}, // the host's 48 kHz on the processing half
        {72000, -5.0f, {0, 1, 50}, {0, 0, 0}},
        {72000, kNaN, {0, 1, 50}, {0, 0, 0}},
        {72000, -kInf, {0, 1, 50}, {0, 0, 0}},
        {72000, kInf, {0, 0, 0}, {0, 0, 0}},
        {72000, 1e-30f, {INT_MAX, 59, 99}, {INT_MAX, 59, 99}}, // saturates
        {0, 44100.0f, {0, 0, 0}, {0, 0, 0}},                   // the empty sample
    };
    for (auto& row : rows)
    {
        SCOPED_TRACE(std::to_string(row.frames) + " frames at " + std::to_string(row.rate));
        const std::vector<float> frames(static_cast<size_t>(row.frames), 0.25f);
        auto p = dsp(L"QW_S2_SampleDurationDSP");
        p->setFloat(1, row.rate);
        p->setBlob(0, sample(frames));
        p->run(1);
        EXPECT_EQ(out(*p, 2).asInt(), row.dsp.m) << "processing minutes";
        EXPECT_EQ(out(*p, 3).asInt(), row.dsp.s) << "processing seconds";
        EXPECT_EQ(out(*p, 4).asInt(), row.dsp.h) << "processing hundredths";

        auto g = make(L"QW_S2_SampleDurationGUI");
        g->setBlob(0, sample(frames));
        g->setFloat(1, row.rate);
        g->deliverEchoes();
        EXPECT_EQ(lastInt(*g, 2), row.gui.m) << "interface minutes";
        EXPECT_EQ(lastInt(*g, 3), row.gui.s) << "interface seconds";
        EXPECT_EQ(lastInt(*g, 4), row.gui.h) << "interface hundredths";
    }
}

TEST_P(Measure, DurationInterfaceHalfWaitsForInitialize)
{
    const std::vector<float> frames(88200, 0.0f);
    auto g = make(L"QW_S2_SampleDurationGUI", false);
    g->setFloat(1, 44100.0f);
    g->setBlob(0, sample(frames));
    EXPECT_TRUE(g->transmits.empty()) << "computed before initialize";
    g->initialize();
    EXPECT_EQ(lastInt(*g, 3), 2);
    // In the order minutes, seconds, hundredths; each only when it changes.
    g->setFloat(1, 22050.0f * 4 / 3);
    g->deliverEchoes();
    EXPECT_EQ(lastInt(*g, 3), 3);
    g->setFloat(1, 1344.0f); // 65.625 s
    g->deliverEchoes();
    std::vector<int> pins;
    for (auto& t : g->transmits)
        pins.push_back(t.pin);
    EXPECT_EQ(pins, (std::vector<int>{3, 3, 2, 3, 4}));
    EXPECT_EQ(lastInt(*g, 2), 1);
    EXPECT_EQ(lastInt(*g, 3), 5);
    EXPECT_EQ(lastInt(*g, 4), 62);
}

// The processing halves work when a pin changes and sleep in between.
TEST(Measurements, ProcessingHalvesSleepBetweenChanges)
{
    const std::vector<float> x(44100, 0.5f);
    qwhost::ProcessingHost host;
    auto dsp = [&](const wchar_t* id) {
        auto p = host.create(kit(), id);
        p->startGraph();
        return p;
    };
    for (const wchar_t* id :
         {L"QW_S2_SampleLengthDSP", L"QW_S2_SampleDurationDSP", L"QW_S2_SampleValueDSP", L"QW_S2_SampleLevelDSP"})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        auto p = dsp(id);
        p->runFor(256, 64);
        EXPECT_TRUE(p->asleep());
        const size_t updates = p->updates.size();
        p->setBlob(0, sample(x));
        p->runFor(256, 64);
        EXPECT_GT(p->updates.size(), updates) << "no answer to a new sample";
        EXPECT_TRUE(p->asleep());
    }
}
} // namespace
