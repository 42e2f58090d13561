// A user-interface test module on the host stand-in, with its reports as text.
#pragma once

#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct GuiProbeFixture : ::testing::Test
{
    enum Pin
    {
        INT,
        FLOAT,
        BOOL,
        TEXT,
        BLOB,
        INT_OUT,
        FLOAT_OUT,
        BOOL_OUT,
        TEXT_OUT,
        BLOB_OUT,
        COMMAND,
        VOICE,
        EXTRA,
    };
    enum Command
    {
        TEXT_FROM_UTF8 = 1,
        TEXT_TO_UTF8 = 2,
        RESOLVE = 3,
        FIND = 4,
        REGISTER = 5,
        OPEN = 6,
        PIN_COUNT = 7,
        TRANSMIT_RAW = 8,
        MESSAGE = 9,
    };

    qwhost::GuiHost host;
    std::unique_ptr<qwhost::GuiModule> g;

    void make(bool start = true, const wchar_t* id = L"QW_TestGuiProbe")
    {
        g = host.create(qwtest::bundle("testkit"), id, start);
    }
    void clear()
    {
        g->transmits.clear();
        g->messagesToAudio.clear();
    }
    void command(int c) { g->setInt(COMMAND, c); }
    // "notify PIN VOICE", "done COMMAND", "init PINS", "message ID SIZE"
    std::vector<std::string> log() const
    {
        static const char* names[] = {"", "notify", "done", "init", "message"};
        std::vector<std::string> out;
        for (auto& m : g->messagesToAudio)
        {
            if (m.id < 1 || m.id > 4)
                continue;
            std::string s = names[m.id];
            for (size_t i = 0; i + 4 <= m.data.size(); i += 4)
            {
                int32_t v;
                std::memcpy(&v, m.data.data() + i, 4);
                s += " " + std::to_string(v);
            }
            out.push_back(s);
        }
        return out;
    }
    static std::vector<uint8_t> bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }
};
