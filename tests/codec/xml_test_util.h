#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "codec/xml_document.h"

// Builds a document from a string (NUL bytes included).
inline CXmlDocument Doc(const std::string& text) {
    return CXmlDocument(text.data(), static_cast<int>(text.size()));
}

// text n times over.
inline std::string Repeat(const std::string& text, int n) {
    std::string out;
    out.reserve(text.size() * n);
    for (int k = 0; k < n; ++k) {
        out += text;
    }
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

// Checks that the records form one consistent tree over the text: every element reached
// exactly once from record 0, parent / sibling / first-child links agree with each other,
// and every extent lies inside the document.
inline void ExpectConsistentTree(const CXmlDocument& doc) {
    const std::string_view text = doc.GetDoc();
    const int size = static_cast<int>(text.size());
    std::set<int> seen;
    std::vector<int> pending{0};
    while (!pending.empty()) {
        const int p = pending.back();
        pending.pop_back();
        const std::vector<int> kids = Children(doc, p);
        for (size_t k = 0; k < kids.size(); ++k) {
            const int c = kids[k];
            ASSERT_TRUE(seen.insert(c).second) << "element " << c << " reached twice";
            const ElemRecord& r = doc.Elem(c);
            EXPECT_EQ(r.iParent, p) << c;
            EXPECT_EQ(r.Has(ElemRecord::kFirstChild), k == 0) << c;
            EXPECT_EQ(r.iPrev, k == 0 ? kids.back() : kids[k - 1]) << c;
            ASSERT_GE(r.nStart, 0);
            EXPECT_LE(r.nStart + r.nLength, size) << c;
            EXPECT_EQ(text[r.nStart], '<') << c;
            const int startTag = doc.StartTagLength(c);
            const int endTag = doc.EndTagLength(c);
            EXPECT_GE(startTag, 2) << c;
            EXPECT_LE(startTag + endTag, r.nLength) << c;
            EXPECT_EQ(text[r.nStart + startTag - 1], '>') << c;
            if (endTag > 0) {
                EXPECT_EQ(text.compare(r.nStart + r.nLength - endTag, 2, "</"), 0) << c;
                EXPECT_EQ(text[r.nStart + r.nLength - 1], '>') << c;
            } else {
                EXPECT_EQ(r.nLength, startTag) << c;
            }
            if (r.Has(ElemRecord::kNotEnded)) {
                EXPECT_EQ(r.iFirstChild, 0) << c;
            }
            pending.push_back(c);
        }
    }
    EXPECT_EQ(static_cast<int>(seen.size()), doc.ElemCount() - 1);
}
