// Enumeration lists: the choices of list pins, list boxes, context menus and
// file-type filters, written as one wide text.
//
//   "range 0,9"          the integers 0 to 9 (texts "0" .. "9")
//   "Off,On"             0 Off, 1 On
//   "low=10, mid, high=50"  10 low, 11 mid, 50 high
//
// An entry whose text starts with four equal marker characters ("----",
// "||||", ">>>>", "<<<<") is a marker (separator, column break, submenu start
// and end), not a choice.
#pragma once

#include <cstdint>
#include <string>

// Most entries a control takes from one list text (rows, menu items,
// searches): the rest of a longer list is ignored, so that a text such as
// "range 0,2000000000" stays cheap.
constexpr int32_t kMaxListEntries = 10000;

struct enum_entry
{
    int32_t index = -1; // 0-based position; -1 past the end
    int32_t value = 0;
    std::wstring text;

    // 0 plain entry; 1 "----", 2 "||||", 3 ">>>>", 4 "<<<<".
    int getType() const;
};

class it_enum_list
{
public:
    explicit it_enum_list(const std::wstring& text);

    // Restart at the first entry; step on. Past the last entry the current
    // index is -1.
    void First();
    void Next();
    bool IsDone() const { return current_.index == -1; }
    enum_entry* CurrentItem() { return &current_; }
    const enum_entry& current() const { return current_; }

    // Entries as the list text counts them: for a comma list 1 + the commas
    // after the first character (a trailing comma counts, yet yields no
    // entry); for a range |high - low| + 1.
    int size() const;

    // 1 when a plain entry has that value (the current entry stays on it),
    // else 0.
    int FindValue(int32_t value);
    // True when the entry at that index exists and is plain (current stays on it).
    bool FindIndex(int32_t index);

    static bool IsValidValue(const std::wstring& listText, int32_t value);
    // The value when the list offers it, else the first entry's value, else 0.
    static int32_t ForceValidValue(const std::wstring& listText, int32_t value);

    // Leading integer of a text in the given base (rest ignored), as int32.
    int32_t StringToInt(const std::wstring& text, int base = 10) const;

private:
    // Range lists: makes the entry of that value current; false (and done) when there is none.
    bool seekRange(int64_t value);

    std::wstring text_;
    enum_entry current_;
    bool isRange_ = false;
    int32_t rangeLow_ = 0;
    int32_t rangeHigh_ = 0;
    bool emptyRange_ = false; // the bare word "range": no entries
    size_t position_ = 0;     // comma list: where the next entry starts
    int64_t rangeValue_ = 0;  // range stepping, wide enough for the int32 limits
};
