// Element blocks are kept per thread and handed to the next document: what a document holds
// must not depend on which blocks it got, how many documents came before it or on which
// thread the one before it ended.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "codec/xml_document.h"
#include "xml_test_util.h"

namespace {

// Every record in use, as bytes, so that two documents can be compared whole.
std::string Records(const CXmlDocument& doc) {
    std::string bytes;
    for (int i = 0; i < doc.ElemCount(); ++i) {
        bytes.append(reinterpret_cast<const char*>(&doc.Elem(i)), sizeof(ElemRecord));
    }
    return bytes;
}

// Many elements: the records of a large document fill its blocks with values that a later,
// smaller document must never see.
std::string Large(int elements) {
    std::string text = "<root>";
    for (int k = 0; k < elements; ++k) {
        text += "<e a='" + std::to_string(k) + "'><f/></e>";
    }
    return text + "</root>";
}

// Unclosed elements and relinked children: records are rewritten after they were made.
const std::string kBroken = "<config><a><b x='1'>t</b><c><d/></config><e><f></e>";

}  // namespace

TEST(XmlBlockReuse, RecordsDoNotDependOnTheDocumentsBefore) {
    std::string fresh;
    std::string error;
    {
        const std::string large = Large(40000);  // two segments
        CXmlDocument holding(large.data(), static_cast<int>(large.size()));
        EXPECT_GT(holding.Capacity(), 65536);
        // While the large document holds its blocks, this one gets blocks of its own.
        CXmlDocument first = Doc(kBroken);
        fresh = Records(first);
        error = first.GetError();
    }
    for (int round = 0; round < 3; ++round) {
        const std::string large = Large(20000 + round * 10000);
        {
            CXmlDocument big(large.data(), static_cast<int>(large.size()));
            ExpectConsistentTree(big);
        }
        CXmlDocument again = Doc(kBroken);  // takes the blocks the large one left
        EXPECT_EQ(Records(again), fresh);
        EXPECT_EQ(again.GetError(), error);
        ExpectConsistentTree(again);
        EXPECT_TRUE(again.FindElem("config"));
        EXPECT_TRUE(again.IntoElem());
        EXPECT_TRUE(again.FindElem("a"));
        EXPECT_TRUE(again.FindElem("d"));  // relinked: a child of config now
    }
}

TEST(XmlBlockReuse, DocumentsEndedOnAnotherThread) {
    const std::string large = Large(5000);
    std::vector<CXmlDocument> made;
    std::thread maker([&] {
        for (int k = 0; k < 4; ++k) {
            made.emplace_back(large.data(), static_cast<int>(large.size()));
        }
    });
    maker.join();
    for (const CXmlDocument& doc : made) {
        EXPECT_TRUE(doc.IsWellFormed());
        EXPECT_EQ(doc.ElemCount(), 10002);
    }
    made.clear();  // their blocks go to this thread's store
    CXmlDocument next = Doc(kBroken);
    ExpectConsistentTree(next);
    EXPECT_FALSE(next.IsWellFormed());
}
