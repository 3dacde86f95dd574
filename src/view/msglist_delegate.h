// TMsgRowDelegate: draws one row of the message list.
//
// The row's text (the model's display text: mark, then the row template expanded) is drawn in
// the list's font and colours from the row's top-left corner, clipped to the row and never
// elided, over the style's background for selected rows. A row is exactly as tall as the
// font's text (ascent plus descent), with no leading: the template, not the list, decides
// what a row shows. The delegate reads the display text only; it never sees a message.
#pragma once

#include <QAbstractItemDelegate>

namespace pelorin {

class TMsgRowDelegate : public QAbstractItemDelegate {
    Q_OBJECT

public:
    using QAbstractItemDelegate::QAbstractItemDelegate;

    void paint(QPainter* painter,
               const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace pelorin
