// Our IMAP client (RFC 3501 / RFC 9051, the part a fetcher needs) over a LineConnection:
// TLS from the first byte or STARTTLS, LOGIN (or AUTHENTICATE with a token), then one mailbox.
//
// Opening: the greeting (OK, PREAUTH; BYE is refused), STARTTLS when asked for (a server
// without it is an error, never a fallback to plain text), LOGIN with the user and password
// as quoted strings or, when they hold other bytes, as literals. With Auth=xoauth2 or
// oauthbearer, AUTHENTICATE with the access token as its initial response (SASL-IR). A NO to
// either is Failure::Auth. Neither password nor token ever reaches a trace.
//
// Fetching is pipelined: the texts are asked for with "UID FETCH set (UID FLAGS
// BODY.PEEK[])" over runs of UIDs (a few hundred messages or a few MiB each), several runs in
// flight at once, and each message is handed on as it arrives. BODY.PEEK leaves \Seen as it
// was. A run the server refuses (NO, BAD) is asked for again one message at a time, so that
// one message the server cannot give costs only that message. Flags that mark messages seen
// travel in the same pipeline, one UID STORE for a set.
//
// Every answer is read in bounded memory (imap_response.h): a literal longer than
// MaxMessageSize is read and dropped, and such a message is reported as too large. Every
// answer must come within the server's limits; each message of a pipelined answer has
// MessageTimeout of its own. Anything the server says that cannot be read is a TransferError
// of kind Server naming the server.
#pragma once

#include "transfer/config.h"
#include "transfer/imap_response.h"
#include "transfer/nntp_connection.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace pelorin::transfer {

// The SASL initial response that carries an access token: XOAUTH2's
// "user=U^Aauth=Bearer T^A^A" or OAUTHBEARER's "n,a=U,^Ahost=H^Aport=P^Aauth=Bearer T^A^A"
// (RFC 7628), before base64.
std::string SaslTokenResponse(const ServerConfig& server, const std::string& token);

class ImapClient {
public:
    ImapClient(const MailServer& server, const std::string& password);
    ~ImapClient();
    ImapClient(const ImapClient&) = delete;
    ImapClient& operator=(const ImapClient&) = delete;

    struct Mailbox {
        int64_t uidValidity = 0;
        int64_t exists = 0;
    };
    // SELECT (to change flags) or EXAMINE (read only) the server's Mailbox=.
    Mailbox Open(bool writable);

    struct Listed {
        uint32_t uid = 0;
        int64_t size = -1;  // RFC822.SIZE
    };
    // The UIDs and sizes of `uidSet`, ascending; more than `most` answers is an error.
    std::vector<Listed> List(const std::string& uidSet, int64_t most);

    // What became of each message asked for: exactly one of these per UID.
    struct Sink {
        std::function<void(uint32_t uid, std::string text)> text;
        std::function<void(uint32_t uid, uint64_t size)> tooLarge;
        std::function<void(uint32_t uid, const std::string& why)> refused;
    };
    // Fetches the texts of `messages` (ascending UIDs).
    void Fetch(const std::vector<Listed>& messages, const Sink& sink);

    // Flags messages \Seen: sent with the next command, or by Finish.
    void MarkSeenLater(const std::vector<uint32_t>& uids);
    // Takes \Seen off one message at once.
    void Unsee(uint32_t uid);
    // Sends the flags still waiting and logs out.
    void Finish();

private:
    struct Pending {
        std::string tag;
        int chunk = -1;  // the run of a FETCH; -1 for a STORE
        std::vector<uint32_t> uids;
    };
    std::string Tag();
    void Send(const std::string& tag, const std::string& command, bool secret = false);
    ImapResponse Read(uint64_t maxLiteral);
    // Sends a command and reads to its tagged answer; untagged ones go to `untagged`.
    ImapResponse Command(const std::string& command,
                         const std::function<void(ImapResponse&)>& untagged = {},
                         uint64_t maxLiteral = 1 << 20);
    void SendSeen();
    // Reads the answers to the STOREs still in flight.
    void Drain();
    void SeenAnswered(const ImapResponse& r);
    void Login(const std::string& password);
    // AUTHENTICATE XOAUTH2 or OAUTHBEARER with the access token.
    void Authenticate(const std::string& token);
    [[noreturn]] void Unexpected(const std::string& command, const ImapResponse& r);

    const MailServer& server_;
    LineConnection conn_;
    int tags_ = 0;
    std::vector<uint32_t> seenQueue_;
    std::deque<Pending> inFlight_;
    bool finished_ = false;
    bool loggingOut_ = false;  // BYE is the answer expected now
};

}  // namespace pelorin::transfer
