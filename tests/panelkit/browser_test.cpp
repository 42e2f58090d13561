// The folder browsers through the built bundle, on a scratch tree as the
// host's resource folder, with the host's echo inside the call, later and
// none, and the run loop's manual clock: what they list, what a choice, the
// parent trigger and a path do, and that the list reads back as an
// enumeration list with one plain entry per name.
#include "dialog_rig.h"
#include "file_fixture.h"
#include "it_enum_list.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <unistd.h>

namespace
{
using namespace qwtest;
using qwhost::Echo;
namespace fs = std::filesystem;

// Pins of both browsers.
constexpr int kPath = 0, kExt = 1, kHideExt = 2, kWhat = 3, kRescan = 4, kParent = 5, kChoice = 6, kItems = 7;
// QW_FileBrowser2's chosen file and hide-folders pin.
constexpr int kFile = 8, kHideFolders = 3;

const wchar_t* const kComma3 = L"\u02CF";  // how QW_FileBrowser3 shows ','
const wchar_t* const kEquals3 = L"\uA78A"; // and '='

class Browsers : public FileModules
{
protected:
    void SetUp() override
    {
        FileModules::SetUp();
        qwhost::RunLoop::useManualClock(9000.0);
    }

    // The resource folder of the tests: files of several kinds and letter
    // cases, two folders, a ',' and a '=' in names.
    void tree() const
    {
        clearFolders();
        for (const char* f : {"Kick.wav", "Bass.AIF", "snare.aif", "song.mid", "b,c.wav", "a=b.wav", "take.1.wav"})
            put(res(f), "x");
        fs::create_directory(res("Zeta"));
        fs::create_directory(res("v1.2"));
        put(res("Zeta/zeta1.wav"), "z");
    }
    std::wstring wres(const std::string& name = "") const { return wide(res(name)); }
};

// The sorted list of the tree: bytes of the names, upper case first.
std::wstring sortedTree()
{
    return std::wstring(L"Bass.AIF,Kick.wav,Zeta/,a") + kEquals3 + L"b.wav,b" + kComma3 +
           L"c.wav,snare.aif,song.mid,take.1.wav,v1.2/";
}

// An item list read as an enumeration list: each plain entry's text, in
// order; fails unless every entry is plain and its value is its place.
std::vector<std::wstring> readBack(const std::wstring& list)
{
    std::vector<std::wstring> texts;
    it_enum_list entries(list);
    int place = 0;
    for (entries.First(); !entries.IsDone(); entries.Next(), ++place)
    {
        EXPECT_EQ(entries.current().getType(), 0) << "a marker entry in the list";
        EXPECT_EQ(entries.current().value, place) << "entry " << place;
        texts.push_back(entries.current().text);
    }
    return texts;
}

std::vector<std::wstring> split(const std::wstring& list)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    if (list.empty())
        return parts;
    for (;;)
    {
        const size_t comma = list.find(L',', start);
        parts.push_back(list.substr(start, comma - start));
        if (comma == std::wstring::npos)
            return parts;
        start = comma + 1;
    }
}

std::wstring lastText(const Rig& r, int pin)
{
    const auto v = r.texts(pin);
    return v.empty() ? L"<none>" : v.back();
}
int lastInt(const Rig& r, int pin)
{
    const auto v = r.ints(pin);
    return v.empty() ? -99 : v.back();
}

TEST_F(Browsers, AnEmptyPathListsTheResourceFolderSortedByName)
{
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(echoName(e));
        tree();
        Rig r(L"QW_FileBrowser3", e, res());
        EXPECT_EQ(r.texts(kItems), std::vector<std::wstring>{sortedTree()});
        EXPECT_TRUE(r.ints(kChoice).empty()) << "the choice stays -1";
        EXPECT_TRUE(r.texts(kPath).empty());
        EXPECT_EQ(readBack(lastText(r, kItems)).size(), 9u);
    }
}

