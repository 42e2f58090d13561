// The drawn base's defaults and its graphics host, through the real entry:
// the test bundle's drawn modules on the stand-in.
#include "drawing/drawn_view.h"
#include "mp_api_gui2.h"
#include "mp_sdk_common.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace qwhost;
using GmpiDrawing_API::MP1_POINT;
using GmpiDrawing_API::MP1_RECT;
using GmpiDrawing_API::MP1_SIZE;

namespace
{
const std::string kTestkit = std::string(QW_TEST_BUNDLE_DIR) + "/testkit.so";

class DrawnBase : public ::testing::Test
{
protected:
    std::shared_ptr<Bundle> bundle = Bundle::load(kTestkit);
    GuiHost host;
    DrawingDesk desk{host};

    std::unique_ptr<DrawnView> view(const wchar_t* id) { return std::make_unique<DrawnView>(desk, bundle, id); }
};

int32_t refs(gmpi::IMpUnknown* p)
{
    p->addRef();
    return p->release();
}

bool sameRect(const MP1_RECT& a, const MP1_RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
} // namespace

TEST_F(DrawnBase, MeasureAsksForTheAvailableSizeAtLeastOneByOne)
{
    auto v = view(L"QW_TestDrawnPlain");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case
    {
        MP1_SIZE available, desired;
    };
    const Case cases[] = {
        {{0.5f, 200.0f}, {1.0f, 200.0f}}, {{0.0f, 0.0f}, {1.0f, 1.0f}},  {{nan, 5.0f}, {1.0f, 5.0f}},
        {{300.0f, nan}, {300.0f, 1.0f}},  {{-3.0f, 1.0f}, {1.0f, 1.0f}}, {{1.5f, 40.0f}, {1.5f, 40.0f}},
    };
    for (const auto& c : cases)
    {
        MP1_SIZE desired{};
        EXPECT_EQ(v->measure(c.available, desired), gmpi::MP_OK);
        EXPECT_EQ(desired.width, c.desired.width) << c.available.width;
        EXPECT_EQ(desired.height, c.desired.height) << c.available.height;
    }
}

TEST_F(DrawnBase, ArrangeAsksForOneRedrawPerChangedRectangle)
{
    auto v = view(L"QW_TestDrawnPlain");
    GraphicsHost& gh = v->graphicsHost();
    MP1_RECT clip{9, 9, 9, 9};
    ASSERT_EQ(v->graphics()->getClipArea(&clip), gmpi::MP_OK);
    EXPECT_TRUE(sameRect(clip, {0, 0, 0, 0})); // nothing arranged yet

    EXPECT_EQ(v->arrange({0, 0, 0, 0}), gmpi::MP_OK);
    EXPECT_EQ(gh.redraws.size(), 0u); // the stored rectangle: no redraw

    const MP1_RECT base{1, 2, 3, 4};
    v->arrange(base);
    ASSERT_EQ(gh.redraws.size(), 1u);
    EXPECT_TRUE(gh.redraws[0].whole);
    v->arrange(base);
    EXPECT_EQ(gh.redraws.size(), 1u);

    // Each coordinate alone counts.
    size_t expected = 1;
    MP1_RECT r = base;
    for (float* f : {&r.left, &r.top, &r.right, &r.bottom})
    {
        *f += 0.5f;
        v->arrange(r);
        EXPECT_EQ(gh.redraws.size(), ++expected);
        v->arrange(r);
        EXPECT_EQ(gh.redraws.size(), expected);
    }
    v->graphics()->getClipArea(&clip);
    EXPECT_TRUE(sameRect(clip, r));

    // A NaN never equals: every such arrange asks again.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    v->arrange({nan, 0, 1, 1});
    v->arrange({nan, 0, 1, 1});
    EXPECT_EQ(gh.redraws.size(), expected + 2);
}

TEST_F(DrawnBase, PointerAndOtherDefaults)
{
    auto v = view(L"QW_TestDrawnPlain");
    v->arrange({0, 0, 20, 10});
    auto* g = v->graphics();
    for (MP1_POINT p : {MP1_POINT{5, 5}, MP1_POINT{-100, 1e6f}})
    {
        EXPECT_EQ(v->pointerDown(0x10, p), 0);
        EXPECT_EQ(v->pointerMove(0, p), 0);
        EXPECT_EQ(v->pointerUp(0x10, p), 0);
        EXPECT_EQ(v->hitTest(p), 0);
        EXPECT_EQ(g->hitTest2(0, p), 0);
        EXPECT_EQ(v->wheel(0, 120, p), -1);
    }
    EXPECT_EQ(g->setHover(true), -1);
    gmpi_sdk::MpString tip;
    EXPECT_EQ(g->getToolTip(MP1_POINT{1, 1}, &tip), -1);
    EXPECT_EQ(v->module().ui()->getToolTip(1.0f, 1.0f, &tip), -1);

    // OnRender draws nothing.
    auto& bitmap = v->render(20, 10);
    EXPECT_EQ(v->lastRenderResult(), 0);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(bitmap.pixel(x, y).a, 0);
    EXPECT_FALSE(v->graphicsHost().captured());
}

TEST_F(DrawnBase, OverridingOnlyTheHitTestChangesThePointerAnswers)
{
    auto v = view(L"QW_TestDrawnHit"); // hits x < 10 only
    for (auto [x, want] : {std::pair{5.0f, 0}, {15.0f, -1}})
    {
        const MP1_POINT p{x, 3};
        EXPECT_EQ(v->pointerDown(0x10, p), want) << x;
        EXPECT_EQ(v->pointerMove(0, p), want) << x;
        EXPECT_EQ(v->pointerUp(0x10, p), want) << x;
        EXPECT_EQ(v->graphics()->hitTest2(0, p), want) << x;
    }
}

TEST_F(DrawnBase, OneDrawingPartAnswersEveryGraphicsIdentifier)
{
    auto v = view(L"QW_TestDrawnPlain");
    gmpi::IMpUnknown* object = v->module().object();
    const int32_t before = refs(object);
    void* first = nullptr;
    for (const gmpi::MpGuid& iid : {gmpi::MP_IID_GRAPHICS_MPGUI, gmpi::MP_IID_GRAPHICS_MPGUI2,
                                    gmpi::MP_IID_GRAPHICS_MPGUI3, gmpi::MP_IID_GRAPHICS_MPGUI4})
    {
        void* p = nullptr;
        ASSERT_EQ(object->queryInterface(iid, &p), gmpi::MP_OK);
        EXPECT_EQ(refs(object), before + 1);
        if (!first)
            first = p;
        EXPECT_EQ(p, first);
        EXPECT_EQ(p, static_cast<void*>(v->graphics()));
        static_cast<gmpi::IMpUnknown*>(p)->release();
    }
    for (const gmpi::MpGuid& iid : {gmpi::MP_IID_UNKNOWN, gmpi::MP_IID_GUI_PLUGIN2, gmpi::MP_IID_GUI_PLUGIN2B})
    {
        void* p = nullptr;
        ASSERT_EQ(object->queryInterface(iid, &p), gmpi::MP_OK);
        EXPECT_EQ(p, static_cast<void*>(object));
        static_cast<gmpi::IMpUnknown*>(p)->release();
    }
    void* p = &p;
    EXPECT_EQ(object->queryInterface(gmpi::MP_IID_PLUGIN2, &p), gmpi::MP_NOSUPPORT);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(refs(object), before);
    // Counting through the drawing view counts the one object.
    EXPECT_EQ(v->graphics()->addRef(), before + 1);
    EXPECT_EQ(object->release(), before);
}

TEST_F(DrawnBase, TheModuleGivesBackItsGraphicsHost)
{
    GraphicsHost* gh = nullptr;
    {
        auto v = view(L"QW_TestDrawn");
        gh = &v->graphicsHost();
        gh->addRef();
        EXPECT_GT(gh->refCount(), 2);
    }
    EXPECT_EQ(gh->refCount(), 1); // only ours is left
    gh->release();
    EXPECT_EQ(host.leakedHostReferences, 0);
}

TEST_F(DrawnBase, WithoutAGraphicsHostTheModuleStillWorks)
{
    desk.offerGraphicsHost = false;
    auto v = view(L"QW_TestDrawn");
    EXPECT_EQ(v->module().setHostResult, gmpi::MP_OK);
    EXPECT_EQ(desk.graphicsHostOf(v->module()), nullptr);
    EXPECT_EQ(v->arrange({0, 0, 100, 20}), gmpi::MP_OK); // a change, and no one to tell
    MP1_RECT clip{};
    v->graphics()->getClipArea(&clip);
    EXPECT_TRUE(sameRect(clip, {0, 0, 100, 20}));
    // The slider's press takes no capture, so its move is not a drag.
    EXPECT_EQ(v->pointerDown(0x10, {20, 10}), 0);
    EXPECT_EQ(v->pointerMove(0x10, {80, 10}), -1);
    EXPECT_EQ(v->pointerUp(0x10, {80, 10}), -1);
    ASSERT_NE(v->module().lastTransmit(0), nullptr);
    EXPECT_FLOAT_EQ(v->module().lastTransmit(0)->asFloat(), 0.2f);
    v->render(100, 20);
}

TEST_F(DrawnBase, ASliderDrawsItsPinsAndDragsWithTheCapture)
{
    auto v = view(L"QW_TestDrawn");
    GraphicsHost& gh = v->graphicsHost();
    v->module().setFloat(0, 0.25f);
    auto& bitmap = v->layOutAndRender(100, 20);

    // Background: the colour pin's default through the colour table.
    const auto px = bitmap.pixel(60, 2);
    EXPECT_EQ(px.r, 0x20);
    EXPECT_EQ(px.g, 0x60);
    EXPECT_EQ(px.b, 0xA0);
    EXPECT_EQ(px.a, 0xFF);
    // The knob at a quarter of the width.
    EXPECT_EQ(bitmap.pixel(25, 8).r, 0xFF);
    EXPECT_EQ(bitmap.pixel(75, 8).r, 0x20);

    const size_t before = v->module().transmits.size();
    EXPECT_EQ(v->pointerMove(0, {50, 10}), -1); // no press, no drag
    EXPECT_EQ(v->pointerDown(0, {50, 10}), -1); // not the left button
    EXPECT_EQ(v->module().transmits.size(), before);

    EXPECT_EQ(v->pointerDown(0x10, {40, 10}), 0);
    EXPECT_TRUE(gh.captured());
    EXPECT_EQ(v->pointerMove(0x10, {70, 10}), 0);
    EXPECT_EQ(v->pointerUp(0x10, {70, 10}), 0);
    EXPECT_FALSE(gh.captured());
    EXPECT_EQ(gh.captureCalls, 1);
    EXPECT_EQ(gh.releaseCalls, 1);
    auto sent = v->module().transmitsOf(0);
    ASSERT_EQ(sent.size(), 2u); // 0.4, then 0.7 (the release at the same place sends nothing)
    EXPECT_FLOAT_EQ(sent[0]->asFloat(), 0.4f);
    EXPECT_FLOAT_EQ(sent[1]->asFloat(), 0.7f);

    auto& after = v->render(100, 20);
    EXPECT_EQ(after.pixel(70, 8).r, 0xFF);
    EXPECT_EQ(after.pixel(25, 8).r, 0x20);

    // A new colour pin value redraws in that colour.
    const size_t redraws = gh.redraws.size();
    v->module().setText(1, L"FF102030");
    EXPECT_GT(gh.redraws.size(), redraws);
    EXPECT_EQ(v->render(100, 20).pixel(60, 2).b, 0x30);
}

TEST_F(DrawnBase, AModuleThatDrawsNothingIsRefused)
{
    EXPECT_THROW(view(L"QW_TestGuiProbe"), Error);
}
