// The edit commands, the clipboard and the undo module of samplekit2 through
// the built bundle, each run with the host's echo inside the call, later and
// not at all: what they publish for small hand-computed samples, how they
// read the selection, how they edit their own result in place, that frames
// they published stay readable until the new value is out, and hostile pin
// values and descriptors.
#include "sample_fixture.h"
#include "ui_table.h"

#include "WavFile32.h"
#include "patch.h"
#include "sample_source.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

namespace
{
using namespace s2test;
using qwtest::b8;
using qwtest::f32;
using qwtest::i32;

enum EditPin
{
    SAMPLE,
    START,
    END,
    TRIGGER,
    EXTRA, // the command's own pins from here
};
enum ClipPin
{
    C_SAMPLE,
    C_START,
    C_END,
    C_COPY,
    C_CUT,
    C_PASTE,
    C_PASTE_END,
};
enum UndoPin
{
    U_SAMPLE,
    U_UNDO,
    U_REDO,
};

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::vector<float> range(const std::vector<float>& v, size_t from, size_t to)
{
    return std::vector<float>(v.begin() + static_cast<long>(from), v.begin() + static_cast<long>(to) + 1);
}

std::vector<float> join(std::initializer_list<std::vector<float>> parts)
{
    std::vector<float> out;
    for (auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

void expectFrames(const std::vector<float>& got, const std::vector<float>& want, double tolerance,
                  const std::string& what)
{
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t i = 0; i < want.size(); ++i)
    {
        if (std::isnan(want[i]))
            EXPECT_TRUE(std::isnan(got[i])) << what << ", frame " << i;
        else if (tolerance == 0.0)
            EXPECT_EQ(got[i], want[i]) << what << ", frame " << i;
        else
            EXPECT_NEAR(got[i], want[i], tolerance) << what << ", frame " << i;
    }
}

// The fade curve written out: linear t, or 2^(4.3 t - 4.3) x 1.0534807 - 0.053480767.
double fade(double t, bool exponential)
{
    return exponential ? std::exp2(4.3 * t - 4.3) * 1.0534807 - 0.053480767 : t;
}

class Edits : public EchoTest
{
protected:
    // The last sample published on pin 0, which must be there.
    static std::vector<float> published(const qwhost::GuiModule& g, int pin = SAMPLE)
    {
        auto s = lastSample(g, pin);
        EXPECT_TRUE(s.has_value()) << "nothing published";
        return s.value_or(std::vector<float>());
    }
    static Desc publishedDesc(const qwhost::GuiModule& g, int pin = SAMPLE)
    {
        const auto* t = g.lastTransmit(pin);
        EXPECT_TRUE(t && t->data.size() == sizeof(Desc));
        return t ? asDesc(t->data).value_or(Desc{}) : Desc{};
    }
    std::unique_ptr<qwhost::GuiModule> editor(const std::wstring& id, const std::vector<float>& in, int start, int end)
    {
        auto g = make(id);
        g->setBlob(SAMPLE, sample(in));
        g->setInt(START, start);
        g->setInt(END, end);
        return g;
    }
};

INSTANTIATE_TEST_SUITE_P(Echo, Edits, ::testing::Values(Echo::Inside, Echo::Later, Echo::None), echoName);

// ===========================================================================
// The commands on small samples

struct EditRow
{
    const wchar_t* id;
    std::vector<float> in;
    int start, end;
    std::vector<std::pair<int, std::vector<uint8_t>>> pins; // the command's own pins
    std::optional<std::vector<float>> out;                  // nullopt: nothing is published
    double tolerance = 0.0;                                 // 0: exact
    std::optional<std::pair<int, int>> selection = {};      // the selection pins afterwards
};

TEST_P(Edits, CommandsOnSmallSamples)
{
    const std::vector<float> r100 = ramp(100), r5 = ramp(5), r10 = ramp(10);
    const std::vector<float> ones(5, 1.0f);
    std::vector<float> expIn(5), expOut(5);
    for (int k = 0; k < 5; ++k)
    {
        expIn[static_cast<size_t>(k)] = static_cast<float>(fade(k / 5.0, true));
        expOut[static_cast<size_t>(4 - k)] = static_cast<float>(fade(k / 5.0, true));
    }
    const double sixDb = std::pow(10.0, 6.0 / 20.0);

    const EditRow rows[] = {
        {L"QW_S2_CropSample", r100, 10, 19, {}, range(r100, 10, 19), 0.0, {{0, 9}}},
        {L"QW_S2_TrimSample", r100, 10, 19, {}, join({range(r100, 0, 9), range(r100, 20, 99)}), 0.0, {{-1, -1}}},
        {L"QW_S2_TrimSample", r5, 0, -1, {}, std::vector<float>(), 0.0, {{-1, -1}}},
        {L"QW_S2_FlipSample", r10, 7, 7, {}, r10, 0.0, {{7, 7}}},
        {L"QW_S2_FlipSample", {1, 2, 3, 4, 5, 6, 7, 8}, 2, 5, {}, {{1, 2, 6, 5, 4, 3, 7, 8}}},
        {L"QW_S2_SilenceSample", {1, 2, 3, 4}, 1, 2, {}, {{1, 0, 0, 4}}},
        {L"QW_S2_InvertSample", {1, 2, 3, 4}, 1, -2, {}, {{1, -2, -3, 4}}, 0.0, {{1, -2}}},
        {L"QW_S2_FadeInSample", {2, 4, 6, 8}, 0, 3, {}, {{0, 1, 3, 6}}},
        {L"QW_S2_FadeOutSample", {2, 4, 6, 8}, 0, 3, {}, {{1.5f, 2, 1.5f, 0}}},
        {L"QW_S2_FadeInSample", {1, 1, 1, 1, 1, 1}, 1, 4, {}, {{1, 0, 0.25f, 0.5f, 0.75f, 1}}},
        {L"QW_S2_FadeInSample", ones, 0, -1, {{EXTRA, b8(true)}}, expIn, 1e-6},
        {L"QW_S2_FadeOutSample", ones, 0, -1, {{EXTRA, b8(true)}}, expOut, 1e-6},
        {L"QW_S2_AmpSample",
         {0.5f, -0.25f, 1},
         0,
         -1,
         {{EXTRA, b8(true)}, {EXTRA + 1, f32(6)}},
         {{static_cast<float>(0.5 * sixDb), static_cast<float>(-0.25 * sixDb), static_cast<float>(sixDb)}},
         5e-7},
        {L"QW_S2_AmpSample", {1, 2, 3}, 1, 1, {{EXTRA, b8(false)}, {EXTRA + 1, f32(0.5f)}}, {{1, 1, 3}}},
        {L"QW_S2_NormSample",
         {4, 0.5f, -0.25f, 0.125f, 9},
         1,
         3,
         {{EXTRA, b8(true)}, {EXTRA + 1, f32(0)}},
         {{4, 1, -0.5f, 0.25f, 9}}},
        {L"QW_S2_NormSample", {0.1f, -0.4f}, 0, -1, {{EXTRA, b8(false)}, {EXTRA + 1, f32(0.8f)}}, {{0.2f, -0.8f}}},
        {L"QW_S2_NormSample", {1, 0, 0, 1}, 1, 2, {{EXTRA, b8(true)}, {EXTRA + 1, f32(0)}}, std::nullopt},
        {L"QW_S2_NormSample",
         {-0.25f, 0.5f, kNaN},
         0,
         -1,
         {{EXTRA, b8(true)}, {EXTRA + 1, f32(0)}},
         {{-0.5f, 1, kNaN}}}, // a NaN frame is no peak
    };
    for (auto& row : rows)
    {
        const std::string what = gmpi_sdk::toUtf8(row.id) + " " + std::to_string(row.start) + ".." +
                                 std::to_string(row.end) + " of " + std::to_string(row.in.size());
        SCOPED_TRACE(what);
        const std::vector<float> before = row.in;
        auto g = make(row.id);
        for (auto& [pin, value] : row.pins)
            g->set(pin, value.data(), static_cast<int>(value.size()));
        g->setBlob(SAMPLE, sample(row.in));
        g->setInt(START, row.start);
        g->setInt(END, row.end);
        const size_t sent = sends(*g, SAMPLE);
        trigger(*g, TRIGGER);
        g->deliverEchoes();
        if (!row.out)
        {
            EXPECT_EQ(sends(*g, SAMPLE), sent) << "published";
            continue;
        }
        EXPECT_EQ(sends(*g, SAMPLE), sent + 1);
        expectFrames(published(*g), *row.out, row.tolerance, what);
        EXPECT_EQ(std::memcmp(row.in.data(), before.data(), before.size() * 4), 0) << "the sender's frames changed";
        if (row.selection)
        {
            EXPECT_EQ(lastInt(*g, START, row.start), row.selection->first);
            EXPECT_EQ(lastInt(*g, END, row.end), row.selection->second);
        }
        else
        {
            EXPECT_EQ(sends(*g, START) + sends(*g, END), 0u) << "the selection was changed";
        }
    }
}

// ===========================================================================
// Smoothing

// The kernel written out: 1.5u^3 - 2.5u^2 + 1 below 1, -0.5u^3 + 2.5u^2 - 4u + 2 below 2.
double kernel(double u)
{
    if (u < 1.0)
        return 1.5 * u * u * u - 2.5 * u * u + 1.0;
    if (u < 2.0)
        return -0.5 * u * u * u + 2.5 * u * u - 4.0 * u + 2.0;
    return 0.0;
}

// The smoothing as a plain convolution in double precision.
std::vector<float> convolved(const std::vector<float>& x, int start, int end, int width, bool cyclic)
{
    const int m = std::max(width, 1);
    const double w = 1.0 / (m + 1);
    const int n = end - start + 1;
    std::vector<float> out(x);
    for (int i = 0; i < n; ++i)
    {
        double sum = 0.0;
        for (int j = -4 * (m + 1); j <= 4 * (m + 1); ++j)
        {
            const double k = kernel(std::abs(j) * w);
            if (k == 0.0)
                continue;
            if (cyclic)
                sum += k * x[static_cast<size_t>(start + ((i + j) % n + n) % n)];
            else if (start + i + j >= 0 && start + i + j < static_cast<int>(x.size()))
                sum += k * x[static_cast<size_t>(start + i + j)];
        }
        out[static_cast<size_t>(start + i)] = static_cast<float>(sum * w);
    }
    return out;
}

TEST_P(Edits, SmoothStepsOfAHalfAHalfAndAThird)
{
    std::vector<float> impulse(21, 0.0f);
    impulse[10] = 1.0f;
    // Impulse responses worked out by hand: k at multiples of the step, times the step.
    const std::vector<double> half = {0, -1.0 / 32, 0, 9.0 / 32, 0.5, 9.0 / 32, 0, -1.0 / 32, 0};
    const std::vector<double> third = {0,        -1.0 / 81, -2.0 / 81, 0,         1.0 / 9,   7.0 / 27, 1.0 / 3,
                                       7.0 / 27, 1.0 / 9,   0,         -2.0 / 81, -1.0 / 81, 0};
    const struct
    {
        int width;
        const std::vector<double>& response;
    } rows[] = {{0, half}, {1, half}, {2, third}, {-7, half}};
    for (auto& row : rows)
    {
        SCOPED_TRACE("width " + std::to_string(row.width));
        auto g = editor(L"QW_S2_SmoothSample", impulse, 0, -1);
        g->setInt(EXTRA, row.width);
        trigger(*g, TRIGGER);
        const auto out = published(*g);
        ASSERT_EQ(out.size(), impulse.size());
        const int half_ = static_cast<int>(row.response.size() / 2);
        for (int i = 0; i < 21; ++i)
        {
            const int j = i - 10;
            const double want = std::abs(j) <= half_ ? row.response[static_cast<size_t>(j + half_)] : 0.0;
            EXPECT_NEAR(out[static_cast<size_t>(i)], want, 1e-7) << "frame " << i;
        }
        g->deliverEchoes();
    }
}

TEST_P(Edits, SmoothMatchesAConvolutionInBothEdgeModes)
{
    std::vector<float> x(40);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] =
            static_cast<float>(std::sin(0.9 * static_cast<double>(i)) + 0.3 * std::cos(2.7 * static_cast<double>(i)));
    for (int width : {2, 7})
        for (bool cyclic : {false, true})
        {
            SCOPED_TRACE("width " + std::to_string(width) + (cyclic ? ", cyclic" : ", plain"));
            auto g = editor(L"QW_S2_SmoothSample", x, 3, 30);
            g->setInt(EXTRA, width);
            g->setBool(EXTRA + 1, cyclic);
            trigger(*g, TRIGGER);
            expectFrames(published(*g), convolved(x, 3, 30, width, cyclic), 2e-6, "smoothed");
            g->deliverEchoes();
        }
}

// Widths beyond the limits count as 1 and 1024 (an impulse shows the width
// through the height of its response, 1 / (width + 1)); the widest one on a
// short selection wraps round it many times.
TEST_P(Edits, SmoothWidthIsKeptTo1To1024)
{
    std::vector<float> x(30, 0.0f);
    x[4] = 1.0f;
    const struct
    {
        int width, as;
        bool cyclic;
        double tolerance;
    } rows[] = {
        {INT_MAX, 1024, false, 1e-8}, {INT_MIN, 1, false, 1e-7}, {5000, 1024, true, 2e-6}, {1024, 1024, true, 2e-6}};
    for (auto& row : rows)
    {
        SCOPED_TRACE("width " + std::to_string(row.width));
        auto g = editor(L"QW_S2_SmoothSample", x, 2, 6);
        g->setInt(EXTRA, row.width);
        g->setBool(EXTRA + 1, row.cyclic);
        trigger(*g, TRIGGER);
        expectFrames(published(*g), convolved(x, 2, 6, row.as, row.cyclic), row.tolerance, "smoothed");
        g->deliverEchoes();
    }
}

// ===========================================================================
// Selection

TEST_P(Edits, SelectionRules)
{
    const std::vector<float> x = ramp(10);
    const struct
    {
        int start, end;
        int lo, hi; // -1: nothing happens
    } rows[] = {
        {2, -1, 2, 9},         // -1 is the last frame
        {2, 50, 2, 9},         // an end past the sample stops at its last frame
        {0, -10, 0, 0},        // -count is the first frame
        {0, -11, -1, -1},      // below -count nothing happens
        {-1, 5, -1, -1},       // a start below 0: nothing
        {5, 4, -1, -1},        // an end before the start: nothing
        {INT_MIN, 5, -1, -1},  //
        {INT_MAX, -1, -1, -1}, //
        {3, INT_MIN, -1, -1},  //
        {3, INT_MAX, 3, 9},    //
        {9, 9, 9, 9},          //
        {INT_MAX, INT_MAX, -1, -1},
    };
    for (auto& row : rows)
    {
        SCOPED_TRACE("start " + std::to_string(row.start) + ", end " + std::to_string(row.end));
        auto g = editor(L"QW_S2_InvertSample", x, row.start, row.end);
        trigger(*g, TRIGGER);
        g->deliverEchoes();
        if (row.lo < 0)
        {
            EXPECT_EQ(sends(*g, SAMPLE), 0u);
            continue;
        }
        std::vector<float> want = x;
        for (int i = row.lo; i <= row.hi; ++i)
            want[static_cast<size_t>(i)] = -want[static_cast<size_t>(i)];
        EXPECT_EQ(published(*g), want);
    }
}

// ===========================================================================
// In place

// A second trigger edits the module's own result; commands that keep the
// length do it at the same address, and the sender's frames stay untouched.
TEST_P(Edits, SecondTriggerEditsTheOwnResult)
{
    const std::vector<float> x = ramp(12);
    {
        auto g = editor(L"QW_S2_AmpSample", x, 0, -1);
        g->setFloat(EXTRA + 1, 2.0f);
        trigger(*g, TRIGGER);
        g->deliverEchoes();
        const Desc first = publishedDesc(*g);
        trigger(*g, TRIGGER);
        g->deliverEchoes();
        const Desc second = publishedDesc(*g);
        EXPECT_EQ(second.address, first.address) << "edited in place";
        EXPECT_NE(second.address, reinterpret_cast<uintptr_t>(x.data()));
        std::vector<float> want = x;
        for (auto& v : want)
            v *= 4.0f;
        EXPECT_EQ(framesAt(second), want);
        EXPECT_EQ(x, ramp(12));
        EXPECT_EQ(second.serial, first.serial + 1);
    }
    {
        auto g = editor(L"QW_S2_CropSample", x, 2, 9);
        trigger(*g, TRIGGER);
        g->deliverEchoes();
        g->setInt(START, 1);
        g->setInt(END, 3);
        trigger(*g, TRIGGER);
        g->deliverEchoes();
        EXPECT_EQ(published(*g), range(x, 3, 5));
    }
}

// A sample from outside replaces the result: its memory is released and the
// next edit works on the new sample.
TEST_P(Edits, ASampleFromOutsideEmptiesTheCache)
{
    const std::vector<float> a = ramp(20), b = {0.5f, 0.25f, -1.0f};
    auto g = editor(L"QW_S2_InvertSample", a, 0, -1);
    trigger(*g, TRIGGER);
    g->deliverEchoes();
    const Desc own = publishedDesc(*g);
    g->setBlob(SAMPLE, sample(b));
    if (auto r = released(own))
    {
        EXPECT_TRUE(*r) << "the cache is kept after a sample from outside";
    }
    trigger(*g, TRIGGER);
    g->deliverEchoes();
    EXPECT_EQ(published(*g), (std::vector<float>{-0.5f, -0.25f, 1.0f}));
    // An invalid or empty value from outside empties it too: the trigger then does nothing.
    for (const auto& bytes : {std::vector<uint8_t>(), std::vector<uint8_t>(24, 0)})
    {
        const Desc mine = publishedDesc(*g);
        g->setBlob(SAMPLE, bytes);
        if (auto r = released(mine))
        {
            EXPECT_TRUE(*r);
        }
        const size_t sent = sends(*g, SAMPLE);
        trigger(*g, TRIGGER);
        EXPECT_EQ(sends(*g, SAMPLE), sent);
        g->setBlob(SAMPLE, sample(b));
        trigger(*g, TRIGGER);
        g->deliverEchoes();
    }
}

// With the echo later, the module's own values come back after it has sent
// newer ones, or after a sample from outside: none of them is taken for a
// new sample, and the pin keeps naming the newest value (a crop builds new
// frames each time and releases the old ones, so a pin that named them would
// send the next edit into released memory).
TEST_P(Edits, LateEchoesAreNotNewSamples)
{
    const std::vector<float> a = ramp(40), b = {0.5f, 0.25f, -1.0f, 2.0f};
    // Crop keeps 0..29 as it is, so it sends no selection of its own.
    auto g = editor(L"QW_S2_CropSample", a, 0, 29);
    trigger(*g, TRIGGER);
    trigger(*g, TRIGGER);
    g->deliverEchoes();
    trigger(*g, TRIGGER);
    EXPECT_EQ(published(*g), range(a, 0, 29));
    EXPECT_EQ(sends(*g, START) + sends(*g, END), 0u);

    // A sample from outside arrives before the module's last echoes.
    trigger(*g, TRIGGER);
    g->setBlob(SAMPLE, sample(b));
    g->deliverEchoes();
    trigger(*g, TRIGGER);
    g->deliverEchoes();
    EXPECT_EQ(published(*g), b);
}

// Commands that change the length build the new frames apart: a receiver
// that reads the old ones while the new value reaches it still finds them
// (AddressSanitizer would stop a read of released memory), and they are
// released once the new value is out.
TEST_P(Edits, OldFramesStayReadableUntilTheNewValueIsOut)
{
    const std::vector<float> x = ramp(64);
    // The selection (pins 1 and 2 of every module here), then a trigger.
    struct Fire
    {
        int start, end, pin;
    };
    const struct
    {
        const wchar_t* id;
        std::vector<Fire> first; // makes a result of the module's own
        Fire second;             // replaces it
    } steps[] = {
        {L"QW_S2_CropSample", {{2, 40, TRIGGER}}, {3, 10, TRIGGER}},
        {L"QW_S2_TrimSample", {{2, 5, TRIGGER}}, {0, 7, TRIGGER}},
        {L"QW_S2_Clipboard", {{4, 9, C_CUT}}, {4, 9, C_CUT}},
        {L"QW_S2_Clipboard", {{0, 3, C_COPY}, {0, 3, C_PASTE}}, {0, 3, C_PASTE}},
        {L"QW_S2_Clipboard", {{0, 3, C_COPY}, {0, 3, C_PASTE_END}}, {0, 3, C_PASTE_END}},
    };
    auto fire = [](qwhost::GuiModule& g, const Fire& f) {
        g.setInt(START, f.start);
        g.setInt(END, f.end);
        trigger(g, f.pin);
    };
    for (auto& step : steps)
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(step.id));
        auto g = make(step.id);
        g->setBlob(SAMPLE, sample(x));
        for (auto& f : step.first)
            fire(*g, f);
        g->deliverEchoes();
        const Desc old = publishedDesc(*g);
        const std::vector<float> oldFrames = framesAt(old);
        int reads = 0;
        g->onTransmit = [&](const qwhost::GuiValue& v) {
            if (v.pin != SAMPLE)
                return;
            ++reads;
            EXPECT_EQ(framesAt(old), oldFrames) << "the old frames changed before the new value was out";
        };
        fire(*g, step.second);
        g->onTransmit = nullptr;
        EXPECT_EQ(reads, 1);
        EXPECT_NE(publishedDesc(*g).address, old.address);
        if (auto r = released(old))
        {
            EXPECT_TRUE(*r) << "the old frames are kept after the new value";
        }
        g->deliverEchoes();
    }
}

