// Tables of host deliveries to one user-interface module, each row with the
// values the module must send in answer, pin and bytes, in order:
//
//   qwtest::UiTable t{L"QW_SplitterFloat"};
//   t.rows = {
//       deliver(0, i32(1)),                                  // setPin, then notifyPin
//       deliver(4, f32(0.5f)).returns(-1),                   // ... and what setPin answers
//       deliver(2, f32(0.25f), {{3, f32(0.25f)}, {4, f32(0.25f)}}),
//       wait(100, {{5, b8(true)}}),                       // with t.manualClock: 100 ms pass
//   };
//   qwtest::runUiTable(t);
//
// The table runs once per echo mode of the host (by default all three: the
// host hands each sent value straight back to the pin that sent it inside the
// send, later, or not at all), each time on a new module. A row may expect
// other sends under one echo mode (`with`), though a module's own echoes
// should change nothing it sends. With the echo later, the held echoes are
// delivered after each row, and those they bring, until none is held; what
// the module sends meanwhile belongs to that row, so a row's sends are the
// transmits after which it settles. A module still sending after 10000 (its
// echoes keep coming back) fails the row, as does one that nests its echoes
// deeper than the host follows them.
#pragma once

#include "ui_host.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qwtest
{
using Bytes = std::vector<uint8_t>;

// Values as the host carries them.
Bytes i32(int32_t v);
Bytes f32(float v);
Bytes b8(bool v);                  // one byte
Bytes text(const std::wstring& v); // four bytes a character

// One value sent to the host. Given a tolerance of 0 or more, an expected
// float matches a sent float that differs by no more (0: the same number, 0
// and -0 alike; a NaN matches any NaN); otherwise the bytes must match.
struct UiSent
{
    int pin;
    Bytes bytes;
    int voice = 0;
    double tolerance = -1.0;
};
// A float expected within a tolerance.
UiSent near(int pin, double value, double tolerance = 0.0);
using UiSends = std::vector<UiSent>;

struct UiRow
{
    enum Kind
    {
        DELIVER,       // setPin, then notifyPin
        SET_ONLY,      // setPin alone
        NOTIFY,        // notifyPin alone
        INITIALIZE,    // initialize
        PIN_COUNT,     // from now on the older host interface answers `count` pins
        NO_OLDER_HOST, // from now on the host answers no older interface (no pin count)
        WAIT           // the manual clock moves on by `ms`, firing the timers due on the way
    } kind = DELIVER;
    int pin = 0;
    Bytes value;
    int voice = 0;
    std::optional<int32_t> size; // handed over instead of the value's size
    bool noData = false;         // a null pointer instead of the value's bytes
    int32_t count = 0;
    double ms = 0.0;
    std::optional<int32_t> result; // what the module answers the call
    UiSends sends;
    std::map<qwhost::Echo, UiSends> sendsWith;
    std::string note;

    UiRow& returns(int32_t r)
    {
        result = r;
        return *this;
    }
    UiRow& onVoice(int v)
    {
        voice = v;
        return *this;
    }
    UiRow& sized(int32_t n)
    {
        size = n;
        return *this;
    }
    UiRow& withoutData()
    {
        noData = true;
        return *this;
    }
    UiRow& with(qwhost::Echo echo, UiSends s)
    {
        sendsWith[echo] = std::move(s);
        return *this;
    }
    UiRow& because(std::string why)
    {
        note = std::move(why);
        return *this;
    }
};

UiRow deliver(int pin, Bytes value, UiSends sends = {});
UiRow setOnly(int pin, Bytes value, UiSends sends = {});
UiRow notify(int pin, UiSends sends = {});
UiRow initialize(UiSends sends = {});
UiRow hostPinCount(int32_t count);
UiRow noOlderHost();
// Time passes on the manual clock (the table's `manualClock`): the module's
// timers tick, and what they send belongs to the row.
UiRow wait(double ms, UiSends sends = {});

constexpr qwhost::Echo kEchoModes[] = {qwhost::Echo::Inside, qwhost::Echo::Later, qwhost::Echo::None};
const char* echoName(qwhost::Echo echo);

struct UiTable
{
    explicit UiTable(std::wstring module) : id(std::move(module)) {}

    std::wstring id;
    std::string bundle = "panelkit";
    // Before the rows: every pin's default, then initialize (what the module
    // sends meanwhile is not checked). Without, the rows start at setHost.
    bool start = true;
    // Runs on each new host before the module is made (resource folder, say).
    std::function<void(qwhost::GuiHost&)> prepareHost;
    // The module runs on the stand-in's manual clock, set to this many seconds
    // before each echo mode's run (and put back as it was after the table).
    std::optional<double> manualClock;
    std::vector<qwhost::Echo> echoes{std::begin(kEchoModes), std::end(kEchoModes)};
    std::vector<UiRow> rows;
};

// Runs the table under each of its echo modes; every difference is a test
// failure naming the echo mode and the row.
void runUiTable(const UiTable& table);

// The bytes of a sent value as a test failure shows them.
std::string describeBytes(const Bytes& bytes);
} // namespace qwtest
