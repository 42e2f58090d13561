// Reports each blob that arrives: a count of arrivals, its size in bytes and
// the address of its data as "0x" and lower-case hexadecimal digits ("0x0"
// for a blob without data). Outputs are sent only when they change.
#include "mp_sdk_gui.h"

#include <cinttypes>
#include <cstdio>

class QW_GUIBlobTool : public MpGuiInvisibleBase
{
public:
    QW_GUIBlobTool()
    {
        initializePin(in_, &QW_GUIBlobTool::onSetIn);
        initializePin(count_);
        initializePin(address_);
        initializePin(size_);
    }

private:
    void onSetIn()
    {
        // A count that passes the largest int goes on from the smallest.
        changes_ = static_cast<int32_t>(static_cast<uint32_t>(changes_) + 1u);
        count_ = changes_;
        size_ = in_.getValue().getSize();
        char text[32];
        std::snprintf(text, sizeof text, "0x%" PRIxPTR, reinterpret_cast<uintptr_t>(in_.getValue().getData()));
        address_ = std::string(text);
    }

    MpGuiPin<MpBlob> in_;
    MpGuiPin<int> count_;
    StringGuiPin address_;
    MpGuiPin<int> size_;
    int32_t changes_ = 0;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_GUIBlobTool", &gmpi::Register<QW_GUIBlobTool>::withId);
}
