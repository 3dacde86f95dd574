// Fuzz target: ADDRESS.DAT parsing. Random bytes are read as an address book; whatever was read
// (all of it, or the lines before a level error, which must then be reported) is written out,
// edited (an entry added under the first node, the last top-level node changed, the first
// node's first child deleted) and written again. Each written text must read back without
// error into exactly the same text, with one CR LF line per node and no line starting in a
// blank. The round trip is not checked when the written Shift_JIS text is also well-formed
// UTF-8 with high bytes, which the reader takes for a UTF-8 file by design.
#include "store/address_book.h"
#include "store/compose_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

size_t CountNodes(const std::vector<std::unique_ptr<pelorin::TAddressBook::Node>>& nodes) {
    size_t n = nodes.size();
    for (const auto& node : nodes) n += CountNodes(node->children);
    return n;
}

bool AmbiguousAsUtf8(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return pelorin::IsWellFormedUtf8(text);
    }
    return false;
}

void CheckRoundTrip(const pelorin::TAddressBook& book) {
    const std::string text = book.Serialize();
    size_t lines = 0;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos)
            std::abort();  // every line ends with CR LF
        size_t tabs = pos;
        while (tabs < end && text[tabs] == '\t') ++tabs;
        if (tabs == end || text[tabs] == ' ' ||
            text.substr(pos, end - pos).find('\r') != std::string::npos)
            std::abort();  // a node line always has text, never a leading blank or a stray CR
        ++lines;
        pos = end + 2;
    }
    if (lines != CountNodes(book.Top()))
        std::abort();
    if (AmbiguousAsUtf8(text))
        return;
    pelorin::TAddressBook again;
    std::string error;
    if (!again.Parse(text, error) || !error.empty() || again.Serialize() != text)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    pelorin::TAddressBook book;
    std::string error;
    const bool ok = book.Parse(bytes, error);
    if (ok != error.empty() || ok == book.Incomplete())
        std::abort();
    CheckRoundTrip(book);

    auto& top = book.Top();
    if (!top.empty()) {
        book.Add(top.front().get(), "\tname\r\n", " addr\t");
        book.Change(top.back().get(), "", "");
        if (!top.front()->children.empty())
            book.Delete(top.front()->children.front().get());
    } else {
        book.Add(nullptr, " x", "y");
    }
    CheckRoundTrip(book);
    return 0;
}
