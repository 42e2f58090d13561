// A burst of non-finite audio into every filter of this family, then ordinary
// input: each output is finite again within one block, whatever state the
// burst reached (histories, comb lines, sums).
#include "signal_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace
{
using qwtest::SignalRun;

constexpr int64_t kBurst = 1000, kBurstEnd = 1010, kBlock = 64;

float withBurst(int64_t t)
{
    if (t >= kBurst && t < kBurstEnd)
    {
        static const float burst[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                      -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::max()};
        return burst[t % 4];
    }
    return qwtest::noise(21, 0.5)(t);
}

TEST(FiltersHostile, FiniteWithinOneBlockOfANonFiniteBurst)
{
    struct Case
    {
        const wchar_t* id;
        std::vector<std::string> inputs, outputs;
        std::vector<std::pair<std::string, double>> settings;
    } cases[] = {
        {L"QW_PeakGain2", {"Signal"}, {"Output"}, {{"Gain", 24}}},
        {L"QW_PeakGain2ST", {"Left", "Right"}, {"Left Out", "Right Out"}, {{"Gain", -24}}},
        {L"QW_PeakGain", {"Signal"}, {"Output"}, {{"Gain", 6}}},
        {L"QW_PeakGainST", {"Left", "Right"}, {"Left Out", "Right Out"}, {{"Gain", 6}}},
        {L"QW_LPF2", {"Signal"}, {"Output"}, {}},
        {L"QW_LPF", {"Signal"}, {"Output"}, {{"Mode", 1}}},
        {L"QW_CombFilter2", {"Signal"}, {"Output"}, {{"Feedback", 0.99}}},
        {L"QW_CombFlt", {"Signal"}, {"Output"}, {}},
        {L"QW_Integrator", {"Signal"}, {"Output"}, {}},
        {L"QW_Derivator", {"Signal"}, {"Output"}, {}},
        {L"QW_OneSampleDelay", {"Signal"}, {"Output"}, {}},
        {L"QW_Averaging", {"Signal"}, {"Output"}, {}},
        {L"QW_MovingAvg", {"Signal"}, {"Output"}, {{"Magnitude", 1}}},
        {L"QW_RampFilter", {"Signal"}, {"Output"}, {{"Rise", 1e6}, {"Fall", 1e6}}},
    };
    for (auto& c : cases)
    {
        SignalRun run(c.id, 48000.0f, kBlock);
        for (auto& [pin, v] : c.settings)
            run.set(pin, v);
        for (auto& in : c.inputs)
            run.stream(in, withBurst);
        const qwtest::Recording r = run.run(4096);
        const int64_t from = (kBurstEnd / kBlock + 2) * kBlock;
        for (auto& out : c.outputs)
        {
            const auto& y = r.out(out);
            for (int64_t t = from; t < 4096; ++t)
                ASSERT_TRUE(std::isfinite(y[size_t(t)]))
                    << out << " of " << std::string(c.id, c.id + wcslen(c.id)) << " at " << t;
        }
    }
}
} // namespace
