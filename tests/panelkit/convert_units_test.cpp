// Level, frequency, pitch and note-name conversions and the response curve on
// interface pins, through the built bundle: each side converts into the
// other, under every echo of the host; expected values worked in double
// precision here.
#include "arith_rows.h"
#include "mp_sdk_common.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace
{
using namespace arith;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int32_t kIntMark = 12345;
constexpr float kFloatMark = 12345.0f;

double dB(double ratio)
{
    return 20.0 * std::log10(ratio);
}
double fromdB(double d)
{
    return std::pow(10.0, d / 20.0);
}

// A value on one pin of a two-pin converter and what the other pin gets.
struct Case
{
    const wchar_t* id;
    int from;
    float value;
    double result;
    double tol;
};

TEST(LevelAndFrequency, EachSideConvertsIntoTheOther)
{
    const Case cases[] = {
        {L"QW_V2dB", 0, 10.0f, 0, 0},
        {L"QW_V2dB", 0, 1.0f, -20, 1e-5},
        {L"QW_V2dB", 1, -6.0f, 10 * fromdB(-6), 1e-5},
        {L"QW_V2dB", 0, 0.0f, -kInf, 0},
        {L"QW_V2dB", 0, -1.0f, kNaN, 0},
        {L"QW_dB2V", 0, -6.0f, 10 * fromdB(-6), 1e-5},
        {L"QW_dB2V", 0, 0.0f, 10, 1e-6},
        {L"QW_dB2V", 1, 1.0f, -20, 1e-5},
        {L"QW_F2dB", 0, 1.0f, 0, 0},
        {L"QW_F2dB", 0, 2.0f, dB(2), 1e-5},
        {L"QW_F2dB", 1, 6.0f, fromdB(6), 1e-6},
        {L"QW_F2dB", 0, 0.0f, -kInf, 0},
        {L"QW_dB2F", 0, -20.0f, 0.1, 1e-7},
        {L"QW_dB2F", 1, 10.0f, 20, 1e-5},
        {L"QW_Oct2Hz", 0, 5.0f, 440, 0},
        {L"QW_Oct2Hz", 0, 6.0f, 880, 0},
        {L"QW_Oct2Hz", 0, 4.5f, 440 / std::sqrt(2.0), 1e-4},
        {L"QW_Oct2Hz", 1, 220.0f, 4, 0},
        {L"QW_Oct2Hz", 1, 0.0f, -kInf, 0},
        {L"QW_Hz2Oct", 0, 220.0f, 4, 0},
        {L"QW_Hz2Oct", 0, 1000.0f, std::log2(1000.0 / 440) + 5, 1e-6},
        {L"QW_Hz2Oct", 1, 6.0f, 880, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(c.id) + ": " + std::to_string(c.value) + " on pin " + std::to_string(c.from));
        UiTable t{c.id};
        t.start = false;
        t.rows = {mark(1 - c.from), deliver(c.from, f32(c.value), one(1 - c.from, c.result, c.tol))};
        runUiTable(t);
    }
}

// A value the converter wrote coming back from the host converts nothing
// back; the next value from outside converts as usual.
TEST(LevelAndFrequency, OwnResultComingBackChangesNothing)
{
    UiTable t{L"QW_V2dB"};
    t.start = false;
    t.rows = {
        deliver(0, f32(3.0f), one(1, dB(0.3), 1e-5)),
        deliver(1, f32(-6.0f), one(0, 10 * fromdB(-6), 1e-5)),
        deliver(0, f32(-1.0f), one(1, kNaN)),
        deliver(0, f32(-2.0f), one(1, kNaN)).because("a NaN is sent again: it never equals itself"),
    };
    runUiTable(t);
}

// The note and pitch pair: note 0 in, pitch 1 out for MIDI2Pitch, the other
// way round for Pitch2MIDI.
TEST(NoteAndPitch, NotesToPitchesAndBackTruncated)
{
    auto pitchOf = [](int note) { return (note - 69) / 12.0 + 5; };
    UiTable m{L"QW_GUI_MIDI2Pitch"};
    m.start = false;
    m.rows = {
        deliver(0, i32(69), one(1, 5)),
        deliver(0, i32(60), one(1, 4.25)),
        deliver(0, i32(61), one(1, pitchOf(61), 1e-6)),
        deliver(1, f32(4.99f), {{0, i32(68)}}).because("truncated, not rounded"),
        deliver(1, f32(-0.5f), {{0, i32(3)}}),
        deliver(1, f32(4.9999f), {{0, i32(68)}}).because("0.0012 below note 69 is no rounding error"),
        deliver(1, f32(-5.0f), {{0, i32(-51)}}),
    };
    runUiTable(m);
    UiTable p{L"QW_GUI_Pitch2MIDI"};
    p.start = false;
    p.rows = {
        deliver(0, f32(4.99f), {{1, i32(68)}}),
        deliver(0, f32(5.0f), {{1, i32(69)}}),
        deliver(1, i32(60), one(0, 4.25)),
    };
    runUiTable(p);
}

// Every note through MIDI2Pitch comes back unchanged through Pitch2MIDI, and
// through MIDI2Pitch's own way back (a pitch lies a rounding error off its
// note: 62 gives 4.4166665 V, 61.999998).
TEST(NoteAndPitch, EveryNoteComesBackUnchanged)
{
    qwhost::GuiHost host;
    auto to = host.create(bundle("panelkit"), L"QW_GUI_MIDI2Pitch", false);
    auto back = host.create(bundle("panelkit"), L"QW_GUI_Pitch2MIDI", false);
    auto mirror = host.create(bundle("panelkit"), L"QW_GUI_MIDI2Pitch", false);
    for (int note = 0; note < 128; ++note)
    {
        SCOPED_TRACE("note " + std::to_string(note));
        to->setPinOnly(1, &kFloatMark, 4);
        to->setInt(0, note);
        const qwhost::GuiValue* pitch = to->lastTransmit(1);
        ASSERT_NE(pitch, nullptr);
        EXPECT_FLOAT_EQ(pitch->asFloat(), static_cast<float>((note - 69) / 12.0 + 5));
        back->setPinOnly(1, &kIntMark, 4);
        back->setFloat(0, pitch->asFloat());
        ASSERT_NE(back->lastTransmit(1), nullptr);
        EXPECT_EQ(back->lastTransmit(1)->asInt(), note);
        mirror->setPinOnly(0, &kIntMark, 4);
        mirror->setFloat(1, pitch->asFloat());
        ASSERT_NE(mirror->lastTransmit(0), nullptr);
        EXPECT_EQ(mirror->lastTransmit(0)->asInt(), note);
    }
}

// With the echo inside (and later), the pitch written for note 62 coming
// back does not turn the note into 61.
TEST(NoteAndPitch, OwnPitchComingBackKeepsTheNote)
{
    UiTable t{L"QW_GUI_MIDI2Pitch"};
    t.start = false;
    t.rows = {
        deliver(0, i32(62), one(1, (62 - 69) / 12.0 + 5, 1e-6)),
        deliver(0, i32(62)).because("nothing changed, nothing sent: the note is still 62"),
    };
    runUiTable(t);
}

// Note names: source 0, index 1, names 2, octave 3, octaves 4.
UiSends key(int index, int octave)
{
    return {{1, i32(index)}, {3, i32(octave)}};
}
UiRow markKey()
{
    return setOnly(1, i32(kIntMark));
}

TEST(NoteNames, MidiNoteAsIndexAndOctaveAndBack)
{
    UiTable t{L"QW_MIDI2Note"};
    t.start = false;
    auto note = [&](int n, int index, int octave) {
        t.rows.push_back(markKey());
        t.rows.push_back(setOnly(3, i32(kIntMark)));
        t.rows.push_back(deliver(0, i32(n), key(index, octave)));
    };
    note(0, -9, 0);
    note(8, -1, 0);
    note(9, 0, 0);
    note(60, 3, 4);
    note(69, 0, 5);
    note(127, 10, 9);
    t.rows.push_back(setOnly(3, i32(4)));
    t.rows.push_back(deliver(1, i32(3), {{0, i32(60)}}));
    t.rows.push_back(deliver(3, i32(5), {{0, i32(72)}}));
    runUiTable(t);
}

TEST(NoteNames, PitchAsIndexAndOctaveAndBack)
{
    UiTable t{L"QW_Pitch2Note"};
    t.start = false;
    auto pitch = [&](float p, int index, int octave) {
        t.rows.push_back(markKey());
        t.rows.push_back(setOnly(3, i32(kIntMark)));
        t.rows.push_back(deliver(0, f32(p), key(index, octave)));
    };
    pitch(5.0f, 0, 5);
    pitch(4.5f, 6, 4);
    pitch(-0.5f, -6, 0);
    pitch(4.25f, 3, 4);
    pitch(4.99f, 11, 4);
    t.rows.push_back(setOnly(3, i32(4)));
    t.rows.push_back(deliver(1, i32(6), one(0, 4.5)));
    t.rows.push_back(deliver(3, i32(2), one(0, 2.5)));
    runUiTable(t);
}

// Every index and octave written back comes back the same through the pitch.
TEST(NoteNames, EveryKeyThroughThePitchComesBack)
{
    qwhost::GuiHost host;
    auto g = host.create(bundle("panelkit"), L"QW_Pitch2Note", false);
    for (int octave = 0; octave <= 9; ++octave)
        for (int index = 0; index < 12; ++index)
        {
            SCOPED_TRACE(std::to_string(index) + " of octave " + std::to_string(octave));
            g->setPinOnly(0, &kFloatMark, 4);
            g->setPinOnly(3, &octave, 4);
            g->setInt(1, index);
            ASSERT_NE(g->lastTransmit(0), nullptr);
            const float p = g->lastTransmit(0)->asFloat();
            EXPECT_NEAR(p, index / 12.0 + octave, 1e-6);
            g->setPinOnly(1, &kIntMark, 4);
            g->setPinOnly(3, &kIntMark, 4);
            g->setFloat(0, p);
            EXPECT_EQ(g->lastTransmit(1)->asInt(), index);
            EXPECT_EQ(g->lastTransmit(3)->asInt(), octave);
        }
}

TEST(NoteNames, ListsAtInitialize)
{
    for (const wchar_t* id : {L"QW_MIDI2Note", L"QW_Pitch2Note"})
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(id));
        UiTable t{id};
        t.start = false;
        t.rows = {initialize({{2, text(L"A,A#,B,C,C#,D,D#,E,F,F#,G,G#")}, {4, text(L"range 0,9")}})};
        runUiTable(t);
    }
}

