// Opening a 100,000-message area through the main window and scrolling its list to the end,
// next to what the core alone needs to open the same area (load or parse, thread, count).
// The window adds the tree and caption updates, the progress bar's repaints, filling the list
// model and laying the list out, and painting the rows on screen at the top and at the end.
// Read BM_WindowOpenArea against BM_CoreOpenArea with the same argument (0: the message file
// is parsed, 1: the index is read); BM_WindowShareOnly is the window's part alone. The goal is
// a window share below 20 % of the core's time.
//
// The window runs on Qt's offscreen platform with its own directory in a temporary folder. It
// needs the Qt program, so it is built only with PELORIN_GUI on (tools/dev bench builds without
// it): cmake -S . -B build/bench-window -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELORIN_TESTS=OFF,
// then build and run the target bench_window.
#include "../area/packet_gen.h"

#include "store/grp.h"

#include "app/area_tree.h"
#include "app/main_form.h"
#include "view/msglistbox.h"

#include <QApplication>
#include <QScrollBar>

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

using pelorin::TGrp;
using pelorin::TMainForm;
using pelorin::bench::GenerateArea;
using pelorin::bench::GeneratedArea;

constexpr int kMessages = 100000;

const GeneratedArea& Area(bool index) {
    static const GeneratedArea plain =
        GenerateArea((std::filesystem::temp_directory_path() / "pelorin-window-bench-un").string(),
                     kMessages, false);
    static const GeneratedArea indexed =
        GenerateArea((std::filesystem::temp_directory_path() / "pelorin-window-bench-uc").string(),
                     kMessages, true);
    return index ? indexed : plain;
}

QApplication& App() {
    static int argc = 1;
    static char name[] = "bench_window";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        if (!std::getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        const auto home = std::filesystem::temp_directory_path() / "pelorin-window-bench-home";
        std::filesystem::create_directories(home);
        setenv("PELORIN_HOME", home.c_str(), 1);
        return new QApplication(argc, argv);
    }();
    return *app;
}

// The core alone: what SelectArea asks of the area.
void BM_CoreOpenArea(benchmark::State& state) {
    const GeneratedArea& a = Area(state.range(0) != 0);
    const char* letters = state.range(0) != 0 ? "uc" : "un";
    for (auto _ : state) {
        auto area = std::make_unique<TGrp>("bench", a.pathBase, letters, "bench");
        area->SetSortType(1);
        area->Prepare();
        benchmark::DoNotOptimize(area->CountMarked('*'));
        benchmark::DoNotOptimize(area->CountMarked(0));
        state.PauseTiming();
        area.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CoreOpenArea)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The window: SelectArea on the area's node, then the list scrolled to its last row and
// painted.
void BM_WindowOpenArea(benchmark::State& state) {
    QApplication& app = App();
    const GeneratedArea& a = Area(state.range(0) != 0);
    pelorin::TSilentDialogs dialogs;
    TMainForm form({}, &dialogs);
    form.resize(1000, 700);
    form.show();
    QApplication::processEvents();
    if (!form.OpenPacket(a.directory + "/AREAS")) {
        state.SkipWithError("the generated packet did not open");
        return;
    }
    QTreeWidgetItem* node = form.AreaTree()->PacketNode(0)->child(0);
    TGrp* area = pelorin::TAreaTree::AreaOf(node);
    // Parse or read the index, and thread, as the core benchmark does (a fresh settings file
    // gives new packets the file order).
    area->encoding = state.range(0) != 0 ? "uc " : "un ";
    pelorin::TMsgListBox* list = form.MessageList();
    for (auto _ : state) {
        state.PauseTiming();
        list->Clear();  // the list lets go of the messages before the area frees them
        (void)area->Unload();
        area->SetSortType(1);
        QApplication::processEvents();
        state.ResumeTiming();

        form.AreaTree()->setCurrentItem(node);
        form.SelectArea('A');
        list->scrollToBottom();
        QApplication::processEvents();
        list->viewport()->repaint();
        benchmark::DoNotOptimize(list->verticalScrollBar()->value());
    }
    if (list->Count() != kMessages)
        state.SkipWithError("the list does not hold every message");
    form.close();
    (void)app;
}
BENCHMARK(BM_WindowOpenArea)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The window's own share alone: the area stays loaded and sorted, so SelectArea's call into
// the core returns at once and what is left is the window's work.
void BM_WindowShareOnly(benchmark::State& state) {
    QApplication& app = App();
    const GeneratedArea& a = Area(true);
    pelorin::TSilentDialogs dialogs;
    TMainForm form({}, &dialogs);
    form.resize(1000, 700);
    form.show();
    QApplication::processEvents();
    if (!form.OpenPacket(a.directory + "/AREAS")) {
        state.SkipWithError("the generated packet did not open");
        return;
    }
    QTreeWidgetItem* node = form.AreaTree()->PacketNode(0)->child(0);
    pelorin::TMsgListBox* list = form.MessageList();
    for (auto _ : state) {
        form.AreaTree()->setCurrentItem(node);
        form.SelectArea('A');
        list->scrollToBottom();
        QApplication::processEvents();
        list->viewport()->repaint();
        benchmark::DoNotOptimize(list->verticalScrollBar()->value());
    }
    if (list->Count() != kMessages)
        state.SkipWithError("the list does not hold every message");
    form.close();
    (void)app;
}
BENCHMARK(BM_WindowShareOnly)->Unit(benchmark::kMillisecond);

}  // namespace
