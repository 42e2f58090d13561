// A list choice shown as its item's text, and a typed text that selects an
// item or gives the chosen item a new text.
//
//   pin 0  choice     an item's value
//   pin 1  item list  an enumeration list text
//   pin 2  direction  0 typing does nothing, 1 selects the item of that
//                     text, any other value renames the chosen item
//   pin 3  item text
//
// Choice to text needs a choice and a list delivered once; typing needs a
// direction delivered once. Only the first kMaxListEntries entries of a list
// are looked at, and a longer list is not rewritten. A new item text that
// would not read back as that one plain item (a ',' or '=' in it, a marker
// start, blanks at either end, "range" at the start of the list) changes
// nothing.
#include "../logic/family.h"
#include "it_enum_list.h"

#include <vector>

class QW_List2Txt : public MpGuiInvisibleBase
{
public:
    QW_List2Txt()
    {
        initializePin(choice_, &QW_List2Txt::onSetChoice);
        initializePin(items_, &QW_List2Txt::onSetItemList);
        initializePin(direction_, &QW_List2Txt::onSetBiDi);
        initializePin(text_, &QW_List2Txt::onSetText);
        expectOwnEchoes();
    }

private:
    void onSetChoice()
    {
        choiceReceived_ = true;
        onSetLeftPins();
    }
    void onSetItemList()
    {
        listReceived_ = true;
        onSetLeftPins();
    }
    void onSetBiDi() { directionReceived_ = true; }

    // Choice to text: the first plain entry of the chosen value, or empty.
    void onSetLeftPins()
    {
        if (!choiceReceived_ || !listReceived_ || guard_.raised())
            return;
        std::wstring found;
        for (const enum_entry& e : entries(items_))
            if (e.value == choice_ && e.getType() == 0)
            {
                found = e.text;
                break;
            }
        text_ = found;
    }

    void onSetText()
    {
        if (!directionReceived_ || direction_ == 0)
            return;
        if (direction_ == 1)
            select();
        else
            rename();
    }

    // The first entry of exactly that text gives its value as the choice.
    void select()
    {
        for (const enum_entry& e : entries(items_))
            if (e.text == text_.getValue())
            {
                qw::EchoGuard::Raise raise(guard_);
                choice_ = e.value;
                return;
            }
    }

    // The plain entries of the chosen value take the typed text; the list is
    // written again entry by entry, with "=value" where a value differs from
    // its position.
    void rename()
    {
        bool more = false;
        std::vector<enum_entry> list = entries(items_, &more);
        bool chosen = false;
        for (enum_entry& e : list)
            if (e.value == choice_ && e.getType() == 0)
            {
                e.text = text_;
                if (e.getType() != 0)
                    return; // the new text would make the item a marker
                chosen = true;
            }
        if (!chosen || more)
            return;
        std::wstring written;
        for (const enum_entry& e : list)
        {
            if (e.index > 0)
                written += L',';
            written += e.text;
            if (e.value != e.index)
                written += L'=' + std::to_wstring(e.value);
        }
        if (!readsBackAs(written, list))
            return;
        qw::EchoGuard::Raise raise(guard_);
        items_ = written;
    }

    // The first kMaxListEntries entries of a list text; `more` tells whether
    // it has further ones.
    static std::vector<enum_entry> entries(const std::wstring& text, bool* more = nullptr)
    {
        std::vector<enum_entry> v;
        it_enum_list list(text);
        for (list.First(); !list.IsDone() && v.size() < size_t{kMaxListEntries}; list.Next())
            v.push_back(list.current());
        if (more)
            *more = !list.IsDone();
        return v;
    }

    // Whether a list text gives exactly these entries: their texts, values
    // and kinds, and no others.
    static bool readsBackAs(const std::wstring& text, const std::vector<enum_entry>& expected)
    {
        bool more = false;
        const std::vector<enum_entry> read = entries(text, &more);
        if (more || read.size() != expected.size())
            return false;
        for (size_t k = 0; k < read.size(); ++k)
            if (read[k].text != expected[k].text || read[k].value != expected[k].value ||
                read[k].getType() != expected[k].getType())
                return false;
        return true;
    }

    MpGuiPin<int> choice_;
    StringGuiPin items_;
    MpGuiPin<int> direction_;
    StringGuiPin text_;
    bool choiceReceived_ = false;
    bool listReceived_ = false;
    bool directionReceived_ = false;
    qw::EchoGuard guard_;
};

namespace
{
auto r = RegisterPlugin(gmpi::MP_SUB_TYPE_GUI2, L"QW_List2Txt", &gmpi::Register<QW_List2Txt>::withId);
} // namespace
