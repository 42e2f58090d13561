// Every registered processing module of every bundle, through the real entry:
// its pins against the host's description, then a run of silence, noise and
// random pin events at several block sizes and sample rates. No crash, no
// sanitizer report, nothing but finite numbers out, no allocation inside
// process after the first block, and the same samples for every block size
// and whatever the processor does with denormal numbers.
#include "mp_sdk_common.h"
#include "sample_source.h"
#include "test_support.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <xmmintrin.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <sstream>

namespace
{
constexpr int64_t kTotal = 8192;
constexpr int64_t kNoiseStart = 1024;
constexpr int64_t kNoiseEnd = 6144;

struct ScriptEvent
{
    int64_t time;
    int pin;
    bool midi;
    std::vector<uint8_t> bytes;
};

// What the inputs of a module hold at a sample of a run: each control input
// the last value the script gave it (its default before), each audio input
// its sample (0 outside the span in which the inputs stream).
class InputsAt
{
public:
    InputsAt(const qwhost::Processor& p, const std::vector<ScriptEvent>& script, float (*signal)(int, int64_t))
        : p_(p), script_(script), signal_(signal)
    {}

    // The first input pin of that name at sample t: a float, an integer, 0 or
    // 1 for a bool, an audio sample.
    double operator()(const std::string& name, int64_t t) const
    {
        for (int i = 0; i < p_.pinCount(); ++i)
        {
            const auto& pin = p_.pinInfo(i);
            if (pin.direction != gmpi::MP_IN || pin.name != name)
                continue;
            if (pin.datatype == gmpi::MP_AUDIO)
                return t >= kNoiseStart && t < kNoiseEnd ? signal_(i, t) : 0.0;
            std::vector<uint8_t> bytes;
            std::string why;
            qwhost::encodePinValue(pin.datatype, pin.defaultValue, bytes, why);
            int64_t latest = -1;
            for (auto& e : script_) // the host applies equal times in script order
                if (e.pin == i && !e.midi && e.time <= t && e.time >= latest)
                    latest = e.time, bytes = e.bytes;
            qwhost::PinUpdate v{};
            v.data = bytes;
            switch (pin.datatype)
            {
            case gmpi::MP_FLOAT32:
                return v.asFloat();
            case gmpi::MP_BOOL:
                return v.asBool();
            default:
                return v.asInt();
            }
        }
        ADD_FAILURE() << "no input pin \"" << name << "\"";
        return 0.0;
    }

private:
    const qwhost::Processor& p_;
    const std::vector<ScriptEvent>& script_;
    float (*signal_)(int, int64_t);
};

// Why a module may put out +-Inf or NaN for finite input, and the inputs that
// do it: only outputs at those inputs are excused.
struct NonFiniteRule
{
    const char* reason;
    bool (*explains)(const InputsAt& in, int64_t t);
};

bool beyondFloat(double v)
{
    return !(std::fabs(v) <= std::numeric_limits<float>::max());
}

// The frequency converters: a unit code from 3 up is the wavelength.
bool frequencyOutOfRange(const InputsAt& in, int64_t t)
{
    auto unit = [](double code) { return code >= 0 && code <= 2 ? static_cast<int>(code) : 3; };
    const int from = unit(in("From", t)), to = unit(in("To", t));
    constexpr int octave = 2, wavelength = 3;
    return from != to && from != octave && in("Input", t) <= 0.0 &&
           (from == wavelength || to == octave || to == wavelength);
}

// Modules that must allocate inside process, with the reason.
const std::map<std::wstring, std::string> kAllocates = {
    {L"QW_TestFiles", "resolving a file name and reading the file build texts and buffers"},
    {L"QW_S2_SampleLoaderDSP", "loads the WAV file inside process (its frames, the resolved name)"},
    {L"QW_S2_SampleSaverDSP", "copies each input sample when it arrives and writes the file inside process"},
    {L"QW_BridgeDSP2GUIBlob", "copies each new value for the interface half and frees the copies it is done with"},
    {L"QW_BridgeBlobDual", "copies each new value for the interface half and frees the copies it is done with"},
    {L"QW_AudioRecorder", "takes memory as a recording grows, and a new buffer while the interface half reads one"},
    {L"QW_AudioRecorder2", "takes memory as a recording grows, and a new buffer while the interface half reads one"},
    {L"QW_S2_LUTOscSYNC",
     "resizes its working table (one entry per table frame) when a table of another length arrives"},
};

// Modules whose results are +-Inf or NaN for some finite inputs by design.
// Every check runs on them; a non-finite output is excused only at inputs
// that the rule says produce it, so a NaN kept in their state still shows.
const std::map<std::wstring, NonFiniteRule> kNonFiniteResults = {
    {L"QW_FloatDiv",
     {"a quotient beyond the float range (division by 0 included) is +-Inf or NaN (IEEE)",
      [](const InputsAt& in, int64_t t) { return beyondFloat(in("A", t) / in("B", t)); }}},
    {L"QW_FloatLog",
     {"the logarithm of 0 or less is -Inf", [](const InputsAt& in, int64_t t) { return in("X", t) <= 0.0; }}},
    {L"QW_FloatPow",
     {"a power beyond the float range (0 to a negative power included) is +Inf",
      [](const InputsAt& in, int64_t t) {
          return in("Base", t) >= 0.0 && beyondFloat(std::pow(in("Base", t), in("Exponent", t)));
      }}},
    {L"QW_AudioLog",
     {"the logarithm of 0 or less is -Inf", [](const InputsAt& in, int64_t t) { return in("X", t) <= 0.0; }}},
    {L"QW_V2dB_Float", {"0 V or less is -Inf dB", [](const InputsAt& in, int64_t t) { return in("Volts", t) <= 0.0; }}},
    {L"QW_F2dB_Float",
     {"a factor of 0 or less is -Inf dB", [](const InputsAt& in, int64_t t) { return in("Factor", t) <= 0.0; }}},
    {L"QW_V2dB_Audio", {"0 V or less is -Inf dB", [](const InputsAt& in, int64_t t) { return in("Volts", t) <= 0.0; }}},
    {L"QW_FreqConv_Float",
     {"0 Hz or less is -Inf octave volts and an infinite wavelength; a wavelength of 0 is an infinite frequency",
      frequencyOutOfRange}},
    {L"QW_FreqConv_Audio",
     {"0 Hz or less is -Inf octave volts and an infinite wavelength; a wavelength of 0 is an infinite frequency",
      frequencyOutOfRange}},
};

// Modules whose float outputs may send -infinity by design, with the reason;
// any other non-finite value is still a failure.
const std::map<std::wstring, std::string> kMinusInfinityOutputs = {
    {L"QW_S2_SampleLevelDSP", "the level of silence in decibels is -infinity"},
};

// Modules whose arithmetic still overflows for audio inputs near the float
// limit, with where; they skip that run only (to be saturated as the chorus
// and the reverbs are).
const std::map<std::wstring, std::string> kOverflowNearTheLimit = {
    {L"QW_TestHalve", "a test module: y = x + y / 2 sums to twice the input"},
    {L"QW_BadStickyNaN", "a test module: y = x + y / 2 sums to twice the input"},
    {L"QW_TestPair", "a test module: its gain pin scales the input"},
    {L"QW_TestProbe", "a test module: its gain pin scales the input"},
};

// Outputs of a module exempt from a comparison, by pin name (none named:
// every output), with the reason.
struct PinExemption
{
    std::vector<std::string> pins;
    std::string reason;
};

// Outputs that depend on the host's block size by design; they are not
// compared across block sizes, every other check runs.
const std::map<std::wstring, PinExemption> kBlockSizeDependent = {
    {L"QW_EarPlug", {{}, "silences whole spans of the host's blocks: the span is what it protects"}},
    {L"QW_BlockSize", {{}, "sends the host's block size"}},
    {L"QW_BlockStart2Trigger", {{}, "fires at the start of every host block"}},
    {L"QW_DSPBlobTool",
     {{"Samples"},
      "counts the samples of the calls the host makes; sleeping skips calls, and when depends on the "
      "host's blocks"}},
    {L"QW_ShapeEnv5", {{"Position"}, "the position is sent once at the end of every span the host's blocks make"}},
    {L"QW_S2_SampleLoaderDSP",
     {{},
      "loads once per host block at most, at the block's last request (the frames it published earlier in the "
      "block stay readable until its end)"}},
};

// Outputs that do not repeat from run to run, with the reason.
const std::map<std::wstring, PinExemption> kNotRepeatable = {
    {L"QW_NoiseGen2", {{}, "seeded from the system's random source until a seed above 0 is set"}},
    {L"QW_RandomIntDSP", {{}, "seeded from the system's random source; it has no seed pin"}},
    {L"QW_RandomFloatDSP", {{}, "seeded from the system's random source; it has no seed pin"}},
    {L"QW_RandomVolts", {{}, "seeded from the system's random source; it has no seed pin"}},
    {L"QW_DSPBlobTool", {{"Address"}, "the address of the blob's bytes in memory, written for people to read"}},
};

// The exemptions of one module (none for most).
struct Exemptions
{
    bool allocates = false;
    const NonFiniteRule* nonFinite = nullptr;
    const PinExemption* blockSizeDependent = nullptr;
    const PinExemption* notRepeatable = nullptr;
};

template <class Map> auto entryOf(const Map& map, const std::wstring& id) -> decltype(&map.begin()->second)
{
    const auto it = map.find(id);
    return it == map.end() ? nullptr : &it->second;
}

Exemptions exemptionsOf(const std::wstring& id)
{
    Exemptions e;
    e.allocates = kAllocates.count(id) != 0;
    e.nonFinite = entryOf(kNonFiniteResults, id);
    e.blockSizeDependent = entryOf(kBlockSizeDependent, id);
    e.notRepeatable = entryOf(kNotRepeatable, id);
    return e;
}

// The output pins an exemption names (every output when it names none).
std::set<int> pinsOf(const PinExemption* exemption, const qwhost::Processor& p)
{
    std::set<int> pins;
    if (!exemption)
        return pins;
    for (int i = 0; i < p.pinCount(); ++i)
    {
        const auto& pin = p.pinInfo(i);
        if (pin.direction != gmpi::MP_OUT)
            continue;
        if (exemption->pins.empty() ||
            std::find(exemption->pins.begin(), exemption->pins.end(), pin.name) != exemption->pins.end())
            pins.insert(i);
    }
    if (pins.empty())
        ADD_FAILURE() << "an exemption names no output pin of the module (" << exemption->reason << ")";
    return pins;
}

constexpr int kRandomEvents = 80;
constexpr int kLongText = 24;
constexpr int kShortBlob = 64;
constexpr int kLongBlob = 808; // the largest breakpoint shape

struct Rng
{
    uint64_t s;
    uint32_t next()
    {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(s >> 33);
    }
    float uniform(float a, float b) { return a + (b - a) * (next() / 2147483648.0f); }
    int range(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<uint32_t>(hi - lo + 1)); }
};

