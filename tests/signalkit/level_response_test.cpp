// Curve-driven level response through the built bundle: the identity curve
// delays the signal by one frame, levels on the decibel scale, a compressor
// curve against a double-precision model of the frame gains, frame lengths
// and latency, the tail, the curve blob's checks, stereo, hostile values, and
// the written file of qwhost run.
#include "WavFile32.h"
#include "audio_fixture.h"
#include "qw_shape.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

namespace
{
using qwtest::AudioModule;
const float kNaN = std::numeric_limits<float>::quiet_NaN();

float noise(int64_t t, int salt = 0)
{
    uint64_t x = uint64_t(t) * 0x9E3779B97F4A7C15ULL + uint64_t(salt + 1) * 0xBF58476D1CE4E5B9ULL;
    x ^= x >> 31;
    x *= 0xD6E8FEB86659FD93ULL;
    x ^= x >> 32;
    return float(x & 0xFFFFFF) / 8388608.0f - 1.0f;
}

std::vector<uint8_t> blobOf(const wchar_t* text)
{
    const qw::Shape s(text);
    const auto* b = static_cast<const uint8_t*>(s.blobData());
    return std::vector<uint8_t>(b, b + s.blobSize());
}

constexpr double kSweepPeak = 0.5011872336272722;        // qwhost run's sweep: -6 dBFS
const wchar_t* const kCompressor = L"(-5,-5)(0,0)(5,2)"; // slope 0.4 above -35 dB

struct LevResp : AudioModule
{
    bool stereo;
    explicit LevResp(const std::wstring& id, float rate = 44100.0f, bool processorHost = true)
        : AudioModule(id, rate, 2, processorHost), stereo(id == L"QW_LevResp2ST")
    {}
    std::vector<std::string> inputs() const
    {
        return stereo ? std::vector<std::string>{"Left", "Right"} : std::vector<std::string>{"Input"};
    }
    std::vector<std::string> outputs() const
    {
        return stereo ? std::vector<std::string>{"Left Out", "Right Out"} : std::vector<std::string>{"Output"};
    }
    void begin(int exponent, float amount = 10.0f, const wchar_t* curve = nullptr)
    {
        start();
        p->setInt(pin("Frame Length"), exponent);
        p->setFloat(pin("Amount"), amount);
        if (curve)
            p->setBlob(pin("Curve"), blobOf(curve));
        for (auto& in : inputs())
            streaming(in, true);
    }
};

const std::wstring kAll[] = {L"QW_LevResp", L"QW_LevResp2", L"QW_LevResp2ST"};

TEST(LevelResponse, IdentityCurveDelaysByOneFrame)
{
    for (const auto& id : kAll)
        for (int block : {64, 7})
        {
            LevResp m(id);
            m.begin(9);
            m.run(4000, block, [](int pin, int64_t t) { return 0.8f * noise(t, pin); });
            const int n = 512;
            for (size_t c = 0; c < m.inputs().size(); ++c)
            {
                const int in = m.pin(m.inputs()[c]);
                const auto& y = m.output(m.outputs()[c]);
                for (int64_t t = 0; t < 4000; ++t)
                    ASSERT_NEAR(y[size_t(t)], t < n ? 0.0f : 0.8f * noise(t - n, in), 1e-5)
                        << gmpi_sdk::toUtf8(id) << " channel " << c << " at " << t;
            }
            const auto measured = m.values("Measured Level"), mapped = m.values("Mapped Level");
            ASSERT_FALSE(measured.empty());
            ASSERT_EQ(measured.size(), mapped.size());
            for (size_t i = 0; i < measured.size(); ++i)
            {
                EXPECT_EQ(measured[i].first, mapped[i].first);
                EXPECT_NEAR(measured[i].second, mapped[i].second, 1e-4);
            }
        }
}

// The level outputs for a steady peak, and the gain of silence.
TEST(LevelResponse, LevelPositions)
{
    struct Row
    {
        float peak;
        double level;
    };
    for (const auto& id : kAll)
        for (Row r : {Row{1.0f, 10.0}, Row{0.001f, 10.0 / 7.0}, Row{0.0f, 0.0}, Row{1e-40f, 0.0}})
        {
            LevResp m(id);
            m.begin(9);
            m.run(2048, 64, [&](int, int64_t t) { return t % 2 ? r.peak : -r.peak; });
            const auto v = m.values("Measured Level");
            const double last = v.empty() ? 0.0 : v.back().second;
            EXPECT_NEAR(last, r.level, 1e-4) << gmpi_sdk::toUtf8(id) << " peak " << r.peak;
            const auto mapped = m.values("Mapped Level");
            EXPECT_NEAR(mapped.empty() ? 0.0 : mapped.back().second, r.level, 1e-4);
            // Silence and a subnormal peak: gain 1.
            for (float y : m.output(m.outputs()[0]))
                ASSERT_LE(std::fabs(y), std::max(r.peak, 1e-40f) * 1.0001f);
        }
}

// Amount 0, and a NaN amount, leave the signal as it is whatever the curve.
TEST(LevelResponse, AmountZeroPassesTheSignal)
{
    for (const auto& id : kAll)
        for (float amount : {0.0f, -3.0f, kNaN})
        {
            LevResp m(id);
            m.begin(9, amount, kCompressor);
            m.run(3000, 64, [](int pin, int64_t t) { return 0.9f * noise(t, pin); });
            const auto& y = m.output(m.outputs()[0]);
            const int in = m.pin(m.inputs()[0]);
            for (int64_t t = 512; t < 3000; ++t)
                ASSERT_NEAR(y[size_t(t)], 0.9f * noise(t - 512, in), 1e-5) << gmpi_sdk::toUtf8(id) << " " << amount;
        }
}

// The frame gain of the curve with nodes (x, y) worked out in double precision.
struct Model
{
    static constexpr int T = 2048;
    std::vector<double> table;
    double amount = 1.0;

