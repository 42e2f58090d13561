// The WAV loaders and savers of samplekit2 through the built bundle: what the
// loaders publish (descriptors, rate, loop, bits), the two-buffer rule seen by
// a reader downstream, how the interface loader keeps and releases its
// frames, what the savers write (checked with a RIFF reader of this test),
// and hostile names, files, descriptors and pin values.
#include "WavFile32.h"
#include "mp_sdk_audio.h"
#include "mp_sdk_gui.h"
#include "patch.h"
#include "sample_fixture.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
namespace fs = std::filesystem;
using qwhost::Echo;

using s2test::asDesc;
using s2test::bytesOf;
using s2test::Desc;
using s2test::framesAt;
using s2test::kMagic;
using s2test::released;

std::wstring wide(const std::string& s)
{
    return gmpi_sdk::fromUtf8(s);
}

// Distinct frames for each fixture: exact in a 32-bit float file.
std::vector<float> tone(int n, float step, float level = 0.5f)
{
    std::vector<float> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<size_t>(i)] = level * std::sin(step * static_cast<float>(i + 1));
    return v;
}

// --- a WAV reader of its own, to check what the savers wrote -------------

struct Riff
{
    bool ok = false;
    std::string why;
    int tag = 0, channels = 0, rate = 0, bits = 0;
    bool hasSmpl = false;
    uint32_t loops = 0, loopStart = 0, loopEnd = 0;
    std::vector<std::vector<float>> data;
};

uint32_t le(const std::vector<uint8_t>& b, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<uint32_t>(b[at + static_cast<size_t>(i)]) << (8 * i);
    return v;
}

Riff readRiff(const std::string& path)
{
    Riff r;
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0)
    {
        r.why = "no RIFF/WAVE header";
        return r;
    }
    if (le(b, 4, 4) != b.size() - 8)
    {
        r.why = "RIFF size " + std::to_string(le(b, 4, 4)) + " for " + std::to_string(b.size()) + " bytes";
        return r;
    }
    size_t pos = 12;
    bool fmt = false, data = false;
    while (pos + 8 <= b.size())
    {
        const std::string id(reinterpret_cast<const char*>(&b[pos]), 4);
        const uint32_t size = le(b, pos + 4, 4);
        const size_t body = pos + 8;
        if (body + size > b.size())
        {
            r.why = "chunk " + id + " runs past the end";
            return r;
        }
        if (id == "fmt ")
        {
            fmt = true;
            r.tag = static_cast<int>(le(b, body, 2));
            r.channels = static_cast<int>(le(b, body + 2, 2));
            r.rate = static_cast<int>(le(b, body + 4, 4));
            r.bits = static_cast<int>(le(b, body + 14, 2));
        }
        else if (id == "smpl")
        {
            r.hasSmpl = true;
            r.loops = le(b, body + 28, 4);
            r.loopStart = le(b, body + 44, 4);
            r.loopEnd = le(b, body + 48, 4);
        }
        else if (id == "data" && fmt && r.channels > 0)
        {
            data = true;
            const size_t bytes = static_cast<size_t>(r.bits / 8);
            const size_t frames = size / (bytes * static_cast<size_t>(r.channels));
            r.data.assign(static_cast<size_t>(r.channels), {});
            for (size_t f = 0; f < frames; ++f)
                for (int c = 0; c < r.channels; ++c)
                {
                    const size_t at = body + (f * static_cast<size_t>(r.channels) + static_cast<size_t>(c)) * bytes;
                    float v;
                    if (r.bits == 8)
                        v = (static_cast<int>(b[at]) - 128) / 128.0f;
                    else if (r.bits == 16)
                        v = static_cast<int16_t>(le(b, at, 2)) / 32768.0f;
                    else if (r.bits == 24)
                        v = static_cast<float>(static_cast<int32_t>(le(b, at, 3) << 8) >> 8) / 8388608.0f;
                    else
                    {
                        const uint32_t u = le(b, at, 4);
                        std::memcpy(&v, &u, 4);
                    }
                    r.data[static_cast<size_t>(c)].push_back(v);
                }
        }
        pos = body + size + (size & 1);
    }
    r.ok = fmt && data;
    if (!r.ok)
        r.why = "no fmt or data chunk";
    return r;
}

// --- pins -----------------------------------------------------------------

enum LoaderPin
{
    L_AUTO,
    L_REPEAT,
    L_FILE,
    L_TRIGGER,
    L_RATE,
    L_LOOP_START,
    L_LOOP_END,
    L_BITS,
    L_CHANNEL,
};
enum SaverPin
{
    S_AUTO,
    S_FILE,
    S_TRIGGER,
    S_RATE,
    S_LOOP_START,
    S_LOOP_END,
    S_BITS,
    S_CHANNEL,
};
enum GuiLoaderPin
{
    GL_AUTO,
    GL_REPEAT,
    GL_ALT_FILE,
    GL_FILE,
    GL_TRIGGER,
    GL_RATE,
    GL_LOOP_START,
    GL_LOOP_END,
    GL_BITS,
    GL_CHANNEL,
};
enum GuiSaverPin
{
    GS_AUTO,
    GS_ALT_FILE,
    GS_FILE,
    GS_TRIGGER,
    GS_RATE,
    GS_LOOP_START,
    GS_LOOP_END,
    GS_BITS,
    GS_BITS_LIST,
    GS_CHANNEL,
};

// The last value the module sent on a pin; null when it sent none.
const qwhost::PinUpdate* lastUpdate(const qwhost::Processor& p, int pin)
{
    for (auto it = p.updates.rbegin(); it != p.updates.rend(); ++it)
        if (it->pin == pin)
            return &*it;
    return nullptr;
}

std::vector<const qwhost::PinUpdate*> updatesOf(const qwhost::Processor& p, int pin)
{
    std::vector<const qwhost::PinUpdate*> out;
    for (auto& u : p.updates)
        if (u.pin == pin)
            out.push_back(&u);
    return out;
}

class SampleFiles : public qwtest::CommandTest
{
protected:
    void SetUp() override
    {
        CommandTest::SetUp();
        host.resourceFolder = dir_.string();
        gui.resourceFolder = dir_.string();
        fs::create_directories(dir_ / "in");
    }