float noise(int pin, int64_t t)
{
    uint64_t x = static_cast<uint64_t>(t) * 0x9E3779B97F4A7C15ULL + static_cast<uint64_t>(pin) * 0xBF58476D1CE4E5B9ULL;
    x ^= x >> 31;
    x *= 0xD6E8FEB86659FD93ULL;
    x ^= x >> 32;
    return static_cast<float>(x & 0xFFFFFF) / 8388608.0f - 1.0f;
}

// The values of an enumeration list text: "a,b=5,c" or "range a,b".
std::vector<int> listValues(const std::string& list)
{
    std::vector<int> values;
    if (list.rfind("range", 0) == 0)
    {
        int a = 0, b = 0;
        if (std::sscanf(list.c_str() + 5, " %d , %d", &a, &b) == 2)
            for (int v = std::min(a, b); v <= std::max(a, b) && values.size() < 1000; ++v)
                values.push_back(v);
        return values;
    }
    int next = 0;
    std::stringstream in(list);
    std::string entry;
    while (std::getline(in, entry, ','))
    {
        const auto eq = entry.find('=');
        if (eq != std::string::npos)
            next = std::atoi(entry.c_str() + eq + 1);
        values.push_back(next++);
    }
    return values;
}

std::vector<uint8_t> randomValue(const qwhost::PinInfo& pin, Rng& r, bool longest)
{
    std::vector<uint8_t> out;
    auto put = [&out](const void* p, size_t n) {
        out.assign(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
    };
    auto number = [&pin](const char* key, float otherwise) {
        const std::string v = pin.attribute(key);
        return v.empty() ? otherwise : std::strtof(v.c_str(), nullptr);
    };
    switch (pin.datatype)
    {
    case gmpi::MP_FLOAT32:
    {
        const int pick = r.range(0, 19);
        float v = pick == 0 ? 0.0f : r.uniform(number("min", -2.0f), number("max", 2.0f));
        if (pick == 1)
            v = std::strtof(pin.defaultValue.c_str(), nullptr);
        put(&v, 4);
        break;
    }
    case gmpi::MP_INT32:
    case gmpi::MP_ENUM:
    {
        int32_t v;
        const auto listed = listValues(pin.attribute("list"));
        if (!listed.empty() && !pin.has("min"))
            v = listed[r.next() % listed.size()];
        else
            v = r.range(static_cast<int>(number("min", pin.datatype == gmpi::MP_ENUM ? 0.0f : -4.0f)),
                        static_cast<int>(number("max", pin.datatype == gmpi::MP_ENUM ? 8.0f : 16.0f)));
        put(&v, 4);
        break;
    }
    case gmpi::MP_BOOL:
    {
        const bool v = r.next() & 1;
        put(&v, 1);
        break;
    }
    case gmpi::MP_STRING:
    {
        static const wchar_t extra[] = {L'\u00e9', L'\u20ac', L' ', L',', L'('};
        std::wstring s(longest ? kLongText : r.range(0, kLongText), L'a');
        for (auto& c : s)
            c = r.range(0, 9) == 0 ? extra[r.next() % 5] : static_cast<wchar_t>(r.range(33, 126));
        put(s.data(), s.size() * 4);
        break;
    }
    case gmpi::MP_BLOB:
    {
        if (!longest && r.range(0, 2) == 0)
        {
            // A well-formed breakpoint shape: magic, count, then x rising from 0 to 1.
            const uint32_t count = static_cast<uint32_t>(r.range(2, 16));
            std::vector<float> nodes;
            for (uint32_t i = 0; i < count; ++i)
            {
                const float x = i == 0 ? 0.0f : (i + 1 == count ? 1.0f : (i + r.uniform(0.1f, 0.9f)) / (count - 1));
                nodes.push_back(x);
                nodes.push_back(r.uniform(-1.0f, 1.0f));
            }
            const uint32_t head[2] = {0x53484150u, count};
            out.resize(8 + nodes.size() * 4);
            std::memcpy(out.data(), head, 8);
            std::memcpy(out.data() + 8, nodes.data(), nodes.size() * 4);
            break;
        }
        out.resize(longest ? kLongBlob : r.range(0, kShortBlob));
        for (auto& b : out)
            b = static_cast<uint8_t>(r.next());
        break;
    }
    case gmpi::MP_MIDI:
    {
        static const uint8_t status[] = {0x80, 0x90, 0xB0, 0xC0, 0xD0, 0xE0};
        out = {static_cast<uint8_t>(status[r.next() % 6] | r.range(0, 15)), static_cast<uint8_t>(r.range(0, 127)),
               static_cast<uint8_t>(r.range(0, 127))};
        if (out[0] >= 0xC0 && out[0] < 0xE0)
            out.resize(2);
        break;
    }
    default:
        break;
    }
    return out;
}

// --- Hostile input: values no patch should send, and a burst of non-finite audio.
// The hostile values go to every input pin from kHostileStart on, then every
// pin gets its default again at kHostileEnd; the audio inputs carry a burst of
// non-finite samples over [kBurstStart, kBurstEnd). Outputs may be anything
// while that lasts and for one block after, and must be finite again from then.
constexpr int64_t kHostileStart = 64;
constexpr int64_t kHostileEnd = 2944;
constexpr int64_t kBurstStart = 4032;
constexpr int64_t kBurstEnd = 4096;
constexpr int kHostileBlock = 64;
constexpr size_t kHugeValue = 65536;

template <class T> std::vector<uint8_t> bytesOf(const T& v)
{
    std::vector<uint8_t> b(sizeof v);
    std::memcpy(b.data(), &v, sizeof v);
    return b;
}

// Every hostile value for a pin of that datatype; the huge ones come first
// (they are sent in the first block, where a pin's storage may grow).
std::vector<std::vector<uint8_t>> hostileValues(int datatype)
{
    std::vector<std::vector<uint8_t>> v;
    switch (datatype)
    {
    case gmpi::MP_FLOAT32:
        for (float f : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                        -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::max(),
                        std::numeric_limits<float>::lowest(), std::numeric_limits<float>::min(),
                        std::numeric_limits<float>::denorm_min(), -1e-40f, 0.0f, -1.0f})
            v.push_back(bytesOf(f));
        break;
    case gmpi::MP_INT32:
    case gmpi::MP_ENUM:
        for (int32_t i : {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), 0, -1})
            v.push_back(bytesOf(i));
        break;
    case gmpi::MP_BOOL:
        v = {{1}, {0}, {0xFF, 0xFF, 0xFF, 0xFF}};
        break;
    case gmpi::MP_STRING:
    {
        std::wstring huge(kHugeValue / 4, L'9');
        for (size_t i = 0; i < huge.size(); i += 7)
            huge[i] = L"(,=-.\u00e9\uFFFD"[i % 7];
        v.push_back(std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(huge.data()),
                                         reinterpret_cast<const uint8_t*>(huge.data()) + huge.size() * 4));
        v.push_back({0xFF, 0xFF, 0xFF, 0x7F}); // one character beyond Unicode
        break;
    }
    case gmpi::MP_BLOB:
    {
        std::vector<uint8_t> huge(kHugeValue);
        Rng r{0xB10Bu};
        for (auto& b : huge)
            b = static_cast<uint8_t>(r.next());
        v.push_back(huge);
        // A breakpoint-shape header that claims more nodes than it holds.
        const uint32_t head[2] = {0x53484150u, 0x7FFFFFFFu};
        v.push_back(
            std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(head), reinterpret_cast<const uint8_t*>(head) + 8));
        break;
    }
    case gmpi::MP_MIDI:
        v = {{0x90},
             {0x90, 0x80, 0xFF},
             {0x3C, 0x64},
             {0xF0, 1, 2, 3, 4, 5, 6, 7},
             {0xFF, 0xFF, 0xFF},
             {0xB0, 0x7B, 0x00},
             {0xE0, 0x7F, 0x7F}};
        break;
    default:
        break;
    }
    v.push_back({}); // a value of no bytes at all
    return v;
}

