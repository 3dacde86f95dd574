// The settings dialog's キーカスタマイズ page (see setup_dialog.h; the editing rules are
// TKeyBindingEditor's, store/key_binding_editor.h): the keys `lstKeys`, the modifier boxes,
// the focus group `rgFocus`, the functions `lstFunc` and the parameter box `cmbArg`.
//
// Choosing a key, a modifier or a focus (lstKeysClick) shows the binding of the key name they
// make at once: the function in lstFunc, the parameter of a binding that has one in cmbArg
// (the box is enabled only for a function that takes one), and the stored value itself in the
// line below the lists, which also shows bindings the function list does not offer. With no
// key chosen nothing changes. Choosing a function, or typing a parameter for one that takes
// it (lstFuncClick), changes the working binding of the key name.
#include "store/key_binding_editor.h"

#include "app/setup_dialog.h"
#include "view/sjis_qt.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace pelorin {
namespace {

// The items of lstFunc, parallel to SetupFunctionNames().
constexpr const char* kFunctionCaptions[] = {
    "（設定なし）",
    "新しくパケットを開く",
    "選択しているパケットを閉じる",
    "記事一覧で1つ下を選択",
    "記事一覧で1つ下を選択し表示",
    "つぎの未読記事を表示",
    "記事一覧で1つ上を選択",
    "記事一覧で1つ上を選択し表示",
    "次ページを表示（次の記事を表示）",
    "次ページを表示（次の未読記事を表示）",
    "エリア一覧で1つ下を選択",
    "エリア一覧で1つ上を選択",
    "ヘッダーの表示・非表示を切替",
    "ツールバーの表示・非表示を切替",
    "ステータスバーの表示・非表示を切替",
    "メッセージタブの表示・非表示を切替",
    "全面表示と3面表示を切替",
    "エリア一覧にフォーカス",
    "記事一覧にフォーカス",
    "rot13/47",
    "新規メールを作成",
    "リプライメールを作成",
    "新規ニュース記事を作成",
    "フォローアップ記事を作成",
    "スレッド順で表示",
    "Subject順で表示",
    "From順で表示",
    "投稿日順で表示",
    "ファイルに書かれている順で表示",
    "画面の仕切り線を左に",
    "画面の仕切り線を右に",
    "画面の仕切り線を上に",
    "画面の仕切り線を下に",
    "表示履歴を1つさかのぼる",
    "表示履歴を1つ先に進む",
    "前のMIMEパートを表示",
    "次のMIMEパートを表示",
    "エリア中のすべての記事を既読",
    "選択記事に削除マーク",
    "選択記事に保存マーク",
    "選択記事のマークを消す",
    "選択記事の本文取得要求を発行",
    "選択記事をファイルへデコード",
    "指定したサブコマンドを実行",
    "選択エリアの削除マークを処理",
    "Pelorinを終了",
};

}  // namespace

