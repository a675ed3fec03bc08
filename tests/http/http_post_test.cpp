#include "request/http_post.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <thread>
#include <vector>

namespace {

struct CurlEnvironment : ::testing::Environment {
    void SetUp() override { curl_global_init(CURL_GLOBAL_DEFAULT); }
    void TearDown() override { curl_global_cleanup(); }
};
const auto* const kCurlEnvironment = ::testing::AddGlobalTestEnvironment(new CurlEnvironment);

// A socket on a free 127.0.0.1 port; listening unless `listening` is false.
int LoopbackSocket(int& port, bool listening = true) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    if (listening)
        listen(s, 1);
    return s;
}

// A one-shot HTTP peer: takes one connection, reads until the client has been quiet for
// 300 ms (the whole request), then writes the answer pieces with a pause between them.
class ScriptedPeer {
  public:
    explicit ScriptedPeer(std::vector<std::string> pieces) : listener_(LoopbackSocket(port_)) {
        thread_ = std::thread([this, pieces] {
            pollfd pfd{listener_, POLLIN, 0};
            const int conn = poll(&pfd, 1, 10000) == 1 ? accept(listener_, nullptr, nullptr) : -1;
            char buf[4096];
            pollfd cpfd{conn, POLLIN, 0};
            for (ssize_t n = 0;
                 conn >= 0 && poll(&cpfd, 1, 300) == 1 && (n = recv(conn, buf, sizeof buf, 0)) > 0;)
                request_.append(buf, n);
            for (const std::string& piece : pieces) {
                send(conn, piece.data(), piece.size(), MSG_NOSIGNAL);
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
            }
            close(conn);
        });
    }
    ~ScriptedPeer() {
        thread_.join();
        close(listener_);
    }
    std::string Port() const { return std::to_string(port_); }
    // The request as received; complete once the post returned.
    const std::string& Request() const { return request_; }

  private:
    int port_ = 0, listener_;
    std::string request_;
    std::thread thread_;
};

}  // namespace

TEST(ShortPostUrl, PrintsThePortAsTheWholeNumber) {
    const char* rows[][2] = {
        {"54321", "http://h:54321/x"}, {"8080abc", "http://h:8080/x"},
        {"port", "http://h:0/x"},      {"70000", "http://h:70000/x"},
        {" -5", "http://h:-5/x"},      {"99999999999", "http://h:99999999999/x"}};
    for (const auto& row : rows)
        EXPECT_EQ(ShortPostUrl("h", row[0], "x"), row[1]) << row[0];
    EXPECT_EQ(ShortPostUrl("10.1.2.3", "80", "GetImageConfig/1"),
              "http://10.1.2.3:80/GetImageConfig/1");
    std::string out = "a";
    char data[] = "bcdef";
    EXPECT_EQ(CurlWriteCallback(data, 1, 5, nullptr), 5u);  // dropped
    EXPECT_EQ(CurlWriteCallback(data, 2, 2, &out), 4u);
    EXPECT_EQ(out, "abcde");
}

TEST(HttpPost, SendsThePostAsComposedAndReturnsAChunkedAnswerWhole) {
    const std::string body = "<config>\xe5\xbc\xa0</config>";  // bytes go out unconverted
    ScriptedPeer peer({"HTTP/1.1 200 OK\r\nContent-Length: 30\r\n\r\n", "first-ten-", "second-ten",
                       "-third-ten"});
    std::string response = "stale", error = "stale";
    ASSERT_EQ(HttpPost("127.0.0.1", peer.Port(), "admin", "739184", "GetImageConfig/1", body,
                       response, error),
              1)
        << error;
    EXPECT_EQ(response, "first-ten-second-ten-third-ten");
    EXPECT_EQ(error, "");
    const std::string& req = peer.Request();
    EXPECT_EQ(req.rfind("POST /GetImageConfig/1 HTTP/1.1\r\n", 0), 0u) << req;
    for (const std::string& line :
         {"Host: 127.0.0.1:" + peer.Port(), std::string("Content-type:text/plain; charset=UTF-8"),
          "Content-Length: " + std::to_string(body.size())})
        EXPECT_NE(req.find("\r\n" + line + "\r\n"), std::string::npos) << line << " in " << req;
    EXPECT_EQ(req.substr(req.find("\r\n\r\n") + 4), body);
}

TEST(HttpPost, AnErrorStatusIsACompletedTransferWithItsBody) {
    ScriptedPeer peer({"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\n", "not here!"});
    std::string response = "stale";
    EXPECT_EQ(HttpPost("127.0.0.1", peer.Port(), "admin", "x", "Nothing", "", response), 1);
    EXPECT_EQ(response, "not here!");
}

TEST(HttpPost, DeadPortBadHostAndOutOfRangePortGiveZeroAndAReason) {
    int port = 0;
    close(LoopbackSocket(port, false));  // bound, never listened, closed
    const std::pair<std::string, std::string> rows[] = {
        {"127.0.0.1", std::to_string(port)}, {"bad host name", "80"}, {"127.0.0.1", "99999999999"}};
    for (const auto& [ip, shortPort] : rows) {
        std::string response = "stale", error;
        EXPECT_EQ(HttpPost(ip, shortPort, "admin", "739184", "GetDeviceInfo", "", response, error),
                  0)
            << ip << ":" << shortPort;
        EXPECT_EQ(response, "");
        EXPECT_NE(error, "");
    }
}
