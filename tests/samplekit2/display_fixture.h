// What the tests of the waveform displays share: the three display modules
// of both bundles, a sample given to each the way its pin takes it, and a
// drawn module per module and echo mode of the host.
#pragma once

#include "drawn_fixture.h"
#include "sample_fixture.h"

#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace displaytest
{
using drawntest::DrawCall;
using drawntest::Drawn;
using qwhost::Echo;

struct Module
{
    const char* bundle;
    const wchar_t* id;
    bool descriptor; // the sample travels as a descriptor (else as raw floats)
    bool editor;     // 32 pins with pencil, menu, tool tip, hover and grid
    const char* name;
};

inline const std::vector<Module>& modules()
{
    static const std::vector<Module> all = {
        {"samplekit2", L"QW_S2_SampleDisplayEdit", true, true, "S2Edit"},
        {"samplekit", L"QW_SampleDisplayEdit", false, true, "Edit"},
        {"samplekit", L"QW_SampleDisplay", false, false, "Display"},
    };
    return all;
}

// The bytes a module's sample pin takes for these frames: a descriptor that
// names them (they must outlive its use) or the frames themselves.
inline std::vector<uint8_t> sampleBytes(const Module& m, const std::vector<float>& frames)
{
    if (m.descriptor)
        return s2test::sample(frames);
    std::vector<uint8_t> b(frames.size() * sizeof(float));
    if (!b.empty())
        std::memcpy(b.data(), frames.data(), b.size());
    return b;
}

// The frames of the last sample a module sent on its sample pin (read where
// a descriptor points); empty when it sent none.
inline std::vector<float> lastSent(const Module& m, const Drawn& c)
{
    const qwhost::GuiValue* v = c.last("Sample");
    if (!v)
        return {};
    if (m.descriptor)
    {
        auto d = s2test::asDesc(v->data);
        return d ? s2test::framesAt(*d) : std::vector<float>();
    }
    std::vector<float> f(v->data.size() / sizeof(float));
    if (!f.empty())
        std::memcpy(f.data(), v->data.data(), f.size() * sizeof(float));
    return f;
}

// 1000 frames, each exact in float.
inline std::vector<float> thousand()
{
    std::vector<float> f(1000);
    for (int i = 0; i < 1000; ++i)
        f[static_cast<size_t>(i)] = static_cast<float>(i % 250) / 256.0f - 0.5f;
    return f;
}

// The pins of the view and the selection, as the gestures send them.
inline const std::vector<std::string>& viewPins()
{
    static const std::vector<std::string> pins = {"Selection Start", "Selection End", "Offset", "Visible", "Frames"};
    return pins;
}

using Param = std::tuple<int, Echo>; // module index, echo mode

inline std::string paramName(const ::testing::TestParamInfo<Param>& info)
{
    return std::string(modules()[static_cast<size_t>(std::get<0>(info.param))].name) + "_" +
           drawntest::echoName(std::get<1>(info.param));
}

class DisplayTest : public ::testing::TestWithParam<Param>
{
protected:
    const Module& mod() const { return modules()[static_cast<size_t>(std::get<0>(GetParam()))]; }
    Echo echo() const { return std::get<1>(GetParam()); }

    // The module with `frames` as its sample, drawn once at w x h (a display
    // maps the pointer through the size it last drew at).
    std::unique_ptr<Drawn> make(const std::vector<float>& frames, int w = 300, int h = 100)
    {
        auto c = std::make_unique<Drawn>(mod().id, echo(), true, mod().bundle);
        if (!frames.empty())
            c->set("Sample", sampleBytes(mod(), frames));
        c->render(w, h);
        c->clearSent();
        return c;
    }
};

// Every module under every echo mode.
inline auto allModules()
{
    return ::testing::Combine(::testing::Values(0, 1, 2), ::testing::ValuesIn(drawntest::allEchoes()));
}
// The two editors under every echo mode.
inline auto editors()
{
    return ::testing::Combine(::testing::Values(0, 1), ::testing::ValuesIn(drawntest::allEchoes()));
}
} // namespace displaytest