// The hostile script: every hostile value on every input pin, then the defaults.
std::vector<ScriptEvent> hostileScript(qwhost::Processor& p)
{
    std::vector<ScriptEvent> script;
    std::vector<ScriptEvent> later;
    for (int i = 0; i < p.pinCount(); ++i)
    {
        const auto& pin = p.pinInfo(i);
        if (pin.direction != gmpi::MP_IN || pin.datatype == gmpi::MP_AUDIO)
            continue;
        const bool midi = pin.datatype == gmpi::MP_MIDI;
        for (auto& value : hostileValues(pin.datatype))
            (value.size() >= kHugeValue ? script : later).push_back({0, i, midi, value});
        if (!midi)
        {
            std::vector<uint8_t> bytes;
            std::string why;
            qwhost::encodePinValue(pin.datatype, pin.defaultValue, bytes, why);
            later.push_back({kHostileEnd, i, false, bytes});
        }
    }
    // Spread the hostile values over [kHostileStart, kHostileEnd).
    const size_t hostile = later.size();
    const int64_t span = kHostileEnd - kHostileStart;
    size_t k = 0;
    for (auto& e : later)
        if (e.time != kHostileEnd)
            e.time =
                kHostileStart + static_cast<int64_t>(k++) * span / static_cast<int64_t>(std::max<size_t>(hostile, 1));
    script.insert(script.end(), later.begin(), later.end());
    return script;
}

