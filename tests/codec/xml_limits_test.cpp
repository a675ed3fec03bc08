// Large, deep and hostile documents.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codec/xml_document.h"
#include "xml_test_util.h"

TEST(XmlLimits, GrowthOverSeveralSegments) {
    // Short elements: the first estimate (length / 64 + 8) is far too small, so the array
    // grows many times and over three segments; no record may be lost or moved wrongly.
    const int count = 140000;
    std::string text = "<r>";
    std::vector<int> starts;
    for (int k = 0; k < count; ++k) {
        starts.push_back(static_cast<int>(text.size()));
        text += k % 2 ? "<e/>" : "<e>" + std::to_string(k) + "</e>";
    }
    text += "</r>";
    CXmlDocument doc = Doc(text);
    EXPECT_TRUE(doc.IsWellFormed());
    ASSERT_EQ(doc.ElemCount(), count + 2);
    ASSERT_EQ(Children(doc, 1).size(), static_cast<size_t>(count));
    ExpectConsistentTree(doc);
    for (int k = 0; k < count; ++k) {
        ASSERT_EQ(doc.Elem(k + 2).nStart, starts[k]) << k;
    }
    EXPECT_EQ(doc.Elem(count + 2).nStart, 0);  // out of range: a zeroed record
    ASSERT_TRUE(doc.FindElem("r"));
    ASSERT_TRUE(doc.IntoElem());
    int found = 0;
    std::string last;
    while (doc.FindElem("e")) {
        if (++found % 2)
            last = doc.GetData();
    }
    EXPECT_EQ(found, count);
    EXPECT_EQ(last, std::to_string(count - 2));
}

TEST(XmlLimits, TagsLongerThanThePackedWord) {
    const std::string value(5 * 1024 * 1024, 'v');
    const std::string startTag = "<a x='" + value + "' y='2'>";
    const std::string endTag = "</a" + std::string(3000, ' ') + ">";
    const std::string text = "<r>" + startTag + "data" + endTag + "<b/></r>";
    CXmlDocument doc = Doc(text);
    EXPECT_TRUE(doc.IsWellFormed()) << doc.GetError();
    ASSERT_EQ(doc.ElemCount(), 4);
    EXPECT_EQ(doc.StartTagLength(2), static_cast<int>(startTag.size()));
    EXPECT_EQ(doc.EndTagLength(2), static_cast<int>(endTag.size()));
    EXPECT_EQ(doc.Elem(2).nLength, static_cast<int>(startTag.size() + 4 + endTag.size()));
    ASSERT_TRUE(doc.FindElem("r"));
    ASSERT_TRUE(doc.IntoElem());
    ASSERT_TRUE(doc.FindElem("a"));
    EXPECT_EQ(doc.GetData(), "data");
    EXPECT_EQ(doc.GetAttrib("y"), "2");
    EXPECT_EQ(doc.GetAttrib("x").size(), value.size());
    ASSERT_TRUE(doc.FindElem("b"));
    // Just below the limits the packed word holds the lengths itself.
    const std::string nearStart = "<a x='" + std::string(ElemRecord::kStartTagMax - 9, 'v') + "'>";
    ASSERT_EQ(nearStart.size(), ElemRecord::kStartTagMax - 1);
    const std::string nearEnd = "</a" + std::string(ElemRecord::kEndTagMax - 5, ' ') + ">";
    const CXmlDocument near = Doc(nearStart + nearEnd);
    EXPECT_EQ(near.Elem(1).PackedStartTagLength(), ElemRecord::kStartTagMax - 1);
    EXPECT_EQ(near.Elem(1).PackedEndTagLength(), ElemRecord::kEndTagMax - 1);
    EXPECT_EQ(near.EndTagLength(1), static_cast<int>(nearEnd.size()));
}

TEST(XmlLimits, AMillionLevelsWellFormed) {
    const int depth = 1000000;
    const std::string text = Repeat("<a>", depth) + Repeat("</a>", depth);
    CXmlDocument doc = Doc(text);
    EXPECT_TRUE(doc.IsWellFormed());
    ASSERT_EQ(doc.ElemCount(), depth + 1);
    EXPECT_EQ(doc.Elem(depth).iParent, depth - 1);
    EXPECT_EQ(doc.Elem(depth).nStart, 3 * (depth - 1));
    EXPECT_EQ(doc.Elem(depth).nLength, 7);
    EXPECT_EQ(doc.Elem(1).nLength, static_cast<int>(text.size()));
    EXPECT_EQ(doc.Elem(100).Level(), 99);
    EXPECT_EQ(doc.Elem(depth).Level(), 65535);  // saturated
    for (int k = 0; k < depth; ++k) {
        ASSERT_TRUE(doc.FindElem("a")) << k;
        ASSERT_TRUE(doc.IntoElem()) << k;
    }
    EXPECT_FALSE(doc.FindElem());
}

