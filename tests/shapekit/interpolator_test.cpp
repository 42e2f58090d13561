// Rendering shapes into tables, checked against curves worked out here in
// double precision.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "qw_shape.h"

namespace
{

using Node = qw::Shape::Node;
using Curve = std::function<double(double)>;

qw::Shape make(const std::vector<Node>& nodes, int itp)
{
    qw::Shape s;
    s._importNodes(nodes.data(), static_cast<int>(nodes.size()));
    s.itp = itp;
    return s;
}

// A shape as a blob carries node values that no text could give.
qw::Shape fromBlob(const std::vector<Node>& nodes, int itp)
{
    std::vector<uint8_t> b(8 + 8 * nodes.size());
    const uint32_t magic = 0x53484150;
    const int32_t n = static_cast<int32_t>(nodes.size());
    std::memcpy(b.data(), &magic, 4);
    std::memcpy(b.data() + 4, &n, 4);
    std::memcpy(b.data() + 8, nodes.data(), 8 * nodes.size());
    qw::Shape s(b.size(), b.data());
    EXPECT_EQ(s.invalid, 0);
    s.itp = itp;
    return s;
}

// Every entry against the curve where the renderer samples it: at positions
// that advance by repeated float addition of 1 / (N - 1). A position at or past
// the last node holds the last node's y; the last entry is that y exactly.
void expectTable(const qw::Shape::Interpolator& in, const Curve& f, double tol)
{
    ASSERT_EQ(static_cast<int>(in.table.size()), in.N + 1);
    const float step = 1.f / static_cast<float>(in.N - 1);
    const Node end = in.shape.nodes[in.shape.count - 1];
    float pos = 0.f;
    for (int i = 0; i < in.N - 1; ++i, pos += step)
    {
        const double expected = pos >= end.x ? end.y : f(pos);
        ASSERT_NEAR(in.table[i], expected, tol) << "entry " << i << " of " << in.N;
    }
    EXPECT_EQ(in.table[in.N - 1], end.y);
    EXPECT_EQ(in.table[in.N], 0.f); // the spare entry
}

int segmentOf(const std::vector<Node>& p, double x)
{
    int k = 0;
    while (k + 2 < static_cast<int>(p.size()) && x >= p[k + 1].x)
        ++k;
    return k;
}

Curve linearCurve(std::vector<Node> p)
{
    return [p](double x) {
        const int k = segmentOf(p, x);
        const double t = (x - p[k].x) / (p[k + 1].x - p[k].x);
        return (1 - t) * p[k].y + t * p[k + 1].y;
    };
}

// Local cubic: slopes are the secants through the neighbours; inner segments
// are Hermite cubics, the first and last segments parabolas that take the
// slope at their inner end.
Curve localSplineCurve(std::vector<Node> p)
{
    return [p](double x) {
        const int n = static_cast<int>(p.size());
        auto slope = [&](int k) { return (double(p[k + 1].y) - p[k - 1].y) / (double(p[k + 1].x) - p[k - 1].x); };
        const int k = segmentOf(p, x);
        const double x0 = p[k].x, x1 = p[k + 1].x, y0 = p[k].y, y1 = p[k + 1].y, h = x1 - x0;
        if (k == 0)
        {
            const double m = slope(1), a = (y0 - y1 + m * h) / (h * h);
            return y1 + m * (x - x1) + a * (x - x1) * (x - x1);
        }
        if (k == n - 2)
        {
            const double m = slope(k), a = (y1 - y0 - m * h) / (h * h);
            return y0 + m * (x - x0) + a * (x - x0) * (x - x0);
        }
        const double s = (x - x0) / h, s2 = s * s, s3 = s2 * s;
        return (2 * s3 - 3 * s2 + 1) * y0 + (s3 - 2 * s2 + s) * h * slope(k) + (-2 * s3 + 3 * s2) * y1 +
               (s3 - s2) * h * slope(k + 1);
    };
}

// Cubic spline through the nodes and a virtual node (0, 0) placed after the
// last one, with zero second derivative at node 0 and at the virtual node:
// the tridiagonal system for the quadratic coefficients c_1 .. c_m, solved by
// Gaussian elimination with partial pivoting.
Curve naturalSplineCurve(std::vector<Node> p)
{
    const int m = static_cast<int>(p.size()) - 1;
    std::vector<double> X(m + 2), Y(m + 2), h(m + 1);
    for (int i = 0; i <= m; ++i)
        X[i] = p[i].x, Y[i] = p[i].y;
    X[m + 1] = 0, Y[m + 1] = 0;
    for (int i = 0; i <= m; ++i)
        h[i] = X[i + 1] - X[i];
    // Unknowns c_1 .. c_m at columns 0 .. m-1; c_0 = c_(m+1) = 0.
    std::vector<std::vector<double>> A(m, std::vector<double>(m + 1, 0.0));
    for (int i = 1; i <= m; ++i)
    {
        auto& row = A[i - 1];
        if (i > 1)
            row[i - 2] = h[i - 1];
        row[i - 1] = 2 * (h[i - 1] + h[i]);
        if (i < m)
            row[i] = h[i];
        row[m] = 3 * ((Y[i + 1] - Y[i]) / h[i] - (Y[i] - Y[i - 1]) / h[i - 1]);
    }
    for (int col = 0; col < m; ++col)
    {
        int pivot = col;
        for (int r = col + 1; r < m; ++r)
            if (std::fabs(A[r][col]) > std::fabs(A[pivot][col]))
                pivot = r;
        std::swap(A[col], A[pivot]);
        for (int r = col + 1; r < m; ++r)
        {
            const double f = A[r][col] / A[col][col];
            for (int k = col; k <= m; ++k)
                A[r][k] -= f * A[col][k];
        }
    }
    std::vector<double> c(m + 2, 0.0);
    for (int r = m - 1; r >= 0; --r)
    {
        double s = A[r][m];
        for (int k = r + 1; k < m; ++k)
            s -= A[r][k] * c[k + 1];
        c[r + 1] = s / A[r][r];
    }
    std::vector<double> b(m), d(m);
    for (int j = 0; j < m; ++j)
    {
        b[j] = (Y[j + 1] - Y[j]) / h[j] - h[j] * (2 * c[j] + c[j + 1]) / 3;
        d[j] = (c[j + 1] - c[j]) / (3 * h[j]);
    }
    return [p, b, c, d](double x) {
        const int k = segmentOf(p, x);
        const double t = x - p[k].x;
        return p[k].y + b[k] * t + c[k] * t * t + d[k] * t * t * t;
    };
}

qw::Shape::Interpolator rendered(const qw::Shape& s, int n)
{
    qw::Shape::Interpolator in(s, n);
    EXPECT_TRUE(in.render());
    EXPECT_EQ(in.renderedN, n);
    return in;
}

const std::vector<Node> kFour = {{0, 0.5f}, {0.25f, 1}, {0.625f, -0.75f}, {1, 0.25f}};
const std::vector<Node> kSix = {{0, -1}, {0.1f, 0.3f}, {0.3f, 0.9f}, {0.45f, -0.2f}, {0.8f, -0.6f}, {1, 1}};

TEST(Interpolator, Linear)
{
    expectTable(rendered(make(kFour, 10), 101), linearCurve(kFour), 5e-6);
    expectTable(rendered(make(kSix, 10), 64), linearCurve(kSix), 5e-6);
    expectTable(rendered(make({{0, -1}, {1, 1}}, 10), 16), linearCurve({{0, -1}, {1, 1}}), 1e-6);
}

TEST(Interpolator, LinearOnALargeTableLeavesNothingOfAnEarlierShape)
{
    const int n = 200001;
    qw::Shape::Interpolator in(make({{0, -1}, {1, -1}}, 10), n);
    ASSERT_TRUE(in.render());
    const qw::Shape ramp(L"(-5,-5)(5,5)");
    ASSERT_TRUE(in.shape._importNodes(ramp.nodes, ramp.count));
    in.shape.changed = 1;
    ASSERT_TRUE(in.render());
    // The position, accumulated in floats, reaches 1 a few hundred entries
    // early on so large a table; those entries hold the last value. The values
    // too are accumulated, and drift by some 1e-4 over the table.
    expectTable(
        in, [](double x) { return 2 * x - 1; }, 1e-3);
    EXPECT_EQ(in.table[n - 100], 1.f);
}

TEST(Interpolator, LocalSplines)
{
    expectTable(rendered(make(kFour, 20), 101), localSplineCurve(kFour), 1e-5);
    expectTable(rendered(make(kSix, 20), 257), localSplineCurve(kSix), 1e-5);
    const std::vector<Node> three = {{0, 0}, {0.4f, 1}, {1, -0.5f}}; // two parabolas sharing one slope
    expectTable(rendered(make(three, 20), 33), localSplineCurve(three), 1e-5);
}

TEST(Interpolator, NaturalSplines)
{
    expectTable(rendered(make(kFour, 30), 101), naturalSplineCurve(kFour), 1e-5);
    expectTable(rendered(make(kSix, 30), 257), naturalSplineCurve(kSix), 1e-5);
    const std::vector<Node> three = {{0, 0}, {0.4f, 1}, {1, -0.5f}};
    expectTable(rendered(make(three, 30), 33), naturalSplineCurve(three), 1e-5);
}

TEST(Interpolator, NaturalSplinesThroughManyNodes)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> y(-1.f, 1.f);
    std::vector<Node> nodes;
    for (int i = 0; i < 100; ++i)
        nodes.push_back({i / 99.f, y(rng)});
    nodes.back().x = 1.f;
    const Curve f = naturalSplineCurve(nodes);
    const qw::Shape::Interpolator in = rendered(make(nodes, 30), 991);
    expectTable(in, f, 1e-5);
}

