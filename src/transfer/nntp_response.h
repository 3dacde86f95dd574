// Reading what an NNTP server says (RFC 3977): status lines, multi-line data blocks and
// overview lines. Pure functions over bytes, shared by the client and the fuzz target.
//
// Status line: three digits, then optionally a blank and text, ended by CR LF (a bare LF is
// accepted). Bad input: a line that does not start with three digits followed by a blank or
// the line end has code 0, which every caller treats as a protocol error.
//
// Data block: lines ended by CR LF until a line holding a single ".". A line starting with
// "." had that dot doubled by the server and loses one. Each line is passed on ending in LF
// alone. Bad input: a bare LF ends a line as CR LF does; a CR not followed by LF stays in the
// line; NUL bytes are kept (the message file parsers stop a message there).
//
// Overview line (OVER/XOVER): TAB-separated article number, Subject, From, Date, Message-ID,
// References, bytes, lines, then optional fields. Bad input: a line whose first field is not
// a positive number is dropped; missing later fields are empty or 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelorin::transfer {

struct NntpStatus {
    int code = 0;      // 100-599, or 0 for a line that is not a status line
    std::string text;  // the rest of the line, without the line end
};

NntpStatus ParseStatus(std::string_view line);

// The numbers of a GROUP reply ("211 count low high group").
struct GroupReply {
    int64_t count = 0;
    int64_t low = 0;
    int64_t high = 0;
    bool ok = false;  // all three numbers were there
};
GroupReply ParseGroupReply(std::string_view text);

// Turns the lines of a data block into message text. Feed each line (without its line end)
// to Line(); it returns false at the terminating "." line.
class DotDecoder {
public:
    bool Line(std::string_view line);
    std::string& Text() { return text_; }
    int64_t Lines() const { return lines_; }
    bool Done() const { return done_; }

private:
    std::string text_;
    int64_t lines_ = 0;
    bool done_ = false;
};

// Decodes a whole block given as bytes (CR LF or LF line ends). `complete` is set when the
// terminating line was seen.
std::string DecodeBlock(std::string_view bytes, bool* complete = nullptr);

struct OverviewLine {
    int64_t number = 0;  // 0: not an overview line
    std::string messageId;
    int64_t bytes = 0;
    int64_t lines = 0;
};
OverviewLine ParseOverview(std::string_view line);

// A message as sent by POST: CR LF line ends, lines starting with "." doubled, ended by the
// "." line.
std::string DotEncode(std::string_view text);

}  // namespace pelorin::transfer
