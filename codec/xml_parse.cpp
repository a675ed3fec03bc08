// The parse: the node scanner and the one pass that builds the element records.

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "codec/xml_document.h"
#include "codec/xml_scan.h"

using namespace xml_scan;

namespace {

using Token = CXmlDocument::Token;
using NodeRecord = CXmlDocument::NodeRecord;

using Status = XmlParseResult::Status;

XmlParseResult Incorrect(const char* what, int offset) {
    return XmlParseResult{Status::Incorrect, offset, what, 0, {}};
}

XmlParseResult Unterminated(const char* kind, int offset) {
    return XmlParseResult{Status::Unterminated, offset, kind, 0, {}};
}

// Whether a scan stands inside a quoted run ('...' or "..."); the other kind of quote inside
// one is plain text.
struct Quotes {
    bool single = false;
    bool dbl = false;
    // Takes byte c; true when c stands outside quotes and neither opens nor closes a run.
    bool Outside(char c) {
        if (c == '"' && !single) {
            dbl = !dbl;
            return false;
        }
        if (c == '\'' && !dbl) {
            single = !single;
            return false;
        }
        return !single && !dbl;
    }
};

// Scans markup nodes (those beginning with "<") for ParseNode.
class MarkupScanner {
  public:
    // inDocType: the node is nested in a document type declaration, where "[" and "D" after
    // "<!" start nothing.
    MarkupScanner(Token& token, NodeRecord& node, bool inDocType = false)
        : m_token(token),
          m_node(node),
          m_d(token.pText),
          m_end(token.nEnd),
          m_pos(token.nNext),
          m_inDocType(inDocType) {}

    int Scan() {
        const int pos = m_pos;
        if (pos + 1 >= m_end) {
            return Unfinished("tag");
        }
        const auto c = static_cast<unsigned char>(m_d[pos + 1]);
        if (c == '/') {
            return EndTag();
        }
        if (c == '?') {
            return ProcessingInstruction();
        }
        if (c == '!') {
            return Bang();
        }
        if (IsNameStart(c)) {
            return StartTag();
        }
        return ErrorNode(pos + 1, Incorrect("tag name character", pos));
    }

  private:
    int Finish(int type, int after) {
        m_token.nNext = after;
        m_node.nLength = after - m_pos;
        m_node.nType = type;
        return type;
    }

    // The text ended inside the node.
    int Unfinished(const char* kind) {
        m_node.error = Unterminated(kind, m_pos);
        return Finish(CXmlDocument::kNodeError, m_end);
    }

    // Offset just past the name that starts at p (ends at white space, "/" or ">").
    int NameEnd(int p) const {
        while (p < m_end) {
            const auto c = static_cast<unsigned char>(m_d[p]);
            if (IsSpace(c) || c == '/' || c == '>') {
                break;
            }
            ++p;
        }
        return p;
    }

    // A ">" at or after from whose preceding bytes complete the terminator tail + ">";
    // the ">" must lie at an offset greater than the terminator's length. -1 if none.
    int FindTerminator(int from, std::string_view tail) const {
        const int termLength = static_cast<int>(tail.size()) + 1;
        while (from < m_end) {
            const int gt = static_cast<int>(FindByte(m_d + from, m_d + m_end, '>') - m_d);
            if (gt >= m_end) {
                return -1;
            }
            if (gt > termLength && std::string_view(m_d + gt - tail.size(), tail.size()) == tail) {
                return gt;
            }
            from = gt + 1;
        }
        return -1;
    }

    // Consumes from q up to a ">" outside quotes; returns its offset or -1 at the end.
    int QuotedUpTo(int q) const {
        Quotes quotes;
        for (; q < m_end; ++q) {
            if (quotes.Outside(m_d[q]) && m_d[q] == '>') {
                return q;
            }
        }
        return -1;
    }

    int EndTag() {
        const int nameStart = m_pos + 2;
        const int nameEnd = NameEnd(nameStart);
        m_token.nFirst = nameStart;
        m_token.nLast = nameEnd - 1;
        const int gt = static_cast<int>(FindByte(m_d + nameEnd, m_d + m_end, '>') - m_d);
        if (gt >= m_end) {
            return Unfinished("Element end tag");
        }
        return Finish(CXmlDocument::kNodeEndTag, gt + 1);
    }

