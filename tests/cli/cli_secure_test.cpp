// TLS and Digest against the simulated device: keys refused, pinned, trusted in the known-devices
// file or not checked at all; a long connection over TLS whose log and pictures are exactly what
// the device sent; Digest answers on the long connection, a stale nonce, a wrong password.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "cli_test_support.h"
#include "net/known_devices.h"
#include "net/tls_identity.h"

namespace {

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

}  // namespace

TEST(CliTls, KeysAreRefusedPinnedOrTrustedAndTheLongConnectionIsExact) {
    TempFolder home, record, config;
    SimulatorOptions options;
    options.tls = true;
    options.eventCount = 3;
    options.eventRate = 0;
    const auto sim = StartDevice(options, record);
    ASSERT_TRUE(sim);
    const std::string pin = sim->fingerprint().toStdString(), other = MakeTlsIdentity().pin;
    const std::string shortPort = std::to_string(sim->shortPort());
    const char* before = getenv("XDG_CONFIG_HOME");
    const std::string saved = before != nullptr ? before : "";
    setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    const auto send = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = {"send",         "GetDeviceInfo", "--ip", "127.0.0.1",
                                         "--short-port", shortPort,       "--tls"};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunCli(args, home.Path());
    };
    const struct {
        std::vector<std::string> extra;
        int status;
        std::string err;  // a part of it
    } rows[] = {
        {{},
         kExitFailed,
         "Unknown certificate: no authority this system trusts vouches for " +
             std::string("127.0.0.1; its key is ") + pin},
        {{"--pin", other},
         kExitFailed,
         "Pinned key changed: 127.0.0.1 showed " + pin + " instead of the trusted " + other},
        {{"--pin", pin}, kExitOk, ""},
        {{"--insecure"}, kExitOk, "warning: --insecure"},
        {{"--pin", "sha256//nope"}, kExitUsage, "--pin needs"},
    };
    for (const auto& row : rows) {
        const CliRun run = send(row.extra);
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_NE(run.err.find(row.err), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("<hardwareVersion") != std::string::npos, row.status == kExitOk);
    }
    // A key trusted in the known-devices file is enough, for that port only.
    ASSERT_TRUE(
        KnownDevices(KnownDevices::DefaultPath()).Trust("127.0.0.1", sim->shortPort(), pin));
    EXPECT_EQ(send({}).status, kExitOk);

    const CliRun listen =
        RunCli({"listen", ShippedFile("SetSubscribe"), "--ip", "127.0.0.1", "--long-port",
                std::to_string(sim->longPort()), "--tls", "--pin", pin, "--seconds", "2"},
               home.Path());
    EXPECT_EQ(listen.status, kExitOk) << listen.err;
    EXPECT_EQ(ReadFile(home.Path() + "/ApiLog.txt"), ReadFile(record.Path() + "/long-sent.bin"));
    EXPECT_EQ(FilesBelow(home.Path() + "/pic").size(), 9u);
    if (before != nullptr)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

TEST(CliDigest, LongRequestsAnswerDigestChallengesAndAStaleNonce) {
    const struct {
        QStringList algorithms;
        std::string password;
        std::size_t challenges;  // 401 answers in the log
        std::size_t answers;     // 200 answers
    } rows[] = {
        {{"SHA-256", "MD5"}, "739184", 2, 3},  // the first challenge, then a stale nonce
        {{"MD5"}, "739184", 2, 3},
        {{"MD5"}, "wrong", 2, 0},  // Basic refused, Digest refused: no loop
    };
    for (const auto& row : rows) {
        TempFolder home, record;
        SimulatorOptions options;
        options.longAuth = SimAuthMode::Digest;
        options.digestAlgorithms = row.algorithms;
        options.nonceUses = 2;
        const auto sim = StartDevice(options, record);
        ASSERT_TRUE(sim);
        std::vector<std::string> args = {"listen",      ShippedFile("SetSubscribe"),
                                         "--ip",        "127.0.0.1",
                                         "--long-port", std::to_string(sim->longPort()),
                                         "--password",  row.password,
                                         "--seconds",   "2"};
        if (row.answers > 0) {
            args.insert(args.end(), {"--then", ShippedFile("GetSubscribeInfo"), "--then",
                                     ShippedFile("RenewSubscribe")});
        }
        const CliRun run = RunCli(args, home.Path());
        const std::string log = ReadFile(home.Path() + "/ApiLog.txt");
        EXPECT_EQ(Count(log, "HTTP/1.1 401 "), row.challenges) << log.substr(0, 2000);
        EXPECT_EQ(Count(log, "HTTP/1.1 200 "), row.answers);
        EXPECT_EQ(log, ReadFile(record.Path() + "/long-sent.bin"));
        if (row.answers > 0) {
            EXPECT_EQ(run.status, kExitOk) << run.err;
        }
    }
}
