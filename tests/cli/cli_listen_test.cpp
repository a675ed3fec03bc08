// listen against the simulated long port on 127.0.0.1, and against ports that refuse, stay
// silent or hang up.
#include <gtest/gtest.h>

#include <ctime>
#include <map>

#include "cli/listen_report.h"
#include "cli_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> ListenArgs(const std::string& port, std::vector<std::string> extra) {
    std::vector<std::string> args = {
        "listen", ShippedFile("SetSubscribe"), "--ip", "127.0.0.1", "--long-port", port};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

// How often each content occurs among the files.
std::map<std::string, int> Contents(const std::vector<std::string>& files) {
    std::map<std::string, int> contents;
    for (const std::string& file : files)
        ++contents[ReadWholeFile(file)];
    return contents;
}

}  // namespace

TEST(CliListen, FollowUpIsAnsweredAndEveryPushedPictureIsFiled) {
    TempFolder home, record;
    SimulatorOptions options;
    options.eventCount = 4;
    options.eventRate = 0;
    const auto sim = StartDevice(options, &record);
    ASSERT_TRUE(sim);
    const CliRun run =
        RunCli(ListenArgs(std::to_string(sim->longPort()),
                          {"--then", ShippedFile("GetSubscribeInfo"), "--seconds", "2"}),
               home.Path());
    ASSERT_EQ(run.status, kExitOk) << run.err;
    // The log holds exactly what the device sent; the follow-up carried the right address.
    const std::string log = ReadWholeFile(home.Path() + "/ApiLog.txt");
    EXPECT_FALSE(log.empty());
    EXPECT_EQ(log, ReadWholeFile(record.Path() + "/long-sent.bin"));
    EXPECT_EQ(log.find("Unknown serverAddress"), std::string::npos);
    // One line per message: two answers, four events of three pictures each.
    std::istringstream lines(run.out);
    std::vector<std::string> printed;
    int responses = 0, events = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string kind, length, type, pictures;
        words >> kind >> length >> type >> pictures;
        EXPECT_GT(std::stoul(length.substr(7)), 0u) << line;
        responses += kind == "response";
        events += kind == "event";
        EXPECT_EQ(pictures, kind == "event" ? "pictures=3" : "") << line;
        for (std::string path; words >> path;)
            printed.push_back(path);
    }
    EXPECT_EQ(run.out.rfind("response length=", 0), 0u) << run.out;
    EXPECT_EQ(responses, 2);
    EXPECT_EQ(events, 4);
    std::sort(printed.begin(), printed.end());
    EXPECT_EQ(printed, FilesBelow(home.Path() + "/pic"));
    // The pictures filed are the pictures the device sent, byte for byte.
    EXPECT_EQ(printed.size(), 12u);
    EXPECT_EQ(Contents(printed), Contents(FilesBelow(record.Path() + "/pictures")));
}

TEST(CliListen, RefusedConnectionCheckedFieldsAndUnreadableFilesFailAtOnce) {
    TempFolder home;
    LoopbackPort quiet(LoopbackPort::Silent), dead(LoopbackPort::Dead);
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {ListenArgs(dead.Port(), {}),
         "Connect fail, Please Check the IP/Username/Password/LongPort !"},
        {ListenArgs(quiet.Port(), {"--password", ""}), "Please input password"},
        {ListenArgs(quiet.Port(), {"--user", ""}), "Please input username"},
        {ListenArgs(quiet.Port(), {"--ip", "0.0.0.0"}), "Please input device's IP"},
        {ListenArgs(quiet.Port(), {"--then", home.Path() + "/none.xml"}),
         "cannot read the request"},
        {ListenArgs(quiet.Port(), {"--then", home.WriteFile("e.xml", "")}),
         "cannot read the request"}};
    for (const auto& [args, message] : cases) {
        const auto start = Clock::now();
        const CliRun run = RunCli(args, home.Path());
        EXPECT_EQ(run.status, kExitFailed) << message;
        EXPECT_EQ(run.out, "") << message;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(2)) << message;  // no waiting
    }
    EXPECT_FALSE(std::filesystem::exists(home.Path() + "/ApiLog.txt"));
}

TEST(CliListen, SilentOrHangingUpDeviceGivesNoAnswer) {
    TempFolder home;
    LoopbackPort silent(LoopbackPort::Silent), hangUp(LoopbackPort::HangUp);
    const auto start = Clock::now();
    const std::clock_t processorStart = std::clock();
    // Without an interruption source the wait sleeps rather than spins.
    const CliRun quiet = RunCli(ListenArgs(silent.Port(), {"--seconds", "1"}), home.Path());
    EXPECT_LT(std::clock() - processorStart, CLOCKS_PER_SEC / 4);
    EXPECT_EQ(quiet.status, kExitFailed);
    EXPECT_NE(quiet.err.find("no answer to"), std::string::npos) << quiet.err;
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    const CliRun closed = RunCli(ListenArgs(hangUp.Port(), {"--seconds", "5"}), home.Path());
    EXPECT_EQ(closed.status, kExitFailed);
    EXPECT_NE(closed.err.find("the device closed the connection"), std::string::npos) << closed.err;
}

TEST(CliListen, MessageLinesNameKindLengthTypeAndPictures) {
    MessageReport event;  // incomplete unless marked complete
    event.kind = MessageKind::Event;
    event.length = 512;
    event.smartType = "PEA";
    event.pictures = {"/h/a.jpg", "/h/b.jpg"};
    EXPECT_EQ(FormatMessageLine(event),
              "event length=512 smartType=PEA pictures=2 /h/a.jpg /h/b.jpg incomplete");
    MessageReport other;
    other.length = 3;
    other.complete = true;
    EXPECT_EQ(FormatMessageLine(other), "other length=3");
}
