// Settings helpers over TIniF (see settings.h).
#include "store/settings.h"

#include <algorithm>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace pelorin {
namespace {

constexpr std::string_view kTextSentinel = "XxYyZz";
constexpr int32_t kNumberSentinel = std::numeric_limits<int32_t>::min();

std::string Key(std::string_view prefix, std::string_view name) {
    std::string k(prefix);
    k += name;
    return k;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::string ReadText(TIniF& ini,
                     std::string_view section,
                     std::string_view key,
                     std::string_view def) {
    std::string value = ini.ReadString(section, key, kTextSentinel);
    if (value != kTextSentinel)
        return value;
    (void)ini.WriteString(section, key, def);
    return std::string(def);
}

int32_t ReadNumber(TIniF& ini, std::string_view section, std::string_view key, int32_t def) {
    int32_t value = ini.ReadInteger(section, key, kNumberSentinel);
    if (value != kNumberSentinel)
        return value;
    (void)ini.WriteInteger(section, key, def);
    return def;
}

bool ReadFlag(TIniF& ini, std::string_view section, std::string_view key, bool def) {
    std::string value = ini.ReadString(section, key, "X");
    if (value == "Y" || value == "N" || value == "YN")
        return value == "Y";
    WriteFlag(ini, section, key, def);
    return def;
}

void WriteFlag(TIniF& ini, std::string_view section, std::string_view key, bool value) {
    (void)ini.WriteString(section, key, value ? "Y" : "N");
}

void ReadFont(TIniF& ini, std::string_view section, std::string_view prefix, TFont& font) {
    font.name = ini.ReadString(section, Key(prefix, "Name"), font.name);
    font.size = ini.ReadInteger(section, Key(prefix, "Size"), font.size);
    font.color = ini.ReadInteger(section, Key(prefix, "Color"), font.color);
    font.charSet = ini.ReadInteger(section, Key(prefix, "CharSet"), font.charSet);
    font.bold = ini.ReadString(section, Key(prefix, "StyleBold"), "") == "Y";
    font.italic = ini.ReadString(section, Key(prefix, "StyleItalic"), "") == "Y";
    font.underline = ini.ReadString(section, Key(prefix, "StyleUnderline"), "") == "Y";
    font.strikeout = ini.ReadString(section, Key(prefix, "StyleStrikeout"), "") == "Y";
}

void WriteFont(TIniF& ini, std::string_view section, std::string_view prefix, const TFont& font) {
    TIniF::Update update(ini);
    (void)ini.WriteString(section, Key(prefix, "Name"), font.name);
    (void)ini.WriteInteger(section, Key(prefix, "Size"), font.size);
    (void)ini.WriteInteger(section, Key(prefix, "Color"), font.color);
    (void)ini.WriteInteger(section, Key(prefix, "CharSet"), font.charSet);
    WriteFlag(ini, section, Key(prefix, "StyleBold"), font.bold);
    WriteFlag(ini, section, Key(prefix, "StyleItalic"), font.italic);
    WriteFlag(ini, section, Key(prefix, "StyleUnderline"), font.underline);
    WriteFlag(ini, section, Key(prefix, "StyleStrikeout"), font.strikeout);
}

void ReadList(TIniF& ini, std::string_view section, std::string_view prefix, TSList& lines) {
    lines.clear();
    struct Item {
        int32_t number;
        std::string key;
        std::string value;
    };
    std::vector<Item> items;
    for (auto& [key, value] : ini.ReadSectionValues(section)) {
        if (StartsWith(key, prefix))
            items.push_back({ToInteger(std::string_view(key).substr(prefix.size())), key, value});
    }
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        if (a.number != b.number)
            return a.number < b.number;
        return CompareNoCase(a.key, b.key) < 0;
    });
    lines.reserve(items.size());
    for (Item& item : items) lines.push_back(std::move(item.value));
}

void WriteList(TIniF& ini, std::string_view section, std::string_view prefix, const TSList& lines) {
    // One file write for the whole list: erasing first and writing key by key would leave the
    // section without its list if the program stopped half-way.
    TIniF::Update update(ini);
    for (const std::string& key : ini.ReadSection(section)) {
        if (StartsWith(key, prefix))
            (void)ini.DeleteKey(section, key);
    }
    for (size_t i = 0; i < lines.size(); ++i)
        (void)ini.WriteString(section, Key(prefix, std::to_string(i)), lines[i]);
}

}  // namespace pelorin
