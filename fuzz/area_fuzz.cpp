// The area readers on arbitrary bytes: the same input is read as an rnews message file, a
// binary message file (both with a digest marker), an index and a mark file. Nothing may crash,
// and every record must lie inside the file it came from.
#include "store/grp.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

const std::string& Dir() {
    static const std::string dir = [] {
        std::string tmpl = (std::filesystem::temp_directory_path() / "area-fuzz-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            std::abort();
        return tmpl;
    }();
    return dir;
}

void Write(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void Check(pelorin::TGrp& g, int64_t file_size) {
    g.Prepare();
    for (const auto& m : g.messages) {
        if (m->offset < 0 || m->length < 0 ||
            m->offset + static_cast<int64_t>(m->length) > file_size)
            std::abort();
    }
    g.messages.clear();
    g.display.clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string base = Dir() + "/0000001";
    std::filesystem::remove(base + ".PBX");
    std::filesystem::remove(base + ".IDX");
    Write(base + ".MSG", data, size);
    for (const char* enc : {"un", "bn"}) {
        pelorin::TGrp g("fuzz", base, enc, "fuzz");
        g.digestMarker = "Digest";
        g.SetSortType(1);
        Check(g, static_cast<int64_t>(size));
    }
    // The same bytes as an index (records from an index are not checked against a file) and as
    // the mark file of an rnews area.
    Write(base + ".IDX", data, size);
    pelorin::TGrp idx("fuzz", base, "uc", "fuzz");
    idx.SetSortType(5);
    idx.Prepare();
    // Subject and From of an index are decoded when first read.
    volatile size_t shown = 0;
    for (const auto& m : idx.messages) shown = shown + m->subject.size() + m->From().size();
    idx.messages.clear();
    idx.display.clear();
    // Shown in threads, the index is linked as it loads: the order must be the one built
    // afresh from the same records.
    pelorin::TGrp threaded("fuzz", base, "uc", "fuzz");
    threaded.SetSortType(1);
    threaded.Prepare();
    std::vector<std::pair<const pelorin::TMsg*, int32_t>> linked;
    for (const auto& e : threaded.display) linked.push_back({e.msg, e.msg->depth});
    pelorin::DisplayList again;
    pelorin::BuildDisplayList(threaded.messages, 1, threaded.threadRange, again, {});
    if (again.size() != linked.size())
        std::abort();
    for (size_t i = 0; i < again.size(); ++i) {
        if (again[i].msg != linked[i].first || again[i].msg->depth != linked[i].second ||
            again[i].msg->displayPos != static_cast<int32_t>(i))
            std::abort();
    }
    threaded.messages.clear();
    threaded.display.clear();
    Write(base + ".PBX", data, size);
    pelorin::TGrp marks("fuzz", base, "un", "fuzz");
    marks.SetSortType(4);
    Check(marks, static_cast<int64_t>(size));
    return 0;
}
