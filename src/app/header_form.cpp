// The header form of composition (see header_form.h).
#include "app/header_form.h"

#include "app/address_dialog.h"
#include "view/sjis_qt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace pelorin {

std::function<void(TfrmInput&)> TESTING_ONLY_headerFormShown;

TfrmInput::TfrmInput(THeaderForm& form, std::string programDir, TDialogs& dialogs, QWidget* parent)
    : QDialog(parent)
    , form_(form)
    , programDir_(std::move(programDir))
    , dialogs_(dialogs) {
    setObjectName(QStringLiteral("frmInput"));
    setWindowTitle(ToQString(HeaderFormCaption()));

    subject_ = new QLineEdit(form_.subjectUtf8.empty() ? ToQString(form_.subject)
                                                       : Utf8ToQString(form_.subjectUtf8));
    subject_->setObjectName(QStringLiteral("edtSubj"));
    auto* subjectLabel = new QLabel(QStringLiteral("題名"));
    subjectLabel->setBuddy(subject_);
    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"));
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    followups_ = new QListWidget;
    followups_->setObjectName(QStringLiteral("lstGrp"));
    followups_->setMaximumHeight(90);
    followupLabel_ = new QLabel(QStringLiteral("フォロー先指定"));
    followupLabel_->setObjectName(QStringLiteral("lblGrp"));
    followupLabel_->setBuddy(followups_);
    editHeader_ = new QCheckBox(QStringLiteral("ヘッダーも編集する"));
    editHeader_->setObjectName(QStringLiteral("cbHeader"));
    editHeader_->setChecked(form_.editHeader);
    to_ = new QComboBox;
    to_->setObjectName(QStringLiteral("cmbTo"));
    to_->setEditable(true);
    to_->setInsertPolicy(QComboBox::NoInsert);
    to_->setMinimumContentsLength(36);
    for (const std::string& item : form_.recipientItems) to_->addItem(ToQString(item));
    to_->setEditText(ToQString(form_.recipient));
    auto* toLabel = new QLabel(QStringLiteral("宛先"));
    toLabel->setBuddy(to_);
    auto* address = new QPushButton(QStringLiteral("アドレス帳"));
    address->setObjectName(QStringLiteral("cmdAddress"));
    address->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(subjectLabel, 0, 0);
    grid->addWidget(subject_, 0, 1, 1, 2);
    grid->addWidget(toLabel, 1, 0);
    grid->addWidget(to_, 1, 1);
    grid->addWidget(address, 1, 2);
    grid->addWidget(followupLabel_, 2, 0, Qt::AlignTop);
    grid->addWidget(followups_, 2, 1, 1, 2);
    grid->addWidget(editHeader_, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 4, 0, 1, 3);

    setTabOrder(subject_, ok);
    setTabOrder(ok, cancel);
    setTabOrder(cancel, followups_);
    setTabOrder(followups_, editHeader_);
    setTabOrder(editHeader_, to_);
    setTabOrder(to_, address);

    FillFollowupList();
    connect(to_, &QComboBox::editTextChanged, this, &TfrmInput::RecipientChanged);
    connect(ok, &QPushButton::clicked, this, &TfrmInput::accept);
    connect(cancel, &QPushButton::clicked, this, &TfrmInput::reject);
    connect(address, &QPushButton::clicked, this, &TfrmInput::cmdAddressClick);
    subject_->setFocus();
}

void TfrmInput::FillFollowupList() {
    followups_->clear();
    for (const std::string& entry : form_.followups) followups_->addItem(ToQString(entry));
    if (form_.followupIndex >= 0 && form_.followupIndex < followups_->count())
        followups_->setCurrentRow(form_.followupIndex);
    const bool enabled = form_.FollowupEnabled();
    followups_->setEnabled(enabled);
    followupLabel_->setEnabled(enabled);
    // The window colour when it can be used, the button face when it cannot.
    followups_->viewport()->setBackgroundRole(enabled ? QPalette::Base : QPalette::Button);
}

void TfrmInput::RecipientChanged(const QString& text) {
    const std::string recipient = FromQString(text);
    if (recipient == form_.recipient)
        return;
    form_.recipient = recipient;
    form_.followupIndex = -1;
    FillFollowups(form_);
    FillFollowupList();
}

void TfrmInput::cmdAddressClick() {
    const std::optional<std::string> chosen =
        RunAddressBook(programDir_, FromQString(to_->currentText()), dialogs_, this);
    if (chosen)
        to_->setEditText(ToQString(*chosen));
}

void TfrmInput::accept() {
    if (to_->currentText().trimmed().isEmpty()) {
        // Nothing typed is lost: the form stays open as it is.
        (void)dialogs_.MessageBox(
            FromQString(QStringLiteral("宛先が入力されていません。\n宛先を入力してください。")),
            MsgIcon::Warning, MsgButtons::Ok);
        to_->setFocus();
        return;
    }
    const QString subject = subject_->text();
    form_.subject = FromQString(subject);
    // Characters Shift_JIS cannot hold (accented letters, Hangul, emoji) are kept in UTF-8.
    form_.subjectUtf8 =
        ToQString(form_.subject) == subject ? std::string() : QStringToUtf8(subject);
    form_.recipient = FromQString(to_->currentText());
    form_.followupIndex = followups_->isEnabled() ? followups_->currentRow() : -1;
    form_.editHeader = editHeader_->isChecked();
    QDialog::accept();
}

bool TQtHeaderFormView::Run(THeaderForm& form) {
    TfrmInput dialog(form, programDir_, dialogs_, window_);
    dialog.adjustSize();
    if (window_) {
        QRect frame = dialog.frameGeometry();
        frame.moveCenter(window_->frameGeometry().center());
        dialog.move(frame.topLeft());
    }
    if (TESTING_ONLY_headerFormShown)
        TESTING_ONLY_headerFormShown(dialog);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace pelorin
