// Sub-command definitions in SUBCMD.INI (see subcmd_defs.h).
#include "select/subcmd_defs.h"

#include "coding/cp932.h"
#include "store/settings.h"

#include <utility>

namespace pelorin {
namespace {

constexpr std::string_view kList = "SubCommands";
constexpr std::string_view kListPrefix = "SubCom";
constexpr std::string_view kCondPrefix = "ConditionStr";
constexpr std::string_view kSelected = "SelectedMessage";
constexpr std::string_view kCondition = "MessageSelect";

// "－＋＿" as Shift_JIS: the string the stored mark is a piece of.
const std::string& MarkPieces() {
    static const std::string pieces = Sjis("－＋＿");
    return pieces;
}

std::string Quoted(std::string_view line) {
    std::string s;
    s.reserve(line.size() + 2);
    s += '"';
    s += line;
    s += '"';
    return s;
}

std::string Unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

}  // namespace

char SubCmdMarkChar(int item) {
    static constexpr std::string_view kMarks = "-+ *";
    return item >= 0 && item < 4 ? kMarks[static_cast<size_t>(item)] : 0;
}

std::string SubCmdMarkValue(int item) {
    const std::string& pieces = MarkPieces();
    size_t start1 = item > 0 ? static_cast<size_t>(2 * item) : 1;
    if (start1 > pieces.size())
        return {};
    return pieces.substr(start1 - 1, 2);
}

int SubCmdMarkItem(std::string_view stored) {
    // A hand-written "＊" would read as "－" by the position rule and mark messages for
    // deletion; it means item 3.
    if (stored == Sjis("＊"))
        return 3;
    if (stored.empty())
        return 0;
    const size_t p = MarkPieces().find(stored);
    return p == std::string::npos ? 0 : static_cast<int>((p + 1) / 2);
}

int FindFolderEntry(const std::vector<std::string>& entries, std::string_view stored) {
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i] == stored)
            return static_cast<int>(i);
    const size_t open = stored.rfind('(');
    if (open == std::string_view::npos || stored.empty() || stored.back() != ')')
        return -1;
    const std::string prefix = std::string(stored.substr(0, open + 1));
    int found = -1;
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].compare(0, prefix.size(), prefix) == 0)
            found = static_cast<int>(i);
    return found;
}

bool SubCmdHasAction(const TSubCommand& cmd, bool folderChosen) {
    return (cmd.copyToFolder && folderChosen) || (cmd.markSet && cmd.markItem >= 0) ||
           cmd.checkMark || cmd.sendMe ||
           (cmd.saveToFile && (!cmd.saveTo.empty() || cmd.toExpiredFile)) || cmd.decodeToFile;
}

bool SubCmdRunnable(const TSubCommand& cmd, bool folderChosen) {
    return SubCmdHasAction(cmd, folderChosen) && (!cmd.conditionMode || !cmd.conditions.empty());
}

TSubCmdFile::TSubCmdFile(std::string path)
    : ini_(std::move(path)) {
    ReadList(ini_, kList, kListPrefix, names_);
}

bool TSubCmdFile::Contains(std::string_view name) const {
    const std::string_view n = Trim(name);
    for (const std::string& s : names_)
        if (s == n)
            return true;
    return false;
}