    // A fixture in the scratch folder's "in" folder (a bare name: the
    // resource folder itself), written by the project's writer.
    std::string wav(const std::string& name, const std::vector<std::vector<float>>& channels, int rate = 44100,
                    int bits = 32, int loopStart = -1, int loopEnd = -1) const
    {
        qw::WavFile32 w;
        for (size_t c = 0; c < channels.size(); ++c)
            w.setChannel(static_cast<int>(c), static_cast<int>(channels[c].size()), channels[c].data());
        w.sampleRate = rate;
        w.loopStart = loopStart;
        w.loopEnd = loopEnd;
        const std::string path = name.find('/') == std::string::npos ? file("in/" + name) : file(name);
        EXPECT_TRUE(w._saveWav(wide(path), bits)) << path;
        return path;
    }

    std::unique_ptr<qwhost::Processor> loader(int channels)
    {
        host.autoDuplicateCount = channels;
        auto p = host.create(kit, L"QW_S2_SampleLoaderDSP");
        p->startGraph();
        return p;
    }
    std::unique_ptr<qwhost::Processor> saver(int channels)
    {
        host.autoDuplicateCount = channels;
        auto p = host.create(kit, L"QW_S2_SampleSaverDSP");
        p->startGraph();
        return p;
    }
    std::unique_ptr<qwhost::GuiModule> guiLoader(int channels)
    {
        gui.autoDuplicateCount = channels;
        return gui.create(kit, L"QW_S2_SampleLoaderGUI");
    }
    std::unique_ptr<qwhost::GuiModule> guiSaver(int channels)
    {
        gui.autoDuplicateCount = channels;
        return gui.create(kit, L"QW_S2_SampleSaverGUI");
    }

    // A descriptor the processing loader publishes for a mono file; the
    // loader keeps the frames alive.
    Desc publish(const std::string& path)
    {
        sources_.push_back(loader(1));
        auto& p = *sources_.back();
        p.setText(L_FILE, wide(path));
        p.run(16);
        const auto* u = lastUpdate(p, L_CHANNEL);
        EXPECT_TRUE(u && u->data.size() == sizeof(Desc)) << "no sample from " << path;
        return u ? asDesc(u->data).value_or(Desc{}) : Desc{};
    }

    // Saves through the processing saver with these channels; answers the path it should write.
    void saveDsp(const std::vector<std::vector<uint8_t>>& channels, const std::string& name,
                 std::function<void(qwhost::Processor&)> setup = {})
    {
        auto s = saver(static_cast<int>(channels.size()));
        s->setInt(S_BITS, 2); // 32-bit float: frames compare exactly
        if (setup)
            setup(*s);
        for (size_t i = 0; i < channels.size(); ++i)
            s->setBlob(S_CHANNEL + static_cast<int>(i), channels[i]);
        s->setText(S_FILE, wide(name));
        s->setBool(S_TRIGGER, true);
        s->run(1);
    }
    void saveGui(const std::vector<std::vector<uint8_t>>& channels, const std::string& name,
                 std::function<void(qwhost::GuiModule&)> setup = {})
    {
        auto s = guiSaver(static_cast<int>(channels.size()));
        s->setInt(GS_BITS, 2);
        if (setup)
            setup(*s);
        for (size_t i = 0; i < channels.size(); ++i)
            s->setBlob(GS_CHANNEL + static_cast<int>(i), channels[i]);
        s->setText(GS_FILE, wide(name));
        s->setBool(GS_TRIGGER, true);
        s->deliverEchoes();
    }

    std::shared_ptr<qwhost::Bundle> kit = qwtest::bundle("samplekit2");
    qwhost::ProcessingHost host;
    qwhost::GuiHost gui;
    std::vector<std::unique_ptr<qwhost::Processor>> sources_;
};

// ===========================================================================
// Processing loader

TEST_F(SampleFiles, LoaderPublishesEachChannelAndRepeatsTheLastOnSurplusOutputs)
{
    const auto left = tone(50, 0.1f), right = tone(50, 0.37f);
    const std::string stereo = wav("stereo.wav", {left, right});
    for (bool repeat : {true, false})
    {
        auto p = loader(4);
        p->setBool(L_REPEAT, repeat);
        p->setText(L_FILE, wide(stereo));
        p->run(64);
        const std::vector<float>* expected[4] = {&left, &right, repeat ? &right : nullptr, repeat ? &right : nullptr};
        for (int i = 0; i < 4; ++i)
        {
            const auto* u = lastUpdate(*p, L_CHANNEL + i);
            ASSERT_NE(u, nullptr) << "output " << i;
            if (!expected[i])
            {
                EXPECT_TRUE(u->data.empty()) << "output " << i << " should carry the empty sample";
                continue;
            }
            const auto d = asDesc(u->data);
            ASSERT_TRUE(d) << "output " << i << " sent " << u->data.size() << " bytes";
            EXPECT_EQ(d->magic, kMagic);
            EXPECT_NE(d->token, 0u);
            EXPECT_EQ(framesAt(*d), *expected[i]) << "output " << i << ", repeat " << repeat;
        }
    }
}

TEST_F(SampleFiles, LoaderReportsRateLoopAndBitsAndKeepsTheLoopOfAFileWithout)
{
    const std::string looped = wav("looped.wav", {tone(64, 0.2f)}, 22050, 24, 3, 40);
    const std::string plain = wav("plain.wav", {tone(64, 0.3f)}, 48000, 16);
    auto p = loader(1);
    p->setText(L_FILE, wide(looped));
    p->run(32);
    ASSERT_NE(lastUpdate(*p, L_RATE), nullptr);
    EXPECT_EQ(lastUpdate(*p, L_RATE)->asFloat(), 22050.0f);
    EXPECT_EQ(lastUpdate(*p, L_BITS)->asInt(), 24);
    EXPECT_EQ(lastUpdate(*p, L_LOOP_START)->asInt(), 3);
    EXPECT_EQ(lastUpdate(*p, L_LOOP_END)->asInt(), 40);
    const size_t loopUpdates = updatesOf(*p, L_LOOP_START).size() + updatesOf(*p, L_LOOP_END).size();

    p->setText(L_FILE, wide(plain));
    p->run(32);
    EXPECT_EQ(lastUpdate(*p, L_RATE)->asFloat(), 48000.0f);
    EXPECT_EQ(lastUpdate(*p, L_BITS)->asInt(), 16);
    EXPECT_EQ(updatesOf(*p, L_LOOP_START).size() + updatesOf(*p, L_LOOP_END).size(), loopUpdates)
        << "a file without a loop leaves the loop pins as they were";
}

