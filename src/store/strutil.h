// Small string helpers shared by the packet store.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

// An ordered list of lines (duplicates allowed), as the line writer and the settings helpers
// pass them around.
using TSList = std::vector<std::string>;

// Removes every LF together with the blanks and TABs that follow it; nothing is put in its
// place (a folded header value becomes one line).
std::string Unfold(std::string_view text);

}  // namespace pelorin
