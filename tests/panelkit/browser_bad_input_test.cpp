// Hostile input to the folder browsers and the dialog modules: very long
// paths, text with no UTF-8 form, sockets, dangling links, a folder of
// 20000 entries, filter texts of a megabyte, extreme choices, and odd dialog
// answers. A safe answer, never a crash, a hang or a runaway allocation.
#include "dialog_rig.h"
#include "file_fixture.h"
#include "it_enum_list.h"
#include "mp_sdk_common.h"

#include <climits>
#include <filesystem>
#include <fstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
using namespace qwtest;
using qwhost::Echo;
namespace fs = std::filesystem;

constexpr int kPath = 0, kExt = 1, kChoice = 6, kItems = 7;

class BrowserBadInput : public FileModules
{
protected:
    void SetUp() override
    {
        FileModules::SetUp();
        qwhost::RunLoop::useManualClock(13000.0);
    }
};

std::wstring lastText(const Rig& r, int pin)
{
    const auto v = r.texts(pin);
    return v.empty() ? L"<none>" : v.back();
}

// A socket file at a path; false when the system refuses (a long path, say).
bool makeSocket(const std::string& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    if (path.size() >= sizeof a.sun_path)
    {
        ::close(fd);
        return false;
    }
    std::copy(path.begin(), path.end(), a.sun_path);
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

const wchar_t* const kBrowsers[] = {L"QW_FileBrowser3", L"QW_FileBrowser2"};

TEST_F(BrowserBadInput, PathsThatNameNothingUsableGiveAnEmptyList)
{
    put(res("a.txt"), "a");
    fs::create_symlink(res("nothing"), res("dangling"));
    const std::wstring longPath = L"/" + std::wstring(10000, L'a'), longRelative(10000, L'b');
    std::wstring deep;
    for (int i = 0; i < 3000; ++i)
        deep += L"x/";
    for (const wchar_t* id : kBrowsers)
        for (Echo e : kEchoModes)
        {
            SCOPED_TRACE(qwtest::echoName(e));
            Rig r(id, e, res());
            for (const std::wstring& p : {longPath, longRelative, deep, std::wstring(L"a\xD800z"),
                                          std::wstring(L"a\0b", 3), wide(res("dangling"))})
            {
                r.setText(kPath, wide(res()));
                r.clear();
                r.setText(kPath, p);
                EXPECT_EQ(lastText(r, kItems), L"");
                r.setInt(kChoice, 0);
                r.wait(200);
            }
        }
}

TEST_F(BrowserBadInput, SocketsDanglingLinksAndUndecodableNamesAreHandled)
{
    const bool socket = makeSocket(res("sock"));
    fs::create_symlink(res("nothing"), res("dangling"));
    put(res("\xFF.txt"), "f");
    put(res("z.txt"), "z");
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(qwtest::echoName(e));
        Rig r(L"QW_FileBrowser3", e, res());
        const std::wstring list = socket ? L"sock,z.txt,\uFFFD.txt" : L"z.txt,\uFFFD.txt";
        EXPECT_EQ(lastText(r, kItems), list) << "the link to nothing left out";
        // Choosing the undecodable name writes a path that names nothing,
        // and is harmless.
        r.setInt(kChoice, socket ? 2 : 1);
        r.wait(200);
        if (socket)
        {
            r.clear();
            r.setText(kPath, wide(res("sock")));
            EXPECT_EQ(r.ints(kChoice).empty() ? -99 : r.ints(kChoice).back(), 0) << "a socket is shown in its folder";
        }
    }
}

TEST_F(BrowserBadInput, AFolderOfTwentyThousandEntriesIsListedWhole)
{
    for (int i = 0; i < 20000; ++i)
        std::ofstream(res("f" + std::to_string(100000 + i) + ".txt"));
    for (const wchar_t* id : kBrowsers)
    {
        Rig r(id, Echo::Later, res());
        const std::wstring list = lastText(r, kItems);
        EXPECT_EQ(std::count(list.begin(), list.end(), L','), 19999);
        if (std::wstring(id) == L"QW_FileBrowser3")
        {
            EXPECT_EQ(list.substr(0, 12), L"f100000.txt,");
            r.setInt(kChoice, 19999);
            EXPECT_EQ(lastText(r, kPath), wide(res("f119999.txt")));
        }
    }
}

TEST_F(BrowserBadInput, FilterTextsOfAMegabyteWithEmptyPieces)
{
    put(res("a.wav"), "a");
    put(res("b.mid"), "b");
    std::wstring filter(1 << 20, L',');
    filter.replace(500000, 4, L"wav,");
    const std::wstring manyPieces = [] {
        std::wstring t;
        for (int i = 0; t.size() < (1u << 20); ++i)
            t += L"x" + std::to_wstring(i) + L",,";
        return t + L"mid";
    }();
    for (const wchar_t* id : kBrowsers)
        for (Echo e : kEchoModes)
        {
            SCOPED_TRACE(qwtest::echoName(e));
            Rig r(id, e, res());
            r.setText(kExt, filter);
            EXPECT_EQ(lastText(r, kItems), L"a.wav");
            r.setText(kExt, manyPieces);
            EXPECT_EQ(lastText(r, kItems), L"b.mid");
            r.setText(kExt, std::wstring(1 << 20, L','));
            EXPECT_EQ(lastText(r, kItems).size(), 11u) << "only empty pieces: no filter";
        }
}

TEST_F(BrowserBadInput, DialogModulesTakeHugeTextsAndOddAnswers)
{
    constexpr int kName = 0, kExtensions = 1, kOpen = 4;
    const std::wstring longPath = L"/" + std::wstring(10000, L'a') + L".wav";
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(qwtest::echoName(e));
        Rig r(L"QW_FileReq2", e, res());
        r.setText(kName, longPath);
        r.setText(kExtensions, L"range 0,2000000000");
        r.trigger(kOpen);
        ASSERT_NE(r.dialogs.lastFileDialog(), nullptr);
        EXPECT_EQ(r.dialogs.lastFileDialog()->extensions.size(), size_t(kMaxListEntries)) << "a list is taken in part";
        const std::wstring picked = L"/" + std::wstring(10000, L'c') + L".wav";
        r.dialogs.lastFileDialog()->pick(gmpi_sdk::toUtf8(picked));
        r.wait(200);
        EXPECT_EQ(lastText(r, kName), picked);

        r.setText(kExtensions, std::wstring(1 << 20, L','));
        r.setText(kName, L"a\xD800");
        r.trigger(kOpen);
        EXPECT_EQ(r.dialogs.lastFileDialog()->initialFilename, "a\xEF\xBF\xBD");
        for (const char* answer : {"", "noext", "dir/", ".", "a.b/c", "\\\\x.sfz", "x.sfz\xFF"})
        {
            r.trigger(kOpen);
            r.dialogs.lastFileDialog()->pick(answer);
            r.wait(200);
        }
    }

    // The overwrite check on names no file can have.
    constexpr int kFile = 2, kCheck = 3, kGoAhead = 4;
    for (const std::wstring& name : {longPath, std::wstring(L"\xD800"), std::wstring(L"a\0b", 3), std::wstring(L"/")})
    {
        Rig r(L"QW_OverwriteConfirm", Echo::Inside, res());
        r.setText(kFile, name);
        r.setBool(kCheck, true);
        if (!r.dialogs.okCancelDialogs.empty())
            r.dialogs.lastOkCancel()->pressOk();
        r.settle();
        EXPECT_LE(r.bools(kGoAhead).size(), 2u);
    }
}
} // namespace