TEST_F(SampleFiles, LoaderRetriesWithTheLastComponentAsTheHostResolvesIt)
{
    const auto frames = tone(20, 0.5f);
    wav(file("found.wav"), {frames}); // in the resource folder itself
    auto p = loader(1);
    p->setText(L_FILE, L"/no/such/folder/found.wav");
    p->run(8);
    const auto* u = lastUpdate(*p, L_CHANNEL);
    ASSERT_TRUE(u && asDesc(u->data));
    EXPECT_EQ(framesAt(*asDesc(u->data)), frames);
}

TEST_F(SampleFiles, FailedLoadEmptiesTheChannelsAndLeavesRateLoopAndBits)
{
    const std::string good = wav("good.wav", {tone(30, 0.1f), tone(30, 0.2f)}, 32000, 24, 1, 9);
    auto p = loader(2);
    p->setText(L_FILE, wide(good));
    p->run(8);
    ASSERT_TRUE(asDesc(lastUpdate(*p, L_CHANNEL)->data));
    const size_t before[4] = {updatesOf(*p, L_RATE).size(), updatesOf(*p, L_LOOP_START).size(),
                              updatesOf(*p, L_LOOP_END).size(), updatesOf(*p, L_BITS).size()};

    p->setText(L_FILE, wide(file("missing.wav")), 5);
    p->run(8);
    for (int i = 0; i < 2; ++i)
    {
        const auto* u = lastUpdate(*p, L_CHANNEL + i);
        EXPECT_TRUE(u->data.empty()) << "channel " << i;
        EXPECT_EQ(u->position, 5) << "at the position of the request";
    }
    const size_t after[4] = {updatesOf(*p, L_RATE).size(), updatesOf(*p, L_LOOP_START).size(),
                             updatesOf(*p, L_LOOP_END).size(), updatesOf(*p, L_BITS).size()};
    EXPECT_TRUE(std::equal(before, before + 4, after));
}

TEST_F(SampleFiles, NameChangeWithAutoLoadOffWaitsForTheTrigger)
{
    const std::string path = wav("wait.wav", {tone(10, 0.4f)});
    auto p = loader(1);
    p->setBool(L_AUTO, false);
    p->setText(L_FILE, wide(path));
    p->run(16);
    for (auto* u : updatesOf(*p, L_CHANNEL))
        EXPECT_TRUE(u->data.empty()) << "nothing loaded yet";
    p->setBool(L_TRIGGER, true, 3);
    p->run(16);
    const auto* u = lastUpdate(*p, L_CHANNEL);
    ASSERT_TRUE(asDesc(u->data));
    EXPECT_EQ(u->position, 3);
    // A trigger that stays on loads nothing more.
    const size_t sent = updatesOf(*p, L_CHANNEL).size();
    p->setBool(L_TRIGGER, true, 1);
    p->run(16);
    EXPECT_EQ(updatesOf(*p, L_CHANNEL).size(), sent);
}

TEST_F(SampleFiles, SerialCountsNonEmptySendsFromZero)
{
    const std::string a = wav("a.wav", {tone(10, 0.1f)});
    const std::string b = wav("b.wav", {tone(12, 0.2f)});
    auto p = loader(1);
    for (const std::string& name : {a, file("missing.wav"), b})
    {
        p->setText(L_FILE, wide(name));
        p->run(4);
    }
    std::vector<uint32_t> serials;
    size_t empties = 0;
    for (auto* u : updatesOf(*p, L_CHANNEL))
    {
        if (auto d = asDesc(u->data))
            serials.push_back(d->serial);
        else
            ++empties;
    }
    EXPECT_EQ(serials, (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(empties, 2u) << "graph start and the failed load";
}

// A reader downstream runs after the loader in the same block: the frames
// published before a change must stay intact up to the change's position.
TEST_F(SampleFiles, TwoBufferRuleSeenByAReaderDownstream)
{
    const std::vector<std::vector<float>> content = {tone(40, 0.11f), tone(41, 0.23f), tone(42, 0.31f)};
    std::vector<std::string> names;
    for (size_t i = 0; i < content.size(); ++i)
        names.push_back(wav("f" + std::to_string(i) + ".wav", {content[i]}));

    struct Load
    {
        int block, position;
    };
    const std::vector<std::vector<Load>> scenarios = {
        {{0, 0}, {1, 0}, {2, 0}},
        {{0, 0}, {1, 17}},
        {{0, 17}, {1, 30}},
    };
    for (size_t s = 0; s < scenarios.size(); ++s)
    {
        qwhost::Patch patch;
        patch.processing.resourceFolder = dir_.string();
        patch.processing.blockSize = 64;
        patch.processing.autoDuplicateCount = 1;
        auto& load = patch.addProcessor(kit, L"QW_S2_SampleLoaderDSP");
        auto& save = patch.addProcessor(kit, L"QW_S2_SampleSaverDSP");
        patch.connect(load, "Channel", save, "Channel");
        patch.start();
        save.setBool(S_AUTO, true);
        save.setInt(S_BITS, 2);

        std::optional<Desc> previous;
        const auto& loads = scenarios[s];
        for (size_t k = 0; k < loads.size(); ++k)
        {
            const int at = loads[k].position;
            load.setText(L_FILE, wide(names[k]), at);
            // The reader saves what it has right after the change.
            const std::string out = "out" + std::to_string(s) + "_" + std::to_string(k) + ".wav";
            save.setText(S_FILE, wide(out), at + 1);
            patch.run(64);

            const auto* u = lastUpdate(load, L_CHANNEL);
            ASSERT_TRUE(u && u->block == loads[k].block && u->position == at) << "scenario " << s << " load " << k;
            const Desc now = *asDesc(u->data);
            EXPECT_EQ(framesAt(now), content[k]) << "scenario " << s << " load " << k;
            if (previous && at > 0)
            {
                EXPECT_EQ(framesAt(*previous), content[k - 1])
                    << "scenario " << s << ": the frames before position " << at << " were overwritten";
            }
            const Riff saved = readRiff(file(out));
            ASSERT_TRUE(saved.ok) << saved.why;
            EXPECT_EQ(saved.data[0], content[k]) << "what the reader took at the change";
            previous = now;
        }
    }
}

// ===========================================================================
// Descriptors a receiver accepts or refuses

// The savers' tables run with the host's echo inside the call, later and not
// at all (the interface saver is the one that sees it).
class Savers : public SampleFiles, public ::testing::WithParamInterface<Echo>
{
protected:
    void SetUp() override
    {
        SampleFiles::SetUp();
        gui.echo = GetParam();
    }
};

std::string echoName(const ::testing::TestParamInfo<Echo>& info)
{
    return info.param == Echo::Inside ? "Inside" : info.param == Echo::Later ? "Later" : "None";
}

INSTANTIATE_TEST_SUITE_P(Echo, Savers, ::testing::Values(Echo::Inside, Echo::Later, Echo::None), echoName);

TEST_P(Savers, DescriptorTableThroughBothSavers)
{
    const auto frames = tone(40, 0.17f);
    const Desc good = publish(wav("good.wav", {frames}));
    ASSERT_EQ(good.count, 40);
    static const float own[4] = {0.5f, 0.5f, 0.5f, 0.5f};

    struct Row
    {
        const char* what;
        std::vector<uint8_t> bytes;
        int frames; // frames written; 0: no file
    };
    auto altered = [&](auto change) {
        Desc d = good;
        change(d);
        return bytesOf(d);
    };
    std::vector<uint8_t> short23 = bytesOf(good), long25 = bytesOf(good);
    short23.pop_back();
    long25.push_back(0);
    const std::vector<Row> rows = {
        {"as published", bytesOf(good), 40},
        {"fewer frames", altered([](Desc& d) { d.count = 25; }), 25},
        {"size 0 (empty)", {}, 0},
        {"23 bytes", short23, 0},
        {"25 bytes", long25, 0},
        {"count 0", altered([](Desc& d) { d.count = 0; }), 0},
        {"count -1", altered([](Desc& d) { d.count = -1; }), 0},
        {"address 0", altered([](Desc& d) { d.address = 0; }), 0},
        {"wrong magic", altered([](Desc& d) { d.magic = 0x4C504D53; }), 0},
        {"wrong token", altered([](Desc& d) { d.token ^= 0x80000000u; }), 0},
        {"forged: another sender's frames, token 0", altered([](Desc& d) {
             d.address = reinterpret_cast<uintptr_t>(own);
             d.count = 4;
             d.token = 0;
         }),
         0},
    };
    for (size_t i = 0; i < rows.size(); ++i)
    {
        const Row& r = rows[i];
        const std::string dspName = "dsp" + std::to_string(i) + ".wav";
        const std::string guiName = "gui" + std::to_string(i) + ".wav";
        saveDsp({r.bytes}, dspName);
        saveGui({r.bytes}, guiName);
        for (const std::string& name : {dspName, guiName})
        {
            if (r.frames == 0)
            {
                EXPECT_FALSE(fs::exists(file(name))) << r.what << ": " << name << " was written";
                continue;
            }
            const Riff w = readRiff(file(name));
            ASSERT_TRUE(w.ok) << r.what << ": " << name << ": " << w.why;
            EXPECT_EQ(w.data[0], std::vector<float>(frames.begin(), frames.begin() + r.frames)) << r.what;
        }
    }
}

TEST_P(Savers, RandomDescriptorsAreInvalid)
{
    const Desc good = publish(wav("good.wav", {tone(16, 0.3f)}));
    uint64_t state = 0x1234567;
    auto next = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state >> 33);
    };
    for (int i = 0; i < 200; ++i)
    {
        Desc d;
        d.magic = i % 2 ? kMagic : next();
        d.count = static_cast<int32_t>(next() % 64) + 1;
        d.address = i % 3 ? good.address : (static_cast<uint64_t>(next()) << 32 | next());
        d.serial = next();
        d.token = next();
        if (d.token == good.token)
            continue;
        const std::string name = "r" + std::to_string(i) + ".wav";
        saveDsp({bytesOf(d)}, name);
        saveGui({bytesOf(d)}, name);
        ASSERT_FALSE(fs::exists(file(name))) << "random descriptor " << i << " was accepted";
    }
}

