#include "catalogue/catalogue.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <sstream>

#include "catalogue/builtin_interfaces.h"
#include "catalogue/program_folder.h"
#include "catalogue/request_file_name.h"
#include "support/test_support.h"

namespace {

// Listing order is arbitrary: compare as sets (duplicates would show in the size).
using Names = std::multiset<std::string>;
Names AsSet(const std::vector<std::string>& v) {
    return Names(v.begin(), v.end());
}

// The list texts of the module named `name` as the window would ask for them.
std::vector<std::string> Items(const Catalogue& c, int mode, const std::string& folder,
                               const std::string& name) {
    for (const ModuleEntry& m : c.Modules()) {
        if (m.name == name)
            return c.ListItems(mode, folder, name, m.id);
    }
    return {"<no module " + name + ">"};
}

}  // namespace

TEST(CatalogueShort, FolderModulesFirstThenTheBuiltInsEachListingItsOwnRecords) {
    TempFolder tmp;
    const std::string dir = tmp.Path();
    tmp.WriteFile("protocol_short/Event/GetEventConfig&SetEventConfig_1.xml", "<e/>\r\n");
    tmp.WriteFile("protocol_short/Event/Reboot.xml", "");
    tmp.WriteFile("protocol_short/Event/GetImage.xml", "");
    tmp.WriteFile("protocol_short/Event/readme.txt", "not a request");
    tmp.WriteFile("protocol_short/Smart/WithNul.xml", std::string("<a>\0<b>", 7));
    tmp.WriteFile("protocol_short/Smart/&Odd.xml", "<odd/>");
    ASSERT_EQ(mkfifo((dir + "/protocol_short/Smart/Piped.xml").c_str(), 0600), 0);
    tmp.MakeFolder("protocol_short/Empty");
    tmp.WriteFile("protocol_short/stray.xml", "not in a module");
    Catalogue c;
    c.Build(kConnShort, dir);
    c.Build(kConnShort, dir);  // a rebuild replaces everything
    std::set<int> ids;
    std::vector<std::string> names;
    for (const ModuleEntry& m : c.Modules()) {
        ids.insert(m.id);
        names.push_back(m.name);
    }
    ASSERT_EQ(names.size(), 10u);
    EXPECT_EQ(ids.size(), 10u) << "module ids must be unique";
    EXPECT_EQ(Names(names.begin(), names.begin() + 3), (Names{"Event", "Smart", "Empty"}));
    EXPECT_EQ(std::vector<std::string>(names.begin() + 3, names.end()),
              std::vector<std::string>(kBuiltinModuleNames, kBuiltinModuleNames + 7));
    ASSERT_EQ(c.Interfaces().size(), BuiltinInterfaces().size() + 6);
    // Each module lists its own records only: Event's Reboot is not the built-in one.
    EXPECT_EQ(AsSet(Items(c, kConnShort, dir, "Event")),
              (Names{"GetEventConfig", "Reboot", "GetImage"}));
    EXPECT_EQ(AsSet(Items(c, kConnShort, dir, "Smart")), (Names{"WithNul", "Piped", ""}));
    EXPECT_TRUE(Items(c, kConnShort, dir, "Empty").empty());
    for (int m = 0; m < kBuiltinModuleCount; ++m) {
        std::vector<std::string> own;
        for (const API_INTERFACE& r : BuiltinInterfaces()) {
            if (r.nModule == m)
                own.push_back(r.strName);
        }
        EXPECT_EQ(Items(c, kConnShort, dir, kBuiltinModuleNames[m]), own) << m;
    }
    EXPECT_TRUE(c.ListItems(kConnShort, dir, "", kNoModuleId).empty());
    EXPECT_TRUE(c.ListItems(-1, dir, "Event", kBuiltinModuleCount).empty());
    // Folder records first: pair and channel from the name, the body up to the first NUL, an
    // empty body for an unreadable file; so the folder's Reboot is the one found by name.
    Names records;
    for (size_t i = 0; i < 6; ++i) {
        const API_INTERFACE& r = c.Interfaces()[i];
        records.insert(r.strName + "|" + r.strPairName + "|" + std::to_string(r.bChannel) + "|" +
                       r.strBody);
    }
    EXPECT_EQ(records, (Names{"GetEventConfig|SetEventConfig|1|<e/>\r\n", "Reboot||0|",
                              "GetImage||0|", "WithNul||0|<a>", "Piped||0|", "||0|<odd/>"}));
    EXPECT_TRUE(c.Find("Reboot") && c.Find("Reboot")->nModule >= kBuiltinModuleCount);
    EXPECT_TRUE(!c.Find("getdeviceinfo") && !c.Find("GetImageConfig/1"));  // exact names only
    // Rows "path>name found" ("-": none). Neither "" nor "GetImage" may claim a longer name.
    std::istringstream rows(
        "GetImageConfig/1>GetImageConfig PtzControl/1/Up>PtzControl GetDeviceInfo>GetDeviceInfo "
        "GetImageConfigX/1>- Unknown/1>- >-");
    for (std::string row; rows >> row;) {
        const API_INTERFACE* r = c.FindByPrefix(row.substr(0, row.find('>')));
        EXPECT_EQ(r ? r->strName : "-", row.substr(row.find('>') + 1)) << row;
    }
    for (int mode : {static_cast<int>(kConnLong), -1}) {
        c.Build(kConnShort, dir);
        c.Build(mode, dir);
        EXPECT_TRUE(c.Modules().empty() && c.Interfaces().empty()) << mode;
    }
    // An unknown program folder is not the root.
    EXPECT_EQ(ShortRequestFolder("") + LongRequestFolder(""), "");
}

