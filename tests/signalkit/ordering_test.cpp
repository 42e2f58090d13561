// Ordering, range and detection modules through the built bundle: sorting,
// minimum and maximum with their indices, range clipping, the sliding
// maximum against a brute-force window, the ear plug's spans, zero-crossing
// and Inf/NaN detection; host pin lists of any size or order.
#include "WavFile32.h"
#include "audio_module_fixture.h"
#include "control_fixture.h"
#include "mp_sdk_audio.h"

#include <filesystem>
#include <random>

namespace
{
using qwtest::ControlModule;
using qwtest::kInfF;
using qwtest::kNaNF;
using qwtest::StreamedModule;

// Three inputs and four outputs: the fourth output keeps its value (float)
// or gets 0 (audio).
TEST(Ordering, SortBothWaysWithASpareOutput)
{
    const auto described = qwtest::bundleDescribedAs(
        "signalkit",
        "module QW_SortFloat 0\npin in bool \"Descending\"\n"
        "pin in float \"A\"\npin in float \"B\"\npin in float \"C\"\n"
        "pin out float \"1\"\npin out float \"2\"\npin out float \"3\"\npin out float \"4\"\n"
        "module QW_SortAudio 0\npin in bool \"Descending\"\n"
        "pin in audio \"A\"\npin in audio \"B\"\npin in audio \"C\"\n"
        "pin out audio \"1\"\npin out audio \"2\"\npin out audio \"3\"\npin out audio \"4\"\n");
    for (bool descending : {false, true})
    {
        const std::vector<float> expected = descending ? std::vector<float>{3, 2, 1} : std::vector<float>{1, 2, 3};
        qwhost::ProcessingHost host;
        auto f = host.create(described, L"QW_SortFloat");
        f->setBool(0, descending);
        f->setFloat(1, 3.0f);
        f->setFloat(2, 1.0f);
        f->setFloat(3, 2.0f);
        f->run(1);
        std::map<int, float> sent;
        for (auto& u : f->updates)
            sent[u.pin] = u.asFloat();
        EXPECT_EQ(sent[4], expected[0]);
        EXPECT_EQ(sent[5], expected[1]);
        EXPECT_EQ(sent[6], expected[2]);
        EXPECT_EQ(sent.count(7), 0u) << "the spare output is not written";

        auto a = host.create(described, L"QW_SortAudio");
        a->setBool(0, descending);
        std::fill_n(a->output(7), 4, 9.0f);
        const float in[3] = {3.0f, 1.0f, 2.0f};
        for (int k = 0; k < 3; ++k)
        {
            a->setStreaming(1 + k, true);
            std::fill_n(a->input(1 + k), 4, in[k]);
        }
        a->run(4);
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(a->output(4 + j)[3], expected[static_cast<size_t>(j)]) << "output " << j;
        EXPECT_EQ(a->output(7)[3], 0.0f);
    }
}

// Stable: equal values keep their order, and a NaN stays where it is.
TEST(Ordering, SortAudioManyInputsAgainstStdSort)
{
    for (int copies : {0, 1, 64})
    {
        StreamedModule m(L"QW_SortAudio", copies);
        m.p->startGraph();
        const auto ins = m.audioPins(gmpi::MP_IN), outs = m.audioPins(gmpi::MP_OUT);
        std::mt19937 rng(copies);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        std::map<int, std::vector<float>> in;
        for (int pin : ins)
            for (int i = 0; i < 70; ++i)
                in[pin].push_back(u(rng));
        auto out = m.stream(in, 37);
        for (int i = 0; i < 70; ++i)
        {
            std::vector<float> column;
            for (int pin : ins)
                column.push_back(in[pin][static_cast<size_t>(i)]);
            std::sort(column.begin(), column.end());
            for (size_t j = 0; j < outs.size(); ++j)
                ASSERT_EQ(out[outs[j]][static_cast<size_t>(i)], column[j]) << copies << " inputs, sample " << i;
        }
    }
}

TEST(Ordering, SortFloatWithNoneAndManyInputs)
{
    for (int copies : {0, 64})
    {
        ControlModule m(L"QW_SortFloat", copies);
        m.start();
        std::vector<float> values;
        for (int k = 0; k < copies; ++k)
        {
            values.push_back(static_cast<float>((k * 37) % 64) - 20.0f);
            m.p->setFloat(1 + k, values.back());
        }
        m.set("Descending", 1);
        m.step();
        std::sort(values.begin(), values.end(), std::greater<float>());
        std::map<int, float> sent;
        for (auto& u : m.p->updates)
            sent[u.pin] = u.asFloat();
        for (int j = 0; j < copies; ++j)
            EXPECT_EQ(sent[1 + copies + j], values[static_cast<size_t>(j)]) << j;
    }
}

TEST(Ordering, MinMaxIndexLowestIndexWinsAndNaN)
{
    struct Row
    {
        std::vector<float> in;
        float min, minIndex, max, maxIndex;
    };
    const Row rows[] = {
        {{0.5f, 0.5f, -0.2f}, -0.2f, 0.2f, 0.5f, 0.0f},
        {{0.1f, 0.7f, 0.7f}, 0.1f, 0.0f, 0.7f, 0.1f},
        {{0.5f, kNaNF, -0.2f}, -0.2f, 0.2f, 0.5f, 0.0f},
        {{kNaNF, 0.5f, -0.2f}, kNaNF, 0.0f, kNaNF, 0.0f},
    };
    for (auto& r : rows)
    {
        StreamedModule m(L"QW_MinMaxIndex", 3);
        m.p->startGraph();
        std::map<int, std::vector<float>> in;
        const auto ins = m.audioPins(gmpi::MP_IN);
        for (size_t k = 0; k < 3; ++k)
            in[ins[k]] = {r.in[k]};
        auto out = m.stream(in);
        auto same = [](float a, float b) { return (std::isnan(a) && std::isnan(b)) || a == b; };
        EXPECT_TRUE(same(out[0][0], r.min)) << out[0][0];
        EXPECT_EQ(out[1][0], r.minIndex);
        EXPECT_TRUE(same(out[2][0], r.max)) << out[2][0];
        EXPECT_EQ(out[3][0], r.maxIndex);
    }
}

TEST(Ordering, MinMaxIndexWithNoneAndManyInputs)
{
    {
        StreamedModule m(L"QW_MinMaxIndex", 0);
        m.p->startGraph();
        for (int pin : m.audioPins(gmpi::MP_OUT))
            std::fill_n(m.p->output(pin), 64, 5.0f);
        m.p->run(64);
        for (int pin : m.audioPins(gmpi::MP_OUT))
            EXPECT_EQ(m.p->output(pin)[63], 0.0f);
    }
    StreamedModule m(L"QW_MinMaxIndex", 64);
    m.p->startGraph();
    const auto ins = m.audioPins(gmpi::MP_IN);
    std::map<int, std::vector<float>> in;
    for (size_t k = 0; k < ins.size(); ++k)
        for (int i = 0; i < 8; ++i)
            in[ins[k]].push_back(static_cast<float>((static_cast<int>(k) * 13 + i * 7) % 64));
    auto out = m.stream(in);
    for (size_t i = 0; i < 8; ++i)
    {
        size_t lo = 0, hi = 0;
        for (size_t k = 1; k < ins.size(); ++k)
        {
            lo = in[ins[k]][i] < in[ins[lo]][i] ? k : lo;
            hi = in[ins[k]][i] > in[ins[hi]][i] ? k : hi;
        }
        EXPECT_EQ(out[0][i], in[ins[lo]][i]);
        EXPECT_FLOAT_EQ(out[1][i], 0.1f * static_cast<float>(lo));
        EXPECT_EQ(out[2][i], in[ins[hi]][i]);
        EXPECT_FLOAT_EQ(out[3][i], 0.1f * static_cast<float>(hi));
    }
}

// A host list whose first audio input sits where the outputs are: that input
// is skipped (never a second pin under one id); the others work.
TEST(Ordering, MinMaxIndexSkipsAnInputAtAnOutputsId)
{
    const auto described = qwtest::bundleDescribedAs(
        "signalkit",
        "module QW_MinMaxIndex 0\npin in audio \"Early\"\npin out audio \"Minimum\"\n"
        "pin out audio \"Minimum Index\"\npin out audio \"Maximum\"\npin in audio \"A\"\npin in audio \"B\"\n");
    qwhost::ProcessingHost host;
    auto p = host.create(described, L"QW_MinMaxIndex");
    EXPECT_EQ(qwtest::builtPinIds(*p), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    int32_t id, direction, datatype;
    ASSERT_EQ(p->base()->describePin(0, id, direction, datatype), 0);
    EXPECT_EQ(direction, gmpi::MP_OUT);
    p->setStreaming(4, true);
    p->setStreaming(5, true);
    p->input(4)[0] = 0.3f;
    p->input(5)[0] = -0.6f;
    p->run(1);
    // The module's maximum (id 2) and the index of its minimum (id 1: input B).
    EXPECT_EQ(p->output(2)[0], 0.3f);
    EXPECT_EQ(p->output(1)[0], 0.1f);
}

TEST(Ordering, RangeClipperClipsAndMirrorsOnce)
{
    struct Row
    {
        int mode;
        float x, lo, hi, expected;
    };
    const Row rows[] = {
        {0, 0.7f, -0.5f, 0.5f, 0.5f},  {0, -0.8f, -0.5f, 0.5f, -0.5f},     {0, 0.2f, -0.5f, 0.5f, 0.2f},
        {0, 0.0f, 0.5f, 0.2f, 0.2f},   {1, 0.7f, -0.5f, 0.5f, 0.3f},       {1, -0.8f, -0.5f, 0.5f, -0.2f},
        {1, 1.7f, -0.5f, 0.5f, -0.7f}, {INT_MIN, 0.7f, -0.5f, 0.5f, 0.3f}, {INT_MAX, 0.1f, -0.5f, 0.5f, 0.1f},
    };
    for (auto& r : rows)
    {
        StreamedModule m(L"QW_RngClp");
        m.p->startGraph();
        m.set("Mode", r.mode);
        auto out = m.stream({{"X", {r.x}}, {"Lower Bound", {r.lo}}, {"Upper Bound", {r.hi}}});
        EXPECT_FLOAT_EQ(out[m.pin("Output")][0], r.expected) << r.mode << " " << r.x;
    }
}

std::vector<float> slidingMax(StreamedModule& m, const std::vector<float>& x, int block)
{
    return m.stream({{"X", x}}, block)[m.pin("Output")];
}

// The largest of 0 and the last L values, on noise, with a change of length
// mid-run (a new length starts an empty window).
TEST(Ordering, SlidingMaxMatchesABruteForceWindow)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int length : {2, 4, 2000})
        for (bool absolute : {false, true})
        {
            StreamedModule m(L"QW_SlidingMax");
            m.p->startGraph();
            m.set("Length", length);
            m.set("Absolute", absolute);
            std::vector<float> x(6000);
            for (auto& s : x)
                s = u(rng);
            const size_t change = 3001;
            const int second = length == 2000 ? 3 : 1000;
            std::vector<float> y = slidingMax(m, std::vector<float>(x.begin(), x.begin() + change), 64);
            m.set("Length", second);
            auto rest = slidingMax(m, std::vector<float>(x.begin() + change, x.end()), 7);
            y.insert(y.end(), rest.begin(), rest.end());
            for (size_t i = 0; i < x.size(); ++i)
            {
                const size_t l = static_cast<size_t>(i < change ? length : second);
                const size_t from =
                    i < change ? (i + 1 >= l ? i + 1 - l : 0) : std::max(change, i + 1 >= l ? i + 1 - l : 0);
                float expected = 0.0f;
                for (size_t k = from; k <= i; ++k)
                    expected = std::max(expected, absolute ? std::fabs(x[k]) : x[k]);
                ASSERT_EQ(y[i], expected) << "L " << length << " then " << second << ", sample " << i;
            }
        }
}

