// The host-dialog modules through the built bundle, with the stand-in's
// scripted dialogs, a scratch tree as the resource folder, the manual clock,
// and the host's echo inside the call, later and none: the file requester,
// the OK/Cancel question and the overwrite confirmation, also driving a text
// saver.
#include "dialog_rig.h"
#include "file_fixture.h"
#include "mp_sdk_common.h"

#include <filesystem>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
using namespace qwtest;
using qwhost::Echo;
namespace fs = std::filesystem;
using Sent = std::vector<std::pair<int, std::wstring>>;

// QW_FileReq2
constexpr int kName = 0, kExtensions = 1, kType = 2, kDoneL = 3, kOpen = 4, kDoneR = 5;
// QW_OKCancelDialog
constexpr int kFirst = 0, kSecond = 1, kAsk = 2, kOk = 3, kCancel = 4;
// QW_OverwriteConfirm
constexpr int kFile = 2, kCheck = 3, kGoAhead = 4;

// A socket file at a path; false when the system refuses.
bool makeSocket(const std::string& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    if (fd < 0 || path.size() >= sizeof a.sun_path)
        return false;
    std::copy(path.begin(), path.end(), a.sun_path);
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

class Dialogs : public FileModules
{
protected:
    void SetUp() override
    {
        FileModules::SetUp();
        qwhost::RunLoop::useManualClock(11000.0);
    }
};

TEST_F(Dialogs, TheFileRequesterOpensWhenItsTriggerFallsAfterRising)
{
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(echoName(e));
        Rig r(L"QW_FileReq2", e, res());
        r.setBool(kOpen, false);
        EXPECT_TRUE(r.dialogs.fileDialogs.empty()) << "a false without a true";
        r.setBool(kOpen, true);
        EXPECT_TRUE(r.dialogs.fileDialogs.empty()) << "a true alone";
        r.setBool(kOpen, true);
        r.setText(kName, L"/some/where/take.wav");
        r.setText(kExtensions, L"wav, aif");
        r.setBool(kType, true);
        r.setBool(kOpen, false);
        ASSERT_EQ(r.dialogs.fileDialogs.size(), 1u);
        auto* d = r.dialogs.lastFileDialog();
        EXPECT_TRUE(d->pending());
        EXPECT_EQ(d->dialogType, 1);
        ASSERT_EQ(d->extensions.size(), 2u);
        EXPECT_EQ(d->extensions[0].extension, "wav");
        EXPECT_EQ(d->extensions[1].extension, "aif");
        EXPECT_EQ(d->initialDirectory, "/some/where");
        EXPECT_EQ(d->initialFilename, "take.wav");
        r.setBool(kOpen, false);
        EXPECT_EQ(r.dialogs.fileDialogs.size(), 1u) << "disarmed";
        EXPECT_TRUE(r.sent().empty()) << "nothing before the answer";
        d->cancel();
    }
}

TEST_F(Dialogs, TheFileRequesterGivesOneFilterPerEntryAndSplitsTheStartPath)
{
    struct Case
    {
        std::wstring extensions, name;
        std::vector<std::string> filters;
        std::string folder, file;
    };
    const Case cases[] = {
        {L"", L"bare.txt", {"*"}, "", "bare.txt"}, // no '/': the name alone, no folder
        {L"mid", L"a/b/c.mid", {"mid"}, "a/b", "c.mid"},
        {L"x,y,z", L"/root.sfz", {"x", "y", "z"}, "", "root.sfz"},
    };
    for (const Case& c : cases)
    {
        Rig r(L"QW_FileReq2", Echo::None, res());
        r.setText(kExtensions, c.extensions);
        r.setText(kName, c.name);
        r.trigger(kOpen);
        auto* d = r.dialogs.lastFileDialog();
        ASSERT_NE(d, nullptr);
        std::vector<std::string> filters;
        for (auto& x : d->extensions)
            filters.push_back(x.extension);
        EXPECT_EQ(filters, c.filters);
        EXPECT_EQ(d->initialDirectory, c.folder);
        EXPECT_EQ(d->initialFilename, c.file);
        EXPECT_EQ(d->dialogType, 0);
    }
}

