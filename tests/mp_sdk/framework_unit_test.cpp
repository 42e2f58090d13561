// The framework's value types and binary layout, tested without a bundle.
#include "mp_sdk_audio.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>

using qwtest::slotOf;

TEST(EventLayout, FieldsSitWhereTheHostPutsThem)
{
    struct Row
    {
        const char* field;
        size_t offset, expected;
    };
    const Row rows[] = {
        {"timeDelta", offsetof(gmpi::MpEvent, timeDelta), 0},
        {"eventType", offsetof(gmpi::MpEvent, eventType), 4},
        {"parm1", offsetof(gmpi::MpEvent, parm1), 8},
        {"parm2", offsetof(gmpi::MpEvent, parm2), 12},
        {"parm3", offsetof(gmpi::MpEvent, parm3), 16},
        {"parm4", offsetof(gmpi::MpEvent, parm4), 20},
        {"extraData", offsetof(gmpi::MpEvent, extraData), 24},
        {"next", offsetof(gmpi::MpEvent, next), 32},
        {"size", sizeof(gmpi::MpEvent), 40},
    };
    for (auto& r : rows)
        EXPECT_EQ(r.offset, r.expected) << r.field;
    EXPECT_EQ(gmpi::EVENT_PIN_SET, 100);
    EXPECT_EQ(gmpi::EVENT_PIN_STREAMING_START, 101);
    EXPECT_EQ(gmpi::EVENT_PIN_STREAMING_STOP, 102);
    EXPECT_EQ(gmpi::EVENT_MIDI, 103);
    EXPECT_EQ(gmpi::EVENT_GRAPH_START, 104);
}

TEST(Identifiers, TextFormAndByteOrder)
{
    // {9a7904b7-7f7f-4d61-b558-c1a6695bb638}: the first three fields little-endian.
    const uint8_t bytes[16] = {0xb7, 0x04, 0x79, 0x9a, 0x7f, 0x7f, 0x61, 0x4d,
                               0xb5, 0x58, 0xc1, 0xa6, 0x69, 0x5b, 0xb6, 0x38};
    EXPECT_EQ(0, std::memcmp(&gmpi::MP_IID_FACTORY, bytes, 16));
    EXPECT_TRUE(gmpi::MP_IID_PLUGIN2 == gmpi::MP_IID_PLUGIN2);
    EXPECT_FALSE(gmpi::MP_IID_PLUGIN == gmpi::MP_IID_PLUGIN2);
}

