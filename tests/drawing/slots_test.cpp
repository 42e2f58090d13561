// Slot positions of the drawing interfaces, the drawn objects' interfaces,
// the graphics host and the drawn base, where the host calls them.
#include "mp_api_drawing.h"
#include "mp_api_gui2.h"
#include "mp_sdk_gui2.h"
#include "test_support.h"

#include <gtest/gtest.h>

using qwtest::slotOf;
using namespace GmpiDrawing_API;

TEST(DrawingSlots, EveryCalledOperationStandsWhereTheHostCallsIt)
{
    struct Row
    {
        const char* what;
        int slot, expected;
    };
    const Row rows[] = {
        {"context GetFactory", slotOf(&IMpDeviceContext::GetFactory), 3},
        {"context CreateSolidColorBrush", slotOf(&IMpDeviceContext::CreateSolidColorBrush), 5},
        {"context CreateGradientStopCollection", slotOf(&IMpDeviceContext::CreateGradientStopCollection), 6},
        {"context CreateLinearGradientBrush", slotOf(&IMpDeviceContext::CreateLinearGradientBrush), 7},
        {"context CreateRadialGradientBrush", slotOf(&IMpDeviceContext::CreateRadialGradientBrush), 8},
        {"context DrawLine", slotOf(&IMpDeviceContext::DrawLine), 9},
        {"context DrawRectangle", slotOf(&IMpDeviceContext::DrawRectangle), 10},
        {"context FillRectangle", slotOf(&IMpDeviceContext::FillRectangle), 11},
        {"context DrawRoundedRectangle", slotOf(&IMpDeviceContext::DrawRoundedRectangle), 12},
        {"context FillRoundedRectangle", slotOf(&IMpDeviceContext::FillRoundedRectangle), 13},
        {"context DrawEllipse", slotOf(&IMpDeviceContext::DrawEllipse), 14},
        {"context FillEllipse", slotOf(&IMpDeviceContext::FillEllipse), 15},
        {"context DrawGeometry", slotOf(&IMpDeviceContext::DrawGeometry), 16},
        {"context FillGeometry", slotOf(&IMpDeviceContext::FillGeometry), 17},
        {"context DrawBitmap", slotOf(&IMpDeviceContext::DrawBitmap), 18},
        {"context DrawTextU", slotOf(&IMpDeviceContext::DrawTextU), 19},
        {"context PushAxisAlignedClip", slotOf(&IMpDeviceContext::PushAxisAlignedClip), 22},
        {"context PopAxisAlignedClip", slotOf(&IMpDeviceContext::PopAxisAlignedClip), 23},
        {"context Clear", slotOf(&IMpDeviceContext::Clear), 25},
        {"context BeginDraw", slotOf(&IMpDeviceContext::BeginDraw), 26},
        {"context EndDraw", slotOf(&IMpDeviceContext::EndDraw), 27},
        {"context CreateCompatibleRenderTarget", slotOf(&IMpDeviceContext::CreateCompatibleRenderTarget), 28},
        {"render target GetBitmap", slotOf(&IMpBitmapRenderTarget::GetBitmap), 29},
        {"factory CreatePathGeometry", slotOf(&IMpFactory::CreatePathGeometry), 3},
        {"factory CreateTextFormat", slotOf(&IMpFactory::CreateTextFormat), 4},
        {"factory CreateImage", slotOf(&IMpFactory::CreateImage), 5},
        {"factory LoadImageU", slotOf(&IMpFactory::LoadImageU), 6},
        {"factory2 GetFontFamilyName", slotOf(&IMpFactory2::GetFontFamilyName), 8},
        {"text format SetTextAlignment", slotOf(&IMpTextFormat::SetTextAlignment), 3},
        {"text format SetParagraphAlignment", slotOf(&IMpTextFormat::SetParagraphAlignment), 4},
        {"text format SetWordWrapping", slotOf(&IMpTextFormat::SetWordWrapping), 5},
        {"text format GetTextExtentU", slotOf(&IMpTextFormat::GetTextExtentU), 6},
        {"text format GetFontMetrics", slotOf(&IMpTextFormat::GetFontMetrics), 7},
        {"text format SetLineSpacing", slotOf(&IMpTextFormat::SetLineSpacing), 8},
        {"bitmap GetFactory", slotOf(&IMpBitmap::GetFactory), 3},
        {"bitmap GetSizeU", slotOf(&IMpBitmap::GetSizeU), 7},
        {"bitmap lockPixels", slotOf(&IMpBitmap::lockPixels), 8},
        {"pixels getAddress", slotOf(&IMpBitmapPixels::getAddress), 3},
        {"pixels getBytesPerRow", slotOf(&IMpBitmapPixels::getBytesPerRow), 4},
        {"pixels getPixelFormat", slotOf(&IMpBitmapPixels::getPixelFormat), 5},
        {"solid brush SetColor", slotOf(&IMpSolidColorBrush::SetColor), 4},
        {"path geometry Open", slotOf(&IMpPathGeometry::Open), 4},
        {"sink BeginFigure", slotOf(&IMpGeometrySink::BeginFigure), 3},
        {"sink EndFigure", slotOf(&IMpGeometrySink::EndFigure), 6},
        {"sink Close", slotOf(&IMpGeometrySink::Close), 7},
        {"sink AddLine", slotOf(&IMpGeometrySink::AddLine), 8},
    };
    for (auto& r : rows)
        EXPECT_EQ(r.slot, r.expected) << r.what;
}

