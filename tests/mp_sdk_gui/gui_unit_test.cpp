// The user-interface base and pins, tested without a bundle: slot tables,
// the host-value and assignment rules of every pin type, the pin table.
#include "mp_sdk_gui.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using qwtest::slotOf;

TEST(GuiSlotOrder, InterfacesBasesAndPins)
{
    struct Row
    {
        const char* what;
        int slot, expected;
    };
    const Row rows[] = {
        {"ui2 setHost", slotOf(&gmpi::IMpUserInterface2::setHost), 3},
        {"ui2 initialize", slotOf(&gmpi::IMpUserInterface2::initialize), 4},
        {"ui2 setPin", slotOf(&gmpi::IMpUserInterface2::setPin), 5},
        {"ui2 receiveMessageFromAudio", slotOf(&gmpi::IMpUserInterface2::receiveMessageFromAudio), 6},
        {"ui2 populateContextMenu", slotOf(&gmpi::IMpUserInterface2::populateContextMenu), 7},
        {"ui2 onContextMenu", slotOf(&gmpi::IMpUserInterface2::onContextMenu), 8},
        {"ui2 getToolTip", slotOf(&gmpi::IMpUserInterface2::getToolTip), 9},
        {"ui2b notifyPin", slotOf(&gmpi::IMpUserInterface2B::notifyPin), 10},
        {"base pinTransmit", slotOf(&MpGuiBase2::pinTransmit), 13},
        {"invisible pinTransmit", slotOf(&MpGuiInvisibleBase::pinTransmit), 13},
        {"ui1 initialize", slotOf(&gmpi::IMpUserInterface::initialize), 3},
        {"ui1 setPin", slotOf(&gmpi::IMpUserInterface::setPin), 4},
        {"ui1 notifyPin", slotOf(&gmpi::IMpUserInterface::notifyPin), 5},
        {"ui1 receiveMessageFromAudio", slotOf(&gmpi::IMpUserInterface::receiveMessageFromAudio), 6},
        {"ui1 onCreateContextMenu", slotOf(&gmpi::IMpUserInterface::onCreateContextMenu), 7},
        {"ui1 onContextMenu", slotOf(&gmpi::IMpUserInterface::onContextMenu), 8},
        {"legacy base setHost", slotOf(&MpGuiBase_base::setHost), 11},
        {"legacy base pinTransmit", slotOf(&MpGuiBase_base::pinTransmit), 12},
        {"host2 pinTransmit", slotOf(&gmpi::IMpUserInterfaceHost2::pinTransmit), 3},
        {"host2 sendMessageToAudio", slotOf(&gmpi::IMpUserInterfaceHost2::sendMessageToAudio), 6},
        {"host2 RegisterResourceUri", slotOf(&gmpi::IMpUserInterfaceHost2::RegisterResourceUri), 8},
        {"host2 OpenUri", slotOf(&gmpi::IMpUserInterfaceHost2::OpenUri), 9},
        {"host2 FindResourceU", slotOf(&gmpi::IMpUserInterfaceHost2::FindResourceU), 10},
        {"host pinTransmit", slotOf(&gmpi::IMpUserInterfaceHost::pinTransmit), 3},
        {"host getPinCount", slotOf(&gmpi::IMpUserInterfaceHost::getPinCount), 4},
        {"host resolveFilename", slotOf(&gmpi::IMpUserInterfaceHost::resolveFilename), 10},
        {"pin owner pinTransmit", slotOf(&GuiPinOwner::pinTransmit), 2},
        {"pin set", slotOf(&MpGuiPinBase::set), 2},
        {"pin getDatatype", slotOf(&MpGuiPinBase::getDatatype), 3},
        {"pin rawSize", slotOf(&MpGuiPinBase::rawSize), 4},
        {"pin rawData", slotOf(&MpGuiPinBase::rawData), 5},
        {"pin getDefaultEventHandler", slotOf(&MpGuiPinBase::getDefaultEventHandler), 6},
        {"callback call", slotOf(&IGuiPinCallbackImpl::operator()), 2},
    };
    for (auto& r : rows)
        EXPECT_EQ(r.slot, r.expected) << r.what;
}

