#include "draw_command.h"

#include "run_command.h"
#include "sample_value.h"
#include "shape_value.h"

#include "usage_error.h"

#include "bundle.h"
#include "dialogs.h"
#include "drawing/drawn_view.h"
#include "mp_api_gui2.h"
#include "mp_sdk_common.h"
#include "patch.h"
#include "run_loop.h"
#include "ui_host.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/stat.h>

namespace qwtool
{
const char* const kDrawUsage =
    "usage: qwhost draw BUNDLE ID --size WxH --out FILE.png [--pin NAME=VALUE ...]\n"
    "                   [--sample PIN=FILE.wav[:CHANNEL] ...]\n"
    "                   [--pointer SCRIPT | --pointer-file FILE] [--answer ANSWER ...]\n"
    "                   [--skin DIR] [--run S [RUN OPTIONS]]\n"
    "Creates the user-interface half ID of BUNDLE (described in the .meta beside it),\n"
    "gives its pins their defaults and the --pin values, measures it with the size as\n"
    "the space available, arranges it at (0, 0, W, H), draws it once, plays the\n"
    "pointer script and draws it into a PNG file of W x H pixels:\n"
    "  --size WxH           the module's size in pixels, 1 to 16384 each way.\n"
    "  --out FILE.png       where the drawing goes (32-bit with alpha).\n"
    "  --pin NAME=VALUE     a pin's value (pins named as in the metadata); on a blob\n"
    "                       pin a value starting with '(' is a shape text, e.g.\n"
    "                       \"(-5,-5)(0,5)(5,-5)\", sent as that shape's blob.\n"
    "  --sample PIN=FILE.wav[:CHANNEL]  a sample for the blob pin PIN: channel\n"
    "                       CHANNEL (from 0; default 0) of the file. A pin that\n"
    "                       takes a sample descriptor gets it as the bundle's\n"
    "                       QW_S2_SampleLoaderGUI loads it; any other blob pin gets\n"
    "                       the frames as raw floats (a first-generation sample).\n"
    "                       With --run the option is the processing half's.\n"
    "  --pointer SCRIPT     pointer input before drawing: steps separated by ';' or\n"
    "                       line ends, in the module's own coordinates (origin top\n"
    "                       left):\n"
    "                         press X,Y     the left button goes down at (X, Y)\n"
    "                         move X,Y      the pointer moves to (X, Y)\n"
    "                         release X,Y   the left button comes up at (X, Y)\n"
    "                         hover X,Y     the pointer passes over (X, Y): the host\n"
    "                                       asks whether it hits the module\n"
    "                         wait MS       MS milliseconds pass in real time, in\n"
    "                                       which the module's timers run\n"
    "                       a pointer step may end with 'fine' (the Control key,\n"
    "                       flag 0x20000, held); '#' starts a comment.\n"
    "  --pointer-file FILE  the script from a file.\n"
    "  --answer ANSWER      how the user answers the next menu, text edit or dialog\n"
    "                       the module opens, in the order they open:\n"
    "                         choose ID     picks the menu item ID\n"
    "                         enter TEXT    confirms TEXT in a text edit\n"
    "                         ok            presses OK\n"
    "                         pick PATH     picks the file PATH\n"
    "                         cancel        cancels any of them\n"
    "                       an answer that does not fit its widget cancels it.\n"
    "  --skin DIR           the skin folder: where the module finds its images, their\n"
    "                       metadata and the style sheet 'global', and where relative\n"
    "                       file names resolve (default: the test skin, " QW_DEFAULT_SKIN_DIR
    ").\n"
    "  --run S              first runs ID's processing half for S seconds as 'qwhost\n"
    "                       run' does, paired with the interface half: its blob\n"
    "                       outputs and messages reach the interface half through\n"
    "                       the host before the drawing. With --run these options\n"
    "                       of 'qwhost run' apply to the processing half:\n"
    "                         --in FILE.wav, --rate HZ, --block N, --dup N,\n"
    "                         --midi NAME=HEX@S, --sample PIN=FILE.wav[:CHANNEL],\n"
    "                         --dsp-pin NAME=VALUE[@S] (run's --pin).\n"
    "Prints each pointer step with the module's answer (0 handled, -1 not), each\n"
    "widget answered, every\n"
    "value the module sends on its pins (a shape blob as its shape text), and its\n"
    "redraw and re-measure requests.\n"
    "example: qwhost draw testkit.so QW_TestDrawn --size 120x24 --out slider.png \\\n"
    "           --pointer 'press 30,12; move 90,12; release 90,12'\n"
    "         qwhost draw signalkit.so QW_Oscilloscope --run 0.2 --size 400x300 --out scope.png\n";

namespace
{
using qwhost::Error;

struct Options
{
    std::string bundle, id, out, script, scriptFile;
    std::string skin; // empty: the default
    int width = 0, height = 0;
    std::vector<std::pair<std::string, std::string>> pins;
    std::vector<std::pair<std::string, SampleFile>> samples; // for the interface half
    std::vector<qwhost::WidgetAnswer> answers;
    // With --run: the arguments of the processing half's run, as "run" takes them.
    std::vector<std::string> run;
};

// Options of "run" that --run passes on (--dsp-pin as run's --pin).
bool runOption(const std::string& a)
{
    return a == "--in" || a == "--rate" || a == "--block" || a == "--dup" || a == "--midi" || a == "--sample" ||
           a == "--dsp-pin";
}

[[noreturn]] void syntax(const std::string& what)
{
    throw UsageError("draw: " + what + "\n" + kDrawUsage);
}

bool wholeNumber(const std::string& text, long lo, long hi, long& v)
{
    char* end = nullptr;
    errno = 0;
    v = text.empty() ? 0 : std::strtol(text.c_str(), &end, 10);
    return !text.empty() && end == text.c_str() + text.size() && !errno && v >= lo && v <= hi && text[0] != '+' &&
           text[0] != ' ';
}

Options parse(const std::vector<std::string>& args)
{
    Options o;
    std::vector<std::string> operands;
    bool seenSize = false, seenOut = false, seenScript = false, seenScriptFile = false, seenSkin = false;
    std::string runSeconds;
    std::vector<std::string> runOptions, samples;
    auto once = [](bool& seen, const std::string& option) {
        if (seen)
            syntax(option + " is given twice");
        seen = true;
    };
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& a = args[i];
        if (a.size() < 2 || a.compare(0, 2, "--") != 0)
        {
            operands.push_back(a);
            continue;
        }
        const bool known = a == "--size" || a == "--out" || a == "--pin" || a == "--pointer" || a == "--pointer-file" ||
                           a == "--answer" || a == "--skin" || a == "--run" || runOption(a);
        if (!known)
            syntax("unknown option '" + a + "'");
        if (i + 1 >= args.size())
            syntax(a + " needs a value");
        const std::string& v = args[++i];
        if (a == "--run")
        {
            if (!runSeconds.empty())
                syntax("--run is given twice");
            if (v.empty())
                syntax("--run needs a time in seconds");
            runSeconds = v;
        }
        else if (a == "--sample")
            samples.push_back(v);
        else if (runOption(a))
        {
            runOptions.push_back(a == "--dsp-pin" ? "--pin" : a);
            runOptions.push_back(v);
        }
        else if (a == "--size")
        {
            once(seenSize, a);
            const auto x = v.find('x');
            long w = 0, h = 0;
            if (x == std::string::npos || !wholeNumber(v.substr(0, x), 1, qwhost::drawing::Factory::kMaxSide, w) ||
                !wholeNumber(v.substr(x + 1), 1, qwhost::drawing::Factory::kMaxSide, h))
                throw UsageError("draw: --size '" + v + "' is not WxH with whole numbers from 1 to " +
                                 std::to_string(qwhost::drawing::Factory::kMaxSide));
            o.width = static_cast<int>(w);
            o.height = static_cast<int>(h);
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
                throw UsageError("draw: --pin '" + v + "' is not NAME=VALUE");
            o.pins.emplace_back(v.substr(0, eq), v.substr(eq + 1));
        }
        else if (a == "--answer")
            o.answers.push_back(parseAnswer(v, "draw"));
        else if (a == "--skin")
        {
            once(seenSkin, a);
            if (v.empty())
                syntax("--skin needs a folder");
            o.skin = v;
        }
        else if (a == "--pointer")
        {
            once(seenScript, a);
            o.script = v;
        }
        else
        {
            once(seenScriptFile, a);
            o.scriptFile = v;
        }
    }
    if (operands.size() != 2)
        syntax(operands.size() < 2 ? "BUNDLE and ID are needed" : "unexpected '" + operands[2] + "'");
    o.bundle = operands[0];
    o.id = operands[1];
    // Samples go to the processing half when it runs, else to the interface half.
    for (auto& v : samples)
    {
        if (!runSeconds.empty())
        {
            runOptions.push_back("--sample");
            runOptions.push_back(v);
            continue;
        }
        const auto eq = v.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == v.size())
            throw UsageError("draw: --sample '" + v + "' is not PIN=FILE.wav[:CHANNEL]");
        o.samples.emplace_back(v.substr(0, eq), parseSampleFile(v.substr(eq + 1), "draw: --sample '" + v + "'"));
    }
    if (!runOptions.empty() && runSeconds.empty())
        syntax("'" + runOptions.front() + "' needs --run");
    if (!runSeconds.empty())
    {
        o.run = {o.bundle, o.id, "--seconds", runSeconds};
        o.run.insert(o.run.end(), runOptions.begin(), runOptions.end());
    }
    if (!seenSize)
        syntax("--size is needed");
    if (!seenOut || o.out.empty())
        syntax("--out needs a file name");
    if (seenScript && seenScriptFile)
        syntax("--pointer and --pointer-file are given together");
    if (seenScriptFile && o.scriptFile.empty())
        syntax("--pointer-file needs a file name");
    return o;
}

