// preview and send; send against the simulated device on 127.0.0.1.
#include <gtest/gtest.h>

#include "cli_test_support.h"
#include "sim/device_simulator.h"

namespace {

int Requests(SimulatorThread& sim) {
    int count = 0;
    sim.invoke([&count](DeviceSimulator& device) { count = device.shortRequestCount(); });
    return count;
}

CliRun Send(const SimulatorThread& sim, const std::string& home, std::vector<std::string> args) {
    args.insert(args.begin(),
                {"send", "--ip", "127.0.0.1", "--short-port", std::to_string(sim.shortPort())});
    return RunCli(args, home);
}

}  // namespace

TEST(CliPreview, UnknownInterfaceOrAWritingPartnerIsAUsageError) {
    TempFolder home;
    const CliRun run = RunCli({"preview", "GetNothing"}, home.Path());
    EXPECT_EQ(run.status, kExitUsage);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("\"GetNothing\""), std::string::npos) << run.err;
    EXPECT_EQ(RunCli({"preview", "SetImageConfig"}, home.Path()).status, kExitUsage);
}

TEST(CliSend, BasicAndDigestDevicesAnswerWithTheBodyOnly) {
    TempFolder home;
    for (SimAuthMode mode : {SimAuthMode::Basic, SimAuthMode::Digest}) {
        SimulatorOptions options;
        options.auth = mode;
        const auto sim = StartDevice(options);
        ASSERT_TRUE(sim);
        const CliRun run = Send(*sim, home.Path(), {"GetDeviceInfo"});
        EXPECT_EQ(run.status, kExitOk) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out.rfind("<?xml", 0), 0u) << run.out;  // no status line or headers
        EXPECT_NE(run.out.find("<hardwareVersion"), std::string::npos) << run.out;
        EXPECT_GT(Requests(*sim), 0);
        // Refused credentials still complete the transfer.
        const CliRun refused = Send(*sim, home.Path(), {"GetDeviceInfo", "--password", "wrong"});
        EXPECT_EQ(refused.status, kExitOk);
        EXPECT_NE(refused.out.find("401 Unauthorized"), std::string::npos) << refused.out;
    }
}

TEST(CliSend, SettingReadEditedAndWrittenBackThroughThePartner) {
    TempFolder home;
    const auto sim = StartDevice({});
    ASSERT_TRUE(sim);
    const CliRun read = Send(*sim, home.Path(), {"GetImageConfig"});
    const std::string from = "<brightness type=\"uint32\">128</brightness>";
    const std::string to = "<brightness type=\"uint32\">77</brightness>";
    std::string edited = read.out;
    ASSERT_NE(edited.find(from), std::string::npos) << read.err << read.out;
    edited.replace(edited.find(from), from.size(), to);
    const CliRun write =
        Send(*sim, home.Path(), {"SetImageConfig", "--body-file", home.WriteFile("b.xml", edited)});
    EXPECT_NE(write.out.find("status=\"success\""), std::string::npos) << write.err << write.out;
    EXPECT_NE(Send(*sim, home.Path(), {"GetImageConfig"}).out.find(to), std::string::npos);
}

TEST(CliSend, RefusedConnectionOrUnreadableBodyFileFailsAndSendsNothing) {
    TempFolder home;
    const auto sim = StartDevice({});
    ASSERT_TRUE(sim);
    const LoopbackPort port(LoopbackPort::Dead);
    const CliRun dead = RunCli(
        {"send", "GetDeviceInfo", "--ip", "127.0.0.1", "--short-port", port.Port()}, home.Path());
    EXPECT_EQ(dead.status, kExitFailed);
    EXPECT_EQ(dead.out, "");
    EXPECT_EQ(dead.err.rfind("Send fail, Please Check the IP/Username/Password/ShortPort !", 0), 0u)
        << dead.err;
    for (const std::string& file : {home.Path() + "/none.xml", home.Path()}) {
        const CliRun run = Send(*sim, home.Path(), {"SetImageConfig", "--body-file", file});
        EXPECT_EQ(run.status, kExitFailed) << file;
        EXPECT_NE(run.err.find("cannot read the body file"), std::string::npos) << run.err;
    }
    EXPECT_EQ(Send(*sim, home.Path(), {"GetNothing"}).status, kExitUsage);
    EXPECT_EQ(Requests(*sim), 0);
}
