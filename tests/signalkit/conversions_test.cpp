// Level and frequency unit conversions through the built bundle, against
// values worked out here; the audio routines are checked against the float
// module on the same quantities (audio values are tenths).
#include "audio_module_fixture.h"
#include "control_fixture.h"

#include <cfloat>

namespace
{
using qwtest::ControlCase;
using qwtest::ControlModule;
using qwtest::kInf;
using qwtest::near;
using qwtest::StreamedModule;

TEST(Conversions, FloatLevelsAndFrequencies)
{
    const ControlCase rows[] = {
        {L"QW_dB2V_Float", {{"dB", 0}}, {{"Volts", 10}}, 1e-5},
        {L"QW_dB2V_Float", {{"dB", -20}}, {{"Volts", 1}}, 1e-5},
        {L"QW_dB2V_Float", {{"dB", 6.0206}}, {{"Volts", 20}}, 1e-4},
        {L"QW_V2dB_Float", {{"Volts", 10}}, {{"dB", 0}}, 1e-5},
        {L"QW_V2dB_Float", {{"Volts", 1}}, {{"dB", -20}}, 1e-4},
        {L"QW_V2dB_Float", {{"Volts", 0}}, {{"dB", -kInf}}},
        {L"QW_V2dB_Float", {{"Volts", -3}}, {{"dB", -kInf}}},
        {L"QW_dB2F_Float", {{"dB", 20}}, {{"Factor", 10}}, 1e-4},
        {L"QW_dB2F_Float", {{"dB", -6.0206}}, {{"Factor", 0.5}}, 1e-6},
        {L"QW_F2dB_Float", {{"Factor", 0.1}}, {{"dB", -20}}, 1e-4},
        {L"QW_F2dB_Float", {{"Factor", 0}}, {{"dB", -kInf}}},
        // 5 V is 440 Hz; 440 Hz at 44.1 kHz is a period of 100.22727 samples.
        {L"QW_FreqConv_Float", {{"From", 2}, {"To", 0}, {"Input", 5}}, {{"Output", 440}}, 1e-3},
        {L"QW_FreqConv_Float", {{"From", 0}, {"To", 3}, {"Input", 440}}, {{"Output", 100.22727}}, 1e-4},
        {L"QW_FreqConv_Float", {{"From", 1}, {"To", 2}, {"Input", 0.88}}, {{"Output", 6}}, 1e-5},
        {L"QW_FreqConv_Float", {{"From", 0}, {"To", 2}, {"Input", 0}}, {{"Output", -kInf}}},
        {L"QW_FreqConv_Float", {{"From", 3}, {"To", 0}, {"Input", 0}}, {{"Output", kInf}}},
        // Equal units, and two wavelength codes, pass the value unchanged.
        {L"QW_FreqConv_Float", {{"From", 2}, {"To", 2}, {"Input", 123.456}}, {{"Output", 123.456f}}},
        {L"QW_FreqConv_Float", {{"From", 3}, {"To", 4}, {"Input", 123.456}}, {{"Output", 123.456f}}},
        {L"QW_FreqConv_Float", {{"From", INT_MIN}, {"To", INT_MAX}, {"Input", 7.7}}, {{"Output", 7.7f}}},
    };
    for (auto& c : rows)
        qwtest::runCase(c);
}

// A level in decibels saturates instead of overflowing: finite dB, finite volts.
TEST(Conversions, HugeDecibelsStayFinite)
{
    for (const wchar_t* id : {L"QW_dB2V_Float", L"QW_dB2F_Float"})
    {
        ControlModule m(id);
        m.start();
        m.set("dB", 1e6);
        m.step();
        const double out = m.value(id == std::wstring(L"QW_dB2V_Float") ? "Volts" : "Factor");
        EXPECT_TRUE(std::isfinite(out) && out > 1e37) << gmpi_sdk::toUtf8(id) << ": " << out;
    }
    StreamedModule a(L"QW_dB2V_Audio");
    a.p->startGraph();
    auto out = a.stream({{"dB", {1e6f, FLT_MAX, -1e6f}}});
    const auto& y = out[a.pin("Volts")];
    EXPECT_TRUE(std::isfinite(y[0]) && y[0] > 1e37f) << y[0];
    EXPECT_TRUE(std::isfinite(y[1]) && y[1] > 1e37f) << y[1];
    EXPECT_EQ(y[2], 0.0f);
}

TEST(Conversions, AudioLevelsAndFrequencies)
{
    struct Row
    {
        const wchar_t* id;
        int from, to;
        std::vector<float> in;
        std::vector<double> expected;
        double tol;
    };
    const Row rows[] = {
        {L"QW_dB2V_Audio", -1, -1, {0.0f, -2.0f, 0.60206f}, {1.0, 0.1, 2.0}, 1e-4},
        {L"QW_V2dB_Audio", -1, -1, {1.0f, 0.1f, 0.0f, -1.0f}, {0.0, -2.0, -INFINITY, -INFINITY}, 1e-5},
        {L"QW_FreqConv_Audio", 0, 2, {44.0f, 88.0f, 0.0f}, {0.5, 0.6, -INFINITY}, 1e-6},
        {L"QW_FreqConv_Audio", 2, 0, {0.5f, 0.4f}, {44.0, 22.0}, 1e-4},
        {L"QW_FreqConv_Audio", 0, 3, {44.0f, 0.0f}, {10.022727, INFINITY}, 1e-5},
        {L"QW_FreqConv_Audio", 3, 4, {10.022727f}, {10.022727f}, 0.0},
    };
    for (auto& r : rows)
    {
        StreamedModule m(r.id);
        m.p->startGraph();
        if (r.from >= 0)
        {
            m.set("From", r.from);
            m.set("To", r.to);
        }
        auto out = m.stream({{m.audioPins(gmpi::MP_IN)[0], r.in}});
        const auto& y = out[m.audioPins(gmpi::MP_OUT)[0]];
        for (size_t i = 0; i < r.expected.size(); ++i)
            EXPECT_TRUE(near(y[i], r.expected[i], r.tol))
                << gmpi_sdk::toUtf8(r.id) << " " << r.from << "->" << r.to << " sample " << i;
    }
}

// Every pair of units: the audio module on tenths against the float module
// on the quantity itself, at 48 kHz; wavelength appears as codes 3 and 4.
TEST(Conversions, AudioRoutinesAgreeWithTheFloatModule)
{
    const float rate = 48000.0f;
    const double hertz[] = {55.0, 440.0, 3520.0, 12345.0};
    auto inUnit = [rate](double f, int unit) {
        switch (unit)
        {
        case 0:
            return f;
        case 1:
            return f / 1000.0;
        case 2:
            return std::log2(f / 440.0) + 5.0;
        default:
            return rate / f;
        }
    };
    for (int from : {0, 1, 2, 3, 4})
        for (int to : {0, 1, 2, 3, 4})
        {
            if ((from == 4 && to != 3) || (to == 4 && from != 3))
                continue; // 4 only beside 3: sixteen pairs plus 3 -> 4 and 4 -> 3
            StreamedModule audio(L"QW_FreqConv_Audio", 2, 64, rate);
            audio.p->startGraph();
            audio.set("From", from);
            audio.set("To", to);
            std::vector<float> tenths;
            for (double f : hertz)
                tenths.push_back(static_cast<float>(inUnit(f, from) / 10.0));
            auto out = audio.stream({{"Input", tenths}});
            const auto& y = out[audio.pin("Output")];
            for (size_t i = 0; i < std::size(hertz); ++i)
            {
                ControlModule flt(L"QW_FreqConv_Float", 2, [rate](qwhost::ProcessingHost& h) { h.sampleRate = rate; });
                flt.start();
                flt.set("From", from);
                flt.set("To", to);
                flt.set("Input", static_cast<float>(inUnit(hertz[i], from)));
                flt.step();
                const double expected = flt.value("Output");
                EXPECT_NEAR(10.0 * y[i], expected, 2e-5 * std::fabs(expected) + 1e-5)
                    << from << " -> " << to << " at " << hertz[i] << " Hz";
                EXPECT_NEAR(expected, inUnit(hertz[i], to), 1e-4 * std::fabs(expected) + 1e-4)
                    << from << " -> " << to << " at " << hertz[i] << " Hz (exact)";
            }
        }
}
} // namespace
