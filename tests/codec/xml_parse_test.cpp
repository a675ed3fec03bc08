#include <gtest/gtest.h>

#include <string>

#include "codec/xml_document.h"
#include "xml_test_util.h"

namespace {

// Per record: its children, "/", its length, "!" when not ended, "e" with an error inside.
std::string Tree(const CXmlDocument& doc) {
    std::string out;
    for (int i = 0; i < doc.ElemCount(); ++i) {
        out += i ? " " : "";
        for (const int c : Children(doc, i)) {
            out += (out.back() == ' ' || out.empty() ? "" : ",") + std::to_string(c);
        }
        out += "/" + std::to_string(doc.Elem(i).nLength) +
               (doc.Elem(i).Has(ElemRecord::kNotEnded) ? "!" : "") +
               (doc.Elem(i).Has(ElemRecord::kErrorInside) ? "e" : "");
    }
    return out;
}

}  // namespace

// Every error text with its values; the records stay one consistent tree whatever the error.
TEST(XmlParse, ErrorTexts) {
    const std::pair<std::string, std::string> rows[] = {
        {"", "Empty document"},
        {"hello", "No root element"},
        {"<a/><b/>", "Root element has sibling"},
        {"<a><b>", "Root element has sibling"},  // children relinked: the document text wins
        {"  <ab x='1'>text", "Element 'ab' at offset 2 not ended"},
        {"<a><b></a>", "End tag 'a' at offset 7 does not match start tag 'b' at offset 3"},
        {"<a></b></a>", "No start tag for end tag 'b' at offset 3"},
        {"<a>< b></a>", "Incorrect tag name character at offset 3"},
        {"<a><!x></a>", "Incorrect ! tag at offset 3"},
        {"<a><!-x></a>", "Incorrect comment tag at offset 3"},
        {"<a><![x></a>", "Incorrect tag at offset 3"},
        {"<a><!-- x", "Comment at offset 3 unterminated"},
        {"<a><b x='1'", "Element tag at offset 3 unterminated"},
        {"<a></a", "Element end tag at offset 3 unterminated"},
        {"<a><![CDATA[x]]", "CDATA Section at offset 3 unterminated"},
        {"<a><?pi x", "Processing instruction at offset 3 unterminated"},
        {"<a><!DOCTYPE a [<!ENTITY e 'v'>]", "Doctype at offset 3 unterminated"},
        {"<a><!ENTITY e 'v>", "Doctype at offset 3 unterminated"},
        {"<a><", "tag at offset 3 unterminated"},
        {"<a><1 x='>", "tag at offset 3 unterminated"},  // replaces the "Incorrect" text
        // The first problem wins.
        {"<a><1/></b></a>", "Incorrect tag name character at offset 3"},
        {"<a></b><1/></a>", "No start tag for end tag 'b' at offset 3"},
        {"<r><a><b></r><!x>", "End tag 'r' at offset 10 does not match start tag 'b' at offset 6"},
        // Well-formed: markup outside the root, quoted ">", closing by name prefix.
        {"  lead <?xml version='1.0'?>\n<!-- c --><a>1</a> tail\n", ""},
        {"<!DOCTYPE a [\n <!ENTITY e \"x>y\">\n <!-- <b/> > -->\n <!ELEMENT a ANY>\n]>\n<a/>", ""},
        {"<a x=\"'>\" y='\">'><b/></a>", ""},
        {"<a><!--></a>", ""},  // the "--" of the opening ends it: "<!-->" is a whole comment
        {"<a=1></a><!-- -->", ""},
        {"<a[2]></a>", ""},
        {"<a\n></a >", ""},
        {std::string("<a/>\0<b/>", 9), ""},  // a NUL where a node begins ends the document
    };
    for (const auto& [text, error] : rows) {
        SCOPED_TRACE(text);
        const CXmlDocument doc = Doc(text);
        EXPECT_EQ(doc.GetError(), error);
        EXPECT_EQ(doc.IsWellFormed(), error.empty());
        ExpectConsistentTree(doc);
    }
    for (const char* mismatch : {"<ab></a>", "<a></ab>", "<A></a>"}) {
        EXPECT_FALSE(Doc(mismatch).IsWellFormed()) << mismatch;
    }
}

// Links, extents and error flags, also of elements relinked when an outer end tag or the text's
// end closes them (their children follow them as siblings).
TEST(XmlParse, LinksExtentsRelinkingAndErrorFlags) {
    const std::pair<std::string, std::string> rows[] = {
        {"hello", "/5"},
        {"<r><!-- > <y/> --><![CDATA[ > <y/> ]] > ]]><?pi > <y/> ?><b/></r>", "1/65 2/65 /4"},
        {"<r><a/><b x='1'>t</b><c><d/></c></r>", "1/36 2,3,4/36 /4 /14 5/11 /4"},
        {"<a /><b x='>'/>", "1,2/15 /5 /10"},
        {"<a b=1/>", "1/8 /8!"},
        {"<a b=1/></a>", "1/12 /12"},
        {"<a><b></a>", "1/10 2/10 /3!"},
        {"<a><b>", "1,2/6 /3! /3!"},
        {"<config><a>1</a>", "1,2/16 /8! /8"},
        {"<r><a><b><c/><d/></r>", "1/21 2,3,4,5/21 /3! /3! /4 /4"},
        {"<r><x/><a><y/><b><z/></r>", "1/25 2,3,4,5,6/25 /4 /3! /4 /3! /4"},
        {"<r=1><a><b></r>", "1/15 2,3/15 /3! /3!"},
        // </x> leaves y, </p> leaves s and q; </u> matches nothing and t stays whole.
        {"<d><x><y></x><p><q><s></p><t></u></t></d>", "1/41 2,4,7/41 3/10 /3! 5,6/13 /3! /3! /11e"},
        {"<a></b></a>", "1/11 /11e"},
        {"<a/></x>", "1/8e /4"},
        {"<r><a><1/></r>", "1/14 2/14e /3!e"},
        {"<r><a><1/></a></r>", "1/18 2/18 /11e"},
    };
    for (const auto& [text, tree] : rows) {
        SCOPED_TRACE(text);
        const CXmlDocument doc = Doc(text);
        EXPECT_EQ(Tree(doc), tree);
        ExpectConsistentTree(doc);
    }
    // Levels keep their values from creation.
    EXPECT_EQ(Doc("<r><a><b><c/><d/></r>").Elem(4).Level(), 3);
}
