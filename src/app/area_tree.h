// TAreaTree: the area tree ("tvAreas"): one node per open packet, in the order opened, and
// below it one node per area of the packet, in the packet's area order.
//
//   packet node  text: the packet name          data: the packet (TSoup)
//   area node    text: "(" unread ")" + description, or "(??)" + description when the
//                total is unknown              data: the area (TGrp)
//
// Nodes refer to packets and areas without owning them (the main window owns the packets).
// Each node carries one of the six icons of glyphs.h, the same when selected; a packet node
// shows icon 1 while expanded and 0 while collapsed. Typing letters does not search the nodes
// (the main window keeps letter keys for its key bindings).
#pragma once

#include "store/grp.h"
#include "store/soup.h"

#include <QTreeWidget>

#include <string>

namespace pelorin {

class TAreaTree : public QTreeWidget {
    Q_OBJECT

public:
    explicit TAreaTree(QWidget* parent = nullptr);

    // A packet node at the end of the tree, collapsed, with icon 0.
    QTreeWidgetItem* AddPacketNode(TSoup* packet);
    QTreeWidgetItem* AddAreaNode(QTreeWidgetItem* packetNode, TGrp* area, int icon);

    static bool IsPacketNode(const QTreeWidgetItem* node);
    static bool IsAreaNode(const QTreeWidgetItem* node);
    // The packet of a packet node, or of an area node's packet; null for none.
    static TSoup* PacketOf(const QTreeWidgetItem* node);
    // The area of an area node; null for any other.
    static TGrp* AreaOf(const QTreeWidgetItem* node);

    static void SetIcon(QTreeWidgetItem* node, int icon);
    static int IconOf(const QTreeWidgetItem* node);
    // "(" + unread + ")" + description, or "(??)" + description (Shift_JIS).
    static std::string AreaText(int total, int unread, const std::string& description);
    static void SetText(QTreeWidgetItem* node, const std::string& sjis);
    // The icon of a packet's areas: 4 for folder and note packets, else 2.
    static int AreaIcon(const TSoup* packet);

    QTreeWidgetItem* PacketNode(int index) const { return topLevelItem(index); }
    int PacketCount() const { return topLevelItemCount(); }
    // The packet node of a packet; null when it has none.
    QTreeWidgetItem* NodeOf(const TSoup* packet) const;

signals:
    void OnMouseDown(Qt::MouseButton button);
    void OnKeyUp(QKeyEvent* event);

protected:
    void keyboardSearch(const QString& search) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
};

}  // namespace pelorin
