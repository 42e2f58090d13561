// The typed-text converters of the built panelkit bundle, given what a user
// types and the lists and limits a patch gives them, in any order and under
// any echo: QW_Int2TxtC, QW_Float2TxtC and QW_List2Txt. Each settles; a
// clamped value never leaves its range and shows as its text; a renamed list
// keeps its items and their values, the chosen ones with the typed text.
//
// Input: a first byte (echo mode), then operations, each one byte, a length
// byte and that many bytes:
//   0  Int2TxtC limits (two ints)     1  Int2TxtC typed text
//   2  Int2TxtC value (an int)        3  Float2TxtC limits and digits
//   4  Float2TxtC typed text          5  List2Txt item list
//   6  List2Txt choice and direction  7  List2Txt typed text
#include "bundle.h"
#include "it_enum_list.h"
#include "mp_sdk_common.h"
#include "mp_sdk_gui.h"
#include "ui_host.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace
{
void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

template <class T> T valueOf(const qwhost::GuiModule& m, int pin)
{
    const MpGuiPinBase* p = m.pinOwner()->getPin(pin);
    T v{};
    std::memcpy(&v, p->rawData(), std::min<size_t>(sizeof v, static_cast<size_t>(p->rawSize())));
    return v;
}
std::wstring textOf(const qwhost::GuiModule& m, int pin)
{
    const MpGuiPinBase* p = m.pinOwner()->getPin(pin);
    return std::wstring(static_cast<const wchar_t*>(p->rawData()), static_cast<size_t>(p->rawSize()) / 4);
}
template <class T> T read(const std::string& bytes, size_t at)
{
    T v{};
    if (bytes.size() >= at + sizeof v)
        std::memcpy(&v, bytes.data() + at, sizeof v);
    return v;
}

struct Entry
{
    int32_t value;
    std::wstring text;
    int type;
};
// The first kMaxListEntries entries of a list, and whether it has more.
std::vector<Entry> entries(const std::wstring& text, bool& more)
{
    std::vector<Entry> v;
    it_enum_list list(text);
    for (list.First(); !list.IsDone() && v.size() < size_t{kMaxListEntries}; list.Next())
        v.push_back({list.current().value, list.current().text, list.current().getType()});
    more = !list.IsDone();
    return v;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static auto bundle = qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/panelkit.so");
    if (size < 1)
        return 0;
    qwhost::GuiHost host;
    host.echo = data[0] % 3 == 0 ? qwhost::Echo::Inside : data[0] % 3 == 1 ? qwhost::Echo::Later : qwhost::Echo::None;
    auto ints = host.create(bundle, L"QW_Int2TxtC");
    auto floats = host.create(bundle, L"QW_Float2TxtC");
    auto list = host.create(bundle, L"QW_List2Txt");
    for (auto* m : {ints.get(), floats.get(), list.get()})
        check(m->settleEchoes());

    size_t at = 1;
    int steps = 0;
    while (at + 2 <= size && ++steps < 64)
    {
        const uint8_t op = data[at], len = data[at + 1];
        at += 2;
        const std::string bytes(reinterpret_cast<const char*>(data + at), std::min<size_t>(len, size - at));
        at += bytes.size();
        const std::wstring typed = gmpi_sdk::fromUtf8(bytes);
        switch (op % 8)
        {
        case 0:
            ints->setInt(1, read<int32_t>(bytes, 0));
            ints->setInt(2, read<int32_t>(bytes, 4));
            break;
        case 1:
        case 2:
        {
            const int32_t before = valueOf<int32_t>(*ints, 0);
            if (op % 8 == 1)
                ints->setText(3, typed);
            else
                ints->setInt(0, read<int32_t>(bytes, 0));
            check(ints->settleEchoes());
            const int32_t lo = valueOf<int32_t>(*ints, 1), hi = valueOf<int32_t>(*ints, 2);
            const int32_t v = valueOf<int32_t>(*ints, 0);
            const int32_t shown = v < lo ? lo : v < hi ? v : hi;
            if (op % 8 == 1 && v != before && lo <= hi)
                check(v >= lo && v <= hi);
            // The text is the clamped value, or the typed text. (With the
            // minimum above the maximum a typed number below the minimum
            // shows as the minimum.)
            const std::wstring t = textOf(*ints, 3);
            // A host that never echoes leaves the module expecting every
            // value it sent: the same value from outside is taken as its own
            // echo and changes nothing, so the text may stay as typed.
            bool sentBefore = false;
            if (host.echo == qwhost::Echo::None && op % 8 == 2)
                for (const auto* sent : ints->transmitsOf(0))
                    sentBefore = sentBefore || (sent->data.size() == 4 && std::memcmp(sent->data.data(), &v, 4) == 0);
            if (sentBefore)
                break;
            if (op % 8 == 2 || lo <= hi)
                check(t == std::to_wstring(shown) || (op % 8 == 1 && t == typed));
            break;
        }
        case 3:
            floats->setFloat(1, read<float>(bytes, 0));
            floats->setFloat(2, read<float>(bytes, 4));
            floats->setInt(3, read<int32_t>(bytes, 8));
            break;
        case 4:
        {
            const float before = valueOf<float>(*floats, 0);
            floats->setText(4, typed);
            check(floats->settleEchoes());
            const float lo = valueOf<float>(*floats, 1), hi = valueOf<float>(*floats, 2);
            const float v = valueOf<float>(*floats, 0);
            if (std::memcmp(&v, &before, sizeof v) != 0)
            {
                check(v == v); // a typed NaN is no number
                if (lo <= hi)
                    check(v >= lo && v <= hi);
            }
            check(textOf(*floats, 4).size() < 200 || textOf(*floats, 4) == typed);
            break;
        }
        case 5:
            list->setText(1, typed);
            break;
        case 6:
            list->setInt(0, read<int32_t>(bytes, 0) % 16);
            list->setInt(2, read<int32_t>(bytes, 4) % 4);
            break;
        default:
        {
            const std::wstring before = textOf(*list, 1);
            list->setText(3, typed);
            check(list->settleEchoes());
            const std::wstring after = textOf(*list, 1);
            if (after != before)
            {
                // Renamed: the same entries and values, the chosen plain ones
                // with the typed text, every other text kept.
                bool moreBefore, moreAfter;
                const auto a = entries(before, moreBefore), b = entries(after, moreAfter);
                check(!moreBefore && !moreAfter && a.size() == b.size());
                const int32_t choice = valueOf<int32_t>(*list, 0);
                for (size_t k = 0; k < a.size(); ++k)
                {
                    check(a[k].value == b[k].value && a[k].type == b[k].type);
                    const bool chosen = a[k].value == choice && a[k].type == 0;
                    check(b[k].text == (chosen ? typed : a[k].text));
                }
            }
            break;
        }
        }
        for (auto* m : {ints.get(), floats.get(), list.get()})
            check(m->settleEchoes());
    }
    return 0;
}
