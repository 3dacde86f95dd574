// Our NNTP client (RFC 3977, with AUTHINFO USER/PASS of RFC 4643 and STARTTLS of RFC 4642):
// the commands pelorin-transfer needs, over an NntpConnection.
//
// Opening: the greeting (200 posting allowed, 201 not), MODE READER (an error answer is
// ignored: many servers are readers already), STARTTLS when asked for, then AUTHINFO
// USER/PASS when a user is set (481 is a refused login: Failure::Auth).
//
// Every answer must come within the server's limits (IdleTimeout, MessageTimeout), and no
// answer grows memory past MaxMessageSize: an article beyond it is read to its end and
// dropped, and an overview with more lines than the range has numbers is a protocol error.
//
// Every command checks the code it expects; anything else is a TransferError of kind Server
// naming the command and the server's line - except a password, which never appears.
#pragma once

#include "transfer/config.h"
#include "transfer/nntp_connection.h"
#include "transfer/nntp_response.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pelorin::transfer {

class NntpClient {
public:
    NntpClient(const NewsServer& server, const std::string& password);
    ~NntpClient();

    bool PostingAllowed() const { return posting_; }

    // GROUP: count, low and high article number. Throws when the group does not exist (411).
    GroupReply Group(const std::string& group);
    // OVER (or XOVER when OVER is unknown) for the range; empty `supported` result when the
    // server has neither.
    std::vector<OverviewLine> Over(int64_t from, int64_t to, bool* supported);
    // ARTICLE by number: the text with LF line ends; nullopt when the article is gone (423),
    // or when it is larger than MaxMessageSize (then `tooLarge` is set: the rest of it was
    // read and dropped).
    std::optional<std::string> Article(int64_t number, bool* tooLarge = nullptr);
    // HEAD and the first `lines` lines of BODY. The rest is read and dropped - unless
    // `bytes` (the article's size from the overview) says more than kSummaryCutOff bytes
    // follow: then the connection is closed instead and a new one opened, on the same group.
    std::optional<std::string> Summary(int64_t number,
                                       int lines,
                                       bool* tooLarge = nullptr,
                                       int64_t bytes = -1);
    static constexpr int64_t kSummaryCutOff = 128 << 10;
    // POST: throws when the server refuses the article (440, 441).
    void Post(const std::string& text);
    void Quit();

private:
    // Connects, reads the greeting, and goes through MODE READER, STARTTLS and AUTHINFO.
    void Open();
    NntpStatus Command(const std::string& line);
    NntpStatus Read();
    [[noreturn]] void Unexpected(const std::string& command, const NntpStatus& got);
    // Reads a data block into text; `keep` lines at most are kept (-1: all). Past
    // MaxMessageSize nothing more is kept and `tooLarge` is set.
    std::string ReadBlock(int64_t keep, bool& tooLarge);

    const NewsServer& server_;
    std::string password_;
    std::unique_ptr<LineConnection> conn_;
    std::string group_;  // the group chosen last, chosen again on a new connection
    bool posting_ = false;
    bool overUnknown_ = false;  // OVER was answered 500: use XOVER
    bool quit_ = false;
};

}  // namespace pelorin::transfer
