// Listing a folder of 10000 files: moduleFolderScan through QW_FileBrowser3's
// real rescan handler (iteration, each entry's type, sorting by name, the
// item list text, the pins); bareFolderScan iterates the same folder and sorts
// the names the same way, and nothing more. The ratio is the module's share
// beside the file system's. Items are folder entries.
#include "bundle.h"
#include "ui_host.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{
constexpr int kFiles = 10000;

// A scratch folder of kFiles empty files, removed with them.
struct Folder
{
    std::filesystem::path path;
    Folder()
    {
        char name[] = "/tmp/qw_browser_bench_XXXXXX";
        path = mkdtemp(name) ? name : "/tmp/qw_browser_bench";
        for (int i = 0; i < kFiles; ++i)
            std::ofstream(path / ("Take " + std::to_string(kFiles - i) + (i % 2 ? ".wav" : ".aif")));
    }
    ~Folder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

void moduleFolderScan(benchmark::State& state)
{
    static auto bundle = qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/panelkit.so");
    Folder folder;
    qwhost::GuiHost host;
    host.resourceFolder = folder.path.string();
    auto g = host.create(bundle, L"QW_FileBrowser3");
    const int rescan = g->pin("Rescan"), items = g->pin("Items");
    for (auto _ : state)
    {
        g->transmits.clear();
        // The pin forgets the list, so that every scan sends it.
        g->setPinOnly(items, nullptr, 0);
        g->setBool(rescan, true);
        benchmark::DoNotOptimize(g->transmits.data());
    }
    if (g->transmits.empty())
        state.SkipWithError("nothing listed");
    state.SetItemsProcessed(state.iterations() * kFiles);
}

void bareFolderScan(benchmark::State& state)
{
    Folder folder;
    for (auto _ : state)
    {
        std::vector<std::filesystem::path> entries;
        std::error_code ec;
        for (auto it = std::filesystem::directory_iterator(folder.path, ec);
             !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
            entries.push_back(it->path());
        std::sort(entries.begin(), entries.end(),
                  [](const auto& a, const auto& b) { return a.filename().native() < b.filename().native(); });
        benchmark::DoNotOptimize(entries.data());
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}
} // namespace

BENCHMARK(moduleFolderScan)->Unit(benchmark::kMillisecond);
BENCHMARK(bareFolderScan)->Unit(benchmark::kMillisecond);
