// The sub-command dialog (see subcmd_dialog.h).
#include "app/subcmd_dialog.h"

#include "coding/cp932.h"

#include "view/sjis_qt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace pelorin {
namespace {

template <class W>
W* Named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

}  // namespace

TCMD::TCMD(const std::string& iniPath, QWidget* parent)
    : QDialog(parent)
    , file_(iniPath) {
    setObjectName(QStringLiteral("TCMD"));
    setWindowTitle(QStringLiteral("サブコマンド実行"));
    BuildControls();
}

void TCMD::BuildControls() {
    auto* top = new QVBoxLayout(this);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(Named(new QLabel(QStringLiteral("サブコマンド名")), "Label1"));
    cmbCommand_ = Named(new QComboBox, "cmbCommand");
    cmbCommand_->setEditable(true);
    cmbCommand_->setInsertPolicy(QComboBox::NoInsert);
    nameRow->addWidget(cmbCommand_, 1);
    cmdSave_ = Named(new QPushButton(QStringLiteral("登録")), "cmdSave");
    cmdSave_->setToolTip(QStringLiteral("コマンドの保存"));
    cmdSave_->setStatusTip(QStringLiteral("コマンドの内容をファイルに保存します。"));
    cmdSave_->setEnabled(false);
    cmdDel_ = Named(new QPushButton(QStringLiteral("削除")), "cmdDel");
    cmdDel_->setEnabled(false);
    nameRow->addWidget(cmdSave_);
    nameRow->addWidget(cmdDel_);
    top->addLayout(nameRow);

    // 対象
    auto* target = Named(new QGroupBox(QStringLiteral("対象")), "GroupBox4");
    auto* targetLayout = new QVBoxLayout(target);
    optSelected_ = Named(new QRadioButton(QStringLiteral("選択メッセージ")), "optSelected");
    cbThread_ = Named(new QCheckBox(QStringLiteral("下流のメッセージも対象")), "cbThread");
    cbThread_->hide();
    targetLayout->addWidget(optSelected_);
    targetLayout->addWidget(cbThread_);
    auto* condRow = new QHBoxLayout;
    optCond_ = Named(new QRadioButton, "optCond");
    condRow->addWidget(optCond_, 0, Qt::AlignTop);
    auto* box3 = Named(new QGroupBox(QStringLiteral("条件検索")), "GroupBox3");
    groupBox3_ = box3;
    auto* grid = new QGridLayout(box3);
    grid->addWidget(Named(new QLabel(QStringLiteral("場所")), "Label2"), 0, 0);
    grid->addWidget(Named(new QLabel(QStringLiteral("比較")), "Label3"), 0, 1);
    grid->addWidget(Named(new QLabel(QStringLiteral("条件")), "Label4"), 0, 2);
    cmbHeader_ = Named(new QComboBox, "cmbHeader");
    cmbHeader_->setEditable(true);
    cmbHeader_->addItems({QStringLiteral("Subject"), QStringLiteral("From"), QStringLiteral("Date"),
                          QStringLiteral("Message-ID"), QStringLiteral("References"),
                          QStringLiteral("Lines"), QStringLiteral("サイズ"),
                          QStringLiteral("マーク"), QStringLiteral("本文")});
    cmbHeader_->setCurrentIndex(-1);
    cmbHeader_->setEditText(QString());
    cmbCond_ = Named(new QComboBox, "cmbCond");
    cmbText_ = Named(new QComboBox, "cmbText");
    cmbText_->setEditable(true);
    grid->addWidget(cmbHeader_, 1, 0);
    grid->addWidget(cmbCond_, 1, 1);
    grid->addWidget(cmbText_, 1, 2);
    auto* buttons = new QHBoxLayout;
    optAnd_ = Named(new QRadioButton(QStringLiteral("And")), "OptAnd");
    optOr_ = Named(new QRadioButton(QStringLiteral("Or")), "OptOr");
    optAnd_->setChecked(true);
    btnAdd_ = Named(new QPushButton(QStringLiteral("追加")), "btnAdd");
    btnNamed_ = Named(new QPushButton(QStringLiteral("定義済")), "btnNamed");
    btnDelete_ = Named(new QPushButton(QStringLiteral("削除")), "btnDelete");
    for (QWidget* w : {static_cast<QWidget*>(optAnd_), static_cast<QWidget*>(optOr_),
                       static_cast<QWidget*>(btnAdd_), static_cast<QWidget*>(btnNamed_),
                       static_cast<QWidget*>(btnDelete_)})
        buttons->addWidget(w);
    grid->addLayout(buttons, 2, 0, 1, 3);
    tvCondition_ = Named(new QTreeWidget, "tvCondition");
    tvCondition_->setHeaderHidden(true);
    grid->addWidget(tvCondition_, 3, 0, 1, 3);
    cbCase_ = Named(new QCheckBox(QStringLiteral("あいまい検索")), "cbCase");
    cbRegEx_ = Named(new QCheckBox(QStringLiteral("正規表現")), "cbRegEx");
    grid->addWidget(cbCase_, 4, 0);
    grid->addWidget(cbRegEx_, 4, 1);
    condRow->addWidget(box3, 1);
    targetLayout->addLayout(condRow);
    top->addWidget(target);

    // 処理
    auto* actions = Named(new QGroupBox(QStringLiteral("処理")), "GroupBox5");
    auto* ag = new QGridLayout(actions);
    cbFolderCopy_ = Named(new QCheckBox(QStringLiteral("フォルダーへコピー")), "cbFolderCopy");
    cbFolderCopy_->setToolTip(QStringLiteral("対象メッセージをフォルダへコピーします"));
    cmbFolder_ = Named(new QComboBox, "cmbFolder");
    cbMarkSet_ = Named(new QCheckBox(QStringLiteral("マークをセット")), "cbMarkSet");
    cmbMark_ = Named(new QComboBox, "cmbMark");
    cmbMark_->addItems(
        {QStringLiteral("－"), QStringLiteral("＋"), QStringLiteral("＿"), QStringLiteral("＊")});
    cmbMark_->setCurrentIndex(-1);
    cbKill_ = Named(new QCheckBox(QStringLiteral("即時削除")), "cbKill");
    cbKill_->hide();
    cbCheck_ = Named(new QCheckBox(QStringLiteral("選択")), "cbCheck");
    cbSendMe_ = Named(new QCheckBox(QStringLiteral("SendMeコマンドの発行")), "cbSendMe");
    cbSave_ = Named(new QCheckBox(QStringLiteral("ファイルへ保存")), "cbSave");
    cbCode_ = Named(new QCheckBox(QStringLiteral("コード変換有")), "cbCode");
    cbCode_->setChecked(true);
    cbHeader_ = Named(new QCheckBox(QStringLiteral("ヘッダーも出力")), "cbHeader");
    cbOverWrite_ = Named(new QCheckBox(QStringLiteral("上書き保存")), "cbOverWrite");
    cbExpire_ = Named(new QCheckBox(QStringLiteral("保管ファイルへ")), "cbExpire");
    edtFilename_ = Named(new QLineEdit, "edtFilename");
    cmdRef_ = Named(new QPushButton(QStringLiteral("参照")), "cmdRef");
    cbDecode_ = Named(new QCheckBox(QStringLiteral("ファイルへデコード")), "cbDecode");
    ag->addWidget(cbFolderCopy_, 0, 0);
    ag->addWidget(cmbFolder_, 0, 1, 1, 3);
    ag->addWidget(cbMarkSet_, 1, 0);
    ag->addWidget(cmbMark_, 1, 1);
    ag->addWidget(cbKill_, 1, 2);
    ag->addWidget(cbCheck_, 2, 0);
    ag->addWidget(cbSendMe_, 2, 1, 1, 2);
    ag->addWidget(cbSave_, 3, 0);
    ag->addWidget(cbCode_, 3, 1);
    ag->addWidget(cbHeader_, 3, 2);
    ag->addWidget(cbOverWrite_, 3, 3);
    ag->addWidget(cbExpire_, 4, 1);
    ag->addWidget(edtFilename_, 5, 0, 1, 3);
    ag->addWidget(cmdRef_, 5, 3);
    ag->addWidget(cbDecode_, 6, 0);
    top->addWidget(actions);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    okBtn_ = Named(new QPushButton(QStringLiteral("実行")), "OKBtn");
    okBtn_->setDefault(true);
    okBtn_->setEnabled(false);
    cancelBtn_ = Named(new QPushButton(QStringLiteral("閉じる")), "CancelBtn");
    bottom->addWidget(okBtn_);
    bottom->addWidget(cancelBtn_);
    top->addLayout(bottom);
    statusLine_ = Named(new QStatusBar, "StatusLine");
    statusLine_->setSizeGripEnabled(false);
    top->addWidget(statusLine_);

    connect(okBtn_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmbCommand_, &QComboBox::editTextChanged, this, [this] { CmbCommandChange(); });
    connect(cmdSave_, &QPushButton::clicked, this, [this] { CmdSaveClick(); });
    connect(cmdDel_, &QPushButton::clicked, this, [this] { CmdDelClick(); });
    connect(optSelected_, &QRadioButton::toggled, this, [this] { OptCondClick(); });
    connect(optCond_, &QRadioButton::toggled, this, [this] { OptCondClick(); });
    connect(cmbHeader_, &QComboBox::editTextChanged, this, [this] { CmbHeaderChange(); });
    connect(cmbCond_, &QComboBox::currentIndexChanged, this, [this] { RefreshConditionButtons(); });
    connect(cmbText_, &QComboBox::editTextChanged, this, [this] { RefreshConditionButtons(); });
    connect(tvCondition_, &QTreeWidget::itemSelectionChanged, this,
            [this] { RefreshConditionButtons(); });
    connect(btnAdd_, &QPushButton::clicked, this, [this] { BtnAddClick(); });
    connect(btnDelete_, &QPushButton::clicked, this, [this] { BtnDeleteClick(); });
    connect(btnNamed_, &QPushButton::clicked, this, [this] {
        RefreshConditionButtons();
        ActionState();
    });
    for (QCheckBox* b :
         {cbFolderCopy_, cbMarkSet_, cbCheck_, cbSendMe_, cbSave_, cbExpire_, cbDecode_})
        connect(b, &QCheckBox::toggled, this, [this] { ActionState(); });
    connect(cmbFolder_, &QComboBox::currentIndexChanged, this, [this] { ActionState(); });
    connect(cmbMark_, &QComboBox::currentIndexChanged, this, [this] { ActionState(); });
    connect(edtFilename_, &QLineEdit::textChanged, this, [this] { ActionState(); });
    connect(cmdRef_, &QPushButton::clicked, this, [this] { CmdRefClick(); });

    CmbHeaderChange();
    ActionState();
}