// ===========================================================================
// Clipboard

class Clipboard : public Edits
{
protected:
    std::unique_ptr<qwhost::GuiModule> clip(const std::vector<float>& in, int start, int end)
    {
        auto g = make(L"QW_S2_Clipboard");
        g->setBlob(C_SAMPLE, sample(in));
        g->setInt(C_START, start);
        g->setInt(C_END, end);
        return g;
    }
};

INSTANTIATE_TEST_SUITE_P(Echo, Clipboard, ::testing::Values(Echo::Inside, Echo::Later, Echo::None), echoName);

TEST_P(Clipboard, CopyTakesTheRangeInEitherOrderAndPublishesNothing)
{
    const std::vector<float> x = ramp(100);
    const struct
    {
        int start, end;
        size_t lo, hi;
    } rows[] = {{20, 10, 10, 20}, {10, 20, 10, 20}, {95, 500, 95, 99}, {500, 3, 3, 99}, {7, 7, 7, 7}};
    for (auto& row : rows)
    {
        SCOPED_TRACE("copy " + std::to_string(row.start) + ".." + std::to_string(row.end));
        auto g = clip(x, row.start, row.end);
        trigger(*g, C_COPY);
        EXPECT_EQ(sends(*g, C_SAMPLE), 0u) << "copy publishes nothing";
        trigger(*g, C_PASTE_END);
        g->deliverEchoes();
        EXPECT_EQ(published(*g), join({x, range(x, row.lo, row.hi)}));
    }
}

