// Text monitor: every text value the processing half's input receives becomes
// a row; the display lists the newest rows, with texts its own text pin shows
// in another colour.
#include "rows.h"

using namespace qw::monitors;

namespace
{
// Row: 0 graph-start marker, 1 source (1 processing half, 0 display),
// 2-3 zero, 4-207 51 UTF-32 code units (at most 50 characters, then zeros).
constexpr int kRowSize = 208;
constexpr int kChars = 50;

void putText(uint8_t* row, uint8_t source, const std::wstring& text)
{
    row[1] = source;
    const size_t n = text.size() < kChars ? text.size() : kChars;
    for (size_t i = 0; i < n; ++i)
    {
        const uint32_t c = static_cast<uint32_t>(text[i]);
        std::memcpy(row + 4 + 4 * i, &c, 4);
    }
}
} // namespace

// 0 text in; 1 blob rows out.
class QW_StringMonitorDSP final : public RowSender
{
public:
    QW_StringMonitorDSP() : RowSender(kRowSize)
    {
        initializePin(text_);
        initializePin(out_);
        setSubProcess(&QW_StringMonitorDSP::subProcess);
    }

    void onSetPins() override
    {
        if (text_.isUpdated() && !text_.getValue().empty())
            if (uint8_t* row = rows_.append())
                putText(row, 1, text_.getValue());
    }

    void subProcess(int sampleFrames) { sendDue(sampleFrames, out_); }

private:
    StringInPin text_;
    BlobOutPin out_;
};

// 0 blob rows in; 1 text shown directly.
class QW_StringMonitorGUI final : public gmpi_gui::MpGuiGfxBase
{
public:
    QW_StringMonitorGUI()
    {
        initializePin(fromDsp_, &QW_StringMonitorGUI::onSetFromDSP);
        initializePin(text_, &QW_StringMonitorGUI::onSetString);
    }

    int32_t OnRender(GmpiDrawing_API::IMpDeviceContext* context) override
    {
        GmpiDrawing::Graphics g(context);
        const float w = rect_.right - rect_.left, h = rect_.bottom - rect_.top;
        const auto format = monitorPanel(g, w, h);
        list_.setLimit(rowLimit(h));
        auto dsp = g.CreateSolidColorBrush(colourOf(0xFF40FF80u));
        auto own = g.CreateSolidColorBrush(colourOf(0xFFFFA000u));
        float y = 0.0f;
        for (const auto& row : list_.rows())
        {
            std::wstring text;
            for (int i = 0; i < kChars; ++i)
            {
                uint32_t c;
                std::memcpy(&c, row.bytes + 4 + 4 * i, 4);
                if (c == 0)
                    break;
                text.push_back(static_cast<wchar_t>(c));
            }
            g.DrawTextW(text, format, 0.0f, y, row.bytes[1] ? dsp : own);
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

    void onSetString()
    {
        if (text_.getValue().empty())
            return;
        RowList<kRowSize>::Row row{};
        putText(row.bytes, 0, text_.getValue());
        list_.add(row);
        invalidateRect();
    }

    MpGuiPin<MpBlob> fromDsp_;
    StringGuiPin text_;
    RowList<kRowSize> list_;
};

namespace
{
auto r0 = RegisterPlugin(gmpi::MP_SUB_TYPE_AUDIO, L"QW_StringMonitor", &gmpi::Register<QW_StringMonitorDSP>::withId);
auto r2 = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_StringMonitor", &gmpi::Register<QW_StringMonitorGUI>::withId);
} // namespace
