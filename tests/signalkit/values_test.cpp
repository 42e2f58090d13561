// Fixed values, two-to-one selectors, audio pass-through with latency and
// host information, through the built bundle.
#include "control_fixture.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>

namespace
{
using qwtest::ControlModule;
using qwtest::kInf;
using qwtest::kNaN;

TEST(FixedValues, TheValuePassesToTheOutput)
{
    for (const wchar_t* id : {L"QW_FixedInt", L"QW_FixedFloat", L"QW_FixedBool"})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        ControlModule m(id);
        m.start();
        m.set("Value", 1);
        m.step();
        EXPECT_EQ(m.value("Output"), 1);
        const size_t sent = m.countOf("Output");
        m.set("Value", 1);
        m.step();
        EXPECT_EQ(m.countOf("Output"), sent) << "an equal value is not sent again";
    }
    ControlModule text(L"QW_FixedString");
    text.start();
    text.p->setText(0, L"caf\u00e9 \u20ac");
    text.step();
    ASSERT_NE(text.last("Output"), nullptr);
    EXPECT_EQ(text.last("Output")->asText(), L"caf\u00e9 \u20ac");
}

TEST(FixedValues, VoltsGiveAConstantLevelNotStreaming)
{
    ControlModule m(L"QW_FixedVolts");
    m.start();
    m.set("Volts", 5);
    m.p->run(64);
    const float* out = m.p->output(m.p->pin("Output"));
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(out[i], 0.5f) << "sample " << i;
    ASSERT_FALSE(m.p->streamingReports.empty());
    EXPECT_FALSE(m.p->streamingReports.back().streaming);

    // A new level from the sample where it arrives.
    m.p->setFloat(0, -2.0f, 10);
    m.p->run(64);
    EXPECT_EQ(out[9], 0.5f);
    EXPECT_EQ(out[10], -0.2f);
    EXPECT_EQ(m.p->streamingReports.back().position, 10);
    EXPECT_FALSE(m.p->streamingReports.back().streaming);
}

// Both selectors named in a row of the test: float and blob values.
struct Switch
{
    ControlModule m;
    explicit Switch(const wchar_t* id) : m(id) { m.start(); }
    void input(int k, float v)
    {
        if (m.p->pinInfo(0).datatype == gmpi::MP_BLOB)
            m.p->setBlob(k, {static_cast<uint8_t>(v), 0xAB});
        else
            m.p->setFloat(k, v);
    }
    // The values sent on the output since the last call, as numbers.
    std::vector<float> sent()
    {
        std::vector<float> out;
        for (; seen_ < m.p->updates.size(); ++seen_)
        {
            const auto& u = m.p->updates[seen_];
            if (u.pin != 4)
                continue;
            if (m.p->pinInfo(0).datatype == gmpi::MP_BLOB)
                out.push_back(u.data.size() == 2 && u.data[1] == 0xAB ? u.data[0] : -1.0f);
            else
                out.push_back(u.asFloat());
        }
        return out;
    }
    size_t seen_ = 0;
};

TEST(Switch2To1, ASelectionAloneWaitsForTheNextUpdateOfTheSelectedInput)
{
    for (const wchar_t* id : {L"QW_FloatSwitch2To1", L"QW_BlobSwitch2To1"})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        Switch s(id);
        s.input(0, 1);
        s.input(1, 2);
        s.m.step();
        s.sent();
        s.input(0, 1);
        s.m.step();
        EXPECT_EQ(s.sent(), std::vector<float>{1}) << "an equal value of the selected input is sent again";
        s.input(1, 3);
        s.m.step();
        EXPECT_TRUE(s.sent().empty()) << "the other input does not pass";

        s.m.set("Select 2", 1);
        s.m.step();
        EXPECT_TRUE(s.sent().empty()) << "the selection alone sends nothing";
        s.input(1, 3);
        s.m.step();
        EXPECT_EQ(s.sent(), std::vector<float>{3});
    }
}

TEST(Switch2To1, PassOnSelectSendsTheNewlySelectedValueAtOnce)
{
    for (const wchar_t* id : {L"QW_FloatSwitch2To1", L"QW_BlobSwitch2To1"})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        Switch s(id);
        s.m.set("Pass On Select", 1);
        s.input(0, 1);
        s.input(1, 2);
        s.m.step();
        s.sent();
        s.m.set("Select 2", 1);
        s.m.step();
        EXPECT_EQ(s.sent(), std::vector<float>{2});
        s.m.set("Select 2", 1);
        s.m.step();
        EXPECT_EQ(s.sent(), std::vector<float>{2}) << "re-sent on every update of the selection";
        s.m.set("Select 2", 0);
        s.m.step();
        EXPECT_EQ(s.sent(), std::vector<float>{1});
    }
}

TEST(AlwaysStrm, CopiesTheInputAndReportsTheOutputStreaming)
{
    ControlModule m(L"QW_AlwaysStrm");
    m.start();
    m.p->setConstant(0, 0.25f);
    m.p->run(32);
    ASSERT_FALSE(m.p->streamingReports.empty());
    EXPECT_TRUE(m.p->streamingReports.back().streaming);
    EXPECT_EQ(m.p->output(1)[31], 0.25f);
    m.p->runFor(44100, 256);
    EXPECT_TRUE(m.p->sleepRequests.empty()) << "keeps running";
}

