#include "ui_command.h"

#include "bundle.h"
#include "dialogs.h"
#include "draw_command.h"
#include "drawing/drawn_view.h"
#include "mp_sdk_common.h"
#include "processing_host.h"
#include "run_loop.h"
#include "sample_value.h"
#include "shape_value.h"
#include "ui_host.h"
#include "usage_error.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace qwtool
{
const char* const kUiUsage =
    "usage: qwhost ui BUNDLE ID [--echo inside|later|none] [--dup N] [--answer ANSWER ...]\n"
    "                 [--save PIN=FILE.wav ...] [--clock manual|real] --steps STEPS\n"
    "Creates the user-interface half ID of BUNDLE (described in the .meta beside it),\n"
    "gives its pins their defaults, initializes it, then plays the steps in order and\n"
    "prints every value the module sends and every message to its processing half,\n"
    "after the start and after each step:\n"
    "  --steps STEPS     steps separated by ';' or line ends:\n"
    "                      NAME=VALUE   the host delivers VALUE to the pin NAME\n"
    "                                   (setPin, then notifyPin); pins are named as in\n"
    "                                   the metadata, the copies of an auto-duplicating\n"
    "                                   pin NAME 1, NAME 2, ... (the host makes as many\n"
    "                                   as the steps name, at least 2, or as --dup says)\n"
    "                      wait MS      MS milliseconds pass on the host's clock, in\n"
    "                                   which the module's timers run\n"
    "                    blanks around NAME and VALUE are dropped; '#' starts a comment.\n"
    "                    Values: numbers, true or false, texts as written (UTF-8),\n"
    "                    on a blob pin a shape text such as (-5,0)(0,2.5)(5,0) as its\n"
    "                    shape blob, other blobs as the bytes of the text. A sent\n"
    "                    blob that reads as a shape prints as its shape text.\n"
    "                    On a sample pin FILE.wav[:CHANNEL] gives it channel CHANNEL\n"
    "                    (from 0; default 0) of the file, loaded by the bundle's file\n"
    "                    loader, and an empty value the empty sample; a sample the\n"
    "                    module sends prints as its frame count and first frames.\n"
    "  --echo inside     the host hands every value the module sends straight back to\n"
    "                    the pin that sent it, inside the send (setPin, then notifyPin);\n"
    "  --echo later      it hands them back after the start or step, in the order sent,\n"
    "                    and those they bring, until none is left; a module still\n"
    "                    sending after 10000 values is stopped with a message;\n"
    "  --echo none       it does not (the default).\n"
    "  --save PIN=FILE.wav  after the last step, the last sample the module sent on\n"
    "                    the sample pin PIN is written to FILE.wav (mono, 32-bit float,\n"
    "                    44100 Hz).\n"
    "  --clock manual    the host's clock stands still but for the waits, which move it\n"
    "                    on at once, firing each timer when it falls due (the default);\n"
    "  --clock real      the clock is real time and a wait lasts as long.\n"
    "  --dup N           the host makes N copies (0 to 4096) of each auto-duplicating\n"
    "                    pin, and counts the module's pins with them.\n"
    "  --answer ANSWER   how the user answers the next menu, text edit or dialog the\n"
    "                    module opens, in the order they open: 'choose ID',\n"
    "                    'enter TEXT', 'ok', 'pick PATH' or 'cancel'.\n"
    "example: qwhost ui panelkit.so QW_SplitterFloat --steps 'Mode=1; Value 3=0.5; Common=0.25'\n";

namespace
{
using qwhost::Error;

// Copy numbers an auto-duplicating pin's name may carry.
constexpr int kMaxCopies = 4096;
// Frames of a sent sample that are printed.
constexpr int kShownFrames = 8;
// Values printed of a step whose echoes never stop.
constexpr size_t kRunawayShown = 20;

struct Options
{
    std::string bundle, id, steps;
    qwhost::Echo echo = qwhost::Echo::None;
    bool manualClock = true;
    int dup = -1; // copies of each auto-duplicating pin; -1: as the steps name
    std::vector<qwhost::WidgetAnswer> answers;
    std::vector<std::pair<std::string, std::string>> saves; // sample pin, file
};

[[noreturn]] void syntax(const std::string& what)
{
    throw UsageError("ui: " + what + "\n" + kUiUsage);
}

std::string trim(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

Options parse(const std::vector<std::string>& args)
{
    Options o;
    std::vector<std::string> operands;
    bool seenEcho = false, seenSteps = false, seenDup = false, seenClock = false;
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& a = args[i];
        if (a.size() < 2 || a.compare(0, 2, "--") != 0)
        {
            operands.push_back(a);
            continue;
        }
        if (a != "--echo" && a != "--answer" && a != "--steps" && a != "--dup" && a != "--save" && a != "--clock")
            syntax("unknown option '" + a + "'");
        if (i + 1 >= args.size())
            syntax(a + " needs a value");
        const std::string& v = args[++i];
        if (a == "--echo")
        {
            if (seenEcho)
                syntax("--echo is given twice");
            seenEcho = true;
            if (v == "inside")
                o.echo = qwhost::Echo::Inside;
            else if (v == "later")
                o.echo = qwhost::Echo::Later;
            else if (v == "none")
                o.echo = qwhost::Echo::None;
            else
                syntax("--echo '" + v + "' is not 'inside', 'later' or 'none'");
        }
        else if (a == "--clock")
        {
            if (seenClock)
                syntax("--clock is given twice");
            seenClock = true;
            if (v != "manual" && v != "real")
                syntax("--clock '" + v + "' is not 'manual' or 'real'");
            o.manualClock = v == "manual";
        }
        else if (a == "--dup")
        {
            if (seenDup)
                syntax("--dup is given twice");
            seenDup = true;
            char* end = nullptr;
            const long n = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || v[0] == '+' || v[0] == '-' || end != v.c_str() + v.size() || n < 0 || n > kMaxCopies)
                syntax("--dup '" + v + "' is not a whole number from 0 to " + std::to_string(kMaxCopies));
            o.dup = static_cast<int>(n);
        }
        else if (a == "--answer")
            o.answers.push_back(parseAnswer(v, "ui"));
        else if (a == "--save")
        {
            const auto eq = v.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == v.size())
                syntax("--save '" + v + "' is not PIN=FILE.wav");
            o.saves.emplace_back(v.substr(0, eq), v.substr(eq + 1));
        }
        else
        {
            if (seenSteps)
                syntax("--steps is given twice");
            seenSteps = true;
            o.steps = v;
        }
    }
    if (operands.size() != 2)
        syntax(operands.size() < 2 ? "BUNDLE and ID are needed" : "unexpected '" + operands[2] + "'");
    o.bundle = operands[0];
    o.id = operands[1];
    if (!seenSteps)
        syntax("--steps is needed");
    return o;
}

