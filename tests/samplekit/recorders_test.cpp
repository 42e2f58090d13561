// The recorders through the built bundle, fed their own sample index as the
// signal, so that each recording shows exactly which samples it holds: where
// recordings start and stop at every block size, where they go, the memory
// they take, and what the interface halves pass on.
#include "samplekit_fixture.h"

#include "patch.h"

#include <climits>
#include <cmath>
#include <functional>
#include <limits>

using sktest::ramp;

namespace
{
enum RecorderPin
{
    SIGNAL,
    GATE,
    MODE,
    GROW,
    STEP,
};
enum Recorder2Pin
{
    RECORD = 1,
    STEP2 = 2,
    OUTPUT = 3,
};

struct Recording
{
    int64_t time;
    std::vector<float> frames;
    bool operator==(const Recording& o) const { return time == o.time && frames == o.frames; }
};

std::ostream& operator<<(std::ostream& s, const Recording& r)
{
    s << "{at " << r.time << ": " << r.frames.size() << " frames";
    if (!r.frames.empty())
        s << " from " << r.frames.front() << " to " << r.frames.back();
    return s << "}";
}

struct Script
{
    int block = 64;
    int64_t total = 4096;
    bool signalStreams = true;
    std::function<float(int64_t)> gate; // QW_AudioRecorder's gate, streaming throughout
    std::function<void(qwhost::Processor&)> setup;
};

struct Outputs
{
    std::vector<Recording> samples;              // the sample output's values after graph start
    std::vector<std::pair<int64_t, int>> counts; // the frame count output's values after graph start
    std::vector<Recording> handed;               // recordings handed over, at the end of their block
    std::vector<sktest::Message> messages;
};

// Runs the script; `atEnd` sees the outputs while the module still lives.

Outputs run(const wchar_t* id, const Script& s, const std::function<void(const Outputs&)>& atEnd = nullptr)
{
    qwhost::ProcessingHost host;
    host.blockSize = s.block;
    auto p = host.create(sktest::samplekit(), id);
    const int samplePin = p->pin("Sample"), framesPin = p->pin("Frames");
    p->startGraph();
    if (s.signalStreams)
        p->setStreaming(SIGNAL, true);
    if (s.gate)
        p->setStreaming(GATE, true);
    if (s.setup)
        s.setup(*p);
    Outputs out;
    while (p->now() < s.total)
    {
        const int n = static_cast<int>(std::min<int64_t>(s.block, s.total - p->now()));
        for (int i = 0; i < n; ++i)
        {
            p->input(SIGNAL)[i] = static_cast<float>(p->now() + i);
            if (s.gate)
                p->input(GATE)[i] = s.gate(p->now() + i);
        }
        p->run(n);
        for (auto& u : p->updates)
        {
            if (u.time == 0)
                continue;
            if (u.pin == samplePin)
                out.samples.push_back({u.time, sktest::framesOf(u.data)});
            else if (u.pin == framesPin)
                out.counts.push_back({u.time, u.asInt()});
        }
        for (auto& m : p->messages)
        {
            out.messages.push_back(sktest::messageIn(m.data));
            out.handed.push_back({p->now(), sktest::framesOf(out.messages.back())});
        }
        p->updates.clear();
        p->messages.clear();
    }
    if (atEnd)
        atEnd(out);
    return out;
}

const int kBlocks[] = {1, 7, 64, 256};

// Gate high over [from, to).
std::function<float(int64_t)> pulse(int64_t from, int64_t to)
{
    return [from, to](int64_t t) { return t >= from && t < to ? 1.0f : 0.0f; };
}
} // namespace

