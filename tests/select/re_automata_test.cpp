// The stages between parse tree and matcher: disjoint classes, the NFA's line-anchor rules
// and the DFA's sorted transitions.
#include "select/re_alphabet.h"
#include "select/re_dfa.h"
#include "select/re_nfa.h"
#include "select/re_parser.h"
#include "select/re_program.h"

#include <gtest/gtest.h>
#include <string>

namespace pelorin {
namespace {

TEST(Alphabet, OverlappingLeavesBecomeDisjointClasses) {
    TREParser parser("[a-c]|b|[b-z]");
    parser.Run();
    TREAlphabet alphabet(parser.Tree(), 0);
    // a | b | c | d-z, each its own class, and the fixed classes around NUL, LF and CR.
    EXPECT_NE(alphabet.ClassOf('a'), alphabet.ClassOf('b'));
    EXPECT_NE(alphabet.ClassOf('b'), alphabet.ClassOf('c'));
    EXPECT_NE(alphabet.ClassOf('c'), alphabet.ClassOf('d'));
    EXPECT_EQ(alphabet.ClassOf('d'), alphabet.ClassOf('z'));
    EXPECT_EQ(alphabet.Codes(alphabet.ClassOf('q')), (re::CodeRange{'d', 'z'}));
    EXPECT_NE(alphabet.ClassOf('\n'), alphabet.ClassOf('\r'));
    EXPECT_EQ(alphabet.ClassOf(0x8140), alphabet.ClassOf(0xFCFC));  // untouched codes share
    EXPECT_EQ(alphabet.PageClasses(0x88).size(), 1u);
    EXPECT_EQ(alphabet.PageIndex(0x88), alphabet.PageIndex(0x99));
}

TEST(Nfa, LineAnchorsOnlyAtTheEnds) {
    auto flags = [](std::string_view pattern) {
        TREParser parser(pattern);
        TRENodeId root = parser.Run();
        TREAlphabet alphabet(parser.Tree(), 0);
        TRE_NFA nfa(parser.Tree(), root, alphabet, 0);
        return std::string(nfa.UsesLineStart() ? "^" : "-") + (nfa.UsesLineEnd() ? "$" : "-");
    };
    EXPECT_EQ(flags("^a$"), "^$");
    EXPECT_EQ(flags("a^b"), "--");
    EXPECT_EQ(flags("a$b"), "--");
    EXPECT_EQ(flags("(^a|b)c"), "^-");
    EXPECT_EQ(flags("(a$)*"), "--");
    EXPECT_EQ(flags("a$?"), "-$");
    EXPECT_EQ(flags("a$()"), "--");
    EXPECT_EQ(flags("\\xfffd"), "--");  // a pattern character, never a pseudo one

    TREParser parser("ab");
    TRENodeId root = parser.Run();
    TREAlphabet alphabet(parser.Tree(), 0);
    TRE_NFA nfa(parser.Tree(), root, alphabet, 0);
    EXPECT_EQ(nfa.Dump(), "0: 61->2\n1:\n2: 62->1\n");
}

TEST(Dfa, TransitionsAreSortedAndDisjoint) {
    TREProgram program("[a-c]x|b");
    const TRE_DFA& dfa = program.Dfa();
    auto t = dfa.Transitions(TRE_DFA::Start());
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].low, unsigned{'a'});
    EXPECT_EQ(t[0].high, unsigned{'a'});
    EXPECT_EQ(t[1].low, unsigned{'b'});
    EXPECT_EQ(t[2].low, unsigned{'c'});
    EXPECT_EQ(t[0].target, t[2].target);  // a and c lead to the same state, b elsewhere
    EXPECT_NE(t[0].target, t[1].target);
    EXPECT_TRUE(dfa.Accepting(t[1].target));
    EXPECT_FALSE(dfa.Accepting(t[0].target));
    EXPECT_EQ(dfa.NextByCode(TRE_DFA::Start(), 'd'), TRE_DFA::kNone);

    TREProgram anchored("^a$");
    const TRE_DFA& d2 = anchored.Dfa();
    auto t2 = d2.Transitions(TRE_DFA::Start());
    ASSERT_EQ(t2.size(), 1u);
    EXPECT_EQ(t2[0].low, 0xFFFDu);  // only the line-start transition leaves the start
    int32_t after_a = d2.NextByCode(t2[0].target, 'a');
    ASSERT_NE(after_a, TRE_DFA::kNone);
    EXPECT_NE(d2.LineEndTarget(after_a), TRE_DFA::kNone);
    EXPECT_FALSE(d2.Accepting(after_a));
}

}  // namespace
}  // namespace pelorin