TEST(Ordering, SlidingMaxShortWindows)
{
    struct Row
    {
        int length;
        std::vector<float> in, out;
    };
    const Row rows[] = {
        {4, {1, 0, 0, 0, 0}, {1, 1, 1, 1, 0}},
        {1, {1, 0, 0}, {1, 1, 0}},
        {INT_MIN, {1, 0, 0}, {1, 1, 0}},
        {3, {-0.5f, -0.2f, -0.9f}, {0, 0, 0}},
    };
    for (auto& r : rows)
    {
        StreamedModule m(L"QW_SlidingMax");
        m.p->startGraph();
        m.set("Length", r.length);
        EXPECT_EQ(slidingMax(m, r.in, 1), r.out) << r.length;
    }
    // INT_MAX: the longest window, 2000 samples.
    StreamedModule m(L"QW_SlidingMax");
    m.p->startGraph();
    m.set("Length", INT_MAX);
    std::vector<float> impulse(2100, 0.0f);
    impulse[0] = 1.0f;
    auto y = slidingMax(m, impulse, 64);
    EXPECT_EQ(y[1999], 1.0f);
    EXPECT_EQ(y[2000], 0.0f);
}

// After the input stops, the output streams until the window holds only the
// constant, then is reported not streaming at that sample; a length change
// on the static input starts that again.
TEST(Ordering, SlidingMaxTailEndsWhenTheWindowHoldsTheConstant)
{
    for (int block : {1, 64})
    {
        StreamedModule m(L"QW_SlidingMax", 2, 64);
        m.p->startGraph();
        m.set("Length", 100);
        const int x = m.pin("X"), out = m.pin("Output");
        slidingMax(m, std::vector<float>(128, 0.9f), block);
        const int64_t stop = m.p->now() + 5;
        m.p->setConstant(x, 0.25f, 5);
        for (int i = 0; i < 400 / block; ++i)
            m.p->run(block);
        auto reports = m.reportsOf(out);
        ASSERT_FALSE(reports.back().streaming);
        EXPECT_EQ(reports.back().time, stop + 99) << "block " << block;
        // The sample reported there is the constant the window now holds.
        const int64_t length2 = m.p->now() + 3;
        m.set("Length", 10, 3);
        for (int i = 0; i < 64 / block; ++i)
            m.p->run(block);
        reports = m.reportsOf(out);
        EXPECT_FALSE(reports.back().streaming);
        EXPECT_EQ(reports.back().time, length2 + 9) << "block " << block;
        EXPECT_TRUE(reports[reports.size() - 2].streaming);
    }
}

