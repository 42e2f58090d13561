// The text and MIDI monitors through the built bundle and the patch stand-in:
// the rows each half makes, when the processing half sends them, and what the
// panel keeps and shows.
#include "monitors_fixture.h"

#include <gtest/gtest.h>

namespace
{
using namespace monitors_test;

// The blob updates with rows, and the rows of one of them.
std::vector<const qwhost::PinUpdate*> sends(const qwhost::Processor& p)
{
    std::vector<const qwhost::PinUpdate*> out;
    for (auto& u : p.updates)
        if (u.pin == 1 && !u.data.empty())
            out.push_back(&u);
    return out;
}

std::string midiRowText(const std::vector<uint8_t>& blob, size_t row)
{
    const char* text = reinterpret_cast<const char*>(blob.data() + 32 * row + 1);
    return std::string(text, strnlen(text, 31));
}

TEST(MidiMonitor, NoteOnRowAtItsSample)
{
    Pair p(L"QW_MIDIMonitor", 44100.0f, 100);
    p.patch.start();
    p.run(44100, 100);
    p.dsp().sendMidi(0, {0x90, 0x3C, 0x64}, 0);
    p.run(1000, 100);
    const auto s = sends(p.dsp());
    ASSERT_FALSE(s.empty());
    const std::vector<uint8_t>& rows = s.back()->data;
    ASSERT_EQ(rows.size(), 32u);
    EXPECT_EQ(rows[0], 0);
    EXPECT_EQ(midiRowText(rows, 0), "0000044100:  0x90  0x3C  0x64");
    EXPECT_EQ(midiRowText(rows, 0).size(), 29u);

    // The marker of the graph start went first, in the send at sample 0.
    EXPECT_EQ(s.front()->time, 0);
    EXPECT_EQ(s.front()->data.size(), 32u);
    EXPECT_EQ(s.front()->data[0], 1);

    const auto shown = texts(p.render(300, 100));
    EXPECT_EQ(shown, (std::vector<std::string>{"0000044100:  0x90  0x3C  0x64"}));
}

TEST(MidiMonitor, LongMessagesAreCutAtTwentyNineCharacters)
{
    Pair p(L"QW_MIDIMonitor", 48000.0f, 64);
    p.patch.start();
    p.run(64, 64);
    p.dsp().sendMidi(0, {0xF0, 0x01, 0x02, 0x03, 0x04, 0x05, 0xF7}, 3);
    p.dsp().sendMidi(0, {0xC5, 0x07}, 3);
    p.run(1600, 64);
    const auto s = sends(p.dsp());
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(midiRowText(s[1]->data, 0), "0000000067:  0xF0  0x01  0x02");
    EXPECT_EQ(midiRowText(s[1]->data, 1), "0000000067:  0xC5  0x07  ");
}

TEST(MidiMonitor, SendsFallOnThePeriodGrid)
{
    struct Case
    {
        float rate;
        int block;
        int period;
    };
    // 48 kHz: every 800 samples, once or twice a 512-sample block; 44.1 kHz
    // with blocks longer than the period (735): once a block, at the first
    // multiple of 735 in it.
    for (Case c : {Case{48000.0f, 512, 800}, Case{44100.0f, 1024, 735}})
    {
        Pair p(L"QW_MIDIMonitor", c.rate, c.block);
        p.patch.start();
        const int64_t total = 40 * c.block;
        while (p.dsp().now() < total)
        {
            p.dsp().sendMidi(0, {0x90, 0x40, 0x40}, 0);
            p.run(c.block, c.block);
        }
        std::vector<int64_t> times, expected;
        for (auto* u : sends(p.dsp()))
        {
            times.push_back(u->time);
            EXPECT_GE(u->position, 0);
            EXPECT_LT(u->position, c.block);
        }
        if (c.block < c.period)
            for (int64_t t = 0; t < total; t += c.period)
                expected.push_back(t);
        else
            for (int64_t b = 0; b < total; b += c.block)
                expected.push_back((b + c.period - 1) / c.period * c.period);
        EXPECT_EQ(times, expected) << c.rate << " Hz, blocks of " << c.block;
    }
}

TEST(MidiMonitor, BurstKeepsTheNewestRowsWithoutAllocating)
{
    Pair p(L"QW_MIDIMonitor", 48000.0f, 256);
    p.patch.start();
    p.run(512, 256);
    for (int i = 0; i < 5000; ++i)
        p.dsp().sendMidi(0, {0x90, static_cast<uint8_t>(i & 0x7F), static_cast<uint8_t>(i >> 7)}, 10);
    p.run(256, 256);
    EXPECT_EQ(p.dsp().allocationsInLastProcess(), 0);
    p.run(256, 256);
    const auto s = sends(p.dsp());
    ASSERT_EQ(s.back()->time, 800);
    const auto& rows = s.back()->data;
    ASSERT_EQ(rows.size(), 1024u * 32);
    // Messages 3976 to 4999, oldest first.
    auto textOf = [](int i) {
        char b[64];
        std::snprintf(b, sizeof b, "0000000522:  0x90  0x%.2X  0x%.2X", i & 0x7F, i >> 7);
        return std::string(b);
    };
    EXPECT_EQ(midiRowText(rows, 0), textOf(3976));
    EXPECT_EQ(midiRowText(rows, 1023), textOf(4999));
}

TEST(MonitorPanel, KeepsTheRowsThatFit)
{
    Pair p(L"QW_MIDIMonitor", 48000.0f, 100);
    p.patch.start();
    p.render(200, 100); // 100 / 13: 7 rows
    for (int i = 1; i <= 8; ++i)
        p.dsp().sendMidi(0, {0x80, static_cast<uint8_t>(i), 0x00}, i);
    p.run(900, 100);
    const auto shown = texts(p.render(200, 100));
    ASSERT_EQ(shown.size(), 7u);
    EXPECT_EQ(shown.front(), "0000000002:  0x80  0x02  0x00");
    EXPECT_EQ(shown.back(), "0000000008:  0x80  0x08  0x00");
}

TEST(MonitorPanel, RowsAreDrawnTopDownInThirteenPixelLines)
{
    auto d = display(L"QW_MIDIMonitor");
    d->render(200, 100);
    std::vector<uint8_t> rows(3 * 32, 0);
    for (int i = 0; i < 3; ++i)
        std::snprintf(reinterpret_cast<char*>(rows.data() + 32 * i + 1), 31, "row %d", i);
    d->module().setBlob(0, rows);
    const auto calls = d->render(200, 100);
    const auto text = drawntest::only(calls, "DrawTextU");
    ASSERT_EQ(text.size(), 3u);
    for (int i = 0; i < 3; ++i)
        drawntest::expectNear(text[i].values, {0.0, 13.0 * i, 10000.0, 13.0 * i + 10000.0}, text[i].text);
    // An opaque black ground under them.
    const auto fills = drawntest::only(calls, "FillRectangle");
    ASSERT_FALSE(fills.empty());
    EXPECT_EQ(fills[0].color.a, 1.0f);
    EXPECT_EQ(fills[0].color.g, 0.0f);
    // "Arial", normal weight, style and stretch, 13 pixels.
    ASSERT_FALSE(d->view().factory()->textFormatRequests.empty());
    const auto& f = d->view().factory()->textFormatRequests.front();
    EXPECT_EQ(f.family, "Arial");
    EXPECT_EQ(std::vector<double>({double(f.weight), double(f.style), double(f.stretch), f.size}),
              std::vector<double>({400, 0, 5, 13}));
}

TEST(MonitorPanel, GraphStartClearsThePanel)
{
    Pair p(L"QW_MIDIMonitor", 48000.0f, 100);
    p.patch.start();
    p.render(200, 100);
    p.dsp().sendMidi(0, {0x90, 0x3C, 0x64}, 0);
    p.run(900, 100);
    EXPECT_EQ(texts(p.render(200, 100)).size(), 1u);
    p.dsp().graphStart(0);
    p.run(800, 100);
    EXPECT_TRUE(texts(p.render(200, 100)).empty());
    p.dsp().sendMidi(0, {0x90, 0x3E, 0x64}, 0);
    p.run(800, 100);
    EXPECT_EQ(texts(p.render(200, 100)).size(), 1u);
}

TEST(MonitorPanel, BlobsShorterThanARowAddNothing)
{
    for (size_t size : {0, 1, 7, 31})
    {
        auto d = display(L"QW_MIDIMonitor");
        d->render(200, 100);
        d->module().setBlob(0, std::vector<uint8_t>(size, 'A'));
        EXPECT_TRUE(texts(d->render(200, 100)).empty()) << size;
    }
    // Whole rows only: 40 bytes hold one.
    auto d = display(L"QW_MIDIMonitor");
    d->render(200, 100);
    std::vector<uint8_t> blob(40, 'A');
    blob[0] = 0;
    d->module().setBlob(0, blob);
    EXPECT_EQ(texts(d->render(200, 100)), (std::vector<std::string>{std::string(31, 'A')}));
}

// --- Text monitor

std::wstring sixty()
{
    std::wstring t;
    for (int i = 0; i < 60; ++i)
        t.push_back(static_cast<wchar_t>(L'A' + i % 26));
    return t;
}

TEST(StringMonitor, TextsBecomeRowsOfFiftyCharacters)
{
    Pair p(L"QW_StringMonitor", 48000.0f, 100);
    p.patch.start();
    p.render(400, 100);
    p.run(100, 100);
    p.dsp().setText(0, sixty(), 0);
    p.dsp().setText(0, L"", 10);
    p.dsp().setText(0, L"same", 20);
    p.dsp().setText(0, L"same", 30);
    p.run(900, 100);
    const auto s = sends(p.dsp());
    ASSERT_EQ(s.size(), 2u);
    const auto& rows = s[1]->data;
    ASSERT_EQ(rows.size(), 3u * 208);
    EXPECT_EQ(rows[1], 1);
    uint32_t c50, c49;
    std::memcpy(&c49, rows.data() + 4 + 4 * 49, 4);
    std::memcpy(&c50, rows.data() + 4 + 4 * 50, 4);
    EXPECT_EQ(c49, static_cast<uint32_t>(sixty()[49]));
    EXPECT_EQ(c50, 0u);

    const auto calls = p.render(400, 100);
    const auto shown = drawntest::only(calls, "DrawTextU");
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, gmpi_sdk::toUtf8(sixty().substr(0, 50)));
    EXPECT_EQ(shown[2].text, "same");
    // Rows of the processing half in FF40FF80.
    EXPECT_NEAR(shown[0].color.r, drawntest::linear(0x40), 1e-6);
    EXPECT_NEAR(shown[0].color.b, drawntest::linear(0x80), 1e-6);
}

