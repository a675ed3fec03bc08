// catalogue, preview and send, the last against the device simulator on 127.0.0.1.
#include <gtest/gtest.h>

#include <QString>
#include <algorithm>
#include <memory>

#include "cli_test_support.h"
#include "sim/device_simulator.h"
#include "sim/simulator_thread.h"

namespace {

const char kSendFail[] = "Send fail, Please Check the IP/Username/Password/ShortPort !";
// Base64 of "admin:739184", the window's start credentials.
const char kStartCredentials[] = "YWRtaW46NzM5MTg0";

// The lines of a catalogue listing under one module: the indented lines after the module's
// line, up to the next module.
std::vector<std::string> ItemsUnder(const std::string& listing, const std::string& module) {
    std::vector<std::string> items;
    bool inside = false;
    for (const std::string& line : SplitLines(listing)) {
        const bool item = line.rfind("  ", 0) == 0;
        if (!item) {
            inside = line == module;
        } else if (inside) {
            items.push_back(line.substr(2));
        }
    }
    return items;
}

std::vector<std::string> ModuleLines(const std::string& listing) {
    std::vector<std::string> modules;
    for (const std::string& line : SplitLines(listing)) {
        if (line.rfind("  ", 0) != 0)
            modules.push_back(line);
    }
    return modules;
}

// The value of a header line "Name: value" of a request text; "" when absent.
std::string HeaderValue(const std::string& request, const std::string& name) {
    const std::string key = "\r\n" + name + ": ";
    const size_t at = request.find(key);
    if (at == std::string::npos)
        return std::string();
    const size_t start = at + key.size();
    return request.substr(start, request.find("\r\n", start) - start);
}

std::string BodyOf(const std::string& request) {
    const size_t end = request.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : request.substr(end + 4);
}

class CliCatalogueTest : public testing::Test {
  protected:
    TempHome home_;
};

TEST_F(CliCatalogueTest, ShortModeListsFolderModulesThenTheBuiltInOnes) {
    home_.Write("protocol_short/Event/GetEvent&SetEvent_1.xml", "<a/>");
    home_.Write("protocol_short/Event/notes.txt", "not a request");
    home_.MakeFolder("protocol_short/Event/sub.xml");  // a folder, not a request file
    const CliRun run = RunCli({"catalogue", "--mode", "short"}, home_.Path());
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(ModuleLines(run.out),
              (std::vector<std::string>{"Event", "System", "Image", "PTZ", "Alarm", "Network",
                                        "Security", "Maintain"}));
    // A folder module lists only its own records, not those of the built-in module that
    // shares its combo position.
    EXPECT_EQ(ItemsUnder(run.out, "Event"), (std::vector<std::string>{"GetEvent"}));
    EXPECT_EQ(ItemsUnder(run.out, "System"),
              (std::vector<std::string>{"GetDeviceInfo", "GetDateAndTime"}));
    EXPECT_EQ(
        ItemsUnder(run.out, "PTZ"),
        (std::vector<std::string>{
            "PtzGetCaps", "PtzGetProtocolConfig", "PtzGetPresets", "PtzAddPreset",
            "PtzDeletePreset", "PtzModifyPresetPosition", "PtzModifyPresetName", "PtzGotoPreset",
            "PtzGetCruises", "PtzGetCruise", "PtzAddCruise", "PtzDeleteCruise", "PtzModifyCruise",
            "PtzRunCruise", "PtzStopCruise", "PtzControl"}));
    EXPECT_EQ(ItemsUnder(run.out, "Maintain"), (std::vector<std::string>{"Reboot"}));
    EXPECT_EQ(run.err, "");
}

TEST_F(CliCatalogueTest, LongModeListsTheRequestFilesOfEachModuleFolder) {
    home_.Write("protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml", "<a/>");
    home_.Write("protocol_long/Subscribe/readme.md", "");
    home_.MakeFolder("protocol_long/Empty");
    const CliRun run = RunCli({"catalogue"}, home_.Path());
    ASSERT_EQ(run.status, kExitOk) << run.err;
    std::vector<std::string> modules = ModuleLines(run.out);
    std::sort(modules.begin(), modules.end());  // folders come in listing order
    EXPECT_EQ(modules, (std::vector<std::string>{"Empty", "Subscribe"}));
    EXPECT_EQ(ItemsUnder(run.out, "Subscribe"),
              (std::vector<std::string>{"SUBSCRIBE_SetSubscribe_test"}));
    EXPECT_TRUE(ItemsUnder(run.out, "Empty").empty());
}

TEST_F(CliCatalogueTest, MissingRequestFoldersGiveNoFolderModules) {
    const CliRun longMode = RunCli({"catalogue", "--mode", "long"}, home_.Path());
    EXPECT_EQ(longMode.status, kExitOk);
    EXPECT_EQ(longMode.out, "");
    const CliRun shortMode = RunCli({"catalogue", "--mode", "short"}, home_.Path());
    EXPECT_EQ(ModuleLines(shortMode.out).size(), 7u);
}

class CliPreviewTest : public testing::Test {
  protected:
    TempHome home_;
};

TEST_F(CliPreviewTest, ChannelInterfaceWithoutBodyEndsWithTheBlankLine) {
    const CliRun run = RunCli({"preview", "GetImageConfig", "--ip", "127.0.0.1"}, home_.Path());
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out, std::string("POST /GetImageConfig/1 HTTP/1.1\r\nAuthorization: Basic ") +
                           kStartCredentials +
                           "\r\nUser-Agent: Lurvane\r\nHost: 127.0.0.1\r\n\r\n");
}

