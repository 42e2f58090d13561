// What the drawing stand-in puts into pixels.
#include "canvas.h"
#include "srgb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

using drawtest::Canvas;
using namespace GmpiDrawing;
using Pixel = qwhost::drawing::Bitmap::Pixel;

namespace
{
bool transparent(Pixel p)
{
    return p.a == 0 && p.r == 0 && p.g == 0 && p.b == 0;
}

// The bounding box of every pixel with some ink.
struct Ink
{
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1, count = 0;
};
Ink inkOf(const Canvas& c, int w, int h)
{
    Ink ink;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (c.at(x, y).a)
            {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
                ++ink.count;
            }
    return ink;
}
} // namespace

TEST(Render, FilledRectanglesStoreTheCodesTheColourTableConvertedFrom)
{
    // Every 8-bit code, through table 0 to linear light and back into pixels.
    Canvas canvas(256, 3);
    Graphics g = canvas.graphics();
    auto brush = g.CreateSolidColorBrush(Color());
    for (uint32_t i = 0; i < 256; ++i)
    {
        brush.SetColor(mp_sdk::colorFromArgb(0xFF000000u | (i << 16) | ((255 - i) << 8) | (i ^ 0x5A)));
        g.FillRectangle(Rect(static_cast<float>(i), 0, static_cast<float>(i + 1), 2), brush);
    }
    for (int i = 0; i < 256; ++i)
    {
        const Pixel p = canvas.at(i, 1);
        EXPECT_EQ(p.r, i);
        EXPECT_EQ(p.g, 255 - i);
        EXPECT_EQ(p.b, i ^ 0x5A);
        EXPECT_EQ(p.a, 255);
        EXPECT_TRUE(transparent(canvas.at(i, 2)));
    }
}

TEST(Render, RectangleFromAColourPinText)
{
    Canvas canvas(20, 20);
    Graphics g = canvas.graphics();
    GmpiDrawing_API::MP1_COLOR c{};
    ASSERT_TRUE(mp_sdk::colorFromText(L"FF804020", c));
    g.FillRectangle(Rect(5, 5, 15, 15), g.CreateSolidColorBrush(c));
    const Pixel in = canvas.at(10, 10);
    EXPECT_EQ(in.b, 0x20);
    EXPECT_EQ(in.g, 0x40);
    EXPECT_EQ(in.r, 0x80);
    EXPECT_EQ(in.a, 0xFF);
    EXPECT_TRUE(transparent(canvas.at(4, 10)));
    EXPECT_TRUE(transparent(canvas.at(15, 10)));
    EXPECT_TRUE(transparent(canvas.at(10, 4)));
    EXPECT_TRUE(transparent(canvas.at(10, 15)));
}

TEST(Render, EllipseWithTwoRadiiCoversItsCentreAndNotItsCorners)
{
    Canvas canvas(40, 20);
    Graphics g = canvas.graphics();
    g.FillEllipse(Ellipse(Point(20, 10), 18, 8), g.CreateSolidColorBrush(Color(1, 1, 1)));
    EXPECT_EQ(canvas.at(20, 10).a, 255);
    EXPECT_EQ(canvas.at(36, 10).a, 255); // inside along x (radius 18)
    EXPECT_EQ(canvas.at(20, 16).a, 255); // inside along y (radius 8)
    EXPECT_EQ(canvas.at(20, 0).a, 0);    // above the ellipse's top at y = 2
    for (auto [x, y] : {std::pair{0, 0}, {39, 0}, {0, 19}, {39, 19}, {4, 3}})
        EXPECT_TRUE(transparent(canvas.at(x, y))) << x << "," << y;
}

TEST(Render, EllipseOutlineLeavesItsInsideEmpty)
{
    Canvas canvas(40, 40);
    Graphics g = canvas.graphics();
    g.DrawEllipse(Ellipse(Point(20, 20), 15), g.CreateSolidColorBrush(Color(1, 1, 1)), 2.0f);
    EXPECT_EQ(canvas.at(20, 20).a, 0);
    EXPECT_GT(canvas.at(35, 20).a, 200);
    EXPECT_GT(canvas.at(20, 5).a, 200);
}