// ===========================================================================
// Interface loader, with the host's echo inside the call, later and not at all

class GuiLoader : public SampleFiles, public ::testing::WithParamInterface<Echo>
{
protected:
    void SetUp() override
    {
        SampleFiles::SetUp();
        gui.echo = GetParam();
    }
    // The descriptor last transmitted on a channel pin (nullopt: the empty sample or none).
    static std::optional<Desc> sent(const qwhost::GuiModule& g, int channel)
    {
        const auto* t = g.lastTransmit(GL_CHANNEL + channel);
        return t ? asDesc(t->data) : std::nullopt;
    }
};

INSTANTIATE_TEST_SUITE_P(Echo, GuiLoader, ::testing::Values(Echo::Inside, Echo::Later, Echo::None), echoName);

TEST_P(GuiLoader, LoopPointsAreKeptInsideTheSample)
{
    const std::string looped = wav("looped.wav", {tone(100, 0.1f)}, 44100, 32, 20, 500);
    const std::string plain = wav("plain.wav", {tone(100, 0.2f)});
    auto g = guiLoader(1);
    g->setText(GL_FILE, wide(looped));
    ASSERT_NE(g->lastTransmit(GL_LOOP_END), nullptr);
    EXPECT_EQ(g->lastTransmit(GL_LOOP_START)->asInt(), 20);
    EXPECT_EQ(g->lastTransmit(GL_LOOP_END)->asInt(), 99);
    g->setText(GL_FILE, wide(plain));
    EXPECT_EQ(g->lastTransmit(GL_LOOP_START)->asInt(), 0);
    EXPECT_EQ(g->lastTransmit(GL_LOOP_END)->asInt(), -1);
    EXPECT_EQ(g->lastTransmit(GL_RATE)->asFloat(), 44100.0f);
    EXPECT_EQ(g->lastTransmit(GL_BITS)->asInt(), 32);
    g->deliverEchoes();
}

TEST_P(GuiLoader, TriggerTakesTheFirstNameThenTheSecond)
{
    const auto a = tone(10, 0.1f), b = tone(11, 0.2f);
    const std::string fa = wav("a.wav", {a}), fb = wav("b.wav", {b});
    {
        auto g = guiLoader(1);
        g->setBool(GL_AUTO, false);
        // Values stored without their handler running: the current name is still empty.
        const std::wstring wa = wide(fa), wb = wide(fb);
        g->setPinOnly(GL_FILE, wa.data(), static_cast<int>(wa.size() * 4));
        g->setPinOnly(GL_ALT_FILE, wb.data(), static_cast<int>(wb.size() * 4));
        g->setBool(GL_TRIGGER, true);
        ASSERT_TRUE(sent(*g, 0));
        EXPECT_EQ(framesAt(*sent(*g, 0)), a);
        g->deliverEchoes();
    }
    {
        auto g = guiLoader(1);
        g->setBool(GL_AUTO, false);
        const std::wstring wb = wide(fb);
        g->setPinOnly(GL_ALT_FILE, wb.data(), static_cast<int>(wb.size() * 4));
        g->setBool(GL_TRIGGER, true);
        ASSERT_TRUE(sent(*g, 0));
        EXPECT_EQ(framesAt(*sent(*g, 0)), b);
        g->deliverEchoes();
    }
}

