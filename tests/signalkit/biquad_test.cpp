// Biquad filters through the built bundle and the host stand-in: responses
// against the textbook design worked out in double precision, the road of a
// request through the block loop, the silence tail and sleep, stereo,
// block-size independence, and the guards against unstable or poisoned input.
#include "mp_sdk_common.h"
#include "signal_run.h"
#include "test_support.h"

#include <gtest/gtest.h>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace
{
constexpr double kPi = 3.14159265358979323846;
enum
{
    LP = 0,
    HP = 1,
    BP = 2,
    BR = 3
};

uint32_t bitsOf(float x)
{
    uint32_t b;
    std::memcpy(&b, &x, 4);
    return b;
}

float noise(int64_t t, int salt = 0)
{
    uint64_t x =
        static_cast<uint64_t>(t) * 0x9E3779B97F4A7C15ULL + static_cast<uint64_t>(salt + 1) * 0xBF58476D1CE4E5B9ULL;
    x ^= x >> 31;
    x *= 0xD6E8FEB86659FD93ULL;
    x ^= x >> 32;
    return static_cast<float>(x & 0xFFFFFF) / 8388608.0f - 1.0f;
}

// One filter module in the host stand-in, with its pins found by name.
struct Filter
{
    qwhost::ProcessingHost host;
    std::unique_ptr<qwhost::Processor> p;
    int reset = -1, type, cutoff, q, sections;
    std::vector<int> in, out;
    std::vector<std::vector<float>> recorded; // per output, every sample run so far

    explicit Filter(const std::wstring& id, float rate = 44100.0f, int blockSize = 256)
    {
        host.sampleRate = rate;
        host.blockSize = blockSize;
        p = host.create(qwtest::bundle("signalkit"), id);
        const bool stereo = id == L"QW_Biquad2ST" || id == L"QW_StereoBiquad";
        if (id == L"QW_Biquad2" || id == L"QW_Biquad2ST")
            reset = p->pin("Reset");
        type = p->pin("Filter Type");
        cutoff = p->pin("Cutoff");
        q = p->pin("Q");
        sections = p->pin("Sections");
        if (stereo)
        {
            in = {p->pin("Left"), p->pin("Right")};
            out = {p->pin("Left Out"), p->pin("Right Out")};
        }
        else
        {
            in = {p->pin("Signal")};
            out = {p->pin("Output")};
        }
        recorded.resize(out.size());
    }

    // Graph start with the given settings at time 0; the cutoff in Hz.
    void start(int filterType, double cutoffHz, float quality, int count)
    {
        p->startGraph(0);
        p->setInt(type, filterType);
        p->setConstant(cutoff, static_cast<float>(cutoffHz / 10.0));
        p->setFloat(q, quality);
        p->setInt(sections, count);
    }

    // Runs `total` samples in blocks of `block`; every audio input buffer is
    // first filled from signal(pin, time) (the host overwrites static inputs).
    void run(int64_t total, int block, const std::function<float(int, int64_t)>& signal)
    {
        while (total > 0)
        {
            const int n = static_cast<int>(std::min<int64_t>(block, total));
            for (int pin : in)
                fill(pin, n, signal);
            fill(cutoff, n, signal);
            p->run(n);
            for (size_t k = 0; k < out.size(); ++k)
                recorded[k].insert(recorded[k].end(), p->output(out[k]), p->output(out[k]) + n);
            total -= n;
        }
    }

    void fill(int pin, int n, const std::function<float(int, int64_t)>& signal)
    {
        float* b = p->input(pin);
        for (int i = 0; i < n; ++i)
            b[i] = signal ? signal(pin, p->now() + i) : 0.0f;
    }

    // Times at which an output was reported not streaming / streaming.
    std::vector<std::pair<int64_t, bool>> streaming(int outIndex) const
    {
        std::vector<std::pair<int64_t, bool>> r;
        for (auto& s : p->streamingReports)
            if (s.pin == out[static_cast<size_t>(outIndex)])
                r.emplace_back(s.time, s.streaming);
        return r;
    }
};

// The textbook design in double precision: |H| of one section to the power S.
double analyticMagnitude(int type, double fc, double quality, int count, double f, double fs)
{
    const double w = 2 * kPi * fc / fs;
    const double c = std::cos(w), s = std::sin(w);
    const double alpha = s * (quality < 0.01 ? 50.0 : 1.0 / (2 * quality));
    double b0, b1, b2;
    switch (type)
    {
    case LP:
        b0 = b2 = (1 - c) / 2, b1 = 1 - c;
        break;
    case HP:
        b0 = b2 = (1 + c) / 2, b1 = -(1 + c);
        break;
    case BP:
        b0 = s / 2, b1 = 0, b2 = -s / 2;
        break;
    default:
        b0 = b2 = 1, b1 = -2 * c;
        break;
    }
    const std::complex<double> z1 = std::polar(1.0, -2 * kPi * f / fs);
    const std::complex<double> h = (b0 + b1 * z1 + b2 * z1 * z1) / ((1 + alpha) + -2 * c * z1 + (1 - alpha) * z1 * z1);
    return std::pow(std::abs(h), count);
}

// Amplitude of the steady-state response to a unit sine at f.
double measuredMagnitude(const std::wstring& id, int type, double fc, float quality, int count, double f, double fs)
{
    Filter flt(id, static_cast<float>(fs));
    flt.start(type, fc, quality, count);
    for (int pin : flt.in)
        flt.p->setStreaming(pin, true);
    const int64_t settle = static_cast<int64_t>(fs / 10);
    const int64_t window = static_cast<int64_t>(fs / 10); // whole periods of every multiple of 10 Hz
    auto sine = [&](int pin, int64_t t) {
        return pin == flt.cutoff ? 0.0f : static_cast<float>(std::sin(2 * kPi * f * double(t) / fs));
    };
    flt.run(settle + window, 256, sine);
    double a = 0, b = 0;
    const std::vector<float>& y = flt.recorded[0];
    for (int64_t t = settle; t < settle + window; ++t)
    {
        a += y[static_cast<size_t>(t)] * std::sin(2 * kPi * f * double(t) / fs);
        b += y[static_cast<size_t>(t)] * std::cos(2 * kPi * f * double(t) / fs);
    }
    return 2.0 / double(window) * std::hypot(a, b);
}

struct ResponseCase
{
    int type;
    int count;
    double fs;
    double fc;
    float quality;
};

void checkResponse(const std::wstring& id, const ResponseCase& c, std::initializer_list<double> frequencies)
{
    for (double f : frequencies)
    {
        const double expected = analyticMagnitude(c.type, c.fc, c.quality, c.count, f, c.fs);
        const double got = measuredMagnitude(id, c.type, c.fc, c.quality, c.count, f, c.fs);
        EXPECT_NEAR(got, expected, 2e-3 * expected + 2e-5)
            << "type " << c.type << ", " << c.count << " sections, fc " << c.fc << " Hz, Q " << c.quality << ", fs "
            << c.fs << ", at " << f << " Hz";
    }
}

TEST(BiquadResponse, EveryTypeAndSectionCountMatchesTheDesign)
{
    for (int type : {LP, HP, BP, BR})
        for (int count : {1, 4, 16})
        {
            checkResponse(L"QW_Biquad2", {type, count, 44100, 1000, 0.8f}, {250, 500, 1000, 2000, 4000});
            checkResponse(L"QW_Biquad2", {type, count, 44100, 15000, 2.0f}, {5000, 15000, 20000});
        }
}

// The impulse response of the textbook design in double precision: S equal
// sections in direct form I, each b0 + b1 z^-1 + b2 z^-2 over
// (1 + alpha) - 2 cos w z^-1 + (1 - alpha) z^-2.
std::vector<double> designImpulseResponse(int type, double fc, double quality, int count, double fs, size_t length)
{
    const double w = 2 * kPi * fc / fs, c = std::cos(w), s = std::sin(w);
    const double alpha = s / (2 * quality), a0 = 1 + alpha, a1 = -2 * c, a2 = 1 - alpha;
    double b[3];
    switch (type)
    {
    case LP:
        b[0] = b[2] = (1 - c) / 2, b[1] = 1 - c;
        break;
    case HP:
        b[0] = b[2] = (1 + c) / 2, b[1] = -(1 + c);
        break;
    case BP:
        b[0] = s / 2, b[1] = 0, b[2] = -s / 2;
        break;
    default:
        b[0] = b[2] = 1, b[1] = -2 * c;
        break;
    }
    std::vector<double> y(length);
    std::vector<double> x1(size_t(count) + 1), x2(size_t(count) + 1);
    for (size_t n = 0; n < length; ++n)
    {
        double v = n == 0 ? 1.0 : 0.0;
        for (int k = 1; k <= count; ++k)
        {
            const double out = (b[0] * v + b[1] * x1[k - 1] + b[2] * x2[k - 1] - a1 * x1[k] - a2 * x2[k]) / a0;
            x2[k - 1] = x1[k - 1], x1[k - 1] = v;
            v = out;
        }
        x2[count] = x1[count], x1[count] = v;
        y[n] = v;
    }
    return y;
}

TEST(BiquadResponse, EveryTypesImpulseResponseIsTheDesigns)
{
    // Sample by sample, so the polarity and the phase of every type count, on
    // each channel of all four modules.
    struct Channel
    {
        const wchar_t* id;
        const char* input;
        const char* output;
    };
    const Channel channels[] = {{L"QW_Biquad2", "Signal", "Output"},      {L"QW_Biquad", "Signal", "Output"},
                                {L"QW_Biquad2ST", "Left", "Left Out"},    {L"QW_Biquad2ST", "Right", "Right Out"},
                                {L"QW_StereoBiquad", "Left", "Left Out"}, {L"QW_StereoBiquad", "Right", "Right Out"}};
    struct Design
    {
        double fs, fc;
        float quality;
        int count;
    };
    const Design designs[] = {{44100, 1000, 0.707f, 1}, {48000, 5000, 2.0f, 3}, {96000, 300, 0.5f, 2}};
    constexpr size_t kLength = 400;
    for (const Channel& ch : channels)
        for (int type : {LP, HP, BP, BR})
            for (const Design& d : designs)
            {
                const auto y = qwtest::impulseResponse(
                    ch.id, static_cast<float>(d.fs), ch.input, ch.output, kLength,
                    [&](qwtest::SignalRun& run) {
                        run.set("Filter Type", type).set("Q", d.quality).set("Sections", d.count);
                        run.constant("Cutoff", static_cast<float>(d.fc / 10));
                    },
                    {64});
                const auto expected = designImpulseResponse(type, d.fc, d.quality, d.count, d.fs, kLength);
                for (size_t n = 0; n < kLength; ++n)
                    ASSERT_NEAR(y[n], expected[n], 2e-6 + 1e-4 * std::fabs(expected[n]))
                        << gmpi_sdk::toUtf8(ch.id) << " " << ch.output << ", type " << type << ", " << d.count
                        << " sections, fc " << d.fc << " Hz at " << d.fs << " Hz, sample " << n;
            }
}

TEST(BiquadResponse, CorrectAtEverySampleRate)
{
    for (double fs : {44100.0, 48000.0, 96000.0, 192000.0})
        for (int type : {LP, BP})
        {
            checkResponse(L"QW_Biquad2", {type, 4, fs, 1000, 1.2f}, {500, 1000, 2000});
            checkResponse(L"QW_Biquad2", {type, 2, fs, 0.4 * fs, 0.7f}, {0.1 * fs, 0.4 * fs});
        }
}

TEST(BiquadResponse, StereoChannelsFilterAlike)
{
    Filter flt(L"QW_Biquad2ST");
    flt.start(BP, 800, 3.0f, 2);
    flt.p->setStreaming(flt.in[0], true);
    flt.p->setStreaming(flt.in[1], true);
    // Left gets the noise, right the same noise scaled by -0.5.
    flt.run(5000, 64, [&](int pin, int64_t t) {
        return pin == flt.in[0] ? noise(t) : pin == flt.in[1] ? -0.5f * noise(t) : 0.0f;
    });
    double energy = 0;
    for (size_t t = 0; t < flt.recorded[0].size(); ++t)
    {
        ASSERT_EQ(flt.recorded[1][t], -0.5f * flt.recorded[0][t]) << t; // both exact in binary
        energy += double(flt.recorded[0][t]) * flt.recorded[0][t];
    }
    EXPECT_GT(energy, 10.0);
}

// A filter whose input is streaming noise on every signal pin.
std::function<float(int, int64_t)> noiseOn(const Filter& flt)
{
    std::vector<int> pins = flt.in;
    return [pins](int pin, int64_t t) {
        for (size_t k = 0; k < pins.size(); ++k)
            if (pins[k] == pin)
                return noise(t, static_cast<int>(k));
        return 0.0f;
    };
}

TEST(BiquadRoad, TypeChangeAppliesFromItsSampleWithHistoryCleared)
{
    constexpr int64_t at = 64 * 8 + 23; // inside a block
    Filter a(L"QW_Biquad2"), lowOnly(L"QW_Biquad2"), highFresh(L"QW_Biquad2");
    for (Filter* f : {&a, &lowOnly})
        f->start(LP, 1500, 0.9f, 3);
    highFresh.start(HP, 1500, 0.9f, 3);
    for (Filter* f : {&a, &lowOnly, &highFresh})
        f->p->setStreaming(f->in[0], true);
    a.p->setInt(a.type, HP, static_cast<int>(at));

    a.run(2048, 64, noiseOn(a));
    lowOnly.run(2048, 64, noiseOn(lowOnly));
    // A fresh high-pass that sees silence before `at` has an empty history there.
    highFresh.run(2048, 64, [&](int pin, int64_t t) { return pin == highFresh.in[0] && t >= at ? noise(t) : 0.0f; });

    for (int64_t t = 0; t < 2048; ++t)
    {
        const float expected = (t < at ? lowOnly : highFresh).recorded[0][static_cast<size_t>(t)];
        ASSERT_EQ(bitsOf(a.recorded[0][static_cast<size_t>(t)]), bitsOf(expected)) << "sample " << t;
    }

    // And the high-pass from `at` on is the textbook one in double precision.
    const double w = 2 * kPi * 1500 / 44100.0, c = std::cos(w), alpha = std::sin(w) / (2 * 0.9);
    const double b[3] = {(1 + c) / 2, -(1 + c), (1 + c) / 2}, a1 = -2 * c, a2 = 1 - alpha, a0 = 1 + alpha;
    double x1[4] = {}, x2[4] = {};
    for (int64_t t = at; t < 2048; ++t)
    {
        double v = noise(t);
        for (int s = 1; s <= 3; ++s)
        {
            const double y = (b[0] * v + b[1] * x1[s - 1] + b[2] * x2[s - 1] - a1 * x1[s] - a2 * x2[s]) / a0;
            x2[s - 1] = x1[s - 1];
            x1[s - 1] = v;
            v = y;
        }
        x2[3] = x1[3];
        x1[3] = v;
        ASSERT_NEAR(a.recorded[0][static_cast<size_t>(t)], v, 1e-4) << "sample " << t;
    }
}

// Index of the sample that ends the tail: the input stopped streaming at
// `from`; 1000 consecutive output samples counted from there within 1e-5.
int64_t expectedTailEnd(const std::vector<std::vector<float>>& outputs, int64_t from)
{
    int64_t quiet = 0;
    for (int64_t t = from; t < static_cast<int64_t>(outputs[0].size()); ++t)
    {
        bool loud = false;
        for (auto& o : outputs)
            loud |= !(std::fabs(o[static_cast<size_t>(t)]) <= 1e-5f);
        quiet = loud ? 0 : quiet + 1;
        if (quiet == 1000)
            return t;
    }
    return -1;
}

TEST(BiquadTail, FallsSilentAtTheExactSampleThenSleeps)
{
    constexpr int64_t stop = 3000 + 17;
    Filter flt(L"QW_Biquad2", 44100.0f, 256);
    flt.start(HP, 200, 0.7f, 2);
    flt.p->setStreaming(flt.in[0], true);
    flt.p->setConstant(flt.in[0], 0.5f, static_cast<int>(stop)); // the high-pass decays from the step
    flt.run(stop, 256, noiseOn(flt));
    flt.run(12000, 256, noiseOn(flt)); // noise is ignored: the input is static now

    const std::vector<float>& y = flt.recorded[0];
    const int64_t end = expectedTailEnd(flt.recorded, stop);
    ASSERT_GT(end, stop + 999) << "the step leaves a decaying tail";
    EXPECT_GT(std::fabs(y[static_cast<size_t>(end - 1000)]), 1e-5f);

    // Reported not streaming exactly one sample after the tail's last sample.
    auto reports = flt.streaming(0);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), std::make_pair(end + 1, false));
    for (size_t k = 0; k + 1 < reports.size(); ++k)
        EXPECT_TRUE(reports[k].second) << "at " << reports[k].first;
    // Zeros from there on, and the host is asked to sleep within two blocks.
    for (size_t t = static_cast<size_t>(end + 1); t < y.size(); ++t)
        ASSERT_EQ(y[t], 0.0f) << t;
    ASSERT_FALSE(flt.p->sleepRequests.empty());
    EXPECT_LE(flt.p->sleepRequests.front(), (end + 1) / 256 + 2);
    EXPECT_TRUE(flt.p->asleep());
    const int64_t calls = flt.p->processCalls();
    flt.run(2048, 256, nullptr);
    EXPECT_EQ(flt.p->processCalls(), calls) << "a sleeping module is not called";
}

