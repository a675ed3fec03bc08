// The long connection of the window against a loopback peer played by the test.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "request/long_request.h"
#include "window_fixture.h"

using namespace ControlId;

namespace {
const char kSubscribeBody[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<config version=\"1.0\">\n"
    "\t<subscribeFlag>BASE_SUBSCRIBE</subscribeFlag>\n</config>\n";
const char kRenewBody[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<config version=\"1.0\">\r\n"
    "\t<serverAddress type=\"string\"><![CDATA[http://old.invalid/x]]></serverAddress>\r\n"
    "</config>\r\n";
const QString kConnectFail =
    QStringLiteral("Connect fail, Please Check the IP/Username/Password/LongPort !");

std::string Text(QWidget* w, int id) {
    return Box(w, id)->toPlainText().toStdString();
}

// A device on 127.0.0.1 that accepts long connections and keeps what it receives.
class Peer {
  public:
    bool listen() { return server.listen(QHostAddress::LocalHost); }
    quint16 port() const { return server.serverPort(); }

    // Waits for the next connection; null when none comes within the time.
    QTcpSocket* accept(int ms = 10000) {
        if (!server.hasPendingConnections() && !server.waitForNewConnection(ms))
            return nullptr;
        QTcpSocket* socket = server.nextPendingConnection();
        sockets.emplace_back(socket);
        return socket;
    }

    // Reads from socket until `size` bytes have come; returns what came.
    static QByteArray read(QTcpSocket* socket, qsizetype size, int ms = 10000) {
        QByteArray bytes;
        QElapsedTimer timer;
        timer.start();
        while (bytes.size() < size && timer.elapsed() < ms) {
            if (socket->bytesAvailable() == 0)
                socket->waitForReadyRead(50);
            bytes += socket->readAll();
        }
        return bytes;
    }

    // True once the tool has closed its side of socket.
    static bool closedByTool(QTcpSocket* socket, int ms = 10000) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            if (socket->state() == QAbstractSocket::UnconnectedState)
                return true;
            socket->waitForReadyRead(50);
            socket->readAll();
        }
        return socket->state() == QAbstractSocket::UnconnectedState;
    }

    QTcpServer server;
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
};

// A window aimed at 127.0.0.1 and the peer's long port.
std::unique_ptr<CDorvik_LurvaneDlg> OpenLongWindow(const std::string& folder, quint16 port) {
    auto w = OpenWindow(folder);
    if (!w)
        return w;
    TypeIntoField(w.get(), kIp, QStringLiteral("127.0.0.1"));
    TypeIntoField(w.get(), kLongPort, QString::number(port));
    return w;
}

// A loopback port on which nothing listens.
quint16 DeadPort() {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return 0;
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

QByteArray HttpAnswer(const QByteArray& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/xml; charset=UTF-8\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: keep-alive\r\n\r\n" + body;
}
}  // namespace

class LongSendTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { DialogSeam::clearShown(); }
    void longSendConnectsAndThePeerGetsTheExactBytes();
    void answersAppearAndTheServerAddressFeedsFollowUps();
    void editsOfTheAccountFieldsDisconnect();
    void shortSendClosesTheLongConnection();
    void closingTheWindowWhileConnectedReturns();
    void missingFieldsAndFailedConnectsShowTheirMessages();
    void aFailedCheckMovesTheFocusToItsField();
    void windowStaysResponsiveUnderAFloodOfLargeEvents();

  private:
    TempProgramFolder folder_;
};

