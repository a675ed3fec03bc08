#include "app/xml_highlighter.h"

#include <QColor>
#include <QRegularExpression>
#include <QTextDocument>

namespace {

QTextCharFormat Coloured(const QColor& colour, bool bold = false, bool italic = false) {
    QTextCharFormat format;
    format.setForeground(colour);
    if (bold)
        format.setFontWeight(QFont::DemiBold);
    format.setFontItalic(italic);
    return format;
}

bool IsNameChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char(':') ||
           c == QLatin1Char('-') || c == QLatin1Char('.');
}

}  // namespace

int OmissionMarkerStart(const QString& line) {
    // Only a line that ends in "]" is looked at closely: most lines are answered by one compare.
    if (!line.endsWith(QLatin1Char(']')))
        return -1;
    static const QRegularExpression kMarker(
        QStringLiteral(" \\.\\.\\. \\[[0-9,]+ more bytes?(; [^\\]]* holds all)?\\]$"));
    const int start = static_cast<int>(line.lastIndexOf(QLatin1String(" ... [")));
    if (start < 0)
        return -1;
    return kMarker.match(line, start, QRegularExpression::NormalMatch,
                         QRegularExpression::AnchorAtOffsetMatchOption)
                   .hasMatch()
               ? start
               : -1;
}

XmlHighlighter::XmlHighlighter(QTextDocument* document)
    : QSyntaxHighlighter(document),
      m_tag(Coloured(QColor(0x1a, 0x4d, 0x99), true)),
      m_attribute(Coloured(QColor(0x8a, 0x3f, 0x00))),
      m_value(Coloured(QColor(0x0b, 0x70, 0x22))),
      m_cdata(Coloured(QColor(0x60, 0x60, 0x60))),
      m_comment(Coloured(QColor(0x80, 0x80, 0x80), false, true)),
      m_instruction(Coloured(QColor(0x7a, 0x28, 0x8a))),
      m_marker(Coloured(QColor(0xb0, 0x30, 0x30), false, true)) {}

void XmlHighlighter::highlightBlock(const QString& text) {
    const int marker = OmissionMarkerStart(text);
    // The bytes before the marker are coloured as markup; the marker is not part of them.
    const int n = marker >= 0 ? marker : static_cast<int>(text.size());
    int state = previousBlockState() < 0 ? kText : previousBlockState();
    int i = 0;
    // Colours from `from` up to and including the end marker `end`, looked for from
    // `searchFrom` on (or to the line's end), and returns where the scan goes on; the state
    // stays `inside` when the marker is not on this line.
    auto runTo = [&](int from, int searchFrom, const QString& end, const QTextCharFormat& format,
                     int inside) {
        const int at = static_cast<int>(QStringView(text).left(n).indexOf(end, searchFrom));
        if (at < 0) {
            setFormat(from, n - from, format);
            state = inside;
            return n;
        }
        setFormat(from, at + static_cast<int>(end.size()) - from, format);
        state = kText;
        return at + static_cast<int>(end.size());
    };
    while (i < n) {
        switch (state) {
            case kComment:
                i = runTo(i, i, QStringLiteral("-->"), m_comment, kComment);
                continue;
            case kCData:
                i = runTo(i, i, QStringLiteral("]]>"), m_cdata, kCData);
                continue;
            case kInstruction:
                i = runTo(i, i, QStringLiteral("?>"), m_instruction, kInstruction);
                continue;
            case kDeclaration:
                i = runTo(i, i, QStringLiteral(">"), m_instruction, kDeclaration);
                continue;
            case kQuoted:
            case kApostrophed: {
                const QChar quote = QLatin1Char(state == kQuoted ? '"' : '\'');
                const int close = static_cast<int>(QStringView(text).left(n).indexOf(quote, i));
                const int end = close < 0 ? n : close + 1;
                setFormat(i, end - i, m_value);
                i = end;
                if (close >= 0)
                    state = kTag;
                continue;
            }
            case kTag: {
                // Attributes and values up to the tag's ">" (a ">" inside quotes does not end it).
                const QChar c = text[i];
                if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
                    state = c == QLatin1Char('"') ? kQuoted : kApostrophed;
                    setFormat(i, 1, m_value);
                    ++i;
                } else if (c == QLatin1Char('>') || c == QLatin1Char('/') ||
                           c == QLatin1Char('?')) {
                    setFormat(i, 1, m_tag);
                    ++i;
                    if (c == QLatin1Char('>'))
                        state = kText;
                } else if (IsNameChar(c)) {
                    int end = i;
                    while (end < n && IsNameChar(text[end]))
                        ++end;
                    setFormat(i, end - i, m_attribute);
                    i = end;
                } else {
                    ++i;
                }
                continue;
            }
            default:
                break;
        }
        // Plain text: look for the next markup.
        const int lt = static_cast<int>(QStringView(text).left(n).indexOf(QLatin1Char('<'), i));
        if (lt < 0)
            break;
        const QStringView rest = QStringView(text).left(n).mid(lt);
        // An end marker counts only after the whole opening: "<!-->" opens a comment.
        if (rest.startsWith(QLatin1String("<!--"))) {
            i = runTo(lt, lt + 4, QStringLiteral("-->"), m_comment, kComment);
        } else if (rest.startsWith(QLatin1String("<![CDATA["))) {
            i = runTo(lt, lt + 9, QStringLiteral("]]>"), m_cdata, kCData);
        } else if (rest.startsWith(QLatin1String("<?"))) {
            i = runTo(lt, lt + 2, QStringLiteral("?>"), m_instruction, kInstruction);
        } else if (rest.startsWith(QLatin1String("<!"))) {
            i = runTo(lt, lt + 2, QStringLiteral(">"), m_instruction, kDeclaration);
        } else {
            // "<" or "</" and the element's name.
            int end = lt + 1;
            if (end < n && text[end] == QLatin1Char('/'))
                ++end;
            while (end < n && IsNameChar(text[end]))
                ++end;
            if (end == lt + 1) {  // a lone "<" in text
                i = end;
                continue;
            }
            setFormat(lt, end - lt, m_tag);
            state = kTag;
            i = end;
        }
    }
    if (marker >= 0) {
        setFormat(marker, static_cast<int>(text.size()) - marker, m_marker);
        state = kText;
    }
    setCurrentBlockState(state);
}
