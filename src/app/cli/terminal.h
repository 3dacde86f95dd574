// What the companion's commands share for running core code without a window: the program's
// own directory, and the answers to the core's questions.
#pragma once

#include "store/dialogs.h"

#include <string>
#include <string_view>

namespace pelorin::cli {

// The program's own directory as Shift_JIS text: $PELORIN_HOME, else ~/.config/pelorin.
std::string OwnDir();

// Answers every question with Yes (or OK), after showing it on stderr; input boxes are
// cancelled, since nobody is there to type a name.
class TerminalYes : public TDialogs {
public:
    MsgAnswer MessageBox(std::string_view text, MsgIcon icon, MsgButtons buttons) override;
    bool InputBox(std::string_view, std::string_view, std::string&) override { return false; }
};

}  // namespace pelorin::cli
