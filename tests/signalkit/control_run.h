// Control outputs of a module run through SignalRun: the changes of a bool,
// int or float output as (sample, value), checked to be the same at several
// block sizes.
#pragma once

#include "mp_sdk_common.h"
#include "signal_run.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace qwtest
{
using Trace = std::vector<std::pair<int64_t, double>>;

// Every change of the output's value (from 0) as (time, value).
inline Trace changesOf(const qwhost::Processor& p, const std::string& name)
{
    const int pin = p.pin(name);
    const int type = p.pinInfo(pin).datatype;
    Trace t;
    double last = 0.0;
    for (const auto& u : p.updates)
    {
        if (u.pin != pin)
            continue;
        const double v = type == gmpi::MP_BOOL      ? (u.asBool() ? 1.0 : 0.0)
                         : type == gmpi::MP_FLOAT32 ? static_cast<double>(u.asFloat())
                                                    : static_cast<double>(u.asInt());
        if (v != last)
            t.emplace_back(u.time, v);
        last = v;
    }
    return t;
}

// Runs `setup` on a fresh module at each block size for `samples` samples and
// answers the changes of `output`, failing where a block size differs.
inline Trace traceAtBlocks(const std::wstring& id, const std::function<void(SignalRun&)>& setup,
                           const std::string& output, int64_t samples, float rate = 48000.0f,
                           std::initializer_list<int> blocks = {1, 7, 64})
{
    Trace first;
    bool have = false;
    for (int block : blocks)
    {
        SignalRun run(id, rate, block);
        setup(run);
        run.run(samples);
        Trace t = changesOf(run.processor(), output);
        if (!have)
        {
            first = t;
            have = true;
        }
        else
            EXPECT_EQ(t, first) << "block " << block;
    }
    return first;
}
} // namespace qwtest
