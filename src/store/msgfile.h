// Reading an area's messages: the two framings of a SOUP message file, digests, and index
// lines. Each parser appends message records (TMsg) that hold only their header fields and
// where they lie in the message file.
//
// rnews framing (letter "u"): batches of "#! rnews " + decimal byte count + LF, then exactly
// that many bytes of message. Non-digits on the count line are ignored; any 9 bytes that do not
// start a batch are passed over; a count running past the end of the file takes what is there;
// the text of a batch ends early at a NUL byte.
//
// Binary framing (letters "b", "B"): records of a 4-byte length, most significant byte first,
// then the message. A length running past the end takes what is there (a length of 0xFFFFFFFF
// never makes the reader allocate more than the file holds).
//
// The message file and the index are mapped into memory and parsed in place (mapped_file.h).
//
// Index lines (letter "c"/"C"): nine TAB-separated columns (layout "c": offset, Subject, From,
// Date, Message-ID, References, length, lines, number; layout "C": offset, Subject, From, Date,
// length, lines, number).
#pragma once

#include "store/msg.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

using MessageList = std::vector<std::unique_ptr<TMsg>>;

class ThreadPrelink;

struct ParseContext {
    SharedPath msgFile;        // path recorded in every record (Shift_JIS), shared by them
    std::string digestMarker;  // when non-empty, a Subject containing it marks a digest
    // When set, ParseRnewsFile and ParseBinaryFile store here how many bytes the last frame's
    // count promised beyond the end of the file (0 when the file holds every byte it counts).
    int64_t* missing = nullptr;
};

// Parses one message text that starts at byte `start` of the message file and appends its
// record (or, for a digest, the records of its parts).
void ParseOneMessage(std::string_view text,
                     int64_t start,
                     const ParseContext& ctx,
                     MessageList& out);

// Parses a whole message file; its records' fields are kept in one TextStore they share.
// `progress` (may be empty) receives the read position and the file size once per message. A
// missing file appends nothing.
void ParseRnewsFile(const ParseContext& ctx,
                    MessageList& out,
                    const std::function<void(int64_t pos, int64_t size)>& progress);
void ParseBinaryFile(const ParseContext& ctx,
                     MessageList& out,
                     const std::function<void(int64_t pos, int64_t size)>& progress);
// The message texts of a message file's bytes in its framing (`framing`: the area's first
// letter, "u" rnews, else binary), by the rules above but without making records: `each` gets
// each text and the position just past it.
void ForEachFramedText(std::string_view bytes,
                       char framing,
                       const std::function<void(std::string_view text, int64_t end)>& each);

// One index line as a record; `layout` is 'c' or 'C'. With a store, the record views `line`,
// which must be text of that store, and keeps its Subject and From encoded until read;
// without one it holds copies, decoded.
std::unique_ptr<TMsg> ParseIndexLine(std::string_view line,
                                     char layout,
                                     const SharedPath& msgFile,
                                     const std::shared_ptr<TextStore>& store = {});
// Every non-empty line of an index file (lines end in LF, CR LF or CR) as a record.
// `progress` (may be empty) receives the bytes read so far and the file's size. With
// `threads`, each record is linked into thread order as it is made (see ThreadPrelink).
void ParseIndexFile(std::string_view path,
                    char layout,
                    const SharedPath& msgFile,
                    MessageList& out,
                    const std::function<void(size_t done, size_t size)>& progress,
                    ThreadPrelink* threads = nullptr);

// The References value of a message for the index and the record: References, or when empty
// the last "<...>" token of In-Reply-To.
std::string ReferencesOrInReplyTo(const TSList& headerLines);

}  // namespace pelorin
