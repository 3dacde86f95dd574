// The condition tree: editing (AddAnd, AddOr, DeleteNode), normalisation, rows for display,
// leaf splitting and evaluation order.
#include "select/match_help.h"

#include "support/testing.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace pelorin {
namespace {

using testing::S;
using Lines = std::vector<std::string>;

// Lines written in UTF-8 ("＝" and friends), converted.
Lines L(std::initializer_list<const char*> utf8) {
    Lines out;
    for (const char* l : utf8) out.push_back(S(l));
    return out;
}

TEST(ConditionTree, AddAndAndAddOrWrapOrJoin) {
    TMatchHelp m;
    m.AddAnd(-1, S("A＝1"));
    EXPECT_EQ(m.Conditions(), L({"A＝1"}));
    m.AddAnd(0, S("B＝2"));
    EXPECT_EQ(m.Conditions(), L({"[And]", " A＝1", " B＝2"}));
    m.AddOr(2, S("C＝3"));
    EXPECT_EQ(m.Conditions(), L({"[And]", " A＝1", " [Or]", "  B＝2", "  C＝3"}));
    // A leaf whose parent is "[And]" joins that group as its last child.
    m.AddAnd(1, S("D＝4"));
    EXPECT_EQ(m.Conditions(), L({"[And]", " A＝1", " [Or]", "  B＝2", "  C＝3", " D＝4"}));
    // So does a leaf inside the "[Or]" for AddOr; the group itself takes AddOr too.
    m.AddOr(3, S("E＝5"));
    m.AddOr(2, S("F＝6"));
    EXPECT_EQ(m.Conditions(),
              L({"[And]", " A＝1", " [Or]", "  B＝2", "  C＝3", "  E＝5", "  F＝6", " D＝4"}));
    // Outside the list nothing happens.
    m.AddAnd(99, S("G＝7"));
    m.AddAnd(-1, S("G＝7"));
    EXPECT_EQ(m.Conditions().size(), 8u);
    // Wrapping the root.
    m.AddOr(0, S("H＝8"));
    EXPECT_EQ(m.Conditions()[0], "[Or]");
    EXPECT_EQ(m.Conditions()[1], " [And]");
    EXPECT_EQ(m.Conditions().back(), S(" H＝8"));
}

TEST(ConditionTree, DeleteAndNormalize) {
    TMatchHelp m;
    m.SetConditions(L({"[And]", " A＝1", " [Or]", "  B＝2", "  C＝3"}));
    m.DeleteNode(3);  // one child of the "[Or]" left: the group gives way to it
    EXPECT_EQ(m.Conditions(), L({"[And]", " A＝1", " C＝3"}));
    m.DeleteNode(1);
    EXPECT_EQ(m.Conditions(), L({"C＝3"}));
    m.DeleteNode(5);
    EXPECT_EQ(m.Conditions().size(), 1u);
    m.DeleteNode(0);
    EXPECT_TRUE(m.Conditions().empty());

    m.SetConditions(L({"[And]", " [And]", "  A＝1", "  B＝2"}));
    EXPECT_EQ(m.Conditions(), L({"[And]", " A＝1", " B＝2"}));
    m.SetConditions(L({"[Or]", " [And]", "  [And]", "   A＝1", "   B＝2", "  C＝3", " D＝4"}));
    EXPECT_EQ(m.Conditions(), L({"[Or]", " [And]", "  A＝1", "  B＝2", "  C＝3", " D＝4"}));
    m.SetConditions(L({"[Or]", " [And]", "  A＝1"}));  // chains of single children vanish
    EXPECT_EQ(m.Conditions(), L({"A＝1"}));
}

TEST(ConditionTree, RowsForATreeView) {
    TMatchHelp m;
    m.SetConditions(L({"[And]", " A＝1", " [Or]", "     B＝2", "  C＝3", "  D＝4"}));
    std::vector<TMatchRow> rows = m.Rows();
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0].depth, 0);
    EXPECT_EQ(rows[1].depth, 1);
    EXPECT_EQ(rows[2].depth, 1);
    EXPECT_EQ(rows[3].depth, 2);  // four levels deeper in the file, one in the tree
    EXPECT_EQ(rows[3].text, S("B＝2"));
    EXPECT_EQ(rows[4].depth, 2);
}

