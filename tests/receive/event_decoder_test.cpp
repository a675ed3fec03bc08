#include "receive/event_decoder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <string>
#include <vector>

#include "receive_test_support.h"

namespace {

struct Filed {
    std::string kind;
    int number = 0;
    std::string content;
};

class ReceiveDecodeEvent : public ::testing::Test {
  protected:
    DecodeResult Decode(const std::string& body) {
        return DecodeEvent(archive_, body.c_str(), static_cast<int>(body.size()));
    }

    // The pictures in one folder, in filing order as the result lists them.
    std::vector<Filed> Pictures(const DecodeResult& result, const std::string& folder) {
        std::vector<Filed> filed;
        for (const std::string& path : result.pictures) {
            EXPECT_EQ(path.substr(0, folder.size() + 1), folder + "/") << path;
            Filed picture;
            EXPECT_TRUE(
                SplitPictureName(path.substr(folder.size() + 1), picture.kind, picture.number))
                << path;
            picture.content = ReadFile(path);
            filed.push_back(picture);
        }
        EXPECT_EQ(ListFolder(folder).size(), filed.size());
        return filed;
    }

    std::string Pic(const std::string& sub = "") const {
        return folder_.Path() + "/pic" + (sub.empty() ? "" : "/" + sub);
    }

    TempFolder folder_;
    PictureArchive archive_{folder_.Path(), nullptr};
};

TEST_F(ReceiveDecodeEvent, FaceMatchFilesThreePicturesUnderOneNumber) {
    const int n = g_nPictureId;
    const DecodeResult result =
        Decode(FaceMatchBody(ToBase64("SNAP"), ToBase64("ALBUM"), ToBase64("SOURCE")));
    EXPECT_EQ(result.smartType, "VFD_MATCH");
    const auto filed = Pictures(result, Pic("VFD_MATCH"));
    ASSERT_EQ(filed.size(), 3u);
    EXPECT_EQ(filed[0].kind, "snap");
    EXPECT_EQ(filed[0].content, "SNAP");
    EXPECT_EQ(filed[1].kind, "album");
    EXPECT_EQ(filed[1].content, "ALBUM");
    EXPECT_EQ(filed[2].kind, "src");
    EXPECT_EQ(filed[2].content, "SOURCE");
    for (const Filed& picture : filed) {
        EXPECT_EQ(picture.number, n);
    }
    EXPECT_EQ(g_nPictureId, n + 1);

    // The next face match carries the next number.
    const DecodeResult next = Decode(FaceMatchBody(ToBase64("again"), "", ""));
    ASSERT_EQ(next.pictures.size(), 1u);
    EXPECT_NE(next.pictures[0].find("_snap_id" + std::to_string(n + 1) + ".jpg"),
              std::string::npos);
}

TEST_F(ReceiveDecodeEvent, FaceMatchWithoutPicturesUsesANumber) {
    const int n = g_nPictureId;
    const DecodeResult result = Decode(FaceMatchBody("", "", ""));
    EXPECT_TRUE(result.pictures.empty());
    EXPECT_EQ(g_nPictureId, n + 1);
    EXPECT_FALSE(Exists(Pic()));
}

TEST_F(ReceiveDecodeEvent, FaceMatchOutOfOrderLosesWhatStandsBefore) {
    const std::string body =
        "<config><smartType>VFD_MATCH</smartType>"
        "<albumData><ImageData><Base64Data>" +
        ToBase64("album") +
        "</Base64Data></ImageData>"
        "</albumData><snapData><ImageData><Base64Data>" +
        ToBase64("snap") +
        "</Base64Data></ImageData></snapData><sourceData><ImageData><Base64Data>" +
        ToBase64("src") + "</Base64Data></ImageData></sourceData></config>";
    const auto filed = Pictures(Decode(body), Pic("VFD_MATCH"));
    ASSERT_EQ(filed.size(), 2u);
    EXPECT_EQ(filed[0].kind, "snap");
    EXPECT_EQ(filed[0].content, "snap");
    EXPECT_EQ(filed[1].kind, "src");
}

TEST_F(ReceiveDecodeEvent, MissingImageDataSkipsOnlyThatPicture) {
    const std::string body =
        "<config><smartType>VFD_MATCH</smartType><snapData><other/></snapData>"
        "<albumData><ImageData><width>1</width></ImageData></albumData>"
        "<sourceData><ImageData><Base64Data>" +
        ToBase64("src") + "</Base64Data></ImageData></sourceData></config>";
    const auto filed = Pictures(Decode(body), Pic("VFD_MATCH"));
    ASSERT_EQ(filed.size(), 1u);
    EXPECT_EQ(filed[0].kind, "src");
    EXPECT_EQ(filed[0].content, "src");
}

TEST_F(ReceiveDecodeEvent, OtherTypeNumbersEachPicture) {
    const int n = g_nPictureId;
    const DecodeResult result =
        Decode(TargetsBody("PEA", ToBase64("frame"), {ToBase64("t1"), ToBase64("t2")}, "2"));
    EXPECT_EQ(result.smartType, "PEA");
    const auto filed = Pictures(result, Pic("PEA"));
    ASSERT_EQ(filed.size(), 3u);
    EXPECT_EQ(filed[0].kind, "src");
    EXPECT_EQ(filed[0].number, n);
    EXPECT_EQ(filed[0].content, "frame");
    EXPECT_EQ(filed[1].kind, "target");
    EXPECT_EQ(filed[1].number, n + 1);
    EXPECT_EQ(filed[1].content, "t1");
    EXPECT_EQ(filed[2].number, n + 2);
    EXPECT_EQ(filed[2].content, "t2");
    EXPECT_EQ(g_nPictureId, n + 3);
}

TEST_F(ReceiveDecodeEvent, CountDecidesHowManyItemsAreVisited) {
    const std::vector<std::string> targets = {ToBase64("a"), ToBase64("b"), ToBase64("c")};
    struct Case {
        std::string count;
        std::size_t visited;
    };
    for (const Case& c : {Case{"1", 1}, Case{"5", 3}, Case{" 2x", 2}, Case{"0", 0}, Case{"-2", 0},
                          Case{"", 0}, Case{"abc", 0}, Case{"99999999999999999999", 3}}) {
        TempFolder folder;
        const int n = g_nPictureId;
        const std::string body = TargetsBody("VEHICLE", "", targets, c.count);
        const DecodeResult result = DecodeEvent(PictureArchive{folder.Path(), nullptr},
                                                body.c_str(), static_cast<int>(body.size()));
        EXPECT_EQ(result.pictures.size(), c.visited) << "count \"" << c.count << "\"";
        EXPECT_EQ(g_nPictureId, n + static_cast<int>(c.visited)) << c.count;
    }
}

TEST_F(ReceiveDecodeEvent, TargetNeedsTypeString) {
    const int n = g_nPictureId;
    const std::string body =
        "<config><smartType>PEA</smartType><listInfo count=\"3\">"
        "<item><targetImageData><targetBase64Data>" +
        ToBase64("untyped") +
        "</targetBase64Data></targetImageData></item>"
        "<item><targetImageData><targetBase64Data type=\"String\">" +
        ToBase64("case") +
        "</targetBase64Data></targetImageData></item>"
        "<item><targetImageData><targetBase64Data type=\"string\">" +
        ToBase64("typed") + "</targetBase64Data></targetImageData></item></listInfo></config>";
    const auto filed = Pictures(Decode(body), Pic("PEA"));
    ASSERT_EQ(filed.size(), 1u);
    EXPECT_EQ(filed[0].content, "typed");
    EXPECT_EQ(filed[0].number, n);
    EXPECT_EQ(g_nPictureId, n + 1);
}

TEST_F(ReceiveDecodeEvent, NoSmartTypeFilesIntoPicItself) {
    const std::string body = "<config><sourceDataInfo><sourceBase64Data>" + ToBase64("plain") +
                             "</sourceBase64Data></sourceDataInfo></config>";
    const DecodeResult result = Decode(body);
    EXPECT_EQ(result.smartType, "");
    const auto filed = Pictures(result, Pic());
    ASSERT_EQ(filed.size(), 1u);
    EXPECT_EQ(filed[0].kind, "src");
    EXPECT_EQ(filed[0].content, "plain");
}

TEST_F(ReceiveDecodeEvent, OtherRootOrEmptyDocumentDoesNothing) {
    const int n = g_nPictureId;
    for (const std::string& body :
         {std::string("<event><smartType>VFD_MATCH</smartType></event>"), std::string(),
          std::string("<?xml version=\"1.0\"?>"), std::string("<notconfig/><config>")}) {
        const DecodeResult result = Decode(body);
        EXPECT_TRUE(result.pictures.empty()) << body;
    }
    EXPECT_EQ(g_nPictureId, n);
    EXPECT_FALSE(Exists(Pic()));
}

TEST_F(ReceiveDecodeEvent, EmptyBase64DrawsANumberAndFilesNothing) {
    const int n = g_nPictureId;
    const DecodeResult result = Decode(
        "<config><smartType>PEA</smartType><sourceDataInfo><sourceBase64Data></sourceBase64Data>"
        "</sourceDataInfo></config>");
    EXPECT_TRUE(result.pictures.empty());
    EXPECT_EQ(g_nPictureId, n + 1);
    EXPECT_FALSE(Exists(Pic()));
}

TEST_F(ReceiveDecodeEvent, LineBrokenBase64DecodesWithoutTheBreaks) {
    std::string bytes;
    for (int i = 0; i < 120; ++i) {
        bytes += static_cast<char>(i * 13);
    }
    std::string broken;
    const std::string text = ToBase64(bytes);
    for (std::size_t i = 0; i < text.size(); i += 76) {
        broken += text.substr(i, 76) + "\r\n";
    }
    const auto filed = Pictures(Decode(FaceMatchBody(broken, "", "")), Pic("VFD_MATCH"));
    ASSERT_EQ(filed.size(), 1u);
    EXPECT_EQ(filed[0].content, bytes);
}

TEST(ReceivePictureNumber, TextAndWrap) {
    const int saved = g_nPictureId;
    g_nPictureId = 41;
    EXPECT_EQ(DrawPictureNumber(), "id41");
    EXPECT_EQ(DrawPictureNumber(), "id42");
    g_nPictureId = INT_MAX;
    EXPECT_EQ(DrawPictureNumber(), "id2147483647");
    EXPECT_EQ(g_nPictureId, INT_MIN);
    EXPECT_EQ(DrawPictureNumber(), "id-2147483648");
    g_nPictureId = saved;
}

TEST(ReceivePictureNumber, ItemCountParsing) {
    EXPECT_EQ(ParseItemCount("3"), 3);
    EXPECT_EQ(ParseItemCount("  \t12abc"), 12);
    EXPECT_EQ(ParseItemCount("-4"), -4);
    EXPECT_EQ(ParseItemCount("+7"), 7);
    EXPECT_EQ(ParseItemCount("x1"), 0);
    EXPECT_EQ(ParseItemCount(""), 0);
    EXPECT_EQ(ParseItemCount("123456789012345"), INT_MAX);
    EXPECT_EQ(ParseItemCount("-123456789012345"), -INT_MAX);
}

}  // namespace
