// A sub-command run over a 100,000-message area, next to the floor of "finding the matching
// messages": GNU `grep -c -E` of the same subject alternation over the same message file, run
// as a program in the same process run. Read "Run" as a ratio to "GrepFloor".
//
// The area is generated here: ASCII subjects drawn from twelve words (five of them in the
// alternation), ISO-2022-JP bodies of 8 to 20 lines, one message in nine holding a Japanese
// word in its body. The command: [Or] of «Subject＝alpha|bravo|charlie|delta|echo» and
// «本文＝打ち合わせ», regular expressions and the fuzzy dictionary on; action: set the mark "+".
// The area is open (loaded and in file order) before the timing, as it is when the window runs
// a command; the run has no pause. Each iteration sets the same marks again.
#include "coding/cp932.h"
#include "coding/jis.h"
#include "select/subcmd_run.h"
#include "store/grp.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace pelorin;

constexpr int kMessages = 100000;
constexpr const char* kAlternation = "alpha|bravo|charlie|delta|echo";

const std::string& PathBase() {
    static const std::string base = [] {
        const auto dir = std::filesystem::temp_directory_path() / "pelorin-subcmd-bench";
        std::filesystem::create_directories(dir);
        const std::string pathBase = (dir / "0000001").string();
        const std::vector<std::string> words = {"alpha", "bravo",  "charlie", "delta",
                                                "echo",  "fox",    "golf",    "hotel",
                                                "india", "juliet", "kilo",    "lima"};
        const std::vector<std::string> lines = {
            SjisToJis(Sjis("お世話になっております。先日の件でご連絡いたしました。")),
            SjisToJis(Sjis("> 引用された前の記事の本文がここに入ります。")),
            "This line is plain ASCII text, as many lines are.",
            SjisToJis(Sjis("よろしくお願いいたします。")),
        };
        const std::string special = SjisToJis(Sjis("来週の打ち合わせは水曜日です。"));
        std::mt19937 rng(7);
        std::ofstream msg(pathBase + ".MSG", std::ios::binary | std::ios::trunc);
        for (int i = 0; i < kMessages; ++i) {
            std::string text = "From: user" + std::to_string(rng() % 500) +
                               "@example.jp\nSubject: note " + std::to_string(i) + " " +
                               words[rng() % words.size()] +
                               "\nDate: " + std::to_string(1 + rng() % 28) +
                               " Nov 2026 10:00:00 +0900\nMessage-ID: <" + std::to_string(i) +
                               ".s@example.jp>\n\n";
            const int n = 8 + static_cast<int>(rng() % 13);
            for (int l = 0; l < n; ++l) text += lines[rng() % lines.size()] + "\n";
            if (rng() % 9 == 0)
                text += special + "\n";
            msg << "#! rnews " << text.size() << "\n" << text;
        }
        return pathBase;
    }();
    return base;
}

TSubCommand Command() {
    TSubCommand c;
    c.conditionMode = true;
    // Appended piece by piece: GCC 12 warns (-Wrestrict) falsely on a chain of operator+.
    std::string subject = " Subject";
    subject += Sjis("＝");
    subject += kAlternation;
    std::string body = " ";
    body += Sjis("本文＝打ち合わせ");
    c.conditions = {"[Or]", subject, body};
    c.useRegEx = true;
    c.fuzzy = true;
    c.markSet = true;
    c.markItem = 1;
    return c;
}

void BM_GrepFloor(benchmark::State& state) {
    // Not to /dev/null: GNU grep then stops at the first match, as with -q.
    std::string cmd = "grep -c -E '";
    cmd += kAlternation;
    cmd += "' '";
    cmd += PathBase();
    cmd += ".MSG' > '";
    cmd += PathBase();
    cmd += ".count'";
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) {
            state.SkipWithError("grep failed");
            break;
        }
    }
}
BENCHMARK(BM_GrepFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Run(benchmark::State& state) {
    TGrp area("bench", PathBase(), "un", "bench");
    area.sortType = 0;
    area.Prepare();
    const TSubCommand cmd = Command();
    size_t matched = 0;
    for (auto _ : state) {
        TSubCmdEnv env;
        env.area = &area;
        const TSubCmdResult r = RunSubCommand(cmd, env);
        matched = r.matchedRows.size();
        benchmark::DoNotOptimize(matched);
    }
    state.counters["matched"] = static_cast<double>(matched);
}
BENCHMARK(BM_Run)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
