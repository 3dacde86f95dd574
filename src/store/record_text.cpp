#include "store/record_text.h"

#include "store/msg.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>

namespace pelorin {
std::string_view TextStore::Add(std::string_view text) {
    if (text.empty())
        return {};
    if (text.size() > kChunk / 4) {
        char* block = Reserve(text.size());
        std::memcpy(block, text.data(), text.size());
        return {block, text.size()};
    }
    if (text.size() > left_) {
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(kChunk));
        free_ = blocks_.back().get();
        left_ = kChunk;
    }
    char* at = free_;
    std::memcpy(at, text.data(), text.size());
    free_ += text.size();
    left_ -= text.size();
    return {at, text.size()};
}

TextStore::~TextStore() = default;

std::string_view TextStore::KeepFile(std::string_view path) {
    files_.push_back(std::make_unique<MappedFile>(path));
    return files_.back()->Bytes();
}

char* TextStore::Reserve(size_t n) {
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(std::max<size_t>(n, 1)));
    return blocks_.back().get();
}

RecordText& RecordText::operator=(const RecordText& other) {
    if (this != &other) {
        RecordText copy(other);
        *this = std::move(copy);
    }
    return *this;
}

RecordText& RecordText::operator=(std::string_view text) {
    // The text may be this value's own (a part of it assigned back): copy before dropping.
    RecordText copy(text);
    return *this = std::move(copy);
}

void RecordText::OwnLong(std::string_view stored, Kind kind) {
    bits_ = Pack("", 0, Kind::View);
    if (kind == Kind::Encoded && NeedsHeaderDecoding(stored))
        Own(DecodeHeaderText(stored));
    else
        Own(stored);
}

void RecordText::AddressTooHigh() {
    std::fputs("pelorin: a text address beyond 48 bits\n", stderr);
    std::abort();
}

void RecordText::Own(std::string_view text) {
    if (text.empty()) {
        Forget();
        return;
    }
    const size_t header = text.size() >= kLong ? sizeof(uint64_t) : 0;
    char* block = new char[header + text.size() + 1];
    if (header) {
        const uint64_t size = text.size();
        std::memcpy(block, &size, sizeof size);
    }
    std::memcpy(block + header, text.data(), text.size());
    block[header + text.size()] = '\0';
    bits_ = Pack(block + header, text.size(), Kind::Owned);
}

void RecordText::FreeOwned() {
    const char* text = Address();
    delete[](ShortSize() == kLong ? text - sizeof(uint64_t) : text);
}

void RecordText::Decode() const {
    // Encoded text is always short (see the constructor).
    const std::string_view raw(Address(), ShortSize());
    auto* self = const_cast<RecordText*>(this);
    self->bits_ = Pack(raw.data(), raw.size(), Kind::View);  // the raw text is not ours to free
    if (!NeedsHeaderDecoding(raw))
        return;  // the text is its own decoding: keep viewing it
    self->Own(DecodeHeaderText(raw));
}

std::string operator+(const RecordText& a, std::string_view b) {
    std::string s;
    s.reserve(a.size() + b.size());
    s.append(a.view()).append(b);
    return s;
}

std::string operator+(std::string_view a, const RecordText& b) {
    std::string s;
    s.reserve(a.size() + b.size());
    s.append(a).append(b.view());
    return s;
}

std::string operator+(const RecordText& a, char b) {
    std::string s(a.view());
    s += b;
    return s;
}

std::string operator+(char a, const RecordText& b) {
    std::string s(1, a);
    s.append(b.view());
    return s;
}

std::ostream& operator<<(std::ostream& os, const RecordText& text) {
    return os << text.view();
}

}  // namespace pelorin