TEST(Interpolator, SplinesOfTwoNodesAreLines)
{
    const std::vector<Node> two = {{0, 0.75f}, {1, -0.5f}};
    const qw::Shape::Interpolator line = rendered(make(two, 10), 50);
    for (int itp : {20, 30})
    {
        const qw::Shape::Interpolator s = rendered(make(two, itp), 50);
        EXPECT_EQ(s.table, line.table) << itp;
    }
}

TEST(Interpolator, Spikes)
{
    // 17 entries, one per 1/16: nodes on entries give their whole y to that
    // entry, nodes half way share it; entries 0 and 16 hold the end nodes.
    const std::vector<Node> nodes = {{0, 0.5f},        {0.03125f, 0.8f}, {0.25f, 1},
                                     {0.40625f, -1.f}, {0.96875f, 0.6f}, {1, -0.25f}};
    const qw::Shape::Interpolator in = rendered(make(nodes, 0), 17);
    const std::vector<float> expected = {0.5f, 0.4f, 0, 0, 1, 0, -0.5f, -0.5f, 0, 0, 0, 0, 0, 0, 0, 0.3f, -0.25f, 0};
    ASSERT_EQ(in.table.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_FLOAT_EQ(in.table[i], expected[i]) << "entry " << i;
}

TEST(Interpolator, RendersOnlyWhenSomethingChanged)
{
    qw::Shape::Interpolator in(make(kFour, 10), 32);
    EXPECT_TRUE(in.render());
    EXPECT_EQ(in.renderedN, 32);
    EXPECT_EQ(in.shape.changed, 0);
    EXPECT_FALSE(in.render());
    in.shape.addNode({0.5f, 0.f});
    EXPECT_TRUE(in.render());
    EXPECT_FALSE(in.render());
    EXPECT_TRUE(in.shape.setItp(30));
    EXPECT_TRUE(in.render());
    EXPECT_EQ(in.shape.changed, 0);

    // An unchanged default shape still renders once.
    qw::Shape::Interpolator def(qw::Shape(), 16);
    EXPECT_EQ(def.shape.changed, 0);
    EXPECT_TRUE(def.render());
    EXPECT_FALSE(def.render());
}

TEST(Interpolator, SmallTablesAreNeverDrawn)
{
    qw::Shape::Interpolator in(make(kFour, 10), 15);
    EXPECT_EQ(in.N, 15);
    EXPECT_FLOAT_EQ(in.invN, 1.f / 15.f);
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_TRUE(in.render());
        EXPECT_EQ(in.renderedN, 0);
    }
    for (float v : in.table)
        EXPECT_EQ(v, 0.f);

    qw::Shape::Interpolator none(make(kFour, 10), -3);
    EXPECT_EQ(none.N, 0);
    EXPECT_TRUE(none.table.empty());
    EXPECT_EQ(none.invN, 0.f);
    EXPECT_TRUE(none.render());
    EXPECT_EQ(none.readNext(), 0.f);
    qw::Shape::Interpolator empty;
    EXPECT_EQ(empty.N, 0);
    EXPECT_TRUE(empty.render());
}

