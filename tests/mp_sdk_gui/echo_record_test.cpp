// The record of a module's own sends: which values coming back are its
// echoes, and what the pin table does with them.
#include "echo_record.h"
#include "mp_sdk_gui.h"

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's own count (its allocator replaces malloc's).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

Bytes f32(float v)
{
    Bytes b(4);
    std::memcpy(b.data(), &v, 4);
    return b;
}

// One step: the module sends, or the host stores a value and the record says
// whether it is an echo.
struct Step
{
    enum
    {
        SEND,
        ARRIVE
    } kind;
    int32_t pin;
    Bytes value;
    bool echo = false; // for ARRIVE
};

Step send(int32_t pin, Bytes v)
{
    return {Step::SEND, pin, std::move(v)};
}
Step echo(int32_t pin, Bytes v)
{
    return {Step::ARRIVE, pin, std::move(v), true};
}
Step fresh(int32_t pin, Bytes v)
{
    return {Step::ARRIVE, pin, std::move(v), false};
}

const Bytes A = {1, 2, 3}, B = {4, 5}, T = {1}, F = {0};
} // namespace

TEST(EchoRecord, WhichValuesAreEchoes)
{
    const struct
    {
        const char* what;
        std::vector<Step> steps;
    } cases[] = {
        {"a value sent comes back once", {send(1, A), echo(1, A), fresh(1, A)}},
        {"compared as bytes: NaN matches itself", {send(1, f32(std::nanf(""))), echo(1, f32(std::nanf("")))}},
        {"compared as bytes: -0 is not 0", {send(1, f32(0.0f)), fresh(1, f32(-0.0f))}},
        {"only on the pin it was sent on", {send(1, A), fresh(2, A), fresh(1, A)}},
        {"a different value ends that pin's expectation", {send(1, A), fresh(1, B), fresh(1, A)}},
        {"a different value ends that pin's expectation only", {send(1, A), send(2, B), fresh(2, A), echo(1, A)}},
        {"a value on a pin expecting nothing ends every pin's",
         {send(1, A), send(2, B), fresh(3, A), fresh(1, A), fresh(2, B)}},
        {"values sent before their echoes come are expected in order",
         {send(1, T), send(1, F), send(1, T), send(1, F), echo(1, T), echo(1, F), echo(1, T), echo(1, F), fresh(1, F)}},
        {"a host that passes on only the latest skips the older ones",
         {send(1, T), send(1, F), echo(1, F), fresh(1, T)}},
        {"an echo inside the send, then the next send", {send(1, A), echo(1, A), send(1, A), echo(1, A)}},
        {"the empty value", {send(1, {}), echo(1, {})}},
    };
    for (auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        EchoRecord r;
        for (size_t i = 0; i < c.steps.size(); ++i)
        {
            const Step& s = c.steps[i];
            const void* data = s.value.empty() ? nullptr : s.value.data();
            const auto size = static_cast<int32_t>(s.value.size());
            if (s.kind == Step::SEND)
                r.sent(s.pin, size, data);
            else
                EXPECT_EQ(r.arrived(s.pin, size, data), s.echo) << "step " << i;
        }
    }
}

TEST(EchoRecord, MissingBytesOrANegativeSizeAreTheEmptyValue)
{
    EchoRecord r;
    const uint8_t junk[4] = {9, 9, 9, 9};
    r.sent(1, -5, junk);
    EXPECT_TRUE(r.arrived(1, 4, nullptr));
    r.sent(1, 0, nullptr);
    EXPECT_TRUE(r.arrived(1, INT32_MIN, junk));
}

// A pin keeps at most kMaxExpected values; the oldest go first.
TEST(EchoRecord, ExpectationsPerPinAreBounded)
{
    EchoRecord r;
    const int32_t n = static_cast<int32_t>(EchoRecord::kMaxExpected) + 1;
    for (int32_t i = 0; i < n; ++i)
        r.sent(1, 4, &i);
    r.sent(2, 4, &n);
    EXPECT_EQ(r.expected(), EchoRecord::kMaxExpected + 1);
    const int32_t second = 1;
    EXPECT_TRUE(r.arrived(1, 4, &second)) << "the first was forgotten";
    EXPECT_EQ(r.expected(), EchoRecord::kMaxExpected) << "1023 on pin 1, one on pin 2";
}

// A value sent to many pins and a pulse share their bytes: a large value sent
// to every copy of a pin is held once.
TEST(EchoRecord, SettlesFanOutsOfLargeValues)
{
    EchoRecord r;
    const Bytes big(1 << 16, 0x5A);
    for (int32_t pin = 3; pin < 4096; ++pin)
        r.sent(pin, static_cast<int32_t>(big.size()), big.data());
    EXPECT_EQ(r.expected(), 4093u);
    for (int32_t pin = 3; pin < 4096; ++pin)
        ASSERT_TRUE(r.arrived(pin, static_cast<int32_t>(big.size()), big.data())) << pin;
    EXPECT_EQ(r.expected(), 0u);
}

// A value longer than kKeptBytes (a sample) is held as its length and hash:
// its echo is recognised, a value of that length that differs in one byte is
// not, and values that never come back hold no copies of their bytes.
TEST(EchoRecord, LongValuesAreHeldAsTheirHash)
{
    Bytes big(EchoRecord::kKeptBytes * 4 + 3, 0x11);
    const auto size = static_cast<int32_t>(big.size());
    for (size_t at : {size_t(0), size_t(2000), big.size() - 1})
    {
        EchoRecord r;
        r.sent(1, size, big.data());
        Bytes other = big;
        other[at] ^= 1;
        EXPECT_FALSE(r.arrived(1, size, other.data())) << "byte " << at;
        r.sent(1, size, big.data());
        EXPECT_TRUE(r.arrived(1, size, big.data()));
    }
#if defined(__SANITIZE_ADDRESS__)
    EchoRecord r;
    Bytes value(1 << 18);
    const size_t before = __sanitizer_get_current_allocated_bytes();
    for (int i = 0; i < 200; ++i)
    {
        value[static_cast<size_t>(i)] = 1;
        r.sent(1, static_cast<int32_t>(value.size()), value.data());
    }
    EXPECT_EQ(r.expected(), 200u);
    EXPECT_LT(__sanitizer_get_current_allocated_bytes() - before, size_t(1) << 20) << "copies of 50 MB were kept";
#endif
}

