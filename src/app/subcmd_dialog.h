// TCMD, the sub-command dialog "サブコマンド実行": names a sub-command, edits its target (the
// selected message, or a condition tree built from 場所 / 比較 / 条件 with And / Or) and its
// actions, saves (登録) and forgets (削除) it in SUBCMD.INI, and closes with 実行 when the
// command can run. The window creates one per use, fills the folder list, and runs the command
// the dialog holds (main_form_subcmd.cpp); the run by name creates one without showing it.
//
// Enabling rules: 登録 needs a name; 削除 a stored name; the condition controls follow the
// condition radio; 追加 needs a field, an operator, a value, and a selected node or an empty
// tree; 削除 (condition) a selected node; 実行 an action (a folder copy with a folder chosen, a
// mark with a mark chosen, 選択, SendMe, a save with a file name or to the archive file,
// decoding) and a target (the selected message, or a non-empty tree). The folder and mark
// lists follow their boxes; the save options follow ファイルへ保存, and the file name and 参照
// are off while 保管ファイルへ is ticked.
#pragma once

#include "select/match_help.h"
#include "select/subcmd_defs.h"

#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTreeWidget;

namespace pelorin {

class TGrp;

class TCMD : public QDialog {
    Q_OBJECT
public:
    // `iniPath`: SUBCMD.INI (Shift_JIS path), opened now.
    TCMD(const std::string& iniPath, QWidget* parent = nullptr);

    // A folder entry "area(packet)" for the folder list, with its area.
    void AddFolder(const std::string& text, TGrp* area);
    // Reads the stored names into the name box, checks 選択メッセージ when neither target is
    // checked, and clears the editor (the dialog's activation).
    void Activate();
    // Restores a stored command into the controls; false when the name is not stored.
    bool Load(const std::string& name);
    // The command the controls hold, and the folder area chosen (null when none).
    TSubCommand Command() const;
    TGrp* ChosenFolder() const;
    // Whether 実行 is enabled.
    bool CanRun() const;
    // Writes the name list to SUBCMD.INI (done when the dialog closes).
    void done(int result) override;

    TMatchHelp Match;

private:
    void BuildControls();
    void CmbCommandChange();
    void CmdSaveClick();
    void CmdDelClick();
    void OptCondClick();
    void CmbHeaderChange();
    void RefreshConditionButtons();
    void BtnAddClick();
    void BtnDeleteClick();
    void ShowTree();
    int SelectedNode() const;
    void ActionState();
    void CmdRefClick();

    TSubCmdFile file_;
    std::vector<TGrp*> folderAreas_;
    bool loading_ = false;

    QComboBox* cmbCommand_;
    QPushButton* cmdSave_;
    QPushButton* cmdDel_;
    QRadioButton* optSelected_;
    QCheckBox* cbThread_;
    QRadioButton* optCond_;
    QWidget* groupBox3_;
    QComboBox* cmbHeader_;
    QComboBox* cmbCond_;
    QComboBox* cmbText_;
    QRadioButton* optAnd_;
    QRadioButton* optOr_;
    QPushButton* btnAdd_;
    QPushButton* btnNamed_;
    QPushButton* btnDelete_;
    QTreeWidget* tvCondition_;
    QCheckBox* cbCase_;
    QCheckBox* cbRegEx_;
    QCheckBox* cbFolderCopy_;
    QComboBox* cmbFolder_;
    QCheckBox* cbMarkSet_;
    QComboBox* cmbMark_;
    QCheckBox* cbKill_;
    QCheckBox* cbCheck_;
    QCheckBox* cbSendMe_;
    QCheckBox* cbSave_;
    QCheckBox* cbCode_;
    QCheckBox* cbHeader_;
    QCheckBox* cbOverWrite_;
    QCheckBox* cbExpire_;
    QLineEdit* edtFilename_;
    QPushButton* cmdRef_;
    QCheckBox* cbDecode_;
    QPushButton* okBtn_;
    QPushButton* cancelBtn_;
    QStatusBar* statusLine_;
};

}  // namespace pelorin
