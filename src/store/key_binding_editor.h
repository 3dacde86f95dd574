// TKeyBindingEditor: the binding editor of the settings dialog's キーカスタマイズ page, without
// its window. It holds the working lists - the key names of [KeyBind] with their values, in
// file order - and changes them as the user picks a key, modifiers, a focus and a function;
// the settings file sees the changes only when they are stored after OK.
//
// Key name = "A" (Alt) + "C" (Ctrl) + "S" (Shift), as ticked and in this order, + "_" + the key
// + "" / "@a" / "@s" / "@b" for the focus 全体 / エリア / 一覧 / 本文. Key names are compared
// without regard to case, as the settings file compares them.
//
// Showing a key (FunctionOf): the value's name - for a value with arguments the text up to and
// including the first "(" - picks the function of the list; a key that is not bound, or bound
// to a function the list does not offer (MarkAll(...) and the others that only the settings
// file can bind), shows function 0, （設定なし）.
//
// Choosing a function (Assign): for a function whose name ends in "(" the value is the name,
// the parameter text and ")"; for function 0 an empty value (an unbound key, which also
// unbinds a default binding); else the name. A key that is not in the list yet is appended,
// unless function 0 is chosen (nothing to unbind).
//
// Storing (Store) writes each key whose value differs from the file's (a missing key counts as
// different), in list order.
#pragma once

#include "store/inifile.h"
#include "store/strutil.h"

#include <string>
#include <string_view>

namespace pelorin {

// The keys of the key list, in their order: "A" ... "Z", "1" ... "9", "0", "<RET>", "<PAUSE>",
// "<ESC>", "<SPC>", "<PGUP>", "<PGDN>", "<END>", "<HOME>", "<LEFT>", "<UP>", "<RIGHT>",
// "<DOWN>", "<INS>", "<DEL>", "<F1>" ... "<F12>".
const TSList& SetupKeys();
// The function names the function list offers, in its order; 0 is "NIL" (no function), and
// "ExecSubCommand(" is the one that takes a parameter.
const TSList& SetupFunctionNames();

// The focus choices, in the order of the radio group.
enum class KeyFocus { All, Areas, List, Text };

class TKeyBindingEditor {
public:
    // Reads the working lists from [KeyBind] (nothing is written).
    void Load(TIniF& ini);

    // The key name of `key` (a name of SetupKeys) with modifiers and focus; empty when `key`
    // is empty (no key chosen).
    static std::string KeyName(
        std::string_view key, bool ctrl, bool shift, bool alt, KeyFocus focus);

    // The place of `keyName` in the working lists, or -1.
    int Find(std::string_view keyName) const;
    // The working value of `keyName`; empty when it is not in the list.
    std::string Value(std::string_view keyName) const;
    // The function of SetupFunctionNames the key shows (0 when none).
    int FunctionOf(std::string_view keyName) const;
    // The parameter of the key's value: the text between the parentheses (the last character
    // dropped, as bindings read it); empty for a value without one.
    std::string ParameterOf(std::string_view keyName) const;
    static bool TakesParameter(int function);

    // The user chose `function` (or edited the parameter) for `keyName`; nothing happens when
    // `keyName` is empty or `function` is out of range.
    void Assign(std::string_view keyName, int function, std::string_view parameter);

    const TSList& Keys() const { return keys_; }
    const TSList& Values() const { return values_; }

    // Writes the keys whose value the file does not hold; returns how many.
    int Store(TIniF& ini) const;

private:
    TSList keys_;    // key names as the file spells them (new ones as built)
    TSList values_;  // their values, same index
};

}  // namespace pelorin