TEST(DrawingSlots, DrawnObjectsAndTheGraphicsHost)
{
    using gmpi_gui::IMpGraphicsHost;
    using gmpi_gui::MpGuiGfxBase;
    using gmpi_gui_api::IMpGraphics4;
    struct Row
    {
        const char* what;
        int slot, expected;
    };
    const Row rows[] = {
        {"view measure", slotOf(&IMpGraphics4::measure), 3},
        {"view arrange", slotOf(&IMpGraphics4::arrange), 4},
        {"view OnRender", slotOf(&IMpGraphics4::OnRender), 5},
        {"view onPointerDown", slotOf(&IMpGraphics4::onPointerDown), 6},
        {"view onPointerMove", slotOf(&IMpGraphics4::onPointerMove), 7},
        {"view onPointerUp", slotOf(&IMpGraphics4::onPointerUp), 8},
        {"view hitTest", slotOf(&IMpGraphics4::hitTest), 9},
        {"view getToolTip", slotOf(&IMpGraphics4::getToolTip), 10},
        {"view hitTest2", slotOf(&IMpGraphics4::hitTest2), 11},
        {"view onMouseWheel", slotOf(&IMpGraphics4::onMouseWheel), 12},
        {"view setHover", slotOf(&IMpGraphics4::setHover), 13},
        {"view getClipArea", slotOf(&IMpGraphics4::getClipArea), 14},
        {"host GetDrawingFactory", slotOf(&IMpGraphicsHost::GetDrawingFactory), 4},
        {"host invalidateRect", slotOf(&IMpGraphicsHost::invalidateRect), 5},
        {"host invalidateMeasure", slotOf(&IMpGraphicsHost::invalidateMeasure), 6},
        {"host setCapture", slotOf(&IMpGraphicsHost::setCapture), 7},
        {"host getCapture", slotOf(&IMpGraphicsHost::getCapture), 8},
        {"host releaseCapture", slotOf(&IMpGraphicsHost::releaseCapture), 9},
        {"host createPlatformMenu", slotOf(&IMpGraphicsHost::createPlatformMenu), 10},
        {"host createPlatformTextEdit", slotOf(&IMpGraphicsHost::createPlatformTextEdit), 11},
        {"host createOkCancelDialog", slotOf(&IMpGraphicsHost::createOkCancelDialog), 12},
        {"host base createFileDialog", slotOf(&gmpi_gui::IMpGraphicsHostBase::createFileDialog), 3},
        // The drawn base's primary view continues the user-interface base at 14.
        {"base measure", slotOf(&MpGuiGfxBase::measure), 14},
        {"base arrange", slotOf(&MpGuiGfxBase::arrange), 15},
        {"base OnRender", slotOf(&MpGuiGfxBase::OnRender), 16},
        {"base onPointerDown", slotOf(&MpGuiGfxBase::onPointerDown), 17},
        {"base onPointerMove", slotOf(&MpGuiGfxBase::onPointerMove), 18},
        {"base onPointerUp", slotOf(&MpGuiGfxBase::onPointerUp), 19},
        {"base hitTest", slotOf(&MpGuiGfxBase::hitTest), 20},
        {"base getToolTip",
         slotOf(static_cast<int32_t (MpGuiGfxBase::*)(MP1_POINT, gmpi::IString*)>(&MpGuiGfxBase::getToolTip)), 21},
        {"base hitTest2", slotOf(&MpGuiGfxBase::hitTest2), 22},
        {"base onMouseWheel", slotOf(&MpGuiGfxBase::onMouseWheel), 23},
        {"base setHover", slotOf(&MpGuiGfxBase::setHover), 24},
        {"base getClipArea", slotOf(&MpGuiGfxBase::getClipArea), 25},
        {"base setHost", slotOf(&MpGuiGfxBase::setHost), 3},
    };
    for (auto& r : rows)
        EXPECT_EQ(r.slot, r.expected) << r.what;
}
