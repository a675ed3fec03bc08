// The log indexer reads back the logs the receive loop wrote: the same messages at the same
// offsets, with the folder notes, a cut end and bytes of no message as entries of their own.
#include "receive/log_index.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include "loop_cases.h"
#include "receive/picture_archive.h"

namespace {

std::vector<LogEntry> IndexBytes(const std::string& bytes) {
    LogIndexer indexer;
    indexer.OpenBytes(bytes);
    std::vector<LogEntry> entries;
    for (LogEntry entry; indexer.Next(entry);) {
        entries.push_back(entry);
    }
    return entries;
}

// The entries of the log file equal what the loop reported while writing it. The index counts
// the pictures in the text; the loop, the files it wrote (all of them unless `filed` is false).
void ExpectIndexMatches(const std::string& path, const std::vector<MessageReport>& reports,
                        bool filed = true) {
    LogIndexer indexer;
    ASSERT_TRUE(indexer.Open(path)) << indexer.Error();
    std::vector<LogEntry> entries;
    for (LogEntry entry; indexer.Next(entry);) {
        entries.push_back(entry);
    }
    EXPECT_EQ(indexer.Error(), "");
    ASSERT_EQ(entries.size(), reports.size());
    std::optional<int> base;  // the loop's counter runs on across tests; the indexer counts from 1
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const LogEntry& e = entries[i];
        const MessageReport& r = reports[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(e.offset, r.logOffset);
        EXPECT_EQ(e.length, r.logLength);
        EXPECT_EQ(e.fingerprint, r.fingerprint);
        EXPECT_EQ(std::make_tuple(e.kind, e.complete, e.note, e.status, e.decoded, e.wellFormed),
                  std::make_tuple(r.kind, r.complete, r.note, r.status, r.decoded, r.wellFormed));
        EXPECT_EQ(e.smartType, r.smartType);
        if (filed) {
            EXPECT_EQ(static_cast<std::size_t>(e.pictures), r.pictures.size());
        }
        EXPECT_EQ(e.numbersDrawn, r.numbersDrawn);
        if (r.numbersDrawn > 0) {
            base = base.value_or(r.firstNumber - 1);
            EXPECT_EQ(e.firstNumber, r.firstNumber - *base);
        }
    }
}

TEST(ReceiveLogIndex, EveryStreamCaseReadBack) {
    for (const LoopCase& c : StreamCases()) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const DrivenRun run = DriveReceiveLoop(folder.Path(), c.pieces);
        ExpectIndexMatches(folder.Path() + "/ApiLog.txt", run.reports);
    }
}

// Notes are reported where they lie, between messages, however the reads fall; the index
// lists them as they were reported.
TEST(ReceiveLogIndex, FolderNotesBetweenMessages) {
    const std::string stream = SubscribeAnswer("S") + EventMessage(FaceMatchBody(ToBase64("a"))) +
                               EventMessage(TargetsBody("PEA", ToBase64("b"))) +
                               ResponseMessage("<config/>");
    for (std::size_t piece : {std::size_t{0}, std::size_t{50}, std::size_t{700}}) {
        SCOPED_TRACE(piece);
        TempFolder folder;
        ASSERT_TRUE(PutFile(folder.Path() + "/pic", "a file where the folder should be"));
        const DrivenRun run = DriveReceiveLoop(folder.Path(), stream, piece);
        std::size_t notes = 0;
        for (const MessageReport& report : run.reports) {
            if (report.note) {
                ++notes;
                EXPECT_TRUE(StartsWithNote(run.log.substr(report.logOffset))) << report.logOffset;
            }
        }
        EXPECT_EQ(notes, 4u);  // two folders fail for each of the two pictures
        EXPECT_EQ(run.log.size(), stream.size() + 4 * 29);
        ExpectIndexMatches(folder.Path() + "/ApiLog.txt", run.reports, false);
    }
}

TEST(ReceiveLogIndex, CutEndsOtherDataAndBadFiles) {
    const std::string answer = ResponseMessage("<config status=\"ok\"/>");
    const std::string event = EventMessage(FaceMatchBody(ToBase64("snap"), ToBase64("album")));
    const std::string head = event.substr(0, event.find("\r\n\r\n"));
    const std::string broken =
        EventMessage("<?xml version=\"1.0\"?><config><smartType>PEA</config>");
    const std::string junk = "garbage \x01\x02 post / HTTP/1.1 not a message\n";
    const MessageKind E = MessageKind::Event, R = MessageKind::Response, O = MessageKind::Other;
    const struct {
        const char* name;
        std::string log;
        std::vector<std::tuple<MessageKind, std::size_t, bool>> entries;  // kind, length, whole
    } rows[] = {
        {"an event cut in its body",
         answer + event.substr(0, event.size() - 9),
         {{R, answer.size(), true}, {E, event.size() - 9, false}}},
        {"an event cut in its head",
         answer + head,
         {{R, answer.size(), true}, {E, head.size(), false}}},
        {"other data ends at the next message or note",
         junk + kSmartTypeFolderNote + junk + answer,
         {{O, junk.size(), true}, {O, 29, true}, {O, junk.size(), true}, {R, answer.size(), true}}},
        {"a NUL first",
         std::string(1, '\0') + "x" + event,
         {{O, 2, true}, {E, event.size(), true}}},
        {"broken XML", broken + event, {{E, broken.size(), true}, {E, event.size(), true}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<LogEntry> entries = IndexBytes(row.log);
        ASSERT_EQ(entries.size(), row.entries.size());
        std::uint64_t at = 0;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const auto& [kind, length, whole] = row.entries[i];
            EXPECT_EQ(std::make_tuple(entries[i].offset, entries[i].kind, entries[i].length,
                                      entries[i].complete),
                      std::make_tuple(at, kind, std::uint64_t{length}, whole))
                << i;
            at += length;
        }
    }
    const std::vector<LogEntry> broken2 = IndexBytes(broken + event);
    EXPECT_FALSE(broken2[0].wellFormed);
    EXPECT_EQ(broken2[1].pictures, 2);
    EXPECT_EQ(broken2[1].firstNumber, 1) << "the broken event drew no number";

    TempFolder folder;
    LogIndexer indexer;
    EXPECT_FALSE(indexer.Open(folder.Path() + "/missing"));
    EXPECT_FALSE(indexer.Error().empty());
    EXPECT_FALSE(indexer.Open(folder.Path()));
    EXPECT_EQ(indexer.Error(), "it is a folder");
    ASSERT_TRUE(indexer.Open(folder.WriteFile("empty.txt", "")));
    LogEntry none;
    EXPECT_FALSE(indexer.Next(none));
    EXPECT_EQ(indexer.Error(), "");
    // Longer other data is cut into pieces of the longest length, with no gap.
    const std::vector<LogEntry> long_ =
        IndexBytes(std::string(LogIndexer::kMaxOtherLength + 5, 'z'));
    ASSERT_EQ(long_.size(), 2u);
    EXPECT_EQ(long_[1].offset, LogIndexer::kMaxOtherLength);
    EXPECT_EQ(long_[1].length, 5u);
}

}  // namespace