namespace
{
// A base built on the user-interface base, as the drawn base is: its own
// operations follow the base's fourteen slots.
class NextLayer : public MpGuiInvisibleBase
{
public:
    virtual int32_t firstOwnOperation() { return 0; }
};
} // namespace

TEST(GuiSlotOrder, ALayerOnTheBaseStartsAtSlot14)
{
    EXPECT_EQ(slotOf(&NextLayer::firstOwnOperation), 14);
}

namespace
{
struct Sent
{
    int pin, size, voice;
    std::vector<uint8_t> bytes;
};

// A module whose pinTransmit records instead of calling a host.
class Recorder : public MpGuiInvisibleBase
{
public:
    std::vector<Sent> sent;
    int handlerRuns = 0;
    std::vector<int32_t> voices;

    int32_t pinTransmit(int32_t pin, int32_t size, const void* data, int32_t voice) override
    {
        Sent s{pin, size, voice, {}};
        if (data && size > 0)
            s.bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
        sent.push_back(s);
        return gmpi::MP_OK;
    }
    void onPin() { ++handlerRuns; }
    void onIndexed(int32_t voice) { voices.push_back(voice); }
    using GuiPinOwner::nextPinId;
};

template <class T> std::vector<uint8_t> bytesOf(const T& v)
{
    std::vector<uint8_t> b(sizeof(T));
    std::memcpy(b.data(), &v, sizeof(T));
    return b;
}

std::vector<uint8_t> bytesOf(const std::wstring& s)
{
    std::vector<uint8_t> b(s.size() * 4);
    if (!s.empty())
        std::memcpy(b.data(), s.data(), b.size());
    return b;
}

float floatBits(uint32_t bits)
{
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}
} // namespace

TEST(GuiPins, HostValuesReportChangesByTheirBytes)
{
    MpGuiPin<int> i;
    MpGuiPin<float> f;
    MpGuiPin<bool> b;
    MpGuiPin<std::wstring> t;
    MpGuiPin<MpBlob> blob;
    const int32_t five = 5, one = 1, zero = 0;
    const uint8_t byte1 = 1;
    const int64_t wide = 0x700000007LL;
    const float negZero = -0.0f, nan1 = floatBits(0x7fc00001), nan2 = floatBits(0x7fc00002);
    const std::wstring ab = L"ab";

    struct Row
    {
        const char* what;
        MpGuiPinBase* pin;
        int size;
        const void* data;
        bool changed;
    };
    const Row rows[] = {
        {"int 5", &i, 4, &five, true},
        {"int 5 again", &i, 4, &five, false},
        {"int of 8 bytes takes the first 4", &i, 8, &wide, true},
        {"int of 1 byte fills from zero", &i, 1, &byte1, true},
        {"float -0 differs from 0", &f, 4, &negZero, true},
        {"float -0 again", &f, 4, &negZero, false},
        {"float NaN", &f, 4, &nan1, true},
        {"float the same NaN", &f, 4, &nan1, false},
        {"float another NaN", &f, 4, &nan2, true},
        {"bool byte 1", &b, 1, &byte1, true},
        {"bool byte 1 again", &b, 1, &byte1, false},
        {"bool of 4 bytes always changes", &b, 4, &one, true},
        {"bool of 4 bytes zero", &b, 4, &zero, true},
        {"bool of no bytes", &b, 0, nullptr, true},
        {"empty text on empty text", &t, 0, nullptr, false},
        {"text ab", &t, 8, ab.data(), true},
        {"text ab again", &t, 8, ab.data(), false},
        {"text of 6 bytes is one character", &t, 6, ab.data(), true},
        {"empty blob on empty blob", &blob, 0, nullptr, false},
        {"blob", &blob, 3, "xyz", true},
        {"blob again", &blob, 3, "xyz", false},
        {"blob with a null pointer is empty", &blob, 3, nullptr, true},
    };
    for (auto& r : rows)
        EXPECT_EQ(r.pin->set(0, r.size, r.data), r.changed) << r.what;

    EXPECT_EQ(i.getValue(), 1);
    EXPECT_TRUE(std::isnan(f.getValue()));
    EXPECT_FALSE(b.getValue());
    EXPECT_EQ(t.getValue(), L"a");
    EXPECT_EQ(blob.getValue().getSize(), 0);

    struct Type
    {
        MpGuiPinBase* pin;
        int datatype;
    };
    for (auto& d : {Type{&i, 8}, Type{&f, 6}, Type{&b, 4}, Type{&t, 1}, Type{&blob, 10}})
    {
        EXPECT_EQ(d.pin->getDatatype(), d.datatype);
        EXPECT_EQ(d.pin->getDefaultEventHandler(), nullptr);
    }
}