    int ProcessingInstruction() {
        const int nameStart = m_pos + 2;
        m_node.nNameStart = nameStart;
        m_node.nNameLength = NameEnd(nameStart) - nameStart;
        const int gt = FindTerminator(m_pos + 2, "?");
        if (gt < 0) {
            return Unfinished("Processing instruction");
        }
        return Finish(CXmlDocument::kNodeProcessingInstruction, gt + 1);
    }

    int Bang() {
        const int p = m_pos + 2;  // the byte after "<!"
        if (p >= m_end) {
            return Unfinished("tag");
        }
        if (m_inDocType && (m_d[p] == '[' || m_d[p] == 'D')) {
            return ErrorNode(p, Incorrect("! tag", m_pos));
        }
        switch (m_d[p]) {
            case '-': {
                if (p + 1 >= m_end) {
                    return Unfinished("tag");
                }
                if (m_d[p + 1] != '-') {
                    return ErrorNode(p + 1, Incorrect("comment tag", m_pos));
                }
                const int gt = FindTerminator(p + 2, "--");
                return gt < 0 ? Unfinished("Comment") : Finish(CXmlDocument::kNodeComment, gt + 1);
            }
            case '[': {
                if (p + 1 >= m_end) {
                    return Unfinished("tag");
                }
                if (m_d[p + 1] != 'C') {
                    return ErrorNode(p + 1, Incorrect("tag", m_pos));
                }
                const int gt = FindTerminator(p + 2, "]]");
                return gt < 0 ? Unfinished("CDATA Section")
                              : Finish(CXmlDocument::kNodeCData, gt + 1);
            }
            case 'D':
                return DocType(p + 1);
            case 'E':
            case 'A':
            case 'N': {
                const int gt = QuotedUpTo(p + 1);
                return gt < 0 ? Unfinished("Doctype") : Finish(CXmlDocument::kNodeDocType, gt + 1);
            }
            default:
                return ErrorNode(p, Incorrect("! tag", m_pos));
        }
    }

    // A document type declaration: runs to the first ">" outside quotes that does not end a
    // nested node. Nested nodes never nest further, so there is no recursion.
    int DocType(int q) {
        Quotes quotes;
        while (q < m_end) {
            const char c = m_d[q];
            if (!quotes.Outside(c)) {
                // quoted, or a quote
            } else if (c == '>') {
                return Finish(CXmlDocument::kNodeDocType, q + 1);
            } else if (c == '<') {
                // A nested node ends at its own terminator.
                Token nested = m_token;
                nested.nNext = q;
                NodeRecord scratch;
                MarkupScanner(nested, scratch, true).Scan();
                q = nested.nNext;
                continue;
            }
            ++q;
        }
        return Unfinished("Doctype");
    }

    int StartTag() {
        const int p = m_pos + 1;
        m_node.nNameStart = p;
        int nameEnd = -1;
        bool single = false;
        bool dbl = false;
        for (int q = p; q < m_end; ++q) {
            const char c = m_d[q];
            if (nameEnd < 0 && (IsSpace(static_cast<unsigned char>(c)) || c == '/' || c == '>')) {
                nameEnd = q;
            }
            if (c == '"' || c == '\'') {
                bool& mine = c == '"' ? dbl : single;
                if (c == '"' ? single : dbl) {
                    continue;  // inside the other kind of quotes
                }
                if (!mine && nameEnd >= 0) {
                    // A quoted run after the name: only its closing quote matters.
                    q = static_cast<int>(FindByte(m_d + q + 1, m_d + m_end, c) - m_d);
                    if (q >= m_end) {
                        break;
                    }
                    continue;
                }
                mine = !mine;
            } else if (c == '>' && !single && !dbl) {
                m_node.nNameLength = nameEnd - p;
                const bool slash = m_d[q - 1] == '/';
                if (slash && (q - 1 == nameEnd || IsSpace(static_cast<unsigned char>(m_d[q - 2])) ||
                              m_d[q - 2] == '"' || m_d[q - 2] == '\'')) {
                    m_node.nFlags |= NodeRecord::kSelfClosing;
                }
                return Finish(CXmlDocument::kNodeElement, q + 1);
            }
        }
        m_node.nNameLength = (nameEnd < 0 ? m_end : nameEnd) - p;
        return Unfinished("Element tag");
    }

