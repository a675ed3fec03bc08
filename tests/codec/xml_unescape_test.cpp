#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "codec/xml_document.h"

namespace {

// Decodes a heap block of exactly the text's length (no NUL after it), so that a look past
// the end is caught by AddressSanitizer.
std::string Unescape(const std::string& text) {
    std::unique_ptr<char[]> block(new char[text.size() ? text.size() : 1]);
    std::copy(text.begin(), text.end(), block.get());
    return CXmlDocument::UnescapeText(block.get(), static_cast<int>(text.size()));
}

}  // namespace

TEST(XmlUnescape, References) {
    const std::pair<std::string, std::string> rows[] = {
        {"&lt;&amp;&gt;&apos;&quot;", "<&>'\""},
        {"a &amp;amp; b", "a &amp; b"},
        {"&unknown; & &; &LT; &lt", "&unknown; & &; &LT; &lt"},
        {"x&am", "x&am"},
        {"&#65;&#x42;&#x6a;", "ABj"},
        {"&#127;&#128;&#233;", "\x7F\xC2\x80\xC3\xA9"},
        {"&#x7FF;&#x800;", "\xDF\xBF\xE0\xA0\x80"},
        {"&#x20AC;&#xFFFF;", "\xE2\x82\xAC\xEF\xBF\xBF"},
        {"&#x10000;&#128512;", "\xF0\x90\x80\x80\xF0\x9F\x98\x80"},
        {"&#x10FFFF;", "\xF4\x8F\xBF\xBF"},
        {"&#x110000;&#1114112;&#xFFFFFFF;", "&#x110000;&#1114112;&#xFFFFFFF;"},
        {"&#0;&#x;&#;&#X41;", "&#0;&#x;&#;&#X41;"},  // upper-case X is not hexadecimal
        // At most seven bytes between "#" (or "x") and ";".
        {"&#0000065;&#x0000041;", "AA"},
        {"&#00000065;&#x00000041;", "&#00000065;&#x00000041;"},
        // The number is read as the C conversion reads it: up to the first non-digit, leading
        // space and sign taken, a negative value giving its low 8 bits.
        {"&#65abc;x&#x41g;", "AxA"},
        {"&# 66;&#+67;", "BC"},
        {"&#-1;", "\xFF"},
        // The ";" must lie inside the text, before any NUL.
        {std::string("&#6\0;", 5), std::string("&#6\0;", 5)},
        {"&#65", "&#65"},
        {"&#", "&#"},
        {"&#x", "&#x"},
        {"ab&#1234567", "ab&#1234567"},
        {"&", "&"},
    };
    for (const auto& [text, plain] : rows)
        EXPECT_EQ(Unescape(text), plain) << text;
}

TEST(XmlUnescape, LengthBoundsTheText) {
    EXPECT_EQ(CXmlDocument::UnescapeText("&amp;", 4), "&amp");
    EXPECT_EQ(CXmlDocument::UnescapeText("&#65;", 4), "&#65");
    EXPECT_EQ(CXmlDocument::UnescapeText("&quot;tail", -1), "\"tail");
    EXPECT_EQ(CXmlDocument::UnescapeText(nullptr, 3), "");
    EXPECT_EQ(CXmlDocument::UnescapeText("abc", 0), "");
    std::string text(200000, 'Q');
    text[100000] = '&';
    text.replace(150000, 4, "&lt;");
    std::string expected = text;
    expected.replace(150000, 4, "<");
    EXPECT_EQ(Unescape(text), expected);
}
