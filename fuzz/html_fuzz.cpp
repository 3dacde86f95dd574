// HtmlToTextLines on arbitrary bytes (broken markup, broken UTF-8, deep nesting).
//
// Checked: every line is well-formed UTF-8 with no line end and no trailing blank in it, and
// the document ends without empty lines.
#include "coding/charset.h"
#include "coding/html_text.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = pelorin::HtmlToTextLines(in);
    for (const std::string& line : lines) {
        if (!pelorin::IsUtf8(line) || line.find('\n') != std::string::npos ||
            (!line.empty() && line.back() == ' '))
            std::abort();
    }
    if (!lines.empty() && lines.back().empty())
        std::abort();
    return 0;
}
