// The text and blob savers and loaders through the built bundle, on the files
// of a scratch folder: which file they save to and load from, when they act,
// and the bytes of the files.
#include "alloc_counter.h"
#include "file_fixture.h"

#include <clocale>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <unistd.h>

namespace
{
using namespace qwtest;
using Names = std::vector<std::string>;

// "Grüße €" and its UTF-8 bytes, written out by hand.
const std::wstring kGruesse = L"Gr\u00fc\u00dfe \u20ac";
const std::string kGruesseUtf8 =
    "Gr\xC3\xBC\xC3\x9F"
    "e \xE2\x82\xAC";

Bytes bytes(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

std::string narrow(const std::wstring& ascii)
{
    return std::string(ascii.begin(), ascii.end());
}

struct Saved
{
    const wchar_t* saver;
    const wchar_t* loader;
    Bytes value;      // on the data pin
    std::string file; // the file's bytes
};

std::vector<Saved> savedValues()
{
    return {
        {L"QW_GUIStringSaver", L"QW_GUIStringLoader", text(kGruesse + L"\r\nline two\r\n\U0001F600 end"),
         kGruesseUtf8 + "\r\nline two\r\n\xF0\x9F\x98\x80 end"},
        {L"QW_GUIBlobSaver", L"QW_GUIBlobLoader", Bytes{0, 0, 7, 0, 0xFF, 0, 0}, std::string("\0\0\7\0\xFF\0\0", 7)},
    };
}

void setBytes(qwhost::GuiModule& g, int pin, const Bytes& value)
{
    g.set(pin, value.empty() ? nullptr : value.data(), static_cast<int>(value.size()));
}

// A text stored on a pin without its notification.
void storeText(qwhost::GuiModule& g, int pin, const std::wstring& value)
{
    const Bytes b = text(value);
    g.setPinOnly(pin, b.data(), static_cast<int>(b.size()));
}

TEST_F(FileModules, SaversWriteTheHostResolvedPathOnATrueTrigger)
{
    for (const Saved& c : savedValues())
    {
        SCOPED_TRACE(narrow(c.saver));
        eachEcho(c.saver, nullptr, [&](qwhost::GuiModule& g) {
            setBytes(g, kData, c.value);
            g.setText(kFileL, L"note.txt");
            g.setBool(kTrigger, false);
            EXPECT_EQ(listing(res()), Names{}) << "mode 0 waits for the trigger";
            g.setBool(kTrigger, true);
            EXPECT_EQ(bytesOf(res("note.txt")), c.file);
            EXPECT_EQ(listing(res()), Names{"note.txt"}) << "no file but the target";
            EXPECT_EQ(listing(work()), Names{}) << "the name is the host's, not the working folder's";

            put(res("note.txt"), "changed");
            g.setBool(kTrigger, false);
            EXPECT_EQ(bytesOf(res("note.txt")), "changed") << "a false trigger does nothing";
            g.setBool(kTrigger, true);
            EXPECT_EQ(bytesOf(res("note.txt")), c.file);
            EXPECT_TRUE(g.transmits.empty()) << "a saver sends nothing";
        });
    }
}

// A host that resolves no names (no older host interface) leaves the name as
// it stands, from the working folder.
TEST_F(FileModules, ASaverWhoseHostResolvesNothingTakesTheNameAsItStands)
{
    qwhost::GuiHost host;
    host.resourceFolder = res();
    host.offerLegacyHost = false;
    auto g = host.create(bundle("panelkit"), L"QW_GUIStringSaver");
    g->setText(kData, L"plain");
    g->setInt(kMode, 1);
    g->setText(kFileR, L"plain.txt");
    EXPECT_EQ(bytesOf(work("plain.txt")), "plain");
    EXPECT_EQ(listing(res()), Names{});
}

// Names stored without their notification (no defaults either) leave the
// current file name empty, as before any name arrived.
TEST_F(FileModules, ATriggerWithNoCurrentNameTakesTheRawLeftElseRightNameAndKeepsIt)
{
    eachEcho(
        L"QW_GUIStringSaver", nullptr,
        [&](qwhost::GuiModule& g) {
            g.setText(kData, L"first");
            storeText(g, kFileL, L"left.txt");
            storeText(g, kFileR, L"right.txt");
            g.setBool(kTrigger, true);
            EXPECT_EQ(listing(work()), Names{"left.txt"}) << "the raw left name, unresolved";
            EXPECT_EQ(listing(res()), Names{});
            storeText(g, kFileL, L"other.txt");
            g.setText(kData, L"second");
            g.setBool(kTrigger, true);
            EXPECT_EQ(bytesOf(work("left.txt")), "second") << "the name taken is kept";
            EXPECT_EQ(listing(work()), Names{"left.txt"});
        },
        false);
    eachEcho(
        L"QW_GUIStringSaver", nullptr,
        [&](qwhost::GuiModule& g) {
            g.setText(kData, L"text");
            storeText(g, kFileR, L"right.txt");
            g.setBool(kTrigger, true);
            EXPECT_EQ(listing(work()), Names{"right.txt"}) << "the raw right name when the left is empty";
        },
        false);

    UiTable t = table(L"QW_GUIBlobLoader");
    t.start = false;
    const std::string l = work("left.txt"), r = work("right.txt");
    t.prepareHost = [l, r, folder = res()](qwhost::GuiHost& host) {
        host.resourceFolder = folder;
        put(l, "L");
        put(r, "R");
    };
    t.rows = {
        setOnly(kFileL, text(L"left.txt")),
        setOnly(kFileR, text(L"right.txt")),
        deliver(kTrigger, b8(true), {{kData, bytes("L")}}),
        setOnly(kFileL, text(L"right.txt")),
        deliver(kTrigger, b8(true), {{kData, bytes("L")}}).because("the name taken is kept"),
    };
    runUiTable(t);
    t.rows = {
        setOnly(kFileR, text(L"right.txt")),
        deliver(kTrigger, b8(true), {{kData, bytes("R")}}),
    };
    runUiTable(t);
}

TEST_F(FileModules, SaverModeOneActsOnANameChangeModeTwoRewritesOnEveryDataChange)
{
    eachEcho(L"QW_GUIStringSaver", nullptr, [&](qwhost::GuiModule& g) {
        g.setInt(kMode, 1);
        g.setText(kData, L"one");
        EXPECT_EQ(listing(res()), Names{});
        g.setText(kFileL, L"a.txt");
        EXPECT_EQ(bytesOf(res("a.txt")), "one");
        g.setText(kData, L"two");
        EXPECT_EQ(bytesOf(res("a.txt")), "one") << "mode 1 does not act on the text";
        g.setText(kFileR, L"b.txt");
        EXPECT_EQ(bytesOf(res("b.txt")), "two");

        g.setInt(kMode, 2);
        g.setText(kFileL, L"c.txt");
        EXPECT_EQ(bytesOf(res("c.txt")), "<absent>") << "mode 2 does not act on the name";
        g.setText(kData, L"a longer text");
        EXPECT_EQ(bytesOf(res("c.txt")), "a longer text");
        g.setText(kData, L"short");
        EXPECT_EQ(bytesOf(res("c.txt")), "short") << "the whole file is rewritten";

        for (int mode : {0, 3, -1})
        {
            g.setInt(kMode, mode);
            g.setText(kFileR, L"d.txt");
            g.setText(kData, L"other " + std::to_wstring(mode));
        }
        EXPECT_EQ(listing(res()), (Names{"a.txt", "b.txt", "c.txt"})) << "other modes wait for the trigger";
        EXPECT_EQ(bytesOf(res("c.txt")), "short");
    });
    // The blob saver in mode 2.
    eachEcho(L"QW_GUIBlobSaver", nullptr, [&](qwhost::GuiModule& g) {
        g.setInt(kMode, 2);
        g.setText(kFileL, L"b.bin");
        g.setBlob(kData, {1, 2, 3, 4});
        g.setBlob(kData, {9});
        EXPECT_EQ(bytesOf(res("b.bin")), "\x09");
    });
}

TEST_F(FileModules, AnEmptyTextOrBlobNeverTouchesAFile)
{
    for (const wchar_t* id : {L"QW_GUIStringSaver", L"QW_GUIBlobSaver"})
    {
        SCOPED_TRACE(narrow(id));
        eachEcho(
            id, [&] { put(res("keep.txt"), "precious"); },
            [&](qwhost::GuiModule& g) {
                g.setInt(kMode, 2);
                g.setText(kFileL, L"keep.txt");
                g.set(kData, nullptr, 0);
                g.setBool(kTrigger, true);
                g.setInt(kMode, 1);
                g.setText(kFileR, L"new.txt");
                g.setBool(kTrigger, true);
                EXPECT_EQ(bytesOf(res("keep.txt")), "precious");
                EXPECT_EQ(listing(res()), Names{"keep.txt"}) << "no empty file is created";
            });
    }
}

// The process's locale plays no part: texts are UTF-8 on disk.
TEST_F(FileModules, InTheCLocaleTextsAndBlobsComeBackAsTheyWereSaved)
{
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    std::vector<Saved> cases = savedValues();
    cases.push_back({L"QW_GUIStringSaver", L"QW_GUIStringLoader", text(kGruesse), kGruesseUtf8});
    for (const Saved& c : cases)
    {
        SCOPED_TRACE(narrow(c.saver) + " " + describeBytes(c.value));
        clearFolders();
        qwhost::GuiHost host;
        host.resourceFolder = res();
        auto saver = host.create(bundle("panelkit"), c.saver);
        saver->setText(kFileL, L"trip");
        setBytes(*saver, kData, c.value);
        saver->setBool(kTrigger, true);
        EXPECT_EQ(bytesOf(res("trip")), c.file) << "no byte-order mark, line ends as they stand";

        auto loader = host.create(bundle("panelkit"), c.loader);
        loader->setText(kFileL, L"trip");
        loader->setBool(kTrigger, true);
        ASSERT_EQ(loader->transmits.size(), 1u);
        EXPECT_EQ(loader->transmits[0].pin, kData);
        EXPECT_EQ(loader->transmits[0].data, c.value);
    }
}

TEST_F(FileModules, InvalidBytesLoadAsReplacementCharacters)
{
    UiTable t = table(L"QW_GUIStringLoader");
    t.prepareHost = [folder = res()](qwhost::GuiHost& host) {
        host.resourceFolder = folder;
        // a byte no sequence begins with, a lone continuation byte, an overlong form
        put(folder + "/bad.txt",
            "a\xFF"
            "b\x80"
            "c\xC0\xAF"
            "d\r\n");
    };
    t.rows = {
        deliver(kMode, i32(1)),
        deliver(kFileL, text(L"bad.txt"), {{kData, text(L"a\uFFFDb\uFFFDc\uFFFD\uFFFDd\r\n")}}),
    };
    runUiTable(t);
}

TEST_F(FileModules, ALoaderTriesTheNameAsItStandsThenTheHostsPathOfTheBareName)
{
    UiTable t = table(L"QW_GUIStringLoader");
    const std::string w = work(), r = res();
    t.prepareHost = [w, r](qwhost::GuiHost& host) {
        host.resourceFolder = r;
        std::filesystem::create_directories(w + "/sub");
        put(w + "/sub/note.txt", "in the working folder");
        put(r + "/note.txt", "in the resources");
        put(r + "/only.txt", "only in the resources");
    };
    t.rows = {
        deliver(kMode, i32(1)),
        deliver(kFileL, text(L"sub/note.txt"), {{kData, text(L"in the working folder")}}),
        deliver(kFileR, text(L"note.txt"), {{kData, text(L"in the resources")}})
            .because("not in the working folder: the host's path"),
        deliver(kFileL, text(L"elsewhere/only.txt"), {{kData, text(L"only in the resources")}})
            .because("the bare name, resolved"),
        deliver(kFileL, text(L"sub/")).because("a folder, and no bare name to try"),
        deliver(kFileL, text(L"missing.txt")),
        deliver(kTrigger, b8(true)).because("the current name names nothing"),
        deliver(kFileR, text(wide(w) + L"/sub/note.txt"), {{kData, text(L"in the working folder")}}),
        deliver(kMode, i32(2)),
        deliver(kFileR, text(L"note.txt")).because("mode 2 is mode 0 for a loader"),
        deliver(kTrigger, b8(true), {{kData, text(L"in the resources")}}),
    };
    runUiTable(t);
}

TEST_F(FileModules, ATextEqualToThePinIsNotSentAgainABlobIsSentOnEveryLoad)
{
    auto files = [folder = res()](qwhost::GuiHost& host) {
        host.resourceFolder = folder;
        put(folder + "/a.txt", "abc");
        put(folder + "/empty.txt", "");
    };
    UiTable s = table(L"QW_GUIStringLoader");
    s.prepareHost = files;
    s.rows = {
        deliver(kFileL, text(L"a.txt")),
        deliver(kTrigger, b8(true), {{kData, text(L"abc")}}),
        deliver(kTrigger, b8(false)),
        deliver(kTrigger, b8(true)).because("equal to the pin"),
        deliver(kFileR, text(L"empty.txt")),
        deliver(kTrigger, b8(true), {{kData, {}}}).because("an empty file is the empty text"),
    };
    runUiTable(s);

    UiTable b = table(L"QW_GUIBlobLoader");
    b.prepareHost = files;
    b.rows = {
        deliver(kFileL, text(L"a.txt")),
        deliver(kTrigger, b8(true), {{kData, bytes("abc")}}),
        deliver(kTrigger, b8(false)),
        deliver(kTrigger, b8(true), {{kData, bytes("abc")}}).because("sent on every load"),
        deliver(kFileR, text(L"empty.txt")),
        deliver(kTrigger, b8(true), {{kData, {}}}).because("an empty file is the empty blob"),
        deliver(kTrigger, b8(true), {{kData, {}}}),
    };
    runUiTable(b);
}

TEST_F(FileModules, ASaveReplacesTheFileALinkNamesAndKeepsItsPermissions)
{
    eachEcho(
        L"QW_GUIStringSaver",
        [&] {
            put(res("real.txt"), "old");
            std::filesystem::permissions(res("real.txt"), std::filesystem::perms(0640));
            std::filesystem::create_symlink("real.txt", res("link.txt"));
        },
        [&](qwhost::GuiModule& g) {
            g.setText(kFileL, L"link.txt");
            g.setText(kData, L"new");
            g.setBool(kTrigger, true);
            EXPECT_EQ(bytesOf(res("real.txt")), "new");
            EXPECT_TRUE(std::filesystem::is_symlink(res("link.txt")));
            EXPECT_EQ(std::filesystem::status(res("real.txt")).permissions(), std::filesystem::perms(0640));
            EXPECT_EQ(listing(res()), (Names{"link.txt", "real.txt"}));
        });
}

// Sets the largest file this process may write, and takes the signal that
// writing past it raises, until it goes out of scope.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool ok() const { return ok_; }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
    bool ok_ = false;
};

TEST_F(FileModules, ASaveThatCannotFinishLeavesTheOldFileAndNoStrayFile)
{
    eachEcho(
        L"QW_GUIStringSaver",
        [&] {
            std::filesystem::create_directory(res("folder"));
            put(res("folder/inside.txt"), "inside");
        },
        [&](qwhost::GuiModule& g) {
            g.setText(kData, L"text");
            g.setText(kFileL, L"folder");
            g.setBool(kTrigger, true);
            EXPECT_TRUE(std::filesystem::is_directory(res("folder"))) << "the target is a folder";
            EXPECT_EQ(listing(res()), Names{"folder"});
            EXPECT_EQ(listing(res("folder")), Names{"inside.txt"});
        });

    // The file system takes no more than 1000 bytes of a file: the save stops
    // part way, as on a full disk.
    const std::string old = "the user's file";
    for (const wchar_t* id : {L"QW_GUIStringSaver", L"QW_GUIBlobSaver"})
    {
        SCOPED_TRACE(narrow(id));
        eachEcho(
            id, [&] { put(res("doc.txt"), old); },
            [&](qwhost::GuiModule& g) {
                g.setText(kFileL, L"doc.txt");
                setBytes(g, kData,
                         std::wstring(id).find(L"String") != std::wstring::npos ? text(std::wstring(3000, L'x'))
                                                                                : Bytes(3000, 7));
                {
                    FileSizeLimit limit(1000);
                    ASSERT_TRUE(limit.ok());
                    g.setBool(kTrigger, true);
                }
                EXPECT_EQ(bytesOf(res("doc.txt")), old);
                EXPECT_EQ(listing(res()), Names{"doc.txt"});
            });
    }
}

TEST_F(FileModules, ASaveIntoAFolderThatTakesNoNewFileLeavesTheOldFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not hold for root";
    eachEcho(
        L"QW_GUIBlobSaver",
        [&] {
            std::filesystem::create_directory(res("locked"));
            put(res("locked/doc.bin"), "old");
            std::filesystem::permissions(res("locked"), std::filesystem::perms(0555));
        },
        [&](qwhost::GuiModule& g) {
            g.setText(kFileL, L"locked/doc.bin");
            g.setBlob(kData, {1, 2, 3});
            g.setBool(kTrigger, true);
            EXPECT_EQ(bytesOf(res("locked/doc.bin")), "old");
            EXPECT_EQ(listing(res("locked")), Names{"doc.bin"});
            std::filesystem::permissions(res("locked"), std::filesystem::perms(0755));
        });
}

TEST_F(FileModules, AFileBeyondOnePinValueIsNotLoadedAndNothingLargeIsAllocated)
{
    {
        // 2^31 bytes, one more than a pin value carries; sparse, so it takes no disk.
        const int fd = ::open(res("huge.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, off_t(1) << 31), 0);
        ::close(fd);
    }
    put(res("two_mb.bin"), std::string(2 << 20, 'x'));
    for (const wchar_t* id : {L"QW_GUIStringLoader", L"QW_GUIBlobLoader"})
    {
        SCOPED_TRACE(narrow(id));
        qwhost::GuiHost host;
        host.resourceFolder = res();
        auto g = host.create(bundle("panelkit"), id);
        g->setText(kFileL, L"huge.bin");
        qwhost::alloc::begin();
        g->setBool(kTrigger, true);
        qwhost::alloc::end();
        EXPECT_LT(qwhost::alloc::largest(), size_t(1) << 20);
        EXPECT_TRUE(g->transmits.empty());

        // The count sees what the module allocates: a file of 2 MB is read whole.
        g->setText(kFileL, L"two_mb.bin");
        qwhost::alloc::begin();
        g->setBool(kTrigger, true);
        qwhost::alloc::end();
        EXPECT_GE(qwhost::alloc::largest(), size_t(2) << 20);
        EXPECT_EQ(g->transmits.size(), 1u);
    }
}

// A kernel attribute file states a size of a page but reads shorter, as a
// file that shrinks between sizing and reading does.
TEST_F(FileModules, AFileThatReadsShorterThanItsSizeSendsNothing)
{
    const std::string path = "/sys/kernel/uevent_seqnum";
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size <= bytesOf(path).size())
        GTEST_SKIP() << path << " is not a file that reads shorter than its size here";
    for (const wchar_t* id : {L"QW_GUIStringLoader", L"QW_GUIBlobLoader"})
    {
        UiTable t = table(id);
        t.rows = {deliver(kFileL, text(wide(path))), deliver(kTrigger, b8(true))};
        runUiTable(t);
    }
}
} // namespace
