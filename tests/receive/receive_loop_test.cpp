#include <gtest/gtest.h>

#include <string>

#include "loop_cases.h"

namespace {

// Reports (where each lies in the log, and when), shown texts (up to the first NUL, none for
// other data), log, address and asks.
void ExpectRun(const LoopCase& c) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::int64_t start = NowMs();
    const DrivenRun run = DriveReceiveLoop(folder.Path(), c.pieces);
    ASSERT_EQ(run.reports.size(), c.reports.size());
    std::vector<std::string> texts;
    std::string all;
    for (std::size_t i = 0; i < c.reports.size(); ++i) {
        const MessageReport& got = run.reports[i];
        const Want& want = c.reports[i];
        EXPECT_EQ(got.kind, want.kind) << i;
        EXPECT_EQ(got.length, want.bytes.size()) << i;
        EXPECT_TRUE(got.complete) << i;
        EXPECT_EQ(got.decoded, want.decoded) << i;
        EXPECT_EQ(run.log.substr(got.logOffset, got.logLength), want.bytes) << i;
        EXPECT_TRUE(got.timeMs >= start && got.timeMs <= NowMs()) << i;
        ASSERT_EQ(got.pictures.size(), want.pictures.size()) << i;
        for (std::size_t k = 0; k < got.pictures.size(); ++k) {
            EXPECT_EQ(ReadFile(got.pictures[k]), want.pictures[k]) << i << " " << k;
            EXPECT_NE(got.pictures[k].find("/pic/" + got.smartType + "/"), std::string::npos);
        }
        if (want.kind != MessageKind::Other) {
            texts.push_back(want.bytes.substr(0, want.bytes.find('\0')));
        }
    }
    for (const std::string& piece : c.pieces) {
        all += piece;
    }
    EXPECT_EQ(run.texts, texts);
    EXPECT_EQ(run.log, c.log.value_or(all));
    EXPECT_EQ(run.serverAddress, c.address);
    ASSERT_GE(run.reads.size(), c.asks.size());
    for (std::size_t k = 0; k < c.asks.size(); ++k) {
        EXPECT_EQ(run.reads[k].first, c.asks[k]) << "read " << k;
    }
}

}  // namespace

TEST(ReceiveLoopStream, MessagesWhereverTheReadsFall) {
    for (const LoopCase& c : StreamCases()) {
        ExpectRun(c);
    }
}
