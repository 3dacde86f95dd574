// Address lists (see address_list.h): a tokenizer, then a parser over the tokens that never
// goes back, so both run once over the value.
#include "store/address_list.h"

#include "coding/jis.h"

namespace pelorin {
namespace {

enum class Tok { Atom, Quoted, Comment, Special };

struct Token {
    Tok kind;
    std::string text;  // Special: the one character
};

bool IsSpecialChar(char c) {
    return c == '<' || c == '>' || c == ',' || c == ';' || c == ':' || c == '@';
}

bool IsControl(unsigned char c) {
    return (c < 0x20 && c != '\t') || c == 0x7F;
}

class Tokenizer {
public:
    Tokenizer(std::string_view value, Text text, std::vector<std::string>& problems)
        : v_(value)
        , sjis_(text == Text::ShiftJis)
        , problems_(problems) {}

    std::vector<Token> Run() {
        std::vector<Token> out;
        while (i_ < v_.size()) {
            const char c = v_[i_];
            if (c == ' ' || c == '\t') {
                ++i_;
            } else if (IsControl(static_cast<unsigned char>(c))) {
                Note("a control character was taken as a blank");
                ++i_;
            } else if (c == '"') {
                ++i_;
                out.push_back({Tok::Quoted, Delimited('"', "an unclosed quote")});
            } else if (c == '(') {
                ++i_;
                out.push_back({Tok::Comment, CommentText()});
            } else if (c == ')') {
                Note("a \")\" without \"(\" was skipped");
                ++i_;
            } else if (c == '[') {
                ++i_;
                out.push_back({Tok::Atom, "[" + Delimited(']', "an unclosed \"[\"") + "]"});
            } else if (IsSpecialChar(c)) {
                out.push_back({Tok::Special, std::string(1, c)});
                ++i_;
            } else {
                std::string atom;
                while (i_ < v_.size()) {
                    const char a = v_[i_];
                    if (a == ' ' || a == '\t' || a == '"' || a == '(' || a == ')' || a == '[' ||
                        IsSpecialChar(a) || IsControl(static_cast<unsigned char>(a)))
                        break;
                    TakeChar(atom);
                }
                out.push_back({Tok::Atom, std::move(atom)});
            }
        }
        return out;
    }

private:
    // Appends one character (two bytes for a Shift_JIS double-byte one) and steps over it.
    void TakeChar(std::string& out) {
        const auto b = static_cast<unsigned char>(v_[i_]);
        if (sjis_ && IsSjisLeadByte(b) && i_ + 1 < v_.size() &&
            IsSjisTrailByte(static_cast<unsigned char>(v_[i_ + 1]))) {
            out.append(v_.substr(i_, 2));
            i_ += 2;
            return;
        }
        out.push_back(v_[i_]);
        ++i_;
    }

    // The text up to `close`, backslash pairs undone; runs to the end when `close` is missing.
    std::string Delimited(char close, const char* unclosed) {
        std::string text;
        while (i_ < v_.size() && v_[i_] != close) {
            if (v_[i_] == '\\' && i_ + 1 < v_.size())
                ++i_;
            TakeChar(text);
        }
        if (i_ < v_.size())
            ++i_;
        else
            Note(unclosed);
        return text;
    }

    // A comment's text; nested parentheses are counted and kept in the text.
    std::string CommentText() {
        std::string text;
        size_t depth = 1;
        while (i_ < v_.size()) {
            const char c = v_[i_];
            if (c == '\\' && i_ + 1 < v_.size()) {
                ++i_;
                TakeChar(text);
                continue;
            }
            if (c == '(') {
                ++depth;
            } else if (c == ')' && --depth == 0) {
                ++i_;
                return text;
            }
            TakeChar(text);
        }
        Note("an unclosed comment");
        return text;
    }

    void Note(const char* what) {
        // One note of each kind is enough, however often it happens.
        for (const std::string& p : problems_)
            if (p == what)
                return;
        problems_.emplace_back(what);
    }