std::string trim(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

bool number(const std::string& text, float& v)
{
    const std::string t = trim(text);
    char* end = nullptr;
    const double d = t.empty() ? 0.0 : std::strtod(t.c_str(), &end);
    if (t.empty() || end != t.c_str() + t.size() || !std::isfinite(d) || std::fabs(d) > 1.0e6)
        return false;
    v = static_cast<float>(d);
    return true;
}

// Prints the values the module sent since `from`; returns the new count.
size_t printSent(const qwhost::GuiModule& m, size_t from)
{
    for (size_t i = from; i < m.transmits.size(); ++i)
    {
        const auto& t = m.transmits[i];
        const bool known = t.pin >= 0 && t.pin < m.pinCount();
        const std::string name = known ? m.pinInfo(t.pin).name : "pin " + std::to_string(t.pin);
        std::printf("\tsent %s = %s\n", name.c_str(),
                    describeValue(t, known ? m.pinInfo(t.pin).datatype : gmpi::MP_BLOB).c_str());
    }
    return m.transmits.size();
}

// The processing half of a run, paired in a patch with its interface half.
class PatchTarget final : public RunTarget
{
public:
    explicit PatchTarget(qwhost::Patch& patch) : patch_(patch) {}

    qwhost::ProcessingHost& host() override { return patch_.processing; }
    qwhost::Processor& create(std::shared_ptr<qwhost::Bundle> bundle, const std::wstring& id) override
    {
        module_ = &patch_.add(std::move(bundle), id);
        if (!module_->processor || !module_->gui)
            throw Error("draw: --run: " + gmpi_sdk::toUtf8(id) + " needs both a processing and an interface half");
        // Both halves start at their defaults; the run's values follow.
        patch_.start();
        return *module_->processor;
    }
    void graphStart(qwhost::Processor&) override {}
    void run(qwhost::Processor&, int n) override { patch_.run(n); }

    qwhost::GuiModule* gui() const { return module_ ? module_->gui : nullptr; }

private:
    qwhost::Patch& patch_;
    qwhost::PatchModule* module_ = nullptr;
};

const char* stepName(PointerStep::Kind k)
{
    return k == PointerStep::PRESS   ? "press"
           : k == PointerStep::MOVE  ? "move"
           : k == PointerStep::HOVER ? "hover"
                                     : "release";
}
} // namespace

