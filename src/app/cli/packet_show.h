// `show PACKET_DIR AREA N`: the packet form of `show` (show_command.cpp hands it over when its
// first argument names a packet).
#pragma once

#include "command.h"

#include <string>
#include <vector>

namespace pelorin::cli {

// True when `path` is a packet directory or its AREAS file.
bool NamesPacket(const std::string& path);

// Prints message N of an area (rows numbered as `list --sort S` shows them, S from --sort,
// default 0) as the text view shows it; with --headers as it shows with ヘッダーの表示 on.
int ShowPacketMessage(const std::vector<std::string>& args, const Options& opts);

}  // namespace pelorin::cli
