// The shared data of the formula shaper's voices: the formula, the two
// parameters, the mode and the transfer table the formula is evaluated into.
// A voice hands over the values it sees; the table is rebuilt only when one
// differs from the shared ones, so one rebuild serves every voice.
#pragma once

#include "qw_formula.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace qw::shapers
{
struct FormulaTable
{
    static constexpr int kEntries = 2048;
    // Text storage reserved up front, so that formulas of ordinary length
    // (as long as a text pin keeps room for) never allocate when they arrive
    // on the audio thread.
    static constexpr size_t kReserved = 4096;

    float a = 0.0f;
    float b = 0.0f;
    std::string formula;            // UTF-8, as last received
    uint8_t odd = 0;                // odd-symmetric mode: the table covers x in [0, 1]
    float table[kEntries + 1] = {}; // the last entry stays 0 (read with weight 0)
    int64_t evaluations = 0;        // formula evaluations so far

    FormulaTable()
    {
        formula.reserve(kReserved);
        incoming_.reserve(kReserved);
        lowered_.reserve(kReserved);
        parser_.reserve(kReserved);
    }

    // The values one voice sees (null: that pin did not change). Stores what
    // differs and rebuilds the table then; true when it rebuilt.
    bool update(const std::wstring* text, const float* newA, const float* newB, const bool* newOdd)
    {
        bool due = false;
        if (text)
        {
            toUtf8(*text, incoming_);
            if (incoming_ != formula)
            {
                formula.swap(incoming_);
                due = true;
            }
        }
        // A NaN on either side counts as a difference.
        if (newA && !(*newA == a))
        {
            a = *newA;
            due = true;
        }
        if (newB && !(*newB == b))
        {
            b = *newB;
            due = true;
        }
        if (newOdd && static_cast<uint8_t>(*newOdd) != odd)
        {
            odd = *newOdd ? 1 : 0;
            due = true;
        }
        if (due)
            rebuild();
        return due;
    }

    // Evaluates the formula at kEntries points: x from -1 to 1, or from 0 to
    // 1 in odd-symmetric mode. A formula that fails at the first point gives
    // silence; results are limited to [-1, 1] (the first kept as evaluated
    // when finite) and a NaN becomes 0.
    void rebuild()
    {
        lowered_.assign(formula);
        for (char& c : lowered_)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        // Each rebuild starts from no variables and the first random number.
        FormulaParser& parser = parser_;
        parser.resetState();
        parser.setFormula(lowered_);
        const double start = odd ? 0.0 : -1.0;
        const double step = odd ? 1.0 / (kEntries - 1) : 2.0 / (kEntries - 1);
        parser.setVar("x", static_cast<float>(start));
        parser.setVar("a", a);
        parser.setVar("b", b);
        float v = 0.0f;
        ++evaluations;
        if (!parser.evaluate(&v))
        {
            for (int i = 0; i < kEntries; ++i)
                table[i] = 0.0f;
        }
        else
        {
            table[0] = std::isfinite(v) ? v : (v > 0.0f ? 1.0f : (v < 0.0f ? -1.0f : 0.0f));
            double x = start;
            for (int i = 1; i < kEntries; ++i)
            {
                x += step;
                parser.setVar("x", static_cast<float>(x));
                float r = 0.0f;
                ++evaluations;
                if (!parser.evaluate(&r))
                    r = 0.0f;
                table[i] = r >= -1.0f ? (r <= 1.0f ? r : 1.0f) : (r < -1.0f ? -1.0f : 0.0f);
            }
        }
        table[kEntries] = 0.0f;
    }

    // One input sample through the table, by linear interpolation.
    float shape(float x) const { return odd ? shapeOdd(table, x) : shapeFull(table, x); }

    // The same in each mode on its own, for loops that choose the mode once.
    static float shapeFull(const float* table, float x)
    {
        x = limited(x);
        const float t = (x + 1.0f) * 0.5f * (kEntries - 1);
        const int i = static_cast<int>(t);
        const float f = t - static_cast<float>(i);
        return (1.0f - f) * table[i] + f * table[i + 1];
    }
    static float shapeOdd(const float* table, float x)
    {
        x = limited(x);
        const float t = std::fabs(x) * (kEntries - 1);
        const int i = static_cast<int>(t);
        const float f = t - static_cast<float>(i);
        const float y = (1.0f - f) * table[i] + f * table[i + 1];
        return x < 0.0f ? -y : y;
    }
    // x limited to [-1, 1]; NaN reads x = 0.
    static float limited(float x) { return x > -1.0f ? (x < 1.0f ? x : 1.0f) : (x <= -1.0f ? -1.0f : 0.0f); }

    // Wide text to UTF-8 in out's own storage; characters that UTF-8 cannot
    // carry (surrogates, beyond U+10FFFF) become U+FFFD.
    static void toUtf8(const std::wstring& text, std::string& out)
    {
        out.clear();
        for (wchar_t wc : text)
        {
            uint32_t c = static_cast<uint32_t>(wc);
            if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
                c = 0xFFFD;
            if (c < 0x80)
                out.push_back(static_cast<char>(c));
            else if (c < 0x800)
            {
                out.push_back(static_cast<char>(0xC0 | (c >> 6)));
                out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
            }
            else if (c < 0x10000)
            {
                out.push_back(static_cast<char>(0xE0 | (c >> 12)));
                out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
                out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
            }
            else
            {
                out.push_back(static_cast<char>(0xF0 | (c >> 18)));
                out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
                out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
                out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
            }
        }
    }

private:
    std::string incoming_; // the text a voice hands over, converted
    std::string lowered_;  // the lower-cased copy the parser reads
    FormulaParser parser_; // storage reserved, so a rebuild allocates nothing
};
} // namespace qw::shapers
