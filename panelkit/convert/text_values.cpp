#include "text_values.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#if defined(__APPLE__)
#include <xlocale.h>
#endif

namespace qw
{
namespace
{
bool isCSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

// The "C" locale for this thread while it lives, whatever the process uses.
class CLocale
{
public:
    CLocale() : old_(uselocale(cLocale())) {}
    ~CLocale() { uselocale(old_); }
    CLocale(const CLocale&) = delete;
    CLocale& operator=(const CLocale&) = delete;

private:
    static locale_t cLocale()
    {
        static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
        return c;
    }
    locale_t old_;
};
} // namespace

bool leadingInt(const std::wstring& text, int32_t& out)
{
    size_t i = 0;
    while (i < text.size() && isCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    const size_t first = i;
    int64_t n = 0; // the magnitude, kept below 2^32 once beyond the range
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
        n = std::min<int64_t>(n * 10 + (text[i] - L'0'), int64_t{1} << 32);
    if (i == first)
        return false;
    n = negative ? -n : n;
    out = n < INT32_MIN ? INT32_MIN : n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n);
    return true;
}

bool leadingDouble(const std::wstring& text, double& out)
{
    // The number is plain ASCII: the text up to its first other character.
    std::string ascii;
    for (wchar_t c : text)
    {
        if (c <= 0 || c >= 0x80)
            break;
        ascii += static_cast<char>(c);
    }
    CLocale c;
    char* end = nullptr;
    const double v = std::strtod(ascii.c_str(), &end);
    if (end == ascii.c_str())
        return false;
    out = v;
    return true;
}

float saturatedFloat(double v)
{
    if (v > FLT_MAX && v < HUGE_VAL)
        return FLT_MAX;
    if (v < -FLT_MAX && v > -HUGE_VAL)
        return -FLT_MAX;
    return static_cast<float>(v);
}

std::wstring generalText(double x, int precision)
{
    char buffer[kMostDigits + 32];
    CLocale c;
    const int n = std::snprintf(buffer, sizeof buffer, "%.*g", precision > kMostDigits ? kMostDigits : precision, x);
    std::wstring w;
    for (int i = 0; i < n && i < static_cast<int>(sizeof buffer) - 1; ++i)
        w += static_cast<wchar_t>(buffer[i]);
    return w;
}
} // namespace qw
