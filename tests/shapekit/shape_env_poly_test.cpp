// Voice groups: the clones of a polyphonic module share one block of common
// data that lives as long as one clone of the group does, whichever clone the
// host destroys first. Checked on a test module that reports the group and the
// live data blocks, and on QW_ShapeEnv5, whose voices share one table (the
// sanitizers catch a table used after it was freed, or never freed).
#include "envelope_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
using envtest::blobOf;

std::shared_ptr<qwhost::Bundle> polykit()
{
    static auto b = qwhost::Bundle::load(std::string(QW_TEST_BUNDLE_DIR) + "/polykit.so");
    return b;
}

// QW_TestPoly: what a clone reports after a poll.
struct Report
{
    int live = -1;  // common data blocks alive in the bundle
    int group = -1; // clones in its group
    bool first = false;
    int shared = -1;
};

enum PolyPin
{
    WRITE,
    POLL,
    LIVE,
    GROUP,
    FIRST,
    SHARED,
};

Report poll(qwhost::Processor& p)
{
    static int n = 0;
    p.setInt(POLL, ++n);
    p.run(16);
    Report r;
    for (auto& u : p.updates)
    {
        if (u.pin == LIVE)
            r.live = u.asInt();
        else if (u.pin == GROUP)
            r.group = u.asInt();
        else if (u.pin == FIRST)
            r.first = u.asBool();
        else if (u.pin == SHARED)
            r.shared = u.asInt();
    }
    return r;
}

// Live blocks when nothing of this test is alive: a single instance counts its own.
int liveBefore()
{
    qwhost::ProcessingHost host;
    auto one = host.create(polykit(), L"QW_TestPoly");
    one->startGraph();
    return poll(*one).live - 1;
}

TEST(PolyBase, ASingleCloneIsItsOwnFirstCloneAndOwnsItsData)
{
    const int base = liveBefore();
    qwhost::ProcessingHost host;
    auto one = host.create(polykit(), L"QW_TestPoly");
    one->startGraph();
    const Report r = poll(*one);
    EXPECT_TRUE(r.first);
    EXPECT_EQ(r.group, 1);
    EXPECT_EQ(r.live, base + 1);
    one.reset();
    EXPECT_EQ(liveBefore(), base) << "freed with its only clone";
}

TEST(PolyBase, TheClonesOfAGroupShareOneBlock)
{
    const int base = liveBefore();
    qwhost::ProcessingHost host;
    auto voices = host.createVoices(polykit(), L"QW_TestPoly", 5);
    for (auto& v : voices)
        v->startGraph();
    for (size_t i = 0; i < voices.size(); ++i)
    {
        const Report r = poll(*voices[i]);
        EXPECT_EQ(r.first, i == 0) << "voice " << i;
        EXPECT_EQ(r.group, 5);
        EXPECT_EQ(r.live, base + 1) << "one block for the whole group";
    }
    voices[3]->setInt(WRITE, 42);
    voices[3]->run(16);
    EXPECT_EQ(poll(*voices[1]).shared, 42);
    // A second group has a block of its own.
    auto others = host.createVoices(polykit(), L"QW_TestPoly", 2);
    for (auto& v : others)
        v->startGraph();
    EXPECT_EQ(poll(*others[1]).live, base + 2);
    EXPECT_EQ(poll(*others[1]).shared, 0);
    EXPECT_EQ(poll(*others[1]).group, 2);
}

// Clones destroyed in every kind of order: the data stays with the group and
// is freed with its last clone.
TEST(PolyBase, TheDataOutlivesTheFirstCloneAndGoesWithTheLast)
{
    const std::vector<std::vector<int>> orders = {{0, 1, 2, 3}, {3, 2, 1, 0}, {1, 2, 0, 3}, {2, 0, 3, 1}};
    const int base = liveBefore();
    for (auto& order : orders)
    {
        SCOPED_TRACE(::testing::Message() << "destroyed in the order " << order[0] << order[1] << order[2] << order[3]);
        qwhost::ProcessingHost host;
        auto voices = host.createVoices(polykit(), L"QW_TestPoly", 4);
        for (auto& v : voices)
        {
            v->startGraph();
            v->run(16);
        }
        voices[2]->setInt(WRITE, 7);
        voices[2]->run(16);
        std::vector<int> alive = {0, 1, 2, 3};
        for (size_t k = 0; k + 1 < order.size(); ++k)
        {
            voices[static_cast<size_t>(order[k])].reset();
            alive.erase(std::find(alive.begin(), alive.end(), order[k]));
            for (int v : alive)
            {
                const Report r = poll(*voices[static_cast<size_t>(v)]);
                EXPECT_EQ(r.group, static_cast<int>(alive.size())) << "voice " << v;
                EXPECT_EQ(r.first, v == alive.front()) << "the next surviving clone leads, voice " << v;
                EXPECT_EQ(r.live, base + 1);
                EXPECT_EQ(r.shared, 7) << "the data survived";
            }
        }
        voices[static_cast<size_t>(order.back())].reset();
        EXPECT_EQ(liveBefore(), base) << "freed with the last clone";
    }
}