TEST(AudioRecorder, AGateHighAtTheFirstSampleStartsThere)
{
    for (int block : kBlocks)
    {
        SCOPED_TRACE("blocks of " + std::to_string(block));
        Script s;
        s.block = block;
        s.gate = pulse(0, 1000);
        const Outputs o = run(L"QW_AudioRecorder", s);
        EXPECT_EQ(o.samples, (std::vector<Recording>{{1000, ramp(0, 1000)}}));
        EXPECT_EQ(o.counts, (std::vector<std::pair<int64_t, int>>{{1000, 1000}}));
        ASSERT_EQ(o.handed.size(), 1u);
        EXPECT_EQ(o.handed[0].frames, ramp(0, 1000));
    }
}

// The gate stays high from 0 to 150000, then pulses over [160000, 160500).
void stepTable(bool grow, int step, const std::vector<Recording>& expected)
{
    for (int block : kBlocks)
    {
        SCOPED_TRACE("step " + std::to_string(step) + ", blocks of " + std::to_string(block));
        Script s;
        s.block = block;
        s.total = 161000;
        s.gate = [](int64_t t) { return t < 150000 || (t >= 160000 && t < 160500) ? 1.0f : 0.0f; };
        s.setup = [grow, step](qwhost::Processor& p) {
            p.setBool(GROW, grow);
            p.setInt(STEP, step);
        };
        EXPECT_EQ(run(L"QW_AudioRecorder", s).samples, expected);
    }
}

TEST(AudioRecorder, WithoutGrowItStopsAtTheStepAndWaitsForTheNextRise)
{
    const std::vector<Recording> expected = {{100000, ramp(0, 100000)}, {160500, ramp(160000, 500)}};
    stepTable(false, 100000, expected);
    stepTable(false, 3, expected); // a step below 100000 counts as 100000
}

TEST(AudioRecorder, WithGrowItGoesOnPastTheStep)
{
    stepTable(true, 100000, {{150000, ramp(0, 150000)}, {160500, ramp(160000, 500)}});
}

TEST(AudioRecorder, StreamingModeRecordsWhileTheSignalStreams)
{
    for (int block : kBlocks)
    {
        SCOPED_TRACE("blocks of " + std::to_string(block));
        Script s;
        s.block = block;
        s.total = 5000;
        s.signalStreams = false;
        s.gate = [](int64_t) { return 1.0f; }; // high throughout, and not looked at
        s.setup = [](qwhost::Processor& p) {
            p.setInt(MODE, 1);
            p.setStreaming(SIGNAL, true, 500);
            p.setConstant(SIGNAL, 0.0f, 3000);
            p.setStreaming(SIGNAL, true, 4000);
            p.setConstant(SIGNAL, 0.0f, 4100);
        };
        const Outputs o = run(L"QW_AudioRecorder", s);
        EXPECT_EQ(o.samples, (std::vector<Recording>{{3000, ramp(500, 2500)}, {4100, ramp(4000, 100)}}));
    }
}

TEST(AudioRecorder, ANaNGateIsLow)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int block : kBlocks)
    {
        SCOPED_TRACE("blocks of " + std::to_string(block));
        Script s;
        s.block = block;
        s.total = 1000;
        s.gate = [nan](int64_t t) { return t >= 500 && t < 800 ? 1.0f : nan; };
        EXPECT_EQ(run(L"QW_AudioRecorder", s).samples, (std::vector<Recording>{{800, ramp(500, 300)}}));
    }
}

TEST(AudioRecorder2, TheOutputListRoutesTheRecording)
{
    struct Row
    {
        int list;
        bool outputs, handed;
    };
    const Row rows[] = {{0, true, false}, {1, false, true}, {2, true, true}};
    for (const Row& r : rows)
        for (int block : kBlocks)
        {
            SCOPED_TRACE("list " + std::to_string(r.list) + ", blocks of " + std::to_string(block));
            Script s;
            s.block = block;
            s.total = 1500;
            s.setup = [&r](qwhost::Processor& p) {
                p.setInt(OUTPUT, r.list);
                p.setBool(RECORD, true, 100);
                p.setBool(RECORD, false, 1100);
            };
            const Outputs o = run(L"QW_AudioRecorder2", s);
            const std::vector<Recording> samples = {{1100, ramp(100, 1000)}};
            const std::vector<std::pair<int64_t, int>> counts = {{1100, 1000}};
            EXPECT_EQ(o.samples, r.outputs ? samples : std::vector<Recording>());
            using Counts = std::vector<std::pair<int64_t, int>>;
            EXPECT_EQ(o.counts, r.outputs ? counts : Counts());
            ASSERT_EQ(o.handed.size(), r.handed ? 1u : 0u);
            if (r.handed)
            {
                EXPECT_EQ(o.handed[0].frames, ramp(100, 1000));
            }
        }
}