qwhost::WidgetAnswer parseAnswer(const std::string& text, const std::string& command)
{
    using A = qwhost::WidgetAnswer;
    const auto space = text.find(' ');
    const std::string word = text.substr(0, space);
    const std::string rest = space == std::string::npos ? std::string() : text.substr(space + 1);
    A a;
    long id = 0;
    if (word == "choose" && wholeNumber(rest, INT32_MIN, INT32_MAX, id))
    {
        a.kind = A::CHOOSE;
        a.id = static_cast<int32_t>(id);
    }
    else if (word == "enter" && space != std::string::npos)
    {
        a.kind = A::ENTER;
        a.text = rest;
    }
    else if (word == "pick" && !rest.empty())
    {
        a.kind = A::PICK;
        a.text = rest;
    }
    else if ((word == "ok" || word == "cancel") && space == std::string::npos)
        a.kind = word == "ok" ? A::OK : A::CANCEL;
    else
        throw UsageError(command + ": --answer '" + text +
                         "' is not 'choose ID', 'enter TEXT', 'ok', 'pick PATH' or 'cancel'");
    return a;
}

std::string describeValue(const qwhost::GuiValue& v, int datatype)
{
    char b[64];
    switch (datatype)
    {
    case gmpi::MP_FLOAT32:
        std::snprintf(b, sizeof b, "%.9g", static_cast<double>(v.asFloat()));
        return b;
    case gmpi::MP_INT32:
    case gmpi::MP_ENUM:
        return std::to_string(v.asInt());
    case gmpi::MP_BOOL:
        return v.asBool() ? "true" : "false";
    case gmpi::MP_STRING:
        return "\"" + gmpi_sdk::toUtf8(v.asText()) + "\"";
    default:
    {
        const std::string shape = shapeText(v.data);
        return shape.empty() ? "blob of " + std::to_string(v.data.size()) + " bytes" : shape;
    }
    }
}