TEST_F(CliPreviewTest, EnteredPasswordReplacesOnlyTheOldPasswordOfModifyPassword) {
    const CliRun run = RunCli({"preview", "ModifyPassword", "--password", "s3cret"}, home_.Path());
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out.rfind("POST /ModifyPassword HTTP/1.1\r\n", 0), 0u);
    EXPECT_EQ(HeaderValue(run.out, "Authorization"), "Basic YWRtaW46czNjcmV0");
    const std::string body = BodyOf(run.out);
    EXPECT_EQ(HeaderValue(run.out, "Content-Length"), std::to_string(body.size()));
    // Base64 of "s3cret" in the old-password element, the start password's in the new one.
    EXPECT_NE(body.find("<oldPassword><![CDATA[czNjcmV0]]></oldPassword>"), std::string::npos);
    EXPECT_NE(body.find("<password><![CDATA[NzM5MTg0]]></password>"), std::string::npos);
}

TEST_F(CliPreviewTest, PtzControlGoesUpAndFolderRecordsCarryTheirFileBytes) {
    const CliRun ptz = RunCli({"preview", "PtzControl"}, home_.Path());
    ASSERT_EQ(ptz.status, kExitOk);
    EXPECT_EQ(ptz.out.rfind("POST /PtzControl/1/Up HTTP/1.1\r\n", 0), 0u);

    const std::string file =
        "<?xml version=\"1.0\"?>\r\n<config>\r\n\t<x>\xC3\xA9</x>\r\n</config>";
    home_.Write("protocol_short/Custom/SetThing_2.xml", file);
    const CliRun custom = RunCli({"preview", "SetThing", "--short-port", "8080"}, home_.Path());
    ASSERT_EQ(custom.status, kExitOk) << custom.err;
    EXPECT_EQ(custom.out.rfind("POST /SetThing/1 HTTP/1.1\r\n", 0), 0u);
    EXPECT_EQ(HeaderValue(custom.out, "Content-Length"), std::to_string(file.size()));
    EXPECT_EQ(BodyOf(custom.out), file);  // bytes and line ends untouched
}

TEST_F(CliPreviewTest, UnknownInterfaceIsAUsageError) {
    const CliRun run = RunCli({"preview", "GetNothing"}, home_.Path());
    EXPECT_EQ(run.status, kExitUsage);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("\"GetNothing\""), std::string::npos);
    // A writing partner is no catalogue record: the window cannot preview it either.
    EXPECT_EQ(RunCli({"preview", "SetImageConfig"}, home_.Path()).status, kExitUsage);
}

