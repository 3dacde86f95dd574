// Reads the bytes of many messages one after the other, as a search over an area does: the
// message file stays open between messages (one read each, no open and close per message).
//
// The file is the one the path named when it was first read; a reader is meant for one pass
// over an area (a search, a sub-command run), not to be kept while areas are rewritten.
#pragma once

#include "store/msg.h"

#include <string>

namespace pelorin {

class MessageReader {
public:
    MessageReader() = default;
    ~MessageReader();
    MessageReader(const MessageReader&) = delete;
    MessageReader& operator=(const MessageReader&) = delete;

    // Replaces `out` with the message's bytes, as TMsg::ReadText gives them: empty when the
    // length is 0 or less, the offset is negative or the file is missing; a file shorter than
    // offset + length gives what is there. False only when the file cannot be opened or read.
    bool Read(const TMsg& msg, std::string& out);

private:
    bool OpenFor(const std::string& path);

    std::string path_;  // the open file's path, empty when none is open
    int fd_ = -1;
};

}  // namespace pelorin
