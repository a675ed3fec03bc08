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

struct Reported {
    MessageKind kind;
    std::size_t length;
    bool complete;
    std::vector<std::string> pictures;  // the bytes filed
};

TEST(FaultLyingDevice, ContentLengthsThatDoNotFitTheBody) {
    const MessageKind E = MessageKind::Event, O = MessageKind::Other;
    const std::string shortened = WithLengthOff(FaceMatchBody(ToBase64("lost")), -20);
    const std::string kept = EventMessage(FaceMatchBody(ToBase64("kept")));
    const std::string lengthened = WithLengthOff(FaceMatchBody(ToBase64("first")), 30);
    const std::string beyond = WithLengthOff(FaceMatchBody(ToBase64("never")), 5000);
    const Reported cut{E, shortened.size() - 20, true, {}}, rest{O, 20, true, {}},
        good{E, kept.size(), true, {"kept"}}, into{E, lengthened.size() + 30, true, {"first"}},
        swallowed{O, kept.size() - 30, true, {}}, given{E, beyond.size(), false, {}};
    const std::pair<std::vector<std::string>, std::vector<Reported>> rows[] = {
        // Too short: the body is cut (config not ended, nothing filed), the rest is other data.
        {{shortened, kept}, {cut, rest, good}},
        // Too long: the body ends inside the next event, whose rest is other data.
        {{lengthened, kept, kept}, {into, swallowed, good}},
        // Past the connection's end: given up when the device closes.
        {{beyond}, {given}},
    };
    for (const auto& [pieces, reports] : rows) {
        TempFolder folder;
        const DrivenRun run = DriveReceiveLoop(folder.Path(), pieces);
        std::string all;
        for (const std::string& piece : pieces) {
            all += piece;
        }
        EXPECT_EQ(run.log, all);
        ASSERT_EQ(run.reports.size(), reports.size());
        for (std::size_t i = 0; i < reports.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(run.reports[i].kind, reports[i].kind);
            EXPECT_EQ(run.reports[i].length, reports[i].length);
            EXPECT_EQ(run.reports[i].complete, reports[i].complete);
            ASSERT_EQ(run.reports[i].pictures.size(), reports[i].pictures.size());
            for (std::size_t k = 0; k < reports[i].pictures.size(); ++k) {
                EXPECT_EQ(ReadFile(run.reports[i].pictures[k]), reports[i].pictures[k]);
            }
        }
    }
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
    TempFolder root;
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
            EventMessage("<?xml version=\"1.0\"?><config><smartType>" + type +
                         "</smartType><sourceDataInfo><sourceBase64Data>" + ToBase64("picture") +
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
            EXPECT_EQ(ReadFile(path), "picture");
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
