#include "receive/picture_archive.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace {

// Decoded bytes in a folder named safely after the smart type; a folder that exists is no
// failure (folder failures are in the fault tests).
TEST(ReceivePictureArchive, FilesDecodedBytesInSafeFolders) {
    TempFolder folder, logFolder;
    TrafficLog log(logFolder.Path());
    ASSERT_TRUE(log.Open());
    const PictureArchive archive{folder.Path(), &log};
    const std::string bytes("\xff\xd8\xff\xe0\0\x10JFIF", 10);
    const std::string first = SavePicture(archive, ToBase64(bytes), "VFD_MATCH", "snap", "id5");
    EXPECT_EQ(PictureTag(first), "snap_id5");
    EXPECT_EQ(ReadFile(first), bytes);
    // Base64 without whole groups: the buffer must hold what one character gives.
    EXPECT_EQ(ReadFile(SavePicture(archive, "QUJDRA", "VFD_MATCH", "src", "id2")), "ABCD");
    EXPECT_EQ(SavePicture(archive, "", "Empty", "src", "id1"), "");
    // clang-format off
    const std::pair<std::string, const char*> rows[] = {
        {"VFD_MATCH", "VFD_MATCH"}, {"..", "__"}, {".", "_"}, {"../../escape", ".._.._escape"},
        {"c\\d", "c_d"}, {"/abs", "_abs"}, {"...", "..."}, {std::string("a\0b", 3), "a_b"}};
    // clang-format on
    for (const auto& [smartType, name] : rows) {
        EXPECT_EQ(SafeFolderName(smartType), name);
        const std::string path = SavePicture(archive, ToBase64("p"), smartType, "src", "id1");
        EXPECT_EQ(path.rfind(folder.Path() + "/pic/" + name + "/", 0), 0u) << path;
        EXPECT_EQ(ReadFile(path), "p");
    }
    EXPECT_EQ(CountEntries(folder.Path()), 1u);  // pic
    log.Close();
    EXPECT_EQ(ReadFile(log.Path()), "") << "existing folders were noted as failures";
}

TEST(ReceiveTrafficLog, OpenEmptiesAndAppendsExactBytes) {
    TempFolder folder;
    ASSERT_TRUE(PutFile(folder.Path() + "/ApiLog.txt", "from the last run"));
    TrafficLog log(folder.Path());
    EXPECT_FALSE(log.Append("x", 1)) << "appended before it was opened";
    ASSERT_TRUE(log.Open());
    const std::string bytes("a\0b\r\n", 5);
    EXPECT_TRUE(log.Append(bytes.data(), bytes.size()));
    log.Close();
    EXPECT_EQ(ReadFile(folder.Path() + "/ApiLog.txt"), bytes);
}

}  // namespace
