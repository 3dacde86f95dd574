// Selection commands: "find" runs the regular-expression engine over standard input (lines
// of Shift_JIS, or of UTF-8 with --utf8; the pattern likewise). Positions count Shift_JIS
// bytes from 1. A bad pattern prints its message (UTF-8 unless --raw) and byte position and
// exits with 1.
//
// The core functions that "grep" and "match" will call over an area's messages live in
// select/message_search.h; the commands themselves wait for the area store.
#include "command.h"

#include "coding/cp932.h"
#include "select/awkstr.h"
#include "select/re_error.h"

#include <cstdio>
#include <string>

namespace pelorin::cli {
namespace {

void PrintFound(TAWKStr& re, std::string_view text) {
    size_t pos = 0, len = 0;
    re.Find(text, pos, len);
    std::printf("%zu %zu\n", pos, len);
}

int Find(const std::vector<std::string>& args, const Options& opts) {
    std::string pattern;
    bool have_pattern = false, fuzzy = false, lf = false, whole = false;
    for (const std::string& a : args) {
        if (a == "--fuzzy")
            fuzzy = true;
        else if (a == "--lf")
            lf = true;
        else if (a == "--whole")
            whole = true;
        else if (a.size() > 2 && a.compare(0, 2, "--") == 0)
            throw UsageError{"unknown option " + a};
        else if (!have_pattern)
            pattern = a, have_pattern = true;
        else
            throw UsageError{"one pattern only"};
    }
    if (!have_pattern)
        throw UsageError{"a pattern is needed"};
    if (opts.utf8)
        pattern = cp932::FromUtf8(pattern);

    TAWKStr re;
    re.SetLineSeparator(lf ? mcls_LF : mcls_CRLF);
    try {
        re.SetUseFuzzyCharDic(fuzzy);
        re.SetRegExp(pattern);
    } catch (const ERegExpParser& e) {
        // The message is the program's own text: UTF-8 for the terminal unless --raw.
        const std::string message = opts.raw ? e.message() : cp932::ToUtf8(e.message());
        std::fprintf(stderr, "pelorin-cli find: %s (position %zu)\n", message.c_str(),
                     e.position());
        return 1;
    }

    std::string input = ReadStdin();
    if (opts.utf8)
        input = cp932::FromUtf8(input);
    if (whole) {
        PrintFound(re, input);
        return 0;
    }
    for (size_t pos = 0; pos < input.size();) {
        size_t lf_at = input.find('\n', pos);
        size_t stop = lf_at == std::string::npos ? input.size() : lf_at;
        PrintFound(re, std::string_view(input).substr(pos, stop - pos));
        pos = stop + 1;
    }
    return 0;
}

const CliCommand find("find",
                      "PATTERN [--fuzzy] [--lf] [--whole]",
                      "print \"position length\" of the leftmost-longest match of PATTERN in "
                      "each line of stdin (Shift_JIS byte positions from 1; 0 0 when none); "
                      "--whole: stdin is one text; --lf: \"$\" before LF instead of CR",
                      Find);

}  // namespace
}  // namespace pelorin::cli
