// The search query language: see search_query.h.
#include "select/search_query.h"

#include "select/search_fold.h"

#include <optional>

namespace pelorin {
namespace {

constexpr std::string_view kFullWidthSpace = "\xE3\x80\x80";  // U+3000

[[noreturn]] void Fail(std::string message, size_t position) {
    throw SearchQueryError{std::move(message), position};
}

class Parser {
public:
    explicit Parser(std::string_view q)
        : q_(q) {}

    SearchQuery Parse() {
        SearchQuery out;
        bool joinNext = false;  // the last token was OR
        for (;;) {
            SkipBlanks();
            if (pos_ >= q_.size())
                break;
            const size_t start = pos_;
            if (q_[pos_] == '/') {
                if (!out.pattern.empty())
                    Fail("only one /pattern/ may be given", start);
                out.pattern = ReadPattern();
                continue;
            }
            if (Peek("OR") && IsEnd(pos_ + 2)) {
                if (out.clauses.empty() || joinNext)
                    Fail("OR needs a term on each side", start);
                pos_ += 2;
                joinNext = true;
                continue;
            }
            std::optional<SearchTerm> term = ReadTerm(out, start);
            if (!term) {
                if (joinNext)
                    Fail("OR needs a term on each side", start);
                continue;
            }
            if (joinNext)
                out.clauses.back().push_back(std::move(*term));
            else
                out.clauses.push_back({std::move(*term)});
            joinNext = false;
        }
        if (joinNext)
            Fail("OR needs a term on each side", q_.size());
        return out;
    }

private:
    bool Peek(std::string_view s) const { return q_.substr(pos_).starts_with(s); }
    bool BlankAt(size_t p) const {
        return p < q_.size() &&
               (q_[p] == ' ' || q_[p] == '\t' || q_.substr(p).starts_with(kFullWidthSpace));
    }
    bool IsEnd(size_t p) const { return p >= q_.size() || BlankAt(p); }
    void SkipBlanks() {
        while (BlankAt(pos_)) pos_ += q_[pos_] == ' ' || q_[pos_] == '\t' ? 1 : 3;
    }
    // A bare word: up to the next blank.
    std::string_view ReadWord() {
        const size_t start = pos_;
        while (!IsEnd(pos_)) ++pos_;
        return q_.substr(start, pos_ - start);
    }
    // A quoted phrase, the quote at pos_.
    std::string_view ReadQuoted() {
        const size_t open = pos_++;
        const size_t close = q_.find('"', pos_);
        if (close == std::string_view::npos)
            Fail("a \" is not closed", open);
        std::string_view text = q_.substr(pos_, close - pos_);
        pos_ = close + 1;
        return text;
    }
    std::string ReadPattern() {
        const size_t open = pos_++;
        std::string pattern;
        while (pos_ < q_.size() && q_[pos_] != '/') {
            if (q_[pos_] == '\\' && pos_ + 1 < q_.size() && q_[pos_ + 1] == '/') {
                pattern += '/';
                pos_ += 2;
                continue;
            }
            pattern += q_[pos_++];
        }
        if (pos_ >= q_.size())
            Fail("a /pattern/ is not closed", open);
        ++pos_;
        if (pattern.empty())
            Fail("the /pattern/ is empty", open);
        return pattern;
    }