TEST_P(Clipboard, CutLeavesTheRestAndClearsTheSelection)
{
    const std::vector<float> x = ramp(100);
    auto g = clip(x, 10, 19);
    trigger(*g, C_CUT);
    g->deliverEchoes();
    EXPECT_EQ(published(*g), join({range(x, 0, 9), range(x, 20, 99)}));
    EXPECT_EQ(lastInt(*g, C_START), -1);
    EXPECT_EQ(lastInt(*g, C_END), -1);
    // The clipboard holds the 10 cut frames: pasted in front of frame 0 of the rest.
    g->setInt(C_START, 0);
    g->setInt(C_END, 0);
    trigger(*g, C_PASTE);
    g->deliverEchoes();
    EXPECT_EQ(published(*g), join({range(x, 10, 19), range(x, 0, 9), range(x, 20, 99)}));

    // Cutting everything publishes the empty sample.
    auto all = clip(x, 99, 0);
    trigger(*all, C_CUT);
    all->deliverEchoes();
    EXPECT_EQ(published(*all), std::vector<float>());
    EXPECT_EQ(lastInt(*all, C_START), -1);
    EXPECT_EQ(lastInt(*all, C_END), -1);
}

TEST_P(Clipboard, PasteGoesInFrontOfTheStartFrame)
{
    const std::vector<float> x = ramp(100);
    const std::vector<float> c = range(x, 0, 9);
    const struct
    {
        int start, end;
        std::vector<float> want; // empty: nothing is published
    } rows[] = {
        {0, 0, join({c, x})},
        {50, 0, join({range(x, 0, 49), c, range(x, 50, 99)})},
        {500, 3, join({range(x, 0, 98), c, range(x, 99, 99)})}, // beyond the end: in front of the last frame
        {-1, 3, {}},                                            // a negative start: nothing
        {5, -1, {}},                                            // a negative end: nothing
        {INT_MIN, INT_MAX, {}},
        {INT_MAX, INT_MAX, join({range(x, 0, 98), c, range(x, 99, 99)})},
    };
    for (auto& row : rows)
    {
        SCOPED_TRACE("paste at " + std::to_string(row.start) + ", end " + std::to_string(row.end));
        auto g = clip(x, 0, 9);
        trigger(*g, C_COPY);
        g->setInt(C_START, row.start);
        g->setInt(C_END, row.end);
        trigger(*g, C_PASTE);
        g->deliverEchoes();
        if (row.want.empty())
            EXPECT_EQ(sends(*g, C_SAMPLE), 0u);
        else
            EXPECT_EQ(published(*g), row.want);
        EXPECT_EQ(sends(*g, C_START) + sends(*g, C_END), 0u) << "paste keeps the selection";
    }
}

