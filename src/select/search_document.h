// A message as the search index reads it: its header fields and body as the reader sees them,
// in UTF-8 with every character (header words decoded; bodies in any charset read through
// Unicode, HTML as text; ISO-2022-JP converted), and whether it carries an attachment.
#pragma once

#include <string>
#include <string_view>

namespace pelorin {

struct SearchFields {
    std::string subject;  // UTF-8
    std::string from;
    std::string to;  // To and Cc
    std::string body;
    std::string sortDate;  // SortKeyDate of the Date field (dates.h)
    bool attachment = false;
};

// `text`: the whole message as stored (header, empty line, body; LF or CR LF line ends).
SearchFields ReadSearchFields(std::string_view text);

}  // namespace pelorin
