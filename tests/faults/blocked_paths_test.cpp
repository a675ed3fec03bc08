// Folders and a log that cannot be made: reading goes on, each failed folder is noted, filing
// resumes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "fault_support.h"
#include "receive/event_decoder.h"
#include "receive/picture_archive.h"

namespace {

TEST(FaultBlockedPaths, BlockedPicFolderAndLog) {
    const std::string stream = SubscribeAnswer("S") + EventMessage(FaceMatchBody(ToBase64("a"))) +
                               EventMessage(TargetsBody("PEA", ToBase64("filed")));
    const std::string pic = "\n\nCreateDirectory pic fail!\n\n";
    const std::string pea = "\n\nCreateDirectory PEA fail!\n\n";
    const struct {
        const char* file;    // a file where this folder should be
        const char* folder;  // a folder made first (null: none)
        std::size_t piece;
        std::size_t filed;                         // pictures of the second event
        std::string log;                           // the notes are reported too, after the messages
    } rows[] = {{"pic", "ApiLog.txt", 50, 0, ""},  // the log cannot be opened: no notes either
                {"pic", nullptr, 0, 0, stream + pic + pea + pic + pea},
                {"pic/VFD_MATCH", "pic", 0, 1, stream + pea}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.file) + (row.folder ? row.folder : ""));
        TempFolder folder;
        ASSERT_TRUE(!row.folder || mkdir((folder.Path() + "/" + row.folder).c_str(), 0755) == 0);
        ASSERT_TRUE(PutFile(folder.Path() + "/" + row.file, "x"));
        const DrivenRun run = DriveReceiveLoop(folder.Path(), stream, row.piece);
        EXPECT_EQ(run.bytesRead, stream.size());
        EXPECT_EQ(run.serverAddress, "S");
        EXPECT_EQ(run.log, row.log);
        const std::size_t notes = row.log.empty() ? 0 : (row.log.size() - stream.size()) / 29;
        ASSERT_EQ(run.reports.size(), 3u + notes);
        EXPECT_TRUE(run.reports.back().note || notes == 0);
        EXPECT_TRUE(run.reports[1].decoded && run.reports[2].decoded);
        EXPECT_TRUE(run.reports[1].pictures.empty());
        ASSERT_EQ(run.reports[2].pictures.size(), row.filed);
        EXPECT_EQ(ReadFile(folder.Path() + "/" + row.file), "x");
    }
}

// A log and a "pic" folder that failed are tried again by the next write.
TEST(FaultBlockedPaths, LogAndPicturesResumeOnceTheWayIsFree) {
    TempFolder folder;
    const std::string logPath = folder.Path() + "/ApiLog.txt";
    ASSERT_EQ(mkdir(logPath.c_str(), 0755), 0);
    ASSERT_TRUE(PutFile(folder.Path() + "/pic", "x"));
    TrafficLog log(folder.Path());
    ASSERT_FALSE(log.Open());
    const PictureArchive archive{folder.Path(), &log};
    const std::string first = FaceMatchBody(ToBase64("first"));
    EXPECT_TRUE(
        DecodeEvent(archive, first.c_str(), static_cast<int>(first.size())).pictures.empty());
    ASSERT_EQ(rmdir(logPath.c_str()), 0);
    ASSERT_EQ(unlink((folder.Path() + "/pic").c_str()), 0);
    ASSERT_TRUE(log.Open());
    const std::string second = FaceMatchBody(ToBase64("second"));
    const DecodeResult result =
        DecodeEvent(archive, second.c_str(), static_cast<int>(second.size()));
    ASSERT_EQ(result.pictures.size(), 1u);
    EXPECT_EQ(ReadFile(result.pictures[0]), "second");
    log.Close();
    EXPECT_EQ(ReadFile(logPath), "");  // both folders were made: no note
}

}  // namespace
