// One audio module of the signalkit bundle in the host stand-in: inputs and
// outputs by pin name, audio inputs fed from a function of (pin, time) while
// they stream, every output sample recorded.
#pragma once

#include "mp_sdk_common.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qwtest
{
struct AudioModule
{
    using Signal = std::function<float(int pin, int64_t t)>;

    qwhost::ProcessingHost host;
    std::unique_ptr<qwhost::Processor> p;
    std::map<int, std::vector<float>> out; // every sample run so far, by output pin

    explicit AudioModule(const std::wstring& id, float rate = 44100.0f, int copies = 2, bool processorHost = true)
    {
        host.sampleRate = rate;
        host.autoDuplicateCount = copies;
        host.processorHost = processorHost;
        p = host.create(bundle("signalkit"), id);
    }

    int pin(const std::string& name) const { return p->pin(name); }
    // Every input at its default and graph start, at the next block's start.
    void start() { p->startGraph(); }
    void streaming(const std::string& name, bool on, int offset = 0) { p->setStreaming(pin(name), on, offset); }

    // Runs `total` samples in blocks of `block`; streaming audio inputs read signal.
    void run(int64_t total, int block, const Signal& signal = {})
    {
        while (total > 0)
        {
            const int n = static_cast<int>(std::min<int64_t>(block, total));
            for (int i = 0; i < p->pinCount(); ++i)
            {
                const auto& info = p->pinInfo(i);
                if (info.datatype != gmpi::MP_AUDIO)
                    continue;
                if (info.direction == gmpi::MP_IN && signal)
                {
                    float* b = p->input(i);
                    for (int k = 0; k < n; ++k)
                        b[k] = signal(i, p->now() + k);
                }
            }
            p->run(n);
            for (int i = 0; i < p->pinCount(); ++i)
                if (p->pinInfo(i).datatype == gmpi::MP_AUDIO && p->pinInfo(i).direction == gmpi::MP_OUT)
                    out[i].insert(out[i].end(), p->output(i), p->output(i) + n);
            total -= n;
        }
    }
    const std::vector<float>& output(const std::string& name) { return out[pin(name)]; }

    // Streaming reports of an output: (time, streaming), in order.
    std::vector<std::pair<int64_t, bool>> reports(const std::string& name) const
    {
        std::vector<std::pair<int64_t, bool>> r;
        for (auto& s : p->streamingReports)
            if (s.pin == pin(name))
                r.emplace_back(s.time, s.streaming);
        return r;
    }
    // Float values sent on an output: (time, value), in order.
    std::vector<std::pair<int64_t, float>> values(const std::string& name) const
    {
        std::vector<std::pair<int64_t, float>> r;
        for (auto& u : p->updates)
            if (u.pin == pin(name))
                r.emplace_back(u.time, u.asFloat());
        return r;
    }
};
} // namespace qwtest
