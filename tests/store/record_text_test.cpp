// Record text kept in a shared store: a record's fields outlive the list that loaded them,
// copies never view a store they do not share, encoded index fields decode on first read to
// what decoding at load gave, and an index read into a store gives the records that copying
// every field gives, across hostile lines (CR LF and CR ends, NULs, missing and extra columns,
// numbers past any range, no final line end).
#include "store/record_text.h"

#include "support/testing.h"

#include "store/msg.h"
#include "store/msgfile.h"
#include "store/textfile.h"

#include <gtest/gtest.h>
#include <random>

namespace pelorin {
namespace {

using testing::TempDir;
using testing::WriteFile;

TEST(RecordText, ValuesBehaveLikeTheStringsTheyReplace) {
    auto store = std::make_shared<TextStore>();
    RecordText viewed = RecordText::View(store->Add("<1@example.jp>"));
    RecordText copy = viewed;
    RecordText owned;
    owned = std::string("Re: hello");
    store.reset();  // the copy and the owned text never needed the store
    EXPECT_EQ(copy, "<1@example.jp>");
    EXPECT_EQ("Re: " + owned.substr(4), "Re: hello");
    EXPECT_EQ(owned + '!', "Re: hello!");
    EXPECT_TRUE(owned < copy || copy < owned);

    // A value given a part of itself keeps that part.
    owned = owned.view().substr(4);
    EXPECT_EQ(owned, "hello");
    const RecordText& same = owned;
    owned = same;
    EXPECT_EQ(owned, "hello");

    RecordText moved = std::move(owned);
    EXPECT_EQ(moved, "hello");
    EXPECT_TRUE(owned.empty());  // NOLINT(bugprone-use-after-move): moved-from is empty
    EXPECT_THROW((void)moved.substr(6), std::out_of_range);
}

TEST(RecordText, EncodedValuesDecodeWhenFirstReadAsAtLoad) {
    const std::string raws[] = {
        "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=",
        "=?ISO-2022-JP?B?"
        "?=",  // decodes to nothing
        "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=\n =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=",
        "=?broken",
        "\x1B$B%F%9%H\x1B(B plain JIS",
    };
    for (const std::string& raw : raws) {
        SCOPED_TRACE(raw);
        const std::string expected = DecodeHeaderText(raw);
        RecordText encoded = RecordText::Encoded(raw);
        EXPECT_EQ(encoded.empty(), expected.empty());
        EXPECT_EQ(encoded, expected);
        RecordText copy = RecordText::Encoded(raw);
        RecordText second = copy;  // a copy of a value not yet read decodes too
        EXPECT_EQ(second, expected);
    }
}

// A value keeps short sizes beside its address and long ones elsewhere: every size around the
// boundary, and far past it, reads back whole however the value was made, copied or moved.
TEST(RecordText, LongTextReadsWholeWhateverItsKind) {
    auto store = std::make_shared<TextStore>();
    const std::string word = "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?= ";
    for (size_t size : {size_t{16382}, size_t{16383}, size_t{16384}, size_t{200000}}) {
        SCOPED_TRACE(size);
        std::string text(size, 'r');
        text.front() = '<';
        text.back() = '>';
        const std::string_view kept = store->Add(text);
        RecordText viewed = RecordText::View(kept);
        RecordText owned(text);
        RecordText assigned;
        assigned = text;
        EXPECT_EQ(viewed, text);
        EXPECT_EQ(owned, text);
        EXPECT_EQ(assigned.size(), size);
        EXPECT_EQ(owned.data()[size], '\0');
        RecordText copy = viewed;
        RecordText moved = std::move(copy);
        EXPECT_EQ(moved, text);
        EXPECT_TRUE(copy.empty());       // NOLINT(bugprone-use-after-move): moved-from is empty
        moved = owned.view().substr(1);  // a part of another value
        EXPECT_EQ(moved.size(), size - 1);

        std::string raw;
        while (raw.size() < size) raw += word;
        RecordText encoded = RecordText::Encoded(store->Add(raw));
        EXPECT_EQ(encoded, DecodeHeaderText(raw));
    }
}

TEST(RecordText, StoresKeepEveryViewAcrossChunksAndLargeBlocks) {
    TextStore store;
    std::vector<std::pair<std::string_view, std::string>> kept;
    std::mt19937 rng(7);
    for (int i = 0; i < 5000; ++i) {
        std::string text(rng() % 300, static_cast<char>('a' + i % 26));
        if (i % 997 == 0)
            text.assign(40000, 'z');  // past a quarter chunk: a block of its own
        kept.emplace_back(store.Add(text), text);
    }
    char* big = store.Reserve(3 * 1024 * 1024);
    std::fill(big, big + 3 * 1024 * 1024, 'q');
    for (const auto& [view, text] : kept) ASSERT_EQ(view, text);
    EXPECT_EQ(big[3 * 1024 * 1024 - 1], 'q');
    EXPECT_TRUE(store.Add("").empty());
}

TEST(RecordText, RecordsOutliveTheListThatLoadedThem) {
    TempDir dir;
    const std::string idx = (dir / "a.IDX").string();
    WriteFile(idx,
              "0\t=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=\tme@x\t1 Dec 2026\t<1@x>\t<0@x>\t10\t1\t1\n");
    std::unique_ptr<TMsg> kept;
    {
        MessageList list;
        ParseIndexFile(idx, 'c', SharedPath("a.MSG"), list, {});
        ASSERT_EQ(list.size(), 1u);
        kept = std::move(list[0]);
    }
    EXPECT_EQ(kept->subject, DecodeHeaderText("=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?="));
    EXPECT_EQ(kept->parentId, "<0@x>");
    TMsg copy = *kept;
    EXPECT_NE(kept->textStore.get(), nullptr);
    EXPECT_EQ(copy.textStore.get(), nullptr);  // a copy never holds a whole index alive
    kept.reset();
    EXPECT_EQ(copy.messageId, "<1@x>");
    EXPECT_EQ(copy.From(), "me@x");

    const std::string msg = (dir / "a.MSG").string();
    WriteFile(msg,
              testing::RnewsFile({"Subject: s\nFrom: f@x\nReferences: <0@x> <5@x>\n\nbody\n"}));
    {
        MessageList list;
        ParseRnewsFile(ParseContext{msg, ""}, list, {});
        ASSERT_EQ(list.size(), 1u);
        kept = std::move(list[0]);
    }
    EXPECT_EQ(kept->subject, "s");
    EXPECT_EQ(kept->parentId, "<5@x>");
    EXPECT_EQ(kept->references, "<0@x> <5@x>");
}

// The records of an index file, read into a store, field for field against ParseIndexLine
// copying and decoding every line's fields.
void ExpectIndexAsCopied(const std::string& bytes, char layout) {
    TempDir dir;
    const std::string idx = (dir / "a.IDX").string();
    WriteFile(idx, bytes);
    MessageList stored;
    ParseIndexFile(idx, layout, SharedPath("a.MSG"), stored, {});
    std::vector<std::unique_ptr<TMsg>> copied;
    size_t pos = 0;
    std::string_view line, text(bytes);
    while (NextTextLine(text, pos, line)) {
        if (!line.empty())
            copied.push_back(ParseIndexLine(line, layout, SharedPath("a.MSG")));
    }
    ASSERT_EQ(stored.size(), copied.size());
    for (size_t i = 0; i < stored.size(); ++i) {
        const TMsg& a = *stored[i];
        const TMsg& b = *copied[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(a.subject, b.subject);
        EXPECT_EQ(a.From(), b.From());
        EXPECT_EQ(a.Date(), b.Date());
        EXPECT_EQ(a.messageId, b.messageId);
        EXPECT_EQ(a.references, b.references);
        EXPECT_EQ(a.parentId, b.parentId);
        EXPECT_EQ(a.offset, b.offset);
        EXPECT_EQ(a.length, b.length);
        EXPECT_EQ(a.lineCount, b.lineCount);
        EXPECT_EQ(a.number, b.number);
    }
}

TEST(RecordText, IndexesReadIntoAStoreMatchCopiedFieldsOnHostileLines) {
    using namespace std::string_literals;
    const std::string hostile =
        "0\t=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=\tme@x\td\t<1@x>\t<0@x> <9@x>\t10\t1\t1\r\n"
        "4294967295\ts\tf\td\t<2@x>\tno token\t18446744073709551616\t99999999999\t-1\r"
        "\t\t\t\t\t\t\t\t\t\t\textra\n"
        "5\tNUL\0inside\tf\0\td\t<3\0@x>\t<\0>\t1\t1\t1\n"s
        "only one column\n"
        "\n\n\r\n"
        "7\t=?ISO-2022-JP?Q?=1B$B$\"=1B(B?=\t=?UTF-8?B?w6k=?=\td\t\t>\t1"  // no final LF
        ;
    ExpectIndexAsCopied(hostile, 'c');
    ExpectIndexAsCopied(hostile, 'C');

    std::mt19937 rng(11);
    const std::string alphabet = "\t\t\t\n\r<>=?B0123456789abc \x1B$(\0"s;
    for (int round = 0; round < 200; ++round) {
        std::string bytes(rng() % 400, ' ');
        for (char& c : bytes) c = alphabet[rng() % alphabet.size()];
        ExpectIndexAsCopied(bytes, round % 2 ? 'c' : 'C');
    }
    // Long lines, with their TABs and ends anywhere in and across 16-byte blocks.
    for (int round = 0; round < 200; ++round) {
        std::string bytes(rng() % 2000, 'x');
        for (char& c : bytes) {
            const unsigned r = rng() % 120;
            c = r < 8 ? '\t' : r == 8 ? '\n' : r == 9 ? '\r' : static_cast<char>('0' + r % 10);
        }
        ExpectIndexAsCopied(bytes, 'c');
    }
}

}  // namespace
}  // namespace pelorin