TEST(AudioRecorder2, GraphStartPublishesTheEmptySample)
{
    qwhost::ProcessingHost host;
    auto p = host.create(sktest::samplekit(), L"QW_AudioRecorder2");
    p->startGraph();
    p->run(64);
    const qwhost::PinUpdate* sample = nullptr;
    for (auto& u : p->updates)
        if (u.pin == p->pin("Sample"))
            sample = &u;
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->time, 0);
    EXPECT_TRUE(sample->data.empty());
}

TEST(AudioRecorder2, RecordOnThenOffWithNoSampleBetweenSendsNoFrames)
{
    qwhost::ProcessingHost host;
    auto p = host.create(sktest::samplekit(), L"QW_AudioRecorder2");
    p->startGraph();
    p->setInt(OUTPUT, 2);
    p->run(64);
    p->run(64); // idle, counting down to sleep
    p->updates.clear();

    // The host delivers record on in a call of no samples, record off at the
    // start of the next block.
    gmpi::MpEvent on{};
    on.eventType = gmpi::EVENT_PIN_SET;
    on.parm1 = RECORD;
    on.parm2 = 1;
    on.parm3 = 1;
    p->plugin()->process(0, &on);
    p->setBool(RECORD, false);
    p->run(64);

    ASSERT_EQ(p->updates.size(), 1u) << "the frame count stays 0";
    EXPECT_EQ(p->updates[0].pin, p->pin("Sample"));
    EXPECT_TRUE(p->updates[0].data.empty()) << "a recording of no frames";
    ASSERT_EQ(p->messages.size(), 1u);
    EXPECT_EQ(sktest::messageIn(p->messages[0].data).bytes, 0);
}

TEST(AudioRecorder2, ABlockLongerThanTheStepFits)
{
    for (int block : {65536, 100000})
    {
        SCOPED_TRACE("blocks of " + std::to_string(block));
        Script s;
        s.block = block;
        s.total = 300000;
        s.setup = [](qwhost::Processor& p) {
            p.setBool(RECORD, true);
            p.setBool(RECORD, false, 250000);
        };
        EXPECT_EQ(run(L"QW_AudioRecorder2", s).samples, (std::vector<Recording>{{250000, ramp(0, 250000)}}));
    }
}

TEST(Recorders, AHugeOrNegativeStepTakesLittleMemory)
{
    struct Row
    {
        const wchar_t* id;
        int step;
        bool grow;
    };
    const Row rows[] = {
        {L"QW_AudioRecorder", INT_MAX, false}, {L"QW_AudioRecorder", INT_MAX, true},  {L"QW_AudioRecorder", -5, false},
        {L"QW_AudioRecorder", INT_MIN, true},  {L"QW_AudioRecorder2", INT_MAX, true}, {L"QW_AudioRecorder2", -1, true},
    };
    for (const Row& r : rows)
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(r.id) + ", step " + std::to_string(r.step) + (r.grow ? ", grow" : ""));
        const bool first = r.id == std::wstring(L"QW_AudioRecorder");
        Script s;
        s.total = 2000;
        if (first)
            s.gate = pulse(0, 1000);
        size_t before = 0;
        s.setup = [&r, first, &before](qwhost::Processor& p) {
            if (first)
            {
                p.setBool(GROW, r.grow);
                p.setInt(STEP, r.step);
            }
            else
            {
                p.setInt(STEP2, r.step);
                p.setBool(RECORD, true);
                p.setBool(RECORD, false, 1000);
            }
            // Measured once the module and its host are set up.
            before = sktest::heapInUse();
        };
        size_t after = 0;
        const Outputs o = run(r.id, s, [&after](const Outputs&) { after = sktest::heapInUse(); });
        EXPECT_LT(after, before + (8u << 20)) << "a piece of a recording is 4 MiB at most";
        EXPECT_EQ(o.samples, (std::vector<Recording>{{1000, ramp(0, 1000)}}));
    }
}

