// The generated area of area_corpus.h. Messages mix Japanese prose (kanji, hiragana, katakana,
// a little half-width katakana), English words, addresses, URLs, quoted lines and signatures,
// in proportions like those of a mailing-list area.
#include "area_corpus.h"

#include "coding/cp932.h"

#include <random>

namespace pelorin::bench {
namespace {

constexpr size_t kMessages = 100000;

std::vector<std::string> Words(std::initializer_list<const char*> utf8) {
    std::vector<std::string> out;
    for (const char* w : utf8) out.push_back(Sjis(w));
    return out;
}

// Lays the texts out one after another, in Shift_JIS and in UTF-8.
void Pack(const std::vector<std::string>& texts, Texts& sjis, Texts& utf8) {
    std::vector<std::string> converted;
    for (const std::string& t : texts) {
        sjis.buffer += t;
        converted.push_back(cp932::ToUtf8(t));
        utf8.buffer += converted.back();
    }
    size_t a = 0;
    size_t b = 0;
    for (size_t i = 0; i < texts.size(); ++i) {
        sjis.items.emplace_back(sjis.buffer.data() + a, texts[i].size());
        utf8.items.emplace_back(utf8.buffer.data() + b, converted[i].size());
        a += texts[i].size();
        b += converted[i].size();
    }
}

AreaCorpus Build() {
    const auto japanese = Words({
        "今日は",
        "明日の",
        "会議",
        "について",
        "お知らせ",
        "します。",
        "よろしく",
        "お願いします。",
        "確認",
        "してください。",
        "資料",
        "を送ります。",
        "問題",
        "が",
        "あります。",
        "解決",
        "しました。",
        "新しい",
        "バージョン",
        "リリース",
        "サーバ",
        "の設定",
        "メール",
        "ニュース",
        "記事",
        "返信",
        "ありがとうございます。",
        "それでは、",
        "試験",
        "データ",
        "ファイル",
        "添付",
        "プログラム",
        "動作",
        "環境",
        "以下の",
        "通り",
        "です。",
        "ですが、",
        "思います。",
        "ﾃｽﾄ",
        "テスト",
        "てすと",
        "予定",
        "日本語",
        "文字化け",
        "漢字",
        "表示",
        "検索",
        "条件",
        "東京",
        "大阪",
        "参加",
        "申し込み",
        "２０２４年",
        "３月",
        "１５日",
        "ソフト",
        "ポート",
        "表計算",
        "能力",
        "構成",
        "ダウンロード",
        "、",
        "。",
    });
    const auto english = Words({
        "the",     "kernel", "patch",  "release", "Linux",   "build",   "error",
        "warning", "mail",   "server", "client",  "version", "update",  "report",
        "bug",     "fix",    "test",   "about",   "network", "package", "Debian",
        "config",  "spam",   "virus",  "archive", "list",
    });
    const auto tags = Words({"[ml:", "[dev:", "[info:", "[users:"});
    const auto names = Words({"tanaka", "suzuki", "sato", "yamada", "kobayashi", "ito"});

    std::mt19937 rng(4242);
    auto pick = [&](const std::vector<std::string>& v) -> const std::string& {
        return v[rng() % v.size()];
    };
    auto sentence = [&](std::string& out, int words) {
        for (int w = 0; w < words; ++w) {
            if (rng() % 6 == 0) {
                out += ' ';
                out += pick(english);
                out += ' ';
            } else {
                out += pick(japanese);
            }
        }
    };

    std::vector<std::string> subjects;
    std::vector<std::string> bodies;
    subjects.reserve(kMessages);
    bodies.reserve(kMessages);
    for (size_t i = 0; i < kMessages; ++i) {
        std::string subject;
        if (rng() % 3 == 0)
            subject += "Re: ";
        if (rng() % 2 == 0)
            subject += pick(tags) + std::to_string(rng() % 9000 + 1000) + "] ";
        sentence(subject, static_cast<int>(rng() % 5) + 2);
        subjects.push_back(subject);

        std::string body;
        const std::string& name = pick(names);
        if (rng() % 2 == 0) {
            body += name + "@example.org" + Sjis(" さんは書きました：") + "\r\n";
            for (int q = static_cast<int>(rng() % 4); q > 0; --q) {
                body += "> ";
                sentence(body, static_cast<int>(rng() % 6) + 3);
                body += "\r\n";
            }
            body += "\r\n";
        }
        for (int line = static_cast<int>(rng() % 12) + 3; line > 0; --line) {
            sentence(body, static_cast<int>(rng() % 9) + 4);
            if (rng() % 40 == 0)
                body += " http://www.example.jp/~" + name + "/index.html";
            body += "\r\n";
        }
        body += "-- \r\n" + name + "@example.com\r\n";
        bodies.push_back(body);
    }
    AreaCorpus c;
    Pack(subjects, c.subjects, c.subjects_utf8);
    Pack(bodies, c.bodies, c.bodies_utf8);
    return c;
}

}  // namespace

const AreaCorpus& Corpus() {
    static const AreaCorpus corpus = Build();
    return corpus;
}

}  // namespace pelorin::bench
