// Shape editors of shapekit on the drawn-module fixture: shapes as blobs, the
// layout's mapping between shape units and pixels, the nodes drawn.
#pragma once

#include "drawn_fixture.h"
#include "qw_shape.h"

#include <cstring>
#include <string>
#include <vector>

namespace editortest
{
using namespace drawntest;
using qwtest::b8;
using qwtest::f32;
using qwtest::i32;

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

// A shape editor of shapekit, on the manual clock.
class Editor : public drawntest::Drawn
{
public:
    explicit Editor(const wchar_t* id = L"QW_ShapeEditor6", qwhost::Echo echo = qwhost::Echo::None)
        : Drawn(onManualClock(id), echo, true, "shapekit")
    {}

    void setShape(const wchar_t* text) { set("Shape", blobOf(text)); }
    // The nodes of the last shape sent; empty when none was.
    std::vector<qw::Shape::Node> lastShape() const
    {
        auto* v = last("Shape");
        return v ? nodesOf(v->data) : std::vector<qw::Shape::Node>{};
    }

private:
    static const wchar_t* onManualClock(const wchar_t* id)
    {
        qwhost::RunLoop::useManualClock(5000.0);
        return id;
    }
};

// Centres of the square outline nodes drawn (rectangle of side `side` from c - r).
inline std::vector<std::pair<double, double>> squareCentres(const std::vector<DrawCall>& calls, double r)
{
    std::vector<std::pair<double, double>> out;
    for (auto& c : only(calls, "DrawRectangle"))
        out.push_back({c.values[0] + r, c.values[1] + r});
    return out;
}
} // namespace editortest
