// The oscilloscopes through the built bundle: frames of points at their exact
// samples, the sweep, clearing; the displays' pixels in every pixel format,
// fading, ranges, grid lines and the line trace.
#include "monitors_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace
{
using namespace monitors_test;
using drawntest::linear;
using drawntest::only;

std::vector<std::pair<float, float>> pointsOf(const qwhost::PinUpdate& u)
{
    std::vector<std::pair<float, float>> out(u.data.size() / 8);
    for (size_t i = 0; i < out.size(); ++i)
    {
        std::memcpy(&out[i].first, u.data.data() + 8 * i, 4);
        std::memcpy(&out[i].second, u.data.data() + 8 * i + 4, 4);
    }
    return out;
}

// The frame updates (non-empty blobs) of a processing half.
std::vector<const qwhost::PinUpdate*> frames(const qwhost::Processor& p)
{
    std::vector<const qwhost::PinUpdate*> out;
    const int pin = p.pin("Points");
    for (auto& u : p.updates)
        if (u.pin == pin && !u.data.empty())
            out.push_back(&u);
    return out;
}

// The x of every point of every frame, in order.
std::vector<float> sweepXs(const qwhost::Processor& p)
{
    std::vector<float> xs;
    for (auto* f : frames(p))
        for (auto& pt : pointsOf(*f))
            xs.push_back(pt.first);
    return xs;
}

struct Rig
{
    explicit Rig(const wchar_t* id, float rate, int block = 256)
    {
        host.sampleRate = rate;
        host.blockSize = block;
        p = host.create(qwtest::bundle("signalkit"), id);
        p->startGraph();
        p->setStreaming(0, true);
        p->setStreaming(1, true);
    }
    void run(int64_t total, int block, float y = 0.25f)
    {
        const int64_t end = p->now() + total;
        while (p->now() < end)
        {
            const int n = static_cast<int>(std::min<int64_t>(block, end - p->now()));
            for (int i = 0; i < n; ++i)
            {
                p->input(0)[i] = -0.5f;
                p->input(1)[i] = y;
            }
            p->run(n);
        }
    }
    qwhost::ProcessingHost host;
    std::unique_ptr<qwhost::Processor> p;
};

TEST(ScopeDsp, FramesOfAThirtiethOfASecondAtTheirExactSamples)
{
    struct Case
    {
        float rate;
        int points;
    };
    for (const wchar_t* id : {L"QW_Oscilloscope", L"QW_Oscilloscope2"})
        for (Case c : {Case{44100.0f, 1470}, Case{48000.0f, 1600}})
            for (int block : {1, 7, 64, 256})
            {
                Rig r(id, c.rate);
                r.run(3 * c.points + 5, block);
                const auto f = frames(*r.p);
                const std::string what =
                    gmpi_sdk::toUtf8(id) + " at " + std::to_string(c.rate) + " Hz, blocks of " + std::to_string(block);
                ASSERT_EQ(f.size(), 3u) << what;
                for (size_t k = 0; k < f.size(); ++k)
                {
                    EXPECT_EQ(f[k]->data.size(), static_cast<size_t>(c.points) * 8) << what;
                    EXPECT_EQ(f[k]->time, static_cast<int64_t>(k + 1) * c.points - 1) << what << ", frame " << k;
                }
            }
}

TEST(ScopeDsp, XYModeCarriesBothInputs)
{
    Rig r(L"QW_Oscilloscope", 44100.0f);
    r.p->setInt(2, 1);
    r.run(1470, 64, 0.75f);
    const auto f = frames(*r.p);
    ASSERT_EQ(f.size(), 1u);
    for (auto& pt : pointsOf(*f[0]))
        ASSERT_EQ(pt, std::make_pair(-0.5f, 0.75f));
}

// Sweep x = 2 phase - 1 with the phase advancing by f / rate each sample
// from 0, wrapped into [0, 1).
TEST(ScopeDsp, SweepSteps)
{
    struct Case
    {
        float hz;
        double step; // of x per sample, before wrapping
    };
    for (Case c : {Case{50.0f, 2.0 / 882.0}, Case{-50.0f, -2.0 / 882.0}})
    {
        Rig r(L"QW_Oscilloscope", 44100.0f);
        r.p->setFloat(3, c.hz);
        r.run(3000, 64);
        const auto xs = sweepXs(*r.p);
        ASSERT_EQ(xs.size(), 2940u);
        int wraps = 0;
        for (size_t i = 1; i < xs.size(); ++i)
        {
            ASSERT_GE(xs[i], -1.0f) << c.hz << " Hz, point " << i;
            ASSERT_LT(xs[i], 1.0f) << c.hz << " Hz, point " << i;
            const double d = xs[i] - xs[i - 1];
            if (std::fabs(d - c.step) > 1e-4)
            {
                // A wrap jumps by the step less a full sweep of 2.
                EXPECT_NEAR(d, c.step - std::copysign(2.0, c.step), 1e-4) << c.hz << " Hz, point " << i;
                ++wraps;
            }
        }
        EXPECT_EQ(wraps, 3) << c.hz << " Hz: 2940 samples of 882 each";
    }
}

TEST(ScopeDsp, SweepBeyondTheRateStandsStill)
{
    for (float hz : {44100.0f, 1.0e9f, kInf, -kInf, kNaN})
    {
        Rig r(L"QW_Oscilloscope", 44100.0f);
        r.p->setFloat(3, hz);
        r.run(1470, 64);
        const auto xs = sweepXs(*r.p);
        ASSERT_EQ(xs.size(), 1470u);
        for (float x : xs)
            ASSERT_EQ(x, -1.0f) << hz << " Hz";
    }
}

TEST(ScopeDsp, ClearSendsAnEmptyBlobAtStartAndOnTrue)
{
    Rig r(L"QW_Oscilloscope", 44100.0f);
    r.run(100, 50);
    r.p->setBool(4, true, 10); // at sample 110
    r.run(100, 50);
    r.p->setBool(4, false, 20); // at sample 220
    r.run(100, 50);
    std::vector<int64_t> empties;
    for (auto& u : r.p->updates)
        if (u.pin == 5 && u.data.empty())
            empties.push_back(u.time);
    // The framework's first value of the output at graph start, the clear
    // of the first pin values, then the clear of `true`.
    EXPECT_EQ(empties, (std::vector<int64_t>{0, 0, 110}));
}

TEST(ScopeDsp, NeverSleeps)
{
    for (const wchar_t* id : {L"QW_Oscilloscope", L"QW_Oscilloscope2"})
    {
        Rig r(id, 44100.0f);
        r.run(20000, 256, 0.0f);
        EXPECT_TRUE(r.p->sleepRequests.empty()) << gmpi_sdk::toUtf8(id);
        EXPECT_EQ(frames(*r.p).size(), 13u);
    }
}

TEST(ScopeDsp, RatesBelowThirtyHertzStillMakeFrames)
{
    Rig r(L"QW_Oscilloscope", 20.0f, 64);
    r.run(10, 3);
    const auto f = frames(*r.p);
    ASSERT_EQ(f.size(), 10u);
    for (auto* u : f)
        EXPECT_EQ(u->data.size(), 8u);
}

// --- Displays

// A point display with no background or grid, trace colour and persistence set.
std::unique_ptr<Drawn> pointDisplay(const std::wstring& trace, float persistence)
{
    auto d = display(L"QW_Oscilloscope");
    for (const char* pin : {"Background Top", "Background Bottom", "Grid Colour", "Axes Colour"})
        d->setText(pin, L"00000000");
    d->setText("Trace Colour", trace);
    d->setFloat("Persistence", persistence);
    return d;
}

void frame(Drawn& d, const std::vector<std::pair<float, float>>& points)
{
    d.module().setBlob(d.pin("Points"), pointBlob(points));
}

TEST(ScopeDisplay, OnePointPackedForEveryPixelFormat)
{
    // Trace 80FF8040 at opacity 128/255: alpha byte 128, channels
    // (c x 128) >> 8 = 127, 64, 32; the point (0, 0) on 4 x 4 is pixel (1, 1).
    // The stand-in reads the bytes back in the order the format names, so a
    // module that packs for the format it is given stores the same pixel.
    for (int format = 0; format <= 4; ++format)
    {
        auto d = pointDisplay(L"80FF8040", 0.0f);
        d->view().factory()->pixelFormat = format;
        frame(*d, {{0.0f, 0.0f}});
        d->render(4, 4);
        const auto& b = *d->view().bitmap();
        EXPECT_EQ(bgra(b, 1, 1), (std::vector<int>{32, 64, 127, 128})) << "format " << format;
        EXPECT_EQ(bgra(b, 2, 1), (std::vector<int>{0, 0, 0, 0})) << "format " << format;
    }
}

TEST(ScopeDisplay, StandInLaysOutLockedPixelsInTheFormatItReports)
{
    const std::vector<int> packed[] = {
        {128, 127, 64, 32}, {127, 64, 32, 128}, {128, 32, 64, 127}, {32, 64, 127, 128}, {32, 64, 127, 128}};
    auto d = display(L"QW_Oscilloscope");
    auto* f = d->view().factory();
    for (int format = 0; format <= 4; ++format)
    {
        auto* bitmap = f->createBitmap(2, 1);
        GmpiDrawing_API::IMpBitmapPixels* pixels = nullptr;
        f->pixelFormat = 4;
        ASSERT_EQ(bitmap->lockPixels(&pixels, 3), 0);
        const uint8_t stored[4] = {32, 64, 127, 128};
        std::memcpy(pixels->getAddress() + 4, stored, 4);
        pixels->release();

        f->pixelFormat = format;
        ASSERT_EQ(bitmap->lockPixels(&pixels, 3), 0);
        const uint8_t* p = pixels->getAddress();
        EXPECT_EQ(std::vector<int>(p + 4, p + 8), packed[format]) << "format " << format;
        // Bytes written in the format come back stored as blue, green, red, alpha.
        uint8_t* q = pixels->getAddress();
        for (int i = 0; i < 4; ++i)
            q[i] = static_cast<uint8_t>(packed[format][i] / 2);
        pixels->release();
        EXPECT_EQ(bgra(*bitmap, 0, 0), (std::vector<int>{16, 32, 63, 64})) << "format " << format;
        bitmap->release();
    }
    f->pixelFormat = 4;
}

TEST(ScopeDisplay, TraceColourIsWrittenWithoutTheSrgbTable)
{
    auto d = pointDisplay(L"FF808080", 0.0f);
    frame(*d, {{0.0f, 0.0f}});
    d->render(4, 4);
    // 0x80 = 128 stays 128 (the table would give 55), premultiplied (128 x 255) >> 8.
    EXPECT_EQ(bgra(*d->view().bitmap(), 1, 1), (std::vector<int>{127, 127, 127, 255}));

    // The default trace colour is the table's FF00FFC0.
    auto e = pointDisplay(L"", 0.0f);
    frame(*e, {{0.0f, 0.0f}});
    e->render(4, 4);
    const int blue = static_cast<int>(linear(0xC0) * 255.0f);
    EXPECT_EQ(bgra(*e->view().bitmap(), 1, 1), (std::vector<int>{(blue * 255) >> 8, 254, 0, 255}));
}

TEST(ScopeDisplay, OlderPointsFadeByTheFrameFade)
{
    // Persistence 0.1: f = 1 / (0.1 x 10 + 1) = 0.5; one point a frame fades
    // every byte by int(1 x 0.5 x 255) = 127.
    auto d = pointDisplay(L"FFFFFFFF", 0.1f);
    frame(*d, {{0.0f, 0.0f}});
    d->render(4, 4);
    EXPECT_EQ(bgra(*d->view().bitmap(), 1, 1), (std::vector<int>{254, 254, 254, 255}));
    frame(*d, {{0.6f, 0.0f}}); // x = range / 10: pixel 3
    d->render(4, 4);
    EXPECT_EQ(bgra(*d->view().bitmap(), 1, 1), (std::vector<int>{127, 127, 127, 128}));
    EXPECT_EQ(bgra(*d->view().bitmap(), 3, 1), (std::vector<int>{254, 254, 254, 255}));
    frame(*d, {{0.6f, 0.6f}}); // pixel (3, 0)
    d->render(4, 4);
    EXPECT_EQ(bgra(*d->view().bitmap(), 1, 1), (std::vector<int>{0, 0, 0, 1}));
}

TEST(ScopeDisplay, OpacityFallsFromTheNewestPoint)
{
    // Persistence 0.1 (f = 0.5): newest at alpha 1, the one before at 0.5,
    // older ones at 0; the fade of 3 points clears what was there.
    auto d = pointDisplay(L"FFFFFFFF", 0.1f);
    frame(*d, {{-0.6f, 0.6f}, {0.0f, 0.0f}, {0.6f, 0.0f}});
    d->render(4, 4);
    const auto& b = *d->view().bitmap();
    EXPECT_EQ(bgra(b, 3, 1), (std::vector<int>{254, 254, 254, 255}));
    EXPECT_EQ(bgra(b, 1, 1), (std::vector<int>{127, 127, 127, 128}));
    EXPECT_EQ(bgra(b, 0, 0), (std::vector<int>{0, 0, 0, 0}));
}

TEST(ScopeDisplay, PersistenceZeroClearsEveryFrame)
{
    auto d = pointDisplay(L"FFFFFFFF", 0.0f);
    frame(*d, {{0.0f, 0.0f}});
    d->render(4, 4);
    frame(*d, {{0.6f, 0.0f}});
    d->render(4, 4);
    EXPECT_EQ(bgra(*d->view().bitmap(), 1, 1), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(bgra(*d->view().bitmap(), 3, 1), (std::vector<int>{254, 254, 254, 255}));
}

TEST(ScopeDisplay, ClearingBlobEmptiesTheTrace)
{
    auto d = pointDisplay(L"FFFFFFFF", 1000.0f);
    frame(*d, {{0.0f, 0.0f}});
    d->render(4, 4);
    d->module().setBlob(d->pin("Points"), {});
    d->render(4, 4);
    EXPECT_EQ(bgra(*d->view().bitmap(), 1, 1), (std::vector<int>{0, 0, 0, 0}));
}

TEST(ScopeDisplay, RangesOutsideZeroToTwentyAreIgnored)
{
    // With the range at 6 V the point x = 0.6 (6 V) lands on the right edge.
    for (float r : {0.0f, -1.0f, 20.5f, kNaN, kInf})
    {
        auto d = pointDisplay(L"FFFFFFFF", 0.0f);
        d->setFloat("X Range V", r);
        d->setFloat("Y Range V", r);
        frame(*d, {{0.6f, -0.6f}});
        d->render(4, 4);
        EXPECT_EQ(bgra(*d->view().bitmap(), 3, 3)[3], 255) << "range " << r;
    }
    // 20 is taken: 6 V is then (0.3 + 1) x 1.5 = pixel 1.
    auto d = pointDisplay(L"FFFFFFFF", 0.0f);
    d->setFloat("X Range V", 20.0f);
    frame(*d, {{0.6f, 0.0f}});
    d->render(4, 4);
    EXPECT_EQ(bgra(*d->view().bitmap(), 1, 1)[3], 255);
}

TEST(ScopeDisplay, GridHasOneLinePerVolt)
{
    for (const wchar_t* id : {L"QW_Oscilloscope", L"QW_Oscilloscope2"})
    {
        auto d = display(id);
        d->setFloat("Y Range V", 2.5f);
        d->setFloat("X Range V", 1.5f);
        const auto lines = only(d->render(120, 100), "DrawLine");
        std::vector<double> across, down;
        for (auto& l : lines)
        {
            if (l.values[1] == l.values[3])
                across.push_back(l.values[1]);
            else
                down.push_back(l.values[0]);
        }
        std::sort(across.begin(), across.end());
        std::sort(down.begin(), down.end());
        // Axes at h/2 and w/2; 1 V and 2 V at (1 -+ k / 2.5) x 50; 1 V at (1 -+ 1 / 1.5) x 60.
        drawntest::expectNear(across, {10, 30, 50, 70, 90}, gmpi_sdk::toUtf8(id) + " across");
        EXPECT_EQ(across.size(), 5u);
        drawntest::expectNear(down, {20, 60, 100}, gmpi_sdk::toUtf8(id) + " down");
        EXPECT_EQ(down.size(), 3u);
    }
}

// --- The line trace

std::unique_ptr<Drawn> lineDisplay()
{
    auto d = display(L"QW_Oscilloscope2");
    for (const char* pin : {"Background Top", "Background Bottom", "Grid Colour", "Axes Colour"})
        d->setText(pin, L"00000000");
    d->setInt("Line Width", 3);
    return d;
}

TEST(ScopeLines, NewestFirstWithFallingOpacityLeavingOutRetraces)
{
    // Points at x -0.3, 0, 0.3 on y = 0, then a retrace to (-0.3, 0.3): on
    // 120 x 120, x -> (10 x / 6 + 1) x 60 and y -> (1 - 10 y / 6) x 60.
    const std::vector<std::pair<float, float>> pts = {{-0.3f, 0.0f}, {0.0f, 0.0f}, {0.3f, 0.0f}, {-0.3f, 0.3f}};
    for (bool every : {false, true})
    {
        auto d = lineDisplay();
        d->setBool("Draw Retraces", every);
        frame(*d, pts);
        const auto calls = d->render(120, 120);
        const auto lines = only(calls, "DrawLine");
        // The trace layer covers the box around its segments: its lines are
        // drawn relative to the box's corner, where the layer goes.
        const auto layers = only(calls, "DrawBitmap");
        ASSERT_FALSE(layers.empty());
        const double left = layers.back().values[0], top = layers.back().values[1];
        struct Seg
        {
            double x0, y0, x1, y1, alpha;
        };
        std::vector<Seg> expected = {{90, 60, 60, 60, 2.0 / 3.0}, {60, 60, 30, 60, 1.0 / 3.0}};
        if (every)
            expected.insert(expected.begin(), Seg{30, 30, 90, 60, 1.0});
        ASSERT_EQ(lines.size(), expected.size()) << "every segment: " << every;
        for (size_t i = 0; i < lines.size(); ++i)
        {
            const std::vector<double>& v = lines[i].values;
            drawntest::expectNear({v[0] + left, v[1] + top, v[2] + left, v[3] + top, v[4]},
                                  {expected[i].x0, expected[i].y0, expected[i].x1, expected[i].y1, 3.0},
                                  "segment " + std::to_string(i));
            EXPECT_NEAR(lines[i].color.a, expected[i].alpha, 1e-5);
        }
    }
}

TEST(ScopeLines, EachFrameDrawnOverCachedLayersEqualsAWholeDrawing)
{
    // Frames of a noisy sine against a sweep, one render after each, with
    // the default background, grid and axes: the trace layer made for each
    // new frame covers only its segments, over the layers kept from before.
    // Each frame must be, pixel for pixel, what a new display draws whole
    // from that frame alone; a last frame of a few points, much smaller than
    // the ones before, shows that nothing of them stays behind.
    auto wave = [](int n, float amplitude, float phase) {
        std::vector<std::pair<float, float>> pts;
        for (int i = 0; i < n; ++i)
            pts.push_back({2.9f * (2.0f * static_cast<float>(i) / static_cast<float>(n) - 1.0f),
                           amplitude * std::sin(0.05f * static_cast<float>(i) + phase) +
                               0.3f * std::sin(7.3f * static_cast<float>(i))});
        return pts;
    };
    const std::vector<std::pair<float, float>> frames[] = {
        wave(600, 2.0f, 0.0f), wave(600, 1.0f, 1.0f), wave(300, 2.8f, 2.0f), {{-0.2f, 0.1f}, {0.1f, -0.1f}}};
    auto d = display(L"QW_Oscilloscope2");
    d->setInt("Line Width", 2);
    for (const auto& f : frames)
    {
        frame(*d, f);
        d->render(200, 150);
        auto whole = display(L"QW_Oscilloscope2");
        whole->setInt("Line Width", 2);
        frame(*whole, f);
        whole->render(200, 150);
        const qwhost::drawing::Bitmap& a = *d->view().bitmap();
        const qwhost::drawing::Bitmap& b = *whole->view().bitmap();
        int differ = 0;
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 200; ++x)
            {
                const auto p = a.pixel(x, y), q = b.pixel(x, y);
                differ += p.b != q.b || p.g != q.g || p.r != q.r || p.a != q.a;
            }
        EXPECT_EQ(differ, 0) << f.size() << " points";
    }
}

TEST(ScopeLines, TraceLengthShortensTheFade)
{
    // Length 0.5 of 5 points: s = 1 / (0.5 x 4) = 0.5, so two segments show.
    auto d = lineDisplay();
    d->setFloat("Trace Length", 0.5f);
    frame(*d, {{-0.4f, 0.0f}, {-0.2f, 0.0f}, {0.0f, 0.0f}, {0.2f, 0.0f}, {0.4f, 0.0f}});
    const auto lines = only(d->render(120, 120), "DrawLine");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NEAR(lines[0].color.a, 1.0, 1e-6);
    EXPECT_NEAR(lines[1].color.a, 0.5, 1e-6);
}

TEST(ScopeLines, FewerThanTwoPointsDrawNothing)
{
    for (size_t n : {0, 1})
    {
        auto d = lineDisplay();
        frame(*d, std::vector<std::pair<float, float>>(n, {0.0f, 0.0f}));
        const auto calls = d->render(120, 120);
        EXPECT_TRUE(only(calls, "DrawLine").empty()) << n;
        EXPECT_TRUE(only(calls, "DrawBitmap").empty()) << n;
    }
}

// --- Both halves, through the host

TEST(ScopePair, SweepFramesReachTheDisplay)
{
    Pair p(L"QW_Oscilloscope");
    p.patch.start();
    p.run(1470, 256, [](int, int64_t) { return 0.3f; });
    const auto& bitmap = p.view().layOutAndRender(200, 100);
    // y = 0.3 (3 V of 6): row int((1 - 0.5) x 0.5 x 99) = 24; the sweep lights it across.
    int lit = 0;
    for (int x = 0; x < 200; ++x)
        lit += bitmap.pixel(x, 24).g > 200;
    EXPECT_GT(lit, 190);
}
} // namespace