    // A node made an error by the byte before q: runs to a ">" outside quotes, or up to
    // just before the next "<".
    int ErrorNode(int q, XmlParseResult error) {
        m_node.error = std::move(error);
        Quotes quotes;
        for (; q < m_end; ++q) {
            const char c = m_d[q];
            if (c == '<') {
                return Finish(CXmlDocument::kNodeError, q);
            }
            if (quotes.Outside(c) && c == '>') {
                return Finish(CXmlDocument::kNodeError, q + 1);
            }
        }
        return Unfinished("tag");
    }

    Token& m_token;
    NodeRecord& m_node;
    const char* m_d;
    int m_end;
    int m_pos;
    bool m_inDocType;
};

// Counts the open start tags by the end-tag names that would match them (the name itself
// and each prefix of it followed by "=", "[", "]", space or "/"), keyed by hash. Lets an end
// tag that matches no open element be told in constant time instead of a walk over every
// open level. A hash collision only costs that walk.
class OpenNameIndex {
  public:
    void Add(std::string_view startName) { ForEachKey(startName, +1); }
    void Remove(std::string_view startName) { ForEachKey(startName, -1); }
    bool MayMatch(std::string_view endName) const {
        return m_counts.find(Key(Hash(endName), endName.size())) != m_counts.end();
    }

  private:
    static constexpr uint64_t kBasis = 14695981039346656037ull;
    static constexpr uint64_t kPrime = 1099511628211ull;
    static uint64_t Step(uint64_t h, char c) {
        return (h ^ static_cast<unsigned char>(c)) * kPrime;
    }
    static uint64_t Hash(std::string_view s) {
        uint64_t h = kBasis;
        for (const char c : s) {
            h = Step(h, c);
        }
        return h;
    }
    static uint64_t Key(uint64_t h, size_t length) { return Step(h ^ (length << 17), '\0'); }
    void ForEachKey(std::string_view name, int delta) {
        uint64_t h = kBasis;
        for (size_t k = 0; k < name.size(); ++k) {
            const char c = name[k];
            if (c == '=' || c == '[' || c == ']' || c == ' ' || c == '/') {
                Bump(Key(h, k), delta);
            }
            h = Step(h, c);
        }
        Bump(Key(h, name.size()), delta);
    }
    void Bump(uint64_t key, int delta) {
        auto it = m_counts.try_emplace(key, 0).first;
        if ((it->second += delta) <= 0) {
            m_counts.erase(it);
        }
    }
    std::unordered_map<uint64_t, int> m_counts;
};

}  // namespace

int CXmlDocument::ParseNode(Token& token, NodeRecord& node) {
    const char* d = token.pText;
    const int end = token.nEnd;
    const int pos = token.nNext;
    node.nStart = pos;
    node.nFlags = 0;
    node.nNameStart = pos;
    node.nNameLength = 0;
    node.error = XmlParseResult{};
    if (d == nullptr || pos >= end || d[pos] == '\0') {
        node.nLength = 0;
        node.nType = 0;
        return kNodeEndOfDoc;
    }
    if (d[pos] == '<') {
        return MarkupScanner(token, node).Scan();
    }
    // White space, turning into text at the first other byte; text ends before "<" or
    // just after ">".
    int p = pos;
    while (p < end && IsSpace(static_cast<unsigned char>(d[p]))) {
        ++p;
    }
    int type = kNodeWhitespace;
    if (p < end && d[p] != '<') {
        type = kNodeText;
        p = static_cast<int>(FindAngle(d + p, d + end) - d);
        if (p < end && d[p] == '>') {
            ++p;
        }
    }
    token.nNext = p;
    node.nLength = p - pos;
    node.nType = type;
    return type;
}