// The module's pins by the names the steps use: a plain pin by its name, the
// copies of an auto-duplicating pin by its name and copy number.
class PinNames
{
public:
    explicit PinNames(const qwhost::GuiModule& m)
    {
        std::map<const qwhost::PinInfo*, int> copies;
        for (int id = 0; id < m.pinCount(); ++id)
        {
            const qwhost::PinInfo& info = m.pinInfo(id);
            names_.push_back(info.autoDuplicate ? info.name + " " + std::to_string(++copies[&info]) : info.name);
        }
    }

    // -1 when no pin has that name.
    int find(const std::string& name) const
    {
        for (size_t id = 0; id < names_.size(); ++id)
            if (names_[id] == name)
                return static_cast<int>(id);
        return -1;
    }
    std::string name(int id) const
    {
        return id >= 0 && id < static_cast<int>(names_.size()) ? names_[static_cast<size_t>(id)]
                                                               : "pin " + std::to_string(id);
    }
    std::string all() const
    {
        std::string s;
        for (auto& n : names_)
            s += (s.empty() ? "" : ", ") + n;
        return s.empty() ? "none" : s;
    }

private:
    std::vector<std::string> names_;
};

// How many copies of its auto-duplicating pins the host makes: at least its
// usual number, and as many as the steps name.
int copiesNamed(const qwhost::ModuleInfo& info, const std::vector<UiStep>& steps, int usual)
{
    int copies = usual;
    for (auto& s : steps)
        for (auto& p : info.pins)
        {
            if (s.kind != UiStep::SET || !p.autoDuplicate || s.name.size() <= p.name.size() + 1 ||
                s.name.compare(0, p.name.size() + 1, p.name + " ") != 0)
                continue;
            const std::string n = s.name.substr(p.name.size() + 1);
            char* end = nullptr;
            const long c = std::strtol(n.c_str(), &end, 10);
            if (!n.empty() && n[0] != '+' && n[0] != '-' && end == n.c_str() + n.size() && c >= 1 && c <= kMaxCopies)
                copies = std::max(copies, static_cast<int>(c));
        }
    return copies;
}

