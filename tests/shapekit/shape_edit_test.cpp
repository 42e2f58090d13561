// Editing operations: node insertion, morphing, moving a node along x.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "qw_shape.h"

namespace
{

using Node = qw::Shape::Node;

qw::Shape make(const std::vector<Node>& nodes)
{
    qw::Shape s;
    s._importNodes(nodes.data(), static_cast<int>(nodes.size()));
    s.changed = 0;
    return s;
}

void expectNodes(const qw::Shape& s, const std::vector<Node>& nodes)
{
    ASSERT_EQ(s.count, static_cast<int>(nodes.size()));
    for (size_t i = 0; i < nodes.size(); ++i)
    {
        EXPECT_FLOAT_EQ(s.nodes[i].x, nodes[i].x) << "node " << i;
        EXPECT_FLOAT_EQ(s.nodes[i].y, nodes[i].y) << "node " << i;
    }
}

TEST(ShapeAddNode, InsertsInOrderAndClampsY)
{
    qw::Shape s = make({{0, 0}, {0.25f, 1}, {0.75f, -1}, {1, 0}});
    EXPECT_EQ(s.addNode({0.5f, 3.f}), 2);
    EXPECT_EQ(s.changed, 1);
    expectNodes(s, {{0, 0}, {0.25f, 1}, {0.5f, 1}, {0.75f, -1}, {1, 0}});
    EXPECT_EQ(s.addNode({0.1f, -0.5f}), 1);
    EXPECT_EQ(s.addNode({0.9f, -7.f}), 5);
    EXPECT_EQ(s.count, 7);
    EXPECT_FLOAT_EQ(s.nodes[5].y, -1.f);
    EXPECT_EQ(s.nodes[6].x, 1.f);
    // x is stored on the grid of x + 1.
    EXPECT_EQ(s.nodes[1].x, (0.1f + 1.f) - 1.f);
}

TEST(ShapeAddNode, RefusesWithoutChange)
{
    struct Case
    {
        float x, y;
    };
    const Case refused[] = {{0.f, 0.f},  {1.f, 0.f},   {-0.1f, 0.f},
                            {1.5f, 0.f}, {0.25f, 0.f}, {0.25f + 1e-8f, 0.f}, // falls on the same x + 1 as node 1
                            {NAN, 0.f},  {0.5f, NAN}};
    for (const Case& c : refused)
    {
        qw::Shape s = make({{0, 0}, {0.25f, 1}, {1, 0}});
        EXPECT_EQ(s.addNode({c.x, c.y}), -1) << c.x << " " << c.y;
        EXPECT_EQ(s.count, 3);
        EXPECT_EQ(s.changed, 0);
    }
    qw::Shape full;
    std::vector<Node> hundred;
    for (int i = 0; i < 100; ++i)
        hundred.push_back({i / 99.f, 0.f});
    hundred.back().x = 1.f;
    full = make(hundred);
    EXPECT_EQ(full.addNode({0.005f, 0.f}), -1);
    EXPECT_EQ(full.count, 100);
}

TEST(ShapeMorph, ZeroOrInvalidAmountChangesNothing)
{
    qw::Shape a = make({{0, 0}, {1, 0}});
    const qw::Shape b = make({{0, 1}, {0.5f, -1}, {1, 1}});
    for (float t : {0.f, -0.5f, NAN})
    {
        EXPECT_FALSE(a.morphWith(b, t));
        EXPECT_EQ(a.count, 2);
        EXPECT_EQ(a.changed, 0);
    }
}

TEST(ShapeMorph, FullAmountBetweenEqualCountsGivesTheOther)
{
    qw::Shape a = make({{0, 0}, {0.25f, 1}, {0.5f, -1}, {1, 0}});
    const qw::Shape b = make({{0, 1}, {0.5f, 0.5f}, {0.75f, -0.5f}, {1, -1}});
    EXPECT_TRUE(a.morphWith(b, 1.f));
    EXPECT_EQ(a.changed, 1);
    expectNodes(a, {{0, 1}, {0.5f, 0.5f}, {0.75f, -0.5f}, {1, -1}});
    // More than 1 counts as 1; once there, nothing changes any more.
    a.changed = 0;
    EXPECT_FALSE(a.morphWith(b, 4.f));
    EXPECT_EQ(a.changed, 0);
}

TEST(ShapeMorph, HalfWayBetweenEqualCounts)
{
    qw::Shape a = make({{0, 0}, {0.25f, 1}, {1, 0}});
    const qw::Shape b = make({{0, 1}, {0.75f, -1}, {1, 1}});
    EXPECT_TRUE(a.morphWith(b, 0.5f));
    expectNodes(a, {{0, 0.5f}, {0.5f, 0.f}, {1, 0.5f}});
}

TEST(ShapeMorph, TheShapeWithMoreNodesLeads)
{
    // This shape has 2 nodes, the other 4: inner node i of the other pairs with
    // node (i * 2) / 4 of this one: 1 -> 0 and 2 -> 1.
    qw::Shape a = make({{0, 1}, {1, 1}});
    const qw::Shape b = make({{0, 0}, {0.25f, 1}, {0.75f, -1}, {1, 0}});
    EXPECT_TRUE(a.morphWith(b, 0.5f));
    expectNodes(a, {{0, 0.5f}, {0.125f, 1.f}, {0.875f, 0.f}, {1, 0.5f}});
    // Weights stay with their shapes: a quarter of the way towards b.
    qw::Shape c = make({{0, 1}, {1, 1}});
    EXPECT_TRUE(c.morphWith(b, 0.25f));
    expectNodes(c, {{0, 0.75f}, {0.0625f, 1.f}, {0.9375f, 0.5f}, {1, 0.75f}});
}

TEST(ShapeMorph, NodesWhoseXDoesNotIncreaseAreDropped)
{
    // Node x out of order can only come from a blob.
    qw::Shape a = make({{0, 0}, {0.5f, 1}, {0.25f, 1}, {1, 0}});
    const qw::Shape b = make({{0, 0}, {0.25f, 0}, {0.5f, 0}, {1, 0}});
    EXPECT_TRUE(a.morphWith(b, 0.5f));
    expectNodes(a, {{0, 0}, {0.375f, 0.5f}, {1, 0}});
}

TEST(ShapeMorph, AnInnerNodeThatReachesOneEndsTheShape)
{
    qw::Shape a = make({{0, 0}, {0.5f, 1}, {2.f, -1}, {3.f, 0.5f}, {1, 0}});
    const qw::Shape b = make({{0, 0}, {1, 0}});
    EXPECT_TRUE(a.morphWith(b, 0.5f));
    // j = (i * 2) / 5: nodes 1 and 2 pair with b's node 0 (x = 0).
    expectNodes(a, {{0, 0}, {0.25f, 0.5f}, {1.f, -0.5f}});
}

TEST(ShapeMorph, BetweenEqualCountsAnInnerNodeThatReachesOneEndsTheShape)
{
    // Half way, node by node: x = (xa + xb) / 2, y = (ya + yb) / 2. Inner node
    // 2 lands on x = 1 (exactly, or past it) and becomes the last node; the
    // nodes after it, though they rise further, are not taken.
    struct Case
    {
        const char* what;
        std::vector<Node> a, b, expected;
    };
    const Case cases[] = {
        {"past one",
         {{0, 0}, {0.5f, 1}, {2.f, -1}, {3.f, 0.5f}, {1, 0}},
         {{0, 0}, {0.25f, 0}, {0.5f, 0}, {0.75f, 0}, {1, 0}},
         {{0, 0}, {0.375f, 0.5f}, {1.f, -0.5f}}},
        {"exactly one",
         {{0, 0}, {0.5f, 1}, {1.f, -1}, {1, 0}},
         {{0, 0}, {0.25f, 0}, {1.f, 1}, {1, 0}},
         {{0, 0}, {0.375f, 0.5f}, {1.f, 0.f}}},
        {"just below one",
         {{0, 0}, {0.5f, 1}, {0.875f, -1}, {1, 0}},
         {{0, 0}, {0.25f, 0}, {0.875f, 1}, {1, 1}},
         {{0, 0}, {0.375f, 0.5f}, {0.875f, 0.f}, {1.f, 0.5f}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        qw::Shape a = make(c.a);
        EXPECT_TRUE(a.morphWith(make(c.b), 0.5f));
        expectNodes(a, c.expected);
    }
}

TEST(ShapeSetNodeX, StaysBetweenTheNeighbours)
{
    qw::Shape s = make({{0, 0}, {0.25f, 0}, {0.5f, 0}, {1, 0}});
    EXPECT_TRUE(s.setNodeX(1, 0.375f));
    EXPECT_EQ(s.nodes[1].x, 0.375f);
    EXPECT_EQ(s.changed, 1);
    EXPECT_TRUE(s.setNodeX(1, 0.9f));
    EXPECT_EQ(s.nodes[1].x, std::nextafter(1.5f, 0.f) - 1.f);
    EXPECT_LT(s.nodes[1].x, s.nodes[2].x);
    EXPECT_TRUE(s.setNodeX(1, -3.f));
    EXPECT_EQ(s.nodes[1].x, std::nextafter(1.f, 2.f) - 1.f);
    EXPECT_GT(s.nodes[1].x, 0.f);
    s.changed = 0;
    EXPECT_FALSE(s.setNodeX(0, 0.1f));
    EXPECT_FALSE(s.setNodeX(3, 0.7f));
    EXPECT_FALSE(s.setNodeX(1, NAN));
    EXPECT_EQ(s.nodes[0].x, 0.f);
    EXPECT_EQ(s.nodes[3].x, 1.f);
    EXPECT_EQ(s.changed, 0);
}

} // namespace
