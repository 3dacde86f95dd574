// SOUP packets travel as zip files. Import unpacks one into a packet directory, merging each
// area into the area of the same name as a fetch does (PacketAppender: appended after the
// messages already there, new areas added to AREAS). Export packs a reply packet: REPLIES,
// COMMANDS and the reply files REPLIES names.
//
// Import reads the archive with libarchive. Only plain files at the top of the archive are
// taken, under their last name component; a name with "..", a directory part or a control
// character, links and devices are skipped with a warning, so nothing is ever written outside
// the packet. The files are unpacked into a private folder inside the packet directory
// (created with mode 0700, files opened exclusively), read from there and removed. Names are
// matched without regard to case ("areas", "0000001.msg"). An area whose format letter is
// neither "u", "b" nor "B" is skipped with a warning. An archive member larger than 2 GiB, or
// more than 8 GiB in all, is refused (a zip bomb).
//
// Export writes the zip file through a temporary file in its directory and a rename, so an old
// file of that name stays whole until the new one is complete. The outbound directory is left
// as it is.
#pragma once

#include <string>
#include <vector>

namespace pelorin::transfer {

struct ImportResult {
    int areas = 0;                      // areas merged
    int messages = 0;                   // messages appended
    int duplicates = 0;                 // messages the packet held already
    std::vector<std::string> warnings;  // members and areas skipped, and why
};

// Throws TransferError (LocalFile) when the archive cannot be read or the packet written.
ImportResult ImportZip(const std::string& zipPath, const std::string& packetDir);

// Returns the number of files packed. Throws TransferError (LocalFile) when REPLIES cannot be
// read or the zip file cannot be written.
int ExportZip(const std::string& outboundDir, const std::string& zipPath);

}  // namespace pelorin::transfer