const char* echoName(qwhost::Echo echo)
{
    return echo == qwhost::Echo::Inside ? "inside" : echo == qwhost::Echo::Later ? "later" : "none";
}

// Prints the values the module sent since `from`, at most `most` of them;
// returns the new count.
size_t printSent(const qwhost::GuiModule& m, const PinNames& names, size_t from, size_t most = SIZE_MAX)
{
    const size_t end = m.transmits.size();
    const size_t shown = std::min(end - from, most);
    for (size_t i = from; i < from + shown; ++i)
    {
        const auto& t = m.transmits[i];
        const bool known = t.pin >= 0 && t.pin < m.pinCount();
        const std::string value = known && m.pinInfo(t.pin).has("descriptor")
                                      ? describeSample(t.data, kShownFrames)
                                      : describeValue(t, known ? m.pinInfo(t.pin).datatype : gmpi::MP_BLOB);
        std::printf("\tsent %s = %s", names.name(t.pin).c_str(), value.c_str());
        if (t.voice)
            std::printf(" (voice %d)", t.voice);
        std::printf("\n");
    }
    if (shown < end - from)
        std::printf("\t... and %zu more\n", end - from - shown);
    return end;
}
} // namespace

std::vector<UiStep> parseUiSteps(const std::string& text)
{
    std::vector<UiStep> steps;
    for (const std::string& step : splitScript(text))
    {
        auto bad = [&](const std::string& why) { return UsageError("ui: step '" + step + "': " + why); };
        UiStep s{UiStep::SET, {}, {}, 0.0f, step};
        const auto eq = step.find('=');
        if (eq != std::string::npos)
        {
            s.name = trim(step.substr(0, eq));
            s.value = trim(step.substr(eq + 1));
            if (s.name.empty())
                throw bad("no pin name before '='");
            steps.push_back(s);
            continue;
        }
        const auto space = step.find_first_of(" \t");
        if (step.substr(0, space) != "wait")
            throw bad("not NAME=VALUE or wait MS");
        const std::string ms = space == std::string::npos ? std::string() : trim(step.substr(space));
        char* end = nullptr;
        const double d = ms.empty() ? -1.0 : std::strtod(ms.c_str(), &end);
        if (ms.empty() || end != ms.c_str() + ms.size() || !(d >= 0.0 && d <= 60000.0))
            throw bad("the time is not milliseconds from 0 to 60000");
        s.kind = UiStep::WAIT;
        s.ms = static_cast<float>(d);
        steps.push_back(s);
    }
    return steps;
}