TEST_F(Dialogs, TheFileRequesterWritesTheChoiceThenPulsesBothDonePins)
{
    struct Case
    {
        const char* what;
        std::string picked;
        std::wstring written;
    };
    // The host finds x.sfz as an instrument in the resource folder.
    const std::string sfz = res("x.sfz");
    const Case cases[] = {
        {"a resource at the path chosen: its bare name", sfz, L"x.sfz"},
        {"extension in capitals: not a resource type", res("X.SFZ"), wide(res("X.SFZ"))},
        {"a resource elsewhere: the full path", work("x.sfz"), wide(work("x.sfz"))},
        {"extension outside the table", res("notes.txt"), wide(res("notes.txt"))},
        {"no '/' and no extension", "plain", L"plain"},
        {"non-UTF-8 bytes", "/tmp/\xFF.wav", L"/tmp/\uFFFD.wav"},
    };
    for (const Case& c : cases)
        for (Echo e : kEchoModes)
        {
            SCOPED_TRACE(std::string(c.what) + ", " + echoName(e));
            clearFolders();
            for (const char* f : {"x.sfz", "X.SFZ", "notes.txt"})
                put(res(f), "i");
            put(work("x.sfz"), "w");
            Rig r(L"QW_FileReq2", e, res());
            r.trigger(kOpen);
            ASSERT_NE(r.dialogs.lastFileDialog(), nullptr);
            r.clear();
            r.dialogs.lastFileDialog()->pick(c.picked);
            r.settle();
            EXPECT_EQ(r.sent(), (Sent{{kName, c.written}, {kDoneR, L"1"}, {kDoneL, L"1"}}));
            EXPECT_EQ(r.dialogs.lastFileDialog()->moduleReferences(), 0) << "let go";
            r.wait(99);
            EXPECT_EQ(r.sent().size(), 3u);
            r.wait(1);
            EXPECT_EQ(r.sent(),
                      (Sent{{kName, c.written}, {kDoneR, L"1"}, {kDoneL, L"1"}, {kDoneR, L"0"}, {kDoneL, L"0"}}));
            r.clear();
            r.wait(1000);
            EXPECT_TRUE(r.sent().empty());
        }
}

// A host that lets go of the module on the first done value of the pulse's
// end (a patch reloaded by it): the module ends its pulse on both pins and
// goes, its timer with it.
TEST_F(Dialogs, TheFileRequesterEndsItsPulseWhenTheHostLetsGoOnTheFirstValue)
{
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(echoName(e));
        clearFolders();
        put(work("a.txt"), "a");
        Rig r(L"QW_FileReq2", e, res());
        r.trigger(kOpen);
        ASSERT_NE(r.dialogs.lastFileDialog(), nullptr);
        r.dialogs.lastFileDialog()->pick(work("a.txt"));
        r.settle();
        r.clear();
        bool released = false;
        r.g->onTransmit = [&](const qwhost::GuiValue&) {
            if (!released)
            {
                released = true;
                r.g->releaseObject();
            }
        };
        EXPECT_EQ(qwhost::RunLoop::current().advance(100), 1);
        EXPECT_TRUE(released);
        EXPECT_EQ(r.g->hostReferences(), 1) << "the module is gone";
        ASSERT_EQ(r.g->transmits.size(), 2u);
        EXPECT_EQ(r.g->transmits[0].pin, kDoneR);
        EXPECT_EQ(r.g->transmits[1].pin, kDoneL);
        EXPECT_EQ(r.bools(kDoneR), std::vector<bool>{false});
        EXPECT_EQ(r.bools(kDoneL), std::vector<bool>{false});
        EXPECT_EQ(qwhost::RunLoop::current().timerCount(), 0u);
        EXPECT_EQ(qwhost::RunLoop::current().advance(1000), 0);
    }
}