std::vector<std::string> splitScript(const std::string& text)
{
    std::vector<std::string> steps;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
    {
        const auto hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        std::istringstream parts(line);
        std::string part;
        while (std::getline(parts, part, ';'))
        {
            const std::string step = trim(part);
            if (!step.empty())
                steps.push_back(step);
        }
    }
    return steps;
}

std::vector<PointerStep> parsePointerScript(const std::string& text)
{
    std::vector<PointerStep> steps;
    for (const std::string& step : splitScript(text))
    {
        auto bad = [&](const std::string& why) -> UsageError {
            return UsageError("draw: pointer step '" + step + "': " + why);
        };
        const auto space = step.find_first_of(" \t");
        const std::string word = step.substr(0, space);
        PointerStep s{PointerStep::MOVE, 0.0f, 0.0f, false};
        if (word == "press")
            s.kind = PointerStep::PRESS;
        else if (word == "move")
            s.kind = PointerStep::MOVE;
        else if (word == "release")
            s.kind = PointerStep::RELEASE;
        else if (word == "wait")
            s.kind = PointerStep::WAIT;
        else if (word == "hover")
            s.kind = PointerStep::HOVER;
        else
            throw bad("not press, move, release, hover or wait");
        std::string rest = space == std::string::npos ? std::string() : trim(step.substr(space));
        if (s.kind == PointerStep::WAIT)
        {
            if (!number(rest, s.x) || s.x < 0.0f || s.x > 60000.0f)
                throw bad("the time is not milliseconds from 0 to 60000");
            steps.push_back(s);
            continue;
        }
        const std::string fineWord = "fine";
        if (rest.size() > fineWord.size() &&
            rest.compare(rest.size() - fineWord.size(), fineWord.size(), fineWord) == 0 &&
            (rest[rest.size() - fineWord.size() - 1] == ' ' || rest[rest.size() - fineWord.size() - 1] == '\t'))
        {
            s.fine = true;
            rest = trim(rest.substr(0, rest.size() - fineWord.size()));
        }
        const auto comma = rest.find(',');
        if (comma == std::string::npos || !number(rest.substr(0, comma), s.x) || !number(rest.substr(comma + 1), s.y))
            throw bad("the point is not X,Y");
        steps.push_back(s);
    }
    return steps;
}

