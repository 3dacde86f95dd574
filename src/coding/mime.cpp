// The MIME decoder component: a copy of the lines and the root part.
#include "coding/mime.h"

namespace pelorin {

TMIMEc::TMIMEc(bool decodeAsHeader) {
    Root.DecodeAsHeader = decodeAsHeader;
}

void TMIMEc::Parse(const std::vector<std::string>& lines) {
    lines_ = lines;
    Root.Reset();
    for (const std::string& line : lines_) Root.AddLine(line);
    for (TMIMEPart* part : Root.Leaves()) part->FinishText();
}

}  // namespace pelorin