void TCMD::AddFolder(const std::string& text, TGrp* area) {
    cmbFolder_->addItem(ToQString(text));
    folderAreas_.push_back(area);
    cmbFolder_->setCurrentIndex(-1);
}

void TCMD::Activate() {
    {
        const QSignalBlocker block(cmbCommand_);
        cmbCommand_->clear();
        for (const std::string& name : file_.Names()) cmbCommand_->addItem(ToQString(name));
        cmbCommand_->setEditText(QString());
    }
    if (!optSelected_->isChecked() && !optCond_->isChecked())
        optSelected_->setChecked(true);
    Load(std::string());
}

bool TCMD::Load(const std::string& name) {
    auto clear = [this] {
        Match.SetConditions({});
        ShowTree();
        OptCondClick();
    };
    if (Trim(name).empty()) {
        clear();
        return false;
    }
    if (!file_.Contains(name))
        return false;
    clear();
    TSubCommand c = Command();
    if (!file_.Load(name, c))
        return false;
    loading_ = true;
    (c.conditionMode ? optCond_ : optSelected_)->setChecked(true);
    cbThread_->setChecked(c.underThread);
    if (c.conditionMode) {
        Match.SetConditions(c.conditions);
        ShowTree();
        cbCase_->setChecked(c.fuzzy);
        cbRegEx_->setChecked(c.useRegEx);
    }
    cbFolderCopy_->setChecked(c.copyToFolder);
    std::vector<std::string> entries;
    for (int i = 0; i < cmbFolder_->count(); ++i)
        entries.push_back(FromQString(cmbFolder_->itemText(i)));
    if (const int entry = FindFolderEntry(entries, c.folder); entry >= 0)
        cmbFolder_->setCurrentIndex(entry);
    cbMarkSet_->setChecked(c.markSet);
    if (c.markSet) {
        cmbMark_->setCurrentIndex(c.markItem);
        cbKill_->setChecked(c.kill);
    }
    cbCheck_->setChecked(c.checkMark);
    cbSendMe_->setChecked(c.sendMe);
    cbSave_->setChecked(c.saveToFile);
    if (c.saveToFile) {
        cbCode_->setChecked(c.codeTranslate);
        cbHeader_->setChecked(c.headerOutput);
        cbOverWrite_->setChecked(c.overWrite);
        cbExpire_->setChecked(c.toExpiredFile);
        edtFilename_->setText(ToQString(c.saveTo));
    }
    cbDecode_->setChecked(c.decodeToFile);
    loading_ = false;
    OptCondClick();
    return true;
}