int drawCommand(const std::vector<std::string>& args)
{
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h"))
    {
        std::fputs(kDrawUsage, stdout);
        return 0;
    }
    const Options o = parse(args);

    std::string scriptText = o.script;
    if (!o.scriptFile.empty())
    {
        std::ifstream in(o.scriptFile);
        if (!in)
            throw Error("draw: cannot open pointer script '" + o.scriptFile + "'");
        std::ostringstream all;
        all << in.rdbuf();
        scriptText = all.str();
    }
    const std::vector<PointerStep> steps = parsePointerScript(scriptText);

    auto isFolder = [](const std::string& path) {
        struct stat st;
        return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    };
    if (!o.skin.empty() && !isFolder(o.skin))
        throw Error("draw: --skin '" + o.skin + "' is not a folder");
    // Without the test skin (a moved tree) relative names resolve here.
    const std::string skin = !o.skin.empty() ? o.skin : isFolder(QW_DEFAULT_SKIN_DIR) ? QW_DEFAULT_SKIN_DIR : ".";
    auto bundle = qwhost::Bundle::load(o.bundle);
    // The interface half alone, or (with --run) paired with its processing half.
    qwhost::Patch patch;
    qwhost::GuiHost& host = patch.gui;
    host.resourceFolder = skin;
    qwhost::Dialogs dialogs;
    qwhost::DrawingDesk desk(host);
    desk.dialogs = &dialogs;
    // Loaders of the --sample files: they own the frames the module is given.
    std::vector<std::unique_ptr<qwhost::GuiModule>> loaders;
    std::unique_ptr<qwhost::DrawnView> drawn;
    if (o.run.empty())
        drawn = std::make_unique<qwhost::DrawnView>(desk, bundle, gmpi_sdk::fromUtf8(o.id));
    else
    {
        PatchTarget target(patch);
        runModule(o.run, target);
        drawn = std::make_unique<qwhost::DrawnView>(desk, *target.gui());
    }
    qwhost::DrawnView& view = *drawn;
    qwhost::GuiModule& m = view.module();

    for (auto& [name, value] : o.pins)
    {
        int pin;
        try
        {
            pin = m.pin(name);
        }
        catch (const Error&)
        {
            throw UsageError("draw: module " + o.id + " has no pin named '" + name + "'");
        }
        std::string why;
        // As qwhost run: a shape text on a blob pin goes as the shape's blob.
        if (m.pinInfo(pin).datatype == gmpi::MP_BLOB && looksLikeShape(value))
        {
            std::vector<uint8_t> bytes;
            if (!shapeBlob(value, bytes, why))
                throw UsageError("draw: pin '" + name + "': '" + value + "' is not a shape text: " + why);
            m.setBlob(pin, bytes);
        }
        else if (!m.setFromText(pin, value, why))
            throw UsageError("draw: pin '" + name + "': " + why);
    }
    for (auto& [name, sample] : o.samples)
    {
        int pin = -1;
        for (int i = 0; i < m.pinCount() && pin < 0; ++i)
            if (m.pinInfo(i).name == name)
                pin = i;
        if (pin < 0 || m.pinInfo(pin).datatype != gmpi::MP_BLOB)
            throw UsageError("draw: --sample: module " + o.id + " has no blob pin named '" + name + "'");
        const std::string what = "draw: --sample " + name;
        m.setBlob(pin, m.pinInfo(pin).has("descriptor")
                           ? loadSampleInterface(bundle, o.bundle, host, sample, loaders, what)
                           : rawSample(sample, what));
    }
    dialogs.script.assign(o.answers.begin(), o.answers.end());
    // Widgets the module opened are answered from the script, in the order they opened.
    auto answerWidgets = [&] {
        const int n = dialogs.deliverPending();
        if (n > 0)
            std::printf("# %d widget(s) answered\n", n);
    };
    answerWidgets();
    size_t shown = printSent(m, 0);

    qwhost::GraphicsHost& gh = view.graphicsHost();
    const float w = static_cast<float>(o.width), h = static_cast<float>(o.height);
    auto layOut = [&] {
        GmpiDrawing_API::MP1_SIZE desired;
        view.measure({w, h}, desired);
        view.arrange({0.0f, 0.0f, w, h});
        return desired;
    };
    const GmpiDrawing_API::MP1_SIZE desired = layOut();
    std::printf("# %s measures %gx%g of %dx%d available; arranged at (0, 0, %d, %d)\n", o.id.c_str(),
                static_cast<double>(desired.width), static_cast<double>(desired.height), o.width, o.height, o.width,
                o.height);

    // As on screen, the module is drawn before the user can point at it.
    if (!steps.empty())
        view.render(o.width, o.height);

    int measureRequests = gh.measureRequests;
    bool buttonDown = false;
    for (const auto& s : steps)
    {
        if (s.kind == PointerStep::WAIT)
        {
            const int ticks = qwhost::RunLoop::current().runFor(s.x);
            std::printf("wait %g\t%d timer tick(s)\n", static_cast<double>(s.x), ticks);
            answerWidgets();
            shown = printSent(m, shown);
            continue;
        }
        const int32_t fine = s.fine ? gmpi_gui_api::GG_POINTER_KEY_CONTROL : 0;
        int32_t answer;
        switch (s.kind)
        {
        case PointerStep::PRESS:
            buttonDown = true;
            answer = view.pointerDown(gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON | fine, {s.x, s.y});
            break;
        case PointerStep::MOVE:
            answer = view.pointerMove((buttonDown ? gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON : 0) | fine, {s.x, s.y});
            break;
        case PointerStep::HOVER:
            answer = view.hitTest({s.x, s.y});
            break;
        default:
            buttonDown = false;
            answer = view.pointerUp(gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON | fine, {s.x, s.y});
            break;
        }
        std::printf("%s %g,%g%s\t%d\n", stepName(s.kind), static_cast<double>(s.x), static_cast<double>(s.y),
                    s.fine ? " fine" : "", answer);
        answerWidgets();
        shown = printSent(m, shown);
        // A module that asks to be measured again is, before the next step.
        if (gh.measureRequests != measureRequests)
        {
            measureRequests = gh.measureRequests;
            layOut();
        }
    }

    qwhost::drawing::Bitmap& bitmap = view.render(o.width, o.height);
    printSent(m, shown);
    std::printf("# %zu redraw request(s), %d re-measure request(s)%s\n", gh.redraws.size(), gh.measureRequests,
                gh.captured() ? "; the module still holds the pointer capture" : "");
    if (!dialogs.pending().empty())
        std::printf("# %zu widget(s) left open without an answer\n", dialogs.pending().size());
    if (!bitmap.writePng(o.out))
        throw Error("draw: cannot write '" + o.out + "'");
    std::printf("# wrote %s: %dx%d pixels\n", o.out.c_str(), o.width, o.height);
    return 0;
}
} // namespace qwtool
