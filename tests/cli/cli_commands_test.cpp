// The commands in-process against the simulated device, and their failures.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "cli/json_text.h"
#include "cli/message_json.h"
#include "cli_test_support.h"

namespace {

std::vector<std::string> At(const char* command, const std::string& port,
                            std::vector<std::string> args) {
    const bool send = std::string(command) == "send";
    args.insert(args.begin(),
                {command, "--ip", "127.0.0.1", send ? "--short-port" : "--long-port", port});
    return args;
}

}  // namespace

TEST(CliArguments, OptionsStandAnywhereAndHelpAndVersionAnswer) {
    TempFolder home;
    const CliArguments a =
        ParseCliArguments({"--ip=127.0.0.1", "send", "GetImageConfig", "--password=a=b",
                           "--short-port", "08080", "--body-file", "b.xml"},
                          home.Path());
    ASSERT_EQ(a.error, "");
    EXPECT_EQ(a.command, CliCommand::Send);
    EXPECT_EQ(a.interfaceName + "|" + a.connection.ip + "|" + a.connection.password + "|" +
                  a.connection.shortPort + "|" + a.bodyFile,
              "GetImageConfig|127.0.0.1|a=b|8080|b.xml");
    const CliArguments listen = ParseCliArguments(
        {"listen", "--then", "b.xml", "a.xml", "--seconds", "5", "--then=c.xml"}, home.Path());
    EXPECT_EQ(listen.files, (std::vector<std::string>{"a.xml", "b.xml", "c.xml"}));
    EXPECT_EQ(listen.seconds, 5);

    const CliRun help = RunCli({"send", "--help"}, home.Path());
    EXPECT_EQ(help.status, kExitOk);
    EXPECT_NE(help.out.find("Usage: tessaly-cli"), std::string::npos);
    EXPECT_EQ(RunCli({"--version"}, home.Path()).out, "tessaly-cli 3.0.0.6\n");
}

TEST(CliSend, BasicAndDigestDevicesAnswerWithTheBodyOnly) {
    TempFolder home;
    for (SimAuthMode mode : {SimAuthMode::Basic, SimAuthMode::Digest}) {
        SimulatorOptions options;
        options.auth = mode;
        const auto sim = StartDevice(options, home);
        ASSERT_TRUE(sim);
        const CliRun run =
            RunCli(At("send", std::to_string(sim->shortPort()), {"GetDeviceInfo"}), home.Path());
        EXPECT_EQ(run.status, kExitOk) << run.err;
        EXPECT_EQ(run.out.rfind("<?xml", 0), 0u) << run.out;  // no status line or headers
        EXPECT_NE(run.out.find("<hardwareVersion"), std::string::npos) << run.out;
    }
}

TEST(CliSend, VerboseJsonAndFailTellTheAnswersStatus) {
    TempFolder home;
    const auto sim = StartDevice({}, home);
    ASSERT_TRUE(sim);
    const std::string port = std::to_string(sim->shortPort());
    const CliRun plain = RunCli(At("send", port, {"GetDeviceInfo"}), home.Path());
    const CliRun verbose = RunCli(At("send", port, {"GetDeviceInfo", "-v"}), home.Path());
    EXPECT_EQ(verbose.out, plain.out);
    EXPECT_EQ(verbose.err.rfind("tessaly-cli: 200 OK, ", 0), 0u) << verbose.err;
    EXPECT_NE(verbose.err.find(" ms, " + std::to_string(plain.out.size()) + " bytes, Digest\n"),
              std::string::npos)
        << verbose.err;

    const CliRun json = RunCli(At("send", port, {"--json", "GetDeviceInfo"}), home.Path());
    ASSERT_EQ(json.status, kExitOk);
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
    EXPECT_TRUE(o.value("status").isDouble() && o.value("timeMs").isDouble());
    EXPECT_EQ(o.value("status").toInt() * 1000000 + o.value("bytes").toInt(),
              200 * 1000000 + int(plain.out.size()));
    EXPECT_EQ(o.value("reason").toString() + "|" + o.value("auth").toString() + "|" +
                  o.value("error").toString(),
              "OK|Digest|");
    EXPECT_EQ(o.value("body").toString(), QString::fromStdString(plain.out));  // Chinese too

    // --fail: an error status prints no body and exits 3; --json still tells it.
    const struct {
        std::vector<std::string> extra;
        int status;
        bool body;
    } rows[] = {{{}, kExitOk, true},
                {{"--fail"}, kExitHttpError, false},
                {{"--fail", "--json"}, kExitHttpError, true}};
    for (const auto& row : rows) {
        std::vector<std::string> args = {"GetDeviceInfo", "--password", "wrong"};
        args.insert(args.end(), row.extra.begin(), row.extra.end());
        const CliRun run = RunCli(At("send", port, args), home.Path());
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_EQ(run.out.find("401 Unauthorized") != std::string::npos, row.body) << run.out;
        EXPECT_EQ(run.err.find("answered 401 Unauthorized") != std::string::npos,
                  row.status == kExitHttpError)
            << run.err;
    }
}

