// Converter filters: standard input to standard output, line by line.
#include "command.h"

#include "coding/cp932.h"
#include "coding/header_words.h"
#include "coding/jis.h"
#include "store/strutil.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace pelorin::cli {
namespace {

// Applies `convert` to each LF-terminated line (the LF itself is kept out of the conversion,
// so a line always starts in ASCII state, as in a message file). Standard input is read in
// blocks of 1 MiB and the output leaves in blocks of about that size, so memory does not grow
// with the input (only with its longest line).
template <typename Convert>
int FilterLines(const std::vector<std::string>& args, const Options& opts, Convert convert) {
    if (!args.empty())
        throw UsageError{"this filter takes no arguments"};
    constexpr size_t kBlock = 1 << 20;
    std::string pending;  // bytes read but not yet converted: an unfinished line
    std::string out;
    out.reserve(kBlock + kBlock / 4);
    std::vector<char> block(kBlock);
    auto flush = [&out] {
        std::fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
    };
    auto emit = [&](std::string_view line) {
        const std::string converted = convert(line);
        if (opts.utf8)
            out += cp932::ToUtf8(converted);
        else
            out += converted;
    };
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, block.data(), block.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        pending.append(block.data(), static_cast<size_t>(n));
        size_t pos = 0;
        for (;;) {
            const void* lf = std::memchr(pending.data() + pos, '\n', pending.size() - pos);
            if (!lf)
                break;
            const size_t end = static_cast<size_t>(static_cast<const char*>(lf) - pending.data());
            emit(std::string_view(pending).substr(pos, end - pos));
            out += '\n';
            pos = end + 1;
            if (out.size() >= kBlock)
                flush();
        }
        pending.erase(0, pos);
    }
    if (!pending.empty())
        emit(pending);
    flush();
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
        std::string text = ReadStdin();
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        Print(JisToSjis(Unfold(DecodeHeaderWords(text))), opts.utf8);
        std::fputc('\n', stdout);
        return 0;
    });

}  // namespace
}  // namespace pelorin::cli