TEST_P(GuiLoader, PublishesChannelsAndRepeatsTheLast)
{
    const auto left = tone(30, 0.1f), right = tone(30, 0.2f);
    const std::string stereo = wav("stereo.wav", {left, right});
    for (bool repeat : {true, false})
    {
        auto g = guiLoader(4);
        g->setBool(GL_REPEAT, repeat);
        g->setText(GL_FILE, wide(stereo));
        const std::vector<float>* expected[4] = {&left, &right, repeat ? &right : nullptr, repeat ? &right : nullptr};
        for (int i = 0; i < 4; ++i)
        {
            const auto* t = g->lastTransmit(GL_CHANNEL + i);
            ASSERT_NE(t, nullptr);
            if (!expected[i])
                EXPECT_TRUE(t->data.empty()) << i;
            else
                EXPECT_EQ(framesAt(*asDesc(t->data)), *expected[i]) << i;
        }
        g->deliverEchoes();
    }
}

// The loaded frames are released once every channel pin holds a value from
// elsewhere, and never because the module's own value came back.
TEST_P(GuiLoader, FramesLastUntilEveryChannelHasAValueFromElsewhere)
{
    const auto left = tone(64, 0.1f), right = tone(64, 0.2f);
    const std::string stereo = wav("stereo.wav", {left, right});
    const Desc other = publish(wav("other.wav", {tone(8, 0.9f)}));
    auto g = guiLoader(2);
    g->setText(GL_FILE, wide(stereo));
    const Desc d0 = *sent(*g, 0), d1 = *sent(*g, 1);
    g->deliverEchoes();
    // The host hands the module's own values back late, more than once.
    for (int round = 0; round < 2; ++round)
    {
        g->setBlob(GL_CHANNEL, bytesOf(d0));
        g->setBlob(GL_CHANNEL + 1, bytesOf(d1));
    }
    EXPECT_EQ(framesAt(d0), left);
    EXPECT_EQ(framesAt(d1), right);

    g->setBlob(GL_CHANNEL, bytesOf(other));
    EXPECT_EQ(framesAt(d1), right) << "channel 1 still names the loaded frames";
    if (auto r = released(d1))
    {
        EXPECT_FALSE(*r);
    }
    g->setBlob(GL_CHANNEL + 1, {});
    if (auto r = released(d0))
    {
        EXPECT_TRUE(*r) << "frames kept after every channel took another value";
    }
}

// A reload or a failed load: the frames already published stay readable
// while the new values go out, and are released after.
TEST_P(GuiLoader, OldFramesOutliveTheirReplacement)
{
    const auto a0 = tone(50, 0.1f), a1 = tone(50, 0.2f);
    const std::string first = wav("first.wav", {a0, a1});
    const std::string second = wav("second.wav", {tone(70, 0.3f), tone(70, 0.4f)});
    for (bool fail : {false, true})
    {
        auto g = guiLoader(2);
        g->setText(GL_FILE, wide(first));
        g->deliverEchoes();
        const Desc old0 = *sent(*g, 0), old1 = *sent(*g, 1);
        int checked = 0;
        g->onTransmit = [&](const qwhost::GuiValue& v) {
            if (v.pin < GL_CHANNEL)
                return;
            ++checked;
            EXPECT_EQ(framesAt(old0), a0) << "while pin " << v.pin << " is sent";
            EXPECT_EQ(framesAt(old1), a1) << "while pin " << v.pin << " is sent";
        };
        g->setText(GL_FILE, wide(fail ? file("missing.wav") : second));
        g->onTransmit = nullptr;
        EXPECT_EQ(checked, 2);
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(sent(*g, c).has_value(), !fail) << "a failed load sends the empty sample";
        if (auto r = released(old0))
        {
            EXPECT_TRUE(*r) << "the old frames are released after";
        }
        g->deliverEchoes();
    }
}

// The interface saver on the same cords as an interface loader, with each
// echo mode: it writes what the loader published, and holds its list of depths.
TEST_P(GuiLoader, ASaverOnTheSameCordsWritesWhatTheLoaderPublished)
{
    const auto left = tone(80, 0.1f), right = tone(80, 0.2f);
    const std::string stereo = wav("stereo.wav", {left, right});
    qwhost::Patch patch;
    patch.gui.echo = GetParam();
    patch.gui.resourceFolder = dir_.string();
    patch.gui.autoDuplicateCount = 2;
    auto& load = patch.addGui(kit, L"QW_S2_SampleLoaderGUI");
    auto& save = patch.addGui(kit, L"QW_S2_SampleSaverGUI");
    for (int c = 0; c < 2; ++c)
        patch.connect(load, GL_CHANNEL + c, save, GS_CHANNEL + c);
    patch.start();
    save.setInt(GS_BITS, 2);
    load.setText(GL_FILE, wide(stereo));
    load.deliverEchoes();
    save.setText(GS_FILE, L"copy");
    save.setBool(GS_TRIGGER, true);
    const Riff w = readRiff(file("copy.wav"));
    ASSERT_TRUE(w.ok) << w.why;
    ASSERT_EQ(w.channels, 2);
    EXPECT_EQ(w.data[0], left);
    EXPECT_EQ(w.data[1], right);

    save.setText(GS_BITS_LIST, L"8,12");
    save.deliverEchoes();
    ASSERT_NE(save.lastTransmit(GS_BITS_LIST), nullptr);
    EXPECT_EQ(save.lastTransmit(GS_BITS_LIST)->asText(), L"16,24,32");
    EXPECT_LE(save.transmitsOf(GS_BITS_LIST).size(), 3u) << "the list and its echo went round";
}

// ===========================================================================
// Savers

