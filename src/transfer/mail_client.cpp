// CurlSession, Pop3Client, SmtpClient: see mail_client.h.
#include "transfer/mail_client.h"

#include "transfer/appender.h"
#include "transfer/errors.h"
#include "transfer/log.h"

#include "store/address_list.h"
#include "store/strutil.h"

#include <algorithm>
#include <cstring>
#include <curl/curl.h>
#include <unordered_map>

namespace pelorin::transfer {
namespace {

CURL* C(void* p) {
    return static_cast<CURL*>(p);
}

struct Collected {
    std::string* body;
    uint64_t max;  // 0: no limit
    bool tooLarge = false;
};

size_t Collect(char* data, size_t size, size_t n, void* user) {
    auto* c = static_cast<Collected*>(user);
    if (c->max && c->body->size() + size * n > c->max) {
        c->tooLarge = true;
        return 0;  // curl stops the transfer
    }
    c->body->append(data, size * n);
    return size * n;
}

// Hides what follows an authentication command until the server stops asking for more
// (continuations "+" in IMAP, "334" in SMTP): AUTH LOGIN sends user and password as lines
// of their own.
struct TraceState {
    bool inAuth = false;
};

int Debug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    if (!Log::Get().verbose ||
        (type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT && type != CURLINFO_TEXT))
        return 0;
    auto* state = static_cast<TraceState*>(user);
    std::string_view text(data, size);
    while (!text.empty()) {
        size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        if (type == CURLINFO_TEXT) {
            Log::Get().Trace(false, "* " + std::string(line));
            continue;
        }
        const bool sent = type == CURLINFO_HEADER_OUT;
        std::string upper = SjisUpper(line.substr(0, 40));
        if (sent) {
            if (state->inAuth) {
                Log::Get().Trace(true, "****");
                continue;
            }
            if (upper.rfind("AUTH ", 0) == 0 || upper.find(" AUTHENTICATE ") != std::string::npos ||
                upper.rfind("PASS ", 0) == 0 || upper.find(" LOGIN ") != std::string::npos) {
                state->inAuth = true;
                std::string_view head = line.substr(0, std::min<size_t>(line.size(), 20));
                // Keep the command word (and an IMAP tag); mask the rest.
                size_t cut = head.find(' ', upper.rfind("AUTH ", 0) == 0 ? 5 : 0);
                if (upper.find(" AUTHENTICATE ") != std::string::npos ||
                    upper.find(" LOGIN ") != std::string::npos)
                    cut = line.find(' ', line.find(' ') + 1);
                Log::Get().Trace(true, std::string(line.substr(
                                           0, cut == std::string_view::npos ? line.size() : cut)) +
                                           " ****");
                continue;
            }
            Log::Get().Trace(true, line);
        } else {
            // A continuation ("+ ..." or a bare "+" in IMAP and POP3, "334" in SMTP) asks for
            // more; "+OK" and every other answer ends the exchange.
            const bool more = upper == "+" || upper == "+\r" || upper.rfind("+ ", 0) == 0 ||
                              upper.rfind("334", 0) == 0;
            if (state->inAuth && !more)
                state->inAuth = false;
            Log::Get().Trace(false, line);
        }
    }
    return 0;
}

thread_local TraceState traceState;

}  // namespace

