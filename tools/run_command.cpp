#include "run_command.h"

#include "sample_value.h"
#include "shape_value.h"

#include "WavFile32.h"
#include "bundle.h"
#include "mp_sdk_common.h"
#include "processing_host.h"
#include "usage_error.h"
#include "wav_stream.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <sys/stat.h>

namespace qwtool
{
const char* const kRunUsage =
    "usage: qwhost run BUNDLE ID [--in FILE.wav] [--out FILE.wav] [--pin NAME=VALUE ...]\n"
    "                  [--midi NAME=HEX@S ...] [--sample PIN=FILE.wav[:CHANNEL] ...] [--rate HZ]\n"
    "                  [--block N] [--seconds S] [--dup N]\n"
    "Runs the processing module ID of BUNDLE (described in the .meta beside it):\n"
    "  --in FILE.wav    audio inputs read the file's channels, one each in pin order;\n"
    "                   inputs beyond the file's channels keep their default value.\n"
    "                   Without --in every audio input gets a logarithmic sine sweep\n"
    "                   from 20 Hz to 20 kHz (at most 0.45 x the rate) at -6 dBFS\n"
    "                   over the whole run.\n"
    "  --out FILE.wav   the audio outputs, one channel each in pin order, as 32-bit\n"
    "                   float WAV.\n"
    "  --pin NAME=VALUE an input pin's value from the start (pins named as in the\n"
    "                   metadata; an audio input given a value is held at it).\n"
    "                   Other inputs take their defaults. A value for a blob pin\n"
    "                   that starts with '(' is a shape text, e.g.\n"
    "                   \"(-5,-5)(0,5)(5,-5)\", sent as that shape's blob (a text that\n"
    "                   does not read as a shape is refused); other blob values go\n"
    "                   as their bytes.\n"
    "  --pin NAME=VALUE@S  the value from S seconds into the run on; a pin may be\n"
    "                   given several times, e.g. --pin Gate=1@0.1 --pin Gate=0@0.5.\n"
    "                   (A value ending in @ and a number is always read this way.)\n"
    "  --midi NAME=HEX@S  a MIDI message to the MIDI input NAME, S seconds into the\n"
    "                   run: its bytes in hexadecimal, two digits each, blanks\n"
    "                   between them allowed, e.g. --midi \"MIDI In=90 3C 64@0.5\".\n"
    "  --sample PIN=FILE.wav[:CHANNEL]  a sample input (a blob pin that takes a\n"
    "                   sample descriptor) gets channel CHANNEL (from 0; default 0)\n"
    "                   of the file, as the bundle's QW_S2_SampleLoaderDSP loads it.\n"
    "  --rate HZ        sample rate (default: the input file's, else 44100).\n"
    "  --block N        samples per block, 1 to 65536 (default 256).\n"
    "  --seconds S      length of the run (default: the input file's, else 1).\n"
    "  --dup N          the host makes N copies (0 to 4096; default 2) of each\n"
    "                   auto-duplicating pin; copy K of pin NAME is \"NAME K\"\n"
    "                   (from 1), the plain NAME is its first copy.\n"
    "Prints every value the module sends on its other outputs, one line each:\n"
    "sample, time in seconds, pin, value (a sample as its frame count, a blob that\n"
    "reads as a shape as its shape text). The run\n"
    "streams block by block, so its length does not change the memory it needs.\n"
    "Exit codes: 0 done, 1 a file, bundle or module failed, 2 the command line is\n"
    "at fault.\n";

namespace
{
using qwhost::Error;

// Sends encoded bytes the way the pin takes them: an audio input is held at
// the value, every other pin gets it as a pin event.
void deliver(qwhost::Processor& p, int pin, const std::vector<uint8_t>& bytes, int offset)
{
    if (p.pinInfo(pin).datatype == gmpi::MP_MIDI)
        p.sendMidi(pin, bytes, offset);
    else if (p.pinInfo(pin).datatype == gmpi::MP_AUDIO)
    {
        float v = 0.0f;
        std::memcpy(&v, bytes.data(), std::min<size_t>(4, bytes.size()));
        p.setConstant(pin, v, offset);
    }
    else
        p.setRaw(pin, bytes.data(), static_cast<int>(bytes.size()), offset);
}
using qwtool::UsageError;

constexpr long kMaxRate = 10000000;

// A pin value from the command line: from the start, or from a time on.
struct GivenValue
{
    std::string name, value;
    bool timed = false;
    double seconds = 0.0;
    bool midi = false; // a MIDI message (--midi), always timed
};

// A sample for a descriptor input: one channel of a WAV file.
struct GivenSample
{
    std::string pin;
    SampleFile file;
};

struct Options
{
    std::string bundle, id, in, out;
    std::vector<GivenValue> pins; // --pin and --midi in the order given
    std::vector<GivenSample> samples;
    bool hasRate = false, hasBlock = false, hasSeconds = false, hasDup = false;
    long dup = 2;
    long rate = 44100;
    long block = 256;
    double seconds = 1.0;
};

[[noreturn]] void syntax(const std::string& what)
{
    throw UsageError("run: " + what + "\n" + kRunUsage);
}

long wholeNumber(const std::string& option, const std::string& text, long lo, long hi)
{
    char* end = nullptr;
    errno = 0;
    const long v = text.empty() ? 0 : std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end != text.c_str() + text.size() || errno || v < lo || v > hi)
        throw UsageError("run: " + option + " '" + text + "' is not a whole number from " + std::to_string(lo) +
                         " to " + std::to_string(hi));
    return v;
}

double positiveNumber(const std::string& option, const std::string& text)
{
    char* end = nullptr;
    const double v = text.empty() ? 0.0 : std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(v) || v <= 0.0)
        throw UsageError("run: " + option + " '" + text + "' is not a positive number");
    return v;
}

