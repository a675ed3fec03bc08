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

namespace {

// Data of the root element of text ("?" when there is no root element).
std::string RootData(const std::string& text) {
    CXmlDocument doc = Doc(text);
    return doc.FindElem() ? doc.GetData() : "?";
}

// Attribute name of the root element of text ("?" when there is no root element).
std::string RootAttrib(const std::string& text, const char* name) {
    CXmlDocument doc = Doc(text);
    return doc.FindElem() ? doc.GetAttrib(name) : "?";
}

}  // namespace

TEST(XmlData, ReferencesCDataAndMarkupInContent) {
    EXPECT_EQ(RootData("<a>x &lt; y &amp; &#65;&#x42;</a>"), "x < y & AB");
    EXPECT_EQ(RootData("<a>&#233;</a>"), "\xC3\xA9");
    EXPECT_EQ(RootData("<a>&#0;</a>"), "&#0;");
    // White-space runs around markup are dropped, a content of spaces alone is kept.
    EXPECT_EQ(RootData("<a> <![CDATA[<b>&amp;]]> </a>"), "<b>&amp;");
    EXPECT_EQ(RootData("<a>  </a>"), "  ");
    EXPECT_EQ(RootData("<a>text<!-- note -->more</a>"), "textmore");
    EXPECT_EQ(RootData("<a>1 &amp; <?pi?>2<![CDATA[]]>3<![CDATA[x]]></a>"), "1 & 23x");
    EXPECT_EQ(RootData("<a>b > c<!---->d</a>"), "b > cd");
    EXPECT_EQ(RootData(std::string("<a>x\0y</a>", 10)), std::string("x\0y", 3));
}

TEST(XmlData, EmptyResults) {
    EXPECT_EQ(RootData("<a>t<b/>u</a>"), "");  // has a child element
    EXPECT_EQ(RootData("<a/>"), "");
    EXPECT_EQ(RootData("<a></a>"), "");
    EXPECT_EQ(RootData("<a>text"), "");  // not ended
    // Nothing current at document level: the document itself, empty when it has a root.
    EXPECT_EQ(Doc("<a>x</a>").GetData(), "");
    EXPECT_EQ(Doc("just &amp; text").GetData(), "just & text");
    CXmlDocument none = Doc("");
    EXPECT_EQ(none.GetData(), "");
    EXPECT_EQ(none.GetAttrib("x"), "");
    EXPECT_FALSE(none.FindElem());
}

TEST(XmlAttrib, ValuesAndNames) {
    const std::string item = "<item type='1' count=\"2\" Kind = 'k' ref=3 last='a&amp;b'>x</item>";
    EXPECT_EQ(RootAttrib(item, "type"), "1");
    EXPECT_EQ(RootAttrib(item, "count"), "2");
    EXPECT_EQ(RootAttrib(item, "Type"), "");
    EXPECT_EQ(RootAttrib(item, "Kind"), "k");
    EXPECT_EQ(RootAttrib(item, "ref"), "3");
    EXPECT_EQ(RootAttrib(item, "last"), "a&b");
    EXPECT_EQ(RootAttrib(item, "item"), "");  // the tag name is not an attribute
    EXPECT_EQ(RootAttrib(item, "missing"), "");
    EXPECT_EQ(RootAttrib(item, nullptr), "");
    EXPECT_EQ(RootAttrib("<b b='1' c='2' c='3'/>", "b"), "1");
    EXPECT_EQ(RootAttrib("<b b='1' c='2' c='3'/>", "c"), "2");
    EXPECT_EQ(RootAttrib("<a x='>' y='2'/>", "x"), ">");
    EXPECT_EQ(RootAttrib("<a x='>' y='2'/>", "y"), "2");
}

TEST(XmlAttrib, AttributesWithoutValuesGiveTheirNames) {
    const std::string option = "<option selected disabled x='1' last>";
    EXPECT_EQ(RootAttrib(option, "selected"), "selected");
    EXPECT_EQ(RootAttrib(option, "disabled"), "disabled");
    EXPECT_EQ(RootAttrib(option, "x"), "1");
    EXPECT_EQ(RootAttrib(option, "last"), "last");
    EXPECT_EQ(RootAttrib("<a b/>", "b"), "b");
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
