// Walking a parsed document and reading text and attributes out of it.

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "codec/xml_document.h"
#include "codec/xml_scan.h"

using namespace xml_scan;

namespace {

// The tag name as navigation reads it: after "<" and any white space, up to the first of
// white space, "<", ">", "=", "\", "/", "?" and "!"; a name that would be empty is the
// single byte there. Stays within [start + 1, end).
std::string_view ElemName(std::string_view doc, int start, int end) {
    int p = start + 1;
    while (p < end && IsSpace(static_cast<unsigned char>(doc[p]))) {
        ++p;
    }
    int q = p;
    while (q < end) {
        const char c = doc[q];
        if (IsSpace(static_cast<unsigned char>(c)) || c == '<' || c == '>' || c == '=' ||
            c == '\\' || c == '/' || c == '?' || c == '!') {
            break;
        }
        ++q;
    }
    if (q == p && q < end) {
        ++q;
    }
    return doc.substr(p, q - p);
}

}  // namespace

bool CXmlDocument::FindElem(const char* name) {
    if (m_nPosCapacity == 0) {
        return false;
    }
    const int current = m_iPos[1];
    int candidate = current ? Rec(current).iNext : Rec(m_iPos[0]).iFirstChild;
    if (name != nullptr && name[0] != '\0') {
        const std::string_view given(name);
        const int docEnd = static_cast<int>(m_text.size());
        while (candidate != 0) {
            const int start = Rec(candidate).nStart;
            const int end = std::min(docEnd, start + StartTagLength(candidate));
            if (NameMatches(ElemName(m_text, start, end), given)) {
                break;
            }
            candidate = Rec(candidate).iNext;
        }
    }
    if (candidate == 0) {
        return false;
    }
    m_iPos[0] = Rec(candidate).iParent;
    m_iPos[1] = candidate;
    m_iPos[2] = 0;
    m_nNodeType = 1;
    return true;
}

bool CXmlDocument::IntoElem() {
    if (m_iPos[1] == 0 || m_nNodeType != 1) {
        return false;
    }
    m_iPos[0] = m_iPos[1];
    m_iPos[1] = m_iPos[2];
    m_iPos[2] = 0;
    m_nNodeType = m_iPos[1] ? 1 : 0;
    return true;
}

bool CXmlDocument::OutOfElem() {
    if (m_iPos[0] == 0 || m_nPosCapacity == 0) {
        return false;
    }
    const int oldParent = m_iPos[0];
    m_iPos[2] = m_iPos[1];
    m_iPos[1] = oldParent;
    m_iPos[0] = Rec(oldParent).iParent;
    m_nNodeType = m_iPos[1] ? 1 : 0;
    return true;
}

bool CXmlDocument::DataRange(int& begin, int& end) const {
    if (m_nPosCapacity == 0) {
        return false;
    }
    const int i = m_iPos[1];
    const ElemRecord& r = Rec(i);
    const int startTag = StartTagLength(i);
    if (r.iFirstChild != 0 || r.nLength == startTag) {
        return false;
    }
    const int docEnd = static_cast<int>(m_text.size());
    begin = std::min(r.nStart + startTag, docEnd);
    end = std::min(begin + std::max(0, r.nLength - startTag - EndTagLength(i)), docEnd);
    return true;
}

bool CXmlDocument::GetDataView(std::string_view& text) const {
    text = std::string_view();
    int begin = 0;
    int end = 0;
    if (!DataRange(begin, end)) {
        return true;
    }
    const char* d = m_text.data();
    if (FindEither<'<', '&'>(d + begin, d + end) != d + end) {
        return false;
    }
    text = m_text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
    return true;
}