Options parse(const std::vector<std::string>& args)
{
    Options o;
    std::vector<std::string> operands;
    auto once = [](bool& seen, const std::string& option) {
        if (seen)
            syntax(option + " is given twice");
        seen = true;
    };
    bool seenIn = false, seenOut = false;
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& a = args[i];
        if (a.size() < 2 || a.compare(0, 2, "--") != 0)
        {
            operands.push_back(a);
            continue;
        }
        if (i + 1 >= args.size())
            syntax(a == "--in" || a == "--out" || a == "--pin" || a == "--midi" || a == "--sample" || a == "--rate" ||
                           a == "--block" || a == "--seconds" || a == "--dup"
                       ? a + " needs a value"
                       : "unknown option '" + a + "'");
        const std::string& v = args[++i];
        if (a == "--in")
        {
            once(seenIn, a);
            o.in = v;
        }
        else if (a == "--out")
        {
            once(seenOut, a);
            o.out = v;
        }
        else if (a == "--pin")
        {
            const auto eq = v.find('=');
            if (eq == std::string::npos || eq == 0)
                throw UsageError("run: --pin '" + v + "' is not NAME=VALUE");
            GivenValue g{v.substr(0, eq), v.substr(eq + 1)};
            // NAME=VALUE@SECONDS: a number after the last "@" is a time.
            const auto at = g.value.rfind('@');
            if (at != std::string::npos && at + 1 < g.value.size())
            {
                const std::string when = g.value.substr(at + 1);
                char* end = nullptr;
                const double t = std::strtod(when.c_str(), &end);
                if (end == when.c_str() + when.size())
                {
                    if (!std::isfinite(t) || t < 0.0)
                        throw UsageError("run: --pin '" + v + "': '" + when + "' is not a time in seconds from 0 on");
                    g.value.erase(at);
                    g.timed = true;
                    g.seconds = t;
                }
            }
            o.pins.push_back(std::move(g));
        }
        else if (a == "--midi")
        {
            const auto eq = v.find('=');
            const auto at = v.rfind('@');
            if (eq == std::string::npos || eq == 0 || at == std::string::npos || at < eq)
                throw UsageError("run: --midi '" + v + "' is not NAME=HEX@SECONDS");
            GivenValue g{v.substr(0, eq), v.substr(eq + 1, at - eq - 1), true, 0.0, true};
            const std::string when = v.substr(at + 1);
            char* end = nullptr;
            g.seconds = std::strtod(when.c_str(), &end);
            if (when.empty() || end != when.c_str() + when.size() || !std::isfinite(g.seconds) || g.seconds < 0.0)
                throw UsageError("run: --midi '" + v + "': '" + when + "' is not a time in seconds from 0 on");
            o.pins.push_back(std::move(g));
        }
        else if (a == "--sample")
        {
            const auto eq = v.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == v.size())
                throw UsageError("run: --sample '" + v + "' is not PIN=FILE.wav[:CHANNEL]");
            o.samples.push_back({v.substr(0, eq), parseSampleFile(v.substr(eq + 1), "run: --sample '" + v + "'")});
        }
        else if (a == "--rate")
        {
            once(o.hasRate, a);
            o.rate = wholeNumber(a, v, 1, kMaxRate);
        }
        else if (a == "--block")
        {
            once(o.hasBlock, a);
            o.block = wholeNumber(a, v, 1, 65536);
        }
        else if (a == "--dup")
        {
            once(o.hasDup, a);
            o.dup = wholeNumber(a, v, 0, 4096);
        }
        else if (a == "--seconds")
        {
            once(o.hasSeconds, a);
            o.seconds = positiveNumber(a, v);
        }
        else
            syntax("unknown option '" + a + "'");
    }
    if (operands.size() != 2)
        syntax(operands.size() < 2 ? "BUNDLE and ID are needed" : "unexpected '" + operands[2] + "'");
    o.bundle = operands[0];
    o.id = operands[1];
    if (o.in.empty() && seenIn)
        syntax("--in needs a file name");
    if (o.out.empty() && seenOut)
        syntax("--out needs a file name");
    return o;
}

