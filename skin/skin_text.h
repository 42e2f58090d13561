// Text helpers shared by the style-sheet and image-metadata readers, and the
// saturating number conversions of the skin code.
#pragma once

#include "mp_sdk_common.h"

#include <cstdint>
#include <string>
#include <vector>

// Appends the tokens of one line to `out`. White space separates tokens; a
// token that starts with a single or double quote runs to the next quote of
// the same kind (or the end) and keeps its blanks; any other token is its
// first character and what follows up to white space, a comma or a quote. A
// comma that ends a token is dropped, and so is one comma after the blanks
// that end a token:
//   "font-family Arial, Helvetica"  -> font-family | Arial | Helvetica
//   "a , b" -> a | b      "a,,b" -> a | ,b
//   "font-family 'Times New Roman', serif" -> font-family | Times New Roman | , | serif
// A null text appends nothing.
void SplitString(const char* text, std::vector<std::string>& out);

// The decimal integer at the start of the text as strtol reads it (leading
// white space, optional sign, up to the first non-digit; 0 without digits),
// saturated to the 32-bit range.
int32_t StringToInt(const std::string& text);

namespace skin
{
// Largest skin text read (style sheets, image metadata); a larger file reads
// as empty.
constexpr int64_t kMaxTextBytes = 1 << 20;

// The whole content of a file the host opened; empty without a file, when it
// cannot be read or when it is larger than kMaxTextBytes.
std::string readText(gmpi_sdk::mp_shared_ptr<gmpi::IProtectedFile2> file);

// Lines cut at each LF, a CR directly before the LF dropped; the text after
// the last LF is the last line, taken whole.
std::vector<std::string> splitLines(const std::string& text);

// Saturated to the 32-bit range.
int32_t saturate(int64_t v);
// Truncated toward zero and saturated; NaN gives 0.
int32_t toInt32(double v);

// Wide text as UTF-8, whatever the process locale. False (and `out` empty)
// when a character has no UTF-8 form (a surrogate, or beyond U+10FFFF).
bool toUtf8Exact(const std::wstring& text, std::string& out);
} // namespace skin
