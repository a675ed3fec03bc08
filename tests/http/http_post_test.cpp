#include "request/http_post.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <thread>

#include "support/test_support.h"

namespace {

const HttpLibrary kHttp;

// A one-shot HTTP peer: reads the request until 300 ms of quiet, answers in pieces 30 ms apart.
std::future<std::string> Serve(LoopbackListener& listener, std::vector<std::string> pieces) {
    return std::async(std::launch::async, [&listener, pieces] {
        const int conn = listener.Accept(10000);
        std::string request;
        char buf[4096];
        pollfd in{conn, POLLIN, 0};
        for (ssize_t n;
             conn >= 0 && poll(&in, 1, 300) == 1 && (n = recv(conn, buf, sizeof buf, 0)) > 0;) {
            request.append(buf, n);
        }
        for (const std::string& piece : pieces) {
            WriteAll(conn, piece);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        close(conn);
        return request;
    });
}

}  // namespace

TEST(HttpPost, SendsThePostAsComposedReturnsTheAnswerWholeOrFailsWithAReason) {
    const std::string body = "<config>\xe5\xbc\xa0</config>";  // bytes go out unconverted
    LoopbackListener listener;
    const std::string port = std::to_string(listener.Port());
    auto served = Serve(listener, {"HTTP/1.1 200 OK\r\nContent-Length: 30\r\n\r\n", "first-ten-",
                                   "second-ten", "-third-ten"});
    HttpOutcome got = HttpPost("127.0.0.1", port, "admin", "739184", "GetImageConfig/1", body);
    EXPECT_TRUE(got.completed) << got.error;
    EXPECT_EQ(got.body, "first-ten-second-ten-third-ten");
    EXPECT_EQ(got.StatusText() + "|" + got.error + "|" + got.auth, "200 OK||");
    EXPECT_GE(got.elapsedMs, 60);  // the pieces came 30 ms apart
    const std::string req = served.get();
    EXPECT_EQ(req.rfind("POST /GetImageConfig/1 HTTP/1.1\r\n", 0), 0u) << req;
    for (const std::string& line :
         {"Host: 127.0.0.1:" + port, std::string("Content-type:text/plain; charset=UTF-8"),
          "Content-Length: " + std::to_string(body.size())}) {
        EXPECT_NE(req.find("\r\n" + line + "\r\n"), std::string::npos) << line << " in " << req;
    }
    EXPECT_EQ(req.substr(req.find("\r\n\r\n") + 4), body);
    // An error status is a completed transfer with its body; an empty body says its status.
    served = Serve(listener, {"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\n", "not here!"});
    got = HttpPost("127.0.0.1", port, "admin", "x", "Nothing", "");
    EXPECT_TRUE(got.completed && got.body == "not here!" && got.StatusText() == "404 Not Found");
    served = Serve(listener, {"HTTP/1.1 204\r\n\r\n"});
    got = HttpPost("127.0.0.1", port, "admin", "x", "Nothing", "");
    EXPECT_TRUE(got.completed && got.Bytes() == 0 && got.StatusText() == "204");
    const std::string dead = std::to_string(DeadPort());
    for (const auto& [ip, port] : {std::pair<std::string, std::string>{"127.0.0.1", dead},
                                   {"bad host name", "80"},
                                   {"127.0.0.1", "99999999999"}}) {
        const HttpOutcome got = HttpPost(ip, port, "admin", "739184", "GetDeviceInfo", "");
        EXPECT_FALSE(got.completed) << ip << ":" << port;
        EXPECT_TRUE(got.body.empty() && got.status == 0 && !got.error.empty()) << got.error;
    }
    const char* rows[][2] = {
        {"54321", "http://h:54321/x"}, {"8080abc", "http://h:8080/x"},
        {"port", "http://h:0/x"},      {"70000", "http://h:70000/x"},
        {" -5", "http://h:-5/x"},      {"99999999999", "http://h:99999999999/x"}};
    for (const auto& row : rows)
        EXPECT_EQ(ShortPostUrl("h", row[0], "x"), row[1]) << row[0];
    char data[] = "bcdef";
    EXPECT_EQ(CurlWriteCallback(data, 1, 5, nullptr), 5u);  // dropped
}
