// The area tree (see area_tree.h).
#include "app/area_tree.h"

#include "app/glyphs.h"
#include "view/sjis_qt.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

namespace pelorin {
namespace {

constexpr int kPacketType = QTreeWidgetItem::UserType + 1;
constexpr int kAreaType = QTreeWidgetItem::UserType + 2;
constexpr int kPointerRole = Qt::UserRole;   // the TSoup* or TGrp* of the node
constexpr int kIconRole = Qt::UserRole + 1;  // the node's icon index

template <class T>
T* Pointer(const QTreeWidgetItem* node) {
    return reinterpret_cast<T*>(node->data(0, kPointerRole).value<quintptr>());
}

}  // namespace

TAreaTree::TAreaTree(QWidget* parent)
    : QTreeWidget(parent) {
    setObjectName(QStringLiteral("tvAreas"));
    setColumnCount(1);
    header()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    setUniformRowHeights(true);
    connect(this, &QTreeWidget::itemExpanded, this, [](QTreeWidgetItem* node) {
        if (IsPacketNode(node))
            SetIcon(node, 1);
    });
    connect(this, &QTreeWidget::itemCollapsed, this, [](QTreeWidgetItem* node) {
        if (IsPacketNode(node))
            SetIcon(node, 0);
    });
}

QTreeWidgetItem* TAreaTree::AddPacketNode(TSoup* packet) {
    auto* node = new QTreeWidgetItem(this, kPacketType);
    node->setData(0, kPointerRole, QVariant::fromValue(reinterpret_cast<quintptr>(packet)));
    SetText(node, packet->packetName);
    SetIcon(node, 0);
    return node;
}

QTreeWidgetItem* TAreaTree::AddAreaNode(QTreeWidgetItem* packetNode, TGrp* area, int icon) {
    auto* node = new QTreeWidgetItem(packetNode, kAreaType);
    node->setData(0, kPointerRole, QVariant::fromValue(reinterpret_cast<quintptr>(area)));
    SetIcon(node, icon);
    return node;
}

bool TAreaTree::IsPacketNode(const QTreeWidgetItem* node) {
    return node && node->type() == kPacketType;
}

bool TAreaTree::IsAreaNode(const QTreeWidgetItem* node) {
    return node && node->type() == kAreaType;
}

TSoup* TAreaTree::PacketOf(const QTreeWidgetItem* node) {
    if (IsAreaNode(node))
        node = node->parent();
    return IsPacketNode(node) ? Pointer<TSoup>(node) : nullptr;
}

TGrp* TAreaTree::AreaOf(const QTreeWidgetItem* node) {
    return IsAreaNode(node) ? Pointer<TGrp>(node) : nullptr;
}

void TAreaTree::SetIcon(QTreeWidgetItem* node, int icon) {
    if (node->data(0, kIconRole).toInt() == icon && !node->icon(0).isNull())
        return;
    node->setData(0, kIconRole, icon);
    node->setIcon(0, TreeIcon(icon));
}

int TAreaTree::IconOf(const QTreeWidgetItem* node) {
    return node->data(0, kIconRole).toInt();
}

std::string TAreaTree::AreaText(int total, int unread, const std::string& description) {
    if (total < 0)
        return "(?"
               "?)" +
               description;  // split: "??)" would be a trigraph
    return "(" + std::to_string(unread) + ")" + description;
}

void TAreaTree::SetText(QTreeWidgetItem* node, const std::string& sjis) {
    node->setText(0, ToQString(sjis));
}

int TAreaTree::AreaIcon(const TSoup* packet) {
    return packet && packet->packetType != 0 ? 4 : 2;
}

QTreeWidgetItem* TAreaTree::NodeOf(const TSoup* packet) const {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (PacketOf(topLevelItem(i)) == packet)
            return topLevelItem(i);
    }
    return nullptr;
}

void TAreaTree::keyboardSearch(const QString&) {}

void TAreaTree::mousePressEvent(QMouseEvent* event) {
    emit OnMouseDown(event->button());
    QTreeWidget::mousePressEvent(event);
}

void TAreaTree::keyReleaseEvent(QKeyEvent* event) {
    QTreeWidget::keyReleaseEvent(event);
    emit OnKeyUp(event);
}

}  // namespace pelorin