TEST_F(Browsers, WhatIsListedFollowsTheFilterTheHiddenExtensionsAndTheKind)
{
    struct Case
    {
        const char* what;
        int pin;
        std::vector<uint8_t> value;
        std::wstring list;
    };
    const std::wstring a = std::wstring(L"a") + kEquals3 + L"b", b = std::wstring(L"b") + kComma3 + L"c";
    const Case cases[] = {
        // The blank stays in the third piece: ". mid" matches nothing; the
        // letters' case counts; folders are never filtered.
        {"filter", kExt, text(L"wav,.AIF, mid"),
         L"Bass.AIF,Kick.wav,Zeta/," + a + L".wav," + b + L".wav,take.1.wav,v1.2/"},
        {"hidden extensions", kHideExt, b8(true), L"Bass,Kick,Zeta/," + a + L"," + b + L",snare,song,take.1,v1/"},
        {"folders only", kWhat, i32(1), L"Zeta/,v1.2/"},
        {"files only", kWhat, i32(2), L"Bass.AIF,Kick.wav," + a + L".wav," + b + L".wav,snare.aif,song.mid,take.1.wav"},
        {"both", kWhat, i32(7), sortedTree()},
    };
    for (const Case& c : cases)
        for (Echo e : kEchoModes)
        {
            SCOPED_TRACE(std::string(c.what) + ", " + echoName(e));
            tree();
            Rig r(L"QW_FileBrowser3", e, res());
            r.clear();
            r.g->set(c.pin, c.value.data(), static_cast<int>(c.value.size()));
            r.settle();
            if (c.list == sortedTree())
            {
                EXPECT_TRUE(r.texts(kItems).empty()) << "an unchanged list is not sent again";
                continue;
            }
            EXPECT_EQ(r.texts(kItems), std::vector<std::wstring>{c.list});
            EXPECT_EQ(readBack(lastText(r, kItems)).size(), split(c.list).size());
        }
}

TEST_F(Browsers, ANameThatDoesNotExistAsItStandsIsFoundBelowTheResourceFolder)
{
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(echoName(e));
        tree();
        Rig r(L"QW_FileBrowser3", e, res());
        r.clear();
        r.setText(kPath, L"Zeta");
        EXPECT_EQ(r.texts(kItems), std::vector<std::wstring>{L"zeta1.wav"});

        // A folder of that name in the working folder comes first.
        fs::create_directory(work("Zeta"));
        put(work("Zeta/here.txt"), "h");
        r.setBool(kRescan, true);
        EXPECT_EQ(lastText(r, kItems), L"here.txt");

        r.setText(kPath, L"nowhere");
        EXPECT_EQ(lastText(r, kItems), L"") << "nothing at either place";
    }
}

TEST_F(Browsers, AFilePathListsItsFolderWithTheFileChosen)
{
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(echoName(e));
        tree();
        Rig r(L"QW_FileBrowser3", e, res());
        r.clear();
        r.setText(kPath, wres("Kick.wav"));
        EXPECT_EQ(r.ints(kChoice), std::vector<int>{1});
        EXPECT_TRUE(r.texts(kItems).empty()) << "the same folder: the list did not change";
        EXPECT_TRUE(r.texts(kPath).empty());

        r.clear();
        r.setText(kPath, wres("Zeta/zeta1.wav"));
        EXPECT_EQ(r.ints(kChoice), std::vector<int>{0});
        EXPECT_EQ(r.texts(kItems), std::vector<std::wstring>{L"zeta1.wav"});
    }
}

