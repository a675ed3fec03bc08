#include "catalogue/program_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>

TEST(ProgramFolder, IsTheFolderOfTheRunningProgramWithoutTheLastSlash) {
    const std::string folder = GetProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '/');
    char self[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    EXPECT_EQ(std::string(self).rfind(folder + "/", 0), 0u);
    const char* rows[][2] = {
        {"/a/b/tessaly", "/a/b"}, {"/tessaly", ""}, {"tessaly", ""}, {"a//b", "a/"}};
    for (const auto& row : rows)
        EXPECT_EQ(FolderOfPath(row[0]), row[1]) << row[0];
}