// The slots a host compiled from the same tables calls.
TEST(SlotOrder, InterfacesAndProcessingBase)
{
    struct Row
    {
        const char* what;
        int slot, expected;
    };
    const Row rows[] = {
        {"factory queryInterface", slotOf(&gmpi::IMpFactory2::queryInterface), 0},
        {"factory createInstance", slotOf(&gmpi::IMpFactory2::createInstance), 3},
        {"factory getSdkInformation", slotOf(&gmpi::IMpFactory2::getSdkInformation), 4},
        {"factory createInstance2", slotOf(&gmpi::IMpFactory2::createInstance2), 5},
        {"factory getRegistration", slotOf(&MpFactory::getRegistration), 8},
        {"plugin open", slotOf(&gmpi::IMpPlugin::open), 3},
        {"plugin setBuffer", slotOf(&gmpi::IMpPlugin::setBuffer), 4},
        {"plugin process",
         slotOf(static_cast<void (gmpi::IMpPlugin::*)(int32_t, gmpi::MpEvent*)>(&gmpi::IMpPlugin::process)), 5},
        {"plugin2 setHost", slotOf(&gmpi::IMpPlugin2::setHost), 3},
        {"plugin2 open", slotOf(&gmpi::IMpPlugin2::open), 4},
        {"plugin2 setBuffer", slotOf(&gmpi::IMpPlugin2::setBuffer), 5},
        {"plugin2 process", slotOf(&gmpi::IMpPlugin2::process), 6},
        {"plugin2 receiveMessageFromGui", slotOf(&gmpi::IMpPlugin2::receiveMessageFromGui), 7},
        {"legacy setHost", slotOf(&gmpi::IMpLegacyInitialization::setHost), 3},
        {"old-school setHost", slotOf(&IoldSchoolInitialisation::setHost), 0},
        {"base setHost", slotOf(&MpPluginBase::setHost), 9},
        {"base process",
         slotOf(static_cast<void (MpPluginBase::*)(int32_t, const gmpi::MpEvent*)>(&MpPluginBase::process)), 10},
        {"base receiveMessageFromGui",
         slotOf(static_cast<int32_t (MpPluginBase::*)(int32_t, int32_t, const void*)>(
             &MpPluginBase::receiveMessageFromGui)),
         11},
        {"base onMidiMessage const",
         slotOf(static_cast<void (MpPluginBase::*)(int, const unsigned char*, int)>(&MpPluginBase::onMidiMessage)), 12},
        {"base onMidiMessage",
         slotOf(static_cast<void (MpPluginBase::*)(int, unsigned char*, int)>(&MpPluginBase::onMidiMessage)), 13},
        {"base onSetPins", slotOf(&MpPluginBase::onSetPins), 14},
        {"base OnPinStreamingChange", slotOf(&MpPluginBase::OnPinStreamingChange), 15},
        {"base onGraphStart", slotOf(&MpPluginBase::onGraphStart), 16},
        {"host setPin", slotOf(&gmpi::IMpHost::setPin), 3},
        {"host setPinStreaming", slotOf(&gmpi::IMpHost::setPinStreaming), 4},
        {"host sleep", slotOf(&gmpi::IMpHost::sleep), 5},
        {"host sendMessageToGui", slotOf(&gmpi::IMpHost::sendMessageToGui), 6},
        {"host getBlockSize", slotOf(&gmpi::IMpHost::getBlockSize), 7},
        {"host getSampleRate", slotOf(&gmpi::IMpHost::getSampleRate), 8},
        {"host createPinIterator", slotOf(&gmpi::IMpHost::createPinIterator), 13},
        {"host createCloneIterator", slotOf(&gmpi::IMpHost::createCloneIterator), 15},
        {"host allocateSharedMemory", slotOf(&gmpi::IMpHost::allocateSharedMemory), 16},
        {"host resolveFilename", slotOf(&gmpi::IMpHost::resolveFilename), 17},
        {"processor host setLatency", slotOf(&gmpi::IMpProcessorHost::setLatency), 5},
        {"pin iterator getCount", slotOf(&gmpi::IMpPinIterator::getCount), 3},
        {"pin iterator first", slotOf(&gmpi::IMpPinIterator::first), 4},
        {"pin iterator next", slotOf(&gmpi::IMpPinIterator::next), 5},
        {"pin iterator getUniqueId", slotOf(&gmpi::IMpPinIterator::getUniqueId), 6},
        {"pin iterator getDirection", slotOf(&gmpi::IMpPinIterator::getDirection), 7},
        {"pin iterator getDatatype", slotOf(&gmpi::IMpPinIterator::getDatatype), 8},
        {"clone iterator first", slotOf(&gmpi::IMpCloneIterator::first), 3},
        {"clone iterator next", slotOf(&gmpi::IMpCloneIterator::next), 4},
        {"embedded files resolveFilename", slotOf(&gmpi::IEmbeddedFileSupport::resolveFilename), 3},
        {"embedded files openUri", slotOf(&gmpi::IEmbeddedFileSupport::openUri), 4},
        {"string setData", slotOf(&gmpi::IString::setData), 3},
        {"string getSize", slotOf(&gmpi::IString::getSize), 4},
        {"string getData", slotOf(&gmpi::IString::getData), 5},
        {"protected file read", slotOf(&gmpi::IProtectedFile2::read), 3},
        {"protected file getSize", slotOf(&gmpi::IProtectedFile2::getSize), 5},
        {"pin setBuffer", slotOf(&MpPinBase::setBuffer), 2},
        {"pin preProcessEvent", slotOf(&MpPinBase::preProcessEvent), 3},
        {"pin processEvent", slotOf(&MpPinBase::processEvent), 4},
        {"pin postProcessEvent", slotOf(&MpPinBase::postProcessEvent), 5},
        {"pin getDatatype", slotOf(&MpPinBase::getDatatype), 6},
        {"pin getDirection", slotOf(&MpPinBase::getDirection), 7},
        {"pin getDefaultEventHandler", slotOf(&MpPinBase::getDefaultEventHandler), 8},
        {"pin sendFirstUpdate", slotOf(&MpPinBase::sendFirstUpdate), 9},
        {"control pin setValueRaw(int)",
         slotOf(static_cast<void (MpControlPinBase<float, 6>::*)(int, const void*)>(
             &MpControlPinBase<float, 6>::setValueRaw)),
         10},
        {"control pin setValueRaw(size_t)",
         slotOf(static_cast<void (MpControlPinBase<float, 6>::*)(size_t, const void*)>(
             &MpControlPinBase<float, 6>::setValueRaw)),
         11},
        {"control pin rawSize", slotOf(&MpControlPinBase<float, 6>::rawSize), 12},
        {"control pin rawData", slotOf(&MpControlPinBase<float, 6>::rawData), 13},
        {"pin properties getUniqueId", slotOf(&IPinProperties::getUniqueId), 0},
        {"pin properties getDatatype", slotOf(&IPinProperties::getDatatype), 2},
    };
    for (auto& r : rows)
        EXPECT_EQ(r.slot, r.expected) << r.what;
}

