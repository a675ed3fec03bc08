#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "codec/xml_document.h"
#include "xml_test_util.h"

TEST(XmlParse, RecordFieldsAndPackedTagLengths) {
    const CXmlDocument doc = Doc("<a><b>x</b></a>");
    ASSERT_EQ(doc.ElemCount(), 3);
    EXPECT_EQ(doc.Elem(0).nTagLengths, 0u);
    const ElemRecord& a = doc.Elem(1);
    EXPECT_EQ(a.nFlags, ElemRecord::kFirstChild);  // level 0, nothing else
    EXPECT_EQ(doc.StartTagLength(1), 3);
    EXPECT_EQ(doc.EndTagLength(1), 4);
    const ElemRecord& b = doc.Elem(2);
    EXPECT_EQ(b.nStart, 3);
    EXPECT_EQ(b.Level(), 1);
    EXPECT_EQ(b.nTagLengths, (4u << 22) | 3u);  // end tag in bits 22-31, start tag below
    const CXmlDocument null(nullptr, 5);
    EXPECT_EQ(null.GetError(), "Empty document");
    EXPECT_EQ(null.GetDoc(), "");
}

// Every error text with its values; a document without an error is well-formed. The records
// stay one consistent tree whatever the error.
TEST(XmlParse, ErrorTexts) {
    const std::pair<std::string, std::string> rows[] = {
        {"", "Empty document"},
        {"hello", "No root element"},
        {"<a/><b/>", "Root element has sibling"},
        {"<a><b>", "Root element has sibling"},  // children relinked: the document text wins
        {"<a>", "Element 'a' at offset 0 not ended"},
        {"  <ab x='1'>text", "Element 'ab' at offset 2 not ended"},
        {"<a b=1/>", "Element 'a' at offset 0 not ended"},  // "/" after an unquoted value
        {"<a><b></a>", "End tag 'a' at offset 7 does not match start tag 'b' at offset 3"},
        {"<r=1><a><b></r>", "End tag 'r' at offset 12 does not match start tag 'b' at offset 8"},
        {"<a></b></a>", "No start tag for end tag 'b' at offset 3"},
        {"<a/></x>", "No start tag for end tag 'x' at offset 4"},
        {"<a><1/></a>", "Incorrect tag name character at offset 3"},
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
        {"<a><!", "tag at offset 3 unterminated"},
        {"<a><!-", "tag at offset 3 unterminated"},
        {"<a><![", "tag at offset 3 unterminated"},
        {"<a><1 x='>", "tag at offset 3 unterminated"},  // replaces the "Incorrect" text
        // The first problem wins.
        {"<a><1/></b></a>", "Incorrect tag name character at offset 3"},
        {"<a></b><1/></a>", "No start tag for end tag 'b' at offset 3"},
        {"<r><a><b></r><!x>", "End tag 'r' at offset 10 does not match start tag 'b' at offset 6"},
        // Well-formed: markup outside the root, quoted ">", closing by name prefix.
        {"  lead <?xml version='1.0'?>\n<!-- c --><a>1</a> tail\n", ""},
        {"<?xml version=\"1.0\"?>\n<!DOCTYPE a [\n <!ENTITY e \"x>y\">\n <!-- <b/> > -->\n"
         " <!ELEMENT a ANY>\n]>\n<a/>",
         ""},
        {"<a x=\"'>\" y='\">'><b/></a>", ""},
        {"<a><!--></a>", ""},  // the "--" of the opening does not end it
        {"<a=1></a>", ""},
        {"<a[2]></a>", ""},
        {"<a\n></a >", ""},
        {"<a b=1/></a>", ""},
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

// Links and extents, also of elements relinked when an end tag closes an outer element or
// the text ends: children in document order, the first child naming the last.
TEST(XmlParse, LinksExtentsAndRelinking) {
    const struct {
        std::string text;
        std::vector<std::vector<int>> children;  // of record 0, 1, ... (their count: ElemCount)
        std::vector<int> lengths;                // nLength of record 0, 1, ...
        std::set<int> notEnded;
    } rows[] = {
        {"hello", {{}}, {5}, {}},
        {"<a><b>x</b></a>", {{1}, {2}, {}}, {15, 15, 8}, {}},
        {"<r><a/><b x='1'>t</b><c><d/></c></r>",
         {{1}, {2, 3, 4}, {}, {}, {5}, {}},
         {36, 36, 4, 14, 11, 4},
         {}},
        {"<a/><b/>", {{1, 2}, {}, {}}, {8, 4, 4}, {}},
        {"<a />", {{1}, {}}, {5, 5}, {}},
        {"<a b='1'/>", {{1}, {}}, {10, 10}, {}},
        {"<a x='>'/>", {{1}, {}}, {10, 10}, {}},
        {"<a b=1/>", {{1}, {}}, {8, 8}, {1}},
        {"<a b=1/></a>", {{1}, {}}, {12, 12}, {}},
        {"<a><b></a>", {{1}, {2}, {}}, {10, 10, 3}, {2}},
        {"<a><b>", {{1, 2}, {}, {}}, {6, 3, 3}, {1, 2}},
        {"<config><a>1</a>", {{1, 2}, {}, {}}, {16, 8, 8}, {1}},
        {"<r><a><b><c/><d/></r>",
         {{1}, {2, 3, 4, 5}, {}, {}, {}, {}},
         {21, 21, 3, 3, 4, 4},
         {2, 3}},
        {"<r><x/><a><y/><b><z/></r>",
         {{1}, {2, 3, 4, 5, 6}, {}, {}, {}, {}, {}},
         {25, 25, 4, 3, 4, 3, 4},
         {3, 5}},
        {"<r=1><a><b></r>", {{1}, {2, 3}, {}, {}}, {15, 15, 3, 3}, {2, 3}},
        // </x> leaves y, </p> leaves s and q; </u> matches nothing and t stays whole.
        {"<d><x><y></x><p><q><s></p><t></u></t></d>",
         {{1}, {2, 4, 7}, {3}, {}, {5, 6}, {}, {}, {}},
         {41, 41, 10, 3, 13, 3, 3, 11},
         {3, 5, 6}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const CXmlDocument doc = Doc(row.text);
        ASSERT_EQ(doc.ElemCount(), static_cast<int>(row.children.size()));
        for (int i = 0; i < doc.ElemCount(); ++i) {
            EXPECT_EQ(Children(doc, i), row.children[i]) << i;
            EXPECT_EQ(doc.Elem(i).nLength, row.lengths[i]) << i;
            EXPECT_EQ(doc.Elem(i).Has(ElemRecord::kNotEnded), row.notEnded.count(i) == 1) << i;
        }
        ExpectConsistentTree(doc);
    }
    // Levels keep their values from creation.
    EXPECT_EQ(Doc("<r><a><b><c/><d/></r>").Elem(4).Level(), 3);
}

TEST(XmlParse, ErrorFlags) {
    for (const char* text : {"<a><b></a>", "<a><b>", "<a/></x>"}) {
        EXPECT_TRUE(Doc(text).Elem(0).Has(ElemRecord::kIllFormed)) << text;
    }
    // Set on the innermost open element (record 0 outside all); an unended element hands it
    // on to its parent, one closed by its own end tag keeps it.
    const std::pair<std::string, std::set<int>> rows[] = {
        {"<a></b></a>", {1}},       {"<a/></x>", {0}},           {"<a>< b></a>", {1}},
        {"<r><a><1/></r>", {1, 2}}, {"<r><a><1/></a></r>", {2}}, {"<a><b/></a>", {}},
    };
    for (const auto& [text, flagged] : rows) {
        const CXmlDocument doc = Doc(text);
        for (int i = 0; i < doc.ElemCount(); ++i) {
            EXPECT_EQ(doc.Elem(i).Has(ElemRecord::kErrorInside), flagged.count(i) == 1)
                << text << " element " << i;
        }
    }
}
