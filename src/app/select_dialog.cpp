// The folder selection dialog (see select_dialog.h).
#include "app/select_dialog.h"

#include "view/sjis_qt.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace pelorin {
namespace {

constexpr int kAreaRole = Qt::UserRole + 1;  // the folder (TGrp*) of a folder node

}  // namespace

TSelectDialog::TSelectDialog(const FolderChoice& choice, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("SelectDialog"));
    setWindowTitle(ToQString(choice.caption));
    auto* prompt = new QLabel(ToQString(choice.prompt));
    prompt->setObjectName(QStringLiteral("lblPrompt"));
    tree_ = new QTreeWidget;
    tree_->setObjectName(QStringLiteral("tvFolders"));
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    for (const CopyTarget& target : choice.targets) {
        auto* packetNode = new QTreeWidgetItem(tree_);
        packetNode->setText(0, ToQString(target.packet->packetName));
        for (TGrp* folder : target.folders) {
            auto* node = new QTreeWidgetItem(packetNode);
            node->setText(0, ToQString(folder->description));
            node->setData(0, kAreaRole, QVariant::fromValue(static_cast<void*>(folder)));
        }
        packetNode->setExpanded(true);
    }
    multi_ = new QCheckBox(ToQString(choice.checkBoxText));
    multi_->setObjectName(QStringLiteral("cbMulti"));
    multi_->setChecked(choice.checkBoxChecked);
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons_->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    auto* box = new QVBoxLayout(this);
    box->addWidget(prompt);
    box->addWidget(tree_, 1);
    box->addWidget(multi_);
    box->addWidget(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this] { UpdateOk(); });
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (Chosen())
            accept();
    });
    UpdateOk();
}

TGrp* TSelectDialog::Chosen() const {
    const QTreeWidgetItem* node = tree_->currentItem();
    return node ? static_cast<TGrp*>(node->data(0, kAreaRole).value<void*>()) : nullptr;
}

void TSelectDialog::Choose(const TGrp* folder) {
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* packetNode = tree_->topLevelItem(i);
        for (int j = 0; j < packetNode->childCount(); ++j) {
            QTreeWidgetItem* node = packetNode->child(j);
            if (node->data(0, kAreaRole).value<void*>() == folder)
                tree_->setCurrentItem(node);
        }
    }
}

void TSelectDialog::UpdateOk() {
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(Chosen() != nullptr);
}

TGrp* ChooseFolder(const FolderChoice& choice, QWidget* parent) {
    TSelectDialog dialog(choice, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.Chosen() : nullptr;
}

}  // namespace pelorin