CurlSession::CurlSession(const ServerConfig& server,
                         const std::string& scheme,
                         const std::string& password)
    : curl_(curl_easy_init())
    , section_(server.section) {
    where_ = server.Where();
    auth_ = server.auth;
    if (!curl_)
        throw TransferError(Failure::Server, "[" + section_ + "] curl could not start");
    const bool tls = server.security == Security::Tls;
    base_ =
        scheme + (tls ? "s" : "") + "://" + server.host + ":" + std::to_string(server.port) + "/";
    CURL* c = C(curl_);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error_);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, static_cast<long>(server.connectTimeout));
    // A server that stops sending for IdleTimeout is taken as gone; a transfer that outlasts
    // MessageTimeout (a trickle) is stopped.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, static_cast<long>(server.idleTimeout));
    curl_easy_setopt(c, CURLOPT_TIMEOUT, static_cast<long>(server.messageTimeout));
    if (server.security == Security::StartTls)
        curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!server.trustCertificate.empty()) {
        curl_easy_setopt(c, CURLOPT_CAINFO, server.trustCertificate.c_str());
        curl_easy_setopt(c, CURLOPT_CAPATH, nullptr);
    }
    if (!server.user.empty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, server.user.c_str());
        if (server.auth == AuthMethod::Password) {
            curl_easy_setopt(c, CURLOPT_PASSWORD, password.c_str());
        } else {
            // The token goes as the bearer; the login options pin the one mechanism, so that a
            // server offering both gets the one asked for, and one offering neither is an error.
            curl_easy_setopt(c, CURLOPT_XOAUTH2_BEARER, password.c_str());
            curl_easy_setopt(
                c, CURLOPT_LOGIN_OPTIONS,
                server.auth == AuthMethod::XOAuth2 ? "AUTH=XOAUTH2" : "AUTH=OAUTHBEARER");
        }
    }
    curl_easy_setopt(c, CURLOPT_VERBOSE, Log::Get().verbose ? 1L : 0L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, Debug);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &traceState);
}

CurlSession::~CurlSession() {
    if (curl_)
        curl_easy_cleanup(C(curl_));
}

void CurlSession::Fail(int code, const std::string& what) {
    const auto result = static_cast<CURLcode>(code);
    std::string message =
        where_ + " " + what + ": " + (error_[0] ? error_ : curl_easy_strerror(result));
    if (result == CURLE_OPERATION_TIMEDOUT)
        message += " (the limits ConnectTimeout, IdleTimeout and MessageTimeout of transfer.INI)";
    Failure kind = Failure::Server;
    if (result == CURLE_LOGIN_DENIED)
        kind = Failure::Auth;
    if (result == CURLE_LOGIN_DENIED && auth_ != AuthMethod::Password)
        message = where_ + " the server refused the access token (" + to_string(auth_) + ": " +
                  (error_[0] ? error_ : curl_easy_strerror(result)) +
                  "); TokenCommand= must print a current token for User=";
    else if (result == CURLE_PEER_FAILED_VERIFICATION || result == CURLE_SSL_CACERT_BADFILE)
        kind = Failure::Certificate;
    throw TransferError(kind, message);
}

std::string CurlSession::Perform(const std::string& path, const std::string& custom, bool noBody) {
    CURL* c = C(curl_);
    std::string body;
    const std::string url = base_ + path;
    error_[0] = 0;
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, custom.empty() ? nullptr : custom.c_str());
    curl_easy_setopt(c, CURLOPT_NOBODY, noBody ? 1L : 0L);
    curl_easy_setopt(c, CURLOPT_UPLOAD, 0L);
    Collected collected{&body, maxBody_};
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &collected);
    CURLcode rc = curl_easy_perform(c);
    if (collected.tooLarge)
        throw TransferError(Failure::Server, "[" + section_ + "] " +
                                                 (custom.empty() ? path : custom) +
                                                 ": the answer is larger than MaxMessageSize (" +
                                                 std::to_string(maxBody_) + " bytes)");
    if (rc != CURLE_OK)
        Fail(rc, custom.empty() ? path : custom);
    return body;
}

namespace {
struct UploadData {
    std::string data;
    size_t pos = 0;
};
size_t ReadUpload(char* buf, size_t size, size_t n, void* user) {
    auto* u = static_cast<UploadData*>(user);
    size_t take = std::min(size * n, u->data.size() - u->pos);
    std::memcpy(buf, u->data.data() + u->pos, take);
    u->pos += take;
    return take;
}
}  // namespace

void CurlSession::Upload(const std::string& path, std::string data) {
    CURL* c = C(curl_);
    UploadData up{std::move(data), 0};
    const std::string url = base_ + path;
    error_[0] = 0;
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, nullptr);
    curl_easy_setopt(c, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_READFUNCTION, ReadUpload);
    curl_easy_setopt(c, CURLOPT_READDATA, &up);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(up.data.size()));
    CURLcode rc = curl_easy_perform(c);
    curl_easy_setopt(c, CURLOPT_UPLOAD, 0L);
    curl_easy_setopt(c, CURLOPT_READDATA, nullptr);
    if (rc != CURLE_OK)
        Fail(rc, "sending");
}

