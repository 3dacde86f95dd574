// Opening a 100,000-message area: parsing its message file, loading its index, threading and
// sorting, saving marks. Baselines in the same run: reading the message file's bytes (the I/O
// floor for parsing) and std::sort of the subject keys (the floor for a sorted order).
#include "packet_gen.h"

#include "store/grp.h"
#include "store/replace_file.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using pelorin::TGrp;
using pelorin::bench::GenerateArea;
using pelorin::bench::GeneratedArea;

constexpr int kMessages = 100000;

const GeneratedArea& Area(bool index) {
    static const GeneratedArea plain = GenerateArea(
        (std::filesystem::temp_directory_path() / "pelorin-bench-un").string(), kMessages, false);
    static const GeneratedArea indexed = GenerateArea(
        (std::filesystem::temp_directory_path() / "pelorin-bench-uc").string(), kMessages, true);
    return index ? indexed : plain;
}

void BM_ReadMessageFileBytes(benchmark::State& state) {
    const auto& a = Area(false);
    for (auto _ : state) {
        std::ifstream in(a.pathBase + ".MSG", std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * a.msgBytes);
}
BENCHMARK(BM_ReadMessageFileBytes)->Unit(benchmark::kMillisecond);

void BM_ParseRnewsArea(benchmark::State& state) {
    const auto& a = Area(false);
    for (auto _ : state) {
        TGrp g("bench", a.pathBase, "un", "bench");
        g.Load();
        benchmark::DoNotOptimize(g.messages.size());
        g.messages.clear();
    }
    state.SetBytesProcessed(state.iterations() * a.msgBytes);
}
BENCHMARK(BM_ParseRnewsArea)->Unit(benchmark::kMillisecond);

void BM_LoadFromIndex(benchmark::State& state) {
    const auto& a = Area(true);
    for (auto _ : state) {
        TGrp g("bench", a.pathBase, "uc", "bench");
        g.Load();
        benchmark::DoNotOptimize(g.messages.size());
        g.messages.clear();
    }
}
BENCHMARK(BM_LoadFromIndex)->Unit(benchmark::kMillisecond);

// Sort types 0-5 on a loaded area (threads with the default window of 300).
void BM_SortArea(benchmark::State& state) {
    const auto& a = Area(true);
    TGrp g("bench", a.pathBase, "uc", "bench");
    g.Load();
    for (auto _ : state) {
        g.display.clear();
        g.SetSortType(static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(g.display.size());
    }
    g.messages.clear();
    g.display.clear();
}
BENCHMARK(BM_SortArea)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

void BM_StdSortOfSubjects(benchmark::State& state) {
    const auto& a = Area(true);
    TGrp g("bench", a.pathBase, "uc", "bench");
    g.Load();
    std::vector<std::string> keys;
    for (const auto& m : g.messages) keys.push_back(m->subject);
    for (auto _ : state) {
        std::vector<std::string> copy = keys;
        std::sort(copy.begin(), copy.end());
        benchmark::DoNotOptimize(copy.data());
    }
    g.messages.clear();
}
BENCHMARK(BM_StdSortOfSubjects)->Unit(benchmark::kMillisecond);

void BM_SaveMarks(benchmark::State& state) {
    const auto& a = Area(true);
    TGrp g("bench", a.pathBase, "uc", "bench");
    g.Load();
    for (auto _ : state) benchmark::DoNotOptimize(g.SaveMarks());
    g.messages.clear();
}
BENCHMARK(BM_SaveMarks)->Unit(benchmark::kMillisecond);

// The price of durability. The mark file and a 10,000-message rewrite as the program writes
// them (data flushed before each rename, the directory after it) against the same bytes put
// in place by a temporary file and a rename without any flush, which is all a crash of the
// program itself (not of the machine) needs.
void BM_Baseline_MarksWithoutFlush(benchmark::State& state) {
    const auto& a = Area(true);
    TGrp g("bench", a.pathBase, "uc", "bench");
    g.Load();
    std::string bytes;
    for (const auto& m : g.messages)
        bytes += std::string(1, m->mark) + m->messageId + "\t" + m->parentId + "\r\n";
    const std::string path = a.pathBase + ".PBX";
    for (auto _ : state) benchmark::DoNotOptimize(pelorin::ReplaceFile(path, bytes, false));
    g.messages.clear();
}
BENCHMARK(BM_Baseline_MarksWithoutFlush)->Unit(benchmark::kMillisecond);

const GeneratedArea& SmallArea() {
    static const GeneratedArea area = GenerateArea(
        (std::filesystem::temp_directory_path() / "pelorin-bench-rewrite").string(), 10000, true);
    return area;
}

void BM_Rewrite10000(benchmark::State& state) {
    const auto& a = SmallArea();
    TGrp g("bench", a.pathBase, "uc", "bench");
    g.Load();
    for (auto _ : state) benchmark::DoNotOptimize(g.Rewrite(false));
    state.SetBytesProcessed(state.iterations() * a.msgBytes);
    g.messages.clear();
}
BENCHMARK(BM_Rewrite10000)->Unit(benchmark::kMillisecond);

void BM_Baseline_Rewrite10000WithoutFlush(benchmark::State& state) {
    const auto& a = SmallArea();
    std::ifstream in(a.pathBase + ".MSG", std::ios::binary);
    const std::string msg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ifstream in2(a.pathBase + ".IDX", std::ios::binary);
    const std::string idx((std::istreambuf_iterator<char>(in2)), std::istreambuf_iterator<char>());
    for (auto _ : state) {
        benchmark::DoNotOptimize(pelorin::ReplaceFile(a.pathBase + ".MSG", msg, false));
        benchmark::DoNotOptimize(pelorin::ReplaceFile(a.pathBase + ".IDX", idx, false));
    }
    state.SetBytesProcessed(state.iterations() * a.msgBytes);
}
BENCHMARK(BM_Baseline_Rewrite10000WithoutFlush)->Unit(benchmark::kMillisecond);

}  // namespace
