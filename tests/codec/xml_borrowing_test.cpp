// In-place parsing against copying, and element blocks handed from one document to the next.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "codec/xml_document.h"
#include "xml_test_util.h"

namespace {

// Unclosed elements and relinked children: records are rewritten after they were made.
const std::string kBroken = "<config><a><b x='1'>t</b><c><d/></config><e><f></e>";

}  // namespace

TEST(XmlBorrowing, BothFormsGiveTheSameDocument) {
    const std::string longName(1500, 'n');  // end tag too long for the packed word
    const std::string texts[] = {
        "<config version=\"1.7\"><smartType>VFD_MATCH</smartType><listInfo><item><a x='1' "
        "y=\"&lt;2&gt;\">t&amp;u</a></item><item/><item>x</item></listInfo></config>",
        "<?xml version=\"1.0\"?>\n<!DOCTYPE c [<!ELEMENT c ANY>]>\n<!-- note -->\n<c a=b flag>"
        "<d><![CDATA[<raw> & ]]></d><e>one<!--x-->two</e><f>&#65;</f></c><g/>",
        kBroken,
        std::string("<a><b>x\0y</b>\0<c/></a>", 22),
        "<a><" + longName + ">z</" + longName + "></a>",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.substr(0, 80));
        CXmlDocument copy = Doc(text);
        CXmlDocument borrowed = CXmlDocument::Borrowing(text);
        EXPECT_TRUE(!copy.BorrowsText() && borrowed.BorrowsText());
        EXPECT_EQ(copy.GetDoc(), text);
        EXPECT_EQ(borrowed.GetDoc().data(), text.data());  // no copy made
        EXPECT_EQ(Records(copy), Records(borrowed));
        EXPECT_EQ(copy.GetError(), borrowed.GetError());
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
}

// Element blocks are kept per thread and handed to the next document: what a document holds
// must not depend on which blocks it got, or on which thread the one before it ended.
TEST(XmlBlockReuse, RecordsDoNotDependOnTheDocumentsBefore) {
    auto large = [](int elements) { return Doc("<r>" + Repeat("<e a='1'><f/></e>", elements)); };
    std::string fresh;
    {
        const CXmlDocument holding = large(40000);  // two segments: the kept blocks
        fresh = Records(Doc(kBroken));              // gets blocks of its own
    }
    std::vector<CXmlDocument> made;
    std::thread([&] {
        for (int k = 0; k < 3; ++k) {
            made.push_back(large(20000 + k * 10000));
        }
    }).join();
    for (int round = 0; round < 3; ++round) {
        made.pop_back();  // its blocks go to this thread's store
        const CXmlDocument again = Doc(kBroken);
        EXPECT_EQ(Records(again), fresh);
        ExpectConsistentTree(again);
    }
}
