// TREScanner. See re_scanner.h for the token rules and for what happens to bad input.
#include "select/re_scanner.h"

#include "coding/jis.h"
#include "select/re_error.h"

namespace pelorin {
namespace {

int HexDigit(unsigned char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

TREScanner::TREScanner(std::string_view pattern)
    : pattern_(pattern) {}

TREScanner::Char TREScanner::ReadRaw() {
    if (pos_ >= pattern_.size())
        return {0, true, false};
    auto b = static_cast<unsigned char>(pattern_[pos_]);
    if (IsSjisLeadByte(b)) {
        if (pos_ + 1 >= pattern_.size())
            throw ERegExpParser(TREError::BadDoubleByte, pos_ + 1);
        unsigned code = (unsigned{b} << 8) | static_cast<unsigned char>(pattern_[pos_ + 1]);
        pos_ += 2;
        return {code, false, false};
    }
    ++pos_;
    return {b, false, false};
}

TREScanner::Char TREScanner::ReadChar() {
    size_t at = pos_;
    Char c = ReadRaw();
    if (!c.at_end && c.code == '\\')
        return {ReadEscape(at), false, true};
    return c;
}

unsigned TREScanner::ReadEscape(size_t backslash_pos) {
    Char c = ReadRaw();
    if (c.at_end)
        throw ERegExpParser(TREError::NeedCharAfterEscape, backslash_pos + 1);
    switch (c.code) {
        case 'b':
            return 0x08;
        case 'n':
            return 0x0A;
        case 'r':
            return 0x0D;
        case 't':
            return 0x09;
        case 'x': {
            unsigned value = 0;
            int digits = 0;
            while (digits < 4 && pos_ < pattern_.size()) {
                int d = HexDigit(static_cast<unsigned char>(pattern_[pos_]));
                if (d < 0)
                    break;
                value = value * 16 + static_cast<unsigned>(d);
                ++pos_;
                ++digits;
            }
            if (digits == 0)
                throw ERegExpParser(TREError::BadHex, backslash_pos + 1);
            return value;
        }
        default:
            break;
    }
    if (c.code >= '0' && c.code <= '7') {
        unsigned value = c.code - '0';
        int digits = 1;
        while (digits < 6 && pos_ < pattern_.size()) {
            auto d = static_cast<unsigned char>(pattern_[pos_]);
            if (d < '0' || d > '7')
                break;
            value = value * 8 + (d - '0');
            if (value > 0xFFFF)
                throw ERegExpParser(TREError::BadOctal, backslash_pos + 1);
            ++pos_;
            ++digits;
        }
        return value;
    }
    return c.code;
}

TREToken TREScanner::Next() {
    return in_class_ ? NextInClass() : NextNormal();
}

TREToken TREScanner::NextNormal() {
    size_t start = pos_;
    auto token = [&](TRETokenKind kind, unsigned code = 0) {
        return TREToken{kind, code, 0, start + 1, pos_ - start};
    };
    Char c = ReadChar();
    if (c.at_end)
        return token(TRETokenKind::End);
    if (c.escaped)
        return token(TRETokenKind::Literal, c.code);
    switch (c.code) {
        case '|':
            return token(TRETokenKind::Alternation);
        case '(':
            return token(TRETokenKind::GroupOpen);
        case ')':
            return token(TRETokenKind::GroupClose);
        case '*':
            return token(TRETokenKind::Star);
        case '+':
            return token(TRETokenKind::Plus);
        case '?':
            return token(TRETokenKind::Optional);
        case '.':
            return token(TRETokenKind::AnyChar);
        case '^':
            return token(TRETokenKind::LineStart, c.code);
        case '$':
            return token(TRETokenKind::LineEnd, c.code);
        case ']':
            return token(TRETokenKind::ClassClose);
        case '[': {
            size_t after_bracket = pos_;
            Char next = ReadRaw();
            if (next.at_end)
                throw ERegExpParser(TREError::NeedRightBracket, pattern_.size() + 1);
            in_class_ = true;
            if (next.code == '^')
                return token(TRETokenKind::NegClassOpen);
            pos_ = after_bracket;
            return token(TRETokenKind::ClassOpen);
        }
        default:
            return token(TRETokenKind::Literal, c.code);
    }
}

TREToken TREScanner::NextInClass() {
    size_t start = pos_;
    auto token = [&](TRETokenKind kind, unsigned code = 0, unsigned code2 = 0) {
        return TREToken{kind, code, code2, start + 1, pos_ - start};
    };
    Char first = ReadChar();
    if (first.at_end)
        throw ERegExpParser(TREError::NeedRightBracket, pattern_.size() + 1);
    if (!first.escaped && first.code == ']') {
        in_class_ = false;
        return token(TRETokenKind::ClassClose);
    }
    size_t before_hyphen = pos_;
    Char hyphen = ReadRaw();
    if (hyphen.at_end)
        throw ERegExpParser(TREError::NeedRightBracket, pattern_.size() + 1);
    if (hyphen.code != '-') {
        pos_ = before_hyphen;
        return token(TRETokenKind::Literal, first.code);
    }
    Char last = ReadChar();
    if (last.at_end)
        throw ERegExpParser(TREError::NeedRightBracket, pattern_.size() + 1);
    if (!last.escaped && last.code == ']') {
        // "a-]": the hyphen is read again as a literal and the bracket then closes the class.
        pos_ = before_hyphen;
        return token(TRETokenKind::Literal, first.code);
    }
    if (last.code < first.code)
        throw ERegExpParser(TREError::BadRange, start + 1);
    return token(TRETokenKind::Range, first.code, last.code);
}

std::vector<TREToken> TREScanner::Tokenize(std::string_view pattern) {
    TREScanner scanner(pattern);
    std::vector<TREToken> tokens;
    for (;;) {
        tokens.push_back(scanner.Next());
        if (tokens.back().kind == TRETokenKind::End)
            return tokens;
    }
}

}  // namespace pelorin
