// The graphics host of one drawn module, as the stand-in provides it: the
// drawing factory, redraw and re-measure requests (recorded), pointer
// capture, and the native widgets, made by a widget desk when one is given.
#pragma once

#include "drawing/drawing.h"
#include "mp_api_gui2.h"

#include <vector>

namespace qwhost
{
class Dialogs;

// Counted: one reference after construction, deleted by the last release.
class GraphicsHost final : public gmpi_gui::IMpGraphicsHost, public gmpi_gui::IMpGraphicsHostBase
{
public:
    // Keeps a reference to the factory.
    explicit GraphicsHost(drawing::Factory* factory);
    GraphicsHost(const GraphicsHost&) = delete;
    GraphicsHost& operator=(const GraphicsHost&) = delete;

    // Where the widgets come from; without one, creating a widget fails.
    Dialogs* dialogs = nullptr;

    // A redraw request: the whole module, or a rectangle of it.
    struct Redraw
    {
        bool whole;
        GmpiDrawing_API::MP1_RECT rect;
    };
    std::vector<Redraw> redraws;
    int measureRequests = 0;
    int captureCalls = 0;
    int releaseCalls = 0;

    bool captured() const { return captured_; }
    drawing::Factory* factory() const { return factory_; }
    int32_t refCount() const { return refs_; }

    // IMpUnknown: answers MP_IID_GRAPHICS_HOST and MP_IID_GRAPHICS_HOST_BASE.
    int32_t queryInterface(const gmpi::MpGuid& iid, void** returnInterface) override;
    int32_t addRef() override { return ++refs_; }
    int32_t release() override;
    // IMpGraphicsHost
    int32_t unusedSlot3() override { return gmpi::MP_NOSUPPORT; }
    int32_t GetDrawingFactory(GmpiDrawing_API::IMpFactory** returnFactory) override;
    void invalidateRect(const GmpiDrawing_API::MP1_RECT* rect) override;
    void invalidateMeasure() override { ++measureRequests; }
    int32_t setCapture() override;
    int32_t getCapture(int32_t& returnValue) override;
    int32_t releaseCapture() override;
    int32_t createPlatformMenu(const GmpiDrawing_API::MP1_RECT* rect, gmpi_gui::IMpPlatformMenu** returnMenu) override;
    int32_t createPlatformTextEdit(const GmpiDrawing_API::MP1_RECT* rect,
                                   gmpi_gui::IMpPlatformText** returnTextEdit) override;
    int32_t createOkCancelDialog(int32_t dialogType, gmpi_gui::IMpOkCancelDialog** returnDialog) override;
    // IMpGraphicsHostBase
    int32_t createFileDialog(int32_t dialogType, gmpi_gui::IMpFileDialog** returnFileDialog) override;

private:
    ~GraphicsHost();
    drawing::Factory* factory_;
    bool captured_ = false;
    int32_t refs_ = 1;
};
} // namespace qwhost
