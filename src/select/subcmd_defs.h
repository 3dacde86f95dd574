// Sub-command definitions: the named recipes of SUBCMD.INI in the program's directory (a
// target - the selected message, or the messages of an area a condition tree selects - and a
// set of actions), read and written key by key as the sub-command dialog shows them.
//
// File layout:
//   [SubCommands]  SubCom0, SubCom1, ... the names in list order (other keys kept)
//   [NAME]         one section per command (the name trimmed), keys in the order Save writes
//                  them: UnderThread, ConditionStr0..., Target, CaseSensetive, UseRegEx,
//                  CopyToFolder, Folder, MarkSet, Mark, CheckMark, Kill, SendMe, SaveToFile,
//                  CodeTranslate, HeaderOutput, OverWrite, ToExpiredFile, SaveTo, DecodeToFile
//
// Values: Y/N flags count only as "Y" (true), "N" or "YN" (false); anything else, and a
// missing key, gives the default, which is written back at once. The string keys Target,
// Folder, Mark and SaveTo write their defaults back too. Condition lines are stored between
// double quotes so that their leading blanks (the tree depth) survive; one pair of enclosing
// quotes is removed on reading. Lists (SubCom, ConditionStr) are rewritten whole: the keys
// with the prefix go, the other keys of the section stay, the list follows from 0.
//
// The mark is stored as the 2-byte piece of "－＋＿" (0x81 0x7C 0x81 0x7B 0x81 0x51) starting
// at byte 2 x item (at least 1): item 0 "－" 0x81 0x7C, 1 "＋" 0x7C 0x81, 2 "＿" 0x7B 0x81,
// 3 "＊" 0x51. Reading takes the first position p (from 1) of the stored value in those six
// bytes and gives item p div 2 (0 when absent). Files written by hand hold the characters
// themselves; "＋" and "＿" come out right by the position rule, and "＊" (which the rule
// would read as "－", a delete mark) is recognised as item 3 before the rule is applied.
//
// Bad input: a file that exists but cannot be read is never written over (TIniF refuses the
// writes, and Save reports false); a section that is missing loads with every default and
// writes them back; unknown keys in a section or in [SubCommands] are kept.
#pragma once

#include "store/inifile.h"
#include "store/strutil.h"

#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

// One sub-command as the dialog's controls hold it. The initial values are those of a freshly
// opened dialog; Load changes only the fields whose keys it reads.
struct TSubCommand {
    bool underThread = false;             // UnderThread (stored, not used by runs)
    bool conditionMode = false;           // Target: "MessageSelect" (true), "SelectedMessage"
    std::vector<std::string> conditions;  // ConditionStr lines, indented by blanks
    bool fuzzy = true;                    // あいまい検索; stored inverted as CaseSensetive
    bool useRegEx = true;                 // 正規表現
    bool copyToFolder = false;            // フォルダーへコピー
    std::string folder;                   // Folder: "area(packet)"
    bool markSet = false;                 // マークをセット
    int markItem = -1;                    // -1 none, 0 "－", 1 "＋", 2 "＿", 3 "＊"
    bool checkMark = false;               // 選択 (CheckMark)
    bool kill = false;                    // Kill (stored, not used by runs)
    bool sendMe = false;                  // SendMeコマンドの発行
    bool saveToFile = false;              // ファイルへ保存
    bool codeTranslate = true;            // コード変換有
    bool headerOutput = false;            // ヘッダーも出力
    bool overWrite = false;               // 上書き保存
    bool toExpiredFile = false;           // 保管ファイルへ (the area's SaveTo)
    std::string saveTo;                   // the file name
    bool decodeToFile = false;            // ファイルへデコード
};

// The mark a run sets for `item` ('-', '+', ' ', '*'); 0 for no item.
char SubCmdMarkChar(int item);
// The stored form of a mark item, and the item a stored value stands for (see above).
std::string SubCmdMarkValue(int item);
int SubCmdMarkItem(std::string_view stored);

// The entry of `entries` ("area(packet)" texts, in list order) a stored Folder value selects:
// the one equal to it; else, when it holds "(" and ends with ")", the last entry that begins
// with the text before its last "(" followed by "("; -1 when none.
int FindFolderEntry(const std::vector<std::string>& entries, std::string_view stored);

// Whether the command has an action to run (the dialog's 実行 button): `folderChosen` is
// whether its Folder resolved to an entry.
bool SubCmdHasAction(const TSubCommand& cmd, bool folderChosen);
// Whether it can run: an action, and a target (selected mode, or a non-empty condition list).
bool SubCmdRunnable(const TSubCommand& cmd, bool folderChosen);

// SUBCMD.INI. The name list is read when the object is made and written by WriteNames (the
// dialog does so when it closes); Save and Delete change the list in memory only.
class TSubCmdFile {
public:
    // `path` is Shift_JIS text.
    explicit TSubCmdFile(std::string path);

    const TSList& Names() const { return names_; }
    bool Contains(std::string_view name) const;

    // Restores the command `name` (trimmed) into `cmd`; false, with `cmd` unchanged, when the
    // name is not in the list.
    bool Load(std::string_view name, TSubCommand& cmd);
    // Writes `cmd` as `name` (trimmed, not empty), adding the name to the list when new. False
    // when the name is empty or the file could not be written.
    bool Save(std::string_view name, const TSubCommand& cmd);
    // Forgets `name` in the list; its section stays in the file. False when not listed.
    bool Delete(std::string_view name);
    // Writes the name list as SubCom0, SubCom1, ...; false when the file could not be written.
    bool WriteNames();

    TIniF& Ini() { return ini_; }

private:
    TIniF ini_;
    TSList names_;
};

}  // namespace pelorin
