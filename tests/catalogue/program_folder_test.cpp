#include "catalogue/program_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>

TEST(ProgramFolder, IsTheFolderOfTheRunningTestProgram) {
    const std::string folder = GetProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '/');
    // The test program itself lies in that folder.
    char self[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    EXPECT_EQ(std::string(self).rfind(folder + "/", 0), 0u);
}

TEST(ProgramFolder, FolderOfPathCutsBeforeTheLastSlash) {
    EXPECT_EQ(FolderOfPath("/a/b/tessaly"), "/a/b");
    EXPECT_EQ(FolderOfPath("/tessaly"), "");
    EXPECT_EQ(FolderOfPath("tessaly"), "");
    EXPECT_EQ(FolderOfPath("a//b"), "a/");
}
