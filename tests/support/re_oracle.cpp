// The brute-force matcher of re_oracle.h (tests only).
#include "support/re_oracle.h"

#include <cctype>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace pelorin::testing {
namespace {

bool IsLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

struct Node;
using NodeP = std::shared_ptr<const Node>;

struct Node {
    enum Kind { Set, Caret, Dollar, Cat, Alt, Star, Empty } kind = Empty;
    std::vector<std::pair<unsigned, unsigned>> ranges;  // Set
    bool negated = false;                               // Set
    std::vector<NodeP> kids;                            // Cat, Alt (in order), Star (one)
};

struct Invalid {};

class Parser {
public:
    explicit Parser(std::string_view p)
        : p_(p) {}

    NodeP Parse() {
        NodeP n = Expr(0);
        if (i_ != p_.size())
            throw Invalid{};
        return n;
    }

private:
    bool AtEnd() const { return i_ >= p_.size(); }
    unsigned char Peek() const { return static_cast<unsigned char>(p_[i_]); }

    unsigned RawChar() {
        if (AtEnd())
            throw Invalid{};
        unsigned char b = Peek();
        if (IsLead(b)) {
            if (i_ + 1 >= p_.size())
                throw Invalid{};
            unsigned code = (unsigned{b} << 8) | static_cast<unsigned char>(p_[i_ + 1]);
            i_ += 2;
            return code;
        }
        ++i_;
        return b;
    }

    // After a backslash.
    unsigned Escape() {
        unsigned c = RawChar();
        switch (c) {
            case 'b':
                return 8;
            case 'n':
                return 10;
            case 'r':
                return 13;
            case 't':
                return 9;
            case 'x': {
                unsigned v = 0;
                int digits = 0;
                while (digits < 4 && !AtEnd() && std::isxdigit(Peek())) {
                    unsigned char d = Peek();
                    v = v * 16 + static_cast<unsigned>(d <= '9' ? d - '0' : (d | 0x20) - 'a' + 10);
                    ++i_;
                    ++digits;
                }
                if (digits == 0)
                    throw Invalid{};
                return v;
            }
            default:
                break;
        }
        if (c >= '0' && c <= '7') {
            unsigned v = c - '0';
            for (int digits = 1; digits < 6 && !AtEnd() && Peek() >= '0' && Peek() <= '7';
                 ++digits) {
                v = v * 8 + (Peek() - '0');
                if (v > 0xFFFF)
                    throw Invalid{};
                ++i_;
            }
            return v;
        }
        return c;
    }

    // One character, escapes allowed; `escaped` tells whether it was an escape.
    unsigned Char(bool& escaped) {
        unsigned c = RawChar();
        escaped = c == '\\';
        return escaped ? Escape() : c;
    }

    NodeP Expr(int depth) {
        if (depth > 600)
            throw Invalid{};
        auto alt = std::make_shared<Node>();
        alt->kind = Node::Alt;
        alt->kids.push_back(Term(depth));
        while (!AtEnd() && Peek() == '|') {
            ++i_;
            alt->kids.push_back(Term(depth));
        }
        return alt->kids.size() == 1 ? alt->kids[0] : alt;
    }

    NodeP Term(int depth) {
        auto cat = std::make_shared<Node>();
        cat->kind = Node::Cat;
        while (!AtEnd() && Peek() != '|' && Peek() != ')') cat->kids.push_back(Factor(depth));
        if (cat->kids.empty())
            return std::make_shared<Node>();
        return cat->kids.size() == 1 ? cat->kids[0] : cat;
    }

    NodeP Factor(int depth) {
        NodeP p = Primary(depth);
        if (AtEnd())
            return p;
        auto star = [](NodeP c) {
            auto s = std::make_shared<Node>();
            s->kind = Node::Star;
            s->kids.push_back(std::move(c));
            return s;
        };
        switch (Peek()) {
            case '*':
                ++i_;
                return star(p);
            case '+': {
                ++i_;
                auto cat = std::make_shared<Node>();
                cat->kind = Node::Cat;
                cat->kids = {p, star(p)};
                return cat;
            }
            case '?': {
                ++i_;
                auto alt = std::make_shared<Node>();
                alt->kind = Node::Alt;
                alt->kids = {p, std::make_shared<Node>()};
                return alt;
            }
            default:
                return p;
        }
    }

    NodeP Primary(int depth) {
        auto n = std::make_shared<Node>();
        unsigned char b = Peek();
        switch (b) {
            case '(': {
                ++i_;
                NodeP inner = Expr(depth + 1);
                if (AtEnd() || Peek() != ')')
                    throw Invalid{};
                ++i_;
                return inner;
            }
            case '[':
                ++i_;
                return Class();
            case '.':
                ++i_;
                n->kind = Node::Set;
                n->negated = true;  // everything "." allows, nothing cut out
                return n;
            case '^':
                ++i_;
                n->kind = Node::Caret;
                return n;
            case '$':
                ++i_;
                n->kind = Node::Dollar;
                return n;
            case '*':
            case '+':
            case '?':
            case ']':
                throw Invalid{};
            default: {
                bool escaped;
                unsigned c = Char(escaped);
                n->kind = Node::Set;
                n->ranges.push_back({c, c});
                return n;
            }
        }
    }