std::string XmlParseResult::Text() const {
    const std::string at = " at offset " + std::to_string(offset);
    switch (status) {
        case Status::Ok:
            return std::string();
        case Status::EmptyDocument:
            return "Empty document";
        case Status::NoRootElement:
            return "No root element";
        case Status::RootHasSibling:
            return "Root element has sibling";
        case Status::NoStartTag:
            return "No start tag for end tag '" + name + "'" + at;
        case Status::EndTagMismatch:
            return "End tag '" + name + "'" + at + " does not match start tag '" + otherName +
                   "' at offset " + std::to_string(otherOffset);
        case Status::NotEnded:
            return "Element '" + name + "'" + at + " not ended";
        case Status::Incorrect:
            return "Incorrect " + name + at;
        case Status::Unterminated:
            return name + at + " unterminated";
    }
    return std::string();
}

void CXmlDocument::SetError(XmlParseResult result) {
    m_strError = result.Text();
    m_result = std::move(result);
}

bool CXmlDocument::ParseDoc() {
    ResetPos();
    m_iPosFree = 1;
    m_longStartTags.clear();
    m_longEndTags.clear();
    GrowPosArray(static_cast<int>(m_text.size() / 64 + 8));
    Rec(0) = ElemRecord{};
    if (m_text.empty()) {
        SetError({Status::EmptyDocument, 0, {}, 0, {}});
    } else {
        Token token;
        token.pText = m_text.data();
        token.nEnd = static_cast<int>(m_text.size());
        const int first = ParseElem(0, token);
        Rec(0).nLength = static_cast<int>(m_text.size());
        if (first == 0) {
            SetError({Status::NoRootElement, 0, {}, 0, {}});
        } else {
            Rec(0).iFirstChild = first;
            if (Rec(first).iNext != 0) {
                SetError({Status::RootHasSibling, 0, {}, 0, {}});
            }
        }
    }
    ResetPos();
    return IsWellFormed();
}

