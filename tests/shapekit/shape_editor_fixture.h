// A shape editor of shapekit on the stand-in, on the manual clock, with its
// drawing calls, its sends, and pointer sequences as table rows.
#pragma once

#include "drawing/drawn_view.h"
#include "qw_shape.h"
#include "run_loop.h"
#include "test_support.h"
#include "ui_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace editortest
{
using qwhost::drawing::DrawCall;
using qwtest::b8;
using qwtest::Bytes;
using qwtest::f32;
using qwtest::i32;

constexpr int32_t kLeft = 0x10;
constexpr int32_t kFine = 0x20000;

inline Bytes blobOf(const wchar_t* text)
{
    qw::Shape s(text);
    EXPECT_EQ(s.invalid, 0) << "not a shape text";
    const auto* p = static_cast<const uint8_t*>(s.blobData());
    return Bytes(p, p + s.blobSize());
}

// A blob of nodes given in shape units.
inline Bytes blobOfNodes(const std::vector<qw::Shape::Node>& nodes)
{
    Bytes b(8 + 8 * nodes.size());
    const uint32_t magic = qw::Shape::kMagic;
    const int32_t n = static_cast<int32_t>(nodes.size());
    std::memcpy(b.data(), &magic, 4);
    std::memcpy(b.data() + 4, &n, 4);
    if (n)
        std::memcpy(b.data() + 8, nodes.data(), 8 * nodes.size());
    return b;
}

inline std::vector<qw::Shape::Node> nodesOf(const Bytes& blob)
{
    std::vector<qw::Shape::Node> out;
    if (blob.size() < 8)
        return out;
    out.resize((blob.size() - 8) / 8);
    std::memcpy(out.data(), blob.data() + 8, 8 * out.size());
    return out;
}

inline const char* echoName(qwhost::Echo e)
{
    return e == qwhost::Echo::Inside ? "echo inside" : e == qwhost::Echo::Later ? "echo later" : "no echo";
}

// Mapping of a W x H editor with margin f, worked out from the layout rule:
// inner size (1 - 2f) W - 1, margins f W and f H, y = 1 at the top margin.
struct Mapping
{
    float w, h, l, t;
    Mapping(float W, float H, float f) : w((1 - f - f) * W - 1), h((1 - f - f) * H - 1), l(f * W), t(f * H) {}
    float px(float x) const { return w * x + l; }
    float py(float y) const { return -0.5f * h * y + t + 0.5f * h; }
    float ux(float p) const { return (1.0f / w) * p + (-l * (1.0f / w)); }
    float uy(float p) const { return (-2.0f / h) * p + (1.0f - (-2.0f / h) * t); }
};

class Editor
{
public:
    explicit Editor(const wchar_t* id = L"QW_ShapeEditor6", qwhost::Echo echo = qwhost::Echo::None)
    {
        qwhost::RunLoop::useManualClock(5000.0);
        host_.echo = echo;
        desk_ = std::make_unique<qwhost::DrawingDesk>(host_);
        view_ = std::make_unique<qwhost::DrawnView>(*desk_, qwtest::bundle("shapekit"), id);
    }
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    qwhost::GuiModule& module() const { return view_->module(); }
    qwhost::DrawnView& view() const { return *view_; }
    qwhost::GraphicsHost& graphicsHost() const { return view_->graphicsHost(); }
    int pin(const std::string& name) const { return module().pin(name); }

    void set(const std::string& name, const Bytes& v)
    {
        module().set(pin(name), v.data(), static_cast<int>(v.size()));
        module().deliverEchoes();
    }
    void setFloat(const std::string& name, float v) { set(name, f32(v)); }
    void setInt(const std::string& name, int32_t v) { set(name, i32(v)); }
    void setBool(const std::string& name, bool v) { set(name, b8(v)); }
    void setText(const std::string& name, const std::wstring& v) { set(name, qwtest::text(v)); }
    void setShape(const wchar_t* text) { set("Shape", blobOf(text)); }
    void trigger(const std::string& name)
    {
        setBool(name, true);
        setBool(name, false);
    }

    int32_t down(float x, float y, int32_t flags = kLeft) { return settled(view_->pointerDown(flags, {x, y})); }
    int32_t move(float x, float y, int32_t flags = kLeft) { return settled(view_->pointerMove(flags, {x, y})); }
    int32_t up(float x, float y, int32_t flags = kLeft) { return settled(view_->pointerUp(flags, {x, y})); }
    static void wait(double ms) { qwhost::RunLoop::current().advance(ms); }

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

    // Both layers built anew (a size change drops them): every call of a full drawing.
    std::vector<DrawCall> renderAll(int w, int h)
    {
        render(w, h + 1);
        return render(w, h);
    }

    // The values sent since the last clear, in order.
    std::vector<qwtest::UiSent> sent() const
    {
        std::vector<qwtest::UiSent> out;
        for (auto& t : module().transmits)
            out.push_back({t.pin, t.data, t.voice});
        return out;
    }
    // The nodes of the last shape sent; empty when none was.
    std::vector<qw::Shape::Node> lastShape() const
    {
        auto* v = module().lastTransmit(pin("Shape"));
        return v ? nodesOf(v->data) : std::vector<qw::Shape::Node>{};
    }
    const qwhost::GuiValue* last(const std::string& name) const { return module().lastTransmit(pin(name)); }
    void clearSent() { module().transmits.clear(); }

private:
    int32_t settled(int32_t r)
    {
        module().deliverEchoes();
        return r;
    }

    qwhost::GuiHost host_;
    std::unique_ptr<qwhost::DrawingDesk> desk_;
    std::unique_ptr<qwhost::DrawnView> view_;
};

inline std::vector<DrawCall> only(const std::vector<DrawCall>& calls, const std::string& op, int target = -1)
{
    std::vector<DrawCall> out;
    for (auto& c : calls)
        if (c.op == op && (target < 0 || c.target == target))
            out.push_back(c);
    return out;
}

// Centres of the square outline nodes drawn (rectangle of side `side` from c - r).
inline std::vector<std::pair<double, double>> squareCentres(const std::vector<DrawCall>& calls, double r)
{
    std::vector<std::pair<double, double>> out;
    for (auto& c : only(calls, "DrawRectangle"))
        out.push_back({c.values[0] + r, c.values[1] + r});
    return out;
}
} // namespace editortest