// Each extension of the table is looked up as its own type: the host holds
// each file only under that type, outside the resource folder.
TEST_F(Dialogs, TheLookupAsksForTheTypeOfTheExtension)
{
    const std::pair<const char*, const char*> table[] = {
        {"sf2", "Instrument"}, {"sfz", "Instrument"}, {"png", "Image"}, {"bmp", "Image"},
        {"jpg", "Image"},      {"wav", "Audio"},      {"mid", "MIDI"},
    };
    for (const auto& [extension, type] : table)
    {
        SCOPED_TRACE(extension);
        const std::string name = std::string("f.") + extension;
        put(work(name), "f");
        Rig r(L"QW_FileReq2", Echo::None, res());
        r.host.addResource(name, type, work(name));
        r.trigger(kOpen);
        r.dialogs.lastFileDialog()->pick(work(name));
        EXPECT_EQ(r.texts(kName), std::vector<std::wstring>{wide(name)});
    }
}

TEST_F(Dialogs, ACancelledFileDialogMovesNothing)
{
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(echoName(e));
        Rig r(L"QW_FileReq2", e, res());
        r.setText(kName, L"keep.wav");
        r.trigger(kOpen);
        r.clear();
        r.dialogs.lastFileDialog()->cancel();
        r.wait(500);
        EXPECT_TRUE(r.sent().empty());
        EXPECT_EQ(r.dialogs.lastFileDialog()->moduleReferences(), 0);
    }
}

TEST_F(Dialogs, ASecondRequestKeepsOnlyTheNewestDialog)
{
    Rig r(L"QW_FileReq2", Echo::Inside, res());
    r.trigger(kOpen);
    r.trigger(kOpen);
    ASSERT_EQ(r.dialogs.fileDialogs.size(), 2u);
    auto* first = r.dialogs.fileDialogs[0];
    auto* second = r.dialogs.fileDialogs[1];
    EXPECT_EQ(first->moduleReferences(), 0);
    r.clear();
    first->pick("/a/first.txt");
    r.settle();
    EXPECT_TRUE(r.sent().empty()) << "the replaced dialog's answer is dropped";
    second->pick("/a/second.txt");
    r.settle();
    EXPECT_EQ(r.texts(kName), std::vector<std::wstring>{L"/a/second.txt"});
}

TEST_F(Dialogs, AnAnswerAfterTheModuleIsGoneDoesNothing)
{
    for (const wchar_t* id : {L"QW_FileReq2", L"QW_OKCancelDialog", L"QW_OverwriteConfirm"})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        put(res("there.txt"), "t");
        Rig r(id, Echo::None, res());
        if (std::wstring(id) == L"QW_FileReq2")
            r.trigger(kOpen);
        else if (std::wstring(id) == L"QW_OKCancelDialog")
            r.setBool(kAsk, true);
        else
        {
            r.setText(kFile, L"there.txt");
            r.setBool(kCheck, true);
        }
        auto pending = r.dialogs.pending();
        ASSERT_EQ(pending.size(), 1u);
        r.g.reset();
        EXPECT_TRUE(pending[0]->complete(qwhost::RESULT_OK)); // reaches a handler with no module behind it
        EXPECT_EQ(pending[0]->lastOnCompleteAnswer, 0);
        r.wait(500);
    }
}

