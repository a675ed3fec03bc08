// Reading the command line, and the answers to --help, --version and wrong usage.
#include "cli/cli_arguments.h"

#include <gtest/gtest.h>

#include "cli_test_support.h"

TEST(CliArguments, OptionsStandBeforeOrAfterTheCommandWithOrWithoutEquals) {
    TempFolder home;
    const std::string other = home.MakeFolder("other");
    const auto parse = [&home](const std::vector<std::string>& args) {
        return ParseCliArguments(args, home.Path());
    };
    const CliArguments args =
        parse({"--ip=127.0.0.1", "--user", "", "send", "GetImageConfig", "--password=a=b",
               "--short-port", "08080", "--home", other, "--body-file", "b.xml"});
    ASSERT_EQ(args.error, "");
    EXPECT_EQ(args.command, CliCommand::Send);
    const CliSettings& s = args.settings;  // only the first "=" separates; 08080 is 8080
    EXPECT_EQ(args.interfaceName + "|" + s.ip + "|" + s.user + "|" + s.password + "|" +
                  s.shortPort + "|" + s.longPort + "|" + s.home + "|" + args.bodyFile,
              "GetImageConfig|127.0.0.1||a=b|8080|8080|" + other + "|b.xml");
    EXPECT_TRUE(args.hasBodyFile);

    const CliArguments listen =
        parse({"listen", "--then", "b.xml", "a.xml", "--seconds", "5", "--then=c.xml"});
    EXPECT_EQ(listen.files, (std::vector<std::string>{"a.xml", "b.xml", "c.xml"}));
    EXPECT_EQ(listen.seconds, 5);
    EXPECT_EQ(parse({"listen", "a.xml"}).seconds, -1);
    EXPECT_EQ(parse({"catalogue", "--mode", "short"}).mode, kConnShort);
    EXPECT_EQ(parse({"catalogue"}).mode, kConnLong);  // the window starts in long mode
    EXPECT_EQ(parse({"preview", "--", "--odd"}).interfaceName, "--odd");
}

TEST(CliArguments, WrongCommandLinesAreRefusedWithAReason) {
    TempFolder home;
    const std::string file = home.WriteFile("file.txt", "x");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no command"},
        {{"frobnicate"}, "unknown command frobnicate"},
        {{"catalogue", "--colour"}, "unknown option --colour"},
        {{"send", "GetDeviceInfo", "--ip"}, "--ip needs a value"},
        {{"send", "GetDeviceInfo", "--ip="}, "--ip"},
        {{"catalogue", "--mode", "medium"}, "--mode"},
        {{"catalogue", "extra"}, "unexpected argument extra"},
        {{"preview"}, "INTERFACE"},
        {{"listen", ""}, "FILE"},
        {{"listen", "a.xml", "--seconds", "0"}, "--seconds"},
        {{"listen", "a.xml", "--seconds", "ten"}, "--seconds"},
        {{"listen", "a.xml", "--then="}, "--then"},
        {{"send", "X", "--short-port", "65536"}, "--short-port"},
        {{"listen", "a.xml", "--long-port", "80a"}, "--long-port"},
        {{"send", "X", "--then", "a.xml"}, "--then does not belong"},
        {{"send", "X", "--body-file", "a", "--body-file", "b"}, "--body-file given twice"},
        {{"catalogue", "--home", file}, "not a folder"},
        {{"--help=yes"}, "takes no value"}};
    for (const auto& [argv, reason] : cases) {
        const CliArguments args = ParseCliArguments(argv, home.Path());
        EXPECT_EQ(args.command, CliCommand::None) << reason;
        EXPECT_NE(args.error.find(reason), std::string::npos) << reason << " gave: " << args.error;
    }
}

TEST(CliArguments, HelpVersionAndWrongUsageAnswers) {
    TempFolder home;
    const CliRun help = RunCli({"send", "--help"}, home.Path());
    EXPECT_EQ(help.status, kExitOk);
    EXPECT_EQ(help.err, "");
    for (const char* word :
         {"Usage: tessaly-cli", "catalogue", "preview", "send", "listen", "--then", "--seconds",
          "--body-file", "--mode", "--home", "--long-port", "--short-port"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    const CliRun version = RunCli({"--version"}, home.Path());
    EXPECT_EQ(version.status, kExitOk);
    EXPECT_EQ(version.out, "tessaly-cli 3.0.0.6\n");
    const CliRun wrong = RunCli({"preview", "--mode", "short", "GetDeviceInfo"}, home.Path());
    EXPECT_EQ(wrong.status, kExitUsage);
    EXPECT_EQ(wrong.out, "");
    EXPECT_NE(wrong.err.find("--mode does not belong"), std::string::npos) << wrong.err;
    EXPECT_NE(wrong.err.find("--help"), std::string::npos) << wrong.err;
}
