#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "codec/xml_elem_record.h"

// The first problem a parse met: what it is, where, and the names its message quotes. The
// message text (GetError) is made from these and nothing else.
struct XmlParseResult {
    enum class Status {
        Ok,
        EmptyDocument,   // "Empty document"
        NoRootElement,   // "No root element"
        RootHasSibling,  // "Root element has sibling"
        NoStartTag,      // "No start tag for end tag '<name>' at offset <offset>"
        EndTagMismatch,  // "End tag '<name>' at offset <offset> does not match start tag
                         //  '<otherName>' at offset <otherOffset>"
        NotEnded,        // "Element '<name>' at offset <offset> not ended"
        Incorrect,       // "Incorrect <name> at offset <offset>" (name: "tag name character",
                         //  "! tag", "comment tag" or "tag")
        Unterminated,    // "<name> at offset <offset> unterminated" (name: "Comment", "tag", ...)
    };
    Status status = Status::Ok;
    int offset = 0;
    std::string name;
    int otherOffset = 0;
    std::string otherName;

    // True for a parse that met no problem.
    bool Ok() const { return status == Status::Ok; }
    // The message; "" for Ok.
    std::string Text() const;
};

// An XML document read in one forward pass that records only elements (where their tags lie
// in the text and how they are linked), then walked with FindElem / IntoElem / OutOfElem and
// read with GetData / GetAttrib. The text is a kept copy, or the caller's own bytes for a
// document made by Borrowing. A parse never fails hard: problems end up in
// GetError() and IsWellFormed(), and every element recognised stays navigable.
class CXmlDocument {
  public:
    // Node type codes of the node scanner.
    enum NodeType {
        kNodeEndTag = 0,
        kNodeElement = 1,
        kNodeText = 2,
        kNodeWhitespace = 4,
        kNodeCData = 8,
        kNodeProcessingInstruction = 16,
        kNodeComment = 32,
        kNodeDocType = 64,  // also <!ELEMENT, <!ATTLIST, <!NOTATION, <!ENTITY
        kNodeError = -1,
        kNodeEndOfDoc = -2,  // returned only; no node
    };

    // A window on the document text. Offsets are byte offsets into pText.
    struct Token {
        int nFirst = 0;  // first byte (an end tag's name after ParseNode)
        int nLast = -1;  // last byte; nFirst - 1 when empty
        int nNext = 0;   // where the next scan starts
        const char* pText = nullptr;
        int nEnd = 0;  // scanning never reaches this offset (the text's length)
    };

    // One scanned node.
    struct NodeRecord {
        static constexpr int kSelfClosing = 1 << 16;  // element start tag closing itself
        int nType = 0;
        int nStart = 0;
        int nLength = 0;
        int nFlags = 0;
        int nNameStart = 0;    // tag name of a start tag, target of a processing instruction
        int nNameLength = 0;   // 0 for other nodes
        XmlParseResult error;  // the problem met in an error node; Ok for other nodes
    };

    // Copies length bytes of text and parses them. Null text or length <= 0 gives an empty
    // document ("Empty document").
    CXmlDocument(const char* text, int length);
    // Parses the caller's bytes where they lie, without a copy; everything else is as for a
    // copy. The bytes must stay alive and unchanged while the document (or one moved from it)
    // is used. An empty view gives an empty document; bytes past INT_MAX are not read.
    static CXmlDocument Borrowing(std::string_view text);
    ~CXmlDocument();
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;
    // Moving leaves the source an empty, never parsed document (all navigation fails).
    CXmlDocument(CXmlDocument&&) noexcept;
    CXmlDocument& operator=(CXmlDocument&&) noexcept;

    // Replaces the text with a copy of length bytes (null text or length <= 0: empty), also in
    // a borrowing document, clears the error and parses again; the position goes back to
    // document level.
    void SetDoc(const char* text, int length);
    // True when there is exactly one top-level element and no error was met below it.
    bool IsWellFormed() const;
    // The message of the first problem met by the last parse (document-level problems win);
    // "" after a clean one.
    const std::string& GetError() const { return m_strError; }
    // That problem itself.
    const XmlParseResult& GetParseResult() const { return m_result; }
    // The document text: the kept copy, or the borrowed bytes.
    std::string_view GetDoc() const { return m_text; }
    // True when the text is the caller's (Borrowing and not replaced since).
    bool BorrowsText() const { return m_bBorrowed; }

