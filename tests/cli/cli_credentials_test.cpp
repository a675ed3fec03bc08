// Where tessaly-cli takes the password from, and --device with the window's remembered devices.
#include <gtest/gtest.h>

#include "cli_test_support.h"
#include "devices/device_list.h"
#include "devices/password_store.h"

namespace {

constexpr auto npos = std::string::npos;

std::string Authorization(const std::string& user, const std::string& password) {
    return "Authorization: Basic " + ToBase64(user + ":" + password) + "\r\n";
}

// The simulator remembered as the window would remember it, named "Lab".
void RememberAsLab(const SimulatorThread& sim) {
    DeviceList().Remember({"Lab", "127.0.0.1", "admin", std::to_string(sim.longPort()),
                           std::to_string(sim.shortPort()), false});
}

}  // namespace

TEST(CliPassword, EverySourceReachesTheRequest) {
    TempFolder home;
    const std::string file = home.WriteFile("pw", "pw-file\r\nsecond line\n");
    const std::string empty = home.WriteFile("empty", "");
    const struct {
        std::vector<std::string> args;
        std::string in;
        int status;
        std::string said;  // the password in the request, or the error's words
    } rows[] = {
        {{}, "", kExitOk, "739184"},
        {{"--password", "pw-text"}, "", kExitOk, "pw-text"},
        {{"--password", "-"}, "pw-stdin\nmore", kExitOk, "pw-stdin"},
        {{"--password=-"}, "\n", kExitOk, ""},
        {{"--password-file", file}, "", kExitOk, "pw-file"},
        {{"--password", "-"}, "", kExitUsage, "no line on standard input"},
        {{"--password-file", empty}, "", kExitFailed, "cannot read a password"},
        {{"--password-file", home.Path()}, "", kExitFailed, "cannot read a password"},
        {{"--password-file", file, "--password", "x"}, "", kExitUsage, "exclude each other"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.said);
        std::vector<std::string> args{"preview", "GetImageConfig"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const CliRun run = RunCli(args, home.Path(), row.in);
        EXPECT_EQ(run.status, row.status);
        if (row.status == kExitOk)
            EXPECT_NE(run.out.find(Authorization("admin", row.said)), npos) << run.out;
        else
            EXPECT_NE(run.err.find(row.said), npos) << run.err;
    }
}

TEST(CliDevice, TheRememberedDeviceWithOptionsThatWin) {
    TempFolder home;
    const auto sim = StartDevice({}, home);
    ASSERT_TRUE(sim);
    RememberAsLab(*sim);
    const std::string password = home.WriteFile("pw", "739184\n");
    // Address, user and ports from the list: the send reaches the simulator.
    const CliRun send = RunCli(
        {"send", "GetDeviceInfo", "--device", "Lab", "--password-file", password}, home.Path());
    EXPECT_EQ(send.status, kExitOk) << send.err;
    const int reached = Ask(*sim, &DeviceSimulator::shortRequestCount);
    const CliRun preview = RunCli({"preview", "GetImageConfig", "--device", "admin@127.0.0.1",
                                   "--ip", "10.0.0.9", "--user", "op", "--password", "-"},
                                  home.Path(), "x");
    EXPECT_NE(preview.out.find(Authorization("op", "x") + "User-Agent: Lurvane\r\nHost: 10.0.0.9"),
              npos)
        << preview.out;
    const CliRun unknown = RunCli({"send", "GetDeviceInfo", "--device", "Nowhere"}, home.Path());
    EXPECT_EQ(unknown.status, kExitUsage);
    EXPECT_NE(unknown.err.find("no remembered device \"Nowhere\""), npos) << unknown.err;
    if (!g_privateKeychain) {  // no keychain, no terminal: no password at all
        const CliRun none = RunCli({"send", "GetDeviceInfo", "--device", "Lab"}, home.Path());
        EXPECT_EQ(none.status, kExitUsage);
        EXPECT_NE(none.err.find("no password for the device \"Lab\" (no keychain"), npos)
            << none.err;
    }
    EXPECT_EQ(RunCli({"devices"}, home.Path()).out,
              "Lab: admin@127.0.0.1, long port " + std::to_string(sim->longPort()) +
                  ", short port " + std::to_string(sim->shortPort()) + "\n");
    EXPECT_EQ(Ask(*sim, &DeviceSimulator::shortRequestCount), reached);  // no other run did
}

TEST(PrivateKeychain, TheDevicesPasswordComesFromTheKeychain) {
    if (!g_privateKeychain)
        GTEST_SKIP() << "needs the private Secret Service of scripts/keychain-test.sh";
    TempFolder home;
    const auto sim = StartDevice({}, home);
    ASSERT_TRUE(sim);
    RememberAsLab(*sim);
    ASSERT_EQ(WritePasswordNow("admin@127.0.0.1", "739184").status, KeychainStatus::Ok);
    const CliRun send = RunCli({"send", "GetDeviceInfo", "--device", "Lab"}, home.Path());
    EXPECT_EQ(send.status, kExitOk) << send.err;
    EXPECT_NE(send.out.find("<hardwareVersion"), npos);
    ErasePasswordNow("admin@127.0.0.1");
}