TEST_P(Savers, SaversAppendTheSuffixUnlessTheNameEndsInIt)
{
    const Desc d = publish(wav("src.wav", {tone(10, 0.1f)}));
    struct Row
    {
        const char* name;
        const char* written; // null: nothing
    };
    const Row rows[] = {{"a", "a.wav"}, {"a.WAV", "a.WAV.wav"}, {"a.wav", "a.wav"}, {"", nullptr}, {"av", "av.wav"}};
    for (bool dsp : {true, false})
        for (const Row& r : rows)
        {
            fs::remove_all(dir_ / "out");
            fs::create_directories(dir_ / "out");
            const std::string name = r.name[0] ? std::string("out/") + r.name : "";
            if (dsp)
                saveDsp({bytesOf(d)}, name);
            else
                saveGui({bytesOf(d)}, name);
            std::vector<std::string> found;
            for (auto& e : fs::directory_iterator(dir_ / "out"))
                found.push_back(e.path().filename().string());
            EXPECT_EQ(found, r.written ? std::vector<std::string>{r.written} : std::vector<std::string>{})
                << (dsp ? "processing" : "interface") << " saver, name '" << r.name << "'";
        }
}

TEST_P(Savers, BitDepthIndex)
{
    const Desc d = publish(wav("src.wav", {tone(10, 0.1f)}));
    const int kNone = 0;
    struct Row
    {
        int index, guiBits, dspBits;
    };
    const Row rows[] = {
        {-1, 16, 8},
        {0, 16, 16},
        {1, 24, 24},
        {2, 32, 32},
        {3, 32, kNone},
        {7, 32, kNone},
        {-2, 16, kNone},
        {INT32_MIN, 16, kNone},
        {INT32_MAX, 32, kNone},
    };
    for (const Row& r : rows)
    {
        const std::string tag = std::to_string(r.index);
        saveDsp({bytesOf(d)}, "dsp" + tag + ".wav", [&](qwhost::Processor& s) { s.setInt(S_BITS, r.index); });
        saveGui({bytesOf(d)}, "gui" + tag + ".wav", [&](qwhost::GuiModule& s) { s.setInt(GS_BITS, r.index); });
        const Riff g = readRiff(file("gui" + tag + ".wav"));
        ASSERT_TRUE(g.ok) << "index " << r.index << ": " << g.why;
        EXPECT_EQ(g.bits, r.guiBits) << "interface saver, index " << r.index;
        EXPECT_EQ(g.tag, r.guiBits == 32 ? 3 : 1);
        if (r.dspBits == kNone)
        {
            EXPECT_FALSE(fs::exists(file("dsp" + tag + ".wav"))) << "processing saver, index " << r.index;
            continue;
        }
        const Riff p = readRiff(file("dsp" + tag + ".wav"));
        ASSERT_TRUE(p.ok) << "index " << r.index << ": " << p.why;
        EXPECT_EQ(p.bits, r.dspBits) << "processing saver, index " << r.index;
    }
}

TEST_P(Savers, RateToWrite)
{
    const Desc d = publish(wav("src.wav", {tone(10, 0.1f)}));
    host.sampleRate = 32000.0f;
    const float inf = std::numeric_limits<float>::infinity();
    struct Row
    {
        const char* what;
        float rate;
        int gui, dsp; // rate written
        int bitsIndex = 0;
    };
    const Row rows[] = {
        {"0", 0.0f, 44100, 32000},
        {"22050.7", 22050.7f, 22050, 22050},
        {"-5", -5.0f, 44100, 32000},
        {"NaN", std::nanf(""), 44100, 32000},
        {"+inf", inf, 44100, 32000},
        {"-inf", -inf, 44100, 32000},
        {"1e30", 1e30f, 44100, 32000},
        {"3e9 (beyond a 32-bit count)", 3e9f, 44100, 32000},
        {"1.5e9 at 32 bits (byte rate beyond 32 bits)", 1.5e9f, 44100, 32000, 2},
    };
    for (size_t i = 0; i < std::size(rows); ++i)
    {
        const Row& r = rows[i];
        const std::string tag = std::to_string(i);
        saveDsp({bytesOf(d)}, "dsp" + tag + ".wav", [&](qwhost::Processor& s) {
            s.setFloat(S_RATE, r.rate);
            s.setInt(S_BITS, r.bitsIndex);
        });
        saveGui({bytesOf(d)}, "gui" + tag + ".wav", [&](qwhost::GuiModule& s) {
            s.setFloat(GS_RATE, r.rate);
            s.setInt(GS_BITS, r.bitsIndex);
        });
        const Riff p = readRiff(file("dsp" + tag + ".wav")), g = readRiff(file("gui" + tag + ".wav"));
        ASSERT_TRUE(p.ok && g.ok) << r.what;
        EXPECT_EQ(p.rate, r.dsp) << "processing saver, rate " << r.what;
        EXPECT_EQ(g.rate, r.gui) << "interface saver, rate " << r.what;
    }
}

TEST_P(Savers, LoopPointsWithAnEndOfMinusOneWriteNoLoop)
{
    const Desc d = publish(wav("src.wav", {tone(30, 0.1f)}));
    struct Row
    {
        int start, end;
        bool smpl;
    };
    const Row rows[] = {{10, -1, false}, {-1, 10, false}, {-5, 20, true}, {2, 25, true}};
    for (size_t i = 0; i < std::size(rows); ++i)
    {
        const Row& r = rows[i];
        const std::string tag = std::to_string(i);
        saveDsp({bytesOf(d)}, "dsp" + tag + ".wav", [&](qwhost::Processor& s) {
            s.setInt(S_LOOP_START, r.start);
            s.setInt(S_LOOP_END, r.end);
        });
        saveGui({bytesOf(d)}, "gui" + tag + ".wav", [&](qwhost::GuiModule& s) {
            s.setInt(GS_LOOP_START, r.start);
            s.setInt(GS_LOOP_END, r.end);
        });
        for (const std::string& name : {"dsp" + tag + ".wav", "gui" + tag + ".wav"})
        {
            const Riff w = readRiff(file(name));
            ASSERT_TRUE(w.ok) << name << ": " << w.why;
            EXPECT_EQ(w.hasSmpl, r.smpl) << name << " loop " << r.start << ", " << r.end;
            if (r.smpl)
            {
                EXPECT_EQ(w.loops, 1u);
                EXPECT_EQ(w.loopStart, static_cast<uint32_t>(r.start)) << name << ": passed on as it is";
                EXPECT_EQ(w.loopEnd, static_cast<uint32_t>(r.end)) << name;
            }
        }
    }
}

