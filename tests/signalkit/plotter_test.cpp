// The plotter through the built bundle: the processing half's periods, gain
// and messages; the display's columns on a small chart, hold and short
// messages.
#include "monitors_fixture.h"

#include <gtest/gtest.h>

namespace
{
using namespace monitors_test;

struct Dsp
{
    explicit Dsp(float rate)
    {
        host.sampleRate = rate;
        host.blockSize = 256;
        p = host.create(qwtest::bundle("signalkit"), L"QW_Plotter");
        p->startGraph();
        p->setStreaming(0, true);
    }
    void run(int64_t total, int block, float input)
    {
        const int64_t end = p->now() + total;
        while (p->now() < end)
        {
            const int n = static_cast<int>(std::min<int64_t>(block, end - p->now()));
            for (int i = 0; i < n; ++i)
                p->input(0)[i] = input;
            p->run(n);
        }
    }
    std::pair<float, float> last() const
    {
        std::pair<float, float> v{0.0f, 0.0f};
        if (!p->messages.empty() && p->messages.back().data.size() == 8)
        {
            std::memcpy(&v.first, p->messages.back().data.data(), 4);
            std::memcpy(&v.second, p->messages.back().data.data() + 4, 4);
        }
        return v;
    }
    qwhost::ProcessingHost host;
    std::unique_ptr<qwhost::Processor> p;
};

TEST(PlotterDsp, PeriodsOfAtLeastTenMilliseconds)
{
    struct Case
    {
        float ms;
        int samples; // at 48 kHz
    };
    for (Case c : {Case{5.0f, 480}, Case{10.0f, 480}, Case{20.0f, 960}, Case{kNaN, 480}, Case{-3.0f, 480}})
        for (int block : {1, 64, 256})
        {
            Dsp d(48000.0f);
            d.p->setFloat(1, c.ms);
            d.run(c.samples - 1, block, 0.0f);
            EXPECT_EQ(d.p->messages.size(), 0u) << c.ms << " ms";
            d.run(1, block, 0.0f);
            EXPECT_EQ(d.p->messages.size(), 1u) << c.ms << " ms";
            d.run(10 * c.samples, block, 0.0f);
            EXPECT_EQ(d.p->messages.size(), 11u) << c.ms << " ms";
            ASSERT_EQ(d.p->messages.back().id, 0);
        }
}

TEST(PlotterDsp, FullScaleSetsTheGain)
{
    struct Case
    {
        float volts;
        float input;
        float expected;
    };
    for (Case c : {Case{10.0f, 0.5f, 0.5f}, Case{10.0f, -1.0f, -1.0f}, Case{5.0f, 0.25f, 0.5f}, Case{0.0f, 1e-5f, 1.0f},
                   Case{-4.0f, 1e-5f, 1.0f}, Case{kNaN, 1e-5f, 1.0f}})
    {
        Dsp d(48000.0f);
        d.p->setFloat(1, 10.0f);
        d.p->setFloat(2, c.volts);
        d.run(480, 64, c.input);
        ASSERT_EQ(d.p->messages.size(), 1u);
        EXPECT_NEAR(d.last().first, c.expected, 1e-5) << c.volts << " V";
        EXPECT_NEAR(d.last().second, c.expected, 1e-5) << c.volts << " V";
    }
}

TEST(PlotterDsp, MinimumAndMaximumOfEachPeriod)
{
    Dsp d(48000.0f);
    d.p->setFloat(1, 10.0f);
    d.p->setFloat(2, 10.0f);
    d.run(100, 64, 0.2f);
    d.run(100, 64, -0.7f);
    d.run(280, 64, 0.1f);
    ASSERT_EQ(d.p->messages.size(), 1u);
    EXPECT_FLOAT_EQ(d.last().first, -0.7f);
    EXPECT_FLOAT_EQ(d.last().second, 0.2f);
    d.run(480, 64, 0.1f);
    EXPECT_FLOAT_EQ(d.last().first, 0.1f);
    EXPECT_FLOAT_EQ(d.last().second, 0.1f);
    EXPECT_TRUE(d.p->sleepRequests.empty());
}

// --- Display: a 4 x 8 chart in FF0000FF (blue, alpha 1) on no background.

std::unique_ptr<Drawn> chart()
{
    auto d = display(L"QW_Plotter");
    for (const char* pin : {"Background Top", "Background Bottom", "Grid Colour"})
        d->setText(pin, L"00000000");
    d->setText("Chart Colour", L"FF0000FF");
    return d;
}

void message(Drawn& d, float minimum, float maximum, int size = 8)
{
    const float m[2] = {minimum, maximum};
    d.module().messageFromAudio(0, m, size);
}

// The alpha bytes of a column, top to bottom.
std::vector<int> column(const Drawn& d, int x)
{
    std::vector<int> a;
    for (int y = 0; y < 8; ++y)
        a.push_back(bgra(*d.view().bitmap(), x, y)[3]);
    return a;
}

TEST(PlotterDisplay, ColumnFromMinimumToMaximum)
{
    struct Case
    {
        float minimum, maximum;
        std::vector<int> alphas;
    };
    // y = 4 - 4 v: v = 0 is row 4 alone; beyond full scale the bar runs
    // edge to edge; -0.3 .. 0.55 spans 1.8 .. 5.2: rows 1 and 5 covered 0.2
    // (alpha byte 51), rows 2 to 4 whole.
    const Case cases[] = {
        {0.0f, 0.0f, {0, 0, 0, 0, 255, 0, 0, 0}},         {-2.0f, 2.0f, {255, 255, 255, 255, 255, 255, 255, 255}},
        {-0.3f, 0.55f, {0, 51, 255, 255, 255, 51, 0, 0}}, {0.3f, 0.3f, {0, 0, 255, 0, 0, 0, 0, 0}},
        {kNaN, kNaN, {0, 0, 0, 0, 255, 0, 0, 0}},         {-kInf, kInf, {255, 255, 255, 255, 255, 255, 255, 255}},
    };
    for (auto& c : cases)
    {
        auto d = chart();
        d->render(4, 8);
        message(*d, c.minimum, c.maximum);
        d->render(4, 8);
        EXPECT_EQ(column(*d, 3), c.alphas) << c.minimum << " .. " << c.maximum;
        EXPECT_EQ(column(*d, 2), std::vector<int>(8, 0));
    }
    // Premultiplied blue at the partial end: (255 x 51) >> 8 = 50.
    auto d = chart();
    d->render(4, 8);
    message(*d, -0.3f, 0.55f);
    d->render(4, 8);
    EXPECT_EQ(bgra(*d->view().bitmap(), 3, 1), (std::vector<int>{50, 0, 0, 51}));
    EXPECT_EQ(bgra(*d->view().bitmap(), 3, 2), (std::vector<int>{254, 0, 0, 255}));
}

TEST(PlotterDisplay, OneColumnPerDrawingShowingTheLatestMessage)
{
    auto d = chart();
    d->render(4, 8);
    message(*d, 0.9f, 0.9f);
    message(*d, 0.0f, 0.0f);
    d->render(4, 8);
    EXPECT_EQ(column(*d, 3), (std::vector<int>{0, 0, 0, 0, 255, 0, 0, 0}));
    EXPECT_EQ(column(*d, 2), std::vector<int>(8, 0));
    message(*d, -2.0f, -2.0f);
    d->render(4, 8);
    EXPECT_EQ(column(*d, 2), (std::vector<int>{0, 0, 0, 0, 255, 0, 0, 0}));
    EXPECT_EQ(column(*d, 3), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 255}));
    // A drawing without a message leaves the chart as it is.
    d->render(4, 8);
    EXPECT_EQ(column(*d, 2), (std::vector<int>{0, 0, 0, 0, 255, 0, 0, 0}));
}

