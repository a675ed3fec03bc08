// listen against the simulated device's long port on 127.0.0.1, and against ports that refuse,
// stay silent or hang up.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <ctime>
#include <map>
#include <memory>
#include <thread>

#include "cli/listen_report.h"
#include "cli_test_support.h"
#include "sim/device_simulator.h"
#include "sim/simulator_thread.h"

namespace {

const char kConnectFail[] = "Connect fail, Please Check the IP/Username/Password/LongPort !";

std::string ShippedFile(const std::string& interfaceName) {
    return SourceFolder() + "/protocol_long/Subscribe/SUBSCRIBE_" + interfaceName + "_test.xml";
}

size_t Count(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

// The words of a line, split at blanks.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start < line.size()) {
        const size_t end = std::min(line.find(' ', start), line.size());
        words.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

// How often each content occurs among the files.
std::map<std::string, int> Contents(const std::vector<std::string>& files) {
    std::map<std::string, int> contents;
    for (const std::string& file : files)
        ++contents[ReadWholeFile(file)];
    return contents;
}

// A loopback port that takes connections into its backlog and never answers; with hangUp,
// every connection is accepted and closed at once.
class QuietPort {
  public:
    explicit QuietPort(bool hangUp) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(fd_, 4) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        if (hangUp) {
            acceptor_ = std::thread([fd = fd_] {
                const int client = accept(fd, nullptr, nullptr);
                if (client >= 0)
                    close(client);
            });
        }
    }
    ~QuietPort() {
        if (fd_ >= 0) {
            shutdown(fd_, SHUT_RDWR);  // wakes a waiting accept
            if (acceptor_.joinable())
                acceptor_.join();
            close(fd_);
        }
    }
    int Port() const { return port_; }

  private:
    int fd_ = -1;
    int port_ = 0;
    std::thread acceptor_;
};

class CliListenTest : public testing::Test {
  protected:
    // A device that pushes `events` events (face match and perimeter in turn) as fast as they
    // are read, and records what it sends into record_.
    bool StartDevice(int events) {
        SimulatorOptions options;
        options.eventCount = events;
        options.eventRate = 0;
        options.recordFolder = QString::fromStdString(record_.Path());
        sim_ = std::make_unique<SimulatorThread>(options);
        QString error;
        return sim_->start(&error);
    }

    std::vector<std::string> ListenArgs(std::vector<std::string> extra) const {
        std::vector<std::string> args = {"listen",      ShippedFile("SetSubscribe"),
                                         "--ip",        "127.0.0.1",
                                         "--home",      home_.Path(),
                                         "--long-port", std::to_string(sim_->longPort())};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    int OpenConnections() {
        int count = -1;
        sim_->invoke([&count](DeviceSimulator& d) { count = d.longConnectionCount(); });
        return count;
    }

    std::string Log() const { return ReadWholeFile(home_.Path() + "/ApiLog.txt"); }
    std::string Sent() const { return ReadWholeFile(record_.Path() + "/long-sent.bin"); }

    TempHome home_;
    TempHome record_;
    std::unique_ptr<SimulatorThread> sim_;
};

TEST_F(CliListenTest, FollowUpIsAnsweredAndEveryPushedPictureIsFiled) {
    ASSERT_TRUE(StartDevice(4));
    const CliRun run = RunCli(
        ListenArgs({"--then", ShippedFile("GetSubscribeInfo"), "--seconds", "2"}), home_.Path());
    ASSERT_EQ(run.status, kExitOk) << run.err;

    // The log holds exactly what the device sent, and the follow-up was answered as one that
    // carries the subscription's address (a wrong address is refused).
    const std::string log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log, Sent());
    EXPECT_EQ(Count(log, "<serverAddress"), 2u);  // the subscribe answer and the info answer
    EXPECT_EQ(Count(log, "Unknown serverAddress"), 0u);
    EXPECT_EQ(Count(log, "POST /"), 4u);

    // The subscribe answer comes first; the info answer may come among the events, which
    // alternate between the two smart types.
    const std::vector<std::string> lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 6u) << run.out;
    EXPECT_EQ(lines[0].rfind("response length=", 0), 0u) << lines[0];
    std::vector<std::string> printed;
    size_t events = 0;
    for (const std::string& line : lines) {
        const std::vector<std::string> words = Words(line);
        ASSERT_GE(words.size(), 2u);
        if (words[0] == "response") {
            EXPECT_EQ(words.size(), 2u) << line;
            continue;
        }
        ASSERT_EQ(words.size(), 7u) << line;
        EXPECT_EQ(words[0], "event");
        EXPECT_EQ(words[2], events++ % 2 == 0 ? "smartType=VFD_MATCH" : "smartType=PEA");
        EXPECT_EQ(words[3], "pictures=3");
        for (size_t k = 4; k < words.size(); ++k) {
            const std::string& path = words[k];
            EXPECT_EQ(path.rfind(home_.Path() + "/pic/" + words[2].substr(10) + "/", 0), 0u)
                << path;
            EXPECT_TRUE(PathExists(path)) << path;
            printed.push_back(path);
        }
        // The length is the whole message's, headers and body.
        const size_t length = std::stoul(words[1].substr(7));
        EXPECT_GT(length, 1000u);
    }
    EXPECT_EQ(events, 4u);
    std::sort(printed.begin(), printed.end());
    const std::vector<std::string> filed = FilesBelow(home_.Path() + "/pic");
    EXPECT_EQ(printed, filed);
    // The pictures filed are the pictures the device sent, byte for byte.
    const std::vector<std::string> sentPictures = FilesBelow(record_.Path() + "/pictures");
    EXPECT_EQ(sentPictures.size(), 12u);
    EXPECT_EQ(Contents(filed), Contents(sentPictures));
}

