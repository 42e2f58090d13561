// One drawn module on the stand-in, through its built bundle: the host's echo
// set as a test asks, pins set by name, pointer events with held-back echoes
// delivered after each, the drawing calls of its renders and what it sent.
// Also: readers of recorded drawing calls, and qwhost draw to PNG.
//
//   drawntest::Drawn c(L"QW_VecSlider", qwhost::Echo::Later);
//   c.setFloat("Value", 0.5f);
//   c.down(10, 10), c.move(60, 10), c.up(60, 10);
//   EXPECT_EQ(c.sentFloats("Value").back(), ...);
//   const auto calls = drawntest::only(c.render(300, 40), "FillRectangle");
#pragma once

#include "dialogs.h"
#include "drawing/drawn_view.h"
#include "mp_sdk_common.h"
#include "run_loop.h"
#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace drawntest
{
using qwhost::drawing::DrawCall;
using qwtest::Bytes;

constexpr int32_t kLeft = 0x10;    // left button
constexpr int32_t kFine = 0x20000; // fine-adjustment modifier
constexpr int32_t kLeftFine = kLeft | kFine;

// sRGB code to linear light, worked out here rather than taken from the framework.
inline float linear(int code)
{
    const double x = code / 255.0;
    return static_cast<float>(x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4));
}

// A name of an echo setting that also serves as a test parameter's name.
inline const char* echoName(qwhost::Echo e)
{
    return e == qwhost::Echo::Inside ? "EchoInside" : e == qwhost::Echo::Later ? "EchoLater" : "NoEcho";
}

// Echo settings a drawn module is tested under.
inline std::vector<qwhost::Echo> allEchoes()
{
    return {qwhost::Echo::Inside, qwhost::Echo::Later, qwhost::Echo::None};
}

class Drawn
{
public:
    // Without `start` the host sets no pin defaults and does not initialize.
    // The host's resources are the test skin's.
    Drawn(const wchar_t* id, qwhost::Echo echo = qwhost::Echo::None, bool start = true,
          const char* bundleName = "panelkit")
    {
        host_.echo = echo;
        host_.resourceFolder = std::string(QW_SOURCE_DIR) + "/tests/fixtures/skin";
        desk_ = std::make_unique<qwhost::DrawingDesk>(host_);
        desk_->dialogs = &dialogs_;
        view_ = std::make_unique<qwhost::DrawnView>(*desk_, qwtest::bundle(bundleName), id, start);
    }
    Drawn(const Drawn&) = delete;
    Drawn& operator=(const Drawn&) = delete;

    qwhost::GuiModule& module() const { return view_->module(); }
    qwhost::DrawnView& view() const { return *view_; }
    qwhost::GraphicsHost& graphicsHost() const { return view_->graphicsHost(); }
    qwhost::Dialogs& dialogs() { return dialogs_; }
    int pin(const std::string& name) const { return module().pin(name); }

    // Host values, with any echoes held back delivered.
    void set(const std::string& name, const Bytes& v)
    {
        module().set(pin(name), v.data(), static_cast<int>(v.size()));
        settle();
    }
    void setFloat(const std::string& name, float v) { module().setFloat(pin(name), v), settle(); }
    void setInt(const std::string& name, int32_t v) { module().setInt(pin(name), v), settle(); }
    void setBool(const std::string& name, bool v) { module().setBool(pin(name), v), settle(); }
    void setText(const std::string& name, const std::wstring& v) { module().setText(pin(name), v), settle(); }
    // A bool pin set and cleared.
    void trigger(const std::string& name)
    {
        setBool(name, true);
        setBool(name, false);
    }

    // Pointer events; echoes the host held back arrive right after each.
    int32_t down(float x, float y, int32_t flags = kLeft) { return settled(view_->pointerDown(flags, {x, y})); }
    int32_t move(float x, float y, int32_t flags = kLeft) { return settled(view_->pointerMove(flags, {x, y})); }
    int32_t up(float x, float y, int32_t flags = kLeft) { return settled(view_->pointerUp(flags, {x, y})); }
    void settle() { module().deliverEchoes(); }
    // Moves the run loop's manual clock (see RunLoop::useManualClock) on, running its due timers.
    static void wait(double ms) { qwhost::RunLoop::current().advance(ms); }

    // Lays out at (0, 0, w, h) and draws; the calls of that render.
    std::vector<DrawCall> render(int w, int h)
    {
        return recorded([&] { view_->layOutAndRender(w, h); });
    }
    // Draws at the size last arranged into a bitmap of w x h.
    std::vector<DrawCall> renderOnly(int w, int h)
    {
        return recorded([&] { view_->render(w, h); });
    }
    // Every call of a full drawing: a size change first drops what a module keeps drawn.
    std::vector<DrawCall> renderAll(int w, int h)
    {
        render(w, h + 1);
        return render(w, h);
    }

