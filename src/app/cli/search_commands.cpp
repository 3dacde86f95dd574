// `search` and `index`: the search index over packets (select/search_run.h). Packets come from
// --packet options, or, without any, from the list the window opens at start ([Files]
// AutoLoad0, AutoLoad1, ... of pelorin.INI). Each packet's index is brought up to date first.
#include "command.h"
#include "packet_access.h"
#include "terminal.h"

#include "coding/cp932.h"
#include "select/search_run.h"
#include "store/inifile.h"
#include "store/packet_files.h"
#include "store/strutil.h"

#include <cstdio>
#include <unistd.h>
#include <unordered_map>

namespace pelorin::cli {
namespace {

std::vector<std::unique_ptr<TSoup>> OpenPackets(std::vector<std::string>& args) {
    std::vector<std::string> dirs;
    for (std::string d; !(d = TakeOption(args, "--packet")).empty();) dirs.push_back(d);
    if (dirs.empty()) {
        TIniF settings(OwnDir() + "/pelorin.INI");
        for (int n = 0;; ++n) {
            const std::string key = "AutoLoad" + std::to_string(n);
            if (!settings.KeyExists("Files", key))
                break;
            dirs.push_back(cp932::ToUtf8(settings.ReadString("Files", key, "")));
        }
        if (dirs.empty())
            throw UsageError{"name a packet with --packet DIR (no packet opens at start)"};
    }
    std::vector<std::unique_ptr<TSoup>> soups;
    for (const std::string& d : dirs) soups.push_back(OpenPacket(d));
    return soups;
}

// Brings the index up to date for every packet; a progress line on a terminal.
void UpdateIndex(SearchIndex& index, const std::vector<std::unique_ptr<TSoup>>& soups) {
    const bool tty = ::isatty(2) != 0;
    for (const auto& soup : soups) {
        const std::string name = cp932::ToUtf8(soup->directory);
        int shown = -1;
        const int64_t added = index.Update(*soup, [&](int64_t done, int64_t total) {
            const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
            if (tty && percent != shown) {
                shown = percent;
                std::fprintf(stderr, "\rindexing %s: %d%%", name.c_str(), percent);
            }
            return true;
        });
        if (shown >= 0)
            std::fprintf(stderr, "\n");
        if (added < 0)
            std::fprintf(stderr,
                         "pelorin-cli: the search index is being written by another program; "
                         "%s is searched as the index has it\n",
                         name.c_str());
    }
}

void LeaveAreas(const std::vector<std::unique_ptr<TSoup>>& soups) {
    for (const auto& soup : soups)
        for (const auto& a : soup->areas) a->LeaveMessagesForExit();
}

const CliCommand index("index",
                       "[--packet DIR]...",
                       "bring the search index up to date with the packets",
                       [](const std::vector<std::string>& in, const Options&) {
                           std::vector<std::string> args = in;
                           auto soups = OpenPackets(args);
                           if (!args.empty())
                               throw UsageError{"index takes only --packet options"};
                           SearchIndex idx;
                           UpdateIndex(idx, soups);
                           std::printf("%lld messages in the index\n",
                                       static_cast<long long>(idx.Count()));
                           return 0;
                       });

const CliCommand search(
    "search",
    "QUERY [--packet DIR]... [--format TEMPLATE]",
    "messages the query finds, newest first: packet, area, row number (as list --sort 0 "
    "numbers it) and the row template, TAB-separated",
    [](const std::vector<std::string>& in, const Options& opts) {
        std::vector<std::string> args = in;
        const std::string format = TakeOption(args, "--format", "%K%5L %m/%d %H:%M %20(%c%) %V%s");
        auto soups = OpenPackets(args);
        if (args.size() != 1)
            throw UsageError{"give one query (in quotes when it has blanks)"};
        SearchQuery query;
        try {
            query = ParseSearchQuery(args[0]);
        } catch (const SearchQueryError& e) {
            std::fprintf(stderr, "pelorin-cli search: %s (at character %zu)\n", e.message.c_str(),
                         e.position + 1);
            return 2;
        }
        SearchIndex idx;
        UpdateIndex(idx, soups);
        std::vector<TSoup*> packets;
        for (const auto& s : soups) packets.push_back(s.get());
        std::vector<FoundMessage> found;
        try {
            found = RunSearch(idx, query, packets);
        } catch (const SearchQueryError& e) {
            std::fprintf(stderr, "pelorin-cli search: %s\n", e.message.c_str());
            LeaveAreas(soups);
            return 2;
        }
        // Row numbers as `list --sort 0` gives them: file order within the area.
        std::unordered_map<const TGrp*, std::unordered_map<const TMsg*, size_t>> rows;
        const std::string tmpl = cp932::FromUtf8(format);
        std::string out;
        for (const FoundMessage& f : found) {
            auto [at, fresh] = rows.try_emplace(f.area);
            if (fresh)
                for (size_t i = 0; i < f.area->messages.size(); ++i)
                    at->second.emplace(f.area->messages[i].get(), i + 1);
            out += f.packet->directory + "\t" + f.area->areaName + "\t" +
                   std::to_string(at->second[f.msg]) + "\t" + f.msg->Expand(tmpl) + "\n";
            if (out.size() >= 64 * 1024) {
                Print(out, !opts.raw);
                out.clear();
            }
        }
        Print(out, !opts.raw);
        LeaveAreas(soups);
        return found.empty() ? 1 : 0;
    });

}  // namespace
}  // namespace pelorin::cli
