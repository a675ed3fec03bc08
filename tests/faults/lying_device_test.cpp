// A device that lies: Content-Lengths shorter or longer than the body, smart types that are
// no folder names. The log stays byte-exact, the loop finds the next message at the next read,
// and nothing is written outside "pic".
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fault_support.h"
#include "receive/picture_archive.h"

namespace {

// The event with its Content-Length changed by `delta`.
std::string WithLengthOff(const std::string& body, long delta) {
    return "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: " +
           std::to_string(static_cast<long>(body.size()) + delta) +
           "\r\nContent-Type: application/xml\r\n\r\n" + body;
}

TEST(FaultLyingDevice, ShortContentLengthCutsTheBodyAndTheRestIsOnlyLogged) {
    FaultFolder folder;
    const std::string lying = WithLengthOff(FaceMatchEvent(PlainBase64("lost")), -20);
    const std::string honest = PushedEvent(FaceMatchEvent(PlainBase64("kept")));
    const DrivenRun run = DriveReceiveLoop(folder.Path(), {lying, honest});
    EXPECT_EQ(run.log, lying + honest);
    ASSERT_EQ(run.reports.size(), 3u);
    EXPECT_EQ(run.reports[0].length, lying.size() - 20);
    EXPECT_TRUE(run.reports[0].pictures.empty());  // config is not ended: nothing inside it
    EXPECT_EQ(run.reports[1].kind, MessageKind::Other);
    EXPECT_EQ(run.reports[1].length, 20u);
    ASSERT_EQ(run.reports[2].pictures.size(), 1u);
    EXPECT_EQ(FileBytes(run.reports[2].pictures[0]), "kept");
}

TEST(FaultLyingDevice, LongContentLengthSwallowsTheStartOfTheNextMessageOnly) {
    FaultFolder folder;
    const std::string lying = WithLengthOff(FaceMatchEvent(PlainBase64("first")), 30);
    const std::string swallowed = PushedEvent(FaceMatchEvent(PlainBase64("second")));
    const std::string after = PushedEvent(FaceMatchEvent(PlainBase64("third")));
    const DrivenRun run = DriveReceiveLoop(folder.Path(), {lying, swallowed, after});
    EXPECT_EQ(run.log, lying + swallowed + after);
    ASSERT_EQ(run.reports.size(), 3u);
    EXPECT_TRUE(run.reports[0].complete);
    EXPECT_EQ(run.reports[0].length, lying.size() + 30);
    // The body ends 30 bytes into the next event; its config is whole, so its picture is filed.
    ASSERT_EQ(run.reports[0].pictures.size(), 1u);
    EXPECT_EQ(FileBytes(run.reports[0].pictures[0]), "first");
    EXPECT_EQ(run.reports[1].kind, MessageKind::Other);
    EXPECT_EQ(run.reports[1].length, swallowed.size() - 30);
    ASSERT_EQ(run.reports[2].pictures.size(), 1u);
    EXPECT_EQ(FileBytes(run.reports[2].pictures[0]), "third");
}

TEST(FaultLyingDevice, LengthBeyondTheConnectionsEndIsGivenUp) {
    FaultFolder folder;
    const std::string lying = WithLengthOff(FaceMatchEvent(PlainBase64("never")), 5000);
    const DrivenRun run = DriveReceiveLoop(folder.Path(), lying, 100);
    EXPECT_EQ(run.log, lying);
    ASSERT_EQ(run.reports.size(), 1u);
    EXPECT_FALSE(run.reports[0].complete);
    EXPECT_FALSE(run.reports[0].decoded);
    EXPECT_EQ(run.reports[0].length, lying.size());
    EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/pic"));
}

// Every file below the folder, as paths relative to it.
std::vector<std::string> FilesBelow(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files.push_back(std::filesystem::relative(entry.path(), folder).string());
        }
    }
    return files;
}

TEST(FaultLyingDevice, SmartTypesThatAreNoFolderNamesStayInsidePic) {
    FaultFolder root;
    const std::string program = root.Path() + "/program";
    ASSERT_TRUE(std::filesystem::create_directory(program));
    const std::vector<std::string> smartTypes = {
        "..",           ".",
        "../../escape", "/absolute",
        "a/b",          "..&#47;..&#47;x",
        "back\\slash",  std::string(300, 'L'),
        "&#0;",         " ",
        "VFD_MATCH/..",
    };
    std::string stream;
    for (const std::string& type : smartTypes) {
        stream +=
            PushedEvent("<?xml version=\"1.0\"?><config><smartType>" + type +
                        "</smartType><sourceDataInfo><sourceBase64Data>" + PlainBase64("picture") +
                        "</sourceBase64Data></sourceDataInfo></config>");
    }
    const DrivenRun run = DriveReceiveLoop(program, stream, 700);
    // The log is the stream plus the note about the folder that could not be made.
    std::string log = run.log;
    const std::size_t note = log.find(kSmartTypeFolderNote);
    ASSERT_NE(note, std::string::npos);
    log.erase(note, std::strlen(kSmartTypeFolderNote));
    EXPECT_EQ(log, stream);
    ASSERT_EQ(run.reports.size(), smartTypes.size());
    std::size_t filed = 0;
    for (const MessageReport& report : run.reports) {
        EXPECT_TRUE(report.decoded);
        for (const std::string& path : report.pictures) {
            EXPECT_EQ(path.rfind(program + "/pic/", 0), 0u) << path;
            EXPECT_EQ(FileBytes(path), "picture");
            ++filed;
        }
    }
    // Only the 300-byte name is too long for a folder; every other type is filed.
    EXPECT_EQ(filed, smartTypes.size() - 1);
    // Nothing lies outside the program folder, and inside it only the log and pic's tree.
    EXPECT_EQ(FilesBelow(root.Path()).size(), filed + 1);
    for (const std::string& file : FilesBelow(program)) {
        EXPECT_TRUE(file == "ApiLog.txt" || file.rfind("pic/", 0) == 0) << file;
        for (const auto& part : std::filesystem::path(file)) {
            EXPECT_TRUE(part != "." && part != "..") << file;
        }
    }
}

}  // namespace
