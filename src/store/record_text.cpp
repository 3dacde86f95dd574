#include "store/record_text.h"

#include "store/guarded_map.h"
#include "store/msg.h"

#include <algorithm>
#include <cstring>
#include <ostream>
#include <sys/mman.h>

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

TextStore::~TextStore() {
    for (auto [at, n] : mapped_) ::munmap(at, n);
    for (auto [at, n] : files_) guarded_map::Unmap(at, n);
}

std::string_view TextStore::KeepMapping(const char* at, size_t n) {
    files_.emplace_back(at, n);
    return {at, n};
}

char* TextStore::Reserve(size_t n) {
    // A large block (a whole index) is mapped on its own and asks for huge pages: filling it
    // then costs a few page faults instead of one per 4 KiB.
    constexpr size_t kLarge = 2 * 1024 * 1024;
    if (n >= kLarge) {
        // Huge pages need 2 MiB alignment: map one more and start at the first boundary.
        const size_t len = (n + kLarge - 1) / kLarge * kLarge + kLarge;
        void* at = ::mmap(nullptr, len, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (at != MAP_FAILED) {
            mapped_.emplace_back(at, len);
            const auto start = (reinterpret_cast<uintptr_t>(at) + kLarge - 1) / kLarge * kLarge;
            char* block = reinterpret_cast<char*>(start);
#ifdef MADV_HUGEPAGE
            (void)::madvise(block, len - kLarge, MADV_HUGEPAGE);
#endif
            return block;
        }
    }
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

void RecordText::Own(std::string_view text) {
    text = text.substr(0, std::min(text.size(), kMaxSize));
    if (text.empty()) {
        data_ = "";
        size_ = 0;
        kind_ = Kind::View;
        return;
    }
    char* block = new char[text.size() + 1];
    std::memcpy(block, text.data(), text.size());
    block[text.size()] = '\0';
    data_ = block;
    size_ = static_cast<uint32_t>(text.size());
    kind_ = Kind::Owned;
}

void RecordText::FreeOwned() {
    delete[] data_;
}

void RecordText::Decode() const {
    const std::string_view raw(data_, size_);
    if (!NeedsHeaderDecoding(raw)) {
        kind_ = Kind::View;  // the text is its own decoding: keep viewing it
        return;
    }
    const std::string decoded = DecodeHeaderText(raw);
    auto* self = const_cast<RecordText*>(this);
    self->kind_ = Kind::View;  // the raw text is not ours to free
    self->Own(decoded);
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