// Finite audio near the float limit: the noise's sign, at 0.5 to 1 of the largest float.
float nearLimitSignal(int pin, int64_t t)
{
    const float x = noise(pin, t);
    return std::copysign(std::numeric_limits<float>::max() * (0.5f + 0.5f * std::fabs(x)), x);
}

float hostileSignal(int pin, int64_t t)
{
    if (t >= kBurstStart && t < kBurstEnd)
    {
        static const float burst[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                      -std::numeric_limits<float>::infinity(), 0.5f};
        return burst[(t + pin) % 4];
    }
    return noise(pin, t);
}

// A value a module sent on a pin other than an audio output.
struct Sent
{
    int64_t time;
    std::vector<uint8_t> bytes;
};

struct RunResult
{
    std::map<int, std::vector<float>> effective; // audio outputs as a reader sees them
    std::map<int, std::vector<Sent>> sent;       // every other output's values, in order
    std::map<int, int> datatypes;                // of the pins in `sent`
    std::string failure;
};

// How a run feeds and judges a module.
struct RunOptions
{
    float rate = 44100.0f;
    int block = 64;
    bool checkAllocations = true;
    // Which finite inputs may give non-finite outputs; none when null.
    const NonFiniteRule* nonFinite = nullptr;
    // The audio input samples while the inputs stream (kNoiseStart to kNoiseEnd).
    float (*signal)(int pin, int64_t t) = noise;
    // Spans [from, to) in which outputs may be non-finite whatever the inputs.
    std::vector<std::pair<int64_t, int64_t>> excused;

