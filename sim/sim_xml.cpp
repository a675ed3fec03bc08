#include "sim/sim_xml.h"

#include <QXmlStreamReader>

#include "catalogue/builtin_interfaces.h"

namespace {

// Offset just past the end of the markup that starts at i ("<?...?>", "<!--...-->",
// "<!DOCTYPE ...[...]>" or a tag, quotes respected); -1 when it does not end.
qsizetype MarkupEnd(const QByteArray& doc, qsizetype i) {
    if (doc.mid(i, 2) == "<?") {
        const qsizetype e = doc.indexOf("?>", i + 2);
        return e < 0 ? -1 : e + 2;
    }
    if (doc.mid(i, 4) == "<!--") {
        const qsizetype e = doc.indexOf("-->", i + 4);
        return e < 0 ? -1 : e + 3;
    }
    int brackets = 0;
    char quote = 0;
    for (qsizetype j = i + 1; j < doc.size(); ++j) {
        const char c = doc[j];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            --brackets;
        } else if (c == '>' && brackets <= 0) {
            return j + 1;
        }
    }
    return -1;
}

}  // namespace

QByteArray ConfigDocument(const QByteArray& children, const QByteArray& status, int errorCode,
                          const QByteArray& errorDesc) {
    QByteArray doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config version=\"1.0\" xmlns=\"";
    doc += kDeviceNamespace;
    doc += "\" status=\"" + XmlEscape(status) + "\" errorCode=\"" + QByteArray::number(errorCode) +
           "\"";
    if (!errorDesc.isEmpty())
        doc += " errorDesc=\"" + XmlEscape(errorDesc) + "\"";
    doc += ">" + children + "</config>\n";
    return doc;
}

bool IsWellFormedXml(const QByteArray& doc) {
    QXmlStreamReader reader(doc);
    bool sawRoot = false;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement)
            sawRoot = true;
    }
    return sawRoot && !reader.hasError();
}

QByteArray RootElementName(const QByteArray& doc) {
    if (!IsWellFormedXml(doc))
        return {};
    QXmlStreamReader reader(doc);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement) {
            return reader.name().toUtf8();
        }
    }
    return {};
}

bool RootContent(const QByteArray& doc, QByteArray* content) {
    if (!IsWellFormedXml(doc))
        return false;
    // The document is well-formed, so the first markup that is not a declaration, processing
    // instruction, comment or document type is the root's start tag, and the last end tag of
    // the document is the root's.
    qsizetype i = 0;
    for (;;) {
        i = doc.indexOf('<', i);
        if (i < 0)
            return false;
        const qsizetype end = MarkupEnd(doc, i);
        if (end < 0)
            return false;
        if (doc[i + 1] == '?' || doc[i + 1] == '!') {
            i = end;
            continue;
        }
        if (doc[end - 2] == '/') {
            *content = QByteArray();
            return true;
        }
        const qsizetype close = doc.lastIndexOf("</");
        if (close < end)
            return false;
        *content = doc.mid(end, close - end);
        return true;
    }
}

namespace {

// The texts of the elements at path, at most limit of them (0: all).
QList<QByteArray> TextsAt(const QByteArray& doc, const QStringList& path, int limit) {
    QList<QByteArray> out;
    if (path.isEmpty() || !IsWellFormedXml(doc))
        return out;
    QXmlStreamReader reader(doc);
    int matched = 0;  // leading names of path matched by the open elements
    int depth = 0;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (depth != matched + 1 || reader.name() != path[matched])
                continue;
            if (matched + 1 < path.size()) {
                ++matched;
                continue;
            }
            // The whole path matched: read the text, which also consumes the end tag.
            QByteArray bytes =
                reader.readElementText(QXmlStreamReader::IncludeChildElements).toUtf8();
            if (bytes.isNull())
                bytes = QByteArray("");
            out.append(bytes);
            --depth;
            if (limit > 0 && out.size() >= limit)
                return out;
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth == matched)
                --matched;
            --depth;
        }
    }
    return out;
}

}  // namespace

QByteArray ElementText(const QByteArray& doc, const QStringList& path) {
    const QList<QByteArray> texts = TextsAt(doc, path, 1);
    return texts.isEmpty() ? QByteArray() : texts.first();
}

QList<QByteArray> ElementTexts(const QByteArray& doc, const QStringList& path) {
    return TextsAt(doc, path, 0);
}

QByteArray XmlEscape(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

QByteArray Cdata(const QByteArray& text) {
    QByteArray inner = text;
    inner.replace("]]>", "]]]]><![CDATA[>");
    return "<![CDATA[" + inner + "]]>";
}
