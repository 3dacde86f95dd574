// The address book: a small tree of named addresses kept in ADDRESS.DAT in the program's own
// directory, the model behind the address book dialog, and the recipient drop-down of the
// header form.
//
// ADDRESS.DAT holds one node per line in depth-first order (a node, its children, then its next
// sibling). A line is the node's level in TABs (none at the top) followed by its text, ended by
// CR LF. Entries read name + "<" + address + ">"; a node without angle brackets serves as a
// group. When reading, the level is the number of leading TABs and blanks; lines that are
// empty after them are skipped; a hand-edited file written in UTF-8 is accepted
// (compose_file.h).
//
// Bad input: a line whose level exceeds that of the line before by more than one (or a first
// line that is not at the top) cannot be placed. Reading stops there with an error naming the
// line; the nodes before it stay. A book whose file could not be read completely - that error,
// or a file that exists but cannot be read - is never saved over that file: the lines that
// were not read would be lost.
#pragma once

#include "store/replace_file.h"
#include "store/strutil.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

class TAddressBook {
public:
    // One node of the tree. The book owns every node; children are owned by their parent.
    struct Node {
        std::string text;                             // "name<address>" or a group's caption
        std::vector<std::unique_ptr<Node>> children;  // in order
        Node* parent = nullptr;                       // null for top-level nodes
        bool expanded = false;                        // shown expanded in the dialog
    };

    TAddressBook() = default;
    TAddressBook(const TAddressBook&) = delete;
    TAddressBook& operator=(const TAddressBook&) = delete;

    // The top-level nodes.
    const std::vector<std::unique_ptr<Node>>& Top() const { return top_; }
    std::vector<std::unique_ptr<Node>>& Top() { return top_; }

    // Replaces the tree by the nodes of a file's text (see above). Returns false on a level
    // error: `error` (Shift_JIS) names the line, and the tree holds the nodes before it.
    bool Parse(std::string_view bytes, std::string& error);
    // Parse on the file at `path`; a missing file gives an empty book and no error.
    bool Load(std::string_view path, std::string& error);
    // The tree as file text: TAB levels, CR LF line ends.
    std::string Serialize() const;
    // Replaces the file at `path` with Serialize() (atomically). Refused (WriteFailed, nothing
    // written) when the book was loaded incompletely from a file (see above).
    ReplaceResult Save(std::string_view path) const;
    // True after a Load or Parse that did not read the whole file.
    bool Incomplete() const { return incomplete_; }

    // The text of an entry: name + "<" + address + ">". Line breaks and TABs become blanks and
    // leading blanks go, so that the text reads back as the same node.
    static std::string EntryText(std::string_view name, std::string_view address);

    // Adds an entry as the last child of `selected` (and expands it), or at the top when
    // `selected` is null. Nothing is added when `name` is empty. Returns the new node or null.
    Node* Add(Node* selected, std::string_view name, std::string_view address);
    // Removes a node and its children.
    void Delete(Node* node);
    // Sets a node's text to EntryText(name, address).
    void Change(Node* node, std::string_view name, std::string_view address);

private:
    std::vector<std::unique_ptr<Node>> top_;
    bool incomplete_ = false;
};

// The address book dialog's content, opened from the main window's menu or from the header
// form's "アドレス帳" button. It loads ADDRESS.DAT from the program's directory; the window
// shows `book`, edits `name` / `address` and `selected`, and calls Add, Delete, Change and
// finally Close.
class TAddressBookDialogModel {
public:
    // `programDir` ends with "/". From the header form, a non-empty `recipient` fills `name`
    // with its name part and `address` with its address part.
    explicit TAddressBookDialogModel(std::string_view programDir, std::string_view recipient = {});

    TAddressBook book;
    std::string name;                        // edtName
    std::string address;                     // edtAddress
    TAddressBook::Node* selected = nullptr;  // the tree's selection

    // The load error to show (Shift_JIS); empty when the file was read.
    const std::string& LoadError() const { return loadError_; }
    const std::string& Path() const { return path_; }

    void Add();     // cmdAdd
    void Delete();  // cmdDel: the selected node goes, and nothing is selected
    void Change();  // cmdMod

    // Ends the dialog, OK or Cancel: the book is saved either way. `recipient` is the text for
    // the header form's recipient: the selected node's text after OK with a node selected.
    struct Closing {
        ReplaceResult saved = ReplaceResult::Ok;
        std::string error;                     // Shift_JIS message when not saved; else empty
        std::optional<std::string> recipient;  // set only after OK with a selection
    };
    Closing Close(bool ok);

private:
    std::string path_;
    std::string loadError_;
};

// The recipient drop-down of the header form: the entries of ADDRESS.DAT in `programDir`, in
// file order, each as its whole text (trimmed), so that choosing one gives a recipient with its
// address. Lines without an address in angle brackets (groups, empty lines) are left out.
TSList RecipientItems(std::string_view programDir);

}  // namespace pelorin