    std::optional<SearchTerm> ReadTerm(SearchQuery& out, size_t start) {
        SearchTerm term;
        if (q_[pos_] == '-' && !IsEnd(pos_ + 1)) {
            term.negated = true;
            ++pos_;
        }
        // A field name: ASCII letters up to a colon.
        size_t p = pos_;
        while (p < q_.size() && ((q_[p] >= 'a' && q_[p] <= 'z') || (q_[p] >= 'A' && q_[p] <= 'Z')))
            ++p;
        std::string field;
        if (p > pos_ && p < q_.size() && q_[p] == ':') {
            for (size_t i = pos_; i < p; ++i)
                field +=
                    static_cast<char>(q_[i] >= 'A' && q_[i] <= 'Z' ? q_[i] - 'A' + 'a' : q_[i]);
        }
        static const std::pair<std::string_view, SearchTerm::Field> kFields[] = {
            {"from", SearchTerm::Field::From},
            {"to", SearchTerm::Field::To},
            {"subject", SearchTerm::Field::Subject},
            {"area", SearchTerm::Field::Area}};
        bool known = false;
        for (const auto& [name, f] : kFields)
            if (field == name) {
                term.field = f;
                known = true;
            }
        if (field == "date" || field == "mark" || field == "has") {
            if (term.negated)
                Fail("-" + field + ": cannot be negated", start);
            pos_ = p + 1;
            const size_t valueAt = pos_;
            const std::string_view value = q_[pos_] == '"' ? ReadQuoted() : ReadWord();
            if (field == "date")
                ReadDates(value, valueAt, out);
            else if (field == "mark")
                ReadMarks(value, valueAt, out);
            else if (value == "attachment")
                out.hasAttachment = true;
            else
                Fail("has: knows only \"attachment\"", valueAt);
            return std::nullopt;
        }
        if (known)
            pos_ = p + 1;
        const size_t valueAt = pos_;
        std::string_view value;
        if (pos_ < q_.size() && q_[pos_] == '"') {
            value = ReadQuoted();
            term.phrase = true;
        } else {
            value = ReadWord();
        }
        if (value.empty())
            Fail(known ? field + ": needs a word" : "an empty phrase", valueAt);
        if (term.field == SearchTerm::Field::Area) {
            for (char c : value)
                term.text += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        } else {
            term.text = FoldForSearch(value);
        }
        return term;
    }

    // YYYY, YYYY-MM or YYYY-MM-DD as a sort-key prefix; false when it is none.
    static bool DatePrefix(std::string_view text, std::string& prefix) {
        auto digits = [](std::string_view s) {
            return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
        };
        std::string_view parts[3];
        size_t n = 0;
        size_t from = 0;
        while (n < 3) {
            const size_t dash = text.find('-', from);
            parts[n++] = text.substr(from, dash == std::string_view::npos ? dash : dash - from);
            if (dash == std::string_view::npos)
                break;
            from = dash + 1;
            if (n == 3)
                return false;
        }
        if (parts[0].size() != 4 || !digits(parts[0]))
            return false;
        prefix = std::string(parts[0]);
        static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        int month = 0;
        for (size_t i = 1; i < n; ++i) {
            if (!digits(parts[i]) || parts[i].size() > 2)
                return false;
            const int v = std::stoi(std::string(parts[i]));
            if (i == 1 && (v < 1 || v > 12))
                return false;
            if (i == 2 && (v < 1 || v > kDays[month - 1]))
                return false;
            if (i == 1)
                month = v;
            prefix += static_cast<char>('0' + v / 10);
            prefix += static_cast<char>('0' + v % 10);
        }
        return true;
    }

    void ReadDates(std::string_view value, size_t at, SearchQuery& out) {
        const size_t dots = value.find("..");
        std::string_view first = value.substr(0, dots);
        std::string_view last = dots == std::string_view::npos ? value : value.substr(dots + 2);
        std::string from, to;
        if (!first.empty() && !DatePrefix(first, from))
            Fail("date: \"" + std::string(first) + "\" is not YYYY, YYYY-MM or YYYY-MM-DD", at);
        if (!last.empty() && !DatePrefix(last, to))
            Fail("date: \"" + std::string(last) + "\" is not YYYY, YYYY-MM or YYYY-MM-DD", at);
        if (first.empty() && last.empty())
            Fail("date: needs a date", at);
        if (!from.empty() && !to.empty() && from > to && !from.starts_with(to))
            Fail("date: the period ends before it begins", at);
        if (!from.empty())
            out.dateFrom = from;
        if (!to.empty())
            out.dateTo = to + "~";
    }

    void ReadMarks(std::string_view value, size_t at, SearchQuery& out) {
        if (value.size() != 1 || std::string_view("-+*_ ").find(value[0]) == std::string_view::npos)
            Fail("mark: is one of - + * _", at);
        out.marks += value[0];
    }

    std::string_view q_;
    size_t pos_ = 0;
};

}  // namespace

SearchQuery ParseSearchQuery(std::string_view utf8) {
    return Parser(utf8).Parse();
}

}  // namespace pelorin
