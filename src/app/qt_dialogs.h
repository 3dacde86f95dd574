// TQtDialogs: the core's message boxes and input boxes shown as Qt dialogs, modal over the
// main window, with Japanese captions and buttons ("OK", "キャンセル", "はい", "いいえ").
// Texts arrive as Shift_JIS and pass through the CP932 edge; an answer typed into an input box
// goes back the same way (characters CP932 cannot hold become "?").
#pragma once

#include "store/dialogs.h"

class QWidget;

namespace pelorin {

class TQtDialogs : public TDialogs {
public:
    explicit TQtDialogs(QWidget* parent = nullptr)
        : parent_(parent) {}

    MsgAnswer MessageBox(std::string_view text, MsgIcon icon, MsgButtons buttons) override;
    bool InputBox(std::string_view caption, std::string_view prompt, std::string& value) override;

private:
    QWidget* parent_;  // not owned
};

}  // namespace pelorin