bool TSubCmdFile::Load(std::string_view name, TSubCommand& cmd) {
    const std::string section(Trim(name));
    if (section.empty() || !Contains(section))
        return false;
    // Reading writes the missing defaults back; gather them into one file write.
    TIniF::Update update(ini_);
    cmd.conditions.clear();
    cmd.conditionMode = ReadText(ini_, section, "Target", kSelected) != kSelected;
    cmd.underThread = ReadFlag(ini_, section, "UnderThread", false);
    if (cmd.conditionMode) {
        TSList lines;
        ReadList(ini_, section, kCondPrefix, lines);
        for (const std::string& l : lines) cmd.conditions.push_back(Unquoted(l));
        cmd.fuzzy = !ReadFlag(ini_, section, "CaseSensetive", false);
        cmd.useRegEx = ReadFlag(ini_, section, "UseRegEx", true);
    }
    cmd.copyToFolder = ReadFlag(ini_, section, "CopyToFolder", false);
    cmd.folder = ReadText(ini_, section, "Folder", "");
    cmd.markSet = ReadFlag(ini_, section, "MarkSet", false);
    if (cmd.markSet) {
        cmd.markItem = SubCmdMarkItem(ReadText(ini_, section, "Mark", SubCmdMarkValue(0)));
        cmd.kill = ReadFlag(ini_, section, "Kill", false);
    }
    cmd.checkMark = ReadFlag(ini_, section, "CheckMark", false);
    cmd.sendMe = ReadFlag(ini_, section, "SendMe", false);
    cmd.saveToFile = ReadFlag(ini_, section, "SaveToFile", false);
    if (cmd.saveToFile) {
        cmd.codeTranslate = ReadFlag(ini_, section, "CodeTranslate", true);
        cmd.headerOutput = ReadFlag(ini_, section, "HeaderOutput", true);
        cmd.overWrite = ReadFlag(ini_, section, "OverWrite", true);
        cmd.toExpiredFile = ReadFlag(ini_, section, "ToExpiredFile", false);
        cmd.saveTo = ReadText(ini_, section, "SaveTo", "");
    }
    cmd.decodeToFile = ReadFlag(ini_, section, "DecodeToFile", false);
    return true;
}

bool TSubCmdFile::Save(std::string_view name, const TSubCommand& cmd) {
    const std::string section(Trim(name));
    if (section.empty())
        return false;
    if (!Contains(section))
        names_.push_back(section);
    bool ok = true;
    {
        TIniF::Update update(ini_);
        auto flag = [&](std::string_view key, bool v) {
            ok = ini_.WriteString(section, key, v ? "Y" : "N") && ok;
        };
        auto text = [&](std::string_view key, std::string_view v) {
            ok = ini_.WriteString(section, key, v) && ok;
        };
        flag("UnderThread", cmd.underThread);
        if (!cmd.conditionMode) {
            text("Target", kSelected);
        } else {
            TSList lines;
            for (const std::string& l : cmd.conditions) lines.push_back(Quoted(l));
            WriteList(ini_, section, kCondPrefix, lines);
            text("Target", kCondition);
            flag("CaseSensetive", !cmd.fuzzy);
            flag("UseRegEx", cmd.useRegEx);
        }
        flag("CopyToFolder", cmd.copyToFolder);
        text("Folder", cmd.folder);
        flag("MarkSet", cmd.markSet);
        text("Mark", SubCmdMarkValue(cmd.markItem));
        flag("CheckMark", cmd.checkMark);
        flag("Kill", cmd.kill);
        flag("SendMe", cmd.sendMe);
        flag("SaveToFile", cmd.saveToFile);
        flag("CodeTranslate", cmd.codeTranslate);
        flag("HeaderOutput", cmd.headerOutput);
        flag("OverWrite", cmd.overWrite);
        flag("ToExpiredFile", cmd.toExpiredFile);
        text("SaveTo", cmd.saveTo);
        flag("DecodeToFile", cmd.decodeToFile);
    }
    return ok && ini_.LastResult() == ReplaceResult::Ok;
}

bool TSubCmdFile::Delete(std::string_view name) {
    const std::string_view n = Trim(name);
    for (auto it = names_.begin(); it != names_.end(); ++it) {
        if (*it == n) {
            names_.erase(it);
            return true;
        }
    }
    return false;
}

bool TSubCmdFile::WriteNames() {
    WriteList(ini_, kList, kListPrefix, names_);
    return ini_.LastResult() == ReplaceResult::Ok;
}

}  // namespace pelorin
