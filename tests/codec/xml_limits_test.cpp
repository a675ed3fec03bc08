// Large, deep and hostile documents.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "codec/xml_document.h"
#include "xml_test_util.h"

TEST(XmlLimits, GrowthOverSeveralSegments) {
    // The first size estimate is far too small: the records grow over three segments.
    const int count = 140000;
    std::string text = "<r>";
    for (int k = 0; k < count; ++k) {
        text += k % 2 ? "<e/>" : "<e>" + std::to_string(k) + "</e>";
    }
    CXmlDocument doc = Doc(text + "</r>");
    EXPECT_TRUE(doc.IsWellFormed());
    ASSERT_EQ(doc.ElemCount(), count + 2);
    ExpectConsistentTree(doc);
    ASSERT_TRUE(doc.FindElem("r") && doc.IntoElem());
    for (int k = 0; k < count; k += 2) {
        ASSERT_TRUE(doc.FindElem("e") && doc.GetData() == std::to_string(k) && doc.FindElem());
    }
    EXPECT_FALSE(doc.FindElem("e"));
}

TEST(XmlLimits, TagsLongerThanThePackedWord) {
    const std::string startTag = "<a x='" + std::string(5 << 20, 'v') + "' y='2'>";
    const std::string endTag = "</a" + std::string(3000, ' ') + ">";
    CXmlDocument doc = Doc("<r>" + startTag + "data" + endTag + "<b/></r>");
    EXPECT_TRUE(doc.IsWellFormed()) << doc.GetError();
    EXPECT_EQ(doc.StartTagLength(2), static_cast<int>(startTag.size()));
    EXPECT_EQ(doc.EndTagLength(2), static_cast<int>(endTag.size()));
    EXPECT_EQ(doc.Elem(2).nLength, static_cast<int>(startTag.size() + 4 + endTag.size()));
    ASSERT_TRUE(doc.FindElem("r") && doc.IntoElem() && doc.FindElem("a"));
    EXPECT_EQ(doc.GetData(), "data");
    EXPECT_EQ(doc.GetAttrib("y"), "2");
    EXPECT_TRUE(doc.FindElem("b"));
    // Just below the limits the packed word holds the lengths itself.
    const std::string nearStart = "<a x='" + std::string(ElemRecord::kStartTagMax - 9, 'v') + "'>";
    const std::string nearEnd = "</a" + std::string(ElemRecord::kEndTagMax - 5, ' ') + ">";
    const CXmlDocument near = Doc(nearStart + nearEnd);
    EXPECT_EQ(near.Elem(1).PackedStartTagLength(), nearStart.size());
    EXPECT_EQ(near.Elem(1).PackedEndTagLength(), nearEnd.size());
}

TEST(XmlLimits, DeepNesting) {
    const int depth = 1000000;
    const std::string text = Repeat("<a>", depth) + Repeat("</a>", depth);
    CXmlDocument doc = Doc(text);
    EXPECT_TRUE(doc.IsWellFormed());
    ASSERT_EQ(doc.ElemCount(), depth + 1);
    ExpectConsistentTree(doc);
    EXPECT_EQ(doc.Elem(100).Level(), 99);
    EXPECT_EQ(doc.Elem(depth).Level(), 65535);  // saturated
    for (int k = 0; k < depth; ++k) {
        ASSERT_TRUE(doc.FindElem("a") && doc.IntoElem()) << k;
    }
    EXPECT_FALSE(doc.FindElem());
    // One end tag closing many levels at once relinks them all.
    const CXmlDocument mismatch = Doc("<r>" + Repeat("<a><b/>", 300000) + "</r>");
    EXPECT_EQ(Children(mismatch, 1).size(), 600000u);
    ExpectConsistentTree(mismatch);
    // Stray end tags below many open levels must not each cost a walk over all of them.
    const std::string stray =
        "<w>" + Repeat("<a>", 200000) + Repeat("</b>", 200000) + Repeat("</a[1]>", 200000) + "</w>";
    const CXmlDocument strayDoc = Doc(stray);
    EXPECT_EQ(strayDoc.GetError(), "No start tag for end tag 'b' at offset 600003");
    // "a[1]" names no open element ("a" is the shorter name): all stay open until </w>.
    EXPECT_TRUE(strayDoc.Elem(2).Has(ElemRecord::kNotEnded));
    EXPECT_EQ(strayDoc.Elem(1).nLength, static_cast<int>(stray.size()));
    EXPECT_EQ(Children(strayDoc, 1).size(), 200000u);
}

namespace {

// A heap block of exactly the text, borrowed: a consistent tree and a walk that ends.
void ExpectConsistentAndWalkable(const std::string& text) {
    SCOPED_TRACE(text);
    auto block = std::make_unique<char[]>(std::max<size_t>(text.size(), 1));
    std::copy(text.begin(), text.end(), block.get());
    CXmlDocument doc = CXmlDocument::Borrowing(std::string_view(block.get(), text.size()));
    ExpectConsistentTree(doc);
    for (int steps = 0;; ++steps) {
        ASSERT_LT(steps, 10000);
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

TEST(XmlLimits, EveryCutOfADocumentKeepsTheTreeConsistent) {
    const std::string event =
        "<?xml version='1.0'?><!DOCTYPE r [<!ENTITY e \"v>\"><!-- c -->]>\n<config version=\"1.7\">"
        "<smartType type=\"openAlramObj\">VFD_MATCH</smartType><listInfo count='2'><item><data>"
        "<![CDATA[QUJD]]></data></item><item><data>REVG&#x41;</data><empty/></item></listInfo>"
        "<x b='>'/>t&amp;<!-- note --></q><1/><!x><![x>< /r></config>\n";
    for (size_t n = 0; n < event.size(); ++n) {
        ExpectConsistentAndWalkable(event.substr(0, n));
    }
}