TEST(CliSend, ThePrintedCurlCommandPostsWhatSendPosts) {
    TempFolder home;
    const auto sim = StartDevice({}, home);
    ASSERT_TRUE(sim);
    const std::string port = std::to_string(sim->shortPort());
    // curl asks for the password; the test gives it on the command line.
    const auto runCurl = [&](const std::vector<std::string>& args) {
        std::string command = RunCli(At("send", port, args), home.Path()).out;
        const size_t user = command.find(" -u 'admin' ");
        if (user == std::string::npos)
            return "no user in " + command;
        command.replace(user, 12, " -u 'admin:739184' -sS ");
        QProcess shell;
        shell.start("sh", {"-c", QString::fromStdString(command)});
        return shell.waitForFinished(10000) && shell.exitCode() == 0
                   ? shell.readAllStandardOutput().toStdString()
                   : "failed: " + shell.readAllStandardError().toStdString();
    };
    const std::string image = "<config><image><brightness>77</brightness></image></config>\r\n";
    const std::string body = home.WriteFile("image.xml", image);
    const std::vector<std::string> posts[] = {
        {"GetDeviceInfo"}, {"SetImageConfig", "--body-file", body}, {"GetImageConfig"}};
    for (const std::vector<std::string>& post : posts) {
        std::vector<std::string> curl = post;
        curl.push_back("--curl");
        EXPECT_EQ(runCurl(curl), RunCli(At("send", port, post), home.Path()).out) << post[0];
    }
    // The Set that curl posted reached the device, body and all.
    EXPECT_NE(RunCli(At("send", port, {"GetImageConfig"}), home.Path()).out.find(">77<"),
              std::string::npos);
}

