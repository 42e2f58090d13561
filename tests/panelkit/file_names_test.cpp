// The file-existence test, the blob probe and the file-name text helpers
// through the built bundle.
#include "file_fixture.h"
#include "mp_sdk_gui.h"

#include <climits>
#include <filesystem>
#include <sstream>

namespace
{
using namespace qwtest;

// QW_FileExists pins.
constexpr int kPulse = 0, kNameL = 1, kNameR = 2, kExistsL = 3, kExistsR = 4;

UiSends exists(bool value)
{
    return {{kExistsR, b8(value)}, {kExistsL, b8(value)}};
}

UiSends operator+(UiSends a, const UiSends& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(FileModules, FileExistsPulsesOrHoldsTheAnswerRightPinFirst)
{
    UiTable t = table(L"QW_FileExists");
    const std::string folder = res();
    t.prepareHost = [folder](qwhost::GuiHost& host) {
        host.resourceFolder = folder;
        put(folder + "/here.txt", "x");
    };
    const std::wstring here = wide(folder) + L"/here.txt", absent = wide(folder) + L"/absent.txt";
    t.rows = {
        deliver(kPulse, b8(true)),
        deliver(kNameL, text(here), exists(true) + exists(false)),
        deliver(kNameR, text(here), exists(true) + exists(false)).because("a pulse every time"),
        deliver(kNameL, text(absent)).because("false already"),
        deliver(kPulse, b8(false)),
        deliver(kNameR, text(here), exists(true)),
        deliver(kNameL, text(here)).because("a held true is not sent again"),
        deliver(kNameL, text(absent), exists(false)),
        deliver(kNameR, text(L"here.txt")).because("the name as it stands: not in the working folder"),
        deliver(kNameR, text(here), exists(true)),
        deliver(kNameL, text(L"")).because("an empty name changes nothing"),
        deliver(kPulse, b8(true)),
        deliver(kNameR, text(L"")),
    };
    runUiTable(t);
}

// Count 1 for the first blob the host sets, the size only when it changes,
// the address of the blob's data as the module holds it.
TEST(BlobTool, CountsEveryBlobAndSendsItsSizeAndAddressWhenTheyChange)
{
    constexpr int kIn = 0, kCount = 1, kAddress = 2, kSize = 3;
    for (qwhost::Echo echo : kEchoModes)
    {
        SCOPED_TRACE(echoName(echo));
        qwhost::GuiHost host;
        host.echo = echo;
        auto g = host.create(bundle("panelkit"), L"QW_GUIBlobTool", false);
        // The address the module's blob pin holds, printed here as a pointer in hexadecimal.
        auto address = [&] {
            const void* p = g->pinOwner()->getPin(kIn)->rawData();
            std::ostringstream s;
            s << "0x" << std::hex << reinterpret_cast<uintptr_t>(p);
            const std::string a = s.str();
            return std::wstring(a.begin(), a.end());
        };
        auto sent = [&](size_t from) {
            UiSends s;
            for (size_t i = from; i < g->transmits.size(); ++i)
                s.push_back({g->transmits[i].pin, g->transmits[i].data});
            return s;
        };
        auto same = [](const UiSends& a, const UiSends& b) {
            bool ok = a.size() == b.size();
            for (size_t i = 0; ok && i < a.size(); ++i)
                ok = a[i].pin == b[i].pin && a[i].bytes == b[i].bytes;
            return ok;
        };

        g->setBlob(kIn, {1, 2, 3});
        g->deliverEchoes();
        const std::wstring first = address();
        EXPECT_NE(first, L"0x0");
        EXPECT_EQ(first.find_first_not_of(L"0123456789abcdef", 2), std::wstring::npos);
        EXPECT_TRUE(same(sent(0), {{kCount, i32(1)}, {kSize, i32(3)}, {kAddress, text(first)}}));

        size_t mark = g->transmits.size();
        g->setBlob(kIn, {4, 5, 6});
        g->deliverEchoes();
        UiSends want{{kCount, i32(2)}};
        if (address() != first)
            want.push_back({kAddress, text(address())});
        EXPECT_TRUE(same(sent(mark), want)) << "the size did not change";

        mark = g->transmits.size();
        g->setBlob(kIn, {});
        g->deliverEchoes();
        EXPECT_TRUE(same(sent(mark), {{kCount, i32(3)}, {kSize, i32(0)}, {kAddress, text(L"0x0")}}));
    }
}

TEST_F(FileModules, SplitGivesFolderAndNameAndPassesAnExistingFolderWhole)
{
    constexpr int kIn = 0, kFolder = 1, kName = 2;
    const std::wstring r = wide(res());
    UiTable t = table(L"QW_SplitFName");
    t.rows = {
        deliver(kIn, text(L"/music/loops/beat.wav"), {{kFolder, text(L"/music/loops")}, {kName, text(L"beat.wav")}}),
        deliver(kIn, text(L"beat.wav"), {{kFolder, text(L"")}}).because("a bare name: no folder"),
        deliver(kIn, text(L"a/b/"), {{kFolder, text(L"a/b")}, {kName, text(L"")}})
            .because("no such folder: a trailing '/' leaves no name"),
        deliver(kIn, text(L"/top.txt"), {{kFolder, text(L"/")}, {kName, text(L"top.txt")}})
            .because("the root '/' is kept"),
        deliver(kIn, text(r), {{kFolder, text(r)}, {kName, text(L"")}}).because("an existing folder passes whole"),
        deliver(kIn, text(r + L"/x"), {{kName, text(L"x")}}).because("the folder is the same"),
        deliver(kIn, text(L""), {{kName, text(L"")}, {kFolder, text(L"")}}).because("the name first"),
        deliver(kIn, text(L"")),
    };
    runUiTable(t);
}

TEST(AppendFName, JoinsWithOneSlashAndPassesEitherPartAlone)
{
    constexpr int kFolder = 0, kName = 1, kPath = 2;
    UiTable t{L"QW_AppendFName"};
    t.rows = {
        deliver(kName, text(L"beat.wav"), {{kPath, text(L"beat.wav")}}).because("an empty folder passes the name"),
        deliver(kFolder, text(L"/music"), {{kPath, text(L"/music/beat.wav")}}),
        deliver(kFolder, text(L"/music/"), {}).because("no second '/'"),
        deliver(kName, text(L"/abs/x.wav"), {{kPath, text(L"/abs/x.wav")}}).because("an absolute name stands alone"),
        deliver(kName, text(L""), {{kPath, text(L"/music/")}}).because("the folder alone, unchanged"),
        deliver(kFolder, text(L""), {{kPath, text(L"")}}),
        deliver(kFolder, text(L"a"), {{kPath, text(L"a")}}),
        deliver(kName, text(L"b/c"), {{kPath, text(L"a/b/c")}}),
        deliver(kName, text(L"b/c")).because("unchanged"),
    };
    runUiTable(t);
}

TEST(GUIStringAppend, JoinsThePartsInPinOrderAnEmptyOneWhereNoneCame)
{
    UiTable t{L"QW_GUIStringAppend"};
    t.rows = {
        deliver(3, text(L"three"), {{0, text(L"three")}}),
        deliver(1, text(L"one "), {{0, text(L"one three")}}).because("part 2 is empty"),
        deliver(1, text(L"one ")).because("the same part again"),
        deliver(2, text(L"two "), {{0, text(L"one two three")}}),
        deliver(0, text(L"out")).returns(0).because("the output's own pin is not a part"),
        deliver(2, text(L""), {{0, text(L"one three")}}),
    };
    runUiTable(t);
    t.start = false;
    t.rows = {
        deliver(2, text(L"b"), {{0, text(L"b")}}),
        deliver(4, text(L"d"), {{0, text(L"bd")}}).because("parts beyond the host's copies still count"),
    };
    runUiTable(t);
}

// Part ids outside 1 to 4095 are ignored; a value's size decides what it
// holds: whole characters of four bytes, nothing for a size of 0 or less or
// no bytes.
TEST(GUIStringAppend, TakesOnlyPartIdsUpTo4095AndWholeCharacters)
{
    UiTable t{L"QW_GUIStringAppend"};
    t.rows = {
        deliver(-1, text(L"x")).returns(0),
        deliver(4096, text(L"x")).returns(0),
        deliver(INT_MAX, text(L"x")).returns(0),
        deliver(4095, text(L"z"), {{0, text(L"z")}}).returns(0),
        deliver(1, text(L"ab"), {{0, text(L"az")}}).sized(7).returns(0).because("seven bytes: one character"),
        deliver(1, text(L"ab"), {{0, text(L"z")}}).sized(-1).returns(0).because("a negative size: empty"),
        deliver(1, text(L"ab")).sized(0).returns(0),
        deliver(2, text(L"ab")).withoutData().returns(0).because("no bytes: empty"),
    };
    runUiTable(t);
}
} // namespace
