// The built-in fuzzy-character dictionary. See fuzzy_dictionary.h.
#include "select/fuzzy_dictionary.h"

#include "coding/cp932.h"

#include <array>
#include <string_view>

namespace pelorin {
namespace {

// Groups 26-144. Group 36 is the full-width space and the space, group 38 the double quote and
// "”", group 68 the comma, "､", "、" and "，"; group 48 ends in an empty member, which makes
// a long-vowel mark optional.
constexpr std::array<std::string_view, kFuzzyCharGroups - 26> kTexts = {
    "0,０,零",                                    // 26
    "1,１,一,①,Ⅰ,壱",                             // 27
    "2,２,二,②,Ⅱ,弐",                             // 28
    "3,３,三,③,Ⅲ,参",                             // 29
    "4,４,四,④,Ⅳ",                                // 30
    "5,５,五,⑤,Ⅴ,伍",                             // 31
    "6,６,六,⑥,Ⅵ",                                // 32
    "7,７,七,⑦,Ⅶ",                                // 33
    "8,８,八,⑧,Ⅷ",                                // 34
    "9,９,九,⑨,Ⅸ",                                // 35
    "　,\" \"",                                   // 36
    "!,！",                                       // 37
    "\"\"\"\",”",                                 // 38
    "#,＃",                                       // 39
    "$,＄",                                       // 40
    "%,％",                                       // 41
    "&,＆",                                       // 42
    "',’",                                        // 43
    "(,（",                                       // 44
    "),）",                                       // 45
    "*,＊",                                       // 46
    "+,＋",                                       // 47
    "ー,～,ｰ,",                                   // 48
    "-,ー,－,～,ｰ",                               // 49
    "･,・",                                       // 50
    "/,／",                                       // 51
    ":,：",                                       // 52
    ";,；",                                       // 53
    "<,＜",                                       // 54
    "=,＝",                                       // 55
    ">,＞",                                       // 56
    "?,？",                                       // 57
    "@,＠",                                       // 58
    "[,［,〔",                                    // 59
    "\\,￥",                                      // 60
    "],］,〕",                                    // 61
    "^,＾",                                       // 62
    "_,＿",                                       // 63
    "{,｛",                                       // 64
    "|,｜",                                       // 65
    "},｝",                                       // 66
    "~,￣",                                       // 67
    "\",\",､,、,，",                              // 68
    "｡,.,。,．",                                  // 69
    "「,『,｢",                                    // 70
    "」,』,｣",                                    // 71
    "ん,ン,ﾝ",                                    // 72
    "が,ガ,ｶﾞ,か゛,カ゛",                         // 73
    "ぎ,ギ,ｷﾞ,き゛,キ゛",                         // 74
    "ぐ,グ,ｸﾞ,く゛,ク゛",                         // 75
    "げ,ゲ,ｹﾞ,け゛,ケ゛",                         // 76
    "ご,ゴ,ｺﾞ,こ゛,コ゛",                         // 77
    "ざ,ザ,ｻﾞ,さ゛,サ゛",                         // 78
    "じ,ジ,ｼﾞ,し゛,シ゛,ぢ,ヂ,ﾁﾞ,ち゛,チ゛",      // 79
    "ず,ズ,ｽﾞ,す゛,ス゛,づ,ヅ,ﾂﾞ,つ゛,ツ゛",      // 80
    "ぜ,ゼ,ｾﾞ,せ゛,セ゛",                         // 81
    "ぞ,ゾ,ｿﾞ,そ゛,ソ゛",                         // 82
    "だ,ダ,ﾀﾞ,た゛,タ゛",                         // 83
    "で,デ,ﾃﾞ,て゛,テ゛",                         // 84
    "ど,ド,ﾄﾞ,と゛,ト゛",                         // 85
    "ば,バ,ﾊﾞ,は゛,ハ゛,ヴァ,う゛ぁ,ウ゛ァ,ｳﾞｧ",  // 86
    "び,ビ,ﾋﾞ,ひ゛,ヒ゛,ヴィ,う゛ぃ,ウ゛ィ,ｳﾞｨ",  // 87
    "ぶ,ブ,ﾌﾞ,ふ゛,フ゛,ヴ,ウ゛,う゛,ｳﾞ",         // 88
    "べ,ベ,ﾍﾞ,へ゛,ヘ゛,ヴェ,う゛ぇ,ウ゛ェ,ｳﾞｪ",  // 89
    "ぼ,ボ,ﾎﾞ,ほ゛,ホ゛,ヴォ,う゛ぉ,ウ゛ォ,ｳﾞｫ",  // 90
    "ぱ,パ,ﾊﾟ,は゜,ハ゜",                         // 91
    "ぴ,ピ,ﾋﾟ,ひ゜,ヒ゜",                         // 92
    "ぷ,プ,ﾌﾟ,ふ゜,フ゜",                         // 93
    "ぺ,ペ,ﾍﾟ,へ゜,ヘ゜",                         // 94
    "ぽ,ポ,ﾎﾟ,ほ゜,ホ゜",                         // 95
    "あ,ア,ｱ,ぁ,ァ,ｧ",                            // 96
    "い,イ,ｲ,ぃ,ィ,ｨ",                            // 97
    "う,ウ,ｳ,ぅ,ゥ,ｩ",                            // 98
    "え,エ,ｴ,ぇ,ェ,ｪ",                            // 99
    "お,オ,ｵ,ぉ,ォ,ｫ",                            // 100
    "か,カ,ｶ",                                    // 101
    "き,キ,ｷ",                                    // 102
    "く,ク,ｸ",                                    // 103
    "け,ケ,ｹ",                                    // 104
    "こ,コ,ｺ",                                    // 105
    "さ,サ,ｻ",                                    // 106
    "し,シ,ｼ",                                    // 107
    "す,ス,ｽ",                                    // 108
    "せ,セ,ｾ",                                    // 109
    "そ,ソ,ｿ",                                    // 110
    "た,タ,ﾀ",                                    // 111
    "ち,チ,ﾁ",                                    // 112
    "つ,ツ,ﾂ,っ,ッ,ｯ",                            // 113
    "て,テ,ﾃ",                                    // 114
    "と,ト,ﾄ",                                    // 115
    "な,ナ,ﾅ",                                    // 116
    "に,ニ,ﾆ",                                    // 117
    "ぬ,ヌ,ﾇ",                                    // 118
    "ね,ネ,ﾈ",                                    // 119
    "の,ノ,ﾉ",                                    // 120
    "は,ハ,ﾊ",                                    // 121
    "ひ,ヒ,ﾋ",                                    // 122
    "ふ,フ,ﾌ",                                    // 123
    "へ,ヘ,ﾍ",                                    // 124
    "ほ,ホ,ﾎ",                                    // 125
    "ま,マ,ﾏ",                                    // 126
    "み,ミ,ﾐ",                                    // 127
    "む,ム,ﾑ",                                    // 128
    "め,メ,ﾒ",                                    // 129
    "も,モ,ﾓ",                                    // 130
    "や,ヤ,ﾔ,ゃ,ャ,ｬ",                            // 131
    "ゆ,ユ,ﾕ,ゅ,ュ,ｭ",                            // 132
    "よ,ヨ,ﾖ,ょ,ョ,ｮ",                            // 133
    "ら,ラ,ﾗ",                                    // 134
    "り,リ,ﾘ",                                    // 135
    "る,ル,ﾙ",                                    // 136
    "れ,レ,ﾚ",                                    // 137
    "ろ,ロ,ﾛ",                                    // 138
    "わ,ワ,ﾜ,うぁ,ウァ,ｳｧ",                       // 139
    "ヰ,ゐ,うぃ,ウィ,ｳｨ",                         // 140
    "ヱ,ゑ,うぇ,ウェ,ｳｪ",                         // 141
    "を,ヲ,ｦ,うぉ,ウォ,ｳｫ",                       // 142
    "ﾞ,゛",                                       // 143
    "ﾟ,゜",                                       // 144
};

// Group k (0-25) of the letters: full-width capital, full-width small, ASCII capital, small.
std::string LetterGroupUtf8(size_t k) {
    static constexpr std::string_view kCapitals =
        "ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺ";
    static constexpr std::string_view kSmalls =
        "ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ";
    // Every full-width letter is three bytes of UTF-8.
    std::string text(kCapitals.substr(3 * k, 3));
    text += ',';
    text += kSmalls.substr(3 * k, 3);
    text += ',';
    text += static_cast<char>('A' + k);
    text += ',';
    text += static_cast<char>('a' + k);
    return text;
}

}  // namespace

std::vector<std::string> FuzzyCharTextsUtf8() {
    std::vector<std::string> texts;
    texts.reserve(kFuzzyCharGroups);
    for (size_t k = 0; k < 26; ++k) texts.push_back(LetterGroupUtf8(k));
    for (std::string_view t : kTexts) texts.emplace_back(t);
    return texts;
}

const TREDictionary& FuzzyCharDictionary() {
    static const TREDictionary dictionary = [] {
        TREDictionary d;
        for (const std::string& text : FuzzyCharTextsUtf8()) d.AddCommaText(Sjis(text));
        return d;
    }();
    return dictionary;
}

}  // namespace pelorin