    std::string_view v_;
    bool sjis_;
    std::vector<std::string>& problems_;
    size_t i_ = 0;
};

bool IsSpecial(const Token& t, char c) {
    return t.kind == Tok::Special && t.text[0] == c;
}

bool EndsWithDot(const std::string& s) {
    return !s.empty() && s.back() == '.';
}
bool StartsWithDot(const std::string& s) {
    return !s.empty() && s.front() == '.';
}

// A quoted string: quotes around, "\" before each quote and backslash.
std::string Quote(std::string_view name, Text text) {
    std::string out = "\"";
    for (size_t i = 0; i < name.size(); ++i) {
        const auto b = static_cast<unsigned char>(name[i]);
        if (text == Text::ShiftJis && IsSjisLeadByte(b) && i + 1 < name.size() &&
            IsSjisTrailByte(static_cast<unsigned char>(name[i + 1]))) {
            out.append(name.substr(i, 2));
            ++i;
            continue;
        }
        if (text == Text::ShiftJis && IsSjisLeadByte(b)) {
            // A lead byte without its second byte would pair with a backslash written after
            // it and swallow it.
            out.push_back('?');
            continue;
        }
        if (name[i] == '"' || name[i] == '\\')
            out.push_back('\\');
        out.push_back(name[i]);
    }
    out.push_back('"');
    return out;
}

class Parser {
public:
    Parser(std::vector<Token> tokens, Text text, AddressList& out)
        : t_(std::move(tokens))
        , text_(text)
        , out_(out) {}

    void Run() {
        while (i_ < t_.size()) {
            if (IsSpecial(t_[i_], ',')) {
                ++i_;
                continue;
            }
            if (t_[i_].kind == Tok::Special && !IsSpecial(t_[i_], '<') && !IsSpecial(t_[i_], '@') &&
                !IsSpecial(t_[i_], ':')) {
                Note("a stray \"" + t_[i_].text + "\" was skipped");
                ++i_;
                continue;
            }
            Address();
        }
    }

private:
    // One address: a group or a mailbox.
    void Address() {
        std::vector<const Token*> words;
        std::string comment;
        Phrase(words, comment);
        if (At(':')) {
            ++i_;
            const std::string group = JoinWords(words);
            ++out_.groups;
            const size_t before = out_.mailboxes.size();
            while (i_ < t_.size() && !At(';')) {
                if (At(',')) {
                    ++i_;
                    continue;
                }
                if (At(':') || At('>')) {
                    Note("a stray \"" + t_[i_].text + "\" was skipped");
                    ++i_;
                    continue;
                }
                GroupMember(group);
            }
            if (At(';'))
                ++i_;
            else
                Note("a group without \";\"");
            if (out_.mailboxes.size() == before)
                out_.mailboxes.push_back({"", "", group});
            SkipToComma();
            return;
        }
        MailboxAfter(words, comment, "");
    }

    void GroupMember(const std::string& group) {
        std::vector<const Token*> words;
        std::string comment;
        Phrase(words, comment);
        MailboxAfter(words, comment, group);
    }

    // The rest of a mailbox whose leading words have been read.
    void MailboxAfter(std::vector<const Token*>& words,
                      std::string& comment,
                      const std::string& group) {
        pelorin::Mailbox m;
        m.group = group;
        if (At('<')) {
            ++i_;
            m.name = JoinWords(words);
            m.address = AngleAddress();
        } else if (At('@')) {
            // A bare address (local@domain); a name written before it without "<>" is taken apart.
            size_t k = words.size();
            while (k > 0 && (k == words.size() || StartsWithDot(words[k]->text) ||
                             EndsWithDot(words[k - 1]->text)))
                --k;
            if (k > 0) {
                Note("a name without \"<>\" around the address");
                m.name = JoinWords(std::vector<const Token*>(
                    words.begin(), words.begin() + static_cast<std::ptrdiff_t>(k)));
            }
            std::string local = LocalPart(std::vector<const Token*>(
                words.begin() + static_cast<std::ptrdiff_t>(k), words.end()));
            ++i_;
            m.address = local + "@" + Domain(comment);
            if (local.empty())
                Note("an address without local part");
        } else {
            if (words.empty() && comment.empty())
                return;
            if (words.empty()) {
                Note("a comment without address was skipped");
                SkipToComma();
                return;
            }
            m.address = JoinWords(words);
            Note("an address without domain");
        }
        // Comments after the address; the first names a bare address.
        while (i_ < t_.size() && t_[i_].kind == Tok::Comment) {
            if (comment.empty())
                comment = t_[i_].text;
            ++i_;
        }
        if (m.name.empty())
            m.name = Trimmed(comment);
        out_.mailboxes.push_back(std::move(m));
        if (i_ < t_.size() && !At(',') && !At(';')) {
            Note("text after an address was skipped");
            SkipToComma();
        }
    }

