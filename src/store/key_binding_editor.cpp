// The settings dialog's binding editor without its window (see key_binding_editor.h).
#include "store/key_binding_editor.h"

#include <utility>

namespace pelorin {
namespace {

constexpr std::string_view kKeyBind = "KeyBind";

TSList MakeKeys() {
    TSList keys;
    for (char c = 'A'; c <= 'Z'; ++c) keys.emplace_back(1, c);
    for (char c = '1'; c <= '9'; ++c) keys.emplace_back(1, c);
    keys.emplace_back("0");
    for (const char* name : {"<RET>", "<PAUSE>", "<ESC>", "<SPC>", "<PGUP>", "<PGDN>", "<END>",
                             "<HOME>", "<LEFT>", "<UP>", "<RIGHT>", "<DOWN>", "<INS>", "<DEL>"})
        keys.emplace_back(name);
    for (int i = 1; i <= 12; ++i) keys.push_back("<F" + std::to_string(i) + ">");
    return keys;
}

}  // namespace

const TSList& SetupKeys() {
    static const TSList keys = MakeKeys();
    return keys;
}

const TSList& SetupFunctionNames() {
    static const TSList names = {
        "NIL",
        "OpenAreas",
        "CloseAreas",
        "NextMessage",
        "ShowNextMessage",
        "NextUnreadMessage",
        "PrevMessage",
        "ShowPrevMessage",
        "NextPage",
        "NextUnreadPage",
        "NextArea",
        "PrevArea",
        "ToggleShowHeaders",
        "ToggleShowToolBar",
        "ToggleShowStatBar",
        "ToggleShowMsgTab",
        "ToggleDispMode",
        "AreasSetFocus",
        "ListSetFocus",
        "Rot13",
        "PostNewMail",
        "PostReplyMail",
        "PostNewNews",
        "PostFollowNews",
        "ThreadSort",
        "SubjectSort",
        "AuthorSort",
        "DateSort",
        "NoneSort",
        "BorderXMinus",
        "BorderXPuls",
        "BorderYMinus",
        "BorderYPuls",
        "PrevHistry",
        "NextHistry",
        "PrevPart",
        "NextPart",
        "MarkAllReaded",
        "MarkDelete",
        "MarkFevorite",
        "MarkNone",
        "SendMe",
        "DecodeToFile",
        "ExecSubCommand(",
        "AreaClear",
        "ApplicationQuit",
    };
    return names;
}

void TKeyBindingEditor::Load(TIniF& ini) {
    keys_.clear();
    values_.clear();
    for (auto& [key, value] : ini.ReadSectionValues(kKeyBind)) {
        keys_.push_back(std::move(key));
        values_.push_back(std::move(value));
    }
}

std::string TKeyBindingEditor::KeyName(
    std::string_view key, bool ctrl, bool shift, bool alt, KeyFocus focus) {
    if (key.empty())
        return {};
    std::string name;
    if (alt)
        name += 'A';
    if (ctrl)
        name += 'C';
    if (shift)
        name += 'S';
    name += '_';
    name += key;
    switch (focus) {
        case KeyFocus::All:
            break;
        case KeyFocus::Areas:
            name += "@a";
            break;
        case KeyFocus::List:
            name += "@s";
            break;
        case KeyFocus::Text:
            name += "@b";
            break;
    }
    return name;
}

int TKeyBindingEditor::Find(std::string_view keyName) const {
    for (size_t i = 0; i < keys_.size(); ++i) {
        if (EqualNoCase(keys_[i], keyName))
            return static_cast<int>(i);
    }
    return -1;
}

std::string TKeyBindingEditor::Value(std::string_view keyName) const {
    const int i = Find(keyName);
    return i < 0 ? std::string() : values_[static_cast<size_t>(i)];
}

int TKeyBindingEditor::FunctionOf(std::string_view keyName) const {
    const int i = Find(keyName);
    if (i < 0)
        return 0;
    std::string name = values_[static_cast<size_t>(i)];
    if (const size_t paren = name.find('('); paren != std::string::npos)
        name.resize(paren + 1);
    const TSList& functions = SetupFunctionNames();
    for (size_t f = 0; f < functions.size(); ++f) {
        if (functions[f] == name)
            return static_cast<int>(f);
    }
    return 0;
}

std::string TKeyBindingEditor::ParameterOf(std::string_view keyName) const {
    const std::string value = Value(keyName);
    const size_t paren = value.find('(');
    if (paren == std::string::npos)
        return {};
    // Everything after the "(" but the last character, as a binding's argument text reads.
    const std::string rest = value.substr(paren + 1);
    return rest.empty() ? rest : rest.substr(0, rest.size() - 1);
}

bool TKeyBindingEditor::TakesParameter(int function) {
    const TSList& functions = SetupFunctionNames();
    return function > 0 && static_cast<size_t>(function) < functions.size() &&
           functions[static_cast<size_t>(function)].find('(') != std::string::npos;
}

void TKeyBindingEditor::Assign(std::string_view keyName, int function, std::string_view parameter) {
    const TSList& functions = SetupFunctionNames();
    if (keyName.empty() || function < 0 || static_cast<size_t>(function) >= functions.size())
        return;
    std::string value = functions[static_cast<size_t>(function)];
    if (TakesParameter(function)) {
        value += parameter;
        value += ')';
    }
    const int i = Find(keyName);
    if (i >= 0) {
        values_[static_cast<size_t>(i)] = function == 0 ? std::string() : value;
    } else if (function != 0) {
        keys_.emplace_back(keyName);
        values_.push_back(std::move(value));
    }
}

int TKeyBindingEditor::Store(TIniF& ini) const {
    TIniF::Update batch(ini);
    int written = 0;
    for (size_t i = 0; i < keys_.size(); ++i) {
        if (ini.KeyExists(kKeyBind, keys_[i]) &&
            ini.ReadString(kKeyBind, keys_[i], "") == values_[i])
            continue;
        (void)ini.WriteString(kKeyBind, keys_[i], values_[i]);
        ++written;
    }
    return written;
}

}  // namespace pelorin
