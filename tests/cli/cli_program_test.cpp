// The tessaly-cli program itself: exit statuses, and Ctrl-C ending a listen cleanly.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>
#include <thread>

#include "cli_test_support.h"
#include "sim/simulator_thread.h"

namespace {

using Clock = std::chrono::steady_clock;

// tessaly-cli as a child process whose standard output and error go to files in `folder`.
class CliProcess {
  public:
    CliProcess(const std::vector<std::string>& args, const std::string& folder)
        : outPath_(folder + "/stdout"), errPath_(folder + "/stderr") {
        std::vector<std::string> all = {TESSALY_CLI_PROGRAM};
        all.insert(all.end(), args.begin(), args.end());
        pid_ = fork();
        if (pid_ == 0) {
            dup2(open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
            dup2(open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
            std::vector<char*> argv;
            for (std::string& a : all)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~CliProcess() {
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    // The exit status; -1 when the program did not end within `limit` or a signal ended it.
    int Wait(std::chrono::milliseconds limit) {
        for (const auto end = Clock::now() + limit; pid_ > 0 && Clock::now() < end;) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                ended_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }
    // Waits until standard output holds `text`; false when it did not come within `limit`.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit) const {
        for (const auto end = Clock::now() + limit; Clock::now() < end;) {
            if (Out().find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    void Interrupt() const { kill(pid_, SIGINT); }
    std::string Out() const { return ReadWholeFile(outPath_); }
    std::string Err() const { return ReadWholeFile(errPath_); }

  private:
    std::string outPath_;
    std::string errPath_;
    pid_t pid_ = -1;
    bool ended_ = false;
};

TEST(CliProgramTest, ExitStatusesOfUsageAndOfACompletedCommand) {
    TempHome home;
    TempHome io;
    {
        CliProcess wrong({"--frobnicate"}, io.Path());
        EXPECT_EQ(wrong.Wait(std::chrono::seconds(10)), kExitUsage);
        EXPECT_NE(wrong.Err().find("unknown option --frobnicate"), std::string::npos);
        EXPECT_EQ(wrong.Out(), "");
    }
    {
        // Without --home the folder beside the program is used, where the build puts the
        // shipped request folders.
        CliProcess shipped({"catalogue"}, io.Path());
        EXPECT_EQ(shipped.Wait(std::chrono::seconds(10)), kExitOk);
        EXPECT_NE(shipped.Out().find("Subscribe\n  SUBSCRIBE_"), std::string::npos)
            << shipped.Out();
    }
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

    TempHome io;
    CliProcess listen(
        {"listen", SourceFolder() + "/protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml",
         "--ip", "127.0.0.1", "--long-port", std::to_string(sim.longPort()), "--home", home.Path(),
         "--seconds", "60"},
        io.Path());
    ASSERT_TRUE(listen.WaitForOutput("\nevent ", std::chrono::seconds(20))) << listen.Err();
    const auto interrupted = Clock::now();
    listen.Interrupt();
    EXPECT_EQ(listen.Wait(std::chrono::seconds(10)), kExitOk) << listen.Err();
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
