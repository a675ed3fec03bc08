#pragma once

#include <gtest/gtest.h>

#include <algorithm>
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

// Every record in use, as bytes, so that two documents can be compared whole.
inline std::string Records(const CXmlDocument& doc) {
    std::string bytes;
    for (int i = 0; i < doc.ElemCount(); ++i) {
        bytes.append(reinterpret_cast<const char*>(&doc.Elem(i)), sizeof(ElemRecord));
    }
    return bytes;
}

// The records form one tree over the text: every element reached once from record 0, the
// links agree with each other, and every extent lies inside the document between its tags.
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