TEST_F(SampleFiles, ProcessingSaverKeepsTheLoopForLaterSaves)
{
    const Desc d = publish(wav("src.wav", {tone(30, 0.1f)}));
    auto s = saver(1);
    s->setBlob(S_CHANNEL, bytesOf(d));
    s->setFloat(S_RATE, 12000.0f);
    s->setInt(S_LOOP_START, 4);
    s->setInt(S_LOOP_END, 8);
    s->setText(S_FILE, L"one");
    s->setBool(S_TRIGGER, true);
    s->run(4);
    s->setFloat(S_RATE, 0.0f);
    s->setInt(S_LOOP_END, -1);
    s->setText(S_FILE, L"two");
    s->setBool(S_TRIGGER, false);
    s->setBool(S_TRIGGER, true, 1);
    s->run(4);
    const Riff two = readRiff(file("two.wav"));
    ASSERT_TRUE(two.ok) << two.why;
    EXPECT_EQ(two.rate, 44100) << "rate 0 takes the host's";
    EXPECT_TRUE(two.hasSmpl && two.loopStart == 4 && two.loopEnd == 8) << "the loop given before stays";
}

// Channels of different lengths: each is kept whole and the file is as long
// as the longest, whatever order they arrive in.
TEST_P(Savers, ChannelsOfDifferentLengthsArePaddedToTheLongest)
{
    const auto longer = tone(100, 0.1f), shorter = tone(60, 0.2f);
    const Desc dl = publish(wav("long.wav", {longer})), ds = publish(wav("short.wav", {shorter}));
    std::vector<float> padded = shorter;
    padded.resize(100, 0.0f);
    for (bool longFirst : {true, false})
    {
        const std::string dspName = longFirst ? "dsp_a.wav" : "dsp_b.wav";
        const std::string guiName = longFirst ? "gui_a.wav" : "gui_b.wav";
        // The long sample on the first channel, the short one on the last, in
        // either order; one value per block, so each arrives on its own.
        auto s = saver(3);
        auto g = guiSaver(3);
        s->setInt(S_BITS, 2);
        g->setInt(GS_BITS, 2);
        const Desc first = longFirst ? dl : ds, second = longFirst ? ds : dl;
        s->setBlob(S_CHANNEL + (longFirst ? 0 : 2), bytesOf(first));
        s->run(1);
        s->setBlob(S_CHANNEL + (longFirst ? 2 : 0), bytesOf(second));
        s->run(1);
        s->setText(S_FILE, wide(dspName));
        s->setBool(S_TRIGGER, true);
        s->run(1);
        g->setBlob(GS_CHANNEL + (longFirst ? 0 : 2), bytesOf(first));
        g->setBlob(GS_CHANNEL + (longFirst ? 2 : 0), bytesOf(second));
        g->setText(GS_FILE, wide(guiName));
        g->setBool(GS_TRIGGER, true);
        for (const std::string& name : {dspName, guiName})
        {
            const Riff w = readRiff(file(name));
            ASSERT_TRUE(w.ok) << name << ": " << w.why;
            ASSERT_EQ(w.channels, 2) << name << ": the empty middle channel is left out";
            EXPECT_EQ(w.data[0], longer) << name;
            EXPECT_EQ(w.data[1], padded) << name;
        }
    }
}

// ===========================================================================
// Hostile names, files and hosts