// One simulated device per authorisation scheme, shared by the send tests.
class CliSendTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        for (SimAuthMode mode : {SimAuthMode::Basic, SimAuthMode::Digest}) {
            SimulatorOptions options;
            options.auth = mode;
            auto sim = std::make_unique<SimulatorThread>(options);
            QString error;
            if (!sim->start(&error))
                sim.reset();
            (mode == SimAuthMode::Basic ? basic_ : digest_) = std::move(sim);
        }
    }
    static void TearDownTestSuite() {
        basic_.reset();
        digest_.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(basic_ && digest_) << "the simulated devices did not start";
    }

    static int Requests(SimulatorThread& sim) {
        int count = 0;
        sim.invoke([&count](DeviceSimulator& device) { count = device.shortRequestCount(); });
        return count;
    }

    CliRun Send(SimulatorThread& sim, std::vector<std::string> args) {
        args.insert(args.begin(),
                    {"send", "--ip", "127.0.0.1", "--short-port", std::to_string(sim.shortPort())});
        return RunCli(args, home_.Path());
    }

    static std::unique_ptr<SimulatorThread> basic_;
    static std::unique_ptr<SimulatorThread> digest_;
    TempHome home_;
};

std::unique_ptr<SimulatorThread> CliSendTest::basic_;
std::unique_ptr<SimulatorThread> CliSendTest::digest_;

TEST_F(CliSendTest, BasicAndDigestDevicesAnswerWithTheBodyOnly) {
    for (SimulatorThread* sim : {basic_.get(), digest_.get()}) {
        const int before = Requests(*sim);
        const CliRun run = Send(*sim, {"GetDeviceInfo"});
        EXPECT_EQ(run.status, kExitOk) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out.rfind("<?xml", 0), 0u) << run.out;  // no status line or headers
        EXPECT_NE(run.out.find("status=\"success\""), std::string::npos);
        EXPECT_NE(run.out.find("<hardwareVersion"), std::string::npos);
        EXPECT_GT(Requests(*sim), before);
    }
}

TEST_F(CliSendTest, RefusedCredentialsStillCompleteTheTransfer) {
    const CliRun run = Send(*digest_, {"GetDeviceInfo", "--password", "wrong"});
    EXPECT_EQ(run.status, kExitOk);
    EXPECT_NE(run.out.find("401 Unauthorized"), std::string::npos);
    EXPECT_EQ(run.err, "");
}

TEST_F(CliSendTest, SettingReadEditedAndWrittenBackThroughThePartner) {
    const CliRun read = Send(*basic_, {"GetImageConfig"});
    ASSERT_EQ(read.status, kExitOk) << read.err;
    const std::string from = "<brightness type=\"uint32\">128</brightness>";
    const size_t at = read.out.find(from);
    ASSERT_NE(at, std::string::npos) << read.out;
    std::string edited = read.out;
    edited.replace(at, from.size(), "<brightness type=\"uint32\">77</brightness>");
    const std::string file = home_.Write("image.xml", edited);

    const CliRun write = Send(*basic_, {"SetImageConfig", "--body-file", file});
    ASSERT_EQ(write.status, kExitOk) << write.err;
    EXPECT_NE(write.out.find("status=\"success\""), std::string::npos) << write.out;

    const CliRun again = Send(*basic_, {"GetImageConfig"});
    EXPECT_NE(again.out.find("<brightness type=\"uint32\">77</brightness>"), std::string::npos)
        << again.out;
    const CliRun restore =
        Send(*basic_, {"SetImageConfig", "--body-file", home_.Write("restore.xml", read.out)});
    EXPECT_EQ(restore.status, kExitOk);
}

TEST_F(CliSendTest, DeadPortFailsWithTheWindowsTextAndNothingOnStandardOutput) {
    const int port = DeadLoopbackPort();
    ASSERT_NE(port, 0);
    const CliRun run =
        RunCli({"send", "GetDeviceInfo", "--ip", "127.0.0.1", "--short-port", std::to_string(port)},
               home_.Path());
    EXPECT_EQ(run.status, kExitFailed);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind(kSendFail, 0), 0u) << run.err;
}

TEST_F(CliSendTest, UnreadableBodyFileOrUnknownInterfaceSendsNothing) {
    const int before = Requests(*basic_);
    const CliRun missing = Send(*basic_, {"SetImageConfig", "--body-file", home_.Path() + "/no"});
    EXPECT_EQ(missing.status, kExitFailed);
    EXPECT_NE(missing.err.find("cannot read the body file"), std::string::npos);
    const CliRun folder = Send(*basic_, {"SetImageConfig", "--body-file", home_.Path()});
    EXPECT_EQ(folder.status, kExitFailed);
    const CliRun unknown = Send(*basic_, {"GetNothing"});
    EXPECT_EQ(unknown.status, kExitUsage);
    EXPECT_EQ(Requests(*basic_), before);
}

}  // namespace
