#include "terminal.h"

#include "coding/cp932.h"

#include <cstdlib>
#include <iostream>

namespace pelorin::cli {

std::string OwnDir() {
    if (const char* home = std::getenv("PELORIN_HOME"); home && *home)
        return cp932::FromUtf8(home);
    const char* user = std::getenv("HOME");
    return cp932::FromUtf8(std::string(user ? user : ".") + "/.config/pelorin");
}

MsgAnswer TerminalYes::MessageBox(std::string_view text, MsgIcon, MsgButtons buttons) {
    std::cerr << cp932::ToUtf8(text) << "\n";
    return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgAnswer::Yes
                                                                              : MsgAnswer::Ok;
}

}  // namespace pelorin::cli