    // Values sent on a pin since the module was made or clearSent, in order.
    std::vector<float> sentFloats(const std::string& name) { return sentAs<float>(name); }
    std::vector<int32_t> sentInts(const std::string& name) { return sentAs<int32_t>(name); }
    std::vector<bool> sentBools(const std::string& name) { return sentAs<bool>(name); }
    std::vector<std::wstring> sentTexts(const std::string& name)
    {
        std::vector<std::wstring> out;
        for (auto* v : module().transmitsOf(pin(name)))
            out.push_back(v->asText());
        return out;
    }
    // Everything sent since the module was made or clearSent, in order.
    std::vector<qwtest::UiSent> sent() const
    {
        std::vector<qwtest::UiSent> out;
        for (auto& t : module().transmits)
            out.push_back({t.pin, t.data, t.voice});
        return out;
    }
    // What was sent on the named pins since clearSent, in order, each as
    // "Name=value": numbers as %g, bools as true or false, texts in quotes,
    // blobs as their byte count ("Name=[24]").
    std::vector<std::string> log(const std::vector<std::string>& names) const
    {
        std::vector<std::string> out;
        for (auto& v : module().transmits)
        {
            const auto& info = module().pinInfo(v.pin);
            if (std::find(names.begin(), names.end(), info.name) == names.end())
                continue;
            char b[64];
            switch (info.datatype)
            {
            case gmpi::MP_FLOAT32:
                std::snprintf(b, sizeof b, "%g", static_cast<double>(v.asFloat()));
                break;
            case gmpi::MP_BOOL:
                std::snprintf(b, sizeof b, "%s", v.asBool() ? "true" : "false");
                break;
            case gmpi::MP_BLOB:
                std::snprintf(b, sizeof b, "[%zu]", v.data.size());
                break;
            case gmpi::MP_STRING:
                out.push_back(info.name + "=\"" + gmpi_sdk::toUtf8(v.asText()) + "\"");
                continue;
            default:
                std::snprintf(b, sizeof b, "%d", v.asInt());
            }
            out.push_back(info.name + "=" + b);
        }
        return out;
    }
    // The last value sent on a pin; null when none was.
    const qwhost::GuiValue* last(const std::string& name) const { return module().lastTransmit(pin(name)); }
    // Forgets what was sent so far.
    void clearSent() { module().transmits.clear(); }

private:
    int32_t settled(int32_t r)
    {
        settle();
        return r;
    }
    template <class F> std::vector<DrawCall> recorded(F draw)
    {
        auto* f = view_->factory();
        f->calls().clear();
        f->setRecording(true);
        draw();
        f->setRecording(false);
        return f->calls();
    }
    template <class T> std::vector<T> sentAs(const std::string& name)
    {
        std::vector<T> out;
        for (auto* v : module().transmitsOf(pin(name)))
        {
            if constexpr (std::is_same_v<T, float>)
                out.push_back(v->asFloat());
            else if constexpr (std::is_same_v<T, bool>)
                out.push_back(v->asBool());
            else
                out.push_back(v->asInt());
        }
        return out;
    }

    qwhost::GuiHost host_;
    qwhost::Dialogs dialogs_;
    std::unique_ptr<qwhost::DrawingDesk> desk_;
    std::unique_ptr<qwhost::DrawnView> view_;
};

// The calls of one operation, in order.
inline std::vector<DrawCall> only(const std::vector<DrawCall>& calls, const std::string& op, int target = -1)
{
    std::vector<DrawCall> out;
    for (auto& c : calls)
        if (c.op == op && (target < 0 || c.target == target))
            out.push_back(c);
    return out;
}

// The first numbers of a call (or any list) against hand-worked ones.
inline void expectNear(const std::vector<double>& actual, const std::vector<double>& expected, const std::string& what,
                       double tolerance = 1e-3)
{
    ASSERT_GE(actual.size(), expected.size()) << what;
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << what << ", value " << i;
}

// What a render drew: its calls but the host's own BeginDraw and EndDraw.
inline std::vector<DrawCall> drawn(const std::vector<DrawCall>& calls)
{
    std::vector<DrawCall> out;
    for (auto& c : calls)
        if (c.target != 0 || (c.op != "BeginDraw" && c.op != "EndDraw"))
            out.push_back(c);
    return out;
}

// Every number of every call is finite.
inline bool allFinite(const std::vector<DrawCall>& calls)
{
    for (auto& c : calls)
    {
        for (double v : c.values)
            if (!std::isfinite(v))
                return false;
        for (float v : {c.color.r, c.color.g, c.color.b, c.color.a})
            if (!std::isfinite(v))
                return false;
    }
    return true;
}

// A drawn module drawn to PNG by the command-line host, as a user tries it.
class DrawCommand : public qwtest::CommandTest
{
protected:
    // Draws module `id` of `bundleName` with `more` arguments; its PNG. The
    // command's output stays in `last`.
    qwtest::Png draw(const std::string& id, const std::string& size, std::vector<std::string> more = {},
                     const std::string& bundleName = "panelkit")
    {
        const std::string png = file(id + ".png");
        std::vector<std::string> args = {
            "draw", std::string(QW_BUNDLE_DIR) + "/" + bundleName + ".so", id, "--size", size, "--out", png};
        args.insert(args.end(), more.begin(), more.end());
        last = qwhost(args);
        EXPECT_EQ(last.code, 0) << last.err;
        return qwtest::readPng(png);
    }
    Result last;
};
} // namespace drawntest
