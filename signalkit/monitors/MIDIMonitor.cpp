// MIDI monitor: each MIDI message becomes a row with its sample time and its
// bytes in hexadecimal; the display lists the newest rows.
#include "rows.h"

#include <cstdio>

using namespace qw::monitors;

namespace
{
// Row: 0 graph-start marker, 1-31 zero-terminated ASCII text of at most 29
// characters.
constexpr int kRowSize = 32;
constexpr int kTextMax = 29;
} // namespace

// 0 MIDI in; 1 blob rows out.
class QW_MIDIMonitorDSP final : public RowSender
{
public:
    QW_MIDIMonitorDSP() : RowSender(kRowSize)
    {
        initializePin(midi_);
        initializePin(out_);
        setSubProcess(&QW_MIDIMonitorDSP::subProcess);
    }

    int32_t open() override
    {
        samples_ = 0;
        return RowSender::open();
    }

    // "0000044100:  0x90  0x3C  0x64": the sample count since open, then each
    // byte, cut at 29 characters.
    void onMidiMessage(int, const unsigned char* bytes, int size) override
    {
        uint8_t* row = rows_.append();
        if (!row)
            return;
        char text[48];
        int length = std::snprintf(text, sizeof text, "%.10u:  ", samples_);
        for (int i = 0; i < size && bytes && length < kTextMax; ++i)
            length += std::snprintf(text + length, sizeof text - length, "0x%.2X  ", bytes[i]);
        std::memcpy(row + 1, text, length < kTextMax ? length : kTextMax);
    }
    using RowSender::onMidiMessage;

    void subProcess(int sampleFrames)
    {
        samples_ += static_cast<uint32_t>(sampleFrames);
        sendDue(sampleFrames, out_);
    }

private:
    MidiInPin midi_;
    BlobOutPin out_;
    uint32_t samples_ = 0;
};

// 0 blob rows in.
class QW_MIDIMonitorGUI final : public gmpi_gui::MpGuiGfxBase
{
public:
    QW_MIDIMonitorGUI() { initializePin(fromDsp_, &QW_MIDIMonitorGUI::onSetFromDSP); }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        GmpiDrawing::Graphics g(context);
        const float w = rect_.right - rect_.left, h = rect_.bottom - rect_.top;
        const auto format = monitorPanel(g, w, h);
        list_.setLimit(rowLimit(h));
        auto brush = g.CreateSolidColorBrush(colourOf(0xFF40FF80u));
        float y = 0.0f;
        for (const auto& row : list_.rows())
        {
            // Text up to its terminator, never past the row; other than
            // printable ASCII shows as '?'.
            std::string text;
            for (int i = 1; i < kRowSize && row.bytes[i] != 0; ++i)
                text.push_back(row.bytes[i] >= 0x20 && row.bytes[i] < 0x7F ? static_cast<char>(row.bytes[i]) : '?');
            g.DrawTextU(text, format, GmpiDrawing::Rect(0.0f, y, 10000.0f, y + 10000.0f), brush);
            y += kLineHeight;
        }
        return gmpi::MP_OK;
    }

private:
    void onSetFromDSP()
    {
        list_.take(fromDsp_.getValue());
        invalidateRect();
    }

    MpGuiPin<MpBlob> fromDsp_;
    RowList<kRowSize> list_;
};

namespace
{
auto r0 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_MIDIMonitor", &gmpi::Register<QW_MIDIMonitorDSP>::withId);
auto r2 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_MIDIMonitor", &gmpi::Register<QW_MIDIMonitorGUI>::withId);
} // namespace
