// The device session that the window and tessaly-cli share, without a window.
#include "session/device_session.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <memory>
#include <optional>
#include <string>

#include "support/test_support.h"

namespace {

HttpOutcome Answer(bool completed, const std::string& body, long status = 200) {
    HttpOutcome outcome;
    outcome.completed = completed;
    outcome.status = completed ? status : 0;
    outcome.body = body;
    return outcome;
}

TEST(DeviceSession, ShortSendsPlanTheChoiceAndOpenThePartnerAfterACompletedSend) {
    DeviceSession session("");
    session.Settings().ip = "10.0.0.1";
    session.BuildCatalogue(kConnShort);
    EXPECT_FALSE(session.PlanShortSend() || session.PlanPairSend("x"));  // nothing chosen
    const std::string header =
        "POST /SetImageConfig/1 HTTP/1.1\r\nAuthorization: Basic YWRtaW46NzM5MTg0\r\n"
        "User-Agent: Lurvane\r\nHost: 10.0.0.1\r\nContent-Length: 10\r\n\r\n";
    struct Row {
        const char* click;
        bool completed;
        bool open;
        std::string pair;  // the partner's path afterwards
    } rows[] = {
        {"GetImageConfig", true, true, "SetImageConfig/1"},
        {"GetImageConfig", false, false, "SetImageConfig"},  // a failed send opens nothing
        {"GetDeviceInfo", true, false, ""},                  // no partner
        {"GetPortConfig", true, true, "SetPortConfig"},      // no channel: no "/1"
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.click);
        session.Choose(row.click);
        const std::optional<ShortPlan> plan = session.PlanShortSend();
        ASSERT_TRUE(plan);
        EXPECT_EQ(plan->settings.ip, "10.0.0.1");
        const PairPane pane = session.FinishShortSend(*plan, Answer(row.completed, "<a>\n1</a>"));
        EXPECT_EQ(pane.open, row.open);
        EXPECT_EQ(session.Choice().strPairInterface, row.pair);
        // A second send of the same choice does not carry the channel twice.
        if (row.open && row.pair.back() == '1') {
            EXPECT_EQ(pane.request, header + "<a>\r\n1</a>");
            // Only a 2xx answer is a body for the partner: a 401 page is not.
            const std::string empty = header.substr(0, header.find("10\r\n")) + "0\r\n\r\n";
            EXPECT_EQ(session.FinishShortSend(*plan, Answer(true, "<html/>", 401)).request, empty);
            EXPECT_EQ(session.FinishShortSend(*plan, Answer(true, "", 204)).request, empty);
            session.FinishShortSend(*plan, Answer(true, ""));
            EXPECT_EQ(session.Choice().strPairInterface, row.pair);
            // The pane's request line names the path; without one the partner's is taken.
            EXPECT_EQ(session.PlanPairSend("POST /x HTTP/1.1\r\n\r\n<e/>")->path, "x");
            const std::optional<ShortPlan> pair =
                session.PlanPairSend("Content-Length: 9\r\n\r\n<edited/>");
            ASSERT_TRUE(pair && pair->pair);
            EXPECT_EQ(pair->path + "|" + pair->body, row.pair + "|<edited/>");
            // The paired send's outcome leaves the pane's partner as it is.
            EXPECT_FALSE(session.FinishShortSend(*pair, Answer(true, "")).open);
            EXPECT_EQ(session.Choice().strPairInterface, row.pair);
        }
    }
}