TEST_P(Clipboard, PasteWithoutASamplePublishesTheClipboard)
{
    const std::vector<float> x = ramp(30);
    const std::vector<float> c = range(x, 3, 7);
    const struct
    {
        int pin;
        std::vector<float> second; // after a second paste into the first result
    } rows[] = {{C_PASTE, join({range(c, 0, 2), c, range(c, 3, 4)})}, {C_PASTE_END, join({c, c})}};
    for (auto& row : rows)
    {
        auto g = clip(x, 3, 7);
        trigger(*g, C_COPY);
        g->setBlob(C_SAMPLE, {});
        trigger(*g, row.pin);
        g->deliverEchoes();
        EXPECT_EQ(published(*g), c);
        trigger(*g, row.pin);
        g->deliverEchoes();
        EXPECT_EQ(published(*g), row.second);
    }
}

TEST_P(Clipboard, NothingHappensWithoutASampleASelectionOrAClipboard)
{
    const std::vector<float> x = ramp(30);
    auto g = clip(x, 3, 7);
    // An empty clipboard: paste and paste at end do nothing.
    trigger(*g, C_PASTE);
    trigger(*g, C_PASTE_END);
    EXPECT_EQ(sends(*g, C_SAMPLE), 0u);
    // Copy and cut with a negative pin, or without a sample, leave the clipboard.
    trigger(*g, C_COPY); // frames 3..7
    for (auto [start, end] : {std::pair<int, int>{-1, 5}, {5, -1}, {INT_MIN, INT_MIN}})
    {
        g->setInt(C_START, start);
        g->setInt(C_END, end);
        trigger(*g, C_COPY);
        trigger(*g, C_CUT);
    }
    g->setInt(C_START, 0);
    g->setInt(C_END, 1);
    g->setBlob(C_SAMPLE, {});
    trigger(*g, C_COPY);
    trigger(*g, C_CUT);
    EXPECT_EQ(sends(*g, C_SAMPLE), 0u);
    trigger(*g, C_PASTE_END);
    g->deliverEchoes();
    EXPECT_EQ(published(*g), range(x, 3, 7));
}

