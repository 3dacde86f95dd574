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
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(pos));
            break;
        }
        lines.emplace_back(text.substr(pos, end - pos));
        pos = end + 1;
        if (text[end] == '\r' && pos < text.size() && text[pos] == '\n')
            ++pos;
    }
    return lines;
}

}  // namespace pelorin
