#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "codec/xml_document.h"

namespace {

// Decodes from a heap block of exactly the text's length (no NUL after it), so that a look
// past the end is caught by AddressSanitizer.
std::string Unescape(const std::string& text) {
    std::unique_ptr<char[]> block(new char[text.size() ? text.size() : 1]);
    std::copy(text.begin(), text.end(), block.get());
    return CXmlDocument::UnescapeText(block.get(), static_cast<int>(text.size()));
}

}  // namespace

TEST(XmlUnescape, EntityNames) {
    EXPECT_EQ(Unescape("&lt;&amp;&gt;&apos;&quot;"), "<&>'\"");
    EXPECT_EQ(Unescape("a &amp;amp; b"), "a &amp; b");
    EXPECT_EQ(Unescape("&lt"), "&lt");
    EXPECT_EQ(Unescape("&unknown; & &;"), "&unknown; & &;");
    EXPECT_EQ(Unescape("&LT;"), "&LT;");
    EXPECT_EQ(Unescape("&"), "&");
    EXPECT_EQ(Unescape("x&am"), "x&am");
}

TEST(XmlUnescape, EntityMustLieWhollyInsideTheText) {
    const std::string text = "&amp;";
    EXPECT_EQ(CXmlDocument::UnescapeText(text.data(), 4), "&amp");
    EXPECT_EQ(CXmlDocument::UnescapeText(text.data(), 5), "&");
    EXPECT_EQ(CXmlDocument::UnescapeText("&quot;tail", -1), "\"tail");
    EXPECT_EQ(CXmlDocument::UnescapeText(nullptr, 3), "");
    EXPECT_EQ(CXmlDocument::UnescapeText("abc", 0), "");
}

TEST(XmlUnescape, DecimalAndHexCharacterReferences) {
    EXPECT_EQ(Unescape("&#65;&#x42;&#x6a;"), "ABj");
    EXPECT_EQ(Unescape("&#233;"), "\xC3\xA9");
    EXPECT_EQ(Unescape("&#127;&#128;"), "\x7F\xC2\x80");
    EXPECT_EQ(Unescape("&#x7FF;&#x800;"), "\xDF\xBF\xE0\xA0\x80");
    EXPECT_EQ(Unescape("&#x20AC;"), "\xE2\x82\xAC");
    EXPECT_EQ(Unescape("&#xFFFF;"), "\xEF\xBF\xBF");
}

TEST(XmlUnescape, ReferencesAboveTheBasicPlane) {
    EXPECT_EQ(Unescape("&#x10000;"), "\xF0\x90\x80\x80");
    EXPECT_EQ(Unescape("&#x1F600;"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Unescape("&#128512;"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Unescape("&#x10FFFF;"), "\xF4\x8F\xBF\xBF");
    EXPECT_EQ(Unescape("&#x110000;"), "&#x110000;");
    EXPECT_EQ(Unescape("&#1114112;"), "&#1114112;");
    EXPECT_EQ(Unescape("&#xFFFFFFF;"), "&#xFFFFFFF;");
}

TEST(XmlUnescape, MalformedCharacterReferencesStay) {
    EXPECT_EQ(Unescape("&#0;"), "&#0;");
    EXPECT_EQ(Unescape("&#x;"), "&#x;");
    EXPECT_EQ(Unescape("&#;"), "&#;");
    EXPECT_EQ(Unescape("&#65"), "&#65");
    EXPECT_EQ(Unescape("&#X41;"), "&#X41;");  // upper-case X is not hexadecimal
    // At most seven bytes between "#" (or "x") and ";".
    EXPECT_EQ(Unescape("&#0000065;"), "A");
    EXPECT_EQ(Unescape("&#00000065;"), "&#00000065;");
    EXPECT_EQ(Unescape("&#x0000041;"), "A");
    EXPECT_EQ(Unescape("&#x00000041;"), "&#x00000041;");
    // A NUL ends the search for the ";".
    EXPECT_EQ(Unescape(std::string("&#6\0;", 5)), std::string("&#6\0;", 5));
}

TEST(XmlUnescape, ConversionStopsAtTheFirstNonDigit) {
    EXPECT_EQ(Unescape("&#65abc;x"), "Ax");
    EXPECT_EQ(Unescape("&#x41g;"), "A");
    EXPECT_EQ(Unescape("&# 66;"), "B");  // leading space is taken as the C conversion takes it
    EXPECT_EQ(Unescape("&#+67;"), "C");
    EXPECT_EQ(Unescape("&#-1;"), "\xFF");  // a negative value gives its low 8 bits
}

TEST(XmlUnescape, SearchForTheSemicolonStaysInsideTheText) {
    const std::string text = "&#65;";
    EXPECT_EQ(CXmlDocument::UnescapeText(text.data(), 4), "&#65");
    EXPECT_EQ(Unescape("&#"), "&#");
    EXPECT_EQ(Unescape("&#x"), "&#x");
    EXPECT_EQ(Unescape("ab&#1234567"), "ab&#1234567");
}

TEST(XmlUnescape, LongTextWithoutReferencesIsCopied) {
    std::string text(200000, 'Q');
    text[100000] = '&';
    text.replace(150000, 4, "&lt;");
    std::string expected = text;
    expected.replace(150000, 4, "<");
    EXPECT_EQ(Unescape(text), expected);
}