TEST(StringMonitor, ItsOwnTextPinShowsInAmber)
{
    for (auto echo : drawntest::allEchoes())
    {
        auto d = display(L"QW_StringMonitor", echo);
        d->render(400, 100);
        d->setText("Show Text", sixty());
        const auto shown = drawntest::only(d->render(400, 100), "DrawTextU");
        ASSERT_EQ(shown.size(), 1u) << drawntest::echoName(echo);
        EXPECT_EQ(shown[0].text, gmpi_sdk::toUtf8(sixty().substr(0, 50)));
        EXPECT_NEAR(shown[0].color.r, 1.0, 1e-6);
        EXPECT_NEAR(shown[0].color.g, drawntest::linear(0xA0), 1e-6);
        EXPECT_NEAR(shown[0].color.b, 0.0, 1e-6);
    }
}

TEST(StringMonitor, CharactersUtf8CannotEncodeShowAsReplacements)
{
    auto d = display(L"QW_StringMonitor");
    d->render(400, 100);
    std::vector<uint8_t> row(208, 0);
    const uint32_t chars[] = {'a', 0xD800, 0x110000, 0xFFFFFFFF, 'b'};
    std::memcpy(row.data() + 4, chars, sizeof chars);
    row[1] = 1;
    d->module().setBlob(0, row);
    EXPECT_EQ(texts(d->render(400, 100)), (std::vector<std::string>{"a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
                                                                    "b"}));
}
} // namespace