// The index written first comes back (inside the write, or later) while the
// octave still holds another note: that is no new key, and no other note is
// sent between the two writes.
TEST(NoteNames, NoOtherNoteBetweenTheTwoWrites)
{
    UiTable m{L"QW_MIDI2Note"};
    m.start = false;
    m.rows = {deliver(0, i32(60), key(3, 4)), deliver(0, i32(71), key(2, 5)), deliver(0, i32(58), key(1, 4))};
    runUiTable(m);
    UiTable p{L"QW_Pitch2Note"};
    p.start = false;
    p.rows = {deliver(0, f32(4.25f), key(3, 4)), deliver(0, f32(5.5f), key(6, 5))};
    runUiTable(p);
}

// The key written back comes back to the source while the guard is up: the
// source is not split again (the index and octave stay as given).
TEST(NoteNames, KeyWrittenBackDoesNotSplitAgain)
{
    UiTable t{L"QW_MIDI2Note"};
    t.start = false;
    t.rows = {
        setOnly(3, i32(4)),
        deliver(1, i32(15), {{0, i32(4 * 12 + 15 + 9)}}).because("an index beyond G# is not normalised"),
    };
    runUiTable(t);
}

// A connected module corrects the note while the key is written back into
// it (inside the send): the correction is kept on the source pin but split
// into nothing, so the index and octave stay as the user set them.
TEST(NoteNames, CorrectionOfTheSourceDuringTheWayBackIsNotSplit)
{
    for (auto echo : {qwhost::Echo::Inside, qwhost::Echo::None})
    {
        SCOPED_TRACE(echoName(echo));
        qwhost::GuiHost host;
        host.echo = echo;
        auto g = host.create(bundle("panelkit"), L"QW_MIDI2Note", false);
        g->onTransmit = [&g](const qwhost::GuiValue& v) {
            if (v.pin == 0 && v.asInt() == 60)
                g->setInt(0, 61);
        };
        const int32_t octave = 4;
        g->setPinOnly(3, &octave, 4);
        g->setInt(1, 3);
        ASSERT_EQ(g->transmits.size(), 1u);
        EXPECT_EQ(g->transmits[0].pin, 0);
        EXPECT_EQ(g->transmits[0].asInt(), 60);
        // A correction from outside, later, splits as usual.
        g->setInt(0, 62);
        ASSERT_EQ(g->transmits.size(), 2u);
        EXPECT_EQ(g->transmits[1].pin, 1);
        EXPECT_EQ(g->transmits[1].asInt(), 5);
    }
}

