// Both halves of each module on two threads, as a host runs them: the
// processing half block after block on one, the interface half on another,
// the messages between them through the host's queues. Every value that
// arrives on the other side must be one that was sent, whole. Built with
// ThreadSanitizer (scripts/tsan.sh), the run also shows that the halves share
// no memory without ordering it.
//
// QW_THREAD_SECONDS sets how long each module runs (default 0.2 s).
#include "bundle.h"
#include "mp_sdk_common.h"
#include "threaded_pair.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace
{
std::chrono::milliseconds runTime()
{
    const char* s = std::getenv("QW_THREAD_SECONDS");
    const double seconds = s ? std::atof(s) : 0.2;
    return std::chrono::milliseconds(static_cast<int64_t>(std::max(seconds, 0.01) * 1000.0));
}

// Both halves of a module of the built bundle, run in blocks of 64.
std::unique_ptr<qwhost::ThreadedPair> pairOf(const wchar_t* id)
{
    static const auto bundle = qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/samplekit.so");
    auto pair = std::make_unique<qwhost::ThreadedPair>();
    pair->processing.blockSize = 64;
    pair->add(bundle, id);
    return pair;
}

// A blob that tells what it must hold: its serial, then bytes made from it.
std::vector<uint8_t> value(uint32_t serial)
{
    std::vector<uint8_t> v(4 + serial % 200);
    std::memcpy(v.data(), &serial, 4);
    for (size_t i = 4; i < v.size(); ++i)
        v[i] = static_cast<uint8_t>(serial * 7 + i);
    return v;
}

bool wellFormed(const std::vector<uint8_t>& v, uint32_t* serial = nullptr)
{
    uint32_t s = 0;
    if (v.size() < 4)
        return false;
    std::memcpy(&s, v.data(), 4);
    if (serial)
        *serial = s;
    return v == value(s);
}

// The signal the recorders record: the sample's own index, kept exact in a float.
float signalAt(int64_t t)
{
    return static_cast<float>(t & 0xFFFFF);
}

// A recording: consecutive sample indexes, as many as its frame count says.
bool consecutive(const std::vector<uint8_t>& bytes)
{
    std::vector<float> f(bytes.size() / 4);
    std::memcpy(f.data(), bytes.data(), f.size() * 4);
    if (f.empty() || bytes.size() % 4)
        return false;
    const int64_t first = static_cast<int64_t>(f[0]);
    for (size_t i = 0; i < f.size(); ++i)
        if (f[i] != signalAt(first + static_cast<int64_t>(i)))
            return false;
    return true;
}
} // namespace

TEST(BothHalvesOnTwoThreads, Bridges)
{
    for (const wchar_t* id : {L"QW_BridgeDSP2GUIBlob", L"QW_BridgeBlobDual"})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        const bool dual = id == std::wstring(L"QW_BridgeBlobDual");
        auto pair = pairOf(id);

        constexpr uint32_t kFromGui = 0x80000000u;
        uint32_t toGui = 0, fromGui = kFromGui;
        // Each thread counts on its own.
        int64_t atGui = 0, badAtGui = 0, atDsp = 0, badAtDsp = 0;
        qwhost::ThreadedPair::Hooks hooks;
        hooks.beforeBlock = [&](qwhost::Processor& p, int64_t) { p.setBlob(0, value(toGui++)); };
        hooks.afterBlock = [&](qwhost::Processor& p) {
            for (auto& u : p.updates)
            {
                uint32_t serial;
                if (u.pin != 1 || u.data.empty())
                    continue;
                badAtDsp += !wellFormed(u.data, &serial);
                atDsp += serial >= kFromGui;
            }
        };
        hooks.onGui = [&](qwhost::GuiModule& g) {
            for (auto& t : g.transmits)
            {
                badAtGui += !wellFormed(t.data);
                ++atGui;
            }
            g.transmits.clear();
            if (dual)
                g.setBlob(0, value(fromGui++));
        };
        pair->run(runTime(), 64, hooks);

        EXPECT_EQ(badAtGui, 0);
        EXPECT_EQ(badAtDsp, 0);
        EXPECT_GT(atGui, 0) << pair->blocksRun() << " blocks, " << pair->messagesToGui() << " messages";
        if (dual)
        {
            EXPECT_GT(atDsp, 0) << pair->messagesToAudio() << " messages";
        }
    }
}

TEST(BothHalvesOnTwoThreads, Recorders)
{
    for (const wchar_t* id : {L"QW_AudioRecorder", L"QW_AudioRecorder2"})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        const bool gated = id == std::wstring(L"QW_AudioRecorder");
        auto pair = pairOf(id);
        pair->processor().setStreaming(0, true);
        if (gated)
            pair->processor().setStreaming(1, true);
        else
            pair->processor().setInt(3, 1); // to the interface half

        int64_t recordings = 0, bad = 0;
        qwhost::ThreadedPair::Hooks hooks;
        // Three blocks recorded, one not, over and over.
        hooks.beforeBlock = [&](qwhost::Processor& p, int64_t block) {
            const bool on = block % 4 != 3;
            for (int i = 0; i < 64; ++i)
            {
                p.input(0)[i] = signalAt(p.now() + i);
                if (gated)
                    p.input(1)[i] = on ? 1.0f : 0.0f;
            }
            if (!gated && block % 4 == 0)
                p.setBool(1, true);
            else if (!gated && block % 4 == 3)
                p.setBool(1, false);
        };
        hooks.onGui = [&](qwhost::GuiModule& g) {
            for (size_t i = 0; i < g.transmits.size(); ++i)
            {
                const auto& t = g.transmits[i];
                if (t.pin != 0)
                    continue;
                ++recordings;
                bad += !consecutive(t.data) || t.data.size() != 192 * 4;
            }
            g.transmits.clear();
        };
        pair->run(runTime(), 64, hooks);

        EXPECT_EQ(bad, 0);
        EXPECT_GT(recordings, 0) << pair->blocksRun() << " blocks";
    }
}
