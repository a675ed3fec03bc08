#include "catalogue/catalogue.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <set>

#include "catalogue/builtin_interfaces.h"
#include "catalogue/program_folder.h"
#include "temp_folder.h"

namespace {

// Listing order is arbitrary: compare as sets (duplicates would show in the size).
std::multiset<std::string> AsSet(const std::vector<std::string>& v) {
    return std::multiset<std::string>(v.begin(), v.end());
}

std::vector<std::string> ModuleNames(const Catalogue& c) {
    std::vector<std::string> names;
    for (const ModuleEntry& m : c.Modules())
        names.push_back(m.name);
    return names;
}

const ModuleEntry* Module(const Catalogue& c, const std::string& name) {
    for (const ModuleEntry& m : c.Modules()) {
        if (m.name == name)
            return &m;
    }
    return nullptr;
}

std::vector<std::string> BuiltinNamesOf(int module) {
    std::vector<std::string> names;
    for (const API_INTERFACE& r : BuiltinInterfaces()) {
        if (r.nModule == module)
            names.push_back(r.strName);
    }
    return names;
}

const std::vector<std::string> kBuiltinModules = {"System",  "Image",    "PTZ",     "Alarm",
                                                  "Network", "Security", "Maintain"};

}  // namespace

// ---- folder scans

TEST(FolderScan, MissingOrEmptyFolderGivesNothing) {
    TempFolder tmp;
    EXPECT_TRUE(ListFolders(tmp.Path() + "/absent").empty());
    EXPECT_TRUE(ListXmlFiles(tmp.Path() + "/absent/").empty());
    EXPECT_TRUE(ListFolders(tmp.Path()).empty());
    EXPECT_TRUE(ListXmlFiles(tmp.Path()).empty());
}

TEST(FolderScan, FoldersAndFilesAreKeptApart) {
    TempFolder tmp;
    tmp.MakeFolder("Event");
    tmp.MakeFolder("Smart");
    tmp.MakeFolder("looks.xml");  // a folder, though named like a request file
    tmp.WriteFile("Reboot.xml", "");
    tmp.WriteFile("GetA&SetA_1.xml", "<a/>");
    tmp.WriteFile("notes.txt", "x");
    tmp.WriteFile("xml", "x");
    tmp.WriteFile("Upper.XML", "x");  // matched in lower case only
    tmp.WriteFile("backup.xml.bak", "x");
    tmp.WriteFile(".xml", "x");  // a bare extension gives an empty name
    const std::multiset<std::string> folders = {"Event", "Smart", "looks.xml"};
    const std::multiset<std::string> files = {"Reboot", "GetA&SetA_1", ""};
    EXPECT_EQ(AsSet(ListFolders(tmp.Path())), folders);
    EXPECT_EQ(AsSet(ListFolders(tmp.Path() + "/")), folders);
    EXPECT_EQ(AsSet(ListXmlFiles(tmp.Path())), files);
    EXPECT_EQ(AsSet(ListXmlFiles(tmp.Path() + "/")), files);
}

TEST(FolderScan, LinksCountAsWhatTheyLeadTo) {
    TempFolder tmp;
    const std::string real = tmp.MakeFolder("real");
    tmp.WriteFile("real/A.xml", "a");
    ASSERT_EQ(symlink(real.c_str(), (tmp.Path() + "/linked").c_str()), 0);
    ASSERT_EQ(symlink((real + "/A.xml").c_str(), (tmp.Path() + "/B.xml").c_str()), 0);
    ASSERT_EQ(symlink("/nonexistent/x", (tmp.Path() + "/dangling.xml").c_str()), 0);
    EXPECT_EQ(AsSet(ListFolders(tmp.Path())), (std::multiset<std::string>{"real", "linked"}));
    EXPECT_EQ(AsSet(ListXmlFiles(tmp.Path())), std::multiset<std::string>{"B"});
}

// ---- request-file reading

TEST(ReadRequestFile, ReadsEveryByteUnchanged) {
    TempFolder tmp;
    std::string bytes("a\r\nb\0c\xff\n", 9);
    bytes += std::string(70000, 'z');  // longer than one read
    const std::string path = tmp.WriteFile("f.xml", bytes);
    std::string got = "old";
    ASSERT_TRUE(ReadRequestFile(path, got));
    EXPECT_EQ(got, bytes);
}