// Response curve: position 0, exponent 1, bipolar 2, response 3.
struct Curve
{
    float exponent;
    bool bipolar;
    int from;
    float value;
    double result, tol;
};

TEST(ResponseCurve, ForwardAndBack)
{
    const double acc = 1e-6; // qw::fm's accuracy
    const Curve cases[] = {
        {2, false, 0, 0.25f, 0.5, acc},
        {2, false, 3, 0.5f, 0.25, acc},
        {2, false, 0, 0.81f, 0.9, acc},
        {4, false, 3, 0.5f, 0.0625, acc},
        {0.5f, false, 0, 0.5f, 0.25, acc},
        {3, false, 0, 0.3f, std::pow(0.3, 1 / 3.0), acc},
        {2, true, 0, 0.5f, 0.5, 0},
        {2, true, 0, 0.0f, 0.0, 0},
        {2, true, 0, 1.0f, 1.0, 0},
        {2, true, 0, 0.375f, 0.5 - 0.5 * std::sqrt(0.25), acc},
        {2, true, 3, 0.75f, 0.5 + 0.5 * 0.25, acc},
        {0, false, 0, 0.1f, 1, 0},
        {0, false, 0, 0.0f, 0, 0},
        {0, false, 3, 0.9f, 0, 0},
        {0, false, 3, 1.0f, 1, 0},
        {-1, false, 0, 0.1f, 1, 0},
        {-1, false, 3, 0.9f, 0, 0},
        {2, false, 0, 1.5f, 1, acc},
        {2, false, 0, -0.2f, 0, 0},
        {2, false, 3, -0.2f, 0, 0},
        {2, false, 0, 1.0f, 1, acc},
    };
    for (const Curve& c : cases)
    {
        SCOPED_TRACE("exponent " + std::to_string(c.exponent) + (c.bipolar ? " bipolar, " : ", ") +
                     std::to_string(c.value) + " on pin " + std::to_string(c.from));
        UiTable t{L"QW_CtrlRespPow"};
        t.start = false;
        const int to = c.from == 0 ? 3 : 0;
        t.rows = {setOnly(1, f32(c.exponent)), setOnly(2, b8(c.bipolar)), mark(to),
                  deliver(c.from, f32(c.value), one(to, c.result, c.tol))};
        runUiTable(t);
    }
}

