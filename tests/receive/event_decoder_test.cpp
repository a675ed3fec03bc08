#include "receive/event_decoder.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "receive/archive_writer.h"
#include "support/test_support.h"

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
        const int n = g_nPictureId.Next();
        const DecodeResult result =
            DecodeEvent(PictureArchive{folder.Path(), nullptr, threaded ? &writer : nullptr},
                        row.body.c_str(), static_cast<int>(row.body.size()));
        writer.QueueReport(MessageReport{});
        writer.Finish();
        const std::vector<std::string> paths =
            threaded ? observer.Reports().at(0).pictures : result.pictures;
        EXPECT_TRUE(threaded ? result.pictures.empty() : observer.Reports()[0].pictures.empty());
        EXPECT_EQ(g_nPictureId.Next(), n + row.drawn);
        EXPECT_EQ(result.smartType, row.smartType);
        const std::string sub = row.folder == nullptr ? row.smartType : row.folder;
        const std::string where = folder.Path() + "/pic" + (sub.empty() ? "" : "/" + sub);
        ASSERT_EQ(paths.size(), row.filed.size());
        EXPECT_EQ(CountEntries(where), row.filed.size());
        EXPECT_EQ(std::filesystem::exists(folder.Path() + "/pic"), !row.filed.empty());
        for (std::size_t i = 0; i < row.filed.size(); ++i) {
            const Filed& want = row.filed[i];
            EXPECT_EQ(paths[i].rfind(where + "/", 0), 0u) << paths[i];
            EXPECT_EQ(PictureTag(paths[i]), want.kind + "_id" + std::to_string(n + want.number));
            EXPECT_EQ(ReadFile(paths[i]), want.content) << i;
        }
    }
}

}  // namespace

TEST(ReceiveDecodeEvent, PicturesNumbersAndFolders) {
    const std::string a = ToBase64("a"), b = ToBase64("b"), c = ToBase64("c");
    auto in = [](const std::string& element, const std::string& inner) {
        return "<" + element + ">" + inner + "</" + element + ">";
    };
    auto image = [&](const std::string& base64) {
        return in("ImageData", in("Base64Data", base64));
    };
    auto target = [](const std::string& type, const std::string& base64) {
        return "<item><targetImageData><targetBase64Data" + type + ">" + base64 +
               "</targetBase64Data></targetImageData></item>";
    };
    auto source = [&](const std::string& smartType, const std::string& base64) {
        return "<config>" + in("smartType", smartType) +
               in("sourceDataInfo", in("sourceBase64Data", base64)) + "</config>";
    };
    std::string bytes, broken;  // broken: Base64 in lines of 76 characters, each ended by CR LF
    for (int i = 0; i < 120; ++i) {
        bytes += static_cast<char>(i * 13);
    }
    for (std::size_t i = 0; i < ToBase64(bytes).size(); i += 76) {
        broken += ToBase64(bytes).substr(i, 76) + "\r\n";
    }
    std::string escaped = ToBase64("escaped!");
    escaped.replace(4, 1, "&#" + std::to_string(static_cast<int>(escaped[4])) + ";");
    const std::string vfd = "<config><smartType>VFD_MATCH</smartType>";
    const std::string reordered = vfd + in("albumData", image(b)) + in("snapData", image(a)) +
                                  in("sourceData", image(c)) + "</config>";
    const std::string gaps = vfd + in("snapData", "<other/>") +
                             in("albumData", in("ImageData", "<width>1</width>")) +
                             in("sourceData", image(c)) + "</config>";
    const std::string typed = "<config><smartType>PEA</smartType><listInfo count=\"3\">" +
                              target("", a) + target(" type=\"String\"", b) +
                              target(" type=\"string\"", c) + "</listInfo></config>";
    const std::string cdata = "<![CDATA[" + c + "]]>";
    // clang-format off
    std::vector<DecodeCase> rows = {
        {"one number for a face match", FaceMatchBody(a, b, c), "VFD_MATCH",
         {{"snap", 0, "a"}, {"album", 0, "b"}, {"src", 0, "c"}}, 1},
        {"a face match without pictures", FaceMatchBody(""), "VFD_MATCH", {}, 1},
        {"found in order: an album before the snap is lost", reordered, "VFD_MATCH",
         {{"snap", 0, "a"}, {"src", 0, "c"}}, 1},
        {"a missing level skips that picture only", gaps, "VFD_MATCH", {{"src", 0, "c"}}, 1},
        {"a number per picture for other types", TargetsBody("PEA", a, {b, c}, "2"), "PEA",
         {{"src", 0, "a"}, {"target", 1, "b"}, {"target", 2, "c"}}, 3},
        {"a target needs type=\"string\"", typed, "PEA", {{"target", 0, "c"}}, 1},
        {"an empty smart type files into pic", source("", a), "", {{"src", 0, "a"}}, 1},
        {"references resolved first", source("..&#47;x", a), "../x", {{"src", 0, "a"}}, 1, ".._x"},
        {"an empty picture draws a number only", source("PEA", ""), "PEA", {}, 1},
        {"line breaks, references and CDATA", FaceMatchBody(broken, escaped, cdata), "VFD_MATCH",
         {{"snap", 0, bytes}, {"album", 0, "escaped!"}, {"src", 0, "c"}}, 1},
        {"another root", "<event><smartType>PEA</smartType></event>", "", {}, 0},
        {"an empty body", "", "", {}, 0},
        {"config after another root", "<notconfig/><config>", "", {}, 0},
    };
    // The count decides how many items are visited, never more than there are.
    const std::pair<std::string, int> counts[] = {
        {"1", 1}, {"5", 3}, {" \t2x", 2}, {"+2", 2}, {"0", 0}, {"-2", 0}, {"abc", 0}, {"x1", 0},
        {"-2147483648", 0}, {"-99999999999999999999", 0}, {"2147483648", 3}, {"4294967297", 3},
        {"99999999999999999999", 3}};
    // clang-format on
    for (const auto& [count, visited] : counts) {
        const std::vector<Filed> all = {{"target", 0, "a"}, {"target", 1, "b"}, {"target", 2, "c"}};
        rows.push_back({"count " + count,
                        TargetsBody("VEHICLE", "", {a, b, c}, count),
                        "VEHICLE",
                        {all.begin(), all.begin() + visited},
                        visited});
    }
    for (const DecodeCase& row : rows) {
        ExpectDecoded(row);
    }
}

TEST(ReceivePictureNumber, WrapsPastTheLargestIntAndNeverRepeatsAcrossThreads) {
    const int saved = g_nPictureId.Next();
    g_nPictureId.Reset(INT_MAX);
    EXPECT_EQ(DrawPictureNumber(), "id2147483647");
    EXPECT_EQ(DrawPictureNumber(), "id-2147483648");
    EXPECT_EQ(DrawPictureNumber(), "id-2147483647");
    // Two connections' threads drawing at once never get the same number.
    std::vector<std::string> drawn[2];
    std::thread other([&] {
        for (int i = 0; i < 5000; ++i)
            drawn[1].push_back(DrawPictureNumber());
    });
    for (int i = 0; i < 5000; ++i)
        drawn[0].push_back(DrawPictureNumber());
    other.join();
    std::set<std::string> all(drawn[0].begin(), drawn[0].end());
    all.insert(drawn[1].begin(), drawn[1].end());
    EXPECT_EQ(all.size(), 10000u);
    g_nPictureId.Reset(saved);
}
