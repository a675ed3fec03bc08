#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include "sim/simulator_options.h"

// The smart type of a face-match event.
inline constexpr const char kFaceMatchType[] = "VFD_MATCH";

// One picture of a pushed event, as the JPEG bytes that its Base64 text encodes.
struct PushedPicture {
    QString kind;  // "snap", "album", "src", or "target1", "target2", ... in listInfo order
    QByteArray jpeg;
};

// One pushed event: its XML body, the whole HTTP POST message and its pictures.
struct PushedEvent {
    int sequence = 0;
    QString smartType;
    QByteArray body;     // from "<?xml" to the end
    QByteArray message;  // request line, headers (with Content-Length of body) and body
    QList<PushedPicture> pictures;
};

// Builds event number sequence of smartType as docs/device-protocol.md shapes it: a face
// match (VFD_MATCH) carries snap, album and source pictures; any other type a source picture
// and options.targetCount target pictures in listInfo. Picture sizes, padding and Base64 line
// breaks follow the options; time stamps come from now.
PushedEvent BuildPushedEvent(const SimulatorOptions& options, const QString& smartType,
                             int sequence, const QDateTime& now);

// The HTTP POST of an event body: "POST /SendAlarmStatus HTTP/1.1", Host, Content-Length,
// Content-Type and Connection headers, a blank line, then the body.
QByteArray PushMessage(const QByteArray& body);

// How messages go onto the socket: each element is one write. Whole: one per message;
// Pieces: every message cut into writes of pieceBytes (at least 1); Pairs: two consecutive
// messages per write, an odd last one alone.
QList<QByteArray> CutIntoWrites(const QList<QByteArray>& messages, SimWriteMode mode,
                                int pieceBytes);
