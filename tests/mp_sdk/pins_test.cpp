// What pins send to the host, and how they read what it sends.
#include "probe_fixture.h"

#include <cmath>

TEST_F(ProbeFixture, ValuesAreSentOnlyWhenTheyChange)
{
    makeRunning();
    p->setFloat(VALUE, 0.5f, 0);
    p->setFloat(VALUE, 0.5f, 10);
    p->setText(TEXT, L"abc", 20);
    p->setText(TEXT, L"abc", 30);
    p->run(64);
    auto v = updatesOf(VALUE_OUT);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0]->asFloat(), 0.5f);
    auto t = updatesOf(TEXT_OUT);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0]->data.size(), 12u);
    EXPECT_EQ(t[0]->asText(), L"abc");
    EXPECT_EQ(t[0]->position, 20);

    // A NaN never equals itself, so each one is sent.
    clear();
    p->setFloat(VALUE, std::nanf(""), 0);
    p->setFloat(VALUE, std::nanf(""), 5);
    p->run(64);
    v = updatesOf(VALUE_OUT);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_TRUE(std::isnan(v[1]->asFloat()));
}

// Values as the host sends them: inline or as extra data, of odd sizes.
TEST_F(ProbeFixture, RawValuesFromTheHost)
{
    makeRunning();
    std::vector<gmpi::MpEvent> events;
    events.push_back(rawSet(0, FLAG, 0x100, 4)); // four bytes: an int, non-zero
    gmpi::MpEvent longInt = rawSet(1, COMMAND, 0x01020304, 8);
    longInt.parm4 = 0x7f7f7f7f; // only the first four bytes are the value
    events.push_back(longInt);
    events.push_back(rawSet(2, FLAG, 0x100, 1));   // one byte: zero
    gmpi::MpEvent lying = rawSet(3, TEXT, 0, 100); // claims 100 inline bytes
    lying.parm3 = 'h';
    lying.parm4 = 'i';
    events.push_back(lying);
    const std::wstring longText = L"a text longer than eight bytes";
    gmpi::MpEvent extra = rawSet(4, TEXT, 0, static_cast<int>(longText.size() * 4));
    extra.extraData = reinterpret_cast<char*>(const_cast<wchar_t*>(longText.data()));
    events.push_back(extra);
    events.push_back(rawSet(5, BLOB, 0, 0));
    events.push_back(rawSet(6, VALUE, 0, -3)); // a negative size is no value
    for (size_t i = 0; i + 1 < events.size(); ++i)
        events[i].next = &events[i + 1];
    p->rawEvents(events);
    p->run(16);

    auto flag = updatesOf(FLAG_OUT);
    ASSERT_EQ(flag.size(), 2u);
    EXPECT_TRUE(flag[0]->asBool());
    EXPECT_FALSE(flag[1]->asBool());
    auto count = updatesOf(COUNT_OUT);
    ASSERT_EQ(count.size(), 1u);
    EXPECT_EQ(count[0]->asInt(), 0x01020304);
    auto text = updatesOf(TEXT_OUT);
    ASSERT_EQ(text.size(), 2u);
    EXPECT_EQ(text[0]->asText(), L"hi");
    EXPECT_EQ(text[1]->asText(), longText);
    auto value = updatesOf(VALUE_OUT);
    ASSERT_EQ(value.size(), 1u);
    EXPECT_EQ(value[0]->asFloat(), 0.0f);
    // The empty blob is reported changed at its time, though equal to the old one.
    bool blobSeen = false;
    for (auto& l : log())
        blobSeen |= l == "pins 5 32";
    EXPECT_TRUE(blobSeen);
    EXPECT_TRUE(updatesOf(BLOB_OUT).empty());
}

TEST_F(ProbeFixture, BlobValuesRoundTrip)
{
    makeRunning();
    std::vector<uint8_t> bytes(300);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7);
    p->setBlob(BLOB, bytes, 3);
    p->setBlob(BLOB, {1, 2}, 9);
    p->run(16);
    auto b = updatesOf(BLOB_OUT);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0]->data, bytes);
    EXPECT_EQ(b[1]->data, std::vector<uint8_t>({1, 2}));
}

// A MIDI output sending at position -1 inside onSetPins reports at the event time.
TEST_F(ProbeFixture, MidiOutputAtTheEventTime)
{
    makeRunning();
    p->setInt(COMMAND, SEND_MIDI, 4);
    p->run(16);
    auto m = updatesOf(MIDI_OUT);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0]->position, 4);
    EXPECT_EQ(m[0]->data, std::vector<uint8_t>({0x90, 60, 100}));
}

TEST_F(ProbeFixture, StreamingReportsCarryTheirPosition)
{
    makeRunning();
    p->setInt(COMMAND, OUTPUT_STATIC, 17);
    p->setInt(COMMAND, OUTPUT_STREAMING, 33);
    p->run(64);
    ASSERT_EQ(p->streamingReports.size(), 2u);
    EXPECT_EQ(p->streamingReports[0].position, 17);
    EXPECT_FALSE(p->streamingReports[0].streaming);
    EXPECT_EQ(p->streamingReports[1].position, 33);
    EXPECT_TRUE(p->streamingReports[1].streaming);
}
