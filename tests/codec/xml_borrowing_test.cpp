// A document that parses the caller's bytes in place against one that keeps a copy: records,
// errors and every navigation result must be the same; the borrowed bytes are never copied.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codec/xml_document.h"
#include "xml_test_util.h"

namespace {

// Documents of every shape the parser tells apart.
std::vector<std::string> Documents() {
    const std::string longName(1500, 'n');  // end tag too long for the packed word
    return {
        "",
        "   ",
        "<config version=\"1.7\"><smartType>VFD_MATCH</smartType><listInfo count=\" 2\">"
        "<item><a x='1' y=\"&lt;2&gt;\">t&amp;u</a></item><item/><item>x</item></listInfo>"
        "</config>",
        "<?xml version=\"1.0\"?>\n<!DOCTYPE c [<!ELEMENT c ANY>]>\n<!-- note -->\n"
        "<c a=b flag><d><![CDATA[<raw> & ]]></d><e>one<!--x-->two</e><f>&#65;&#x42;</f></c>",
        "<a><b><c>text</a><d/>",                      // b and c not ended
        "<a><b></c></b></a>",                         // an end tag without a start tag
        "<a>x</a><b>y</b>",                           // a sibling of the root
        "<a><b>open",                                 // the text ends inside
        "<a>\n\t<b>\tspaced\t</b>\n</a>",             // white space kept in data
        std::string("<a><b>x\0y</b>\0<c/></a>", 22),  // NUL bytes
        "<a><" + longName + ">z</" + longName + "></a>",
        "<a><1bad/><b attr=\"unterminated></a>",
        "<a><b>" + std::string(5000, 'Q') + "</b></a>",
    };
}

// Every record, error and tag length of the two documents agree.
void ExpectSameRecords(const CXmlDocument& copy, const CXmlDocument& borrowed) {
    EXPECT_EQ(copy.GetError(), borrowed.GetError());
    EXPECT_EQ(copy.IsWellFormed(), borrowed.IsWellFormed());
    ASSERT_EQ(copy.ElemCount(), borrowed.ElemCount());
    for (int i = 0; i < copy.ElemCount(); ++i) {
        SCOPED_TRACE("element " + std::to_string(i));
        const ElemRecord& a = copy.Elem(i);
        const ElemRecord& b = borrowed.Elem(i);
        EXPECT_EQ(a.nStart, b.nStart);
        EXPECT_EQ(a.nLength, b.nLength);
        EXPECT_EQ(a.nTagLengths, b.nTagLengths);
        EXPECT_EQ(a.nFlags, b.nFlags);
        EXPECT_EQ(a.iParent, b.iParent);
        EXPECT_EQ(a.iFirstChild, b.iFirstChild);
        EXPECT_EQ(a.iNext, b.iNext);
        EXPECT_EQ(a.iPrev, b.iPrev);
        EXPECT_EQ(copy.StartTagLength(i), borrowed.StartTagLength(i));
        EXPECT_EQ(copy.EndTagLength(i), borrowed.EndTagLength(i));
    }
}

// Visits every element depth first, writing down each step's result, position, data and the
// attributes asked for.
std::vector<std::string> WalkAll(CXmlDocument& doc) {
    std::vector<std::string> seen;
    auto note = [&](const char* step, bool result) {
        seen.push_back(std::string(step) + (result ? "+" : "-") + " " +
                       std::to_string(doc.ParentPos()) + "/" + std::to_string(doc.CurrentPos()) +
                       "/" + std::to_string(doc.ChildPos()) + " [" + doc.GetData() + "] [" +
                       doc.GetAttrib("a") + "] [" + doc.GetAttrib("y") + "] [" +
                       doc.GetAttrib("count") + "]");
    };
    int depth = 0;
    for (int steps = 0; steps < 200; ++steps) {
        if (doc.FindElem()) {
            note("find", true);
            note("into", doc.IntoElem());
            ++depth;
        } else if (depth > 0) {
            note("out", doc.OutOfElem());
            --depth;
        } else {
            note("end", false);
            break;
        }
    }
    // Named searches from the top again.
    while (doc.OutOfElem()) {
    }
    for (const char* name : {"config", "c", "a", "item", "b", "", "missing"}) {
        note(name, doc.FindElem(name));
        note("in", doc.IntoElem());
        note("item", doc.FindElem("item"));
        note("out", doc.OutOfElem());
    }
    return seen;
}

TEST(XmlBorrowing, BothFormsGiveTheSameDocument) {
    for (const std::string& text : Documents()) {
        SCOPED_TRACE(text.substr(0, 80));
        CXmlDocument copy = Doc(text);
        CXmlDocument borrowed = CXmlDocument::Borrowing(text);
        EXPECT_FALSE(copy.BorrowsText());
        EXPECT_TRUE(borrowed.BorrowsText());
        EXPECT_EQ(copy.GetDoc(), text);
        EXPECT_EQ(borrowed.GetDoc(), text);
        if (!text.empty()) {
            EXPECT_NE(copy.GetDoc().data(), text.data());
            EXPECT_EQ(borrowed.GetDoc().data(), text.data());  // no copy made
        }
        ExpectSameRecords(copy, borrowed);
        ExpectConsistentTree(borrowed);
        EXPECT_EQ(WalkAll(copy), WalkAll(borrowed));
    }
}

TEST(XmlBorrowing, ReadsOnlyTheBytesViewed) {
    // The view ends inside a longer buffer: what follows is never part of the document.
    const std::string buffer = "<a><b>in</b></a><c>after</c>";
    CXmlDocument doc = CXmlDocument::Borrowing(std::string_view(buffer).substr(0, 16));
    EXPECT_TRUE(doc.IsWellFormed()) << doc.GetError();
    EXPECT_EQ(doc.ElemCount(), 3);
    EXPECT_TRUE(doc.FindElem("a"));
    EXPECT_FALSE(doc.FindElem("c"));

    // Cut inside an element: not ended, exactly as the copy of the same bytes.
    const std::string_view cut = std::string_view(buffer).substr(0, 10);
    CXmlDocument part = CXmlDocument::Borrowing(cut);
    CXmlDocument copy(cut.data(), static_cast<int>(cut.size()));
    ExpectSameRecords(copy, part);
    EXPECT_FALSE(part.IsWellFormed());

    CXmlDocument empty = CXmlDocument::Borrowing(std::string_view());
    EXPECT_EQ(empty.GetError(), "Empty document");
    EXPECT_FALSE(empty.FindElem());
    std::string_view data = "x";
    EXPECT_TRUE(empty.GetDataView(data));
    EXPECT_TRUE(data.empty());
}

TEST(XmlBorrowing, MovesKeepTheTextAndSetDocCopies) {
    // A short text lies inside the string itself: after a move the copy must be found in its
    // new place.
    CXmlDocument source = Doc("<a><b>short</b></a>");
    CXmlDocument moved = std::move(source);
    EXPECT_TRUE(moved.FindElem() && moved.IntoElem() && moved.FindElem("b"));
    EXPECT_EQ(moved.GetData(), "short");
    EXPECT_EQ(source.GetDoc(), "");
    EXPECT_FALSE(source.FindElem());
    EXPECT_FALSE(source.BorrowsText());

    std::string text = "<a><b>kept</b></a>";
    CXmlDocument borrowed = CXmlDocument::Borrowing(text);
    CXmlDocument target = Doc("<x/>");
    target = std::move(borrowed);
    EXPECT_TRUE(target.BorrowsText());
    EXPECT_EQ(target.GetDoc().data(), text.data());
    EXPECT_TRUE(target.FindElem() && target.IntoElem() && target.FindElem("b"));
    EXPECT_EQ(target.GetData(), "kept");

    // SetDoc takes a copy: the caller's bytes may change afterwards.
    std::string replacement = "<r>own</r>";
    target.SetDoc(replacement.data(), static_cast<int>(replacement.size()));
    EXPECT_FALSE(target.BorrowsText());
    replacement.assign(replacement.size(), 'X');
    text.assign(text.size(), 'X');
    EXPECT_TRUE(target.FindElem("r"));
    EXPECT_EQ(target.GetData(), "own");
}

TEST(XmlBorrowing, DataViewOnlyForTextThatNeedsNoDecoding) {
    // Long contents: whole blocks of 64 bytes, a reference or markup after the first blocks.
    const std::string run(300, 'Q');
    const std::string text =
        "<a><plain>QUJD+/=</plain><ref>a&amp;b</ref><cdata><![CDATA[x]]></cdata>"
        "<comment>a<!--c-->b</comment><kids><k/></kids><empty></empty><self/>"
        "<lt>a&lt;</lt><long>" +
        run + "</long><longref>" + run + "&#x41;" + run + "</longref><longcdata>" + run +
        "<![CDATA[<]]>" + "</longcdata><open></a>";
    const struct {
        const char* name;
        bool viewed;
    } rows[] = {
        {"plain", true}, {"ref", false},     {"cdata", false},     {"comment", false},
        {"kids", true},  {"empty", true},    {"self", true},       {"lt", false},
        {"long", true},  {"longref", false}, {"longcdata", false}, {"open", true},
    };
    CXmlDocument docs[] = {Doc(text), CXmlDocument::Borrowing(text)};
    for (CXmlDocument& doc : docs) {
        ASSERT_TRUE(doc.FindElem("a") && doc.IntoElem());
        for (const auto& row : rows) {
            SCOPED_TRACE(row.name);
            ASSERT_TRUE(doc.FindElem(row.name));
            std::string_view view = "stale";
            EXPECT_EQ(doc.GetDataView(view), row.viewed);
            if (row.viewed) {
                EXPECT_EQ(view, doc.GetData());
                if (!view.empty()) {
                    // A view into the text itself.
                    EXPECT_GE(view.data(), doc.GetDoc().data());
                    EXPECT_LE(view.data() + view.size(), doc.GetDoc().data() + doc.GetDoc().size());
                }
            } else {
                EXPECT_TRUE(view.empty());
                EXPECT_NE(doc.GetData(), "");
            }
            // Into a caller's text, shorter or longer than the result: the same bytes.
            for (std::size_t held : {0, 3, 400}) {
                std::string out(held, 'z');
                doc.GetData(out);
                EXPECT_EQ(out, doc.GetData()) << held;
            }
        }
    }
    // At document level the data is the document's: it has child elements.
    CXmlDocument top = CXmlDocument::Borrowing(text);
    std::string_view view = "stale";
    EXPECT_TRUE(top.GetDataView(view));
    EXPECT_TRUE(view.empty());
}

}  // namespace