TEST(BiquadTail, StaticNonZeroLowPassNeverFallsSilent)
{
    Filter flt(L"QW_Biquad2");
    flt.start(LP, 300, 0.7f, 4);
    flt.p->setConstant(flt.in[0], 0.25f);
    flt.run(20000, 256, nullptr);
    EXPECT_NEAR(flt.recorded[0].back(), 0.25f, 2.5e-4f); // DC gain 1 up to float rounding
    for (auto& r : flt.streaming(0))
        EXPECT_TRUE(r.second) << "at " << r.first;
    EXPECT_TRUE(flt.p->sleepRequests.empty());
}

TEST(BiquadTail, StereoWithOneLoudChannelNeverGoesSilent)
{
    for (const wchar_t* id : {L"QW_Biquad2ST", L"QW_StereoBiquad"})
    {
        Filter flt(id);
        flt.start(LP, 300, 0.7f, 1);
        flt.p->setConstant(flt.in[0], 0.0f);
        flt.p->setConstant(flt.in[1], 0.5f); // the low-pass passes it for ever
        flt.run(20000, 256, nullptr);
        for (int k : {0, 1})
            for (auto& r : flt.streaming(k))
                EXPECT_TRUE(r.second) << "output " << k << " at " << r.first;
        EXPECT_TRUE(flt.p->sleepRequests.empty());

        // Once the loud channel is quiet too, both fall silent together.
        flt.p->setConstant(flt.in[1], 0.0f);
        flt.run(4000, 256, nullptr);
        const int64_t end = expectedTailEnd(flt.recorded, 20000);
        ASSERT_GT(end, 0);
        for (int k : {0, 1})
            EXPECT_EQ(flt.streaming(k).back(), std::make_pair(end + 1, false)) << "output " << k;
    }
}

