#include "ui_table.h"

#include "test_support.h"

#include "mp_sdk_common.h"
#include "run_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace qwtest
{
namespace
{
template <class T> Bytes bytesOf(const T& v)
{
    Bytes b(sizeof v);
    std::memcpy(b.data(), &v, sizeof v);
    return b;
}

std::string describe(const UiSends& sends)
{
    if (sends.empty())
        return "  (nothing)\n";
    std::ostringstream s;
    for (auto& v : sends)
    {
        s << "  pin " << v.pin << ": " << describeBytes(v.bytes);
        if (v.tolerance >= 0.0)
            s << " within " << v.tolerance;
        if (v.voice)
            s << " voice " << v.voice;
        s << "\n";
    }
    return s.str();
}

const char* kindName(UiRow::Kind k)
{
    switch (k)
    {
    case UiRow::DELIVER:
        return "deliver";
    case UiRow::SET_ONLY:
        return "setPin alone";
    case UiRow::NOTIFY:
        return "notifyPin alone";
    case UiRow::INITIALIZE:
        return "initialize";
    case UiRow::PIN_COUNT:
        return "host pin count";
    case UiRow::WAIT:
        return "wait";
    default:
        return "no older host";
    }
}

std::string rowTitle(size_t index, const UiRow& row)
{
    std::ostringstream s;
    s << "row " << index << " (" << kindName(row.kind);
    if (row.kind == UiRow::DELIVER || row.kind == UiRow::SET_ONLY || row.kind == UiRow::NOTIFY)
        s << " pin " << row.pin;
    if (row.kind == UiRow::DELIVER || row.kind == UiRow::SET_ONLY)
    {
        s << " " << describeBytes(row.value);
        if (row.size)
            s << " size " << *row.size;
        if (row.noData)
            s << " without data";
    }
    if (row.kind == UiRow::PIN_COUNT)
        s << " " << row.count;
    if (row.kind == UiRow::WAIT)
        s << " " << row.ms << " ms";
    if (row.voice)
        s << " voice " << row.voice;
    s << ")";
    if (!row.note.empty())
        s << ": " << row.note;
    return s.str();
}

float floatOf(const Bytes& b)
{
    float f;
    std::memcpy(&f, b.data(), 4);
    return f;
}

bool matches(const UiSent& got, const UiSent& want)
{
    if (got.pin != want.pin || got.voice != want.voice)
        return false;
    if (want.tolerance < 0.0 || got.bytes.size() != 4 || want.bytes.size() != 4)
        return got.bytes == want.bytes;
    const double g = floatOf(got.bytes), w = floatOf(want.bytes);
    return std::isnan(w) ? std::isnan(g) : g == w || std::fabs(g - w) <= want.tolerance;
}

UiRow make(UiRow::Kind kind, int pin, Bytes value, UiSends sends)
{
    UiRow r;
    r.kind = kind;
    r.pin = pin;
    r.value = std::move(value);
    r.sends = std::move(sends);
    return r;
}

void runOnce(const UiTable& table, qwhost::Echo echo)
{
    if (table.manualClock)
        qwhost::RunLoop::useManualClock(*table.manualClock);
    qwhost::GuiHost host;
    host.echo = echo;
    if (table.prepareHost)
        table.prepareHost(host);
    auto g = host.create(bundle(table.bundle), table.id, table.start);
    // Lets the echoes held back settle; false when they keep coming.
    auto settle = [&] {
        if (echo != qwhost::Echo::Later)
            return g->pendingEchoes() == 0;
        return g->settleEchoes();
    };
    if (table.start)
    {
        ASSERT_TRUE(settle()) << "the module's echoes keep coming back while it starts";
    }

    for (size_t i = 0; i < table.rows.size(); ++i)
    {
        const UiRow& row = table.rows[i];
        const std::string title = rowTitle(i, row);
        const size_t before = g->transmits.size();
        std::optional<int32_t> answer;
        const int32_t size = row.size.value_or(static_cast<int32_t>(row.value.size()));
        const void* data = row.noData || row.value.empty() ? nullptr : row.value.data();
        switch (row.kind)
        {
        case UiRow::DELIVER:
            answer = g->setPinOnly(row.pin, data, size, row.voice);
            g->notifyPin(row.pin, row.voice);
            break;
        case UiRow::SET_ONLY:
            answer = g->setPinOnly(row.pin, data, size, row.voice);
            break;
        case UiRow::NOTIFY:
            answer = g->notifyPin(row.pin, row.voice);
            break;
        case UiRow::INITIALIZE:
            answer = g->initialize();
            break;
        case UiRow::PIN_COUNT:
            host.offerLegacyHost = true;
            host.pinCountAnswer = row.count;
            break;
        case UiRow::NO_OLDER_HOST:
            host.offerLegacyHost = false;
            break;
        case UiRow::WAIT:
            if (!table.manualClock)
            {
                ADD_FAILURE() << title << ": a wait needs the table's manual clock";
                return;
            }
            qwhost::RunLoop::current().advance(row.ms);
            break;
        }
        const bool settled = settle();
        EXPECT_TRUE(settled) << echoName(echo) << ", " << title
                             << (echo == qwhost::Echo::Later ? ": the module's echoes keep coming back ("
                                                             : ": the module's echoes nest deeper than the host "
                                                               "follows them (")
                             << g->transmits.size() - before << " sent, " << g->pendingEchoes() << " held)";
        if (row.result)
        {
            EXPECT_EQ(answer, row.result) << echoName(echo) << ", " << title << ": the module's answer";
        }

        UiSends got;
        for (size_t t = before; t < g->transmits.size(); ++t)
        {
            const auto& v = g->transmits[t];
            got.push_back({v.pin, v.data, v.voice});
        }
        auto it = row.sendsWith.find(echo);
        const UiSends& want = it != row.sendsWith.end() ? it->second : row.sends;
        bool same = got.size() == want.size();
        for (size_t k = 0; same && k < got.size(); ++k)
            same = matches(got[k], want[k]);
        EXPECT_TRUE(same) << echoName(echo) << ", " << title << "\nexpected sends:\n"
                          << describe(want) << "sent:\n"
                          << describe(got);
        if (!settled)
            return; // later rows would only repeat the fault
    }
}
} // namespace

Bytes i32(int32_t v)
{
    return bytesOf(v);
}

Bytes f32(float v)
{
    return bytesOf(v);
}

Bytes b8(bool v)
{
    return Bytes{static_cast<uint8_t>(v ? 1 : 0)};
}

Bytes text(const std::wstring& v)
{
    Bytes b(v.size() * 4);
    if (!v.empty())
        std::memcpy(b.data(), v.data(), b.size());
    return b;
}

UiSent near(int pin, double value, double tolerance)
{
    return {pin, f32(static_cast<float>(value)), 0, tolerance};
}

UiRow deliver(int pin, Bytes value, UiSends sends)
{
    return make(UiRow::DELIVER, pin, std::move(value), std::move(sends));
}

UiRow setOnly(int pin, Bytes value, UiSends sends)
{
    return make(UiRow::SET_ONLY, pin, std::move(value), std::move(sends));
}

UiRow notify(int pin, UiSends sends)
{
    return make(UiRow::NOTIFY, pin, {}, std::move(sends));
}

UiRow initialize(UiSends sends)
{
    return make(UiRow::INITIALIZE, 0, {}, std::move(sends));
}

UiRow hostPinCount(int32_t count)
{
    UiRow r = make(UiRow::PIN_COUNT, 0, {}, {});
    r.count = count;
    return r;
}

UiRow noOlderHost()
{
    return make(UiRow::NO_OLDER_HOST, 0, {}, {});
}

UiRow wait(double ms, UiSends sends)
{
    UiRow r = make(UiRow::WAIT, 0, {}, std::move(sends));
    r.ms = ms;
    return r;
}

const char* echoName(qwhost::Echo echo)
{
    switch (echo)
    {
    case qwhost::Echo::Inside:
        return "echo inside";
    case qwhost::Echo::Later:
        return "echo later";
    default:
        return "no echo";
    }
}

std::string describeBytes(const Bytes& bytes)
{
    std::ostringstream s;
    s << "[";
    const size_t shown = std::min<size_t>(bytes.size(), 16);
    for (size_t i = 0; i < shown; ++i)
    {
        char h[4];
        std::snprintf(h, sizeof h, "%02x", bytes[i]);
        s << (i ? " " : "") << h;
    }
    if (shown < bytes.size())
        s << " ... " << bytes.size() << " bytes";
    s << "]";
    if (bytes.size() == 4)
    {
        int32_t i;
        float f;
        std::memcpy(&i, bytes.data(), 4);
        std::memcpy(&f, bytes.data(), 4);
        s << " (int " << i << ", float " << f << ")";
    }
    return s.str();
}

void runUiTable(const UiTable& table)
{
    const bool wasManual = qwhost::RunLoop::manualClock();
    const double was = qwhost::RunLoop::now();
    for (auto echo : table.echoes)
    {
        SCOPED_TRACE(std::string(echoName(echo)) + ": " + gmpi_sdk::toUtf8(table.id));
        runOnce(table, echo);
    }
    if (table.manualClock && !wasManual)
        qwhost::RunLoop::useRealClock();
    else if (table.manualClock)
        qwhost::RunLoop::useManualClock(was);
}
} // namespace qwtest
