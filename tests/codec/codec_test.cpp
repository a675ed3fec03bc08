// Base64 (the encoder, the decoding rules, every decoder path) and the XML document.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "codec/base64.h"
#include "codec/base64_paths.h"
#include "codec/xml_document.h"
#include "support/base64_reference.h"

namespace {

// Exact heap blocks in and out (ASan sees any stray access), every path against the plain steps.
::testing::AssertionResult SameOnEveryPath(const std::string& text) {
    const int len = static_cast<int>(text.size());
    auto src = std::make_unique<char[]>(std::max<size_t>(text.size(), 1));
    std::copy(text.begin(), text.end(), src.get());
    const std::string want = PlainBase64Decode(text);
    for (int path = -1; path <= static_cast<int>(Base64DecodePath::kAvx2); ++path) {
        const int size = Base64DecodedSize(len);
        auto dst = std::make_unique<unsigned char[]>(size);
        const int count = path < 0
                              ? Base64Decode(src.get(), len, dst.get())
                              : Base64DecodeOn(Base64DecodePath(path), src.get(), len, dst.get());
        if (count < 0 || count >= size || dst[count] != 0 ||
            std::string(reinterpret_cast<char*>(dst.get()), count) != want) {
            return ::testing::AssertionFailure() << "path " << path << ", length " << len;
        }
    }
    return ::testing::AssertionSuccess();
}

// `first` characters (default: a line), then lines of `line` after each `brk`, to `total` in all.
std::string Lines(std::mt19937& rng, size_t total, size_t line = 76,
                  const std::string& brk = "\r\n", size_t first = std::string::npos) {
    std::string text = CleanBase64(rng, std::min(first == std::string::npos ? line : first, total));
    for (size_t left = total - text.size(); left > 0; left -= std::min(left, line))
        text += brk + CleanBase64(rng, std::min(left, line));
    return text;
}

// Encodes into exactly EncodedSize bytes, so that a write past them shows under AddressSanitizer.
std::string Encode(const CBase64& codec, const std::string& src) {
    const int size = CBase64::EncodedSize(static_cast<int>(src.size()), codec.LineLength());
    auto dst = std::make_unique<char[]>(size);
    const int n = codec.Encode(reinterpret_cast<const unsigned char*>(src.data()),
                               static_cast<int>(src.size()), dst.get(), size);
    EXPECT_TRUE(n == size - 1 && dst[n] == '\0') << n << " of " << size;
    return std::string(dst.get(), n > 0 ? n : 0);
}

// The plain steps' bytes, once every path gave the same.
std::string Decode(const std::string& text) {
    EXPECT_TRUE(SameOnEveryPath(text));
    return PlainBase64Decode(text);
}

// Builds a document from a string (NUL bytes included).
inline CXmlDocument Doc(const std::string& text) {
    return CXmlDocument(text.data(), static_cast<int>(text.size()));
}

// text n times over.
inline std::string Repeat(const std::string& text, int n) {
    std::string out;
    for (int k = 0; k < n; ++k)
        out += text;
    return out;
}

// Children of element i in sibling order (i = 0: the top-level elements).
inline std::vector<int> Children(const CXmlDocument& doc, int i) {
    std::vector<int> out;
    for (int c = doc.Elem(i).iFirstChild; c != 0 && out.size() <= 10000000u;
         c = doc.Elem(c).iNext) {
        out.push_back(c);
    }
    return out;
}

// Every record in use, as bytes, so that two documents can be compared whole.
inline std::string Records(const CXmlDocument& doc) {
    std::string bytes;
    for (int i = 0; i < doc.ElemCount(); ++i)
        bytes.append(reinterpret_cast<const char*>(&doc.Elem(i)), sizeof(ElemRecord));
    return bytes;
}

// One tree over the text: each element reached once, links agree, extents between their tags.
inline void ExpectConsistentTree(const CXmlDocument& doc) {
    const std::string_view text = doc.GetDoc();
    std::vector<bool> seen(doc.ElemCount());
    std::vector<int> pending{0};
    while (!pending.empty()) {
        const int p = pending.back();
        pending.pop_back();
        const std::vector<int> kids = Children(doc, p);
        for (size_t k = 0; k < kids.size(); ++k) {
            const int c = kids[k];
            ASSERT_TRUE(c < doc.ElemCount() && !seen[c]) << "element " << c;
            seen[c] = true;
            const ElemRecord& r = doc.Elem(c);
            EXPECT_EQ(r.iParent, p) << c;
            EXPECT_EQ(r.Has(ElemRecord::kFirstChild), k == 0) << c;
            EXPECT_EQ(r.iPrev, k == 0 ? kids.back() : kids[k - 1]) << c;
            const int start = doc.StartTagLength(c), end = doc.EndTagLength(c);
            ASSERT_TRUE(r.nStart >= 0 && start >= 2 && start + end <= r.nLength &&
                        r.nStart + r.nLength <= static_cast<int>(text.size()))
                << c;
            EXPECT_TRUE(text[r.nStart] == '<' && text[r.nStart + start - 1] == '>') << c;
            EXPECT_EQ(text.substr(r.nStart + r.nLength - end, end ? 2 : 0), end ? "</" : "") << c;
            EXPECT_TRUE(end > 0 || r.nLength == start) << c;
            EXPECT_TRUE(!r.Has(ElemRecord::kNotEnded) || r.iFirstChild == 0) << c;
            pending.push_back(c);
        }
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), doc.ElemCount() - 1);
}