    // Words and comments up to the next special character.
    void Phrase(std::vector<const Token*>& words, std::string& comment) {
        while (i_ < t_.size() && t_[i_].kind != Tok::Special) {
            if (t_[i_].kind == Tok::Comment) {
                if (comment.empty())
                    comment = t_[i_].text;
            } else {
                words.push_back(&t_[i_]);
            }
            ++i_;
        }
    }

    // After "<": an optional route (dropped), the address local@domain, ">".
    std::string AngleAddress() {
        // obs-route: "@a,@b:" before the address.
        if (At('@')) {
            size_t j = i_;
            while (j < t_.size() && !IsSpecial(t_[j], ':') && !IsSpecial(t_[j], '>') &&
                   !IsSpecial(t_[j], '<'))
                ++j;
            if (j < t_.size() && IsSpecial(t_[j], ':'))
                i_ = j + 1;
        }
        std::string address;
        std::vector<const Token*> parts;
        bool closed = false;
        while (i_ < t_.size()) {
            const Token& t = t_[i_];
            ++i_;
            if (t.kind == Tok::Comment)
                continue;
            if (IsSpecial(t, '>')) {
                closed = true;
                break;
            }
            if (IsSpecial(t, ',') || IsSpecial(t, ';') || IsSpecial(t, '<') || IsSpecial(t, ':')) {
                // No ">" before the next address: the address ends here.
                --i_;
                break;
            }
            address += t.kind == Tok::Quoted ? Quote(t.text, text_) : t.text;
            parts.push_back(&t);
        }
        if (!closed)
            Note("an unclosed \"<\"");
        if (!IsBareAddress(parts))
            Note("an address that is not local@domain");
        return address;
    }

    // Whether tokens are what a bare address reads whole: dot-connected words, "@",
    // dot-connected atoms.
    static bool IsBareAddress(const std::vector<const Token*>& parts) {
        size_t at = 0;
        while (at < parts.size() && !IsSpecial(*parts[at], '@')) ++at;
        if (at == 0 || at + 1 >= parts.size())
            return false;
        for (size_t k = 0; k < parts.size(); ++k) {
            const Token& t = *parts[k];
            if (k == at)
                continue;
            if (t.kind == Tok::Special || (k > at && t.kind != Tok::Atom))
                return false;
            if (k != 0 && k != at + 1 && !EndsWithDot(parts[k - 1]->text) && !StartsWithDot(t.text))
                return false;
        }
        return true;
    }

    // Atoms and dots after "@"; comments go to `comment` when it is empty.
    std::string Domain(std::string& comment) {
        std::string domain;
        while (i_ < t_.size()) {
            const Token& t = t_[i_];
            if (t.kind == Tok::Comment) {
                if (comment.empty())
                    comment = t.text;
                ++i_;
                continue;
            }
            if (t.kind != Tok::Atom)
                break;
            if (!domain.empty() && !EndsWithDot(domain) && !StartsWithDot(t.text))
                break;  // a second word: not part of the domain
            domain += t.text;
            ++i_;
        }
        if (domain.empty())
            Note("an address without domain");
        return domain;
    }

    std::string LocalPart(const std::vector<const Token*>& words) const {
        std::string local;
        for (const Token* w : words)
            local += w->kind == Tok::Quoted ? Quote(w->text, text_) : w->text;
        return local;
    }