void CXmlDocument::GetData(std::string& out) const {
    int begin = 0;
    int end = 0;
    if (!DataRange(begin, end)) {
        out.clear();
        return;
    }
    const char* d = m_text.data();
    const std::size_t length = static_cast<std::size_t>(end - begin);
    // Growing the size fills with zeros: a text that held a longer content is only cut.
    out.resize(length);
    if (CopyUpToEither<'<', '&'>(d + begin, d + end, out.data()) != length) {
        out = GetData();
    }
}

std::string CXmlDocument::GetData() const {
    int begin = 0;
    int end = 0;
    if (!DataRange(begin, end)) {
        return {};
    }
    const char* d = m_text.data();
    if (FindByte(d + begin, d + end, '<') == d + end) {
        return UnescapeText(d + begin, end - begin);
    }
    // Text and CDATA sections of the content, node by node; markup and white-space runs
    // between markup are dropped.
    std::string data;
    Token token;
    token.pText = d;
    token.nEnd = end;
    token.nNext = begin;
    NodeRecord node;
    while (token.nNext < end) {
        const int type = ParseNode(token, node);
        if (type == kNodeEndOfDoc) {
            break;
        }
        if (type == kNodeText) {
            data += UnescapeText(d + node.nStart, node.nLength);
        } else if (type == kNodeCData && node.nLength > 12) {
            data.append(d + node.nStart + 9, static_cast<size_t>(node.nLength - 12));
        }
    }
    return data;
}

std::string CXmlDocument::GetAttrib(const char* name) const {
    const int i = m_iPos[1];
    if (i == 0 || m_nNodeType != 1 || name == nullptr || m_nPosCapacity == 0) {
        return {};
    }
    const std::string_view given(name);
    const char* d = m_text.data();
    const int start = Rec(i).nStart;
    const int end = std::min(static_cast<int>(m_text.size()), start + StartTagLength(i));
    Token token;
    token.pText = d;
    token.nEnd = end;
    token.nNext = start + 1;
    int counter = -1;
    int foundFirst = -1;  // the matching attribute name, once found
    int foundLength = 0;
    bool afterEquals = false;
    bool stoppedOnValue = false;
    for (;;) {
        int p = token.nNext;
        while (p < end && IsSpace(static_cast<unsigned char>(d[p]))) {
            ++p;
        }
        if (p >= end) {
            break;
        }
        const char c = d[p];
        const bool quoted = c == '"' || c == '\'';
        if (quoted) {
            const char* close = FindByte(d + p + 1, d + end, c);
            token.nFirst = p + 1;
            token.nLast = static_cast<int>(close - d) - 1;
            token.nNext = close < d + end ? static_cast<int>(close - d) + 1 : end;
        } else {
            int q = p;
            while (q < end) {
                const char b = d[q];
                if (IsSpace(static_cast<unsigned char>(b)) || b == '>' ||
                    (!afterEquals && (b == '=' || b == '/' || b == '?'))) {
                    break;
                }
                ++q;
            }
            if (q == p) {
                ++q;  // a one-byte token
            }
            token.nFirst = p;
            token.nLast = q - 1;
            token.nNext = q;
        }
        const std::string_view text(d + token.nFirst, token.nLast - token.nFirst + 1);
        if (!quoted && !afterEquals) {
            if (text == "=") {
                afterEquals = true;
                continue;
            }
            if (text == ">" || text == "/" || text == "?") {
                break;
            }
            if (foundFirst >= 0) {
                break;  // the attribute found had no value
            }
            if (++counter > 0 && NameMatches(text, given)) {
                foundFirst = token.nFirst;
                foundLength = static_cast<int>(text.size());
            }
            afterEquals = false;
            continue;
        }
        // A value.
        if (foundFirst >= 0) {
            stoppedOnValue = afterEquals;
            break;
        }
        afterEquals = false;
    }
    if (foundFirst < 0) {
        return {};
    }
    if (stoppedOnValue) {
        return UnescapeText(d + token.nFirst, token.nLast - token.nFirst + 1);
    }
    return std::string(d + foundFirst, static_cast<size_t>(foundLength));
}