// Per record: its children, "/", its length, "!" when not ended, "e" with an error inside.
std::string Tree(const CXmlDocument& doc) {
    std::string out;
    for (int i = 0; i < doc.ElemCount(); ++i) {
        out += i ? " " : "";
        for (const int c : Children(doc, i))
            out += (out.back() == ' ' || out.empty() ? "" : ",") + std::to_string(c);
        out += "/" + std::to_string(doc.Elem(i).nLength) +
               (doc.Elem(i).Has(ElemRecord::kNotEnded) ? "!" : "") +
               (doc.Elem(i).Has(ElemRecord::kErrorInside) ? "e" : "");
    }
    return out;
}

// Unclosed elements and relinked children: records are rewritten after they were made.
const std::string kBroken = "<config><a><b x='1'>t</b><c><d/></config><e><f></e>";

// Steps: F<name> find (F: null, F~: ""), I into, O out, each +/-; @<n> position, =<text> data.
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

TEST(Base64Encode, Rfc4648VectorsBothWaysSizesAndRefusedArguments) {
    std::istringstream rows(
        "f:Zg== fo:Zm8= foo:Zm9v foob:Zm9vYg== fooba:Zm9vYmE= foobar:Zm9vYmFy "
        "admin:12345:YWRtaW46MTIzNDU= \xFB\xFF\xBF:+/+/ :");
    for (std::string row; rows >> row;) {
        const std::string plain = row.substr(0, row.rfind(':')),
                          text = row.substr(plain.size() + 1);
        EXPECT_EQ(Encode(CBase64(), plain) + "|" + CBase64().Encode(plain), text + "|" + text);
        EXPECT_EQ(Decode(text), plain);
    }
    EXPECT_EQ(CBase64::EncodedSize(-3), 1);
    EXPECT_EQ(CBase64::EncodedSize(2000000000), -1);  // would not fit an int
    char dst[8] = {'x', 'x'};
    const auto* src = reinterpret_cast<const unsigned char*>("abcdef");
    EXPECT_EQ(CBase64().Encode(nullptr, 5, dst, 4), 0);  // only the NUL
    EXPECT_EQ(std::string(dst, 2), std::string("\0x", 2));
    dst[0] = 'x';
    EXPECT_EQ(CBase64().Encode(src, 6, dst, 8), -1);  // needs 9: nothing but the NUL
    EXPECT_EQ(dst[0], '\0');
    EXPECT_EQ(CBase64().Encode(src, 3, nullptr, 8), -1);
}

TEST(Base64Encode, LineBreaks) {
    // A break after every lineLength characters, the first "=" counted, never the final pad.
    EXPECT_EQ(Encode(CBase64(4), "abcdef"), "YWJj\r\nZGVm\r\n");
    EXPECT_EQ(Encode(CBase64(3), "a"), "YQ=\r\n=");
    EXPECT_EQ(Encode(CBase64(7), "abcd"), "YWJjZA=\r\n=");
    std::mt19937 rng(7);
    for (int lineLength : {-1, 0, 1, 3, 4, 5, 7, 64, 76}) {
        for (size_t n : {0, 1, 2, 3, 4, 5, 6, 7, 8, 57, 58, 59, 3000}) {
            std::string src(n, '\0');
            for (char& c : src)
                c = static_cast<char>(rng());
            const std::string flat = CBase64().Encode(src);
            const size_t counted = flat.size() - (n % 3 ? 1 : 0);
            std::string want;
            for (size_t k = 0; k < flat.size(); ++k) {
                want += flat[k];
                want += k < counted && lineLength > 0 && (k + 1) % lineLength == 0 ? "\r\n" : "";
            }
            const std::string text = Encode(CBase64(lineLength), src);
            EXPECT_EQ(text, want) << lineLength << " " << n;
            if (lineLength % 4 == 0) {  // whole groups per line: the breaks decode away
                EXPECT_EQ(Decode(text), src) << lineLength << " " << n;
            }
        }
    }
}

