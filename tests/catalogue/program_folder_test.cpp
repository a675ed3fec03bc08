#include "catalogue/program_folder.h"

#include <gtest/gtest.h>

// The shipped-file tests find the request folders through GetProgramFolder itself.
TEST(ProgramFolder, FolderOfPathCutsBeforeTheLastSlash) {
    const char* rows[][2] = {
        {"/a/b/tessaly", "/a/b"}, {"/tessaly", ""}, {"tessaly", ""}, {"a//b", "a/"}};
    for (const auto& row : rows)
        EXPECT_EQ(FolderOfPath(row[0]), row[1]) << row[0];
    EXPECT_NE(GetProgramFolder().back(), '/');
}
