#include <gtest/gtest.h>

#include <string>

#include "codec/xml_document.h"
#include "xml_test_util.h"

TEST(XmlNavigation, IntoAndOutOfAnEvent) {
    CXmlDocument doc = Doc("<config><smartType>VFD_MATCH</smartType></config>");
    ASSERT_TRUE(doc.FindElem("config"));
    ASSERT_TRUE(doc.IntoElem());
    ASSERT_TRUE(doc.FindElem("smartType"));
    EXPECT_EQ(doc.GetData(), "VFD_MATCH");
    EXPECT_TRUE(doc.OutOfElem());
    EXPECT_EQ(doc.CurrentPos(), 1);
    EXPECT_EQ(doc.ParentPos(), 0);
    EXPECT_EQ(doc.ChildPos(), 2);
    EXPECT_FALSE(doc.OutOfElem());
    EXPECT_EQ(doc.CurrentPos(), 1);
    // Stepping in again resumes at the element left.
    ASSERT_TRUE(doc.IntoElem());
    EXPECT_EQ(doc.GetData(), "VFD_MATCH");
    EXPECT_FALSE(doc.FindElem("smartType"));
}

TEST(XmlNavigation, FailedFindLeavesThePosition) {
    CXmlDocument doc = Doc("<r><a>1</a><b>2</b></r>");
    ASSERT_TRUE(doc.FindElem("r"));
    ASSERT_TRUE(doc.IntoElem());
    ASSERT_TRUE(doc.FindElem("b"));
    EXPECT_FALSE(doc.FindElem("missing"));
    EXPECT_EQ(doc.GetData(), "2");
    // The search starts after the current element: a is before b.
    EXPECT_FALSE(doc.FindElem("a"));
    EXPECT_EQ(doc.GetData(), "2");
}

TEST(XmlNavigation, RepeatedFindWalksSameNamedSiblings) {
    CXmlDocument doc = Doc("<r><item>1</item><other/><item>2</item></r>");
    ASSERT_TRUE(doc.FindElem());
    ASSERT_TRUE(doc.IntoElem());
    ASSERT_TRUE(doc.FindElem("item"));
    EXPECT_EQ(doc.GetData(), "1");
    ASSERT_TRUE(doc.FindElem("item"));
    EXPECT_EQ(doc.GetData(), "2");
    EXPECT_FALSE(doc.FindElem("item"));
    EXPECT_EQ(doc.GetData(), "2");
}

TEST(XmlNavigation, AnyNameTakesTheNextElement) {
    CXmlDocument doc = Doc("<r><a/><b/></r>");
    ASSERT_TRUE(doc.FindElem(nullptr));
    ASSERT_TRUE(doc.IntoElem());
    ASSERT_TRUE(doc.FindElem(""));
    EXPECT_EQ(doc.CurrentPos(), 2);
    ASSERT_TRUE(doc.FindElem());
    EXPECT_EQ(doc.CurrentPos(), 3);
    EXPECT_FALSE(doc.FindElem());
    EXPECT_EQ(doc.CurrentPos(), 3);
}

TEST(XmlNavigation, NameMatchingIsCaseSensitiveWithIndexSuffixes) {
    CXmlDocument doc = Doc("<r><Item/><item/><items/></r>");
    ASSERT_TRUE(doc.FindElem("r"));
    ASSERT_TRUE(doc.IntoElem());
    ASSERT_TRUE(doc.FindElem("item[2]"));
    EXPECT_EQ(doc.CurrentPos(), 3);
    EXPECT_FALSE(doc.FindElem("ite"));
    ASSERT_TRUE(doc.OutOfElem());
    ASSERT_TRUE(doc.IntoElem());
    EXPECT_FALSE(doc.FindElem("ITEM"));
    ASSERT_TRUE(doc.FindElem("items"));
    EXPECT_EQ(doc.CurrentPos(), 4);
}

TEST(XmlNavigation, IntoElemNeedsACurrentElement) {
    CXmlDocument doc = Doc("<r><a/></r>");
    EXPECT_FALSE(doc.IntoElem());
    EXPECT_FALSE(doc.OutOfElem());
    ASSERT_TRUE(doc.FindElem("r"));
    ASSERT_TRUE(doc.IntoElem());
    EXPECT_EQ(doc.CurrentPos(), 0);
    EXPECT_FALSE(doc.IntoElem());  // nothing current inside r yet
    ASSERT_TRUE(doc.FindElem("a"));
    ASSERT_TRUE(doc.IntoElem());
    EXPECT_FALSE(doc.FindElem());  // a has no children
    ASSERT_TRUE(doc.OutOfElem());
    EXPECT_EQ(doc.CurrentPos(), 2);
    ASSERT_TRUE(doc.OutOfElem());
    EXPECT_EQ(doc.CurrentPos(), 1);
}

