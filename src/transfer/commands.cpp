// Placeholder until the network commands land.
#include "transfer/commands.h"

#include "transfer/errors.h"

namespace pelorin::transfer {
int RunFetch(const TransferConfig&, const std::string&, const std::string&) {
    throw TransferError(Failure::Usage, "fetch is not available yet");
}
int RunSend(const TransferConfig&, const std::string&, const std::string&) {
    throw TransferError(Failure::Usage, "send is not available yet");
}
}  // namespace pelorin::transfer
