// Any text as an enumeration list, the way list pins, list boxes and menus
// read what a user types: stepping through it ends, every entry's index is
// one more than the last, a value found is a plain entry with that value,
// and a forced value is one the list offers, else its first entry's, else 0.
#include "it_enum_list.h"
#include "mp_sdk_common.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{
void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    int32_t probe;
    __builtin_memcpy(&probe, data, 4);
    const std::wstring text = gmpi_sdk::fromUtf8(reinterpret_cast<const char*>(data + 4), size - 4);

    it_enum_list list(text);
    int32_t expected = 0;
    int32_t firstValue = 0;
    for (list.First(); !list.IsDone() && expected < kMaxListEntries; list.Next(), ++expected)
    {
        const enum_entry& e = list.current();
        check(e.index == expected);
        const int type = e.getType();
        check(type >= 0 && type <= 4);
        if (expected == 0)
            firstValue = e.value;
    }
    check(list.size() >= 0);

    if (list.FindValue(probe) == 1)
    {
        check(list.current().value == probe);
        check(list.current().getType() == 0);
        check(it_enum_list::IsValidValue(text, probe));
    }
    const int32_t forced = it_enum_list::ForceValidValue(text, probe);
    if (it_enum_list::IsValidValue(text, probe))
        check(forced == probe);
    else
        check(forced == firstValue);
    if (list.FindIndex(probe & 0x3fff))
        check(list.current().index == (probe & 0x3fff) && list.current().getType() == 0);
    return 0;
}