    bool excuses(int64_t t) const
    {
        for (auto& [from, to] : excused)
            if (t >= from && t < to)
                return true;
        return false;
    }
};

// A text value's bytes with every occurrence of the folder's name replaced
// by "<folder>".
std::vector<uint8_t> withoutFolder(const std::vector<uint8_t>& bytes, const std::string& folder)
{
    qwhost::PinUpdate v{};
    v.data = bytes;
    std::wstring text = v.asText();
    const std::wstring name = gmpi_sdk::fromUtf8(folder), mark = L"<folder>";
    if (name.empty())
        return bytes;
    for (size_t at = text.find(name); at != std::wstring::npos; at = text.find(name, at + mark.size()))
        text.replace(at, name.size(), mark);
    return std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(text.data()),
                                reinterpret_cast<const uint8_t*>(text.data() + text.size()));
}

// Runs the script on a fresh instance; audio outputs are recorded as a reader
// downstream sees them: samples while streaming, the value at the report
// while static. Every value sent on another output is kept with its sample.
RunResult runScript(const std::shared_ptr<qwhost::Bundle>& bundle, const std::wstring& id,
                    const std::vector<ScriptEvent>& script, const RunOptions& o)
{
    const float rate = o.rate;
    const int block = o.block;
    RunResult result;
    qwhost::Patch patch;
    qwhost::ProcessingHost& host = patch.processing;
    host.sampleRate = rate;
    host.blockSize = std::max(block, 64);
    qwhost::Processor* p = &patch.addProcessor(bundle, id);
    // Descriptor inputs take a real sample (loaded again now and then, between
    // the random blobs); files resolve into a scratch folder only.
    qwtest::SampleSource samples(patch, *p);
    const InputsAt inputs(*p, script, o.signal);
    auto excused = [&](int64_t t) { return o.excuses(t) || (o.nonFinite && o.nonFinite->explains(inputs, t)); };

    std::vector<int> audioIn, audioOut, floatOut;
    for (int i = 0; i < p->pinCount(); ++i)
    {
        const auto& info = p->pinInfo(i);
        if (info.datatype == gmpi::MP_AUDIO)
            (info.direction == gmpi::MP_IN ? audioIn : audioOut).push_back(i);
        else if (info.datatype == gmpi::MP_FLOAT32 && info.direction == gmpi::MP_OUT)
            floatOut.push_back(i);
    }

    patch.start();
    samples.loadAt({0, 1500, 3000, 4500, 6000, 7500});
    for (int pin : audioIn)
    {
        p->setConstant(pin, 0.0f, 0);
        p->setStreaming(pin, true, static_cast<int>(kNoiseStart));
        p->setConstant(pin, 0.0f, static_cast<int>(kNoiseEnd));
    }
    for (auto& e : script)
    {
        if (e.midi)
            p->sendMidi(e.pin, e.bytes, static_cast<int>(e.time));
        else
            p->setRaw(e.pin, e.bytes.data(), static_cast<int>(e.bytes.size()), static_cast<int>(e.time));
    }

    std::map<int, std::vector<float>> raw;
    size_t updatesSeen = 0;
    while (p->now() < kTotal)
    {
        const int n = static_cast<int>(std::min<int64_t>(block, kTotal - p->now()));
        for (int pin : audioIn)
            for (int i = 0; i < n; ++i)
            {
                const int64_t t = p->now() + i;
                if (t >= kNoiseStart && t < kNoiseEnd)
                    p->input(pin)[i] = o.signal(pin, t);
            }
        patch.run(n);
        for (int pin : audioOut)
        {
            const float* out = p->output(pin);
            for (int i = 0; i < n; ++i)
                if (!std::isfinite(out[i]) && !excused(p->now() - n + i))
                    return {{},
                            {},
                            {},
                            "output pin " + std::to_string(pin) + " is " + std::to_string(out[i]) + " at sample " +
                                std::to_string(p->now() - n + i)};
            raw[pin].insert(raw[pin].end(), out, out + n);
        }
        for (; updatesSeen < p->updates.size(); ++updatesSeen)
        {
            const auto& u = p->updates[updatesSeen];
            for (int pin : floatOut)
                if (u.pin == pin && !std::isfinite(u.asFloat()) && !excused(u.time) &&
                    !(u.asFloat() == -std::numeric_limits<float>::infinity() && kMinusInfinityOutputs.count(id)))
                    return {{},
                            {},
                            {},
                            "float output " + std::to_string(pin) + " sent " + std::to_string(u.asFloat()) +
                                " at sample " + std::to_string(u.time)};
        }
    }
    if (o.checkAllocations && p->allocationsAfterFirstBlock() > 0)
        return {{},
                {},
                {},
                std::to_string(p->allocationsAfterFirstBlock()) +
                    " heap allocations inside process after the first block"};

    for (auto& u : p->updates)
    {
        Sent s{u.time, u.data};
        const bool known = u.pin >= 0 && u.pin < p->pinCount();
        // A sample descriptor holds an address in the sender's memory, which
        // differs from run to run; the rest of it must not.
        if (known && p->pinInfo(u.pin).has("descriptor") && s.bytes.size() >= 16)
            std::fill(s.bytes.begin() + 8, s.bytes.begin() + 16, uint8_t{0});
        // So does the run's own scratch folder, where file names resolve.
        if (known && p->pinInfo(u.pin).datatype == gmpi::MP_STRING)
            s.bytes = withoutFolder(s.bytes, host.resourceFolder);
        result.sent[u.pin].push_back(std::move(s));
        result.datatypes[u.pin] = known ? p->pinInfo(u.pin).datatype : -1;
    }

    for (int pin : audioOut)
    {
        std::vector<float>& r = raw[pin];
        std::vector<float> eff(r);
        bool streaming = true;
        float held = 0.0f;
        size_t k = 0;
        std::vector<qwhost::StreamingReport> reports;
        for (auto& s : p->streamingReports)
            if (s.pin == pin)
                reports.push_back(s);
        for (int64_t t = 0; t < kTotal; ++t)
        {
            for (; k < reports.size() && reports[k].time <= t; ++k)
            {
                streaming = reports[k].streaming;
                const int64_t at = std::clamp<int64_t>(reports[k].time, 0, kTotal - 1);
                held = r[static_cast<size_t>(at)];
            }
            if (!streaming)
                eff[static_cast<size_t>(t)] = held;
        }
        result.effective[pin] = std::move(eff);
    }
    return result;
}

