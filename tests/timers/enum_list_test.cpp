// Enumeration-list texts: the entries they yield, their size, lookups and
// forcing a value onto the list.
#include "it_enum_list.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace
{
struct Item
{
    int index;
    int value;
    std::wstring text;
    bool operator==(const Item& o) const { return index == o.index && value == o.value && text == o.text; }
};

std::ostream& operator<<(std::ostream& os, const Item& i)
{
    std::string t;
    for (wchar_t c : i.text)
        t += static_cast<char>(c);
    return os << "{" << i.index << ", " << i.value << ", \"" << t << "\"}";
}

std::vector<Item> entries(const std::wstring& text)
{
    std::vector<Item> out;
    it_enum_list list(text);
    for (list.First(); !list.IsDone(); list.Next())
    {
        const enum_entry* e = list.CurrentItem();
        out.push_back({e->index, e->value, e->text});
        if (out.size() > 100)
            break;
    }
    return out;
}

struct ListCase
{
    const wchar_t* text;
    int size;
    std::vector<Item> items;
};

const ListCase kLists[] = {
    {L"range 0,9",
     10,
     {{0, 0, L"0"},
      {1, 1, L"1"},
      {2, 2, L"2"},
      {3, 3, L"3"},
      {4, 4, L"4"},
      {5, 5, L"5"},
      {6, 6, L"6"},
      {7, 7, L"7"},
      {8, 8, L"8"},
      {9, 9, L"9"}}},
    {L"range 5", 1, {{0, 5, L"5"}}},
    {L"range 3,1", 3, {}},
    {L"range -2, 1", 4, {{0, -2, L"-2"}, {1, -1, L"-1"}, {2, 0, L"0"}, {3, 1, L"1"}}},
    // The bare word has no bounds: no entries at all.
    {L"range", 0, {}},
    {L"range 2147483646,2147483647", 2, {{0, INT_MAX - 1, L"2147483646"}, {1, INT_MAX, L"2147483647"}}},
    {L"range -2147483648,-2147483647", 2, {{0, INT_MIN, L"-2147483648"}, {1, INT_MIN + 1, L"-2147483647"}}},
    {L"Range 1,2", 2, {{0, 0, L"Range 1"}, {1, 1, L"2"}}},
    {L"Off,On", 2, {{0, 0, L"Off"}, {1, 1, L"On"}}},
    {L"low=10, mid, high=50", 3, {{0, 10, L"low"}, {1, 11, L"mid"}, {2, 50, L"high"}}},
    {L"A=3,----,B", 3, {{0, 3, L"A"}, {1, 4, L"----"}, {2, 5, L"B"}}},
    {L"  first word \t,\tsecond  ", 2, {{0, 0, L"first word"}, {1, 1, L"second"}}},
    {L"", 0, {}},
    {L"a", 1, {{0, 0, L"a"}}},
    // A trailing comma is counted but yields nothing; an empty middle entry is an entry.
    {L"a,b,", 3, {{0, 0, L"a"}, {1, 1, L"b"}}},
    {L"a,,b", 3, {{0, 0, L"a"}, {1, 1, L""}, {2, 2, L"b"}}},
    // A comma in the first position is not counted, yet yields an empty entry.
    {L",a", 1, {{0, 0, L""}, {1, 1, L"a"}}},
    {L"x=, y", 2, {{0, 0, L"x"}, {1, 1, L"y"}}},
    {L"neg=-5,next", 2, {{0, -5, L"neg"}, {1, -4, L"next"}}},
    {L"hex=0x10,junk=abc", 2, {{0, 0, L"hex"}, {1, 0, L"junk"}}},
    {L"a=1=2", 1, {{0, 1, L"a"}}},
};

TEST(EnumList, EntriesAndSizeOfListTexts)
{
    for (const ListCase& c : kLists)
    {
        SCOPED_TRACE(::testing::Message() << "list text #" << (&c - kLists));
        EXPECT_EQ(it_enum_list(c.text).size(), c.size);
        EXPECT_EQ(entries(c.text), c.items);
    }
}

TEST(EnumList, IterationCanRestartAndStaysAtTheEnd)
{
    it_enum_list list(L"a,b");
    list.First();
    list.Next();
    list.Next();
    EXPECT_TRUE(list.IsDone());
    list.Next();
    EXPECT_TRUE(list.IsDone());
    list.First();
    EXPECT_EQ(list.CurrentItem()->text, L"a");

    it_enum_list range(L"range 1,2");
    range.First();
    range.Next();
    range.Next();
    range.Next();
    EXPECT_TRUE(range.IsDone());
    range.First();
    EXPECT_EQ(range.CurrentItem()->value, 1);
}

TEST(EnumList, EntryKinds)
{
    const struct
    {
        const wchar_t* text;
        int type;
    } rows[] = {
        {L"----", 1}, {L"||||", 2}, {L">>>>", 3}, {L"<<<<", 4}, {L"-----more", 1}, {L"||||x", 2},
        {L"-", 0},    {L"---a", 0}, {L"====", 0}, {L"aaaa", 0}, {L"", 0},          {L"--- ", 0},
    };
    for (auto& r : rows)
    {
        enum_entry e;
        e.text = r.text;
        EXPECT_EQ(e.getType(), r.type) << static_cast<int>(&r - rows);
    }
}

TEST(EnumList, FindValueSkipsMarkersAndStaysOnTheMatch)
{
    const struct
    {
        const wchar_t* text;
        int value;
        int found;
        const wchar_t* current; // entry text after a match
    } rows[] = {
        {L"Off,On", 1, 1, L"On"},       {L"Off,On", 2, 0, nullptr},
        {L"A=3,----,B", 4, 0, nullptr},                               // the marker holds 4
        {L"A=3,----,B", 5, 1, L"B"},    {L"a=5,b=7,c=7", 7, 1, L"b"}, // the first of equal values
        {L"range 10,20", 15, 1, L"15"}, {L"range 10,20", 21, 0, nullptr},
        {L"", 0, 0, nullptr},
    };
    for (auto& r : rows)
    {
        SCOPED_TRACE(static_cast<int>(&r - rows));
        it_enum_list list(r.text);
        EXPECT_EQ(list.FindValue(r.value), r.found);
        if (r.found)
            EXPECT_EQ(list.CurrentItem()->text, r.current);
        else
            EXPECT_TRUE(list.IsDone());
        EXPECT_EQ(it_enum_list::IsValidValue(r.text, r.value), r.found == 1);
    }
}

TEST(EnumList, FindIndexAnswersOnlyPlainEntries)
{
    it_enum_list list(L"A=3,----,B");
    EXPECT_TRUE(list.FindIndex(0));
    EXPECT_FALSE(list.FindIndex(1));
    EXPECT_TRUE(list.FindIndex(2));
    EXPECT_EQ(list.CurrentItem()->text, L"B");
    EXPECT_FALSE(list.FindIndex(3));
    EXPECT_FALSE(list.FindIndex(-1));
}

// A range of two thousand million values is searched by arithmetic: a walk
// through it would hold the caller for seconds. Entry and stepping on from it
// are as the walk gives them.
TEST(EnumList, HugeRangesAreSearchedWithoutAWalk)
{
    it_enum_list list(L"range -5,2000000000");
    EXPECT_EQ(list.FindValue(1999999999), 1);
    EXPECT_EQ(list.CurrentItem()->index, 2000000004);
    EXPECT_EQ(list.CurrentItem()->text, L"1999999999");
    list.Next();
    EXPECT_EQ(list.CurrentItem()->value, 2000000000);
    EXPECT_EQ(list.CurrentItem()->index, 2000000005);
    list.Next();
    EXPECT_TRUE(list.IsDone());
    EXPECT_EQ(list.FindValue(2000000001), 0);
    EXPECT_TRUE(list.IsDone());
    EXPECT_EQ(list.FindValue(-6), 0);
    EXPECT_FALSE(it_enum_list::IsValidValue(L"range 0,2000000000", -1));
    EXPECT_EQ(it_enum_list::ForceValidValue(L"range 0,2000000000", -1), 0);
    EXPECT_TRUE(list.FindIndex(2000000005));
    EXPECT_EQ(list.CurrentItem()->value, 2000000000);
    EXPECT_FALSE(list.FindIndex(2000000006));
    EXPECT_FALSE(list.FindIndex(-1));

    it_enum_list small(L"range 3,7");
    EXPECT_TRUE(small.FindIndex(4));
    EXPECT_EQ(small.CurrentItem()->value, 7);
    EXPECT_FALSE(small.FindIndex(5));
}

TEST(EnumList, ForceValidValue)
{
    const struct
    {
        const wchar_t* text;
        int value;
        int expected;
    } rows[] = {
        {L"Off,On", 7, 0},    {L"Off,On", 1, 1},    {L"A=3,----,B", 4, 3}, {L"A=3,----,B", 5, 5},
        {L"----=9,a", 2, 9}, // the first entry, marker or not
        {L"range 5,8", 2, 5}, {L"range 5,8", 7, 7}, {L"", 5, 0},           {L"range 3,1", 2, 0},
    };
    for (auto& r : rows)
        EXPECT_EQ(it_enum_list::ForceValidValue(r.text, r.value), r.expected) << static_cast<int>(&r - rows);
}

TEST(EnumList, StringToInt)
{
    it_enum_list list(L"");
    EXPECT_EQ(list.StringToInt(L"42abc"), 42);
    EXPECT_EQ(list.StringToInt(L"  -7"), -7);
    EXPECT_EQ(list.StringToInt(L"ff", 16), 255);
    EXPECT_EQ(list.StringToInt(L"x"), 0);
}
} // namespace