    explicit Model(std::vector<std::pair<double, double>> nodes)
    {
        for (int i = 0; i < T; ++i)
        {
            const double x = double(i) / (T - 1);
            size_t k = 1;
            while (k + 1 < nodes.size() && nodes[k].first < x)
                ++k;
            const auto [x0, y0] = nodes[k - 1];
            const auto [x1, y1] = nodes[k];
            const double y = y0 + (y1 - y0) * (x - x0) / (x1 - x0);
            table.push_back((y + 1) / 2);
        }
    }
    static double position(double peak)
    {
        const double s = peak < 0.001 ? peak / 0.001 : 1 + (20 * std::log10(peak) + 60) / 10;
        return s / 7;
    }
    static double level(double v)
    {
        const double s = 7 * v;
        return s < 1 ? s * 0.001 : std::pow(10.0, (10 * s - 70) / 20);
    }
    double gain(double peak, double& u, double& v) const
    {
        u = position(peak);
        const double t = std::clamp(u, 0.0, 1.0) * (T - 1);
        const int i = std::min(int(t), T - 2);
        const double f = t - i;
        const double y = (1 - f) * table[size_t(i)] + f * table[size_t(i) + 1];
        v = (1 - amount) * u + amount * y;
        return peak == 0 ? 1.0 : level(v) / peak;
    }
};

TEST(LevelResponse, CompressorAgainstTheModel)
{
    const Model model({{0, -1}, {0.5, 0}, {1, 0.4}});
    const double amplitudes[] = {0.5, 0.05, 0.9, 0.001, 0.3, 1.5, 0.0, 0.7};
    auto amplitude = [&](int64_t t) { return amplitudes[size_t(t / 1000) % 8]; };
    for (const std::wstring id : {L"QW_LevResp2", L"QW_LevResp2ST"})
    {
        LevResp m(id);
        m.begin(9, 10.0f, kCompressor);
        const int right = m.stereo ? m.pin("Right") : -1;
        auto x = [&](int pin, int64_t t) {
            const double a = amplitude(t) * (pin == right ? 0.25 : 1.0);
            return float(t % 2 ? a : -a);
        };
        const int64_t total = 8000;
        m.run(total, 7, x);
        // The model over the same input.
        const int n = 512, h = n / 2;
        std::vector<double> line(n, 0.0), lineR(n, 0.0);
        double g0 = 0, g1 = 0, u = 0, v = 0;
        std::vector<std::pair<int64_t, double>> measured, mapped;
        const auto& y = m.output(m.outputs()[0]);
        for (int64_t t = 0, p = 0; t < total; ++t, p = (p + 1) % n)
        {
            if (p % h == 0)
            {
                double peak = 0;
                for (int k = 0; k < n; ++k)
                    peak = std::max({peak, std::fabs(line[size_t(k)]), std::fabs(lineR[size_t(k)])});
                g0 = g1;
                g1 = model.gain(peak, u, v);
                measured.emplace_back(t, 10 * u);
                mapped.emplace_back(t, 10 * v);
            }
            const double tt = double(p % h) / h, s = (3 - 2 * tt) * tt * tt;
            const double expected = ((1 - s) * g0 + s * g1) * line[size_t(p)];
            ASSERT_NEAR(y[size_t(t)], expected, 1e-4 * std::fabs(expected) + 1e-7)
                << gmpi_sdk::toUtf8(id) << " at " << t;
            line[size_t(p)] = x(m.pin(m.inputs()[0]), t);
            if (m.stereo)
                lineR[size_t(p)] = x(right, t);
        }
        // Every value sent is the model's at that frame boundary, and the last one stands.
        for (auto [name, expected] : {std::pair{"Measured Level", &measured}, std::pair{"Mapped Level", &mapped}})
        {
            const auto sent = m.values(name);
            ASSERT_GE(sent.size(), 8u) << name;
            for (auto [t, value] : sent)
            {
                auto it = std::find_if(expected->begin(), expected->end(), [t = t](auto& e) { return e.first == t; });
                ASSERT_NE(it, expected->end()) << name << " sent at " << t << ", not a frame boundary";
                EXPECT_NEAR(value, it->second, 1e-4) << name << " at " << t;
            }
            EXPECT_NEAR(sent.back().second, expected->back().second, 1e-4) << name;
        }
    }
}

// Frame lengths as the delay of the identity curve and as the latency report.
int latencyOf(const std::wstring& id, float rate, int exponent)
{
    LevResp m(id, rate);
    m.start();
    m.p->setBool(m.pin("Report Latency"), true);
    m.p->setInt(m.pin("Frame Length"), exponent);
    m.run(1, 1);
    return m.p->latencyReports.empty() ? -1 : m.p->latencyReports.back();
}

TEST(LevelResponse, FrameLengths)
{
    EXPECT_EQ(latencyOf(L"QW_LevResp", 44100, 31), 256);
    EXPECT_EQ(latencyOf(L"QW_LevResp", 44100, 0), 256);
    EXPECT_EQ(latencyOf(L"QW_LevResp", 44100, 8), 256);
    EXPECT_EQ(latencyOf(L"QW_LevResp", 44100, 10), 1024);
    EXPECT_EQ(latencyOf(L"QW_LevResp", 44100, 20), 4096);
    EXPECT_EQ(latencyOf(L"QW_LevResp", 44100, INT_MIN), 256);
    EXPECT_EQ(latencyOf(L"QW_LevResp", 44100, INT_MAX), 256);
    EXPECT_EQ(latencyOf(L"QW_LevResp2", 44100, INT_MIN), 512);
    EXPECT_EQ(latencyOf(L"QW_LevResp2", 48000, INT_MAX), 8192);
    EXPECT_EQ(latencyOf(L"QW_LevResp2", 96000, 13), 16384);
    EXPECT_EQ(latencyOf(L"QW_LevResp2ST", 88200, 9), 1024);
    EXPECT_EQ(latencyOf(L"QW_LevResp2ST", 192000, 13), 32768);
}

TEST(LevelResponse, LatencyFollowsTheSwitch)
{
    LevResp m(L"QW_LevResp2", 96000.0f);
    m.begin(13);
    m.run(64, 64);
    EXPECT_TRUE(m.p->latencyReports.empty()); // the switch is off
    m.p->setBool(m.pin("Report Latency"), true);
    m.run(64, 64);
    m.p->setBool(m.pin("Report Latency"), false);
    m.run(64, 64);
    m.p->setInt(m.pin("Frame Length"), 12); // off: nothing
    m.run(64, 64);
    m.p->setBool(m.pin("Report Latency"), true);
    m.p->setInt(m.pin("Frame Length"), 13);
    m.run(64, 64);
    EXPECT_EQ(m.p->latencyReports, (std::vector<int32_t>{16384, 0, 16384}));
    // The signal comes out that much later.
    LevResp d(L"QW_LevResp2", 96000.0f);
    d.begin(13);
    d.run(17000, 256, [](int, int64_t t) { return t == 100 ? 0.5f : 0.0f; });
    const auto& y = d.output("Output");
    EXPECT_NEAR(y[16484], 0.5f, 1e-5);
    EXPECT_EQ(std::count_if(y.begin(), y.end(), [](float s) { return s != 0.0f; }), 1);
}

TEST(LevelResponse, NoProcessorHostNoReport)
{
    LevResp m(L"QW_LevResp2", 44100.0f, false);
    m.begin(10);
    m.p->setBool(m.pin("Report Latency"), true);
    m.run(2048, 64, [](int, int64_t t) { return noise(t); });
    EXPECT_TRUE(m.p->latencyReports.empty());
    EXPECT_NEAR(m.output("Output")[2000], noise(2000 - 1024), 1e-5);
}

TEST(LevelResponse, TailRunsOneFrame)
{
    for (const auto& id : kAll)
    {
        LevResp m(id);
        m.begin(10); // 1024
        for (auto& in : m.inputs())
            m.streaming(in, false, 3000);
        m.run(6000, 64, [](int, int64_t t) { return 0.5f * noise(t); });
        const auto& y = m.output(m.outputs()[0]);
        for (int64_t t = 3000; t < 4024; ++t)
            ASSERT_NEAR(y[size_t(t)], 0.5f * noise(t - 1024), 1e-5) << gmpi_sdk::toUtf8(id) << " at " << t;
        for (int64_t t = 4024; t < 6000; ++t)
            ASSERT_EQ(y[size_t(t)], 0.0f) << gmpi_sdk::toUtf8(id) << " at " << t;
        for (auto& out : m.outputs())
            EXPECT_EQ(m.reports(out).back(), (std::pair<int64_t, bool>{4024, false})) << gmpi_sdk::toUtf8(id);
    }
}

TEST(LevelResponse, FrameChangeDuringTheTailSilences)
{
    for (const auto& id : kAll)
    {
        LevResp m(id);
        m.begin(10);
        for (auto& in : m.inputs())
            m.streaming(in, false, 3000);
        m.p->setInt(m.pin("Frame Length"), 9, 3100);
        m.run(4000, 64, [](int, int64_t t) { return 0.5f * noise(t); });
        const auto& y = m.output(m.outputs()[0]);
        EXPECT_NE(y[3099], 0.0f);
        for (int64_t t = 3100; t < 4000; ++t)
            ASSERT_EQ(y[size_t(t)], 0.0f) << gmpi_sdk::toUtf8(id) << " at " << t;
        EXPECT_EQ(m.reports(m.outputs()[0]).back(), (std::pair<int64_t, bool>{3100, false}));
    }
}

// Silence until an input first streams.
TEST(LevelResponse, SilentBeforeTheFirstStream)
{
    for (const auto& id : kAll)
    {
        LevResp m(id);
        m.start();
        for (auto& out : m.outputs())
            std::fill_n(m.p->output(m.pin(out)), 256, 9.0f);
        m.run(256, 64);
        for (auto& out : m.outputs())
            for (float y : m.output(out))
                ASSERT_EQ(y, 0.0f) << gmpi_sdk::toUtf8(id);
        EXPECT_FALSE(m.reports(m.outputs()[0]).back().second);
    }
}

// The output of a compressor run, after a value was sent to a pin mid-way.
std::vector<float> compressed(const std::wstring& id, int pin, const std::vector<uint8_t>& bytes)
{
    LevResp m(id);
    m.begin(9, 10.0f, kCompressor);
    m.run(1000, 64, [](int, int64_t t) { return 0.9f * noise(t); });
    if (pin >= 0)
        m.p->setRaw(pin, bytes.data(), int(bytes.size()));
    m.run(3000, 64, [](int, int64_t t) { return 0.9f * noise(t); });
    return m.output(m.outputs()[0]);
}

TEST(LevelResponse, BadCurvesAndTypesKeepTheCurve)
{
    auto header = [](uint32_t magic, uint32_t count, size_t size) {
        std::vector<uint8_t> b(size, 0);
        std::memcpy(b.data(), &magic, 4);
        std::memcpy(b.data() + 4, &count, 4);
        return b;
    };
    for (const auto& id : kAll)
    {
        LevResp probe(id);
        const int curve = probe.pin("Curve"), itp = probe.pin("Interpolation");
        const auto reference = compressed(id, -1, {});
        const auto identity = compressed(id, curve, blobOf(L"(-5,-5)(5,5)"));
        EXPECT_NE(reference, identity) << "a valid blob changes the curve";
        const std::vector<std::vector<uint8_t>> bad = {header(0x53484150, 2, 23),
                                                       header(0x53484150, 100, 809),
                                                       header(0x53484150, 2, 28),
                                                       header(0x12345678, 2, 24),
                                                       header(0x53484150, 3, 24),
                                                       header(0x53484150, 0x7FFFFFFF, 8),
                                                       {}};
        for (const auto& b : bad)
            EXPECT_EQ(compressed(id, curve, b), reference) << gmpi_sdk::toUtf8(id) << ", blob of " << b.size();
        for (int32_t v : {5, 40, -10, INT_MIN})
        {
            std::vector<uint8_t> bytes(4);
            std::memcpy(bytes.data(), &v, 4);
            EXPECT_EQ(compressed(id, itp, bytes), reference) << gmpi_sdk::toUtf8(id) << ", type " << v;
        }
        // NaN or unsorted nodes in a well-formed blob: finite output.
        const float nodes[] = {0, -1, 0.7f, kNaN, 0.3f, 0.9f, 1, std::numeric_limits<float>::infinity()};
        auto weird = header(0x53484150, 4, 40);
        std::memcpy(weird.data() + 8, nodes, sizeof nodes);
        for (float y : compressed(id, curve, weird))
            ASSERT_TRUE(std::isfinite(y)) << gmpi_sdk::toUtf8(id);
    }
}

TEST(LevelResponse, OneLoudChannelSetsBothGains)
{
    LevResp m(L"QW_LevResp2ST");
    m.begin(9, 10.0f, kCompressor);
    const int left = m.pin("Left");
    m.run(3000, 64, [&](int pin, int64_t t) { return pin == left ? 0.9f * noise(t) : 0.01f * noise(t, 1); });
    const auto& l = m.output("Left Out");
    const auto& r = m.output("Right Out");
    for (int64_t t = 1500; t < 3000; ++t)
        if (std::fabs(noise(t - 512)) > 0.1f)
        {
            ASSERT_NEAR(l[size_t(t)] / (0.9f * noise(t - 512)), r[size_t(t)] / (0.01f * noise(t - 512, 1)), 1e-4) << t;
        }
    // Loud: the shared gain is well below 1.
    EXPECT_LT(std::fabs(l[2000] / (0.9f * noise(2000 - 512))), 0.5f);
}

TEST(LevelResponse, HostileSamplesLeaveNothingBehind)
{
    const float burst[] = {kNaN, std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                           3e38f};
    for (const auto& id : kAll)
    {
        LevResp m(id);
        m.begin(9, 10.0f, kCompressor);
        m.run(4000, 64, [&](int, int64_t t) { return t >= 1000 && t < 1064 ? burst[t % 4] : 0.5f * noise(t); });
        const auto& y = m.output(m.outputs()[0]);
        for (float s : y)
            ASSERT_TRUE(std::isfinite(s)) << gmpi_sdk::toUtf8(id);
        // Two frames after the burst the signal is back at its usual gain.
        LevResp calm(id);
        calm.begin(9, 10.0f, kCompressor);
        calm.run(4000, 64, [&](int, int64_t t) { return 0.5f * noise(t); });
        for (int64_t t = 3000; t < 4000; ++t)
            ASSERT_NEAR(y[size_t(t)], calm.output(calm.outputs()[0])[size_t(t)], 1e-6)
                << gmpi_sdk::toUtf8(id) << " at " << t;
    }
}

class LevelResponseCommand : public qwtest::CommandTest
{};

TEST_F(LevelResponseCommand, QwhostRunCompressesTheSweep)
{
    const Result r = qwhost({"run", std::string(QW_BUNDLE_DIR) + "/signalkit.so", "QW_LevResp2", "--pin",
                             "Curve=(-5,-5)(2,2)(5,3)", "--out", file("comp.wav")});
    ASSERT_EQ(r.code, 0) << r.err;
    qw::WavFile32 w;
    ASSERT_TRUE(w._loadWav(std::filesystem::path(file("comp.wav")).wstring()));
    ASSERT_EQ(w.channels, 1);
    // The sweep's -6 dBFS peak lies above the knee (x = 2: -21 dB), where the
    // curve rises a third as fast: worked out on the decibel scale.
    const double u = Model::position(kSweepPeak);
    const double expected = Model::level(0.7 + (u - 0.7) / 3.0);
    double peak = 0;
    for (int64_t t = 22050; t < 44100; ++t)
        peak = std::max(peak, double(std::fabs(w.data[0][size_t(t)])));
    EXPECT_NEAR(peak, expected, 0.02 * expected);
    EXPECT_LT(20 * std::log10(peak), -12.0); // well below the input's -6 dB
}
} // namespace