// ---- POP3 ----

Pop3Client::Pop3Client(const MailServer& server, const std::string& password)
    : session_(server, "pop3", password) {
    // Listings are a line a message; a message text stops at the limit plus its framing.
    session_.SetMaxBody(static_cast<uint64_t>(server.maxMessageSize) + (1 << 20));
}

namespace {
// "number text" lines, each to `take`.
template <typename F>
void NumberedLines(const std::string& r, F take) {
    size_t pos = 0;
    while (pos < r.size()) {
        size_t nl = r.find('\n', pos);
        std::string_view line(r.data() + pos, (nl == std::string::npos ? r.size() : nl) - pos);
        pos = nl == std::string::npos ? r.size() : nl + 1;
        line = Trim(line);
        size_t sp = line.find(' ');
        if (sp == std::string_view::npos)
            continue;
        const int number = ToInteger(line.substr(0, sp));
        std::string_view rest = Trim(line.substr(sp + 1));
        if (number > 0 && !rest.empty())
            take(number, rest);
    }
}
}  // namespace

std::vector<Pop3Entry> Pop3Client::List() {
    std::vector<Pop3Entry> out;
    std::string r = session_.Perform("", "UIDL");
    std::unordered_map<int, int64_t> sizes;
    NumberedLines(session_.Perform("", "LIST"),
                  [&](int number, std::string_view size) { sizes[number] = ToInteger64(size); });
    size_t pos = 0;
    while (pos < r.size()) {
        size_t nl = r.find('\n', pos);
        std::string_view line(r.data() + pos, (nl == std::string::npos ? r.size() : nl) - pos);
        pos = nl == std::string::npos ? r.size() : nl + 1;
        line = Trim(line);
        size_t sp = line.find(' ');
        if (sp == std::string_view::npos)
            continue;
        Pop3Entry e;
        e.number = ToInteger(line.substr(0, sp));
        e.uidl = std::string(Trim(line.substr(sp + 1)));
        if (auto it = sizes.find(e.number); it != sizes.end())
            e.size = it->second;
        if (e.number > 0 && !e.uidl.empty())
            out.push_back(std::move(e));
    }
    return out;
}

namespace {
// The "-ERR" line a RETR was answered with: the server refusing the message (curl only says
// that the reply was unexpected). curl then ends the session; the next request opens another.
struct RetrTrace {
    std::string reply;
};
int RetrDebug(CURL* handle, curl_infotype type, char* data, size_t size, void* user) {
    if (type == CURLINFO_HEADER_IN) {
        std::string_view line(data, size);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
        // The refusal, not the QUIT's answer that curl may add after it.
        auto* trace = static_cast<RetrTrace*>(user);
        if (trace->reply.empty() && line.rfind("-ERR", 0) == 0)
            trace->reply = std::string(line.substr(0, 300));
    }
    return Debug(handle, type, data, size, &traceState);
}
}  // namespace

std::string Pop3Client::Retrieve(int number) {
    CURL* c = static_cast<CURL*>(session_.Handle());
    RetrTrace trace;
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, RetrDebug);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &trace);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    auto restore = [&] {
        curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, Debug);
        curl_easy_setopt(c, CURLOPT_DEBUGDATA, &traceState);
        curl_easy_setopt(c, CURLOPT_VERBOSE, Log::Get().verbose ? 1L : 0L);
    };
    try {
        std::string text = session_.Perform(std::to_string(number));
        restore();
        return text;
    } catch (const TransferError& e) {
        restore();
        if (e.kind() == Failure::Server && trace.reply.rfind("-ERR", 0) == 0)
            throw Pop3Refused{trace.reply};
        throw;
    }
}

void Pop3Client::Delete(int number) {
    session_.Perform(std::to_string(number), "DELE", true);
}

// ---- SMTP ----

std::vector<std::string> Addresses(const std::string& value) {
    return DeliverableAddresses(value, Text::Bytes);
}