TEST_P(Savers, BadFileNamesFailSilently)
{
    const Desc d = publish(wav("src.wav", {tone(10, 0.1f)}));
    fs::create_directories(dir_ / "folder.wav");
    ASSERT_EQ(mkfifo(file("pipe.wav").c_str(), 0600), 0);
    // Ends held open, so that a reader or writer that opened the pipe would
    // not block; what passes through it is checked below.
    const int pipeEnd = open(file("pipe.wav").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(pipeEnd, 0);
    fs::create_symlink("/dev/null", dir_ / "device.wav");
    std::wstring invalid = L"bad";
    invalid += static_cast<wchar_t>(0xD800);
    invalid += static_cast<wchar_t>(0x110000);
    invalid += L"name";

    struct Name
    {
        std::string what;
        std::wstring name;
        bool save = true; // the savers append ".wav" to a device's own name
    };
    const std::vector<Name> names = {
        {"empty", L""},
        {"4000 characters", std::wstring(4000, L'x')},
        {"invalid characters", invalid},
        {"a folder", wide(file("folder.wav"))},
        {"a pipe", wide(file("pipe.wav"))},
        {"a device", wide(file("device.wav"))},
        {"/dev/zero", L"/dev/zero", false},
    };
    for (auto& [what, name, save] : names)
    {
        auto p = loader(1);
        p->setText(L_FILE, name);
        p->setBool(L_TRIGGER, true);
        p->run(8);
        for (auto* u : updatesOf(*p, L_CHANNEL))
            EXPECT_TRUE(u->data.empty()) << what;
        auto g = guiLoader(1);
        g->setText(GL_FILE, name);
        g->setBool(GL_TRIGGER, true);
        for (auto* t : g->transmitsOf(GL_CHANNEL))
            EXPECT_TRUE(t->data.empty()) << what;
        if (!save)
            continue;

        auto s = saver(1);
        s->setBlob(S_CHANNEL, bytesOf(d));
        s->setText(S_FILE, name);
        s->setBool(S_TRIGGER, true);
        s->run(8);
        auto gs = guiSaver(1);
        gs->setBlob(GS_CHANNEL, bytesOf(d));
        gs->setText(GS_FILE, name);
        gs->setBool(GS_TRIGGER, true);
    }
    char buffer[16];
    EXPECT_EQ(read(pipeEnd, buffer, sizeof buffer), -1) << "something was written into the pipe";
    close(pipeEnd);
    struct stat st;
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_TRUE(fs::is_directory(dir_ / "folder.wav"));
    // Nothing but the fixtures, the folder, the pipe and the link, and at most
    // the name whose invalid characters became U+FFFD.
    for (auto& e : fs::directory_iterator(dir_))
    {
        const std::string n = e.path().filename().string();
        EXPECT_TRUE(n == "in" || n == "folder.wav" || n == "pipe.wav" || n == "device.wav" ||
                    n == "bad\xEF\xBF\xBD\xEF\xBF\xBDname.wav")
            << "unexpected " << n;
    }
}

TEST_F(SampleFiles, EveryFileOfTheWavCorpusIsRefusedOrLoaded)
{
    const fs::path corpus = fs::path(QW_SOURCE_DIR) / "tests/fuzz/wav/seeds";
    int files = 0, loaded = 0;
    for (auto& e : fs::directory_iterator(corpus))
    {
        ++files;
        const std::wstring name = wide(e.path().string());
        auto p = loader(2);
        p->setText(L_FILE, name);
        p->run(8);
        auto g = guiLoader(2);
        g->setText(GL_FILE, name);
        for (int c = 0; c < 2; ++c)
        {
            const auto dsp = asDesc(lastUpdate(*p, L_CHANNEL + c)->data);
            const auto* t = g->lastTransmit(GL_CHANNEL + c);
            const auto ui = t ? asDesc(t->data) : std::nullopt;
            EXPECT_EQ(dsp.has_value(), ui.has_value()) << e.path();
            if (!dsp)
                continue;
            loaded += c == 0;
            ASSERT_GT(dsp->count, 0);
            // Every announced frame is readable.
            const auto a = framesAt(*dsp), b = framesAt(*ui);
            EXPECT_EQ(a.size(), b.size());
            EXPECT_EQ(0, std::memcmp(a.data(), b.data(), a.size() * 4)) << e.path();
        }
    }
    EXPECT_GT(files, 0);
    EXPECT_GT(loaded, 0);
}

// A host that reports fewer pins than the fixed ones: no channel pins at all.
TEST_F(SampleFiles, FewerHostPinsThanTheFixedOnesGiveNoChannels)
{
    const fs::path copy = dir_ / "short.so";
    fs::copy_file(kit->path(), copy);
    std::ofstream(dir_ / "short.meta") << "module QW_S2_SampleLoaderDSP 0\n"
                                          "pin in bool \"Auto Load\" default=1\n"
                                          "pin in bool \"Repeat Last\"\n"
                                          "pin in text \"File\"\n"
                                          "pin in bool \"Trigger\"\n"
                                          "module QW_S2_SampleSaverDSP 0\n"
                                          "pin in bool \"Auto Save\"\n"
                                          "pin in text \"File\"\n"
                                          "pin in bool \"Trigger\"\n"
                                          "module QW_S2_SampleLoaderGUI 2\n"
                                          "pin in bool \"Auto Load\" default=1\n"
                                          "pin in bool \"Repeat Last\"\n"
                                          "pin in text \"Alt File\"\n"
                                          "pin in text \"File\"\n"
                                          "pin in bool \"Trigger\"\n"
                                          "module QW_S2_SampleSaverGUI 2\n"
                                          "pin in bool \"Auto Save\"\n"
                                          "pin in text \"Alt File\"\n"
                                          "pin in text \"File\"\n"
                                          "pin in bool \"Trigger\"\n";
    auto small = qwhost::Bundle::load(copy.string());
    const std::wstring path = wide(wav("src.wav", {tone(10, 0.1f)}));

    auto p = host.create(small, L"QW_S2_SampleLoaderDSP");
    p->startGraph();
    p->setText(L_FILE, path);
    p->setBool(L_TRIGGER, true);
    p->run(8);
    int32_t id, direction, datatype;
    EXPECT_EQ(p->base()->describePin(8, id, direction, datatype), -1) << "a channel output was made";
    for (auto& u : p->updates)
        EXPECT_LT(u.pin, L_CHANNEL);

    auto s = host.create(small, L"QW_S2_SampleSaverDSP");
    EXPECT_EQ(s->base()->describePin(7, id, direction, datatype), -1);
    s->startGraph();
    s->setText(S_FILE, L"never");
    s->setBool(S_TRIGGER, true);
    s->run(8);

    auto g = gui.create(small, L"QW_S2_SampleLoaderGUI");
    EXPECT_EQ(g->pinOwner()->getPin(GL_CHANNEL), nullptr);
    g->setText(GL_FILE, path);
    g->setBool(GL_TRIGGER, true);
    EXPECT_TRUE(g->transmits.empty() || g->transmitsOf(GL_CHANNEL).empty());

    auto gs = gui.create(small, L"QW_S2_SampleSaverGUI");
    EXPECT_EQ(gs->pinOwner()->getPin(GS_CHANNEL), nullptr);
    gs->setText(GS_FILE, L"never");
    gs->setBool(GS_TRIGGER, true);
    EXPECT_FALSE(fs::exists(file("never.wav")));
}
// ===========================================================================
// The command-line host

TEST_F(SampleFiles, RunPrintsTheLoadersRateLoopBitsAndFrameCounts)
{
    const std::string drum = wav("drum.wav", {tone(1000, 0.05f), tone(1000, 0.07f)}, 22050, 16, 100, 900);
    const auto r = qwhost({"run", kit->path(), "QW_S2_SampleLoaderDSP", "--pin", "File=" + drum, "--pin", "Trigger=1",
                           "--seconds", "0.01"});
    ASSERT_EQ(r.code, 0) << r.err;
    for (const char* line : {"\tSample Rate\t22050\n", "\tLoop Start\t100\n", "\tLoop End\t900\n", "\tBits\t16\n",
                             "\tChannel\tempty sample\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << " missing in\n" << r.out;
    size_t samples = 0;
    for (size_t at = r.out.find("\tChannel\tsample of 1000 frames\n"); at != std::string::npos;
         at = r.out.find("\tChannel\tsample of 1000 frames\n", at + 1))
        ++samples;
    EXPECT_EQ(samples, 2u) << r.out;
}

TEST_F(SampleFiles, RunGivesASampleInputOneChannelOfAFile)
{
    const auto left = tone(300, 0.05f), right = tone(300, 0.09f);
    const std::string in = wav("stereo.wav", {left, right});
    const std::string out = file("taken.wav");
    const auto r = qwhost({"run", kit->path(), "QW_S2_SampleSaverDSP", "--sample", "Channel=" + in + ":1", "--pin",
                           "File=" + out, "--pin", "Bits=2", "--pin", "Trigger=1", "--seconds", "0.001"});
    ASSERT_EQ(r.code, 0) << r.err;
    const Riff w = readRiff(out);
    ASSERT_TRUE(w.ok) << w.why;
    ASSERT_EQ(w.channels, 1);
    EXPECT_EQ(w.data[0], right);

    struct Row
    {
        std::string sample;
        int code;
        const char* says;
    };
    const Row rows[] = {
        {"Channel=" + in + ":2", 1, "has no channel 2"},
        {"Channel=" + file("none.wav"), 1, "cannot open"},
        {"File=" + in, 2, "no sample input named 'File'"},
        {"Channel", 2, "is not PIN=FILE.wav[:CHANNEL]"},
    };
    for (const Row& row : rows)
    {
        const auto bad =
            qwhost({"run", kit->path(), "QW_S2_SampleSaverDSP", "--sample", row.sample, "--seconds", "0.001"});
        EXPECT_EQ(bad.code, row.code) << row.sample;
        EXPECT_NE(bad.err.find(row.says), std::string::npos) << row.sample << ": " << bad.err;
    }
}
} // namespace