// ===========================================================================
// Undo

class Undo : public Edits
{};

INSTANTIATE_TEST_SUITE_P(Echo, Undo, ::testing::Values(Echo::Inside, Echo::Later, Echo::None), echoName);

TEST_P(Undo, OneLevelOfUndoAndRedo)
{
    const std::vector<float> a = ramp(8), b = {0.5f, -0.5f, 0.25f};
    auto g = make(L"QW_S2_UndoEdit");
    g->setBlob(U_SAMPLE, sample(a));
    g->setBlob(U_SAMPLE, sample(b));
    trigger(*g, U_UNDO);
    g->deliverEchoes();
    EXPECT_EQ(published(*g), a);
    // A second undo right after the first does nothing.
    trigger(*g, U_UNDO);
    g->deliverEchoes();
    EXPECT_EQ(sends(*g, U_SAMPLE), 1u);
    // Redo restores the newest sample exactly, and only once.
    trigger(*g, U_REDO);
    g->deliverEchoes();
    EXPECT_EQ(published(*g), b);
    trigger(*g, U_REDO);
    g->deliverEchoes();
    EXPECT_EQ(sends(*g, U_SAMPLE), 2u);
    // Undo and redo go on alternating.
    trigger(*g, U_UNDO);
    trigger(*g, U_REDO);
    g->deliverEchoes();
    EXPECT_EQ(published(*g), b);
    EXPECT_EQ(sends(*g, U_SAMPLE), 4u);
    EXPECT_EQ(a, ramp(8)) << "the sender's frames were changed";
}