QWidget* TSetUpDlg::BuildKeyPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsKey"));
    lstKeys_ = new QListWidget;
    lstKeys_->setObjectName(QStringLiteral("lstKeys"));
    for (const std::string& key : SetupKeys()) lstKeys_->addItem(ToQString(key));
    cbCtrl_ = new QCheckBox(QStringLiteral("Ctrl"));
    cbCtrl_->setObjectName(QStringLiteral("cbCtrl"));
    cbShift_ = new QCheckBox(QStringLiteral("Shift"));
    cbShift_->setObjectName(QStringLiteral("cbShift"));
    cbAlt_ = new QCheckBox(QStringLiteral("Alt"));
    cbAlt_->setObjectName(QStringLiteral("cbAlt"));
    auto* modifiers = new QGroupBox(QStringLiteral("修飾キー"));
    auto* modifierBox = new QVBoxLayout(modifiers);
    modifierBox->addWidget(cbCtrl_);
    modifierBox->addWidget(cbShift_);
    modifierBox->addWidget(cbAlt_);

    auto* focus = new QGroupBox(QStringLiteral("フォーカス"));
    focus->setObjectName(QStringLiteral("rgFocus"));
    auto* focusBox = new QVBoxLayout(focus);
    rgFocus_ = new QButtonGroup(this);
    static const char* const kFocus[] = {"全体", "エリア", "一覧", "本文"};
    for (int i = 0; i < 4; ++i) {
        auto* r = new QRadioButton(QString::fromUtf8(kFocus[i]));
        r->setObjectName(QStringLiteral("rgFocus%1").arg(i));
        rgFocus_->addButton(r, i);
        focusBox->addWidget(r);
    }
    rgFocus_->button(0)->setChecked(true);

    static_assert(std::size(kFunctionCaptions) == 46);
    lstFunc_ = new QListWidget;
    lstFunc_->setObjectName(QStringLiteral("lstFunc"));
    for (const char* caption : kFunctionCaptions) lstFunc_->addItem(QString::fromUtf8(caption));
    cmbArg_ = new QComboBox;
    cmbArg_->setObjectName(QStringLiteral("cmbArg"));
    cmbArg_->setEditable(true);
    cmbArg_->setEnabled(false);
    lblArg_ = new QLabel(QStringLiteral("パラメータ"));
    lblArg_->setObjectName(QStringLiteral("lblArg"));
    lblArg_->setBuddy(cmbArg_);
    lblArg_->setEnabled(false);
    lblBinding_ = new QLabel;
    lblBinding_->setObjectName(QStringLiteral("lblBinding"));
    lblBinding_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    connect(lstKeys_, &QListWidget::currentRowChanged, this, [this] { lstKeysClick(); });
    for (QCheckBox* box : {cbCtrl_, cbShift_, cbAlt_})
        connect(box, &QCheckBox::toggled, this, [this] { lstKeysClick(); });
    connect(rgFocus_, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            lstKeysClick();
    });
    connect(lstFunc_, &QListWidget::currentRowChanged, this, [this] { lstFuncClick(); });
    connect(cmbArg_, &QComboBox::editTextChanged, this, [this] {
        if (TKeyBindingEditor::TakesParameter(lstFunc_->currentRow()))
            lstFuncClick();
    });

    auto* keyColumn = new QVBoxLayout;
    keyColumn->addWidget(new QLabel(QStringLiteral("キー")));
    keyColumn->addWidget(lstKeys_, 1);
    auto* middle = new QVBoxLayout;
    middle->addWidget(modifiers);
    middle->addWidget(focus);
    middle->addStretch(1);
    auto* funcColumn = new QVBoxLayout;
    funcColumn->addWidget(new QLabel(QStringLiteral("機能")));
    funcColumn->addWidget(lstFunc_, 1);
    auto* argRow = new QHBoxLayout;
    argRow->addWidget(lblArg_);
    argRow->addWidget(cmbArg_, 1);
    funcColumn->addLayout(argRow);
    auto* lists = new QHBoxLayout;
    lists->addLayout(keyColumn, 1);
    lists->addLayout(middle);
    lists->addLayout(funcColumn, 3);
    auto* box = new QVBoxLayout(page);
    box->addLayout(lists, 1);
    box->addWidget(lblBinding_);
    return page;
}

std::string TSetUpDlg::CurrentKeyName() const {
    const QListWidgetItem* key = lstKeys_->currentItem();
    if (!key || lstKeys_->currentRow() < 0)
        return {};
    const int focus = std::max(rgFocus_->checkedId(), 0);
    return TKeyBindingEditor::KeyName(FromQString(key->text()), cbCtrl_->isChecked(),
                                      cbShift_->isChecked(), cbAlt_->isChecked(),
                                      static_cast<KeyFocus>(focus));
}

void TSetUpDlg::lstKeysClick() {
    const std::string name = CurrentKeyName();
    if (name.empty())
        return;  // a modifier or the focus changed with no key chosen
    updatingKeys_ = true;
    const int function = bindings_.FunctionOf(name);
    {
        const QSignalBlocker blockList(lstFunc_);
        lstFunc_->setCurrentRow(function);
    }
    const bool takes = TKeyBindingEditor::TakesParameter(function);
    cmbArg_->setEnabled(takes);
    lblArg_->setEnabled(takes);
    if (takes) {
        const QSignalBlocker blockArg(cmbArg_);
        cmbArg_->setEditText(ToQString(bindings_.ParameterOf(name)));
    }
    updatingKeys_ = false;
    ShowCurrentBinding();
}

void TSetUpDlg::lstFuncClick() {
    if (updatingKeys_)
        return;
    const std::string name = CurrentKeyName();
    const int function = lstFunc_->currentRow();
    const bool takes = TKeyBindingEditor::TakesParameter(function);
    cmbArg_->setEnabled(takes);
    lblArg_->setEnabled(takes);
    if (name.empty() || function < 0)
        return;
    bindings_.Assign(name, function, FromQString(cmbArg_->currentText()));
    ShowCurrentBinding();
}

void TSetUpDlg::ShowCurrentBinding() {
    const std::string name = CurrentKeyName();
    if (name.empty()) {
        lblBinding_->clear();
        return;
    }
    const int i = bindings_.Find(name);
    const std::string value = i < 0 ? std::string() : bindings_.Values()[static_cast<size_t>(i)];
    lblBinding_->setText(ToQString(name) + QStringLiteral(" = ") +
                         (value.empty() ? QStringLiteral("（設定なし）") : ToQString(value)));
}

}  // namespace pelorin