TSubCommand TCMD::Command() const {
    TSubCommand c;
    c.underThread = cbThread_->isChecked();
    c.conditionMode = optCond_->isChecked();
    c.conditions = Match.Conditions();
    c.fuzzy = cbCase_->isChecked();
    c.useRegEx = cbRegEx_->isChecked();
    c.copyToFolder = cbFolderCopy_->isChecked();
    c.folder = FromQString(cmbFolder_->currentText());
    c.markSet = cbMarkSet_->isChecked();
    c.markItem = cmbMark_->currentIndex();
    c.checkMark = cbCheck_->isChecked();
    c.kill = cbKill_->isChecked();
    c.sendMe = cbSendMe_->isChecked();
    c.saveToFile = cbSave_->isChecked();
    c.codeTranslate = cbCode_->isChecked();
    c.headerOutput = cbHeader_->isChecked();
    c.overWrite = cbOverWrite_->isChecked();
    c.toExpiredFile = cbExpire_->isChecked();
    c.saveTo = FromQString(edtFilename_->text());
    c.decodeToFile = cbDecode_->isChecked();
    return c;
}

TGrp* TCMD::ChosenFolder() const {
    const int i = cmbFolder_->currentIndex();
    return i >= 0 && static_cast<size_t>(i) < folderAreas_.size()
               ? folderAreas_[static_cast<size_t>(i)]
               : nullptr;
}

