// Key names, the [KeyBind] lookup and the execution of binding values (see key_bindings.h).
#include "app/key_bindings.h"

#include "app/settings_names.h"

#include <Qt>

#include <algorithm>
#include <charconv>
#include <limits>

namespace pelorin {

namespace {

struct NamedKey {
    int code;
    const char* name;
};

constexpr NamedKey kNamedKeys[] = {
    {13, "<RET>"},   {19, "<PAUSE>"}, {27, "<ESC>"},  {32, "<SPC>"},  {33, "<PGUP>"},
    {34, "<PGDN>"},  {35, "<END>"},   {36, "<HOME>"}, {37, "<LEFT>"}, {38, "<UP>"},
    {39, "<RIGHT>"}, {40, "<DOWN>"},  {45, "<INS>"},  {46, "<DEL>"},
};

std::string Modifiers(bool alt, bool ctrl, bool shift) {
    std::string m;
    if (alt)
        m += 'A';
    if (ctrl)
        m += 'C';
    if (shift)
        m += 'S';
    return m;
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

int VirtualKeyOf(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        case Qt::Key_Pause:
            return 19;
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_Space:
            return 32;
        case Qt::Key_PageUp:
            return 33;
        case Qt::Key_PageDown:
            return 34;
        case Qt::Key_End:
            return 35;
        case Qt::Key_Home:
            return 36;
        case Qt::Key_Left:
            return 37;
        case Qt::Key_Up:
            return 38;
        case Qt::Key_Right:
            return 39;
        case Qt::Key_Down:
            return 40;
        case Qt::Key_Insert:
            return 45;
        case Qt::Key_Delete:
            return 46;
        default:
            break;
    }
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return 48 + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 65 + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return 112 + (qtKey - Qt::Key_F1);
    return 0;
}

std::string VirtualKeyName(int code) {
    for (const NamedKey& k : kNamedKeys) {
        if (k.code == code)
            return k.name;
    }
    if ((code >= 48 && code <= 57) || (code >= 65 && code <= 90))
        return std::string(1, static_cast<char>(code));
    if (code >= 112 && code <= 123)
        return "<F" + std::to_string(code - 111) + ">";
    return {};
}

std::string KeyName(int virtualKey, bool alt, bool ctrl, bool shift) {
    const std::string key = VirtualKeyName(virtualKey);
    if (key.empty())
        return {};
    return Modifiers(alt, ctrl, shift) + "_" + key;
}

std::string MouseKeyName(MouseButton button, bool alt, bool ctrl, bool shift) {
    const char* name = button == MouseButton::Left    ? "<LBUTTON>"
                       : button == MouseButton::Right ? "<RBUTTON>"
                                                      : "<MBUTTON>";
    return Modifiers(alt, ctrl, shift) + "_" + name;
}

std::string StoredBinding(TIniF& ini, std::string_view keyName) {
    if (keyName.empty() || !ini.KeyExists(settings::kKeyBind, keyName))
        return {};
    return ini.ReadString(settings::kKeyBind, keyName, "");
}

std::string LookupBinding(TIniF& ini, std::string_view keyName, char context) {
    if (keyName.empty())
        return {};
    const std::string name(keyName);
    std::string value;
    if (context != kNoContext)
        value = StoredBinding(ini, name + "@" + context);
    if (value.empty() && context == kContextTab)
        value = StoredBinding(ini, name + "@" + kContextText);
    if (value.empty())
        value = StoredBinding(ini, name);
    return value;
}

char TBinding::FirstOf(int i) const {
    if (i < 0 || i >= kMaxArgs || args[static_cast<size_t>(i)].empty())
        return '\0';
    return args[static_cast<size_t>(i)][0];
}

int TBinding::Number() const {
    return BindingInteger(argText);
}

int TBinding::NumberOf(int i) const {
    if (i < 0 || i >= kMaxArgs)
        return 0;
    return BindingInteger(args[static_cast<size_t>(i)]);
}

TBinding ParseBinding(std::string_view value) {
    TBinding b;
    const size_t open = value.find('(');
    if (open == std::string_view::npos) {
        b.name = std::string(value);
        return b;
    }
    b.name = std::string(value.substr(0, open));
    std::string_view rest = value.substr(open + 1);
    if (!rest.empty())
        rest.remove_suffix(1);  // the closing parenthesis, or whatever stands last
    b.argText = std::string(rest);
    size_t start = 0;
    for (int i = 0; i < TBinding::kMaxArgs; ++i) {
        const size_t comma = rest.find(',', start);
        b.args[static_cast<size_t>(i)] = std::string(rest.substr(start, comma - start));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return b;
}

int BindingInteger(std::string_view text) {
    text = Trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return 0;
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return 0;
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return 0;
    return static_cast<int>(value);
}

namespace {

bool SameKey(const TKeyPresses::Press& press, quint32 scanCode, int key) {
    return press.scanCode == scanCode && (scanCode != 0 || press.key == key);
}

}  // namespace

void TKeyPresses::Down(quint32 scanCode, int key, Qt::KeyboardModifiers modifiers) {
    std::erase_if(down_, [&](const Press& p) { return SameKey(p, scanCode, key); });
    down_.push_back({scanCode, key, modifiers});
}

std::optional<TKeyPresses::Press> TKeyPresses::Up(quint32 scanCode, int key) {
    const auto it = std::find_if(down_.begin(), down_.end(),
                                 [&](const Press& p) { return SameKey(p, scanCode, key); });
    if (it == down_.end())
        return std::nullopt;
    const Press press = *it;
    down_.erase(it);
    return press;
}

void TKeyBindings::Define(std::string name, Function function) {
    functions_[std::move(name)] = std::move(function);
}

bool TKeyBindings::ExecuteBinding(std::string_view value) {
    if (executing_)
        return false;
    const TBinding binding = ParseBinding(value);
    const auto it = functions_.find(binding.name);
    if (it == functions_.end())
        return false;
    struct Executing {
        bool& flag;
        explicit Executing(bool& f)
            : flag(f) {
            flag = true;
        }
        ~Executing() { flag = false; }
    } executing{executing_};
    it->second(binding);
    return true;
}

}  // namespace pelorin
