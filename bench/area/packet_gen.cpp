#include "packet_gen.h"

#include "coding/base64.h"
#include "coding/cp932.h"
#include "coding/jis.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace pelorin::bench {
namespace {

std::string Word(const std::string& sjis) {
    return "=?ISO-2022-JP?B?" + Base64Encode(SjisToJis(sjis)) + "?=";
}

}  // namespace

GeneratedArea GenerateArea(const std::string& directory,
                           int messages,
                           bool withIndex,
                           unsigned seed) {
    std::filesystem::create_directories(directory);
    GeneratedArea area;
    area.directory = directory;
    area.pathBase = directory + "/0000001";
    const std::vector<std::string> topics = {
        Sjis("来週の打ち合わせについて"),   Sjis("日本語の文字化けの件"),
        Sjis("オフラインで読むときのコツ"), Sjis("新しい版の案内"),
        "Question about SOUP packets",      Sjis("忘年会のお知らせ"),
    };
    const std::vector<std::string> names = {Sjis("山田 太郎"), Sjis("鈴木 花子"), Sjis("田中 一郎"),
                                            "John Smith"};
    const std::vector<std::string> body = {
        SjisToJis(Sjis("お世話になっております。先日の件でご連絡いたしました。")),
        SjisToJis(Sjis("> 引用された前の記事の本文がここに入ります。")),
        "This line is plain ASCII text, as many lines are.",
        SjisToJis(Sjis("よろしくお願いいたします。")),
    };
    std::mt19937 rng(seed);
    std::ofstream msg(area.pathBase + ".MSG", std::ios::binary | std::ios::trunc);
    std::ofstream idx;
    if (withIndex)
        idx.open(area.pathBase + ".IDX", std::ios::binary | std::ios::trunc);
    long long pos = 0;
    for (int i = 0; i < messages; ++i) {
        const int topic = static_cast<int>(rng() % topics.size());
        const bool reply = i > 0 && rng() % 3 != 0;
        const int parent = reply ? i - 1 - static_cast<int>(rng() % std::min(i, 200)) : -1;
        std::string subject_text;
        if (reply)
            subject_text = "Re: ";
        subject_text += topics[static_cast<size_t>(topic)];
        std::string subject = Word(subject_text);
        std::string from = Word(names[rng() % names.size()]);
        from.append(" <user").append(std::to_string(rng() % 500)).append("@example.jp>");
        char date[64];
        std::snprintf(date, sizeof date, "%d %s 2026 %02d:%02d:%02d +0900",
                      1 + static_cast<int>(rng() % 28), (rng() % 2) ? "Nov" : "Dec",
                      static_cast<int>(rng() % 24), static_cast<int>(rng() % 60),
                      static_cast<int>(rng() % 60));
        std::string id = "<" + std::to_string(i) + ".bench@example.jp>";
        std::string refs = parent >= 0 ? "<" + std::to_string(parent) + ".bench@example.jp>" : "";
        std::string text = "Path: news.example.jp!not-for-mail\nFrom: " + from +
                           "\nNewsgroups: pelorin.bench" +
                           std::string(rng() % 10 ? "" : ",pelorin.test") +
                           "\nSubject: " + subject + "\nDate: " + date + "\nMessage-ID: " + id +
                           (refs.empty() ? "" : "\nReferences: " + refs) +
                           "\nMime-Version: 1.0\nContent-Type: text/plain; charset=ISO-2022-JP\n\n";
        const int lines = 5 + static_cast<int>(rng() % 30);
        for (int l = 0; l < lines; ++l) text += body[rng() % body.size()] + "\n";
        char frame[32];
        std::snprintf(frame, sizeof frame, "#! rnews %.8zu\n", text.size());
        msg << frame << text;
        const long long offset = pos + static_cast<long long>(std::string(frame).size());
        pos = offset + static_cast<long long>(text.size());
        if (withIndex) {
            idx << offset << '\t' << subject << '\t' << from << '\t' << date << '\t' << id << '\t'
                << refs << '\t' << text.size() << '\t' << (lines + 9) << '\t' << (i + 1) << '\n';
        }
    }
    area.msgBytes = pos;
    std::ofstream areas(directory + "/AREAS", std::ios::binary | std::ios::trunc);
    areas << "0000001\tpelorin.bench\t" << (withIndex ? "uc" : "un") << "\n";
    return area;
}

}  // namespace pelorin::bench