// The exponent and bipolar pins act from the next conversion only.
TEST(ResponseCurve, ExponentActsFromTheNextConversion)
{
    UiTable t{L"QW_CtrlRespPow"};
    t.start = false;
    t.rows = {
        deliver(1, f32(2)),
        deliver(0, f32(0.25f), one(3, 0.5, 1e-6)),
        deliver(1, f32(4)).because("an exponent alone"),
        deliver(2, b8(true)).because("bipolar alone"),
        deliver(0, f32(0.25f), one(3, 0.5 - 0.5 * std::pow(0.5, 0.25), 1e-6)),
    };
    runUiTable(t);
}

// Huge and infinite exponents: the response stays within [0, 1] (the
// approximate logarithm of 1 is slightly above 0; times 1e30 it would give
// infinity).
TEST(ResponseCurve, HugeExponentsStayWithinTheCurve)
{
    const Curve cases[] = {
        {1e30f, false, 3, 1.0f, 1, 0},    {1e30f, false, 3, 0.99f, 0, 0},   {1e30f, false, 0, 0.5f, 1, 1e-6},
        {1e30f, true, 3, 0.0f, 0, 0},     {INFINITY, false, 3, 1.0f, 1, 0}, {INFINITY, false, 0, 0.0f, 0, 0},
        {INFINITY, false, 0, 0.3f, 1, 0}, {1e-30f, false, 0, 0.5f, 0, 0},   {NAN, false, 0, 0.5f, 1, 0},
    };
    for (const Curve& c : cases)
    {
        SCOPED_TRACE("exponent " + std::to_string(c.exponent) + ", " + std::to_string(c.value) + " on pin " +
                     std::to_string(c.from));
        UiTable t{L"QW_CtrlRespPow"};
        t.start = false;
        const int to = c.from == 0 ? 3 : 0;
        t.rows = {setOnly(1, f32(c.exponent)), setOnly(2, b8(c.bipolar)), mark(to),
                  deliver(c.from, f32(c.value), one(to, c.result, c.tol))};
        runUiTable(t);
    }
}

using ConvertCommand = qwtest::CommandTest;

TEST_F(ConvertCommand, ShowsANoteAsPitch)
{
    const std::string panelkit = std::string(QW_BUNDLE_DIR) + "/panelkit.so";
    for (const char* echo : {"inside", "later", "none"})
    {
        SCOPED_TRACE(echo);
        const Result r = qwhost({"ui", panelkit, "QW_GUI_MIDI2Pitch", "--echo", echo, "--steps", "Note=60"});
        ASSERT_EQ(r.code, 0) << r.err;
        const size_t step = r.out.find("Note=60\n");
        ASSERT_NE(step, std::string::npos) << r.out;
        EXPECT_EQ(r.out.substr(step), "Note=60\n\tsent Pitch = 4.25\n") << "the note is not converted back";
        EXPECT_EQ(r.out.find("sent Note"), std::string::npos) << "the defaults of both sides agree" << r.out;
    }
}
} // namespace
