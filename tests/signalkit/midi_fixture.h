// A MIDI module of the signalkit bundle in the host stand-in, with messages
// written as hexadecimal text ("90 3C 64") and what it sent, pin by pin.
#pragma once

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace midi_test
{
using Bytes = std::vector<uint8_t>;

inline Bytes hex(const std::string& text)
{
    Bytes out;
    std::istringstream in(text);
    std::string byte;
    while (in >> byte)
        out.push_back(static_cast<uint8_t>(std::strtoul(byte.c_str(), nullptr, 16)));
    return out;
}

inline std::string hex(const Bytes& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (uint8_t b : bytes)
    {
        if (!s.empty())
            s += ' ';
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

struct Sent
{
    int64_t time;
    std::string bytes; // as hexadecimal text
};

struct MidiModule
{
    qwhost::ProcessingHost host;
    std::unique_ptr<qwhost::Processor> p;

    // copies: how many pins the host makes of each auto-duplicating pin.
    explicit MidiModule(const std::wstring& id, int copies = 2, int blockSize = 64)
    {
        host.autoDuplicateCount = copies;
        host.blockSize = blockSize;
        p = host.create(qwtest::bundle("signalkit"), id);
    }

    int pin(const std::string& name) const { return p->pin(name); }

    // Every input at its default, run one block and forget what was sent.
    void start()
    {
        p->startGraph(0);
        run(host.blockSize);
        forget();
    }
    void forget()
    {
        p->updates.clear();
        p->streamingReports.clear();
    }
    void run(int64_t samples) { p->runFor(samples, host.blockSize); }

    void send(int pin, const std::string& message, int offset = 0) { p->sendMidi(pin, hex(message), offset); }

    // Messages (or any values) sent on a pin, in order.
    std::vector<Sent> sent(int pin) const
    {
        std::vector<Sent> out;
        for (auto& u : p->updates)
            if (u.pin == pin)
                out.push_back({u.time, hex(u.data)});
        return out;
    }
    std::vector<std::string> messages(int pin) const
    {
        std::vector<std::string> out;
        for (auto& s : sent(pin))
            out.push_back(s.bytes);
        return out;
    }
    // Boolean values sent on a pin as (time, value).
    std::vector<std::pair<int64_t, bool>> bools(int pin) const
    {
        std::vector<std::pair<int64_t, bool>> out;
        for (auto& u : p->updates)
            if (u.pin == pin)
                out.emplace_back(u.time, u.asBool());
        return out;
    }
    // Streaming reports of a pin as (time, streaming).
    std::vector<std::pair<int64_t, bool>> streaming(int pin) const
    {
        std::vector<std::pair<int64_t, bool>> out;
        for (auto& s : p->streamingReports)
            if (s.pin == pin)
                out.emplace_back(s.time, s.streaming);
        return out;
    }
};

// The all-notes-off burst: control change 123 on channels 1 to 16.
inline std::vector<std::string> allNotesOff()
{
    std::vector<std::string> out;
    for (int c = 0; c < 16; ++c)
        out.push_back(hex(Bytes{static_cast<uint8_t>(0xB0 | c), 0x7B, 0x00}));
    return out;
}
} // namespace midi_test
