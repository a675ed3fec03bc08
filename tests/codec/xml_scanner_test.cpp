#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "codec/xml_document.h"

namespace {

struct Scanned {
    int type;
    int length;
    std::string message;
};

// Scans every node of text from offset 0, the text held in a heap block of exactly its
// length, so that a read past the end is caught by AddressSanitizer.
std::vector<Scanned> ScanAll(const std::string& text, int from = 0) {
    std::unique_ptr<char[]> block(new char[text.size() ? text.size() : 1]);
    std::copy(text.begin(), text.end(), block.get());
    CXmlDocument::Token token;
    token.pText = block.get();
    token.nEnd = static_cast<int>(text.size());
    token.nNext = from;
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
        out.push_back({type, node.nLength, node.strName});
        if (node.nLength <= 0)
            break;
    }
    ADD_FAILURE() << "scanner did not reach the end";
    return out;
}

std::vector<int> Types(const std::string& text) {
    std::vector<int> types;
    for (const Scanned& s : ScanAll(text))
        types.push_back(s.type);
    return types;
}

}  // namespace

TEST(XmlScanner, NodeTypes) {
    using D = CXmlDocument;
    EXPECT_EQ(Types("abc"), (std::vector<int>{D::kNodeText}));
    EXPECT_EQ(Types(" \t\r\n"), (std::vector<int>{D::kNodeWhitespace}));
    EXPECT_EQ(Types(" \n<a>"), (std::vector<int>{D::kNodeWhitespace, D::kNodeElement}));
    EXPECT_EQ(Types("  x <a>"), (std::vector<int>{D::kNodeText, D::kNodeElement}));
    EXPECT_EQ(Types("</a>"), (std::vector<int>{D::kNodeEndTag}));
    EXPECT_EQ(Types("<!-- a -- b -->"), (std::vector<int>{D::kNodeComment}));
    EXPECT_EQ(Types("<![CDATA[ <x> ]] > ]]>"), (std::vector<int>{D::kNodeCData}));
    EXPECT_EQ(Types("<?pi a > b?>"), (std::vector<int>{D::kNodeProcessingInstruction}));
    EXPECT_EQ(Types("<!DOCTYPE a [<!ENTITY b 'c>'><!-- > -->]>"),
              (std::vector<int>{D::kNodeDocType}));
    EXPECT_EQ(Types("<!ELEMENT a ANY><!ATTLIST a b CDATA '>'><!NOTATION n SYSTEM 'x'>"),
              (std::vector<int>{D::kNodeDocType, D::kNodeDocType, D::kNodeDocType}));
    // Inside a declaration "<![" and "<!D" start nothing: the inner "<!DOCTYPE b [" is
    // stepped over up to the next "<", and the first ">" after the entity ends the whole.
    EXPECT_EQ(Types("<!DOCTYPE a [<!DOCTYPE b [<!ENTITY c '>'>]>]><a/>"),
              (std::vector<int>{D::kNodeDocType, D::kNodeText, D::kNodeElement}));
    EXPECT_EQ(Types("<!DOCTYPE a [<![CDATA[>]]>]>"),
              (std::vector<int>{D::kNodeDocType, D::kNodeText}));
}

TEST(XmlScanner, TextEndsAfterAGreaterThan) {
    const std::vector<Scanned> nodes = ScanAll("a>b<c/>");
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0].type, CXmlDocument::kNodeText);
    EXPECT_EQ(nodes[0].length, 2);
    EXPECT_EQ(nodes[1].length, 1);
    EXPECT_EQ(nodes[2].type, CXmlDocument::kNodeElement);
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
    auto flags = [](const std::string& text) {
        CXmlDocument::Token token;
        token.pText = text.data();
        token.nEnd = static_cast<int>(text.size());
        CXmlDocument::NodeRecord node;
        EXPECT_EQ(CXmlDocument::ParseNode(token, node), CXmlDocument::kNodeElement) << text;
        EXPECT_EQ(node.nLength, static_cast<int>(text.size())) << text;
        return (node.nFlags & CXmlDocument::NodeRecord::kSelfClosing) != 0;
    };
    EXPECT_TRUE(flags("<a/>"));
    EXPECT_TRUE(flags("<a />"));
    EXPECT_TRUE(flags("<a\n/>"));
    EXPECT_TRUE(flags("<a b='1'/>"));
    EXPECT_TRUE(flags("<a b=\"1\"/>"));
    EXPECT_TRUE(flags("<a x='>'/>"));
    EXPECT_FALSE(flags("<a b=1/>"));
    EXPECT_FALSE(flags("<a b/>"));
    EXPECT_FALSE(flags("<a>"));
    EXPECT_FALSE(flags("<a b='/>'>"));
}

TEST(XmlScanner, TerminatorLookBackMayOverlapTheOpening) {
    EXPECT_EQ(Types("<!-->"), (std::vector<int>{CXmlDocument::kNodeComment}));
    // "<?>" ends itself except at the very start of the text.
    EXPECT_EQ(Types(" <?>"), (std::vector<int>{CXmlDocument::kNodeWhitespace,
                                               CXmlDocument::kNodeProcessingInstruction}));
    const std::vector<Scanned> first = ScanAll("<?>");
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].type, CXmlDocument::kNodeError);
    EXPECT_EQ(first[0].message, "Processing instruction at offset 0 unterminated");
}

TEST(XmlScanner, ErrorNodesEndAtGreaterThanOrBeforeLessThan) {
    const std::vector<Scanned> nodes = ScanAll("<1 '>' x><a/><! y <b/>");
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(nodes[0].type, CXmlDocument::kNodeError);
    EXPECT_EQ(nodes[0].length, 9);
    EXPECT_EQ(nodes[0].message, "Incorrect tag name character at offset 0");
    EXPECT_EQ(nodes[2].type, CXmlDocument::kNodeError);
    EXPECT_EQ(nodes[2].length, 5);
    EXPECT_EQ(nodes[2].message, "Incorrect ! tag at offset 13");
    EXPECT_EQ(nodes[3].type, CXmlDocument::kNodeElement);
}

TEST(XmlScanner, NulWhereANodeBeginsEndsTheDocument) {
    const std::string text("<a>x\0y</a>\0<b/>", 15);
    const std::vector<Scanned> nodes = ScanAll(text);
    ASSERT_EQ(nodes.size(), 3u);  // <a>, the text with its NUL, </a>
    EXPECT_EQ(nodes[1].length, 3);
    EXPECT_EQ(nodes[2].type, CXmlDocument::kNodeEndTag);
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
