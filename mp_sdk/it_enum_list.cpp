#include "it_enum_list.h"

#include <climits>
#include <cstdlib>
#include <cwchar>

namespace
{
// White space of the "C" locale, whatever the process locale is.
bool isCSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

int32_t leadingInt(const std::wstring& text, int base = 10)
{
    return static_cast<int32_t>(std::wcstol(text.c_str(), nullptr, base));
}

std::wstring trimmed(const std::wstring& s)
{
    size_t b = 0, e = s.size();
    while (b < e && isCSpace(s[b]))
        ++b;
    while (e > b && isCSpace(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}
} // namespace

int enum_entry::getType() const
{
    if (text.size() < 4 || text[1] != text[0] || text[2] != text[0] || text[3] != text[0])
        return 0;
    switch (text[0])
    {
    case L'-':
        return 1;
    case L'|':
        return 2;
    case L'>':
        return 3;
    case L'<':
        return 4;
    default:
        return 0;
    }
}

it_enum_list::it_enum_list(const std::wstring& text) : text_(text)
{
    isRange_ = text_.compare(0, 5, L"range") == 0 && text_.size() >= 5;
    if (!isRange_)
        return;
    if (text_.size() == 5)
    {
        // The bare word: no bounds follow, so no entries.
        emptyRange_ = true;
        return;
    }
    const std::wstring body = text_.substr(6 <= text_.size() ? 6 : text_.size());
    rangeLow_ = leadingInt(body);
    const size_t comma = body.find(L',');
    rangeHigh_ = comma == std::wstring::npos ? rangeLow_ : leadingInt(body.substr(comma + 1));
}

void it_enum_list::First()
{
    current_.index = -1;
    if (isRange_)
    {
        rangeValue_ = int64_t(rangeLow_) - 1;
        current_.value = static_cast<int32_t>(uint32_t(rangeLow_) - 1u);
    }
    else
    {
        position_ = 0;
        current_.value = -1;
    }
    Next();
}

void it_enum_list::Next()
{
    // Wrapping steps: a list may end at INT32_MAX.
    current_.index = static_cast<int32_t>(uint32_t(current_.index) + 1u);
    current_.value = static_cast<int32_t>(uint32_t(current_.value) + 1u);

    if (isRange_)
    {
        ++rangeValue_;
        if (emptyRange_ || rangeValue_ > rangeHigh_)
        {
            current_.index = -1;
            current_.text.clear();
            return;
        }
        current_.value = static_cast<int32_t>(rangeValue_);
        current_.text = std::to_wstring(current_.value);
        return;
    }

    if (position_ >= text_.size())
    {
        current_.index = -1;
        current_.text.clear();
        return;
    }
    const size_t comma = text_.find(L',', position_);
    const size_t end = comma == std::wstring::npos ? text_.size() : comma;
    std::wstring entry = text_.substr(position_, end - position_);
    position_ = comma == std::wstring::npos ? text_.size() : comma + 1;

    const size_t eq = entry.find(L'=');
    if (eq != std::wstring::npos)
    {
        current_.value = leadingInt(entry.substr(eq + 1));
        entry.erase(eq);
    }
    current_.text = trimmed(entry);
}

int it_enum_list::size() const
{
    if (isRange_)
    {
        if (emptyRange_)
            return 0;
        const int64_t span = int64_t(rangeHigh_) - int64_t(rangeLow_);
        const int64_t n = (span < 0 ? -span : span) + 1;
        return n > INT_MAX ? INT_MAX : static_cast<int>(n);
    }
    if (text_.empty())
        return 0;
    int n = 1;
    for (size_t i = 1; i < text_.size(); ++i)
        n += text_[i] == L',';
    return n;
}

// A range holds its values in order, one per index: it is searched by
// arithmetic, not by a walk that "range 0,2000000000" would make endless.
bool it_enum_list::seekRange(int64_t value)
{
    if (emptyRange_ || value < rangeLow_ || value > rangeHigh_)
    {
        rangeValue_ = int64_t(rangeHigh_) + 1;
        current_.index = -1;
        current_.text.clear();
        return false;
    }
    rangeValue_ = value;
    current_.index = static_cast<int32_t>(value - rangeLow_);
    current_.value = static_cast<int32_t>(value);
    current_.text = std::to_wstring(current_.value);
    return true;
}

int it_enum_list::FindValue(int32_t value)
{
    if (isRange_)
        return seekRange(value) ? 1 : 0;
    for (First(); !IsDone(); Next())
        if (current_.value == value && current_.getType() == 0)
            return 1;
    return 0;
}

bool it_enum_list::FindIndex(int32_t index)
{
    if (isRange_)
        return index >= 0 && seekRange(int64_t(rangeLow_) + index);
    for (First(); !IsDone(); Next())
        if (current_.index == index)
            return current_.getType() == 0;
    return false;
}

bool it_enum_list::IsValidValue(const std::wstring& listText, int32_t value)
{
    it_enum_list list(listText);
    return list.FindValue(value) != 0;
}

int32_t it_enum_list::ForceValidValue(const std::wstring& listText, int32_t value)
{
    it_enum_list list(listText);
    if (list.FindValue(value))
        return value;
    list.First();
    return list.IsDone() ? 0 : list.current_.value;
}

int32_t it_enum_list::StringToInt(const std::wstring& text, int base) const
{
    return leadingInt(text, base);
}
