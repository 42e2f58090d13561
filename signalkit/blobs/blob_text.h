// The text forms of blobs: UU64 text (standard Base64, "=" padding, no line
// breaks), blank-separated hexadecimal text ("0A ff 7f") and the address
// text of the blob probe. Everything works on caller-owned buffers, so a
// module can convert on the audio thread without allocating once its
// buffers have grown to the longest value.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qw::blobtext
{
// Characters of the UU64 text of `size` bytes.
constexpr size_t uu64Length(size_t size)
{
    return (size + 2) / 3 * 4;
}

// Writes the UU64 text of the bytes to out (uu64Length(size) characters);
// every group of three bytes gives four characters, a last group of one or
// two bytes ends in two or one "=".
template <class Char> void toUu64(const uint8_t* data, size_t size, Char* out)
{
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    size_t o = 0;
    for (size_t i = 0; i < size; i += 3)
    {
        const uint32_t b0 = data[i];
        const uint32_t b1 = i + 1 < size ? data[i + 1] : 0u;
        const uint32_t b2 = i + 2 < size ? data[i + 2] : 0u;
        const uint32_t group = b0 << 16 | b1 << 8 | b2;
        out[o++] = static_cast<Char>(kAlphabet[group >> 18 & 63]);
        out[o++] = static_cast<Char>(kAlphabet[group >> 12 & 63]);
        out[o++] = static_cast<Char>(kAlphabet[group >> 6 & 63]);
        out[o++] = static_cast<Char>(kAlphabet[group & 63]);
    }
    static constexpr int kPad[3] = {0, 2, 1};
    for (int k = 0; k < kPad[size % 3]; ++k)
        out[o - 1 - k] = static_cast<Char>('=');
}

// Value of a hexadecimal digit (0-9, A-F, a-f), -1 for any other character.
constexpr int hexDigit(uint32_t c)
{
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<int>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<int>(c - 'a' + 10);
    return -1;
}

// Most bytes a hexadecimal text of `length` characters can give.
constexpr size_t hexBytesMax(size_t length)
{
    return length < 2 ? 0 : (length + 1) / 3;
}

// Reads blank-separated hexadecimal text: byte i from the characters 3i and
// 3i + 1 (high digit first), the character 3i + 2 a blank or the end of the
// text; characters after the last whole group are ignored. Writes the bytes
// to out (room for hexBytesMax(length)) and returns their number; any other
// character at one of these places, or a text shorter than two characters,
// gives 0. Reads nothing past text + length.
template <class Char> size_t hexToBytes(const Char* text, size_t length, uint8_t* out)
{
    const size_t n = hexBytesMax(length);
    for (size_t i = 0; i < n; ++i)
    {
        const size_t at = 3 * i;
        const int high = hexDigit(static_cast<uint32_t>(text[at]));
        const int low = hexDigit(static_cast<uint32_t>(text[at + 1]));
        if (high < 0 || low < 0 || (at + 2 < length && text[at + 2] != static_cast<Char>(' ')))
            return 0;
        out[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return n;
}

// Room for the longest address text and its terminating zero.
constexpr size_t kAddressTextSize = 2 + 2 * sizeof(void*) + 1;

// The address as the standard library writes a pointer: "0x" and lower-case
// hexadecimal digits without leading zeros, "0" for null. Writes a
// terminating zero and returns the number of characters before it.
template <class Char> size_t addressText(const void* p, Char (&out)[kAddressTextSize])
{
    uintptr_t v = reinterpret_cast<uintptr_t>(p);
    if (v == 0)
    {
        out[0] = static_cast<Char>('0');
        out[1] = 0;
        return 1;
    }
    Char digits[2 * sizeof(void*)];
    size_t n = 0;
    for (; v != 0; v >>= 4)
        digits[n++] = static_cast<Char>("0123456789abcdef"[v & 15]);
    out[0] = static_cast<Char>('0');
    out[1] = static_cast<Char>('x');
    for (size_t i = 0; i < n; ++i)
        out[2 + i] = digits[n - 1 - i];
    out[2 + n] = 0;
    return 2 + n;
}
} // namespace qw::blobtext