TEST_P(Undo, UndoThenANewSample)
{
    // After an undo, a new sample sets both flags: redo then publishes the
    // sample that came before the newest one.
    const std::vector<float> a = ramp(8), b = {0.5f, -0.5f}, c = {0.125f, 0.25f, 0.375f};
    auto g = make(L"QW_S2_UndoEdit");
    g->setBlob(U_SAMPLE, sample(a));
    g->setBlob(U_SAMPLE, sample(b));
    trigger(*g, U_UNDO);
    g->deliverEchoes();
    g->setBlob(U_SAMPLE, sample(c));
    trigger(*g, U_REDO);
    g->deliverEchoes();
    EXPECT_EQ(published(*g), a);
    EXPECT_EQ(sends(*g, U_SAMPLE), 2u);
}

TEST_P(Undo, UndoIntoAnEmptyBufferPublishesTheEmptySample)
{
    const std::vector<float> a = ramp(8);
    auto g = make(L"QW_S2_UndoEdit");
    // Nothing to undo before a sample has arrived.
    auto fresh = make(L"QW_S2_UndoEdit", false);
    trigger(*fresh, U_UNDO);
    trigger(*fresh, U_REDO);
    EXPECT_EQ(sends(*fresh, U_SAMPLE), 0u);
    // The host's first value (the empty sample) came before this one.
    g->setBlob(U_SAMPLE, sample(a));
    trigger(*g, U_UNDO);
    g->deliverEchoes();
    EXPECT_EQ(published(*g), std::vector<float>());
    trigger(*g, U_REDO);
    g->deliverEchoes();
    EXPECT_EQ(published(*g), a);
}

