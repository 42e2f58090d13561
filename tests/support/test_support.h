// Shared helpers of the tests: bundles by name, probe logs, raw interface
// calls the way a host compiled elsewhere makes them.
#pragma once

#include "bundle.h"
#include "processing_host.h"
#include "ui_host.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace qwtest
{
// One of the five bundles (built in QW_BUNDLE_DIR) or a test bundle
// ("testkit", "brokenkit" in QW_TEST_BUNDLE_DIR); loaded once per process.
std::shared_ptr<qwhost::Bundle> bundle(const std::string& name);
const std::vector<std::string>& productBundles();
// A built bundle loaded again under the description `meta` instead of its own:
// the bundle as a host with other pin lists sees it.
std::shared_ptr<qwhost::Bundle> bundleDescribedAs(const std::string& name, const std::string& meta);

// Compares the pins a processing object built in its constructor (and open)
// with the host's description; one line per difference.
std::vector<std::string> checkPins(qwhost::Processor& p);
// The ids of the pins a processing object built, in its own order.
std::vector<int> builtPinIds(qwhost::Processor& p);
// The same for a user-interface object, whose pins have no direction: ids
// and datatypes (an integer pin serves an enumeration pin).
std::vector<std::string> checkGuiPins(qwhost::GuiModule& g);

struct LogEntry
{
    int64_t block;
    int kind;
    std::vector<int32_t> v;
};
// Messages of the test modules, in order.
std::vector<LogEntry> probeLog(const qwhost::Processor& p);

// Calls slot `slot` of the interface at `object` the way a host compiled from
// the same slot tables does: through the object's table, `this` first.
template <class R, class... A> R callSlot(void* object, int slot, A... args)
{
    void** table = *static_cast<void***>(object);
    return reinterpret_cast<R (*)(void*, A...)>(table[slot])(object, args...);
}

// Slot of a virtual member function (its position in the class's table).
template <class PMF> int slotOf(PMF f)
{
    static_assert(sizeof(PMF) == 2 * sizeof(void*), "two-word member pointer expected");
    uintptr_t words[2];
    std::memcpy(words, &f, sizeof words);
    return (words[0] & 1) ? static_cast<int>((words[0] - 1) / sizeof(void*)) : -1;
}
} // namespace qwtest

#include <gtest/gtest.h>

#include <filesystem>

namespace qwtest
{
// A test with a scratch folder of its own, in which it runs the built
// command-line host.
class CommandTest : public ::testing::Test
{
protected:
    struct Result
    {
        int code = -1; // exit code, or 128 + the signal that ended it
        std::string out, err;
        long peakKilobytes = 0; // the largest resident size the command reached
    };

    void SetUp() override;
    void TearDown() override;

    // A path in the scratch folder.
    std::string file(const std::string& name) const { return (dir_ / name).string(); }
    // Runs QW_QWHOST with these arguments; standard output and error apart.
    Result qwhost(std::vector<std::string> args) const;
    static std::string slurp(const std::string& path);

    std::filesystem::path dir_;
};

// A PNG file's pixels as cairo reads them (premultiplied by alpha).
struct Png
{
    struct Rgba
    {
        int r, g, b, a;
    };
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0xAARRGGBB, rows packed
    Rgba at(int x, int y) const
    {
        const uint32_t p = pixels[static_cast<size_t>(y * width + x)];
        return {int(p >> 16 & 255), int(p >> 8 & 255), int(p & 255), int(p >> 24)};
    }
};
// Adds a test failure (and gives an empty image) when the file is no PNG.
Png readPng(const std::string& path);
} // namespace qwtest
