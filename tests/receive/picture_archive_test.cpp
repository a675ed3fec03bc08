#include "receive/picture_archive.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "receive_test_support.h"

namespace {

class ReceivePictureArchive : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(log_.Open()); }

    std::string LogBytes() {
        log_.Flush();
        return ReadFile(log_.Path());
    }

    TempFolder folder_;
    TempFolder logFolder_;
    TrafficLog log_{logFolder_.Path()};
    PictureArchive archive_{folder_.Path(), &log_};
};

TEST_F(ReceivePictureArchive, FilesDecodedBytesAndExistingFoldersAreNoFailure) {
    const std::string bytes("\xff\xd8\xff\xe0\0\x10JFIF", 10);
    const std::string first = SavePicture(archive_, ToBase64(bytes), "VFD_MATCH", "snap", "id5");
    EXPECT_EQ(first.rfind(folder_.Path() + "/pic/VFD_MATCH/", 0), 0u);
    std::string kind;
    int number = 0;
    EXPECT_TRUE(SplitPictureName(first.substr(first.rfind('/') + 1), kind, number));
    EXPECT_EQ(kind + std::to_string(number), "snap5");
    EXPECT_EQ(ReadFile(first), bytes);
    EXPECT_EQ(ReadFile(SavePicture(archive_, ToBase64("xy"), "VFD_MATCH", "album", "id5")), "xy");
    EXPECT_EQ(ReadFile(SavePicture(archive_, ToBase64("z"), "PEA", "src", "id6")), "z");
    // Base64 without whole groups: the buffer must hold what one character gives, and its NUL.
    EXPECT_EQ(ReadFile(SavePicture(archive_, "Q", "T", "src", "id0")), "@");
    EXPECT_EQ(ReadFile(SavePicture(archive_, "QUJDRA", "T", "src", "id2")), "ABCD");
    EXPECT_EQ(LogBytes(), "") << "existing folders were noted as failures";
    EXPECT_EQ(SavePicture(archive_, "", "Empty", "src", "id1"), "");
    EXPECT_FALSE(std::filesystem::exists(folder_.Path() + "/pic/Empty"));
}

TEST_F(ReceivePictureArchive, UnsafeSmartTypesStayInsidePic) {
    const std::pair<const char*, const char*> rows[] = {
        {"..", "__"},   {".", "_"},      {"../../escape", ".._.._escape"},
        {"a/b", "a_b"}, {"c\\d", "c_d"}, {"/abs", "_abs"},
        {"...", "..."}};
    for (const auto& [smartType, name] : rows) {
        EXPECT_EQ(SafeFolderName(smartType), name);
        const std::string path = SavePicture(archive_, ToBase64("p"), smartType, "src", "id1");
        EXPECT_EQ(path.rfind(folder_.Path() + "/pic/" + name + "/", 0), 0u) << path;
        EXPECT_EQ(ReadFile(path), "p");
    }
    EXPECT_EQ(SafeFolderName(std::string("a\0b", 3)), "a_b");
    EXPECT_EQ(ListFolder(folder_.Path()), std::vector<std::string>{"pic"});
}

TEST_F(ReceivePictureArchive, FolderFailuresAreNotedWhileTheLogIsOpen) {
    const std::string pic = "\n\nCreateDirectory pic fail!\n\n";
    const std::string pea = "\n\nCreateDirectory PEA fail!\n\n";
    const struct {
        const char* blocked;  // a file where this folder should be
        bool logOpen;
        std::string notes;
    } rows[] = {{"pic", true, pic + pea}, {"pic/PEA", true, pea}, {"pic", false, ""}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.blocked);
        TempFolder folder, logFolder;
        TrafficLog log(logFolder.Path());
        ASSERT_TRUE(!row.logOpen || log.Open());
        if (std::string(row.blocked) != "pic") {
            ASSERT_EQ(mkdir((folder.Path() + "/pic").c_str(), 0700), 0);
        }
        ASSERT_TRUE(PutFile(folder.Path() + "/" + row.blocked, "x"));
        EXPECT_EQ(
            SavePicture(PictureArchive{folder.Path(), &log}, ToBase64("lost"), "PEA", "src", "id1"),
            "");
        log.Close();
        EXPECT_EQ(ReadFile(log.Path()), row.notes);
    }
    EXPECT_EQ(std::string(kPicFolderNote), pic);
    EXPECT_EQ(std::string(kSmartTypeFolderNote), pea);
}

TEST(ReceiveTrafficLog, OpenEmptiesAndAppendsExactBytes) {
    TempFolder folder;
    ASSERT_TRUE(PutFile(folder.Path() + "/ApiLog.txt", "from the last run"));
    TrafficLog log(folder.Path());
    EXPECT_FALSE(log.Append("x", 1)) << "appended before it was opened";
    ASSERT_TRUE(log.Open());
    EXPECT_TRUE(log.Open());
    const std::string bytes("a\0b\r\n", 5);
    EXPECT_TRUE(log.Append(bytes.data(), bytes.size()));
    log.Close();
    EXPECT_EQ(ReadFile(folder.Path() + "/ApiLog.txt"), bytes);
    TrafficLog missing(folder.Path() + "/no/such/folder");
    EXPECT_FALSE(missing.Open());
    EXPECT_FALSE(missing.IsOpen());
}

}  // namespace