TEST(XmlLimits, DeepMismatchClosesManyLevelsAtOnce) {
    const int depth = 300000;
    const CXmlDocument doc = Doc("<r>" + Repeat("<a><b/>", depth) + "</r>");
    EXPECT_FALSE(doc.IsWellFormed());
    EXPECT_EQ(static_cast<int>(Children(doc, 1).size()), 2 * depth);
    ExpectConsistentTree(doc);
}

namespace {

// The records of text form a consistent tree, and a depth-first walk over them ends.
void ExpectConsistentAndWalkable(const std::string& text) {
    CXmlDocument doc = Doc(text);
    ExpectConsistentTree(doc);
    for (int steps = 0;; ++steps) {
        ASSERT_LT(steps, 10000) << text;
        if (doc.FindElem()) {
            doc.GetData();
            doc.GetAttrib("type");
            doc.IntoElem();
        } else if (!doc.OutOfElem()) {
            break;
        }
    }
}

}  // namespace

TEST(XmlLimits, CutAndRandomTextsKeepTheTreeConsistent) {
    const std::string event =
        "<?xml version=\"1.0\"?>\n<!-- pushed -->\n<config version=\"1.7\" xmlns=\"http://x\">\n"
        "  <smartType type=\"openAlramObj\">VFD_MATCH</smartType>\n"
        "  <currentTime type=\"tint64\">1700000000</currentTime>\n"
        "  <listInfo count='2'><item><data><![CDATA[QUJD]]></data></item>"
        "<item><data>REVG&#x41;</data><empty/></item></listInfo>\n</config>\n";
    EXPECT_TRUE(Doc(event).IsWellFormed());
    for (size_t n = 0; n < event.size(); ++n) {
        ExpectConsistentAndWalkable(event.substr(0, n));
    }
    std::vector<std::string> pieces = {"<a>",       "</a>",     "<b type='1'>",
                                       "</b>",      "<c/>",     "<!--",
                                       "-->",       "'",        "\"",
                                       "<![CDATA[", "]]>",      "text",
                                       "<",         ">",        "&amp;",
                                       "&#65;",     "<?p?>",    "<!DOCTYPE d [",
                                       "]>",        "<!ENTITY", " ",
                                       "/",         "=",        "\n",
                                       "<1",        "</",       "<!x"};
    pieces.push_back(std::string(1, '\0'));
    std::mt19937 rng(1234);
    for (int round = 0; round < 3000 && !::testing::Test::HasFailure(); ++round) {
        std::string text;
        for (int k = static_cast<int>(rng() % 30); k > 0; --k)
            text += pieces[rng() % pieces.size()];
        ExpectConsistentAndWalkable(text);
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "document: " << text;
        }
    }
}

TEST(XmlLimits, ManyStrayEndTagsBelowManyOpenLevels) {
    // Each stray end tag must not cost a walk over every open level.
    const int depth = 200000;
    const std::string text =
        "<w>" + Repeat("<a>", depth) + Repeat("</b>", depth) + Repeat("</a[1]>", depth) + "</w>";
    const CXmlDocument doc = Doc(text);
    EXPECT_EQ(doc.GetError(),
              "No start tag for end tag 'b' at offset " + std::to_string(3 + 3 * depth));
    EXPECT_EQ(doc.ElemCount(), depth + 2);
    // "a[1]" names no open element ("a" is the shorter name): all stay open until </w>.
    EXPECT_TRUE(doc.Elem(depth + 1).Has(ElemRecord::kNotEnded));
    EXPECT_TRUE(doc.Elem(2).Has(ElemRecord::kNotEnded));
    EXPECT_FALSE(doc.Elem(1).Has(ElemRecord::kNotEnded));
    EXPECT_EQ(doc.Elem(1).nLength, static_cast<int>(text.size()));
    EXPECT_EQ(static_cast<int>(Children(doc, 1).size()), depth);
}
