// TIniF written key by key: a settings file of 1,000 keys (10 sections of 100) built by 1,000
// WriteString calls, each of which replaces the whole file (temporary file, rename).
// Baselines measured in the same run:
//   - SingleWrite: the same final file written once with one ofstream write (the floor);
//   - RewriteEachKey: the file rewritten 1,000 times with plain ofstream writes, no
//     temporary file and no rename (what the safe replacement costs);
//   - Update: the 1,000 writes inside one BeginUpdate / EndUpdate (one file write).
// KeyByKey runs as configured by default (/0) and with a flush to disk per write (/1).
// Also ReadString of every key on the finished file. Read the results as ratios.
#include "store/inifile.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kSections = 10;
constexpr int kKeysPerSection = 100;

struct Dir {
    Dir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "inibench-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            std::abort();
        path = tmpl;
    }
    ~Dir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::filesystem::path path;
};

// (Built with append: GCC 12 at -O3 warns falsely about "literal" + std::string.)
std::string Section(int s) {
    std::string name = "Section";
    name += std::to_string(s);
    return name;
}
std::string Key(int k) {
    std::string name = "SomeSettingKey";
    name += std::to_string(k);
    return name;
}
std::string Value(int s, int k) {
    std::string v = "value of ";
    v += std::to_string(s);
    v += '/';
    v += std::to_string(k);
    v += " %50(%4L{(%@),}%V%s%)";
    return v;
}
void AppendHeader(std::string& text, int s) {
    text += '[';
    text += Section(s);
    text += "]\r\n";
}
void AppendKey(std::string& text, int s, int k) {
    text += Key(k);
    text += '=';
    text += Value(s, k);
    text += "\r\n";
}

std::string FinalText() {
    std::string text;
    for (int s = 0; s < kSections; ++s) {
        AppendHeader(text, s);
        for (int k = 0; k < kKeysPerSection; ++k) AppendKey(text, s, k);
    }
    return text;
}

void WriteAll(pelorin::TIniF& ini) {
    for (int s = 0; s < kSections; ++s) {
        for (int k = 0; k < kKeysPerSection; ++k) {
            if (!ini.WriteString(Section(s), Key(k), Value(s, k)))
                std::abort();
        }
    }
}

// Argument 0: the default (rename only); 1: each write also flushed to the disk (SetDurable).
void BM_TIniF_KeyByKey(benchmark::State& state) {
    Dir dir;
    int round = 0;
    for (auto _ : state) {
        pelorin::TIniF ini((dir.path / std::to_string(round++)).string());
        ini.SetDurable(state.range(0) != 0);
        WriteAll(ini);
    }
    state.SetItemsProcessed(state.iterations() * kSections * kKeysPerSection);
}
BENCHMARK(BM_TIniF_KeyByKey)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_TIniF_Update(benchmark::State& state) {
    Dir dir;
    int round = 0;
    for (auto _ : state) {
        pelorin::TIniF ini((dir.path / std::to_string(round++)).string());
        pelorin::TIniF::Update update(ini);
        WriteAll(ini);
    }
    state.SetItemsProcessed(state.iterations() * kSections * kKeysPerSection);
}
BENCHMARK(BM_TIniF_Update)->Unit(benchmark::kMillisecond);

void BM_Baseline_RewriteEachKey(benchmark::State& state) {
    Dir dir;
    const std::string path = (dir.path / "r.ini").string();
    for (auto _ : state) {
        std::string text;
        for (int s = 0; s < kSections; ++s) {
            AppendHeader(text, s);
            for (int k = 0; k < kKeysPerSection; ++k) {
                AppendKey(text, s, k);
                std::ofstream out(path, std::ios::binary | std::ios::trunc);
                out.write(text.data(), static_cast<std::streamsize>(text.size()));
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kSections * kKeysPerSection);
}
BENCHMARK(BM_Baseline_RewriteEachKey)->Unit(benchmark::kMillisecond);

void BM_Baseline_SingleWrite(benchmark::State& state) {
    Dir dir;
    const std::string path = (dir.path / "s.ini").string();
    const std::string text = FinalText();
    for (auto _ : state) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    state.SetItemsProcessed(state.iterations() * kSections * kKeysPerSection);
}
BENCHMARK(BM_Baseline_SingleWrite)->Unit(benchmark::kMillisecond);

void BM_TIniF_ReadEveryKey(benchmark::State& state) {
    Dir dir;
    const std::string path = (dir.path / "read.ini").string();
    {
        std::ofstream out(path, std::ios::binary);
        out << FinalText();
    }
    pelorin::TIniF ini(path);
    for (auto _ : state) {
        for (int s = 0; s < kSections; ++s) {
            for (int k = 0; k < kKeysPerSection; ++k)
                benchmark::DoNotOptimize(ini.ReadString(Section(s), Key(k), ""));
        }
    }
    state.SetItemsProcessed(state.iterations() * kSections * kKeysPerSection);
}
BENCHMARK(BM_TIniF_ReadEveryKey)->Unit(benchmark::kMillisecond);

}  // namespace
