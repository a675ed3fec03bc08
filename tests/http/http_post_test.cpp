#include "request/http_post.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

class CurlEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { curl_global_init(CURL_GLOBAL_DEFAULT); }
    void TearDown() override { curl_global_cleanup(); }
};
const auto* const kCurlEnvironment = ::testing::AddGlobalTestEnvironment(new CurlEnvironment);

// A one-shot HTTP peer on 127.0.0.1: accepts one connection, reads one request (headers plus
// Content-Length bytes), then writes the scripted answer pieces with a pause between them.
class ScriptedPeer {
  public:
    explicit ScriptedPeer(std::vector<std::string> pieces) : pieces_(std::move(pieces)) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(listener_, 1);
        socklen_t len = sizeof addr;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~ScriptedPeer() {
        thread_.join();
        close(listener_);
    }
    int port() const { return port_; }
    // The request as received; valid after the post returned.
    const std::string& request() const { return request_; }

  private:
    void Serve() {
        pollfd pfd{listener_, POLLIN, 0};
        if (poll(&pfd, 1, 10000) != 1)
            return;
        const int conn = accept(listener_, nullptr, nullptr);
        if (conn < 0)
            return;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        char buf[4096];
        while (std::chrono::steady_clock::now() < deadline && !RequestComplete()) {
            pollfd cpfd{conn, POLLIN, 0};
            if (poll(&cpfd, 1, 1000) != 1)
                continue;
            const ssize_t n = recv(conn, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            request_.append(buf, n);
        }
        for (const std::string& piece : pieces_) {
            send(conn, piece.data(), piece.size(), MSG_NOSIGNAL);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        shutdown(conn, SHUT_RDWR);
        close(conn);
    }
    bool RequestComplete() const {
        const auto end = request_.find("\r\n\r\n");
        if (end == std::string::npos)
            return false;
        const auto cl = request_.find("Content-Length: ");
        const size_t length = cl == std::string::npos ? 0 : std::stoul(request_.substr(cl + 16));
        return request_.size() >= end + 4 + length;
    }

    std::vector<std::string> pieces_;
    int listener_ = -1;
    int port_ = 0;
    std::string request_;
    std::thread thread_;
};

// A loopback port with nothing listening on it: bound, never listened, then closed.
int DeadPort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    close(s);
    return ntohs(addr.sin_port);
}

}  // namespace

TEST(ShortPostUrl, PrintsThePortAsTheWholeNumber) {
    EXPECT_EQ(ShortPostUrl("10.1.2.3", "80", "GetDeviceInfo"), "http://10.1.2.3:80/GetDeviceInfo");
    EXPECT_EQ(ShortPostUrl("10.1.2.3", "54321", "GetImageConfig/1"),
              "http://10.1.2.3:54321/GetImageConfig/1");
    // atoi: leading digits count, anything else gives 0; no range check.
    EXPECT_EQ(ShortPostUrl("h", "8080abc", "x"), "http://h:8080/x");
    EXPECT_EQ(ShortPostUrl("h", "port", "x"), "http://h:0/x");
    EXPECT_EQ(ShortPostUrl("h", "70000", "x"), "http://h:70000/x");
    EXPECT_EQ(ShortPostUrl("h", " -5", "x"), "http://h:-5/x");
    EXPECT_EQ(ShortPostUrl("h", "99999999999", "x"), "http://h:99999999999/x");
}

TEST(CurlWriteCallback, AppendsEveryPieceAndReportsItsSize) {
    std::string out = "a";
    char data[] = "bcdef";
    EXPECT_EQ(CurlWriteCallback(data, 1, 3, &out), 3u);
    EXPECT_EQ(CurlWriteCallback(data + 3, 2, 1, &out), 2u);
    EXPECT_EQ(out, "abcdef");
    EXPECT_EQ(CurlWriteCallback(data, 1, 5, nullptr), 5u);
}

TEST(HttpPost, SendsThePostAsComposedAndReturnsAChunkedAnswerWhole) {
    const std::string body = "<config>\xe5\xbc\xa0</config>";  // bytes go out unconverted
    ScriptedPeer peer({"HTTP/1.1 200 OK\r\nContent-Length: 30\r\n\r\n", "first-ten-", "second-ten",
                       "-third-ten"});
    std::string response, error;
    ASSERT_EQ(HttpPost("127.0.0.1", std::to_string(peer.port()), "admin", "739184",
                       "GetImageConfig/1", body, response, error),
              1)
        << error;
    EXPECT_EQ(response, "first-ten-second-ten-third-ten");
    EXPECT_TRUE(error.empty());

    const std::string& req = peer.request();
    EXPECT_EQ(req.rfind("POST /GetImageConfig/1 HTTP/1.1\r\n", 0), 0u) << req;
    EXPECT_NE(req.find("\r\nHost: 127.0.0.1:" + std::to_string(peer.port()) + "\r\n"),
              std::string::npos);
    EXPECT_NE(req.find("\r\nContent-type:text/plain; charset=UTF-8\r\n"), std::string::npos);
    EXPECT_NE(req.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(req.substr(req.find("\r\n\r\n") + 4), body);
}

TEST(HttpPost, AnErrorStatusIsACompletedTransferWithItsBody) {
    const std::string html = "<html><body>401 Unauthorized</body></html>";
    ScriptedPeer peer({"HTTP/1.1 404 Not Found\r\nContent-Length: " + std::to_string(html.size()) +
                       "\r\n\r\n" + html});
    std::string response = "stale";
    EXPECT_EQ(
        HttpPost("127.0.0.1", std::to_string(peer.port()), "admin", "x", "Nothing", "", response),
        1);
    EXPECT_EQ(response, html);
}

TEST(HttpPost, NothingListeningGivesZeroAnEmptyResponseAndAnErrorText) {
    std::string response = "stale", error;
    EXPECT_EQ(HttpPost("127.0.0.1", std::to_string(DeadPort()), "admin", "739184", "GetDeviceInfo",
                       "", response, error),
              0);
    EXPECT_TRUE(response.empty());
    EXPECT_FALSE(error.empty());
}

TEST(HttpPost, ABadUrlGivesZero) {
    std::string response, error;
    EXPECT_EQ(HttpPost("bad host name", "80", "u", "p", "x", "", response, error), 0);
    EXPECT_FALSE(error.empty());
    // A port out of range is refused before anything is sent.
    EXPECT_EQ(HttpPost("127.0.0.1", "99999999999", "u", "p", "x", "", response, error), 0);
    EXPECT_FALSE(error.empty());
}