TEST(XmlNavigation, TruncatedBodyOnlyShowsTopLevelSiblings) {
    CXmlDocument doc = Doc("<config><a>1</a>");
    ASSERT_TRUE(doc.FindElem("config"));
    ASSERT_TRUE(doc.IntoElem());
    EXPECT_FALSE(doc.FindElem("a"));
    ASSERT_TRUE(doc.OutOfElem());
    ASSERT_TRUE(doc.FindElem("a"));
    EXPECT_EQ(doc.GetData(), "1");
}

TEST(XmlNavigation, SetDocResetsThePosition) {
    CXmlDocument doc = Doc("<r><a>1</a></r>");
    ASSERT_TRUE(doc.FindElem("r"));
    ASSERT_TRUE(doc.IntoElem());
    ASSERT_TRUE(doc.FindElem("a"));
    const std::string next = "<s><b>2</b></s>";
    doc.SetDoc(next.data(), static_cast<int>(next.size()));
    EXPECT_EQ(doc.CurrentPos(), 0);
    EXPECT_EQ(doc.ParentPos(), 0);
    EXPECT_FALSE(doc.FindElem("r"));
    ASSERT_TRUE(doc.FindElem("s"));
    ASSERT_TRUE(doc.IntoElem());
    ASSERT_TRUE(doc.FindElem("b"));
    EXPECT_EQ(doc.GetData(), "2");
}

TEST(XmlData, ReferencesInText) {
    CXmlDocument doc = Doc("<a>x &lt; y &amp; &#65;&#x42;</a>");
    ASSERT_TRUE(doc.FindElem("a"));
    EXPECT_EQ(doc.GetData(), "x < y & AB");
    CXmlDocument accent = Doc("<a>&#233;</a>");
    ASSERT_TRUE(accent.FindElem("a"));
    EXPECT_EQ(accent.GetData(), "\xC3\xA9");
    CXmlDocument zero = Doc("<a>&#0;</a>");
    ASSERT_TRUE(zero.FindElem("a"));
    EXPECT_EQ(zero.GetData(), "&#0;");
}

TEST(XmlData, CDataAndMarkupInContent) {
    CXmlDocument doc = Doc("<a> <![CDATA[<b>&amp;]]> </a>");
    ASSERT_TRUE(doc.FindElem("a"));
    EXPECT_EQ(doc.GetData(), "<b>&amp;");
    CXmlDocument spaces = Doc("<a>  </a>");
    ASSERT_TRUE(spaces.FindElem("a"));
    EXPECT_EQ(spaces.GetData(), "  ");
    CXmlDocument comment = Doc("<a>text<!-- note -->more</a>");
    ASSERT_TRUE(comment.FindElem("a"));
    EXPECT_EQ(comment.GetData(), "textmore");
    CXmlDocument mixed = Doc("<a>1 &amp; <?pi?>2<![CDATA[]]>3<![CDATA[x]]></a>");
    ASSERT_TRUE(mixed.FindElem("a"));
    EXPECT_EQ(mixed.GetData(), "1 & 23x");
    CXmlDocument gt = Doc("<a>b > c<!---->d</a>");
    ASSERT_TRUE(gt.FindElem("a"));
    EXPECT_EQ(gt.GetData(), "b > cd");
}

TEST(XmlData, EmptyResults) {
    CXmlDocument parent = Doc("<a>t<b/>u</a>");
    ASSERT_TRUE(parent.FindElem("a"));
    EXPECT_EQ(parent.GetData(), "");
    CXmlDocument selfClosed = Doc("<a/>");
    ASSERT_TRUE(selfClosed.FindElem("a"));
    EXPECT_EQ(selfClosed.GetData(), "");
    CXmlDocument empty = Doc("<a></a>");
    ASSERT_TRUE(empty.FindElem("a"));
    EXPECT_EQ(empty.GetData(), "");
    CXmlDocument notEnded = Doc("<a>text");
    ASSERT_TRUE(notEnded.FindElem("a"));
    EXPECT_EQ(notEnded.GetData(), "");
    // Nothing current at document level: the document itself, empty when it has a root.
    CXmlDocument top = Doc("<a>x</a>");
    EXPECT_EQ(top.GetData(), "");
    CXmlDocument noRoot = Doc("just &amp; text");
    EXPECT_EQ(noRoot.GetData(), "just & text");
    CXmlDocument none = Doc("");
    EXPECT_EQ(none.GetData(), "");
    EXPECT_EQ(none.GetAttrib("x"), "");
    EXPECT_FALSE(none.FindElem());
}

