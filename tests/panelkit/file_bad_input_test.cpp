// The file modules given names and data no user should give them: characters
// UTF-8 cannot encode, a NUL, thousands of characters, folders, unreadable
// files, texts and blobs of 10 MB. A safe answer or nothing, never a crash,
// an exception or a file other than the one named.
#include "file_fixture.h"

#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
using namespace qwtest;
using Names = std::vector<std::string>;
using namespace std::string_literals;

// QW_FileExists pins.
constexpr int kExistsName = 1, kExistsR = 4;

// Whether QW_FileExists finds a name (its last answer; false when it sent none).
bool existsAnswer(qwhost::GuiModule& g, const std::wstring& name)
{
    g.setText(kExistsName, name);
    const auto* v = g.lastTransmit(kExistsR);
    return v && v->data == b8(true);
}

// What a text loader sends for a name: the text, or "<nothing>".
std::wstring loaded(qwhost::GuiModule& loader, const std::wstring& name)
{
    const size_t before = loader.transmits.size();
    loader.setText(kFileL, name);
    loader.setBool(kTrigger, true);
    if (loader.transmits.size() == before)
        return L"<nothing>";
    const auto& d = loader.transmits.back().data;
    std::wstring t(d.size() / 4, L'\0');
    if (!t.empty())
        std::memcpy(&t[0], d.data(), t.size() * 4);
    return t;
}

class BadNames : public FileModules
{
protected:
    // Saves "saved" under `name` through a text saver, loads it back through a
    // text loader and asks QW_FileExists, all on one host resolving in `res`.
    struct Outcome
    {
        std::wstring loaded;
        bool exists;
    };
    Outcome run(const std::wstring& name, qwhost::Echo echo = qwhost::Echo::None)
    {
        qwhost::GuiHost host;
        host.echo = echo;
        host.resourceFolder = res();
        auto saver = host.create(bundle("panelkit"), L"QW_GUIStringSaver");
        saver->setText(kData, L"saved");
        saver->setText(kFileL, name);
        saver->setBool(kTrigger, true);
        auto loader = host.create(bundle("panelkit"), L"QW_GUIStringLoader");
        auto test = host.create(bundle("panelkit"), L"QW_FileExists");
        return {loaded(*loader, name), existsAnswer(*test, name)};
    }
};

TEST_F(BadNames, CharactersUtf8CannotEncodeBecomeTheReplacementCharacter)
{
    const std::wstring name = L"odd" + std::wstring{wchar_t(0xD800), wchar_t(0x110000)} + L".txt";
    const Outcome o = run(name);
    EXPECT_EQ(listing(res()), Names{"odd\xEF\xBF\xBD\xEF\xBF\xBD.txt"});
    EXPECT_EQ(o.loaded, L"saved") << "the loader's bare name resolves to the same file";
    EXPECT_FALSE(o.exists) << "not in the working folder";
    qwhost::GuiHost host;
    auto test = host.create(bundle("panelkit"), L"QW_FileExists");
    EXPECT_TRUE(existsAnswer(*test, wide(res()) + L"/" + name));
}

// A NUL ends a name for the system: handed on, the name would be another.
TEST_F(BadNames, ANameWithANulNamesNoFile)
{
    put(res("here.txt"), "here");
    put(work("here.txt"), "here");
    const std::wstring name = L"here.txt\0tail"s;
    const Outcome o = run(name);
    EXPECT_EQ(bytesOf(res("here.txt")), "here");
    EXPECT_EQ(listing(res()), Names{"here.txt"});
    EXPECT_EQ(listing(work()), Names{"here.txt"});
    EXPECT_EQ(o.loaded, L"<nothing>");
    EXPECT_FALSE(o.exists);
}

TEST_F(BadNames, TenThousandCharactersNameNoFile)
{
    for (const std::wstring& name : {std::wstring(10000, L'n'), L"dir/" + std::wstring(9996, L'n')})
    {
        const Outcome o = run(name);
        EXPECT_EQ(listing(res()), Names{});
        EXPECT_EQ(listing(work()), Names{});
        EXPECT_EQ(o.loaded, L"<nothing>");
        EXPECT_FALSE(o.exists);
    }
}

// A full path longer than the host's first answer can hold is asked for
// again whole: a cut one would name another file.
TEST_F(BadNames, ANameWhoseFullPathIsLongIsSavedWhole)
{
    const std::string a(200, 'a'), b(200, 'b'), c(200, 'c');
    std::filesystem::create_directories(res(a + "/" + b));
    const Outcome o = run(wide(a + "/" + b + "/" + c + ".txt"));
    EXPECT_EQ(listing(res(a + "/" + b)), Names{c + ".txt"});
    EXPECT_EQ(bytesOf(res(a + "/" + b + "/" + c + ".txt")), "saved");
    EXPECT_EQ(o.loaded, L"<nothing>") << "the bare name is not in the resource folder";
}

TEST_F(BadNames, DotDotComponentsNameWhatThePathNames)
{
    std::filesystem::create_directories(res("sub"));
    const Outcome o = run(L"sub/../up.txt");
    EXPECT_EQ(bytesOf(res("up.txt")), "saved");
    EXPECT_EQ(listing(res()), (Names{"sub", "up.txt"}));
    EXPECT_EQ(o.loaded, L"saved") << "through the bare name";
}

TEST_F(BadNames, AFolderIsNeitherSavedOverNorLoaded)
{
    std::filesystem::create_directories(res("folder"));
    std::filesystem::create_directories(work("folder"));
    const Outcome o = run(L"folder");
    EXPECT_TRUE(std::filesystem::is_directory(res("folder")));
    EXPECT_EQ(listing(res()), Names{"folder"});
    EXPECT_EQ(listing(res("folder")), Names{});
    EXPECT_EQ(o.loaded, L"<nothing>");
    EXPECT_TRUE(o.exists) << "a folder opens for reading";
}

