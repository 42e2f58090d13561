// Command-line host: loads a bundle the way the modular host does and works
// its modules from the shell.
#include "bundle.h"
#include "draw_command.h"
#include "mp_sdk_common.h"
#include "run_command.h"
#include "usage_error.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{
const char* kUsage =
    "usage: qwhost COMMAND ...\n"
    "  qwhost list BUNDLE     the module identifiers a bundle registers, by subtype\n"
    "  qwhost run BUNDLE ID [--in FILE.wav] [--out FILE.wav] [--pin NAME=VALUE ...]\n"
    "             [--rate HZ] [--block N] [--seconds S]\n"
    "                         runs one processing module over a WAV file (without --in:\n"
    "                         a logarithmic sine sweep 20 Hz - 20 kHz at -6 dBFS), writes\n"
    "                         its audio outputs as WAV and prints its other outputs;\n"
    "                         'qwhost run --help' tells more\n"
    "  qwhost draw BUNDLE ID --size WxH --out FILE.png [--pin NAME=VALUE ...]\n"
    "             [--pointer SCRIPT | --pointer-file FILE]\n"
    "                         draws one user-interface module into a PNG file, after\n"
    "                         pointer input (press, move, release); 'qwhost draw --help'\n"
    "                         tells more\n";

using qwtool::UsageError;

const char* subtypeTitle(int subtype)
{
    switch (subtype)
    {
    case 0:
        return "processing (subtype 0)";
    case 2:
        return "user interface (subtype 2)";
    default:
        return nullptr;
    }
}

int list(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        throw UsageError(std::string("list takes exactly one bundle path\n") + kUsage);
    auto bundle = qwhost::Bundle::load(args[0]);
    int shown = -1;
    for (auto& r : bundle->registrations())
    {
        if (r.subtype != shown)
        {
            const char* title = subtypeTitle(r.subtype);
            std::printf("%s:\n", title ? title : ("subtype " + std::to_string(r.subtype)).c_str());
            shown = r.subtype;
        }
        std::printf("  %s\n", gmpi_sdk::toUtf8(r.id).c_str());
    }
    if (shown == -1)
        std::printf("(no modules registered)\n");
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fputs(kUsage, stderr);
        return qwtool::kUsageExitCode;
    }
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    try
    {
        if (command == "list")
            return list(args);
        if (command == "run")
            return qwtool::runCommand(args);
        if (command == "draw")
            return qwtool::drawCommand(args);
        if (command == "-h" || command == "--help" || command == "help")
        {
            std::fputs(kUsage, stdout);
            return 0;
        }
        throw UsageError("unknown command '" + command + "'\n" + kUsage);
    }
    catch (const UsageError& e)
    {
        std::fprintf(stderr, "qwhost: %s\n", e.what());
        return qwtool::kUsageExitCode;
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "qwhost: %s\n", e.what());
        return qwtool::kFailureExitCode;
    }
}
