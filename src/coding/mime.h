// The MIME decoder of one message: keeps a copy of the message's lines and builds their part
// tree (see mime_part.h) under Root.
//
// The caller sets Root.ParseBody (false in show-headers mode: the whole body becomes one
// leaf) and Root.DecodeAsHeader before each Parse; both survive Parse.
#pragma once

#include "coding/mime_part.h"

#include <string>
#include <vector>

namespace pelorin {

class TMIMEc {
public:
    explicit TMIMEc(bool decodeAsHeader = false);

    // Copies the lines, resets Root and feeds every line to it in order.
    void Parse(const std::vector<std::string>& lines);
    // The lines of the last Parse.
    const std::vector<std::string>& Lines() const { return lines_; }

    TMIMEPart Root;  // the message itself; owns the whole tree

private:
    std::vector<std::string> lines_;
};

}  // namespace pelorin
