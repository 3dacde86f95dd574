// NntpConnection: see nntp_connection.h.
#include "transfer/nntp_connection.h"

#include "transfer/config.h"
#include "transfer/errors.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace pelorin::transfer {
namespace {

constexpr size_t kMaxLine = 1 << 20;

bool IsNumericHost(const std::string& host) {
    unsigned char buf[sizeof(in6_addr)];
    return ::inet_pton(AF_INET, host.c_str(), buf) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

std::string SslErrors() {
    std::string out;
    while (unsigned long e = ERR_get_error()) {
        char buf[256];
        ERR_error_string_n(e, buf, sizeof buf);
        if (!out.empty())
            out += "; ";
        out += buf;
    }
    return out;
}

}  // namespace

NntpConnection::NntpConnection(const ServerConfig& server)
    : server_(server) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    const std::string port = std::to_string(server.port);
    if (int rc = ::getaddrinfo(server.host.c_str(), port.c_str(), &hints, &res); rc != 0)
        throw TransferError(Failure::Server,
                            "[" + server.section + "] " + server.host + ": " + gai_strerror(rc));
    int lastErrno = 0;
    for (addrinfo* a = res; a && fd_ < 0; a = a->ai_next) {
        int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        timeval tv{60, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
            fd_ = fd;
        } else {
            lastErrno = errno;
            ::close(fd);
        }
    }
    ::freeaddrinfo(res);
    if (fd_ < 0)
        throw TransferError(Failure::Server, "[" + server.section + "] " + server.host + ":" +
                                                 port + ": " + std::strerror(lastErrno));
    if (server.security == Security::Tls) {
        // A constructor that throws runs no destructor: release the socket and TLS state here.
        try {
            StartTls();
        } catch (...) {
            Close();
            throw;
        }
    }
}

NntpConnection::~NntpConnection() {
    Close();
}

void NntpConnection::Close() {
    if (ssl_) {
        SSL_shutdown(ssl_);
        SSL_free(ssl_);
        ssl_ = nullptr;
    }
    if (ctx_) {
        SSL_CTX_free(ctx_);
        ctx_ = nullptr;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void NntpConnection::Fail(const std::string& what) {
    throw TransferError(Failure::Server, "[" + server_.section + "] " + what);
}

void NntpConnection::StartTls() {
    const std::string where = "[" + server_.section + "] ";
    // Bytes that came before the handshake were not protected by it: taking them as the
    // answer to a later command would let anyone on the path speak for the server.
    if (!buffer_.empty())
        Fail("the server sent more than its answer to STARTTLS");
    ctx_ = SSL_CTX_new(TLS_client_method());
    if (!ctx_)
        Fail("TLS could not start: " + SslErrors());
    SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
    SSL_CTX_set_verify(ctx_, SSL_VERIFY_PEER, nullptr);
    if (!server_.trustCertificate.empty()) {
        if (SSL_CTX_load_verify_locations(ctx_, server_.trustCertificate.c_str(), nullptr) != 1)
            throw TransferError(Failure::Certificate,
                                where + "TrustCertificate=" + server_.trustCertificate +
                                    " cannot be read: " + SslErrors());
    } else if (SSL_CTX_set_default_verify_paths(ctx_) != 1) {
        Fail("the system's certificate store cannot be read: " + SslErrors());
    }
    ssl_ = SSL_new(ctx_);
    if (!ssl_)
        Fail("TLS could not start: " + SslErrors());
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
    if (IsNumericHost(server_.host)) {
        X509_VERIFY_PARAM_set1_ip_asc(param, server_.host.c_str());
    } else {
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        SSL_set1_host(ssl_, server_.host.c_str());
        SSL_set_tlsext_host_name(ssl_, server_.host.c_str());
    }
    SSL_set_fd(ssl_, fd_);
    if (SSL_connect(ssl_) != 1) {
        const long verify = SSL_get_verify_result(ssl_);
        if (verify != X509_V_OK)
            throw TransferError(Failure::Certificate, where +
                                                          "the server's certificate was refused: " +
                                                          X509_verify_cert_error_string(verify));
        Fail("TLS handshake failed: " + SslErrors());
    }
}

size_t NntpConnection::Receive(char* buf, size_t size) {
    for (;;) {
        if (ssl_) {
            int n = SSL_read(ssl_, buf, static_cast<int>(size));
            if (n > 0)
                return static_cast<size_t>(n);
            int err = SSL_get_error(ssl_, n);
            if (err == SSL_ERROR_ZERO_RETURN || (err == SSL_ERROR_SYSCALL && errno == 0))
                Fail("connection closed by the server");
            if (err == SSL_ERROR_SYSCALL && errno == EINTR)
                continue;
            Fail("connection lost: " +
                 (err == SSL_ERROR_SYSCALL ? std::string(std::strerror(errno)) : SslErrors()));
        }
        ssize_t n = ::recv(fd_, buf, size, 0);
        if (n > 0)
            return static_cast<size_t>(n);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            Fail("connection closed by the server");
        Fail(std::string("connection lost: ") +
             (errno == EAGAIN ? "no answer for 60 seconds" : std::strerror(errno)));
    }
}

std::string NntpConnection::ReadLine() {
    for (;;) {
        size_t nl = buffer_.find('\n');
        if (nl != std::string::npos) {
            std::string line = buffer_.substr(0, nl);
            buffer_.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return line;
        }
        if (buffer_.size() > kMaxLine)
            Fail("the server sent a line longer than 1 MiB");
        char buf[16384];
        size_t n = Receive(buf, sizeof buf);
        buffer_.append(buf, n);
    }
}

void NntpConnection::Write(std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        if (ssl_) {
            int n = SSL_write(ssl_, bytes.data() + done,
                              static_cast<int>(std::min<size_t>(bytes.size() - done, 1 << 30)));
            if (n <= 0)
                Fail("connection lost while sending: " + SslErrors());
            done += static_cast<size_t>(n);
        } else {
            ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                Fail(std::string("connection lost while sending: ") + std::strerror(errno));
            done += static_cast<size_t>(n);
        }
    }
}

}  // namespace pelorin::transfer