TEST(DeviceSession, AnEditedRequestIsPostedWithItsOwnPathBodyAndPartner) {
    DeviceSession session("");
    session.BuildCatalogue(kConnShort);
    const struct {
        const char* text;
        ShortPlanStatus status;
        const char *path, *body, *partner;
    } rows[] = {
        {"POST /GetStreamCaps HTTP/1.1\r\nContent-Length: 99\r\n\r\n<a/>\r\n", ShortPlanStatus::Ok,
         "GetStreamCaps", "<a/>\r\n", ""},
        {"POST /GetImageConfig/1 HTTP/1.1\r\nHost: x\r\n", ShortPlanStatus::Ok, "GetImageConfig/1",
         "", "SetImageConfig"},
        {"POST /NoSuchThing HTTP/1.1\r\n\r\nb", ShortPlanStatus::Ok, "NoSuchThing", "b", ""},
        {" \r\n\t", ShortPlanStatus::NoInterface, "", "", ""},  // nothing chosen, nothing typed
        {"GetStreamCaps", ShortPlanStatus::NoRequestLine, "", "", ""}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const ShortPlanResult planned = session.PlanEditedShortSend(row.text);
        EXPECT_EQ(planned.status, row.status);
        EXPECT_EQ(planned.plan.path + "|" + planned.plan.body + "|" + planned.plan.partner,
                  std::string(row.path) + "|" + row.body + "|" + row.partner);
    }
    // Once something is chosen, a blank editor is a text without a request line.
    session.Choose("GetDeviceInfo");
    EXPECT_EQ(session.PlanEditedShortSend("\r\n").status, ShortPlanStatus::NoRequestLine);
}

TEST(DeviceSession, RefreshComposesTheChoiceWithTheNewSettingsAndKeepsThePartnersPath) {
    DeviceSession session("");
    EXPECT_FALSE(session.RefreshChoice());  // nothing chosen
    session.BuildCatalogue(kConnShort);
    session.Choose("GetImageConfig");
    session.FinishShortSend(*session.PlanShortSend(), Answer(true, "<a/>"));
    session.BuildCatalogue(kConnLong);  // the record is kept, not looked up again
    session.Settings().ip = "10.0.0.9";
    session.Settings().password = "new";
    ASSERT_TRUE(session.RefreshChoice());
    EXPECT_EQ(session.Choice().preview,
              FormatShortRequestHeader("GetImageConfig/1", EncodeCredentials("admin", "new"),
                                       "10.0.0.9", ""));
    EXPECT_EQ(session.PairRequest("<b/>"),
              "POST /SetImageConfig/1 HTTP/1.1\r\nAuthorization: Basic YWRtaW46bmV3\r\n"
              "User-Agent: Lurvane\r\nHost: 10.0.0.9\r\nContent-Length: 4\r\n\r\n<b/>");
}

TEST(OutcomeLines, StatusTimeBytesAndSchemeOrTheReason) {
    HttpOutcome answered = Answer(true, std::string(1234, 'x'), 401);
    answered.reason = "Unauthorized";
    answered.elapsedMs = 12;
    answered.auth = "Digest";
    EXPECT_EQ(ShortOutcomeLine(answered), "401 Unauthorized, 12 ms, 1,234 bytes, Digest");
    answered.auth.clear();
    answered.body = "x";
    EXPECT_EQ(ShortOutcomeLine(answered), "401 Unauthorized, 12 ms, 1 byte, no authentication");
    HttpOutcome failed = Answer(false, "");
    failed.error = "Couldn't connect to server (Connection refused)";
    EXPECT_EQ(ShortOutcomeLine(failed),
              "Failed after 0 ms: Couldn't connect to server (Connection refused)");
    EXPECT_EQ(ByteCountText(3 * 1024 * 1024 + 400 * 1024), "3.4 MB");

    ReceiveTally tally;
    tally.Read(300);
    MessageReport answer;
    answer.kind = MessageKind::Response;
    answer.status = 401;
    tally.Message(answer);
    tally.Read(0);
    EXPECT_EQ(std::to_string(tally.Bytes()) + " " + std::to_string(tally.Messages()) + " " +
                  std::to_string(tally.LastStatus()),
              "300 1 401");
    EXPECT_EQ(tally.End(), ReadEnd::ClosedByDevice);
    tally.Reset();
    EXPECT_EQ(tally.Bytes() + tally.Messages() + tally.LastStatus(), 0);
}