    NodeP Class() {
        auto n = std::make_shared<Node>();
        n->kind = Node::Set;
        if (AtEnd())
            throw Invalid{};
        if (Peek() == '^') {
            n->negated = true;
            ++i_;
        }
        for (;;) {
            bool escaped;
            unsigned lo = Char(escaped);
            if (lo == ']' && !escaped)
                break;
            if (AtEnd())
                throw Invalid{};
            if (Peek() == '-') {
                size_t hyphen = i_;
                ++i_;
                bool esc2;
                unsigned hi = Char(esc2);
                if (hi == ']' && !esc2) {
                    i_ = hyphen;
                    n->ranges.push_back({lo, lo});
                    continue;
                }
                if (hi < lo)
                    throw Invalid{};
                n->ranges.push_back({lo, hi});
            } else {
                n->ranges.push_back({lo, lo});
            }
        }
        if (n->ranges.empty())
            throw Invalid{};
        return n;
    }

    std::string_view p_;
    size_t i_ = 0;
};

class Matcher {
public:
    Matcher(std::string_view text, char separator)
        : text_(text)
        , sep_(static_cast<unsigned char>(separator)) {
        for (size_t i = 0; i < text.size();) {
            auto b = static_cast<unsigned char>(text[i]);
            offsets_.push_back(i);
            if (IsLead(b) && i + 1 < text.size()) {
                codes_.push_back((unsigned{b} << 8) | static_cast<unsigned char>(text[i + 1]));
                i += 2;
            } else {
                codes_.push_back(b);
                i += 1;
            }
        }
        offsets_.push_back(text.size());
    }

    size_t Chars() const { return codes_.size(); }
    size_t Offset(size_t i) const { return offsets_[i]; }

    // One flag per character position 0..Chars(); a string, so that the short texts of the
    // exhaustive tests need no allocation.
    using Positions = std::string;

    Positions Run(const Node& n, const Positions& from, bool first, bool last) const {
        Positions out(from.size(), 0);
        switch (n.kind) {
            case Node::Empty:
                return from;
            case Node::Set:
                for (size_t i = 0; i < Chars(); ++i) out[i + 1] = from[i] && InSet(n, codes_[i]);
                return out;
            case Node::Caret:
                for (size_t i = 0; i <= Chars(); ++i) {
                    if (!from[i])
                        continue;
                    if (first)
                        out[i] = out[i] || i == 0 || text_[Offset(i) - 1] == '\n';
                    else if (i < Chars() && codes_[i] == '^')
                        out[i + 1] = 1;
                }
                return out;
            case Node::Dollar:
                for (size_t i = 0; i <= Chars(); ++i) {
                    if (!from[i])
                        continue;
                    if (last)
                        out[i] = out[i] || i == Chars() ||
                                 static_cast<unsigned char>(text_[Offset(i)]) == sep_;
                    else if (i < Chars() && codes_[i] == '$')
                        out[i + 1] = 1;
                }
                return out;
            case Node::Cat: {
                Positions cur = from;
                for (size_t k = 0; k < n.kids.size(); ++k)
                    cur = Run(*n.kids[k], cur, first && k == 0, last && k + 1 == n.kids.size());
                return cur;
            }
            case Node::Alt:
                for (const NodeP& kid : n.kids) {
                    Positions r = Run(*kid, from, first, last);
                    for (size_t i = 0; i < r.size(); ++i) out[i] = out[i] || r[i];
                }
                return out;
            case Node::Star: {
                Positions all = from;
                Positions frontier = from;
                for (;;) {
                    Positions next = Run(*n.kids[0], frontier, false, false);
                    bool grew = false;
                    for (size_t i = 0; i < next.size(); ++i) {
                        frontier[i] = next[i] && !all[i];
                        if (frontier[i]) {
                            all[i] = 1;
                            grew = true;
                        }
                    }
                    if (!grew)
                        return all;
                }
            }
        }
        return out;
    }

private:
    static bool InSet(const Node& n, unsigned c) {
        bool listed = false;
        for (auto [lo, hi] : n.ranges) listed = listed || (lo <= c && c <= hi);
        if (!n.negated)
            return listed;
        bool any = (c >= 0x01 && c <= 0x09) || c == 0x0B || c == 0x0C || (c >= 0x0E && c <= 0xFCFC);
        return any && !listed;
    }

    std::string_view text_;
    unsigned char sep_;
    std::vector<size_t> offsets_;
    std::vector<unsigned> codes_;
};

}  // namespace

RegexOracle::RegexOracle(std::string_view pattern) {
    try {
        root_ = Parser(pattern).Parse();
    } catch (const Invalid&) {
        root_ = nullptr;
    }
}

RegexOracle::~RegexOracle() = default;

OracleMatch RegexOracle::Find(std::string_view text, char separator) const {
    const Node& root = *static_cast<const Node*>(root_.get());
    Matcher m(text, separator);
    for (size_t start = 0; start <= m.Chars(); ++start) {
        Matcher::Positions from(m.Chars() + 1, 0);
        from[start] = 1;
        Matcher::Positions ends = m.Run(root, from, true, true);
        for (size_t e = ends.size(); e-- > 0;) {
            if (ends[e])
                return OracleMatch{m.Offset(start) + 1, m.Offset(e) - m.Offset(start)};
        }
    }
    return OracleMatch{};
}

std::optional<OracleMatch> OracleFind(std::string_view pattern,
                                      std::string_view text,
                                      char separator) {
    RegexOracle oracle(pattern);
    if (!oracle.Valid())
        return std::nullopt;
    return oracle.Find(text, separator);
}

}  // namespace pelorin::testing
