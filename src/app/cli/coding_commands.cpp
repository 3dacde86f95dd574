// Converter filters: standard input to standard output, in blocks.
#include "command.h"

#include "coding/cp932.h"
#include "coding/header_stream.h"
#include "coding/jis.h"
#include "store/strutil.h"

#include <cstdio>
#include <cstring>
#include <string>
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
    ReadStdinBlocks([&](std::string_view block) {
        pending.append(block);
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
    });
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
        // The value is decoded as it comes, so memory does not grow with it. Shift_JIS text is
        // turned into UTF-8 up to its last byte below 0x80, which always ends a character (alone
        // or as the second byte of a pair); the rest waits for the next piece.
        HeaderValueStream stream;
        std::string sjis;
        const auto print = [&](bool all) {
            size_t n = sjis.size();
            if (opts.utf8 && !all) {
                while (n > 0 && static_cast<unsigned char>(sjis[n - 1]) >= 0x80) --n;
            }
            Print(std::string_view(sjis).substr(0, n), opts.utf8);
            sjis.erase(0, n);
        };
        ReadStdinBlocks([&](std::string_view block) {
            stream.Feed(block, sjis);
            if (sjis.size() >= HeaderValueStream::kBlock)
                print(false);
        });
        stream.Finish(sjis);
        print(true);
        std::fputc('\n', stdout);
        return 0;
    });

}  // namespace
}  // namespace pelorin::cli
