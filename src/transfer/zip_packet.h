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
// neither "u", "b" nor "B" is skipped with a warning. Each area's messages are appended a
// batch at a time from the unpacked file (mapped, never read whole), so memory stays bounded
// whatever the archive holds; each unpacked message file goes as soon as it is appended.
//
// Limits against zip bombs (ImportLimits, from [import] of transfer.INI): the bytes unpacked in
// all, the ratio of unpacked bytes to the archive's size (checked once 16 MiB are unpacked),
// and the number of members. The free room of the disk is checked while unpacking (twice the
// unpacked bytes: they are unpacked, then appended), and a full disk is reported as such. The
// private folder goes on every way out; one left by an import that was killed goes at the
// next import or the next time the packet opens (store/scratch_folder.h).
//
// Export writes the zip file through a temporary file in its directory and a rename, so an old
// file of that name stays whole until the new one is complete. The outbound directory is left
// as it is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelorin::transfer {

struct ImportResult {
    int areas = 0;                      // areas merged
    int messages = 0;                   // messages appended
    int duplicates = 0;                 // messages the packet held already
    std::vector<std::string> warnings;  // members and areas skipped, and why
};

struct ImportLimits {
    int64_t maxTotalMiB = 8192;  // MaxSizeMB: bytes unpacked in all, in MiB
    int64_t maxRatio = 100;      // MaxRatio: unpacked bytes per byte of the archive
    int64_t maxMembers = 20000;  // MaxMembers: members of the archive
};

// The limits in [import] of the settings file `configPath` (defaults for what it lacks, or
// when there is no such file).
ImportLimits ReadImportLimits(const std::string& configPath);

// Throws TransferError (LocalFile) when the archive cannot be read, breaks a limit, or the
// packet cannot be written. Messages appended before a failure stay (the packet is whole).
ImportResult ImportZip(const std::string& zipPath,
                       const std::string& packetDir,
                       const ImportLimits& limits = {});

// Returns the number of files packed. Throws TransferError (LocalFile) when REPLIES cannot be
// read or the zip file cannot be written.
int ExportZip(const std::string& outboundDir, const std::string& zipPath);

}  // namespace pelorin::transfer
