#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// What a drawn picture shows and how large it is.
struct PictureContent {
    QString kind;        // "snap", "album", "src", "target1", ... (written on the picture)
    QString smartType;   // written on the picture
    int sequence = 0;    // event number, written on the picture and encoded as bars
    int width = 640;     // pixels; below 16 counts as 16
    int height = 360;    // pixels; below 16 counts as 16
    int padToBytes = 0;  // > 0: the file is padded to at least this many bytes
    QDateTime time;      // written on the picture to the millisecond
};

// A JPEG file showing the time, smart type, kind and sequence number of the content (the
// sequence also as a row of bars, so pictures differ even where no font is installed).
// Padding goes into JPEG comment segments right after the start marker, so the file stays
// a valid picture of the same pixels. Empty only when encoding fails.
QByteArray DrawEventPicture(const PictureContent& content);

// Inserts JPEG comment segments after the start marker until the file has at least
// minBytes bytes (at most 3 bytes more). Files without a start marker, or already large
// enough, are returned unchanged.
QByteArray PadJpeg(const QByteArray& jpeg, int minBytes);

// Standard Base64 (RFC 4648, "=" padding); with lineBreaks in MIME lines: a CR LF follows
// every 76 characters and the last line, as mail encoders and many devices write it.
QByteArray Base64Text(const QByteArray& bytes, bool lineBreaks);
