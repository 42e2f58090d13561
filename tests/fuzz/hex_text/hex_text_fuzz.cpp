// Any bytes as a hexadecimal text, one character per byte and, read in
// fours, as 32-bit characters: the reader never reads past the text nor
// writes past room for hexBytesMax bytes, and its result agrees with the
// rule read the other way round: a text gives n = (L + 1) / 3 bytes exactly
// when writing those bytes back as "hh hh ..." (upper case) matches the text
// up to the letter case of the digits and up to its end.
#include "blob_text.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace
{
void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

template <class Char> Char upper(Char c)
{
    return c >= 'a' && c <= 'f' ? static_cast<Char>(c - 'a' + 'A') : c;
}

template <class Char> void run(const std::vector<Char>& source)
{
    const size_t length = source.size();
    // Exactly sized heap copies, so that an access past either is caught.
    std::unique_ptr<Char[]> text(new Char[length ? length : 1]);
    std::copy(source.begin(), source.end(), text.get());
    const size_t room = qw::blobtext::hexBytesMax(length);
    std::unique_ptr<uint8_t[]> out(new uint8_t[room ? room : 1]);

    const size_t n = qw::blobtext::hexToBytes(text.get(), length, out.get());
    check(n == 0 || n == room);

    // The text those bytes would be written as, compared over the text's length.
    bool matches = room > 0;
    static const char kDigits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < room && matches; ++i)
    {
        const uint8_t b = n ? out[i] : 0;
        const size_t at = 3 * i;
        if (n == 0)
        {
            // Rejected: some place of the pattern must break it.
            matches = qw::blobtext::hexDigit(static_cast<uint32_t>(text[at])) >= 0 &&
                      qw::blobtext::hexDigit(static_cast<uint32_t>(text[at + 1])) >= 0 &&
                      (at + 2 >= length || text[at + 2] == static_cast<Char>(' '));
            continue;
        }
        matches = upper(text[at]) == static_cast<Char>(kDigits[b >> 4]) &&
                  upper(text[at + 1]) == static_cast<Char>(kDigits[b & 15]) &&
                  (at + 2 >= length || text[at + 2] == static_cast<Char>(' '));
    }
    check(n ? matches : !matches);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    run(std::vector<char>(data, data + size));
    std::vector<wchar_t> wide(size / 4);
    if (!wide.empty())
        std::memcpy(wide.data(), data, wide.size() * 4);
    run(wide);
    return 0;
}