bool TCMD::CanRun() const {
    return okBtn_->isEnabled();
}

void TCMD::done(int result) {
    if (!file_.WriteNames())
        statusLine_->showMessage(QStringLiteral("SUBCMD.INIに書き込めませんでした"));
    QDialog::done(result);
}

void TCMD::CmbCommandChange() {
    const std::string name(Trim(FromQString(cmbCommand_->currentText())));
    cmdSave_->setEnabled(!name.empty());
    cmdDel_->setEnabled(Load(name));
}

void TCMD::CmdSaveClick() {
    const std::string name(Trim(FromQString(cmbCommand_->currentText())));
    if (name.empty())
        return;
    const bool isNew = !file_.Contains(name);
    if (!file_.Save(name, Command())) {
        statusLine_->showMessage(QStringLiteral("SUBCMD.INIに書き込めませんでした"));
        return;
    }
    if (isNew) {
        const QSignalBlocker block(cmbCommand_);
        cmbCommand_->addItem(ToQString(name));
        cmbCommand_->setEditText(ToQString(name));
    }
    cmdDel_->setEnabled(true);
}

void TCMD::CmdDelClick() {
    const std::string name(Trim(FromQString(cmbCommand_->currentText())));
    if (!file_.Delete(name))
        return;
    {
        const QSignalBlocker block(cmbCommand_);
        const int i = cmbCommand_->findText(ToQString(name));
        if (i >= 0)
            cmbCommand_->removeItem(i);
        cmbCommand_->setEditText(QString());
    }
    cmdDel_->setEnabled(false);
    cmdSave_->setEnabled(false);
    Load(std::string());
}

void TCMD::OptCondClick() {
    if (loading_)
        return;
    const bool cond = optCond_->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(cmbHeader_), static_cast<QWidget*>(cmbCond_),
                       static_cast<QWidget*>(cmbText_), groupBox3_, static_cast<QWidget*>(cbCase_),
                       static_cast<QWidget*>(cbRegEx_), static_cast<QWidget*>(optAnd_),
                       static_cast<QWidget*>(optOr_)})
        w->setEnabled(cond);
    if (cond) {
        CmbHeaderChange();
    } else {
        btnAdd_->setEnabled(false);
        btnDelete_->setEnabled(false);
        btnNamed_->setEnabled(false);
    }
    ActionState();
}