TEST(Base64Decode, Rules) {
    const std::pair<std::string, std::string> rows[] = {
        {"QUJD\r\nREVG", "ABCDEF"},
        {"\r\n\nQUJD\n", "ABC"},
        {"QUI=", "AB"},
        {"QQ==", "A"},
        {"QU\r\nJD", std::string("\x41\x40\x00\x24", 4)},  // inside a group CR LF are data (0)
        {"/-_/", std::string("\xFC\x00\x3F", 3)},          // outside the alphabet: 0
        {"\xC3\xA9QQ", std::string("\x00\x04\x10", 3)},    // above 127: 0
        {"QQ==QUJD", "A"},   // nothing after the group that holds the pad is decoded
        {"QUI=\r\n", "AB"},  // MIME: a line break after the pad
        {"QQ==\n", "A"},
        {"=QUJD", "\x01\x05\x09"},  // a pad in the first place ends it too
        {"QUI", "AB"},              // cut short: read as padded, nothing past the end read
        {"QQ", "A"},
        {"Q", "\x40"},
        {"QUJDRA", "ABCD"},
        {"QUJD\r", "ABC"},
        {"QUJD\r\nR", "ABC\x44"},
        {"", ""}};
    for (const auto& [text, bytes] : rows)
        EXPECT_EQ(Decode(text), bytes) << text;
    unsigned char dst[4] = {0xAA};
    EXPECT_TRUE(Base64Decode(nullptr, 4, dst) == 0 && dst[0] == 0);
    EXPECT_EQ(Base64Decode("QUJD", 4, nullptr), 0);
    EXPECT_TRUE(Base64DecodedSize(-1) == 1 && Base64DecodedSize(2147483647) > 1600000000);
}

TEST(Base64Paths, EveryByteValueAndRandomTexts) {
    EXPECT_TRUE(Base64DecodePathSupported(Base64DecodePath::kPortable));
    std::mt19937 rng(2);
    const std::string base = CleanBase64(rng, 160);
    for (int value = 0; value < 256; ++value) {
        for (size_t pos = 0; pos < 72; ++pos) {
            std::string text = base;
            text[pos] = static_cast<char>(value);
            EXPECT_TRUE(SameOnEveryPath(text));
        }
    }
    // Mostly clean, so that the fast runs get going between the odd bytes.
    for (int round = 0; round < 1000; ++round) {
        std::string text = CleanBase64(rng, rng() % 400);
        for (char& c : text)
            c = rng() % 8 == 0 ? "=\r\n=\r\nAB+/-_ .\xff\x80"[rng() % 16] : c;
        EXPECT_TRUE(SameOnEveryPath(text)) << text;
    }
}

TEST(Base64Paths, LinedTextsOfManyShapesAndEveryCutPointOfSome) {
    std::mt19937 rng(5);
    for (const size_t line : {4u, 32u, 36u, 64u, 75u, 76u, 77u, 252u, 1000u}) {
        for (const std::string brk : {"\r\n", "\n", "\r", "\n\r", "\r\n\r\n"})
            EXPECT_TRUE(SameOnEveryPath(Lines(rng, 20000 + rng() % 300, line, brk)));
    }
    // Lines of 76 and CR LF, the pictures' shape: every first-line length, with and without a pad.
    for (size_t first = 0; first <= 80; ++first) {
        const std::string text = Lines(rng, 6000 + first * 13, 76, "\r\n", first);
        EXPECT_TRUE(SameOnEveryPath(text)) << first;
        EXPECT_TRUE(SameOnEveryPath(text + "QQ==")) << first;
    }
    // The shape broken at any byte or break, over two periods of 8 lines, and in shorter lines.
    const std::pair<std::string, size_t> texts[] = {{Lines(rng, 12000, 76, "\r\n", 40), 16 * 78},
                                                    {Lines(rng, 12000, 36, "\r\n", 20), 2 * 38}};
    for (const auto& [text, span] : texts) {
        for (size_t at = 5000; at < 5000 + span; ++at) {
            for (const char odd : {'=', '\n', '\r', '\xff'}) {
                std::string changed = text;
                changed[at] = odd;
                EXPECT_TRUE(SameOnEveryPath(changed)) << at << " " << int{odd};
            }
        }
        for (size_t line = 0; line < 9; ++line) {
            for (const char* other : {"\n\r", "", "\r\n\r\n", "\n", "QQ"}) {
                std::string changed = text;
                changed.replace(text.find("\r\n", 5000 + line * 78), 2, other);
                EXPECT_TRUE(SameOnEveryPath(changed)) << line << " '" << other << "'";
            }
        }
    }
    std::mt19937 cuts(4);
    for (const std::string& text :
         {CleanBase64(cuts, 300), Lines(cuts, 300), Lines(cuts, 300, 32) + "QUI=",
          Lines(cuts, 300, 40, "\n") + "QQ==" + CleanBase64(cuts, 40),
          Lines(cuts, 300, 36, "\r\n\r\n"),
          Lines(cuts, 300, 75)})  // breaks inside groups: there they are data
        for (size_t cut = 0; cut <= text.size(); ++cut)
            EXPECT_TRUE(SameOnEveryPath(text.substr(0, cut))) << cut;
}

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
    for (const char* mismatch : {"<ab></a>", "<a></ab>", "<A></a>"})
        EXPECT_FALSE(Doc(mismatch).IsWellFormed()) << mismatch;
}

