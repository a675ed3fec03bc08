#include <gtest/gtest.h>

#include <string>

#include "codec/xml_document.h"
#include "xml_test_util.h"

TEST(XmlParseErrors, EndTagClosesAnOuterElement) {
    const CXmlDocument doc = Doc("<a><b></a>");
    EXPECT_EQ(doc.GetError(), "End tag 'a' at offset 7 does not match start tag 'b' at offset 3");
    EXPECT_FALSE(doc.IsWellFormed());
    ASSERT_EQ(doc.ElemCount(), 3);
    const ElemRecord& b = doc.Elem(2);
    EXPECT_TRUE(b.Has(ElemRecord::kNotEnded));
    EXPECT_EQ(b.nLength, 3);
    EXPECT_EQ(b.iParent, 1);
    EXPECT_EQ(doc.Elem(1).iFirstChild, 2);
    EXPECT_FALSE(doc.Elem(1).Has(ElemRecord::kNotEnded));
    EXPECT_EQ(doc.Elem(1).nLength, 10);
    EXPECT_EQ(doc.EndTagLength(1), 4);
    EXPECT_TRUE(doc.Elem(0).Has(ElemRecord::kIllFormed));
    ExpectConsistentTree(doc);
}

TEST(XmlParseErrors, UnclosedElementsAtTheEndAreRelinked) {
    const CXmlDocument doc = Doc("<a><b>");
    EXPECT_EQ(doc.GetError(), "Root element has sibling");
    EXPECT_FALSE(doc.IsWellFormed());
    ASSERT_EQ(doc.ElemCount(), 3);
    EXPECT_TRUE(doc.Elem(1).Has(ElemRecord::kNotEnded));
    EXPECT_TRUE(doc.Elem(2).Has(ElemRecord::kNotEnded));
    EXPECT_EQ(doc.Elem(1).iFirstChild, 0);
    EXPECT_EQ(doc.Elem(1).iNext, 2);
    EXPECT_EQ(doc.Elem(2).iParent, 0);
    EXPECT_EQ(doc.Elem(2).iPrev, 1);
    EXPECT_EQ(doc.Elem(1).iPrev, 2);
    EXPECT_EQ(doc.Elem(2).nLength, 3);
    EXPECT_TRUE(doc.Elem(0).Has(ElemRecord::kIllFormed));
    ExpectConsistentTree(doc);
}

TEST(XmlParseErrors, NotEndedMessageNamesTheInnermostElement) {
    EXPECT_EQ(Doc("<a>").GetError(), "Element 'a' at offset 0 not ended");
    EXPECT_EQ(Doc("  <ab x='1'>text").GetError(), "Element 'ab' at offset 2 not ended");
    // With children relinked the document-level text replaces it.
    EXPECT_EQ(Doc("<a><b>").GetError(), "Root element has sibling");
}

TEST(XmlParseErrors, EndTagWithoutStartTag) {
    const CXmlDocument doc = Doc("<a></b></a>");
    EXPECT_EQ(doc.GetError(), "No start tag for end tag 'b' at offset 3");
    EXPECT_FALSE(doc.IsWellFormed());
    EXPECT_EQ(doc.Elem(1).nLength, 11);
    EXPECT_FALSE(doc.Elem(1).Has(ElemRecord::kNotEnded));
    EXPECT_TRUE(doc.Elem(1).Has(ElemRecord::kErrorInside));
    // Outside every element the flag lands on record 0.
    const CXmlDocument outside = Doc("<a/></x>");
    EXPECT_TRUE(outside.Elem(0).Has(ElemRecord::kErrorInside | ElemRecord::kIllFormed));
    EXPECT_EQ(outside.GetError(), "No start tag for end tag 'x' at offset 4");
}

TEST(XmlParseErrors, IncorrectBytesAfterTheOpeningAngle) {
    EXPECT_EQ(Doc("<a><1/></a>").GetError(), "Incorrect tag name character at offset 3");
    EXPECT_EQ(Doc("<a><!x></a>").GetError(), "Incorrect ! tag at offset 3");
    EXPECT_EQ(Doc("<a><!-x></a>").GetError(), "Incorrect comment tag at offset 3");
    EXPECT_EQ(Doc("<a><![x></a>").GetError(), "Incorrect tag at offset 3");
    const CXmlDocument doc = Doc("<a>< b></a>");
    EXPECT_EQ(doc.GetError(), "Incorrect tag name character at offset 3");
    EXPECT_FALSE(doc.IsWellFormed());
    EXPECT_TRUE(doc.Elem(1).Has(ElemRecord::kErrorInside));
    EXPECT_EQ(doc.Elem(1).nLength, 11);  // still closed by its end tag
}

