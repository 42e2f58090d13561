// Shape texts: which texts are accepted, and the nodes they give.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qw_shape.h"

namespace
{

struct Accepted
{
    const wchar_t* text;
    std::vector<qw::Shape::Node> nodes;
};

class ShapeTextAccepted : public ::testing::TestWithParam<Accepted>
{};

TEST_P(ShapeTextAccepted, GivesTheNodes)
{
    const Accepted& c = GetParam();
    qw::Shape s;
    s.nodes[0].y = 0.7f; // differs from every expected first node
    EXPECT_TRUE(s.setString(c.text));
    EXPECT_EQ(s.invalid, 0);
    EXPECT_EQ(s.changed, 1);
    ASSERT_EQ(s.count, static_cast<int>(c.nodes.size()));
    for (size_t i = 0; i < c.nodes.size(); ++i)
    {
        EXPECT_FLOAT_EQ(s.nodes[i].x, c.nodes[i].x) << "node " << i;
        EXPECT_FLOAT_EQ(s.nodes[i].y, c.nodes[i].y) << "node " << i;
    }
    EXPECT_EQ(s.nodes[0].x, 0.f);
    EXPECT_EQ(s.nodes[s.count - 1].x, 1.f);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ShapeTextAccepted,
    ::testing::Values(Accepted{L"(-5,0)(5,0)", {{0, 0}, {1, 0}}}, Accepted{L"(-5,-5)(5,5)", {{0, -1}, {1, 1}}},
                      Accepted{L"(-5,2.5)(0,-2.5)(5,5)", {{0, 0.5f}, {0.5f, -0.5f}, {1, 1}}},
                      Accepted{L"(-5,0)(-2.5,1)(2.5,-1)(5,0)", {{0, 0}, {0.25f, 0.2f}, {0.75f, -0.2f}, {1, 0}}},
                      // Trailing characters inside a field are ignored; a field without a number reads 0.
                      Accepted{L"(-5,1abc)(5,0)", {{0, 0.2f}, {1, 0}}}, Accepted{L"(-5,x)(5,2)", {{0, 0}, {1, 0.4f}}},
                      // Leading white space inside a field is skipped; any float notation is read.
                      Accepted{L"(-5, 1)(  5,\t-1)", {{0, 0.2f}, {1, -0.2f}}},
                      Accepted{L"(-5.0,0)(+5,0)", {{0, 0}, {1, 0}}},
                      Accepted{L"(-5e0,0)(0.5e1,25e-1)", {{0, 0}, {1, 0.5f}}},
                      Accepted{L"(-0x1.4p2,0)(5,0)", {{0, 0}, {1, 0}}}));

class ShapeTextRefused : public ::testing::TestWithParam<const wchar_t*>
{};

TEST_P(ShapeTextRefused, KeepsTheNodes)
{
    qw::Shape s(L"(-5,1)(0,2)(5,3)");
    ASSERT_EQ(s.invalid, 0);
    const qw::Shape before = s;
    EXPECT_FALSE(s.setString(GetParam()));
    EXPECT_EQ(s.invalid, 1);
    EXPECT_EQ(s.changed, 0);
    ASSERT_EQ(s.count, before.count);
    for (int i = 0; i < s.count; ++i)
    {
        EXPECT_EQ(s.nodes[i].x, before.nodes[i].x);
        EXPECT_EQ(s.nodes[i].y, before.nodes[i].y);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ShapeTextRefused,
    ::testing::Values(L"", L"(-5,0)(5,0", L"(-5,0)(5)",                              // too short
                      L" (-5,0)(5,0)", L"[-5,0](5,0)",                               // must start with "("
                      L"(-5,0),(5,0)", L"(-5,0) (5,0)",                              // nothing between pairs
                      L"(-5,0)\n(5,0)", L"(-5,0)(5,0)\r",                            // not even a line end
                      L"(-5,0)(5,0)x", L"(-5,0)(5,0)(",                              // trailing text
                      L"(-5,0)(5,0)(5,0)",                                           // repeated X
                      L"(-4.99,0)(5,0)", L"(-5,0)(4.99,0)",                          // first X -5, last X 5 exactly
                      L"(-5,0)(0,0)(0,0)(5,0)",                                      // X must increase
                      L"(-5,0)(1,0)(0,0)(5,0)", L"(-5,0)(6,0)", L"(-5,0)(5,0)(6,0)", // beyond X = 5
                      L"(-5,5.01)(5,0)", L"(-5,-5.01)(5,0)",                         // Y within -5..5
                      L"(-5,0)(5,5.01)", L"(-5,0)(0,-5.01)(5,0)", L"(,0)(5,0)(5,0)", L"(-5,)(5,0)(5,0)", // empty fields
                      L"(-5,0)(,0)(5,0)", L"(-5,0)(0,)(5,0)", L"(-5 0)(5 0)(5 0)",
                      L"(-5,0(5,0(5,0",                                                        // missing delimiters
                      L"(-5,0)(5 0)", L"(-5,0)(5,0 ", L"(-5,nan)(5,0)", L"(-5,0)(nan,0)(5,0)", // not numbers in range
                      L"(-5,0)(5,inf)", L"(nan,0)(5,0)", L"(-5,0)(0,1)(-5,0)(5,0)"));

TEST(ShapeText, TheSameTextTwiceChangesNothingTheSecondTime)
{
    qw::Shape s;
    ASSERT_TRUE(s.setString(L"(-5,1)(5,-1)"));
    s.changed = 0;
    EXPECT_FALSE(s.setString(L"(-5,1)(5,-1)"));
    EXPECT_EQ(s.changed, 0);
    EXPECT_EQ(s.invalid, 0);
    // The default nodes given as text are no change either, but clear invalid.
    qw::Shape d;
    d.invalid = 1;
    EXPECT_FALSE(d.setString(L"(-5,0)(5,0)"));
    EXPECT_EQ(d.invalid, 0);
}

std::wstring pairs(int n, double lastInner)
{
    // n pairs; X of pair k (0-based) rises from -5 in equal steps, and the
    // 100th pair (k = 99) has X = lastInner.
    std::wstring t;
    for (int k = 0; k < n; ++k)
    {
        const double x = k == 0 ? -5.0 : (k == 99 ? lastInner : -5.0 + 9.0 * k / 99.0);
        t += L"(" + std::to_wstring(x) + L"," + std::to_wstring(k % 2 ? 1 : -1) + L")";
    }
    return t;
}

TEST(ShapeText, ReadsAtMostOneHundredNodes)
{
    qw::Shape s;
    EXPECT_TRUE(s.setString(pairs(100, 5.0)));
    EXPECT_EQ(s.count, 100);
    // A 101st pair is never looked at.
    qw::Shape t;
    EXPECT_TRUE(t.setString(pairs(101, 5.0) + L"junk"));
    EXPECT_EQ(t.count, 100);
    EXPECT_EQ(t.nodes[99].x, 1.f);
    EXPECT_FLOAT_EQ(t.nodes[99].y, 0.2f);
    // The 100th node must end at X = 5 even when more pairs follow.
    qw::Shape u;
    EXPECT_FALSE(u.setString(pairs(101, 4.99)));
    EXPECT_EQ(u.invalid, 1);
    EXPECT_EQ(u.count, 2);
}

TEST(ShapeText, ConstructorKeepsTheDefaultOnRefusal)
{
    qw::Shape ok(L"(-5,-5)(5,5)");
    EXPECT_EQ(ok.invalid, 0);
    EXPECT_EQ(ok.changed, 0);
    EXPECT_EQ(ok.itp, 10);
    EXPECT_FLOAT_EQ(ok.nodes[0].y, -1.f);
    EXPECT_FLOAT_EQ(ok.nodes[1].y, 1.f);

    qw::Shape bad(L"(-5,0)");
    EXPECT_EQ(bad.invalid, 1);
    EXPECT_EQ(bad.changed, 0);
    EXPECT_EQ(bad.count, 2);
    EXPECT_EQ(bad.nodes[0].x, 0.f);
    EXPECT_EQ(bad.nodes[1].x, 1.f);
    EXPECT_EQ(bad.nodes[1].y, 0.f);

    qw::Shape none(static_cast<const wchar_t*>(nullptr));
    EXPECT_EQ(none.invalid, 1);
    EXPECT_EQ(none.count, 2);
}

TEST(ShapeText, InterpolationTypeTest)
{
    for (int v = -5; v <= 40; ++v)
        EXPECT_EQ(qw::Shape::isValidItp(v), v == 0 || v == 10 || v == 20 || v == 30) << v;
    EXPECT_FALSE(qw::Shape::isValidItp(1 << 30));
    qw::Shape s;
    EXPECT_FALSE(s.setItp(25));
    EXPECT_FALSE(s.setItp(10));
    EXPECT_EQ(s.changed, 0);
    EXPECT_TRUE(s.setItp(30));
    EXPECT_EQ(s.itp, 30);
    EXPECT_EQ(s.changed, 1);
}

} // namespace
