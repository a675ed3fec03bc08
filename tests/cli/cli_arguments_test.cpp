// Reading the command line, and the answers to --help, --version and wrong usage.
#include "cli/cli_arguments.h"

#include <gtest/gtest.h>

#include "cli_test_support.h"

namespace {

class CliArgumentsTest : public testing::Test {
  protected:
    CliArguments Parse(const std::vector<std::string>& args) {
        return ParseCliArguments(args, home_.Path());
    }
    TempHome home_;
};

TEST_F(CliArgumentsTest, WithoutOptionsTheSettingsAreTheWindowsStartValues) {
    const CliArguments args = Parse({"catalogue"});
    ASSERT_EQ(args.error, "");
    EXPECT_EQ(args.command, CliCommand::Catalogue);
    EXPECT_EQ(args.settings.ip, "192.168.1.100");
    EXPECT_EQ(args.settings.user, "admin");
    EXPECT_EQ(args.settings.password, "739184");
    EXPECT_EQ(args.settings.longPort, "8080");
    EXPECT_EQ(args.settings.shortPort, "80");
    EXPECT_EQ(args.settings.home, home_.Path());
    EXPECT_EQ(args.mode, kConnLong);  // the window starts in long mode
}

TEST_F(CliArgumentsTest, OptionsStandBeforeOrAfterTheCommandWithOrWithoutEquals) {
    const std::string other = home_.MakeFolder("other");
    const CliArguments args =
        Parse({"--ip=127.0.0.1", "--user", "", "send", "GetImageConfig", "--password=a=b",
               "--short-port", "08080", "--long-port=9", "--home", other, "--body-file", "b.xml"});
    ASSERT_EQ(args.error, "");
    EXPECT_EQ(args.command, CliCommand::Send);
    EXPECT_EQ(args.interfaceName, "GetImageConfig");
    EXPECT_EQ(args.settings.ip, "127.0.0.1");
    EXPECT_EQ(args.settings.user, "");         // an empty user name is the user's choice
    EXPECT_EQ(args.settings.password, "a=b");  // only the first "=" separates
    EXPECT_EQ(args.settings.shortPort, "8080");
    EXPECT_EQ(args.settings.longPort, "9");
    EXPECT_EQ(args.settings.home, other);
    EXPECT_TRUE(args.hasBodyFile);
    EXPECT_EQ(args.bodyFile, "b.xml");
}

TEST_F(CliArgumentsTest, ListenTakesTheFirstFileThenTheFollowUpsInOrder) {
    const CliArguments args =
        Parse({"listen", "--then", "b.xml", "a.xml", "--seconds", "5", "--then=c.xml"});
    ASSERT_EQ(args.error, "");
    EXPECT_EQ(args.command, CliCommand::Listen);
    EXPECT_EQ(args.files, (std::vector<std::string>{"a.xml", "b.xml", "c.xml"}));
    EXPECT_EQ(args.seconds, 5);

    const CliArguments unbounded = Parse({"listen", "a.xml"});
    ASSERT_EQ(unbounded.error, "");
    EXPECT_EQ(unbounded.seconds, -1);
    EXPECT_EQ(unbounded.files, (std::vector<std::string>{"a.xml"}));
}

TEST_F(CliArgumentsTest, CatalogueModeAndTheEndOfOptions) {
    EXPECT_EQ(Parse({"catalogue", "--mode", "short"}).mode, kConnShort);
    EXPECT_EQ(Parse({"catalogue", "--mode=long"}).mode, kConnLong);
    const CliArguments args = Parse({"preview", "--", "--odd"});
    ASSERT_EQ(args.error, "");
    EXPECT_EQ(args.interfaceName, "--odd");
}

TEST_F(CliArgumentsTest, WrongCommandLinesAreRefusedWithAReason) {
    const std::string file = home_.Write("file.txt", "x");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no command"},
        {{"frobnicate"}, "unknown command frobnicate"},
        {{"catalogue", "--colour"}, "unknown option --colour"},
        {{"catalogue", "-x"}, "unknown option -x"},
        {{"send", "GetDeviceInfo", "--ip"}, "--ip needs a value"},
        {{"send", "GetDeviceInfo", "--ip="}, "--ip"},
        {{"catalogue", "--mode", "medium"}, "--mode"},
        {{"catalogue", "extra"}, "unexpected argument extra"},
        {{"preview"}, "INTERFACE"},
        {{"send"}, "INTERFACE"},
        {{"preview", "A", "B"}, "unexpected argument B"},
        {{"listen"}, "FILE"},
        {{"listen", ""}, "FILE"},
        {{"listen", "a.xml", "--seconds", "0"}, "--seconds"},
        {{"listen", "a.xml", "--seconds", "ten"}, "--seconds"},
        {{"listen", "a.xml", "--seconds", "-3"}, "--seconds"},
        {{"listen", "a.xml", "--then="}, "--then"},
        {{"send", "X", "--short-port", "65536"}, "--short-port"},
        {{"send", "X", "--short-port", "0"}, "--short-port"},
        {{"listen", "a.xml", "--long-port", "80a"}, "--long-port"},
        {{"send", "X", "--then", "a.xml"}, "--then does not belong"},
        {{"preview", "X", "--body-file", "b"}, "--body-file does not belong"},
        {{"listen", "a.xml", "--mode", "short"}, "--mode does not belong"},
        {{"catalogue", "--seconds", "3"}, "--seconds does not belong"},
        {{"send", "X", "--body-file", "a", "--body-file", "b"}, "--body-file given twice"},
        {{"catalogue", "--home", file}, "not a folder"},
        {{"catalogue", "--home", home_.Path() + "/missing"}, "not a folder"},
        {{"catalogue", "--home="}, "not a folder"},
        {{"--help=yes"}, "takes no value"},
    };
    for (const auto& [argv, reason] : cases) {
        const CliArguments args = Parse(argv);
        std::string joined;
        for (const std::string& a : argv)
            joined += "[" + a + "]";
        EXPECT_EQ(args.command, CliCommand::None) << joined;
        EXPECT_NE(args.error.find(reason), std::string::npos) << joined << " gave: " << args.error;
    }
}

TEST_F(CliArgumentsTest, HelpVersionAndWrongUsageAnswers) {
    const CliRun help = RunCli({"send", "--help"}, home_.Path());
    EXPECT_EQ(help.status, kExitOk);
    EXPECT_NE(help.out.find("Usage: tessaly-cli"), std::string::npos);
    for (const char* word : {"catalogue", "preview", "send", "listen", "--then", "--seconds",
                             "--body-file", "--mode", "--home", "--long-port", "--short-port"}) {
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    }
    EXPECT_EQ(help.err, "");

    const CliRun version = RunCli({"--version"}, home_.Path());
    EXPECT_EQ(version.status, kExitOk);
    EXPECT_EQ(version.out, "tessaly-cli 3.0.0.6\n");

    const CliRun wrong = RunCli({"preview", "--mode", "short", "GetDeviceInfo"}, home_.Path());
    EXPECT_EQ(wrong.status, kExitUsage);
    EXPECT_EQ(wrong.out, "");
    EXPECT_NE(wrong.err.find("--mode does not belong"), std::string::npos);
    EXPECT_NE(wrong.err.find("--help"), std::string::npos);
}

}  // namespace