struct Latency
{
    ControlModule m;
    explicit Latency(bool offerProcessorHost = true)
        : m(L"QW_RepLat", 2, [=](qwhost::ProcessingHost& h) { h.processorHost = offerProcessorHost; })
    {
        m.start();
    }
    int32_t report(double samples, double ms, int unit)
    {
        m.set("Latency Samples", samples);
        m.set("Latency ms", ms);
        m.set("Unit", unit);
        m.step();
        return m.p->latencyReports.empty() ? -12345 : m.p->latencyReports.back();
    }
};

TEST(RepLat, ReportsTheLatencyInSamples)
{
    Latency l;
    EXPECT_EQ(l.report(64, 0, 0), 64);
    EXPECT_EQ(l.report(-5, 0, 0), 0);
    // Milliseconds: (ms x 0.001) x rate in float steps, truncated.
    EXPECT_EQ(l.report(0, 10, 1), 441);
    EXPECT_EQ(l.report(0, 2.5, 3), static_cast<int>((2.5f * 0.001f) * 44100.0f));
    EXPECT_EQ(l.report(0, -10, 1), 0);
    // Huge or NaN times stay inside the 32-bit range.
    EXPECT_EQ(l.report(0, 1e30, 1), INT_MAX);
    EXPECT_EQ(l.report(0, FLT_MAX, 1), INT_MAX);
    EXPECT_EQ(l.report(0, kInf, 1), INT_MAX);
    EXPECT_EQ(l.report(0, -kInf, 1), 0);
    EXPECT_EQ(l.report(0, kNaN, 1), 0);
    EXPECT_EQ(l.report(INT_MIN, 0, 0), 0);

    const size_t before = l.m.p->latencyReports.size();
    l.m.p->setConstant(0, 0.5f);
    l.m.p->run(16);
    EXPECT_EQ(l.m.p->latencyReports.size(), before) << "the signal alone reports nothing";
}

TEST(RepLat, PassesTheSignalUnchanged)
{
    Latency l;
    l.m.p->setStreaming(0, true);
    for (int i = 0; i < 64; ++i)
        l.m.p->input(0)[i] = 0.01f * i - 0.3f;
    l.m.p->run(64);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(l.m.p->output(4)[i], 0.01f * i - 0.3f);
    EXPECT_TRUE(l.m.p->streamingReports.back().streaming);
    l.m.p->setConstant(0, 0.0f, 5);
    l.m.p->run(64);
    EXPECT_FALSE(l.m.p->streamingReports.back().streaming);
    EXPECT_EQ(l.m.p->streamingReports.back().position, 5);
}

TEST(RepLat, WithoutTheProcessorHostNothingIsReported)
{
    Latency l(false);
    EXPECT_EQ(l.report(0, 10, 1), -12345);
    EXPECT_EQ(l.report(100, 0, 0), -12345);
    EXPECT_EQ(l.m.p->hostReferences(), 2) << "the module holds one reference: the host";
}

TEST(HostFacts, OversamplingFactor)
{
    struct Row
    {
        int factor;
        double oversampled, out;
    };
    for (auto r : {Row{0, 0, 1}, Row{1, 1, 1}, Row{4, 1, 4}, Row{-3, 1, 1}, Row{INT_MAX, 1, INT_MAX}})
    {
        ControlModule m(L"QW_OvsFac");
        m.start();
        m.set("Oversampling", r.factor);
        m.step();
        EXPECT_EQ(m.value("Oversampled"), r.oversampled) << r.factor;
        EXPECT_EQ(m.value("Factor"), r.out) << r.factor;
    }
}

TEST(HostFacts, RenderMode)
{
    ControlModule m(L"QW_RenderMode");
    m.start();
    EXPECT_EQ(m.value("Offline"), 0);
    m.set("Render Mode", 2);
    m.step();
    EXPECT_EQ(m.value("Offline"), 1);
}

TEST(HostFacts, BlockSizeIsTheHosts)
{
    for (int size : {64, 100, 4096})
    {
        qwhost::ProcessingHost host;
        host.blockSize = size;
        auto p = host.create(qwtest::bundle("signalkit"), L"QW_BlockSize");
        p->graphStart();
        p->run(1);
        ASSERT_FALSE(p->updates.empty());
        EXPECT_EQ(p->updates.back().asInt(), size);
    }
}

TEST(Context, ProcessingHalfSendsItsTwoFlagsAtGraphStart)
{
    ControlModule m(L"QW_Context");
    m.p->graphStart();
    m.step();
    ASSERT_EQ(m.p->updates.size(), 2u) << "nothing else at graph start";
    EXPECT_EQ(m.p->updates[0].pin, 1);
    EXPECT_TRUE(m.p->updates[0].asBool());
    EXPECT_EQ(m.p->updates[1].pin, 0);
    EXPECT_TRUE(m.p->updates[1].asBool());
}

TEST(Context, InterfaceHalfCopiesItsFirstPinToItsSecond)
{
    for (auto echo : {qwhost::Echo::None, qwhost::Echo::Inside, qwhost::Echo::Later})
    {
        SCOPED_TRACE(static_cast<int>(echo));
        qwhost::GuiHost host;
        host.echo = echo;
        auto g = host.create(qwtest::bundle("signalkit"), L"QW_Context");
        EXPECT_TRUE(g->transmits.empty());
        for (bool v : {true, true, false, true})
        {
            g->setBool(0, v);
            g->deliverEchoes();
        }
        std::vector<bool> copied;
        for (auto* t : g->transmitsOf(1))
            copied.push_back(t->asBool());
        EXPECT_EQ(copied, (std::vector<bool>{true, false, true}));
        EXPECT_TRUE(g->transmitsOf(0).empty());
    }
}
} // namespace
