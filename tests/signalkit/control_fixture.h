// One control module of the signalkit bundle in the host stand-in: values set
// by pin name take effect together at the next step, and what the module sent
// is read back per output pin.
#pragma once

#include "mp_sdk_common.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace qwtest
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct ControlModule
{
    qwhost::ProcessingHost host;
    std::unique_ptr<qwhost::Processor> p;

    // copies: of each auto-duplicating pin; setup: host settings before creation.
    explicit ControlModule(const std::wstring& id, int copies = 2,
                           const std::function<void(qwhost::ProcessingHost&)>& setup = {})
    {
        host.autoDuplicateCount = copies;
        if (setup)
            setup(host);
        p = host.create(bundle("signalkit"), id);
    }

    // Every input at its default, then graph start, in one step.
    void start()
    {
        p->startGraph();
        step();
    }
    void step() { p->run(1); }

    // A value by the pin's datatype: float, integer or enumeration, bool.
    void set(int pin, double v)
    {
        switch (p->pinInfo(pin).datatype)
        {
        case gmpi::MP_FLOAT32:
            p->setFloat(pin, static_cast<float>(v));
            break;
        case gmpi::MP_BOOL:
            p->setBool(pin, v != 0.0);
            break;
        default:
            p->setInt(pin, static_cast<int32_t>(v));
            break;
        }
    }
    void set(const std::string& name, double v) { set(p->pin(name), v); }

    std::vector<const qwhost::PinUpdate*> updatesOf(int pin) const
    {
        std::vector<const qwhost::PinUpdate*> out;
        for (auto& u : p->updates)
            if (u.pin == pin)
                out.push_back(&u);
        return out;
    }
    size_t countOf(const std::string& name) const { return updatesOf(p->pin(name)).size(); }
    // The last value sent on an output (null before the first).
    const qwhost::PinUpdate* last(const std::string& name) const
    {
        auto all = updatesOf(p->pin(name));
        return all.empty() ? nullptr : all.back();
    }
    // The output as the host holds it: its last update, as a number.
    double value(const std::string& name) const
    {
        const qwhost::PinUpdate* u = last(name);
        if (!u)
            return 0.0;
        switch (p->pinInfo(p->pin(name)).datatype)
        {
        case gmpi::MP_FLOAT32:
            return u->asFloat();
        case gmpi::MP_BOOL:
            return u->asBool() ? 1.0 : 0.0;
        default:
            return u->asInt();
        }
    }
};

// One row of a case table: a fresh module, its inputs set after graph start,
// the outputs expected within tol (0: exactly; NaN expects NaN).
struct ControlCase
{
    const wchar_t* id;
    std::vector<std::pair<const char*, double>> in;
    std::vector<std::pair<const char*, double>> out;
    double tol = 0.0;
};

inline void runCase(const ControlCase& c)
{
    ControlModule m(c.id);
    m.start();
    for (auto& [name, v] : c.in)
        m.set(name, v);
    m.step();
    for (auto& [name, expected] : c.out)
    {
        const double got = m.value(name);
        std::string inputs;
        for (auto& [n, v] : c.in)
            inputs += std::string(" ") + n + "=" + std::to_string(v);
        const std::string what = gmpi_sdk::toUtf8(c.id) + inputs + " -> " + name;
        if (std::isnan(expected))
            EXPECT_TRUE(std::isnan(got)) << what << ": " << got << ", expected NaN";
        else if (c.tol == 0.0 || std::isinf(expected))
            EXPECT_EQ(got, expected) << what;
        else
            EXPECT_NEAR(got, expected, c.tol) << what;
    }
}
} // namespace qwtest
