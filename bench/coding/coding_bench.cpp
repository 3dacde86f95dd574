// Speed of the text converters on a few MB of generated Japanese mail, line by line as the
// program converts it, against glibc iconv converting the same lines (ISO-2022-JP <-> CP932)
// in the same run. Read the results as ratios of bytes per second.
#include "coding/base64.h"
#include "coding/cp932.h"
#include "coding/jis.h"

#include <benchmark/benchmark.h>
#include <iconv.h>
#include <random>
#include <string>
#include <vector>

namespace {

using pelorin::Sjis;

// Lines typical of Japanese mail and news: quoted text, mixed kanji, kana and ASCII, some
// pure ASCII. Built from UTF-8 sentences through the codec.
const std::vector<std::string>& SjisLines() {
    static const std::vector<std::string> lines = [] {
        const std::vector<std::string> sentences = {
            Sjis("お世話になっております。先日の打ち合わせの件でご連絡いたしました。"),
            Sjis("> 来週の会議は火曜日の午後二時からに変更になりました。"),
            Sjis("添付ファイルをご確認のうえ、ご意見をお聞かせください。"),
            Sjis("Re: [pelorin-users 0123] 日本語の件名が正しく表示されない問題について"),
            "This line is plain ASCII, as many lines of signatures and quoted code are.",
            Sjis("よろしくお願いいたします。 -- 山田 太郎 <taro@example.jp>"),
            Sjis("ﾃｽﾄ用の半角カナも少し混ざっています。①②③、～、－も。"),
            "",
        };
        std::mt19937 rng(42);
        std::vector<std::string> out;
        size_t total = 0;
        while (total < 4 * 1024 * 1024) {
            const std::string& s = sentences[rng() % sentences.size()];
            out.push_back(s);
            total += s.size() + 1;
        }
        return out;
    }();
    return lines;
}

const std::vector<std::string>& JisLines() {
    static const std::vector<std::string> lines = [] {
        std::vector<std::string> out;
        for (const auto& l : SjisLines()) out.push_back(pelorin::SjisToJis(l));
        return out;
    }();
    return lines;
}

size_t TotalBytes(const std::vector<std::string>& lines) {
    size_t n = 0;
    for (const auto& l : lines) n += l.size();
    return n;
}

// One iconv conversion of a line into a reused buffer, the converter reset per line.
void IconvLine(iconv_t cd, const std::string& line, std::string& out) {
    out.resize(line.size() * 2 + 16);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(line.data());
    size_t src_left = line.size();
    char* dst = out.data();
    size_t dst_left = out.size();
    iconv(cd, &src, &src_left, &dst, &dst_left);
    iconv(cd, nullptr, nullptr, &dst, &dst_left);
    out.resize(out.size() - dst_left);
}

void BM_JisToSjis(benchmark::State& state) {
    const auto& lines = JisLines();
    for (auto _ : state) {
        for (const auto& l : lines) benchmark::DoNotOptimize(pelorin::JisToSjis(l));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes(lines)));
}
BENCHMARK(BM_JisToSjis)->Unit(benchmark::kMillisecond);

void BM_Iconv_Iso2022JpToCp932(benchmark::State& state) {
    const auto& lines = JisLines();
    iconv_t cd = iconv_open("CP932", "ISO-2022-JP");
    std::string out;
    for (auto _ : state) {
        for (const auto& l : lines) {
            IconvLine(cd, l, out);
            benchmark::DoNotOptimize(out.data());
        }
    }
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes(lines)));
}
BENCHMARK(BM_Iconv_Iso2022JpToCp932)->Unit(benchmark::kMillisecond);

void BM_SjisToJis(benchmark::State& state) {
    const auto& lines = SjisLines();
    for (auto _ : state) {
        for (const auto& l : lines) benchmark::DoNotOptimize(pelorin::SjisToJis(l));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes(lines)));
}
BENCHMARK(BM_SjisToJis)->Unit(benchmark::kMillisecond);

void BM_Iconv_Cp932ToIso2022Jp(benchmark::State& state) {
    // iconv cannot write half-width katakana in ISO-2022-JP; give it the full-width text that
    // SjisToJis writes, so both convert the same characters.
    std::vector<std::string> lines;
    for (const auto& l : JisLines()) lines.push_back(pelorin::JisToSjis(l));
    iconv_t cd = iconv_open("ISO-2022-JP", "CP932");
    std::string out;
    for (auto _ : state) {
        for (const auto& l : lines) {
            IconvLine(cd, l, out);
            benchmark::DoNotOptimize(out.data());
        }
    }
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes(lines)));
}
BENCHMARK(BM_Iconv_Cp932ToIso2022Jp)->Unit(benchmark::kMillisecond);

// Base64 bodies as they arrive: 76-character lines.
const std::vector<std::string>& Base64Lines() {
    static const std::vector<std::string> lines = [] {
        std::string bytes;
        for (const auto& l : SjisLines()) bytes += l;
        std::string b64 = pelorin::Base64Encode(bytes);
        std::vector<std::string> out;
        for (size_t i = 0; i < b64.size(); i += 76) out.push_back(b64.substr(i, 76));
        return out;
    }();
    return lines;
}

void BM_Base64Decode(benchmark::State& state) {
    const auto& lines = Base64Lines();
    for (auto _ : state) {
        for (const auto& l : lines) benchmark::DoNotOptimize(pelorin::Base64Decode(l));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes(lines)));
}
BENCHMARK(BM_Base64Decode)->Unit(benchmark::kMillisecond);

// Floor for every line-by-line converter: copying each line into a new string.
void BM_CopyLines(benchmark::State& state) {
    const auto& lines = Base64Lines();
    for (auto _ : state) {
        for (const auto& l : lines) benchmark::DoNotOptimize(std::string(l));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes(lines)));
}
BENCHMARK(BM_CopyLines)->Unit(benchmark::kMillisecond);

}  // namespace
