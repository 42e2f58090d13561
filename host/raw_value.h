// Reading the raw bytes of a pin value the way the pins of each type wrote them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace qwhost
{
// Mixin of the records that hold a value's bytes in a member `data`.
template <class Record> struct RawValueReader
{
    float asFloat() const { return as<float>(); }
    int asInt() const { return as<int32_t>(); }
    bool asBool() const { return !bytes().empty() && bytes()[0] != 0; }
    std::wstring asText() const
    {
        std::wstring s(bytes().size() / 4, L'\0');
        if (!s.empty())
            std::memcpy(&s[0], bytes().data(), s.size() * 4);
        return s;
    }

private:
    const std::vector<uint8_t>& bytes() const { return static_cast<const Record*>(this)->data; }
    template <class T> T as() const
    {
        T v{};
        std::memcpy(&v, bytes().data(), std::min(bytes().size(), sizeof(T)));
        return v;
    }
};
} // namespace qwhost
