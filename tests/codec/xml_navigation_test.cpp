#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "codec/xml_document.h"
#include "xml_test_util.h"

namespace {

// Runs a walk over the document. Steps, separated by spaces: "F<name>" FindElem(name) ("F"
// alone: null, "F~": ""), "I" IntoElem, "O" OutOfElem, each followed by "+" or "-" for the
// result wanted; "@<n>" wants CurrentPos() n, "=<text>" wants GetData() text.
void Walk(CXmlDocument& doc, const std::string& steps) {
    std::istringstream in(steps);
    std::string step;
    while (in >> step) {
        SCOPED_TRACE("step " + step);
        const std::string arg = step.substr(1, step.size() - 2);
        const bool want = step.back() == '+';
        switch (step[0]) {
            case 'F':
                EXPECT_EQ(step == "F+" || step == "F-"
                              ? doc.FindElem()
                              : doc.FindElem(arg == "~" ? "" : arg.c_str()),
                          want);
                break;
            case 'I':
                EXPECT_EQ(doc.IntoElem(), want);
                break;
            case 'O':
                EXPECT_EQ(doc.OutOfElem(), want);
                break;
            case '@':
                EXPECT_EQ(doc.CurrentPos(), std::stoi(step.substr(1)));
                break;
            case '=':
                EXPECT_EQ(doc.GetData(), step.substr(1));
                break;
        }
    }
}

std::string RootData(const std::string& text) {
    CXmlDocument doc = Doc(text);
    return doc.FindElem() ? doc.GetData() : "?";
}

std::string RootAttrib(const std::string& text, const char* name) {
    CXmlDocument doc = Doc(text);
    return doc.FindElem() ? doc.GetAttrib(name) : "?";
}

}  // namespace

TEST(XmlNavigation, Walks) {
    const std::pair<std::string, std::string> rows[] = {
        // Out again, the element left is current; in again, the search resumes after it.
        {"<config><smartType>VFD_MATCH</smartType></config>",
         "Fconfig+ I+ FsmartType+ =VFD_MATCH O+ @1 O- @1 I+ =VFD_MATCH FsmartType-"},
        // A failed find keeps the position; the search starts after the current element.
        {"<r><a>1</a><b>2</b></r>", "Fr+ I+ Fb+ Fmissing- =2 Fa- =2"},
        {"<r><item>1</item><other/><item>2</item></r>", "F+ I+ Fitem+ =1 Fitem+ =2 Fitem- =2"},
        {"<r><a/><b/></r>", "F+ I+ F~+ @2 F+ @3 F- @3"},
        // Case-sensitive; "item[2]" matches "item", "ite" matches nothing.
        {"<r><Item/><item/><items/></r>", "Fr+ I+ Fitem[2]+ @3 Fite- O+ I+ FITEM- Fitems+ @4"},
        {"<r><a/></r>", "I- O- Fr+ I+ @0 I- Fa+ I+ F- O+ @2 O+ @1"},
        // A cut body: the unended config has no children, a became its sibling.
        {"<config><a>1</a>", "Fconfig+ I+ Fa- O+ Fa+ =1"},
        {"", "F- I- O- ="},
    };
    for (const auto& [text, steps] : rows) {
        SCOPED_TRACE(text);
        CXmlDocument doc = Doc(text);
        Walk(doc, steps);
    }
}

TEST(XmlNavigation, SetDocAndMoveResetThePosition) {
    CXmlDocument doc = Doc("<r><a>1</a></r>");
    Walk(doc, "Fr+ I+ Fa+");
    const std::string next = "<s><b>2</b></s>";
    doc.SetDoc(next.data(), static_cast<int>(next.size()));
    EXPECT_EQ(doc.ParentPos(), 0);
    Walk(doc, "@0 Fr- Fs+ I+ Fb+ =2");
    CXmlDocument target = std::move(doc);
    Walk(target, "=2 O+ @1");
    Walk(doc, "F- O- I- =");
    EXPECT_FALSE(doc.IsWellFormed());
    EXPECT_EQ(doc.Elem(1).nStart, 0);
}

TEST(XmlData, ContentOfTheRoot) {
    const std::pair<std::string, std::string> rows[] = {
        {"<a>x &lt; y &amp; &#65;&#x42;</a>", "x < y & AB"},
        {"<a>&#233;</a>", "\xC3\xA9"},
        {"<a>&#0;</a>", "&#0;"},
        // White-space runs around markup are dropped, content of spaces alone is kept.
        {"<a> <![CDATA[<b>&amp;]]> </a>", "<b>&amp;"},
        {"<a>  </a>", "  "},
        {"<a>text<!-- note -->more</a>", "textmore"},
        {"<a>1 &amp; <?pi?>2<![CDATA[]]>3<![CDATA[x]]></a>", "1 & 23x"},
        {"<a>b > c<!---->d</a>", "b > cd"},
        {std::string("<a>x\0y</a>", 10), std::string("x\0y", 3)},
        {"<a>t<b/>u</a>", ""},  // has a child element
        {"<a/>", ""},
        {"<a></a>", ""},
        {"<a>text", ""},  // not ended
    };
    for (const auto& [text, data] : rows)
        EXPECT_EQ(RootData(text), data) << text;
    // Nothing current: the document itself, empty when it has a root.
    EXPECT_EQ(Doc("<a>x</a>").GetData(), "");
    EXPECT_EQ(Doc("just &amp; text").GetData(), "just & text");
    EXPECT_EQ(Doc("").GetAttrib("x"), "");
}

TEST(XmlAttrib, ValuesAndNames) {
    const std::string item = "<item type='1' count=\"2\" Kind = 'k' ref=3 last='a&amp;b'>x</item>";
    const std::string option = "<option selected disabled x='1' last>";
    const std::tuple<std::string, const char*, std::string> rows[] = {
        {item, "type", "1"},
        {item, "count", "2"},
        {item, "Type", ""},
        {item, "Kind", "k"},
        {item, "ref", "3"},
        {item, "last", "a&b"},
        {item, "item", ""},  // the tag name is no attribute
        {item, "missing", ""},
        {item, nullptr, ""},
        {"<b b='1' c='2' c='3'/>", "b", "1"},
        {"<b b='1' c='2' c='3'/>", "c", "2"},
        {"<a x='>' y='2'/>", "x", ">"},
        {"<a x='>' y='2'/>", "y", "2"},
        // Without a value: the attribute's own name.
        {option, "selected", "selected"},
        {option, "disabled", "disabled"},
        {option, "x", "1"},
        {option, "last", "last"},
        {"<a b/>", "b", "b"},
    };
    for (const auto& [text, name, value] : rows)
        EXPECT_EQ(RootAttrib(text, name), value) << text << " " << (name ? name : "null");
    CXmlDocument doc = Doc("<r type='1'><a/></r>");
    EXPECT_EQ(doc.GetAttrib("type"), "");  // nothing current
    ASSERT_TRUE(doc.FindElem("r") && doc.IntoElem());
    EXPECT_EQ(doc.GetAttrib("type"), "");
}

TEST(XmlAttrib, ValueScanStaysInsideTheStartTag) {
    // An unbalanced quote after the name: the value must not run on into the content.
    CXmlDocument doc = Doc("<a b=x'y c=\"z'>\">t</a>");
    ASSERT_TRUE(doc.FindElem("a"));
    const std::string c = doc.GetAttrib("c");
    EXPECT_LE(c.size(), static_cast<size_t>(doc.StartTagLength(1)));
    EXPECT_EQ(c.find('t'), std::string::npos);
}