// Every output sample and streaming report of a busy script.
struct Trace
{
    std::vector<std::vector<float>> outputs;
    std::vector<std::tuple<int64_t, int, bool>> reports;
};

Trace busyScript(const std::wstring& id, int block)
{
    Filter flt(id, 44100.0f, 256);
    auto& p = *flt.p;
    p.startGraph(0);
    p.setInt(flt.type, LP);
    p.setInt(flt.sections, 3);
    p.setFloat(flt.q, 2.0f);
    for (int pin : flt.in)
        p.setStreaming(pin, true);
    p.setStreaming(flt.cutoff, true);
    p.setInt(flt.type, HP, 1000);
    p.setInt(flt.sections, 7, 1500);
    p.setFloat(flt.q, 0.3f, 2100);
    if (flt.reset >= 0)
    {
        p.setFloat(flt.reset, 1.0f, 2500);
        p.setFloat(flt.reset, 0.5f, 2600);
    }
    p.setStreaming(flt.cutoff, false, 2900);
    p.setConstant(flt.cutoff, 150.0f, 2900);
    for (int pin : flt.in)
        p.setConstant(pin, 0.0f, 3000);   // tail, silence, sleep
    p.setConstant(flt.in[0], 0.3f, 9001); // a new value wakes it: a step through the high-pass
    p.setInt(flt.type, BR, 15003);        // a new type wakes it: the band-reject passes 0.3
    p.setInt(flt.type, HP, 17000);
    for (int pin : flt.in)
        p.setStreaming(pin, true, 20000);
    // The cutoff sweeps below 0 and above fs/2 while it streams.
    flt.run(24000, block, [&](int pin, int64_t t) {
        if (pin == flt.cutoff)
            return static_cast<float>(300.0 + 2900.0 * std::sin(2 * kPi * double(t) / 1700.0));
        for (size_t k = 0; k < flt.in.size(); ++k)
            if (flt.in[k] == pin)
                return noise(t, static_cast<int>(k));
        return 0.0f;
    });
    Trace trace;
    trace.outputs = flt.recorded;
    for (auto& s : p.streamingReports)
        trace.reports.emplace_back(s.time, s.pin, s.streaming);
    EXPECT_EQ(p.allocationsAfterFirstBlock(), 0) << "blocks of " << block;
    return trace;
}