    // Finds the next sibling after the current element (or the first child of the parent
    // when none is current) whose tag name matches name; null or "" takes the next element of
    // any name. Names compare case-sensitively; "item" also matches "item[2]" and "item=x".
    // On failure returns false and leaves the position unchanged.
    bool FindElem(const char* name = nullptr);
    // Steps into the current element (its children become the candidates); false, position
    // unchanged, when there is no current element.
    bool IntoElem();
    // Steps back out; the element left becomes current again. False at document level.
    bool OutOfElem();
    // Text content of the current element (the document when none is current), references
    // decoded and CDATA kept verbatim; "" when it has child elements, is empty or not ended.
    std::string GetData() const;
    // GetData's result as a view into the text when it needs no decoding (no markup and no
    // "&" in the content; an empty result counts too): true and text set. False, text empty,
    // when GetData has to build it. The view lives as long as the text.
    bool GetDataView(std::string_view& text) const;
    // GetData's result in out (what it held replaced, its memory reused); content that needs
    // no decoding is copied in the same pass that checks it.
    void GetData(std::string& out) const;
    // Value of attribute name of the current element, unquoted and decoded; the attribute's
    // own name when it has no value; "" when absent, name is null or nothing is current.
    std::string GetAttrib(const char* name) const;
    // Copies len bytes of text (len -1: up to the NUL) decoding &lt; &amp; &gt; &apos; &quot;
    // and &#N; / &#xN; (up to 0x10FFFF, as UTF-8; 0 and larger values stay as written).
    // Malformed references are copied unchanged; never reads past len. Null text gives "".
    static std::string UnescapeText(const char* text, int len);

    // Records in use, record 0 included (1 for a document without elements).
    int ElemCount() const { return m_iPosFree; }
    // Record i; a zeroed record for an index out of range.
    const ElemRecord& Elem(int i) const;
    // Exact start-tag length of element i, also for tags too long for the packed word; 0 for
    // record 0 and for indices out of range.
    int StartTagLength(int i) const;
    // Exact end-tag length of element i (0 when it closes itself or is not ended).
    int EndTagLength(int i) const;
    // Records the element array provides (0 before any parse).
    int Capacity() const { return m_nPosCapacity; }
    // Navigation position: element searched below (0: document level), element found last
    // (0: none), element to resume at on the next IntoElem (0: none).
    int ParentPos() const { return m_iPos[0]; }
    int CurrentPos() const { return m_iPos[1]; }
    int ChildPos() const { return m_iPos[2]; }

    // Scans one node starting at token.nNext into node and moves token.nNext past it;
    // returns the node type. Returns kNodeEndOfDoc (node length 0) at token.nEnd or at a NUL
    // byte where a node would begin. Never reads at or past token.nEnd.
    static int ParseNode(Token& token, NodeRecord& node);

  private:
    struct BorrowTag {};
    CXmlDocument(BorrowTag, std::string_view text);
    bool ParseDoc();
    // Content range [begin, end) of the current element for GetData; false when GetData is ""
    // without looking at the content.
    bool DataRange(int& begin, int& end) const;
    int ParseElem(int iContainer, Token& token);
    int NewPos();
    void GrowPosArray(int size);
    ElemRecord& Rec(int i) { return m_pSegs[i >> 16][i & 0xFFFF]; }
    const ElemRecord& Rec(int i) const { return m_pSegs[i >> 16][i & 0xFFFF]; }
    void SetTagLengths(int i, int startLength, int endLength);
    void SetEndTagLength(int i, int endLength);
    void ResetPos();

    std::string m_strDoc;      // the kept copy; empty while borrowing
    std::string_view m_text;   // the text parsed: m_strDoc or the borrowed bytes
    bool m_bBorrowed = false;  // m_text is the caller's
    XmlParseResult m_result;
    std::string m_strError;  // m_result.Text(), made once per parse
    // Keeps the first problem of a parse (and its text).
    void SetError(XmlParseResult result);
    int m_iPos[3] = {0, 0, 0};  // parent, current, child
    int m_iPosFree = 1;
    int m_nNodeType = 0;
    // Hands a segment's block back to its thread's small store of blocks for the next parse.
    struct SegmentRelease {
        void operator()(ElemRecord* block) const;
    };
    using Segment = std::unique_ptr<ElemRecord[], SegmentRelease>;
    std::unique_ptr<Segment[]> m_pSegs;
    int m_nPosCapacity = 0;
    int m_nSegSlots = 0;
    // Exact tag lengths of elements whose tags overflow the packed word.
    std::unordered_map<int, int> m_longStartTags;
    std::unordered_map<int, int> m_longEndTags;
};
