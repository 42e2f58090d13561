// A test-module instance on the host stand-in, with its reports as text.
#pragma once

#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct ProbeFixture : ::testing::Test
{
    enum Pin
    {
        SIGNAL,
        VALUE,
        COMMAND,
        FLAG,
        TEXT,
        BLOB,
        MIDI_IN,
        MODE,
        OUTPUT,
        VALUE_OUT,
        TEXT_OUT,
        MIDI_OUT,
        FLAG_OUT,
        BLOB_OUT,
        COUNT_OUT,
    };
    enum Command
    {
        OUTPUT_STATIC = 1,
        OUTPUT_STREAMING = 2,
        SLEEP_ON = 3,
        SLEEP_OFF = 4,
        ROUTINE_MARKER = 5,
        ROUTINE_GAIN = 6,
        REPORT_LATENCY = 7,
        SEND_MIDI = 8,
    };
    static constexpr float kMarker = 0.25f;

    qwhost::ProcessingHost host;
    std::unique_ptr<qwhost::Processor> p;

    void make(const wchar_t* id = L"QW_TestProbe", int blockSize = 256)
    {
        host.blockSize = blockSize;
        p = host.create(qwtest::bundle("testkit"), id);
    }
    // Graph started with a streaming input: the module runs its own routine.
    void makeRunning(int blockSize = 256)
    {
        make(L"QW_TestProbe", blockSize);
        p->startGraph();
        p->setStreaming(SIGNAL, true);
        p->run(blockSize);
        clear();
    }
    void clear()
    {
        p->messages.clear();
        p->updates.clear();
        p->streamingReports.clear();
        p->sleepRequests.clear();
    }
    // "span POS N MASK", "pins POS MASK", "handler POS TYPE MASK", "midi POS SIZE B0 B1 B2", "start POS"
    std::vector<std::string> log() const
    {
        static const char* names[] = {"", "span", "pins", "handler", "midi", "start", "gui"};
        std::vector<std::string> out;
        for (auto& e : qwtest::probeLog(*p))
        {
            std::string s = e.kind >= 1 && e.kind <= 6 ? names[e.kind] : "?";
            for (auto v : e.v)
                s += " " + std::to_string(v);
            out.push_back(s);
        }
        return out;
    }
    std::vector<const qwhost::PinUpdate*> updatesOf(int pin) const
    {
        std::vector<const qwhost::PinUpdate*> out;
        for (auto& u : p->updates)
            if (u.pin == pin)
                out.push_back(&u);
        return out;
    }
    // One pin-value event as the host would send it, for raw delivery.
    static gmpi::MpEvent rawSet(int time, int pin, int32_t value, int size = 4)
    {
        gmpi::MpEvent e{};
        e.timeDelta = time;
        e.eventType = gmpi::EVENT_PIN_SET;
        e.parm1 = pin;
        e.parm2 = size;
        e.parm3 = value;
        return e;
    }
};
