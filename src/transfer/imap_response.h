// Reading what an IMAP server says (RFC 3501, RFC 9051): pure functions over bytes, shared by
// the client, the unit tests and the fuzz target.
//
// Framing: a response is a line, unless the line ends in a literal's length ("{123}", or
// "{123+}" / "~{123}"); then that many bytes follow, and after them the response's line goes
// on. ImapFramer takes lines and literals as the connection reads them and says when a
// response is whole. Memory stays bounded: a literal longer than the limit it is given is not
// kept (the reader drops its bytes and the framer records only its length), and a response of
// more than kMaxPieces literals or kMaxText bytes outside them is a protocol error.
//
// Parsing: ParseResponse turns one framed response into its tag (or "*" / "+"), its status
// (OK, NO, BAD, BYE, PREAUTH) with the response code in brackets, or its number and name
// ("* 12 FETCH", "* 3 EXISTS") and data: atoms, numbers, quoted strings, literals, NIL and
// parenthesised lists, nested at most kMaxDepth deep. A section such as
// "BODY[HEADER.FIELDS (SUBJECT)]<0>" is one atom. Bad input never throws: the response gets
// `malformed` set with the reason, and callers treat it as a protocol error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin::transfer {

struct ImapValue {
    enum class Kind { Atom, Number, String, Nil, List, Dropped };
    Kind kind = Kind::Nil;
    std::string text;              // atom, number digits, string bytes
    std::vector<ImapValue> items;  // a list's members
    uint64_t size = 0;             // Dropped: the length of a literal that was not kept
};

// One response as framed: its line pieces joined (each literal's "{N}" stays in place) and
// its literals in order.
struct ImapRawResponse {
    std::string text;
    struct Literal {
        std::string bytes;
        uint64_t size = 0;
        bool kept = true;  // false: longer than the limit, its bytes were dropped
    };
    std::vector<Literal> literals;
};

class ImapFramer {
public:
    static constexpr size_t kMaxPieces = 64;
    static constexpr size_t kMaxText = 4 << 20;

    // Takes one line (without CR LF). Returns the length of the literal that must be read
    // next, or nullopt when the response is whole (Take it then). Sets `error` (and returns
    // nullopt) when the response grows past the limits above.
    std::optional<uint64_t> Line(std::string_view line, std::string* error);
    // The literal announced by the last Line: its bytes, or (not kept) only its length.
    void Literal(std::string bytes);
    void DroppedLiteral(uint64_t size);
    ImapRawResponse Take();

private:
    ImapRawResponse raw_;
};

// The literal length a line ends with ("{123}", "{123+}", "~{123}"); nullopt for none.
std::optional<uint64_t> LiteralAtEnd(std::string_view line);

struct ImapResponse {
    enum class Type { Tagged, Untagged, Continuation };
    Type type = Type::Untagged;
    std::string tag;              // tagged: the tag
    std::string status;           // OK, NO, BAD, BYE, PREAUTH (upper case); empty for data
    std::string code;             // the response code without its brackets ("UIDVALIDITY 3")
    std::string text;             // what follows the status and code
    int64_t number = -1;          // "* 12 FETCH": 12
    std::string name;             // data: FETCH, EXISTS, EXPUNGE, SEARCH, FLAGS, CAPABILITY (upper)
    std::vector<ImapValue> data;  // after the name
    std::string malformed;        // non-empty: why the response could not be read
};

// Takes the literals' bytes out of `raw` (a message text is not copied).
ImapResponse ParseResponse(ImapRawResponse raw);

// Splits a byte stream into responses, as the client does over a connection (for the tests
// and the fuzz target): literals longer than `maxLiteral` are dropped. A stream that ends in
// the middle of a response leaves it out; `error` gets the first framing error, if any.
std::vector<ImapRawResponse> SplitResponses(std::string_view bytes,
                                            uint64_t maxLiteral,
                                            std::string* error = nullptr);

// The parts of a FETCH response the client uses.
struct ImapFetch {
    uint32_t uid = 0;   // 0: none (or not a valid UID)
    int64_t size = -1;  // RFC822.SIZE, -1 when absent
    bool hasFlags = false;
    bool seen = false;
    bool hasBody = false;      // a BODY[] (or BODY[]<0>, RFC822) item was there
    bool bodyDropped = false;  // ... but longer than the limit
    uint64_t bodySize = 0;
    std::string body;
    std::string malformed;
};
// `response` must be an untagged FETCH; the body is moved out of it.
ImapFetch ParseFetch(ImapResponse& response);

// A UID set for a command: ascending runs as "a:b", joined by commas ("1:5,7,9:12").
std::string UidSet(const std::vector<uint32_t>& sortedUids);

// A string as an IMAP quoted string, or nullopt when it must go as a literal (CR, LF, NUL or
// bytes above 0x7F).
std::optional<std::string> Quoted(std::string_view text);

// A mailbox name in IMAP's modified UTF-7 (RFC 3501 5.1.3), from UTF-8.
std::string MailboxName(std::string_view utf8);

}  // namespace pelorin::transfer