TEST(Render, ClipKeepsDrawingInsideUntilPopped)
{
    Canvas canvas(20, 20);
    Graphics g = canvas.graphics();
    auto white = g.CreateSolidColorBrush(Color(1, 1, 1));
    g.PushAxisAlignedClip(Rect(5, 5, 10, 10));
    g.FillRectangle(Rect(0, 0, 20, 20), white);
    g.PopAxisAlignedClip();
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(canvas.at(x, y).a, (x >= 5 && x < 10 && y >= 5 && y < 10) ? 255 : 0) << x << "," << y;
    g.FillRectangle(Rect(15, 15, 20, 20), white);
    EXPECT_EQ(canvas.at(17, 17).a, 255);
    EXPECT_EQ(canvas.context->clipDepth(), 0);
}

TEST(Render, NestedClipsIntersect)
{
    Canvas canvas(20, 20);
    Graphics g = canvas.graphics();
    g.PushAxisAlignedClip(Rect(0, 0, 10, 10));
    g.PushAxisAlignedClip(Rect(5, 5, 20, 20));
    g.FillRectangle(Rect(0, 0, 20, 20), g.CreateSolidColorBrush(Color(1, 1, 1)));
    g.PopAxisAlignedClip();
    g.PopAxisAlignedClip();
    EXPECT_EQ(canvas.at(7, 7).a, 255);
    EXPECT_EQ(canvas.at(3, 3).a, 0);
    EXPECT_EQ(canvas.at(12, 12).a, 0);
}

TEST(Render, RoundedRectangleCutsItsCorners)
{
    Canvas canvas(40, 30);
    Graphics g = canvas.graphics();
    g.FillRoundedRectangle(RoundedRect(Rect(0, 0, 40, 30), 10, 8), g.CreateSolidColorBrush(Color(1, 1, 1)));
    EXPECT_EQ(canvas.at(0, 0).a, 0);
    EXPECT_EQ(canvas.at(39, 29).a, 0);
    EXPECT_EQ(canvas.at(1, 1).a, 0);
    EXPECT_EQ(canvas.at(20, 0).a, 255); // edge midpoints stay
    EXPECT_EQ(canvas.at(0, 15).a, 255);
    EXPECT_EQ(canvas.at(20, 15).a, 255);

    Canvas outline(40, 30);
    Graphics o = outline.graphics();
    o.DrawRoundedRectangle(RoundedRect(Rect(2, 2, 38, 28), 6), o.CreateSolidColorBrush(Color(1, 1, 1)), 2.0f);
    EXPECT_EQ(outline.at(20, 15).a, 0);
    EXPECT_EQ(outline.at(20, 2).a, 255);
    EXPECT_EQ(outline.at(2, 2).a, 0);
}

TEST(Render, LinesAndRectangleOutlines)
{
    Canvas canvas(20, 20);
    Graphics g = canvas.graphics();
    auto white = g.CreateSolidColorBrush(Color(1, 1, 1));
    g.DrawLine(Point(0, 3.5f), Point(20, 3.5f), white, 1.0f);
    g.DrawRectangle(Rect(8.5f, 8.5f, 16.5f, 16.5f), white, 1.0f);
    for (int x = 0; x < 20; ++x)
    {
        EXPECT_EQ(canvas.at(x, 3).a, 255);
        EXPECT_EQ(canvas.at(x, 2).a, 0);
        EXPECT_EQ(canvas.at(x, 4).a, 0);
    }
    EXPECT_EQ(canvas.at(8, 12).a, 255);
    EXPECT_EQ(canvas.at(16, 12).a, 255);
    EXPECT_EQ(canvas.at(12, 12).a, 0);
}