TEST(BiquadBlocks, SameOutputForEveryBlockSize)
{
    for (const wchar_t* id : {L"QW_Biquad2", L"QW_Biquad2ST"})
    {
        const Trace ref = busyScript(id, 64);
        // The script passes through every state: the tail ended and the filter woke twice.
        int silences = 0;
        for (auto& r : ref.reports)
            silences += !std::get<2>(r);
        EXPECT_GE(silences, 2 * static_cast<int>(ref.outputs.size()));
        for (int block : {1, 7, 256})
        {
            const Trace other = busyScript(id, block);
            ASSERT_EQ(other.reports, ref.reports) << "blocks of " << block;
            for (size_t k = 0; k < ref.outputs.size(); ++k)
                for (size_t t = 0; t < ref.outputs[k].size(); ++t)
                    ASSERT_EQ(bitsOf(other.outputs[k][t]), bitsOf(ref.outputs[k][t]))
                        << "output " << k << ", sample " << t << ", blocks of " << block;
        }
    }
}

TEST(BiquadBlocks, OlderModulesFilterAlike)
{
    // The same script without the reset pin: the same samples until the exact
    // 1.0 on the reset clears the newer module's history at 2500.
    for (auto [now, old] : {std::pair{L"QW_Biquad2", L"QW_Biquad"}, std::pair{L"QW_Biquad2ST", L"QW_StereoBiquad"}})
    {
        const Trace a = busyScript(now, 64);
        const Trace b = busyScript(old, 64);
        ASSERT_EQ(a.outputs.size(), b.outputs.size());
        for (size_t k = 0; k < a.outputs.size(); ++k)
            for (size_t t = 0; t < 2500; ++t)
                ASSERT_EQ(bitsOf(a.outputs[k][t]), bitsOf(b.outputs[k][t])) << "output " << k << ", sample " << t;
        for (size_t k = 0; k < a.outputs.size(); ++k)
        {
            bool differs = false;
            for (size_t t = 2500; t < 2600; ++t)
                differs |= a.outputs[k][t] != b.outputs[k][t];
            EXPECT_TRUE(differs) << "the reset cleared the history of " << gmpi_sdk::toUtf8(now);
        }
    }
}