    static std::string JoinWords(const std::vector<const Token*>& words) {
        std::string name;
        for (const Token* w : words) {
            if (!name.empty())
                name.push_back(' ');
            name += w->text;
        }
        return name;
    }

    static std::string Trimmed(const std::string& s) {
        size_t a = 0, b = s.size();
        while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
        while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
        return s.substr(a, b - a);
    }

    bool At(char c) const { return i_ < t_.size() && IsSpecial(t_[i_], c); }

    void SkipToComma() {
        bool skipped = false;
        while (i_ < t_.size() && !At(',')) {
            skipped = skipped || t_[i_].kind != Tok::Comment;
            ++i_;
        }
        if (skipped)
            Note("text after an address was skipped");
    }

    void Note(const std::string& what) {
        for (const std::string& p : out_.problems)
            if (p == what)
                return;
        out_.problems.push_back(what);
    }

    std::vector<Token> t_;
    Text text_;
    AddressList& out_;
    size_t i_ = 0;
};

// Whether a display name must be quoted to be read back as one phrase.
bool NeedsQuotes(std::string_view name, Text text) {
    for (size_t i = 0; i < name.size(); ++i) {
        const auto b = static_cast<unsigned char>(name[i]);
        if (text == Text::ShiftJis && IsSjisLeadByte(b) && i + 1 < name.size() &&
            IsSjisTrailByte(static_cast<unsigned char>(name[i + 1]))) {
            ++i;
            continue;
        }
        if (b >= 0x80 || b == ' ')
            continue;
        if (b < 0x20 || b == 0x7F)
            return true;
        switch (b) {
            case '(':
            case ')':
            case '<':
            case '>':
            case '[':
            case ']':
            case ':':
            case ';':
            case '@':
            case '\\':
            case ',':
            case '.':
            case '"':
                return true;
            default:
                break;
        }
    }
    return false;
}

}  // namespace

bool Mailbox::HasDomain() const {
    // One "@" outside quotes, with text on both sides, and no blank or control character.
    for (char c : address) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= ' ' || b >= 0x7F)
            return false;
    }
    size_t at = std::string::npos;
    bool quoted = false;
    for (size_t i = 0; i < address.size(); ++i) {
        const char c = address[i];
        if (quoted && c == '\\') {
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == '@' && !quoted) {
            if (at != std::string::npos)
                return false;
            at = i;
        }
    }
    return at != std::string::npos && at > 0 && at + 1 < address.size();
}

AddressList ParseAddressList(std::string_view value, Text text) {
    AddressList list;
    Parser(Tokenizer(value, text, list.problems).Run(), text, list).Run();
    return list;
}

std::vector<std::string> DeliverableAddresses(std::string_view value, Text text) {
    std::vector<std::string> out;
    for (const Mailbox& m : ParseAddressList(value, text).mailboxes) {
        if (m.HasDomain())
            out.push_back(m.address);
    }
    return out;
}

std::string FormatMailbox(const Mailbox& m, Text text) {
    if (m.name.empty())
        return m.address;
    const std::string name = NeedsQuotes(m.name, text) ? Quote(m.name, text) : m.name;
    return name + " <" + m.address + ">";
}

std::string FormatAddressList(const AddressList& list, Text text) {
    std::string out;
    const std::vector<Mailbox>& all = list.mailboxes;
    for (size_t i = 0; i < all.size();) {
        if (!out.empty())
            out += ", ";
        if (all[i].group.empty()) {
            out += FormatMailbox(all[i], text);
            ++i;
            continue;
        }
        // A group: the members that follow with the same group name.
        const std::string& group = all[i].group;
        out += (NeedsQuotes(group, text) ? Quote(group, text) : group) + ":";
        bool first = true;
        for (; i < all.size() && all[i].group == group; ++i) {
            if (all[i].address.empty())
                continue;
            out += first ? " " : ", ";
            first = false;
            out += FormatMailbox(all[i], text);
        }
        out += ";";
    }
    return out;
}

}  // namespace pelorin
