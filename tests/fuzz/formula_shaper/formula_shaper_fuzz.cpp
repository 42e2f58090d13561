// The formula shaper's table from any typed text (read as UTF-8 and widened
// the way a text pin delivers it), with parameters taken from the input too:
// the table stays finite and every lookup is in bounds.
#include "formula_table.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0; // 2048 evaluations of each text: keep one run short
    float a = 0.0f, b = 0.0f;
    bool odd = false;
    if (size >= 9)
    {
        std::memcpy(&a, data, 4);
        std::memcpy(&b, data + 4, 4);
        odd = data[8] & 1;
        data += 9;
        size -= 9;
    }
    std::wstring text;
    for (size_t i = 0; i < size; ++i)
        text.push_back(static_cast<wchar_t>(data[i] < 0x80 ? data[i] : 0xFFFD));
    qw::shapers::FormulaTable t;
    t.update(&text, &a, &b, &odd);
    for (int i = 0; i <= qw::shapers::FormulaTable::kEntries; ++i)
        if (!std::isfinite(t.table[i]))
            std::abort();
    for (float x : {-2.0f, -1.0f, -0.5f, 0.0f, 0.3f, 1.0f, NAN})
        if (!std::isfinite(t.shape(x)))
            std::abort();
    return 0;
}