TEST(ConditionTree, SplitLeaf) {
    struct Case {
        const char* leaf;
        const char* header;
        TJkCondition cond;
        const char* text;
    };
    const Case cases[] = {
        {"Subject＝foo", "Subject", jc_Equal, "foo"},
        {"From≠bar", "From", jc_NotEqual, "bar"},
        {"Lines＞10", "Lines", jc_Greater, "10"},
        {"Date≧Today-7", "Date", jc_GreaterEqual, "Today-7"},
        {"Lines＜100", "Lines", jc_Less, "100"},
        {"Date≦1998/05/01", "Date", jc_LessEqual, "1998/05/01"},
        {"A≧B＝C", "A", jc_GreaterEqual, "B＝C"},  // the first position wins
        {"A＜＝C", "A", jc_Less, "＝C"},
        {"Subject", "Subject", jc_Equal, ""},
        {"＝x", "", jc_Equal, "x"},
        {"メ＝1", "メ", jc_Equal, "1"},  // メ is 0x83 0x81: its second byte starts no operator
    };
    for (const Case& c : cases) {
        std::string header, text;
        TJkCondition cond = jc_Less;
        TMatchHelp::SplitLeaf(S(c.leaf), header, cond, text);
        EXPECT_EQ(header, S(c.header)) << c.leaf;
        EXPECT_EQ(cond, c.cond) << c.leaf;
        EXPECT_EQ(text, S(c.text)) << c.leaf;
    }
    EXPECT_EQ(testing::Hex(TJkConditionSymbols()[jc_Equal]), "81 81");
    EXPECT_EQ(testing::Hex(TJkConditionSymbols()[jc_NotEqual]), "81 82");
    EXPECT_EQ(testing::Hex(TJkConditionSymbols()[jc_Greater]), "81 84");
    EXPECT_EQ(testing::Hex(TJkConditionSymbols()[jc_GreaterEqual]), "81 86");
    EXPECT_EQ(testing::Hex(TJkConditionSymbols()[jc_Less]), "81 83");
    EXPECT_EQ(testing::Hex(TJkConditionSymbols()[jc_LessEqual]), "81 85");
}

// A handler that answers from a table of field names and records the calls.
struct Recorder {
    std::vector<std::string> calls;
    std::vector<std::string> truths;
    void Attach(TMatchHelp& m) {
        m.OnMatching = [this](const std::any& target, const std::string& header, TJkCondition,
                              const std::string&, bool& ret) {
            EXPECT_EQ(std::any_cast<int>(target), 42);
            calls.push_back(header);
            if (header == "Throw")
                throw std::runtime_error("broken leaf");
            for (const std::string& t : truths) ret = ret || t == header;
        };
    }
};

TEST(ConditionTree, EvaluationOrderAndShortCut) {
    TMatchHelp m;
    m.SetConditions(L({"[And]", " From＝foo", " Subject≠Re:"}));
    EXPECT_FALSE(m.Evaluate(42));  // no handler: every leaf is false

    Recorder r;
    r.Attach(m);
    EXPECT_FALSE(m.Evaluate(42));
    EXPECT_EQ(r.calls, (std::vector<std::string>{"From"}));  // Subject never asked

    r.calls.clear();
    r.truths = {"From", "Subject"};
    EXPECT_TRUE(m.Evaluate(42));
    EXPECT_EQ(r.calls, (std::vector<std::string>{"From", "Subject"}));

    m.SetConditions(L({"[Or]", " Throw＝x", " [And]", "  A＝1", "  B＝2", " C＝3"}));
    r.calls.clear();
    r.truths = {"A", "C"};
    EXPECT_TRUE(m.Evaluate(42));  // the throwing leaf is false, evaluation goes on
    EXPECT_EQ(r.calls, (std::vector<std::string>{"Throw", "A", "B", "C"}));

    TMatchHelp empty;
    EXPECT_FALSE(empty.Evaluate(42));
}

TEST(ConditionTree, HandEditedGroupsWithoutChildren) {
    TMatchHelp m;
    Recorder r;
    r.Attach(m);
    // Normalisation leaves a childless group alone; it evaluates as the neutral value.
    m.SetConditions(L({"[Or]", " [And]", " A＝1"}));
    EXPECT_TRUE(m.Evaluate(42));
    m.SetConditions(L({"[And]", " [Or]", " A＝1"}));
    r.truths = {"A"};
    EXPECT_FALSE(m.Evaluate(42));
}

}  // namespace
}  // namespace pelorin