TEST(XmlParseErrors, UnterminatedNodes) {
    EXPECT_EQ(Doc("<a><!-- x").GetError(), "Comment at offset 3 unterminated");
    EXPECT_EQ(Doc("<a><b x='1'").GetError(), "Element tag at offset 3 unterminated");
    EXPECT_EQ(Doc("<a></a").GetError(), "Element end tag at offset 3 unterminated");
    EXPECT_EQ(Doc("<a><![CDATA[x]]").GetError(), "CDATA Section at offset 3 unterminated");
    EXPECT_EQ(Doc("<a><?pi x").GetError(), "Processing instruction at offset 3 unterminated");
    EXPECT_EQ(Doc("<a><!DOCTYPE a [<!ENTITY e 'v'>]").GetError(),
              "Doctype at offset 3 unterminated");
    EXPECT_EQ(Doc("<a><!ENTITY e 'v>").GetError(), "Doctype at offset 3 unterminated");
    EXPECT_EQ(Doc("<a><").GetError(), "tag at offset 3 unterminated");
    EXPECT_EQ(Doc("<a><!").GetError(), "tag at offset 3 unterminated");
    EXPECT_EQ(Doc("<a><!-").GetError(), "tag at offset 3 unterminated");
    EXPECT_EQ(Doc("<a><![").GetError(), "tag at offset 3 unterminated");
    // The unterminated message replaces the node's own "Incorrect" message.
    EXPECT_EQ(Doc("<a><1 x='>").GetError(), "tag at offset 3 unterminated");
    // A comment whose "--" is only the opening's: "<!-->" is complete.
    EXPECT_TRUE(Doc("<a><!--></a>").IsWellFormed());
}

TEST(XmlParseErrors, FirstProblemWins) {
    EXPECT_EQ(Doc("<a><1/></b></a>").GetError(), "Incorrect tag name character at offset 3");
    EXPECT_EQ(Doc("<a></b><1/></a>").GetError(), "No start tag for end tag 'b' at offset 3");
    const CXmlDocument doc = Doc("<r><a><b></r><!x>");
    EXPECT_EQ(doc.GetError(), "End tag 'r' at offset 10 does not match start tag 'b' at offset 6");
}

TEST(XmlParseErrors, CascadeRelinksEveryLevelUnderTheMatchedElement) {
    // Offsets: r 0, a 3, b 6, c 9, d 13, end tag 17.
    const CXmlDocument doc = Doc("<r><a><b><c/><d/></r>");
    EXPECT_EQ(doc.GetError(), "End tag 'r' at offset 18 does not match start tag 'b' at offset 6");
    ASSERT_EQ(doc.ElemCount(), 6);
    const int r = 1, a = 2, b = 3, c = 4, d = 5;
    EXPECT_EQ(Children(doc, r), (std::vector<int>{a, b, c, d}));
    EXPECT_EQ(doc.Elem(a).iPrev, d);
    for (int e : {a, b, c, d}) {
        EXPECT_EQ(doc.Elem(e).iParent, r) << e;
        EXPECT_EQ(doc.Elem(e).iFirstChild, 0) << e;
    }
    EXPECT_FALSE(doc.Elem(c).Has(ElemRecord::kFirstChild));
    EXPECT_TRUE(doc.Elem(a).Has(ElemRecord::kNotEnded));
    EXPECT_TRUE(doc.Elem(b).Has(ElemRecord::kNotEnded));
    EXPECT_FALSE(doc.Elem(c).Has(ElemRecord::kNotEnded));
    EXPECT_FALSE(doc.Elem(r).Has(ElemRecord::kNotEnded));
    EXPECT_EQ(doc.Elem(r).nLength, 21);
    // Levels keep their values from creation.
    EXPECT_EQ(doc.Elem(c).Level(), 3);
    ExpectConsistentTree(doc);
}

