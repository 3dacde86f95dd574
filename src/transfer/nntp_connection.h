// The TCP connection our NNTP and IMAP clients talk over, plain or TLS (OpenSSL), with TLS
// either from the first byte (NNTPS, IMAPS) or started later (STARTTLS). It reads lines and
// byte counts (IMAP literals) and writes bytes.
//
// Certificates: the server's chain is verified against the system's store (OpenSSL's default
// paths), or, when the server's TrustCertificate= names a PEM file, against that file alone;
// the name in the certificate must match the host we dialled (a DNS name, or an IP address
// for a numeric host). TLS 1.2 is the lowest version offered. A failed verification is a
// TransferError of kind Certificate that names OpenSSL's reason.
//
// Time: the socket never blocks; every wait is a poll() bounded by the server's limits
// (config.h). Connecting and the TLS handshake must end within ConnectTimeout; a read or a
// write that sees nothing for IdleTimeout fails; and once StartAnswer() is called, the answer
// must be complete within MessageTimeout, so that a server sending a byte a second cannot
// hold the run. Each failure is a TransferError of kind Server that names the server and the
// limit ("[imap work] host:993: no answer for 120 seconds (IdleTimeout)"); a connection the
// server closes is "connection closed by the server".
//
// Memory: a line is at most `maxLine` bytes (a longer one is a protocol error, not unbounded
// memory); byte counts are handed on in pieces or skipped, never gathered here.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace pelorin::transfer {

struct ServerConfig;

class LineConnection {
public:
    static constexpr size_t kMaxLine = 1 << 20;

    // Connects to the server; with Security tls, the TLS handshake follows at once.
    explicit LineConnection(const ServerConfig& server);
    ~LineConnection();
    LineConnection(const LineConnection&) = delete;
    LineConnection& operator=(const LineConnection&) = delete;

    // Starts TLS on the open connection (after the server agreed to STARTTLS).
    void StartTls();
    // One line without its line end (CR LF or LF).
    std::string ReadLine(size_t maxLine = kMaxLine);
    // Exactly `size` bytes, handed to `sink` in pieces as they come; without a sink they are
    // read and dropped.
    void ReadBytes(uint64_t size, const std::function<void(std::string_view)>& sink);
    void Write(std::string_view bytes);
    // The answer that follows (to a command, or one message of a pipelined answer) must be
    // whole within MessageTimeout from now.
    void StartAnswer();
    // No deadline but the idle one.
    void EndAnswer();

    [[noreturn]] void Fail(const std::string& what);

private:
    using Clock = std::chrono::steady_clock;
    void Close();
    size_t Receive(char* buf, size_t size);
    // Waits until the socket is readable (`out` false) or writable; throws on a timeout.
    void Wait(bool out);
    void Handshake();

    const ServerConfig& server_;
    int fd_ = -1;
    SSL_CTX* ctx_ = nullptr;
    SSL* ssl_ = nullptr;
    std::string buffer_;  // bytes received but not yet returned
    size_t start_ = 0;    // buffer_ before this was returned already
    Clock::time_point deadline_ = Clock::time_point::max();
    bool connecting_ = false;  // the connect limit applies instead of the idle one
};

// The NNTP client's name for it.
using NntpConnection = LineConnection;

}  // namespace pelorin::transfer