TEST_F(Dialogs, TheQuestionSwallowsTheFirstTriggerThenAsksOnEachTrue)
{
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(echoName(e));
        Rig r(L"QW_OKCancelDialog", e, res(), false);
        r.setText(kFirst, L"Sure?");
        r.setText(kSecond, L"Gr\u00fc\u00dfe");
        r.setBool(kAsk, true);
        EXPECT_TRUE(r.dialogs.okCancelDialogs.empty()) << "the first value, even true";
        r.setBool(kAsk, false);
        EXPECT_TRUE(r.dialogs.okCancelDialogs.empty());
        r.setBool(kAsk, true);
        ASSERT_EQ(r.dialogs.okCancelDialogs.size(), 1u);
        auto* d = r.dialogs.lastOkCancel();
        EXPECT_EQ(d->firstText, "Sure?");
        EXPECT_EQ(d->secondText,
                  "Gr\xC3\xBC\xC3\x9F"
                  "e");
        EXPECT_EQ(d->dialogType, 0);
        EXPECT_TRUE(r.sent().empty());
        d->pressOk();
        r.settle();
        EXPECT_EQ(r.sent(), (Sent{{kOk, L"1"}, {kOk, L"0"}}));

        r.clear();
        r.setBool(kAsk, true);
        ASSERT_EQ(r.dialogs.okCancelDialogs.size(), 2u);
        r.dialogs.lastOkCancel()->cancel();
        r.settle();
        EXPECT_EQ(r.sent(), (Sent{{kCancel, L"1"}, {kCancel, L"0"}}));
        EXPECT_EQ(r.dialogs.lastOkCancel()->moduleReferences(), 0);
    }
}

TEST_F(Dialogs, TheQuestionIgnoresTheDefaultSetAtStart)
{
    Rig r(L"QW_OKCancelDialog", Echo::None, res());
    EXPECT_TRUE(r.dialogs.okCancelDialogs.empty());
    r.setBool(kAsk, true);
    EXPECT_EQ(r.dialogs.okCancelDialogs.size(), 1u);
}

TEST_F(Dialogs, OverwriteGoesAheadAtOnceOnlyWhenNothingIsThere)
{
    struct Case
    {
        const char* what;
        std::wstring name;
        bool asks;
    };
    const Case cases[] = {
        {"absent", L"new.txt", false},
        {"a file in the resource folder, named relatively", L"old.txt", true},
        {"the same file by its full path", wide(res("old.txt")), true},
        {"a file in the working folder only: the host puts the name elsewhere", L"here.txt", false},
        {"a folder", L"sub", true},
        {"a dangling link", L"dangling", true},
        {"a socket, which nobody can open", L"sock", true},
    };
    for (const Case& c : cases)
        for (Echo e : kEchoModes)
        {
            SCOPED_TRACE(std::string(c.what) + ", " + echoName(e));
            clearFolders();
            put(res("old.txt"), "old");
            put(work("here.txt"), "here");
            fs::create_directory(res("sub"));
            fs::create_symlink(res("nothing"), res("dangling"));
            ASSERT_TRUE(makeSocket(res("sock")));
            Rig r(L"QW_OverwriteConfirm", e, res());
            r.setText(kFirst, L"Overwrite?");
            r.setText(kSecond, L"It exists.");
            r.setText(kFile, c.name);
            r.clear();
            r.setBool(kCheck, true);
            if (!c.asks)
            {
                EXPECT_EQ(r.sent(), (Sent{{kGoAhead, L"1"}, {kGoAhead, L"0"}}));
                EXPECT_TRUE(r.dialogs.okCancelDialogs.empty());
                continue;
            }
            EXPECT_TRUE(r.sent().empty());
            ASSERT_EQ(r.dialogs.okCancelDialogs.size(), 1u);
            EXPECT_EQ(r.dialogs.lastOkCancel()->firstText, "Overwrite?");
            EXPECT_EQ(r.dialogs.lastOkCancel()->secondText, "It exists.");
            r.dialogs.lastOkCancel()->cancel();
            r.settle();
            EXPECT_TRUE(r.sent().empty()) << "Cancel: no go-ahead";
            r.setBool(kCheck, true);
            r.dialogs.lastOkCancel()->pressOk();
            r.settle();
            EXPECT_EQ(r.sent(), (Sent{{kGoAhead, L"1"}, {kGoAhead, L"0"}}));
        }
}