void LongSendTest::longSendConnectsAndThePeerGetsTheExactBytes() {
    folder_.write("protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml", kSubscribeBody);
    Peer peer;
    QVERIFY(peer.listen());
    auto w = OpenLongWindow(folder_.path(), peer.port());
    QVERIFY(w);
    QVERIFY(ChooseModule(w.get(), QStringLiteral("Subscribe")));
    QVERIFY(ClickListItem(w.get(), "SUBSCRIBE_SetSubscribe_test"));
    const std::string request = w->RequestEditorBytes();
    QVERIFY(request.find("\n\t<subscribeFlag>") != std::string::npos);  // LF as in the file

    Click(Button(w.get(), kChangeAccount));
    Click(Button(w.get(), kLongSend));
    QVERIFY(DialogSeam::shownTexts().isEmpty());
    QVERIFY(w->LongConnected());
    QVERIFY(!Field(w.get(), kIp)->isEnabled());  // locked by the send
    QTcpSocket* socket = peer.accept();
    QVERIFY(socket);
    QCOMPARE(Peer::read(socket, qsizetype(request.size())).toStdString(), request);

    // After an edit the edited text goes out, line ends as CR LF; no second connection.
    QPlainTextEdit* editor = Box(w.get(), kRequest);
    editor->moveCursor(QTextCursor::End);
    QTest::keyClicks(editor, "X");
    const std::string edited = w->RequestEditorBytes();
    QVERIFY(edited.find("\r\n\t<subscribeFlag>") != std::string::npos);
    Click(Button(w.get(), kLongSend));
    QCOMPARE(Peer::read(socket, qsizetype(edited.size())).toStdString(), edited);
    QVERIFY(!peer.server.waitForNewConnection(200));
    QVERIFY(DialogSeam::shownTexts().isEmpty());
}

void LongSendTest::answersAppearAndTheServerAddressFeedsFollowUps() {
    const std::string renew = folder_.write("SUBSCRIBE_RenewSubscribe_test.xml", kRenewBody);
    Peer peer;
    QVERIFY(peer.listen());
    auto w = OpenLongWindow(folder_.path(), peer.port());
    QVERIFY(w);
    Click(Button(w.get(), kLongSend));  // empty editor: connects and sends nothing
    QVERIFY(DialogSeam::shownTexts().isEmpty());
    QTcpSocket* socket = peer.accept();
    QVERIFY(socket);

    const QByteArray address = "http://127.0.0.1:1/Subscribers/42";
    const QByteArray answer = HttpAnswer(
        "<?xml version=\"1.0\"?>\r\n<config status=\"success\">\r\n<serverAddress "
        "type=\"string\"><![CDATA[" +
        address + "]]></serverAddress>\r\n</config>\r\n");
    socket->write(answer);
    socket->flush();
    QTRY_COMPARE_WITH_TIMEOUT(
        Box(w.get(), kResult)->toPlainText(),
        QString::fromLatin1(answer).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), 10000);

    // A follow-up request built now carries the recorded address.
    DialogSeam::setNextOpenFile(QString::fromStdString(renew));
    Click(Button(w.get(), kSelectProtocol));
    std::string expected;
    QCOMPARE(::PrepareLongRequest(renew, "127.0.0.1", "RenewSubscribe", "admin", "739184",
                                  address.toStdString(), expected),
             0);
    QCOMPARE(w->RequestEditorBytes(), expected);
    QVERIFY(expected.find("<![CDATA[" + address.toStdString() + "]]>") != std::string::npos);

    // The answer is logged byte for byte; the log is complete once the window is gone.
    w.reset();
    QFile log(QString::fromStdString(folder_.path() + "/ApiLog.txt"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), answer);
}