TEST(Interpolator, UnknownTypeDrawsNothingButCountsAsRendered)
{
    qw::Shape s = make(kFour, 10);
    s.itp = 25;
    qw::Shape::Interpolator in(s, 32);
    EXPECT_TRUE(in.render());
    EXPECT_EQ(in.renderedN, 32);
    EXPECT_FALSE(in.render());
    for (float v : in.table)
        EXPECT_EQ(v, 0.f);
}

TEST(Interpolator, ReadCursor)
{
    qw::Shape::Interpolator in(make(kSix, 20), 40);
    in.render();
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(in.readNext(), in.table[i]) << i;
    EXPECT_EQ(in.readNext(), 0.f);
    EXPECT_EQ(in.readNext(), 0.f);
    EXPECT_FALSE(in.render()); // nothing to draw, but the cursor starts again
    EXPECT_EQ(in.readNext(), in.table[0]);
    EXPECT_EQ(in.readNext(), in.table[1]);
}

TEST(Interpolator, ConstructorSizesTheTable)
{
    qw::Shape::Interpolator in(100);
    EXPECT_EQ(in.N, 100);
    EXPECT_EQ(in.renderedN, 0);
    EXPECT_EQ(in.table.size(), 101u);
    EXPECT_FLOAT_EQ(in.invN, 0.01f);
    EXPECT_EQ(in.level.type, qw::LevelScale::kLinear);
    EXPECT_EQ(in.level.floorDb, -60.f);
    EXPECT_EQ(in.level.upper, 1.f);
    EXPECT_TRUE(in.render()); // the default line y = 0
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(in.table[i], 0.f);
}

