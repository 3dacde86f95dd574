// TMsgListBox: the list of the open area's messages (the main window's "ListBox2").
//
// A list view over TMsgListModel drawn by TMsgRowDelegate: one row per message of the area's
// display list, rows as tall as the list font's text, several rows selectable at once
// (click, Shift and Ctrl extend the selection). Rows are formatted only when painted and all
// rows are one height, so opening or scrolling an area of 100,000 messages lays out no row
// text at all; no row ever gets a widget of its own.
//
// Typing letters does not search the rows: the main window keeps letter keys for its key
// bindings, and a search would format every row.
#pragma once

#include "store/grp.h"
#include "store/msg.h"

#include <QListView>

#include <string>

namespace pelorin {

class TMsgListModel;

class TMsgListBox : public QListView {
    Q_OBJECT

public:
    explicit TMsgListBox(QWidget* parent = nullptr);

    // Stores FormatString, the row template after the mark.
    void SetFormat(std::string format);
    const std::string& FormatString() const;
    // Rebuilds the rows from `group`'s display list (null: no rows) and forgets the selection.
    void LoadGroup(TGrp* group);
    void Clear() { LoadGroup(nullptr); }
    TGrp* Group() const;

    // The message of a row; null outside the rows.
    TMsg* MsgAt(int row) const;
    int Count() const;
    // The focus item's row, -1 when there is none.
    int ItemIndex() const;
    // Makes `row` the focus item (without selecting it) and scrolls it into view.
    void SetItemIndex(int row);
    bool IsSelected(int row) const;
    void SetSelected(int row, bool on);
    int SelCount() const;
    // Repaints a row whose text changed (a new mark).
    void InvalidateRow(int row);

    TMsgListModel* Model() const { return model_; }

signals:
    void OnMouseDown(Qt::MouseButton button);
    void OnKeyUp(QKeyEvent* event);

protected:
    void keyboardSearch(const QString& search) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Getting the focus does not make the first row the focus item (Qt's list would): the
    // focus item stays -1 until a row is chosen, so "next" starts at the first row.
    void focusInEvent(QFocusEvent* event) override;

private:
    TMsgListModel* model_;
};

}  // namespace pelorin
