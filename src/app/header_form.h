// TfrmInput: the header form of composition ("メッセージの作成"), shown modally and centred
// over the main window. It shows a THeaderForm (store/compose_form.h) and writes the user's
// changes back into it when closed with OK.
//
// Controls, in tab order: 題名 `edtSubj`, OK `cmdOK`, キャンセル `cmdCancel`, フォロー先指定
// `lstGrp`, `cbHeader` ("ヘッダーも編集する"), 宛先 `cmbTo` (an editable drop-down of the address
// book's entries), アドレス帳 `cmdAddress`.
//
// The follow-up list follows the recipient as it is typed: while the recipient holds ",", the
// list shows each comma-separated part and "なし" and is enabled; otherwise it is empty and
// disabled, label included. The drop-down offers whole entries ("name<address>"), so that
// choosing one gives a recipient with its address. アドレス帳 opens the address book with the
// recipient's name and address filled in and takes the entry chosen there. OK with an empty (or
// blank) recipient is refused: a message says why, and the form stays open as it was typed.
#pragma once

#include "store/compose_form.h"
#include "store/dialogs.h"

#include <QDialog>

#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace pelorin {

class TfrmInput : public QDialog {
    Q_OBJECT

public:
    // `form` is shown now and updated by Store (OK); `programDir` (ending with "/") holds the
    // address book; `dialogs` shows its errors. All must outlive the window.
    TfrmInput(THeaderForm& form,
              std::string programDir,
              TDialogs& dialogs,
              QWidget* parent = nullptr);

    // The アドレス帳 button.
    void cmdAddressClick();

    void accept() override;

private:
    void RecipientChanged(const QString& text);
    void FillFollowupList();

    THeaderForm& form_;
    std::string programDir_;
    TDialogs& dialogs_;
    QLineEdit* subject_ = nullptr;
    QListWidget* followups_ = nullptr;
    QLabel* followupLabel_ = nullptr;
    QCheckBox* editHeader_ = nullptr;
    QComboBox* to_ = nullptr;
};

// The header form as composition asks for it (THeaderFormView): one TfrmInput per Run, over
// `window`.
class TQtHeaderFormView : public THeaderFormView {
public:
    TQtHeaderFormView(QWidget* window, std::string programDir, TDialogs& dialogs)
        : window_(window)
        , programDir_(std::move(programDir))
        , dialogs_(dialogs) {}

    bool Run(THeaderForm& form) override;

private:
    QWidget* window_;  // not owned
    std::string programDir_;
    TDialogs& dialogs_;
};

// Called with each header form just before it runs (tests and the walk-through only; empty
// in the program).
extern std::function<void(TfrmInput&)> TESTING_ONLY_headerFormShown;

}  // namespace pelorin
