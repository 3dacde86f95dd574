// TREParseTree. See re_parse_tree.h.
#include "select/re_parse_tree.h"

#include "select/re_char.h"
#include "select/re_error.h"

#include <cstdio>
#include <stdexcept>

namespace pelorin {
namespace {

void AppendCode(unsigned code, std::string& out) {
    if (code >= 0x21 && code <= 0x7E && code != '{' && code != '}' && code != '\\' && code != '-') {
        out += static_cast<char>(code);
        return;
    }
    char buf[12];
    std::snprintf(buf, sizeof buf, code < 0x100 ? "\\x%02x" : "\\x%04x", code);
    out += buf;
}

}  // namespace

TRENodeId TREParseTree::Add(TRENode node) {
    nodes_.push_back(node);
    return static_cast<TRENodeId>(nodes_.size() - 1);
}

TRENodeId TREParseTree::Check(TRENodeId id) const {
    if (id < 0 || static_cast<size_t>(id) >= nodes_.size())
        throw std::logic_error(TREFatalTreeText());
    return id;
}

TRENodeId TREParseTree::Leaf(unsigned low, unsigned high) {
    auto [it, inserted] = leaves_.try_emplace({low, high}, -1);
    if (inserted)
        it->second = Add({TRENodeKind::Range, low, high, -1, -1});
    return it->second;
}

TRENodeId TREParseTree::LineStart(unsigned code) {
    return Add({TRENodeKind::LineStart, code, code, -1, -1});
}

TRENodeId TREParseTree::LineEnd(unsigned code) {
    return Add({TRENodeKind::LineEnd, code, code, -1, -1});
}

TRENodeId TREParseTree::Concat(TRENodeId left, TRENodeId right) {
    return Add({TRENodeKind::Concat, 0, 0, Check(left), Check(right)});
}

TRENodeId TREParseTree::Alternation(TRENodeId left, TRENodeId right) {
    return Add({TRENodeKind::Alternation, 0, 0, Check(left), Check(right)});
}

TRENodeId TREParseTree::Star(TRENodeId child) {
    return Add({TRENodeKind::Star, 0, 0, Check(child), -1});
}

TRENodeId TREParseTree::Empty() {
    return Add({TRENodeKind::Empty, 0, 0, -1, -1});
}

TRENodeId TREParseTree::NoChar() {
    return Add({TRENodeKind::NoChar, 0, 0, -1, -1});
}

TRENodeId TREParseTree::AnyChar() {
    const auto& r = re::kAnyCharRanges;
    TRENodeId first = Leaf(r[0].low, r[0].high);
    TRENodeId second = Leaf(r[1].low, r[1].high);
    TRENodeId third = Leaf(r[2].low, r[2].high);
    return Alternation(Alternation(first, second), third);
}

const TRENode& TREParseTree::Node(TRENodeId id) const {
    return nodes_[static_cast<size_t>(Check(id))];
}

std::string TREParseTree::Dump(TRENodeId id) const {
    std::string out;
    DumpTo(id, out);
    return out;
}

void TREParseTree::DumpChain(TRENodeId id, TRENodeKind kind, std::string& out) const {
    const TRENode& n = Node(id);
    if (n.kind != kind) {
        DumpTo(id, out);
        return;
    }
    DumpChain(n.left, kind, out);
    DumpChain(n.right, kind, out);
}

void TREParseTree::DumpTo(TRENodeId id, std::string& out) const {
    const TRENode& n = Node(id);
    switch (n.kind) {
        case TRENodeKind::Range:
            if (n.low == n.high) {
                out += "lit{";
                AppendCode(n.low, out);
            } else {
                out += "range{";
                AppendCode(n.low, out);
                out += '-';
                AppendCode(n.high, out);
            }
            out += '}';
            return;
        case TRENodeKind::LineStart:
            out += "bol{}";
            return;
        case TRENodeKind::LineEnd:
            out += "eol{}";
            return;
        case TRENodeKind::Concat:
        case TRENodeKind::Alternation:
            out += n.kind == TRENodeKind::Concat ? "cat{" : "alt{";
            DumpChain(n.left, n.kind, out);
            DumpChain(n.right, n.kind, out);
            out += '}';
            return;
        case TRENodeKind::Star:
            out += "star{";
            DumpTo(n.left, out);
            out += '}';
            return;
        case TRENodeKind::Empty:
            out += "emp{}";
            return;
        case TRENodeKind::NoChar:
            out += "none{}";
            return;
    }
}

}  // namespace pelorin