TEST(BiquadPins, ResetClearsOnlyOnExactlyOne)
{
    for (float value : {1.0f, 0.5f, 2.0f, 0.99999994f})
    {
        Filter flt(L"QW_Biquad2");
        flt.start(LP, 500, 4.0f, 2);
        flt.p->setStreaming(flt.in[0], true);
        // Noise until 1000, then streaming zeros: the output rings down.
        flt.p->setFloat(flt.reset, value, 1010);
        flt.run(1100, 64, [&](int pin, int64_t t) { return pin == flt.in[0] && t < 1000 ? noise(t) : 0.0f; });
        const std::vector<float>& y = flt.recorded[0];
        bool allZero = true;
        for (size_t t = 1010; t < 1100; ++t)
            allZero &= y[t] == 0.0f;
        EXPECT_EQ(allZero, value == 1.0f) << "reset " << value;
        EXPECT_NE(y[1009], 0.0f);
    }
}

// Output of a mono filter on noise with the given pin settings.
std::vector<float> noiseResponse(int type, float cutoffValue, float quality, int count, int64_t total = 4096)
{
    Filter flt(L"QW_Biquad2");
    flt.p->startGraph(0);
    flt.p->setInt(flt.type, type);
    flt.p->setConstant(flt.cutoff, cutoffValue);
    flt.p->setFloat(flt.q, quality);
    flt.p->setInt(flt.sections, count);
    flt.p->setStreaming(flt.in[0], true);
    flt.run(total, 256, noiseOn(flt));
    return flt.recorded[0];
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * 4) == 0;
}

TEST(BiquadPins, OutOfRangeValuesAreLimited)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Same
    {
        const char* what;
        int typeA;
        float cutA, qA;
        int nA;
        int typeB;
        float cutB, qB;
        int nB;
    };
    const Same cases[] = {
        {"sections 0 = 1", LP, 100, 0.7f, 0, LP, 100, 0.7f, 1},
        {"sections -3 = 1", HP, 100, 0.7f, -3, HP, 100, 0.7f, 1},
        {"sections 17 = 16", BP, 100, 0.7f, 17, BP, 100, 0.7f, 16},
        {"sections 1000 = 16", BP, 100, 0.7f, 1000, BP, 100, 0.7f, 16},
        {"Q below 0.01 = 0.01", LP, 100, 0.001f, 2, LP, 100, 0.01f, 2},
        {"negative Q = 0.01", HP, 100, -4.0f, 2, HP, 100, 0.01f, 2},
        {"Q not a number = 0.01", BP, 100, nan, 2, BP, 100, 0.01f, 2},
        {"Q infinite = 1000", BP, 100, std::numeric_limits<float>::infinity(), 2, BP, 100, 1000.0f, 2},
        {"Q 1e9 = 1000", LP, 100, 1e9f, 2, LP, 100, 1000.0f, 2},
        {"cutoff below 0 = 0", HP, -30, 0.7f, 1, HP, 0, 0.7f, 1},
        {"cutoff not a number = 0", HP, nan, 0.7f, 1, HP, 0, 0.7f, 1},
        {"cutoff above fs/20 = fs/2", LP, 1e6f, 0.7f, 1, LP, 2205, 0.7f, 1},
        {"type 7 = band-reject", 7, 100, 0.7f, 2, BR, 100, 0.7f, 2},
        {"type -1 = band-reject", -1, 100, 0.7f, 2, BR, 100, 0.7f, 2},
    };
    for (const Same& c : cases)
    {
        const auto a = noiseResponse(c.typeA, c.cutA, c.qA, c.nA);
        const auto b = noiseResponse(c.typeB, c.cutB, c.qB, c.nB);
        EXPECT_TRUE(sameBits(a, b)) << c.what;
        for (float v : a)
            ASSERT_TRUE(std::isfinite(v)) << c.what;
    }
}

