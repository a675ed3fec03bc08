// Pushed events of the simulator: pictures, Base64 texts, event documents, how messages are
// cut into writes, and how the long port cuts its input into requests.

#include <QImage>
#include <QSet>
#include <QtTest>

#include "sim/event_pictures.h"
#include "sim/long_request_parser.h"
#include "sim/push_events.h"
#include "sim/sim_xml.h"

namespace {

QImage Load(const QByteArray& jpeg) {
    return QImage::fromData(jpeg, "JPG");
}

PictureSpec Spec(int sequence, const QString& kind) {
    PictureSpec s;
    s.kind = kind;
    s.smartType = "PEA";
    s.sequence = sequence;
    s.width = 320;
    s.height = 180;
    s.time = QDateTime(QDate(2026, 12, 6), QTime(8, 0));
    return s;
}

QByteArray Decode(const QByteArray& base64) {
    const auto r = QByteArray::fromBase64Encoding(
        QByteArray(base64).replace('\r', "").replace('\n', ""),
        QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    return r ? r.decoded : QByteArray();
}

}  // namespace

class SimEventsTest : public QObject {
    Q_OBJECT
  private slots:
    void base64TextBreaksEvery76Characters() {
        QByteArray bytes;
        for (int i = 0; i < 1000; ++i)
            bytes += char(i * 7);
        const QByteArray plain = Base64Text(bytes, false);
        QCOMPARE(plain, bytes.toBase64());
        const QByteArray broken = Base64Text(bytes, true);
        const QList<QByteArray> lines = broken.split('\n');
        QCOMPARE(lines.size(), int((plain.size() + 75) / 76));
        for (int i = 0; i < lines.size(); ++i) {
            if (i + 1 < lines.size()) {
                QCOMPARE(lines[i].size(), 77);  // 76 characters and the CR
                QVERIFY(lines[i].endsWith('\r'));
            } else {
                QVERIFY(!lines[i].endsWith('\r'));
            }
        }
        QCOMPARE(Decode(broken), bytes);
        // Exactly 76 characters: no break at all.
        QCOMPARE(Base64Text(QByteArray(57, 'x'), true), QByteArray(57, 'x').toBase64());
    }

    void picturesDifferAndLoad() {
        QSet<QByteArray> seen;
        for (int seq = 1; seq <= 3; ++seq) {
            for (const char* kind : {"snap", "album", "src"}) {
                const QByteArray jpeg = DrawEventPicture(Spec(seq, kind));
                QVERIFY(jpeg.startsWith("\xFF\xD8"));
                QVERIFY(jpeg.endsWith("\xFF\xD9"));
                const QImage image = Load(jpeg);
                QCOMPARE(image.size(), QSize(320, 180));
                seen.insert(jpeg);
            }
        }
        QCOMPARE(seen.size(), 9);
        // Tiny sizes are raised to 16 pixels.
        PictureSpec tiny = Spec(1, "src");
        tiny.width = 1;
        tiny.height = 0;
        QCOMPARE(Load(DrawEventPicture(tiny)).size(), QSize(16, 16));
    }

    void paddingKeepsThePictureValid() {
        const QByteArray jpeg = DrawEventPicture(Spec(5, "src"));
        const int size = int(jpeg.size());
        for (int target : {size + 1, size + 3, size + 4, 70000, 400 * 1024}) {
            const QByteArray padded = PadJpeg(jpeg, target);
            QVERIFY2(padded.size() >= target && padded.size() <= target + 3,
                     qPrintable(QString("%1 for %2").arg(padded.size()).arg(target)));
            QVERIFY(padded.startsWith("\xFF\xD8\xFF\xFE"));
            QVERIFY(padded.endsWith(jpeg.mid(2)));
            QCOMPARE(Load(padded), Load(jpeg));
        }
        QCOMPARE(PadJpeg(jpeg, 10), jpeg);
        QCOMPARE(PadJpeg("not a jpeg", 1000), QByteArray("not a jpeg"));
        PictureSpec big = Spec(6, "album");
        big.padToBytes = 100000;
        QVERIFY(DrawEventPicture(big).size() >= 100000);
    }

