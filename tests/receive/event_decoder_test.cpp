#include "receive/event_decoder.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "receive_test_support.h"

namespace {

struct Filed {
    std::string kind;
    int number;  // counted from the counter's value before the event
    std::string content;
};

}  // namespace

TEST(ReceiveDecodeEvent, PicturesNumbersAndFolders) {
    const std::string snap = ToBase64("snap"), src = ToBase64("src");
    auto picture = [](const char* element, const std::string& inner) {
        return std::string("<") + element + ">" + inner + "</" + element + ">";
    };
    auto image = [](const std::string& base64) {
        return "<ImageData><Base64Data>" + base64 + "</Base64Data></ImageData>";
    };
    auto target = [](const std::string& type, const std::string& base64) {
        return "<item><targetImageData><targetBase64Data" + type + ">" + base64 +
               "</targetBase64Data></targetImageData></item>";
    };
    std::string bytes;
    for (int i = 0; i < 120; ++i) {
        bytes += static_cast<char>(i * 13);
    }
    std::string broken;  // lines of 76 characters, each ended by CR LF
    for (std::size_t i = 0, n = ToBase64(bytes).size(); i < n; i += 76) {
        broken += ToBase64(bytes).substr(i, 76) + "\r\n";
    }
    const std::string vfd = "<config><smartType>VFD_MATCH</smartType>";
    const struct {
        const char* name;
        std::string body;
        std::string smartType;  // also the folder below pic
        std::vector<Filed> filed;
        int drawn;  // numbers drawn
    } rows[] = {
        {"a face match files three pictures under one number",
         FaceMatchBody(ToBase64("SNAP"), ToBase64("ALBUM"), ToBase64("SOURCE")),
         "VFD_MATCH",
         {{"snap", 0, "SNAP"}, {"album", 0, "ALBUM"}, {"src", 0, "SOURCE"}},
         1},
        {"a face match without pictures still draws a number",
         FaceMatchBody(""),
         "VFD_MATCH",
         {},
         1},
        {"a face match found in order: the album before the snap is lost",
         vfd + picture("albumData", image(ToBase64("album"))) + picture("snapData", image(snap)) +
             picture("sourceData", image(src)) + "</config>",
         "VFD_MATCH",
         {{"snap", 0, "snap"}, {"src", 0, "src"}},
         1},
        {"a missing ImageData or Base64Data skips only that picture",
         vfd + picture("snapData", "<other/>") +
             picture("albumData", "<ImageData><width>1</width></ImageData>") +
             picture("sourceData", image(src)) + "</config>",
         "VFD_MATCH",
         {{"src", 0, "src"}},
         1},
        {"other types number each picture",
         TargetsBody("PEA", ToBase64("frame"), {ToBase64("t1"), ToBase64("t2")}, "2"),
         "PEA",
         {{"src", 0, "frame"}, {"target", 1, "t1"}, {"target", 2, "t2"}},
         3},
        {"a target needs the type attribute \"string\"",
         "<config><smartType>PEA</smartType><listInfo count=\"3\">" +
             target("", ToBase64("untyped")) + target(" type=\"String\"", ToBase64("case")) +
             target(" type=\"string\"", ToBase64("typed")) + "</listInfo></config>",
         "PEA",
         {{"target", 0, "typed"}},
         1},
        {"no smart type files into pic itself",
         "<config><sourceDataInfo><sourceBase64Data>" + ToBase64("plain") +
             "</sourceBase64Data></sourceDataInfo></config>",
         "",
         {{"src", 0, "plain"}},
         1},
        {"an empty picture draws a number and files nothing",
         "<config><smartType>PEA</smartType><sourceDataInfo><sourceBase64Data></sourceBase64Data>"
         "</sourceDataInfo></config>",
         "PEA",
         {},
         1},
        {"line breaks between groups are dropped",
         FaceMatchBody(broken),
         "VFD_MATCH",
         {{"snap", 0, bytes}},
         1},
        {"another root files nothing",
         "<event><smartType>VFD_MATCH</smartType></event>",
         "",
         {},
         0},
        {"an empty body files nothing", "", "", {}, 0},
        {"a declaration alone files nothing", "<?xml version=\"1.0\"?>", "", {}, 0},
        {"config after another root files nothing", "<notconfig/><config>", "", {}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        const int n = g_nPictureId;
        const DecodeResult result =
            DecodeEvent(PictureArchive{folder.Path(), nullptr}, row.body.c_str(),
                        static_cast<int>(row.body.size()));
        EXPECT_EQ(g_nPictureId, n + row.drawn);
        EXPECT_EQ(result.smartType, row.smartType);
        const std::string pic = folder.Path() + "/pic" + (row.smartType.empty() ? "" : "/");
        const std::string where = pic + row.smartType;
        ASSERT_EQ(result.pictures.size(), row.filed.size());
        EXPECT_EQ(ListFolder(where).size(), row.filed.size());
        EXPECT_EQ(std::filesystem::exists(folder.Path() + "/pic"), !row.filed.empty());
        for (std::size_t i = 0; i < row.filed.size(); ++i) {
            const std::string& path = result.pictures[i];
            ASSERT_EQ(path.rfind(where + "/", 0), 0u) << path;
            std::string kind;
            int number = 0;
            EXPECT_TRUE(SplitPictureName(path.substr(where.size() + 1), kind, number)) << path;
            EXPECT_EQ(kind, row.filed[i].kind) << i;
            EXPECT_EQ(number, n + row.filed[i].number) << i;
            EXPECT_EQ(ReadFile(path), row.filed[i].content) << i;
        }
    }
}

TEST(ReceiveDecodeEvent, CountDecidesHowManyItemsAreVisited) {
    const std::vector<std::string> targets = {ToBase64("a"), ToBase64("b"), ToBase64("c")};
    const std::pair<std::string, int> counts[] = {
        {"1", 1},  {"5", 3}, {" 2x", 2}, {"0", 0},
        {"-2", 0}, {"", 0},  {"abc", 0}, {"99999999999999999999", 3}};
    for (const auto& [count, visited] : counts) {
        TempFolder folder;
        const int n = g_nPictureId;
        const std::string body = TargetsBody("VEHICLE", "", targets, count);
        const DecodeResult result = DecodeEvent(PictureArchive{folder.Path(), nullptr},
                                                body.c_str(), static_cast<int>(body.size()));
        ASSERT_EQ(result.pictures.size(), static_cast<std::size_t>(visited)) << count;
        EXPECT_EQ(g_nPictureId, n + visited) << count;
        if (visited > 0) {
            EXPECT_EQ(ReadFile(result.pictures.back()), std::string(1, "abc"[visited - 1]));
        }
    }
}

TEST(ReceivePictureNumber, TextWrapAndItemCount) {
    const int saved = g_nPictureId;
    g_nPictureId = 41;
    EXPECT_EQ(DrawPictureNumber(), "id41");
    EXPECT_EQ(DrawPictureNumber(), "id42");
    g_nPictureId = INT_MAX;
    EXPECT_EQ(DrawPictureNumber(), "id2147483647");
    EXPECT_EQ(DrawPictureNumber(), "id-2147483648");
    g_nPictureId = saved;
    const std::pair<const char*, int> counts[] = {{"3", 3},
                                                  {"  \t12abc", 12},
                                                  {"-4", -4},
                                                  {"+7", 7},
                                                  {"x1", 0},
                                                  {"", 0},
                                                  {"123456789012345", INT_MAX},
                                                  {"-123456789012345", -INT_MAX}};
    for (const auto& [text, count] : counts) {
        EXPECT_EQ(ParseItemCount(text), count) << text;
    }
}