TEST(Interpolator, EntriesPastTheLastNodeHoldItsValue)
{
    // A blob may end before x = 1.
    qw::Shape::Interpolator in(make({{0, -1}, {1, -1}}, 10), 101);
    in.render();
    in.shape = fromBlob({{0, 0}, {0.5f, 1}}, 10);
    in.shape.changed = 1;
    ASSERT_TRUE(in.render());
    for (int i = 0; i < 101; ++i)
        ASSERT_NEAR(in.table[i], i <= 50 ? i / 50.0 : 1.0, 1e-5) << i;
}

TEST(Interpolator, OddBlobNodesGiveFiniteTables)
{
    const std::vector<std::vector<Node>> blobs = {
        {{0, 0}, {0.5f, 1}, {0.5f, -1}, {1, 0}}, // repeated x
        {{0, 0}, {0.7f, 1}, {0.3f, -1}, {1, 0}}, // decreasing x
        {{-1, 0}, {2, 1}},                       // beyond the unit square
        {{0.5f, 1}, {0.5f, -1}, {0.5f, 1}},      // nothing but repeats
        {{0, 0}, {0.25f, 5}, {0.5f, -7}, {-3, 2}, {1, 0}},
        {{0, 0}, {1e30f, 1}, {-1e30f, 1}, {1, 0}},
        {{0, 0}, {1e-38f, 1}, {2e-38f, -1}, {1, 0}}, // steps too small to divide by
        {{0, 0}, {0.5f, NAN}, {1, 0}},
        {{0, 0}, {0.5f, 3e38f}, {0.75f, -3e38f}, {1, 0}},
    };
    for (const auto& b : blobs)
    {
        for (int itp : {0, 10, 20, 30})
        {
            qw::Shape::Interpolator in(fromBlob(b, itp), 64);
            in.render();
            for (int i = 0; i < 64; ++i)
                ASSERT_TRUE(std::isfinite(in.table[i])) << "type " << itp << " entry " << i;
            EXPECT_EQ(in.table[64], 0.f);
        }
    }
}

} // namespace