// The generated input: sin of the phase of a sweep whose frequency rises
// exponentially from f0 to f1 over `frames` samples.
class Sweep
{
public:
    Sweep(double rate, int64_t frames)
    {
        const double f0 = 20.0;
        const double f1 = std::min(20000.0, 0.45 * rate);
        const double duration = static_cast<double>(frames) / rate;
        growth_ = std::log(f1 / f0) / duration; // ln of the frequency ratio per second
        scale_ = 2.0 * kPi * f0 / growth_;
        rate_ = rate;
    }
    float at(int64_t n) const
    {
        const double t = static_cast<double>(n) / rate_;
        return static_cast<float>(kLevel * std::sin(scale_ * std::expm1(growth_ * t)));
    }

private:
    static constexpr double kLevel = 0.5011872336272722; // -6 dBFS
    static constexpr double kPi = 3.14159265358979323846;
    double growth_, scale_, rate_;
};

std::string hexBytes(const std::vector<uint8_t>& d, size_t most)
{
    std::string s;
    char b[4];
    for (size_t i = 0; i < d.size() && i < most; ++i)
    {
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", d[i]);
        s += b;
    }
    if (d.size() > most)
        s += " ...";
    return s;
}

// A pin by name: a plain name is the first pin of that name; "NAME K" is copy K
// (from 1) of the auto-duplicating pin NAME. Throws Error when there is none.
int findPin(const qwhost::Processor& p, const std::string& name)
{
    std::map<std::string, int> copies;
    for (int id = 0; id < p.pinCount(); ++id)
    {
        const qwhost::PinInfo& info = p.pinInfo(id);
        if (info.name == name)
            return id;
        if (info.autoDuplicate && info.name + " " + std::to_string(++copies[info.name]) == name)
            return id;
    }
    throw Error("no pin named '" + name + "'");
}

std::string describe(const qwhost::PinUpdate& u, const qwhost::PinInfo* pin)
{
    const int datatype = pin ? pin->datatype : gmpi::MP_BLOB;
    if (pin && pin->has("descriptor") && (u.data.empty() || u.data.size() == 24))
        return describeSample(u.data);
    char b[64];
    switch (datatype)
    {
    case gmpi::MP_FLOAT32:
    case gmpi::MP_AUDIO:
        std::snprintf(b, sizeof b, "%.9g", static_cast<double>(u.asFloat()));
        return b;
    case gmpi::MP_INT32:
    case gmpi::MP_ENUM:
        return std::to_string(u.asInt());
    case gmpi::MP_BOOL:
        return u.asBool() ? "true" : "false";
    case gmpi::MP_STRING:
        return "\"" + gmpi_sdk::toUtf8(u.asText()) + "\"";
    case gmpi::MP_MIDI:
        return "midi " + hexBytes(u.data, 64);
    default:
        if (const std::string shape = shapeText(u.data); !shape.empty())
            return shape;
        return "blob of " + std::to_string(u.data.size()) + " bytes" + (u.data.empty() ? "" : ": ") +
               hexBytes(u.data, 32);
    }
}

// The bytes of a MIDI message written in hexadecimal, two digits a byte,
// blanks between bytes; false with the reason when it is not that.
bool midiBytes(const std::string& text, std::vector<uint8_t>& bytes, std::string& why)
{
    bytes.clear();
    std::string digits;
    for (size_t i = 0; i <= text.size(); ++i)
    {
        const char c = i < text.size() ? text[i] : ' ';
        if (std::isxdigit(static_cast<unsigned char>(c)))
        {
            digits += c;
            continue;
        }
        if (c != ' ' && c != '\t')
        {
            why = std::string("'") + c + "' is not a hexadecimal digit";
            return false;
        }
        if (digits.size() % 2)
        {
            why = "'" + digits + "' is not whole bytes (two digits each)";
            return false;
        }
        for (size_t k = 0; k < digits.size(); k += 2)
            bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(k, 2), nullptr, 16)));
        digits.clear();
    }
    if (bytes.empty())
        why = "no bytes";
    return !bytes.empty();
}

