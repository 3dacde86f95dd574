// Find and the existence test against the brute-force oracle of tests/support: random short
// patterns over a small alphabet (with double-byte characters whose second byte is "A", "\"
// or "|") on random subjects, and every small pattern over a few atoms on every short text.
#include "support/re_oracle.h"
#include "support/testing.h"

#include "select/awkstr.h"
#include "select/re_error.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

namespace pelorin {
namespace {

using testing::Hex;
using testing::S;

// Checks one pattern on one text with the given separators; false at a disagreement.
bool Agree(TAWKStr& re,
           const testing::RegexOracle& oracle,
           const std::string& pattern,
           const std::string& text,
           std::initializer_list<TMatchCORELineSeparator> separators = {mcls_CRLF, mcls_LF}) {
    for (auto sep : separators) {
        re.SetLineSeparator(sep);
        auto expected = oracle.Find(text, sep == mcls_LF ? '\n' : '\r');
        size_t pos = 0, len = 0;
        re.Find(text, pos, len);
        bool exists = re.Exists(text);
        if (pos != expected.position || len != expected.length || exists != (pos > 0)) {
            ADD_FAILURE() << "pattern [" << Hex(pattern) << "] text [" << Hex(text) << "] sep "
                          << (sep == mcls_LF ? "LF" : "CRLF") << ": Find " << pos << "," << len
                          << " Exists " << exists << ", oracle " << expected.position << ","
                          << expected.length;
            return false;
        }
    }
    return true;
}

// Compiles with the engine and the oracle; both must agree on whether the pattern is valid.
bool Compile(TAWKStr& re, const std::string& pattern) {
    bool engine_ok = true;
    try {
        re.SetRegExp(pattern);
    } catch (const ERegExpParser&) {
        engine_ok = false;
    }
    bool oracle_ok = testing::RegexOracle(pattern).Valid();
    EXPECT_EQ(engine_ok, oracle_ok) << "pattern [" << Hex(pattern) << "]";
    return engine_ok && oracle_ok;
}

TEST(Differential, RandomPatternsAgreeWithTheOracle) {
    const std::vector<std::string> pieces = {
        "a",    "b",    "A",          S("ア"),  S("ソ"), S("ポ"), "\\\\",  "\\|",  ".",  "^",
        "$",    "|",    "|",          "(",      ")",     "(",     ")",     "*",    "+",  "?",
        "[ab]", "[^a]", S("[ア-ポ]"), "[^\\n]", "\\n",   "\\r",   "\\x41", "[A-]", "()",
    };
    const std::vector<std::string> chars = {"a", "b",  "A",  S("ア"), S("ソ"), S("ポ"), "\\",
                                            "|", "\r", "\n", "^",     "$",     "\xB1"};
    std::mt19937 rng(20240611);
    TAWKStr re;
    int valid = 0;
    int failures = 0;
    for (int round = 0; round < 6000 && failures < 5; ++round) {
        std::string pattern;
        for (int n = static_cast<int>(rng() % 7) + 1; n > 0; --n)
            pattern += pieces[rng() % pieces.size()];
        if (!Compile(re, pattern))
            continue;
        ++valid;
        const testing::RegexOracle oracle(pattern);
        for (int t = 0; t < 12; ++t) {
            std::string text;
            for (int n = static_cast<int>(rng() % 9); n > 0; --n)
                text += chars[rng() % chars.size()];
            if (rng() % 8 == 0)
                text += '\x83';  // a lead byte as the last byte
            if (!Agree(re, oracle, pattern, text)) {
                ++failures;
                break;
            }
        }
    }
    EXPECT_GT(valid, 1500);
}

// Longer texts exercise the skipping of the existence test (SIMD blocks of 16 bytes, probes
// that meet second bytes): words, pairs and anchors over text full of double-byte characters
// whose second byte is a letter or an operator.
TEST(Differential, LongTextsAndSkipping) {
    const std::vector<std::string> patterns = {
        "ab",         "Aw",        "wz",      S("アイ"), S("会議"), "a.*b",  "^Re",
        "x$",         S("てす"),   "a|Aw|wz", "[0-9]+",  "J[A-Z]",  "@ex",   "^$",
        S("[ア-ソ]"), S("ソ\\\\"), "\\\\",    "k+e",     "(ab|b)c", "^A|z$", S("亜")};
    const std::vector<std::string> chars = {
        "a",     "b",     "w",     "z",     "x",     "A",     "R",     "e",
        "@",     "c",     "k",     "1",     " ",     "\\",    "\r",    "\n",
        S("ア"), S("カ"), S("ク"), S("ソ"), S("ポ"), S("ヘ"), S("ホ"), S("イ"),
        S("て"), S("す"), S("亜"), S("会"), S("議"), S("ぁ"), "\xB1"};
    std::mt19937 rng(77);
    TAWKStr re;
    int failures = 0;
    for (const std::string& pattern : patterns) {
        for (bool fuzzy : {false, true}) {
            re.SetUseFuzzyCharDic(fuzzy);
            ASSERT_TRUE(Compile(re, pattern));
            // The oracle reads the pattern as compiled, after expansion.
            std::string expanded = re.TESTING_CachedText(re.TESTING_CurrentIndex());
            const testing::RegexOracle oracle(expanded);
            for (int t = 0; t < 40 && failures < 5; ++t) {
                std::string text;
                // Mostly filler that leaves the start state alone, some interesting bytes.
                for (int n = static_cast<int>(rng() % 120) + 10; n > 0; --n)
                    text += chars[rng() % 3 == 0 ? rng() % chars.size() : 16 + rng() % 15];
                if (!Agree(re, oracle, expanded, text))
                    ++failures;
            }
        }
    }
}

// All patterns of up to 3 atoms and up to 2 operators (postfix or "|") over the atoms, on
// every short text (each pattern with one of the two separators, in turn).
TEST(Differential, SmallPatternsExhaustively) {
    const std::vector<std::string> atoms = {"a", S("ア"), "\xB1", ".", "^", "$"};
    const std::vector<std::string> postfix = {"", "*", "+", "?"};
    // Every text of up to 3 characters over a, ア and LF, and of up to 2 with CR as well.
    std::vector<std::string> texts = {""};
    for (size_t len = 1, from = 0; len <= 3; ++len) {
        size_t to = texts.size();
        for (size_t i = from; i < to; ++i) {
            for (const std::string& c : {std::string("a"), S("ア"), std::string("\n")})
                texts.push_back(texts[i] + c);
        }
        from = to;
    }
    for (const std::string& a : {std::string(""), std::string("a"), S("ア"), std::string("\n")})
        texts.push_back(a + "\r");
    for (const std::string& b : {std::string("a"), S("ア"), std::string("\n")})
        texts.push_back("\r" + b);
    texts.push_back("\r\r");

    struct Partial {
        std::string text;
        int atoms;
        int ops;
    };
    std::vector<std::string> patterns;
    std::vector<Partial> work = {{"", 0, 0}};
    while (!work.empty()) {
        Partial p = work.back();
        work.pop_back();
        if (p.atoms == 3)
            continue;
        for (const std::string& a : atoms) {
            for (size_t k = 0; k < postfix.size(); ++k) {
                int ops = p.ops + (k > 0 ? 1 : 0);
                for (int bar = 0; bar < (p.atoms > 0 ? 2 : 1); ++bar) {
                    if (ops + bar > 2)
                        continue;
                    Partial next{p.text + (bar ? "|" : "") + a + postfix[k], p.atoms + 1,
                                 ops + bar};
                    patterns.push_back(next.text);
                    work.push_back(next);
                }
            }
        }
    }
    TAWKStr re;
    int failures = 0;
    for (size_t i = 0; i < patterns.size(); ++i) {
        ASSERT_TRUE(Compile(re, patterns[i]));
        const testing::RegexOracle oracle(patterns[i]);
        auto sep = i % 2 ? mcls_LF : mcls_CRLF;
        for (const std::string& text : texts) {
            if (!Agree(re, oracle, patterns[i], text, {sep}) && ++failures >= 5)
                return;
        }
    }
    EXPECT_EQ(patterns.size(), 13380u);
}

}  // namespace
}  // namespace pelorin
