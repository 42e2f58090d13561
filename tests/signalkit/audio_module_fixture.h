// One audio-rate module of the signalkit bundle in the host stand-in: option
// values by pin name, audio inputs streamed from sample vectors in blocks,
// every audio output's samples collected.
#pragma once

#include "mp_sdk_common.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qwtest
{
constexpr float kInfF = std::numeric_limits<float>::infinity();
constexpr float kNaNF = std::numeric_limits<float>::quiet_NaN();

struct StreamedModule
{
    qwhost::ProcessingHost host;
    std::unique_ptr<qwhost::Processor> p;

    explicit StreamedModule(const std::wstring& id, int copies = 2, int blockSize = 64, float rate = 44100.0f)
    {
        host.autoDuplicateCount = copies;
        host.blockSize = blockSize;
        host.sampleRate = rate;
        p = host.create(bundle("signalkit"), id);
    }

    int pin(const std::string& name) const { return p->pin(name); }

    // A control value by the pin's datatype, at an offset into the next block.
    void set(int pin, double v, int offset = 0)
    {
        switch (p->pinInfo(pin).datatype)
        {
        case gmpi::MP_FLOAT32:
            p->setFloat(pin, static_cast<float>(v), offset);
            break;
        case gmpi::MP_BOOL:
            p->setBool(pin, v != 0.0, offset);
            break;
        default:
            p->setInt(pin, static_cast<int32_t>(v), offset);
            break;
        }
    }
    void set(const std::string& name, double v, int offset = 0) { set(pin(name), v, offset); }

    // Every audio input and output pin id.
    std::vector<int> audioPins(int direction) const
    {
        std::vector<int> pins;
        for (int i = 0; i < p->pinCount(); ++i)
            if (p->pinInfo(i).datatype == gmpi::MP_AUDIO && p->pinInfo(i).direction == direction)
                pins.push_back(i);
        return pins;
    }

    // Streams the samples into the inputs (streaming from the next block on;
    // inputs not given keep what they had) in blocks of `block`; every audio
    // output's samples by pin id.
    std::map<int, std::vector<float>> stream(const std::map<int, std::vector<float>>& in, int block = 64)
    {
        size_t total = 0;
        for (auto& [pin, samples] : in)
        {
            p->setStreaming(pin, true);
            total = std::max(total, samples.size());
        }
        std::map<int, std::vector<float>> out;
        for (size_t done = 0; done < total;)
        {
            const int n = static_cast<int>(std::min<size_t>(static_cast<size_t>(block), total - done));
            for (auto& [pin, samples] : in)
                for (int i = 0; i < n; ++i)
                    p->input(pin)[i] = done + i < samples.size() ? samples[done + i] : 0.0f;
            p->run(n);
            for (int pin : audioPins(gmpi::MP_OUT))
                out[pin].insert(out[pin].end(), p->output(pin), p->output(pin) + n);
            done += static_cast<size_t>(n);
        }
        return out;
    }
    std::map<int, std::vector<float>> stream(const std::map<std::string, std::vector<float>>& in, int block = 64)
    {
        std::map<int, std::vector<float>> byId;
        for (auto& [name, samples] : in)
            byId[pin(name)] = samples;
        return stream(byId, block);
    }

    // Streaming reports of one output.
    std::vector<qwhost::StreamingReport> reportsOf(int pin) const
    {
        std::vector<qwhost::StreamingReport> r;
        for (auto& s : p->streamingReports)
            if (s.pin == pin)
                r.push_back(s);
        return r;
    }
};

// got within tol of expected, plus the float rounding of expected (tol 0:
// the float nearest expected); infinities and NaN must match exactly.
inline ::testing::AssertionResult near(double got, double expected, double tol)
{
    if (std::isnan(expected))
        return std::isnan(got) ? ::testing::AssertionSuccess()
                               : ::testing::AssertionFailure() << got << ", expected NaN";
    if (std::isinf(expected) || tol == 0.0)
        return static_cast<float>(got) == static_cast<float>(expected)
                   ? ::testing::AssertionSuccess()
                   : ::testing::AssertionFailure() << got << ", expected " << expected;
    const double allowed = tol + 2.4e-7 * std::fabs(expected);
    return std::fabs(got - expected) <= allowed
               ? ::testing::AssertionSuccess()
               : ::testing::AssertionFailure() << got << ", expected " << expected << " within " << allowed;
}
} // namespace qwtest
