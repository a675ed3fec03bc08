#include "app/request_text.h"

#include "session/request_text.h"

QString BytesForDisplay(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string EditedTextToRequestBytes(const QString& text) {
    // The editor separates its paragraphs with U+2029 internally; plain text gives LF.
    QString plain = text;
    plain.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    plain.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return WithCrLfLineEnds(plain.toStdString());
}
