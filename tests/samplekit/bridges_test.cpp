// The bridges through the built bundle: what a processing half hands over and
// when it frees it, what an interface half passes on, and both halves paired.
#include "samplekit_fixture.h"

#include "patch.h"
#include "ui_table.h"

using sktest::Message;

namespace
{
class BridgeTest : public ::testing::Test
{
protected:
    void make(const wchar_t* id)
    {
        host.blockSize = 64;
        p = host.create(sktest::samplekit(), id);
        p->startGraph();
        p->run(1);
        // The input's default (the empty value) came through.
        p->messages.clear();
        p->updates.clear();
    }
    // A new input value, taken in a block of its own. Answers the message it
    // sent to the interface half, if any.
    std::vector<uint8_t>* send(const std::vector<uint8_t>& value)
    {
        const size_t before = p->messages.size();
        p->setBlob(0, value);
        p->run(1);
        return p->messages.size() > before ? &p->messages.back().data : nullptr;
    }
    // How many more copies the half takes before it stops sending: the copies
    // it may hold (16) less those it holds now.
    int room()
    {
        int sent = 0;
        for (uint32_t i = 0; i < 20; ++i)
            if (auto* m = send(sktest::pattern(12, 1000 + i)))
                sent += m->size() == 24;
        return sent;
    }

    qwhost::ProcessingHost host;
    std::unique_ptr<qwhost::Processor> p;
};
} // namespace

TEST_F(BridgeTest, ANewCopyFreesEveryCopyUpToTheLastAcknowledged)
{
    make(L"QW_BridgeDSP2GUIBlob");
    const auto a = sktest::pattern(16, 1), b = sktest::pattern(16, 2), c = sktest::pattern(16, 3);
    const Message ma = sktest::messageIn(*send(a));
    const Message mb = sktest::messageIn(*send(b));
    const Message mc = sktest::messageIn(*send(c));
    EXPECT_EQ(sktest::bytesOf(ma), a);
    EXPECT_EQ(sktest::bytesOf(mb), b);
    EXPECT_EQ(sktest::bytesOf(mc), c);
    EXPECT_NE(ma.buffer, mb.buffer) << "each value is a copy of its own";
    sktest::acknowledge(ma);
    sktest::acknowledge(mc);
    EXPECT_EQ(sktest::bytesOf(mb), b) << "nothing is freed before the next value";

    const auto d = sktest::pattern(16, 4);
    const Message md = sktest::messageIn(*send(d));
    EXPECT_EQ(md.bytes, 16);
    EXPECT_EQ(sktest::bytesOf(md), d);
    // A, B and C are gone, D waits: 15 more copies fit.
    EXPECT_EQ(room(), 15);
}

TEST_F(BridgeTest, AnEmptyValueSendsNoCopyAndFreesNothing)
{
    make(L"QW_BridgeDSP2GUIBlob");
    const Message first = sktest::messageIn(*send(sktest::pattern(10, 1)));
    send(sktest::pattern(9, 2));
    sktest::acknowledge(first);
    auto* empty = send({});
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->empty()) << "a message of no bytes";
    EXPECT_EQ(sktest::bytesOf(first), sktest::pattern(10, 1)) << "still held (freed with the next copy)";
    // The first copy goes with the next one, the second waits: 15 more fit.
    EXPECT_EQ(room(), 15);
}

TEST_F(BridgeTest, WithoutAnInterfaceHalfAtMostSixteenCopiesAreHeld)
{
    for (const wchar_t* id : {L"QW_BridgeDSP2GUIBlob", L"QW_BridgeBlobDual"})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        make(id);
        p->updates.clear();
        long laterAllocations = 0;
        for (uint32_t i = 0; i < 10000; ++i)
        {
            send(sktest::pattern(32, i));
            if (i >= 16)
                laterAllocations += p->allocationsInLastProcess();
        }
        EXPECT_EQ(p->messages.size(), 16u);
        EXPECT_EQ(laterAllocations, 0) << "no copy is made once 16 wait";
        if (id == std::wstring(L"QW_BridgeBlobDual"))
        {
            ASSERT_EQ(p->updates.size(), 10000u) << "the output still passes every value";
            EXPECT_EQ(p->updates.back().data, sktest::pattern(32, 9999));
        }
    }
}

