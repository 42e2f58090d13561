#include "sample_fixture.h"

#include "WavFile32.h"
#include "mp_sdk_common.h"
#include "sample_source.h"

namespace s2test
{
uint32_t bundleToken()
{
    static const uint32_t token = [] {
        qwtest::ScratchFolder dir;
        const float one = 0.5f;
        qw::WavFile32 w;
        w.setChannel(0, 1, &one);
        w.sampleRate = 44100;
        const std::string path = (dir.path() / "one.wav").string();
        if (!w._saveWav(gmpi_sdk::fromUtf8(path), 32))
            throw qwhost::Error("cannot write " + path);
        qwhost::ProcessingHost host;
        host.autoDuplicateCount = 1;
        auto p = host.create(kit(), L"QW_S2_SampleLoaderDSP");
        p->startGraph();
        p->setText(p->pin("File"), gmpi_sdk::fromUtf8(path));
        p->run(1);
        for (auto& u : p->updates)
            if (u.pin == p->pin("Channel") && u.data.size() == sizeof(Desc))
                return asDesc(u.data)->token;
        throw qwhost::Error("the file loader sent no sample");
    }();
    return token;
}

std::vector<uint8_t> sample(const std::vector<float>& v)
{
    if (v.empty())
        return {};
    return bytesOf(
        Desc{kMagic, static_cast<int32_t>(v.size()), reinterpret_cast<uintptr_t>(v.data()), 0, bundleToken()});
}

std::vector<uint8_t> bytesOf(const Desc& d)
{
    std::vector<uint8_t> b(sizeof d);
    std::memcpy(b.data(), &d, sizeof d);
    return b;
}

std::vector<std::vector<uint8_t>> brokenDescriptors(const Desc& good)
{
    auto with = [&](auto change) {
        Desc d = good;
        change(d);
        return bytesOf(d);
    };
    std::vector<uint8_t> shorter = bytesOf(good), longer = bytesOf(good);
    shorter.pop_back();
    longer.push_back(0);
    return {
        with([](Desc& d) { d.token ^= 1; }),
        with([](Desc& d) { d.token = 0; }),
        with([](Desc& d) { d.magic = 0x4C504D53; }),
        with([](Desc& d) { d.count = 0; }),
        with([](Desc& d) { d.count = -5; }),
        with([](Desc& d) {
            d.count = 0x7FFFFFFF;
            d.token ^= 0x80000000u;
        }),
        with([](Desc& d) { d.address = 0; }),
        shorter,
        longer,
        std::vector<uint8_t>(sizeof(Desc), 0xFF),
    };
}

std::optional<Desc> asDesc(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() != sizeof(Desc))
        return std::nullopt;
    Desc d;
    std::memcpy(&d, bytes.data(), sizeof d);
    return d;
}

std::vector<float> framesAt(const Desc& d)
{
    const float* f = reinterpret_cast<const float*>(static_cast<uintptr_t>(d.address));
    return std::vector<float>(f, f + d.count);
}

std::optional<std::vector<float>> lastSample(const qwhost::GuiModule& g, int pin)
{
    const auto* t = g.lastTransmit(pin);
    if (!t)
        return std::nullopt;
    if (t->data.empty())
        return std::vector<float>();
    auto d = asDesc(t->data);
    EXPECT_TRUE(d && d->magic == kMagic && d->count > 0 && d->token == bundleToken())
        << "pin " << pin << " sent " << t->data.size() << " bytes that are no descriptor";
    return d ? framesAt(*d) : std::vector<float>();
}

size_t sends(const qwhost::GuiModule& g, int pin)
{
    return g.transmitsOf(pin).size();
}

int32_t lastInt(const qwhost::GuiModule& g, int pin, int32_t otherwise)
{
    const auto* t = g.lastTransmit(pin);
    return t ? t->asInt() : otherwise;
}

float lastFloat(const qwhost::GuiModule& g, int pin, float otherwise)
{
    const auto* t = g.lastTransmit(pin);
    return t ? t->asFloat() : otherwise;
}

std::vector<float> ramp(int n)
{
    std::vector<float> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<size_t>(i)] = static_cast<float>(i + 1) / 64.0f * (i % 2 ? -1.0f : 1.0f);
    return v;
}

std::string echoName(const ::testing::TestParamInfo<Echo>& info)
{
    switch (info.param)
    {
    case Echo::Inside:
        return "EchoInside";
    case Echo::Later:
        return "EchoLater";
    default:
        return "NoEcho";
    }
}
} // namespace s2test
