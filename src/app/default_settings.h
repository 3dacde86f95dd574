// WriteDefaults: the settings that other parts of the program rely on, written when missing
// (each through the read-with-default helpers, so a key the user has set, even to an empty
// value, stays as it is):
//   - the 28 default key bindings of [KeyBind];
//   - [Editor] ExternalEditor (DefaultEditor below);
//   - [Files] Outbound: the own directory;
//   - the print header lists [Print] PrintLeftHeader (three lines) and PrintRightHeader (one
//     line), each when the list is empty.
#pragma once

#include "store/inifile.h"

#include <string>
#include <string_view>

namespace pelorin {

struct KeyBinding {
    std::string_view key;      // key name: modifiers A, C, S + "_" + key
    std::string_view binding;  // function name
};

// The default bindings, in the order they are written.
inline constexpr KeyBinding kDefaultBindings[] = {
    {"_N", "ShowNextMessage"},
    {"_P", "ShowPrevMessage"},
    {"CS_N", "NextMessage"},
    {"CS_P", "PrevMessage"},
    {"_<SPC>", "NextUnreadPage"},
    {"A_N", "NextArea"},
    {"A_P", "PrevArea"},
    {"C_H", "ToggleShowHeaders"},
    {"C_S", "ToggleShowStatBar"},
    {"C_T", "ToggleShowToolBar"},
    {"C_M", "PostNewMail"},
    {"C_R", "PostReplyMail"},
    {"C_N", "PostNewNews"},
    {"C_F", "PostFollowNews"},
    {"S_T", "ThreadSort"},
    {"S_S", "SubjectSort"},
    {"S_A", "AuthorSort"},
    {"S_D", "DateSort"},
    {"S_N", "NoneSort"},
    {"A_<LEFT>", "BorderXMinus"},
    {"A_<RIGHT>", "BorderXPuls"},
    {"A_<UP>", "BorderYMinus"},
    {"A_<DOWN>", "BorderYPuls"},
    {"_Q", "ApplicationQuit"},
    {"_<LBUTTON>", "NextUnreadPage"},
    {"C_A", "MarkAllReaded"},
    {"C_<LEFT>", "PrevPart"},
    {"C_<RIGHT>", "NextPart"},
};

// The editor for composing: $VISUAL, else $EDITOR, else Debian's "editor" command
// (/usr/bin/editor).
std::string DefaultEditor();

// `ownDir` is the own directory (Shift_JIS, ending with "/").
void WriteDefaults(TIniF& ini, std::string_view ownDir);

}  // namespace pelorin
