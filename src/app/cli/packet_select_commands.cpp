// `grep` and `match` over the messages of an area: the rows (as `list` prints them) of the
// messages whose subject or body matches a pattern, or for which a condition list holds.
#include "command.h"
#include "packet_access.h"

#include "coding/cp932.h"
#include "select/message_search.h"
#include "select/re_error.h"
#include "store/compose_file.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace pelorin::cli {
namespace {

constexpr std::string_view kRow = "%K%5L %m/%d %H:%M %20(%c%) %V%s";

std::vector<TMsg*> DisplayOrder(const OpenedArea& opened) {
    std::vector<TMsg*> msgs;
    for (const auto& e : opened.area->display) msgs.push_back(e.msg);
    return msgs;
}

void PrintRows(const std::vector<TMsg*>& msgs, const std::vector<size_t>& hits, bool utf8) {
    for (size_t i : hits) Print(msgs[i]->Expand(kRow) + "\n", utf8);
}

int ReportPatternError(const char* command, const ERegExpParser& e, const Options& opts) {
    const std::string message = opts.raw ? e.message() : cp932::ToUtf8(e.message());
    std::fprintf(stderr, "pelorin-cli %s: %s (position %zu)\n", command, message.c_str(),
                 e.position());
    return 1;
}

const CliCommand grep("grep",
                      "PACKET_DIR AREA PATTERN [--fuzzy]",
                      "rows of the messages whose subject or body matches PATTERN (typed in UTF-8)",
                      [](const std::vector<std::string>& in, const Options& opts) {
                          std::vector<std::string> args;
                          bool fuzzy = false;
                          for (const std::string& a : in) {
                              if (a == "--fuzzy")
                                  fuzzy = true;
                              else
                                  args.push_back(a);
                          }
                          if (args.size() != 3)
                              throw UsageError{"name a packet directory, an area and a pattern"};
                          const std::string pattern = opts.raw ? args[2] : cp932::FromUtf8(args[2]);
                          OpenedArea opened = OpenArea(args[0], args[1], 1);
                          const std::vector<TMsg*> msgs = DisplayOrder(opened);
                          try {
                              PrintRows(msgs, GrepMessages(msgs, pattern, fuzzy), !opts.raw);
                          } catch (const ERegExpParser& e) {
                              return ReportPatternError("grep", e, opts);
                          }
                          return 0;
                      });

const CliCommand match(
    "match",
    "PACKET_DIR AREA CONDITION_FILE",
    "rows of the messages for which the condition list holds (one condition line per line, as "
    "SUBCMD.INI stores them; UTF-8 or Shift_JIS)",
    [](const std::vector<std::string>& args, const Options& opts) {
        if (args.size() != 3)
            throw UsageError{"name a packet directory, an area and a condition file"};
        std::ifstream in(args[2], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "pelorin-cli match: cannot read %s\n", args[2].c_str());
            return 1;
        }
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        const std::vector<std::string> conditions = ConditionLines(ToSjisText(bytes));
        OpenedArea opened = OpenArea(args[0], args[1], 1);
        const std::vector<TMsg*> msgs = DisplayOrder(opened);
        TMatchFields fields;
        PrintRows(msgs, MatchMessages(msgs, conditions, fields), !opts.raw);
        return 0;
    });

}  // namespace
}  // namespace pelorin::cli
