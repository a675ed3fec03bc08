#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>

#include "codec/xml_document.h"
#include "xml_test_util.h"

namespace {

// Steps: "F<name>" FindElem ("F": null, "F~": ""), "I" IntoElem, "O" OutOfElem, each with "+" or
// "-" for the result; "@<n>" wants CurrentPos() n, "=<text>" wants GetData() text.
void Walk(CXmlDocument& doc, const std::string& steps) {
    std::istringstream in(steps);
    for (std::string step; in >> step;) {
        SCOPED_TRACE("step " + step);
        const std::string arg = step.substr(1, step.size() - 2);
        const bool want = step.back() == '+';
        if (step[0] == 'F') {
            EXPECT_EQ(arg.empty() ? doc.FindElem() : doc.FindElem(arg == "~" ? "" : arg.c_str()),
                      want);
        } else if (step[0] == 'I' || step[0] == 'O') {
            EXPECT_EQ(step[0] == 'I' ? doc.IntoElem() : doc.OutOfElem(), want);
        } else if (step[0] == '@') {
            EXPECT_EQ(doc.CurrentPos(), std::stoi(step.substr(1)));
        } else {
            EXPECT_EQ(doc.GetData(), step.substr(1));
        }
    }
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
    // SetDoc parses again and goes back to document level; a moved-from document is empty.
    CXmlDocument doc = Doc("<r><a>1</a></r>");
    Walk(doc, "Fr+ I+ Fa+");
    const std::string next = "<s><b>2</b></s>";
    doc.SetDoc(next.data(), static_cast<int>(next.size()));
    Walk(doc, "@0 Fr- Fs+ I+ Fb+ =2");
    CXmlDocument target = std::move(doc);  // a short text lies inside the string itself
    Walk(doc, "F- O- I- =");
    EXPECT_FALSE(doc.IsWellFormed() || doc.BorrowsText());
    doc = Doc("<t><c>3</c></t>");  // the source's string holds other bytes now
    Walk(target, "=2 O+ @1");
}

// GetData of the root; as a view into the text exactly when it needs no decoding.
TEST(XmlData, ContentOfTheRoot) {
    const std::string run(300, 'Q');  // whole blocks of 64 bytes before a reference or markup
    const std::tuple<std::string, std::string, bool> rows[] = {
        {"<a>QUJD+/=</a>", "QUJD+/=", true},
        {"<a>x &lt; y &amp; &#65;&#x42;&#233;</a>", "x < y & AB\xC3\xA9", false},
        // White-space runs around markup are dropped, content of spaces alone is kept.
        {"<a> <![CDATA[<b>&amp;]]> </a>", "<b>&amp;", false},
        {"<a>  </a>", "  ", true},
        {"<a>1 &amp; <?pi?>2<![CDATA[]]>3<![CDATA[x]]></a>", "1 & 23x", false},
        {"<a>b > c<!---->d<!-- note -->e</a>", "b > cde", false},
        {std::string("<a>x\0y</a>", 10), std::string("x\0y", 3), true},
        {"<a>t<b/>u</a>", "", true},  // has a child element
        {"<a/>", "", true},
        {"<a>text", "", true},  // not ended
        {"<a>" + run + "</a>", run, true},
        {"<a>" + run + "&#x41;" + run + "</a>", run + "A" + run, false},
        {"<a>" + run + "<![CDATA[<]]></a>", run + "<", false},
    };
    for (const auto& [text, data, viewed] : rows) {
        SCOPED_TRACE(text.substr(0, 60));
        CXmlDocument docs[] = {Doc(text), CXmlDocument::Borrowing(text)};
        for (CXmlDocument& doc : docs) {
            EXPECT_TRUE(doc.FindElem());
            EXPECT_EQ(doc.GetData(), data);
            std::string_view view = "stale";
            EXPECT_EQ(doc.GetDataView(view), viewed);
            EXPECT_EQ(view, viewed ? data : "");
            EXPECT_TRUE(view.empty() || (view.data() >= doc.GetDoc().data() &&
                                         view.data() + view.size() <= doc.GetDoc().end()));
            for (std::size_t held : {0, 3, 400}) {  // the caller's text shorter or longer
                std::string out(held, 'z');
                doc.GetData(out);
                EXPECT_EQ(out, data) << held;
            }
        }
    }
    // Nothing current: the document itself, empty when it has a root.
    std::string_view view = "stale";
    EXPECT_TRUE(Doc("<a>x</a>").GetDataView(view) && view.empty());
    EXPECT_EQ(Doc("just &amp; text").GetData(), "just & text");
}

TEST(XmlAttrib, ValuesAndNames) {
    // Without a value an attribute gives its own name; the tag name is none; the first of two wins.
    const std::pair<std::string, std::string> rows[] = {
        {"<item type='1' count=\"2\" Kind = 'k' ref=3 last='a&amp;b'>x</item>",
         "type=1 count=2 Type= Kind=k ref=3 last=a&b item= missing="},
        {"<b b='1' c='2' c='3'/>", "b=1 c=2"},
        {"<a x='>' y='2'/>", "x=> y=2"},
        {"<option selected disabled x='1' last>",
         "selected=selected disabled=disabled x=1 last=last"},
        {"<a b/>", "b=b"},
    };
    for (const auto& [text, pairs] : rows) {
        CXmlDocument docs[] = {Doc(text), CXmlDocument::Borrowing(text)};
        for (CXmlDocument& doc : docs) {
            EXPECT_EQ(doc.GetAttrib("type"), "");  // nothing current
            ASSERT_TRUE(doc.FindElem());
            EXPECT_EQ(doc.GetAttrib(nullptr), "");
            std::istringstream in(pairs);
            for (std::string pair; in >> pair;) {
                const size_t eq = pair.find('=');
                EXPECT_EQ(doc.GetAttrib(pair.substr(0, eq).c_str()), pair.substr(eq + 1)) << text;
            }
        }
    }
    // An unbalanced quote after the name: the value must not run on into the content.
    CXmlDocument doc = Doc("<a b=x'y c=\"z'>\">t</a>");
    ASSERT_TRUE(doc.FindElem("a"));
    EXPECT_LE(doc.GetAttrib("c").size(), static_cast<size_t>(doc.StartTagLength(1)));
    EXPECT_EQ(doc.GetAttrib("c").find('t'), std::string::npos);
}

TEST(XmlUnescape, References) {
    const std::pair<std::string, std::string> rows[] = {
        {"&lt;&amp;&gt;&apos;&quot;a &amp;amp; b", "<&>'\"a &amp; b"},
        {"&unknown; & &; &LT; &lt x&am", "&unknown; & &; &LT; &lt x&am"},
        {"&#65;&#x42;&#x6a;&#127;&#128;&#233;", "ABj\x7F\xC2\x80\xC3\xA9"},
        {"&#x7FF;&#x800;&#x20AC;&#xFFFF;", "\xDF\xBF\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBF"},
        {"&#x10000;&#128512;&#x10FFFF;", "\xF0\x90\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
        {"&#x110000;&#1114112;&#xFFFFFFF;", "&#x110000;&#1114112;&#xFFFFFFF;"},
        {"&#0;&#x;&#;&#X41;", "&#0;&#x;&#;&#X41;"},  // upper-case X is not hexadecimal
        // At most seven bytes between "#" (or "x") and ";".
        {"&#0000065;&#x0000041;&#00000065;&#x00000041;", "AA&#00000065;&#x00000041;"},
        // Read as the C conversion reads it; a negative value gives its low 8 bits.
        {"&#65abc;x&#x41g;&# 66;&#+67;&#-1;", "AxABC\xFF"},
        // The ";" must lie inside the text, before any NUL.
        {std::string("&#6\0;", 5), std::string("&#6\0;", 5)},
        {"&#65", "&#65"},
        {"&#x", "&#x"},
        {"ab&#1234567", "ab&#1234567"},
        {"&", "&"},
        {std::string(100000, 'Q') + "&lt;" + std::string(100, 'Q'),
         std::string(100000, 'Q') + "<" + std::string(100, 'Q')},
    };
    for (const auto& [text, plain] : rows) {
        // A heap block of exactly the text: a look past the end shows under AddressSanitizer.
        auto block = std::make_unique<char[]>(std::max<size_t>(text.size(), 1));
        std::copy(text.begin(), text.end(), block.get());
        EXPECT_EQ(CXmlDocument::UnescapeText(block.get(), static_cast<int>(text.size())), plain)
            << text.substr(0, 80);
    }
    EXPECT_EQ(CXmlDocument::UnescapeText("&amp;", 4), "&amp");
    EXPECT_EQ(CXmlDocument::UnescapeText("&#65;", 4), "&#65");
    EXPECT_EQ(CXmlDocument::UnescapeText("&quot;tail", -1), "\"tail");
    EXPECT_EQ(CXmlDocument::UnescapeText(nullptr, 3), "");
}
