// Outbound commands: `post` puts a message file into a packet's outbound reply packet the way
// composition posts it (ISO-2022-JP, MIME header words, binary framing, a REPLIES line), and
// `sendme` appends body requests to COMMANDS for messages of an area.
//
// The message file may be Shift_JIS or UTF-8 (CR LF or LF); it is left in place. The outbound
// directory is --outbound DIR when given, else the packet's [General] Outbound, else the
// transfer program's [General] Outbound (transfer.INI, where `pelorin-transfer send` looks),
// else the program's own directory ($PELORIN_HOME, else ~/.config/pelorin), which is where the
// program keeps it unless told otherwise. A directory that does not exist yet is made. `sendme` numbers messages as `list --sort 0` lists them, from
// 1 in file order, and answers its confirmation itself (the question goes to stderr).
#include "command.h"
#include "packet_access.h"
#include "terminal.h"

#include "coding/cp932.h"
#include "store/disk_path.h"
#include "store/inifile.h"
#include "store/outbound.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace pelorin::cli {
namespace {

bool TakeFlag(std::vector<std::string>& args, const std::string& name) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == name) {
            args.erase(args.begin() + static_cast<long>(i));
            return true;
        }
    }
    return false;
}

// [General] Outbound of transfer.INI in the program's directory (Shift_JIS), read as the
// transfer program reads it: blanks around it and a " ;" comment after it dropped.
std::string TransferOutbound() {
    TIniF ini(cp932::FromUtf8(OwnDir() + "/transfer.INI"));
    std::string value = ini.ReadString("General", "Outbound", "");
    for (size_t i = 1; i < value.size(); ++i) {
        if (value[i] == ';' && (value[i - 1] == ' ' || value[i - 1] == '\t')) {
            value.resize(i);
            break;
        }
    }
    return cp932::FromUtf8(Trim(value));
}

// Chooses the outbound directory as described at the top. It holds for this run only: the
// packet's stored [General] Outbound is neither changed nor set.
void ChooseOutbound(TSoup& soup, const std::string& option) {
    std::string dir = cp932::FromUtf8(option);
    if (dir.empty())
        dir = soup.State().ReadString("General", "Outbound", "");
    if (Trim(dir).empty())
        dir = TransferOutbound();
    if (Trim(dir).empty())
        dir = OwnDir();
    soup.outboundOverride = WithTrailingSlash(dir);
    // A directory named but not made yet is made here; the command line has no one to ask.
    std::error_code ec;
    std::filesystem::create_directories(DiskPath(soup.outboundOverride), ec);
}

int Fail(const OutboundResult& r) {
    std::cerr << cp932::ToUtf8(OutboundErrorText(r)) << "\n";
    return 1;
}

const CliCommand post(
    "post",
    "PACKET_DIR FILE --mail|--news [--outbound DIR]",
    "post a Shift_JIS or UTF-8 message file to the packet's outbound reply packet; prints the "
    "reply file",
    [](const std::vector<std::string>& in, const Options&) {
        std::vector<std::string> args = in;
        const std::string outbound = TakeOption(args, "--outbound");
        const bool mail = TakeFlag(args, "--mail");
        const bool news = TakeFlag(args, "--news");
        if (mail == news)
            throw UsageError{"give exactly one of --mail and --news"};
        if (args.size() != 2)
            throw UsageError{"name a packet directory and a message file"};
        auto soup = OpenPacket(args[0]);
        ChooseOutbound(*soup, outbound);
        const std::string file = cp932::FromUtf8(args[1]);
        const OutboundResult r = soup->PostFile(file, mail ? kMail : kNews);
        if (!r.Ok())
            return Fail(r);
        Print(r.replyFile + "\n", true);
        return 0;
    });

const CliCommand sendme(
    "sendme",
    "PACKET_DIR AREA N... [--outbound DIR]",
    "append body requests (SENDME lines) to COMMANDS for messages N (1 = first in file order)",
    [](const std::vector<std::string>& in, const Options&) {
        std::vector<std::string> args = in;
        const std::string outbound = TakeOption(args, "--outbound");
        if (args.size() < 3)
            throw UsageError{"name a packet directory, an area and at least one message"};
        OpenedArea opened = OpenArea(args[0], args[1], 0);
        ChooseOutbound(*opened.soup, outbound);
        for (const DisplayEntry& e : opened.area->display) e.msg->checked = false;
        for (size_t i = 2; i < args.size(); ++i) MessageNumber(opened, args[i]).checked = true;
        TerminalYes yes;
        const OutboundResult r = RequestBodies(*opened.soup, *opened.area, yes);
        if (!r.Ok())
            return Fail(r);
        Print(r.path + "\n", true);
        return 0;
    });

}  // namespace
}  // namespace pelorin::cli