TEST(BiquadGuards, CutoffAtTheEndsStaysStable)
{
    // At 0 Hz, at fs/2 and where the fast cosine rounds beyond +-1, the
    // sections would have a pole on or outside the unit circle; ten seconds of
    // noise must stay within a few times its own level.
    struct Case
    {
        int type;
        float cutoffValue;
    };
    const Case cases[] = {
        {LP, 1e6f},     // fs/2
        {BR, 1e6f},     // fs/2
        {HP, 0.0f},     // 0 Hz
        {HP, -5.0f},    // 0 Hz
        {BP, 0.0f},     // 0 Hz
        {HP, 0.00059f}, // 0.0059 Hz: cosine rounds to 1.0000001
        {LP, 2204.7f},  // just below fs/2: cosine rounds to -1.0000001
    };
    for (const Case& c : cases)
    {
        const auto y = noiseResponse(c.type, c.cutoffValue, 0.707f, 1, 441000);
        float peak = 0;
        for (float v : y)
            peak = std::max(peak, std::fabs(v));
        EXPECT_LT(peak, 4.0f) << "type " << c.type << ", cutoff value " << c.cutoffValue;
    }
}

// The cutoff closest to 0 Hz (and the same distance below fs/2) at which a
// float cosine and sine still form a matching pair: the angle whose cosine is
// the float just below 1.
double clampedLowCutoff(double fs)
{
    return std::acos(static_cast<double>(0.99999994f)) / (2 * kPi) * fs;
}

// Amplitude and phase-free gain of y against a unit sine at f over
// [from, to): a least-squares fit of a sine and a cosine, exact for any
// number of periods.
double fittedGain(const std::vector<float>& y, double f, double fs, int64_t from, int64_t to)
{
    double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
    for (int64_t t = from; t < to; ++t)
    {
        const double sn = std::sin(2 * kPi * f * double(t) / fs), cs = std::cos(2 * kPi * f * double(t) / fs);
        const double v = y[static_cast<size_t>(t)];
        ss += sn * sn, sc += sn * cs, cc += cs * cs, ys += v * sn, yc += v * cs;
    }
    const double det = ss * cc - sc * sc;
    const double a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
    return std::hypot(a, b);
}

TEST(BiquadGuards, AtTheEndsOfTheCutoffRangeTheResponseIsTheDesignsAtTheClampedCutoff)
{
    // A cutoff of 0 Hz or fs/2 is held at the clamped cutoff: there the gain
    // is the design's (1/sqrt 2 a section for low- and high-pass), with no
    // resonance, and the passband passes. So close to 0 and fs/2 the float
    // coefficients round by up to a few parts in 10^8 against a distance of
    // about 10^-7 from the unit circle, which moves the gain by up to 1 dB.
    const double fs = 48000.0;
    const double low = clampedLowCutoff(fs);
    struct Case
    {
        int type;
        float cutoffValue;
        double fc;       // where the cutoff is held
        double f;        // where the gain is measured
        double decibels; // how far it may lie from the design's
    };
    const Case cases[] = {
        {LP, 0.0f, low, low, 1.0},
        {HP, 0.0f, low, low, 1.0},
        {HP, 0.0f, low, 1000, 0.01},
        {HP, 1e6f, fs / 2 - low, fs / 2 - low, 1.0},
        {LP, 1e6f, fs / 2 - low, fs / 2 - low, 1.0},
        {LP, 1e6f, fs / 2 - low, 1000, 0.01},
    };
    for (int count : {1, 16})
        for (const Case& c : cases)
        {
            Filter flt(L"QW_Biquad2", static_cast<float>(fs));
            flt.start(c.type, c.cutoffValue * 10.0, 0.707f, count);
            flt.p->setStreaming(flt.in[0], true);
            const int64_t settle = 4 * 48000, window = 4 * 48000;
            flt.run(settle + window, 256, [&](int pin, int64_t t) {
                return pin == flt.in[0] ? static_cast<float>(std::sin(2 * kPi * c.f * double(t) / fs)) : 0.0f;
            });
            const double expected = analyticMagnitude(c.type, c.fc, 0.707, count, c.f, fs);
            const double got = fittedGain(flt.recorded[0], c.f, fs, settle, settle + window);
            EXPECT_NEAR(20 * std::log10(got / expected), 0.0, c.decibels)
                << "type " << c.type << ", " << count << " sections, cutoff value " << c.cutoffValue << ", at " << c.f
                << " Hz: " << got << " against the design's " << expected;
        }
}