// Runs f with the processor flushing denormal results and inputs to zero.
template <class F> auto withFlushToZero(F f)
{
    const unsigned saved = _mm_getcsr();
    _mm_setcsr(saved | 0x8040); // flush to zero, denormals are zero
    auto r = f();
    _mm_setcsr(saved);
    return r;
}

// A sent value as text: the number for a float, int or bool, the text, or
// the first bytes in hexadecimal; then its sample.
std::string describe(const Sent& s, int datatype)
{
    std::ostringstream out;
    qwhost::PinUpdate v{};
    v.data = s.bytes;
    switch (datatype)
    {
    case gmpi::MP_FLOAT32:
        out << v.asFloat();
        break;
    case gmpi::MP_INT32:
    case gmpi::MP_ENUM:
        out << v.asInt();
        break;
    case gmpi::MP_BOOL:
        out << (v.asBool() ? "true" : "false");
        break;
    case gmpi::MP_STRING:
        out << '"' << gmpi_sdk::toUtf8(v.asText().substr(0, 40)) << '"';
        break;
    default:
        out << s.bytes.size() << " bytes";
        for (size_t i = 0; i < std::min<size_t>(s.bytes.size(), 16); ++i)
            out << (i ? ' ' : ':') << std::hex << int(s.bytes[i]) << std::dec;
        break;
    }
    out << " at sample " << s.time;
    return out.str();
}

// The first difference between two runs, as text; empty when equal.
std::string firstDifference(const RunResult& a, const RunResult& b, const std::set<int>& skip)
{
    for (auto& [pin, samples] : a.effective)
    {
        if (skip.count(pin))
            continue;
        auto it = b.effective.find(pin);
        if (it == b.effective.end())
            return "output pin " + std::to_string(pin) + " missing";
        for (size_t t = 0; t < samples.size(); ++t)
            if (std::memcmp(&samples[t], &it->second[t], sizeof(float)) != 0)
            {
                std::ostringstream s;
                s << "output pin " << pin << " differs at sample " << t << ": " << it->second[t] << " instead of "
                  << samples[t];
                return s.str();
            }
    }
    auto sentOn = [](const RunResult& r, int pin) {
        static const std::vector<Sent> none;
        const auto it = r.sent.find(pin);
        return it == r.sent.end() ? none : it->second;
    };
    std::set<int> pins;
    for (auto& x : a.sent)
        pins.insert(x.first);
    for (auto& x : b.sent)
        pins.insert(x.first);
    for (int pin : pins)
    {
        if (skip.count(pin))
            continue;
        const std::vector<Sent>&want = sentOn(a, pin), &got = sentOn(b, pin);
        const int type = a.datatypes.count(pin) ? a.datatypes.at(pin) : b.datatypes.at(pin);
        for (size_t k = 0; k < std::min(want.size(), got.size()); ++k)
            if (want[k].time != got[k].time || want[k].bytes != got[k].bytes)
                return "output pin " + std::to_string(pin) + ", value " + std::to_string(k) + ": " +
                       describe(got[k], type) + " instead of " + describe(want[k], type);
        if (want.size() != got.size())
        {
            const Sent& first = want.size() > got.size() ? want[got.size()] : got[want.size()];
            return "output pin " + std::to_string(pin) + " sent " + std::to_string(got.size()) + " values instead of " +
                   std::to_string(want.size()) + " (the first of the rest: " + describe(first, type) + ")";
        }
    }
    return {};
}

