// TMsgListModel: the rows of the message list as a flat item model over an area's display list.
//
// One row per display-list entry that holds a message, in the area's current order; the model
// keeps plain pointers to the messages (the area owns them) and is emptied before the area
// frees them. A row's text is made only when the view asks for it, that is, when the row is
// painted: the row template "%K" + the format string expanded against the message (so every
// row starts with the message's mark) and converted to QString at the CP932 edge. Nothing is
// kept between paints, so a changed mark shows as soon as its row is repainted.
//
// Only Qt::DisplayRole carries data; every other role is empty, so no view can make the model
// format a row it does not draw.
#pragma once

#include "store/grp.h"
#include "store/msg.h"

#include <QAbstractListModel>

#include <string>
#include <vector>

namespace pelorin {

class TMsgListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit TMsgListModel(QObject* parent = nullptr);

    // The row template after the mark ("%K" is put in front of it when rows are drawn).
    void SetFormat(std::string format);
    const std::string& FormatString() const { return format_; }

    // Replaces the rows by the messages of `group`'s display list (entries without a message
    // are skipped), in one model reset. Null empties the list.
    void LoadGroup(TGrp* group);
    void Clear() { LoadGroup(nullptr); }
    TGrp* Group() const { return group_; }

    // The message of a row; null outside the rows.
    TMsg* MsgAt(int row) const;
    // Tells the views that a row's text changed (its mark, say).
    void RowChanged(int row);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Rows formatted since the last LoadGroup (tests only: proves that rows nobody paints are
    // never formatted).
    long TESTING_ONLY_FormattedRows() const { return formatted_; }

private:
    std::vector<TMsg*> rows_;  // messages of the rows; owned by group_
    TGrp* group_ = nullptr;    // the area listed; not owned
    std::string format_;       // FormatString
    std::string template_;     // "%K" + format_
    mutable long formatted_ = 0;
};

}  // namespace pelorin