TEST(BiquadGuards, AtTheEndsOfTheCutoffRangeTheFilterSettlesAndSleeps)
{
    // A -6 dBFS 1 kHz tone, then silence: a low-pass at 0 Hz keeps the tone
    // out, and every end case falls silent once the input stops.
    const double fs = 48000.0;
    struct Case
    {
        int type;
        float cutoffValue;
        double most; // the largest output once the tone has played for 1.5 s
    };
    const Case cases[] = {{LP, 0.0f, 0.5e-3}, {HP, 0.0f, 0.6}, {LP, 1e6f, 0.6}, {HP, 1e6f, 0.5e-3}};
    for (int count : {1, 16})
        for (const Case& c : cases)
        {
            Filter flt(L"QW_Biquad2", static_cast<float>(fs));
            flt.start(c.type, c.cutoffValue * 10.0, 0.707f, count);
            flt.p->setStreaming(flt.in[0], true);
            const int64_t tone = 2 * 48000;
            flt.p->setConstant(flt.in[0], 0.0f, static_cast<int>(tone));
            flt.run(tone + 20 * 48000, 64, [&](int pin, int64_t t) {
                return pin == flt.in[0] ? static_cast<float>(0.5 * std::sin(2 * kPi * 1000.0 * double(t) / fs)) : 0.0f;
            });
            const std::vector<float>& y = flt.recorded[0];
            float peak = 0;
            for (int64_t t = tone - 24000; t < tone; ++t) // settled: the tone's last half second
                peak = std::max(peak, std::fabs(y[static_cast<size_t>(t)]));
            EXPECT_LT(peak, c.most) << "type " << c.type << ", " << count << " sections, cutoff " << c.cutoffValue;
            const auto r = flt.streaming(0);
            ASSERT_FALSE(r.empty());
            EXPECT_FALSE(r.back().second) << "type " << c.type << ", " << count << " sections, cutoff " << c.cutoffValue
                                          << ": still streaming 20 s after the input stopped";
            EXPECT_FALSE(flt.p->sleepRequests.empty());
        }
}

TEST(BiquadGuards, ANonFiniteSampleLeavesNothingBehindAndAnOverflowSaturates)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    struct Case
    {
        const char* what;
        int type;
        float q;
        int count;
        std::function<float(int64_t)> input; // until sample 48000, then the input is static 0
        int64_t lastBad;                     // the last sample of bad input
    };
    const Case cases[] = {
        {"one NaN sample", LP, 0.707f, 4, [nan](int64_t t) { return t == 1000 ? nan : noise(t); }, 1000},
        {"one infinite sample", BP, 2.0f, 1, [inf](int64_t t) { return t == 1000 ? inf : noise(t); }, 1000},
        {"one sample of the largest float", HP, 0.707f, 16,
         [](int64_t t) { return t == 1000 ? std::numeric_limits<float>::max() : noise(t); }, 1000},
        // Q 1000 over 16 sections: a tone at the cutoff would overflow the
        // float range; it saturates there instead.
        {"an overflow at legal settings", LP, 1000.0f, 16,
         [](int64_t t) { return static_cast<float>(0.5 * std::sin(2 * kPi * 1000.0 * double(t) / 48000.0)); }, 47999},
    };
    for (const Case& c : cases)
    {
        Filter flt(L"QW_Biquad2", 48000.0f);
        flt.start(c.type, 1000.0, c.q, c.count);
        flt.p->setStreaming(flt.in[0], true);
        flt.p->setConstant(flt.in[0], 0.0f, 48000);
        flt.run(48000 * 6, 64, [&](int pin, int64_t t) { return pin == flt.in[0] ? c.input(t) : 0.0f; });
        const std::vector<float>& y = flt.recorded[0];
        const bool finiteInput = std::isfinite(c.input(1000));
        if (finiteInput)
        {
            // Finite input gives finite output: the largest float passes
            // through the sections saturated, and so does the resonance.
            float peak = 0.0f;
            for (size_t t = 0; t < y.size(); ++t)
            {
                ASSERT_TRUE(std::isfinite(y[t])) << c.what << ": sample " << t << " is " << y[t];
                peak = std::max(peak, std::fabs(y[t]));
            }
            EXPECT_GT(peak, 1e37f) << c.what << ": the input was meant to reach the output";
            if (c.lastBad == 1000)
            {
                EXPECT_GT(std::fabs(y[2000]) + std::fabs(y[2001]), 0.0f) << c.what << ": the filter goes on filtering";
                const auto r = flt.streaming(0);
                ASSERT_FALSE(r.empty());
                EXPECT_FALSE(r.back().second) << c.what << ": never falls silent";
            }
            else // the resonance stays at the largest float (its ring-down from there takes minutes)
                EXPECT_EQ(peak, std::numeric_limits<float>::max()) << c.what;
            continue;
        }
        // A block with a non-finite sample is followed by a block without one:
        // the state is cleared by the block's end.
        bool sawBad = false, badBlock = false;
        for (size_t b = 0; b < y.size() / 64; ++b)
        {
            bool bad = false;
            for (size_t i = b * 64; i < (b + 1) * 64; ++i)
                bad |= !std::isfinite(y[i]);
            EXPECT_FALSE(bad && badBlock) << c.what << ": blocks " << b - 1 << " and " << b << " both non-finite";
            badBlock = bad;
            sawBad |= bad;
        }
        EXPECT_TRUE(sawBad) << c.what << ": the input was meant to reach the output";
        // A single bad sample leaves nothing from the next block on.
        if (c.lastBad == 1000)
        {
            for (int64_t t = 1024; t < static_cast<int64_t>(y.size()); ++t)
                ASSERT_TRUE(std::isfinite(y[static_cast<size_t>(t)])) << c.what << ": sample " << t << " is " << y[t];
            EXPECT_GT(std::fabs(y[2000]) + std::fabs(y[2001]), 0.0f) << c.what << ": the filter goes on filtering";
        }
        const auto r = flt.streaming(0);
        ASSERT_FALSE(r.empty());
        EXPECT_FALSE(r.back().second) << c.what << ": never falls silent";
    }
}

