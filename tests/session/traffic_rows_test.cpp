// The rows of the event browser: kinds, compact picture paths, filters, counts, sent requests.
#include "session/traffic_rows.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

MessageReport Report(MessageKind kind, std::string type = "",
                     std::vector<std::string> pictures = {}, std::int64_t timeMs = 1000) {
    MessageReport report;
    report.kind = kind;
    report.complete = true;
    report.decoded = kind == MessageKind::Event;
    report.smartType = std::move(type);
    report.pictures = std::move(pictures);
    report.timeMs = timeMs;
    report.length = report.logLength = 10;
    return report;
}

TEST(TrafficRows, KindsTimesAndPicturePaths) {
    EXPECT_STREQ(RowKindName(KindOf(MessageKind::Event, false)), "incomplete");
    EXPECT_STREQ(RowKindName(KindOf(MessageKind::Response, true)), "answer");
    EXPECT_STREQ(RowKindName(KindOf(MessageKind::Other, true)), "other");
    const char* zone = std::getenv("TZ");
    const std::string saved = zone != nullptr ? zone : "";
    setenv("TZ", "EST5", 1);
    tzset();
    EXPECT_EQ(IsoTime(1500), "1969-12-31T19:00:01.500-05:00");
    setenv("TZ", "UTC0", 1);
    tzset();
    EXPECT_EQ(IsoTime(86400123), "1970-01-02T00:00:00.123+00:00");
    zone != nullptr ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
    tzset();

    // Paths the archive makes are kept as file names and made whole again; others as given.
    const std::vector<std::string> paths[] = {
        {"/h/pic/VFD_MATCH/2024-05-01-16-47-03_snap_id5.jpg",
         "/h/pic/VFD_MATCH/2024-05-01-16-47-03_album_id5.jpg"},
        {"/h/pic/2024-05-01-16-47-04_src_id6.jpg"},     // no smart type: pic itself
        {"/h/pic/__/2024-05-01-16-47-05_src_id7.jpg"},  // ".." filed safely
        {"/elsewhere/x.jpg", "/h/pic/PEA/sub/y.jpg"},   // not where the archive files
    };
    const std::string types[] = {"VFD_MATCH", "", "..", "PEA"};
    TrafficRows rows("/h");
    for (std::size_t i = 0; i < 4; ++i) {
        rows.AddReport(Report(MessageKind::Event, types[i], paths[i]));
    }
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(rows.PicturePaths(rows.Row(i)), paths[i]) << i;
    }
}

TEST(TrafficRows, FiltersCountsAndRates) {
    TrafficRows rows;
    rows.AddSent("POST /SetSubscribe HTTP/1.1\r\nHost: a\r\n\r\n<x/>", 40, 900);
    rows.AddReport(Report(MessageKind::Response));
    rows.AddReport(Report(MessageKind::Event, "PEA", {}, 5000));
    rows.AddReport(Report(MessageKind::Event, "VFD_MATCH", {}, 5200));
    rows.AddReport(Report(MessageKind::Event, "PEA", {}, 7999));
    MessageReport cut = Report(MessageKind::Event, "PEA");
    cut.complete = false;
    rows.AddReport(cut);
    rows.AddReport(Report(MessageKind::Other));

    EXPECT_EQ(rows.SmartTypes(), (std::vector<std::string>{"", "PEA", "VFD_MATCH"}));
    EXPECT_EQ(rows.TypeCounts(), (std::vector<std::size_t>{0, 2, 1}));  // the cut one is no event
    EXPECT_EQ(rows.EventsPerSecond(8500, 4), (std::vector<int>{2, 0, 1, 0}));
    EXPECT_EQ(rows.EventsPerSecond(5100, 2), (std::vector<int>{0, 2}));
    EXPECT_EQ(rows.SentPath(rows.Row(0)), "/SetSubscribe");

    const std::vector<bool> found{false, true, false, true};  // searched up to row 3
    const struct {
        unsigned shown;
        std::vector<bool> hidden;
        const std::vector<bool>* matches;
        std::vector<std::uint32_t> visible;
    } cases[] = {
        {RowFilter::kAll, {}, nullptr, {0, 1, 2, 3, 4, 5, 6}},
        {RowFilter::kEvents, {}, nullptr, {2, 3, 4}},
        {RowFilter::kSentRows | RowFilter::kIncomplete, {}, nullptr, {0, 5}},
        {RowFilter::kAll, {false, true}, nullptr, {0, 1, 3, 5, 6}},  // PEA events hidden only
        {RowFilter::kAll, {}, &found, {1, 3}},
    };
    for (const auto& c : cases) {
        const RowFilter filter{c.shown, c.hidden, c.matches};
        EXPECT_EQ(rows.Visible(filter), c.visible);
    }
    EXPECT_EQ(rows.Visible(RowFilter{}, 5), (std::vector<std::uint32_t>{5, 6}));
}

TEST(TrafficRows, InboxKeepsOrderCutsLargeRequestsAndMarksFailures) {
    TrafficInbox inbox;
    int wakeUps = 0;
    inbox.SetWakeUp([&] { ++wakeUps; });
    const std::string large = "POST /Big HTTP/1.1\r\n\r\n" + std::string(2 << 20, 'x');
    const std::uint32_t first = inbox.AddSent(large, 1);
    inbox.AddReport(Report(MessageKind::Response));
    const std::uint32_t second = inbox.AddSent("POST /Small HTTP/1.1\r\n\r\n", 2);
    inbox.SendFailed(second);
    EXPECT_EQ(wakeUps, 1);  // once, for the empty inbox
    TrafficRows rows;
    ASSERT_EQ(inbox.TakeInto(rows), 3u);
    EXPECT_EQ(first + 1, second);
    EXPECT_EQ(rows.Row(0).length, large.size());
    EXPECT_EQ(rows.SentBytes(rows.Row(0)),
              std::string_view(large).substr(0, TrafficRows::kMaxSentBytes));
    EXPECT_EQ(rows.Row(0).flags, TrafficRow::kSent | TrafficRow::kCut);
    EXPECT_EQ(rows.Row(1).kind, RowKind::Answer);
    EXPECT_EQ(rows.Row(2).flags, TrafficRow::kSent | TrafficRow::kSendFailed);
    inbox.AddReport(Report(MessageKind::Other));
    EXPECT_EQ(wakeUps, 2);
}

}  // namespace
