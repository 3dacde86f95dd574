// Message boxes and input boxes with Qt (see qt_dialogs.h).
#include "app/qt_dialogs.h"

#include "view/sjis_qt.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace pelorin {
namespace {

QString Caption(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Information:
            return QStringLiteral("情報");
        case MsgIcon::Warning:
            return QStringLiteral("警告");
        case MsgIcon::Error:
            return QStringLiteral("エラー");
        case MsgIcon::Question:
            return QStringLiteral("確認");
    }
    return QString();
}

QMessageBox::Icon BoxIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Warning:
            return QMessageBox::Warning;
        case MsgIcon::Error:
            return QMessageBox::Critical;
        case MsgIcon::Question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

MsgAnswer TQtDialogs::MessageBox(std::string_view text, MsgIcon icon, MsgButtons buttons) {
    QMessageBox box(BoxIcon(icon), Caption(icon), ToQString(text), QMessageBox::NoButton, parent_);
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;
    switch (buttons) {
        case MsgButtons::Ok:
            ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
            box.setEscapeButton(ok);
            break;
        case MsgButtons::OkCancel:
            ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
            cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
            box.setEscapeButton(cancel);
            break;
        case MsgButtons::YesNo:
            yes = box.addButton(QStringLiteral("はい"), QMessageBox::YesRole);
            no = box.addButton(QStringLiteral("いいえ"), QMessageBox::NoRole);
            box.setEscapeButton(no);
            break;
        case MsgButtons::YesNoCancel:
            yes = box.addButton(QStringLiteral("はい"), QMessageBox::YesRole);
            no = box.addButton(QStringLiteral("いいえ"), QMessageBox::NoRole);
            cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
            box.setEscapeButton(cancel);
            break;
    }
    box.exec();
    const QAbstractButton* chosen = box.clickedButton();
    if (chosen && chosen == ok)
        return MsgAnswer::Ok;
    if (chosen && chosen == yes)
        return MsgAnswer::Yes;
    if (chosen && chosen == no)
        return MsgAnswer::No;
    if (chosen && chosen == cancel)
        return MsgAnswer::Cancel;
    // Closed without a button: as the interface promises.
    switch (buttons) {
        case MsgButtons::Ok:
            return MsgAnswer::Ok;
        case MsgButtons::YesNo:
            return MsgAnswer::No;
        default:
            return MsgAnswer::Cancel;
    }
}

bool TQtDialogs::InputBox(std::string_view caption, std::string_view prompt, std::string& value) {
    QInputDialog dialog(parent_);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(ToQString(caption));
    dialog.setLabelText(ToQString(prompt));
    dialog.setTextValue(ToQString(value));
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("キャンセル"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = FromQString(dialog.textValue());
    return true;
}

}  // namespace pelorin
