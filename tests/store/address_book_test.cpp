// The address book: ADDRESS.DAT levels read and written, the level error and what it protects,
// the tree operations, the dialog model from the menu and from the header form, and the
// recipient drop-down.
#include "store/address_book.h"

#include "support/testing.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

using testing::ReadFile;
using testing::S;
using testing::TempDir;
using testing::U;
using testing::WriteFile;

// The tree as "text(child child)" in UTF-8, for compact comparisons.
std::string Dump(const std::vector<std::unique_ptr<TAddressBook::Node>>& nodes) {
    std::string out;
    for (const auto& n : nodes) {
        if (!out.empty())
            out += ' ';
        out += U(n->text);
        if (!n->children.empty())
            out += "(" + Dump(n->children) + ")";
    }
    return out;
}

TEST(AddressBook, TwoGroupLevelsReadBackIntoTheSameTree) {
    const std::string file =
        S("友人\r\n\t大学\r\n\t\t山田<yamada@example.jp>\r\n"
          "\t佐藤<sato@example.jp>\r\n仕事<boss@example.jp>\r\n");
    TAddressBook book;
    std::string error;
    ASSERT_TRUE(book.Parse(file, error));
    EXPECT_EQ(Dump(book.Top()),
              "友人(大学(山田<yamada@example.jp>) 佐藤<sato@example.jp>) 仕事<boss@example.jp>");
    EXPECT_EQ(book.Serialize(), file);
    EXPECT_EQ(book.Top()[0]->children[0]->parent, book.Top()[0].get());

    // Blanks count as levels too, LF and CR line ends are read, empty lines are skipped, and
    // a hand-edited UTF-8 file is accepted.
    ASSERT_TRUE(book.Parse("友人\n 大学\r \t山田<y@x>\n\n仕事\n", error));
    EXPECT_EQ(Dump(book.Top()), "友人(大学(山田<y@x>)) 仕事");
}

TEST(AddressBook, LevelJumpStopsReadingAndProtectsTheFile) {
    TempDir dir;
    const auto path = (dir / "ADDRESS.DAT").string();
    const std::string file = "group\r\n\t\tdeep<d@x>\r\nafter<a@x>\r\n";
    WriteFile(path, file);
    TAddressBook book;
    std::string error;
    EXPECT_FALSE(book.Load(path, error));
    EXPECT_EQ(U(error), "「deep<d@x>」のレベルが正しくありません（2行目）。");
    EXPECT_EQ(Dump(book.Top()), "group");
    EXPECT_TRUE(book.Incomplete());
    // Saving would lose the lines not read: the file stays as it was.
    book.Add(nullptr, "new", "n@x");
    EXPECT_NE(book.Save(path), ReplaceResult::Ok);
    EXPECT_EQ(ReadFile(path), file);

    // A first line that is not at the top cannot be placed either.
    EXPECT_FALSE(book.Parse("\tchild\r\n", error));
    EXPECT_TRUE(book.Top().empty());
}

TEST(AddressBook, AddDeleteChange) {
    TAddressBook book;
    TAddressBook::Node* group = book.Add(nullptr, S("グループ"), "");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(U(group->text), "グループ<>");  // an empty address keeps its brackets
    EXPECT_EQ(book.Add(nullptr, "", "nobody@x"), nullptr);
    EXPECT_FALSE(group->expanded);
    TAddressBook::Node* child = book.Add(group, S("山田"), "y@x");
    EXPECT_TRUE(group->expanded);
    EXPECT_EQ(child->parent, group);
    book.Add(child, "grandchild", "g@x");
    // Text that would change the line structure is made safe.
    book.Add(nullptr, " \tlead\r\nbreak", "a\tb");
    EXPECT_EQ(Dump(book.Top()), "グループ<>(山田<y@x>(grandchild<g@x>)) lead  break<a b>");
    book.Change(child, "Yamada", "yamada@x");
    EXPECT_EQ(book.Serialize(),
              S("グループ<>\r\n\tYamada<yamada@x>\r\n\t\tgrandchild<g@x>\r\nlead  break<a b>\r\n"));
    book.Delete(child);
    EXPECT_EQ(Dump(book.Top()), "グループ<> lead  break<a b>");
}

TEST(AddressBook, DialogSavesOnCancelAndGivesTheChosenEntry) {
    TempDir dir;
    const std::string home = dir.home().string() + "/";
    WriteFile(dir.home() / "ADDRESS.DAT", S("友人\r\n\t山田<yamada@example.jp>\r\n"));
    {
        // From the main window's menu: edits are saved even when the dialog is cancelled.
        TAddressBookDialogModel dlg(home);
        EXPECT_TRUE(dlg.LoadError().empty());
        dlg.name = S("佐藤");
        dlg.address = "sato@example.jp";
        dlg.Add();
        auto closing = dlg.Close(false);
        EXPECT_EQ(closing.saved, ReplaceResult::Ok);
        EXPECT_FALSE(closing.recipient.has_value());
    }
    EXPECT_EQ(ReadFile(dir.home() / "ADDRESS.DAT"),
              S("友人\r\n\t山田<yamada@example.jp>\r\n佐藤<sato@example.jp>\r\n"));
    {
        // From the header form: the recipient fills the fields; OK with a node selected gives
        // that node's whole text. The blank before "<" is not part of the name.
        TAddressBookDialogModel dlg(home, S("山田 <yamada@example.jp>"));
        EXPECT_EQ(U(dlg.name), "山田");
        EXPECT_EQ(dlg.address, "yamada@example.jp");
        dlg.selected = dlg.book.Top()[0]->children[0].get();
        auto closing = dlg.Close(true);
        ASSERT_TRUE(closing.recipient.has_value());
        EXPECT_EQ(U(*closing.recipient), "山田<yamada@example.jp>");
    }
    {
        // A book that could not be read completely is not saved, and the user is told why.
        WriteFile(dir.home() / "ADDRESS.DAT", "a\r\n\t\tb\r\n");
        TAddressBookDialogModel dlg(home);
        EXPECT_FALSE(dlg.LoadError().empty());
        auto closing = dlg.Close(true);
        EXPECT_NE(closing.saved, ReplaceResult::Ok);
        EXPECT_FALSE(closing.error.empty());
        EXPECT_EQ(ReadFile(dir.home() / "ADDRESS.DAT"), "a\r\n\t\tb\r\n");
    }
}

TEST(AddressBook, RecipientItemsAreWholeEntries) {
    TempDir dir;
    EXPECT_TRUE(RecipientItems(dir.home().string() + "/").empty());
    WriteFile(dir.home() / "ADDRESS.DAT",
              S("友人\r\n\t山田 <yamada@example.jp> \r\n\r\n\t空<>\r\n<only@x>\r\n"));
    TSList items = RecipientItems(dir.home().string() + "/");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(U(items[0]), "山田 <yamada@example.jp>");
    EXPECT_EQ(items[1], "<only@x>");
}

}  // namespace
}  // namespace pelorin
