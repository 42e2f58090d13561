// The tokeniser and the integer reader shared by the skin's text readers.
#include "skin_text.h"

#include <gtest/gtest.h>

#include <climits>

namespace
{
std::vector<std::string> split(const char* line)
{
    std::vector<std::string> out;
    SplitString(line, out);
    return out;
}
} // namespace

TEST(SplitString, TokensOfALine)
{
    struct Case
    {
        const char* line;
        std::vector<std::string> tokens;
    };
    const Case cases[] = {
        {"font-family Arial, Helvetica", {"font-family", "Arial", "Helvetica"}},
        {"a , b", {"a", "b"}},
        // A comma right after a closing quote is a token of its own.
        {"font-family 'Times New Roman', serif", {"font-family", "Times New Roman", ",", "serif"}},
        // A token may start with a comma.
        {"a,,b", {"a", ",b"}},
        // An unterminated quote runs to the end of the line.
        {"font-family 'Times New", {"font-family", "Times New"}},
        {"say \"it's\"", {"say", "it's"}},
        {"x \"\" y", {"x", "", "y"}},
        {"a'b'", {"a", "b"}},
        // Tabs and a CR are white space like blanks.
        {"\tkey\tvalue\t", {"key", "value"}},
        {"a\t,\tb", {"a", "b"}},
        {"key value\r", {"key", "value"}},
        {"a\rb", {"a", "b"}},
        {"", {}},
        {"  \t ", {}},
        {",", {","}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(split(c.line), c.tokens) << "line '" << c.line << "'";
}

TEST(SplitString, AppendsToWhatIsThereAndIgnoresNull)
{
    std::vector<std::string> out{"kept"};
    SplitString("a b", out);
    SplitString(nullptr, out);
    EXPECT_EQ(out, (std::vector<std::string>{"kept", "a", "b"}));
}

TEST(StringToInt, ReadsTheLeadingIntegerSaturated)
{
    struct Case
    {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"42", 42},
        {"  -7x", -7},
        {"+3", 3},
        {"1.5", 1},
        {"abc", 0},
        {"", 0},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"99999999999999999999999", INT32_MAX},
        {"-99999999999999999999999", INT32_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StringToInt(c.text), c.value) << "text '" << c.text << "'";
}
