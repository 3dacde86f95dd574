// Key and mouse bindings of the main window: the [KeyBind] section of the settings file maps
// key names to bindings (a function name with optional arguments).
//
// Key name = modifiers + "_" + key [+ "@" + context]. Modifiers are "A" (Alt), "C" (Ctrl) and
// "S" (Shift) in that order ("CS_N" is Ctrl+Shift+N, "_N" is N alone). Keys are named after
// their virtual-key codes: <RET> <PAUSE> <ESC> <SPC> <PGUP> <PGDN> <END> <HOME> <LEFT> <UP>
// <RIGHT> <DOWN> <INS> <DEL>, the digits, the letters and <F1>..<F12>; any other key has no
// name and no binding. Mouse buttons are <LBUTTON>, <RBUTTON> and <MBUTTON>. The context is
// the pane that has the focus: 'a' area tree, 's' message list, 't' tab bar, 'b' text view.
//
// Lookup (LookupBinding): name + "@" + context; for the tab bar then name + "@b"; then the bare
// name. A key whose stored value is empty is unbound. Bindings are read at every lookup, so a
// change of the settings file applies at once.
//
// A binding value is "Name" or "Name(arg1,arg2,...)": the name is the text before the first
// "(", the argument text everything after it except the last character (a value without its
// closing parenthesis loses its last argument character), split at "," into at most ten
// arguments. Function names are compared exactly. TKeyBindings runs a value: a name without a
// function does nothing and the key goes on to the focused control.
//
// Bindings run when their key is released, but with the modifiers that were held when it went
// down (TKeyPresses): Shift let go a moment before N still makes Shift+N.
#pragma once

#include "store/inifile.h"

#include <Qt>

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

// The focus contexts of the main window's panes; kNoContext before any pane had the focus.
inline constexpr char kNoContext = 0;
inline constexpr char kContextAreas = 'a';
inline constexpr char kContextList = 's';
inline constexpr char kContextTab = 't';
inline constexpr char kContextText = 'b';

enum class MouseButton { Left, Right, Middle };

// The platform-independent key code (the virtual-key numbers of the table above) of a Qt key;
// 0 for a key without a name.
int VirtualKeyOf(int qtKey);
// The name of a virtual key ("<RET>", "N", "<F5>"); empty for a key without a name.
std::string VirtualKeyName(int virtualKey);
// modifiers + "_" + key name; empty when the key has no name.
std::string KeyName(int virtualKey, bool alt, bool ctrl, bool shift);
// modifiers + "_<LBUTTON>" etc.
std::string MouseKeyName(MouseButton button, bool alt, bool ctrl, bool shift);

// The binding of `keyName` in focus context `context` (kNoContext: none), following the lookup
// order; empty when nothing is bound. Missing keys are not written.
std::string LookupBinding(TIniF& ini, std::string_view keyName, char context);
// The stored value of exactly this key name; empty when missing.
std::string StoredBinding(TIniF& ini, std::string_view keyName);

// A binding value taken apart.
struct TBinding {
    static constexpr int kMaxArgs = 10;
    std::string name;
    std::string argText;                     // everything between the parentheses
    std::array<std::string, kMaxArgs> args;  // split at ","; missing ones are empty
    // The first character of the argument text, 0 when there is none.
    char First() const { return argText.empty() ? '\0' : argText[0]; }
    // The first character of argument i, 0 when it is empty.
    char FirstOf(int i) const;
    // The argument text or argument i read as an integer (see BindingInteger).
    int Number() const;
    int NumberOf(int i) const;
};
TBinding ParseBinding(std::string_view value);
// An integer argument: blanks around it ignored, an optional sign, then digits (leading zeros
// do not matter); any other text counts as 0, and so does a number beyond the int range.
int BindingInteger(std::string_view text);

// The keys that are down, each with the key code and the modifiers of its press, so that the
// release of a key is named as it was pressed. A key is recognised by its scan code, or by its
// key code where the platform reports no scan code (0). Each press is taken back once.
class TKeyPresses {
public:
    struct Press {
        quint32 scanCode = 0;
        int key = 0;
        Qt::KeyboardModifiers modifiers;
    };

    // A key went down (not an auto-repeat): replaces what an earlier press of it left behind.
    void Down(quint32 scanCode, int key, Qt::KeyboardModifiers modifiers);
    // A key came up: its press, once; nullopt when its press was not seen here (it went down
    // elsewhere, or this release was already taken).
    std::optional<Press> Up(quint32 scanCode, int key);

private:
    std::vector<Press> down_;
};

// The table of functions that bindings name, and ExecuteBinding.
class TKeyBindings {
public:
    using Function = std::function<void(const TBinding&)>;

    void Define(std::string name, Function function);
    bool Has(std::string_view name) const { return functions_.count(std::string(name)) > 0; }

    // Runs the function a binding value names. True when a function ran (the key is then
    // consumed), false when the value names none. Sets Executing() for the duration; a value
    // run while another runs (a function that binds back to a key) is ignored.
    bool ExecuteBinding(std::string_view value);
    bool Executing() const { return executing_; }

private:
    std::map<std::string, Function, std::less<>> functions_;
    bool executing_ = false;
};

}  // namespace pelorin