int uiCommand(const std::vector<std::string>& args)
{
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h"))
    {
        std::fputs(kUiUsage, stdout);
        return 0;
    }
    const Options o = parse(args);
    const std::vector<UiStep> steps = parseUiSteps(o.steps);

    auto bundle = qwhost::Bundle::load(o.bundle);
    const std::wstring id = gmpi_sdk::fromUtf8(o.id);
    const qwhost::ModuleInfo* info = bundle->metadata().find(id, gmpi::MP_SUB_TYPE_GUI2);
    if (!info)
        throw Error("ui: no user-interface module " + o.id + " is described for bundle '" + o.bundle + "'");

    if (o.manualClock)
        qwhost::RunLoop::useManualClock();
    qwhost::GuiHost host;
    host.echo = o.echo;
    host.autoDuplicateCount = o.dup >= 0 ? o.dup : copiesNamed(*info, steps, host.autoDuplicateCount);
    qwhost::Dialogs dialogs;
    qwhost::DrawingDesk desk(host); // an invisible module may still open the host's dialogs
    desk.dialogs = &dialogs;
    dialogs.script.assign(o.answers.begin(), o.answers.end());
    std::unique_ptr<qwhost::GuiModule> m = host.create(bundle, id);
    const PinNames names(*m);

    // Every step is checked before any is played.
    struct Delivery
    {
        int pin;
        std::vector<uint8_t> bytes;
    };
    std::vector<Delivery> deliveries(steps.size());
    // Samples come from the bundle's own file loader, which lives as long as the module.
    qwhost::ProcessingHost sampleHost;
    std::vector<std::unique_ptr<qwhost::Processor>> loaders;
    for (size_t i = 0; i < steps.size(); ++i)
    {
        const UiStep& s = steps[i];
        if (s.kind != UiStep::SET)
            continue;
        const int pin = names.find(s.name);
        if (pin < 0)
            throw UsageError("ui: step '" + s.text + "': module " + o.id + " has no pin named '" + s.name +
                             "' (its pins: " + names.all() + ")");
        const int datatype = m->pinInfo(pin).datatype;
        std::string why;
        if (datatype == gmpi::MP_BLOB && m->pinInfo(pin).has("descriptor"))
        {
            const std::string what = "ui: step '" + s.text + "': pin '" + s.name + "'";
            if (!s.value.empty())
                deliveries[i].bytes =
                    loadSample(bundle, o.bundle, sampleHost, parseSampleFile(s.value, what), loaders, what);
        }
        else if (datatype == gmpi::MP_BLOB && looksLikeShape(s.value))
        {
            if (!shapeBlob(s.value, deliveries[i].bytes, why))
                throw UsageError("ui: step '" + s.text + "': pin '" + s.name + "': '" + s.value +
                                 "' is not a shape text: " + why);
        }
        else if (datatype == gmpi::MP_MIDI || datatype == gmpi::MP_AUDIO ||
                 !qwhost::encodePinValue(datatype, s.value, deliveries[i].bytes, why))
            throw UsageError("ui: step '" + s.text + "': pin '" + s.name +
                             "': " + (why.empty() ? "takes no value here" : why));
        deliveries[i].pin = pin;
    }

    auto answerWidgets = [&] {
        const int n = dialogs.deliverPending();
        if (n > 0)
            std::printf("# %d widget(s) answered\n", n);
    };
    // After the start and each step: the widgets answered, with the echo
    // later the held echoes delivered (and those they bring), then what the
    // module sent meanwhile.
    size_t shown = 0, messagesShown = 0;
    auto report = [&](const std::string& what) {
        answerWidgets();
        if (o.echo == qwhost::Echo::Later && !m->settleEchoes(qwhost::GuiModule::kSettleLimit))
        {
            printSent(*m, names, shown, kRunawayShown);
            std::fflush(stdout);
            throw Error("ui: " + o.id + ", " + what + ": the module's echoes keep coming back; stopped after " +
                        std::to_string(m->transmits.size() - shown) + " values sent (" +
                        std::to_string(m->pendingEchoes()) + " echoes still held)");
        }
        shown = printSent(*m, names, shown);
        for (; messagesShown < m->messagesToAudio.size(); ++messagesShown)
            std::printf("\tmessage to the processing half: id %d, %zu byte(s)\n", m->messagesToAudio[messagesShown].id,
                        m->messagesToAudio[messagesShown].data.size());
        if (m->pendingEchoes())
            std::printf("# %zu echo(es) held back: the module's echoes nest deeper than the host follows\n",
                        m->pendingEchoes());
    };

    std::printf("# %s: pins %s; echo %s\n", o.id.c_str(), names.all().c_str(), echoName(o.echo));
    std::printf("start (defaults, initialize)\n");
    report("start");
    for (size_t i = 0; i < steps.size(); ++i)
    {
        const UiStep& s = steps[i];
        if (s.kind == UiStep::WAIT)
        {
            const int ticks = qwhost::RunLoop::current().runFor(s.ms);
            std::printf("wait %g\t%d timer tick(s)\n", static_cast<double>(s.ms), ticks);
        }
        else
        {
            std::printf("%s=%s\n", s.name.c_str(), s.value.c_str());
            const Delivery& d = deliveries[i];
            m->set(d.pin, d.bytes.data(), static_cast<int>(d.bytes.size()));
        }
        report("step '" + s.text + "'");
    }
    if (!dialogs.pending().empty())
        std::printf("# %zu widget(s) left open without an answer\n", dialogs.pending().size());
    for (auto& [name, path] : o.saves)
    {
        const int pin = names.find(name);
        if (pin < 0 || !m->pinInfo(pin).has("descriptor"))
            throw UsageError("ui: --save: module " + o.id + " has no sample pin named '" + name + "'");
        const qwhost::GuiValue* sent = m->lastTransmit(pin);
        std::string why;
        if (!sent)
            throw Error("ui: --save: the module sent no sample on '" + name + "'");
        if (!saveSample(sent->data, path, 44100, why))
            throw Error("ui: --save " + name + ": " + why);
        std::printf("# %s saved to %s\n", name.c_str(), path.c_str());
    }
    return 0;
}
} // namespace qwtool
