// Pattern errors of the regular-expression engine.
//
// Every syntax error in a pattern is raised as ERegExpParser, which carries one of the fixed
// Japanese messages below (as Shift_JIS) and the 1-based byte position in the text being
// scanned: the first byte of the character, escape or token that could not be used, or the
// pattern length + 1 when the pattern ended too early. The text is the one handed to the
// compiler, that is the pattern after dictionary expansion when a dictionary is switched on.
//
// The messages are written here as UTF-8 and converted once through the CP932 codec.
// Internal faults (a tree handed a node it does not hold, an unknown node kind) are raised as
// std::logic_error: they never come from user input.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pelorin {

enum class TREError {
    BadDoubleByte,        // lead byte as the last byte of the pattern
    NeedCharAfterEscape,  // backslash at the end of the pattern
    BadHex,               // "\x" without a hexadecimal digit
    BadOctal,             // octal escape above 0xFFFF
    NeedRightBracket,     // class not closed
    BadRange,             // range whose upper bound is below its lower bound
    BadClass,             // "[]" or "[^]"
    NeedRightParen,       // "(" without ")"
    NeedPrimary,          // operator or "]" where a character or group is expected
    ExtraCharacters,      // tokens left after a complete expression
    TooDeep,              // groups nested deeper than the parser allows
    TooComplex,           // the automaton would outgrow its state or memory budget
};

// The message of an error kind, as UTF-8 (for tests and logs) and as Shift_JIS.
std::string_view TREErrorUtf8(TREError kind);
const std::string& TREErrorText(TREError kind);

class ERegExpParser : public std::runtime_error {
public:
    ERegExpParser(TREError kind, size_t position);

    TREError kind() const { return kind_; }
    // 1-based byte position in the scanned text.
    size_t position() const { return position_; }
    // The Shift_JIS message (what() gives the same bytes).
    const std::string& message() const { return TREErrorText(kind_); }

private:
    TREError kind_;
    size_t position_;
};

// Shift_JIS text of the internal error raised when a tree operation is handed a missing node.
const std::string& TREFatalTreeText();

}  // namespace pelorin