// Links, extents and error flags, also of elements relinked when an outer end tag closes them.
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

TEST(XmlLimits, TagsLongerThanThePackedWord) {
    const std::string startTag = "<a x='" + std::string(5 << 20, 'v') + "' y='2'>";
    const std::string endTag = "</a" + std::string(3000, ' ') + ">";
    CXmlDocument doc = Doc("<r>" + startTag + "data" + endTag + "<b/></r>");
    EXPECT_TRUE(doc.IsWellFormed()) << doc.GetError();
    EXPECT_EQ(std::tuple(doc.StartTagLength(2), doc.EndTagLength(2), doc.Elem(2).nLength),
              std::tuple(int(startTag.size()), int(endTag.size()),
                         int(startTag.size() + 4 + endTag.size())));
    ASSERT_TRUE(doc.FindElem("r") && doc.IntoElem() && doc.FindElem("a"));
    EXPECT_EQ(doc.GetData() + "|" + doc.GetAttrib("y"), "data|2");
    EXPECT_TRUE(doc.FindElem("b"));
    // Just below the limits the packed word holds the lengths itself.
    const std::string nearStart = "<a x='" + std::string(ElemRecord::kStartTagMax - 9, 'v') + "'>";
    const std::string nearEnd = "</a" + std::string(ElemRecord::kEndTagMax - 5, ' ') + ">";
    const CXmlDocument near = Doc(nearStart + nearEnd);
    EXPECT_EQ(near.Elem(1).PackedStartTagLength(), nearStart.size());
    EXPECT_EQ(near.Elem(1).PackedEndTagLength(), nearEnd.size());
}

// A million records: far beyond the first size estimate, they grow over many segments.
TEST(XmlLimits, DeepNesting) {
    const int depth = 1000000;
    const std::string text = Repeat("<a>", depth) + Repeat("</a>", depth);
    CXmlDocument doc = Doc(text);
    EXPECT_TRUE(doc.IsWellFormed());
    ASSERT_EQ(doc.ElemCount(), depth + 1);
    ExpectConsistentTree(doc);
    EXPECT_EQ(doc.Elem(100).Level(), 99);
    EXPECT_EQ(doc.Elem(depth).Level(), 65535);  // saturated
    for (int k = 0; k < depth; ++k)
        ASSERT_TRUE(doc.FindElem("a") && doc.IntoElem()) << k;
    EXPECT_FALSE(doc.FindElem());
    // One end tag closing many levels at once relinks them all.
    const CXmlDocument mismatch = Doc("<r>" + Repeat("<a><b/>", 300000) + "</r>");
    EXPECT_EQ(Children(mismatch, 1).size(), 600000u);
    ExpectConsistentTree(mismatch);
    // Stray end tags below many open levels must not each cost a walk over all of them.
    const std::string stray =
        "<w>" + Repeat("<a>", 200000) + Repeat("</b>", 200000) + Repeat("</a[1]>", 200000) + "</w>";
    const CXmlDocument strayDoc = Doc(stray);
    EXPECT_EQ(strayDoc.GetError(), "No start tag for end tag 'b' at offset 600003");
    // "a[1]" names no open element ("a" is the shorter name): all stay open until </w>.
    EXPECT_TRUE(strayDoc.Elem(2).Has(ElemRecord::kNotEnded));
    EXPECT_EQ(strayDoc.Elem(1).nLength, static_cast<int>(stray.size()));
    EXPECT_EQ(Children(strayDoc, 1).size(), 200000u);
}