TEST_F(CliListenTest, InterruptionDisconnectsAndClosesTheLog) {
    ASSERT_TRUE(StartDevice(2));
    int waits = 0;
    const auto start = std::chrono::steady_clock::now();
    const CliRun run = RunCli(ListenArgs({}), home_.Path(), [&waits](std::chrono::milliseconds d) {
        std::this_thread::sleep_for(d);
        return ++waits == 20;  // Ctrl-C after about a second
    });
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(waits, 20);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(Log(), Sent());  // complete on disk: the log was closed
    EXPECT_EQ(Count(run.out, "event "), 2u) << run.out;
    // The device sees the connection go.
    for (int i = 0; i < 100 && OpenConnections() != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(OpenConnections(), 0);
}

TEST_F(CliListenTest, RefusedConnectionFailsWithTheWindowsTextAndNoLog) {
    const int port = DeadLoopbackPort();
    ASSERT_NE(port, 0);
    const CliRun run = RunCli({"listen", ShippedFile("SetSubscribe"), "--ip", "127.0.0.1",
                               "--long-port", std::to_string(port), "--seconds", "5"},
                              home_.Path());
    EXPECT_EQ(run.status, kExitFailed);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(kConnectFail), std::string::npos) << run.err;
    EXPECT_FALSE(PathExists(home_.Path() + "/ApiLog.txt"));
}

TEST_F(CliListenTest, CheckedFieldsAndUnreadableFilesStopBeforeConnecting) {
    QuietPort port(false);
    ASSERT_NE(port.Port(), 0);
    const std::vector<std::string> base = {
        "listen",      ShippedFile("SetSubscribe"), "--ip",      "127.0.0.1",
        "--long-port", std::to_string(port.Port()), "--seconds", "5"};
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--password", ""}, "Please input password"},
        {{"--user", ""}, "Please input username"},
        {{"--ip", "0.0.0.0"}, "Please input device's IP"},
        {{"--then", home_.Path() + "/missing.xml"}, "cannot read the request file"},
        {{"--then", home_.Write("empty.xml", "")}, "cannot read the request file"},
    };
    for (const auto& [extra, message] : cases) {
        std::vector<std::string> args = base;
        args.insert(args.end(), extra.begin(), extra.end());
        const auto start = std::chrono::steady_clock::now();
        const CliRun run = RunCli(args, home_.Path());
        EXPECT_EQ(run.status, kExitFailed) << message;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        // Nothing was waited for: no connection was made to wait on.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << message;
    }
}

TEST_F(CliListenTest, SilentOrHangingUpDeviceGivesNoAnswer) {
    {
        QuietPort silent(false);
        ASSERT_NE(silent.Port(), 0);
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t processorStart = std::clock();
        // Without an interruption source the wait sleeps rather than spins.
        const CliRun run = RunCli({"listen", ShippedFile("SetSubscribe"), "--ip", "127.0.0.1",
                                   "--long-port", std::to_string(silent.Port()), "--seconds", "1"},
                                  home_.Path(), InterruptWait{});
        EXPECT_LT(std::clock() - processorStart, CLOCKS_PER_SEC / 4);
        EXPECT_EQ(run.status, kExitFailed);
        EXPECT_NE(run.err.find("no answer to"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("in time"), std::string::npos) << run.err;
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, std::chrono::milliseconds(900));
        EXPECT_LT(took, std::chrono::seconds(5));
    }
    {
        QuietPort hangUp(true);
        ASSERT_NE(hangUp.Port(), 0);
        const CliRun run = RunCli({"listen", ShippedFile("SetSubscribe"), "--ip", "127.0.0.1",
                                   "--long-port", std::to_string(hangUp.Port()), "--seconds", "5"},
                                  home_.Path());
        EXPECT_EQ(run.status, kExitFailed);
        EXPECT_NE(run.err.find("the device closed the connection"), std::string::npos) << run.err;
    }
}

TEST(CliMessageLineTest, LinesNameKindLengthTypeAndPictures) {
    MessageReport event;
    event.kind = MessageKind::Event;
    event.length = 512;
    event.complete = true;
    event.decoded = true;
    event.smartType = "PEA";
    event.pictures = {"/h/pic/PEA/a.jpg", "/h/pic/PEA/b.jpg"};
    EXPECT_EQ(FormatMessageLine(event),
              "event length=512 smartType=PEA pictures=2 /h/pic/PEA/a.jpg /h/pic/PEA/b.jpg");
    event.pictures.clear();
    event.smartType.clear();
    event.complete = false;
    EXPECT_EQ(FormatMessageLine(event), "event length=512 smartType= pictures=0 incomplete");

    MessageReport response;
    response.kind = MessageKind::Response;
    response.length = 40;
    response.complete = true;
    response.smartType = "ignored";
    EXPECT_EQ(FormatMessageLine(response), "response length=40");
    MessageReport other;
    other.length = 3;
    other.complete = true;
    EXPECT_EQ(FormatMessageLine(other), "other length=3");
}

}  // namespace