// ===========================================================================
// A patch: an interface loader, crop, undo and a level meter on one net.

TEST_P(Edits, LoaderCropUndoAndLevelOnOneNet)
{
    std::vector<float> frames(100);
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] = 0.25f * std::sin(0.37f * static_cast<float>(i));
    frames[60] = -0.9f; // the peak, outside the cropped range
    frames[14] = 0.5f;  // the peak of frames 10..19
    qwtest::ScratchFolder dir;
    qw::WavFile32 w;
    w.setChannel(0, static_cast<int>(frames.size()), frames.data());
    w.sampleRate = 44100;
    const std::string path = (dir.path() / "net.wav").string();
    ASSERT_TRUE(w._saveWav(gmpi_sdk::fromUtf8(path), 32));

    qwhost::Patch patch;
    patch.gui.echo = GetParam();
    patch.gui.autoDuplicateCount = 1;
    auto& load = patch.addGui(kit(), L"QW_S2_SampleLoaderGUI");
    auto& crop = patch.addGui(kit(), L"QW_S2_CropSample");
    auto& undo = patch.addGui(kit(), L"QW_S2_UndoEdit");
    auto& level = patch.addGui(kit(), L"QW_S2_SampleLevelGUI");
    patch.connect(load, "Channel", crop, "Sample");
    patch.connect(crop, "Sample", undo, "Sample");
    patch.connect(undo, "Sample", level, "Sample");
    patch.start();
    auto settle = [&] {
        for (auto* m : {&load, &crop, &undo, &level})
            m->deliverEchoes();
    };
    // What the level meter shows after each step.
    auto shows = [&](float peak, int position, const char* after) {
        EXPECT_FLOAT_EQ(lastFloat(level, level.pin("Level")), peak) << after;
        EXPECT_EQ(lastInt(level, level.pin("Position")), position) << after;
    };
    auto cropTo = [&](int start, int end) {
        crop.setInt(crop.pin("Start"), start);
        crop.setInt(crop.pin("End"), end);
        trigger(crop, crop.pin("Trigger"));
        settle();
    };
    auto press = [&](const char* pin) {
        trigger(undo, undo.pin(pin));
        settle();
    };
    level.setInt(level.pin("Units"), 0);
    load.setText(load.pin("File"), gmpi_sdk::fromUtf8(path));
    settle();
    shows(0.9f, 60, "the load");
    cropTo(10, 19);
    shows(0.5f, 4, "the crop");
    press("Undo");
    shows(0.9f, 60, "undo");
    // The crop now works on the undone sample, not on its own earlier result.
    cropTo(55, 64);
    shows(0.9f, 5, "a crop of the undone sample");
    press("Redo"); // the sample before the newest
    shows(0.9f, 60, "redo");
    press("Undo");
    shows(0.9f, 5, "undo after redo");
}

// ===========================================================================
// Hostile input

TEST_P(Edits, GainsThatAreNoNumberChangeNothing)
{
    const std::vector<float> x = ramp(6);
    for (const wchar_t* id : {L"QW_S2_AmpSample", L"QW_S2_NormSample"})
        for (bool dB : {false, true})
            for (float v : {kNaN, kInf, -kInf})
            {
                SCOPED_TRACE(gmpi_sdk::toUtf8(id) + (dB ? " dB " : " ") + std::to_string(v));
                auto g = editor(id, x, 0, -1);
                g->setBool(EXTRA, dB);
                g->setFloat(EXTRA + 1, v);
                trigger(*g, TRIGGER);
                g->deliverEchoes();
                EXPECT_EQ(sends(*g, SAMPLE), 0u);
            }
}