TEST(CliListen, FollowUpIsAnsweredAndEveryPushedPictureIsFiled) {
    TempFolder home, record;
    SimulatorOptions options;
    options.eventCount = 4;
    options.eventRate = 0;
    const auto sim = StartDevice(options, record);
    ASSERT_TRUE(sim);
    const CliRun run = RunCli(At("listen", std::to_string(sim->longPort()),
                                 {ShippedFile("SetSubscribe"), "--then",
                                  ShippedFile("GetSubscribeInfo"), "--seconds", "2"}),
                              home.Path());
    ASSERT_EQ(run.status, kExitOk) << run.err;
    // The log holds exactly what the device sent; the follow-up carried the right address.
    const std::string log = ReadFile(home.Path() + "/ApiLog.txt");
    EXPECT_FALSE(log.empty());
    EXPECT_EQ(log, ReadFile(record.Path() + "/long-sent.bin"));
    EXPECT_EQ(log.find("Unknown serverAddress"), std::string::npos);
    // One line per message, the first an answer; the events name the pictures they filed.
    EXPECT_EQ(run.out.rfind("response length=", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("\nresponse length="), std::string::npos) << run.out;  // follow-up
    std::istringstream words(run.out);
    std::vector<std::string> printed;
    for (std::string word; words >> word;)
        if (word[0] == '/')
            printed.push_back(word);
    // The pictures filed are the pictures the device sent, byte for byte.
    std::sort(printed.begin(), printed.end());
    EXPECT_EQ(printed, FilesBelow(home.Path() + "/pic"));
    std::multiset<std::string> filed, sent;
    for (const std::string& file : printed)
        filed.insert(ReadFile(file));
    for (const std::string& file : FilesBelow(record.Path() + "/pictures"))
        sent.insert(ReadFile(file));
    EXPECT_EQ(filed.size(), 12u);
    EXPECT_EQ(filed, sent);
}

// Smart types and paths come from the device: whatever their bytes, the JSON stays valid UTF-8.
TEST(CliIndex, JsonStringsEscapeAndReplaceWhatIsNotText) {
    const std::pair<std::string, std::string> rows[] = {
        {"a\"b\\c/", "\"a\\\"b\\\\c/\""},
        {"\x01\n\x1f", "\"\\u0001\\n\\u001f\""},
        {"Jos\xc3\xa9 \xe5\xbc\xa0", "\"Jos\xc3\xa9 \xe5\xbc\xa0\""},
        {"\xff\xc0\x80", "\"\\ufffd\\ufffd\\ufffd\""},    // not UTF-8, overlong
        {"\xed\xa0\x80x", "\"\\ufffd\\ufffd\\ufffdx\""},  // a surrogate
        {"\xe5\xbc", "\"\\ufffd\\ufffd\""},               // cut short
    };
    for (const auto& [bytes, json] : rows)
        EXPECT_EQ(JsonString(bytes), json);
}

// listen --json prints what index --json finds in the device's recording, with the time added
// and the pictures named: both list the same messages at the same offsets.
TEST(CliIndex, ListenJsonAndTheIndexOfTheRecordingAgree) {
    TempFolder home, record;
    SimulatorOptions options;
    options.eventCount = 5;
    options.eventRate = 0;
    options.kinds = {QStringLiteral("VFD_MATCH"), QStringLiteral("PEA")};
    const auto sim = StartDevice(options, record);
    ASSERT_TRUE(sim);
    const CliRun listen = RunCli(At("listen", std::to_string(sim->longPort()),
                                    {ShippedFile("SetSubscribe"), "--json", "--seconds", "2"}),
                                 home.Path());
    ASSERT_EQ(listen.status, kExitOk) << listen.err;
    const std::string recording = record.Path() + "/long-sent.bin";
    const CliRun index = RunCli({"index", "--json", recording}, home.Path());
    ASSERT_EQ(index.status, kExitOk) << index.err;
    const QList<QByteArray> live = QByteArray::fromStdString(listen.out).trimmed().split('\n');
    const QList<QByteArray> again = QByteArray::fromStdString(index.out).trimmed().split('\n');
    ASSERT_EQ(live.size(), 6);  // the answer and five events
    ASSERT_EQ(again.size(), live.size());
    const std::string log = ReadFile(recording);
    QString lastTime;
    for (int i = 0; i < live.size(); ++i) {
        SCOPED_TRACE(i);
        QJsonObject l = QJsonDocument::fromJson(live[i]).object();
        const QJsonObject a = QJsonDocument::fromJson(again[i]).object();
        const QString time = l.take(QStringLiteral("time")).toString();
        EXPECT_TRUE(QDateTime::fromString(time, Qt::ISODateWithMs).isValid()) << time.toStdString();
        EXPECT_GE(time, lastTime);
        lastTime = time;
        const QJsonArray paths = l.take(QStringLiteral("pictures")).toArray();
        EXPECT_EQ(a[QStringLiteral("pictures")].toInt(), paths.size());
        for (const QJsonValue& path : paths)
            EXPECT_FALSE(ReadFile(path.toString().toStdString()).empty());
        QJsonObject withoutCount = a;
        withoutCount.remove(QStringLiteral("pictures"));
        EXPECT_EQ(l, withoutCount) << live[i].toStdString() << "\n" << again[i].toStdString();
        const std::string kind = l[QStringLiteral("kind")].toString().toStdString();
        const std::string bytes = log.substr(l[QStringLiteral("offset")].toInteger(), 4);
        EXPECT_EQ(bytes, kind == "answer" ? "HTTP" : "POST");
    }
    // Without --json: one line per message.
    const CliRun lines = RunCli({"index", recording}, home.Path());
    EXPECT_EQ(lines.out.rfind("answer offset=0 length=", 0), 0u) << lines.out;
    EXPECT_EQ(std::count(lines.out.begin(), lines.out.end(), '\n'), live.size());
}

TEST(CliFailures, WrongLinesRefusedConnectionsAndUnreadableFilesExitWithTheReason) {
    TempFolder home;
    const auto sim = StartDevice({}, home);
    ASSERT_TRUE(sim);
    const std::string dead = std::to_string(DeadPort()), port = std::to_string(sim->shortPort());
    const std::string file = ShippedFile("SetSubscribe"), none = home.Path() + "/none.xml";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } rows[] = {
        {{}, kExitUsage, "no command"},
        {{"frobnicate"}, kExitUsage, "unknown command frobnicate"},
        {{"send", "GetDeviceInfo", "--ip"}, kExitUsage, "--ip needs a value"},
        {{"catalogue", "extra"}, kExitUsage, "unexpected argument extra"},
        {{"send", "X", "--short-port", "65536"}, kExitUsage, "--short-port"},
        {{"send", "X", "--then", "a.xml"}, kExitUsage, "--then does not belong"},
        {{"catalogue", "--json"}, kExitUsage, "--json does not belong"},
        {{"index", "--json=yes", "f"}, kExitUsage, "--json takes no value"},
        {{"index"}, kExitUsage, "index needs a log FILE"},
        {{"index", none}, kExitFailed, "cannot read the log"},
        {{"catalogue", "--home", file}, kExitUsage, "not a folder"},
        {{"preview", "SetImageConfig"}, kExitUsage, "\"SetImageConfig\""},
        {At("send", dead, {"GetDeviceInfo"}), kExitFailed, "Send fail, Please Check the IP"},
        {At("send", port, {"SetImageConfig", "--body-file", none}), kExitFailed, "body file"},
        {At("send", port, {"SetImageConfig", "--body-file", home.Path()}), kExitFailed,
         "body file"},
        {At("listen", dead, {file}), kExitFailed, "Connect fail, Please Check the IP"},
        {At("listen", dead, {file, "--password", ""}), kExitFailed, "Please input password"},
        {At("listen", dead, {none}), kExitFailed, "cannot read the request"},
        {At("listen", dead, {file, "--then", home.WriteFile("e.xml", "")}), kExitFailed, "request"},
        {{"send", "X", "--json=yes"}, kExitUsage, "--json takes no value"},
        {{"catalogue", "-v"}, kExitUsage, "-v does not belong"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message);
        const CliRun run = RunCli(row.args, home.Path());
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
    }
    EXPECT_EQ(Ask(*sim, &DeviceSimulator::shortRequestCount), 0);  // a bad body sends nothing
    // A subscription the device refuses ends listen with the answer's status.
    const CliRun refused = RunCli(
        At("listen", std::to_string(sim->longPort()), {file, "--password", "x", "--seconds", "5"}),
        home.Path());
    EXPECT_EQ(refused.status, kExitFailed);
    EXPECT_EQ(refused.out.rfind("response length=", 0), 0u) << refused.out;
    EXPECT_NE(refused.err.find("with status 401"), std::string::npos) << refused.err;
}
