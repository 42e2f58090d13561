#include "run_command.h"

#include "WavFile32.h"
#include "bundle.h"
#include "mp_sdk_common.h"
#include "processing_host.h"
#include "qw_shape.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sys/stat.h>

namespace qwtool
{
const char* const kRunUsage =
    "usage: qwhost run BUNDLE ID [--in FILE.wav] [--out FILE.wav] [--pin NAME=VALUE ...]\n"
    "                  [--rate HZ] [--block N] [--seconds S]\n"
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
    "                   that reads as a shape text, e.g. \"(-5,-5)(0,5)(5,-5)\", is\n"
    "                   sent as that shape's blob.\n"
    "  --pin NAME=VALUE@S  the value from S seconds into the run on; a pin may be\n"
    "                   given several times, e.g. --pin Gate=1@0.1 --pin Gate=0@0.5.\n"
    "                   (A value ending in @ and a number is always read this way.)\n"
    "  --rate HZ        sample rate (default: the input file's, else 44100).\n"
    "  --block N        samples per block, 1 to 65536 (default 256).\n"
    "  --seconds S      length of the run (default: the input file's, else 1).\n"
    "Prints every value the module sends on its other outputs, one line each:\n"
    "sample, time in seconds, pin, value.\n";

namespace
{
using qwhost::Error;

// A pin value from the command line: from the start, or from a time on.
struct GivenValue
{
    std::string name, value;
    bool timed = false;
    double seconds = 0.0;
};

struct Options
{
    std::string bundle, id, in, out;
    std::vector<GivenValue> pins;
    bool hasRate = false, hasBlock = false, hasSeconds = false;
    long rate = 44100;
    long block = 256;
    double seconds = 1.0;
};

[[noreturn]] void syntax(const std::string& what)
{
    throw Error("run: " + what + "\n" + kRunUsage);
}

long wholeNumber(const std::string& option, const std::string& text, long lo, long hi)
{
    char* end = nullptr;
    errno = 0;
    const long v = text.empty() ? 0 : std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end != text.c_str() + text.size() || errno || v < lo || v > hi)
        throw Error("run: " + option + " '" + text + "' is not a whole number from " + std::to_string(lo) + " to " +
                    std::to_string(hi));
    return v;
}

double positiveNumber(const std::string& option, const std::string& text)
{
    char* end = nullptr;
    const double v = text.empty() ? 0.0 : std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(v) || v <= 0.0)
        throw Error("run: " + option + " '" + text + "' is not a positive number");
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
            syntax(a == "--in" || a == "--out" || a == "--pin" || a == "--rate" || a == "--block" || a == "--seconds"
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
                throw Error("run: --pin '" + v + "' is not NAME=VALUE");
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
                        throw Error("run: --pin '" + v + "': '" + when + "' is not a time in seconds from 0 on");
                    g.value.erase(at);
                    g.timed = true;
                    g.seconds = t;
                }
            }
            o.pins.push_back(std::move(g));
        }
        else if (a == "--rate")
        {
            once(o.hasRate, a);
            o.rate = wholeNumber(a, v, 1, 10000000);
        }
        else if (a == "--block")
        {
            once(o.hasBlock, a);
            o.block = wholeNumber(a, v, 1, 65536);
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

std::string describe(const qwhost::PinUpdate& u, int datatype)
{
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
        return "blob of " + std::to_string(u.data.size()) + " bytes" + (u.data.empty() ? "" : ": ") +
               hexBytes(u.data, 32);
    }
}

// The blob of a shape text; false when the text is not one.
bool shapeBlob(const std::string& text, std::vector<uint8_t>& blob)
{
    qw::Shape shape;
    shape.setString(gmpi_sdk::fromUtf8(text));
    if (shape.invalid)
        return false;
    const auto* bytes = static_cast<const uint8_t*>(shape.blobData());
    blob.assign(bytes, bytes + shape.blobSize());
    return true;
}

bool isFile(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
} // namespace

