// Blob tools through the built bundle: the UU64 text against the test
// vectors of RFC 4648 (section 10), hexadecimal text to blob, and the blob
// probe's counter, size and address text.
#include "control_fixture.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using qwtest::ControlModule;

std::vector<uint8_t> bytes(const std::string& s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::wstring lastText(const ControlModule& m, const std::string& pin)
{
    const qwhost::PinUpdate* u = m.last(pin);
    return u ? u->asText() : std::wstring();
}

TEST(Blob2UU64, Rfc4648Vectors)
{
    struct Row
    {
        std::vector<uint8_t> in;
        std::wstring out;
    };
    const Row rows[] = {
        {bytes(""), L""},
        {bytes("f"), L"Zg=="},
        {bytes("fo"), L"Zm8="},
        {bytes("foo"), L"Zm9v"},
        {bytes("foob"), L"Zm9vYg=="},
        {bytes("fooba"), L"Zm9vYmE="},
        {bytes("foobar"), L"Zm9vYmFy"},
        {{0xFB, 0xFF, 0xBF}, L"+/+/"},
        {{0x00, 0x00}, L"AAA="},
    };
    for (auto& r : rows)
    {
        ControlModule m(L"QW_Blob2UU64");
        m.start();
        m.p->setBlob(0, r.in);
        m.step();
        EXPECT_EQ(lastText(m, "UU64"), r.out) << std::string(r.in.begin(), r.in.end());
    }
}

TEST(Blob2UU64, EachTextHoldsOnlyItsOwnBlob)
{
    ControlModule m(L"QW_Blob2UU64");
    m.start();
    m.p->setBlob(0, bytes("foobar"));
    m.step();
    m.p->setBlob(0, bytes("fo"));
    m.step();
    EXPECT_EQ(lastText(m, "UU64"), L"Zm8=");
    m.p->setBlob(0, {});
    m.step();
    EXPECT_EQ(lastText(m, "UU64"), L"");

    // A long blob: the length and the last group (65536 = 3 x 21845 + 1).
    std::vector<uint8_t> big(65536, 0xFF);
    m.p->setBlob(0, big);
    m.step();
    const std::wstring text = lastText(m, "UU64");
    ASSERT_EQ(text.size(), (65536 + 2) / 3 * 4);
    EXPECT_EQ(text.substr(text.size() - 8), L"/////w==");
}

TEST(Text2Blob, HexadecimalText)
{
    struct Row
    {
        std::wstring text;
        std::vector<uint8_t> blob;
    };
    const Row rows[] = {
        {L"0A ff 7", {0x0A, 0xFF}}, // the trailing digit is not a whole group
        {L"0AFF", {}},              // the third character must be a blank
        {L"0", {}},
        {L"", {}},
        {L"0A", {0x0A}},
        {L"0g", {}},
        {L"0A ", {0x0A}},
        {L"00 10 Fe", {0x00, 0x10, 0xFE}},
        {L" 0A", {}},
        {L"0A  ff", {}},
        {L"0A\tff", {}},
        {L"\uFF10A", {}}, // a full-width digit is not a hexadecimal digit
        {std::wstring(L"0\0 ff", 5), {}},
    };
    for (auto& r : rows)
    {
        ControlModule m(L"QW_Text2Blob");
        m.start();
        m.p->setText(0, r.text);
        m.step();
        ASSERT_NE(m.last("Blob"), nullptr);
        EXPECT_EQ(m.last("Blob")->data, r.blob) << gmpi_sdk::toUtf8(r.text);
    }
}

TEST(Text2Blob, SentOnEveryUpdateAlsoWhenUnchanged)
{
    ControlModule m(L"QW_Text2Blob");
    m.start();
    const size_t before = m.countOf("Blob");
    for (int i = 0; i < 3; ++i)
    {
        m.p->setText(0, L"0A");
        m.step();
    }
    EXPECT_EQ(m.countOf("Blob"), before + 3);

    // A long text: every group read.
    std::wstring text;
    for (int i = 0; i < 20000; ++i)
        text += L"5a ";
    m.p->setText(0, text);
    m.step();
    EXPECT_EQ(m.last("Blob")->data, std::vector<uint8_t>(20000, 0x5A));
}

TEST(DSPBlobTool, CountsEveryBlobAndShowsItsSizeAndAddress)
{
    ControlModule m(L"QW_DSPBlobTool");
    m.start();
    const int counter = static_cast<int>(m.value("Changes"));
    m.p->setBlob(0, {1, 2, 3});
    m.step();
    m.p->setBlob(0, {1, 2, 3});
    m.step();
    EXPECT_EQ(m.value("Changes"), counter + 2) << "equal blobs count too";
    EXPECT_EQ(m.value("Size"), 3);
    EXPECT_TRUE(std::regex_match(gmpi_sdk::toUtf8(lastText(m, "Address")), std::regex("0x[0-9a-f]+")))
        << gmpi_sdk::toUtf8(lastText(m, "Address"));

    m.p->setBlob(0, {});
    m.step();
    EXPECT_EQ(m.value("Changes"), counter + 3);
    EXPECT_EQ(m.value("Size"), 0);
    std::wostringstream null;
    null << std::hex << std::uppercase << static_cast<const void*>(nullptr);
    EXPECT_EQ(lastText(m, "Address"), null.str());
}
// Once a pin has held its longest value, converting shorter ones allocates
// nothing on the audio thread.
TEST(BlobTools, NoAllocationOnceTheLongestValueWasSeen)
{
    std::wstring longText;
    for (int i = 0; i < 21845; ++i)
        longText += L"a5 ";
    for (const wchar_t* id : {L"QW_Blob2UU64", L"QW_DSPBlobTool", L"QW_Text2Blob", L"QW_BlobSwitch2To1",
                              L"QW_StringSwitch2To1", L"QW_FixedString"})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        ControlModule m(id);
        const bool text = m.p->pinInfo(0).datatype == gmpi::MP_STRING;
        auto send = [&](size_t n, int offset) {
            if (text)
                m.p->setText(0, longText.substr(0, n), offset);
            else
                m.p->setBlob(0, std::vector<uint8_t>(n, static_cast<uint8_t>(n)), offset);
        };
        m.p->startGraph();
        send(65535, 0);
        m.p->run(64);
        for (size_t n : {0, 1, 2, 3, 17, 4000, 65535, 300})
            send(n, 5);
        for (int block = 0; block < 8; ++block)
        {
            send(static_cast<size_t>(block * 999), 3);
            m.p->run(64);
        }
        EXPECT_EQ(m.p->allocationsAfterFirstBlock(), 0);
    }
}
} // namespace
