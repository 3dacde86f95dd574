// Packet commands: list the areas of a packet, and the messages of an area in any sort order
// through a row template.
#include "command.h"
#include "packet_access.h"

#include "coding/cp932.h"
#include "store/strutil.h"

#include <cstdio>

namespace pelorin::cli {
namespace {

const CliCommand areas("areas",
                       "PACKET_DIR",
                       "list the areas of a packet: (unread/total) name, encoding, caption",
                       [](const std::vector<std::string>& args, const Options& opts) {
                           if (args.size() != 1)
                               throw UsageError{"name one packet directory"};
                           auto soup = OpenPacket(args[0]);
                           TIniF::Update batch(soup->State());  // read once for every area
                           for (const auto& a : soup->areas) {
                               auto [total, unread] = a->PeekCounts();
                               std::string row =
                                   "(" + std::to_string(unread) + "/" +
                                   (total < 0 ? std::string("??") : std::to_string(total)) + ") " +
                                   a->areaName + " [" + a->encoding + "] " + a->description + "\n";
                               Print(row, !opts.raw);
                           }
                           return 0;
                       });

const CliCommand list("list",
                      "PACKET_DIR AREA [--sort 0-5] [--format TEMPLATE]",
                      "list the messages of an area (by name or number) through a row template",
                      [](const std::vector<std::string>& in, const Options& opts) {
                          std::vector<std::string> args = in;
                          const std::string sort = TakeOption(args, "--sort", "1");
                          const std::string format =
                              TakeOption(args, "--format", "%K%5L %m/%d %H:%M %20(%c%) %V%s");
                          if (args.size() != 2)
                              throw UsageError{"name a packet directory and an area"};
                          int32_t sort_type = 1;
                          if (!ParseInt32(sort, sort_type))
                              throw UsageError{"--sort takes a number from 0 to 5"};
                          OpenedArea opened = OpenArea(args[0], args[1], sort_type);
                          const std::string tmpl = cp932::FromUtf8(format);
                          // Rows are printed in batches of whole lines.
                          std::string rows;
                          for (const auto& e : opened.area->display) {
                              rows += e.msg->Expand(tmpl);
                              rows += '\n';
                              if (rows.size() >= 64 * 1024) {
                                  Print(rows, !opts.raw);
                                  rows.clear();
                              }
                          }
                          Print(rows, !opts.raw);
                          return 0;
                      });

}  // namespace
}  // namespace pelorin::cli
