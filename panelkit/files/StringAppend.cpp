// Joins the texts of any number of auto-duplicating part pins (1 and up), in
// pin order and without separator, onto pin 0. A part the host never sent
// counts as empty; a part keeps its text until the host sends another.
#include "../logic/family.h"
#include "file_access.h"

#include <vector>

class QW_GUIStringAppend : public MpGuiInvisibleBase
{
public:
    QW_GUIStringAppend() { initializePin(out_); }

    // Takes the parts itself: nothing is stored in a pin object.
    int32_t setPin(int32_t pinId, int32_t, int32_t size, const void* data) override
    {
        if (pinId < kFirstPart || !qw::takenPinId(pinId))
            return gmpi::MP_OK;
        try
        {
            const size_t k = static_cast<size_t>(pinId - kFirstPart);
            if (k >= parts_.size())
                parts_.resize(k + 1);
            parts_[k] = qw::fromBytes<std::wstring>(size, data);

            size_t length = 0;
            for (auto& p : parts_)
                length += p.size();
            // A joined text that would not fit one pin value is not sent.
            if (length > qw::files::kMaxPinBytes / sizeof(wchar_t))
                return gmpi::MP_OK;
            std::wstring joined;
            joined.reserve(length);
            for (auto& p : parts_)
                joined += p;
            out_ = joined;
        }
        catch (const std::bad_alloc&)
        {
            // no memory for the part or the joined text: the output stays
        }
        return gmpi::MP_OK;
    }

private:
    static constexpr int32_t kFirstPart = 1;

    StringGuiPin out_;
    std::vector<std::wstring> parts_; // part k at k - 1; as many as the highest part id seen
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIStringAppend", &gmpi::Register<QW_GUIStringAppend>::withId);
}
