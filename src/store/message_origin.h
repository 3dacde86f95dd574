// The Date: and Message-ID: fields a message gets when it is posted without them (RFC 5322,
// 3.3 and 3.6.4).
//
// Date: the local time with its numeric zone, English day and month names whatever the
// locale: "Tue, 08 Dec 2026 21:24:09 +0900".
//
// Message-ID: "<" + the time (YYYYMMDDhhmmss) + "." + the process id + "." + eight random hex
// digits + "@" + a domain + ">". The domain is that of the sender's address (From:, read by
// the address-list parser) when it has one, else the host's name, else "localhost"; a name
// that is not a dot-atom (blanks, specials, 8-bit bytes) is not used.
#pragma once

#include "store/strutil.h"

#include <ctime>
#include <string>
#include <string_view>

namespace pelorin {

std::string MessageDate(std::time_t when);
std::string NewMessageId(std::string_view domain, std::time_t when);
// The domain for Message-ID: as above, from a From: value (may be empty).
std::string MessageIdDomain(std::string_view from);

// The lines to add to a header that lacks Date: or Message-ID: (in that order; none when both
// are there). `header` holds the header lines (continuation lines may be among them); a
// field counts as present whatever the case of its name.
TSList MissingOriginFields(const TSList& header, std::time_t when);

}  // namespace pelorin