bool isFile(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// What the module told the host during a block, printed and then dropped, so
// that a run of any length keeps only one block's worth.
void printUpdates(qwhost::Processor& p, long rate)
{
    for (auto& u : p.updates)
    {
        const bool known = u.pin >= 0 && u.pin < p.pinCount();
        const std::string name = known ? p.pinInfo(u.pin).name : "pin " + std::to_string(u.pin);
        const std::string value = describe(u, known ? &p.pinInfo(u.pin) : nullptr);
        std::printf("%" PRId64 "\t%.6f\t%s\t%s\n", u.time, static_cast<double>(u.time) / rate, name.c_str(),
                    value.c_str());
    }
    p.updates.clear();
    p.streamingReports.clear();
    p.sleepRequests.clear();
    p.latencyReports.clear();
    p.messages.clear();
}
} // namespace

namespace
{
// A processing half made and run by its own host.
class AloneTarget final : public RunTarget
{
public:
    qwhost::ProcessingHost& host() override { return host_; }
    qwhost::Processor& create(std::shared_ptr<qwhost::Bundle> bundle, const std::wstring& id) override
    {
        p_ = host_.create(std::move(bundle), id);
        return *p_;
    }
    void graphStart(qwhost::Processor& p) override { p.graphStart(); }
    void run(qwhost::Processor& p, int n) override { p.run(n); }

private:
    qwhost::ProcessingHost host_;
    std::unique_ptr<qwhost::Processor> p_;
};
} // namespace

int runCommand(const std::vector<std::string>& args)
{
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h"))
    {
        std::fputs(kRunUsage, stdout);
        return 0;
    }
    AloneTarget target;
    return runModule(args, target);
}