TEST(Render, PathGeometriesFillFilledFiguresAndStrokeAll)
{
    Canvas canvas(40, 20);
    Graphics g = canvas.graphics();
    GmpiDrawing::Factory f = g.GetFactory();
    auto white = g.CreateSolidColorBrush(Color(1, 1, 1));

    PathGeometry triangle = f.CreatePathGeometry();
    {
        GeometrySink s = triangle.Open();
        s.BeginFigure(Point(0, 0), FigureBegin::Filled);
        s.AddLine(Point(20, 0));
        s.AddLine(Point(0, 20));
        s.EndFigure(FigureEnd::Closed);
        s.BeginFigure(Point(22, 0), FigureBegin::Hollow); // not filled
        s.AddLine(Point(38, 0));
        s.AddLine(Point(38, 18));
        s.EndFigure(FigureEnd::Closed);
        s.Close();
    }
    g.FillGeometry(triangle, white);
    EXPECT_EQ(canvas.at(3, 3).a, 255);
    EXPECT_EQ(canvas.at(16, 16).a, 0);
    EXPECT_EQ(canvas.at(34, 4).a, 0);

    g.DrawGeometry(triangle, white, 2.0f);
    EXPECT_EQ(canvas.at(37, 9).a, 255); // the hollow figure's right side
    EXPECT_GT(canvas.at(30, 9).a, 200); // its closing diagonal
}

TEST(Render, AGeometryStillOpenIsNotDrawn)
{
    Canvas canvas(20, 20);
    Graphics g = canvas.graphics();
    PathGeometry open = g.GetFactory().CreatePathGeometry();
    GeometrySink s = open.Open();
    s.BeginFigure(Point(0, 0));
    s.AddLine(Point(20, 0));
    s.AddLine(Point(0, 20));
    s.EndFigure();
    g.FillGeometry(open, g.CreateSolidColorBrush(Color(1, 1, 1)));
    EXPECT_EQ(canvas.at(3, 3).a, 0);
    EXPECT_TRUE(open.Open().isNull()); // a geometry opens once
}

TEST(Render, LinearGradientRunsFromTheFirstColourToTheSecond)
{
    Canvas canvas(4, 101);
    Graphics g = canvas.graphics();
    const Color top = mp_sdk::colorFromArgb(0xFFFF0000u), bottom = mp_sdk::colorFromArgb(0xFF0000FFu);
    g.FillRectangle(Rect(0, 0, 4, 101), g.CreateLinearGradientBrush(top, bottom, Point(0, 0), Point(0, 101)));
    EXPECT_GE(canvas.at(1, 0).r, 250);
    EXPECT_LE(canvas.at(1, 0).b, 5);
    EXPECT_GE(canvas.at(1, 100).b, 250);
    EXPECT_LE(canvas.at(1, 100).r, 5);
    for (int y = 1; y < 101; ++y)
    {
        EXPECT_LE(canvas.at(1, y).r, canvas.at(1, y - 1).r);
        EXPECT_GE(canvas.at(1, y).b, canvas.at(1, y - 1).b);
    }
}

TEST(Render, RadialGradientRunsFromTheCentreToTheRadius)
{
    Canvas canvas(41, 41);
    Graphics g = canvas.graphics();
    auto brush = g.CreateRadialGradientBrush(Point(20.5f, 20.5f), 20.0f, Color(1, 1, 1), Color(0, 0, 0));
    g.FillRectangle(Rect(0, 0, 41, 41), brush);
    EXPECT_GE(canvas.at(20, 20).g, 245);
    EXPECT_LE(canvas.at(0, 20).g, 8);
    EXPECT_LE(canvas.at(0, 0).g, 0); // beyond the radius: the outer colour
    EXPECT_GT(canvas.at(10, 20).g, canvas.at(5, 20).g);

    // Two radii: along x the fade takes twice as long.
    Canvas wide(81, 41);
    Graphics w = wide.graphics();
    GradientStop stops[2] = {{0.0f, Color(1, 1, 1)}, {1.0f, Color(0, 0, 0)}};
    auto ellipse = w.CreateRadialGradientBrush(w.CreateGradientStopCollection(stops, 2), Point(40.5f, 20.5f),
                                               Point(0, 0), 40.0f, 20.0f);
    w.FillRectangle(Rect(0, 0, 81, 41), ellipse);
    EXPECT_NEAR(wide.at(60, 20).g, wide.at(40, 30).g, 2);
}

