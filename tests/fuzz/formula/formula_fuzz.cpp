// Any bytes as a formula text, on a parser whose owner has set x, a and b:
// evaluate returns; an empty text leaves the result untouched, an error gives
// 0; blanks around the text change nothing; without assignments or random
// numbers a second evaluation gives the same outcome. The sanitizers report
// any read outside the text, and the nesting limit keeps the stack bounded.
#include <cstdint>
#include <cstring>
#include <string>

#include "qw_formula.h"

namespace
{
void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

void prepare(qw::FormulaParser& p)
{
    p.setVar("x", 0.375f);
    p.setVar("a", 2.0f);
    p.setVar("b", -1.5f);
}

bool same(float u, float v)
{
    return std::memcmp(&u, &v, sizeof u) == 0 || (u != u && v != v);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    qw::FormulaParser plain;
    prepare(plain);
    plain.setFormula(text);
    float r1 = 7.0f;
    const bool ok1 = plain.evaluate(&r1);
    if (text.empty())
    {
        check(!ok1 && r1 == 7.0f);
        return 0;
    }
    const bool assigns = text.find('=') != std::string::npos;
    // Without an assignment, false means an error: the value 0.
    if (!ok1 && !assigns)
        check(same(r1, 0.0f));

    // Blanks before and after the text change nothing.
    qw::FormulaParser padded;
    prepare(padded);
    padded.setFormula(" \t" + text + "\t ");
    float r2 = 7.0f;
    const bool ok2 = padded.evaluate(&r2);
    check(ok1 == ok2 && same(r1, r2));

    // A second evaluation of the same text on the same parser gives the same
    // outcome again unless the text assigns or draws random numbers.
    if (!assigns && text.find("rnd") == std::string::npos)
    {
        float r3 = 7.0f;
        const bool ok3 = plain.evaluate(&r3);
        check(ok1 == ok3 && same(r1, r3));
    }
    return 0;
}
