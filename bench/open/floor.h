// The floor of opening an area: what any reader must at least do to find its messages. The
// file is mapped; rnews frames are split by their counts and the header lines of each message
// are walked with memchr to locate Subject, From, Date, Message-ID and References (nothing is
// decoded or copied); index lines are split into their nine columns. Shared by the benchmark
// program and the stand-alone `open_floor` the timing script runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelorin::bench {

class Mapped {
public:
    explicit Mapped(const char* path) {
        const int fd = ::open(path, O_RDONLY);
        struct stat st {};
        if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_size > 0) {
            size_ = static_cast<size_t>(st.st_size);
            void* p = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
            data_ = p == MAP_FAILED ? nullptr : static_cast<const char*>(p);
        }
        if (fd >= 0)
            ::close(fd);
    }
    ~Mapped() {
        if (data_)
            ::munmap(const_cast<char*>(data_), size_);
    }
    Mapped(const Mapped&) = delete;
    Mapped& operator=(const Mapped&) = delete;
    std::string_view Bytes() const {
        return data_ ? std::string_view(data_, size_) : std::string_view();
    }

private:
    const char* data_ = nullptr;
    size_t size_ = 0;
};

inline bool StartsNoCase(std::string_view line, std::string_view key) {
    if (line.size() < key.size())
        return false;
    for (size_t i = 0; i < key.size(); ++i) {
        if ((line[i] | 0x20) != (key[i] | 0x20))
            return false;
    }
    return true;
}

// Messages found and header fields located in an rnews message file.
inline size_t FloorRnews(std::string_view file, size_t& fields) {
    static constexpr std::string_view kKeys[] = {
        "subject: ", "from: ", "date: ", "message-id: ", "references: "};
    size_t messages = 0, pos = 0;
    fields = 0;
    while (pos + 9 < file.size() && file.compare(pos, 9, "#! rnews ") == 0) {
        const char* lf =
            static_cast<const char*>(std::memchr(file.data() + pos, '\n', file.size() - pos));
        if (!lf)
            break;
        size_t count = 0;
        for (const char* c = file.data() + pos + 9; c < lf; ++c)
            count = count * 10 + static_cast<size_t>(*c - '0');
        const size_t start = static_cast<size_t>(lf - file.data()) + 1;
        const size_t end = start + count < file.size() ? start + count : file.size();
        size_t line = start;
        while (line < end) {
            const char* nl =
                static_cast<const char*>(std::memchr(file.data() + line, '\n', end - line));
            const size_t stop = nl ? static_cast<size_t>(nl - file.data()) : end;
            if (stop == line)
                break;  // the empty line ends the header
            const std::string_view text = file.substr(line, stop - line);
            for (std::string_view key : kKeys) {
                if (StartsNoCase(text, key)) {
                    ++fields;
                    break;
                }
            }
            line = stop + 1;
        }
        ++messages;
        pos = end;
    }
    return messages;
}

// Index lines and the columns split from them.
inline size_t FloorIndex(std::string_view file, size_t& columns) {
    size_t lines = 0, pos = 0;
    columns = 0;
    while (pos < file.size()) {
        const char* nl =
            static_cast<const char*>(std::memchr(file.data() + pos, '\n', file.size() - pos));
        const size_t stop = nl ? static_cast<size_t>(nl - file.data()) : file.size();
        size_t col = pos;
        for (int k = 0; k < 9 && col <= stop; ++k) {
            const char* tab =
                static_cast<const char*>(std::memchr(file.data() + col, '\t', stop - col));
            ++columns;
            col = tab ? static_cast<size_t>(tab - file.data()) + 1 : stop + 1;
        }
        ++lines;
        pos = stop + 1;
    }
    return lines;
}

}  // namespace pelorin::bench