TEST(Render, TextPutsInkInsideItsRectangle)
{
    Canvas canvas(100, 50);
    Graphics g = canvas.graphics();
    TextFormat format = g.GetFactory().CreateTextFormat(16.0f, "DejaVu Sans");
    ASSERT_FALSE(format.isNull());
    g.DrawTextW(L"Hg", format, Rect(10, 10, 90, 40), g.CreateSolidColorBrush(Color(1, 1, 1)));
    const Ink ink = inkOf(canvas, 100, 50);
    ASSERT_GT(ink.count, 20);
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.right, 89);
    EXPECT_GE(ink.top, 10);
    EXPECT_LE(ink.bottom, 39);
    EXPECT_LE(ink.left, 13); // leading alignment
    EXPECT_LE(ink.top, 16);  // near the top
}

TEST(Render, TextAlignmentPlacesTheLine)
{
    for (auto [alignment, paragraph] : {std::pair{TextAlignment::Trailing, ParagraphAlignment::Far},
                                        {TextAlignment::Center, ParagraphAlignment::Center}})
    {
        Canvas canvas(100, 60);
        Graphics g = canvas.graphics();
        TextFormat format = g.GetFactory().CreateTextFormat(14.0f, "DejaVu Sans");
        format.SetTextAlignment(alignment);
        format.SetParagraphAlignment(paragraph);
        g.DrawTextW(L"II", format, Rect(0, 0, 100, 60), g.CreateSolidColorBrush(Color(1, 1, 1)));
        const Ink ink = inkOf(canvas, 100, 60);
        ASSERT_GT(ink.count, 0);
        if (alignment == TextAlignment::Trailing)
        {
            EXPECT_GE(ink.right, 93);
            EXPECT_GE(ink.bottom, 45);
        }
        else
        {
            EXPECT_NEAR((ink.left + ink.right) * 0.5, 50.0, 2.0);
            EXPECT_NEAR((ink.top + ink.bottom) * 0.5, 30.0, 4.0);
        }
    }
}

TEST(Render, TextClipOptionCutsAtTheRectangle)
{
    Canvas canvas(100, 40);
    Graphics g = canvas.graphics();
    TextFormat format = g.GetFactory().CreateTextFormat(20.0f, "DejaVu Sans");
    format.SetWordWrapping(WordWrapping::NoWrap);
    g.DrawTextW(L"WWWWWWWW", format, Rect(0, 0, 30, 40), g.CreateSolidColorBrush(Color(1, 1, 1)),
                DrawTextOptions::Clip);
    const Ink ink = inkOf(canvas, 100, 40);
    ASSERT_GT(ink.count, 0);
    EXPECT_LE(ink.right, 29);
}

TEST(Render, WordWrappingBreaksAtSpaces)
{
    Canvas canvas(200, 100);
    Graphics g = canvas.graphics();
    TextFormat format = g.GetFactory().CreateTextFormat(12.0f, "DejaVu Sans");
    const float oneLine = format.GetTextExtentU(std::string("word")).height;
    g.DrawTextW(L"word word word", format, Rect(0, 0, 40, 100), g.CreateSolidColorBrush(Color(1, 1, 1)));
    const Ink ink = inkOf(canvas, 200, 100);
    EXPECT_LE(ink.right, 40);
    EXPECT_GT(ink.bottom, 2 * oneLine); // three lines
}

TEST(Render, RenderTargetDrawsIntoABitmapDrawnLater)
{
    Canvas canvas(30, 30);
    Graphics g = canvas.graphics();
    BitmapRenderTarget target = g.CreateCompatibleRenderTarget(Size(10, 10));
    ASSERT_FALSE(target.isNull());
    target.BeginDraw();
    target.Clear(mp_sdk::colorFromArgb(0xFF102030u));
    target.FillRectangle(Rect(0, 0, 5, 10), target.CreateSolidColorBrush(mp_sdk::colorFromArgb(0xFFF0E0D0u)));
    EXPECT_EQ(target.EndDraw(), gmpi::MP_OK);
    Bitmap bitmap = target.GetBitmap();
    ASSERT_FALSE(bitmap.isNull());
    EXPECT_EQ(bitmap.GetSize(), SizeU(10, 10));

    // Drawing on afterwards leaves the bitmap as it was.
    target.BeginDraw();
    target.Clear(Color(0, 0, 0, 0));
    target.EndDraw();

    g.DrawBitmap(bitmap, Rect(20, 20, 30, 30), Rect(0, 0, 10, 10), 1.0f);
    EXPECT_EQ(canvas.at(21, 25).r, 0xF0);
    EXPECT_EQ(canvas.at(21, 25).g, 0xE0);
    EXPECT_EQ(canvas.at(28, 25).r, 0x10);
    EXPECT_EQ(canvas.at(28, 25).b, 0x30);
    EXPECT_TRUE(transparent(canvas.at(19, 25)));
}

