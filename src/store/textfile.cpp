#include "store/textfile.h"

#include "store/disk_path.h"

#include <fstream>
#include <iterator>

namespace pelorin {

std::string ReadFileBytes(std::string_view path) {
    std::ifstream in(DiskPath(path), std::ios::binary);
    if (!in)
        return {};
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TSList SplitTextLines(std::string_view text) {
    TSList lines;
    size_t pos = 0;
    std::string_view line;
    while (NextTextLine(text, pos, line)) lines.emplace_back(line);
    return lines;
}

}  // namespace pelorin
