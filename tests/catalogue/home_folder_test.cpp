#include "catalogue/home_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/test_support.h"

namespace {

// An installed layout (root/usr/bin, root/usr/share/tessaly) and a portable one (root/portable)
// in one temporary folder.
struct Layouts {
    TempFolder root;
    std::string bin = root.MakeFolder("usr/bin");
    std::string share = root.Path() + "/usr/share/tessaly";
    std::string portable = root.MakeFolder("portable");
    std::string home = root.MakeFolder("home");
    Layouts() {
        for (const std::string& folder : {share, portable}) {
            root.WriteFile(
                folder.substr(root.Path().size() + 1) + "/protocol_short/Image/GetImageConfig.xml",
                "<image/>");
            root.WriteFile(folder.substr(root.Path().size() + 1) +
                               "/protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml",
                           "<subscribe/>");
        }
    }
};

}  // namespace

TEST(HomeFolder, RuleChoosesTheFolder) {
    Layouts l;
    l.root.MakeFolder("half/protocol_short");  // one request folder is not the layout
    const std::string userData = l.home + "/.local/share/tessaly";
    struct Row {
        HomeInputs in;
        HomeKind kind;
        std::string folder;
        std::string shipped;
    } rows[] = {
        {{l.portable, "", "", l.home}, HomeKind::Program, l.portable, ""},
        {{l.bin, "", "", l.home}, HomeKind::User, userData, l.share},
        {{l.bin, "", "/data", l.home}, HomeKind::User, "/data/tessaly", l.share},
        {{l.bin, "", "relative", l.home}, HomeKind::User, userData, l.share},
        {{l.bin, "", "", ""}, HomeKind::User, "", l.share},
        {{l.root.Path() + "/half", "", "", l.home}, HomeKind::User, userData, ""},
        {{l.bin, l.root.Path(), "", l.home}, HomeKind::Given, l.root.Path(), ""},
        {{l.portable, l.portable + "/.", "", l.home}, HomeKind::Program, l.portable + "/.", ""},
    };
    for (const Row& row : rows) {
        const HomeChoice choice = ChooseHomeFolder(row.in);
        EXPECT_EQ(choice.kind, row.kind) << row.in.programFolder << " " << row.in.given;
        EXPECT_EQ(choice.folder, row.folder) << row.in.programFolder;
        EXPECT_EQ(choice.shipped, row.shipped) << row.in.programFolder;
    }

    // A portable copy that cannot be written to is a source for the home folder. Root writes
    // anywhere, so this row needs an ordinary user.
    if (geteuid() != 0) {
        chmod(l.portable.c_str(), 0555);
        const HomeChoice readOnly = ChooseHomeFolder({l.portable, "", "", l.home});
        chmod(l.portable.c_str(), 0755);
        EXPECT_EQ(readOnly.kind, HomeKind::User);
        EXPECT_EQ(readOnly.shipped, l.portable);
    }
}

TEST(HomeFolder, FillingKeepsWhatTheUserHas) {
    Layouts l;
    const std::string image = "/protocol_short/Image/GetImageConfig.xml";
    const std::string subscribe = "/protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml";
    const HomeChoice choice{HomeKind::User, l.home + "/data/tessaly", l.share};
    // A file the user had before the first start is not overwritten.
    l.root.WriteFile("home/data/tessaly" + subscribe, "mine");

    HomePrepared first = PrepareHomeFolder(choice);
    EXPECT_EQ(first.status, HomeStatus::Ok) << first.error;
    EXPECT_EQ(first.copied, 1);
    EXPECT_EQ(ReadFile(choice.folder + image), "<image/>");
    EXPECT_EQ(ReadFile(choice.folder + subscribe), "mine");

    // Edited and deleted files stay so; a file a newer package ships arrives.
    l.root.WriteFile("home/data/tessaly" + image, "edited");
    ASSERT_EQ(unlink((choice.folder + subscribe).c_str()), 0);
    l.root.WriteFile("usr/share/tessaly/protocol_short/Image/GetImageCaps.xml", "<caps/>");
    const HomePrepared second = PrepareHomeFolder(choice);
    EXPECT_EQ(second.copied, 1);
    EXPECT_EQ(ReadFile(choice.folder + image), "edited");
    EXPECT_EQ(access((choice.folder + subscribe).c_str(), F_OK), -1);
    EXPECT_EQ(ReadFile(choice.folder + "/protocol_short/Image/GetImageCaps.xml"), "<caps/>");
    EXPECT_EQ(PrepareHomeFolder(choice).copied, 0);
}

TEST(HomeFolder, PreparingFailsWithAReason) {
    Layouts l;
    const std::string file = l.root.WriteFile("plain", "x");
    const struct {
        HomeChoice choice;
        HomeStatus status;
    } rows[] = {
        {{HomeKind::User, "", l.share}, HomeStatus::NoUserFolder},
        {{HomeKind::User, file + "/tessaly", l.share}, HomeStatus::CannotCreate},
        {{HomeKind::Given, file + "/tessaly", ""}, HomeStatus::Ok},  // not prepared
    };
    for (const auto& row : rows) {
        const HomePrepared prepared = PrepareHomeFolder(row.choice);
        EXPECT_EQ(prepared.status, row.status) << row.choice.folder;
        EXPECT_EQ(prepared.error.empty(), row.status == HomeStatus::Ok) << prepared.error;
    }
}

TEST(HomeFolder, ShortNameAbbreviatesTheUsersHome) {
    const char* rows[][3] = {
        {"/home/a/.local/share/tessaly", "/home/a", "~/.local/share/tessaly"},
        {"/home/a/.local/share/tessaly", "/home/a/", "~/.local/share/tessaly"},
        {"/home/a", "/home/a", "~"},
        {"/home/ab/x", "/home/a", "/home/ab/x"},
        {"/opt/x", "/", "/opt/x"},
        {"/opt/x", "", "/opt/x"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ShortFolderName(row[0], row[1]), row[2]) << row[0] << " " << row[1];
}