TEST(Render, BitmapPartsAreDrawnScaledWithoutTheirNeighbours)
{
    Canvas canvas(40, 40);
    Graphics g = canvas.graphics();
    // A strip of two 4x4 frames: red above green.
    Bitmap strip = g.GetFactory().CreateImage(4, 8);
    {
        BitmapPixels px = strip.lockPixels(BitmapLockFlags::ReadWrite);
        ASSERT_FALSE(px.isNull());
        EXPECT_EQ(px.getPixelFormat(), 4);
        EXPECT_EQ(px.getBytesPerRow(), 16);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 4; ++x)
            {
                uint8_t* p = px.getAddress() + y * px.getBytesPerRow() + 4 * x;
                p[0] = 0;               // blue
                p[1] = y < 4 ? 0 : 255; // green
                p[2] = y < 4 ? 255 : 0; // red
                p[3] = 255;             // alpha
            }
    }
    g.DrawBitmap(strip, Rect(0, 0, 40, 40), Rect(0, 4, 4, 8)); // the green frame, ten times its size
    for (int y : {0, 20, 39})
        for (int x : {0, 20, 39})
        {
            EXPECT_EQ(canvas.at(x, y).g, 255) << x << "," << y;
            EXPECT_EQ(canvas.at(x, y).r, 0) << x << "," << y;
        }
}

TEST(Render, OpacityScalesTheBitmap)
{
    Canvas canvas(4, 4);
    Graphics g = canvas.graphics();
    Bitmap b = g.GetFactory().CreateImage(4, 4);
    {
        BitmapPixels px = b.lockPixels(BitmapLockFlags::ReadWrite);
        for (int i = 0; i < 16; ++i)
            px.getAddress()[4 * i + 3] = px.getAddress()[4 * i + 2] = 255;
    }
    g.DrawBitmap(b, Rect(0, 0, 4, 4), Rect(0, 0, 4, 4), 0.5f, BitmapInterpolationMode::NearestNeighbor);
    EXPECT_NEAR(canvas.at(1, 1).a, 128, 1);
    EXPECT_NEAR(canvas.at(1, 1).r, 128, 1);
}

TEST(Render, UnusableArgumentsDrawNothingAndLaterDrawingStillWorks)
{
    Canvas canvas(10, 10);
    auto* dc = canvas.context;
    Graphics g = canvas.graphics();
    auto white = g.CreateSolidColorBrush(Color(1, 1, 1));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const GmpiDrawing_API::MP1_RECT bad{nan, 0, 10, 10};
    EXPECT_EQ(dc->FillRectangle(&bad, white.Get()), gmpi::MP_FAIL);
    const GmpiDrawing_API::MP1_RECT all{0, 0, 10, 10};
    EXPECT_EQ(dc->FillRectangle(&all, nullptr), gmpi::MP_FAIL);
    const GmpiDrawing_API::MP1_ELLIPSE flat{{5, 5}, 0.0f, 4.0f};
    EXPECT_EQ(dc->FillEllipse(&flat, white.Get()), gmpi::MP_OK);
    const GmpiDrawing_API::MP1_ELLIPSE huge{{5, 5}, std::numeric_limits<float>::infinity(), 4.0f};
    EXPECT_EQ(dc->FillEllipse(&huge, white.Get()), gmpi::MP_FAIL);
    EXPECT_EQ(dc->DrawLine({0, 0}, {10, 10}, white.Get(), -1.0f, nullptr), gmpi::MP_FAIL);
    EXPECT_EQ(dc->DrawTextU("x", -1, nullptr, &all, white.Get(), 0), gmpi::MP_FAIL);
    EXPECT_EQ(dc->PopAxisAlignedClip(), gmpi::MP_FAIL); // nothing pushed
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_TRUE(transparent(canvas.at(x, y)));
    g.FillRectangle(Rect(0, 0, 10, 10), white);
    EXPECT_EQ(canvas.at(5, 5).a, 255);
}

