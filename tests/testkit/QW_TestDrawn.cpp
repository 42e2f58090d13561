// Drawn test modules: one with every default of the drawn base, one that
// overrides only its hit test, and a small slider that draws, takes the
// pointer and sends its position.
#include "mp_sdk_gui2.h"
#include "srgb.h"

#include <algorithm>

using namespace GmpiDrawing;

// Every drawing entry point left as the base has it.
class QW_TestDrawnPlain : public gmpi_gui::MpGuiGfxBase
{};

// Hits only the left ten units; the pointer defaults follow.
class QW_TestDrawnHit : public gmpi_gui::MpGuiGfxBase
{
public:
    int32_t hitTest(GmpiDrawing_API::MP1_POINT point) override
    {
        return point.x < 10.0f ? gmpi::MP_OK : gmpi::MP_UNHANDLED;
    }
};

// A horizontal slider: background in the colour of pin 1, a track, a knob at
// the position of pin 0 and the label of pin 2. A left-button press moves the
// knob to the pointer and drags it until the release.
class QW_TestDrawn : public gmpi_gui::MpGuiGfxBase
{
public:
    QW_TestDrawn()
    {
        initializePin(position_, &QW_TestDrawn::redraw);
        initializePin(colour_, &QW_TestDrawn::onSetColour);
        initializePin(label_, &QW_TestDrawn::redraw);
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        Graphics g(context);
        const Rect r = getRect();
        const float w = r.getWidth(), h = r.getHeight();
        g.FillRectangle(Rect(0, 0, w, h), g.CreateSolidColorBrush(background_));

        auto white = g.CreateSolidColorBrush(mp_sdk::colorFromArgb(0xFFFFFFFFu));
        g.DrawLine(Point(0, h * 0.5f), Point(w, h * 0.5f), g.CreateSolidColorBrush(mp_sdk::colorFromArgb(0xFF000000u)),
                   2.0f);
        const float x = knobX();
        const float radius = std::max(1.0f, h * 0.3f);
        g.FillEllipse(Ellipse(Point(x, h * 0.5f), radius), white);

        if (!label_.getValue().empty())
        {
            TextFormat format = g.GetFactory().CreateTextFormat2(std::max(1.0f, h * 0.4f),
                                                                 GmpiDrawing::Factory::FontStack("DejaVu Sans"));
            format.SetParagraphAlignment(ParagraphAlignment::Far);
            g.DrawTextW(label_.getValue(), format, Rect(2, 0, w - 2, h), white, DrawTextOptions::Clip);
        }
        return gmpi::MP_OK;
    }

    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!(flags & gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON))
            return gmpi::MP_UNHANDLED;
        setCapture();
        moveTo(point.x);
        return gmpi::MP_OK;
    }

    int32_t onPointerMove(int32_t, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!getCapture())
            return gmpi::MP_UNHANDLED;
        moveTo(point.x);
        return gmpi::MP_OK;
    }

    int32_t onPointerUp(int32_t, GmpiDrawing_API::MP1_POINT point) override
    {
        if (!getCapture())
            return gmpi::MP_UNHANDLED;
        releaseCapture();
        moveTo(point.x);
        return gmpi::MP_OK;
    }

private:
    float knobX() const { return std::clamp(position_.getValue(), 0.0f, 1.0f) * getRect().getWidth(); }

    void moveTo(float x)
    {
        const float w = getRect().getWidth();
        position_ = w > 0.0f ? std::clamp(x / w, 0.0f, 1.0f) : 0.0f;
        invalidateRect();
    }

    void redraw() { invalidateRect(); }

    void onSetColour()
    {
        GmpiDrawing_API::MP1_COLOR c;
        if (mp_sdk::colorFromText(colour_.getValue(), c))
            background_ = c;
        invalidateRect();
    }

    MpGuiPin<float> position_;
    StringGuiPin colour_;
    StringGuiPin label_;
    Color background_ = mp_sdk::colorFromArgb(0xFF404040u);
};

namespace
{
auto r1 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_TestDrawn", &gmpi::Register<QW_TestDrawn>::withId);
auto r2 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_TestDrawnPlain", &gmpi::Register<QW_TestDrawnPlain>::withId);
auto r3 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_TestDrawnHit", &gmpi::Register<QW_TestDrawnHit>::withId);
} // namespace
