#include "codec/xml_document.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

constexpr int kSegBits = 16;
constexpr int kSegSize = 1 << kSegBits;  // records per full segment

const ElemRecord kNoRecord{};

// Every segment's block holds a full segment of records whatever the capacity says, so that
// the array grows within a segment without moving a record. Blocks are not zero-filled (NewPos
// clears each record as it hands it out). A few blocks are kept per thread for the next
// document: the receive thread parses one event after another, and fresh blocks would cost a
// page fault per 128 records each time.
class BlockStore {
  public:
    ~BlockStore() {
        for (int k = 0; k < count_; ++k) {
            delete[] blocks_[k];
        }
    }
    ElemRecord* Take() { return count_ > 0 ? blocks_[--count_] : new ElemRecord[kSegSize]; }
    void Give(ElemRecord* block) {
        if (count_ < kKept) {
            blocks_[count_++] = block;
        } else {
            delete[] block;
        }
    }

  private:
    static constexpr int kKept = 2;  // 4 MB at most per thread
    ElemRecord* blocks_[kKept] = {};
    int count_ = 0;
};

thread_local BlockStore t_blocks;

}  // namespace

void CXmlDocument::SegmentRelease::operator()(ElemRecord* block) const {
    t_blocks.Give(block);
}

CXmlDocument::CXmlDocument(const char* text, int length) {
    SetDoc(text, length);
}

CXmlDocument::CXmlDocument(BorrowTag, std::string_view text)
    : m_text(text.empty() ? std::string_view("", 0)
                          : text.substr(0, static_cast<std::size_t>(INT_MAX))),
      m_bBorrowed(true) {
    ParseDoc();
}

CXmlDocument CXmlDocument::Borrowing(std::string_view text) {
    return CXmlDocument(BorrowTag{}, text);
}

CXmlDocument::~CXmlDocument() = default;
CXmlDocument::CXmlDocument(CXmlDocument&& other) noexcept {
    *this = std::move(other);
}

CXmlDocument& CXmlDocument::operator=(CXmlDocument&& other) noexcept {
    if (this != &other) {
        m_strDoc = std::move(other.m_strDoc);
        // A kept copy may have moved its bytes (a short text lies inside the string itself).
        m_bBorrowed = other.m_bBorrowed;
        m_text = m_bBorrowed ? other.m_text : std::string_view(m_strDoc);
        m_result = std::move(other.m_result);
        m_strError = std::move(other.m_strError);
        std::copy_n(other.m_iPos, 3, m_iPos);
        m_iPosFree = other.m_iPosFree;
        m_nNodeType = other.m_nNodeType;
        m_pSegs = std::move(other.m_pSegs);
        m_nPosCapacity = other.m_nPosCapacity;
        m_nSegSlots = other.m_nSegSlots;
        m_longStartTags = std::move(other.m_longStartTags);
        m_longEndTags = std::move(other.m_longEndTags);
        // The source is left as a document never parsed: every operation fails harmlessly.
        other.m_strDoc.clear();
        other.m_text = std::string_view();
        other.m_bBorrowed = false;
        other.SetError({});
        other.ResetPos();
        other.m_iPosFree = 1;
        other.m_nPosCapacity = 0;
        other.m_nSegSlots = 0;
        other.m_longStartTags.clear();
        other.m_longEndTags.clear();
    }
    return *this;
}

void CXmlDocument::SetDoc(const char* text, int length) {
    if (text == nullptr || length <= 0) {
        m_strDoc.clear();
    } else {
        m_strDoc.assign(text, static_cast<size_t>(length));
    }
    m_text = m_strDoc;
    m_bBorrowed = false;
    SetError({});
    ParseDoc();
}

bool CXmlDocument::IsWellFormed() const {
    if (m_nPosCapacity == 0) {
        return false;
    }
    const ElemRecord& doc = Rec(0);
    return !(doc.nFlags & ElemRecord::kIllFormed) && doc.iFirstChild != 0 &&
           Rec(doc.iFirstChild).iNext == 0;
}

const ElemRecord& CXmlDocument::Elem(int i) const {
    if (i < 0 || i >= m_iPosFree || i >= m_nPosCapacity) {
        return kNoRecord;
    }
    return Rec(i);
}

int CXmlDocument::StartTagLength(int i) const {
    const ElemRecord& r = Elem(i);
    const uint32_t packed = r.PackedStartTagLength();
    if (packed != ElemRecord::kStartTagMax) {
        return static_cast<int>(packed);
    }
    const auto it = m_longStartTags.find(i);
    return it == m_longStartTags.end() ? 0 : it->second;
}

int CXmlDocument::EndTagLength(int i) const {
    const ElemRecord& r = Elem(i);
    const uint32_t packed = r.PackedEndTagLength();
    if (packed != ElemRecord::kEndTagMax) {
        return static_cast<int>(packed);
    }
    const auto it = m_longEndTags.find(i);
    return it == m_longEndTags.end() ? 0 : it->second;
}

void CXmlDocument::SetTagLengths(int i, int startLength, int endLength) {
    uint32_t start = static_cast<uint32_t>(startLength);
    if (start >= ElemRecord::kStartTagMax) {
        m_longStartTags[i] = startLength;
        start = ElemRecord::kStartTagMax;
    }
    Rec(i).nTagLengths = start;
    SetEndTagLength(i, endLength);
}

void CXmlDocument::SetEndTagLength(int i, int endLength) {
    uint32_t end = static_cast<uint32_t>(endLength);
    if (end >= ElemRecord::kEndTagMax) {
        m_longEndTags[i] = endLength;
        end = ElemRecord::kEndTagMax;
    }
    ElemRecord& r = Rec(i);
    r.nTagLengths = (r.nTagLengths & ElemRecord::kStartTagMax) | (end << ElemRecord::kEndTagShift);
}

void CXmlDocument::ResetPos() {
    m_iPos[0] = m_iPos[1] = m_iPos[2] = 0;
    m_nNodeType = 0;
}

int CXmlDocument::NewPos() {
    if (m_iPosFree == m_nPosCapacity) {
        GrowPosArray(0);
    }
    const int i = m_iPosFree++;
    Rec(i) = ElemRecord{};
    return i;
}

// Capacity grows as the records are asked for, never by more than one new segment per step;
// the blocks behind it are full segments (see BlockStore), so nothing is copied.
void CXmlDocument::GrowPosArray(int size) {
    if (size == 0) {
        size = m_iPosFree + m_iPosFree / 2;
    }
    if (m_nPosCapacity >= size) {
        return;
    }
    // Segment of the last existing record (-1 when there is none).
    const int lastSeg = m_nPosCapacity > 0 ? (m_nPosCapacity - 1) >> kSegBits : -1;
    int newLastSeg = (size - 1) >> kSegBits;
    if (newLastSeg > lastSeg + 1) {
        // Never more than one new segment per step.
        newLastSeg = lastSeg + 1;
        size = (newLastSeg + 1) << kSegBits;
    }
    if (m_nSegSlots <= newLastSeg) {
        const int slots = newLastSeg * 2 + 4;
        auto table = std::make_unique<Segment[]>(slots);
        for (int s = 0; s < m_nSegSlots; ++s) {
            table[s] = std::move(m_pSegs[s]);
        }
        m_pSegs = std::move(table);
        m_nSegSlots = slots;
    }
    if (!m_pSegs[newLastSeg]) {
        m_pSegs[newLastSeg].reset(t_blocks.Take());
    }
    m_nPosCapacity = size;
}