TEST(Render, EndDrawPopsForgottenClipsAndSaysSo)
{
    Canvas canvas(10, 10);
    Graphics g = canvas.graphics();
    g.PushAxisAlignedClip(Rect(0, 0, 1, 1));
    EXPECT_EQ(g.EndDraw(), gmpi::MP_FAIL);
    g.BeginDraw();
    g.FillRectangle(Rect(0, 0, 10, 10), g.CreateSolidColorBrush(Color(1, 1, 1)));
    EXPECT_EQ(canvas.at(5, 5).a, 255);
    EXPECT_EQ(g.EndDraw(), gmpi::MP_OK);
}

TEST(Render, RecordsTheCallsInOrderWithTheirTarget)
{
    Canvas canvas(20, 20);
    canvas.factory->setRecording(true);
    Graphics g = canvas.graphics();
    auto brush = g.CreateSolidColorBrush(Color(0.5f, 0.25f, 0.125f, 1));
    BitmapRenderTarget rt = g.CreateCompatibleRenderTarget(Size(5, 5));
    rt.BeginDraw();
    rt.FillEllipse(Ellipse(Point(2, 2), 2), rt.CreateSolidColorBrush(Color(1, 1, 1)));
    rt.EndDraw();
    g.PushAxisAlignedClip(Rect(1, 2, 3, 4));
    g.FillRectangle(Rect(0, 0, 20, 20), brush);
    g.PopAxisAlignedClip();

    std::vector<std::string> ops;
    for (auto& c : canvas.factory->calls())
        ops.push_back(std::to_string(c.target) + " " + c.op);
    EXPECT_EQ(ops,
              (std::vector<std::string>{"0 CreateCompatibleRenderTarget", "1 BeginDraw", "1 FillEllipse", "1 EndDraw",
                                        "0 PushAxisAlignedClip", "0 FillRectangle", "0 PopAxisAlignedClip"}));
    const auto& fill = canvas.factory->calls()[5];
    EXPECT_EQ(fill.values, (std::vector<double>{0, 0, 20, 20}));
    EXPECT_EQ(fill.brush, "solid");
    EXPECT_EQ(fill.color.g, 0.25f);
}

TEST(Render, FontFamiliesAreTheMachinesOwn)
{
    Canvas canvas(1, 1);
    GmpiDrawing::Factory f = canvas.graphics().GetFactory();
    auto* factory2 = canvas.factory;
    std::vector<std::string> names;
    for (int i = 0;; ++i)
    {
        gmpi_sdk::MpString name;
        if (factory2->GetFontFamilyName(i, &name) != gmpi::MP_OK)
            break;
        names.push_back(name.str());
    }
    EXPECT_EQ(names, canvas.factory->fontFamilies());
    EXPECT_NE(std::find(names.begin(), names.end(), "DejaVu Sans"), names.end());
    for (auto& n : names)
        EXPECT_FALSE(f.CreateTextFormat(12.0f, n.c_str()).isNull()) << n;
    EXPECT_TRUE(f.CreateTextFormat(12.0f, "No Such Family For Tests").isNull());
    EXPECT_TRUE(f.CreateTextFormat(0.0f, "DejaVu Sans").isNull());
}

// The host platform's Arial is offered where a metric-compatible family is
// installed (the test machine installs Liberation Sans), and draws with it.
TEST(Render, PlatformFamiliesDrawWithCompatibleFonts)
{
    Canvas canvas(1, 1);
    const auto& names = canvas.factory->fontFamilies();
    const bool compatible = std::find(names.begin(), names.end(), "Liberation Sans") != names.end();
    ASSERT_TRUE(compatible) << "the tests expect Debian's fonts-liberation";
    EXPECT_EQ(canvas.factory->installedFamily("arial"), "Arial");
    GmpiDrawing::Factory f = canvas.graphics().GetFactory();
    EXPECT_FALSE(f.CreateTextFormat(12.0f, "Arial").isNull());
}