void LongSendTest::editsOfTheAccountFieldsDisconnect() {
    Peer peer;
    QVERIFY(peer.listen());
    auto w = OpenLongWindow(folder_.path(), peer.port());
    QVERIFY(w);
    Click(Button(w.get(), kLongSend));
    QTcpSocket* first = peer.accept();
    QVERIFY(first);
    QVERIFY(w->LongConnected());

    // The short port has no change handler: nothing closes.
    TypeIntoField(w.get(), kShortPort, QStringLiteral("81"));
    QVERIFY(w->LongConnected());
    // A mode switch leaves the connection open.
    Click(Control<QRadioButton>(w.get(), kShortConnect));
    QVERIFY(w->LongConnected());
    Click(Control<QRadioButton>(w.get(), kLongConnect));

    // One character typed into the user name closes it.
    Click(Button(w.get(), kChangeAccount));
    Field(w.get(), kUser)->setFocus();
    Field(w.get(), kUser)->end(false);
    QTest::keyClick(Field(w.get(), kUser), Qt::Key_1);
    QVERIFY(!w->LongConnected());
    QVERIFY(Peer::closedByTool(first));

    // The next long send connects again.
    Click(Button(w.get(), kLongSend));
    QTcpSocket* second = peer.accept();
    QVERIFY(second);
    QVERIFY(w->LongConnected());
    // So do the password and the long port.
    TypeIntoField(w.get(), kPassword, QStringLiteral("x"));
    QVERIFY(Peer::closedByTool(second));
    Click(Button(w.get(), kLongSend));
    QTcpSocket* third = peer.accept();
    QVERIFY(third);
    TypeIntoField(w.get(), kLongPort, QString::number(peer.port()));
    QVERIFY(Peer::closedByTool(third));
    QVERIFY(DialogSeam::shownTexts().isEmpty());
}

void LongSendTest::shortSendClosesTheLongConnection() {
    Peer peer;
    QVERIFY(peer.listen());
    auto w = OpenLongWindow(folder_.path(), peer.port());
    QVERIFY(w);
    Click(Button(w.get(), kLongSend));
    QTcpSocket* socket = peer.accept();
    QVERIFY(socket);
    Click(Control<QRadioButton>(w.get(), kShortConnect));
    Click(Button(w.get(), kShortSend));  // no interface chosen: closes all the same
    QCOMPARE(DialogSeam::shownTexts(), QStringList{QStringLiteral("Please select the interface!")});
    QVERIFY(!w->LongConnected());
    QVERIFY(Peer::closedByTool(socket));
}

void LongSendTest::closingTheWindowWhileConnectedReturns() {
    Peer peer;
    QVERIFY(peer.listen());
    auto w = OpenLongWindow(folder_.path(), peer.port());
    QVERIFY(w);
    Click(Button(w.get(), kLongSend));
    QTcpSocket* socket = peer.accept();
    QVERIFY(socket);
    QVERIFY(w->LongConnected());
    QElapsedTimer timer;
    timer.start();
    w->close();
    w.reset();
    QVERIFY(timer.elapsed() < 5000);
    QVERIFY(Peer::closedByTool(socket));
}

void LongSendTest::missingFieldsAndFailedConnectsShowTheirMessages() {
    Peer peer;
    QVERIFY(peer.listen());
    auto w = OpenLongWindow(folder_.path(), peer.port());
    QVERIFY(w);

    TypeIntoField(w.get(), kPassword, QString());
    Click(Button(w.get(), kLongSend));
    QCOMPARE(DialogSeam::shownTexts(),
             (QStringList{QStringLiteral("Please input password"), QStringLiteral("Send fail")}));
    QVERIFY(!peer.server.waitForNewConnection(200));  // no connection attempt

    DialogSeam::clearShown();
    TypeIntoField(w.get(), kPassword, QStringLiteral("739184"));
    TypeIntoField(w.get(), kUser, QString());
    Click(Button(w.get(), kLongSend));
    QCOMPARE(DialogSeam::shownTexts(),
             (QStringList{QStringLiteral("Please input username"), QStringLiteral("Send fail")}));

    DialogSeam::clearShown();
    TypeIntoField(w.get(), kUser, QStringLiteral("admin"));
    TypeIntoField(w.get(), kIp, QStringLiteral("0.0.0.0"));
    Click(Button(w.get(), kLongSend));
    QCOMPARE(DialogSeam::shownTexts(), (QStringList{QStringLiteral("Please input device's IP"),
                                                    QStringLiteral("Send fail")}));

    DialogSeam::clearShown();
    TypeIntoField(w.get(), kIp, QStringLiteral("127.0.0.1"));
    const quint16 dead = DeadPort();
    QVERIFY(dead != 0);
    TypeIntoField(w.get(), kLongPort, QString::number(dead));
    Click(Button(w.get(), kLongSend));
    QCOMPARE(DialogSeam::shownTexts(), (QStringList{kConnectFail, QStringLiteral("Send fail")}));
    QVERIFY(!w->LongConnected());
    QVERIFY(!peer.server.hasPendingConnections());
}

