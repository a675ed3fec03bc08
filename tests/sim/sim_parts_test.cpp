// The simulator's building blocks: Digest arithmetic, credential checks, the XML helpers, the
// command line, pictures, event documents, write cuts and the long port's request reader.

#include <QImage>
#include <QtTest>

#include "sim/command_line.h"
#include "sim/device_auth.h"
#include "sim/event_pictures.h"
#include "sim/long_request_parser.h"
#include "sim/push_events.h"
#include "sim/sim_xml.h"
#include "sim_support.h"

namespace {

using Verdict = DeviceAuth::Verdict;
using State = LongRequestParser::State;

QByteArray Param(const QByteArray& challenge, const QByteArray& name) {
    return ParseDigestParams(challenge.mid(challenge.indexOf(' ') + 1)).value(name);
}

// A Digest Authorization value for the challenge, as a client computes it.
QByteArray DigestAuth(const QByteArray& challenge, const QByteArray& password,
                      const QByteArray& uri, const QByteArray& nc) {
    const QByteArray nonce = Param(challenge, "nonce");
    return "Digest username=\"ad:min\", realm=\"" + QByteArray(kSimRealm) + "\", nonce=\"" + nonce +
           "\", uri=\"" + uri + "\", cnonce=\"c0\", nc=" + nc + ", qop=auth, response=\"" +
           DigestResponse("ad:min", kSimRealm, password, "POST", uri, nonce, nc, "c0", "auth") +
           "\", opaque=\"" + Param(challenge, "opaque") + "\"";
}

QSize SizeOf(const QByteArray& jpeg) {
    return QImage::fromData(jpeg, "JPG").size();
}

}  // namespace

class SimPartsTest : public QObject {
    Q_OBJECT
  private slots:
    void digestResponseMatchesThePublishedExample() {
        // The worked example of RFC 2617, section 3.5.
        QCOMPARE(DigestResponse("Mufasa", "testrealm@host.com", "Circle Of Life", "GET",
                                "/dir/index.html", "dcd98b7102dd2f0e8b11d0f600bfb0c093", "00000001",
                                "0a4f113b", "auth"),
                 QByteArray("6629fae49393a05397450978507c4ef1"));
        const auto p = ParseDigestParams("username=\"a\\\"b, c\", Realm=x,nc=01 , b=\"open");
        QCOMPARE(p.value("username") + "|" + p.value("realm") + "|" + p.value("nc"),
                 QByteArray("a\"b, c|x|01"));
        QVERIFY(!p.contains("b"));  // an unterminated quote keeps only what came before it
    }

    void eachModeAcceptsOnlyTheRightCredentials() {
        DeviceAuth digest(SimAuthMode::Digest, "ad:min", "739184");
        const QByteArray challenge = digest.challenges().value(0);
        QVERIFY(challenge.startsWith("Digest ") && digest.challenges().size() == 1);
        const struct {
            const char* what;
            QByteArray method, target, password, nc;
            Verdict verdict;
        } rows[] = {{"first", "POST", "/A/1", "739184", "00000001", Verdict::Accepted},
                    {"replayed nc", "POST", "/A/1", "739184", "00000001", Verdict::Refused},
                    {"next nc", "POST", "/A/1", "739184", "00000002", Verdict::Accepted},
                    {"other target", "POST", "/B", "739184", "00000004", Verdict::Refused},
                    {"other method", "GET", "/A/1", "739184", "00000005", Verdict::Refused}};
        for (const auto& r : rows) {
            const QByteArray header = DigestAuth(challenge, r.password, "/A/1", r.nc);
            QVERIFY2(digest.check(r.method, r.target, header) == r.verdict, r.what);
        }
        // Right credentials for a nonce the device never issued: stale.
        QByteArray forged = challenge;
        forged.replace(Param(challenge, "nonce"), "00112233445566778899aabbccddeeff");
        QCOMPARE(digest.check("POST", "/A", DigestAuth(forged, "739184", "/A", "00000001")),
                 Verdict::Stale);
        QVERIFY(digest.challenges(true)[0].endsWith(", stale=true"));
        QCOMPARE(digest.check("POST", "/A", BasicAuth("ad:min:739184")), Verdict::Refused);

        DeviceAuth any(SimAuthMode::Any, "ad:min", "739184");
        QList<QByteArray> c;
        for (int i = 0; i < kSimNonceLimit + 10; ++i)
            c = any.challenges();
        QVERIFY(c.size() == 2 && c[0].startsWith("Digest ") && c[1].startsWith("Basic "));
        QCOMPARE(any.nonceCount(), kSimNonceLimit);
        QCOMPARE(any.check("POST", "/A", DigestAuth(c[0], "739184", "/A", "00000001")),
                 Verdict::Accepted);
        QCOMPARE(any.check("POST", "/A", BasicAuth("ad:min:739184")), Verdict::Accepted);
    }

