#include "support/testing.h"

#include "coding/cp932.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/resource.h>

namespace pelorin::testing {

std::string S(std::string_view utf8) {
    return cp932::FromUtf8(utf8);
}
std::string U(std::string_view sjis) {
    return cp932::ToUtf8(sjis);
}

std::string Hex(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty())
            out += ' ';
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
    }
    return out;
}

std::string RnewsFile(const std::vector<std::string>& messages) {
    std::string out;
    for (const auto& m : messages) out += "#! rnews " + std::to_string(m.size()) + "\n" + m;
    return out;
}

std::string BinaryFile(const std::vector<std::string>& messages) {
    std::string out;
    for (const auto& m : messages) {
        const auto n = static_cast<uint32_t>(m.size());
        for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<char>(n >> s & 0xFF));
        out += m;
    }
    return out;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "pelorin-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
    std::filesystem::create_directories(home());
    if (const char* old = std::getenv("PELORIN_HOME")) {
        had_home_ = true;
        saved_home_ = old;
    }
    setenv("PELORIN_HOME", home().c_str(), 1);
    // The search index goes into the test's folder too, never the user's cache.
    if (const char* old = std::getenv("XDG_CACHE_HOME")) {
        had_cache_ = true;
        saved_cache_ = old;
    }
    setenv("XDG_CACHE_HOME", (path_ / "cache").c_str(), 1);
}

TempDir::~TempDir() {
    if (had_home_)
        setenv("PELORIN_HOME", saved_home_.c_str(), 1);
    else
        unsetenv("PELORIN_HOME");
    if (had_cache_)
        setenv("XDG_CACHE_HOME", saved_cache_.c_str(), 1);
    else
        unsetenv("XDG_CACHE_HOME");
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

FileSizeLimit::FileSizeLimit(unsigned long bytes) {
    old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim{};
    getrlimit(RLIMIT_FSIZE, &lim);
    old_cur_ = lim.rlim_cur;
    lim.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lim);
}

FileSizeLimit::~FileSizeLimit() {
    rlimit lim{};
    getrlimit(RLIMIT_FSIZE, &lim);
    lim.rlim_cur = old_cur_;
    setrlimit(RLIMIT_FSIZE, &lim);
    std::signal(SIGXFSZ, old_handler_);
}

std::filesystem::path DataDir() {
    return PELORIN_TEST_DATA;
}

}  // namespace pelorin::testing
