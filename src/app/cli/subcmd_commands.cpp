// `subcmd list` and `subcmd run NAME PACKET_DIR AREA`: the sub-commands stored in SUBCMD.INI of
// the program's own directory ($PELORIN_HOME, else ~/.config/pelorin), and one of them run over
// an area by the same core run the window uses, without a window and without the pause after
// each match.
//
// run prints the row (as `list` prints rows) of every message it acted on, then one summary
// line, and closes the packet as the program does, so the marks it set are written. Folder
// copies go to the folders of the folder packets named with --folders DIR (repeatable), whose
// entries read "area(packet name)" as in the dialog. Body requests are confirmed on stderr and
// go to the packet's outbound directory (or --outbound DIR); decoded files to `[Files]
// DataPath` of pelorin.INI (default the program's directory). A selected-message command has
// no message to act on here and is refused.
#include "command.h"
#include "packet_access.h"
#include "terminal.h"

#include "coding/cp932.h"
#include "select/subcmd_defs.h"
#include "select/subcmd_run.h"
#include "store/grp.h"
#include "store/soup.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

namespace pelorin::cli {
namespace {

constexpr std::string_view kRow = "%K%5L %m/%d %H:%M %20(%c%) %V%s";

std::string SubCmdPath() {
    return OwnDir() + "/SUBCMD.INI";
}

std::string Actions(const TSubCommand& c) {
    std::string s;
    auto add = [&](std::string_view a) {
        if (!s.empty())
            s += ",";
        s += a;
    };
    if (c.copyToFolder)
        add("folder:" + c.folder);
    if (c.markSet)
        add(std::string("mark:") + SubCmdMarkChar(c.markItem < 0 ? 0 : c.markItem));
    if (c.checkMark)
        add("select");
    if (c.sendMe)
        add("sendme");
    if (c.saveToFile)
        add(c.toExpiredFile ? std::string("save:archive") : "save:" + c.saveTo);
    if (c.decodeToFile)
        add("decode");
    return s.empty() ? "-" : s;
}

const CliCommand subcmd(
    "subcmd",
    "list | run NAME PACKET_DIR AREA [--folders DIR]... [--outbound DIR]",
    "the sub-commands of SUBCMD.INI (name, target, actions), or one run over an area: the rows "
    "it acted on and a summary line",
    [](const std::vector<std::string>& in, const Options& opts) {
        std::vector<std::string> args = in;
        if (args.empty())
            throw UsageError{"say list or run"};
        const std::string verb = args[0];
        args.erase(args.begin());
        if (verb == "list") {
            if (!args.empty())
                throw UsageError{"list takes no arguments"};
            TSubCmdFile file(SubCmdPath());
            for (const std::string& name : file.Names()) {
                TSubCommand c;
                if (!file.Load(name, c))
                    continue;
                const std::string target = c.conditionMode
                                               ? "conditions:" + std::to_string(c.conditions.size())
                                               : std::string("selected");
                Print(name + "\t" + target + "\t" + Actions(c) + "\n", !opts.raw);
            }
            return 0;
        }
        if (verb != "run")
            throw UsageError{"say list or run"};
        std::vector<std::string> folderDirs;
        for (std::string d; !(d = TakeOption(args, "--folders")).empty();) folderDirs.push_back(d);
        const std::string outbound = TakeOption(args, "--outbound");
        if (args.size() != 3)
            throw UsageError{"name a sub-command, a packet directory and an area"};
        const std::string name = opts.raw ? args[0] : cp932::FromUtf8(args[0]);

        TSubCmdFile file(SubCmdPath());
        TSubCommand cmd;
        if (!file.Load(name, cmd)) {
            std::fprintf(stderr, "pelorin-cli subcmd: %s\n",
                         cp932::ToUtf8(name + Sjis("というコマンドは登録されていません")).c_str());
            return 1;
        }
        if (!cmd.conditionMode) {
            std::fprintf(stderr,
                         "pelorin-cli subcmd: %s acts on the selected message; there is none "
                         "here\n",
                         args[0].c_str());
            return 1;
        }

        // Folder entries "area(packet)" of the folder packets named.
        TerminalYes dialogs;
        std::vector<std::unique_ptr<TSoup>> folderPackets;
        std::vector<std::string> entries;
        std::vector<TGrp*> entryAreas;
        for (const std::string& d : folderDirs) {
            auto p = OpenPacket(d);
            if (p->packetType != 1)
                throw UsageError{d + " is no folder packet"};
            for (const auto& a : p->areas) {
                entries.push_back(a->areaName + "(" + p->packetName + ")");
                entryAreas.push_back(a.get());
            }
            folderPackets.push_back(std::move(p));
        }
        const int entry = cmd.copyToFolder ? FindFolderEntry(entries, cmd.folder) : -1;
        if (!SubCmdRunnable(cmd, entry >= 0)) {
            std::fprintf(stderr,
                         "pelorin-cli subcmd: %s has no action that can run (a folder copy needs "
                         "its folder packet given with --folders)\n",
                         args[0].c_str());
            return 1;
        }

        OpenedArea opened = OpenArea(args[1], args[2], 0);
        if (!outbound.empty())
            opened.soup->outboundOverride = cp932::FromUtf8(outbound) + "/";
        TIniF settings(OwnDir() + "/pelorin.INI");
        std::string dataPath = settings.ReadString("Files", "DataPath", "");
        if (dataPath.empty())
            dataPath = OwnDir();
        if (dataPath.back() != '/')
            dataPath += '/';

        TSubCmdEnv env;
        env.area = opened.area;
        env.folder = entry >= 0 ? entryAreas[static_cast<size_t>(entry)] : nullptr;
        env.dataPath = dataPath;
        env.dialogs = &dialogs;
        const TSubCmdResult r = RunSubCommand(cmd, env);
        for (TMsg* m : r.acted) Print(m->Expand(kRow) + "\n", !opts.raw);
        std::string summary =
            "matched " + std::to_string(r.matchedRows.size()) + " of " + std::to_string(r.rows);
        if (cmd.copyToFolder)
            summary +=
                "; copied " + std::to_string(r.copied) + ", skipped " + std::to_string(r.skipped);
        if (cmd.saveToFile)
            summary += "; saved " + std::to_string(r.saved);
        if (cmd.decodeToFile)
            summary += "; decoded " + std::to_string(r.decode.succeeded) + ", existing " +
                       std::to_string(r.decode.existing) + ", failed " +
                       std::to_string(r.decode.failed);
        if (cmd.sendMe)
            summary += r.sendMe.Ok() ? "; body requests written" : "; no body requests";
        std::printf("%s\n", summary.c_str());

        int status = 0;
        if (!r.error.empty()) {
            std::fprintf(stderr, "pelorin-cli subcmd: %s\n", cp932::ToUtf8(r.error).c_str());
            status = 1;
        }
        if (r.sendMe.Failed()) {
            std::fprintf(stderr, "pelorin-cli subcmd: %s\n",
                         cp932::ToUtf8(OutboundErrorText(r.sendMe)).c_str());
            status = 1;
        }
        // Close the packet as the program does: the marks set are written now.
        opened.area->sortType = opened.storedSort;
        opened.area = nullptr;
        TSoup& soup = *opened.soup;
        if (const ReplaceResult w = soup.Destroy(); w != ReplaceResult::Ok) {
            std::fprintf(
                stderr, "pelorin-cli subcmd: %s could not be written (%s)\n",
                cp932::ToUtf8(soup.failure.path).c_str(),
                cp932::ToUtf8(soup.failure.reason.empty() ? to_string(w) : soup.failure.reason)
                    .c_str());
            status = 1;
        }
        return status;
    });

}  // namespace
}  // namespace pelorin::cli