TEST(DeviceSession, ScriptsChooseInterfacesAndPartnersByName) {
    DeviceSession session("");
    const std::pair<std::string, std::string> rows[] = {
        {"PtzControl", "1 PtzControl/1/Up"},       // a record: as a click
        {"SetImageConfig", "2 SetImageConfig/1"},  // a partner takes its reader's channel
        {"SetPortConfig", "2 SetPortConfig"},
        {"NoSuchThing", "0 SetPortConfig"},  // unknown: the choice stays
        {"", "0 SetPortConfig"}};
    for (const auto& [name, want] : rows) {
        const SendTarget target = session.ChooseByName(name);
        EXPECT_EQ(std::to_string(static_cast<int>(target)) + " " + session.Choice().strInterface,
                  want);
    }
    EXPECT_TRUE(session.Choice().strBody.empty() && session.Choice().strPairInterface.empty());
    session.ChooseByName("PtzControl");
    EXPECT_NE(session.Choice().strBody.find("<speed>4</speed>"), std::string::npos);
}

// "Long connect send", waited for.
LongSendOutcome LongSendAndWait(DeviceSession& session, const std::string& bytes) {
    // Shared with the send's thread, which may still be leaving set_value when get returns.
    auto outcome = std::make_shared<std::promise<LongSendOutcome>>();
    std::future<LongSendOutcome> done = outcome->get_future();
    if (!session.StartLongSend(
            bytes, [outcome](LongSendOutcome o) { outcome->set_value(std::move(o)); })) {
        LongSendOutcome refused;
        refused.send = SendResult::Failed;
        return refused;
    }
    return done.get();
}

TEST(DeviceSession, LongSendRecordsTheAnswersAddressForFollowUps) {
    TempFolder folder;
    RecordingObserver observer;
    LoopbackListener device;
    TrafficInbox inbox;
    DeviceSession session(folder.Path(), &observer, &inbox);
    session.Settings().ip = "127.0.0.1";
    session.Settings().longPort = std::to_string(device.Port());
    const std::string followUp =
        folder.WriteFile("SUBSCRIBE_RenewSubscribe_test.xml",
                         "<config><serverAddress><![CDATA[old]]></serverAddress></config>");

    const LongSendOutcome sent = LongSendAndWait(session, "POST /SetSubscribe HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(sent.connectTried && sent.connect == ConnectResult::Ok);
    EXPECT_EQ(sent.send, SendResult::Ok);
    const int peer = device.Accept();
    ASSERT_GE(peer, 0);
    EXPECT_EQ(ReadBytes(peer, 31), "POST /SetSubscribe HTTP/1.1\r\n\r\n");
    ASSERT_TRUE(WriteAll(peer, SubscribeAnswer("http://127.0.0.1:1/S/9")));
    ASSERT_TRUE(observer.WaitForReports(1));

    std::string request;
    ASSERT_EQ(session.PrepareLongRequest(followUp, "127.0.0.1", "RenewSubscribe", request),
              PrepareResult::Ok);
    EXPECT_NE(request.find("<![CDATA[http://127.0.0.1:1/S/9]]>"), std::string::npos);
    EXPECT_FALSE(session.NeedConnect());
    close(peer);  // the device goes: the next long send reconnects
    for (int i = 0; i < 500 && !session.NeedConnect(); ++i)
        usleep(10000);
    EXPECT_TRUE(session.NeedConnect());
    session.DisconnectLong();
    session.Settings().longPort = std::to_string(DeadPort());  // the device is gone
    EXPECT_EQ(LongSendAndWait(session, "POST /Late HTTP/1.1\r\n\r\n").send, SendResult::Failed);
    session.CloseLog();
    EXPECT_EQ(ReadFile(folder.Path() + "/ApiLog.txt"), SubscribeAnswer("http://127.0.0.1:1/S/9"));
    // The browser's rows: each request before its answer, the failed one marked.
    TrafficRows rows(folder.Path());
    ASSERT_EQ(inbox.TakeInto(rows), 3u);
    EXPECT_EQ(rows.SentPath(rows.Row(0)), "/SetSubscribe");
    EXPECT_EQ(rows.Row(1).kind, RowKind::Answer);
    EXPECT_EQ(rows.Row(1).logLength, SubscribeAnswer("http://127.0.0.1:1/S/9").size());
    EXPECT_EQ(rows.Row(0).flags & TrafficRow::kSendFailed, 0);
    EXPECT_NE(rows.Row(2).flags & TrafficRow::kSendFailed, 0);
}

}  // namespace
