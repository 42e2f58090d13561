// What the monitors' displays and processing halves make of input no patch
// should send: blobs of odd and huge sizes, points and messages that are not
// finite, pins at NaN, negative or huge values. Nothing crashes, nothing is
// read past a blob, every drawing call gets finite numbers.
#include "monitors_fixture.h"

#include <gtest/gtest.h>

#include <limits>

namespace
{
using namespace monitors_test;
using drawntest::allFinite;

std::vector<uint8_t> randomBytes(size_t n, uint32_t seed)
{
    std::vector<uint8_t> out(n);
    for (auto& b : out)
    {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(seed >> 24);
    }
    return out;
}

std::vector<std::vector<uint8_t>> hostileBlobs()
{
    const float big = std::numeric_limits<float>::max();
    return {{},
            {1},
            randomBytes(7, 1),
            randomBytes(12, 2),
            randomBytes(33, 3),
            randomBytes(1 << 20, 4),
            pointBlob({{kNaN, 0.0f}, {0.0f, kNaN}, {kInf, -kInf}, {big, -big}, {1e30f, 1e-30f}, {0.0f, 0.0f}})};
}

const wchar_t* const kDisplays[] = {L"QW_Oscilloscope", L"QW_Oscilloscope2", L"QW_StringMonitor", L"QW_MIDIMonitor"};

TEST(MonitorsHostile, DisplaysTakeAnyBlob)
{
    for (const wchar_t* id : kDisplays)
        for (const auto& blob : hostileBlobs())
        {
            auto d = display(id);
            d->render(64, 40);
            d->module().setBlob(0, blob);
            const auto calls = d->render(64, 40);
            EXPECT_TRUE(allFinite(calls)) << gmpi_sdk::toUtf8(id) << ", blob of " << blob.size();
            d->module().setBlob(0, blob);
            d->render(1, 1);
        }
}

TEST(MonitorsHostile, PointsThatAreNotFiniteAreSkipped)
{
    // Only the last point, (0, 0), lands: pixel (2, 2) of 5 x 5.
    auto d = display(L"QW_Oscilloscope");
    for (const char* pin : {"Background Top", "Background Bottom", "Grid Colour", "Axes Colour"})
        d->setText(pin, L"00000000");
    d->setFloat("Persistence", 1e6f);
    d->module().setBlob(0, hostileBlobs().back());
    d->render(5, 5);
    int lit = 0;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            lit += bgra(*d->view().bitmap(), x, y)[3] != 0;
    EXPECT_EQ(lit, 1);
    EXPECT_NE(bgra(*d->view().bitmap(), 2, 2)[3], 0);
}

TEST(MonitorsHostile, DisplayPinsAtAnyValue)
{
    const float floats[] = {kNaN, kInf, -kInf, -1.0f, 0.0f, std::numeric_limits<float>::max(), 1e-30f};
    const int32_t ints[] = {std::numeric_limits<int32_t>::min(), -1, 0, std::numeric_limits<int32_t>::max()};
    const auto frame = pointBlob({{-0.5f, 0.1f}, {0.0f, -0.2f}, {0.5f, 0.3f}, {-0.5f, 0.0f}});
    for (const wchar_t* id : {L"QW_Oscilloscope", L"QW_Oscilloscope2"})
    {
        for (float f : floats)
        {
            auto d = display(id);
            for (const char* pin : {"X Range V", "Y Range V"})
                d->setFloat(pin, f);
            d->setFloat(id == std::wstring(L"QW_Oscilloscope") ? "Persistence" : "Trace Length", f);
            d->module().setBlob(0, frame);
            EXPECT_TRUE(allFinite(d->render(80, 60))) << gmpi_sdk::toUtf8(id) << " at " << f;
        }
    }
    for (int32_t w : ints)
    {
        auto d = display(L"QW_Oscilloscope2");
        d->setInt("Line Width", w);
        d->module().setBlob(0, frame);
        const auto calls = d->render(80, 60);
        EXPECT_TRUE(allFinite(calls)) << "width " << w;
        for (auto& l : drawntest::only(calls, "DrawLine"))
            EXPECT_LE(l.values[4], 100.0);
    }
    // Colour texts that are not numbers, or too long for 32 bits.
    for (const wchar_t* text : {L"zz", L"-1", L"123456789ABCDEF0", L"\uFFFD"})
        for (const wchar_t* id : {L"QW_Oscilloscope", L"QW_Oscilloscope2", L"QW_Plotter"})
        {
            auto d = display(id);
            for (int pin = 1; pin <= 4; ++pin)
                d->module().setText(pin, text);
            EXPECT_TRUE(allFinite(d->render(30, 20))) << gmpi_sdk::toUtf8(id);
        }
}

TEST(MonitorsHostile, PlotterMessagesOfAnySize)
{
    auto d = display(L"QW_Plotter");
    d->render(16, 16);
    const auto big = randomBytes(1 << 20, 9);
    const float odd[2] = {kNaN, kInf};
    for (int size : {1, 7, 8, 1 << 20})
    {
        d->module().messageFromAudio(0, size > 8 ? big.data() : reinterpret_cast<const uint8_t*>(odd), size);
        EXPECT_TRUE(allFinite(d->render(16, 16))) << size;
    }
    d->module().messageFromAudio(0, nullptr, 8);
    d->render(16, 16);
}

TEST(MonitorsHostile, ProcessingPinsAtAnyValue)
{
    const float floats[] = {kNaN, kInf, -kInf, -1.0f, 0.0f, std::numeric_limits<float>::max(), -1e-40f};
    // Each value on the period (full scale 10 V) and on the full scale (period 10 ms).
    for (float f : floats)
        for (int pin : {1, 2})
        {
            qwhost::ProcessingHost host;
            host.sampleRate = 48000.0f;
            auto p = host.create(qwtest::bundle("signalkit"), L"QW_Plotter");
            p->startGraph();
            p->setStreaming(0, true);
            p->setFloat(1, pin == 1 ? f : 10.0f);
            p->setFloat(2, pin == 2 ? f : 10.0f);
            for (int b = 0; b < 20; ++b)
            {
                for (int i = 0; i < 256; ++i)
                    p->input(0)[i] = (i & 1) ? 0.5f : -0.25f;
                p->run(256);
            }
            for (auto& m : p->messages)
            {
                ASSERT_EQ(m.data.size(), 8u);
                float v[2];
                std::memcpy(v, m.data.data(), 8);
                EXPECT_TRUE(std::isfinite(v[0]) && std::isfinite(v[1])) << f << " on pin " << pin;
            }
            if (pin == 2)
            {
                EXPECT_EQ(p->messages.size(), 10u) << f;
            }
        }
}

TEST(MonitorsHostile, SampleRatesNoHostGives)
{
    for (float rate : {0.0f, 1.0f, 29.0f, -48000.0f, kNaN, 1e12f})
        for (const wchar_t* id :
             {L"QW_Oscilloscope", L"QW_Oscilloscope2", L"QW_StringMonitor", L"QW_MIDIMonitor", L"QW_Plotter"})
        {
            qwhost::ProcessingHost host;
            host.sampleRate = rate;
            host.blockSize = 64;
            auto p = host.create(qwtest::bundle("signalkit"), id);
            p->startGraph();
            for (int b = 0; b < 4; ++b)
            {
                for (int pin = 0; pin < p->pinCount(); ++pin)
                    if (p->pinInfo(pin).datatype == gmpi::MP_AUDIO)
                        for (int i = 0; i < 64; ++i)
                            p->input(pin)[i] = 0.1f;
                p->run(64);
            }
            for (auto& u : p->updates)
                EXPECT_LE(u.data.size(), 256u * 208) << gmpi_sdk::toUtf8(id) << " at " << rate << " Hz";
        }
}
} // namespace
