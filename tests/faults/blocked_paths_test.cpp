// Folders and files that cannot be made: the receive path keeps reading, shows and decodes
// what it can, and files and logs again as soon as the way is free.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "fault_support.h"
#include "receive/event_decoder.h"
#include "receive/picture_archive.h"

namespace {

// A file stands where "pic" should be and a folder where "ApiLog.txt" should be. The loop reads
// everything, records the server address and reports every event; nothing is filed or logged.
TEST(FaultBlockedPaths, PicAndLogBlockedAtOnce) {
    FaultFolder folder;
    ASSERT_TRUE(PutFile(folder.Path() + "/pic", "not a folder"));
    ASSERT_EQ(mkdir((folder.Path() + "/ApiLog.txt").c_str(), 0755), 0);
    const std::string stream = SubscribeAnswer("S") +
                               PushedEvent(FaceMatchEvent(PlainBase64("one"))) +
                               PushedEvent(TargetEvent(PlainBase64("two"), {}, "0"));
    const DrivenRun run = DriveReceiveLoop(folder.Path(), stream, 50);
    EXPECT_EQ(run.bytesRead, stream.size());
    EXPECT_EQ(run.serverAddress, "S");
    ASSERT_EQ(run.reports.size(), 3u);
    EXPECT_TRUE(run.reports[1].decoded);
    EXPECT_EQ(run.reports[1].smartType, "VFD_MATCH");
    EXPECT_TRUE(run.reports[1].pictures.empty());
    EXPECT_TRUE(run.reports[2].decoded);
    EXPECT_TRUE(run.reports[2].pictures.empty());
    EXPECT_EQ(FileBytes(folder.Path() + "/pic"), "not a folder");
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path() + "/ApiLog.txt"));
}

// Only the smart-type folder is blocked: the note about it is logged after the event's bytes,
// and pictures of other smart types are filed.
TEST(FaultBlockedPaths, BlockedSmartTypeFolderDoesNotStopOtherTypes) {
    FaultFolder folder;
    ASSERT_EQ(mkdir((folder.Path() + "/pic").c_str(), 0755), 0);
    ASSERT_TRUE(PutFile(folder.Path() + "/pic/VFD_MATCH", "x"));
    const std::string face = PushedEvent(FaceMatchEvent(PlainBase64("blocked")));
    const std::string other = PushedEvent(TargetEvent(PlainBase64("filed"), {}, "0"));
    const DrivenRun run = DriveReceiveLoop(folder.Path(), face + other, 0);
    ASSERT_EQ(run.reports.size(), 2u);
    EXPECT_TRUE(run.reports[0].pictures.empty());
    ASSERT_EQ(run.reports[1].pictures.size(), 1u);
    EXPECT_EQ(FileBytes(run.reports[1].pictures[0]), "filed");
    EXPECT_EQ(run.reports[1].pictures[0].rfind(folder.Path() + "/pic/PEA/", 0), 0u);
    // Both events arrive in one read; the note about the blocked folder follows it.
    EXPECT_EQ(run.log, face + other + kSmartTypeFolderNote);
}

// A log that could not be opened is tried again by the next read with data; a "pic" folder
// that could not be made is tried again by the next picture.
TEST(FaultBlockedPaths, LogAndPicturesResumeOnceTheWayIsFree) {
    FaultFolder folder;
    const std::string logPath = folder.Path() + "/ApiLog.txt";
    ASSERT_EQ(mkdir(logPath.c_str(), 0755), 0);
    ASSERT_TRUE(PutFile(folder.Path() + "/pic", "x"));
    TrafficLog log(folder.Path());
    ASSERT_FALSE(log.Open());

    const PictureArchive archive{folder.Path(), &log};
    const std::string first = FaceMatchEvent(PlainBase64("first"));
    EXPECT_TRUE(
        DecodeEvent(archive, first.c_str(), static_cast<int>(first.size())).pictures.empty());

    ASSERT_EQ(rmdir(logPath.c_str()), 0);
    ASSERT_EQ(unlink((folder.Path() + "/pic").c_str()), 0);
    ASSERT_TRUE(log.Open());
    const std::string second = FaceMatchEvent(PlainBase64("second"));
    const DecodeResult result =
        DecodeEvent(archive, second.c_str(), static_cast<int>(second.size()));
    ASSERT_EQ(result.pictures.size(), 1u);
    EXPECT_EQ(FileBytes(result.pictures[0]), "second");
    log.Close();
    EXPECT_EQ(FileBytes(logPath), "");  // both folders were made: no note
}

// The program folder is a plain file: neither the log nor "pic" can be made, nothing is
// written anywhere else, and the loop reads and decodes everything all the same.
TEST(FaultBlockedPaths, ProgramFolderThatIsAFileFilesNothingAndGoesOn) {
    FaultFolder folder;
    const std::string program = folder.Path() + "/program";
    ASSERT_TRUE(PutFile(program, "plain"));
    const std::string stream = PushedEvent(FaceMatchEvent(PlainBase64("a"))) +
                               PushedEvent(FaceMatchEvent(PlainBase64("b")));
    const DrivenRun run = DriveReceiveLoop(program, stream, 100);
    EXPECT_EQ(run.bytesRead, stream.size());
    ASSERT_EQ(run.reports.size(), 2u);
    EXPECT_TRUE(run.reports[0].decoded && run.reports[1].decoded);
    EXPECT_TRUE(run.reports[0].pictures.empty() && run.reports[1].pictures.empty());
    EXPECT_EQ(FileBytes(program), "plain");
    EXPECT_EQ(ListEntries(folder.Path()), std::vector<std::string>{"program"});
}

}  // namespace
