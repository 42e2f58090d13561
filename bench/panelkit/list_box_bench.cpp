// One render of a list box at 300 x 600 showing a list of 10000 entries of
// four digits each ("0000" to "9999", so that every row draws as many
// glyphs), through its real OnRender on the drawing stand-in: moduleX is
// scrolled to the last entries (Choice 9999), bareX shows the first ones,
// for QW_ListBox2 (ListBox) and the older QW_ListBox (OlderListBox). Equal
// times show that reaching the first visible row costs nothing beside
// drawing the rows. Items are renders.
#include "bundle.h"
#include "drawing/drawn_view.h"
#include "ui_host.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace
{
constexpr int kWidth = 300, kHeight = 600;

void renders(benchmark::State& state, const wchar_t* id, int choice)
{
    static auto bundle = qwhost::Bundle::load(std::string(QW_BUNDLE_DIR) + "/panelkit.so");
    qwhost::GuiHost host;
    host.resourceFolder = std::string(QW_SOURCE_DIR) + "/tests/fixtures/skin";
    qwhost::DrawingDesk desk(host);
    qwhost::DrawnView view(desk, bundle, id);
    auto& m = view.module();
    static const std::wstring items = [] {
        std::wstring text;
        wchar_t entry[8];
        for (int i = 0; i < 10000; ++i)
        {
            std::swprintf(entry, 8, i ? L",%04d" : L"%04d", i);
            text += entry;
        }
        return text;
    }();
    m.setText(m.pin("Items"), items);
    view.layOutAndRender(kWidth, kHeight);
    m.setInt(m.pin("Choice"), choice);

    qwhost::drawing::Bitmap* target = desk.factory()->createBitmap(kWidth, kHeight);
    qwhost::drawing::DeviceContext* context = desk.factory()->createContext(target);
    auto& redraws = view.graphicsHost().redraws;
    for (auto _ : state)
    {
        context->BeginDraw();
        benchmark::DoNotOptimize(view.graphics()->OnRender(context));
        context->EndDraw();
        redraws.clear();
    }
    context->release();
    target->release();
    state.SetItemsProcessed(state.iterations());
}

void moduleListBox(benchmark::State& state)
{
    renders(state, L"QW_ListBox2", 9999);
}
void bareListBox(benchmark::State& state)
{
    renders(state, L"QW_ListBox2", 0);
}
void moduleOlderListBox(benchmark::State& state)
{
    renders(state, L"QW_ListBox", 9999);
}
void bareOlderListBox(benchmark::State& state)
{
    renders(state, L"QW_ListBox", 0);
}
} // namespace

BENCHMARK(moduleListBox);
BENCHMARK(bareListBox);
BENCHMARK(moduleOlderListBox);
BENCHMARK(bareOlderListBox);
