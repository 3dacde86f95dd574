// TAddressDlg: the address book window ("アドレス帳", centred on the screen) over the core's
// dialog model (store/address_book.h): the tree `tvAddress`, 名称 `edtName`, アドレス
// `edtAddress`, 追加 `cmdAdd`, 削除 `cmdDel`, 変更 `cmdMod`, OK `cmdOK` and ｷｬﾝｾﾙ `cmdCancel`.
//
// The tree is drawn anew from the model after every change, keeping the expanded state the
// model holds. Choosing an entry fills 名称 and アドレス with its parts, so that 変更 starts from
// what is there; choosing a group leaves them alone, so that an entry typed (or handed over by
// the header form) can be added under it.
//
// RunAddressBook is the whole use: load ADDRESS.DAT (a level error or a read failure is
// shown, and the book is then never saved over the file), show the window modally, and save
// the book whatever the answer, showing an error when it could not be saved.
#pragma once

#include "store/address_book.h"
#include "store/dialogs.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace pelorin {

class TAddressDlg : public QDialog {
    Q_OBJECT

public:
    // `model` must outlive the window.
    explicit TAddressDlg(TAddressBookDialogModel& model, QWidget* parent = nullptr);

    TAddressBookDialogModel& Model() { return model_; }

    void cmdAddClick();
    void cmdDelClick();
    void cmdModClick();

private:
    void Rebuild();
    void AddNodes(QTreeWidgetItem* parent, const TAddressBook::Node& node);
    void TakeFields();
    void SelectionChanged();

    TAddressBookDialogModel& model_;
    QTreeWidget* tree_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLineEdit* address_ = nullptr;
    bool rebuilding_ = false;
};

// Opens the address book of `programDir` (ending with "/"), with name and address taken from
// `recipient` when it is not empty; returns the chosen entry's text after OK with a node
// selected. `parent` is the window it belongs to (the dialog itself is centred on the screen).
std::optional<std::string> RunAddressBook(std::string_view programDir,
                                          std::string_view recipient,
                                          TDialogs& dialogs,
                                          QWidget* parent);

// Tests and the walk-through reach the window while it is shown modally through this hook:
// called with the window just before it runs (tests only; null in the program).
extern std::function<void(TAddressDlg&)> TESTING_ONLY_addressDialogShown;

}  // namespace pelorin