TEST(Recorders, UnacknowledgedRecordingsKeepTheirFrames)
{
    // 20 recordings of different lengths; none acknowledged.
    auto start = [](int k) { return 1000 * k + 10; };
    auto length = [](int k) { return 50 + k; };
    for (const wchar_t* id : {L"QW_AudioRecorder", L"QW_AudioRecorder2"})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        Script s;
        s.total = 21000;
        if (id == std::wstring(L"QW_AudioRecorder"))
            s.gate = [&](int64_t t) {
                const int k = static_cast<int>(t / 1000);
                return t >= start(k) && t < start(k) + length(k) ? 1.0f : 0.0f;
            };
        else
            s.setup = [&](qwhost::Processor& p) {
                p.setInt(OUTPUT, 1);
                for (int k = 0; k < 20; ++k)
                {
                    p.setBool(RECORD, true, start(k));
                    p.setBool(RECORD, false, start(k) + length(k));
                }
            };
        run(id, s, [&](const Outputs& o) {
            ASSERT_EQ(o.messages.size(), 16u) << "16 wait; the later ones are not handed over";
            // Read after all 20: no buffer still waiting was reused.
            for (int k = 0; k < 16; ++k)
                EXPECT_EQ(sktest::framesOf(o.messages[static_cast<size_t>(k)]), ramp(start(k), length(k))) << k;
        });
    }
}

TEST(Recorders, InterfaceHalvesTransmitWhatWasRecorded)
{
    for (const wchar_t* id : {L"QW_AudioRecorder", L"QW_AudioRecorder2"})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        const bool gated = id == std::wstring(L"QW_AudioRecorder");
        qwhost::Patch patch;
        qwhost::PatchModule& m = patch.add(sktest::samplekit(), id);
        qwhost::Processor& p = *m.processor;
        patch.start();
        p.setStreaming(SIGNAL, true);
        if (gated)
            p.setStreaming(GATE, true);
        else
        {
            p.setInt(OUTPUT, 1);
            for (int64_t t : {100, 1500})
                p.setBool(RECORD, true, static_cast<int>(t));
            p.setBool(RECORD, false, 1100);
            p.setBool(RECORD, false, 1600);
        }
        // Recordings over [100, 1100) and [1500, 1600); after each, every
        // recording handed over so far was acknowledged.
        for (int64_t t = 0; t < 2048; t += 64)
        {
            for (int i = 0; i < 64; ++i)
            {
                p.input(SIGNAL)[i] = static_cast<float>(t + i);
                if (gated)
                    p.input(GATE)[i] = (t + i >= 100 && t + i < 1100) || (t + i >= 1500 && t + i < 1600) ? 1.0f : 0.0f;
            }
            patch.run(64);
        }
        const auto samples = m.gui->transmitsOf(0);
        ASSERT_EQ(samples.size(), 2u);
        EXPECT_EQ(sktest::framesOf(samples[0]->data), ramp(100, 1000));
        EXPECT_EQ(sktest::framesOf(samples[1]->data), ramp(1500, 100));
        const auto counts = m.gui->transmitsOf(1);
        ASSERT_EQ(counts.size(), 2u);
        EXPECT_EQ(counts[0]->asInt(), 1000);
        EXPECT_EQ(counts[1]->asInt(), 100);
    }
}
