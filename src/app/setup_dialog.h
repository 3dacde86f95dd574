// TSetUpDlg: the settings dialog "設定" - five pages (ディレクトリ, メッセージ作成, 画面表示, 印刷,
// キーカスタマイズ) in a page control, OK (the default button) and ｷｬﾝｾﾙ. The dialog only shows
// and edits: the window reads the settings into it (store/setup_settings.h), and stores what
// Settings() returns after OK; the key page works on its own copy of [KeyBind]
// (store/key_binding_editor.h), which is stored with the rest.
//
// Controls carry the names of the settings they edit: lstAutoLoad, cmdPktAdd, cmdPktDel,
// edtSendDir, cmdSendRef, edtDataDir, cmdDataRef, cmbSaveCharset (ディレクトリ; the character
// set of saved text: the locale's, UTF-8 or Shift_JIS); edtEditor, cmdEditorRef,
// edtQuote, edtRefer, edtSig, cmdSigRef, edtReplyTo, cmbPosted, cmbReserve (メッセージ作成);
// edtSubjectLine, edtQuoteChars, TabBar, edtBackPic, cmdBackPicRef, cbShowImage (pictures of
// image parts, [Display] ShowImage), the font buttons
// cmdFontArea, cmdFontSubj, cmdFontText, cmdFontQuote, cmdFontMono and cmdFontClick, the
// radio buttons optTop, optBottom, optLeft, optRight (optFillWindow hidden), optAST ... optTSA
// (画面表示, setup_display_page.cpp); mmPageLeftHeader, mmPageRightHeader, edtPrtTop,
// edtPrtBottom, edtPrtLeft, edtPrtRight (印刷); lstKeys, cbCtrl, cbShift, cbAlt, rgFocus,
// lstFunc, cmbArg, lblArg (キーカスタマイズ, setup_key_page.cpp).
//
// Values are shown as text and, where the user left them alone, handed back with the bytes
// they were read with, so OK without a change stores nothing.
//
// The file and directory choosers, the font dialog and the colour dialog are members that tests
// may replace; the messages of 追加 go through TDialogs.
#pragma once

#include "store/dialogs.h"
#include "store/key_binding_editor.h"
#include "store/setup_settings.h"

#include <QDialog>

#include <array>
#include <functional>
#include <string>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;

namespace pelorin {

class TSetUpDlg : public QDialog {
    Q_OBJECT

public:
    explicit TSetUpDlg(TDialogs& dialogs, QWidget* parent = nullptr);

    // Fills the controls: `settings` as read, the folders of the open folder packets for the
    // two folder lists, the bindings of `ini`'s [KeyBind] and the stored sub-command names for
    // the parameter box.
    void Load(const SetupSettings& settings,
              const std::vector<FolderItem>& openFolders,
              TIniF& ini,
              const TSList& subCommands);
    // What the controls hold.
    SetupSettings Settings() const;
    const TKeyBindingEditor& Bindings() const { return bindings_; }
    QTabWidget* Pages() const { return pages_; }

    // Choosers. Paths are Shift_JIS; "" when cancelled. `filter` is a Qt name filter list.
    std::function<std::string(
        const QString& caption, const std::string& start, const QString& filter)>
        chooseFile;
    std::function<std::string(const std::string& start)> chooseDirectory;
    std::function<bool(TFont& font)> chooseFont;
    std::function<bool(int32_t& colour)> chooseColour;