TEST_F(BridgeTest, DualOutputPassesEveryValueAsItCame)
{
    host.blockSize = 64;
    p = host.create(sktest::samplekit(), L"QW_BridgeBlobDual");
    p->graphStart();
    p->run(1);
    EXPECT_TRUE(p->updates.empty()) << "nothing at graph start";
    const uint8_t bytes[10] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    for (int size : {0, 1, 2, 3, 4, 6, 8, 10})
    {
        SCOPED_TRACE(size);
        p->updates.clear();
        const std::vector<uint8_t> value(bytes, bytes + size);
        auto* m = send(value);
        ASSERT_EQ(p->updates.size(), 1u);
        EXPECT_EQ(p->updates[0].pin, 1);
        EXPECT_EQ(p->updates[0].data, value);
        ASSERT_NE(m, nullptr);
        if (size == 0)
            EXPECT_TRUE(m->empty());
        else
            EXPECT_EQ(sktest::bytesOf(sktest::messageIn(*m)), value);
    }
}

TEST(BridgeInterfaceHalves, PassOnWhatTheyAreHandedAndAcknowledge)
{
    for (const wchar_t* id : {L"QW_BridgeDSP2GUIBlob", L"QW_BridgeBlobDual"})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        // The processing half makes real messages; the test delivers them.
        qwhost::ProcessingHost host;
        auto p = host.create(sktest::samplekit(), id);
        p->startGraph();
        qwhost::GuiHost guiHost;
        auto g = guiHost.create(sktest::samplekit(), id);
        g->transmits.clear();

        const auto value = sktest::pattern(40, 7);
        p->setBlob(0, value);
        p->setBlob(0, {}, 1);
        p->run(2);
        ASSERT_EQ(p->messages.size(), 2u);
        const Message m = sktest::messageIn(p->messages[0].data);
        std::atomic<bool>& flag = *reinterpret_cast<std::atomic<bool>*>(static_cast<uintptr_t>(m.acknowledge));
        EXPECT_FALSE(flag.load());
        g->messageFromAudio(0, p->messages[0].data.data(), 24);
        EXPECT_TRUE(flag.load());
        g->messageFromAudio(0, nullptr, 0);
        ASSERT_EQ(g->transmits.size(), 2u);
        EXPECT_EQ(g->transmits[0].pin, 0);
        EXPECT_EQ(g->transmits[0].data, value);
        EXPECT_TRUE(g->transmits[1].data.empty()) << "the empty value passes on empty";
        // A message of another size is nobody's value.
        g->messageFromAudio(0, p->messages[0].data.data(), 16);
        EXPECT_EQ(g->transmits.size(), 2u);
    }
}

TEST(BridgeDual, BothDirectionsUnderEveryEcho)
{
    for (qwhost::Echo echo : qwtest::kEchoModes)
    {
        SCOPED_TRACE(qwtest::echoName(echo));
        qwhost::Patch patch;
        patch.gui.echo = echo;
        qwhost::PatchModule& m = patch.add(sktest::samplekit(), L"QW_BridgeBlobDual");
        qwhost::Processor& p = *m.processor;
        qwhost::GuiModule& g = *m.gui;
        patch.start();
        patch.run(8);
        auto settle = [&] {
            g.deliverEchoes();
            patch.run(8);
            g.deliverEchoes();
            patch.run(8);
        };
        settle();
        p.updates.clear();
        g.transmits.clear();

        // Processing to interface, 20 values: more than 16 arrive, so each
        // was acknowledged; none comes back as a second output value.
        for (uint32_t i = 0; i < 20; ++i)
        {
            p.setBlob(0, sktest::pattern(20, i));
            patch.run(8);
            settle();
        }
        ASSERT_EQ(g.transmitsOf(0).size(), 20u);
        for (uint32_t i = 0; i < 20; ++i)
            EXPECT_EQ(g.transmitsOf(0)[i]->data, sktest::pattern(20, i)) << i;
        ASSERT_EQ(p.updates.size(), 20u) << "an echo went back to the processing half";

        // Interface to processing, 20 values, each out at the start of the next block.
        p.updates.clear();
        for (uint32_t i = 0; i < 20; ++i)
        {
            g.setBlob(0, sktest::pattern(30, 100 + i));
            const int64_t next = p.now();
            patch.run(8);
            ASSERT_EQ(p.updates.size(), i + 1) << i;
            EXPECT_EQ(p.updates.back().pin, 1);
            EXPECT_EQ(p.updates.back().time, next);
            EXPECT_EQ(p.updates.back().data, sktest::pattern(30, 100 + i));
            settle();
        }
        EXPECT_EQ(p.updates.size(), 20u);
    }
}
