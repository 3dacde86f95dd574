// `copy` files messages of an area into a folder, and `purge` removes the delete-marked
// messages of an area, through the same core calls as the main window's commands
// (CopyToFolderAndWrite, PurgeDeleteMarkedNow): both write at once, and a failed write leaves
// the packet's files as they were and is reported with the file and the system's reason.
//
// `copy` numbers messages as `list --sort 0` lists them, from 1 in file order, copies them in
// the order given, and skips those whose Message-ID the folder already holds. The target
// must be a folder or note packet (PacketType 1 or 2), as in the window's copy dialog; it may
// be the source packet itself.
#include "command.h"
#include "packet_access.h"

#include "coding/cp932.h"
#include "store/disk_path.h"
#include "store/folders.h"
#include "store/purge.h"

#include <filesystem>
#include <iostream>

namespace pelorin::cli {
namespace {

int WriteFailed(const TGrp& area) {
    const WriteFailure& f = area.lastFailure;
    std::cerr << "pelorin-cli: " << cp932::ToUtf8(area.areaName) << ": " << to_string(f.result)
              << ": " << cp932::ToUtf8(f.path);
    if (!f.reason.empty())
        std::cerr << ": " << cp932::ToUtf8(f.reason);
    std::cerr << "\n";
    return 1;
}

bool SameDirectory(const TSoup& a, const std::string& packetArg) {
    std::error_code ec1, ec2;
    std::filesystem::path other = DiskPath(cp932::FromUtf8(packetArg));
    if (std::filesystem::path(other).filename() == "AREAS")
        other = other.parent_path();
    const auto x = std::filesystem::weakly_canonical(DiskPath(a.directory), ec1);
    const auto y = std::filesystem::weakly_canonical(other, ec2);
    return !ec1 && !ec2 && x == y;
}

const CliCommand copy(
    "copy",
    "PACKET_DIR AREA N... --to FOLDER_PACKET_DIR FOLDER",
    "copy messages N (1 = first in file order) into a folder, skipping Message-IDs it holds",
    [](const std::vector<std::string>& in, const Options&) {
        std::vector<std::string> args = in;
        std::vector<std::string> target;
        for (size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--to") {
                target.assign(args.begin() + static_cast<long>(i) + 1, args.end());
                args.resize(i);
                break;
            }
        }
        if (args.size() < 3 || target.size() != 2)
            throw UsageError{
                "name a packet directory, an area, at least one message, then "
                "--to, a folder packet directory and a folder"};
        OpenedArea opened = OpenArea(args[0], args[1], 0);
        std::vector<TMsg*> msgs;
        for (size_t i = 2; i < args.size(); ++i) msgs.push_back(&MessageNumber(opened, args[i]));

        std::unique_ptr<TSoup> other;
        TSoup* packet = opened.soup.get();
        if (!SameDirectory(*packet, target[0])) {
            other = OpenPacket(target[0]);
            packet = other.get();
        }
        if (packet->packetType == 0)
            throw UsageError{target[0] + " is no folder or note packet"};
        TGrp* folder = packet->FindArea(cp932::FromUtf8(target[1]));
        if (!folder)
            throw UsageError{"no folder \"" + target[1] + "\" in " + target[0]};
        if (folder == opened.area)
            throw UsageError{"the folder is the area the messages come from"};
        const FolderCopyResult r = CopyToFolderAndWrite(*folder, msgs);
        if (r.write != ReplaceResult::Ok)
            return WriteFailed(*folder);
        std::cout << "copied " << r.copied << ", skipped " << r.skipped << "\n";
        return 0;
    });

const CliCommand purge("purge",
                       "PACKET_DIR AREA",
                       "remove the messages marked for deletion (-) and rewrite the area",
                       [](const std::vector<std::string>& args, const Options&) {
                           if (args.size() != 2)
                               throw UsageError{"name a packet directory and an area"};
                           OpenedArea opened = OpenArea(args[0], args[1], 0);
                           int removed = 0;
                           if (PurgeDeleteMarkedNow(*opened.area, removed) != ReplaceResult::Ok)
                               return WriteFailed(*opened.area);
                           std::cout << "removed " << removed << "\n";
                           return 0;
                       });

}  // namespace
}  // namespace pelorin::cli
