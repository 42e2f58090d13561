// How each pin value type crosses the host boundary as raw bytes. Shared by
// the processing and the user-interface pins.
#pragma once

#include "mp_sdk_common.h"

#include <algorithm>
#include <cstring>
#include <string>

template <typename T> struct MpPinValue;

// Room a text or blob pin keeps from the start, so that values of ordinary
// length reach it inside process without an allocation.
constexpr size_t kPinReservedTextCharacters = 4096;
constexpr size_t kPinReservedBlobBytes = 65536;

namespace mp_pin_detail
{
// Copies at most sizeof(T) bytes; a shorter value fills from zero.
template <typename T> inline void setScalar(T& value, int size, const void* data)
{
    if (data && size >= static_cast<int>(sizeof(T)))
    {
        std::memcpy(&value, data, sizeof(T)); // the usual case: one load
        return;
    }
    unsigned char bytes[sizeof(T)] = {};
    if (data && size > 0)
        std::memcpy(bytes, data, std::min(static_cast<size_t>(size), sizeof(T)));
    std::memcpy(&value, bytes, sizeof(T));
}
} // namespace mp_pin_detail

template <> struct MpPinValue<int>
{
    static void set(int& v, int size, const void* data) { mp_pin_detail::setScalar(v, size, data); }
    static int size(const int&) { return 4; }
    static const void* data(const int& v) { return &v; }
    static bool equal(int a, int b) { return a == b; }
    static void reserve(int&) {}
};

template <> struct MpPinValue<float>
{
    static void set(float& v, int size, const void* data) { mp_pin_detail::setScalar(v, size, data); }
    static int size(const float&) { return 4; }
    static const void* data(const float& v) { return &v; }
    static bool equal(float a, float b) { return a == b; } // NaN never equals, so it is always sent
    static void reserve(float&) {}
};

template <> struct MpPinValue<bool>
{
    // Four bytes are an int (true when non-zero); any other size is read from
    // its first byte; no bytes at all are false.
    static void set(bool& v, int size, const void* data)
    {
        if (!data || size < 1)
            v = false;
        else if (size == 4)
        {
            int32_t i;
            std::memcpy(&i, data, 4);
            v = i != 0;
        }
        else
            v = *static_cast<const unsigned char*>(data) != 0;
    }
    static int size(const bool&) { return 1; }
    static const void* data(const bool& v) { return &v; }
    static bool equal(bool a, bool b) { return a == b; }
    static void reserve(bool&) {}
};

static_assert(sizeof(wchar_t) == 4, "text pins carry 32-bit characters");

template <> struct MpPinValue<std::wstring>
{
    static void set(std::wstring& v, int size, const void* data)
    {
        const size_t n = (data && size > 0) ? static_cast<size_t>(size) / 4 : 0;
        v.resize(n);
        if (n)
            std::memcpy(&v[0], data, n * 4);
    }
    static int size(const std::wstring& v) { return static_cast<int>(v.size() * 4); }
    static const void* data(const std::wstring& v) { return v.data(); }
    static bool equal(const std::wstring& a, const std::wstring& b) { return a == b; }
    static void reserve(std::wstring& v) { v.reserve(kPinReservedTextCharacters); }
};

template <> struct MpPinValue<MpBlob>
{
    static void set(MpBlob& v, int size, const void* data)
    {
        v.setValueRaw(size > 0 ? static_cast<size_t>(size) : 0, data);
    }
    static int size(const MpBlob& v) { return v.getSize(); }
    static const void* data(const MpBlob& v) { return v.getData(); }
    static bool equal(const MpBlob& a, const MpBlob& b) { return a == b; }
    static void reserve(MpBlob& v) { v.reserve(kPinReservedBlobBytes); }
};
