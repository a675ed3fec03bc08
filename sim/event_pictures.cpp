#include "sim/event_pictures.h"

#include <QBuffer>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>

namespace {

constexpr int kCommentOverhead = 4;        // marker (2 bytes) and length (2 bytes)
constexpr int kMaxCommentPayload = 65533;  // the length field counts itself
constexpr int kBase64LineLength = 76;

}  // namespace

QByteArray DrawEventPicture(const PictureContent& content) {
    const int w = qMax(16, content.width);
    const int h = qMax(16, content.height);
    QImage image(w, h, QImage::Format_RGB32);
    const int hue = (content.sequence * 47 + int(qHash(content.kind) % 360)) % 360;
    image.fill(QColor::fromHsv(hue, 90, 200));
    {
        QPainter painter(&image);
        // The sequence number as 16 bars, light for 1 and dark for 0, along the bottom.
        const int barWidth = qMax(1, w / 16);
        const int barHeight = qMax(2, h / 8);
        for (int bit = 0; bit < 16; ++bit) {
            const bool set = (content.sequence >> (15 - bit)) & 1;
            painter.fillRect(bit * barWidth, h - barHeight, barWidth, barHeight,
                             set ? Qt::white : Qt::black);
        }
        painter.setPen(Qt::black);
        QFont font = painter.font();
        font.setPixelSize(qMax(8, h / 10));
        painter.setFont(font);
        const QString text = content.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) +
                             "\n" + content.smartType + " " + content.kind + "\n#" +
                             QString::number(content.sequence);
        painter.drawText(QRect(4, 4, w - 8, h - barHeight - 8), Qt::AlignLeft | Qt::AlignTop, text);
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPG", 85))
        return {};
    return PadJpeg(jpeg, content.padToBytes);
}

QByteArray PadJpeg(const QByteArray& jpeg, int minBytes) {
    if (jpeg.size() < 2 || quint8(jpeg[0]) != 0xFF || quint8(jpeg[1]) != 0xD8 ||
        jpeg.size() >= minBytes) {
        return jpeg;
    }
    qsizetype missing = minBytes - jpeg.size();
    QByteArray segments;
    segments.reserve(missing + kCommentOverhead);
    while (missing > 0) {
        const int payload =
            int(qBound<qsizetype>(0, missing - kCommentOverhead, qsizetype(kMaxCommentPayload)));
        const int length = payload + 2;
        segments += char(0xFF);
        segments += char(0xFE);
        segments += char(length >> 8);
        segments += char(length & 0xFF);
        segments += QByteArray(payload, 'P');
        missing -= payload + kCommentOverhead;
    }
    return jpeg.left(2) + segments + jpeg.mid(2);
}

QByteArray Base64Text(const QByteArray& bytes, bool lineBreaks) {
    const QByteArray plain = bytes.toBase64();
    if (!lineBreaks)
        return plain;
    QByteArray out;
    out.reserve(plain.size() + plain.size() / kBase64LineLength * 2);
    for (qsizetype i = 0; i < plain.size(); i += kBase64LineLength) {
        out += plain.mid(i, kBase64LineLength);
        out += "\r\n";
    }
    return out;
}
