// The ownership rule of the drawing wrappers and their own logic, against the
// drawing stand-in.
#include "canvas.h"

#include <gtest/gtest.h>

using drawtest::Canvas;
using drawtest::refs;
using namespace GmpiDrawing;

TEST(Wrappers, ConstructionFromRawPointerAddsAReferenceAndDestructionReleasesIt)
{
    Canvas canvas(4, 4);
    const int32_t before = refs(canvas.context);
    {
        Graphics g(canvas.context); // asks for the device-context interface
        EXPECT_FALSE(g.isNull());
        EXPECT_EQ(refs(canvas.context), before + 1);
        Graphics_base copy(g.Get());
        EXPECT_EQ(refs(canvas.context), before + 2);
    }
    EXPECT_EQ(refs(canvas.context), before);
}

TEST(Wrappers, CreatedObjectsAreHeldOnceAndCopiesHoldTheirOwnReference)
{
    Canvas canvas(4, 4);
    Graphics g = canvas.graphics();
    SolidColorBrush brush = g.CreateSolidColorBrush(Color(1, 0, 0));
    ASSERT_FALSE(brush.isNull());
    auto* raw = brush.Get();
    EXPECT_EQ(refs(raw), 1);
    {
        SolidColorBrush copy(brush);
        EXPECT_EQ(refs(raw), 2);
        Brush base = brush; // a plain brush holds a solid one too
        EXPECT_EQ(refs(raw), 3);
    }
    EXPECT_EQ(refs(raw), 1);
}

TEST(Wrappers, AssignmentTakesTheOthersPointerAndReleasesTheOldOne)
{
    Canvas canvas(4, 4);
    Graphics g = canvas.graphics();
    SolidColorBrush a = g.CreateSolidColorBrush(Color(1, 0, 0));
    SolidColorBrush b = g.CreateSolidColorBrush(Color(0, 1, 0));
    auto* ra = a.Get();
    auto* rb = b.Get();
    rb->addRef(); // keep b's object alive to watch it
    a = b;
    EXPECT_EQ(a.Get(), rb);
    EXPECT_EQ(refs(rb), 3); // b, a and our watch
    b.setNull();
    EXPECT_EQ(refs(rb), 2);
    a.setNull();
    EXPECT_EQ(refs(rb), 1);
    rb->release();
    (void)ra; // a's first brush went with the assignment; a leak would show under the sanitizer
}

TEST(Wrappers, RvalueAssignmentLeavesTheOtherHoldingItsReference)
{
    Canvas canvas(4, 4);
    Graphics g = canvas.graphics();
    SolidColorBrush a;
    SolidColorBrush b = g.CreateSolidColorBrush(Color(0, 0, 1));
    auto* raw = b.Get();
    a = std::move(b);
    EXPECT_EQ(a.Get(), raw);
    EXPECT_EQ(b.Get(), raw); // not emptied
    EXPECT_EQ(refs(raw), 2);
}

TEST(Wrappers, SelfAssignmentChangesNothing)
{
    Canvas canvas(4, 4);
    Graphics g = canvas.graphics();
    SolidColorBrush a = g.CreateSolidColorBrush(Color(0, 0, 1));
    auto* raw = a.Get();
    auto& alias = a;
    a = alias;
    EXPECT_EQ(a.Get(), raw);
    EXPECT_EQ(refs(raw), 1);
    a = std::move(alias);
    EXPECT_EQ(a.Get(), raw);
    EXPECT_EQ(refs(raw), 1);
}

TEST(Wrappers, FailedCreatingCallsGiveEmptyWrappers)
{
    Canvas canvas(4, 4);
    Graphics g = canvas.graphics();
    GmpiDrawing::Factory f = g.GetFactory();
    ASSERT_FALSE(f.isNull());
    EXPECT_TRUE(f.CreateTextFormat(12.0f, "No Such Family For Tests").isNull());
    EXPECT_TRUE(f.CreateImage(0, 10).isNull());
    EXPECT_TRUE(f.LoadImageU("/no/such/file.png").isNull());
    EXPECT_TRUE(g.CreateCompatibleRenderTarget(Size(0.0f, 10.0f)).isNull());
    // Calls on empty wrappers do nothing.
    Graphics none;
    none.FillRectangle(Rect(0, 0, 1, 1), SolidColorBrush());
    EXPECT_TRUE(none.GetFactory().isNull());
    EXPECT_EQ(TextFormat_readonly().GetTextExtentU(std::wstring(L"x")), Size(0, 0));
}

TEST(Wrappers, FactoryOfTheContextIsTheHostsFactory)
{
    Canvas canvas(4, 4);
    const int32_t before = refs(canvas.factory);
    {
        GmpiDrawing::Factory f = canvas.graphics().GetFactory();
        EXPECT_EQ(f.Get(), static_cast<GmpiDrawing_API::IMpFactory*>(canvas.factory));
        EXPECT_EQ(refs(canvas.factory), before + 1);
    }
    EXPECT_EQ(refs(canvas.factory), before);
}

TEST(Wrappers, DrawTextWSendsUtf8WithItsByteLength)
{
    Canvas canvas(40, 20);
    canvas.factory->setRecording(true);
    Graphics g = canvas.graphics();
    auto brush = g.CreateSolidColorBrush(Color(1, 1, 1));
    auto format = g.GetFactory().CreateTextFormat(10.0f, "DejaVu Sans");
    g.DrawTextW(L"", format, Rect(0, 0, 40, 20), brush);
    g.DrawTextW(L"\u00e4\u20ac\U0001F600", format, Rect(1, 2, 30, 12), brush, DrawTextOptions::Clip);
    g.DrawTextW(L"a", format, 5.0f, 6.0f, brush);

    const auto& calls = canvas.factory->calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].op, "DrawTextU");
    EXPECT_EQ(calls[0].text, "");
    EXPECT_EQ(calls[0].values[5], 0.0); // byte length
    EXPECT_EQ(calls[1].text, "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(calls[1].values, (std::vector<double>{1, 2, 30, 12, 2, 9}));
    EXPECT_EQ(calls[2].values, (std::vector<double>{5, 6, 10005, 10006, 0, 1}));
}

TEST(Wrappers, TextExtentOfWideText)
{
    Canvas canvas(4, 4);
    auto format = canvas.graphics().GetFactory().CreateTextFormat(20.0f, "DejaVu Sans");
    ASSERT_FALSE(format.isNull());
    const Size one = format.GetTextExtentU(std::wstring(L"W"));
    const Size two = format.GetTextExtentU(std::wstring(L"WW"));
    EXPECT_GT(one.width, 5.0f);
    EXPECT_NEAR(two.width, 2 * one.width, 0.01f);
    EXPECT_GT(one.height, 15.0f);
    EXPECT_EQ(format.GetTextExtentU(std::wstring(L"W\nW")).height, 2 * one.height);
}
