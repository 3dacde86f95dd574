// The NNTP connection against a scripted server on 127.0.0.1: an answer to STARTTLS with more
// bytes behind it is refused before the handshake, so nothing unprotected passes for a reply.
#include "transfer/config.h"
#include "transfer/errors.h"
#include "transfer/nntp_client.h"

#include <arpa/inet.h>
#include <csignal>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace pelorin::transfer {
namespace {

// Accepts one connection, sends `greeting`, then one reply per command line it reads, and
// closes the connection after the last reply.
class ScriptedServer {
public:
    ScriptedServer(std::string greeting, std::vector<std::string> replies) {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
            ::listen(listen_, 1) != 0 ||
            ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return;
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this, greeting = std::move(greeting), replies = std::move(replies)] {
            const int fd = ::accept(listen_, nullptr, nullptr);
            if (fd < 0)
                return;
            (void)::send(fd, greeting.data(), greeting.size(), MSG_NOSIGNAL);
            for (const std::string& reply : replies) {
                char c = 0;
                while (::recv(fd, &c, 1, 0) == 1 && c != '\n') {
                }
                (void)::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
            }
            ::close(fd);
        });
    }
    ~ScriptedServer() {
        ::shutdown(listen_, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        ::close(listen_);
    }
    int Port() const { return port_; }

private:
    int listen_ = -1;
    int port_ = 0;
    std::thread thread_;
};

TEST(NntpConnection, BytesBehindTheStarttlsAnswerAreRefused) {
    std::signal(SIGPIPE, SIG_IGN);  // as pelorin-transfer does: a closed peer is an error
    ScriptedServer server("200 hello\r\n", {"200 reader\r\n", "382 go ahead\r\n281 welcome\r\n"});
    ASSERT_NE(server.Port(), 0);
    NewsServer config;
    config.section = "news test";
    config.host = "127.0.0.1";
    config.port = server.Port();
    config.security = Security::StartTls;
    try {
        NntpClient client(config, "");
        FAIL() << "the connection was taken";
    } catch (const TransferError& e) {
        EXPECT_EQ(e.kind(), Failure::Server);
        EXPECT_NE(std::string(e.what()).find("STARTTLS"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace pelorin::transfer
