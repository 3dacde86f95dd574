// Removing the messages marked for deletion ('-') from an area, for the purge commands: the
// exit purge of the main window and the companion's `purge`.
//
// The purge is written at once and is all or nothing. The delete-marked messages are taken
// out of the area and the area is rewritten without them (grp.h: new files first, the marks
// travelling with them). When the write fails the messages are put back exactly where they
// were, in file order and display order, with their marks and the area's change flags, so
// nothing is lost in memory; the old files are untouched on disk; `lastFailure` of the area
// says what failed.
#pragma once

#include "store/grp.h"

namespace pelorin {

// Whether the area holds a message marked '-'. A loaded area is looked at in memory; an area
// not loaded is answered from its mark file, without loading its messages (a mark file out of
// step with its message file may answer yes for a message that is gone; the purge then finds
// nothing to remove).
bool HoldsDeleteMarks(TGrp& area);

// Loads the area when needed, removes every message marked '-' and rewrites the area (see
// above). `removed` receives how many messages went (0 on failure).
ReplaceResult PurgeDeleteMarkedNow(TGrp& area, int& removed);

}  // namespace pelorin