TEST(GuiPins, AssignmentSendsOnlyChangedValues)
{
    Recorder m;
    MpGuiPin<int> i;
    MpGuiPin<float> f;
    MpGuiPin<bool> b;
    StringGuiPin t;
    MpGuiPin<MpBlob> blob;
    m.initializePin(i);
    m.initializePin(f);
    m.initializePin(b);
    m.initializePin(t);
    m.initializePin(blob);
    const float nan = std::numeric_limits<float>::quiet_NaN();

    i = 0;              // equal: nothing
    i = 3;              // sent
    f = -0.0f;          // -0 equals 0: nothing
    f = nan;            // NaN is never equal: sent
    f = nan;            // and again
    b = true;           // one byte
    t = L"\u00e9x";     // 4 bytes per character
    t = std::wstring(); // empty text: size 0
    blob = MpBlob(2, "hi");
    blob = MpBlob(2, "hi");

    const std::vector<Sent> expected = {
        {0, 4, 0, bytesOf(int32_t{3})},
        {1, 4, 0, bytesOf(nan)},
        {1, 4, 0, bytesOf(nan)},
        {2, 1, 0, {1}},
        {3, 8, 0, bytesOf(std::wstring(L"\u00e9x"))},
        {3, 0, 0, {}},
        {4, 2, 0, {'h', 'i'}},
    };
    ASSERT_EQ(m.sent.size(), expected.size());
    for (size_t k = 0; k < expected.size(); ++k)
    {
        EXPECT_EQ(m.sent[k].pin, expected[k].pin) << k;
        EXPECT_EQ(m.sent[k].size, expected[k].size) << k;
        EXPECT_EQ(m.sent[k].voice, 0) << k;
        EXPECT_EQ(m.sent[k].bytes, expected[k].bytes) << k;
    }

    // Assignment answers the stored value, so one assignment feeds the next.
    MpGuiPin<int> j;
    m.initializePin(j);
    m.sent.clear();
    const int& stored = (j = i = 7);
    EXPECT_EQ(&stored, &j.getValue());
    ASSERT_EQ(m.sent.size(), 2u);
    EXPECT_EQ(m.sent[0].pin, 0);
    EXPECT_EQ(m.sent[1].pin, 5);
    // Pin to pin assigns the value and sends it.
    MpGuiPin<int> k;
    m.initializePin(k);
    k = i;
    EXPECT_EQ(k.getValue(), 7);
    EXPECT_EQ(m.sent.back().pin, 6);
}

