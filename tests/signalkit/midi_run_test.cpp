// qwhost run sending MIDI to a module of the built signalkit bundle: the
// monophonic converter writes pitch and velocity and prints the gate's
// edges; malformed --midi values are refused with a reason.
#include "WavFile32.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace
{
const std::string kSignalkit = std::string(QW_BUNDLE_DIR) + "/signalkit.so";

class RunMidi : public qwtest::CommandTest
{};

TEST_F(RunMidi, MonoToControlSignals)
{
    const Result r = qwhost({"run", kSignalkit, "QW_MIDIMono2CV", "--midi", "MIDI In=90 3C 64@0.1", "--midi",
                             "MIDI In=80 3C 00@0.6", "--out", file("cv.wav")});
    ASSERT_EQ(r.code, 0) << r.err;
    // Gate edges at 0.1 s and 0.6 s of 44.1 kHz.
    EXPECT_NE(r.out.find("4410\t0.100000\tGate\ttrue\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("26460\t0.600000\tGate\tfalse\n"), std::string::npos) << r.out;

    qw::WavFile32 w;
    ASSERT_TRUE(w._loadWav(std::filesystem::path(file("cv.wav")).wstring()));
    ASSERT_EQ(w.channels, 4); // pitch, velocity, release velocity, pressure
    ASSERT_EQ(w.frames, 44100);
    const auto& pitch = w.data[0];
    const auto& velocity = w.data[1];
    EXPECT_EQ(pitch[4409], 0.0f);
    EXPECT_FLOAT_EQ(pitch[4410], 0.425f); // note 60: 4.25 V
    EXPECT_FLOAT_EQ(pitch[44099], 0.425f);
    EXPECT_EQ(velocity[4409], 0.0f);
    EXPECT_FLOAT_EQ(velocity[4410], 100.0f / 127.0f);
}

TEST_F(RunMidi, SplitterOutputsArePrinted)
{
    const Result r =
        qwhost({"run", kSignalkit, "QW_MIDIVoiceSplitter", "--midi", "MIDI In=953C64@0.5", "--seconds", "1"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("22050\t0.500000\tMIDI Out\tmidi 90 3C 64\n"), std::string::npos) << r.out;
}

TEST_F(RunMidi, MalformedMidiIsRefused)
{
    struct Case
    {
        const char* value;
        const char* says;
    };
    const Case cases[] = {
        {"MIDI In=90 3G 64@0.1", "'G' is not a hexadecimal digit"},
        {"MIDI In=9 3C@0.1", "not whole bytes"},
        {"MIDI In=@0.1", "no bytes"},
        {"Nope=90 3C 64@0.1", "no pin named 'Nope'"},
        {"Gate=90 3C 64@0.1", "'Gate' of QW_MIDIMono2CV is not a MIDI input"},
        {"MIDI In=90 3C 64", "is not NAME=HEX@SECONDS"},
        {"MIDI In=90 3C 64@2", "is not inside the run"},
        {"MIDI In=90 3C 64@x", "is not a time"},
    };
    for (const Case& c : cases)
    {
        const Result r = qwhost({"run", kSignalkit, "QW_MIDIMono2CV", "--midi", c.value});
        EXPECT_EQ(r.code, 2) << c.value << "\n" << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.value << "\n" << r.err;
    }
}
} // namespace
