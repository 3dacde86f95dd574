// Test helpers shared by every test program (tests only; never linked into the program).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin::testing {

// Shift_JIS bytes of a UTF-8 literal, through the program's CP932 codec.
std::string S(std::string_view utf8);
// UTF-8 of Shift_JIS bytes, for readable failure messages.
std::string U(std::string_view sjis);
// Bytes as space-separated upper-case hex ("1B 24 42"), for comparing binary results.
std::string Hex(std::string_view bytes);

// Reads and writes whole files as bytes.
std::string ReadFile(const std::filesystem::path& path);

// Message files of the two framings: each text behind "#! rnews " + its size + LF, or behind
// its size as four bytes, most significant first.
std::string RnewsFile(const std::vector<std::string>& messages);
std::string BinaryFile(const std::vector<std::string>& messages);
void WriteFile(const std::filesystem::path& path, std::string_view bytes);

// A fresh directory under the system's temporary folder, removed with everything in it when
// the object goes. While it lives, PELORIN_HOME points at its "home" subfolder and
// XDG_CACHE_HOME at its "cache" subfolder, so no test ever touches the real user's settings or
// search index.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }
    std::filesystem::path home() const { return path_ / "home"; }

private:
    std::filesystem::path path_;
    std::string saved_home_;
    bool had_home_ = false;
    std::string saved_cache_;
    bool had_cache_ = false;
};

// A disk that fills up: while this lives, writes that would make a file larger than `bytes`
// fail with EFBIG (the SIGXFSZ signal is ignored). Binds root too, unlike read-only folders.
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long old_cur_ = 0;
    void (*old_handler_)(int) = nullptr;
};

// The folder of test data files (tests/data).
std::filesystem::path DataDir();

}  // namespace pelorin::testing