    void faceMatchEventCarriesThreePictures() {
        SimulatorOptions o;
        o.pictureWidth = 200;
        o.pictureHeight = 100;
        const QDateTime now = QDateTime::fromMSecsSinceEpoch(1764988800123);
        const PushedEvent e = BuildPushedEvent(o, kFaceMatchType, 17, now);
        QCOMPARE(e.message, PushMessage(e.body));
        QVERIFY(e.message.contains("\r\nContent-Length: " + QByteArray::number(e.body.size()) +
                                   "\r\n"));
        QVERIFY(e.message.startsWith("POST /SendAlarmStatus HTTP/1.1\r\nHost: 127.0.0.1\r\n"));
        QVERIFY(e.body.startsWith("<?xml"));
        QVERIFY(IsWellFormedXml(e.body));
        QCOMPARE(ElementText(e.body, {"config", "smartType"}), QByteArray("VFD_MATCH"));
        QCOMPARE(ElementText(e.body, {"config", "currentTime"}), QByteArray("1764988800123000"));
        QCOMPARE(ElementText(e.body, {"config", "snapData", "faceId"}), QByteArray("17"));
        QVERIFY(!ElementText(e.body, {"config", "albumData", "personName"}).isEmpty());
        QCOMPARE(e.pictures.size(), 3);
        const QStringList kinds = {"snap", "album", "src"};
        const QStringList parents = {"snapData", "albumData", "sourceData"};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(e.pictures[i].kind, kinds[i]);
            const QByteArray text =
                ElementText(e.body, {"config", parents[i], "ImageData", "Base64Data"});
            QCOMPARE(Decode(text), e.pictures[i].jpeg);
            const QImage image = Load(e.pictures[i].jpeg);
            QCOMPARE(ElementText(e.body, {"config", parents[i], "ImageData", "width"}).toInt(),
                     image.width());
            QCOMPARE(ElementText(e.body, {"config", parents[i], "ImageData", "height"}).toInt(),
                     image.height());
        }
        QCOMPARE(Load(e.pictures[2].jpeg).size(), QSize(200, 100));
        QCOMPARE(Load(e.pictures[0].jpeg).size(), QSize(50, 50));
    }

