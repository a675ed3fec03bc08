#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "codec/xml_document.h"

namespace {

struct Scanned {
    int type;
    int length;
    std::string message = {};
    bool selfClosing = false;
};

// Scans every node of text from offset 0, the text held in a heap block of exactly its
// length, so that a read past the end is caught by AddressSanitizer.
std::vector<Scanned> ScanAll(const std::string& text) {
    std::unique_ptr<char[]> block(new char[text.size() ? text.size() : 1]);
    std::copy(text.begin(), text.end(), block.get());
    CXmlDocument::Token token;
    token.pText = block.get();
    token.nEnd = static_cast<int>(text.size());
    CXmlDocument::NodeRecord node;
    std::vector<Scanned> out;
    for (int guard = 0; guard <= static_cast<int>(text.size()); ++guard) {
        const int start = token.nNext;
        const int type = CXmlDocument::ParseNode(token, node);
        if (type == CXmlDocument::kNodeEndOfDoc) {
            EXPECT_EQ(node.nLength, 0);
            EXPECT_EQ(token.nNext, start);
            return out;
        }
        EXPECT_EQ(node.nStart, start);
        EXPECT_GT(node.nLength, 0) << "no progress at " << start;
        EXPECT_EQ(token.nNext, start + node.nLength);
        EXPECT_LE(token.nNext, static_cast<int>(text.size()));
        out.push_back({type, node.nLength, node.strName,
                       (node.nFlags & CXmlDocument::NodeRecord::kSelfClosing) != 0});
        if (node.nLength <= 0)
            break;
    }
    ADD_FAILURE() << "scanner did not reach the end";
    return out;
}

}  // namespace

TEST(XmlScanner, NodeTypesLengthsAndMessages) {
    using D = CXmlDocument;
    const int T = D::kNodeText, W = D::kNodeWhitespace, E = D::kNodeElement, X = D::kNodeError,
              P = D::kNodeProcessingInstruction, Y = D::kNodeDocType;
    const std::pair<std::string, std::vector<Scanned>> rows[] = {
        {" \t\r\n<a>", {{W, 4}, {E, 3}}},
        {"  x <a>", {{T, 4}, {E, 3}}},
        {"a>b<c/>", {{T, 2}, {T, 1}, {E, 4}}},  // text ends after a ">"
        {"</a>", {{D::kNodeEndTag, 4}}},
        {"<!-- a -- b -->", {{D::kNodeComment, 15}}},
        {"<!-->", {{D::kNodeComment, 5}}},
        {"<![CDATA[ <x> ]] > ]]>", {{D::kNodeCData, 22}}},
        {"<?pi a > b?>", {{P, 12}}},
        // "<?>" ends itself, except at the very start of the text.
        {" <?>", {{W, 1}, {P, 3}}},
        {"<?>", {{X, 3, "Processing instruction at offset 0 unterminated"}}},
        {"<!DOCTYPE a [<!ENTITY b 'c>'><!-- > -->]>", {{Y, 41}}},
        {"<!ELEMENT a ANY><!ATTLIST a b CDATA '>'><!NOTATION n SYSTEM 'x'>",
         {{Y, 16}, {Y, 24}, {Y, 24}}},
        // Inside a declaration "<![" and "<!D" start nothing: the first ">" after the entity
        // ends the whole.
        {"<!DOCTYPE a [<!DOCTYPE b [<!ENTITY c '>'>]>]><a/>", {{Y, 43}, {T, 2}, {E, 4}}},
        {"<!DOCTYPE a [<![CDATA[>]]>]>", {{Y, 26}, {T, 2}}},
        // Error nodes end at ">" or before "<".
        {"<1 '>' x><a/><! y <b/>",
         {{X, 9, "Incorrect tag name character at offset 0"},
          {E, 4},
          {X, 5, "Incorrect ! tag at offset 13"},
          {E, 4}}},
        // A NUL where a node begins ends the document; inside text it is text.
        {std::string("<a>x\0y</a>\0<b/>", 15), {{E, 3}, {T, 3}, {D::kNodeEndTag, 4}}},
    };
    for (const auto& [text, want] : rows) {
        SCOPED_TRACE(text);
        const std::vector<Scanned> got = ScanAll(text);
        ASSERT_EQ(got.size(), want.size());
        for (size_t k = 0; k < got.size(); ++k) {
            EXPECT_EQ(got[k].type, want[k].type) << k;
            EXPECT_EQ(got[k].length, want[k].length) << k;
            EXPECT_EQ(got[k].message, want[k].message) << k;
        }
    }
}

TEST(XmlScanner, NamesOfStartAndEndTags) {
    const std::string text = "<ab:c x='1'>..</ab:c >";
    CXmlDocument::Token token;
    token.pText = text.data();
    token.nEnd = static_cast<int>(text.size());
    CXmlDocument::NodeRecord node;
    ASSERT_EQ(CXmlDocument::ParseNode(token, node), CXmlDocument::kNodeElement);
    EXPECT_EQ(node.nNameStart, 1);
    EXPECT_EQ(node.nNameLength, 4);
    EXPECT_EQ(node.nFlags, 0);
    ASSERT_EQ(CXmlDocument::ParseNode(token, node), CXmlDocument::kNodeText);
    ASSERT_EQ(CXmlDocument::ParseNode(token, node), CXmlDocument::kNodeEndTag);
    EXPECT_EQ(token.nFirst, 16);
    EXPECT_EQ(token.nLast, 19);
    EXPECT_EQ(node.nLength, 8);
}

TEST(XmlScanner, SelfClosingFlag) {
    // Set when "/" follows the name, space or a quote.
    for (const auto& [text, closes] :
         std::initializer_list<std::pair<std::string, bool>>{{"<a/>", true},
                                                             {"<a />", true},
                                                             {"<a\n/>", true},
                                                             {"<a b='1'/>", true},
                                                             {"<a b=\"1\"/>", true},
                                                             {"<a x='>'/>", true},
                                                             {"<a b=1/>", false},
                                                             {"<a b/>", false},
                                                             {"<a>", false},
                                                             {"<a b='/>'>", false}}) {
        const std::vector<Scanned> nodes = ScanAll(text);
        ASSERT_EQ(nodes.size(), 1u) << text;
        EXPECT_EQ(nodes[0].type, CXmlDocument::kNodeElement) << text;
        EXPECT_EQ(nodes[0].selfClosing, closes) << text;
    }
}

TEST(XmlScanner, EveryCutOfEveryNodeKindStaysInsideTheText) {
    const std::string text =
        "<?xml version='1.0'?><!DOCTYPE r [<!ENTITY e \"v>\"><!-- c -->]>"
        "<r a=\"1\" b='>'><x/>t&amp;<![CDATA[<y>]]><!-- note --></q><1/><!x><![x>< /r></r>";
    for (size_t n = 0; n <= text.size(); ++n) {
        const std::string cut = text.substr(0, n);
        const std::vector<Scanned> nodes = ScanAll(cut);
        int total = 0;
        for (const Scanned& s : nodes)
            total += s.length;
        EXPECT_EQ(total, static_cast<int>(n)) << n;
        // Only the last node can be an unterminated one.
        for (size_t k = 0; k + 1 < nodes.size(); ++k) {
            EXPECT_EQ(nodes[k].message.find("unterminated"), std::string::npos) << n << " " << k;
        }
    }
}
