// A line-oriented TCP connection for our NNTP client, plain or TLS (OpenSSL), with TLS either
// from the first byte (NNTPS) or started later (STARTTLS).
//
// Certificates: the server's chain is verified against the system's store (OpenSSL's default
// paths), or, when the server's TrustCertificate= names a PEM file, against that file alone;
// the name in the certificate must match the host we dialled (a DNS name, or an IP address
// for a numeric host). TLS 1.2 is the lowest version offered. A failed verification is a
// TransferError of kind Certificate that names OpenSSL's reason.
//
// Reads and writes time out after 60 seconds of silence; a connection the server closes is a
// TransferError of kind Server ("connection closed by the server"). Lines are at most 1 MiB
// (a longer one is a protocol error rather than unbounded memory).
#pragma once

#include <memory>
#include <string>
#include <string_view>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace pelorin::transfer {

struct ServerConfig;

class NntpConnection {
public:
    // Connects to the server; with Security tls, the TLS handshake follows at once.
    explicit NntpConnection(const ServerConfig& server);
    ~NntpConnection();
    NntpConnection(const NntpConnection&) = delete;
    NntpConnection& operator=(const NntpConnection&) = delete;

    // Starts TLS on the open connection (after the server's 382 to STARTTLS).
    void StartTls();
    // One line without its line end (CR LF or LF).
    std::string ReadLine();
    void Write(std::string_view bytes);

private:
    void Fail(const std::string& what);
    void Close();
    size_t Receive(char* buf, size_t size);

    const ServerConfig& server_;
    int fd_ = -1;
    SSL_CTX* ctx_ = nullptr;
    SSL* ssl_ = nullptr;
    std::string buffer_;  // bytes received but not yet returned
};

}  // namespace pelorin::transfer