TEST_F(Dialogs, OverwriteAsksForAFileItCannotRead)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    put(res("locked.txt"), "mine");
    fs::permissions(res("locked.txt"), fs::perms::none);
    Rig r(L"QW_OverwriteConfirm", Echo::None, res());
    r.setText(kFile, L"locked.txt");
    r.setBool(kCheck, true);
    EXPECT_TRUE(r.sent().empty());
    EXPECT_EQ(r.dialogs.okCancelDialogs.size(), 1u);
}

TEST_F(Dialogs, OverwriteDoesNothingForAnEmptyNameOrAFalseTrigger)
{
    Rig r(L"QW_OverwriteConfirm", Echo::Inside, res());
    r.setBool(kCheck, true);
    r.setText(kFile, L"new.txt");
    r.setBool(kCheck, false);
    EXPECT_TRUE(r.sent().empty());
    EXPECT_TRUE(r.dialogs.okCancelDialogs.empty());
}

// Go Ahead wired to a text saver's trigger: the saver writes only what the
// user allowed.
TEST_F(Dialogs, ASaverDrivenByTheGoAheadNeverOverwritesUnasked)
{
    for (Echo e : kEchoModes)
    {
        SCOPED_TRACE(echoName(e));
        clearFolders();
        put(res("song.txt"), "precious");
        Rig confirm(L"QW_OverwriteConfirm", e, res());
        Rig saver(L"QW_GUIStringSaver", e, res());
        saver.setText(0, L"new words");
        confirm.g->onTransmit = [&](const qwhost::GuiValue& v) {
            if (v.pin == kGoAhead)
                saver.g->setBool(1, v.asBool());
        };
        confirm.setText(kFile, L"song.txt");
        saver.setText(3, L"song.txt");
        confirm.setBool(kCheck, true);
        EXPECT_EQ(bytesOf(res("song.txt")), "precious") << "asked first";
        confirm.dialogs.lastOkCancel()->cancel();
        confirm.settle();
        EXPECT_EQ(bytesOf(res("song.txt")), "precious") << "cancelled";
        confirm.setBool(kCheck, true);
        confirm.dialogs.lastOkCancel()->pressOk();
        confirm.settle();
        EXPECT_EQ(bytesOf(res("song.txt")), "new words") << "confirmed";

        // A new file is written at once.
        confirm.setText(kFile, L"fresh.txt");
        saver.setText(3, L"fresh.txt");
        confirm.setBool(kCheck, true);
        EXPECT_EQ(bytesOf(res("fresh.txt")), "new words");
    }
}

TEST_F(Dialogs, WithoutAGraphicsHostOrADialogNothingIsWritten)
{
    put(res("old.txt"), "old");
    for (bool graphics : {false, true})
        for (Echo e : kEchoModes)
        {
            SCOPED_TRACE(std::string(graphics ? "no dialogs made, " : "no graphics host, ") + echoName(e));
            std::vector<std::unique_ptr<Rig>> rigs;
            for (const wchar_t* id : {L"QW_FileReq2", L"QW_OKCancelDialog", L"QW_OverwriteConfirm"})
            {
                rigs.push_back(std::make_unique<Rig>(id, e, res(), true, graphics));
                rigs.back()->dialogs.offerFileDialogs = rigs.back()->dialogs.offerOkCancel = false;
                rigs.back()->clear();
            }
            rigs[0]->trigger(kOpen);
            rigs[1]->setBool(kAsk, true);
            rigs[2]->setText(kFile, L"old.txt");
            rigs[2]->setBool(kCheck, true);
            for (auto& r : rigs)
            {
                r->wait(500);
                EXPECT_TRUE(r->sent().empty());
                EXPECT_TRUE(r->dialogs.pending().empty());
            }
        }
}
} // namespace
