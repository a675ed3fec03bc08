#include "receive/event_decoder.h"

#include <climits>

#include "codec/xml_document.h"
#include "receive/archive_writer.h"

PictureCounter g_nPictureId;

std::string PictureCounter::Draw() {
    // Unsigned arithmetic wraps without overflow; read back as int it goes from INT_MAX to
    // INT_MIN.
    return "id" + std::to_string(static_cast<int>(next_.fetch_add(1)));
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

// One face-match picture: <element>/ImageData/Base64Data, leaving every level entered.
void FileMatchPicture(CXmlDocument& doc, const PictureArchive& archive, DecodeResult& result,
                      const char* element, const char* kind, const std::string& number) {
    if (!doc.FindElem(element)) {
        return;
    }
    doc.IntoElem();
    if (doc.FindElem("ImageData")) {
        doc.IntoElem();
        if (doc.FindElem("Base64Data")) {
            FileData(doc, archive, result, kind, number);
        }
        doc.OutOfElem();
    }
    doc.OutOfElem();
}

}  // namespace

DecodeResult DecodeEvent(const PictureArchive& archive, const char* body, int length) {
    DecodeResult result;
    CXmlDocument doc = CXmlDocument::Borrowing(std::string_view(
        body, body == nullptr || length < 0 ? 0 : static_cast<std::size_t>(length)));
    if (!doc.FindElem("config")) {
        return result;
    }
    doc.IntoElem();
    if (doc.FindElem("smartType")) {
        result.smartType = doc.GetData();
    }

    if (result.smartType == "VFD_MATCH") {
        const std::string number = DrawPictureNumber();
        FileMatchPicture(doc, archive, result, "snapData", "snap", number);
        FileMatchPicture(doc, archive, result, "albumData", "album", number);
        FileMatchPicture(doc, archive, result, "sourceData", "src", number);
        return result;
    }

    if (doc.FindElem("sourceDataInfo")) {
        doc.IntoElem();
        if (doc.FindElem("sourceBase64Data")) {
            FileData(doc, archive, result, "src", DrawPictureNumber());
        }
        doc.OutOfElem();
    }
    if (!doc.FindElem("listInfo")) {
        return result;
    }
    const int count = ParseItemCount(doc.GetAttrib("count"));
    doc.IntoElem();
    // Once no further item is found none will be: stop there rather than count on.
    for (int i = 0; i < count && doc.FindElem("item"); ++i) {
        doc.IntoElem();
        if (doc.FindElem("targetImageData")) {
            doc.IntoElem();
            if (doc.FindElem("targetBase64Data") && doc.GetAttrib("type") == "string") {
                FileData(doc, archive, result, "target", DrawPictureNumber());
            }
            doc.OutOfElem();
        }
        doc.OutOfElem();
    }
    doc.OutOfElem();
    return result;
}
