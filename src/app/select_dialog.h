// TSelectDialog: the folder selection dialog of フォルダにコピー ("フォルダへのコピー"). It shows
// the prompt, a tree of every open folder or note packet with its folders as children (all
// expanded), and a check box that says whether several messages are selected; its state
// changes nothing that is copied. OK is enabled while a folder is chosen. Created for one use.
#pragma once

#include "store/folders.h"

#include <QDialog>

class QCheckBox;
class QDialogButtonBox;
class QTreeWidget;

namespace pelorin {

class TSelectDialog : public QDialog {
    Q_OBJECT

public:
    explicit TSelectDialog(const FolderChoice& choice, QWidget* parent = nullptr);

    // The folder chosen, or null while a packet node or nothing is.
    TGrp* Chosen() const;
    // Chooses `folder` in the tree (tests, and the first folder when there is only one).
    void Choose(const TGrp* folder);

    QTreeWidget* Tree() const { return tree_; }
    QCheckBox* MultiBox() const { return multi_; }

private:
    void UpdateOk();

    QTreeWidget* tree_ = nullptr;
    QCheckBox* multi_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

// Shows the dialog modally; the chosen folder on OK, else null.
TGrp* ChooseFolder(const FolderChoice& choice, QWidget* parent);

}  // namespace pelorin