namespace
{
// A host that hands every value straight back to the module, inside the send,
// as setPin then notifyPin, unless told to hold it.
class EchoingHost : public gmpi::IMpUserInterfaceHost2
{
public:
    gmpi::IMpUserInterface2B* module = nullptr;
    bool inside = true;
    std::vector<std::pair<int32_t, Bytes>> sent;

    int32_t queryInterface(const gmpi::MpGuid& iid, void** out) override
    {
        *out = iid == gmpi::MP_IID_UI_HOST2 || iid == gmpi::MP_IID_UNKNOWN ? this : nullptr;
        return *out ? gmpi::MP_OK : gmpi::MP_NOSUPPORT;
    }
    int32_t addRef() override { return 1; }
    int32_t release() override { return 1; }
    int32_t pinTransmit(int32_t pinId, int32_t size, const void* data, int32_t voice) override
    {
        const auto* b = static_cast<const uint8_t*>(data);
        sent.push_back({pinId, Bytes(b, b + size)});
        if (inside)
        {
            module->setPin(pinId, voice, size, data);
            module->notifyPin(pinId, voice);
        }
        return gmpi::MP_OK;
    }
    int32_t unusedSlot4() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot5() override { return gmpi::MP_NOSUPPORT; }
    int32_t sendMessageToAudio(int32_t, int32_t, const void*) override { return gmpi::MP_OK; }
    int32_t unusedSlot7() override { return gmpi::MP_NOSUPPORT; }
    int32_t RegisterResourceUri(const char*, const char*, gmpi::IString*) override { return gmpi::MP_FAIL; }
    int32_t OpenUri(const char*, gmpi::IProtectedFile2**) override { return gmpi::MP_FAIL; }
    int32_t FindResourceU(const char*, const char*, gmpi::IString*) override { return gmpi::MP_FAIL; }
};

// Copies pin 0 to pin 1 and pin 1 to pin 0, every time: without the record a
// host that echoes bounces the value between them.
class Copier : public MpGuiInvisibleBase
{
public:
    explicit Copier(bool expectEchoes)
    {
        initializePin(a, &Copier::onA);
        initializePin(b, &Copier::onB);
        if (expectEchoes)
            expectOwnEchoes();
    }
    int runs = 0;
    MpGuiPin<float> a, b;
    using GuiPinOwner::isOwnEcho;

private:
    void onA()
    {
        if (++runs < 100)
            pinTransmit(1, 4, &a.getValue(), 0);
    }
    void onB()
    {
        if (++runs < 100)
            pinTransmit(0, 4, &b.getValue(), 0);
    }
};
} // namespace

TEST(EchoRecord, TheModuleStoresItsEchoButRunsNoHandler)
{
    for (bool expect : {false, true})
    {
        SCOPED_TRACE(expect ? "expecting its echoes" : "without the record");
        EchoingHost host;
        Copier m(expect);
        host.module = &m;
        m.setHost(&host);
        const float v = std::nanf("");
        m.setPin(0, 0, 4, &v);
        m.notifyPin(0, 0);
        EXPECT_EQ(m.runs, expect ? 1 : 100) << "a value from outside runs once; its copy's echo runs nothing";
        EXPECT_TRUE(std::isnan(m.b.getValue())) << "the echo is stored";
    }
}

TEST(EchoRecord, HeldEchoesNotificationsAndSetPin2)
{
    EchoingHost host;
    host.inside = false;
    Copier m(true);
    host.module = &m;
    m.setHost(&host);
    const float one = 1.0f, two = 2.0f, three = 3.0f;
    m.setPin(0, 0, 4, &one);
    m.notifyPin(0, 0);
    ASSERT_EQ(m.runs, 1);

    // The echo comes later, on another voice: stored, no handler.
    m.setPin(1, 3, 4, &one);
    EXPECT_TRUE(m.isOwnEcho(1));
    m.notifyPin(1, 3);
    EXPECT_EQ(m.runs, 1);
    EXPECT_EQ(m.b.getValue(), 1.0f);
    // A further notification of that value is the host's own.
    m.notifyPin(1, 0);
    EXPECT_EQ(m.runs, 2);

    // setPin2 runs the handler of a changed value, but not for an echo.
    m.setPin(1, 0, 4, &two);
    m.notifyPin(1, 0);
    ASSERT_EQ(m.runs, 3);
    m.setPin2(0, 0, 4, &two);
    EXPECT_EQ(m.a.getValue(), 2.0f);
    EXPECT_EQ(m.runs, 3) << "a changed value, but the copy just sent";
    m.setPin2(0, 0, 4, &three);
    EXPECT_EQ(m.runs, 4);

    // Pins without a pin object are classified all the same.
    m.pinTransmit(7, 4, &two, 0);
    EXPECT_EQ(m.setPin(7, 0, 4, &two), -1);
    EXPECT_TRUE(m.isOwnEcho(7));
    EXPECT_EQ(m.setPin(7, 0, 4, &two), -1);
    EXPECT_FALSE(m.isOwnEcho(7)) << "once";
}