TEST(GuiPins, TextCrossesAsUtf8AndNeverThrows)
{
    Recorder m;
    StringGuiPin t;
    m.initializePin(t);
    struct Row
    {
        const char* what;
        std::string in;
        std::wstring stored;
    };
    const Row rows[] = {
        {"ascii", "abc", L"abc"},
        {"two, three and four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", L"\u00e9\u20ac\U0001F600"},
        {"a stray byte and a cut sequence", "a\xFF\xC3", L"a\uFFFD\uFFFD"},
        {"an encoded surrogate", "\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},
    };
    for (auto& r : rows)
    {
        const std::string& back = (t = r.in);
        EXPECT_EQ(&back, &r.in) << r.what;
        EXPECT_EQ(t.getValue(), r.stored) << r.what;
    }
    // Characters UTF-8 cannot encode come out as EF BF BD.
    std::wstring bad = L"x";
    bad += static_cast<wchar_t>(0xD800);
    bad += static_cast<wchar_t>(0x110000);
    t = bad;
    EXPECT_EQ(static_cast<std::string>(t), "x\xEF\xBF\xBD\xEF\xBF\xBD");
    // An equal text assigned as UTF-8 sends nothing.
    const size_t before = m.sent.size();
    t = std::string("x\xEF\xBF\xBD");
    t = std::string("x\xEF\xBF\xBD");
    EXPECT_EQ(m.sent.size(), before + 1);
}

TEST(GuiPinTable, AutomaticIdsAndTheFirstPinOfAnId)
{
    Recorder m;
    MpGuiPin<int> a, b, c, d, e;
    EXPECT_EQ(m.nextPinId(), 0);
    m.initializePin(a);
    EXPECT_EQ(a.getId(), 0);
    m.initializePin(5, b);
    m.initializePin(c);
    EXPECT_EQ(c.getId(), 6);
    m.initializePin(0, d, &Recorder::onPin); // id taken: a stays
    EXPECT_EQ(m.getPin(0), &a);
    EXPECT_EQ(d.getId(), 0);
    EXPECT_EQ(d.getOwner(), static_cast<GuiPinOwner*>(&m));
    EXPECT_EQ(m.getPin(3), nullptr);

    Recorder fresh;
    fresh.initializePin(3, e);
    fresh.initializePin(a);
    EXPECT_EQ(a.getId(), 4);
}

TEST(GuiPinTable, SetStoresNotifyRunsTheHandler)
{
    Recorder m;
    MpGuiPin<float> f;
    MpGuiPin<bool> b;
    MpGuiPin<int> plain, indexed;
    m.initializePin(f, &Recorder::onPin);
    m.initializePin(b, &Recorder::onPin);
    m.initializePin(plain);
    m.initializePin(3, indexed, &Recorder::onIndexed);
    const float v = 2.0f;

    EXPECT_EQ(m.setPin(0, 0, 4, &v), 0);
    EXPECT_EQ(f.getValue(), 2.0f);
    EXPECT_EQ(m.handlerRuns, 0);
    EXPECT_TRUE(m.sent.empty());
    EXPECT_EQ(m.notifyPin(0, 0), 0);
    EXPECT_EQ(m.notifyPin(0, 0), 0); // unchanged, runs again
    EXPECT_EQ(m.handlerRuns, 2);
    EXPECT_EQ(m.notifyPin(2, 0), 0); // no handler
    EXPECT_EQ(m.setPin(9, 0, 4, &v), -1);
    EXPECT_EQ(m.notifyPin(9, 0), -1);
    EXPECT_EQ(m.setPin2(9, 0, 4, &v), -1);

    // setPin2 runs the handler only on a change; four bool bytes always change.
    m.handlerRuns = 0;
    EXPECT_EQ(m.setPin2(0, 0, 4, &v), 0);
    EXPECT_EQ(m.handlerRuns, 0);
    const int32_t yes = 1;
    m.setPin2(1, 0, 4, &yes);
    m.setPin2(1, 0, 4, &yes);
    EXPECT_EQ(m.handlerRuns, 2);

    // An assignment of the value the host stored sends nothing.
    f = 2.0f;
    EXPECT_TRUE(m.sent.empty());

    // The indexed handler gets the voice.
    m.notifyPin(3, 7);
    EXPECT_EQ(m.voices, std::vector<int32_t>{7});
}

namespace
{
// A host that answers only what it is told to.
class BareHost : public gmpi::IMpUnknown
{
public:
    int refs = 1;
    int32_t queryInterface(const gmpi::MpGuid&, void** out) override
    {
        *out = nullptr;
        return gmpi::MP_NOSUPPORT;
    }
    int32_t addRef() override { return ++refs; }
    int32_t release() override { return --refs; }
};

class Plain : public MpGuiInvisibleBase
{
public:
    MpGuiPin<int> pin;
    Plain() { initializePin(pin); }
};

class OldPlain : public MpGuiBase_base
{};
} // namespace

TEST(GuiBase, AnswersAndDefaultsWithoutAHost)
{
    auto* m = new Plain();
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(m->queryInterface(gmpi::MP_IID_PLUGIN2, &out), -2);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(m->queryInterface(gmpi::MP_IID_GUI_PLUGIN, &out), -2);
    for (auto* iid : {&gmpi::MP_IID_UNKNOWN, &gmpi::MP_IID_GUI_PLUGIN2, &gmpi::MP_IID_GUI_PLUGIN2B})
    {
        EXPECT_EQ(m->queryInterface(*iid, &out), 0);
        EXPECT_EQ(out, static_cast<gmpi::IMpUserInterface2B*>(m));
        EXPECT_EQ(m->release(), 1);
    }
    EXPECT_EQ(m->initialize(), 0);
    EXPECT_EQ(m->receiveMessageFromAudio(1, 0, nullptr), -1);
    EXPECT_EQ(m->populateContextMenu(0, 0, nullptr), -1);
    EXPECT_EQ(m->onContextMenu(1), -1);
    EXPECT_EQ(m->getToolTip(0, 0, nullptr), -1);

    // No host: setHost says so, and what needs the host does nothing.
    BareHost host;
    EXPECT_EQ(m->setHost(nullptr), -2);
    EXPECT_EQ(m->setHost(&host), -2);
    EXPECT_EQ(host.refs, 1);
    m->pin = 4;
    EXPECT_EQ(m->pin.getValue(), 4);
    EXPECT_EQ(m->pinTransmit(0, 0, nullptr, 0), -1);
    EXPECT_EQ(m->sendMessageToAudio(1, 0, nullptr), -1);
    EXPECT_EQ(m->getHostPinCount(), -1);
    EXPECT_EQ(m->getUiHost().FindResourceU("a", "b"), "");
    EXPECT_EQ(m->getUiHost().RegisterResourceUri("a", "b"), "");
    EXPECT_TRUE(m->getUiHost().OpenUri("a").isNull());
    EXPECT_EQ(m->getUiHost().resolveFilename(L"a"), L"");
    EXPECT_EQ(m->release(), 0);

    // The first-generation base refuses a host without its interface.
    auto* old = new OldPlain();
    try
    {
        old->setHost(&host);
        ADD_FAILURE() << "no exception";
    }
    catch (const char* what)
    {
        EXPECT_STREQ(what, "host Interfaces not supported");
    }
    EXPECT_EQ(old->receiveMessageFromAudio(1, 0, nullptr), 0);
    EXPECT_EQ(old->onCreateContextMenu(), 0);
    EXPECT_EQ(old->onContextMenu(1), 0);
    EXPECT_EQ(old->queryInterface(gmpi::MP_IID_GUI_PLUGIN2, &out), -2);
    EXPECT_EQ(old->queryInterface(gmpi::MP_IID_LEGACY_INITIALIZATION, &out), 0);
    EXPECT_EQ(out, static_cast<gmpi::IMpLegacyInitialization*>(old));
    EXPECT_EQ(old->release(), 1);
    EXPECT_EQ(old->release(), 0);
}
