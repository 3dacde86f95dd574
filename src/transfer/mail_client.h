// Mail over libcurl: POP3 fetching, SMTP submission (IMAP has a client of its own,
// imap_client.h). One curl handle per server, so
// the connection (and, for POP3, its message numbering) lasts the whole session.
//
// TLS: "tls" uses imaps/pop3s/smtps URLs; "starttls" the plain scheme with TLS required
// (CURLUSESSL_ALL: a server without STARTTLS is an error, never a silent fallback to plain
// text). The peer's certificate and host name are always verified, against the system's store
// or, with TrustCertificate=, against that file alone.
//
// Signing in: the user and password (the server's mechanisms, best first), or with
// Auth=xoauth2 / oauthbearer the access token as a bearer, with that one mechanism.
//
// Limits: ConnectTimeout= bounds connecting, IdleTimeout= a silence (curl's low-speed limit
// of one byte a second), MessageTimeout= each transfer as a whole; a POP3 message is never
// gathered past MaxMessageSize (the transfer stops with an error instead).
//
// Failures come back as TransferError: a refused login is Failure::Auth, a refused
// certificate Failure::Certificate, anything else Failure::Server - with curl's words and the
// server's last reply, never the password.
#pragma once

#include "transfer/config.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace pelorin::transfer {

class CurlSession {
public:
    // `scheme` is the plain scheme ("imap", "pop3", "smtp"); the TLS one is chosen from the
    // server's Security.
    CurlSession(const ServerConfig& server, const std::string& scheme, const std::string& password);
    ~CurlSession();
    CurlSession(const CurlSession&) = delete;
    CurlSession& operator=(const CurlSession&) = delete;

    // Runs one request on `path` (after "scheme://host:port/"), with an optional custom
    // command; returns what the server sent as the body. `noBody` for commands with a
    // one-line answer (POP3 DELE).
    std::string Perform(const std::string& path,
                        const std::string& custom = "",
                        bool noBody = false);
    // Uploads `data` (an SMTP submission: MAIL FROM and RCPT TO set on the handle first).
    void Upload(const std::string& path, std::string data);
    void* Handle() { return curl_; }
    // Bodies longer than this stop the transfer with an error (0: no limit).
    void SetMaxBody(uint64_t bytes) { maxBody_ = bytes; }
    // Turns a failed curl call into the TransferError it means.
    [[noreturn]] void Fail(int code, const std::string& what);

private:
    void* curl_ = nullptr;
    std::string base_;  // "imaps://host:port/"
    std::string section_;
    std::string where_;  // "[section] host:port", how errors name the server
    uint64_t maxBody_ = 0;
    AuthMethod auth_ = AuthMethod::Password;
    char error_[256] = {};
};

// ---- POP3 ----
struct Pop3Entry {
    int number = 0;     // message number in this session
    std::string uidl;   // the server's unique id
    int64_t size = -1;  // octets as LIST gives them; -1 when LIST did not say
};

// RETR answered "-ERR": the server will not give this message now; the session goes on.
struct Pop3Refused {
    std::string reply;  // the server's line, "-ERR ..."
};

class Pop3Client {
public:
    Pop3Client(const MailServer& server, const std::string& password);
    // UIDL, with the sizes of LIST.
    std::vector<Pop3Entry> List();
    // The text of a message; throws Pop3Refused when the server refuses it, TransferError
    // for anything else.
    std::string Retrieve(int number);
    // Marks a message for deletion; the server deletes it when the session ends (QUIT).
    void Delete(int number);

private:
    CurlSession session_;
};

// ---- SMTP ----
// The envelope of a message: the sender from From:, the recipients from To:, Cc: and Bcc:.
struct Envelope {
    std::string from;
    std::vector<std::string> to;
};
Envelope EnvelopeOf(const std::string& message);
// The deliverable addresses of a header value ("A <a@x>, b@y, "Name, Q" <c@z>", groups
// "team: a@x, b@y;" too), read by the address-list parser (store/address_list.h).
std::vector<std::string> Addresses(const std::string& value);

class SmtpClient {
public:
    SmtpClient(const ServerConfig& server, const std::string& password);
    // Submits one message (LF or CR LF line ends; Bcc: lines are left out of what is sent).
    // Returns when the server accepted it; throws TransferError otherwise, naming the command
    // the server refused (MAIL FROM, RCPT TO:<address>, DATA ...) with its code and text.
    void Send(const std::string& message);

private:
    CurlSession session_;
};

}  // namespace pelorin::transfer
