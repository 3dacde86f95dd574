// Paths in the core are Shift_JIS text like every other string (a packet directory chosen in a
// dialog, the settings file beside the program, a message file named from an AREAS line). The
// file system spells names in UTF-8, as Qt and the rest of the system do, so every place that
// opens, stats or renames a file turns the path into its on-disk form here and nowhere else.
// ASCII paths are unchanged; a character CP932 cannot hold never reaches this point, since the
// path came through the same codec.
#pragma once

#include <filesystem>
#include <string_view>

namespace pelorin {

// The on-disk form of a Shift_JIS path.
std::filesystem::path DiskPath(std::string_view sjisPath);

}  // namespace pelorin
