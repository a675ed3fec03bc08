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

// A file stands where "pic" should be and a folder where "ApiLog.txt" should be: the loop
// reads everything, records the server address and reports every event; nothing is filed.
TEST(FaultBlockedPaths, PicAndLogBlockedAtOnce) {
    TempFolder folder;
    ASSERT_TRUE(PutFile(folder.Path() + "/pic", "not a folder"));
    ASSERT_EQ(mkdir((folder.Path() + "/ApiLog.txt").c_str(), 0755), 0);
    const std::string stream = SubscribeAnswer("S") + EventMessage(FaceMatchBody(ToBase64("one"))) +
                               EventMessage(TargetsBody("PEA", ToBase64("two")));
    const DrivenRun run = DriveReceiveLoop(folder.Path(), stream, 50);
    EXPECT_EQ(run.bytesRead, stream.size());
    EXPECT_EQ(run.serverAddress, "S");
    ASSERT_EQ(run.reports.size(), 3u);
    for (int i : {1, 2}) {
        EXPECT_TRUE(run.reports[i].decoded);
        EXPECT_TRUE(run.reports[i].pictures.empty());
    }
    EXPECT_EQ(run.reports[1].smartType, "VFD_MATCH");
    EXPECT_EQ(ReadFile(folder.Path() + "/pic"), "not a folder");
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path() + "/ApiLog.txt"));
}

// Only the smart-type folder is blocked: its note follows the event's bytes in the log, and
// pictures of other smart types are filed.
TEST(FaultBlockedPaths, BlockedSmartTypeFolderDoesNotStopOtherTypes) {
    TempFolder folder;
    ASSERT_EQ(mkdir((folder.Path() + "/pic").c_str(), 0755), 0);
    ASSERT_TRUE(PutFile(folder.Path() + "/pic/VFD_MATCH", "x"));
    const std::string face = EventMessage(FaceMatchBody(ToBase64("blocked")));
    const std::string other = EventMessage(TargetsBody("PEA", ToBase64("filed")));
    const DrivenRun run = DriveReceiveLoop(folder.Path(), face + other, 0);
    ASSERT_EQ(run.reports.size(), 2u);
    EXPECT_TRUE(run.reports[0].pictures.empty());
    ASSERT_EQ(run.reports[1].pictures.size(), 1u);
    EXPECT_EQ(ReadFile(run.reports[1].pictures[0]), "filed");
    EXPECT_EQ(run.reports[1].pictures[0].rfind(folder.Path() + "/pic/PEA/", 0), 0u);
    EXPECT_EQ(run.log, face + other + kSmartTypeFolderNote);  // both came in one read
}

// A log that could not be opened is tried again by the next read with data; a "pic" folder
// that could not be made is tried again by the next picture.
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

// The program folder is a plain file: neither the log nor "pic" can be made, nothing is
// written anywhere else, and the loop reads and decodes everything all the same.
TEST(FaultBlockedPaths, ProgramFolderThatIsAFileFilesNothingAndGoesOn) {
    TempFolder folder;
    const std::string program = folder.Path() + "/program";
    ASSERT_TRUE(PutFile(program, "plain"));
    const std::string stream =
        EventMessage(FaceMatchBody(ToBase64("a"))) + EventMessage(FaceMatchBody(ToBase64("b")));
    const DrivenRun run = DriveReceiveLoop(program, stream, 100);
    EXPECT_EQ(run.bytesRead, stream.size());
    ASSERT_EQ(run.reports.size(), 2u);
    EXPECT_TRUE(run.reports[0].decoded && run.reports[1].decoded);
    EXPECT_TRUE(run.reports[0].pictures.empty() && run.reports[1].pictures.empty());
    EXPECT_EQ(ReadFile(program), "plain");
    EXPECT_EQ(ListFolder(folder.Path()), std::vector<std::string>{"program"});
}

}  // namespace
