// Copies, cuts and pastes ranges of the sample on its sample pin through a
// clipboard of its own, and publishes the result on the same pin. The
// selection pins may come in either order and are not counted from the end;
// an end beyond the sample stops at its last frame.
#include "own_sample.h"

#include <algorithm>

class QW_S2_Clipboard final : public MpGuiInvisibleBase
{
public:
    QW_S2_Clipboard()
    {
        initializePin(sample_, &QW_S2_Clipboard::onSetData);
        initializePin(start_);
        initializePin(end_);
        initializePin(copy_, &QW_S2_Clipboard::onSetCopy);
        initializePin(cut_, &QW_S2_Clipboard::onSetCut);
        initializePin(paste_, &QW_S2_Clipboard::onSetPaste);
        initializePin(pasteAtEnd_, &QW_S2_Clipboard::onSetPasteAtEnd);
    }

private:
    void onSetData()
    {
        if (qw::edit::fromOutside(sample_, cache_.sending()))
            cache_.drop();
    }

    // The selected range of the sample; false without a sample or with a
    // negative selection pin.
    bool selection(int64_t& lo, int64_t& hi) const
    {
        const int64_t count = sample_.count();
        if (count <= 0 || start_ < 0 || end_ < 0)
            return false;
        lo = std::min<int64_t>(count - 1, std::min(start_.getValue(), end_.getValue()));
        hi = std::min<int64_t>(count - 1, std::max(start_.getValue(), end_.getValue()));
        return true;
    }

    bool takeClip()
    {
        int64_t lo, hi;
        if (!selection(lo, hi))
            return false;
        const float* frames = sample_.frames();
        std::vector<float>(frames + lo, frames + hi + 1).swap(clipboard_);
        return true;
    }

    void onSetCopy()
    {
        if (copy_)
            qw::edit::guarded([this] { takeClip(); });
    }

    void onSetCut()
    {
        if (!cut_)
            return;
        qw::edit::guarded([this] {
            int64_t lo, hi;
            if (!selection(lo, hi))
                return;
            std::vector<float> rest = qw::edit::spliced(sample_, lo, hi - lo + 1);
            takeClip();
            cache_.replace(std::move(rest));
            end_ = -1;
            start_ = -1;
        });
    }

    void onSetPaste()
    {
        if (!paste_ || clipboard_.empty())
            return;
        qw::edit::guarded([this] {
            const int64_t count = sample_.count();
            int64_t at = 0;
            if (count > 0)
            {
                // In front of the start frame; a start beyond the end puts it
                // in front of the last frame.
                at = std::min<int64_t>(count - 1, start_);
                if (at < 0 || end_ < 0)
                    return;
            }
            cache_.replace(qw::edit::spliced(sample_, at, 0, clipboard_));
        });
    }

    void onSetPasteAtEnd()
    {
        if (!pasteAtEnd_ || clipboard_.empty())
            return;
        qw::edit::guarded(
            [this] { cache_.replace(qw::edit::spliced(sample_, std::max(sample_.count(), 0), 0, clipboard_)); });
    }

    qw::Sample2GuiPin sample_;
    MpGuiPin<int> start_;
    MpGuiPin<int> end_;
    MpGuiPin<bool> copy_;
    MpGuiPin<bool> cut_;
    MpGuiPin<bool> paste_;
    MpGuiPin<bool> pasteAtEnd_;

    std::vector<float> clipboard_;
    qw::edit::OwnSample cache_{sample_};
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_S2_Clipboard", &gmpi::Register<QW_S2_Clipboard>::withId);
}