// Long mode: the folders and lower-case ".xml" files as they are now, links followed.
TEST(CatalogueLong, ModulesAreFoldersAndItemsAreFilesReadOnEachChoice) {
    TempFolder tmp;
    const std::string dir = tmp.Path(), sub = tmp.MakeFolder("protocol_long/Subscribe");
    for (const char* f : {"SUBSCRIBE_SetSubscribe_test.xml", "notes.txt", "xml", "Upper.XML",
                          "b.xml.bak", ".xml", "../top.xml"}) {
        tmp.WriteFile("protocol_long/Subscribe/" + std::string(f), "<s/>");
    }
    tmp.MakeFolder("protocol_long/Other");
    tmp.MakeFolder("protocol_long/Subscribe/looks.xml");  // a folder named like a request file
    ASSERT_EQ(symlink(sub.c_str(), (dir + "/protocol_long/linked").c_str()), 0);
    ASSERT_EQ(symlink((sub + "/.xml").c_str(), (sub + "/B.xml").c_str()), 0);
    ASSERT_EQ(symlink("/nonexistent/x", (sub + "/dangling.xml").c_str()), 0);
    Catalogue c;
    c.Build(kConnLong, dir);
    std::vector<std::string> names;
    for (const ModuleEntry& m : c.Modules()) {
        names.push_back(m.name);
        EXPECT_EQ(m.id, kNoModuleId) << m.name;
    }
    EXPECT_EQ(AsSet(names), (Names{"Subscribe", "Other", "linked"}));
    EXPECT_EQ(AsSet(ListFolders(dir + "/protocol_long/")), AsSet(names));
    EXPECT_TRUE(c.Interfaces().empty());
    EXPECT_EQ(AsSet(Items(c, kConnLong, dir, "linked")),
              (Names{"SUBSCRIBE_SetSubscribe_test", "", "B"}));
    EXPECT_TRUE(c.ListItems(kConnLong, dir, "", kNoModuleId).empty());  // not protocol_long's
    EXPECT_TRUE(Items(c, kConnLong, dir, "Other").empty());
    EXPECT_TRUE(ListFolders(dir + "/absent").empty() && ListXmlFiles(dir + "/absent").empty());
    tmp.WriteFile("protocol_long/Other/SUBSCRIBE_X_test.xml", "");
    EXPECT_EQ(Items(c, kConnLong, dir, "Other"), std::vector<std::string>{"SUBSCRIBE_X_test"});
    std::string bytes;
    EXPECT_TRUE(ReadRequestFile(
        LongRequestFilePath(dir, "Subscribe", "SUBSCRIBE_SetSubscribe_test"), bytes));
    EXPECT_EQ(bytes, "<s/>");
}

// Rows "file>name|pair|channel": only the first "&" and "_" count; "_" before "&" leaves no pair.
TEST(CatalogueNames, RequestFileNamesSplitAndFolderOfPathCutsBeforeTheLastSlash) {
    std::istringstream rows(
        "Reboot>Reboot||0 >||0 PtzControl_x>PtzControl||1 Get_Face_Album>Get||1 A_>A||1 "
        "ModifyUser&SetUser>ModifyUser|SetUser|0 A&>A||0 A&B&C>A|B&C|0 A&_1>A||1 "
        "GetImageConfig&SetImageConfig_1>GetImageConfig|SetImageConfig|1 Get_x&Set>Get_x||1 "
        "A_&B>A_||1 &Foo>||0 _Foo>||0 _A&B>||0 &A_1>||0 A_1&>A_1||1");
    for (std::string row; rows >> row;) {
        const RequestFileName p = SplitRequestFileName(row.substr(0, row.find('>')));
        EXPECT_EQ(p.name + "|" + p.pairName + "|" + std::to_string(p.channel),
                  row.substr(row.find('>') + 1))
            << row;
    }
    // The shipped-file tests find the request folders through GetProgramFolder itself.
    const char* paths[][2] = {
        {"/a/b/tessaly", "/a/b"}, {"/tessaly", ""}, {"tessaly", ""}, {"a//b", "a/"}};
    for (const auto& row : paths)
        EXPECT_EQ(FolderOfPath(row[0]), row[1]) << row[0];
    EXPECT_NE(GetProgramFolder().back(), '/');
}
