// Where tessaly-cli takes the password from, and --device with the window's remembered devices.
#include <gtest/gtest.h>

#include "cli_test_support.h"
#include "devices/device_list.h"
#include "devices/password_store.h"

TEST(CliPassword, EverySourceAndTheRememberedDevice) {
    TempFolder home;
    DeviceList().Remember({"Lab", "10.0.0.5", "viewer", "9001", "9002", false});
    const std::string file = home.WriteFile("pw", "pw-file\r\nsecond line\n");
    const struct {
        std::vector<std::string> args;
        std::string in;
        int status;
        std::string said;  // user:password in the request, or the error's words
    } rows[] = {
        {{}, "", kExitOk, "admin:739184"},
        {{"--password", "pw-text"}, "", kExitOk, "admin:pw-text"},
        {{"--password", "-"}, "pw-stdin\nmore", kExitOk, "admin:pw-stdin"},
        {{"--password=-"}, "\n", kExitOk, "admin:"},
        {{"--password-file", file}, "", kExitOk, "admin:pw-file"},
        {{"--device", "Lab", "--password", "-"}, "x", kExitOk, "viewer:x"},
        {{"--device", "10.0.0.5", "--user", "op", "--password-file", file},
         "",
         kExitOk,
         "op:pw-file"},
        {{"--password", "-"}, "", kExitUsage, "no line on standard input"},
        {{"--password-file", home.WriteFile("e", "")}, "", kExitFailed, "cannot read a password"},
        {{"--password-file", home.Path()}, "", kExitFailed, "cannot read a password"},
        {{"--password-file", file, "--password", "x"}, "", kExitUsage, "exclude each other"},
        {{"--device", "Nowhere"}, "", kExitUsage, "no remembered device \"Nowhere\""},
        // No password stored, no terminal to ask on.
        {{"--device", "Lab"}, "", kExitUsage, "no password for the device \"Lab\""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.said);
        std::vector<std::string> args{"preview", "GetImageConfig"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const CliRun run = RunCli(args, home.Path(), row.in);
        EXPECT_EQ(run.status, row.status);
        const std::string& said = row.status == kExitOk ? run.out : run.err;
        EXPECT_NE(
            said.find(row.status == kExitOk ? "Basic " + ToBase64(row.said) + "\r\n" : row.said),
            std::string::npos)
            << said;
    }
}

TEST(CliDevice, TheDevicesPortsReachItAndTheListShowsIt) {
    TempFolder home;
    const auto sim = StartDevice({}, home);
    ASSERT_TRUE(sim);
    const std::string ports =
        std::to_string(sim->longPort()) + ", short port " + std::to_string(sim->shortPort());
    DeviceList().Remember({"Sim", "127.0.0.1", "admin", std::to_string(sim->longPort()),
                           std::to_string(sim->shortPort()), false});
    EXPECT_EQ(RunCli({"devices"}, home.Path())
                  .out.rfind("Sim: admin@127.0.0.1, long port " + ports + "\n", 0),
              0u);
    const CliRun send = RunCli({"send", "GetDeviceInfo", "--device", "Sim", "--password", "-"},
                               home.Path(), "739184");
    EXPECT_EQ(send.status, kExitOk) << send.err;
    DeviceList().Remember({"Tls", "127.0.0.1", "tls", "1", std::to_string(sim->shortPort()), true});
    const CliRun tls = RunCli({"send", "GetDeviceInfo", "--device", "Tls", "--password", "x"},
                              home.Path());  // a device without TLS
    EXPECT_NE(tls.err.find("TLS handshake failed"), std::string::npos) << tls.err;
    if (g_privateKeychain) {  // the same with the keychain's password
        ASSERT_EQ(WritePasswordNow("admin@127.0.0.1", "739184").status, KeychainStatus::Ok);
        const CliRun stored = RunCli({"send", "GetDeviceInfo", "--device", "Sim"}, home.Path());
        EXPECT_EQ(stored.status, kExitOk) << stored.err;
        ErasePasswordNow("admin@127.0.0.1");
    }
}
