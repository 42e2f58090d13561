// The text and MIDI monitors' rows: fixed-size records the processing half
// collects and sends 60 times a second as one blob, and the display keeps the
// newest of as lines of text.
#pragma once

#include "monitor_parts.h"

#include "mp_sdk_audio.h"
#include "mp_sdk_gui2.h"

#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

namespace qw::monitors
{
// Rows waiting for the next send, in storage reserved in open: at most
// kCapacity, the oldest given up when more arrive in one period.
class PendingRows
{
public:
    static constexpr int kCapacity = 1024;

    explicit PendingRows(int rowSize) : rowSize_(rowSize) {}

    void reserve()
    {
        ring_.assign(static_cast<size_t>(kCapacity) * rowSize_, 0);
        out_.assign(ring_.size(), 0);
        first_ = count_ = 0;
    }

    // A zeroed row at the newest end; null before reserve().
    uint8_t* append()
    {
        if (ring_.empty())
            return nullptr;
        int slot;
        if (count_ < kCapacity)
            slot = (first_ + count_++) % kCapacity;
        else
        {
            slot = first_;
            first_ = (first_ + 1) % kCapacity;
        }
        uint8_t* row = ring_.data() + static_cast<size_t>(slot) * rowSize_;
        std::memset(row, 0, rowSize_);
        return row;
    }

    bool empty() const { return count_ == 0; }

    // Sends every pending row, oldest first, as one blob on the pin.
    void send(MpPinBase& pin, int blockPosition)
    {
        for (int i = 0; i < count_; ++i)
            std::memcpy(out_.data() + static_cast<size_t>(i) * rowSize_,
                        ring_.data() + static_cast<size_t>((first_ + i) % kCapacity) * rowSize_, rowSize_);
        pin.sendPinUpdate(count_ * rowSize_, out_.data(), blockPosition);
        first_ = count_ = 0;
    }

private:
    int rowSize_;
    std::vector<uint8_t> ring_, out_;
    int first_ = 0, count_ = 0;
};

// When to send: every P samples (P = rate / 60, at least 1), at the exact
// sample of each multiple of P counted from open. A span that passes several
// of them sends once, at the first.
class SendClock
{
public:
    void open(float sampleRate)
    {
        const float p = sampleRate / 60.0f;
        period_ = p >= 1.0f ? (p < 1.0e8f ? static_cast<int64_t>(p) : 100000000) : 1;
        accumulator_ = period_;
    }
    int64_t period() const { return period_; }

    // The offset in a span of n samples at which to send, or -1.
    int advance(int n)
    {
        const int64_t a = accumulator_ + n;
        if (a <= period_)
        {
            accumulator_ = a;
            return -1;
        }
        const int64_t first = period_ - accumulator_;
        accumulator_ = a - ((a - period_ - 1) / period_ + 1) * period_;
        return static_cast<int>(first);
    }

private:
    int64_t period_ = 1;
    int64_t accumulator_ = 1;
};

// The processing half: rows pile up and go out on pin 1 on the send clock.
// A graph start adds a marker row (byte 0 = 1).
class RowSender : public MpBase2
{
public:
    explicit RowSender(int rowSize) : rows_(rowSize) { setSleep(false); }

    int32_t open() override
    {
        clock_.open(getSampleRate());
        rows_.reserve();
        return MpBase2::open();
    }

    void onGraphStart() override
    {
        if (uint8_t* row = rows_.append())
            row[0] = 1;
        MpBase2::onGraphStart();
    }

protected:
    void sendDue(int sampleFrames, MpPinBase& out)
    {
        const int at = clock_.advance(sampleFrames);
        if (at >= 0 && !rows_.empty())
            rows_.send(out, getBlockPosition() + at);
    }

    PendingRows rows_;
    SendClock clock_;
};

// The display's rows, oldest first, at most `limit` of them.
template <int kRowSize> class RowList
{
public:
    struct Row
    {
        uint8_t bytes[kRowSize];
    };

    // Whole rows of a blob (a shorter blob adds nothing): a marker row empties
    // the list, any other row is added at the newest end.
    void take(const MpBlob& blob)
    {
        const size_t n = static_cast<size_t>(blob.getSize()) / kRowSize;
        for (size_t i = 0; i < n; ++i)
        {
            Row r;
            std::memcpy(r.bytes, blob.getData() + i * kRowSize, kRowSize);
            if (r.bytes[0] != 0)
                rows_.clear();
            else
                add(r);
        }
    }
    void add(const Row& r)
    {
        rows_.push_back(r);
        while (rows_.size() > limit_)
            rows_.pop_front();
    }
    void setLimit(size_t limit) { limit_ = limit; }
    const std::deque<Row>& rows() const { return rows_; }

private:
    std::deque<Row> rows_;
    size_t limit_ = 1;
};

// Line height of the monitor panels, in pixels.
constexpr float kLineHeight = 13.0f;

// The panel's row limit for a height: the 13-pixel lines that fit, at least 1.
inline size_t rowLimit(float height)
{
    const float n = height / kLineHeight;
    return n >= 1.0f ? (n < 1.0e6f ? static_cast<size_t>(n) : 1000000) : 1;
}
} // namespace qw::monitors

namespace qw::monitors
{
// The monitors' panel: opaque black, and the text format of its lines
// ("Arial", normal weight and style, 13 pixels; a metric-compatible family
// where the host has no Arial).
inline GmpiDrawing::TextFormat monitorPanel(const GmpiDrawing::Graphics_base& g, float w, float h)
{
    g.FillRectangle(GmpiDrawing::Rect(0.0f, 0.0f, w, h),
                    g.CreateSolidColorBrush(GmpiDrawing::Color(0.0f, 0.0f, 0.0f, 1.0f)));
    const auto factory = g.GetFactory();
    GmpiDrawing::TextFormat format;
    for (const char* family : {"Arial", "Liberation Sans", "DejaVu Sans"})
    {
        format = factory.CreateTextFormat(kLineHeight, family, GmpiDrawing::FontWeight::Normal,
                                          GmpiDrawing::FontStyle::Normal, GmpiDrawing::FontStretch::Normal);
        if (!format.isNull())
            break;
    }
    return format;
}
} // namespace qw::monitors
