// The message list (see msglistbox.h).
#include "view/msglistbox.h"

#include "view/msglist_delegate.h"
#include "view/msglist_model.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>

namespace pelorin {

TMsgListBox::TMsgListBox(QWidget* parent)
    : QListView(parent)
    , model_(new TMsgListModel(this)) {
    setModel(model_);
    setItemDelegate(new TMsgRowDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideNone);
}

void TMsgListBox::SetFormat(std::string format) {
    model_->SetFormat(std::move(format));
}

const std::string& TMsgListBox::FormatString() const {
    return model_->FormatString();
}

void TMsgListBox::LoadGroup(TGrp* group) {
    model_->LoadGroup(group);
}

TGrp* TMsgListBox::Group() const {
    return model_->Group();
}

TMsg* TMsgListBox::MsgAt(int row) const {
    return model_->MsgAt(row);
}

int TMsgListBox::Count() const {
    return model_->rowCount();
}

int TMsgListBox::ItemIndex() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TMsgListBox::SetItemIndex(int row) {
    if (row < 0 || row >= Count()) {
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        return;
    }
    const QModelIndex index = model_->index(row);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    scrollTo(index);
}

bool TMsgListBox::IsSelected(int row) const {
    return row >= 0 && row < Count() && selectionModel()->isSelected(model_->index(row));
}

void TMsgListBox::SetSelected(int row, bool on) {
    if (row < 0 || row >= Count())
        return;
    selectionModel()->select(model_->index(row),
                             on ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

int TMsgListBox::SelCount() const {
    return static_cast<int>(selectionModel()->selectedIndexes().size());
}

void TMsgListBox::InvalidateRow(int row) {
    model_->RowChanged(row);
}

void TMsgListBox::keyboardSearch(const QString&) {}

void TMsgListBox::mousePressEvent(QMouseEvent* event) {
    emit OnMouseDown(event->button());
    QListView::mousePressEvent(event);
}

void TMsgListBox::keyReleaseEvent(QKeyEvent* event) {
    QListView::keyReleaseEvent(event);
    emit OnKeyUp(event);
}

void TMsgListBox::focusInEvent(QFocusEvent* event) {
    const bool hadCurrent = currentIndex().isValid();
    QListView::focusInEvent(event);
    if (!hadCurrent && currentIndex().isValid())
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

void TMsgListBox::changeEvent(QEvent* event) {
    QListView::changeEvent(event);
    // Rows are as tall as the font: a new font means a new row height for every row.
    if (event->type() == QEvent::FontChange)
        doItemsLayout();
}

}  // namespace pelorin
