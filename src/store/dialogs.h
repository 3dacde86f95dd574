// What the core asks of the user goes through TDialogs: message boxes with a fixed set of
// buttons, and one-line input boxes. The program implements it with Qt dialogs, the
// command-line companion on the terminal, and tests with scripted fakes. Texts are Shift_JIS.
#pragma once

#include <string>
#include <string_view>

namespace pelorin {

enum class MsgIcon { Information, Warning, Error, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };

class TDialogs {
public:
    virtual ~TDialogs() = default;

    // Shows `text` and returns the button the user chose. Closing the box counts as Cancel
    // (No for YesNo, Ok for Ok).
    virtual MsgAnswer MessageBox(std::string_view text, MsgIcon icon, MsgButtons buttons) = 0;

    // Asks for one line of text; `value` holds the proposal and receives the answer. False when
    // the user cancelled (then `value` is unchanged).
    virtual bool InputBox(std::string_view caption,
                          std::string_view prompt,
                          std::string& value) = 0;
};

// Answers without asking anybody: OK for OK boxes, Cancel (or No) for questions, and cancels
// input boxes. For code that runs with nobody to ask.
class TSilentDialogs : public TDialogs {
public:
    MsgAnswer MessageBox(std::string_view, MsgIcon, MsgButtons buttons) override {
        switch (buttons) {
            case MsgButtons::Ok:
                return MsgAnswer::Ok;
            case MsgButtons::YesNo:
                return MsgAnswer::No;
            default:
                return MsgAnswer::Cancel;
        }
    }
    bool InputBox(std::string_view, std::string_view, std::string&) override { return false; }
};

}  // namespace pelorin
