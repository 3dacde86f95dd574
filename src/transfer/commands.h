// The two network commands of pelorin-transfer. Each works through every configured server,
// goes on with the next one when a server fails (reporting it through Log), and returns the
// exit code (errors.h): 0, or the highest code of the failures.
#pragma once

#include "transfer/config.h"

#include <string>

namespace pelorin::transfer {

// News (every group of every news server) and mail (every mailbox) into `packetDir`; the
// state of each (last article number, UIDVALIDITY and last UID, POP3 UIDLs) in `stateDir`.
int RunFetch(const TransferConfig& config,
             const std::string& packetDir,
             const std::string& stateDir);

// Every reply of REPLIES in `outboundDir`, then the SENDME lines of its COMMANDS, whose
// articles are fetched into `packetDir`.
int RunSend(const TransferConfig& config,
            const std::string& outboundDir,
            const std::string& packetDir);

}  // namespace pelorin::transfer