TEST_F(Browsers, ChoosingAFolderEntersItAndSendsTheChoiceAgainLater)
{
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(echoName(e));
        tree();
        Rig r(L"QW_FileBrowser3", e, res());
        r.clear();
        r.setInt(kChoice, 2); // Zeta/
        using Sent = std::vector<std::pair<int, std::wstring>>;
        const std::wstring zeta = wres("Zeta");
        if (e == Echo::None)
        {
            // Listed at the next rescan, as nothing hands the path back.
            EXPECT_EQ(r.sent(), (Sent{{kPath, zeta}}));
            r.wait(99);
            EXPECT_EQ(r.sent().size(), 1u);
            r.wait(1);
            EXPECT_EQ(r.sent(), (Sent{{kPath, zeta}, {kChoice, L"2"}}));
            r.clear();
            r.setBool(kRescan, true);
            EXPECT_EQ(r.sent(), (Sent{{kChoice, L"-1"}, {kItems, L"zeta1.wav"}}));
        }
        else
        {
            EXPECT_EQ(r.sent(), (Sent{{kPath, zeta}, {kChoice, L"-1"}, {kItems, L"zeta1.wav"}}));
            r.wait(99);
            EXPECT_EQ(r.sent().size(), 3u);
            r.wait(1);
            EXPECT_EQ(r.sent(), (Sent{{kPath, zeta}, {kChoice, L"-1"}, {kItems, L"zeta1.wav"}, {kChoice, L"-1"}}))
                << "sent again, though unchanged";
        }
        r.clear();
        r.wait(1000);
        EXPECT_TRUE(r.sent().empty()) << "one shot";
    }
}

TEST_F(Browsers, ChoosingAFileWritesItsPathAndKeepsTheList)
{
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(echoName(e));
        tree();
        Rig r(L"QW_FileBrowser3", e, res());
        put(res("Late.txt"), "l"); // after the list was made
        r.clear();
        r.setInt(kChoice, 1);
        EXPECT_EQ(r.texts(kPath), std::vector<std::wstring>{wres("Kick.wav")});
        if (e == Echo::Later)
            EXPECT_EQ(r.texts(kItems).size(), 1u) << "the path came back after the choice: a rescan";
        else
            EXPECT_TRUE(r.texts(kItems).empty()) << "the path the choice wrote does not rescan";
        const size_t sent = r.g->transmits.size();
        r.wait(500);
        EXPECT_EQ(r.g->transmits.size(), sent) << "no timer after a file";

        // Up from there: the file's folder's parent.
        r.clear();
        r.setBool(kParent, true);
        EXPECT_EQ(r.texts(kPath), std::vector<std::wstring>{wide(dir_.string())});
    }
}

TEST_F(Browsers, TheParentTriggerGoesUpOneFolder)
{
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(echoName(e));
        tree();
        Rig r(L"QW_FileBrowser3", e, res());
        r.setText(kPath, wres("Zeta"));
        r.clear();
        r.setBool(kParent, false);
        EXPECT_TRUE(r.sent().empty()) << "false does nothing";
        r.setBool(kParent, true);
        EXPECT_EQ(r.texts(kPath), std::vector<std::wstring>{wres()});
        if (e == Echo::None)
            EXPECT_TRUE(r.texts(kItems).empty());
        else
            EXPECT_EQ(r.texts(kItems), std::vector<std::wstring>{sortedTree()});
    }
}

TEST_F(Browsers, FoldersOnlyInAFolderWithoutSubfoldersShowsItAmongItsNeighbours)
{
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(echoName(e));
        tree();
        Rig r(L"QW_FileBrowser3", e, res());
        r.setInt(kWhat, 1);
        r.clear();
        r.setText(kPath, wres("v1.2"));
        EXPECT_EQ(r.texts(kItems), std::vector<std::wstring>{}) << "the same list as before";
        EXPECT_EQ(r.ints(kChoice), std::vector<int>{1});
        EXPECT_TRUE(r.texts(kPath).empty()) << "choosing the folder shown does not enter it again";
        r.clear();
        r.wait(1000);
        EXPECT_TRUE(r.sent().empty()) << "settled";

        // A file in such a folder: the folder entered, then shown among its neighbours.
        r.clear();
        r.setText(kPath, wres("Zeta/zeta1.wav"));
        r.wait(1000);
        EXPECT_EQ(lastInt(r, kChoice), 0) << "Zeta among its neighbours";
        if (e != Echo::None)
            EXPECT_EQ(lastText(r, kPath), wres("Zeta")) << "entered from the choice's return";
        r.clear();
        r.wait(1000);
        EXPECT_TRUE(r.sent().empty()) << "settled";
    }
}

