// The waveform view of the sample displays of both generations: a mono sample
// drawn column by column as its smallest and largest frames over a gradient
// background (with a grid in the editors), a zero line and the selection.
// The view (first frame and number of frames in view) follows its pins, zoom
// triggers and a drag that runs past the edge; the first button drags a
// selection; the frame under the pointer and its value are reported; in the
// editors the pencil draws new frame values, published on release.
//
// Background and waveform are drawn once into off-screen bitmaps and only
// copied while nothing they show changes; the selection is drawn over them
// each time, so dragging it rebuilds nothing unless the view scrolls.
//
// What differs between the generations stays in the modules: the sample pin,
// where the pencil writes and how a stroke is published. The frames are taken
// from the module each time they are drawn, probed or edited (the host may
// draw between storing a new sample and announcing it).
#pragma once

#include "Drawing.h"
#include "mp_sdk_gui2.h"
#include "waveform_walk.h"

#include <cstdint>
#include <vector>

namespace qw
{
class WaveformView : public gmpi_gui::MpGuiGfxBase
{
public:
    static constexpr int kColours = 8;
    // Widest view drawn, in pixel columns.
    static constexpr int kMaxColumns = 16384;

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override;
    int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
    int32_t onPointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
    int32_t onPointerUp(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
    int32_t hitTest(GmpiDrawing_API::MP1_POINT point) override;
    int32_t getToolTip(GmpiDrawing_API::MP1_POINT point, gmpi::IString* text) override;
    int32_t setHover(bool isMouseOverMe) override;
    int32_t populateContextMenu(float x, float y, gmpi::IMpUnknown* sink) override;
    int32_t onContextMenu(int32_t id) override;
    using gmpi_gui::MpGuiGfxBase::getToolTip;

protected:
    // Editor: 32 pins with the pencil, context menu, tool tip, hover and a
    // grid; the frame under a drag is reported. Display: 24 pins, seven
    // colours, no pencil, menu, tool tip, hover or grid.
    enum class Kind
    {
        Editor,
        Display,
    };
    // The frames shown now.
    struct Frames
    {
        const float* data = nullptr;
        int64_t count = 0;
    };

    explicit WaveformView(Kind kind);

    // Registers every pin after the sample pin (which the module registers
    // first), in the order of its kind.
    void registerViewPins();

    // The frames shown, taken from the module's pin or its own copy.
    virtual Frames shownFrames() const = 0;
    // The shown frames made writable for the pencil (the editors' copy);
    // null when they cannot be.
    virtual float* pencilFrames() { return nullptr; }
    // Publishes the frames after a pencil stroke.
    virtual void publishStroke() {}

    // A new sample (or none) on the module's pin: the view is kept or shows
    // the whole sample, the selection is sent again, a stroke in progress ends.
    void newSample();

private:
    enum class Gesture
    {
        None,
        Select,
        Pencil,
    };
    struct Mapping; // the view as pixels, for the frames shown now

    void onSetYRng();
    void onSetAutoZoom();
    void onSetColors();
    void onSetGridStep();
    void onSetOffset();
    void onSetVisible();
    void viewFromPin(int32_t& state, const MpGuiPin<int>& pin);
    void onSetZoom();
    void onSetZoomOut();
    void onSetHome();
    void onSetSelectAll();
    void onSetSelection();

    void doZoom(int64_t count);
    void clearSelection();
    void pencilTo(float* frames, int64_t count, const Mapping& m, GmpiDrawing_API::MP1_POINT point);
    void dropWaveform() { waveform_.setNull(); }
    void dropBackground() { background_.setNull(); }
    bool visible(int colour) const { return colours_[colour].a > 0.0f; }
    bool backgroundVisible() const;
    GmpiDrawing::Bitmap buildLayer(const GmpiDrawing::Graphics& g, bool wave, const Frames& f);
    void paintBackground(const GmpiDrawing::Graphics_base& g) const;
    void paintWaveform(const GmpiDrawing::Graphics_base& g, const Frames& f);

    const Kind kind_;

    // Pins (the sample pin is the module's).
    MpGuiPin<float> pinYRange_;
    MpGuiPin<bool> pinSelectEnabled_;
    MpGuiPin<bool> pinPencil_;
    MpGuiPin<bool> pinPencilNoModifier_;
    MpGuiPin<bool> pinAutoZoom_;
    MpGuiPin<bool> pinWholeOnNew_;
    MpGuiPin<bool> pinPointerDown_;
    StringGuiPin pinMenuItems_;
    MpGuiPin<int> pinMenuChoice_;
    StringGuiPin pinToolTip_;
    StringGuiPin pinColours_[kColours];
    MpGuiPin<float> pinGridStep_;
    MpGuiPin<bool> pinHover_;
    MpGuiPin<int> pinOffset_;
    MpGuiPin<int> pinVisible_;
    MpGuiPin<int> pinTotal_;
    MpGuiPin<bool> pinZoom_;
    MpGuiPin<bool> pinZoomOut_;
    MpGuiPin<bool> pinHome_;
    MpGuiPin<bool> pinSelectAll_;
    MpGuiPin<int> pinSelStart_;
    MpGuiPin<int> pinSelEnd_;
    MpGuiPin<int> pinFrameUnder_;
    MpGuiPin<float> pinValueUnder_;

    // The view and the selection.
    int32_t total_ = 0;
    int32_t offset_ = 0, visible_ = 0;
    int32_t selStart_ = -1, selEnd_ = -1;
    // Gestures.
    Gesture gesture_ = Gesture::None;
    int64_t anchor_ = 0;
    float lastX_ = 0.0f;
    bool moved_ = false;
    int64_t lastPencilFrame_ = 0;
    float lastPencilValue_ = 0.0f;
    // Drawing.
    float range_ = 0.5f;
    float gridStep_ = 0.1f;
    GmpiDrawing::Size size_{0.0f, 0.0f}; // the size last drawn
    GmpiDrawing::Color colours_[kColours];
    GmpiDrawing::Bitmap background_, waveform_;
    std::vector<wave::Column> columns_;
};
} // namespace qw