void exerciseModule(const std::string& bundleName, const std::wstring& id, const Exemptions& exempt)
{
    auto bundle = qwtest::bundle(bundleName);
    const qwhost::ModuleInfo* info = bundle->metadata().find(id, gmpi::MP_SUB_TYPE_AUDIO);
    ASSERT_NE(info, nullptr) << "no description";

    // The script: the longest texts and blobs first (a pin's storage may grow
    // then), random values of every input during the run; some blobs are
    // well-formed breakpoint shapes, so modules that take one run with it.
    Rng r{0x5EED0000ULL + std::hash<std::wstring>()(id)};
    std::vector<ScriptEvent> script;
    std::vector<int> inputs;
    std::set<int> notRepeatable, notAcrossBlocks;
    {
        qwhost::ProcessingHost probe;
        auto p = probe.create(bundle, id);
        notRepeatable = pinsOf(exempt.notRepeatable, *p);
        notAcrossBlocks = pinsOf(exempt.blockSizeDependent, *p);
        notAcrossBlocks.insert(notRepeatable.begin(), notRepeatable.end());
        for (int i = 0; i < p->pinCount(); ++i)
        {
            const auto& pin = p->pinInfo(i);
            if (pin.direction != gmpi::MP_IN || pin.datatype == gmpi::MP_AUDIO)
                continue;
            inputs.push_back(i);
            if (pin.datatype == gmpi::MP_STRING || pin.datatype == gmpi::MP_BLOB)
                script.push_back({0, i, false, randomValue(pin, r, true)});
        }
        for (int e = 0; e < kRandomEvents && !inputs.empty(); ++e)
        {
            const int pin = inputs[r.next() % inputs.size()];
            const auto& info = p->pinInfo(pin);
            script.push_back({r.range(1, static_cast<int>(kTotal) - 1), pin, info.datatype == gmpi::MP_MIDI,
                              randomValue(info, r, false)});
        }
    }

    RunOptions options;
    options.checkAllocations = !exempt.allocates;
    options.nonFinite = exempt.nonFinite;
    RunResult reference;
    for (int block : {64, 1, 7, 256})
    {
        options.block = block;
        RunResult run = runScript(bundle, id, script, options);
        ASSERT_TRUE(run.failure.empty()) << "44.1 kHz, blocks of " << block << ": " << run.failure;
        if (block == 64)
        {
            reference = std::move(run);
            continue;
        }
        const std::string diff = firstDifference(reference, run, notAcrossBlocks);
        EXPECT_TRUE(diff.empty()) << "blocks of " << block << ": " << diff;
    }
    options.block = 64;
    // The processor's denormal mode must not change a sample or a value.
    {
        RunOptions flush = options;
        flush.checkAllocations = false;
        RunResult flushed = withFlushToZero([&] { return runScript(bundle, id, script, flush); });
        ASSERT_TRUE(flushed.failure.empty()) << "flush to zero: " << flushed.failure;
        const std::string diff = firstDifference(reference, flushed, notRepeatable);
        EXPECT_TRUE(diff.empty()) << "with denormals flushed to zero: " << diff;
    }
    for (float rate : {48000.0f, 96000.0f, 192000.0f})
    {
        options.rate = rate;
        RunResult run = runScript(bundle, id, script, options);
        ASSERT_TRUE(run.failure.empty()) << rate << " Hz: " << run.failure;
    }

    // Audio near the float limit is finite input too: finite outputs.
    if (!kOverflowNearTheLimit.count(id))
    {
        RunOptions large = options;
        large.rate = 44100.0f;
        large.signal = nearLimitSignal;
        RunResult atLimit = runScript(bundle, id, script, large);
        ASSERT_TRUE(atLimit.failure.empty()) << "audio near the float limit: " << atLimit.failure;
    }

    // Hostile values on every pin and a burst of non-finite audio: no crash,
    // no allocation, and finite outputs again one block after each ends
    // (where a module's rule excuses its inputs, only there).
    std::vector<ScriptEvent> hostile;
    {
        qwhost::ProcessingHost probe;
        auto p = probe.create(bundle, id);
        hostile = hostileScript(*p);
    }
    RunOptions h = options;
    h.rate = 44100.0f;
    h.block = kHostileBlock;
    h.signal = hostileSignal;
    h.excused = {{kHostileStart, kHostileEnd + kHostileBlock}, {kBurstStart, kBurstEnd + kHostileBlock}};
    RunResult run = runScript(bundle, id, hostile, h);
    ASSERT_TRUE(run.failure.empty()) << "hostile input: " << run.failure;
}

