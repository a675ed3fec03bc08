// Devices reached by a host name and over IPv6: the simulated device listens on ::1 and
// 127.0.0.1, and both commands reach it by "::1" and by "localhost".
#include <gtest/gtest.h>

#include "cli_test_support.h"

TEST(CliHosts, ShortAndLongConnectionsReachIpv6AndHostNames) {
    TempFolder home, record;
    SimulatorOptions options;
    options.listen = {QHostAddress(QHostAddress::LocalHostIPv6),
                      QHostAddress(QHostAddress::LocalHost)};
    options.eventCount = 1;
    options.eventRate = 0;
    const auto sim = StartDevice(options, record);
    ASSERT_TRUE(sim);
    for (const std::string host : {"::1", "localhost"}) {
        const CliRun send = RunCli({"send", "GetDeviceInfo", "--ip", host, "--short-port",
                                    std::to_string(sim->shortPort())},
                                   home.Path());
        EXPECT_EQ(send.status, kExitOk) << host << ": " << send.err;
        EXPECT_NE(send.out.find("<hardwareVersion"), std::string::npos) << host;
        const CliRun listen =
            RunCli({"listen", ShippedFile("SetSubscribe"), "--ip", host, "--long-port",
                    std::to_string(sim->longPort()), "--seconds", "1"},
                   home.Path());
        EXPECT_EQ(listen.status, kExitOk) << host << ": " << listen.err;
        EXPECT_EQ(listen.out.rfind("response length=", 0), 0u) << host << ": " << listen.out;
    }
    // The request texts carry an IPv6 literal in brackets, as HTTP writes it.
    const CliRun preview =
        RunCli({"preview", "GetDeviceInfo", "--ip", "fe80::1%eth0"}, home.Path());
    EXPECT_NE(preview.out.find("\r\nHost: [fe80::1]\r\n"), std::string::npos) << preview.out;
}
