// Find and the existence test of the regular-expression engine on the subjects and bodies of
// a generated 100,000-message area, next to RE2 (longest-match mode) on the same texts in
// UTF-8. Ten patterns typical of filters. Bytes processed count the Shift_JIS texts for every
// variant, so MB/s compare the same messages and the ratio of two rates is a time ratio.
// The "matches" counter is the number of matching messages (the same for every variant).
#include "area_corpus.h"

#include "coding/cp932.h"
#include "select/awkstr.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <re2/re2.h>
#include <string>
#include <vector>

namespace pelorin::bench {
namespace {

struct Case {
    const char* name;
    const char* pattern;  // UTF-8 text of the pattern for the engine
    bool fuzzy;
    const char* re2;  // the same pattern for RE2; nullptr: the engine's (expanded) text
};

// "." of the engine excludes NUL, CR and LF; RE2 gets that class spelled out, and "^" of the
// engine starts every line, which is RE2's multi-line mode.
const Case kCases[] = {
    {"word", "kernel", false, nullptr},
    {"alt5", "spam|virus|casino|lottery|winner", false, nullptr},
    {"re_prefix", "^Re:", false, "(?m)^Re:"},
    {"class", "[０-９]+", false, nullptr},
    {"a_dot_star_b", "a.*b", false, "a[^\\x00\\r\\n]*b"},
    {"fuzzy_jp", "テスト", true, nullptr},
    {"jp_word", "会議", false, nullptr},
    {"address", "@example\\.com", false, nullptr},
    {"quote_line", "^>", false, "(?m)^>"},
    {"fuzzy_ascii", "linux", true, nullptr},
};

std::unique_ptr<TAWKStr> Engine(const Case& c) {
    auto re = std::make_unique<TAWKStr>();
    re->SetUseFuzzyCharDic(c.fuzzy);
    re->SetRegExp(Sjis(c.pattern));
    return re;
}

std::unique_ptr<RE2> Baseline(const Case& c) {
    std::string pattern;
    if (c.re2) {
        pattern = c.re2;
    } else {
        TREPreProcessor p;
        p.UseFuzzyCharDic = c.fuzzy;
        pattern = cp932::ToUtf8(p.ExpandPattern(Sjis(c.pattern)));
    }
    RE2::Options options;
    options.set_longest_match(true);
    auto re = std::make_unique<RE2>(pattern, options);
    if (!re->ok())
        throw std::runtime_error("RE2 rejects " + pattern);
    return re;
}

enum class Field { Subject, Body };
enum class Variant { Find, Exists, Re2Match, Re2Exists };

void Run(benchmark::State& state, const Case& c, Field field, Variant variant) {
    const AreaCorpus& corpus = Corpus();
    const auto& sjis = (field == Field::Subject ? corpus.subjects : corpus.bodies).items;
    const auto& utf8 = (field == Field::Subject ? corpus.subjects_utf8 : corpus.bodies_utf8).items;
    const size_t bytes = (field == Field::Subject ? corpus.subjects : corpus.bodies).buffer.size();
    auto engine = Engine(c);
    auto baseline = Baseline(c);
    size_t matches = 0;
    for (auto _ : state) {
        matches = 0;
        switch (variant) {
            case Variant::Find:
                for (std::string_view t : sjis) {
                    size_t pos, len;
                    matches += engine->Find(t, pos, len) > 0;
                }
                break;
            case Variant::Exists:
                for (std::string_view t : sjis) matches += engine->Exists(t);
                break;
            case Variant::Re2Match:
                for (std::string_view t : utf8) {
                    re2::StringPiece m;
                    matches += baseline->Match(t, 0, t.size(), RE2::UNANCHORED, &m, 1);
                }
                break;
            case Variant::Re2Exists:
                for (std::string_view t : utf8) matches += RE2::PartialMatch(t, *baseline);
                break;
        }
        benchmark::DoNotOptimize(matches);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["matches"] = static_cast<double>(matches);
}

int Register() {
    for (const Case& c : kCases) {
        for (Field f : {Field::Subject, Field::Body}) {
            const std::string field = f == Field::Subject ? "subject" : "body";
            const std::pair<Variant, const char*> variants[] = {{Variant::Find, "Find"},
                                                                {Variant::Exists, "Exists"},
                                                                {Variant::Re2Match, "RE2_Match"},
                                                                {Variant::Re2Exists, "RE2_Exists"}};
            for (auto [v, name] : variants) {
                benchmark::RegisterBenchmark(
                    (std::string(name) + "/" + c.name + "/" + field).c_str(),
                    [&c, f, v = v](benchmark::State& s) { Run(s, c, f, v); })
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
    return 0;
}

const int registered = Register();

}  // namespace
}  // namespace pelorin::bench