    void xmlHelpersReadFromTheRoot() {
        QByteArray content;
        QVERIFY(
            RootContent("<?xml version=\"1.0\"?>\n<!-- <x> -->\n<config a=\"x>y\">\n\t<a>"
                        "<![CDATA[张]]></a>\n</config>\n",
                        &content));
        QCOMPARE(content, QByteArray("\n\t<a><![CDATA[张]]></a>\n"));
        const QByteArray doc =
            "<config><other><pw>no</pw></other><user><pw><![CDATA[b2xk]]></pw>"
            "<x>bm&amp;V3</x><empty/></user></config>";
        QCOMPARE(ElementText(doc, {"config", "user", "pw"}), QByteArray("b2xk"));
        QCOMPARE(ElementText(doc, {"config", "user", "x"}), QByteArray("bm&V3"));
        QVERIFY(ElementText(doc, {"config", "pw"}).isNull());
        QVERIFY(ElementText(doc, {"user"}).isNull());
    }

    void commandLineReadsEveryOption() {
        const SimCommandLine l = ParseSimCommandLine(
            QString("p|--short-port|54321|--user|u:1|--password|p w|--auth|Digest|--long-port|"
                    "40001|--rate|0.5|--count|7|--kinds|PEA, VEHICLE|--targets|0|--picture-size|"
                    "320X200|--picture-bytes|400K|--base64-breaks|--write|pieces|--piece-bytes|2k|"
                    "--piece-interval|15|--record|/tmp/rec")
                .split('|'));
        QVERIFY2(l.error.isEmpty(), qPrintable(l.error));
        const SimulatorOptions& o = l.options;
        QString read;
        QDebug(&read).noquote() << o.shortPort << o.user << o.password << int(o.auth) << o.longPort
                                << o.eventRate << o.eventCount << o.kinds.join('+') << o.targetCount
                                << o.pictureWidth << o.pictureHeight << o.pictureBytes
                                << o.base64LineBreaks << int(o.writeMode) << o.pieceBytes
                                << o.pieceIntervalMs << o.recordFolder;
        QCOMPARE(read.trimmed(),
                 QString("54321 u:1 p w %1 40001 0.5 7 PEA+VEHICLE 0 320 200 409600 true %2 "
                         "2048 15 /tmp/rec")
                     .arg(int(SimAuthMode::Digest))
                     .arg(int(SimWriteMode::Pieces)));
        QCOMPARE(ParseSimCommandLine({"p", "--write", "PAIRS"}).options.writeMode,
                 SimWriteMode::Pairs);
        QCOMPARE(ParseSimCommandLine({"p", "--picture-bytes", "2M"}).options.pictureBytes,
                 2 * 1024 * 1024);
        QVERIFY(ParseSimCommandLine({"p"}).error.isEmpty());
        for (const char* bad :
             {"--rate -1", "--count many", "--kinds ,", "--kinds A/B", "--picture-size 640",
              "--picture-size 8x8", "--picture-bytes 1G", "--write halves", "--piece-bytes 0",
              "--long-port -5", "--auth ntlm", "--short-port 65536", "--short-port x", "--bogus",
              "stray"})
            QVERIFY2(!ParseSimCommandLine(QString("p %1").arg(bad).split(' ')).error.isEmpty(),
                     bad);
    }

    void base64TextBreaksEvery76Characters() {
        for (int n : {1000, 57, 0}) {  // 57 bytes give exactly 76 characters: no break
            QByteArray bytes;
            for (int i = 0; i < n; ++i)
                bytes += char(i * 7);
            const QByteArray plain = bytes.toBase64();
            QByteArray broken;
            for (qsizetype at = 0; at < plain.size(); at += 76)
                broken += (at > 0 ? "\r\n" : "") + plain.mid(at, 76);
            QCOMPARE(Base64Text(bytes, false), plain);
            QCOMPARE(Base64Text(bytes, true), broken);
        }
    }

    void paddingKeepsThePictureValid() {
        PictureContent content;
        content.width = 1;  // raised to 16
        content.height = 0;
        const QByteArray jpeg = DrawEventPicture(content);
        QCOMPARE(SizeOf(jpeg), QSize(16, 16));
        const int size = int(jpeg.size());
        for (int target : {size + 1, size + 3, size + 4, 70000, 400 * 1024}) {
            const QByteArray padded = PadJpeg(jpeg, target);
            QVERIFY2(padded.size() >= target && padded.size() <= target + 3,
                     qPrintable(QString("%1 for %2").arg(padded.size()).arg(target)));
            QVERIFY(padded.startsWith("\xFF\xD8\xFF\xFE") && padded.endsWith(jpeg.mid(2)));
            QCOMPARE(QImage::fromData(padded, "JPG"), QImage::fromData(jpeg, "JPG"));
        }
        QCOMPARE(PadJpeg(jpeg, 10), jpeg);
        QCOMPARE(PadJpeg("not a jpeg", 1000), QByteArray("not a jpeg"));
    }

