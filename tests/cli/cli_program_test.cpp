// The tessaly-cli program itself: exit statuses, and Ctrl-C ending a listen cleanly.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "cli_test_support.h"
#include "sim/device_simulator.h"

namespace {

using Clock = std::chrono::steady_clock;

// Starts tessaly-cli with its standard output and error going to `folder`/out and /err.
pid_t Spawn(std::vector<std::string> args, const std::string& folder) {
    args.insert(args.begin(), TESSALY_CLI_PROGRAM);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string out = folder + "/out", err = folder + "/err";
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

// The exit status; -1 when a signal ended the program; -2, the program killed, when it ran on
// past `limit`.
int WaitExit(pid_t pid, std::chrono::milliseconds limit) {
    int status = 0;
    for (const auto end = Clock::now() + limit; waitpid(pid, &status, WNOHANG) != pid;) {
        if (Clock::now() >= end) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return -2;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(CliProgram, ExitStatusesOfUsageAndOfACompletedCommand) {
    TempFolder io;
    EXPECT_EQ(WaitExit(Spawn({"--frobnicate"}, io.Path()), std::chrono::seconds(10)), kExitUsage);
    EXPECT_NE(ReadWholeFile(io.Path() + "/err").find("unknown option --frobnicate"),
              std::string::npos);
    EXPECT_EQ(ReadWholeFile(io.Path() + "/out"), "");
    // Without --home the folder beside the program is used, where the build puts the shipped
    // request folders.
    EXPECT_EQ(WaitExit(Spawn({"catalogue"}, io.Path()), std::chrono::seconds(10)), kExitOk);
    EXPECT_NE(ReadWholeFile(io.Path() + "/out").find("Subscribe\n  SUBSCRIBE_"), std::string::npos);
}

TEST(CliProgram, CtrlCEndsListenDisconnectedWithACompleteLog) {
    TempFolder home, record, io;
    SimulatorOptions options;
    options.eventCount = 1000;
    options.eventRate = 20;
    const auto sim = StartDevice(options, &record);
    ASSERT_TRUE(sim);
    const pid_t pid =
        Spawn({"listen", ShippedFile("SetSubscribe"), "--ip", "127.0.0.1", "--long-port",
               std::to_string(sim->longPort()), "--home", home.Path(), "--seconds", "60"},
              io.Path());
    const auto eventSeen = [&io] {
        return ReadWholeFile(io.Path() + "/out").find("\nevent ") != std::string::npos;
    };
    for (const auto end = Clock::now() + std::chrono::seconds(20);
         !eventSeen() && Clock::now() < end;)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(eventSeen()) << ReadWholeFile(io.Path() + "/err");
    kill(pid, SIGINT);
    EXPECT_EQ(WaitExit(pid, std::chrono::seconds(3)), kExitOk);
    // Every byte read before the disconnect is on disk; the device may have sent more since.
    const std::string log = ReadWholeFile(home.Path() + "/ApiLog.txt");
    EXPECT_FALSE(log.empty());
    EXPECT_EQ(ReadWholeFile(record.Path() + "/long-sent.bin").compare(0, log.size(), log), 0);
    EXPECT_FALSE(FilesBelow(home.Path() + "/pic").empty());
    int open = -1;  // and the device sees the connection go
    for (int i = 0; i < 100 && open != 0; ++i) {
        sim->invoke([&open](DeviceSimulator& d) { open = d.longConnectionCount(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(open == 0 ? 0 : 50));
    }
    EXPECT_EQ(open, 0);
}