// Every prefix of an event, borrowed from an exact heap block: one tree and a walk that ends.
TEST(XmlLimits, EveryCutOfADocumentKeepsTheTreeConsistent) {
    const std::string event =
        "<?xml version='1.0'?><!DOCTYPE r [<!ENTITY e \"v>\"><!-- c -->]>\n<config version=\"1.7\">"
        "<smartType type=\"openAlramObj\">VFD_MATCH</smartType><listInfo count='2'><item><data>"
        "<![CDATA[QUJD]]></data></item><item><data>REVG&#x41;</data><empty/></item></listInfo>"
        "<x b='>'/>t&amp;<!-- note --></q><1/><!x><![x>< /r></config>\n";
    for (size_t n = 0; n < event.size(); ++n) {
        SCOPED_TRACE(n);
        auto block = std::make_unique<char[]>(std::max<size_t>(n, 1));
        std::copy(event.begin(), event.begin() + n, block.get());
        CXmlDocument doc = CXmlDocument::Borrowing(std::string_view(block.get(), n));
        ExpectConsistentTree(doc);
        for (int steps = 0;; ++steps) {
            ASSERT_LT(steps, 10000);
            if (doc.FindElem()) {
                doc.GetData();
                doc.GetAttrib("type");
                doc.IntoElem();
            } else if (!doc.OutOfElem()) {
                break;
            }
        }
    }
}

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

TEST(XmlAttrib, ValuesAndNamesAndReferencesUnescaped) {
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
    const std::pair<std::string, std::string> references[] = {
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
    for (const auto& [text, plain] : references) {
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

// In-place parsing against copying, and element blocks handed from one document to the next.
TEST(XmlBorrowing, BothFormsGiveTheSameDocumentAndReusedBlocksChangeNothing) {
    const std::string longName(1500, 'n');  // end tag too long for the packed word
    const std::string texts[] = {
        kBroken,
        std::string("<a><b>x\0y</b>\0<c/></a>", 22),
        "<a><" + longName + ">z</" + longName + "></a>",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.substr(0, 80));
        CXmlDocument copy = Doc(text), borrowed = CXmlDocument::Borrowing(text);
        EXPECT_TRUE(!copy.BorrowsText() && borrowed.BorrowsText() && copy.GetDoc() == text);
        EXPECT_EQ(borrowed.GetDoc().data(), text.data());  // no copy made
        EXPECT_EQ(Records(copy) + copy.GetError(), Records(borrowed) + borrowed.GetError());
    }
    // A view that ends inside a longer buffer: what follows is never part of the document.
    const std::string buffer = "<a><b>in</b></a><c>after</c>";
    CXmlDocument doc = CXmlDocument::Borrowing(std::string_view(buffer).substr(0, 16));
    EXPECT_TRUE(doc.IsWellFormed()) << doc.GetError();
    EXPECT_TRUE(doc.FindElem("a") && !doc.FindElem("c"));
    EXPECT_EQ(CXmlDocument::Borrowing({}).GetError(), "Empty document");
    // SetDoc on a borrowing document takes a copy: the caller's bytes may change after.
    std::string replacement = "<r>own</r>";
    doc.SetDoc(replacement.data(), static_cast<int>(replacement.size()));
    replacement.assign(replacement.size(), 'X');
    EXPECT_TRUE(!doc.BorrowsText() && doc.FindElem("r") && doc.GetData() == "own");
    // Per-thread element blocks handed to the next document never change what a document holds.
    auto large = [](int elements) { return Doc("<r>" + Repeat("<e a='1'><f/></e>", elements)); };
    std::string fresh;
    {
        const CXmlDocument holding = large(40000);  // two segments: the kept blocks
        fresh = Records(Doc(kBroken));              // gets blocks of its own
    }
    std::vector<CXmlDocument> made;
    std::thread([&] {
        for (int k = 0; k < 3; ++k)
            made.push_back(large(20000 + k * 10000));
    }).join();
    for (int round = 0; round < 3; ++round) {
        made.pop_back();  // its blocks go to this thread's store
        const CXmlDocument again = Doc(kBroken);
        EXPECT_EQ(Records(again), fresh);
        ExpectConsistentTree(again);
    }
}
