// The message list's item model (see msglist_model.h).
#include "view/msglist_model.h"

#include "view/sjis_qt.h"

namespace pelorin {

TMsgListModel::TMsgListModel(QObject* parent)
    : QAbstractListModel(parent)
    , template_("%K") {}

void TMsgListModel::SetFormat(std::string format) {
    format_ = std::move(format);
    template_ = "%K" + format_;
    if (!rows_.empty())
        emit dataChanged(index(0), index(static_cast<int>(rows_.size()) - 1), {Qt::DisplayRole});
}

void TMsgListModel::LoadGroup(TGrp* group) {
    beginResetModel();
    rows_.clear();
    group_ = group;
    if (group) {
        rows_.reserve(group->display.size());
        for (const DisplayEntry& entry : group->display) {
            if (entry.msg)
                rows_.push_back(entry.msg);
        }
    }
    formatted_ = 0;
    endResetModel();
}

TMsg* TMsgListModel::MsgAt(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size())
        return nullptr;
    return rows_[static_cast<size_t>(row)];
}

void TMsgListModel::RowChanged(int row) {
    if (MsgAt(row))
        emit dataChanged(index(row), index(row), {Qt::DisplayRole});
}

int TMsgListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant TMsgListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || index.parent().isValid())
        return {};
    TMsg* msg = MsgAt(index.row());
    if (!msg)
        return {};
    ++formatted_;
    return ToQString(msg->Expand(template_));
}

Qt::ItemFlags TMsgListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace pelorin