int CXmlDocument::ParseElem(int iContainer, Token& token) {
    // Start tags of the open elements, innermost last.
    struct OpenTag {
        int iElem;
        int nNameStart;
        int nNameLength;
    };
    std::vector<OpenTag> open;
    OpenNameIndex index;   // built at the first end tag that does not close the innermost
    bool indexed = false;  // element, kept up to date from then on
    NodeRecord node;
    const std::string_view doc = m_text;
    auto nameOf = [&](const OpenTag& tag) { return doc.substr(tag.nNameStart, tag.nNameLength); };
    auto setErrorOnce = [&](XmlParseResult result) {
        if (m_result.Ok()) {
            SetError(std::move(result));
        }
    };
    const int containerLevel = Rec(iContainer).Level();
    int iParent = iContainer;  // the innermost open element, also the current element
    int iFirst = 0;

    SetError({});
    token.nNext = 0;
    for (;;) {
        const int type = ParseNode(token, node);
        int matched = -1;  // index in open of the start tag an end tag matched
        if (type == kNodeElement) {
            const int i = NewPos();
            if (iFirst == 0) {
                iFirst = i;
            }
            const int depth = static_cast<int>(open.size());
            ElemRecord& r = Rec(i);
            ElemRecord& parent = Rec(iParent);
            r.iParent = iParent;
            r.iNext = 0;
            uint32_t flags = 0;
            if (parent.iFirstChild == 0) {
                parent.iFirstChild = i;
                r.iPrev = i;
                flags = ElemRecord::kFirstChild;
            } else {
                ElemRecord& first = Rec(parent.iFirstChild);
                Rec(first.iPrev).iNext = i;
                r.iPrev = first.iPrev;
                first.iPrev = i;
            }
            r.nFlags = flags | static_cast<uint32_t>(std::min(containerLevel + depth, 0xFFFF));
            r.iFirstChild = 0;
            r.nStart = node.nStart;
            SetTagLengths(i, node.nLength, 0);
            if (node.nFlags & NodeRecord::kSelfClosing) {
                r.nLength = node.nLength;
            } else {
                iParent = i;
                open.push_back({i, node.nNameStart, node.nNameLength});
                if (indexed) {
                    index.Add(nameOf(open.back()));
                }
            }
            continue;
        }
        if (type == kNodeEndTag) {
            const std::string_view name = doc.substr(token.nFirst, token.nLast - token.nFirst + 1);
            const int depth = static_cast<int>(open.size());
            if (depth > 0 && NameMatches(name, nameOf(open.back()))) {
                matched = depth - 1;
            } else if (depth > 1) {
                if (!indexed) {
                    for (const OpenTag& tag : open) {
                        index.Add(nameOf(tag));
                    }
                    indexed = true;
                }
                for (int k = index.MayMatch(name) ? depth - 2 : -1; k >= 0; --k) {
                    if (NameMatches(name, nameOf(open[k]))) {
                        matched = k;
                        break;
                    }
                }
            }
            if (matched < 0) {
                Rec(iContainer).nFlags |= ElemRecord::kIllFormed;
                Rec(iParent).nFlags |= ElemRecord::kErrorInside;
                setErrorOnce({Status::NoStartTag, node.nStart, std::string(name), 0, {}});
                continue;
            }
            const int i = open[matched].iElem;
            Rec(i).nLength = node.nStart - Rec(i).nStart + node.nLength;
            SetEndTagLength(i, node.nLength);
        } else if (type == kNodeError) {
            Rec(iContainer).nFlags |= ElemRecord::kIllFormed;
            Rec(iParent).nFlags |= ElemRecord::kErrorInside;
            setErrorOnce(node.error);
            continue;
        } else if (type != kNodeEndOfDoc) {
            continue;
        }

        // Open elements deeper than the matched one (at the end: all of them) are not ended.
        const int keep = type == kNodeEndOfDoc ? 0 : matched + 1;
        const int depth = static_cast<int>(open.size());
        if (depth > keep) {
            Rec(iContainer).nFlags |= ElemRecord::kIllFormed;
            // Every child relinked in this run ends up below the element that stays open.
            const int iStays = keep > 0 ? open[keep - 1].iElem : iContainer;
            int iInner = 0;  // the element closed in the previous step
            for (int k = depth - 1; k >= keep; --k) {
                const int e = open[k].iElem;
                const int up = k > 0 ? open[k - 1].iElem : iContainer;
                ElemRecord& r = Rec(e);
                r.nLength = StartTagLength(e);
                SetEndTagLength(e, 0);
                r.nFlags |= ElemRecord::kNotEnded;
                if (r.iFirstChild != 0) {
                    // Its children follow it as siblings. Those after iInner came from
                    // iInner in the previous step and already have their parent.
                    const int first = r.iFirstChild;
                    const int last = Rec(first).iPrev;
                    for (int c = first;; c = Rec(c).iNext) {
                        Rec(c).iParent = iStays;
                        if (c == iInner || Rec(c).iNext == 0) {
                            break;
                        }
                    }
                    Rec(first).nFlags &= ~ElemRecord::kFirstChild;
                    Rec(first).iPrev = e;
                    r.iNext = first;
                    r.iFirstChild = 0;
                    // It was its parent's last child; now its own last child is.
                    Rec(Rec(up).iFirstChild).iPrev = last;
                }
                if (r.nFlags & ElemRecord::kErrorInside) {
                    Rec(up).nFlags |= ElemRecord::kErrorInside;
                }
                if (!m_result.Ok()) {
                    // the innermost element's message is already there
                } else if (type == kNodeEndOfDoc) {
                    setErrorOnce({Status::NotEnded, r.nStart, std::string(nameOf(open[k])), 0, {}});
                } else {
                    setErrorOnce(
                        {Status::EndTagMismatch, node.nStart + 1,
                         std::string(doc.substr(token.nFirst, token.nLast - token.nFirst + 1)),
                         r.nStart, std::string(nameOf(open[k]))});
                }
                iInner = e;
            }
            if (indexed && type != kNodeEndOfDoc) {
                for (int k = keep; k < depth; ++k) {
                    index.Remove(nameOf(open[k]));
                }
            }
            open.resize(keep);
        }
        if (type == kNodeEndOfDoc) {
            break;
        }
        // The matched element is closed.
        if (indexed) {
            index.Remove(nameOf(open.back()));
        }
        open.pop_back();
        iParent = open.empty() ? iContainer : open.back().iElem;
    }
    return iFirst;
}
