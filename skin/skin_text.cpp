#include "skin_text.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace
{
bool isSpace(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

bool isQuote(char c)
{
    return c == '"' || c == '\'';
}
} // namespace

void SplitString(const char* text, std::vector<std::string>& out)
{
    if (!text)
        return;
    const char* p = text;
    for (;;)
    {
        while (*p && isSpace(*p))
            ++p;
        if (!*p)
            return;
        if (isQuote(*p))
        {
            const char quote = *p++;
            const char* start = p;
            while (*p && *p != quote)
                ++p;
            out.emplace_back(start, p);
            if (*p)
                ++p; // the closing quote
            continue;
        }
        const char* start = p++;
        while (*p && !isSpace(*p) && *p != ',' && !isQuote(*p))
            ++p;
        out.emplace_back(start, p);
        if (*p == ',')
        {
            ++p;
        }
        else if (*p && isSpace(*p))
        {
            while (*p && isSpace(*p))
                ++p;
            if (*p == ',')
                ++p;
        }
    }
}

int32_t StringToInt(const std::string& text)
{
    errno = 0;
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    return skin::saturate(v);
}

namespace skin
{
std::string readText(gmpi_sdk::mp_shared_ptr<gmpi::IProtectedFile2> file)
{
    std::string text;
    int64_t size = 0;
    if (!file || file->getSize(size) != gmpi::MP_OK || size <= 0 || size > kMaxTextBytes)
        return text;
    text.resize(static_cast<size_t>(size));
    if (file->read(&text[0], size) != gmpi::MP_OK)
        text.clear();
    return text;
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;)
    {
        const size_t lf = text.find('\n', start);
        if (lf == std::string::npos)
        {
            lines.push_back(text.substr(start));
            return lines;
        }
        size_t end = lf;
        if (end > start && text[end - 1] == '\r')
            --end;
        lines.push_back(text.substr(start, end - start));
        start = lf + 1;
    }
}

int32_t saturate(int64_t v)
{
    return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

int32_t toInt32(double v)
{
    if (std::isnan(v))
        return 0;
    if (v <= static_cast<double>(INT32_MIN))
        return INT32_MIN;
    if (v >= static_cast<double>(INT32_MAX))
        return INT32_MAX;
    return static_cast<int32_t>(v);
}

bool toUtf8Exact(const std::wstring& text, std::string& out)
{
    for (wchar_t c : text)
    {
        const auto u = static_cast<uint32_t>(c);
        if (u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF))
        {
            out.clear();
            return false;
        }
    }
    out = gmpi_sdk::toUtf8(text);
    return true;
}
} // namespace skin
