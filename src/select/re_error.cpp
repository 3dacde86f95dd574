// Messages of ERegExpParser, written as UTF-8 and converted to Shift_JIS on first use.
#include "select/re_error.h"

#include "coding/cp932.h"

#include <array>

namespace pelorin {
namespace {

constexpr size_t kKinds = static_cast<size_t>(TREError::TooComplex) + 1;

constexpr std::array<std::string_view, kKinds> kUtf8 = {
    "不正な２バイト文字コードです。",
    "\"\\\"の次には文字が必要です。",
    "不正な１６進数コード表記です。",
    "不正な８進数コード表記です。",
    "右ブラケット\"]\"が必要です",
    "不正なキャラクタ範囲です",
    "不正なキャラクタクラス指定です。",
    "右(閉じ)括弧が必要です",
    "普通の文字、または左括弧\"(\"が必要です",
    "正規表現に余分な文字があります",
    "括弧の入れ子が深すぎます",
    "正規表現が複雑すぎます（オートマトンの状態数が上限を超えます）",
};

const std::array<std::string, kKinds>& SjisTable() {
    static const std::array<std::string, kKinds> table = [] {
        std::array<std::string, kKinds> t;
        for (size_t i = 0; i < kKinds; ++i) t[i] = Sjis(kUtf8[i]);
        return t;
    }();
    return table;
}

}  // namespace

std::string_view TREErrorUtf8(TREError kind) {
    return kUtf8[static_cast<size_t>(kind)];
}

const std::string& TREErrorText(TREError kind) {
    return SjisTable()[static_cast<size_t>(kind)];
}

ERegExpParser::ERegExpParser(TREError kind, size_t position)
    : std::runtime_error(TREErrorText(kind))
    , kind_(kind)
    , position_(position) {}

const std::string& TREFatalTreeText() {
    static const std::string text = Sjis("TREParseTree : 致命的エラー");
    return text;
}

}  // namespace pelorin
