#include "receive/event_decoder.h"

#include <climits>
#include <new>

#include "codec/base64.h"
#include "codec/xml_document.h"
#include "receive/archive_writer.h"

PictureCounter g_nPictureId;

int PictureCounter::DrawValue() {
    // Unsigned arithmetic wraps without overflow; read back as int it goes from INT_MAX to
    // INT_MIN.
    return static_cast<int>(next_.fetch_add(1));
}

std::string PictureCounter::Draw() {
    return "id" + std::to_string(DrawValue());
}

std::string DrawPictureNumber() {
    return g_nPictureId.Draw();
}

int ParseItemCount(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                               text[i] == '\r' || text[i] == '\v' || text[i] == '\f')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) {
            value = INT_MAX;  // a count this large only means "every item"
        }
    }
    return static_cast<int>(negative ? -value : value);
}

namespace {

// The decoder's walk over a parsed body, shared by filing and listing: `draw()` draws a number
// where the rules draw one and returns it; `picture(kind, number)` is called with the element
// that holds a picture's text current (the text may be empty). Sets smartType before the first
// picture.
template <class Draw, class Picture>
void WalkEvent(CXmlDocument& doc, std::string& smartType, Draw&& draw, Picture&& picture) {
    if (!doc.FindElem("config")) {
        return;
    }
    doc.IntoElem();
    if (doc.FindElem("smartType")) {
        smartType = doc.GetData();
    }

    if (smartType == "VFD_MATCH") {
        const auto number = draw();
        // One face-match picture: <element>/ImageData/Base64Data, leaving every level entered.
        for (const auto& [element, kind] :
             {std::pair{"snapData", "snap"}, std::pair{"albumData", "album"},
              std::pair{"sourceData", "src"}}) {
            if (!doc.FindElem(element)) {
                continue;
            }
            doc.IntoElem();
            if (doc.FindElem("ImageData")) {
                doc.IntoElem();
                if (doc.FindElem("Base64Data")) {
                    picture(kind, number);
                }
                doc.OutOfElem();
            }
            doc.OutOfElem();
        }
        return;
    }

    if (doc.FindElem("sourceDataInfo")) {
        doc.IntoElem();
        if (doc.FindElem("sourceBase64Data")) {
            picture("src", draw());
        }
        doc.OutOfElem();
    }
    if (!doc.FindElem("listInfo")) {
        return;
    }
    const int count = ParseItemCount(doc.GetAttrib("count"));
    doc.IntoElem();
    // Once no further item is found none will be: stop there rather than count on.
    for (int i = 0; i < count && doc.FindElem("item"); ++i) {
        doc.IntoElem();
        if (doc.FindElem("targetImageData")) {
            doc.IntoElem();
            if (doc.FindElem("targetBase64Data") && doc.GetAttrib("type") == "string") {
                picture("target", draw());
            }
            doc.OutOfElem();
        }
        doc.OutOfElem();
    }
    doc.OutOfElem();
}

void File(const PictureArchive& archive, DecodeResult& result, std::string_view base64,
          const char* kind, const std::string& number) {
    std::string path = SavePicture(archive, base64, result.smartType, kind, number);
    if (!path.empty()) {
        result.pictures.push_back(std::move(path));
    }
}

// Files the current element's text: viewed where it lies when it is plain, else decoded first.
// With a writer, plain text is lent to it when the archive has a loan, else copied for it
// (plain text checked in the same pass).
void FileData(const CXmlDocument& doc, const PictureArchive& archive, DecodeResult& result,
              const char* kind, const std::string& number) {
    std::string_view view;
    if (archive.writer != nullptr && archive.loan != nullptr && doc.BorrowsText() &&
        doc.GetDataView(view)) {
        if (!view.empty()) {
            archive.writer->QueuePicture(PicturePath(archive, result.smartType, kind, number), view,
                                         *archive.loan);
        }
        return;
    }
    if (archive.writer != nullptr) {
        std::string base64 = archive.writer->TakeText();
        doc.GetData(base64);
        if (!base64.empty()) {
            archive.writer->QueuePicture(PicturePath(archive, result.smartType, kind, number),
                                         std::move(base64));
        }
        return;
    }
    if (doc.GetDataView(view)) {
        File(archive, result, view, kind, number);
    } else {
        File(archive, result, doc.GetData(), kind, number);
    }
}

std::string_view Body(const char* body, int length) {
    return std::string_view(body,
                            body == nullptr || length < 0 ? 0 : static_cast<std::size_t>(length));
}

}  // namespace

DecodeResult DecodeEvent(const PictureArchive& archive, const char* body, int length) {
    DecodeResult result;
    CXmlDocument doc = CXmlDocument::Borrowing(Body(body, length));
    result.wellFormed = doc.IsWellFormed();
    WalkEvent(
        doc, result.smartType,
        [&result] {
            const int value = g_nPictureId.DrawValue();
            if (result.numbersDrawn++ == 0) {
                result.firstNumber = value;
            }
            return "id" + std::to_string(value);
        },
        [&](const char* kind, const std::string& number) {
            FileData(doc, archive, result, kind, number);
        });
    return result;
}

EventListing ListEvent(std::string_view body) {
    EventListing listing;
    CXmlDocument doc = CXmlDocument::Borrowing(body);
    listing.wellFormed = doc.IsWellFormed();
    WalkEvent(
        doc, listing.smartType, [&listing] { return listing.numbersDrawn++; },
        [&](const char* kind, int number) {
            EventPictureText picture;
            picture.kind = kind;
            picture.number = number;
            if (doc.GetDataView(picture.text)) {
                picture.inBody = true;
            } else {
                doc.GetData(picture.decoded);
            }
            if (!picture.text.empty() || !picture.decoded.empty()) {
                listing.pictures.push_back(std::move(picture));
            }
        });
    // Views into the decoded texts are made once the vector no longer moves its elements.
    for (EventPictureText& picture : listing.pictures) {
        if (!picture.inBody) {
            picture.text = picture.decoded;
        }
    }
    return listing;
}

BodyXml CheckBodyXml(std::string_view body, std::string* problem) {
    const std::size_t first = body.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos || body[first] != '<') {
        return BodyXml::None;
    }
    const CXmlDocument doc = CXmlDocument::Borrowing(body);
    if (doc.IsWellFormed()) {
        return BodyXml::WellFormed;
    }
    if (problem != nullptr) {
        *problem = doc.GetError();
    }
    return BodyXml::Broken;
}

bool DecodePictureText(std::string_view base64, std::string& bytes) {
    const int textLength = static_cast<int>(std::min<std::size_t>(base64.size(), INT_MAX));
    try {
        bytes.resize(static_cast<std::size_t>(Base64DecodedSize(textLength)));
    } catch (const std::bad_alloc&) {
        return false;
    }
    const int count =
        Base64Decode(base64.data(), textLength, reinterpret_cast<unsigned char*>(bytes.data()));
    bytes.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    return true;
}
