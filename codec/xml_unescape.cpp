// Decoding of character and entity references in text and attribute values.

#include <cstdlib>
#include <cstring>
#include <string>

#include "codec/xml_document.h"
#include "codec/xml_scan.h"

namespace {

// Appends the bytes for character value v (not 0, at most 0x10FFFF): one byte below 128
// (a negative value its low 8 bits), else UTF-8 in two, three or four bytes.
void AppendCharacter(std::string& out, long v) {
    if (v < 128) {
        out += static_cast<char>(v & 0xFF);
    } else if (v < 2048) {
        out += static_cast<char>(0xC0 | ((v >> 6) & 0x1F));
        out += static_cast<char>(0x80 | (v & 0x3F));
    } else if (v < 65536) {
        out += static_cast<char>(0xE0 | ((v >> 12) & 0x0F));
        out += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (v & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | ((v >> 18) & 0x07));
        out += static_cast<char>(0x80 | ((v >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (v & 0x3F));
    }
}

// A character reference at text[i] ("&#"); on success appends its bytes and returns the
// offset after its ";", otherwise returns -1.
int CharacterReference(const char* text, int len, int i, std::string& out) {
    int digits = i + 2;
    int base = 10;
    if (digits < len && text[digits] == 'x') {
        base = 16;
        ++digits;
    }
    // The ";" with at most 7 bytes before it; a NUL ends the search.
    int semi = -1;
    for (int k = digits; k < len && k <= digits + 7; ++k) {
        if (text[k] == ';') {
            semi = k;
            break;
        }
        if (text[k] == '\0') {
            break;
        }
    }
    if (semi < 0) {
        return -1;
    }
    char number[8] = {};
    std::memcpy(number, text + digits, static_cast<size_t>(semi - digits));
    const long v = std::strtol(number, nullptr, base);
    if (v == 0 || v > 0x10FFFF) {
        return -1;
    }
    AppendCharacter(out, v);
    return semi + 1;
}

struct Entity {
    const char* name;  // after "&", ";" included
    int length;
    char value;
};

constexpr Entity kEntities[] = {
    {"lt;", 3, '<'}, {"amp;", 4, '&'}, {"gt;", 3, '>'}, {"apos;", 5, '\''}, {"quot;", 5, '"'},
};

}  // namespace

std::string CXmlDocument::UnescapeText(const char* text, int len) {
    if (text == nullptr) {
        return {};
    }
    if (len < 0) {
        len = static_cast<int>(std::strlen(text));
    }
    std::string out;
    out.reserve(static_cast<size_t>(len));
    int i = 0;
    while (i < len) {
        const char* amp = xml_scan::FindByte(text + i, text + len, '&');
        out.append(text + i, static_cast<size_t>(amp - (text + i)));
        i = static_cast<int>(amp - text);
        if (i >= len) {
            break;
        }
        if (i + 1 < len && text[i + 1] == '#') {
            const int after = CharacterReference(text, len, i, out);
            if (after > 0) {
                i = after;
                continue;
            }
        } else {
            bool replaced = false;
            for (const Entity& e : kEntities) {
                if (i + 1 + e.length <= len && std::memcmp(text + i + 1, e.name, e.length) == 0) {
                    out += e.value;
                    i += 1 + e.length;
                    replaced = true;
                    break;
                }
            }
            if (replaced) {
                continue;
            }
        }
        out += '&';
        ++i;
    }
    return out;
}
