// Parses any bytes as an XML document and walks it with every navigation operation. Checks
// that the element records stay inside the text and form one tree that a walk with FindElem,
// IntoElem and OutOfElem visits exactly once per element, that failed moves leave the position
// alone, and that GetData and GetAttrib never return more bytes than the document holds.
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "codec/xml_document.h"
#include "fuzz_check.h"

namespace {

struct Position {
    int parent;
    int current;
    int child;
    bool operator==(const Position& other) const {
        return parent == other.parent && current == other.current && child == other.child;
    }
};

Position PositionOf(const CXmlDocument& doc) {
    return {doc.ParentPos(), doc.CurrentPos(), doc.ChildPos()};
}

void CheckRecords(const CXmlDocument& doc) {
    const long size = static_cast<long>(doc.GetDoc().size());
    const int count = doc.ElemCount();
    FUZZ_CHECK(count >= 1 && count <= doc.Capacity());
    for (int i = 1; i < count; ++i) {
        const ElemRecord& e = doc.Elem(i);
        FUZZ_CHECK(e.nStart >= 0 && e.nLength > 0);
        FUZZ_CHECK(static_cast<long>(e.nStart) + e.nLength <= size);
        FUZZ_CHECK(doc.GetDoc()[e.nStart] == '<');
        FUZZ_CHECK(doc.StartTagLength(i) <= e.nLength);
        FUZZ_CHECK(doc.StartTagLength(i) + doc.EndTagLength(i) <= e.nLength);
        FUZZ_CHECK(e.iParent >= 0 && e.iParent < i);
        FUZZ_CHECK(e.iNext >= 0 && e.iNext < count);
        FUZZ_CHECK(e.iFirstChild >= 0 && e.iFirstChild < count);
        FUZZ_CHECK(e.iFirstChild == 0 || doc.Elem(e.iFirstChild).iParent == i);
        FUZZ_CHECK(e.iNext == 0 || doc.Elem(e.iNext).iParent == e.iParent);
    }
}

// Depth-first walk through the navigation operations only; every element exactly once.
void CheckFullWalk(CXmlDocument& doc) {
    const int count = doc.ElemCount();
    std::vector<bool> seen(static_cast<std::size_t>(count), false);
    int visited = 0;
    long depth = 0;
    while (true) {
        if (doc.FindElem(nullptr)) {
            const int at = doc.CurrentPos();
            FUZZ_CHECK(at > 0 && at < count);
            FUZZ_CHECK(!seen[at]);
            seen[at] = true;
            ++visited;
            FUZZ_CHECK(doc.IntoElem());
            FUZZ_CHECK(doc.ParentPos() == at && doc.CurrentPos() == 0);
            ++depth;
        } else {
            if (depth == 0) {
                break;
            }
            const int left = doc.ParentPos();
            FUZZ_CHECK(doc.OutOfElem());
            FUZZ_CHECK(doc.CurrentPos() == left);
            --depth;
        }
    }
    FUZZ_CHECK(visited == count - 1);
    FUZZ_CHECK(!doc.OutOfElem());
}

std::vector<std::string> NamesIn(const CXmlDocument& doc) {
    std::vector<std::string> names = {"config", "smartType", "item", "listInfo", "count", "type"};
    const std::string_view text = doc.GetDoc();
    for (int i = 1; i < doc.ElemCount() && names.size() < 32; ++i) {
        const int start = doc.Elem(i).nStart + 1;
        int end = start;
        while (end < static_cast<int>(text.size()) && end - start < 40 && text[end] != ' ' &&
               text[end] != '>' && text[end] != '/' && text[end] != '=') {
            ++end;
        }
        names.emplace_back(text.substr(start, end - start));
    }
    return names;
}

// A walk chosen by the input: every operation, with the effects each one promises.
void CheckRandomWalk(CXmlDocument& doc, std::uint32_t seed) {
    const std::vector<std::string> names = NamesIn(doc);
    std::minstd_rand random(seed | 1);
    const std::size_t docSize = doc.GetDoc().size();
    for (int step = 0; step < 200; ++step) {
        const Position before = PositionOf(doc);
        const std::string& name = names[random() % names.size()];
        switch (random() % 6) {
            case 0: {
                const bool any = random() % 4 == 0;
                if (doc.FindElem(any ? nullptr : name.c_str())) {
                    FUZZ_CHECK(doc.CurrentPos() > 0 && doc.ChildPos() == 0);
                    FUZZ_CHECK(doc.Elem(doc.CurrentPos()).iParent == doc.ParentPos());
                    // The element found comes after the one that was current.
                    int walk = before.current != 0 ? doc.Elem(before.current).iNext
                                                   : doc.Elem(before.parent).iFirstChild;
                    while (walk != 0 && walk != doc.CurrentPos()) {
                        walk = doc.Elem(walk).iNext;
                    }
                    FUZZ_CHECK(walk == doc.CurrentPos());
                } else {
                    FUZZ_CHECK(PositionOf(doc) == before);
                }
                break;
            }
            case 1:
                if (doc.IntoElem()) {
                    FUZZ_CHECK(doc.ParentPos() == before.current);
                    FUZZ_CHECK(doc.CurrentPos() == before.child);
                } else {
                    FUZZ_CHECK(PositionOf(doc) == before);
                }
                break;
            case 2:
                if (doc.OutOfElem()) {
                    FUZZ_CHECK(doc.CurrentPos() == before.parent);
                    FUZZ_CHECK(doc.ChildPos() == before.current);
                } else {
                    FUZZ_CHECK(before.parent == 0 && PositionOf(doc) == before);
                }
                break;
            case 3:
                FUZZ_CHECK(doc.GetData().size() <= docSize);
                FUZZ_CHECK(PositionOf(doc) == before);
                break;
            default:
                FUZZ_CHECK(doc.GetAttrib(name.c_str()).size() <= docSize);
                FUZZ_CHECK(PositionOf(doc) == before);
                break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 22)) {
        return 0;
    }
    const char* text = reinterpret_cast<const char*>(data);
    CXmlDocument doc(text, static_cast<int>(size));
    doc.IsWellFormed();
    CheckRecords(doc);
    CheckFullWalk(doc);

    std::uint32_t seed = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) {
        seed = (seed ^ data[i]) * 16777619u;
    }
    doc.SetDoc(text, static_cast<int>(size));
    CheckRandomWalk(doc, seed);

    // References decode to no more bytes than they are written with; nothing past len is read.
    const int len = static_cast<int>(size / 2);
    FUZZ_CHECK(CXmlDocument::UnescapeText(text, len).size() <= static_cast<std::size_t>(len));
    return 0;
}
