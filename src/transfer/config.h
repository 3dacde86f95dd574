// The settings of pelorin-transfer: $PELORIN_HOME/transfer.INI, read with the project's INI
// class (TIniF). One section per server:
//
//   [General]      Packet= (where fetch appends), Outbound= (where send looks for REPLIES)
//   [news NAME]    Host, Port, Security, User, password keys, TrustCertificate, Groups,
//                  Summary (groups fetched as summaries), SummaryLines, FirstFetch, Post
//   [imap NAME]    Host, Port, Security, User, password keys, TrustCertificate, Mailbox, Area,
//                  AfterFetch (keep|seen)
//   [pop3 NAME]    Host, Port, Security, User, password keys, TrustCertificate, Area,
//                  AfterFetch (keep|delete)
//   [smtp]         Host, Port, Security, User, password keys, TrustCertificate
//
// Security is "tls" (TLS from the first byte: NNTPS 563, IMAPS 993, POP3S 995, SMTPS 465),
// "starttls" (the plain port, then STARTTLS/STLS; the default for SMTP on 587) or "none".
// TrustCertificate names a PEM file holding the one certificate (or authority) this server's
// certificate is checked against instead of the system's store: the explicit way to accept a
// self-signed server. Without it the system store decides and an unknown certificate is
// refused.
//
// Passwords: PasswordCommand= (its standard output, first line, is the password: `pass show
// mail`, `secret-tool lookup ...`), PasswordEnv= (the name of an environment variable), or a
// plain Password= - the last one only while transfer.INI is readable and writable by its owner
// alone; otherwise the settings are refused with a message that says so. A password is never
// printed, not even in --verbose traces.
//
// Signing in with an access token instead of a password, as the large providers want:
// Auth=xoauth2 or Auth=oauthbearer (RFC 7628) with TokenCommand= (a program that prints a
// current access token, first line of its output; the user's own helper, which may refresh
// the token first). The token is handled like a password: never printed, never traced.
// Auth=password (the default) signs in with the password keys above; news servers know only
// that one.
//
// Values may carry a comment after a blank: "Port=1119   ; the test server" (not
// PasswordCommand, whose shell command may hold " ;", nor Password, taken exactly).
//
// Limits, in each server section or once in [General] for all: ConnectTimeout= (seconds to
// connect and finish TLS, default 30), IdleTimeout= (seconds of silence while an answer is
// awaited, default 120), MessageTimeout= (seconds one answer or one message may take from its
// first byte to its last, default 900: a server that trickles cannot hold a run forever) and
// MaxMessageSize= (bytes, with an optional K, M or G; default 256M): a larger message is left
// on the server, said so, and tried again on the next run.
//
// Bad input: an unknown Security, Auth or AfterFetch value, Auth=xoauth2 or oauthbearer
// without User= or TokenCommand=, a TrustCertificate= file that cannot be read, a server without Host, or a port that is
// not a number between 1 and 65535 is a ConfigError naming the section and key.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin::transfer {

struct ConfigError {
    std::string message;  // UTF-8, for the terminal
};

enum class Security { Tls, StartTls, None };

// How a server is signed in to: a password, or an access token (XOAUTH2, OAUTHBEARER).
enum class AuthMethod { Password, XOAuth2, OAuthBearer };

struct ServerConfig {
    std::string section;  // the section's name, e.g. "news main"
    std::string name;     // the part after the kind, e.g. "main"
    std::string host;     //
    int port = 0;         // 0 until the kind's default is filled in
    Security security = Security::Tls;
    std::string user;                        // empty: no authentication
    std::string passwordCommand;             // PasswordCommand=
    std::string passwordEnv;                 // PasswordEnv=
    std::string password;                    // Password= (only from an owner-only file)
    AuthMethod auth = AuthMethod::Password;  // Auth=
    std::string tokenCommand;                // TokenCommand=: prints the access token
    std::string trustCertificate;            // PEM file to check the server's certificate against
    // Limits (seconds, bytes), from the section or else [General]:
    int connectTimeout = 30;   // ConnectTimeout=: to open the connection and finish TLS
    int idleTimeout = 120;     // IdleTimeout=: silence while an answer is awaited
    int messageTimeout = 900;  // MessageTimeout=: one answer or one message, start to end
    int64_t maxMessageSize = int64_t{256} << 20;  // MaxMessageSize=: larger stays on the server
    // "[section] host:port", the way errors name the server.
    std::string Where() const;
};

struct NewsServer : ServerConfig {
    std::vector<std::string> groups;         // newsgroups to fetch, in this order
    std::vector<std::string> summaryGroups;  // of those, the ones fetched as summaries
    int summaryLines = 20;                   // body lines a summary keeps
    int firstFetch = 100;                    // articles taken from a group never fetched before
    bool post = false;                       // news replies go to this server
    bool IsSummary(std::string_view group) const;
};

enum class MailProtocol { Imap, Pop3 };

struct MailServer : ServerConfig {
    MailProtocol protocol = MailProtocol::Imap;
    std::string mailbox = "INBOX";  // IMAP folder
    std::string area = "mail";      // area name in the packet
    bool markSeen = false;          // IMAP AfterFetch=seen
    bool deleteAfter = false;       // POP3 AfterFetch=delete
};

struct TransferConfig {
    std::string path;         // the settings file (on-disk path)
    std::string packetDir;    // [General] Packet
    std::string outboundDir;  // [General] Outbound
    std::vector<NewsServer> news;
    std::vector<MailServer> mail;
    bool hasSmtp = false;
    ServerConfig smtp;
    bool fileIsPrivate = false;  // readable and writable by its owner alone

    // The server that takes news posts: the first with Post=Y, else the first one; null when
    // there is none.
    const NewsServer* PostServer() const;
};

// The settings file of this installation: $PELORIN_HOME/transfer.INI, else
// ~/.config/pelorin/transfer.INI.
std::string DefaultConfigPath();

// Reads the settings file. Throws ConfigError when it is missing or malformed.
TransferConfig LoadConfig(const std::string& path);

// The secret a server is signed in with: for Auth=password its password, from its command,
// its variable or its Password= key; for Auth=xoauth2 and oauthbearer the access token that
// TokenCommand= prints. Throws ConfigError (without the secret in the message) when none can be
// had, or when Password= is set in a file others can read.
std::string ResolvePassword(const ServerConfig& server, const TransferConfig& config);

// "TLS", "STARTTLS", "plain".
const char* to_string(Security security);
// "password", "XOAUTH2", "OAUTHBEARER".
const char* to_string(AuthMethod auth);

}  // namespace pelorin::transfer