// Huge decibel values are kept to the float range: frames become the largest
// float or 0, never infinite or NaN. A frame that is infinite already gives
// Norm no level to scale to.
TEST_P(Edits, HugeDecibelsStayFinite)
{
    const std::vector<float> x = {4.0f, -2.0f, 0.0f};
    const struct
    {
        const wchar_t* id;
        float dB;
        std::vector<float> want;
    } rows[] = {
        {L"QW_S2_AmpSample", 1e6f, {FLT_MAX, -FLT_MAX, 0.0f}},
        {L"QW_S2_AmpSample", 771.0f, {FLT_MAX, -FLT_MAX, 0.0f}}, // 2^128 would be infinite
        {L"QW_S2_AmpSample", -1e6f, {0.0f, 0.0f, 0.0f}},
        {L"QW_S2_NormSample", 1e30f, {FLT_MAX, -FLT_MAX / 2, 0.0f}},
    };
    for (auto& row : rows)
    {
        SCOPED_TRACE(gmpi_sdk::toUtf8(row.id) + " " + std::to_string(row.dB) + " dB");
        auto g = editor(row.id, x, 0, -1);
        g->setBool(EXTRA, true);
        g->setFloat(EXTRA + 1, row.dB);
        trigger(*g, TRIGGER);
        g->deliverEchoes();
        const auto out = published(*g);
        ASSERT_EQ(out.size(), row.want.size());
        for (size_t i = 0; i < out.size(); ++i)
        {
            EXPECT_TRUE(std::isfinite(out[i])) << i;
            EXPECT_NEAR(out[i], row.want[i], std::fabs(row.want[i]) * 1e-6) << i;
        }
    }
    const std::vector<float> withInf = {0.5f, kInf, 0.25f};
    auto g = editor(L"QW_S2_NormSample", withInf, 0, -1);
    trigger(*g, TRIGGER);
    g->deliverEchoes();
    EXPECT_EQ(sends(*g, SAMPLE), 0u);
}

// Forged or broken descriptors are no sample: no command acts on them.
TEST_P(Edits, ForgedDescriptorsAreNoSample)
{
    const std::vector<float> x = ramp(16);
    const auto forged = brokenDescriptors(*asDesc(sample(x)));
    const wchar_t* ids[] = {L"QW_S2_CropSample",    L"QW_S2_TrimSample",  L"QW_S2_SilenceSample", L"QW_S2_AmpSample",
                            L"QW_S2_InvertSample",  L"QW_S2_FlipSample",  L"QW_S2_NormSample",    L"QW_S2_FadeInSample",
                            L"QW_S2_FadeOutSample", L"QW_S2_SmoothSample"};
    for (auto id : ids)
        for (size_t k = 0; k < forged.size(); ++k)
        {
            SCOPED_TRACE(gmpi_sdk::toUtf8(id) + ", forged value " + std::to_string(k));
            auto g = make(id);
            g->setBlob(SAMPLE, forged[k]);
            trigger(*g, TRIGGER);
            EXPECT_EQ(sends(*g, SAMPLE), 0u);
        }
    for (size_t k = 0; k < forged.size(); ++k)
    {
        auto c = make(L"QW_S2_Clipboard");
        c->setBlob(C_SAMPLE, forged[k]);
        c->setInt(C_END, 3);
        trigger(*c, C_COPY);
        trigger(*c, C_CUT);
        trigger(*c, C_PASTE_END);
        EXPECT_EQ(sends(*c, C_SAMPLE), 0u) << "forged value " << k;
        auto u = make(L"QW_S2_UndoEdit");
        u->setBlob(U_SAMPLE, sample(x));
        u->setBlob(U_SAMPLE, forged[k]); // enters as the empty sample
        trigger(*u, U_UNDO);
        u->deliverEchoes();
        EXPECT_EQ(published(*u), x) << "forged value " << k;
    }
}

// ===========================================================================
// Trying a command from the command line

class EditCommandLine : public qwtest::CommandTest
{};

TEST_F(EditCommandLine, UiGivesASampleFromAFileAndPrintsTheResult)
{
    const std::vector<float> frames = {0.5f, -0.25f, 0.125f, 1.0f};
    qw::WavFile32 w;
    w.setChannel(0, 4, frames.data());
    w.sampleRate = 44100;
    ASSERT_TRUE(w._saveWav(gmpi_sdk::fromUtf8(file("in.wav")), 32));
    const std::string kitPath = std::string(QW_BUNDLE_DIR) + "/samplekit2.so";
    const auto r = qwhost({"ui", kitPath, "QW_S2_InvertSample", "--save", "Sample=" + file("out.wav"), "--steps",
                           "Sample=" + file("in.wav") + "; Start=1; End=2; Trigger=true"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("sent Sample = sample of 4 frames: 0.5 0.25 -0.125 1"), std::string::npos) << r.out;
    qw::WavFile32 out;
    ASSERT_TRUE(out._loadWav(gmpi_sdk::fromUtf8(file("out.wav"))));
    ASSERT_EQ(out.frames, 4);
    EXPECT_EQ(out.data[0], (std::vector<float>{0.5f, 0.25f, -0.125f, 1.0f}));

    const auto bad = qwhost({"ui", kitPath, "QW_S2_InvertSample", "--steps", "Sample=" + file("missing.wav")});
    EXPECT_NE(bad.code, 0);
    EXPECT_NE(bad.err.find("missing.wav"), std::string::npos) << bad.err;
}
} // namespace
