#include <gtest/gtest.h>

#include <string>

#include "codec/xml_document.h"
#include "xml_test_util.h"

TEST(XmlParse, NestedElementRecords) {
    const CXmlDocument doc = Doc("<a><b>x</b></a>");
    EXPECT_TRUE(doc.IsWellFormed());
    EXPECT_EQ(doc.GetError(), "");
    ASSERT_EQ(doc.ElemCount(), 3);
    const ElemRecord& top = doc.Elem(0);
    EXPECT_EQ(top.nLength, 15);
    EXPECT_EQ(top.iFirstChild, 1);
    EXPECT_EQ(top.nTagLengths, 0u);
    const ElemRecord& a = doc.Elem(1);
    EXPECT_EQ(a.nStart, 0);
    EXPECT_EQ(a.nLength, 15);
    EXPECT_EQ(a.Level(), 0);
    EXPECT_EQ(a.iParent, 0);
    EXPECT_EQ(a.iFirstChild, 2);
    EXPECT_EQ(a.iNext, 0);
    EXPECT_EQ(a.iPrev, 1);
    EXPECT_EQ(a.nFlags, ElemRecord::kFirstChild);
    EXPECT_EQ(doc.StartTagLength(1), 3);
    EXPECT_EQ(doc.EndTagLength(1), 4);
    const ElemRecord& b = doc.Elem(2);
    EXPECT_EQ(b.nStart, 3);
    EXPECT_EQ(b.nLength, 8);
    EXPECT_EQ(b.Level(), 1);
    EXPECT_EQ(b.iParent, 1);
    EXPECT_EQ(b.iPrev, 2);
    // The packed word: end tag in bits 22-31, start tag below.
    EXPECT_EQ(b.nTagLengths, (4u << 22) | 3u);
    ExpectConsistentTree(doc);
}

TEST(XmlParse, SiblingLinksAndLevels) {
    const std::string text = "<r><a/><b x='1'>t</b><c><d/></c></r>";
    const CXmlDocument doc = Doc(text);
    EXPECT_TRUE(doc.IsWellFormed());
    ASSERT_EQ(doc.ElemCount(), 6);
    EXPECT_EQ(Children(doc, 1), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(Children(doc, 4), (std::vector<int>{5}));
    EXPECT_EQ(doc.Elem(2).iPrev, 4);  // the first child names the last child
    EXPECT_EQ(doc.Elem(3).iPrev, 2);
    EXPECT_EQ(doc.Elem(4).iPrev, 3);
    EXPECT_EQ(doc.Elem(5).Level(), 2);
    EXPECT_EQ(doc.Elem(4).Level(), 1);
    EXPECT_EQ(doc.Elem(3).nStart, static_cast<int>(text.find("<b")));
    EXPECT_EQ(doc.Elem(3).nLength, 14);
    EXPECT_EQ(doc.StartTagLength(3), 9);
    EXPECT_EQ(doc.Elem(2).nLength, 4);  // self-closing: the start tag alone
    EXPECT_EQ(doc.EndTagLength(2), 0);
    ExpectConsistentTree(doc);
}

TEST(XmlParse, DocumentLevelErrors) {
    const CXmlDocument empty = Doc("");
    EXPECT_EQ(empty.GetError(), "Empty document");
    EXPECT_FALSE(empty.IsWellFormed());
    EXPECT_EQ(empty.ElemCount(), 1);
    const CXmlDocument null(nullptr, 5);
    EXPECT_EQ(null.GetError(), "Empty document");
    EXPECT_EQ(null.GetDoc(), "");

    const CXmlDocument hello = Doc("hello");
    EXPECT_EQ(hello.GetError(), "No root element");
    EXPECT_FALSE(hello.IsWellFormed());
    EXPECT_EQ(hello.Elem(0).nLength, 5);

    const CXmlDocument two = Doc("<a/><b/>");
    EXPECT_EQ(two.GetError(), "Root element has sibling");
    EXPECT_FALSE(two.IsWellFormed());
    EXPECT_EQ(two.Elem(0).iFirstChild, 1);
    EXPECT_EQ(two.Elem(1).iNext, 2);
    EXPECT_EQ(two.Elem(2).iPrev, 1);
    EXPECT_EQ(two.Elem(1).iPrev, 2);
    ExpectConsistentTree(two);
}

TEST(XmlParse, TextOutsideTheRootIsSteppedOver) {
    const CXmlDocument doc = Doc("  lead <?xml version='1.0'?>\n<!-- c --><a>1</a> tail\n");
    EXPECT_TRUE(doc.IsWellFormed());
    EXPECT_EQ(doc.GetError(), "");
    EXPECT_EQ(doc.ElemCount(), 2);
}

TEST(XmlParse, DeclarationsAndNestedEntityAreSteppedOver) {
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE a [\n  <!ENTITY e \"x>y\">\n  <!-- <b/> > -->\n  <!ELEMENT a ANY>\n]>\n"
        "<a/>";
    const CXmlDocument doc = Doc(text);
    EXPECT_TRUE(doc.IsWellFormed()) << doc.GetError();
    ASSERT_EQ(doc.ElemCount(), 2);
    EXPECT_EQ(doc.Elem(1).nStart, static_cast<int>(text.rfind("<a/>")));
}

TEST(XmlParse, QuotedGreaterThanDoesNotEndTheTag) {
    const CXmlDocument doc = Doc("<a x='>'/>");
    EXPECT_TRUE(doc.IsWellFormed());
    ASSERT_EQ(doc.ElemCount(), 2);
    EXPECT_EQ(doc.Elem(1).nLength, 10);
    const CXmlDocument dbl = Doc("<a x=\"'>\" y='\">'><b/></a>");
    EXPECT_TRUE(dbl.IsWellFormed()) << dbl.GetError();
    EXPECT_EQ(dbl.ElemCount(), 3);
}

TEST(XmlParse, SelfClosingRules) {
    // The "/" closes the tag straight after the name or after space or a quote only.
    EXPECT_EQ(Doc("<a/>").Elem(1).nLength, 4);
    EXPECT_EQ(Doc("<a />").Elem(1).nLength, 5);
    EXPECT_EQ(Doc("<a b='1'/>").Elem(1).nLength, 10);
    const CXmlDocument unquoted = Doc("<a b=1/>");
    EXPECT_FALSE(unquoted.IsWellFormed());
    EXPECT_TRUE(unquoted.Elem(1).Has(ElemRecord::kNotEnded));
    EXPECT_EQ(unquoted.GetError(), "Element 'a' at offset 0 not ended");
    const CXmlDocument closed = Doc("<a b=1/></a>");
    EXPECT_TRUE(closed.IsWellFormed());
    EXPECT_EQ(closed.EndTagLength(1), 4);
}

TEST(XmlParse, EndTagMatchesByNamePrefixRule) {
    // The end tag's name matches a start tag name that goes on with "=", "[" or "]".
    EXPECT_TRUE(Doc("<a=1></a>").IsWellFormed());
    EXPECT_TRUE(Doc("<a[2]></a>").IsWellFormed());
    EXPECT_TRUE(Doc("<a\n></a >").IsWellFormed());
    EXPECT_FALSE(Doc("<ab></a>").IsWellFormed());
    EXPECT_FALSE(Doc("<a></ab>").IsWellFormed());
    EXPECT_FALSE(Doc("<A></a>").IsWellFormed());
}
