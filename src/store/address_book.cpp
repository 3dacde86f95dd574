// The address book tree and ADDRESS.DAT (see address_book.h).
#include "store/address_book.h"

#include "coding/cp932.h"
#include "store/address_parts.h"
#include "store/compose_file.h"
#include "store/linewriter.h"
#include "store/textfile.h"

#include <algorithm>

namespace pelorin {
namespace {

void SerializeNodes(const std::vector<std::unique_ptr<TAddressBook::Node>>& nodes,
                    size_t level,
                    std::string& out) {
    for (const auto& n : nodes) {
        out.append(level, '\t');
        out += n->text;
        out += "\r\n";
        SerializeNodes(n->children, level + 1, out);
    }
}

// True when the text holds "<" with a non-empty address before the next ">" (or the end).
bool HasAddress(std::string_view text) {
    size_t lt = text.find('<');
    if (lt == std::string_view::npos)
        return false;
    size_t gt = text.find('>', lt + 1);
    std::string_view inside =
        text.substr(lt + 1, gt == std::string_view::npos ? std::string_view::npos : gt - lt - 1);
    return !Trim(inside).empty();
}

}  // namespace

bool TAddressBook::Parse(std::string_view bytes, std::string& error) {
    top_.clear();
    incomplete_ = false;
    error.clear();
    const TSList lines = SplitTextLines(ToSjisText(bytes));
    std::vector<Node*> path;  // path[k]: the last node read at level k
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        size_t level = 0;
        while (level < line.size() && (line[level] == '\t' || line[level] == ' ')) ++level;
        if (level == line.size())
            continue;
        if (level > path.size()) {
            error = Sjis("「") + line.substr(level) + Sjis("」のレベルが正しくありません（") +
                    std::to_string(i + 1) + Sjis("行目）。");
            incomplete_ = true;
            return false;
        }
        auto node = std::make_unique<Node>();
        node->text = line.substr(level);
        Node* raw = node.get();
        if (level == 0) {
            top_.push_back(std::move(node));
        } else {
            node->parent = path[level - 1];
            path[level - 1]->children.push_back(std::move(node));
        }
        path.resize(level);
        path.push_back(raw);
    }
    return true;
}

bool TAddressBook::Load(std::string_view path, std::string& error) {
    top_.clear();
    incomplete_ = false;
    error.clear();
    const int64_t size = FileSize(path);
    if (size < 0)
        return true;
    const std::string bytes = ReadFileBytes(path);
    if (bytes.empty() && size > 0) {
        error = std::string(path) + Sjis("を読み込めませんでした。");
        incomplete_ = true;
        return false;
    }
    return Parse(bytes, error);
}

std::string TAddressBook::Serialize() const {
    std::string out;
    SerializeNodes(top_, 0, out);
    return out;
}

ReplaceResult TAddressBook::Save(std::string_view path) const {
    if (incomplete_)
        return ReplaceResult::WriteFailed;
    // The address book lives in the own directory, where a link is the user's own choice.
    return ReplaceFile(path, Serialize(), true, LinkPolicy::Follow);
}

std::string TAddressBook::EntryText(std::string_view name, std::string_view address) {
    std::string text = std::string(name) + "<" + std::string(address) + ">";
    for (char& c : text) {
        if (c == '\r' || c == '\n' || c == '\t')
            c = ' ';
    }
    size_t lead = 0;
    while (lead < text.size() && text[lead] == ' ') ++lead;
    return text.substr(lead);
}

TAddressBook::Node* TAddressBook::Add(Node* selected,
                                      std::string_view name,
                                      std::string_view address) {
    if (name.empty())
        return nullptr;
    auto node = std::make_unique<Node>();
    node->text = EntryText(name, address);
    node->parent = selected;
    Node* raw = node.get();
    if (selected) {
        selected->children.push_back(std::move(node));
        selected->expanded = true;
    } else {
        top_.push_back(std::move(node));
    }
    return raw;
}

void TAddressBook::Delete(Node* node) {
    if (!node)
        return;
    auto& siblings = node->parent ? node->parent->children : top_;
    auto it = std::find_if(siblings.begin(), siblings.end(),
                           [node](const std::unique_ptr<Node>& n) { return n.get() == node; });
    if (it != siblings.end())
        siblings.erase(it);
}

void TAddressBook::Change(Node* node, std::string_view name, std::string_view address) {
    if (node)
        node->text = EntryText(name, address);
}

TAddressBookDialogModel::TAddressBookDialogModel(std::string_view programDir,
                                                 std::string_view recipient)
    : path_(std::string(programDir) + "ADDRESS.DAT") {
    book.Load(path_, loadError_);
    if (!recipient.empty()) {
        // "name <address>" leaves a blank after the name that the entry must not keep.
        name = std::string(Trim(NamePart(recipient)));
        address = std::string(Trim(AddressPart(recipient)));
    }
}

void TAddressBookDialogModel::Add() {
    book.Add(selected, name, address);
}

void TAddressBookDialogModel::Delete() {
    book.Delete(selected);
    selected = nullptr;
}

void TAddressBookDialogModel::Change() {
    book.Change(selected, name, address);
}

TAddressBookDialogModel::Closing TAddressBookDialogModel::Close(bool ok) {
    Closing c;
    if (ok && selected)
        c.recipient = selected->text;
    c.saved = book.Save(path_);
    if (book.Incomplete())
        c.error = path_ + Sjis("は読み込めない行があったため、保存しませんでした。");
    else if (c.saved != ReplaceResult::Ok)
        c.error = path_ + Sjis("に書き込めませんでした。") + "\n(" + to_string(c.saved) + ")";
    return c;
}

TSList RecipientItems(std::string_view programDir) {
    TSList items;
    const std::string path = std::string(programDir) + "ADDRESS.DAT";
    const TSList lines = SplitTextLines(ToSjisText(ReadFileBytes(path)));
    for (const std::string& line : lines) {
        std::string_view text = Trim(line);
        if (HasAddress(text))
            items.emplace_back(text);
    }
    return items;
}

}  // namespace pelorin
