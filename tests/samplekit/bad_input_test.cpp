// Messages no half of these modules sends, to both halves of every module:
// every size from 0 to 64 bytes, full of a byte that makes a positive count and a wild address of
// any pointer read from them, and with no data at all. Only the empty value
// (0 bytes) is taken, and only by the bridges; the rest changes nothing. And
// the recorders' own messages where a hand-over is expected but forged.
#include "samplekit_fixture.h"

namespace
{
const wchar_t* const kModules[] = {L"QW_BridgeDSP2GUIBlob", L"QW_BridgeBlobDual", L"QW_AudioRecorder",
                                   L"QW_AudioRecorder2"};

bool isBridge(const std::wstring& id)
{
    return id.rfind(L"QW_Bridge", 0) == 0;
}
} // namespace

TEST(SamplekitBadInput, StrayMessagesToProcessingHalves)
{
    for (const wchar_t* id : kModules)
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        qwhost::ProcessingHost host;
        host.blockSize = 64;
        auto p = host.create(sktest::samplekit(), id);
        p->startGraph();
        p->run(64);
        p->updates.clear();
        p->messages.clear();
        const std::vector<uint8_t> junk(64, 0x5A);
        for (int size = 0; size <= 64; ++size)
            for (const void* data : {static_cast<const void*>(junk.data()), static_cast<const void*>(nullptr)})
            {
                p->plugin()->receiveMessageFromGui(0, size, data);
                p->run(64);
            }
        // The processing half passes on the empty value (Dual bridge only), nothing else.
        const size_t expected = id == std::wstring(L"QW_BridgeBlobDual") ? 2u : 0u;
        EXPECT_EQ(p->updates.size(), expected);
        for (auto& u : p->updates)
            EXPECT_TRUE(u.data.empty());
        EXPECT_TRUE(p->messages.empty()) << "nothing goes back";
    }
}

TEST(SamplekitBadInput, StrayMessagesToInterfaceHalves)
{
    for (const wchar_t* id : kModules)
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        qwhost::GuiHost host;
        host.echo = qwhost::Echo::Inside;
        auto g = host.create(sktest::samplekit(), id);
        g->transmits.clear();
        g->messagesToAudio.clear();
        const std::vector<uint8_t> junk(64, 0x5A);
        for (int size = 0; size <= 64; ++size)
        {
            g->messageFromAudio(0, junk.data(), size);
            g->messageFromAudio(0, nullptr, size);
        }
        // Bridges pass the empty value on; recorders take nothing but a recording.
        EXPECT_EQ(g->transmits.size(), isBridge(id) ? 2u : 0u);
        for (auto& t : g->transmits)
            EXPECT_TRUE(t.data.empty());
        EXPECT_TRUE(g->messagesToAudio.empty()) << "nothing goes back";
    }
}

TEST(SamplekitBadInput, AHandOverFromAnotherBundleIsIgnored)
{
    // Well-formed in every field but the token: it names real bytes and a
    // real flag, which must stay untouched.
    std::vector<uint8_t> bytes = sktest::pattern(16, 5);
    std::atomic<bool> flag{false};
    for (uint32_t token : {0u, 1u, 0xFFFFFFFFu})
    {
        sktest::Message m;
        m.bytes = 16;
        m.token = token;
        m.buffer = reinterpret_cast<uintptr_t>(bytes.data());
        m.acknowledge = reinterpret_cast<uintptr_t>(&flag);
        for (const wchar_t* id : kModules)
        {
            qwhost::GuiHost host;
            auto g = host.create(sktest::samplekit(), id);
            g->transmits.clear();
            g->messageFromAudio(0, &m, sizeof m);
            EXPECT_TRUE(g->transmits.empty()) << gmpi_sdk::toUtf8(id);
        }
    }
    EXPECT_FALSE(flag.load());
}