TEST_F(Browsers, CommasEqualsAndAFirstNameRangeReadBackAsPlainEntries)
{
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(echoName(e));
        clearFolders();
        for (const char* f : {"range1.wav", "x=1,y=2.wav", "z.wav"})
            put(res(f), "x");
        Rig r(L"QW_FileBrowser3", e, res());
        const std::wstring list =
            std::wstring(L" range1.wav,x") + kEquals3 + L"1" + kComma3 + L"y" + kEquals3 + L"2.wav,z.wav";
        EXPECT_EQ(r.texts(kItems), std::vector<std::wstring>{list});
        EXPECT_EQ(
            readBack(list),
            (std::vector<std::wstring>{
                L"range1.wav", std::wstring(L"x") + kEquals3 + L"1" + kComma3 + L"y" + kEquals3 + L"2.wav", L"z.wav"}));
        // The choice of the last entry is that entry.
        r.clear();
        r.setInt(kChoice, 2);
        EXPECT_EQ(r.texts(kPath), std::vector<std::wstring>{wres("z.wav")});
    }
}

TEST_F(Browsers, ChoicesOutsideTheListAndBeforeAnyListDoNothing)
{
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(echoName(e));
        tree();
        Rig r(L"QW_FileBrowser3", e, res());
        r.clear();
        for (int c : {-1, 9, INT32_MIN, INT32_MAX})
            r.setInt(kChoice, c);
        EXPECT_TRUE(r.sent().empty());
        r.setText(kPath, L"nowhere");
        r.clear();
        r.setInt(kChoice, 0);
        EXPECT_TRUE(r.sent().empty()) << "nothing listed";
    }
}

TEST_F(Browsers, NothingIsListedBeforeInitialize)
{
    tree();
    Rig r(L"QW_FileBrowser3", Echo::None, res(), false);
    r.setText(kPath, wres("Zeta"));
    r.setBool(kRescan, true);
    EXPECT_TRUE(r.sent().empty());
    r.g->initialize();
    EXPECT_EQ(r.texts(kItems), std::vector<std::wstring>{L"zeta1.wav"});
}

TEST_F(Browsers, AnUnreadableSubfolderIsLeftOut)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every folder";
    for (const wchar_t* id : {L"QW_FileBrowser3", L"QW_FileBrowser2"})
    {
        clearFolders();
        fs::create_directory(res("open"));
        fs::create_directory(res("shut"));
        fs::permissions(res("shut"), fs::perms::none);
        Rig r(id, Echo::None, res());
        EXPECT_EQ(lastText(r, kItems), L"open/");
        fs::permissions(res("shut"), fs::perms::owner_all);
    }
}

// --- QW_FileBrowser2 ---

std::set<std::wstring> asSet(const std::wstring& list)
{
    const auto parts = split(list);
    return {parts.begin(), parts.end()};
}
int placeOf(const std::wstring& list, const std::wstring& name)
{
    const auto parts = split(list);
    const auto it = std::find(parts.begin(), parts.end(), name);
    return it == parts.end() ? -1 : static_cast<int>(it - parts.begin());
}

TEST_F(Browsers, TheLegacyBrowserListsTheFolderInTheFileSystemsOrder)
{
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(echoName(e));
        tree();
        Rig r(L"QW_FileBrowser2", e, res());
        const std::set<std::wstring> all{L"Bass.AIF",  L"Kick.wav", L"Zeta/",      L"a_b.wav", L"b_c.wav",
                                         L"snare.aif", L"song.mid", L"take.1.wav", L"v1.2/"};
        EXPECT_EQ(asSet(lastText(r, kItems)), all);
        readBack(lastText(r, kItems));

        r.setText(kExt, L"wav,.AIF, mid");
        EXPECT_EQ(asSet(lastText(r, kItems)), (std::set<std::wstring>{L"Bass.AIF", L"Kick.wav", L"Zeta/", L"a_b.wav",
                                                                      L"b_c.wav", L"take.1.wav", L"v1.2/"}));
        r.setBool(kHideFolders, true);
        EXPECT_EQ(asSet(lastText(r, kItems)),
                  (std::set<std::wstring>{L"Bass.AIF", L"Kick.wav", L"a_b.wav", L"b_c.wav", L"take.1.wav"}));
        r.setBool(kHideExt, true);
        EXPECT_EQ(asSet(lastText(r, kItems)), (std::set<std::wstring>{L"Bass", L"Kick", L"a_b", L"b_c", L"take.1"}));
        r.setBool(kHideFolders, false);
        EXPECT_EQ(asSet(lastText(r, kItems)),
                  (std::set<std::wstring>{L"Bass", L"Kick", L"Zeta/", L"a_b", L"b_c", L"take.1", L"v1/"}));
    }
}