TEST(XmlParseErrors, RelinkedChildrenFollowEarlierSiblings) {
    const CXmlDocument doc = Doc("<r><x/><a><y/><b><z/></r>");
    ASSERT_EQ(doc.ElemCount(), 7);
    // r: x a y b z, in document order.
    EXPECT_EQ(Children(doc, 1), (std::vector<int>{2, 3, 4, 5, 6}));
    EXPECT_EQ(doc.Elem(2).iPrev, 6);
    ExpectConsistentTree(doc);
}

TEST(XmlParseErrors, ErrorInsideMovesToTheParentOfAnUnendedElement) {
    const CXmlDocument doc = Doc("<r><a><1/></r>");
    EXPECT_TRUE(doc.Elem(2).Has(ElemRecord::kErrorInside));
    EXPECT_TRUE(doc.Elem(1).Has(ElemRecord::kErrorInside));
    EXPECT_FALSE(doc.Elem(0).Has(ElemRecord::kErrorInside));
    // An element closed by its own end tag keeps the flag to itself.
    const CXmlDocument kept = Doc("<r><a><1/></a></r>");
    EXPECT_TRUE(kept.Elem(2).Has(ElemRecord::kErrorInside));
    EXPECT_FALSE(kept.Elem(1).Has(ElemRecord::kErrorInside));
}

TEST(XmlParseErrors, TruncatedEventBodyKeepsItsElements) {
    const CXmlDocument doc = Doc("<config><a>1</a>");
    EXPECT_EQ(doc.GetError(), "Root element has sibling");
    ASSERT_EQ(doc.ElemCount(), 3);
    EXPECT_EQ(doc.Elem(1).iNext, 2);
    EXPECT_EQ(doc.Elem(2).iParent, 0);
    EXPECT_EQ(doc.Elem(2).nLength, 8);  // a itself was ended
    ExpectConsistentTree(doc);
}

TEST(XmlParseErrors, OuterMatchByNamePrefix) {
    const CXmlDocument doc = Doc("<r=1><a><b></r>");
    EXPECT_EQ(doc.GetError(), "End tag 'r' at offset 12 does not match start tag 'b' at offset 8");
    EXPECT_EQ(doc.Elem(1).nLength, 15);
    EXPECT_EQ(Children(doc, 1), (std::vector<int>{2, 3}));
    ExpectConsistentTree(doc);
}

TEST(XmlParseErrors, LaterMismatchesAfterAnEarlierOne) {
    // d=1 x=2 y=3 p=4 q=5 s=6 t=7; </x> skips y, then </p> skips s and q.
    const CXmlDocument doc = Doc("<d><x><y></x><p><q><s></p><t></u></t></d>");
    EXPECT_EQ(doc.GetError(), "End tag 'x' at offset 10 does not match start tag 'y' at offset 6");
    EXPECT_FALSE(doc.Elem(2).Has(ElemRecord::kNotEnded));
    EXPECT_TRUE(doc.Elem(3).Has(ElemRecord::kNotEnded));
    EXPECT_FALSE(doc.Elem(4).Has(ElemRecord::kNotEnded));
    EXPECT_EQ(doc.Elem(4).nLength, 13);
    EXPECT_TRUE(doc.Elem(5).Has(ElemRecord::kNotEnded));
    EXPECT_TRUE(doc.Elem(6).Has(ElemRecord::kNotEnded));
    EXPECT_EQ(Children(doc, 1), (std::vector<int>{2, 4, 7}));
    EXPECT_EQ(Children(doc, 2), (std::vector<int>{3}));
    EXPECT_EQ(Children(doc, 4), (std::vector<int>{5, 6}));
    // </u> matches nothing; t is still closed by its own end tag.
    EXPECT_FALSE(doc.Elem(7).Has(ElemRecord::kNotEnded));
    EXPECT_TRUE(doc.Elem(7).Has(ElemRecord::kErrorInside));
    EXPECT_EQ(doc.Elem(7).nLength, 11);
    EXPECT_FALSE(doc.Elem(1).Has(ElemRecord::kNotEnded));
    ExpectConsistentTree(doc);
}