TEST(ReadRequestFile, EmptyFileIsReadable) {
    TempFolder tmp;
    std::string got = "old";
    EXPECT_TRUE(ReadRequestFile(tmp.WriteFile("e.xml", ""), got));
    EXPECT_TRUE(got.empty());
}

TEST(ReadRequestFile, MissingFolderPipeFail) {
    TempFolder tmp;
    std::string got = "old";
    EXPECT_FALSE(ReadRequestFile(tmp.Path() + "/none.xml", got));
    EXPECT_TRUE(got.empty());
    got = "old";
    EXPECT_FALSE(ReadRequestFile(tmp.MakeFolder("dir.xml"), got));
    EXPECT_TRUE(got.empty());
    const std::string fifo = tmp.Path() + "/pipe.xml";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadRequestFile(fifo, got));  // and does not hang without a writer
}

// ---- building, short mode

TEST(CatalogueShort, WithoutFoldersOffersTheBuiltinsOnly) {
    TempFolder tmp;
    Catalogue c;
    c.Build(kConnShort, tmp.Path());
    EXPECT_EQ(ModuleNames(c), kBuiltinModules);
    for (int i = 0; i < kBuiltinModuleCount; ++i)
        EXPECT_EQ(c.Modules()[i].id, i);
    ASSERT_EQ(c.Interfaces().size(), 37u);
    EXPECT_EQ(c.ListItems(kConnShort, tmp.Path(), "PTZ", 2), BuiltinNamesOf(2));
    EXPECT_EQ(c.ListItems(kConnShort, tmp.Path(), "PTZ", 2).size(), 16u);
    EXPECT_EQ(c.ListItems(kConnShort, tmp.Path(), "Maintain", 6),
              std::vector<std::string>{"Reboot"});
    EXPECT_TRUE(c.ListItems(kConnShort, tmp.Path(), "", kNoModuleId).empty());
}

TEST(CatalogueShort, FolderModulesComeFirstWithTheirOwnIds) {
    TempFolder tmp;
    tmp.WriteFile("protocol_short/Event/GetEventConfig&SetEventConfig_1.xml", "<e/>\r\n");
    tmp.WriteFile("protocol_short/Event/Reboot.xml", "");
    tmp.WriteFile("protocol_short/Smart/GetFaceAlbum_1.xml", "");
    tmp.WriteFile("protocol_short/Smart/readme.txt", "not a request");
    tmp.MakeFolder("protocol_short/Empty");
    tmp.WriteFile("protocol_short/stray.xml", "not in a module");
    Catalogue c;
    c.Build(kConnShort, tmp.Path());

    ASSERT_EQ(c.Modules().size(), 10u);
    std::set<int> ids;
    for (const ModuleEntry& m : c.Modules())
        ids.insert(m.id);
    EXPECT_EQ(ids.size(), 10u) << "module ids must be unique";
    EXPECT_EQ(AsSet({c.Modules()[0].name, c.Modules()[1].name, c.Modules()[2].name}),
              (std::multiset<std::string>{"Event", "Smart", "Empty"}));
    const std::vector<std::string> names = ModuleNames(c);
    EXPECT_EQ(std::vector<std::string>(names.begin() + 3, names.end()), kBuiltinModules);
    EXPECT_EQ(c.Interfaces().size(), 37u + 3u);

    const ModuleEntry* event = Module(c, "Event");
    const ModuleEntry* smart = Module(c, "Smart");
    const ModuleEntry* empty = Module(c, "Empty");
    ASSERT_TRUE(event && smart && empty);
    // Each module lists its own records only: Event's Reboot is not the built-in one.
    EXPECT_EQ(AsSet(c.ListItems(kConnShort, tmp.Path(), "Event", event->id)),
              (std::multiset<std::string>{"GetEventConfig", "Reboot"}));
    EXPECT_EQ(c.ListItems(kConnShort, tmp.Path(), "Smart", smart->id),
              std::vector<std::string>{"GetFaceAlbum"});
    EXPECT_TRUE(c.ListItems(kConnShort, tmp.Path(), "Empty", empty->id).empty());
    EXPECT_EQ(c.ListItems(kConnShort, tmp.Path(), "System", 0),
              (std::vector<std::string>{"GetDeviceInfo", "GetDateAndTime"}));
    EXPECT_EQ(c.ListItems(kConnShort, tmp.Path(), "Maintain", 6),
              std::vector<std::string>{"Reboot"});

    const API_INTERFACE* rec = c.Find("GetEventConfig");
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->nModule, event->id);
    EXPECT_EQ(rec->strPairName, "SetEventConfig");
    EXPECT_EQ(rec->bChannel, 1);
    EXPECT_EQ(rec->strBody, "<e/>\r\n");
    // The folder record comes first, so it is the one found by name.
    const API_INTERFACE* reboot = c.Find("Reboot");
    ASSERT_NE(reboot, nullptr);
    EXPECT_EQ(reboot->nModule, event->id);
}