TEST(BiquadGuards, DecayNeverReachesSubnormalNumbers)
{
    // Streaming silence after noise: the ring-down ends in exact zeros, and no
    // sample on the way is subnormal (slow on many processors).
    Filter flt(L"QW_Biquad2");
    flt.start(LP, 1000, 0.707f, 4);
    flt.p->setStreaming(flt.in[0], true);
    flt.run(20000, 64, [&](int pin, int64_t t) { return pin == flt.in[0] && t < 500 ? noise(t) : 0.0f; });
    const std::vector<float>& y = flt.recorded[0];
    for (size_t t = 0; t < y.size(); ++t)
        ASSERT_FALSE(y[t] != 0.0f && std::fabs(y[t]) < std::numeric_limits<float>::min()) << "sample " << t;
    EXPECT_EQ(y.back(), 0.0f);
}

#if defined(__SSE__)
// A script through ring-downs, tiny and subnormal inputs and a cutoff that
// sweeps to 0, with the processor flushing subnormal numbers or not.
std::vector<std::vector<float>> tinySignals(const std::wstring& id, bool flushToZero)
{
    const unsigned saved = _mm_getcsr();
    if (flushToZero)
        _mm_setcsr(saved | 0x8040);
    Filter flt(id);
    auto& p = *flt.p;
    p.startGraph(0);
    p.setInt(flt.type, HP);
    p.setInt(flt.sections, 3);
    p.setFloat(flt.q, 0.6f);
    for (int pin : flt.in)
        p.setStreaming(pin, true);
    p.setStreaming(flt.cutoff, true);
    p.setInt(flt.type, LP, 3000);
    p.setInt(flt.type, BP, 6000);
    flt.run(9000, 64, [&](int pin, int64_t t) {
        if (pin == flt.cutoff)
            return static_cast<float>(t < 4500 ? 1800.0 * std::sin(2 * kPi * double(t) / 900.0) : 0.3);
        const float n = noise(t, pin);
        switch ((t / 500) % 4)
        {
        case 0:
            return n;
        case 1:
            return 0.0f; // ring-down
        case 2:
            return n * 1e-39f; // subnormal
        default:
            return n * 1e-33f; // tiny
        }
    });
    _mm_setcsr(saved);
    return flt.recorded;
}

TEST(BiquadGuards, SameSamplesWhateverTheSubnormalMode)
{
    for (const wchar_t* id : {L"QW_Biquad2", L"QW_Biquad2ST"})
    {
        const auto plain = tinySignals(id, false);
        const auto flushed = tinySignals(id, true);
        for (size_t k = 0; k < plain.size(); ++k)
            for (size_t t = 0; t < plain[k].size(); ++t)
                ASSERT_EQ(bitsOf(plain[k][t]), bitsOf(flushed[k][t]))
                    << gmpi_sdk::toUtf8(id) << " output " << k << ", sample " << t << ": " << plain[k][t];
    }
}
#endif

TEST(BiquadWake, NewStaticValueWhileSilentBringsTheFilterBack)
{
    Filter flt(L"QW_Biquad2");
    flt.start(HP, 300, 0.7f, 2);
    flt.p->setConstant(flt.in[0], 0.0f);
    flt.run(3000, 256, nullptr); // silent by now
    ASSERT_FALSE(flt.streaming(0).back().second);

    flt.p->setConstant(flt.in[0], 0.8f, 100); // a step: the high-pass answers, then decays
    flt.run(6000, 256, nullptr);
    const std::vector<float>& y = flt.recorded[0];
    EXPECT_GT(std::fabs(y[3100]), 0.5f) << "the step passes the high-pass";
    auto r = flt.streaming(0);
    const int64_t end = expectedTailEnd(flt.recorded, 3100);
    ASSERT_GT(end, 3100);
    EXPECT_EQ(r.back(), std::make_pair(end + 1, false));
    EXPECT_EQ(r[r.size() - 2], std::make_pair(int64_t{3100}, true));
}

TEST(BiquadWake, NewTypeWhileSilentBringsTheFilterBack)
{
    // A high-pass on a static 1.0 decays and falls silent; switched to a
    // low-pass it must pass the 1.0 again.
    Filter flt(L"QW_Biquad2");
    flt.start(HP, 300, 0.7f, 1);
    flt.p->setConstant(flt.in[0], 1.0f);
    flt.run(4000, 256, nullptr);
    ASSERT_FALSE(flt.streaming(0).back().second);
    flt.p->setInt(flt.type, LP, 10);
    flt.run(4000, 256, nullptr);
    EXPECT_NEAR(flt.recorded[0].back(), 1.0f, 1e-3f);
    EXPECT_EQ(flt.streaming(0).back(), std::make_pair(int64_t{4010}, true));
}

TEST(BiquadWake, StreamingInputRestartsTheFilter)
{
    Filter flt(L"QW_Biquad2ST");
    flt.start(BP, 1000, 1.0f, 2);
    flt.run(2000, 256, nullptr); // zeros: silent after 1000 samples
    ASSERT_FALSE(flt.streaming(0).back().second);
    ASSERT_FALSE(flt.p->sleepRequests.empty());
    flt.p->setStreaming(flt.in[1], true, 5);
    flt.run(512, 64, noiseOn(flt));
    EXPECT_EQ(flt.streaming(0).back(), std::make_pair(int64_t{2005}, true));
    EXPECT_EQ(flt.streaming(1).back(), std::make_pair(int64_t{2005}, true));
    EXPECT_NE(flt.recorded[1].back(), 0.0f);
    EXPECT_EQ(flt.recorded[0].back(), 0.0f); // the left input is still zero
}
} // namespace
