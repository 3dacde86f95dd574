// TUucode.Decode on arbitrary message lines, writing into a scratch directory (in /dev/shm when
// there is one, so the flush of every file costs nothing).
//
// Checked after every run: nothing appeared beside the data directory (no name from the input
// led outside it), no temporary file stayed behind, and every block reported as written has
// its file with exactly the reported number of bytes. The data directory is emptied between
// runs and removed when the process ends.
#include "coding/safe_file.h"
#include "coding/uucode.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The scratch directory; a plain array, so that it is still there when the exit handler runs.
char gBase[4096];

const char* Base() {
    if (!gBase[0]) {
        std::error_code ec;
        fs::path root =
            fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string tmpl = (root / "pelorin-uufuzz-XXXXXX").string();
        if (tmpl.size() >= sizeof gBase || !mkdtemp(tmpl.data()))
            std::abort();
        fs::create_directory(fs::path(tmpl) / "data");
        tmpl.copy(gBase, tmpl.size());
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(gBase, ignored);
        });
    }
    return gBase;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    pelorin::TUucode uu;
    size_t pos = 0;
    while (pos < in.size()) {
        size_t lf = in.find('\n', pos);
        size_t end = lf == std::string_view::npos ? in.size() : lf;
        uu.EncodedStrings.emplace_back(in.substr(pos, end - pos));
        pos = end + 1;
    }
    const fs::path dir = fs::path(Base()) / "data";
    uu.DataPath = dir.string();
    static_cast<void>(uu.Decode());

    for (const auto& entry : fs::directory_iterator(Base())) {
        if (entry.path().filename() != "data")
            std::abort();
    }
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().filename().string().rfind(".pelorin-", 0) == 0)
            std::abort();
    }
    for (const pelorin::TUuBlock& block : uu.Blocks) {
        if (block.Result != pelorin::UuResult::Decoded && block.Result != pelorin::UuResult::NoEnd)
            continue;
        std::error_code ec;
        if (fs::file_size(dir / pelorin::SafeFileName(block.Filename), ec) != block.Bytes)
            std::abort();
    }
    for (const auto& entry : fs::directory_iterator(dir)) fs::remove_all(entry.path());
    return 0;
}
