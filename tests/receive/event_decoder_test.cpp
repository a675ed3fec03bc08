#include "receive/event_decoder.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "receive/archive_writer.h"
#include "receive_test_support.h"

namespace {

struct Filed {
    std::string kind;
    int number;  // counted from the counter's value before the event
    std::string content;
};

struct DecodeCase {
    std::string name;
    std::string body;
    std::string smartType;
    std::vector<Filed> filed;
    int drawn;                     // numbers drawn
    const char* folder = nullptr;  // below pic; null: the smart type
};

// Decodes alone and through a writer: the same pictures, names, numbers and folders either way.
void ExpectDecoded(const DecodeCase& row) {
    for (const bool threaded : {false, true}) {
        SCOPED_TRACE(row.name + (threaded ? " through a writer" : ""));
        TempFolder folder;
        RecordingObserver observer;
        ArchiveWriter writer(&observer);
        const int n = g_nPictureId;
        const DecodeResult result =
            DecodeEvent(PictureArchive{folder.Path(), nullptr, threaded ? &writer : nullptr},
                        row.body.c_str(), static_cast<int>(row.body.size()));
        writer.QueueReport(MessageReport{});
        writer.Finish();
        const std::vector<std::string> paths =
            threaded ? observer.Reports().at(0).pictures : result.pictures;
        EXPECT_TRUE(threaded ? result.pictures.empty() : observer.Reports()[0].pictures.empty());
        EXPECT_EQ(g_nPictureId, n + row.drawn);
        EXPECT_EQ(result.smartType, row.smartType);
        const std::string sub = row.folder == nullptr ? row.smartType : row.folder;
        const std::string where = folder.Path() + "/pic" + (sub.empty() ? "" : "/" + sub);
        ASSERT_EQ(paths.size(), row.filed.size());
        EXPECT_EQ(ListFolder(where).size(), row.filed.size());
        EXPECT_EQ(std::filesystem::exists(folder.Path() + "/pic"), !row.filed.empty());
        for (std::size_t i = 0; i < row.filed.size(); ++i) {
            ASSERT_EQ(paths[i].rfind(where + "/", 0), 0u) << paths[i];
            std::string kind;
            int number = 0;
            EXPECT_TRUE(SplitPictureName(paths[i].substr(where.size() + 1), kind, number));
            EXPECT_EQ(kind, row.filed[i].kind) << i;
            EXPECT_EQ(number, n + row.filed[i].number) << i;
            EXPECT_EQ(ReadFile(paths[i]), row.filed[i].content) << i;
        }
    }
}

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
    auto source = [](const std::string& smartType, const std::string& base64) {
        return "<config><smartType>" + smartType +
               "</smartType><sourceDataInfo><sourceBase64Data>" + base64 +
               "</sourceBase64Data></sourceDataInfo></config>";
    };
    std::string bytes, broken;  // broken: Base64 in lines of 76 characters, each ended by CR LF
    for (int i = 0; i < 120; ++i) {
        bytes += static_cast<char>(i * 13);
    }
    for (std::size_t i = 0, n = ToBase64(bytes).size(); i < n; i += 76) {
        broken += ToBase64(bytes).substr(i, 76) + "\r\n";
    }
    std::string escaped = ToBase64("escaped!");
    escaped.replace(4, 1, "&#" + std::to_string(static_cast<int>(escaped[4])) + ";");
    const std::string vfd = "<config><smartType>VFD_MATCH</smartType>";
    std::vector<DecodeCase> rows = {
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
        {"an empty smart type files into pic itself",
         source("", ToBase64("plain")),
         "",
         {{"src", 0, "plain"}},
         1},
        {"a smart type is a folder name only after its references are resolved",
         source("..&#47;x", ToBase64("p")),
         "../x",
         {{"src", 0, "p"}},
         1,
         ".._x"},
        {"an empty picture draws a number and files nothing", source("PEA", ""), "PEA", {}, 1},
        {"line breaks, references and CDATA in the text",
         FaceMatchBody(broken, escaped, "<![CDATA[" + src + "]]>"),
         "VFD_MATCH",
         {{"snap", 0, bytes}, {"album", 0, "escaped!"}, {"src", 0, "src"}},
         1},
        {"another root files nothing", "<event><smartType>PEA</smartType></event>", "", {}, 0},
        {"an empty body files nothing", "", "", {}, 0},
        {"config after another root files nothing", "<notconfig/><config>", "", {}, 0},
    };
    // The count decides how many items are visited, never more than there are.
    const std::pair<std::string, int> counts[] = {
        {"1", 1},           {"5", 3},          {" 2x", 2},
        {"0", 0},           {"-2", 0},         {"abc", 0},
        {"-2147483648", 0}, {"2147483648", 3}, {"99999999999999999999", 3}};
    for (const auto& [count, visited] : counts) {
        std::vector<Filed> filed;
        for (int i = 0; i < visited; ++i) {
            filed.push_back({"target", i, std::string(1, "abc"[i])});
        }
        rows.push_back(
            {"count " + count,
             TargetsBody("VEHICLE", "", {ToBase64("a"), ToBase64("b"), ToBase64("c")}, count),
             "VEHICLE", filed, visited});
    }
    for (const DecodeCase& row : rows) {
        ExpectDecoded(row);
    }
}

TEST(ReceivePictureNumber, TextWrapAndItemCount) {
    const int saved = g_nPictureId;
    g_nPictureId = INT_MAX;
    EXPECT_EQ(DrawPictureNumber(), "id2147483647");
    EXPECT_EQ(DrawPictureNumber(), "id-2147483648");
    EXPECT_EQ(DrawPictureNumber(), "id-2147483647");
    g_nPictureId = saved;
    const std::pair<const char*, int> counts[] = {{"  \t12abc", 12},
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
