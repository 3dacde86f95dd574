// ImapClient: see imap_client.h.
#include "transfer/imap_client.h"

#include "transfer/errors.h"
#include "transfer/log.h"

#include "coding/base64.h"

#include <algorithm>
#include <unordered_map>

namespace pelorin::transfer {
namespace {

// A run of a pipelined fetch: at most this many messages or bytes (by RFC822.SIZE), and at
// most this many runs waiting for their answers.
constexpr size_t kRunMessages = 250;
constexpr int64_t kRunBytes = 4 << 20;
constexpr size_t kRunsInFlight = 3;
// Literals in answers other than message texts (a mailbox name, an odd flag) are small.
constexpr uint64_t kSmallLiteral = 1 << 20;

std::string Shown(std::string_view line) {
    return line.size() > 300 ? std::string(line.substr(0, 300)) + "..." : std::string(line);
}

}  // namespace

ImapClient::ImapClient(const MailServer& server, const std::string& password)
    : server_(server)
    , conn_(server) {
    conn_.StartAnswer();
    ImapResponse hello = Read(kSmallLiteral);
    if (hello.type != ImapResponse::Type::Untagged ||
        (hello.status != "OK" && hello.status != "PREAUTH"))
        Unexpected("(greeting)", hello);
    if (server.security == Security::StartTls) {
        ImapResponse r = Command("STARTTLS");
        if (r.status != "OK")
            conn_.Fail("the server offers no STARTTLS (" + r.status + " " + r.text + ")");
        conn_.StartTls();
    }
    if (hello.status != "PREAUTH" && !server.user.empty()) {
        if (server.auth == AuthMethod::Password)
            Login(password);
        else
            Authenticate(password);
    }
}

ImapClient::~ImapClient() = default;

std::string ImapClient::Tag() {
    return "p" + std::to_string(++tags_);
}

void ImapClient::Send(const std::string& tag, const std::string& command, bool secret) {
    Log::Get().Trace(true, secret ? tag + " " + command.substr(0, command.find(' ')) + " ****"
                                  : tag + " " + command);
    conn_.Write(tag + " " + command + "\r\n");
}

ImapResponse ImapClient::Read(uint64_t maxLiteral) {
    ImapFramer framer;
    uint64_t budget = maxLiteral + kSmallLiteral;  // all literals of one answer together
    for (;;) {
        std::string line = conn_.ReadLine();
        Log::Get().Trace(false, Shown(line));
        std::string error;
        std::optional<uint64_t> literal = framer.Line(line, &error);
        if (!error.empty())
            conn_.Fail(error);
        if (!literal)
            break;
        if (*literal > maxLiteral || *literal > budget) {
            conn_.ReadBytes(*literal, nullptr);
            framer.DroppedLiteral(*literal);
            Log::Get().Trace(false, "(" + std::to_string(*literal) + " bytes, dropped)");
            continue;
        }
        std::string bytes;
        bytes.reserve(static_cast<size_t>(*literal));
        conn_.ReadBytes(*literal, [&](std::string_view piece) { bytes.append(piece); });
        budget -= *literal;
        framer.Literal(std::move(bytes));
        Log::Get().Trace(false, "(" + std::to_string(*literal) + " bytes)");
    }
    ImapRawResponse raw = framer.Take();
    const std::string shown = Shown(raw.text);
    ImapResponse r = ParseResponse(std::move(raw));
    if (!r.malformed.empty())
        conn_.Fail("an answer that cannot be read (" + r.malformed + "): " + shown);
    if (r.type == ImapResponse::Type::Untagged && r.status == "BYE" && !loggingOut_)
        conn_.Fail("the server ended the session: " + r.text);
    return r;
}

ImapResponse ImapClient::Command(const std::string& command,
                                 const std::function<void(ImapResponse&)>& untagged,
                                 uint64_t maxLiteral) {
    Drain();
    const std::string tag = Tag();
    conn_.StartAnswer();
    Send(tag, command, command.rfind("LOGIN ", 0) == 0);
    for (;;) {
        ImapResponse r = Read(maxLiteral);
        if (r.type == ImapResponse::Type::Tagged) {
            if (r.tag != tag)
                conn_.Fail("an answer to a command never sent: " + r.tag);
            conn_.EndAnswer();
            return r;
        }
        if (r.type == ImapResponse::Type::Continuation)
            conn_.Fail("an unasked-for continuation (\"+\")");
        if (untagged)
            untagged(r);
    }
}

void ImapClient::Drain() {
    // Answers to a pipelined STORE may still be on their way; they come first.
    while (!inFlight_.empty()) {
        ImapResponse r = Read(kSmallLiteral);
        if (r.type == ImapResponse::Type::Tagged) {
            if (r.tag != inFlight_.front().tag)
                conn_.Fail("an answer to a command never sent: " + r.tag);
            SeenAnswered(r);
            inFlight_.pop_front();
        }
    }
}

void ImapClient::Unexpected(const std::string& command, const ImapResponse& r) {
    conn_.Fail(command + ": unexpected answer " + (r.status.empty() ? r.name : r.status) + " " +
               r.text);
}

void ImapClient::Login(const std::string& password) {
    std::optional<std::string> user = Quoted(server_.user);
    std::optional<std::string> pass = Quoted(password);
    ImapResponse r;
    if (user && pass) {
        r = Command("LOGIN " + *user + " " + *pass);
    } else {
        // Synchronising literals: each waits for the server's "+".
        const std::string tag = Tag();
        const std::string u = server_.user;
        conn_.StartAnswer();
        Log::Get().Trace(true, tag + " LOGIN ****");
        conn_.Write(tag + " LOGIN {" + std::to_string(u.size()) + "}\r\n");
        auto next = [&](const std::string& text, const std::string& after) {
            ImapResponse c = Read(kSmallLiteral);
            if (c.type != ImapResponse::Type::Continuation)
                return c;
            conn_.Write(text + after);
            return ImapResponse{};
        };
        r = next(u, " {" + std::to_string(password.size()) + "}\r\n");
        if (r.type == ImapResponse::Type::Untagged && r.status.empty() && r.name.empty())
            r = next(password, "\r\n");
        while (r.type != ImapResponse::Type::Tagged) r = Read(kSmallLiteral);
    }
    if (r.status == "NO")
        throw TransferError(Failure::Auth, "[" + server_.section +
                                               "] the server refused the user name or "
                                               "password (NO " +
                                               r.text + ")");
    if (r.status != "OK") {
        if (r.text.find("LOGINDISABLED") != std::string::npos ||
            r.code.find("PRIVACYREQUIRED") != std::string::npos)
            conn_.Fail("the server wants encryption first; set Security=tls or starttls");
        Unexpected("LOGIN", r);
    }
}

std::string SaslTokenResponse(const ServerConfig& server, const std::string& token) {
    const std::string kA(1, '\x01');  // the separator of both mechanisms
    if (server.auth == AuthMethod::XOAuth2)
        return "user=" + server.user + kA + "auth=Bearer " + token + kA + kA;
    // RFC 7628: a GS2 header naming the user, then host, port and the token.
    std::string user;
    for (char c : server.user) {
        if (c == ',')
            user += "=2C";
        else if (c == '=')
            user += "=3D";
        else
            user += c;
    }
    return "n,a=" + user + "," + kA + "host=" + server.host + kA +
           "port=" + std::to_string(server.port) + kA + "auth=Bearer " + token + kA + kA;
}

void ImapClient::Authenticate(const std::string& token) {
    // The first response goes with the command (SASL-IR, which the providers that want tokens
    // all offer). A refused token comes back as a continuation carrying the server's reason
    // (JSON, in base64); the client then ends the exchange - an empty line for XOAUTH2, the
    // byte 0x01 for OAUTHBEARER - and the server answers NO.
    const char* mechanism = to_string(server_.auth);
    const std::string tag = Tag();
    conn_.StartAnswer();
    Log::Get().Trace(true, tag + " AUTHENTICATE " + mechanism + " ****");
    conn_.Write(tag + " AUTHENTICATE " + mechanism + " " +
                Base64Encode(SaslTokenResponse(server_, token)) + "\r\n");
    std::string reason;
    ImapResponse r;
    for (int rounds = 0;; ++rounds) {
        r = Read(kSmallLiteral);
        if (r.type == ImapResponse::Type::Tagged)
            break;
        if (r.type != ImapResponse::Type::Continuation)
            continue;
        if (rounds > 0)
            conn_.Fail("AUTHENTICATE " + std::string(mechanism) + ": the server keeps asking");
        reason = Base64Decode(r.text);
        conn_.Write(server_.auth == AuthMethod::OAuthBearer ? "AQ==\r\n" : "\r\n");
    }
    if (r.tag != tag)
        conn_.Fail("an answer to a command never sent: " + r.tag);
    conn_.EndAnswer();
    if (r.status == "NO")
        throw TransferError(Failure::Auth,
                            "[" + server_.section + "] the server refused the access token (" +
                                mechanism + ": NO " + r.text +
                                (reason.empty() ? "" : "; " + Shown(reason)) +
                                "); TokenCommand= must print a current token for User=");
    if (r.status != "OK") {
        if (r.code.find("PRIVACYREQUIRED") != std::string::npos)
            conn_.Fail("the server wants encryption first; set Security=tls or starttls");
        Unexpected("AUTHENTICATE", r);
    }
}

ImapClient::Mailbox ImapClient::Open(bool writable) {
    std::string name = MailboxName(server_.mailbox);
    std::optional<std::string> quoted = Quoted(name);
    if (!quoted)
        conn_.Fail("Mailbox=" + server_.mailbox + " cannot be named to the server");
    Mailbox box;
    bool validity = false;
    ImapResponse r = Command((writable ? "SELECT " : "EXAMINE ") + *quoted, [&](ImapResponse& u) {
        if (u.name == "EXISTS" && u.number >= 0)
            box.exists = u.number;
        if (u.status == "OK" && u.code.rfind("UIDVALIDITY ", 0) == 0) {
            box.uidValidity = std::strtoll(u.code.c_str() + 12, nullptr, 10);
            validity = box.uidValidity > 0 && box.uidValidity <= 0xFFFFFFFFLL;
        }
    });
    if (r.status == "NO")
        conn_.Fail("Mailbox=" + server_.mailbox + " cannot be opened: " + r.text);
    if (r.status != "OK")
        Unexpected(writable ? "SELECT" : "EXAMINE", r);
    if (!validity)
        conn_.Fail("the server gave no UIDVALIDITY for " + server_.mailbox);
    return box;
}

std::vector<ImapClient::Listed> ImapClient::List(const std::string& uidSet, int64_t most) {
    std::vector<Listed> out;
    ImapResponse r = Command("UID FETCH " + uidSet + " (UID RFC822.SIZE)", [&](ImapResponse& u) {
        if (u.name != "FETCH")
            return;
        ImapFetch f = ParseFetch(u);
        if (!f.malformed.empty())
            conn_.Fail("a FETCH answer that cannot be read: " + f.malformed);
        if (f.uid == 0)
            return;  // a flag change of another client, told in passing
        if (static_cast<int64_t>(out.size()) >= most)
            conn_.Fail("more messages listed than the mailbox holds");
        out.push_back({f.uid, f.size});
    });
    if (r.status != "OK")
        Unexpected("UID FETCH (sizes)", r);
    std::sort(out.begin(), out.end(),
              [](const Listed& a, const Listed& b) { return a.uid < b.uid; });
    out.erase(std::unique(out.begin(), out.end(),
                          [](const Listed& a, const Listed& b) { return a.uid == b.uid; }),
              out.end());
    return out;
}

void ImapClient::SendSeen() {
    if (seenQueue_.empty())
        return;
    std::sort(seenQueue_.begin(), seenQueue_.end());
    Pending p;
    p.tag = Tag();
    Send(p.tag, "UID STORE " + UidSet(seenQueue_) + " +FLAGS.SILENT (\\Seen)");
    seenQueue_.clear();
    inFlight_.push_back(std::move(p));
}

void ImapClient::SeenAnswered(const ImapResponse& r) {
    if (r.status != "OK")
        Log::Get().Error("[" + server_.section +
                         "] the server did not flag fetched mail as seen: " + r.status + " " +
                         r.text);
}

void ImapClient::MarkSeenLater(const std::vector<uint32_t>& uids) {
    seenQueue_.insert(seenQueue_.end(), uids.begin(), uids.end());
}

void ImapClient::Unsee(uint32_t uid) {
    ImapResponse r = Command("UID STORE " + std::to_string(uid) + " -FLAGS.SILENT (\\Seen)");
    if (r.status != "OK")
        Unexpected("UID STORE", r);
}

void ImapClient::Fetch(const std::vector<Listed>& messages, const Sink& sink) {
    // The runs, in UID order.
    std::vector<std::vector<uint32_t>> runs;
    int64_t bytes = 0;
    for (const Listed& m : messages) {
        if (runs.empty() || runs.back().size() >= kRunMessages || bytes >= kRunBytes) {
            runs.emplace_back();
            bytes = 0;
        }
        runs.back().push_back(m.uid);
        bytes += std::max<int64_t>(m.size, 0);
    }
    std::unordered_map<uint32_t, int> waiting;  // UID -> its run, until its text came
    std::vector<uint32_t> again;                // of refused runs, to ask for one by one
    const uint64_t maxText = static_cast<uint64_t>(server_.maxMessageSize);
    auto deliver = [&](ImapResponse& r) {
        if (r.name != "FETCH")
            return;
        ImapFetch f = ParseFetch(r);
        if (!f.malformed.empty())
            conn_.Fail("a FETCH answer that cannot be read: " + f.malformed);
        auto it = waiting.find(f.uid);
        if (f.uid == 0 || !f.hasBody || it == waiting.end())
            return;  // flags of another message, or one given twice
        waiting.erase(it);
        // The next message has its own MessageTimeout.
        conn_.StartAnswer();
        if (f.bodyDropped || f.bodySize > maxText)
            sink.tooLarge(f.uid, f.bodySize);
        else
            sink.text(f.uid, std::move(f.body));
    };
    size_t next = 0;
    size_t fetching = 0;  // runs in flight
    while (next < runs.size() || !inFlight_.empty()) {
        while (next < runs.size() && fetching < kRunsInFlight) {
            SendSeen();
            Pending p;
            p.tag = Tag();
            p.chunk = static_cast<int>(next);
            p.uids = runs[next];
            for (uint32_t uid : p.uids) waiting[uid] = p.chunk;
            if (fetching == 0)
                conn_.StartAnswer();
            Send(p.tag, "UID FETCH " + UidSet(p.uids) + " (UID FLAGS BODY.PEEK[])");
            inFlight_.push_back(std::move(p));
            ++next;
            ++fetching;
        }
        if (inFlight_.empty())
            break;
        ImapResponse r = Read(maxText);
        if (r.type == ImapResponse::Type::Continuation)
            conn_.Fail("an unasked-for continuation (\"+\")");
        if (r.type == ImapResponse::Type::Untagged) {
            deliver(r);
            continue;
        }
        if (r.tag != inFlight_.front().tag)
            conn_.Fail("an answer to a command never sent: " + r.tag);
        Pending done = std::move(inFlight_.front());
        inFlight_.pop_front();
        if (done.chunk < 0) {
            SeenAnswered(r);
            continue;
        }
        --fetching;
        for (uint32_t uid : done.uids) {
            if (!waiting.count(uid))
                continue;
            waiting.erase(uid);
            if (r.status == "OK")
                sink.refused(uid, "the server sent no text for it (" + r.text + ")");
            else
                again.push_back(uid);
        }
    }
    conn_.EndAnswer();
    // One message at a time for the runs that were refused: the one the server cannot give
    // is named, the others come.
    for (uint32_t uid : again) {
        SendSeen();
        waiting[uid] = 0;
        ImapResponse r = Command("UID FETCH " + std::to_string(uid) + " (UID FLAGS BODY.PEEK[])",
                                 deliver, maxText);
        if (waiting.erase(uid))
            sink.refused(uid, r.status + " " + r.text);
    }
}

void ImapClient::Finish() {
    if (finished_)
        return;
    finished_ = true;
    SendSeen();
    conn_.StartAnswer();
    Drain();
    // The flags above still matter; after LOGOUT's own answer nothing does.
    loggingOut_ = true;
    try {
        Command("LOGOUT");
    } catch (const TransferError&) {
        // The server closed the connection after its BYE: the session is over either way.
    }
}

}  // namespace pelorin::transfer
