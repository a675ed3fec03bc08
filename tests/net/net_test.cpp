// Host texts, and TCP connects by name, IPv4 and IPv6 literal on loopback, with a limit and a
// cancel.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "net/host_text.h"
#include "net/tcp_connect.h"
#include "support/test_support.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A listener on a loopback address of either family.
class Listener {
  public:
    explicit Listener(int family) : fd_(socket(family, SOCK_STREAM, 0)) {
        sockaddr_storage address{};
        socklen_t size;
        if (family == AF_INET6) {
            auto& a = reinterpret_cast<sockaddr_in6&>(address);
            a.sin6_family = AF_INET6;
            a.sin6_addr = in6addr_loopback;
            size = sizeof a;
        } else {
            auto& a = reinterpret_cast<sockaddr_in&>(address);
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            size = sizeof a;
        }
        auto* any = reinterpret_cast<sockaddr*>(&address);
        if (bind(fd_.Get(), any, size) == 0 && listen(fd_.Get(), 8) == 0 &&
            getsockname(fd_.Get(), any, &size) == 0) {
            port_ = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                                             : reinterpret_cast<sockaddr_in&>(address).sin_port);
        }
    }
    unsigned short Port() const { return port_; }

  private:
    UniqueFd fd_;
    unsigned short port_ = 0;
};

// A host name that fails at once, without a query leaving the machine: its first label is
// longer than a DNS label may be.
const std::string kUnresolvable = std::string(70, 'n') + ".invalid";

TEST(HostText, Ipv6LiteralsGetBracketsEverythingElseStays) {
    const std::vector<std::vector<std::string>> rows = {
        // host, URL, Host header
        {"192.168.1.100", "192.168.1.100", "192.168.1.100"},
        {"localhost", "localhost", "localhost"},
        {"fd00::5", "[fd00::5]", "[fd00::5]"},
        {"fe80::1%eth0", "[fe80::1%25eth0]", "[fe80::1]"},
        {"::ffff:10.0.0.1", "[::ffff:10.0.0.1]", "[::ffff:10.0.0.1]"},
        {"1:2", "1:2", "1:2"},  // no address
        {"", "", ""}};
    for (const auto& row : rows) {
        EXPECT_EQ(UrlHostText(row[0]) + " " + HostHeaderText(row[0]), row[1] + " " + row[2]);
    }
}

TEST(TcpConnect, LiteralsNamesAndFailuresSayWhatHappened) {
    Listener v4(AF_INET), v6(AF_INET6);
    const unsigned short dead = [] { return Listener(AF_INET).Port(); }();
    const struct {
        std::string host;
        unsigned short port;
        TcpConnectStatus status;
        std::string error;  // the start of it
    } rows[] = {
        {"127.0.0.1", v4.Port(), TcpConnectStatus::Connected, ""},
        {"::1", v6.Port(), TcpConnectStatus::Connected, ""},
        {"localhost", v4.Port(), TcpConnectStatus::Connected, ""},  // the resolver's order
        {"127.0.0.1", dead, TcpConnectStatus::Failed, "Connection refused"},
        {kUnresolvable, v4.Port(), TcpConnectStatus::Unresolved, "Could not resolve host: n"},
    };
    for (const auto& row : rows) {
        const TcpConnectOutcome got = ConnectTcp(row.host, row.port, 5s, nullptr);
        EXPECT_EQ(got.status, row.status) << row.host << " " << got.error;
        EXPECT_EQ(got.error.substr(0, row.error.size()), row.error);
        EXPECT_EQ(static_cast<bool>(got.socket), row.status == TcpConnectStatus::Connected);
    }
}

TEST(TcpConnect, AHangingConnectEndsAtItsLimitOrAtOnceWhenCancelled) {
    FullListener full;
    auto start = Clock::now();
    TcpConnectOutcome got = ConnectTcp("127.0.0.1", full.Port(), 300ms, nullptr);
    EXPECT_EQ(got.status, TcpConnectStatus::TimedOut);
    EXPECT_EQ(got.error, "Connection timed out after 300 ms");
    EXPECT_GE(Clock::now() - start, 300ms);

    CancelSignal cancel;
    std::thread canceller([&] {
        std::this_thread::sleep_for(100ms);
        cancel.Cancel();
    });
    start = Clock::now();
    got = ConnectTcp("127.0.0.1", full.Port(), 10s, &cancel);
    const auto took = Clock::now() - start;
    canceller.join();
    EXPECT_EQ(got.status, TcpConnectStatus::Cancelled);
    EXPECT_LT(took, 300ms);
    EXPECT_FALSE(got.socket);
    // A cancel that came first ends a name lookup as well; Reset takes it back.
    EXPECT_EQ(ConnectTcp(kUnresolvable, 1, 10s, &cancel).status, TcpConnectStatus::Cancelled);
    cancel.Reset();
    EXPECT_EQ(ConnectTcp(kUnresolvable, 1, 10s, &cancel).status, TcpConnectStatus::Unresolved);
}

}  // namespace