TEST(MpBlob, ValueSemantics)
{
    MpBlob empty;
    MpBlob zero(0, "x");
    EXPECT_TRUE(zero == empty);
    EXPECT_EQ(empty.getData(), nullptr);

    MpBlob a(3, "abc");
    MpBlob b = a;
    EXPECT_TRUE(a == b);
    b.setValueRaw(3, "abd");
    EXPECT_TRUE(a != b);
    EXPECT_TRUE(a.compare("abc", 3));
    EXPECT_FALSE(a.compare("abc", 2));
    EXPECT_FALSE(a.compare("abc", -1));

    // Growing keeps the old bytes; the new ones are zero.
    a.resize(6);
    ASSERT_EQ(a.getSize(), 6);
    EXPECT_EQ(0, std::memcmp(a.getData(), "abc\0\0\0", 6));
    a.resize(2);
    EXPECT_TRUE(a.compare("ab", 2));
    a.resize(-4);
    EXPECT_EQ(a.getSize(), 0);
}

TEST(MpString, HoldsWhatTheHostSets)
{
    gmpi_sdk::MpString s;
    EXPECT_EQ(s.setData("hello", 5), 0);
    EXPECT_EQ(s.getSize(), 5);
    EXPECT_STREQ(s.getData(), "hello");
    s.setData("x", 0);
    EXPECT_EQ(s.getSize(), 0);
    EXPECT_STREQ(s.getData(), "");
    void* p = nullptr;
    EXPECT_EQ(s.queryInterface(gmpi::MP_IID_RETURNSTRING, &p), 0);
    EXPECT_EQ(p, static_cast<gmpi::IString*>(&s));
    EXPECT_EQ(s.queryInterface(gmpi::MP_IID_FACTORY, &p), -2);
    EXPECT_EQ(p, nullptr);
}

TEST(Utf8, ConversionsNeverThrowAndReplaceBadInput)
{
    struct Row
    {
        std::string utf8;
        std::wstring wide;
    };
    const Row decode[] = {
        {"abc", L"abc"},
        {"\xC3\xA9t\xC3\xA9", L"\u00e9t\u00e9"},
        {"\xE2\x82\xAC", L"\u20ac"},
        {"\xF0\x9F\x8E\xB5", L"\U0001F3B5"},
        {"\xFF", L"\uFFFD"},                     // invalid byte
        {"a\x80z", L"a\uFFFDz"},                 // stray continuation
        {"\xE2\x82", L"\uFFFD\uFFFD"},           // truncated
        {"\xC0\xAF", L"\uFFFD\uFFFD"},           // overlong
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"}, // surrogate
    };
    for (auto& r : decode)
        EXPECT_EQ(gmpi_sdk::fromUtf8(r.utf8), r.wide) << r.utf8;

    EXPECT_EQ(gmpi_sdk::toUtf8(L"\u00e9\U0001F3B5"), "\xC3\xA9\xF0\x9F\x8E\xB5");
    std::wstring unencodable = L"a";
    unencodable += static_cast<wchar_t>(0xD800);
    unencodable += static_cast<wchar_t>(0x110000);
    EXPECT_EQ(gmpi_sdk::toUtf8(unencodable), "a\xEF\xBF\xBD\xEF\xBF\xBD");
}

// How raw bytes from the host become pin values: at most the value's own
// size is copied, a shorter value fills from zero, a bool of no bytes is false.
TEST(PinValues, RawBytesFromTheHost)
{
    const uint8_t eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    int i = -1;
    MpPinValue<int>::set(i, 8, eight);
    EXPECT_EQ(i, 0x04030201);
    MpPinValue<int>::set(i, 2, eight);
    EXPECT_EQ(i, 0x0201);
    MpPinValue<int>::set(i, 0, eight);
    EXPECT_EQ(i, 0);

    struct BoolRow
    {
        std::vector<uint8_t> bytes;
        bool expected;
    };
    const BoolRow bools[] = {
        {{}, false},           {{0}, false},    {{1}, true},    {{0, 0, 0, 1}, true},
        {{0, 0, 0, 0}, false}, {{0, 1}, false}, {{2, 0}, true},
    };
    for (auto& r : bools)
    {
        bool b = !r.expected;
        MpPinValue<bool>::set(b, static_cast<int>(r.bytes.size()), r.bytes.data());
        EXPECT_EQ(b, r.expected) << r.bytes.size() << " bytes";
    }

    std::wstring text;
    const wchar_t chars[] = L"xyz";
    MpPinValue<std::wstring>::set(text, 11, chars); // a partial character is dropped
    EXPECT_EQ(text, L"xy");

    EXPECT_FALSE(MpPinValue<float>::equal(std::nanf(""), std::nanf("")));
    EXPECT_TRUE(MpPinValue<float>::equal(0.0f, -0.0f));
}

TEST(Factory, CompilerInformationIsCutToTheBuffer)
{
    MpFactory f;
    int32_t version = 0;
    wchar_t small[10];
    std::fill(std::begin(small), std::end(small), L'#');
    EXPECT_EQ(f.getSdkInformation(version, 10, small), 0);
    EXPECT_EQ(version, 30800);
    EXPECT_EQ(std::wstring(small), L"GCC Compi");
    wchar_t big[40];
    f.getSdkInformation(version, 40, big);
    EXPECT_EQ(std::wstring(big), L"GCC Compiler V1002 (Release)");
    EXPECT_EQ(std::wstring(big).size(), 28u);
}
