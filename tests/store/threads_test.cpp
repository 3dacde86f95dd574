// Display orders: threads (with the look-back window, replies before their parents, loops and
// joining by subject) and the sorted orders with their tie rule.
#include "store/threads.h"

#include "store/msgfile.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <limits>
#include <numeric>
#include <random>

namespace pelorin {
namespace {

struct Shape {
    std::string id;
    std::string parent;
    std::string subject = "s";
    int number = 0;
};

MessageList Make(const std::vector<Shape>& shapes) {
    MessageList list;
    for (const Shape& s : shapes) {
        auto m = std::make_unique<TMsg>();
        m->messageId = s.id.empty() ? "" : "<" + s.id + ">";
        m->parentId = s.parent.empty() ? "" : "<" + s.parent + ">";
        m->subject = s.subject;
        m->number = s.number;
        list.push_back(std::move(m));
    }
    return list;
}

// The display list as "id:depth" items, e.g. "A:0 B:1".
std::string Dump(const DisplayList& d) {
    std::string out;
    for (const DisplayEntry& e : d) {
        if (!out.empty())
            out += ' ';
        std::string id = e.msg->messageId;
        out += id.size() > 2 ? id.substr(1, id.size() - 2) : "?";
        out += ':' + std::to_string(e.msg->depth);
    }
    return out;
}

std::string Build(const MessageList& list, int type, int range = 300) {
    DisplayList d;
    EXPECT_TRUE(BuildDisplayList(list, type, range, d, {}));
    for (size_t i = 0; i < d.size(); ++i) EXPECT_EQ(d[i].msg->displayPos, static_cast<int>(i));
    return Dump(d);
}

TEST(Threads, RepliesFollowTheirParentsDepthFirst) {
    EXPECT_EQ(Build(Make({{"A", ""}, {"B", "A"}, {"C", "B"}}), 1), "A:0 B:1 C:2");
    // A reply stored before its parent is claimed by the later parent.
    EXPECT_EQ(Build(Make({{"C", "B"}, {"A", ""}, {"B", "A"}}), 1), "A:0 B:1 C:2");
    // Siblings keep file order; an unrelated message is a root of its own.
    EXPECT_EQ(Build(Make({{"A", ""}, {"B", "A"}, {"X", ""}, {"C", "A"}, {"D", "B"}}), 1),
              "A:0 B:1 D:2 C:1 X:0");
    // A parent that is not in the area leaves the reply a root.
    EXPECT_EQ(Build(Make({{"B", "gone"}, {"C", "B"}}), 1), "B:0 C:1");
}

TEST(Threads, LookBackWindow) {
    std::vector<Shape> shapes = {{"A", ""}, {"x1", ""}, {"x2", ""}, {"B", "A"}};
    EXPECT_EQ(Build(Make(shapes), 1, 3), "A:0 B:1 x1:0 x2:0");
    EXPECT_EQ(Build(Make(shapes), 1, 2), "A:0 x1:0 x2:0 B:0");
    EXPECT_EQ(Build(Make({{"A", ""}, {"B", "A"}}), 1, 0), "A:0 B:0");
}

TEST(Threads, LoopsAreListedNotLost) {
    EXPECT_EQ(Build(Make({{"A", "B"}, {"B", "A"}, {"C", ""}}), 1), "C:0 A:0 B:1");
    EXPECT_EQ(Build(Make({{"A", "A"}}), 1), "A:0");
    EXPECT_EQ(Build(Make({{"A", "C"}, {"B", "A"}, {"C", "B"}}), 5), "A:0 B:1 C:2");
}

TEST(Threads, LongChainsDoNotExhaustTheStack) {
    std::vector<Shape> shapes;
    for (int i = 0; i < 200000; ++i)
        shapes.push_back({"m" + std::to_string(i), i ? "m" + std::to_string(i - 1) : ""});
    MessageList list = Make(shapes);
    DisplayList d;
    ASSERT_TRUE(BuildDisplayList(list, 1, 1, d, {}));
    ASSERT_EQ(d.size(), shapes.size());
    EXPECT_EQ(d.back().msg->depth, 199999);
}

TEST(Threads, Type5JoinsLaterThreadsOfTheSameSubject) {
    MessageList list =
        Make({{"A", "", "Re: x"}, {"Y", "", "other"}, {"B", "", "x"}, {"C", "B", "Re: x"}});
    EXPECT_EQ(Build(list, 5), "A:0 B:0 C:1 Y:0");
    EXPECT_EQ(Build(list, 1), "A:0 Y:0 B:0 C:1");
    // Without the blank, "Re:x" keeps its prefix and the threads stay apart.
    EXPECT_EQ(Build(Make({{"A", "", "Re:x"}, {"Y", "", "y"}, {"B", "", "x"}}), 5), "A:0 Y:0 B:0");
}

TEST(Threads, EveryMessageListedExactlyOnceForEveryShape) {
    // All parent assignments of four messages (each may name any message or none), in every
    // file order, with windows of 1 and 3.
    const int n = 4;
    for (int code = 0; code < 625; ++code) {
        std::vector<Shape> shapes;
        int c = code;
        for (int i = 0; i < n; ++i, c /= 5) {
            int p = c % 5;
            shapes.push_back({std::string(1, static_cast<char>('A' + i)),
                              p < n ? std::string(1, static_cast<char>('A' + p)) : ""});
        }
        std::vector<int> perm(n);
        std::iota(perm.begin(), perm.end(), 0);
        do {
            std::vector<Shape> ordered;
            for (int i : perm) ordered.push_back(shapes[static_cast<size_t>(i)]);
            for (int type : {1, 5}) {
                for (int range : {1, 3}) {
                    MessageList list = Make(ordered);
                    DisplayList d;
                    ASSERT_TRUE(BuildDisplayList(list, type, range, d, {}));
                    ASSERT_EQ(d.size(), list.size()) << code;
                    std::vector<const TMsg*> seen;
                    for (const auto& e : d) seen.push_back(e.msg);
                    std::sort(seen.begin(), seen.end());
                    ASSERT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end()) << code;
                    // A child is always deeper by one than the entry it hangs from.
                    for (size_t i = 1; i < d.size(); ++i)
                        ASSERT_LE(d[i].msg->depth, d[i - 1].msg->depth + 1) << code;
                }
            }
        } while (std::next_permutation(perm.begin(), perm.end()));
    }
}

TEST(SortedOrders, KeysAndTies) {
    MessageList list = Make({{"a1", "", "apple", 1},
                             {"a2", "", "Re: apple", 2},
                             {"b", "", "Banana", 0},
                             {"c", "", "APPLE", 1}});
    DisplayList d;
    ASSERT_TRUE(BuildDisplayList(list, 2, 300, d, {}));
    // apple00000001 (twice: the later message first), apple00000002, banana...
    EXPECT_EQ(Dump(d), "c:0 a1:0 a2:0 b:0");
    // Numbers count as numbers (eight digits each), not as text.
    EXPECT_EQ(Build(Make({{"x", "", "same", 10}, {"y", "", "same", 9}}), 2), "y:0 x:0");
    // Equal subjects and numbers come in reverse file order.
    EXPECT_EQ(Build(Make({{"x", "", "same"}, {"y", "", "same"}, {"z", "", "same"}}), 2),
              "z:0 y:0 x:0");
    // Depths are reset outside the thread view.
    list[1]->depth = 3;
    ASSERT_TRUE(BuildDisplayList(list, 0, 300, d, {}));
    EXPECT_EQ(Dump(d), "a1:0 a2:0 b:0 c:0");
}

TEST(SortedOrders, AuthorAndDate) {
    MessageList list = Make({{"1", ""}, {"2", ""}, {"3", ""}});
    list[0]->SetFrom("Zed <zed@example.jp>");
    list[1]->SetFrom("amy@example.jp (Amy)");
    list[2]->SetFrom("Bob <BOB@example.jp>");
    EXPECT_EQ(Build(list, 3), "2:0 3:0 1:0");
    list[0]->SetDate("Sun, 6 Dec 1998 12:34:56 +0900");
    list[1]->SetDate("1 Jan 2026 00:00:00 +0900");
    list[2]->SetDate("31 Dec 1997 23:59:59 +0900");
    EXPECT_EQ(Build(list, 4), "3:0 1:0 2:0");
}

TEST(SortedOrders, UnknownTypeBuildsNothing) {
    MessageList list = Make({{"a", ""}});
    DisplayList d;
    EXPECT_FALSE(BuildDisplayList(list, 7, 300, d, {}));
    EXPECT_TRUE(d.empty());
}

TEST(StripReplyPrefixes, Forms) {
    EXPECT_EQ(StripReplyPrefixes("Re: Re: x"), "x");
    EXPECT_EQ(StripReplyPrefixes("RE:_x"), "x");
    EXPECT_EQ(StripReplyPrefixes("Re:x"), "Re:x");
    EXPECT_EQ(StripReplyPrefixes("Re: "), "");
    EXPECT_EQ(StripReplyPrefixes("Re:"), "Re:");
}

// Thread order by the plain definition: every pair within the range compared, the children
// of a message listed in the order the pairs link them, roots in file order, messages in a
// loop where the file order meets them.
std::string ThreadsByDefinition(const MessageList& msgs, size_t range) {
    const size_t n = msgs.size(), none = SIZE_MAX;
    std::vector<size_t> parent(n, none);
    std::vector<std::vector<size_t>> children(n);
    for (size_t k = 1; k < n; ++k) {
        const size_t low = k > range ? k - range : 0;
        for (size_t j = k; j-- > low;) {
            const TMsg& mj = *msgs[j];
            const TMsg& mk = *msgs[k];
            if (parent[k] == none && !mj.messageId.empty() && mj.messageId == mk.parentId) {
                children[j].push_back(k);
                parent[k] = j;
            }
            if (parent[j] == none && !mk.messageId.empty() && mk.messageId == mj.parentId) {
                children[k].insert(children[k].begin(), j);
                parent[j] = k;
            }
        }
    }
    std::vector<bool> listed(n, false);
    std::string out;
    auto append_tree = [&](size_t root) {
        std::vector<std::pair<size_t, int>> stack{{root, 0}};
        while (!stack.empty()) {
            auto [m, depth] = stack.back();
            stack.pop_back();
            if (listed[m])
                continue;
            listed[m] = true;
            if (!out.empty())
                out += ' ';
            const std::string& id = msgs[m]->messageId;
            out +=
                (id.size() > 2 ? id.substr(1, id.size() - 2) : "?") + ":" + std::to_string(depth);
            for (size_t c = children[m].size(); c-- > 0;)
                stack.push_back({children[m][c], depth + 1});
        }
    };
    for (size_t i = 0; i < n; ++i) {
        if (parent[i] == none)
            append_tree(i);
    }
    for (size_t i = 0; i < n; ++i) {
        if (!listed[i])
            append_tree(i);
    }
    return out;
}

TEST(Threads, LinksFoundByIdAreThoseOfComparingEveryPairInTheRange) {
    // Few IDs, so that duplicates, replies before their parents, self-references, loops and
    // parents just outside the range all come up.
    std::mt19937 rng(11);
    for (int round = 0; round < 3000; ++round) {
        const int count = 1 + static_cast<int>(rng() % 14);
        const int ids = 1 + static_cast<int>(rng() % 8);
        std::vector<Shape> shapes;
        for (int i = 0; i < count; ++i) {
            auto pick = [&] {
                const int v = static_cast<int>(rng() % static_cast<unsigned>(ids + 1));
                return v == 0 ? std::string() : std::string(1, static_cast<char>('A' + v - 1));
            };
            shapes.push_back({pick(), pick()});
        }
        const size_t range = std::vector<size_t>{0, 1, 2, 3, 300}[rng() % 5];
        const MessageList list = Make(shapes);
        std::string shape;
        for (const Shape& sh : shapes) shape += sh.id + "<" + sh.parent + " ";
        const std::string expected = ThreadsByDefinition(list, range);
        EXPECT_EQ(Build(list, 1, static_cast<int>(range)), expected) << shape << " range " << range;
        // Linked one record at a time, as a load makes them (with less room than needed, now
        // and then).
        const MessageList again = Make(shapes);
        ThreadPrelink prelink(static_cast<int>(range));
        prelink.Expect(rng() % 2 ? again.size() : 1);
        for (const auto& m : again) prelink.Add(*m);
        DisplayList d;
        ASSERT_TRUE(prelink.Take(again, static_cast<int>(range), d));
        EXPECT_EQ(Dump(d), expected) << shape << " range " << range;
        for (size_t i = 0; i < d.size(); ++i) ASSERT_EQ(d[i].msg->displayPos, static_cast<int>(i));
    }
}

TEST(Threads, BlankShortAndLongIdsLinkLikeAnyOther) {
    // A record without a parent names five blanks, short IDs are compared by their few bytes,
    // and IDs of each length class are hashed their own way: linked as the records come or
    // all at once, they link as comparing every pair does, across many windows (the blanks
    // then in nearly every one).
    const std::vector<std::string> ids = {
        "",
        "     ",
        " a   ",
        "   a ",
        "xAx",
        "xBx",
        "<abcd>",
        "<abce>",
        "<id-9@x.jp>",
        "<id-9@y.jp>",
        "<long-id-1@example.jp>",
        "<long-id-2@example.jp>",
        "<20261208.0001.a-longer-message-id@mail.example.co.jp>",
        "<20261208.0001.a-longer-message-id@mail.example.co.jq>",
        "<20261208.0002.an-even-longer-message-id.with.parts@news.server.example.co.jp>"};
    std::mt19937 rng(17);
    for (int round = 0; round < 3000; ++round) {
        const size_t count = 1 + rng() % (round % 10 == 0 ? 200 : 14);
        MessageList list, again;
        std::string shape;
        for (size_t i = 0; i < count; ++i) {
            const std::string& id = ids[rng() % ids.size()];
            const std::string& parent = ids[rng() % ids.size()];
            for (MessageList* l : {&list, &again}) {
                auto m = std::make_unique<TMsg>();
                m->messageId = id;
                m->parentId = parent;
                l->push_back(std::move(m));
            }
            shape += "[" + id + "<" + parent + "] ";
        }
        const size_t range = std::vector<size_t>{1, 2, 3, 300}[rng() % 4];
        const std::string expected = ThreadsByDefinition(list, range);
        EXPECT_EQ(Build(list, 1, static_cast<int>(range)), expected) << shape << " range " << range;
        ThreadPrelink prelink(static_cast<int>(range));
        for (const auto& m : again) prelink.Add(*m);
        DisplayList d;
        ASSERT_TRUE(prelink.Take(again, static_cast<int>(range), d));
        EXPECT_EQ(Dump(d), expected) << shape << " range " << range;
    }
}

TEST(Threads, OrderLinkedDuringALoadIsTakenOnlyForTheSameRecordsAndRange) {
    MessageList list = Make({{"A", ""}, {"B", "A"}, {"C", ""}});
    DisplayList d;
    {
        ThreadPrelink prelink(300);
        for (const auto& m : list) prelink.Add(*m);
        EXPECT_FALSE(prelink.Take(list, 2, d));
        MessageList shorter = Make({{"A", ""}, {"B", "A"}});
        EXPECT_FALSE(prelink.Take(shorter, 300, d));
        EXPECT_TRUE(d.empty());
        ASSERT_TRUE(prelink.Take(list, 300, d));
        EXPECT_EQ(Dump(d), "A:0 B:1 C:0");
    }
    // Many more records than expected: the room grows and keeps what was linked.
    std::vector<Shape> shapes;
    std::mt19937 rng(5);
    for (int i = 0; i < 20000; ++i) {
        const int back = 1 + static_cast<int>(rng() % 400);
        shapes.push_back({"m" + std::to_string(i), rng() % 3 && i >= back
                                                       ? "m" + std::to_string(i - back)
                                                   : rng() % 2 ? "m" + std::to_string(i + back)
                                                               : ""});
    }
    const MessageList a = Make(shapes), b = Make(shapes);
    ThreadPrelink prelink(300);
    prelink.Expect(100);
    for (const auto& m : a) prelink.Add(*m);
    ASSERT_TRUE(prelink.Take(a, 300, d));
    EXPECT_EQ(Dump(d), Build(b, 1));
    // A window far longer than the area (the range is a setting anyone can write) costs room
    // for the messages there are, told or not.
    for (const size_t told : {size_t{0}, size_t{3}}) {
        ThreadPrelink wide(std::numeric_limits<int>::max());
        if (told)
            wide.Expect(told);
        for (const auto& m : list) wide.Add(*m);
        ASSERT_TRUE(wide.Take(list, std::numeric_limits<int>::max(), d));
        EXPECT_EQ(Dump(d), "A:0 B:1 C:0");
    }
}

}  // namespace
}  // namespace pelorin
