// One drawn control (of panelkit, unless told) on the stand-in, with the host's echo set as
// a test asks, and the drawing calls of its renders.
#pragma once

#include "dialogs.h"
#include "drawing/drawn_view.h"
#include "run_loop.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace controls_test
{
using qwhost::drawing::DrawCall;

constexpr int32_t kLeft = 0x10;    // left button
constexpr int32_t kFine = 0x20000; // fine-adjustment modifier
constexpr int32_t kLeftFine = kLeft | kFine;

// sRGB code to linear light, worked out here rather than taken from the framework.
inline float linear(int code)
{
    const double x = code / 255.0;
    return static_cast<float>(x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4));
}

inline const char* echoName(qwhost::Echo e)
{
    return e == qwhost::Echo::Inside ? "EchoInside" : e == qwhost::Echo::Later ? "EchoLater" : "NoEcho";
}

class Control
{
public:
    // Without `start` the host sets no pin defaults and does not initialize.
    Control(const wchar_t* id, qwhost::Echo echo = qwhost::Echo::None, bool start = true,
            const char* bundleName = "panelkit")
    {
        host_.echo = echo;
        host_.resourceFolder = std::string(QW_SOURCE_DIR) + "/tests/fixtures/skin"; // the test skin
        desk_ = std::make_unique<qwhost::DrawingDesk>(host_);
        desk_->dialogs = &dialogs_;
        view_ = std::make_unique<qwhost::DrawnView>(*desk_, qwtest::bundle(bundleName), id, start);
    }
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    qwhost::GuiModule& module() const { return view_->module(); }
    qwhost::DrawnView& view() const { return *view_; }
    qwhost::GraphicsHost& graphicsHost() const { return view_->graphicsHost(); }
    qwhost::Dialogs& dialogs() { return dialogs_; }
    int pin(const std::string& name) const { return module().pin(name); }

    // Host values, with any echoes held back delivered.
    void setFloat(const std::string& name, float v) { module().setFloat(pin(name), v), settle(); }
    void setInt(const std::string& name, int32_t v) { module().setInt(pin(name), v), settle(); }
    void setBool(const std::string& name, bool v) { module().setBool(pin(name), v), settle(); }
    void setText(const std::string& name, const std::wstring& v) { module().setText(pin(name), v), settle(); }

    // Pointer events; echoes the host held back arrive right after each.
    int32_t down(float x, float y, int32_t flags = kLeft) { return settled(view_->pointerDown(flags, {x, y})); }
    int32_t move(float x, float y, int32_t flags = kLeft) { return settled(view_->pointerMove(flags, {x, y})); }
    int32_t up(float x, float y, int32_t flags = kLeft) { return settled(view_->pointerUp(flags, {x, y})); }
    void settle() { module().deliverEchoes(); }

    // Lays out at (0, 0, w, h) and draws; the calls of that render.
    std::vector<DrawCall> render(int w, int h)
    {
        auto* f = view_->factory();
        f->calls().clear();
        f->setRecording(true);
        view_->layOutAndRender(w, h);
        f->setRecording(false);
        return f->calls();
    }
    // Draws at the size last arranged into a bitmap of w x h.
    std::vector<DrawCall> renderOnly(int w, int h)
    {
        auto* f = view_->factory();
        f->calls().clear();
        f->setRecording(true);
        view_->render(w, h);
        f->setRecording(false);
        return f->calls();
    }

    // Values sent on a pin since the module was made or clearSent, in order.
    std::vector<float> sentFloats(const std::string& name) { return sent<float>(name); }
    std::vector<int32_t> sentInts(const std::string& name) { return sent<int32_t>(name); }
    std::vector<bool> sentBools(const std::string& name) { return sent<bool>(name); }
    std::vector<std::wstring> sentTexts(const std::string& name)
    {
        std::vector<std::wstring> out;
        for (auto* v : module().transmitsOf(pin(name)))
            out.push_back(v->asText());
        return out;
    }
    // Forgets what was sent so far.
    void clearSent() { module().transmits.clear(); }

private:
    int32_t settled(int32_t r)
    {
        settle();
        return r;
    }
    template <class T> std::vector<T> sent(const std::string& name)
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

// Echo settings a control is tested under.
inline std::vector<qwhost::Echo> allEchoes()
{
    return {qwhost::Echo::Inside, qwhost::Echo::Later, qwhost::Echo::None};
}
} // namespace controls_test