void TCMD::CmbHeaderChange() {
    const QString h = cmbHeader_->currentText();
    if (h.isEmpty()) {
        cmbCond_->setEnabled(false);
        cmbText_->setEnabled(false);
        RefreshConditionButtons();
        return;
    }
    {
        const QSignalBlocker block(cmbCond_);
        cmbCond_->clear();
        cmbCond_->addItems({QStringLiteral("＝"), QStringLiteral("≠")});
        if (h == QLatin1String("Date") || h == QLatin1String("Lines") ||
            h == QStringLiteral("サイズ"))
            cmbCond_->addItems({QStringLiteral("＜"), QStringLiteral("≦"), QStringLiteral("＞"),
                                QStringLiteral("≧")});
        cmbCond_->setCurrentIndex(0);
    }
    {
        const QString text = cmbText_->currentText();
        const QSignalBlocker block(cmbText_);
        cmbText_->clear();
        if (h == QLatin1String("Date"))
            cmbText_->addItems({QStringLiteral("ExpireDate"), QStringLiteral("Today-")});
        else if (h == QStringLiteral("マーク"))
            cmbText_->addItems({QStringLiteral("＿"), QStringLiteral("＋"), QStringLiteral("－")});
        cmbText_->setCurrentIndex(-1);
        cmbText_->setEditText(text);
    }
    const bool cond = optCond_->isChecked();
    cmbCond_->setEnabled(cond);
    cmbText_->setEnabled(cond);
    RefreshConditionButtons();
}

void TCMD::RefreshConditionButtons() {
    if (!optCond_->isChecked()) {
        btnAdd_->setEnabled(false);
        btnDelete_->setEnabled(false);
        btnNamed_->setEnabled(false);
        return;
    }
    const bool nodeOrEmpty = SelectedNode() >= 0 || Match.Conditions().empty();
    btnAdd_->setEnabled(!cmbHeader_->currentText().isEmpty() && cmbCond_->currentIndex() >= 0 &&
                        !cmbText_->currentText().isEmpty() && nodeOrEmpty);
    btnDelete_->setEnabled(SelectedNode() >= 0);
    btnNamed_->setEnabled(cmbCommand_->count() > 0 && nodeOrEmpty);
    ActionState();
}

void TCMD::BtnAddClick() {
    const std::string leaf = FromQString(cmbHeader_->currentText()) +
                             FromQString(cmbCond_->currentText()) +
                             FromQString(cmbText_->currentText());
    if (optAnd_->isChecked())
        Match.AddAnd(SelectedNode(), leaf);
    else
        Match.AddOr(SelectedNode(), leaf);
    ShowTree();
    RefreshConditionButtons();
}

void TCMD::BtnDeleteClick() {
    if (const int node = SelectedNode(); node >= 0)
        Match.DeleteNode(node);
    ShowTree();
    RefreshConditionButtons();
}

void TCMD::ShowTree() {
    const QSignalBlocker block(tvCondition_);
    tvCondition_->clear();
    std::vector<QTreeWidgetItem*> parents;
    int line = 0;
    for (const TMatchRow& row : Match.Rows()) {
        const size_t depth = static_cast<size_t>(row.depth);
        parents.resize(std::min(parents.size(), depth));
        auto* item = parents.empty() ? new QTreeWidgetItem(tvCondition_)
                                     : new QTreeWidgetItem(parents.back());
        item->setText(0, ToQString(row.text));
        item->setData(0, Qt::UserRole, line++);
        parents.push_back(item);
    }
    tvCondition_->expandAll();
}

int TCMD::SelectedNode() const {
    const QList<QTreeWidgetItem*> sel = tvCondition_->selectedItems();
    return sel.isEmpty() ? -1 : sel.front()->data(0, Qt::UserRole).toInt();
}

void TCMD::ActionState() {
    if (loading_)
        return;
    const TSubCommand c = Command();
    okBtn_->setEnabled(SubCmdRunnable(c, ChosenFolder() != nullptr));
    cmbFolder_->setEnabled(c.copyToFolder);
    cmbMark_->setEnabled(c.markSet);
    cbKill_->setEnabled(c.markSet && c.markItem == 0);
    for (QCheckBox* b : {cbCode_, cbHeader_, cbOverWrite_, cbExpire_}) b->setEnabled(c.saveToFile);
    edtFilename_->setEnabled(c.saveToFile && !c.toExpiredFile);
    cmdRef_->setEnabled(c.saveToFile && !c.toExpiredFile);
}

void TCMD::CmdRefClick() {
    const QString name =
        QFileDialog::getSaveFileName(this, QString(), edtFilename_->text(), QString(), nullptr,
                                     QFileDialog::DontConfirmOverwrite);
    if (!name.isEmpty())
        edtFilename_->setText(name);
}

}  // namespace pelorin
