// Converter filters: standard input to standard output, line by line.
#include "command.h"

#include "coding/header_words.h"
#include "coding/jis.h"
#include "store/strutil.h"

#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

namespace pelorin::cli {
namespace {

std::string ReadAll() {
    return std::string((std::istreambuf_iterator<char>(std::cin)),
                       std::istreambuf_iterator<char>());
}

// Applies `convert` to each LF-terminated line (the LF itself is kept out of the conversion,
// so a line always starts in ASCII state, as in a message file).
template <typename Convert>
int FilterLines(const std::vector<std::string>& args, const Options& opts, Convert convert) {
    if (!args.empty())
        throw UsageError{"this filter takes no arguments"};
    std::string input = ReadAll();
    size_t pos = 0;
    while (pos < input.size()) {
        size_t lf = input.find('\n', pos);
        std::string_view line(input.data() + pos,
                              (lf == std::string::npos ? input.size() : lf) - pos);
        Print(convert(line), opts.utf8);
        if (lf == std::string::npos)
            break;
        std::fputc('\n', stdout);
        pos = lf + 1;
    }
    return 0;
}

const CliCommand jis2sjis("jis2sjis",
                          "",
                          "ISO-2022-JP to Shift_JIS, line by line (stdin to stdout)",
                          [](const auto& args, const Options& opts) {
                              return FilterLines(args, opts,
                                                 [](std::string_view l) { return JisToSjis(l); });
                          });

const CliCommand sjis2jis("sjis2jis",
                          "",
                          "Shift_JIS to ISO-2022-JP, line by line (stdin to stdout)",
                          [](const auto& args, const Options& opts) {
                              if (opts.utf8)
                                  throw UsageError{"--utf8 does not apply to JIS output"};
                              return FilterLines(args, opts,
                                                 [](std::string_view l) { return SjisToJis(l); });
                          });

const CliCommand decode_header(
    "decode-header",
    "",
    "read a header value (folded lines allowed) from stdin and print it decoded",
    [](const std::vector<std::string>& args, const Options& opts) {
        if (!args.empty())
            throw UsageError{"this filter takes no arguments"};
        std::string value = ReadAll();
        while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
        std::string text;
        text.reserve(value.size());
        for (char c : value) {
            if (c != '\r')
                text.push_back(c);
        }
        Print(JisToSjis(Unfold(DecodeHeaderWords(text))), opts.utf8);
        std::fputc('\n', stdout);
        return 0;
    });

}  // namespace
}  // namespace pelorin::cli
