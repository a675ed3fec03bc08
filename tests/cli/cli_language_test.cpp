// tessaly-cli in Chinese: its messages and --help are translated, what scripts read is not.
#include "cli/cli_language.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <sstream>

#include "cli/cli_arguments.h"

namespace {
struct LocalizeRow {
    const char* english;
    const char* chinese;
};

int RunCli(QProcess& program, const QStringList& args, const QString& lang) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_MESSAGES"));
    env.insert(QStringLiteral("LANG"), lang);
    program.setProcessEnvironment(env);
    program.start(TESSALY_CLI_PROGRAM, args);
    return program.waitForFinished(10000) ? program.exitCode() : -1;
}
}  // namespace

TEST(CliLanguage, MessagesKeepWhatIsFilledInAndLeaveUnknownLinesAlone) {
    const LocalizeRow rows[] = {
        {"tessaly-cli: unknown option --frob", "tessaly-cli: 未知选项 --frob"},
        {"tessaly-cli: --long-port needs a port number from 1 to 65535, not \"0\"",
         "tessaly-cli: --long-port 需要 1 到 65535 之间的端口号，而不是“0”"},
        {"tessaly-cli: cannot read the log \"a.txt\" past byte 7: gone",
         "tessaly-cli: 无法读取日志“a.txt”第 7 字节之后的内容：gone"},
        {"tessaly-cli: cannot create the folder \"/h/t\": Permission denied",
         "tessaly-cli: 无法创建文件夹“/h/t”：Permission denied"},
        // A reason that is a message itself is translated too.
        {"tessaly-cli: no password for the device \"cam\" (no keychain: bus down); give "
         "--password-file FILE or --password -",
         "tessaly-cli: 没有设备“cam”的密码（没有可用的钥匙串：bus down）；请用 --password-file "
         "FILE 或 --password - 给出密码"},
        {"tessaly-cli: warning: --insecure: the device's certificate is not checked; anyone in "
         "between can read and change the traffic",
         "tessaly-cli: "
         "警告：--insecure：不检查设备的证书；通信路径上的任何人都能读取和篡改通信内容"},
        // -v's status line and the device's words are not the program's messages.
        {"tessaly-cli: 200 OK, 3 ms, 551 bytes, Digest",
         "tessaly-cli: 200 OK, 3 ms, 551 bytes, Digest"},
        {"unknown option", "unknown option"},
    };
    for (const LocalizeRow& row : rows) {
        EXPECT_EQ(LocalizeMessage(row.english, CliLanguage::Chinese), row.chinese);
        EXPECT_EQ(LocalizeMessage(row.english, CliLanguage::English), row.english);
    }
}

TEST(CliLanguage, EveryTranslatedParagraphOfTheHelpIsInTheHelp) {
    const std::string usage = CliUsage();
    for (const std::string& paragraph : TranslatedUsageParagraphs())
        EXPECT_NE(usage.find(paragraph), std::string::npos) << paragraph;
}

TEST(CliLanguage, LangWinsOverTheLocale) {
    const struct {
        std::vector<std::string> args;
        const char* locale;
        CliLanguage language;
    } rows[] = {
        {{"catalogue"}, "zh_CN.UTF-8", CliLanguage::Chinese},
        {{"catalogue"}, "en_US.UTF-8", CliLanguage::English},
        {{"catalogue"}, "zh_TW.UTF-8", CliLanguage::English},
        {{"catalogue"}, "", CliLanguage::English},
        {{"--lang", "en", "catalogue"}, "zh_CN.UTF-8", CliLanguage::English},
        {{"--lang=zh_CN", "catalogue"}, "C", CliLanguage::Chinese},
        {{"--", "--lang=zh_CN"}, "C", CliLanguage::English},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ChooseCliLanguage(row.args, row.locale), row.language) << row.locale;
    EXPECT_NE(ParseCliArguments({"catalogue", "--lang", "fr"}, ".").error, "");
    EXPECT_EQ(ParseCliArguments({"catalogue", "--lang", "zh_CN"}, ".").error, "");
}

TEST(CliLanguage, TheProgramSpeaksTheLocaleButItsOutputStaysAsItIs) {
    QProcess chinese, english, help, zhCatalogue, enCatalogue;
    EXPECT_EQ(RunCli(chinese, {"--frobnicate"}, "zh_CN.UTF-8"), kExitUsage);
    const QString chineseError = QString::fromUtf8(chinese.readAllStandardError());
    EXPECT_TRUE(chineseError.contains(QStringLiteral("未知选项 --frobnicate")))
        << chineseError.toStdString();
    EXPECT_TRUE(chineseError.contains(QStringLiteral("tessaly-cli --help 说明用法")));
    EXPECT_EQ(RunCli(english, {"--frobnicate", "--lang", "en"}, "zh_CN.UTF-8"), kExitUsage);
    EXPECT_TRUE(english.readAllStandardError().contains("unknown option --frobnicate"));
    EXPECT_EQ(RunCli(help, {"--help"}, "zh_CN.UTF-8"), kExitOk);
    EXPECT_TRUE(
        QString::fromUtf8(help.readAllStandardOutput()).contains(QStringLiteral("退出状态")));
    EXPECT_EQ(RunCli(zhCatalogue, {"catalogue"}, "zh_CN.UTF-8"), kExitOk);
    EXPECT_EQ(RunCli(enCatalogue, {"catalogue"}, "C"), kExitOk);
    EXPECT_EQ(zhCatalogue.readAllStandardOutput(), enCatalogue.readAllStandardOutput());
}