TEST(CatalogueShort, BodyStopsAtTheFirstNulAndBadFilesStillGiveRecords) {
    TempFolder tmp;
    tmp.WriteFile("protocol_short/M/WithNul.xml", std::string("<a>\0<b>", 7));
    ASSERT_EQ(mkfifo((tmp.Path() + "/protocol_short/M/Piped.xml").c_str(), 0600), 0);
    tmp.WriteFile("protocol_short/M/&Odd.xml", "<odd/>");
    Catalogue c;
    c.Build(kConnShort, tmp.Path());
    const API_INTERFACE* nul = c.Find("WithNul");
    ASSERT_NE(nul, nullptr);
    EXPECT_EQ(nul->strBody, "<a>");
    const API_INTERFACE* piped = c.Find("Piped");
    ASSERT_NE(piped, nullptr);
    EXPECT_TRUE(piped->strBody.empty());
    // A name starting with "&" gives a record with an empty name, listed as an empty row.
    const API_INTERFACE* odd = c.Find("");
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(odd->strBody, "<odd/>");
    const ModuleEntry* m = Module(c, "M");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(AsSet(c.ListItems(kConnShort, tmp.Path(), "M", m->id)),
              (std::multiset<std::string>{"WithNul", "Piped", ""}));
}

TEST(CatalogueShort, RebuildReplacesEverything) {
    TempFolder tmp;
    tmp.WriteFile("protocol_short/A/X.xml", "");
    Catalogue c;
    c.Build(kConnShort, tmp.Path());
    c.Build(kConnShort, tmp.Path());
    EXPECT_EQ(c.Modules().size(), 8u);
    EXPECT_EQ(c.Interfaces().size(), 38u);
    c.Build(kConnLong, tmp.Path());
    EXPECT_TRUE(c.Interfaces().empty());
    EXPECT_TRUE(c.Modules().empty());
    c.Build(-1, tmp.Path());
    EXPECT_TRUE(c.Modules().empty());
    EXPECT_TRUE(c.ListItems(-1, tmp.Path(), "A", 7).empty());
}

TEST(CatalogueShort, UnknownProgramFolderIsNotTheRoot) {
    Catalogue c;
    c.Build(kConnShort, "");
    EXPECT_EQ(ModuleNames(c), kBuiltinModules);
    EXPECT_TRUE(ShortRequestFolder("").empty());
    EXPECT_TRUE(LongRequestFolder("").empty());
}

// ---- lookups

TEST(CatalogueLookup, FindIsExactAndFindByPrefixStopsAtSegments) {
    TempFolder tmp;
    tmp.WriteFile("protocol_short/M/GetImage.xml", "");
    tmp.WriteFile("protocol_short/M/_empty.xml", "");
    Catalogue c;
    c.Build(kConnShort, tmp.Path());
    EXPECT_EQ(c.Find("getdeviceinfo"), nullptr);
    EXPECT_EQ(c.Find("GetImageConfig/1"), nullptr);
    ASSERT_NE(c.Find("GetImageConfig"), nullptr);

    const API_INTERFACE* p = c.FindByPrefix("GetImageConfig/1");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->strName, "GetImageConfig");
    EXPECT_EQ(p->strPairName, "SetImageConfig");
    ASSERT_NE(c.FindByPrefix("PtzControl/1/Up"), nullptr);
    EXPECT_EQ(c.FindByPrefix("PtzControl/1/Up")->strName, "PtzControl");
    ASSERT_NE(c.FindByPrefix("GetDeviceInfo"), nullptr);
    EXPECT_EQ(c.FindByPrefix("GetDeviceInfo")->strName, "GetDeviceInfo");
    // Neither the empty-named record nor "GetImage" may claim a longer name.
    EXPECT_EQ(c.FindByPrefix("GetImageConfigX/1"), nullptr);
    EXPECT_EQ(c.FindByPrefix("Unknown/1"), nullptr);
    EXPECT_EQ(c.FindByPrefix(""), nullptr);
}

// ---- long mode