TEST_F(Browsers, TheLegacyBrowserTurnsAFilePathIntoItsFolderLater)
{
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(echoName(e));
        tree();
        Rig r(L"QW_FileBrowser2", e, res());
        const std::wstring list = lastText(r, kItems);
        r.clear();
        r.setText(kPath, wres("Kick.wav"));
        EXPECT_EQ(r.texts(kFile), std::vector<std::wstring>{wres("Kick.wav")});
        EXPECT_EQ(lastInt(r, kChoice), placeOf(list, L"Kick.wav"));
        EXPECT_TRUE(r.texts(kPath).empty());
        r.wait(99);
        EXPECT_TRUE(r.texts(kPath).empty());
        r.wait(1);
        EXPECT_EQ(r.texts(kPath), std::vector<std::wstring>{wres()});
        EXPECT_EQ(lastInt(r, kChoice), placeOf(list, L"Kick.wav")) << "still chosen";
    }
}

TEST_F(Browsers, TheLegacyBrowserReportsAChosenFileOnItsOwnPinAndEntersAFolder)
{
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(echoName(e));
        tree();
        Rig r(L"QW_FileBrowser2", e, res());
        const std::wstring list = lastText(r, kItems);
        r.clear();
        r.setInt(kChoice, placeOf(list, L"song.mid"));
        EXPECT_EQ(r.texts(kFile), std::vector<std::wstring>{wres("song.mid")});
        EXPECT_TRUE(r.texts(kPath).empty());
        EXPECT_TRUE(r.texts(kItems).empty());

        // The file pin names a listed file: it is chosen.
        r.clear();
        r.setText(kFile, wres("snare.aif"));
        EXPECT_EQ(r.ints(kChoice), std::vector<int>{placeOf(list, L"snare.aif")});

        r.clear();
        r.setInt(kChoice, placeOf(list, L"Zeta/"));
        EXPECT_EQ(r.texts(kPath), std::vector<std::wstring>{wres("Zeta")});
        EXPECT_EQ(r.texts(kItems), std::vector<std::wstring>{L"zeta1.wav"});

        r.clear();
        r.setBool(kParent, true);
        EXPECT_EQ(r.texts(kPath), std::vector<std::wstring>{wres()});
        EXPECT_EQ(lastInt(r, kChoice), placeOf(list, L"snare.aif")) << "the file pin's entry";
        EXPECT_EQ(asSet(lastText(r, kItems)), asSet(list));
        // Nine entries: 0 .. 8 are in the list, 9 is the first beyond it.
        r.clear();
        for (int c : {-1, 9, INT32_MIN, INT32_MAX})
            r.setInt(kChoice, c);
        EXPECT_TRUE(r.sent().empty()) << "a choice outside the list changes nothing";
    }
}

TEST_F(Browsers, TheLegacyBrowserMakesCommasEqualsAndRangeSafe)
{
    clearFolders();
    for (const char* f : {"range1.wav"})
        put(res(f), "x");
    fs::create_directory(res("p,q=r"));
    Rig r(L"QW_FileBrowser2", Echo::Inside, res());
    const std::wstring list = lastText(r, kItems);
    EXPECT_TRUE(list == L" range1.wav,p_q_r/" || list == L"p_q_r/,range1.wav") << qwtest::describeBytes(text(list));
    EXPECT_EQ(readBack(list).size(), 2u);
}
} // namespace
