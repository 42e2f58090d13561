// What the tests of the sample editing and measuring modules share: samples
// whose frames the test owns, passed as descriptors the bundle accepts, and
// the descriptors the modules send read back.
#pragma once

#include "mp_sdk_common.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace s2test
{
using qwhost::Echo;

// The descriptor as it travels: magic, count, address, serial, token.
struct Desc
{
    uint32_t magic;
    int32_t count;
    uint64_t address;
    uint32_t serial;
    uint32_t token;
};
static_assert(sizeof(Desc) == 24, "24 bytes on the wire");
constexpr uint32_t kMagic = 0x534D504C;

inline std::shared_ptr<qwhost::Bundle> kit()
{
    return qwtest::bundle("samplekit2");
}

// The token of the loaded bundle, read from a descriptor its file loader sends.
uint32_t bundleToken();

// A descriptor that names the frames of `v` (v must outlive its use); an
// empty vector gives the empty sample.
std::vector<uint8_t> sample(const std::vector<float>& v);
std::vector<uint8_t> bytesOf(const Desc& d);
// Values a receiver must take for no sample: `good` with a wrong token,
// magic, count or address, one byte short or long, and bytes of all ones.
std::vector<std::vector<uint8_t>> brokenDescriptors(const Desc& good);
std::optional<Desc> asDesc(const std::vector<uint8_t>& bytes);
std::vector<float> framesAt(const Desc& d);

// The last sample a module transmitted on a pin: nullopt when it sent none,
// an empty vector for the empty sample.
std::optional<std::vector<float>> lastSample(const qwhost::GuiModule& g, int pin);
// How many values it transmitted on a pin.
size_t sends(const qwhost::GuiModule& g, int pin);
// The last int or float it transmitted on a pin, or `otherwise` when none.
int32_t lastInt(const qwhost::GuiModule& g, int pin, int32_t otherwise = 0);
float lastFloat(const qwhost::GuiModule& g, int pin, float otherwise = 0.0f);

// True when the frames were given back to the allocator (known only under
// AddressSanitizer; nullopt elsewhere).
inline std::optional<bool> released(const Desc& d)
{
#if defined(__SANITIZE_ADDRESS__)
    return __asan_address_is_poisoned(reinterpret_cast<const void*>(static_cast<uintptr_t>(d.address))) != 0;
#else
    (void)d;
    return std::nullopt;
#endif
}

// The fast 2^x as the modules compute it: the float whose bits are
// trunc((x + 121.274055 + 27.728024 / (4.8425255 - z) - 1.4901291 z) 2^23), z
// the fraction of x (plus 1 below 0).
inline float exp2Formula(float x)
{
    float z = x - std::trunc(x);
    if (x < 0.0f)
        z += 1.0f;
    const float v = x + 121.274055f + 27.728024f / (4.8425255f - z) - 1.4901291f * z;
    const uint32_t bits = static_cast<uint32_t>(static_cast<int64_t>(v * 8388608.0f));
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

// Distinct frames, exact in float: (i + 1) / 64 with the sign alternating.
std::vector<float> ramp(int n);

std::string echoName(const ::testing::TestParamInfo<Echo>& info);

// A test run once per echo mode of the host: inside the call, later, none.
class EchoTest : public ::testing::TestWithParam<Echo>
{
protected:
    void SetUp() override { gui.echo = GetParam(); }
    std::unique_ptr<qwhost::GuiModule> make(const std::wstring& id, bool start = true)
    {
        return gui.create(kit(), id, start);
    }
    // A trigger pin turned on, then off, as a user's button does.
    static void trigger(qwhost::GuiModule& g, int pin)
    {
        g.setBool(pin, true);
        g.setBool(pin, false);
    }

    qwhost::GuiHost gui;
};
} // namespace s2test