TEST(PlotterDisplay, HoldDiscardsMessages)
{
    auto d = chart();
    d->render(4, 8);
    message(*d, 0.0f, 0.0f);
    d->render(4, 8);
    d->setBool("Hold", true);
    message(*d, 2.0f, 2.0f);
    d->render(4, 8);
    EXPECT_EQ(column(*d, 3), (std::vector<int>{0, 0, 0, 0, 255, 0, 0, 0}));
    d->setBool("Hold", false);
    d->render(4, 8);
    EXPECT_EQ(column(*d, 3), (std::vector<int>{0, 0, 0, 0, 255, 0, 0, 0}));
    message(*d, 2.0f, 2.0f);
    d->render(4, 8);
    EXPECT_EQ(column(*d, 3), (std::vector<int>{255, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(column(*d, 2), (std::vector<int>{0, 0, 0, 0, 255, 0, 0, 0}));
}

TEST(PlotterDisplay, MessagesShorterThanEightBytesAreIgnored)
{
    for (int size : {0, 4, 7})
    {
        auto d = chart();
        d->render(4, 8);
        message(*d, 0.0f, 0.0f, size);
        d->render(4, 8);
        EXPECT_EQ(column(*d, 3), std::vector<int>(8, 0)) << size;
    }
}

TEST(PlotterDisplay, BackgroundGridLines)
{
    auto d = display(L"QW_Plotter");
    const auto lines = drawntest::only(d->render(50, 100), "DrawLine");
    ASSERT_EQ(lines.size(), 21u);
    for (int k = 0; k <= 20; ++k)
        drawntest::expectNear(lines[k].values, {0.0, k * 5.0 - 1.0, 49.0, k * 5.0 - 1.0, 1.0},
                              "line " + std::to_string(k));
}

TEST(PlotterPair, MessagesReachTheDisplayThroughTheHost)
{
    Pair p(L"QW_Plotter", 48000.0f, 64);
    p.patch.start();
    for (const char* pin : {"Background Top", "Background Bottom", "Grid Colour"})
        p.gui().setText(p.gui().pin(pin), L"00000000");
    p.gui().setText(p.gui().pin("Chart Colour"), L"FF0000FF");
    p.view().layOutAndRender(10, 8);
    p.run(2399, 64, [](int, int64_t) { return 0.0f; });
    EXPECT_EQ(p.view().layOutAndRender(10, 8).pixel(9, 4).a, 0);
    p.run(1, 64, [](int, int64_t) { return 0.0f; }); // 50 ms: the first message
    const auto& b = p.view().layOutAndRender(10, 8);
    EXPECT_EQ(b.pixel(9, 4).a, 255);
    EXPECT_EQ(b.pixel(9, 3).a, 0);
    EXPECT_EQ(b.pixel(8, 4).a, 0);
}
} // namespace
