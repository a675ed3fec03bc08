// The tessaly-cli program itself: exit statuses, and Ctrl-C ending a listen cleanly.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>

#include "cli_test_support.h"
#include "devices/device_list.h"

namespace {

// Runs tessaly-cli to its end (at most 10 s); its exit status, -1 when it did not end normally.
int RunToEnd(QProcess& program, const QStringList& args) {
    program.start(TESSALY_CLI_PROGRAM, args);
    return program.waitForFinished(10000) && program.exitStatus() == QProcess::NormalExit
               ? program.exitCode()
               : -1;
}

// Reads from fd until `until` has arrived or the other side is done or quiet for 10 s.
std::string ReadUntil(int fd, const std::string& until) {
    std::string got;
    char buffer[512];
    pollfd ready{fd, POLLIN, 0};
    while (got.find(until) == std::string::npos && poll(&ready, 1, 10000) > 0) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}

}  // namespace

TEST(CliProgram, ExitStatusesOfUsageAndOfACompletedCommand) {
    QProcess wrong, catalogue;
    EXPECT_EQ(RunToEnd(wrong, {"--frobnicate"}), kExitUsage);
    EXPECT_TRUE(wrong.readAllStandardError().contains("unknown option --frobnicate"));
    // Without --home the folder beside the program, where the build puts the request folders.
    EXPECT_EQ(RunToEnd(catalogue, {"catalogue"}), kExitOk);
    EXPECT_TRUE(catalogue.readAllStandardOutput().contains("Subscribe\n  SUBSCRIBE_"));
}

TEST(CliProgram, APromptWithoutEchoOnATerminal) {
    // A device whose password no keychain holds, asked for on a terminal.
    DeviceList().Remember({"", "10.0.0.8", "prompted", "8080", "80", false});
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(TESSALY_CLI_PROGRAM, "tessaly-cli", "preview", "GetImageConfig", "--device",
              "prompted@10.0.0.8", nullptr);
        _exit(127);
    }
    const std::string question = ReadUntil(terminal, "Password for prompted@10.0.0.8: ");
    ASSERT_NE(question.find("Password for"), std::string::npos) << question;
    ASSERT_EQ(write(terminal, "pw-typed\n", 9), 9);
    const std::string answer = ReadUntil(terminal, "Host: 10.0.0.8\r\r\n\r\r\n");
    int status = -1;
    waitpid(child, &status, 0);
    close(terminal);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kExitOk) << status;
    EXPECT_NE(answer.find("Basic " + ToBase64("prompted:pw-typed")), std::string::npos) << answer;
    EXPECT_EQ(answer.find("pw-typed"), std::string::npos) << answer;  // not echoed
}

TEST(CliProgram, CtrlCEndsListenDisconnectedWithACompleteLog) {
    TempFolder home, record;
    SimulatorOptions options;
    options.eventCount = 1000;
    options.eventRate = 20;
    const auto sim = StartDevice(options, record);
    ASSERT_TRUE(sim);
    QProcess listen;
    listen.start(TESSALY_CLI_PROGRAM,
                 {"listen", QString::fromStdString(ShippedFile("SetSubscribe")), "--ip",
                  "127.0.0.1", "--long-port", QString::number(sim->longPort()), "--home",
                  QString::fromStdString(home.Path()), "--seconds", "60"});
    QByteArray out;
    while (!out.contains("\nevent ") && listen.waitForReadyRead(20000))
        out += listen.readAllStandardOutput();
    ASSERT_TRUE(out.contains("\nevent ")) << listen.readAllStandardError().constData();
    kill(listen.processId(), SIGINT);
    EXPECT_TRUE(listen.waitForFinished(3000));
    EXPECT_EQ(listen.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(listen.exitCode(), kExitOk);
    // Every byte read before the disconnect is on disk; the device may have sent more since.
    const std::string log = ReadFile(home.Path() + "/ApiLog.txt");
    EXPECT_FALSE(log.empty());
    EXPECT_EQ(ReadFile(record.Path() + "/long-sent.bin").compare(0, log.size(), log), 0);
    EXPECT_FALSE(FilesBelow(home.Path() + "/pic").empty());
    for (int i = 0; i < 100 && Ask(*sim, &DeviceSimulator::longConnectionCount) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Ask(*sim, &DeviceSimulator::longConnectionCount), 0);  // the device saw it go
}
