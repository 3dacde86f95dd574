// Packet files are named case-insensitively: a packer may write "AREAS" or "areas",
// "0000001.MSG" or "0000001.msg". Lookups go through FindPacketFile, which returns the name the
// file really has on disk; files this program creates take the name it was asked for.
#pragma once

#include <string>
#include <string_view>

namespace pelorin {

// `path` is Shift_JIS text. When a file of exactly that name exists, or none matches without
// regard to ASCII case in its directory, `path` itself; otherwise the path with the file name
// spelt as on disk (the first match in directory order when several differ only in case).
std::string FindPacketFile(std::string_view path);

// True when a regular file answers to `path` (without regard to case, as above).
bool PacketFileExists(std::string_view path);

// Directory part of a path including its final "/" ("" when there is none), and the rest.
std::string_view DirPart(std::string_view path);
std::string_view NamePart(std::string_view path);

}  // namespace pelorin
