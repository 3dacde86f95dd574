// The main window's command states: which menu items and toolbar buttons are enabled as the
// selection changes. Each state switches a fixed list of names; names whose command the
// program does not have (yet) are skipped by TCommandSet. These functions switch commands
// only; the icons, status texts and current packet that go with a state are the main
// window's.
//
//   no-area          at start-up (and after a packet is closed)
//   packet-selected  a packet node was clicked, opened with Enter, or created
//   area-open        SelectArea opened an area
//   no-message       no message is shown (the last step of the two states above)
#pragma once

#include "app/command_set.h"

namespace pelorin {

// What the states look at: the packet and area involved and the message list.
struct CommandContext {
    int packetType = 0;        // 0 SOUP packet, 1 folder packet, 2 note packet
    char messageFormat = ' ';  // the open area's encoding letter 1 ('u', 'B', 'm' ...)
    char indexFormat = ' ';    // letter 2 ('c', 'C', 'n' ...)
    int sortType = 0;          // the open area's display order
    bool areaOpen = false;     // an area fills the message list
    bool anySelected = false;  // some list rows are selected
};

void EnterNoAreaState(TCommandSet& commands, const CommandContext& context);
void EnterPacketSelectedState(TCommandSet& commands, const CommandContext& context);
void EnterAreaOpenState(TCommandSet& commands, const CommandContext& context);
void EnterNoMessageState(TCommandSet& commands, const CommandContext& context);

// Checks the list-order item of a sort type (1 and 5 threads, 2 subject, 3 author, 4 date,
// anything else none); the toolbar's order buttons are the same commands and follow.
void CheckSortOrder(TCommandSet& commands, int sortType);

}  // namespace pelorin
