// Any bytes as a formula of the sample generators' evaluator (up to the first
// NUL), with x set as its owner sets it: Evaluate returns a code from 0 to 8;
// a failure gives 0 and leaves `assigned` as it was, at a position inside the
// text or just before it; blanks around a text that still fits change
// nothing; a text that neither assigns nor draws random numbers gives the
// same outcome again. The sanitizers report any read outside the text.
#include "Evaluator.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace
{
void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

bool same(float u, float v)
{
    return std::memcmp(&u, &v, sizeof u) == 0 || (u != u && v != v);
}

struct Outcome
{
    int code;
    float value;
    int assigned;
};

Outcome evaluate(Evaluator& e, const std::string& text)
{
    Outcome o{0, 7.0f, 7};
    o.code = e.Evaluate(text.c_str(), &o.value, &o.assigned);
    return o;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));

    Evaluator plain;
    plain.SetValue("x", 0.375f);
    const Outcome first = evaluate(plain, text);
    check(first.code >= 0 && first.code <= 8);
    if (first.code != 0)
    {
        check(same(first.value, 0.0f) && first.assigned == 7);
        check(plain.errorCode() == first.code);
        check(plain.errorPosition() >= -1 && plain.errorPosition() <= static_cast<int64_t>(text.size()));
    }
    else
        check(first.assigned == 0 || first.assigned == 1);

    std::string lowered = text;
    for (char& c : lowered)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const bool random = lowered.find("rnd") != std::string::npos;

    if (text.size() + 4 <= Evaluator::kMaxTextChars && !random)
    {
        Evaluator padded;
        padded.SetValue("x", 0.375f);
        const Outcome second = evaluate(padded, " \t" + text + "\t ");
        check(second.code == first.code && same(second.value, first.value));
    }
    if (text.find('=') == std::string::npos && !random)
    {
        const Outcome again = evaluate(plain, text);
        check(again.code == first.code && same(again.value, first.value));
    }
    return 0;
}
