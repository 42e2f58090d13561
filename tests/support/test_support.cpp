#include "test_support.h"

#include "mp_sdk_audio.h"
#include "mp_sdk_gui.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace qwtest
{
std::shared_ptr<qwhost::Bundle> bundle(const std::string& name)
{
    static std::map<std::string, std::shared_ptr<qwhost::Bundle>> loaded;
    auto& b = loaded[name];
    if (!b)
    {
        const bool isTest = name == "testkit" || name == "brokenkit";
        b = qwhost::Bundle::load(std::string(isTest ? QW_TEST_BUNDLE_DIR : QW_BUNDLE_DIR) + "/" + name + ".so");
    }
    return b;
}

std::shared_ptr<qwhost::Bundle> bundleDescribedAs(const std::string& name, const std::string& meta)
{
    namespace fs = std::filesystem;
    static int made = 0;
    const fs::path dir =
        fs::temp_directory_path() / ("qw_described_" + std::to_string(::getpid()) + "_" + std::to_string(++made));
    fs::create_directories(dir);
    fs::create_symlink(fs::path(QW_BUNDLE_DIR) / (name + ".so"), dir / "described.so");
    std::ofstream(dir / "described.meta") << meta;
    std::shared_ptr<qwhost::Bundle> b;
    try
    {
        b = qwhost::Bundle::load((dir / "described.so").string()); // reads the description now
    }
    catch (...)
    {
        fs::remove_all(dir);
        throw;
    }
    fs::remove_all(dir);
    return b;
}

const std::vector<std::string>& productBundles()
{
    static const std::vector<std::string> names = {"panelkit", "signalkit", "shapekit", "samplekit2", "samplekit"};
    return names;
}

std::vector<int> builtPinIds(qwhost::Processor& p)
{
    std::vector<int> ids;
    int32_t id, direction, datatype;
    for (int i = 0; p.base()->describePin(i, id, direction, datatype) == 0; ++i)
        ids.push_back(id);
    return ids;
}

std::vector<std::string> checkPins(qwhost::Processor& p)
{
    std::vector<std::string> problems;
    MpPluginBase* module = p.base();
    int32_t index = 0, id, direction, datatype;
    for (; module->describePin(index, id, direction, datatype) == gmpi::MP_OK; ++index)
    {
        const std::string at = "pin " + std::to_string(id);
        if (id != index)
        {
            problems.push_back("pin ids do not run 0, 1, 2 ...: " + at + " at index " + std::to_string(index));
            continue;
        }
        if (index >= p.pinCount())
        {
            problems.push_back(at + " (" + qwhost::datatypeName(datatype) + ") is not described");
            continue;
        }
        const qwhost::PinInfo& info = p.pinInfo(index);
        if (info.direction != direction)
            problems.push_back(at + " '" + info.name + "': described as " + (info.direction ? "output" : "input") +
                               ", built as " + (direction ? "output" : "input"));
        if (info.datatype != datatype)
            problems.push_back(at + " '" + info.name + "': described as " + qwhost::datatypeName(info.datatype) +
                               ", built as " + qwhost::datatypeName(datatype));
    }
    for (int i = index; i < p.pinCount(); ++i)
        problems.push_back("described pin " + std::to_string(i) + " '" + p.pinInfo(i).name + "' was not built");
    return problems;
}

std::vector<std::string> checkGuiPins(qwhost::GuiModule& g)
{
    std::vector<std::string> problems;
    GuiPinOwner* module = g.pinOwner();
    int32_t index = 0, id, datatype;
    for (; module->describePin(index, id, datatype) == gmpi::MP_OK; ++index)
    {
        const std::string at = "pin " + std::to_string(id);
        if (id != index)
        {
            problems.push_back("pin ids do not run 0, 1, 2 ...: " + at + " at index " + std::to_string(index));
            continue;
        }
        if (index >= g.pinCount())
        {
            problems.push_back(at + " (" + qwhost::datatypeName(datatype) + ") is not described");
            continue;
        }
        const qwhost::PinInfo& info = g.pinInfo(index);
        const bool integer = info.datatype == gmpi::MP_ENUM && datatype == gmpi::MP_INT32;
        if (info.datatype != datatype && !integer)
            problems.push_back(at + " '" + info.name + "': described as " + qwhost::datatypeName(info.datatype) +
                               ", built as " + qwhost::datatypeName(datatype));
    }
    // A module may take the host's copies of an auto-duplicating pin in its
    // own setPin without building pins for them.
    for (int i = index; i < g.pinCount(); ++i)
        if (!g.pinInfo(i).autoDuplicate)
            problems.push_back("described pin " + std::to_string(i) + " '" + g.pinInfo(i).name + "' was not built");
    return problems;
}

std::vector<LogEntry> probeLog(const qwhost::Processor& p)
{
    std::vector<LogEntry> out;
    for (auto& m : p.messages)
    {
        LogEntry e{m.block, m.id, std::vector<int32_t>(m.data.size() / 4)};
        if (!e.v.empty())
            std::memcpy(e.v.data(), m.data.data(), e.v.size() * 4);
        out.push_back(std::move(e));
    }
    return out;
}
} // namespace qwtest

#include <cairo.h>

#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qwtest
{
void CommandTest::SetUp()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("qw-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
}

void CommandTest::TearDown()
{
    std::filesystem::remove_all(dir_);
}

std::string CommandTest::slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

CommandTest::Result CommandTest::qwhost(std::vector<std::string> args) const
{
    args.insert(args.begin(), QW_QWHOST);
    const std::string out = file("stdout"), err = file("stderr");
    const pid_t pid = fork();
    if (pid == 0)
    {
        if (!freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr))
            _exit(127);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    wait4(pid, &status, 0, &usage);
    Result r;
    r.peakKilobytes = usage.ru_maxrss;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
}

Png readPng(const std::string& path)
{
    Png png;
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    EXPECT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS) << path;
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS)
    {
        png.width = cairo_image_surface_get_width(s);
        png.height = cairo_image_surface_get_height(s);
        const int stride = cairo_image_surface_get_stride(s);
        const uint8_t* data = cairo_image_surface_get_data(s);
        for (int y = 0; y < png.height; ++y)
            for (int x = 0; x < png.width; ++x)
                png.pixels.push_back(reinterpret_cast<const uint32_t*>(data + y * stride)[x]);
    }
    cairo_surface_destroy(s);
    return png;
}
} // namespace qwtest