namespace {

// What the SMTP exchange of one message said last: the command sent and the reply to it,
// and the first command the server refused with the reply it gave. Credentials are never
// kept (an AUTH command by its name only, the lines that answer a 334 not at all).
struct SmtpTrace {
    std::string command;
    std::string reply;
    std::string refusedCommand;
    std::string refusedReply;
    bool credentials = false;
};

int SmtpDebug(CURL* handle, curl_infotype type, char* data, size_t size, void* user) {
    auto* t = static_cast<SmtpTrace*>(user);
    std::string_view text(data, size);
    while ((type == CURLINFO_HEADER_OUT || type == CURLINFO_HEADER_IN) && !text.empty()) {
        const size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (type == CURLINFO_HEADER_OUT) {
            const std::string upper = SjisUpper(line.substr(0, 5));
            if (upper.rfind("AUTH", 0) == 0)
                t->command = "AUTH";
            else if (!t->credentials)
                t->command = std::string(line.substr(0, 200));
            t->reply.clear();
            continue;
        }
        if (!t->reply.empty())
            t->reply += " / ";
        t->reply += std::string(line.substr(0, 300));
        // The last line of a reply has a blank (or nothing) after its code.
        const bool last = line.size() < 4 || line[3] != '-';
        if (!last)
            continue;
        t->credentials = line.rfind("334", 0) == 0;
        if ((line[0] == '4' || line[0] == '5') && t->refusedCommand.empty()) {
            t->refusedCommand = t->command;
            t->refusedReply = t->reply;
        }
    }
    return Debug(handle, type, data, size, &traceState);
}

}  // namespace

Envelope EnvelopeOf(const std::string& message) {
    std::vector<std::string> header = HeaderLines(NormalizeLineEnds(message));
    Envelope env;
    std::vector<std::string> from = Addresses(Unfold(HeaderListValue(header, "From")));
    if (!from.empty())
        env.from = from.front();
    for (const char* field : {"To", "Cc", "Bcc"})
        for (std::string& a : Addresses(Unfold(HeaderListValue(header, field))))
            env.to.push_back(std::move(a));
    return env;
}

SmtpClient::SmtpClient(const ServerConfig& server, const std::string& password)
    : session_(server, "smtp", password) {}

void SmtpClient::Send(const std::string& message) {
    Envelope env = EnvelopeOf(message);
    if (env.from.empty() || env.to.empty())
        throw TransferError(Failure::Server, "the message has no From: or no recipient");
    // The text as sent: CR LF line ends, Bcc: (and its continuation lines) left out of the
    // header. curl doubles leading dots itself.
    struct {
        std::string data;
    } up;
    std::string text = NormalizeLineEnds(message);
    bool inHeader = true;
    bool skipping = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string line = text.substr(pos, nl - pos);
        pos = nl + 1;
        if (inHeader) {
            if (line.empty()) {
                inHeader = false;
            } else if (line[0] == ' ' || line[0] == '\t') {
                if (skipping)
                    continue;
            } else {
                skipping = SjisLower(line.substr(0, 4)) == "bcc:";
                if (skipping)
                    continue;
            }
        }
        up.data += line + "\r\n";
    }
    CURL* c = static_cast<CURL*>(session_.Handle());
    curl_slist* rcpt = nullptr;
    for (const std::string& to : env.to) rcpt = curl_slist_append(rcpt, ("<" + to + ">").c_str());
    const std::string from = "<" + env.from + ">";
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt);
    // The exchange is watched, so that a refusal can name the command and the server's words
    // (curl itself only says that a command failed); --verbose tracing goes on as before.
    SmtpTrace trace;
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, SmtpDebug);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &trace);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    auto restore = [&] {
        curl_easy_setopt(c, CURLOPT_MAIL_RCPT, nullptr);
        curl_slist_free_all(rcpt);
        curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, Debug);
        curl_easy_setopt(c, CURLOPT_DEBUGDATA, &traceState);
        curl_easy_setopt(c, CURLOPT_VERBOSE, Log::Get().verbose ? 1L : 0L);
    };
    try {
        session_.Upload("localhost", std::move(up.data));
    } catch (const TransferError& e) {
        restore();
        if (trace.refusedCommand.empty())
            throw;
        throw TransferError(e.kind(), std::string(e.what()) + " - the server refused " +
                                          trace.refusedCommand + ": " + trace.refusedReply);
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

}  // namespace pelorin::transfer