    void eventsCarryTheirPicturesInShape() {
        SimulatorOptions o;
        o.pictureWidth = 200;
        o.pictureHeight = 100;
        const PushedEvent face =
            BuildPushedEvent(o, kFaceMatchType, 17, QDateTime::fromMSecsSinceEpoch(1764988800123));
        QCOMPARE(ElementText(face.body, {"config", "currentTime"}), QByteArray("1764988800123000"));
        QCOMPARE(ElementText(face.body, {"config", "snapData", "faceId"}), QByteArray("17"));
        const QList<QSize> sizes = {{50, 50}, {50, 50}, {200, 100}};
        const QStringList parents = {"snapData", "albumData", "sourceData"};
        for (int i = 0; i < 3; ++i) {
            const QStringList data = {"config", parents[i], "ImageData"};
            QCOMPARE(SizeOf(face.pictures.value(i).jpeg), sizes[i]);
            QCOMPARE(QSize(ElementText(face.body, data + QStringList{"width"}).toInt(),
                           ElementText(face.body, data + QStringList{"height"}).toInt()),
                     sizes[i]);
        }
        o.base64LineBreaks = true;
        for (int targets : {3, 0}) {
            o.targetCount = targets;
            const PushedEvent e = BuildPushedEvent(o, "VEHICLE", 4, QDateTime::currentDateTime());
            QVERIFY(e.body.contains("<listInfo type=\"list\" count=\"" +
                                    QByteArray::number(targets) + "\">"));
            QCOMPARE(e.pictures.size(), 1 + targets);
            QCOMPARE(e.body.count("<targetBase64Data"), targets);
            const QByteArray source =
                ElementText(e.body, {"config", "sourceDataInfo", "sourceBase64Data"});
            // The reader folds CR LF into LF; the length counts the text as sent.
            QCOMPARE(
                ElementText(e.body, {"config", "sourceDataInfo", "sourceBase64Length"}).toInt(),
                source.size() + source.count('\n'));
        }
    }

    void messagesAreCutIntoWritesAsAsked() {
        const QList<QByteArray> m = {"aaaaa", "bbb", "cccccccc"};
        QCOMPARE(CutIntoWrites(m, SimWriteMode::Whole, 2), m);
        QCOMPARE(CutIntoWrites(m, SimWriteMode::Pieces, 3),
                 (QList<QByteArray>{"aaa", "aa", "bbb", "ccc", "ccc", "cc"}));
        QCOMPARE(CutIntoWrites(m, SimWriteMode::Pieces, 0).size(), 16);
        QCOMPARE(CutIntoWrites(m, SimWriteMode::Pairs, 0),
                 (QList<QByteArray>{"aaaaabbb", "cccccccc"}));
    }

    void requestsAreCutByHeadAndLength() {
        const QByteArray a =
            "POST /SetSubscribe HTTP/1.1\r\nContent-Length: 5\r\nX: y\r\n\r\nhello";
        LongRequestParser parser;
        LongRequest r;
        // Fed byte by byte, the first request is ready exactly with its last byte.
        for (qsizetype i = 0; i + 1 < a.size(); ++i) {
            parser.feed(a.mid(i, 1));
            QCOMPARE(parser.next(&r), State::NeedMore);
        }
        parser.feed(a.right(1) + "\r\nPOST /CancelSubscribe HTTP/1.1\nContent-length:  2\n\nok" +
                    "POST /GetSubscribeInfo HTTP/1.1\r\n\r\n");
        QCOMPARE(parser.next(&r), State::Ready);
        QCOMPARE(r.method + " " + r.target + " " + r.body, QByteArray("POST /SetSubscribe hello"));
        QCOMPARE(parser.next(&r), State::Ready);
        QCOMPARE(r.target + " " + r.body, QByteArray("/CancelSubscribe ok"));
        QCOMPARE(parser.next(&r), State::Ready);
        QCOMPARE(r.target + " " + r.body, QByteArray("/GetSubscribeInfo "));
        QCOMPARE(parser.next(&r), State::NeedMore);
        QCOMPARE(parser.buffered(), 0);

        const QByteArray post = "POST /x HTTP/1.1\r\n";
        const QList<QPair<QByteArray, State>> rows = {
            {"HELLO\r\n\r\n", State::Malformed},
            {"POST /x FTP/1\r\n\r\n", State::Malformed},
            {post + "Content-Length: -1\r\n\r\n", State::Malformed},
            {post + "Content-Length: 1e3\r\n\r\n", State::Malformed},
            {post + "Content-Length: " + QByteArray::number(kSimMaxRequestBodyBytes + 1) +
                 "\r\n\r\n",
             State::Malformed},
            {post + "X: " + QByteArray(kSimMaxRequestHeadBytes, 'y'), State::Malformed},
            {post + "X: " + QByteArray(1000, 'y') + "\r\n\r\n", State::Ready}};
        for (const auto& [bytes, state] : rows) {
            LongRequestParser p;
            p.feed(bytes);
            QVERIFY2(p.next(&r) == state, bytes.left(40).constData());
        }
    }
};

QTEST_MAIN(SimPartsTest)
#include "sim_parts_test.moc"