TEST(Ordering, EarPlugSilencesWholeSpans)
{
    StreamedModule m(L"QW_EarPlug");
    m.p->startGraph();
    m.set("Threshold", 5);
    const std::vector<float> quiet = {0.1f, -0.4f, 0.5f, 0.2f};
    auto y = m.stream({{"X", {0.1f, 0.6f, 0.1f, 0.1f}}}, 4)[m.pin("Output")];
    EXPECT_EQ(y, (std::vector<float>{0, 0, 0, 0}));
    y = m.stream({{"X", quiet}}, 4)[m.pin("Output")];
    EXPECT_EQ(y, quiet);
    y = m.stream({{"X", {0.1f, kNaNF, 0.1f, 0.1f}}}, 4)[m.pin("Output")];
    EXPECT_EQ(y, (std::vector<float>{0, 0, 0, 0}));
    y = m.stream({{"X", {0.1f, -kInfF, 0.1f, 0.1f}}}, 4)[m.pin("Output")];
    EXPECT_EQ(y, (std::vector<float>{0, 0, 0, 0}));
    // An event at sample 4 of an 8-sample block: two spans, each judged alone.
    m.set("Threshold", 5, 4);
    y = m.stream({{"X", {0.1f, 0.6f, 0.1f, 0.1f, 0.1f, -0.4f, 0.5f, 0.2f}}}, 8)[m.pin("Output")];
    EXPECT_EQ(y, (std::vector<float>{0, 0, 0, 0, 0.1f, -0.4f, 0.5f, 0.2f}));
    // A threshold that is not a number protects: everything but 0 is muted.
    m.set("Threshold", std::nan(""));
    y = m.stream({{"X", quiet}}, 4)[m.pin("Output")];
    EXPECT_EQ(y, (std::vector<float>{0, 0, 0, 0}));
}

