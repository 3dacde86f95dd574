// Fuzz target: TIniF reading random bytes as an INI file. After reading every section and key,
// one key is written (with line breaks in its name and value) and the file is read again by a
// fresh object: every other key must read back unchanged, the written one must read back as
// stored, and no section may appear or vanish besides the one written to.
#include "store/inifile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

namespace {

const std::string& Path() {
    static const std::string path = [] {
        std::string tmpl = (std::filesystem::temp_directory_path() / "inifuzz-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            std::abort();
        static std::string dir = tmpl;
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        });
        return tmpl + "/fuzz.ini";
    }();
    return path;
}

using Snapshot = std::map<std::string, std::map<std::string, std::string>>;

// Every section (by folded name) with its keys (by folded name) and values.
Snapshot Read(pelorin::TIniF& ini) {
    Snapshot snap;
    for (const std::string& section : ini.ReadSections()) {
        auto& keys = snap[pelorin::SjisUpper(section)];
        for (const auto& [key, value] : ini.ReadSectionValues(section)) {
            keys[pelorin::SjisUpper(key)] = value;
            if (ini.ReadString(section, key, "\x01missing") != value)
                __builtin_trap();
        }
    }
    return snap;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096)
        return 0;
    {
        std::ofstream out(Path(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    Snapshot before;
    {
        pelorin::TIniF ini(Path());
        before = Read(ini);
        const std::string section = "Fuzz\r\nSection";
        const std::string key = "New\nKey";
        if (!ini.WriteString(section, key, "value\r[x]\ny=z"))
            __builtin_trap();
        auto& keys = before[pelorin::SjisUpper(pelorin::TIniF::CleanName(section))];
        keys[pelorin::SjisUpper(pelorin::TIniF::CleanName(key))] = "value [x] y=z";
    }
    pelorin::TIniF fresh(Path());
    if (Read(fresh) != before)
        __builtin_trap();
    return 0;
}