    // Events.
    void cmdEditorRefClick();
    void cmdSigRefClick();
    void cmdSendRefClick();
    void cmdDataRefClick();
    void cmdPktAddClick();
    void lstAutoLoadClick();
    void cmdPktDelClick();
    void lstKeysClick();
    void lstFuncClick();
    void cmdFontAreaClick(int font);
    void cmdFontClickClick();
    void cmdBackPicRefClick();
    // The key name the key page's controls choose ("" when no key is chosen).
    std::string CurrentKeyName() const;

private:
    QWidget* BuildDirectoryPage();
    QWidget* BuildMessagePage();
    QWidget* BuildDisplayPage();  // setup_display_page.cpp
    QWidget* BuildPrintPage();
    QWidget* BuildKeyPage();  // setup_key_page.cpp
    void LoadDisplayPage(const SetupSettings& s);
    void ReadDisplayPage(SetupSettings& s) const;
    void ShowFontButton(int font);
    void ShowClickButton();
    void ShowCurrentBinding();
    void ChooseDirectoryInto(QLineEdit* edit);

    TDialogs& dialogs_;
    TKeyBindingEditor bindings_;  // the working lists of [KeyBind]
    std::array<TFont, kSetupFonts> fonts_;
    int32_t clickableColor_ = 0;
    int32_t tabCountRead_ = 4;             // TabCount as read, also outside the track bar's 1 to 12
    std::vector<FolderItem> postedItems_;  // items of cmbPosted after なし
    std::vector<FolderItem> reserveItems_;  // items of cmbReserve after なし
    SetupSettings read_;                    // the settings as read
    bool updatingKeys_ = false;             // the key page is being filled, not edited

    QTabWidget* pages_ = nullptr;
    // ディレクトリ
    QListWidget* lstAutoLoad_ = nullptr;
    QPushButton* cmdPktDel_ = nullptr;
    QLineEdit* edtSendDir_ = nullptr;
    QLineEdit* edtDataDir_ = nullptr;
    QComboBox* cmbSaveCharset_ = nullptr;
    // メッセージ作成
    QLineEdit* edtEditor_ = nullptr;
    QLineEdit* edtQuote_ = nullptr;
    QLineEdit* edtRefer_ = nullptr;
    QLineEdit* edtSig_ = nullptr;
    QLineEdit* edtReplyTo_ = nullptr;
    QComboBox* cmbPosted_ = nullptr;
    QComboBox* cmbReserve_ = nullptr;
    // 画面表示
    QLineEdit* edtSubjectLine_ = nullptr;
    QLineEdit* edtQuoteChars_ = nullptr;
    QSlider* tabBar_ = nullptr;
    QLineEdit* edtBackPic_ = nullptr;
    QCheckBox* cbShowImage_ = nullptr;
    std::array<QPushButton*, kSetupFonts> fontButtons_{};
    QPushButton* cmdFontClick_ = nullptr;
    QButtonGroup* cutGroup_ = nullptr;
    QButtonGroup* setGroup_ = nullptr;
    // 印刷
    QPlainTextEdit* mmPageLeftHeader_ = nullptr;
    QPlainTextEdit* mmPageRightHeader_ = nullptr;
    std::array<QLineEdit*, 4> margins_{};  // top, bottom, left, right
    // キーカスタマイズ
    QListWidget* lstKeys_ = nullptr;
    QCheckBox* cbCtrl_ = nullptr;
    QCheckBox* cbShift_ = nullptr;
    QCheckBox* cbAlt_ = nullptr;
    QButtonGroup* rgFocus_ = nullptr;
    QListWidget* lstFunc_ = nullptr;
    QComboBox* cmbArg_ = nullptr;
    QLabel* lblArg_ = nullptr;
    QLabel* lblBinding_ = nullptr;
};

// What an edit holds: `read` while it still shows that text, so bytes with no character
// (shown as U+FFFD, which would come back as "?") stay as they were; else the text converted.
std::string EditedText(const QString& shown, const std::string& read);

// The memo's lines as a list: one entry per line, without the empty line after a final line
// break; an empty memo is an empty list.
TSList MemoLines(const QString& text);

// Tests and the walk-through reach the dialog while it is shown modally through this hook:
// called with the dialog just before it runs (tests only; null in the program).
extern std::function<void(TSetUpDlg&)> TESTING_ONLY_setUpDialogShown;

}  // namespace pelorin