TEST(Ordering, ZeroCrossingPulses)
{
    struct Row
    {
        int mode;
        std::vector<float> in, out;
    };
    const Row rows[] = {
        {0, {-1, 0, 1}, {0, 0, 0}},       {0, {-1, 1}, {0, 1}},
        {0, {1, -1, 1}, {0, 0, 1}},       {1, {1, -1, 1}, {0, 1, 0}},
        {2, {1, -1, 1, 1}, {0, 1, 1, 0}}, {3, {1, -1, 1}, {0, 0, 0}},
        {INT_MIN, {1, -1, 1}, {0, 0, 0}},
    };
    for (auto& r : rows)
        for (int block : {1, 2, 64})
        {
            StreamedModule m(L"QW_ZXDet");
            m.p->startGraph();
            m.set("Direction", r.mode);
            EXPECT_EQ(m.stream({{"X", r.in}}, block)[m.pin("Output")], r.out) << r.mode << ", block " << block;
        }
}

// Once the input is static and the pulses are over, the output is reported
// not streaming at the first of its zeros, whatever the blocks.
TEST(Ordering, ZeroCrossingGoesQuietAfterTheLastPulse)
{
    for (int block : {1, 4, 64})
    {
        StreamedModule m(L"QW_ZXDet");
        m.p->startGraph();
        m.set("Direction", 0);
        const int x = m.pin("X"), out = m.pin("Output");
        m.stream({{x, std::vector<float>(8, -1.0f)}}, block);
        const int64_t stop = m.p->now();
        m.p->setConstant(x, 1.0f); // crosses upwards at the stop
        for (int i = 0; i < 128 / block; ++i)
            m.p->run(block);
        const auto r = m.reportsOf(out).back();
        EXPECT_FALSE(r.streaming);
        EXPECT_EQ(r.time, stop + 1) << "block " << block;
    }
}

