#include "receive/picture_archive.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.rfind(folder_.Path() + "/pic/VFD_MATCH/", 0), 0u);
    std::string kind;
    int number = 0;
    EXPECT_TRUE(SplitPictureName(first.substr(first.rfind('/') + 1), kind, number));
    EXPECT_EQ(kind, "snap");
    EXPECT_EQ(number, 5);
    EXPECT_EQ(ReadFile(first), bytes);

    const std::string second = SavePicture(archive_, ToBase64("xy"), "VFD_MATCH", "album", "id5");
    EXPECT_EQ(ReadFile(second), "xy");
    EXPECT_EQ(SavePicture(archive_, ToBase64("z"), "PEA", "src", "id6").empty(), false);
    EXPECT_EQ(LogBytes(), "") << "existing folders were noted as failures";
}

TEST_F(ReceivePictureArchive, EmptyBase64TouchesNothing) {
    EXPECT_EQ(SavePicture(archive_, "", "PEA", "src", "id1"), "");
    EXPECT_FALSE(Exists(folder_.Path() + "/pic"));
    EXPECT_EQ(LogBytes(), "");
}

TEST_F(ReceivePictureArchive, UnsafeSmartTypesStayInsidePic) {
    struct Case {
        const char* smartType;
        const char* folder;
    };
    for (const Case& c :
         {Case{"..", "__"}, Case{".", "_"}, Case{"../../escape", ".._.._escape"},
          Case{"a/b", "a_b"}, Case{"c\\d", "c_d"}, Case{"/abs", "_abs"}, Case{"...", "..."}}) {
        EXPECT_EQ(SafeFolderName(c.smartType), c.folder);
        const std::string path = SavePicture(archive_, ToBase64("p"), c.smartType, "src", "id1");
        EXPECT_EQ(path.rfind(folder_.Path() + "/pic/" + c.folder + "/", 0), 0u)
            << c.smartType << " -> " << path;
        EXPECT_EQ(ReadFile(path), "p");
    }
    EXPECT_EQ(SafeFolderName(""), "");
    EXPECT_EQ(ListFolder(folder_.Path()), std::vector<std::string>{"pic"});
}

TEST_F(ReceivePictureArchive, PicBlockedByAFileIsNotedAndSkipped) {
    std::FILE* blocker = std::fopen((folder_.Path() + "/pic").c_str(), "w");
    ASSERT_NE(blocker, nullptr);
    std::fclose(blocker);
    EXPECT_EQ(SavePicture(archive_, ToBase64("lost"), "PEA", "src", "id1"), "");
    EXPECT_EQ(LogBytes(), "\n\nCreateDirectory pic fail!\n\n\n\nCreateDirectory PEA fail!\n\n");
}

TEST_F(ReceivePictureArchive, SmartTypeFolderBlockedOnlyNotesThatFolder) {
    ASSERT_EQ(mkdir((folder_.Path() + "/pic").c_str(), 0700), 0);
    std::FILE* blocker = std::fopen((folder_.Path() + "/pic/PEA").c_str(), "w");
    ASSERT_NE(blocker, nullptr);
    std::fclose(blocker);
    EXPECT_EQ(SavePicture(archive_, ToBase64("lost"), "PEA", "src", "id1"), "");
    EXPECT_EQ(LogBytes(), "\n\nCreateDirectory PEA fail!\n\n");
}

TEST_F(ReceivePictureArchive, NotesNeedAnOpenLog) {
    log_.Close();
    std::FILE* blocker = std::fopen((folder_.Path() + "/pic").c_str(), "w");
    ASSERT_NE(blocker, nullptr);
    std::fclose(blocker);
    EXPECT_EQ(SavePicture(archive_, ToBase64("lost"), "PEA", "src", "id1"), "");
    EXPECT_FALSE(log_.IsOpen());
    EXPECT_EQ(ReadFile(log_.Path()), "");
}

TEST_F(ReceivePictureArchive, BufferFitsBase64WithoutWholeGroups) {
    // One character gives one byte and its NUL: more than a buffer as long as the text.
    EXPECT_EQ(ReadFile(SavePicture(archive_, "Q", "T", "src", "id0")), "@");
    EXPECT_EQ(ReadFile(SavePicture(archive_, "QUJD", "T", "src", "id1")), "ABC");
    const std::string cut = SavePicture(archive_, "QUJDRA", "T", "src", "id2");
    ASSERT_FALSE(cut.empty());
    EXPECT_EQ(ReadFile(cut), "ABCD");
}

TEST(ReceiveTrafficLog, OpenEmptiesAndAppendsExactBytes) {
    TempFolder folder;
    std::FILE* old = std::fopen((folder.Path() + "/ApiLog.txt").c_str(), "w");
    ASSERT_NE(old, nullptr);
    std::fputs("from the last run", old);
    std::fclose(old);

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
