// Opening a 100,000-message area in the process, next to the floor of the same work
// (floor.h: the file mapped, frames or index lines split, the header fields located). Read
// BM_Open/0 as a ratio to BM_Floor_Rnews, BM_Open/1 to BM_Floor_Index, and BM_Threads/N as a
// ratio to BM_Open/N.
#include "../area/packet_gen.h"
#include "floor.h"

#include "store/grp.h"
#include "store/record_pool.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <string>

namespace {

using pelorin::TGrp;
using pelorin::bench::GenerateArea;
using pelorin::bench::GeneratedArea;

constexpr int kMessages = 100000;

const GeneratedArea& Area(bool index) {
    static const GeneratedArea plain = GenerateArea(
        (std::filesystem::temp_directory_path() / "pelorin-open-un").string(), kMessages, false);
    static const GeneratedArea indexed = GenerateArea(
        (std::filesystem::temp_directory_path() / "pelorin-open-uc").string(), kMessages, true);
    return index ? indexed : plain;
}

void BM_Floor_Rnews(benchmark::State& state) {
    const auto& a = Area(false);
    for (auto _ : state) {
        pelorin::bench::Mapped file((a.pathBase + ".MSG").c_str());
        size_t fields = 0;
        benchmark::DoNotOptimize(pelorin::bench::FloorRnews(file.Bytes(), fields));
        benchmark::DoNotOptimize(fields);
    }
}
BENCHMARK(BM_Floor_Rnews)->Unit(benchmark::kMillisecond);

void BM_Floor_Index(benchmark::State& state) {
    const auto& a = Area(true);
    for (auto _ : state) {
        pelorin::bench::Mapped file((a.pathBase + ".IDX").c_str());
        size_t columns = 0;
        benchmark::DoNotOptimize(pelorin::bench::FloorIndex(file.Bytes(), columns));
        benchmark::DoNotOptimize(columns);
    }
}
BENCHMARK(BM_Floor_Index)->Unit(benchmark::kMillisecond);

// Opening an area: parse (rnews, Arg 0) or read the index (Arg 1), decode Subject and From,
// read the marks, build the display list in file order; BM_OpenInThreads the same, shown in
// thread order (an index area links its threads as it loads: a ratio to BM_Open/1).
void Open(benchmark::State& state, int sortType) {
    const bool index = state.range(0) != 0;
    const auto& a = Area(index);
    for (auto _ : state) {
        TGrp g("bench", a.pathBase, index ? "uc" : "un", "bench");
        g.sortType = sortType;
        g.Prepare();
        benchmark::DoNotOptimize(g.display.size());
        state.PauseTiming();
        g.display.clear();
        g.messages.clear();
        state.ResumeTiming();
    }
}
void BM_Open(benchmark::State& state) {
    Open(state, 0);
}
BENCHMARK(BM_Open)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_OpenInThreads(benchmark::State& state) {
    Open(state, 1);
}
BENCHMARK(BM_OpenInThreads)->Arg(1)->Unit(benchmark::kMillisecond);

// Thread order on top of an open area, as when the order is changed (a ratio to BM_Open/N).
// Heap bytes in use (malloc's own count, its chunk overhead included) and the records' slabs.
long HeapInUse() {
    return static_cast<long>(mallinfo2().uordblks + pelorin::record_pool::SlabBytes());
}

void BM_Threads(benchmark::State& state) {
    const auto& a = Area(state.range(0) != 0);
    const long before = HeapInUse();
    TGrp g("bench", a.pathBase, state.range(0) ? "uc" : "un", "bench");
    g.Load();
    for (auto _ : state) {
        g.display.clear();
        g.SetSortType(1);
        benchmark::DoNotOptimize(g.display.size());
    }
    // Heap bytes per message that the open, threaded area holds (the message file itself is
    // no longer mapped once the area is open).
    state.counters["heap_per_msg"] =
        static_cast<double>(HeapInUse() - before) / static_cast<double>(g.messages.size());
    g.display.clear();
    g.messages.clear();
}
BENCHMARK(BM_Threads)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Writing the marks of the open area (durable: data and directory flushed).
void BM_SaveMarks(benchmark::State& state) {
    const auto& a = Area(false);
    TGrp g("bench", a.pathBase, "un", "bench");
    g.Load();
    for (auto _ : state) benchmark::DoNotOptimize(g.SaveMarks());
    g.messages.clear();
}
BENCHMARK(BM_SaveMarks)->Unit(benchmark::kMillisecond);

}  // namespace