int runModule(const std::vector<std::string>& args, RunTarget& target)
{
    const Options o = parse(args);

    // The input is read block by block as the run goes.
    qw::WavReader input;
    if (!o.in.empty())
    {
        if (!isFile(o.in))
            throw Error("run: cannot open input file '" + o.in + "'");
        if (!input.open(gmpi_sdk::fromUtf8(o.in)))
            throw Error("run: '" + o.in + "' is not a WAV file this host reads");
        if (!o.hasRate && (input.sampleRate < 1 || input.sampleRate > kMaxRate))
            throw Error("run: '" + o.in + "' has a rate of " + std::to_string(input.sampleRate) +
                        " Hz; this host runs 1 to " + std::to_string(kMaxRate) + " Hz (give --rate)");
    }
    const long rate = o.hasRate ? o.rate : (!o.in.empty() ? input.sampleRate : 44100);
    const double seconds = o.hasSeconds ? o.seconds : (!o.in.empty() ? double(input.frames) / rate : 1.0);
    const double exactFrames = std::round(seconds * static_cast<double>(rate));
    if (exactFrames < 1.0 || exactFrames > 2147483647.0)
    {
        char what[160];
        std::snprintf(what, sizeof what, "run: %g s at %ld Hz is %.0f frames; a run takes 1 to 2147483647", seconds,
                      rate, exactFrames);
        throw UsageError(what);
    }
    const int64_t frames = static_cast<int64_t>(exactFrames);

    auto bundle = qwhost::Bundle::load(o.bundle);
    qwhost::ProcessingHost& host = target.host();
    host.sampleRate = static_cast<float>(rate);
    host.blockSize = static_cast<int>(o.block);
    host.autoDuplicateCount = static_cast<int>(o.dup);
    qwhost::Processor* p = &target.create(bundle, gmpi_sdk::fromUtf8(o.id));

    // Given values, checked against the pins before anything runs. Values
    // from the start go in `given`; timed ones wait in `later`.
    std::map<int, std::vector<uint8_t>> given;
    struct Later
    {
        int pin;
        std::vector<uint8_t> bytes;
        int64_t time;
    };
    std::vector<Later> later;
    std::vector<bool> hasValue(static_cast<size_t>(p->pinCount()), false);
    // A value as the pin takes it: a shape text on a blob pin becomes the shape's blob.
    auto encode = [&o, &p](int pin, const std::string& value) {
        const qwhost::PinInfo& info = p->pinInfo(pin);
        std::vector<uint8_t> bytes;
        std::string why;
        if (info.datatype == gmpi::MP_BLOB && looksLikeShape(value))
        {
            if (!shapeBlob(value, bytes, why))
                throw UsageError("run: pin '" + info.name + "' of " + o.id + ": '" + value +
                                 "' is not a shape text: " + why);
            return bytes;
        }
        if (!qwhost::encodePinValue(info.datatype, value, bytes, why))
            throw UsageError("run: pin '" + info.name + "': " + why);
        return bytes;
    };
    for (auto& g : o.pins)
    {
        int pin;
        try
        {
            pin = findPin(*p, g.name);
        }
        catch (const Error&)
        {
            throw UsageError("run: module " + o.id + " has no pin named '" + g.name + "'");
        }
        const qwhost::PinInfo& info = p->pinInfo(pin);
        std::vector<uint8_t> bytes;
        if (g.midi)
        {
            if (info.datatype != gmpi::MP_MIDI || info.direction != gmpi::MP_IN)
                throw UsageError("run: pin '" + g.name + "' of " + o.id + " is not a MIDI input");
            std::string why;
            if (!midiBytes(g.value, bytes, why))
                throw UsageError("run: --midi " + g.name + "=" + g.value + ": " + why);
        }
        else
        {
            if (info.direction != gmpi::MP_IN)
                throw UsageError("run: pin '" + g.name + "' of " + o.id + " is an output");
            bytes = encode(pin, g.value);
            hasValue[static_cast<size_t>(pin)] = true;
        }
        if (!g.timed)
        {
            given[pin] = std::move(bytes);
            continue;
        }
        const double at = std::round(g.seconds * static_cast<double>(rate));
        if (at >= static_cast<double>(frames))
        {
            char what[200];
            std::snprintf(what, sizeof what, "run: %s %s=%s@%g: %g s is not inside the run (%g s)",
                          g.midi ? "--midi" : "--pin", g.name.c_str(), g.value.c_str(), g.seconds, g.seconds,
                          static_cast<double>(frames) / rate);
            throw UsageError(what);
        }
        later.push_back({pin, std::move(bytes), static_cast<int64_t>(at)});
    }
    // Samples: the bundle's loader loads each file, and its descriptor goes to
    // the pin like a given value. The loaders live as long as the run, so the
    // frames stay where the descriptors point.
    std::vector<std::unique_ptr<qwhost::Processor>> loaders;
    for (auto& g : o.samples)
    {
        int pin = -1;
        for (int i = 0; i < p->pinCount() && pin < 0; ++i)
            if (p->pinInfo(i).name == g.pin)
                pin = i;
        if (pin < 0 || p->pinInfo(pin).direction != gmpi::MP_IN || !p->pinInfo(pin).has("descriptor"))
            throw UsageError("run: --sample: module " + o.id + " has no sample input named '" + g.pin + "'");
        std::vector<uint8_t> descriptor = loadSample(bundle, o.bundle, host, g.file, loaders, "run: --sample");
        given[pin] = std::move(descriptor);
        hasValue[static_cast<size_t>(pin)] = true;
    }
    // Timed values in time order (the order given among equal times).
    std::stable_sort(later.begin(), later.end(), [](const Later& a, const Later& b) { return a.time < b.time; });

    // Audio inputs and outputs in pin order; the inputs without a given value are fed.
    std::vector<int> fed, outputs;
    for (int pin = 0; pin < p->pinCount(); ++pin)
    {
        const qwhost::PinInfo& info = p->pinInfo(pin);
        if (info.datatype != gmpi::MP_AUDIO)
            continue;
        if (info.direction == gmpi::MP_OUT)
            outputs.push_back(pin);
        else if (!hasValue[static_cast<size_t>(pin)])
            fed.push_back(pin);
    }
    if (!o.in.empty() && fed.empty())
        throw UsageError("run: module " + o.id + " has no audio input left to read '" + o.in + "'");
    if (!o.out.empty() && outputs.empty())
        throw UsageError("run: module " + o.id + " has no audio output to write to '" + o.out + "'");

    // The output file is made before the run, so a run that cannot write it
    // says so before it starts.
    WavStreamWriter out;
    if (!o.out.empty())
    {
        if (!WavStreamWriter::fits(frames, static_cast<int>(outputs.size())))
            throw UsageError("run: " + std::to_string(frames) + " frames of " + std::to_string(outputs.size()) +
                             " channel(s) do not fit a WAV file (4 GiB at most); shorten the run");
        std::string why;
        if (!out.open(o.out, static_cast<int>(outputs.size()), static_cast<int32_t>(rate), why))
            throw Error("run: cannot write output file '" + o.out + "': " + why);
    }
    // A file without frames has no channels to read.
    const int fileChannels = input.frames > 0 ? input.channels : 0;
    if (!o.in.empty() && static_cast<int>(fed.size()) > fileChannels)
        std::fprintf(stderr, "qwhost: '%s' has %d channel(s); audio inputs from '%s' on keep their default\n",
                     o.in.c_str(), fileChannels, p->pinInfo(fed[static_cast<size_t>(fileChannels)]).name.c_str());

    // Start: each input once (given value or default), fed inputs streaming, then graph start.
    // With --in, fed input k reads channel k (false: the file has no such channel).
    std::vector<bool> sources(fed.size(), false);
    for (size_t k = 0; k < fed.size() && static_cast<int>(k) < fileChannels; ++k)
        sources[k] = true;
    for (int pin = 0; pin < p->pinCount(); ++pin)
    {
        const qwhost::PinInfo& info = p->pinInfo(pin);
        if (info.direction != gmpi::MP_IN || info.datatype == gmpi::MP_MIDI)
            continue;
        const auto k = std::find(fed.begin(), fed.end(), pin);
        const bool streams = k != fed.end() && (o.in.empty() || sources[static_cast<size_t>(k - fed.begin())]);
        if (streams)
        {
            p->setStreaming(pin, true);
            continue;
        }
        auto g = given.find(pin);
        const std::vector<uint8_t> bytes = g != given.end() ? g->second : encode(pin, info.defaultValue);
        deliver(*p, pin, bytes, 0);
    }
    target.graphStart(*p);

    std::printf("# sample\tseconds\tpin\tvalue\n");
    const Sweep sweep(static_cast<double>(rate), frames);
    // Mono output goes to the file straight from the module's buffer.
    std::vector<float> interleaved(outputs.size() > 1 ? static_cast<size_t>(o.block) * outputs.size() : 0);
    // Where each channel of the file goes in a block (null: no input reads it).
    std::vector<float*> reads(static_cast<size_t>(fileChannels), nullptr);
    size_t nextLater = 0;
    for (int64_t done = 0; done < frames;)
    {
        const int n = static_cast<int>(std::min<int64_t>(o.block, frames - done));
        // Timed values of this block go in now, so the host keeps none for long.
        for (; nextLater < later.size() && later[nextLater].time < done + n; ++nextLater)
        {
            const Later& l = later[nextLater];
            deliver(*p, l.pin, l.bytes, static_cast<int>(l.time - done));
        }
        if (o.in.empty())
            for (int pin : fed)
            {
                float* buffer = p->input(pin);
                for (int i = 0; i < n; ++i)
                    buffer[i] = sweep.at(done + i);
            }
        else if (fileChannels > 0)
        {
            for (size_t k = 0; k < fed.size() && sources[k]; ++k)
                reads[k] = p->input(fed[k]);
            const int got = input.read(reads.data(), n);
            if (got < 0)
                throw Error("run: cannot read input file '" + o.in + "': it ends before its stated length");
            // A run longer than the file goes on with silence.
            for (float* buffer : reads)
                if (buffer)
                    std::fill(buffer + got, buffer + n, 0.0f);
        }
        target.run(*p, n);
        printUpdates(*p, rate);
        if (!o.out.empty())
        {
            const float* block = outputs.size() == 1 ? p->output(outputs[0]) : interleaved.data();
            for (size_t k = 0; k < outputs.size() && outputs.size() > 1; ++k)
            {
                const float* y = p->output(outputs[k]);
                for (int i = 0; i < n; ++i)
                    interleaved[static_cast<size_t>(i) * outputs.size() + k] = y[i];
            }
            std::string why;
            if (!out.write(block, n, why))
                throw Error("run: cannot write output file '" + o.out + "': " + why);
        }
        done += n;
    }

    if (!o.out.empty())
    {
        std::string why;
        if (!out.finish(why))
            throw Error("run: cannot write output file '" + o.out + "': " + why);
        std::printf("# wrote %s: %zu channel(s), %" PRId64 " frames at %ld Hz, 32-bit float\n", o.out.c_str(),
                    outputs.size(), frames, rate);
    }
    return 0;
}
} // namespace qwtool