// The checks above catch the faults they are meant to catch.
TEST(AllModulesHarness, CatchesModulesThatBreakTheRules)
{
    struct Row
    {
        const wchar_t* id;
        const char* expected;
        Exemptions exempt;
    };
    // A logarithm may be -Inf or NaN where its input is 0 or less, and only there.
    const NonFiniteRule logarithm{"the logarithm of 0 or less is -Inf",
                                  [](const InputsAt& in, int64_t t) { return in("Input", t) <= 0.0; }};
    Exemptions logExempt;
    logExempt.nonFinite = &logarithm;
    const Row rows[] = {
        {L"QW_BadDenormal", "with denormals flushed to zero: output pin 1 differs", {}},
        {L"QW_BadBlockRate", "blocks of 1: output pin 1 differs", {}},
        {L"QW_BadNaN", "44.1 kHz, blocks of 64: output pin 1 is", {}},
        {L"QW_BadStickyNaN", "hostile input: output pin 1 is nan at sample 4160", {}},
        {L"QW_BadAlloc", "heap allocations inside process after the first block", {}},
        {L"QW_BadStickyLog", "hostile input: output pin 1 is nan at sample 416", logExempt},
        {L"QW_BadLateStamp", "blocks of 1: output pin 1, value ", {}},
        {L"QW_BadFlushText",
         "with denormals flushed to zero: output pin 1, value 1: \"yes\" at sample 0 instead of \"no\"",
         {}},
        {L"QW_BadOverflow", "audio near the float limit: output pin 1 is inf", {}},
    };
    for (auto& r : rows)
    {
        ::testing::TestPartResultArray failures;
        {
            ::testing::ScopedFakeTestPartResultReporter reporter(
                ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
            exerciseModule("brokenkit", r.id, r.exempt);
        }
        bool found = false;
        for (int i = 0; i < failures.size(); ++i)
            found |= std::string(failures.GetTestPartResult(i).message()).find(r.expected) != std::string::npos;
        EXPECT_TRUE(found) << gmpi_sdk::toUtf8(r.id) << " was not caught as expected ("
                           << (failures.size() ? failures.GetTestPartResult(0).message() : "no failure") << ")";
    }
}

// A user-interface object through the real entry: created, given the host,
// initialized and given every pin's default (and once more with the values
// before initialize, their echoes delivered inside the call), then destroyed.
void exerciseGuiModule(const std::string& bundleName, const std::wstring& id)
{
    auto bundle = qwtest::bundle(bundleName);
    qwhost::GuiHost host;
    {
        auto g = host.create(bundle, id, false);
        EXPECT_EQ(g->setHostResult, 0);
        EXPECT_EQ(g->initialize(), 0);
        g->setDefaults();
    }
    host.echo = qwhost::Echo::Inside;
    {
        auto g = host.create(bundle, id, true);
        g->deliverEchoes();
    }
    EXPECT_EQ(host.leakedHostReferences, 0) << "references kept on the host after destruction";
}

class ModuleTest : public ::testing::Test
{
public:
    explicit ModuleTest(std::function<void()> body) : body_(std::move(body)) {}
    void TestBody() override { body_(); }

private:
    std::function<void()> body_;
};

template <class F> void addTest(const std::string& suite, const std::string& name, F body)
{
    ::testing::RegisterTest(suite.c_str(), name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
                            [body]() -> ::testing::Test* { return new ModuleTest(body); });
}

void registerTests()
{
    std::vector<std::string> bundles = qwtest::productBundles();
    bundles.push_back("testkit");
    for (auto& name : bundles)
    {
        std::shared_ptr<qwhost::Bundle> bundle;
        try
        {
            bundle = qwtest::bundle(name);
        }
        catch (const std::exception& e)
        {
            const std::string why = e.what();
            addTest("Bundles", name, [why] { FAIL() << why; });
            continue;
        }

        // The host's description and the registrations agree.
        addTest("Described/" + name, "EveryModule", [bundle] {
            for (auto& r : bundle->registrations())
                EXPECT_NE(bundle->metadata().find(r.id, r.subtype), nullptr)
                    << gmpi_sdk::toUtf8(r.id) << " is registered at subtype " << r.subtype << " but not described";
            const auto regs = bundle->registrations();
            for (auto& m : bundle->metadata().modules())
            {
                bool found = false;
                for (auto& r : regs)
                    found |= r.id == m.id && r.subtype == m.subtype;
                EXPECT_TRUE(found) << m.source << ": " << gmpi_sdk::toUtf8(m.id) << " is described but not registered";
            }
        });

        // Per module: its pins against the description, then the run.
        for (auto& r : bundle->registrations())
        {
            const std::string id = gmpi_sdk::toUtf8(r.id);
            const std::wstring wid = r.id;
            if (r.subtype == gmpi::MP_SUB_TYPE_GUI2)
            {
                addTest("GuiPins/" + name, id, [bundle, wid] {
                    qwhost::GuiHost host;
                    auto g = host.create(bundle, wid);
                    for (auto& problem : qwtest::checkGuiPins(*g))
                        ADD_FAILURE() << problem;
                });
                addTest("AllGuiModules/" + name, id, [name, wid] { exerciseGuiModule(name, wid); });
            }
            else if (r.subtype == gmpi::MP_SUB_TYPE_AUDIO)
            {
                addTest("Pins/" + name, id, [bundle, wid] {
                    qwhost::ProcessingHost host;
                    auto p = host.create(bundle, wid);
                    for (auto& problem : qwtest::checkPins(*p))
                        ADD_FAILURE() << problem;
                });
                addTest("AllModules/" + name, id, [name, wid] { exerciseModule(name, wid, exemptionsOf(wid)); });
            }
        }
    }
}
} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    registerTests();
    return RUN_ALL_TESTS();
}