    void otherEventsCarryASourceAndTargets() {
        SimulatorOptions o;
        o.targetCount = 3;
        o.base64LineBreaks = true;
        const PushedEvent e = BuildPushedEvent(o, "VEHICLE", 4, QDateTime::currentDateTime());
        QVERIFY(IsWellFormedXml(e.body));
        QCOMPARE(ElementText(e.body, {"config", "smartType"}), QByteArray("VEHICLE"));
        const QByteArray source =
            ElementText(e.body, {"config", "sourceDataInfo", "sourceBase64Data"});
        // The reader folds CR LF into LF; the document itself carries CR LF only there.
        QVERIFY(source.contains('\n'));
        QVERIFY(e.body.contains("\r\n"));
        for (const QByteArray& line : source.split('\n'))
            QVERIFY(line.size() <= 76);
        QCOMPARE(ElementText(e.body, {"config", "sourceDataInfo", "sourceBase64Length"}).toInt(),
                 source.size() + source.count('\n'));
        QCOMPARE(Decode(source), e.pictures[0].jpeg);
        QVERIFY(e.body.contains("<listInfo type=\"list\" count=\"3\">"));
        const QList<QByteArray> targets = ElementTexts(
            e.body, {"config", "listInfo", "item", "targetImageData", "targetBase64Data"});
        QCOMPARE(targets.size(), 3);
        QCOMPARE(e.body.count("<targetBase64Data type=\"string\">"), 3);
        QCOMPARE(e.pictures.size(), 4);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(e.pictures[i + 1].kind, QString("target%1").arg(i + 1));
            QCOMPARE(Decode(targets[i]), e.pictures[i + 1].jpeg);
        }
        o.targetCount = 0;
        const PushedEvent none = BuildPushedEvent(o, "PEA", 5, QDateTime::currentDateTime());
        QVERIFY(none.body.contains("<listInfo type=\"list\" count=\"0\">"));
        QCOMPARE(none.pictures.size(), 1);
    }

    void messagesAreCutIntoWritesAsAsked() {
        const QList<QByteArray> m = {"aaaaa", "bbb", "cccccccc"};
        QCOMPARE(CutIntoWrites(m, SimWriteMode::Whole, 2), m);
        const QList<QByteArray> pieces = CutIntoWrites(m, SimWriteMode::Pieces, 3);
        QCOMPARE(pieces, (QList<QByteArray>{"aaa", "aa", "bbb", "ccc", "ccc", "cc"}));
        QCOMPARE(CutIntoWrites(m, SimWriteMode::Pieces, 0).size(), 16);
        QCOMPARE(CutIntoWrites(m, SimWriteMode::Pairs, 0),
                 (QList<QByteArray>{"aaaaabbb", "cccccccc"}));
        QCOMPARE(CutIntoWrites(m.mid(0, 2), SimWriteMode::Pairs, 0),
                 (QList<QByteArray>{"aaaaabbb"}));
    }

    void requestsAreCutByHeadAndLength() {
        const QByteArray a =
            "POST /SetSubscribe HTTP/1.1\r\nAuthorization: Basic eA==\r\nContent-Length: 5\r\n"
            "Keep-Alive: 300 \r\n\r\nhello";
        const QByteArray b = "\r\nPOST /CancelSubscribe HTTP/1.1\nContent-length:  2\n\nok";
        const QByteArray c = "POST /GetSubscribeInfo HTTP/1.1\r\n\r\n";
        LongRequestParser parser;
        LongRequest r;
        // Fed byte by byte, the first request is ready exactly with its last byte.
        for (qsizetype i = 0; i + 1 < a.size(); ++i) {
            parser.feed(a.mid(i, 1));
            QCOMPARE(parser.next(&r), LongRequestParser::State::NeedMore);
        }
        parser.feed(a.right(1) + b + c);
        QCOMPARE(parser.next(&r), LongRequestParser::State::Ready);
        QCOMPARE(r.method, QByteArray("POST"));
        QCOMPARE(r.target, QByteArray("/SetSubscribe"));
        QCOMPARE(r.headers.value("authorization"), QByteArray("Basic eA=="));
        QCOMPARE(r.headers.value("keep-alive"), QByteArray("300"));
        QCOMPARE(r.body, QByteArray("hello"));
        QCOMPARE(parser.next(&r), LongRequestParser::State::Ready);
        QCOMPARE(r.target, QByteArray("/CancelSubscribe"));
        QCOMPARE(r.body, QByteArray("ok"));
        QCOMPARE(parser.next(&r), LongRequestParser::State::Ready);
        QCOMPARE(r.target, QByteArray("/GetSubscribeInfo"));
        QVERIFY(r.body.isEmpty());
        QCOMPARE(parser.next(&r), LongRequestParser::State::NeedMore);
        QCOMPARE(parser.buffered(), 0);
    }

    void badRequestsBreakTheStream() {
        const auto verdict = [](const QByteArray& bytes) {
            LongRequestParser p;
            p.feed(bytes);
            LongRequest r;
            return p.next(&r);
        };
        QCOMPARE(verdict("HELLO\r\n\r\n"), LongRequestParser::State::Malformed);
        QCOMPARE(verdict("POST /x FTP/1\r\n\r\n"), LongRequestParser::State::Malformed);
        QCOMPARE(verdict("POST /x HTTP/1.1\r\nContent-Length: -1\r\n\r\n"),
                 LongRequestParser::State::Malformed);
        QCOMPARE(verdict("POST /x HTTP/1.1\r\nContent-Length: 1e3\r\n\r\n"),
                 LongRequestParser::State::Malformed);
        QCOMPARE(verdict("POST /x HTTP/1.1\r\nContent-Length: " +
                         QByteArray::number(kSimMaxRequestBodyBytes + 1) + "\r\n\r\n"),
                 LongRequestParser::State::Malformed);
        QCOMPARE(verdict("POST /x HTTP/1.1\r\nX: " + QByteArray(kSimMaxRequestHeadBytes, 'y')),
                 LongRequestParser::State::Malformed);
        // A head that is long but complete within the limit is fine.
        QCOMPARE(verdict("POST /x HTTP/1.1\r\nX: " + QByteArray(1000, 'y') + "\r\n\r\n"),
                 LongRequestParser::State::Ready);
    }
};

QTEST_MAIN(SimEventsTest)
#include "sim_events_test.moc"
