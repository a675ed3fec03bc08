// The tessaly-cli program itself: exit statuses, and Ctrl-C ending a listen cleanly.
#include <gtest/gtest.h>
#include <signal.h>

#include <QProcess>

#include "cli_test_support.h"

namespace {

// Runs tessaly-cli to its end (at most 10 s); its exit status, -1 when it did not end normally.
int RunToEnd(QProcess& program, const QStringList& args) {
    program.start(TESSALY_CLI_PROGRAM, args);
    return program.waitForFinished(10000) && program.exitStatus() == QProcess::NormalExit
               ? program.exitCode()
               : -1;
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