// QW_ShapeEnv5 voices share one table.
class Env5Voices : public ::testing::Test
{
protected:
    enum Pin
    {
        GATE = 1,
        SHAPE = 2,
        TYPE = 3,
        DURATION = 5,
        OUT = 13,
    };
    qwhost::ProcessingHost host;
    std::vector<std::unique_ptr<qwhost::Processor>> voices;

    void make(int n)
    {
        host.sampleRate = 128000;
        host.blockSize = 64;
        voices = host.createVoices(qwtest::bundle("shapekit"), L"QW_ShapeEnv5", n);
        for (auto& v : voices)
        {
            v->startGraph();
            v->setFloat(DURATION, 16); // 0.5 table points per sample
            v->run(64);
        }
    }
};

TEST_F(Env5Voices, AShapeGivenToOneVoicePlaysOnAnother)
{
    make(4);
    voices[0]->setBlob(SHAPE, blobOf(L"(-5,-5)(5,5)"));
    voices[0]->run(64);
    voices[2]->setBool(GATE, true);
    const auto out = envtest::play(*voices[2], OUT, 400, 64);
    for (int j = 0; j < 400; ++j)
        ASSERT_NEAR(out[static_cast<size_t>(j)], j * 0.5 / 1023, 1e-5) << "sample " << j;
}

// Each voice receives the same new type; the second finds the type already
// taken and must not undo the rebuild the first asked for.
TEST_F(Env5Voices, AllVoicesTakingTheSameTypeKeepTheRebuild)
{
    make(3);
    for (auto& v : voices)
    {
        v->setBlob(SHAPE, blobOf(L"(-5,-5)(-4,5)(-3,5)(5,-5)")); // overshoots as a local cubic
        v->run(64);
    }
    voices[0]->setBool(GATE, true); // the table is built, linear
    voices[0]->run(64);
    for (auto& v : voices)
    {
        v->setInt(TYPE, 20);
        v->run(64);
    }
    voices[2]->setBool(GATE, true);
    const auto out = envtest::play(*voices[2], OUT, 2100, 64);
    EXPECT_GT(*std::max_element(out.begin(), out.end()), 1.01f);
}

// Every voice plays on while the others go, in several orders; the table
// must never be read after it is freed, and must be freed in the end.
TEST_F(Env5Voices, VoicesPlayOnWhateverCloneIsDestroyedFirst)
{
    const std::vector<std::vector<int>> orders = {{0, 1, 2, 3, 4, 5}, {5, 4, 3, 2, 1, 0}, {2, 0, 5, 1, 4, 3}};
    for (auto& order : orders)
    {
        SCOPED_TRACE(::testing::Message() << "first destroyed: voice " << order[0]);
        make(6);
        for (auto& v : voices)
        {
            v->setBlob(SHAPE, blobOf(L"(-5,-5)(5,5)"));
            v->setBool(GATE, true);
        }
        int64_t played = 0;
        auto playAll = [&] {
            for (auto& v : voices)
                if (v)
                {
                    const auto out = envtest::play(*v, OUT, 128, 64);
                    for (int j = 0; j < 128; ++j)
                        ASSERT_NEAR(out[static_cast<size_t>(j)], std::min((played + j) * 0.5, 1023.0) / 1023, 1e-4);
                }
            played += 128;
        };
        playAll();
        for (int v : order)
        {
            voices[static_cast<size_t>(v)].reset();
            playAll();
        }
        // A new shape on one survivor reaches the others: still one table.
        make(3);
        voices[0].reset();
        voices[1]->setBlob(SHAPE, blobOf(L"(-5,5)(5,-5)"));
        voices[1]->run(64);
        voices[2]->setBool(GATE, true);
        EXPECT_EQ(envtest::play(*voices[2], OUT, 16, 16).front(), 1.0f);
        voices.clear();
    }
}
} // namespace
