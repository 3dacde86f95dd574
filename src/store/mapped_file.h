// A whole file's bytes for reading, mapped into memory instead of copied: an area's message
// file or index is read once from end to end, and a mapping costs no copy and no allocation.
// A file that cannot be mapped (a pipe, a file system without mmap) is read into memory
// instead; an empty or missing file gives no bytes.
//
// The bytes are those of the file when it was opened. The program never shortens an area's
// files in place (rewrites rename new files over them); should another program do so, the
// pages lost read as zeros (see guarded_map.h) rather than stopping the program.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelorin {

class MappedFile {
public:
    MappedFile() = default;
    // `path` is Shift_JIS text (see DiskPath).
    explicit MappedFile(std::string_view path) { Open(path); }
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // False when the file is missing or cannot be read.
    bool Open(std::string_view path);
    std::string_view Bytes() const { return bytes_; }
    // Tells the system the bytes before `offset` will not be read again, so a mapped file read
    // from end to end does not stay resident as a whole (the pages stay in the page cache).
    void DoneBefore(std::size_t offset);

private:
    void Close();

    void* map_ = nullptr;
    std::size_t mapLength_ = 0;
    std::string copy_;  // the bytes when the file could not be mapped
    std::string_view bytes_;
    std::size_t released_ = 0;  // bytes already given back
};

}  // namespace pelorin
