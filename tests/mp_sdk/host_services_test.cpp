// The host services a module reaches through the framework: pin and clone
// iteration, shared memory, file names and files, latency and messages.
#include "mp_sdk_common.h"
#include "probe_fixture.h"

#include <fstream>

TEST_F(ProbeFixture, PinIteratorSeesTheHostsPins)
{
    for (int copies : {0, 1, 4})
    {
        host.autoDuplicateCount = copies;
        make(L"QW_TestPins");
        EXPECT_TRUE(qwtest::checkPins(*p).empty());
        p->startGraph();
        for (int i = 1; i <= copies; ++i)
            p->setInt(i, i * 10, 0);
        p->run(16);
        ASSERT_FALSE(p->updates.empty());
        EXPECT_EQ(p->updates.back().asInt(), 5 * copies * (copies + 1)) << copies << " copies";
    }
}

TEST_F(ProbeFixture, ClonesFindTheirFirstVoice)
{
    auto last = [](const qwhost::Processor& m, int pin) {
        const qwhost::PinUpdate* u = nullptr;
        for (auto& x : m.updates)
            if (x.pin == pin)
                u = &x;
        return u;
    };
    auto voices = host.createVoices(qwtest::bundle("testkit"), L"QW_TestClone", 3);
    for (size_t v = 0; v < voices.size(); ++v)
    {
        voices[v]->startGraph();
        voices[v]->run(16);
        EXPECT_EQ(last(*voices[v], 0)->asInt(), 3);
        EXPECT_EQ(last(*voices[v], 1)->asBool(), v == 0) << "voice " << v;
    }
    make(L"QW_TestClone"); // one voice: its own first clone
    p->startGraph();
    p->run(16);
    EXPECT_EQ(last(*p, 0)->asInt(), 1);
    EXPECT_TRUE(last(*p, 1)->asBool());
}

TEST_F(ProbeFixture, SharedMemoryIsFilledOnce)
{
    host.sampleRate = 48000;
    std::vector<std::unique_ptr<qwhost::Processor>> modules;
    for (int i = 0; i < 3; ++i)
        modules.push_back(host.create(qwtest::bundle("testkit"), L"QW_TestShared"));
    host.sampleRate = 96000;
    modules.push_back(host.create(qwtest::bundle("testkit"), L"QW_TestShared"));

    const qwhost::SharedBlock* table = host.sharedBlock(L"QW TEST TABLE");
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->fills, 1);
    EXPECT_EQ(table->requests, 4);
    for (float rate : {48000.0f, 96000.0f})
    {
        const qwhost::SharedBlock* r = host.sharedBlock(L"QW TEST RATE TABLE", rate);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->fills, 1);
        EXPECT_EQ(*reinterpret_cast<const float*>(r->memory.get()), rate);
    }
    int filled = 0;
    for (auto& m : modules)
    {
        m->startGraph();
        m->setInt(0, 0, 0);
        m->run(64);
        filled += m->updates.back().asInt();
        EXPECT_EQ(m->output(0)[10], 5.0f); // every instance reads the one table from its start
    }
    EXPECT_EQ(filled, 3); // the shared table once, each rate's table once
}