TEST(Ordering, InfNanDetectorFlagsAndCleans)
{
    StreamedModule m(L"QW_InfNanFltDet");
    m.p->startGraph();
    m.p->run(1);
    m.p->updates.clear();
    const int64_t t0 = m.p->now();
    auto y = m.stream({{"X", {0.1f, kInfF, 0.2f, kNaNF, 0.3f, -kInfF}}}, 64)[m.pin("Output")];
    EXPECT_EQ(y, (std::vector<float>{0.1f, 0, 0.2f, 0, 0.3f, 0}));
    const int inf = m.pin("Infinity"), nan = m.pin("NaN");
    ASSERT_EQ(m.p->updates.size(), 2u);
    EXPECT_EQ(m.p->updates[0].pin, inf);
    EXPECT_EQ(m.p->updates[0].time, t0 + 1);
    EXPECT_TRUE(m.p->updates[0].asBool());
    EXPECT_EQ(m.p->updates[1].pin, nan);
    EXPECT_EQ(m.p->updates[1].time, t0 + 3);
    m.p->updates.clear();
    m.set("Reset", 1);
    m.p->run(1);
    ASSERT_EQ(m.p->updates.size(), 2u);
    EXPECT_EQ(m.p->updates[0].pin, nan);
    EXPECT_FALSE(m.p->updates[0].asBool());
    EXPECT_EQ(m.p->updates[1].pin, inf);
    EXPECT_FALSE(m.p->updates[1].asBool());
}

class OrderingCommand : public qwtest::CommandTest
{};

// The sliding maximum of the sweep (-6 dBFS) over 10 ms: an envelope that
// never exceeds the sweep's peak and sits at it once a period fits the window.
TEST_F(OrderingCommand, QwhostRunWritesAnEnvelope)
{
    const Result r = qwhost({"run", std::string(QW_BUNDLE_DIR) + "/signalkit.so", "QW_SlidingMax", "--pin",
                             "Length=441", "--out", file("env.wav")});
    ASSERT_EQ(r.code, 0) << r.err;
    qw::WavFile32 w;
    ASSERT_TRUE(w._loadWav(std::filesystem::path(file("env.wav")).wstring()));
    ASSERT_EQ(w.channels, 1);
    ASSERT_GE(w.frames, 44100);
    const auto& env = w.data[0];
    float peak = 0.0f;
    for (float s : env)
    {
        ASSERT_GE(s, 0.0f);
        peak = std::max(peak, s);
    }
    EXPECT_NEAR(peak, 0.5f, 0.01f);
    for (size_t i = env.size() / 2; i < env.size(); ++i)
        ASSERT_GT(env[i], 0.45f) << i;
}
} // namespace
