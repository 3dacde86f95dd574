// The address book window (see address_dialog.h).
#include "app/address_dialog.h"

#include "store/address_parts.h"

#include "view/sjis_qt.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace pelorin {

std::function<void(TAddressDlg&)> TESTING_ONLY_addressDialogShown;

namespace {

using Node = TAddressBook::Node;

Node* NodeOf(QTreeWidgetItem* item) {
    return item ? reinterpret_cast<Node*>(item->data(0, Qt::UserRole).value<quintptr>()) : nullptr;
}

QPushButton* Button(const QString& caption, const char* name) {
    auto* b = new QPushButton(caption);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

}  // namespace

TAddressDlg::TAddressDlg(TAddressBookDialogModel& model, QWidget* parent)
    : QDialog(parent)
    , model_(model) {
    setObjectName(QStringLiteral("AddressDlg"));
    setWindowTitle(QStringLiteral("アドレス帳"));
    tree_ = new QTreeWidget;
    tree_->setObjectName(QStringLiteral("tvAddress"));
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setAutoScroll(true);
    name_ = new QLineEdit(ToQString(model_.name));
    name_->setObjectName(QStringLiteral("edtName"));
    address_ = new QLineEdit(ToQString(model_.address));
    address_->setObjectName(QStringLiteral("edtAddress"));
    auto* nameLabel = new QLabel(QStringLiteral("名称"));
    nameLabel->setBuddy(name_);
    auto* addressLabel = new QLabel(QStringLiteral("アドレス"));
    addressLabel->setBuddy(address_);

    QPushButton* add = Button(QStringLiteral("追加"), "cmdAdd");
    QPushButton* del = Button(QStringLiteral("削除"), "cmdDel");
    QPushButton* mod = Button(QStringLiteral("変更"), "cmdMod");
    QPushButton* ok = Button(QStringLiteral("OK"), "cmdOK");
    ok->setDefault(true);
    QPushButton* cancel = Button(QStringLiteral("ｷｬﾝｾﾙ"), "cmdCancel");

    auto* fields = new QGridLayout;
    fields->addWidget(nameLabel, 0, 0);
    fields->addWidget(name_, 0, 1);
    fields->addWidget(addressLabel, 1, 0);
    fields->addWidget(address_, 1, 1);
    auto* edits = new QHBoxLayout;
    edits->addWidget(add);
    edits->addWidget(del);
    edits->addWidget(mod);
    edits->addStretch(1);
    edits->addWidget(ok);
    edits->addWidget(cancel);
    auto* box = new QVBoxLayout(this);
    box->addWidget(tree_, 1);
    box->addLayout(fields);
    box->addLayout(edits);
    resize(420, 360);

    connect(add, &QPushButton::clicked, this, &TAddressDlg::cmdAddClick);
    connect(del, &QPushButton::clicked, this, &TAddressDlg::cmdDelClick);
    connect(mod, &QPushButton::clicked, this, &TAddressDlg::cmdModClick);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this] { SelectionChanged(); });
    connect(tree_, &QTreeWidget::itemExpanded, this,
            [](QTreeWidgetItem* item) { NodeOf(item)->expanded = true; });
    connect(tree_, &QTreeWidget::itemCollapsed, this,
            [](QTreeWidgetItem* item) { NodeOf(item)->expanded = false; });
    Rebuild();
}

void TAddressDlg::AddNodes(QTreeWidgetItem* parent, const Node& node) {
    auto* item = new QTreeWidgetItem(parent);
    item->setText(0, ToQString(node.text));
    item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(&node)));
    for (const auto& child : node.children) AddNodes(item, *child);
    item->setExpanded(node.expanded);
    if (&node == model_.selected)
        tree_->setCurrentItem(item);
}

void TAddressDlg::Rebuild() {
    rebuilding_ = true;
    tree_->clear();
    for (const auto& node : model_.book.Top()) {
        auto* item = new QTreeWidgetItem(tree_);
        item->setText(0, ToQString(node->text));
        item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(node.get())));
        for (const auto& child : node->children) AddNodes(item, *child);
        item->setExpanded(node->expanded);
        if (node.get() == model_.selected)
            tree_->setCurrentItem(item);
    }
    if (QTreeWidgetItem* current = tree_->currentItem())
        tree_->scrollToItem(current);
    rebuilding_ = false;
}

void TAddressDlg::SelectionChanged() {
    if (rebuilding_)
        return;
    model_.selected = NodeOf(tree_->currentItem());
    if (model_.selected && model_.selected->text.find('<') != std::string::npos) {
        name_->setText(ToQString(NamePart(model_.selected->text)));
        address_->setText(ToQString(AddressPart(model_.selected->text)));
    }
}

void TAddressDlg::TakeFields() {
    model_.name = FromQString(name_->text());
    model_.address = FromQString(address_->text());
}

void TAddressDlg::cmdAddClick() {
    TakeFields();
    model_.Add();
    Rebuild();
}

void TAddressDlg::cmdDelClick() {
    model_.Delete();
    Rebuild();
}

void TAddressDlg::cmdModClick() {
    TakeFields();
    model_.Change();
    Rebuild();
}

std::optional<std::string> RunAddressBook(std::string_view programDir,
                                          std::string_view recipient,
                                          TDialogs& dialogs,
                                          QWidget* parent) {
    TAddressBookDialogModel model(programDir, recipient);
    if (!model.LoadError().empty())
        dialogs.MessageBox(model.LoadError(), MsgIcon::Error, MsgButtons::Ok);
    bool ok = false;
    {
        TAddressDlg dialog(model, parent);
        if (QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
            QRect frame = dialog.frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            dialog.move(frame.topLeft());
        }
        if (TESTING_ONLY_addressDialogShown)
            TESTING_ONLY_addressDialogShown(dialog);
        ok = dialog.exec() == QDialog::Accepted;
    }
    TAddressBookDialogModel::Closing closing = model.Close(ok);
    if (!closing.error.empty())
        dialogs.MessageBox(closing.error, MsgIcon::Error, MsgButtons::Ok);
    return closing.recipient;
}

}  // namespace pelorin