int runCommand(const std::vector<std::string>& args)
{
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h"))
    {
        std::fputs(kRunUsage, stdout);
        return 0;
    }
    const Options o = parse(args);

    qw::WavFile32 input;
    if (!o.in.empty())
    {
        if (!isFile(o.in))
            throw Error("run: cannot open input file '" + o.in + "'");
        if (!input._loadWav(gmpi_sdk::fromUtf8(o.in)))
            throw Error("run: '" + o.in + "' is not a WAV file this host reads");
    }
    const long rate = o.hasRate ? o.rate : (!o.in.empty() && input.sampleRate > 0 ? input.sampleRate : 44100);
    const double seconds = o.hasSeconds ? o.seconds : (!o.in.empty() ? double(input.frames) / rate : 1.0);
    const double exactFrames = std::round(seconds * static_cast<double>(rate));
    if (exactFrames < 1.0 || exactFrames > 2147483647.0)
    {
        char what[160];
        std::snprintf(what, sizeof what, "run: %g s at %ld Hz is %.0f frames; a run takes 1 to 2147483647", seconds,
                      rate, exactFrames);
        throw Error(what);
    }
    const int64_t frames = static_cast<int64_t>(exactFrames);

    auto bundle = qwhost::Bundle::load(o.bundle);
    qwhost::ProcessingHost host;
    host.sampleRate = static_cast<float>(rate);
    host.blockSize = static_cast<int>(o.block);
    auto p = host.create(bundle, gmpi_sdk::fromUtf8(o.id));

    // Given values, checked against the pins before anything runs. Values
    // from the start go in `given`; timed ones wait in `later`.
    std::map<int, std::string> given;
    struct Later
    {
        int pin;
        std::string value;
        int offset;
    };
    std::vector<Later> later;
    std::vector<bool> hasValue(static_cast<size_t>(p->pinCount()), false);
    for (auto& g : o.pins)
    {
        int pin;
        try
        {
            pin = p->pin(g.name);
        }
        catch (const Error&)
        {
            throw Error("run: module " + o.id + " has no pin named '" + g.name + "'");
        }
        const qwhost::PinInfo& info = p->pinInfo(pin);
        if (info.direction != gmpi::MP_IN)
            throw Error("run: pin '" + g.name + "' of " + o.id + " is an output");
        std::vector<uint8_t> bytes;
        std::string why;
        if (!qwhost::encodePinValue(info.datatype, g.value, bytes, why))
            throw Error("run: pin '" + g.name + "': " + why);
        hasValue[static_cast<size_t>(pin)] = true;
        if (!g.timed)
        {
            given[pin] = g.value;
            continue;
        }
        const double at = std::round(g.seconds * static_cast<double>(rate));
        if (at >= static_cast<double>(frames))
        {
            char what[200];
            std::snprintf(what, sizeof what, "run: --pin %s=%s@%g: %g s is not inside the run (%g s)", g.name.c_str(),
                          g.value.c_str(), g.seconds, g.seconds, static_cast<double>(frames) / rate);
            throw Error(what);
        }
        later.push_back({pin, g.value, static_cast<int>(at)});
    }
    // A value as the pin takes it: a shape text on a blob pin becomes the shape's blob.
    auto send = [&p](int pin, const std::string& value, int offset) {
        const qwhost::PinInfo& info = p->pinInfo(pin);
        std::vector<uint8_t> blob;
        if (info.datatype == gmpi::MP_BLOB && shapeBlob(value, blob))
        {
            p->setBlob(pin, blob, offset);
            return;
        }
        std::string why;
        if (!p->setFromText(pin, value, why, offset))
            throw Error("run: pin '" + info.name + "': " + why);
    };

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
        throw Error("run: module " + o.id + " has no audio input left to read '" + o.in + "'");
    if (!o.out.empty() && outputs.empty())
        throw Error("run: module " + o.id + " has no audio output to write to '" + o.out + "'");
    if (!o.in.empty() && static_cast<int>(fed.size()) > input.channels)
        std::fprintf(stderr, "qwhost: '%s' has %d channel(s); audio inputs from '%s' on keep their default\n",
                     o.in.c_str(), input.channels, p->pinInfo(fed[static_cast<size_t>(input.channels)]).name.c_str());

    // Start: each input once (given value or default), fed inputs streaming, then graph start.
    // With --in, fed input k reads channel k (null: the file has no such channel).
    std::vector<const float*> sources(fed.size(), nullptr);
    for (size_t k = 0; k < fed.size() && static_cast<int>(k) < input.channels; ++k)
        sources[k] = input.data[k].data();
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
        send(pin, g != given.end() ? g->second : info.defaultValue, 0);
    }
    p->graphStart();
    // Timed values, in the order given; the host keeps them for their blocks.
    for (auto& l : later)
        send(l.pin, l.value, l.offset);

    const Sweep sweep(static_cast<double>(rate), frames);
    std::vector<std::vector<float>> written(outputs.size());
    for (auto& w : written)
        w.resize(static_cast<size_t>(frames));
    for (int64_t done = 0; done < frames;)
    {
        const int n = static_cast<int>(std::min<int64_t>(o.block, frames - done));
        for (size_t k = 0; k < fed.size(); ++k)
        {
            float* buffer = p->input(fed[k]);
            if (o.in.empty())
                for (int i = 0; i < n; ++i)
                    buffer[i] = sweep.at(done + i);
            else if (sources[k])
                for (int i = 0; i < n; ++i)
                    buffer[i] = done + i < input.frames ? sources[k][done + i] : 0.0f;
        }
        p->run(n);
        for (size_t k = 0; k < outputs.size(); ++k)
            std::copy_n(p->output(outputs[k]), n, written[k].begin() + done);
        done += n;
    }

    std::printf("# sample\tseconds\tpin\tvalue\n");
    for (auto& u : p->updates)
    {
        const bool known = u.pin >= 0 && u.pin < p->pinCount();
        const std::string name = known ? p->pinInfo(u.pin).name : "pin " + std::to_string(u.pin);
        const std::string value = known ? describe(u, p->pinInfo(u.pin).datatype) : describe(u, gmpi::MP_BLOB);
        std::printf("%" PRId64 "\t%.6f\t%s\t%s\n", u.time, static_cast<double>(u.time) / rate, name.c_str(),
                    value.c_str());
    }

    if (!o.out.empty())
    {
        qw::WavFile32 out;
        out.sampleRate = static_cast<int32_t>(rate);
        for (size_t k = 0; k < written.size(); ++k)
            out.setChannel(static_cast<int>(k), static_cast<int>(frames), written[k].data());
        if (!out._saveWav(gmpi_sdk::fromUtf8(o.out), 32))
            throw Error("run: cannot write output file '" + o.out + "'");
        std::printf("# wrote %s: %zu channel(s), %" PRId64 " frames at %ld Hz, 32-bit float\n", o.out.c_str(),
                    written.size(), frames, rate);
    }
    return 0;
}
} // namespace qwtool
