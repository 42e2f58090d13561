// Loading a 10 MB UTF-8 text file (mostly ASCII, with two- and three-byte
// characters in every line, CR LF line ends): moduleTextLoad through
// QW_GUIStringLoader's real trigger handler (read, UTF-8 to wide text, the
// pin's change test, the value handed to the host); bareTextLoad reads the
// same bytes into memory and nothing more. The ratio is the share of the
// conversion and the pin beside the read itself. Items are bytes of the file.
#include "bundle.h"
#include "ui_host.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{
constexpr size_t kFileBytes = 10u << 20;

// A scratch folder holding the text file, removed with it.
struct TextFile
{
    std::filesystem::path folder, path;
    TextFile()
    {
        char name[] = "/tmp/qw_files_bench_XXXXXX";
        folder = mkdtemp(name) ? name : "/tmp";
        path = folder / "text.txt";
        const std::string line =
            "Gr\xC3\xBC\xC3\x9F"
            "e, 12 \xE2\x82\xAC \xE2\x80\x94 a line of plain text in a file\r\n";
        std::string text;
        text.reserve(kFileBytes + line.size());
        while (text.size() + line.size() <= kFileBytes)
            text += line;
        text.append(kFileBytes - text.size(), 'x');
        std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    ~TextFile()
    {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        if (folder != "/tmp")
            std::filesystem::remove(folder, ec);
    }
};

void moduleTextLoad(benchmark::State& state)
{
    static auto bundle = qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/panelkit.so");
    TextFile file;
    qwhost::GuiHost host;
    auto g = host.create(bundle, L"QW_GUIStringLoader");
    g->setText(g->pin("File L"), std::wstring(file.path.native().begin(), file.path.native().end()));
    const int text = g->pin("Text"), load = g->pin("Load");
    const bool on = true;
    for (auto _ : state)
    {
        // The pin forgets the text, so that every load sends it.
        state.PauseTiming();
        g->setPinOnly(text, nullptr, 0);
        g->transmits.clear();
        state.ResumeTiming();
        g->setPinOnly(load, &on, 1);
        g->notifyPin(load);
    }
    if (g->transmits.size() != 1 || g->transmits[0].data.size() < kFileBytes)
        state.SkipWithError("the loader sent no text");
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kFileBytes));
}

void bareTextLoad(benchmark::State& state)
{
    TextFile file;
    for (auto _ : state)
    {
        std::ifstream in(file.path, std::ios::binary);
        std::string bytes(kFileBytes, '\0');
        in.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kFileBytes));
}
} // namespace

BENCHMARK(moduleTextLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(bareTextLoad)->Unit(benchmark::kMillisecond);
