// LineConnection: see nntp_connection.h.
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
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pelorin::transfer {
namespace {

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

LineConnection::LineConnection(const ServerConfig& server)
    : server_(server) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    const std::string port = std::to_string(server.port);
    if (int rc = ::getaddrinfo(server.host.c_str(), port.c_str(), &hints, &res); rc != 0)
        throw TransferError(Failure::Server,
                            "[" + server.section + "] " + server.host + ": " + gai_strerror(rc));
    // Connecting and the handshake share one limit.
    connecting_ = true;
    deadline_ = Clock::now() + std::chrono::seconds(server.connectTimeout);
    std::string lastError = "no address";
    try {
        for (addrinfo* a = res; a && fd_ < 0; a = a->ai_next) {
            int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                              a->ai_protocol);
            if (fd < 0)
                continue;
            fd_ = fd;
            int rc = ::connect(fd, a->ai_addr, a->ai_addrlen);
            if (rc != 0 && errno == EINPROGRESS) {
                Wait(true);
                int error = 0;
                socklen_t len = sizeof error;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
                rc = error == 0 ? 0 : -1;
                errno = error;
            }
            if (rc != 0) {
                lastError = std::strerror(errno);
                ::close(fd);
                fd_ = -1;
            }
        }
        ::freeaddrinfo(res);
        res = nullptr;
        if (fd_ < 0)
            throw TransferError(Failure::Server, server.Where() + ": " + lastError);
        if (server.security == Security::Tls)
            Handshake();
    } catch (...) {
        // A constructor that throws runs no destructor: release the socket and TLS state here.
        if (res)
            ::freeaddrinfo(res);
        Close();
        throw;
    }
    connecting_ = false;
    deadline_ = Clock::time_point::max();
}

LineConnection::~LineConnection() {
    Close();
}

void LineConnection::Close() {
    if (ssl_) {
        // Non-blocking: the close notice goes if it can, and we do not wait for the answer.
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

void LineConnection::Fail(const std::string& what) {
    throw TransferError(Failure::Server, server_.Where() + ": " + what);
}

void LineConnection::StartAnswer() {
    deadline_ = Clock::now() + std::chrono::seconds(server_.messageTimeout);
}

void LineConnection::EndAnswer() {
    deadline_ = Clock::time_point::max();
}

void LineConnection::Wait(bool out) {
    const auto now = Clock::now();
    const int idle = connecting_ ? server_.connectTimeout : server_.idleTimeout;
    auto limit = now + std::chrono::seconds(idle);
    const bool byDeadline = deadline_ <= limit;
    if (byDeadline)
        limit = deadline_;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(limit - Clock::now()).count();
        int ready = 0;
        if (left > 0) {
            pollfd p{fd_, static_cast<short>(out ? POLLOUT : POLLIN), 0};
            ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1 << 30)));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0)
                Fail(std::string("poll: ") + std::strerror(errno));
        }
        if (ready > 0)
            return;
        if (connecting_)
            Fail("no connection within " + std::to_string(server_.connectTimeout) +
                 " seconds (ConnectTimeout)");
        if (byDeadline)
            Fail("the answer took longer than " + std::to_string(server_.messageTimeout) +
                 " seconds (MessageTimeout)");
        Fail("no answer for " + std::to_string(idle) + " seconds (IdleTimeout)");
    }
}

void LineConnection::StartTls() {
    // Bytes that came before the handshake were not protected by it: taking them as the
    // answer to a later command would let anyone on the path speak for the server.
    if (buffer_.size() > start_)
        Fail("the server sent more than its answer to STARTTLS");
    connecting_ = true;
    deadline_ = Clock::now() + std::chrono::seconds(server_.connectTimeout);
    Handshake();
    connecting_ = false;
    deadline_ = Clock::time_point::max();
}

