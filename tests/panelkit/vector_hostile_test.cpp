// What hostile input gets from the vector knobs, the joystick and the function
// plot: float pins at NaN, infinities and extremes, sizes of nothing and one
// pixel, pointer points that are not numbers, long and malformed formulas and
// image names that load nothing. No crash, no hang, nothing that is not a
// number drawn or written.
#include "drawn_fixture.h"
#include "mp_sdk_common.h"

#include <cmath>
#include <limits>

using namespace drawntest;
using qwhost::Echo;

namespace
{
const float kHostile[] = {NAN, INFINITY, -INFINITY, 3.0e38f, -3.0e38f, 1e30f, 1e-40f, 0.0f, -1.0f, 1e9f};

// Every float the module sent is a number.
void expectNumbersSent(Drawn& c, const std::string& what)
{
    for (auto& t : c.module().transmits)
    {
        const auto* p = &c.module().info().pins[t.pin];
        if (p->datatype == 6 /* float */)
        {
            EXPECT_FALSE(std::isnan(t.asFloat())) << what << ": pin " << p->name;
        }
    }
}

// Sets each float pin in turn to each hostile value, then draws at several
// sizes and drags across the control; everything drawn and sent is finite.
void hammer(const wchar_t* id, const std::wstring& image = L"")
{
    for (Echo e : {Echo::Inside, Echo::None})
        for (float v : kHostile)
        {
            Drawn c(id, e);
            if (!image.empty())
                c.setText("Image", image);
            for (auto& p : c.module().info().pins)
                if (p.direction == 0 && p.datatype == 6)
                    c.setFloat(p.name, v);
            const std::string what = gmpi_sdk::toUtf8(id) + " at " + std::to_string(v);
            for (auto [w, h] : {std::pair{100, 100}, {1, 1}, {60, 20}})
                EXPECT_TRUE(allFinite(c.render(w, h))) << what << ", " << w << "x" << h;
            c.render(100, 100);
            c.down(50, 50);
            c.move(90, 10);
            c.move(NAN, 10, kLeftFine);
            c.move(-1e30f, INFINITY);
            c.up(NAN, NAN);
            EXPECT_TRUE(allFinite(c.render(100, 100))) << what;
            if (std::wstring(id).rfind(L"QW_FuncPlot", 0) != 0) // which take the whole area
            {
                EXPECT_EQ(c.view().hitTest({NAN, NAN}), -1) << what;
            }
            expectNumbersSent(c, what);
            // Arranged to nothing.
            c.view().arrange({0, 0, 0, 0});
            EXPECT_TRUE(allFinite(c.renderOnly(1, 1))) << what << ", 0x0";
            c.down(0, 0);
            c.move(3, 4);
            expectNumbersSent(c, what + ", 0x0");
        }
}
} // namespace

TEST(VectorHostile, JogWheel)
{
    hammer(L"QW_VecJogShuttleS");
}

TEST(VectorHostile, ValueKnob)
{
    hammer(L"QW_VecJS");
}

TEST(VectorHostile, Joystick)
{
    hammer(L"QW_JoystickImg", L"handle.png");
}

TEST(VectorHostile, FunctionPlot)
{
    hammer(L"QW_FuncPlotDuo");
}

TEST(VectorHostile, JogShuttle2)
{
    hammer(L"QW_VecJogShuttle2");
}

TEST(VectorHostile, FunctionPlotOfOneFormula)
{
    hammer(L"QW_FuncPlot");
}

TEST(VectorHostile, ValueKnobNeverWritesWhatIsNotANumber)
{
    // An unlimited knob over the widest range turned by a thousandth of a
    // turn per turn: the value would leave the floats.
    Drawn c(L"QW_VecJS", Echo::Inside);
    c.setBool("Unlimited", true);
    c.setFloat("Minimum", -3e38f);
    c.setFloat("Maximum", 3e38f);
    c.setFloat("Turns", 0);
    c.render(100, 100);
    c.down(50, 10);
    c.move(90, 50);
    c.move(50, 90);
    for (float v : c.sentFloats("Value"))
        EXPECT_TRUE(std::isfinite(v)) << v;
    expectNumbersSent(c, "wide range");
    // A not-a-number value from outside leaves an unlimited knob as it was.
    c.setFloat("Value", NAN);
    EXPECT_TRUE(allFinite(c.render(100, 100)));
}

TEST(VectorHostile, LongAndMalformedFormulas)
{
    std::wstring sum = L"x";
    while (sum.size() < 10000)
        sum += L"+x*0.001";
    const std::wstring nested = std::wstring(5000, L'(') + L"x" + std::wstring(5000, L')');
    const std::wstring texts[] = {sum,    nested,      std::wstring(10000, L'('), L"\xD800x", L"x\x0001", L"1e999999",
                                  L"x/0", L"sqrt(-x)", L"a=b=c=d=e=f=g=h=i=j=k=x"};
    for (const auto& f : texts)
    {
        Drawn c(L"QW_FuncPlotDuo");
        c.setText("Formula 1", f);
        c.setText("Formula 2", f);
        const auto calls = c.render(200, 100);
        EXPECT_TRUE(allFinite(calls)) << gmpi_sdk::toUtf8(f.substr(0, 40));
    }
    // The long sum is a formula like any other: drawn over every column.
    Drawn c(L"QW_FuncPlotDuo");
    c.setText("Formula 1", sum);
    const auto curves = only(c.render(200, 100), "DrawGeometry", 0);
    ASSERT_EQ(curves.size(), 1u);
    EXPECT_EQ(curves[0].path.size(), 200u);
}

TEST(VectorHostile, ImagesThatDoNotLoad)
{
    for (const wchar_t* name : {L"nope.png", L"handle.txt", L"", L"x\xD800.png", L"../../../etc/passwd"})
    {
        Drawn c(L"QW_JoystickImg");
        c.setText("Image", name);
        const auto calls = c.render(100, 100);
        EXPECT_EQ(only(calls, "FillRectangle", 0).size(), 1u) << "the background only";
        EXPECT_TRUE(only(calls, "DrawBitmap").empty()) << gmpi_sdk::toUtf8(name);
        EXPECT_EQ(c.down(50, 50), -1);
        EXPECT_EQ(c.view().hitTest({50, 50}), -1);
        EXPECT_TRUE(c.sentInts("Frame Count").empty());
    }
    // A good image, then a missing one: nothing is shown or taken any more.
    Drawn c(L"QW_JoystickImg");
    c.setText("Image", L"handle.png");
    EXPECT_EQ(only(c.render(100, 100), "DrawBitmap", 0).size(), 1u);
    c.setText("Image", L"nope.png");
    EXPECT_TRUE(only(c.render(100, 100), "DrawBitmap", 0).empty());
    EXPECT_EQ(c.down(50, 50), -1);
}

TEST(VectorHostile, JoystickMenuAndHint)
{
    Drawn c(L"QW_JoystickImg");
    c.setText("Menu Items", L"range 0,2000000000");
    qwhost::ContextMenuSink sink;
    c.module().ui()->populateContextMenu(0, 0, &sink);
    EXPECT_EQ(sink.items.size(), 10000u);
    gmpi_sdk::MpString notASink;
    EXPECT_EQ(c.module().ui()->populateContextMenu(0, 0, &notASink), 0);
    c.setText("Hint", L"a\xDC00z");
    gmpi_sdk::MpString tip;
    EXPECT_EQ(c.view().graphics()->getToolTip({1, 1}, &tip), 0);
    EXPECT_EQ(tip.str(), "a\xEF\xBF\xBDz");
}