TEST(CatalogueLong, ModulesAreFoldersAndItemsAreFiles) {
    TempFolder tmp;
    tmp.WriteFile("protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml", "<s/>");
    tmp.WriteFile("protocol_long/Subscribe/SUBSCRIBE_RenewSubscribe_test.xml", "<r/>");
    tmp.WriteFile("protocol_long/Subscribe/notes.txt", "");
    tmp.MakeFolder("protocol_long/Other");
    tmp.WriteFile("protocol_long/top.xml", "");
    Catalogue c;
    c.Build(kConnLong, tmp.Path());
    EXPECT_EQ(AsSet(ModuleNames(c)), (std::multiset<std::string>{"Subscribe", "Other"}));
    for (const ModuleEntry& m : c.Modules())
        EXPECT_EQ(m.id, kNoModuleId);
    EXPECT_TRUE(c.Interfaces().empty());
    EXPECT_EQ(AsSet(c.ListItems(kConnLong, tmp.Path(), "Subscribe", kNoModuleId)),
              (std::multiset<std::string>{"SUBSCRIBE_SetSubscribe_test",
                                          "SUBSCRIBE_RenewSubscribe_test"}));
    EXPECT_TRUE(c.ListItems(kConnLong, tmp.Path(), "Other", kNoModuleId).empty());
    // No module chosen lists nothing, not the files of protocol_long itself.
    EXPECT_TRUE(c.ListItems(kConnLong, tmp.Path(), "", kNoModuleId).empty());
    // The list is read from disk on each choice.
    tmp.WriteFile("protocol_long/Other/SUBSCRIBE_X_test.xml", "");
    EXPECT_EQ(c.ListItems(kConnLong, tmp.Path(), "Other", kNoModuleId),
              std::vector<std::string>{"SUBSCRIBE_X_test"});
    std::string bytes;
    EXPECT_TRUE(ReadRequestFile(
        LongRequestFilePath(tmp.Path(), "Subscribe", "SUBSCRIBE_SetSubscribe_test"), bytes));
    EXPECT_EQ(bytes, "<s/>");
}

TEST(CatalogueLong, MissingFolderGivesAnEmptyCombo) {
    TempFolder tmp;
    Catalogue c;
    c.Build(kConnLong, tmp.Path());
    EXPECT_TRUE(c.Modules().empty());
    EXPECT_TRUE(c.Interfaces().empty());
}

// ---- the request files shipped beside the program

TEST(ShippedRequestFiles, ShortFilesFollowTheNamingRules) {
    Catalogue c;
    c.Build(kConnShort, GetProgramFolder());
    const API_INTERFACE* get = c.Find("GetSmartConfig");
    ASSERT_NE(get, nullptr) << "protocol_short was not copied beside the program";
    EXPECT_EQ(get->strPairName, "SetSmartConfig");
    EXPECT_EQ(get->bChannel, 1);
    const API_INTERFACE* set = c.Find("SetSmartConfig");
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->bChannel, 1);
    EXPECT_NE(set->strBody.find(std::string("xmlns=\"") + kDeviceNamespace + "\""),
              std::string::npos);
    const API_INTERFACE* status = c.Find("GetSmartStatus");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->bChannel, 0);
    EXPECT_TRUE(status->strPairName.empty());
}

TEST(ShippedRequestFiles, LongFilesCarryCrLfAndServerAddress) {
    const std::string folder = GetProgramFolder();
    Catalogue c;
    c.Build(kConnLong, folder);
    ASSERT_NE(Module(c, "Subscribe"), nullptr) << "protocol_long was not copied";
    const std::vector<std::string> files = c.ListItems(kConnLong, folder, "Subscribe", kNoModuleId);
    EXPECT_EQ(AsSet(files),
              (std::multiset<std::string>{
                  "SUBSCRIBE_SetSubscribe_test", "SUBSCRIBE_RenewSubscribe_test",
                  "SUBSCRIBE_GetSubscribeInfo_test", "SUBSCRIBE_CancelSubscribe_test"}));
    for (const std::string& name : files) {
        std::string bytes;
        ASSERT_TRUE(ReadRequestFile(LongRequestFilePath(folder, "Subscribe", name), bytes));
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\n') {
                ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << name;
            }
        }
        const bool followUp = name != "SUBSCRIBE_SetSubscribe_test";
        EXPECT_EQ(bytes.find("<serverAddress type=\"string\"><![CDATA[") != std::string::npos,
                  followUp)
            << name;
    }
}
