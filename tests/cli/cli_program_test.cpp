// The tessaly-cli program itself: exit statuses, and Ctrl-C ending a listen cleanly.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>
#include <chrono>
#include <memory>
#include <thread>

#include "cli_test_support.h"
#include "sim/simulator_thread.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// tessaly-cli running as a child process with its standard output and error in pipes.
class CliProcess {
  public:
    explicit CliProcess(const std::vector<std::string>& args) {
        int out[2];
        int err[2];
        if (pipe(out) != 0 || pipe(err) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        std::vector<std::string> all = {TESSALY_CLI_PROGRAM};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        out_ = out[0];
        err_ = err[0];
        fcntl(out_, F_SETFL, O_NONBLOCK);
        fcntl(err_, F_SETFL, O_NONBLOCK);
    }
    ~CliProcess() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            close(out_);
        if (err_ >= 0)
            close(err_);
    }

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }

    // Reads standard output until it holds `text` or the time is up; true when it does.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        while (out.find(text) == std::string::npos) {
            if (Clock::now() >= end || !Pump(50))
                return out.find(text) != std::string::npos;
        }
        return true;
    }

    // Waits for the end of the program, reading both pipes; its exit status, or -1 when it
    // did not end in time or ended by a signal.
    int Wait(std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            const bool open = Pump(50);
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                while (Pump(0)) {
                }
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            if (!open)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

    std::string out;
    std::string err;

  private:
    // One poll of both pipes; false when both are at their end.
    bool Pump(int milliseconds) {
        pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        poll(fds, 2, milliseconds);
        bool open = false;
        for (auto [fd, text] : {std::pair{out_, &out}, std::pair{err_, &err}}) {
            char buffer[4096];
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n > 0)
                text->append(buffer, static_cast<size_t>(n));
            if (n != 0)
                open = true;
        }
        return open;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    bool exited_ = false;
};

TEST(CliProgramTest, ExitStatusesOfUsageAndOfACompletedCommand) {
    TempHome home;
    CliProcess wrong({"--frobnicate"});
    ASSERT_TRUE(wrong.Started());
    EXPECT_EQ(wrong.Wait(std::chrono::seconds(10)), 2);
    EXPECT_NE(wrong.err.find("unknown option --frobnicate"), std::string::npos) << wrong.err;
    EXPECT_EQ(wrong.out, "");

    CliProcess listing({"catalogue", "--mode", "short", "--home", home.Path()});
    ASSERT_TRUE(listing.Started());
    EXPECT_EQ(listing.Wait(std::chrono::seconds(10)), 0);
    EXPECT_EQ(listing.out.rfind("System\n  GetDeviceInfo\n", 0), 0u) << listing.out;

    // Without --home the folder beside the program is used, where the build puts the
    // shipped request folders.
    CliProcess shipped({"catalogue"});
    ASSERT_TRUE(shipped.Started());
    EXPECT_EQ(shipped.Wait(std::chrono::seconds(10)), 0);
    EXPECT_NE(shipped.out.find("Subscribe\n"), std::string::npos) << shipped.out;
    EXPECT_NE(shipped.out.find("  SUBSCRIBE_SetSubscribe_test\n"), std::string::npos);
}

TEST(CliProgramTest, InterruptedListenDisconnectsAndLeavesACompleteLog) {
    TempHome home;
    TempHome record;
    SimulatorOptions options;
    options.eventCount = 1000;
    options.eventRate = 20;
    options.recordFolder = QString::fromStdString(record.Path());
    SimulatorThread sim(options);
    QString error;
    ASSERT_TRUE(sim.start(&error)) << error.toStdString();

    CliProcess listen({"listen",
                       SourceFolder() + "/protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml",
                       "--ip", "127.0.0.1", "--long-port", std::to_string(sim.longPort()), "--home",
                       home.Path(), "--seconds", "60"});
    ASSERT_TRUE(listen.Started());
    ASSERT_TRUE(listen.WaitForOutput("\nevent ", std::chrono::seconds(20))) << listen.err;
    const auto interrupted = Clock::now();
    kill(listen.Pid(), SIGINT);
    EXPECT_EQ(listen.Wait(std::chrono::seconds(10)), 0) << listen.err;
    EXPECT_LT(Clock::now() - interrupted, std::chrono::seconds(3));

    // Every byte read before the disconnect is on disk; the device may have sent more that was
    // never read.
    const std::string log = ReadWholeFile(home.Path() + "/ApiLog.txt");
    const std::string sent = ReadWholeFile(record.Path() + "/long-sent.bin");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(sent.compare(0, log.size(), log), 0);
    EXPECT_FALSE(FilesBelow(home.Path() + "/pic").empty());
}

}  // namespace