void LongSendTest::aFailedCheckMovesTheFocusToItsField() {
    auto w = OpenLongWindow(folder_.path(), DeadPort());
    QVERIFY(w);
    QApplication::setActiveWindow(w.get());
    if (!Field(w.get(), kUser)->isEnabled()) Click(Button(w.get(), kChangeAccount));
    QVERIFY(Field(w.get(), kUser)->isEnabled());  // unlocked, so the fields can take the focus
    const struct {
        int id;
        QString text;
        QString message;
    } cases[] = {
        {kUser, QString(), QStringLiteral("Please input username")},
        {kPassword, QString(), QStringLiteral("Please input password")},
        {kIp, QStringLiteral("0.0.0.0"), QStringLiteral("Please input device's IP")},
    };
    for (const auto& c : cases) {
        const QString before = Field(w.get(), c.id)->text();
        Field(w.get(), c.id)->setText(c.text);
        Box(w.get(), kRequest)->setFocus();
        DialogSeam::clearShown();
        w->ConnectLong();
        QCOMPARE(DialogSeam::shownTexts(), QStringList{c.message});
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Field(w.get(), c.id)));
        QVERIFY(!w->LongConnected());
        Field(w.get(), c.id)->setText(before);
    }
}

void LongSendTest::windowStaysResponsiveUnderAFloodOfLargeEvents() {
    // The device runs on a thread of its own, as a real one would: a plain socket that pushes
    // face-match sized events of about 1.2 MB, 20 a second for two seconds.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    QVERIFY(listener >= 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QVERIFY(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    QVERIFY(::listen(listener, 1) == 0);
    QVERIFY(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0);
    constexpr int kEvents = 40;
    std::atomic<int> pushed{0};
    std::thread device([listener, &pushed] {
        const int peer = ::accept(listener, nullptr, nullptr);
        if (peer < 0)
            return;
        const std::string filler(1200 * 1024, 'Q');
        for (int n = 1; n <= kEvents; ++n) {
            const std::string body =
                "<?xml version=\"1.0\"?><config><smartType>NONE</smartType><n>" +
                std::to_string(n) + "</n><data>" + filler + "</data></config>";
            const std::string message =
                "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
                "\r\nContent-Type: application/xml\r\n\r\n" + body;
            size_t done = 0;
            while (done < message.size()) {
                const ssize_t sent =
                    ::send(peer, message.data() + done, message.size() - done, MSG_NOSIGNAL);
                if (sent <= 0)
                    break;
                done += static_cast<size_t>(sent);
            }
            pushed = n;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        char byte;
        while (::recv(peer, &byte, 1, 0) > 0) {  // until the tool closes the connection
        }
        ::close(peer);
    });

    auto w = OpenLongWindow(folder_.path(), ntohs(address.sin_port));
    QVERIFY(w);
    qint64 longestGap = 0;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this,
            [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    ticker.start(10);
    Click(Button(w.get(), kLongSend));
    QVERIFY(w->LongConnected());

    QTRY_VERIFY_WITH_TIMEOUT(pushed == kEvents, 30000);
    const std::string last = "<n>" + std::to_string(kEvents) + "</n>";
    QTRY_VERIFY_WITH_TIMEOUT(Text(w.get(), kResult).find(last) != std::string::npos, 30000);
    ticker.stop();
    // One update of a megabyte text takes about half a second; the window must get its turn
    // between updates instead of working through one queued update per event.
    QVERIFY2(longestGap < 3000, qPrintable(QString::number(longestGap)));

    QElapsedTimer closing;
    closing.start();
    w.reset();
    QVERIFY(closing.elapsed() < 5000);
    device.join();
    ::close(listener);
}

QTEST_MAIN(LongSendTest)
#include "long_send_test.moc"