TEST_F(ProbeFixture, FileNamesAndFiles)
{
    const std::string folder = ::testing::TempDir() + "qw_files";
    std::system(("mkdir -p '" + folder + "'").c_str());
    std::ofstream(folder + "/note.txt") << "hello";
    host.resourceFolder = folder;

    struct Row
    {
        bool embedded;
        std::string name;
        std::string resolved;
        int size;
    };
    const Row rows[] = {
        {true, "note.txt", folder + "/note.txt", 5},
        {false, "note.txt", folder + "/note.txt", -1}, // no embedded files: older call, nothing to open
        {true, "missing.txt", folder + "/missing.txt", -1},
        {true, folder + "/note.txt", folder + "/note.txt", 5},
        {true, "caf\xC3\xA9.txt", folder + "/caf\xC3\xA9.txt", -1},
    };
    for (auto& r : rows)
    {
        host.embeddedFiles = r.embedded;
        make(L"QW_TestFiles");
        p->startGraph();
        p->setText(0, gmpi_sdk::fromUtf8(r.name), 0);
        p->run(16);
        auto last = [&](int pin) {
            const qwhost::PinUpdate* u = nullptr;
            for (auto& x : p->updates)
                if (x.pin == pin)
                    u = &x;
            return u;
        };
        ASSERT_NE(last(1), nullptr);
        EXPECT_EQ(gmpi_sdk::toUtf8(last(1)->asText()), r.resolved) << r.name;
        EXPECT_EQ(gmpi_sdk::toUtf8(last(2)->asText()), r.resolved) << r.name;
        EXPECT_EQ(last(3)->asInt(), r.size) << r.name;
        if (r.size > 0)
        {
            EXPECT_EQ(std::string(last(4)->data.begin(), last(4)->data.end()), "hello");
        }
    }

    // The older call gives at most 499 characters.
    host.embeddedFiles = false;
    make(L"QW_TestFiles");
    p->startGraph();
    p->setText(0, std::wstring(600, L'x'), 0);
    p->run(16);
    EXPECT_EQ(p->updates.back().pin, 3);
    for (auto& u : p->updates)
        if (u.pin == 2 && u.data.size())
        {
            EXPECT_EQ(u.asText().size(), 499u);
        }
}

TEST_F(ProbeFixture, LatencyAndMessages)
{
    makeRunning();
    p->setInt(COMMAND, REPORT_LATENCY, 0);
    p->run(16);
    EXPECT_EQ(p->latencyReports, std::vector<int32_t>({64}));

    const char bytes[3] = {1, 2, 3};
    EXPECT_EQ(p->plugin()->receiveMessageFromGui(5, 3, bytes), 7);
    EXPECT_EQ(log().back(), "gui 5 3");
    make(L"QW_TestNothing"); // overrides neither form
    EXPECT_EQ(p->plugin()->receiveMessageFromGui(5, 3, bytes), 0);
}

TEST_F(ProbeFixture, HostCountsAllocationsInsideProcess)
{
    auto bad = host.create(qwtest::bundle("brokenkit"), L"QW_BadAlloc");
    bad->startGraph();
    bad->runFor(256, 64);
    EXPECT_GT(bad->allocationsAfterFirstBlock(), 0);

    makeRunning(64);
    p->resetAllocationCount();
    p->setFloat(VALUE, 0.25f, 3);
    p->setText(TEXT, L"ab", 5);
    p->sendMidi(MIDI_IN, {0x80, 1, 2}, 7);
    p->runFor(256, 64);
    EXPECT_EQ(p->allocationsAfterFirstBlock(), 0);
}

// Texts of up to 4096 characters and blobs of up to 64 KiB reach a module's
// pins inside process without an allocation, however long the values before;
// the module copying them to its outputs allocates nothing either.
TEST_F(ProbeFixture, LongTextsAndBlobsReachPinsWithoutAllocating)
{
    makeRunning(64);
    p->resetAllocationCount();
    const std::wstring text(4096, L'x');
    const std::vector<uint8_t> blob(65536, 0x5A);
    p->setText(TEXT, L"short", 3);
    p->setBlob(BLOB, {1, 2, 3}, 3);
    p->setText(TEXT, text, 70);
    p->setBlob(BLOB, blob, 75);
    p->runFor(256, 64);
    EXPECT_EQ(p->allocationsAfterFirstBlock(), 0);
    ASSERT_FALSE(updatesOf(TEXT_OUT).empty());
    EXPECT_EQ(updatesOf(TEXT_OUT).back()->asText(), text);
    ASSERT_FALSE(updatesOf(BLOB_OUT).empty());
    EXPECT_EQ(updatesOf(BLOB_OUT).back()->data, blob);
}

TEST(ProcessingHost, ModulesReleaseTheirHost)
{
    qwhost::ProcessingHost host;
    {
        auto p = host.create(qwtest::bundle("testkit"), L"QW_TestProbe");
        EXPECT_EQ(p->hostReferences(), 3); // the host's own, plus the two interfaces setHost took
        p->startGraph();
        p->run(64);
    }
    EXPECT_EQ(host.leakedHostReferences, 0);
}