TEST(XmlData, ContentWithNulBytes) {
    CXmlDocument doc = Doc(std::string("<a>x\0y</a>", 10));
    ASSERT_TRUE(doc.FindElem("a"));
    EXPECT_EQ(doc.GetData(), std::string("x\0y", 3));
}

TEST(XmlAttrib, QuotedAndUnquotedValues) {
    CXmlDocument doc = Doc("<item type='1' count=\"2\" Kind = 'k' ref=3 last='a&amp;b'>x</item>");
    ASSERT_TRUE(doc.FindElem("item"));
    EXPECT_EQ(doc.GetAttrib("type"), "1");
    EXPECT_EQ(doc.GetAttrib("count"), "2");
    EXPECT_EQ(doc.GetAttrib("Type"), "");
    EXPECT_EQ(doc.GetAttrib("Kind"), "k");
    EXPECT_EQ(doc.GetAttrib("ref"), "3");
    EXPECT_EQ(doc.GetAttrib("last"), "a&b");
    EXPECT_EQ(doc.GetAttrib("item"), "");  // the tag name is not an attribute
    EXPECT_EQ(doc.GetAttrib("missing"), "");
    EXPECT_EQ(doc.GetAttrib(nullptr), "");
    EXPECT_EQ(doc.GetData(), "x");
}

TEST(XmlAttrib, AttributesWithoutValues) {
    CXmlDocument doc = Doc("<option selected disabled x='1' last>");
    ASSERT_TRUE(doc.FindElem("option"));
    EXPECT_EQ(doc.GetAttrib("selected"), "selected");
    EXPECT_EQ(doc.GetAttrib("disabled"), "disabled");
    EXPECT_EQ(doc.GetAttrib("x"), "1");
    EXPECT_EQ(doc.GetAttrib("last"), "last");
    CXmlDocument closed = Doc("<a b/>");
    ASSERT_TRUE(closed.FindElem("a"));
    EXPECT_EQ(closed.GetAttrib("b"), "b");
}

TEST(XmlAttrib, SameNameAsTheTagAndRepeatedAttributes) {
    CXmlDocument doc = Doc("<b b='1' c='2' c='3'/>");
    ASSERT_TRUE(doc.FindElem("b"));
    EXPECT_EQ(doc.GetAttrib("b"), "1");
    EXPECT_EQ(doc.GetAttrib("c"), "2");
    // A quoted value with the greater-than sign in it.
    CXmlDocument gt = Doc("<a x='>' y='2'/>");
    ASSERT_TRUE(gt.FindElem("a"));
    EXPECT_EQ(gt.GetAttrib("x"), ">");
    EXPECT_EQ(gt.GetAttrib("y"), "2");
}

TEST(XmlAttrib, NeedsACurrentElement) {
    CXmlDocument doc = Doc("<r type='1'><a/></r>");
    EXPECT_EQ(doc.GetAttrib("type"), "");
    ASSERT_TRUE(doc.FindElem("r"));
    EXPECT_EQ(doc.GetAttrib("type"), "1");
    ASSERT_TRUE(doc.IntoElem());
    EXPECT_EQ(doc.GetAttrib("type"), "");
}

TEST(XmlAttrib, ValueScanStaysInsideTheStartTag) {
    // An unbalanced quote after the name: the value must not run on into the content.
    CXmlDocument doc = Doc("<a b=x'y c=\"z'>\">t</a>");
    ASSERT_TRUE(doc.FindElem("a"));
    const std::string c = doc.GetAttrib("c");
    const int tagEnd = doc.StartTagLength(1);
    EXPECT_LE(c.size(), static_cast<size_t>(tagEnd));
    EXPECT_EQ(c.find('t'), std::string::npos);
}

TEST(XmlNavigation, MovedFromDocumentFailsHarmlessly) {
    CXmlDocument source = Doc("<r><a>1</a></r>");
    ASSERT_TRUE(source.FindElem("r"));
    ASSERT_TRUE(source.IntoElem());
    ASSERT_TRUE(source.FindElem("a"));
    CXmlDocument target = std::move(source);
    EXPECT_EQ(target.GetData(), "1");
    ASSERT_TRUE(target.OutOfElem());
    EXPECT_EQ(target.CurrentPos(), 1);
    EXPECT_FALSE(source.FindElem());
    EXPECT_FALSE(source.OutOfElem());
    EXPECT_FALSE(source.IntoElem());
    EXPECT_EQ(source.GetData(), "");
    EXPECT_FALSE(source.IsWellFormed());
    EXPECT_EQ(source.Elem(1).nStart, 0);
}