void LineConnection::Handshake() {
    const std::string where = "[" + server_.section + "] ";
    ctx_ = SSL_CTX_new(TLS_client_method());
    if (!ctx_)
        Fail("TLS could not start: " + SslErrors());
    SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
    SSL_CTX_set_mode(ctx_, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
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
    for (;;) {
        const int rc = SSL_connect(ssl_);
        if (rc == 1)
            break;
        const int err = SSL_get_error(ssl_, rc);
        if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE) {
            Wait(err == SSL_ERROR_WANT_WRITE);
            continue;
        }
        const long verify = SSL_get_verify_result(ssl_);
        if (verify != X509_V_OK)
            throw TransferError(Failure::Certificate, where +
                                                          "the server's certificate was refused: " +
                                                          X509_verify_cert_error_string(verify));
        Fail("TLS handshake failed: " + SslErrors());
    }
}

size_t LineConnection::Receive(char* buf, size_t size) {
    // A server that never stops sending meets the deadline here; one that trickles, in Wait.
    if (deadline_ != Clock::time_point::max() && Clock::now() > deadline_)
        Fail("the answer took longer than " + std::to_string(server_.messageTimeout) +
             " seconds (MessageTimeout)");
    for (;;) {
        if (ssl_) {
            const int n = SSL_read(ssl_, buf, static_cast<int>(std::min<size_t>(size, 1 << 30)));
            if (n > 0)
                return static_cast<size_t>(n);
            const int err = SSL_get_error(ssl_, n);
            if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE) {
                Wait(err == SSL_ERROR_WANT_WRITE);
                continue;
            }
            if (err == SSL_ERROR_ZERO_RETURN || (err == SSL_ERROR_SYSCALL && errno == 0))
                Fail("connection closed by the server");
            if (err == SSL_ERROR_SYSCALL && errno == EINTR)
                continue;
            Fail("connection lost: " +
                 (err == SSL_ERROR_SYSCALL ? std::string(std::strerror(errno)) : SslErrors()));
        }
        const ssize_t n = ::recv(fd_, buf, size, 0);
        if (n > 0)
            return static_cast<size_t>(n);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            Wait(false);
            continue;
        }
        if (n == 0)
            Fail("connection closed by the server");
        Fail(std::string("connection lost: ") + std::strerror(errno));
    }
}

std::string LineConnection::ReadLine(size_t maxLine) {
    size_t searched = start_;
    for (;;) {
        const size_t nl = buffer_.find('\n', searched);
        if (nl != std::string::npos) {
            size_t end = nl;
            if (end > start_ && buffer_[end - 1] == '\r')
                --end;
            std::string line = buffer_.substr(start_, end - start_);
            start_ = nl + 1;
            if (start_ == buffer_.size()) {
                buffer_.clear();
                start_ = 0;
            }
            return line;
        }
        searched = buffer_.size();
        if (buffer_.size() - start_ > maxLine)
            Fail("the server sent a line longer than " + std::to_string(maxLine >> 10) + " KiB");
        if (start_ > 0) {
            buffer_.erase(0, start_);
            searched -= start_;
            start_ = 0;
        }
        char buf[65536];
        const size_t n = Receive(buf, sizeof buf);
        buffer_.append(buf, n);
    }
}

void LineConnection::ReadBytes(uint64_t size, const std::function<void(std::string_view)>& sink) {
    while (size > 0) {
        if (buffer_.size() > start_) {
            const size_t take =
                static_cast<size_t>(std::min<uint64_t>(size, buffer_.size() - start_));
            if (sink)
                sink(std::string_view(buffer_).substr(start_, take));
            start_ += take;
            size -= take;
            if (start_ == buffer_.size()) {
                buffer_.clear();
                start_ = 0;
            }
            continue;
        }
        char buf[65536];
        const size_t n = Receive(buf, sizeof buf);
        buffer_.append(buf, n);
    }
}

void LineConnection::Write(std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        if (ssl_) {
            const int n =
                SSL_write(ssl_, bytes.data() + done,
                          static_cast<int>(std::min<size_t>(bytes.size() - done, 1 << 30)));
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            const int err = SSL_get_error(ssl_, n);
            if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE) {
                Wait(err == SSL_ERROR_WANT_WRITE);
                continue;
            }
            Fail("connection lost while sending: " +
                 (err == SSL_ERROR_SYSCALL ? std::string(std::strerror(errno)) : SslErrors()));
        }
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            Wait(true);
            continue;
        }
        if (n <= 0)
            Fail(std::string("connection lost while sending: ") + std::strerror(errno));
        done += static_cast<size_t>(n);
    }
}

}  // namespace pelorin::transfer
