// RecordText: the text of one header field of a message record (Subject, From, Date,
// Message-ID, References, the parent ID), and TextStore, the block of text the records of one
// loaded area view.
//
// An area of 100,000 messages would otherwise hold half a million small strings, each its own
// allocation. A loader instead copies the fields of all its records into one TextStore (or
// keeps the index file's bytes there whole) and gives each record views into it; the records
// share the store, so it lives as long as any of them. A field read from an index may also be
// kept still encoded, exactly as the index holds it, and decoded (DecodeHeaderText) the first
// time it is read: a list that shows forty rows decodes forty subjects.
//
// Everywhere else a RecordText behaves like the std::string it replaces: assigning a string
// gives the record its own copy, copying a record copies its text (a copy never views a store
// it does not share), and it reads as a std::string_view or converts to a std::string.
#pragma once

#include "store/mapped_file.h"

#include <algorithm>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

// Text kept for the records of one load. Views it gives stay valid while the store lives; it
// never moves what it holds.
class TextStore {
public:
    TextStore() = default;
    ~TextStore();
    TextStore(const TextStore&) = delete;
    TextStore& operator=(const TextStore&) = delete;

    // A lasting copy of `text`.
    std::string_view Add(std::string_view text);
    // Room for `n` bytes that the caller fills, kept as one block.
    char* Reserve(size_t n);
    // A whole file's bytes (see MappedFile: mapped where it can be, else read), kept for as
    // long as the store lives; empty when the file is missing or empty.
    std::string_view KeepFile(std::string_view path);

private:
    static constexpr size_t kChunk = 64 * 1024;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<std::unique_ptr<MappedFile>> files_;
    char* free_ = nullptr;  // unused room at the end of the newest chunk
    size_t left_ = 0;
};

class RecordText {
public:
    static constexpr size_t npos = std::string_view::npos;

    RecordText()
        : bits_(Pack("", 0, Kind::View)) {}
    explicit RecordText(std::string_view text) { Own(text); }
    RecordText(const RecordText& other) { Own(other.view()); }
    RecordText(RecordText&& other) noexcept
        : bits_(other.bits_) {
        other.Forget();
    }
    RecordText& operator=(const RecordText& other);
    RecordText& operator=(RecordText&& other) noexcept {
        if (this != &other) {
            Drop();
            bits_ = other.bits_;
            other.Forget();
        }
        return *this;
    }
    RecordText& operator=(std::string_view text);
    RecordText& operator=(const std::string& text) { return *this = std::string_view(text); }
    RecordText& operator=(const char* text) { return *this = std::string_view(text); }
    ~RecordText() { Drop(); }

    // Text held elsewhere (a TextStore the record shares) that outlives this value.
    static RecordText View(std::string_view stored) { return RecordText(stored, Kind::View); }
    // A header value as an index holds it, decoded by DecodeHeaderText when first read; the
    // raw text is held elsewhere like a view's.
    static RecordText Encoded(std::string_view stored) { return RecordText(stored, Kind::Encoded); }

    // The text (decoding it first if it is still encoded).
    std::string_view view() const {
        if (kind() == Kind::Encoded)
            Decode();
        const char* text = Address();
        const size_t size = ShortSize();
        return {text, size == kLong ? LongSize(text) : size};
    }
    operator std::string_view() const { return view(); }  // NOLINT(google-explicit-constructor)
    operator std::string() const { return std::string(view()); }  // NOLINT
    std::string str() const { return std::string(view()); }

    size_t size() const { return view().size(); }
    size_t length() const { return size(); }
    bool empty() const { return view().empty(); }
    const char* data() const { return view().data(); }
    const char* begin() const { return data(); }
    const char* end() const { return data() + size(); }
    char operator[](size_t i) const { return view()[i]; }
    char front() const { return view().front(); }
    char back() const { return view().back(); }
    size_t find(std::string_view s, size_t pos = 0) const { return view().find(s, pos); }
    size_t find(char c, size_t pos = 0) const { return view().find(c, pos); }
    size_t rfind(std::string_view s, size_t pos = npos) const { return view().rfind(s, pos); }
    size_t rfind(char c, size_t pos = npos) const { return view().rfind(c, pos); }
    // Like std::string::substr: a copy; out_of_range when `pos` is past the end.
    std::string substr(size_t pos = 0, size_t n = npos) const {
        return std::string(view().substr(pos, n));
    }
    int compare(std::string_view s) const { return view().compare(s); }

    friend bool operator==(const RecordText& a, const RecordText& b) {
        return a.view() == b.view();
    }
    friend bool operator==(const RecordText& a, std::string_view b) { return a.view() == b; }
    friend std::strong_ordering operator<=>(const RecordText& a, const RecordText& b) {
        return a.view().compare(b.view()) <=> 0;
    }
    friend std::strong_ordering operator<=>(const RecordText& a, std::string_view b) {
        return a.view().compare(b) <=> 0;
    }
    friend std::string operator+(const RecordText& a, std::string_view b);
    friend std::string operator+(std::string_view a, const RecordText& b);
    friend std::string operator+(const RecordText& a, char b);
    friend std::string operator+(char a, const RecordText& b);

private:
    enum class Kind : uint64_t { View, Owned, Encoded };
    // One 64-bit word, so that a record's six fields take eight bytes each: the text's address
    // in the low 48 bits (all a user-space address uses), the size in the next 14, the kind in
    // the top two. Owned text of kLong bytes or more keeps its size in the eight bytes before
    // it; text as long held elsewhere is copied and owned (decoded first, if encoded), which
    // reads the same.
    static constexpr int kSizeShift = 48;
    static constexpr int kKindShift = 62;
    static constexpr uint64_t kAddressMask = (uint64_t{1} << kSizeShift) - 1;
    static constexpr size_t kLong = (size_t{1} << (kKindShift - kSizeShift)) - 1;

    static uint64_t Pack(const char* text, size_t size, Kind kind) {
        const auto address = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(text));
        if (address > kAddressMask)
            AddressTooHigh();
        return address | uint64_t{std::min(size, kLong)} << kSizeShift |
               static_cast<uint64_t>(kind) << kKindShift;
    }
    [[noreturn]] static void AddressTooHigh();
    const char* Address() const {
        return reinterpret_cast<const char*>(static_cast<uintptr_t>(bits_ & kAddressMask));
    }
    size_t ShortSize() const { return static_cast<size_t>(bits_ >> kSizeShift) & kLong; }
    static size_t LongSize(const char* text) {
        uint64_t size;
        std::memcpy(&size, text - sizeof size, sizeof size);
        return static_cast<size_t>(size);
    }
    Kind kind() const { return static_cast<Kind>(bits_ >> kKindShift); }

    RecordText(std::string_view stored, Kind kind) {
        if (stored.size() < kLong)
            bits_ = Pack(stored.empty() ? "" : stored.data(), stored.size(), kind);
        else
            OwnLong(stored, kind);
    }
    void OwnLong(std::string_view stored, Kind kind);
    void Own(std::string_view text);
    void Drop() {
        if (kind() == Kind::Owned)
            FreeOwned();
        Forget();
    }
    void Forget() { bits_ = Pack("", 0, Kind::View); }
    void FreeOwned();
    void Decode() const;

    // Owned text is a new[] block holding the text and a NUL after it (and, for long text, its
    // size before it).
    mutable uint64_t bits_;
};

std::ostream& operator<<(std::ostream& os, const RecordText& text);

}  // namespace pelorin
