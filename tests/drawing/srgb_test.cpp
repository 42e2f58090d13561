// The sRGB tables against their formulas worked here in double precision, and
// the colour-text rule of colour pins.
#include "srgb.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace
{
double toLinear(double x)
{
    return x <= 0.0404482362771082 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
}
double toSrgb(double y)
{
    return y <= 0.00313066844250063 ? 12.92 * y : 1.055 * std::pow(y, 1.0 / 2.4) - 0.055;
}

// 1/255 as the tables use it: rounded to single precision first.
const double kStep = 0.003921568859368563;

void expectSameFloat(float actual, double expected, const char* table, int i)
{
    const float e = static_cast<float>(expected);
    EXPECT_EQ(std::memcmp(&actual, &e, sizeof(float)), 0) << table << "[" << i << "] = " << actual << ", want " << e;
}
} // namespace

TEST(SrgbTables, EveryEntryIsItsFormulaRoundedToFloat)
{
    const auto& t = mp_sdk::gammaTables();
    ASSERT_EQ(static_cast<float>(1.0 / 255.0), static_cast<float>(kStep));
    for (int i = 0; i < 256; ++i)
    {
        const double x = i * kStep;
        const double half = (static_cast<double>(static_cast<float>(i) - 0.5f)) * kStep;
        expectSameFloat(t.toLinear()[i], i ? toLinear(x) : 0.0, "table 0", i);
        expectSameFloat(t.gamma22()[i], i ? std::pow(x, 2.2) : 0.0, "table 1", i);
        expectSameFloat(t.toLinearThresholds()[i], i ? toLinear(half) : 0.0, "table 2", i);
        expectSameFloat(t.gamma22ToSrgb()[i], i ? toSrgb(std::pow(x, 2.2)) : 0.0, "table 3", i);
    }
    // The four tables lie one after another in the one block.
    EXPECT_EQ(t.gamma22(), t.table + 256);
    EXPECT_EQ(t.toLinearThresholds(), t.table + 512);
    EXPECT_EQ(t.gamma22ToSrgb(), t.table + 768);
}

TEST(SrgbTables, KnownEntries)
{
    const auto& t = mp_sdk::gammaTables();
    EXPECT_FLOAT_EQ(t.toLinear()[128], 0.21586053f);
    EXPECT_FLOAT_EQ(t.toLinear()[1], 0.000303527f);
    EXPECT_FLOAT_EQ(t.gamma22()[128], 0.21951975f);
    EXPECT_FLOAT_EQ(t.toLinearThresholds()[1], 0.00015176350f);
    EXPECT_FLOAT_EQ(t.toLinearThresholds()[128], 0.21404117f);
    EXPECT_FLOAT_EQ(t.gamma22ToSrgb()[1], 0.0000655955f);
    EXPECT_FLOAT_EQ(t.gamma22ToSrgb()[128], 0.50587547f);
    // The single-precision step puts the top of table 0 one float above 1.
    EXPECT_EQ(t.toLinear()[255], std::nextafter(1.0f, 2.0f));
    EXPECT_EQ(t.gamma22ToSrgb()[255], 1.0f);
    // Table 2 separates consecutive codes of table 0.
    for (int i = 1; i < 256; ++i)
    {
        EXPECT_LT(t.toLinear()[i - 1], t.toLinearThresholds()[i]) << i;
        EXPECT_LT(t.toLinearThresholds()[i], t.toLinear()[i]) << i;
    }
}

TEST(ColourText, ReadsAarrggbbThroughTableZero)
{
    const float* lin = mp_sdk::gammaTables().toLinear();
    struct Case
    {
        const wchar_t* text;
        float r, g, b, a;
    };
    const Case cases[] = {
        {L"FF808080", lin[0x80], lin[0x80], lin[0x80], 1.0f},
        {L"00000000", 0, 0, 0, 0},
        {L"zz", 0, 0, 0, 0},                                                // no digits
        {L"C00080A0", lin[0x00], lin[0x80], lin[0xA0], 192 * 0.003921569f}, // explicit alpha
        {L"80A0C0", lin[0x80], lin[0xA0], lin[0xC0], 0.0f},                 // six digits: alpha 0
        {L"  ff102030", lin[0x10], lin[0x20], lin[0x30], 1.0f},             // leading blanks, lower case
        {L"FF1020zz", lin[0xFF], lin[0x10], lin[0x20], 0.0f},               // stops at the first non-hex: 0xFF1020
        {L"0xFF010203", lin[1], lin[2], lin[3], 1.0f},                      // as wcstoul reads hex
    };
    int index = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(index++);
        GmpiDrawing_API::MP1_COLOR colour{9, 9, 9, 9};
        ASSERT_TRUE(mp_sdk::colorFromText(c.text, colour));
        EXPECT_EQ(colour.r, c.r);
        EXPECT_EQ(colour.g, c.g);
        EXPECT_EQ(colour.b, c.b);
        EXPECT_EQ(colour.a, c.a);
    }
}

TEST(ColourText, EmptyTextKeepsTheColour)
{
    GmpiDrawing_API::MP1_COLOR colour{0.25f, 0.5f, 0.75f, 1.0f};
    EXPECT_FALSE(mp_sdk::colorFromText(L"", colour));
    EXPECT_EQ(colour.r, 0.25f);
    EXPECT_EQ(colour.g, 0.5f);
    EXPECT_EQ(colour.b, 0.75f);
    EXPECT_EQ(colour.a, 1.0f);
}

TEST(ColourText, StyleColoursHoldRedInTheLowByte)
{
    const float* lin = mp_sdk::gammaTables().toLinear();
    // The same colour in the two layouts gives the same drawing colour.
    const auto argb = mp_sdk::colorFromArgb(0x80102030u);
    const auto abgr = mp_sdk::colorFromAbgr(0x80302010u);
    EXPECT_EQ(argb.r, lin[0x10]);
    EXPECT_EQ(argb.g, lin[0x20]);
    EXPECT_EQ(argb.b, lin[0x30]);
    EXPECT_EQ(abgr.r, argb.r);
    EXPECT_EQ(abgr.g, argb.g);
    EXPECT_EQ(abgr.b, argb.b);
    EXPECT_EQ(abgr.a, argb.a);
    EXPECT_EQ(argb.a, 128 * 0.003921569f);
}
