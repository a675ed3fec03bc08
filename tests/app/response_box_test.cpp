// The response boxes with very large texts: shown in their display form, while the bytes
// themselves (traffic log, paired request, wire) stay whole.
#include <curl/curl.h>

#include <QFile>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include "app/display_form.h"
#include "app/request_text.h"
#include "window_fixture.h"

using namespace ControlId;

namespace {
std::string Text(QWidget* w, int id) {
    return Box(w, id)->toPlainText().toStdString();
}

// Base64-like bytes without line breaks, different at every position.
QByteArray LongLine(int bytes, char seed) {
    QByteArray raw(bytes * 3 / 4, Qt::Uninitialized);
    for (int i = 0; i < raw.size(); ++i)
        raw[i] = static_cast<char>((static_cast<unsigned>(i) * 2654435761u >> 13) + seed);
    return raw.toBase64();
}

// An HTTP device on 127.0.0.1 that answers each request, once its headers and body are in,
// with the next of its answers, then closes the connection.
class AnsweringPeer : public QObject {
  public:
    explicit AnsweringPeer(QList<QByteArray> answers) : answers_(std::move(answers)) {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { take(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    bool listen() { return server_.listen(QHostAddress::LocalHost); }
    quint16 port() const { return server_.serverPort(); }
    QList<QByteArray> requests;

  private:
    void take(QTcpSocket* socket) {
        QByteArray& in = pending_[socket];
        in += socket->readAll();
        const qsizetype blank = in.indexOf("\r\n\r\n");
        if (blank < 0)
            return;
        qsizetype length = 0;
        const qsizetype field = in.toLower().indexOf("content-length:");
        if (field >= 0 && field < blank)
            length = in.mid(field + 15, in.indexOf("\r\n", field) - field - 15).trimmed().toLong();
        if (in.size() < blank + 4 + length)
            return;
        requests << in;
        pending_.remove(socket);
        const QByteArray body = answers_.isEmpty() ? QByteArray() : answers_.takeFirst();
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) +
                      "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    QList<QByteArray> answers_;
    QHash<QTcpSocket*, QByteArray> pending_;
};
}  // namespace

class ResponseBoxTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    void cleanupTestCase() { curl_global_cleanup(); }
    void init() { DialogSeam::clearShown(); }
    void hugeShortAnswersAreShownCutButKeptWhole();
    void hugePushedEventIsShownCutAndLoggedWhole();
};

void ResponseBoxTest::hugeShortAnswersAreShownCutButKeptWhole() {
    const QByteArray picture = LongLine(600 * 1024, 'p');
    const QByteArray getAnswer = "<?xml version=\"1.0\"?>\n<config>\n<image>" + picture +
                                 "</image>\n<brightness>128</brightness>\n</config>\n";
    const QByteArray setAnswer =
        "<config status=\"success\">" + LongLine(300 * 1024, 's') + "</config>";
    AnsweringPeer peer({getAnswer, setAnswer});
    QVERIFY(peer.listen());
    TempProgramFolder folder;
    auto w = OpenWindow(folder.path());
    QVERIFY(w);
    TypeIntoField(w.get(), kIp, QStringLiteral("127.0.0.1"));
    TypeIntoField(w.get(), kShortPort, QString::number(peer.port()));
    Click(Control<QRadioButton>(w.get(), kShortConnect));
    QVERIFY(ChooseModule(w.get(), QStringLiteral("Image")));
    QVERIFY(ClickListItem(w.get(), "GetImageConfig"));
    QSignalSpy finished(w.get(), &CDorvik_LurvaneDlg::shortSendFinished);
    Click(Button(w.get(), kShortSend));
    QVERIFY(finished.wait(30000));
    QVERIFY(DialogSeam::shownTexts().isEmpty());

    // The box: the image line cut, the lines after it whole; nothing names a log.
    const std::string shown = Text(w.get(), kResult);
    const std::string imageLine = "<image>" + picture.toStdString() + "</image>";
    QCOMPARE(shown, "<?xml version=\"1.0\"?>\n<config>\n" + imageLine.substr(0, 2000) +
                        OmissionMarker(imageLine.size() - 2000, nullptr) +
                        "\n<brightness>128</brightness>\n</config>\n");
    // The paired request carries the whole answer: it is what goes back to the device.
    const std::string pair = EditedTextToRequestBytes(Box(w.get(), kPairRequest)->toPlainText());
    QCOMPARE(BodyAfterBlankLine(pair), WithCrLfLineEnds(getAnswer.toStdString()));

    // The paired answer is shown cut the same way (a small setting is sent back).
    Box(w.get(), kPairRequest)
        ->setPlainText(QStringLiteral("POST /SetImageConfig/1 HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                      "Content-Length: 9\r\n\r\n<config/>"));
    Click(Button(w.get(), kPairSend));
    QVERIFY(finished.wait(30000));
    QVERIFY(DialogSeam::shownTexts().isEmpty());
    QCOMPARE(peer.requests.size(), 2);
    QVERIFY(peer.requests[1].endsWith("\r\n\r\n<config/>"));
    QCOMPARE(Text(w.get(), kPairResult),
             setAnswer.left(2000).toStdString() + OmissionMarker(setAnswer.size() - 2000, nullptr));
}

void ResponseBoxTest::hugePushedEventIsShownCutAndLoggedWhole() {
    QTcpServer device;
    QVERIFY(device.listen(QHostAddress::LocalHost));
    TempProgramFolder folder;
    auto w = OpenWindow(folder.path());
    QVERIFY(w);
    TypeIntoField(w.get(), kIp, QStringLiteral("127.0.0.1"));
    TypeIntoField(w.get(), kLongPort, QString::number(device.serverPort()));
    Click(Button(w.get(), kLongSend));  // empty editor: connects, sends nothing
    QVERIFY(DialogSeam::shownTexts().isEmpty());
    QVERIFY(device.waitForNewConnection(10000));
    std::unique_ptr<QTcpSocket> socket(device.nextPendingConnection());

    // A face-match sized event: short lines around a picture line of 400 KB ("张" included
    // right where the line is cut, to see it is not split).
    const QByteArray base64 = LongLine(400 * 1024, 'f');
    const QByteArray pictureLine =
        "\t<Base64Data>" + base64.left(1985) + "\xe5\xbc\xa0" + base64.mid(1985) + "</Base64Data>";
    const QByteArray body = "<?xml version=\"1.0\"?>\n<config>\n\t<smartType>NONE</smartType>\n" +
                            pictureLine + "\n</config>\n";
    const QByteArray event =
        "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: " + QByteArray::number(body.size()) +
        "\r\nContent-Type: application/xml\r\n\r\n" + body;
    socket->write(event);
    socket->flush();

    const std::string tail = "\n</config>\n";
    QTRY_VERIFY_WITH_TIMEOUT(Text(w.get(), kResult).find("</config>") != std::string::npos, 20000);
    const std::string shown = Text(w.get(), kResult);
    // Line 1998 of 2000 bytes starts the three-byte sequence: it goes whole to the hidden part.
    const std::size_t kept = 1985 + 13;
    const std::string expected =
        "POST /SendAlarmStatus HTTP/1.1\nContent-Length: " + std::to_string(body.size()) +
        "\nContent-Type: application/xml\n\n<?xml version=\"1.0\"?>\n<config>\n\t<smartType>NONE"
        "</smartType>\n" +
        pictureLine.left(kept).toStdString() +
        OmissionMarker(pictureLine.size() - kept, "the traffic log") + tail;
    QCOMPARE(shown, expected);

    // The log holds every byte.
    w.reset();
    QFile log(QString::fromStdString(folder.path() + "/ApiLog.txt"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), event);
}

QTEST_MAIN(ResponseBoxTest)
#include "response_box_test.moc"
