// TREScanner: turns a pattern into tokens.
//
// The scanner has two modes. In normal mode "|", "(", ")", "*", "+", "?", ".", "^", "$", "]"
// and "[" are operators and every other character (or escape) is a literal; "[" followed by
// "^" opens a negated class. After a class opens, the scanner reads class items: a character
// (or escape) is a literal, two joined by "-" a range, and "]" closes the class (so a "]"
// inside a class must be escaped). "-" is a literal at the start of a class and before "]";
// "^" is special only directly after "[".
//
// Escapes (both modes): \b 0x08, \n 0x0A, \r 0x0D, \t 0x09; \x and 1 to 4 hexadecimal digits;
// 1 to 6 octal digits (at most 0xFFFF); a backslash before any other character makes that
// character literal ("\." "\\" "\d"). A value such as \x8140 stands for the double-byte
// character with that code, \x81 for the lone byte 0x81 only.
//
// Bad input raises ERegExpParser (see re_error.h): a lead byte as the last byte of the pattern,
// a backslash at the end, "\x" with no digit, an octal value above 0xFFFF, a class that the
// pattern ends inside, and a range whose upper bound is below its lower bound.
//
// Stepping back over a character the scanner has just read uses the position saved before
// reading it, never a guess from the bytes (a trail byte in the lead range would fool one).
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace pelorin {

enum class TRETokenKind {
    Literal,       // code
    Range,         // code .. code2 (class mode only)
    Alternation,   // |
    GroupOpen,     // (
    GroupClose,    // )
    Star,          // *
    Plus,          // +
    Optional,      // ?
    ClassOpen,     // [
    NegClassOpen,  // [^
    ClassClose,    // ]
    AnyChar,       // .
    LineStart,     // ^
    LineEnd,       // $
    End,           // end of the pattern
};

struct TREToken {
    TRETokenKind kind = TRETokenKind::End;
    unsigned code = 0;   // the character of a literal, the low end of a range
    unsigned code2 = 0;  // the high end of a range
    size_t start = 0;    // 1-based position of the token's first byte (length + 1 for End)
    size_t length = 0;   // bytes of source text, escapes included
};

class TREScanner {
public:
    explicit TREScanner(std::string_view pattern);

    // The next token; End over and over once the pattern is used up.
    TREToken Next();
    bool InClass() const { return in_class_; }

    // The whole pattern as tokens, ending with the End token.
    static std::vector<TREToken> Tokenize(std::string_view pattern);

private:
    struct Char {
        unsigned code;  // 0 at the end of the pattern
        bool at_end;
        bool escaped;
    };
    // Reads one raw character at pos_ (no escape processing); advances.
    Char ReadRaw();
    // Reads one character, treating a backslash as the start of an escape; advances.
    Char ReadChar();
    unsigned ReadEscape(size_t backslash_pos);
    TREToken NextNormal();
    TREToken NextInClass();

    std::string_view pattern_;
    size_t pos_ = 0;  // 0-based index of the next byte
    bool in_class_ = false;
};

}  // namespace pelorin
