// NntpClient: see nntp_client.h.
#include "transfer/nntp_client.h"

#include "transfer/errors.h"
#include "transfer/log.h"

#include <memory>

namespace pelorin::transfer {

NntpClient::NntpClient(const NewsServer& server, const std::string& password)
    : server_(server)
    , password_(password) {
    Open();
}

void NntpClient::Open() {
    const NewsServer& server = server_;
    conn_ = std::make_unique<LineConnection>(server);
    conn_->StartAnswer();
    NntpStatus hello = Read();
    if (hello.code != 200 && hello.code != 201)
        Unexpected("(greeting)", hello);
    posting_ = hello.code == 200;
    // A server that feeds peers and serves readers switches here; STARTTLS and AUTHINFO belong
    // to the reader side.
    NntpStatus mode = Command("MODE READER");
    if (mode.code == 200 || mode.code == 201)
        posting_ = mode.code == 200;
    if (server.security == Security::StartTls) {
        NntpStatus s = Command("STARTTLS");
        if (s.code != 382)
            throw TransferError(Failure::Server, "[" + server.section +
                                                     "] the server offers no STARTTLS (" +
                                                     std::to_string(s.code) + " " + s.text + ")");
        conn_->StartTls();
    }
    if (!server.user.empty()) {
        NntpStatus s = Command("AUTHINFO USER " + server.user);
        if (s.code == 381)
            s = Command("AUTHINFO PASS " + password_);
        if (s.code == 481 || s.code == 482)
            throw TransferError(Failure::Auth, "[" + server.section +
                                                   "] the server refused the user name or "
                                                   "password (" +
                                                   std::to_string(s.code) + " " + s.text + ")");
        if (s.code == 483)
            throw TransferError(Failure::Server, "[" + server.section +
                                                     "] the server wants encryption first; "
                                                     "set Security=tls or starttls");
        if (s.code != 281)
            Unexpected("AUTHINFO", s);
    }
}

NntpClient::~NntpClient() {
    try {
        Quit();
    } catch (const TransferError&) {
        // The server went away first; nothing is left to say to it.
    }
}

NntpStatus NntpClient::Read() {
    std::string line = conn_->ReadLine();
    Log::Get().Trace(false, line);
    return ParseStatus(line);
}

NntpStatus NntpClient::Command(const std::string& line) {
    Log::Get().Trace(true, line);
    conn_->StartAnswer();
    conn_->Write(line + "\r\n");
    return Read();
}

void NntpClient::Unexpected(const std::string& command, const NntpStatus& got) {
    throw TransferError(Failure::Server, "[" + server_.section + "] " + command +
                                             ": unexpected answer " + std::to_string(got.code) +
                                             " " + got.text);
}

std::string NntpClient::ReadBlock(int64_t keep, bool& tooLarge) {
    DotDecoder d;
    std::string kept;
    tooLarge = false;
    for (;;) {
        std::string line = conn_->ReadLine();
        if (!d.Line(line))
            break;
        if (!tooLarge &&
            static_cast<int64_t>(kept.size() + d.Text().size()) > server_.maxMessageSize) {
            tooLarge = true;
            kept.clear();
            kept.shrink_to_fit();
        }
        if (tooLarge || (keep >= 0 && d.Lines() > keep)) {
            // Past the lines we keep: drop them as they come so memory stays small.
            d.Text().clear();
            continue;
        }
        kept += d.Text();
        d.Text().clear();
    }
    return kept;
}

GroupReply NntpClient::Group(const std::string& group) {
    group_ = group;
    NntpStatus s = Command("GROUP " + group);
    if (s.code == 411)
        throw TransferError(Failure::Server,
                            "[" + server_.section + "] no such newsgroup: " + group);
    if (s.code != 211)
        Unexpected("GROUP " + group, s);
    GroupReply g = ParseGroupReply(s.text);
    if (!g.ok)
        Unexpected("GROUP " + group, s);
    return g;
}

std::vector<OverviewLine> NntpClient::Over(int64_t from, int64_t to, bool* supported) {
    std::vector<OverviewLine> out;
    *supported = true;
    const std::string range = std::to_string(from) + "-" + std::to_string(to);
    NntpStatus s;
    if (!overUnknown_) {
        s = Command("OVER " + range);
        if (s.code == 500)
            overUnknown_ = true;
    }
    if (overUnknown_) {
        s = Command("XOVER " + range);
        if (s.code == 500) {
            *supported = false;
            return out;
        }
    }
    if (s.code == 423)  // no articles in the range
        return out;
    if (s.code != 224)
        Unexpected("OVER", s);
    DotDecoder d;
    const int64_t most = to - from + 1;
    for (;;) {
        std::string line = conn_->ReadLine();
        if (!d.Line(line))
            break;
        if (!line.empty() && line[0] == '.')
            line.erase(0, 1);
        OverviewLine o = ParseOverview(line);
        if (o.number >= from && o.number <= to) {
            if (static_cast<int64_t>(out.size()) >= most)
                conn_->Fail("OVER " + range + ": more overview lines than the range has numbers");
            out.push_back(std::move(o));
        }
        d.Text().clear();
    }
    return out;
}

std::optional<std::string> NntpClient::Article(int64_t number, bool* tooLarge) {
    NntpStatus s = Command("ARTICLE " + std::to_string(number));
    if (s.code == 423 || s.code == 430)
        return std::nullopt;
    if (s.code != 220)
        Unexpected("ARTICLE", s);
    bool large = false;
    std::string text = ReadBlock(-1, large);
    if (tooLarge)
        *tooLarge = large;
    if (large)
        return std::nullopt;
    return text;
}

std::optional<std::string> NntpClient::Summary(int64_t number,
                                               int lines,
                                               bool* tooLarge,
                                               int64_t bytes) {
    bool large = false;
    NntpStatus s = Command("HEAD " + std::to_string(number));
    if (s.code == 423 || s.code == 430)
        return std::nullopt;
    if (s.code != 221)
        Unexpected("HEAD", s);
    std::string text = ReadBlock(-1, large);
    if (large) {
        if (tooLarge)
            *tooLarge = true;
        return std::nullopt;
    }
    text += '\n';
    s = Command("BODY " + std::to_string(number));
    if (s.code == 423 || s.code == 430)
        return text;
    if (s.code != 222)
        Unexpected("BODY", s);
    // The lines kept; then, when the overview says much more follows, the rest is not worth
    // reading: NNTP cannot stop a BODY, but a new connection can.
    DotDecoder d;
    int64_t read = static_cast<int64_t>(text.size());
    bool kept = lines <= 0;  // every line to keep is in `text`
    auto worthCutting = [&] { return bytes - read > kSummaryCutOff && !group_.empty(); };
    for (;;) {
        if (kept && worthCutting()) {
            Log::Get().Trace(true, "(the rest of the body is left unread: a new connection)");
            conn_.reset();
            Open();
            if (Command("GROUP " + group_).code != 211)
                conn_->Fail("GROUP " + group_ + " failed on the new connection");
            return text;
        }
        std::string line = conn_->ReadLine();
        read += static_cast<int64_t>(line.size()) + 2;
        if (!d.Line(line))
            return kept ? text : text + d.Text();
        if (kept) {
            d.Text().clear();
        } else if (d.Lines() >= lines ||
                   static_cast<int64_t>(d.Text().size()) > server_.maxMessageSize) {
            text += d.Text();
            d.Text().clear();
            kept = true;
        }
    }
}

void NntpClient::Post(const std::string& text) {
    NntpStatus s = Command("POST");
    if (s.code == 440)
        throw TransferError(Failure::Server,
                            "[" + server_.section + "] posting is not allowed: " + s.text);
    if (s.code != 340)
        Unexpected("POST", s);
    conn_->Write(DotEncode(text));
    Log::Get().Trace(true, "(article, " + std::to_string(text.size()) + " bytes)");
    s = Read();
    if (s.code != 240)
        throw TransferError(Failure::Server, "[" + server_.section + "] the article was refused: " +
                                                 std::to_string(s.code) + " " + s.text);
}

void NntpClient::Quit() {
    if (quit_ || !conn_)
        return;
    quit_ = true;
    Command("QUIT");
}

}  // namespace pelorin::transfer
