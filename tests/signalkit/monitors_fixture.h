// The monitor modules on the stand-in: both halves of one identifier in a
// patch (the processing half's blobs and messages reach the display through
// the host), or the display alone; and readers of what they sent and drew.
#pragma once

#include "drawn_fixture.h"
#include "mp_sdk_common.h"
#include "patch.h"

#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace monitors_test
{
using drawntest::Drawn;
using qwhost::drawing::DrawCall;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A display of the signalkit bundle alone.
inline std::unique_ptr<Drawn> display(const wchar_t* id, qwhost::Echo echo = qwhost::Echo::None)
{
    return std::make_unique<Drawn>(id, echo, true, "signalkit");
}

// Frames of oscilloscope points as their blob bytes.
inline std::vector<uint8_t> pointBlob(const std::vector<std::pair<float, float>>& points)
{
    std::vector<uint8_t> out(points.size() * 8);
    for (size_t i = 0; i < points.size(); ++i)
    {
        std::memcpy(out.data() + 8 * i, &points[i].first, 4);
        std::memcpy(out.data() + 8 * i + 4, &points[i].second, 4);
    }
    return out;
}

// The stored bytes (blue, green, red, alpha) of a drawn pixel.
inline std::vector<int> bgra(const qwhost::drawing::Bitmap& b, int x, int y)
{
    const auto p = b.pixel(x, y);
    return {p.b, p.g, p.r, p.a};
}

// Both halves of a monitor in a patch, the display drawn through a view.
class Pair
{
public:
    explicit Pair(const wchar_t* id, float rate = 44100.0f, int blockSize = 256)
    {
        patch.processing.sampleRate = rate;
        patch.processing.blockSize = blockSize;
        desk_ = std::make_unique<qwhost::DrawingDesk>(patch.gui);
        module_ = &patch.add(qwtest::bundle("signalkit"), id);
        view_ = std::make_unique<qwhost::DrawnView>(*desk_, *module_->gui);
    }
    ~Pair()
    {
        view_.reset();
        desk_.reset();
    }

    qwhost::Processor& dsp() const { return *module_->processor; }
    qwhost::GuiModule& gui() const { return *module_->gui; }
    qwhost::DrawnView& view() const { return *view_; }

    // Runs `total` samples in blocks of `block`; audio inputs from signal(pin, t)
    // when given.
    void run(int64_t total, int block, const std::function<float(int, int64_t)>& signal = {})
    {
        const int64_t end = dsp().now() + total;
        if (signal && !streaming_)
        {
            streaming_ = true;
            for (int pin = 0; pin < dsp().pinCount(); ++pin)
                if (dsp().pinInfo(pin).datatype == gmpi::MP_AUDIO && dsp().pinInfo(pin).direction == gmpi::MP_IN)
                    dsp().setStreaming(pin, true);
        }
        while (dsp().now() < end)
        {
            const int n = static_cast<int>(std::min<int64_t>(block, end - dsp().now()));
            if (signal)
                for (int pin = 0; pin < dsp().pinCount(); ++pin)
                    if (dsp().pinInfo(pin).datatype == gmpi::MP_AUDIO && dsp().pinInfo(pin).direction == gmpi::MP_IN)
                        for (int i = 0; i < n; ++i)
                            dsp().input(pin)[i] = signal(pin, dsp().now() + i);
            patch.run(n);
        }
    }

    // Lays out at (0, 0, w, h) and draws; the calls of that render.
    std::vector<DrawCall> render(int w, int h)
    {
        auto* f = view_->factory();
        f->calls().clear();
        f->setRecording(true);
        view_->layOutAndRender(w, h);
        f->setRecording(false);
        return f->calls();
    }

    qwhost::Patch patch;

private:
    std::unique_ptr<qwhost::DrawingDesk> desk_;
    qwhost::PatchModule* module_ = nullptr;
    std::unique_ptr<qwhost::DrawnView> view_;
    bool streaming_ = false;
};

// Every text a render drew, in order.
inline std::vector<std::string> texts(const std::vector<DrawCall>& calls)
{
    std::vector<std::string> out;
    for (auto& c : calls)
        if (c.op == "DrawTextU")
            out.push_back(c.text);
    return out;
}
} // namespace monitors_test