// Opening a pipe for reading waits for a writer: none of them may wait, and
// a save does not replace it with a file.
TEST_F(BadNames, APipeIsNeitherWaitedForNorReplaced)
{
    ASSERT_EQ(mkfifo(res("pipe").c_str(), 0644), 0);
    const Outcome o = run(L"pipe");
    EXPECT_EQ(std::filesystem::status(res("pipe")).type(), std::filesystem::file_type::fifo);
    EXPECT_EQ(listing(res()), Names{"pipe"});
    EXPECT_EQ(o.loaded, L"<nothing>");
    qwhost::GuiHost host;
    auto test = host.create(bundle("panelkit"), L"QW_FileExists");
    EXPECT_TRUE(existsAnswer(*test, wide(res("pipe")))) << "it opens for reading";
}

TEST_F(BadNames, AnUnreadableFileIsAbsentAndLoadsNothing)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not hold for root";
    put(work("secret.txt"), "secret");
    chmod(work("secret.txt").c_str(), 0200);
    qwhost::GuiHost host;
    host.resourceFolder = res();
    auto loader = host.create(bundle("panelkit"), L"QW_GUIStringLoader");
    auto test = host.create(bundle("panelkit"), L"QW_FileExists");
    EXPECT_EQ(loaded(*loader, L"secret.txt"), L"<nothing>");
    EXPECT_FALSE(existsAnswer(*test, L"secret.txt"));
}

// Every echo mode: the names above once more on every file module, and on
// the name helpers (as names and as the text saved), with nothing asserted
// but that the modules come through. The host keeps what they save in the
// resource folder.
TEST_F(BadNames, EveryFileModuleComesThroughEveryBadNameUnderEveryEcho)
{
    std::filesystem::create_directories(res("folder"));
    const std::vector<std::wstring> names = {
        L"odd" + std::wstring{wchar_t(0xD800), wchar_t(0x110000)},
        L"x\0y"s,
        std::wstring(10000, L'n'),
        L"../../../../../../../../x",
        wide(res("folder")),
        L"/",
        L"//",
        L".",
    };
    for (const wchar_t* id : {L"QW_GUIStringSaver", L"QW_GUIBlobSaver", L"QW_GUIStringLoader", L"QW_GUIBlobLoader",
                              L"QW_FileExists", L"QW_SplitFName", L"QW_AppendFName"})
        for (qwhost::Echo echo : kEchoModes)
        {
            qwhost::GuiHost host;
            host.echo = echo;
            host.resourceFolder = res();
            host.confineFiles = true;
            auto g = host.create(bundle("panelkit"), id);
            for (int mode : {1, 2})
            {
                if (g->pinCount() > 2 && g->pinInfo(kMode).name == "Mode")
                    g->setInt(kMode, mode);
                for (const std::wstring& name : names)
                    for (int pin = 0; pin < g->pinCount(); ++pin)
                        if (g->pinInfo(pin).datatype == gmpi::MP_STRING)
                            g->setText(pin, name);
                if (g->pinInfo(kTrigger).datatype == gmpi::MP_BOOL)
                    g->setBool(kTrigger, true);
            }
            EXPECT_TRUE(g->settleEchoes());
        }
    EXPECT_EQ(listing(work()), Names{});
}

// Texts and blobs of 10 MB are saved and loaded whole.
TEST_F(FileModules, TenMegabyteTextsAndBlobsGoThroughWhole)
{
    constexpr size_t kBytes = 10u << 20;
    // Two-byte characters: 5 M of them; the file holds 10 MB.
    const std::wstring big(kBytes / 2, L'\u00e9');
    const Bytes blob = [] {
        Bytes b(kBytes);
        for (size_t i = 0; i < b.size(); ++i)
            b[i] = static_cast<uint8_t>(i * 7 + (i >> 12));
        return b;
    }();
    qwhost::GuiHost host;
    host.resourceFolder = res();
    auto textSaver = host.create(bundle("panelkit"), L"QW_GUIStringSaver");
    textSaver->setText(kFileL, L"big.txt");
    textSaver->setText(kData, big);
    textSaver->setBool(kTrigger, true);
    EXPECT_EQ(std::filesystem::file_size(res("big.txt")), kBytes);

    auto blobSaver = host.create(bundle("panelkit"), L"QW_GUIBlobSaver");
    blobSaver->setText(kFileL, L"big.bin");
    blobSaver->setBlob(kData, blob);
    blobSaver->setBool(kTrigger, true);
    EXPECT_EQ(bytesOf(res("big.bin")), std::string(blob.begin(), blob.end()));

    auto textLoader = host.create(bundle("panelkit"), L"QW_GUIStringLoader");
    EXPECT_TRUE(loaded(*textLoader, L"big.txt") == big);

    auto blobLoader = host.create(bundle("panelkit"), L"QW_GUIBlobLoader");
    blobLoader->setText(kFileL, L"big.bin");
    blobLoader->setBool(kTrigger, true);
    ASSERT_EQ(blobLoader->transmits.size(), 1u);
    EXPECT_TRUE(blobLoader->transmits[0].data == blob);

    auto append = host.create(bundle("panelkit"), L"QW_GUIStringAppend");
    append->setText(1, big);
    append->setText(2, big);
    ASSERT_EQ(append->transmits.size(), 2u);
    EXPECT_EQ(append->transmits[1].data.size(), 2 * big.size() * 4);
}
} // namespace
