// The simulator's long port, driven by a plain blocking socket client as the tool's long
// connection would: subscribe, follow-ups, pushed events, the record files.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include "sim/device_simulator.h"
#include "sim/sim_xml.h"
#include "sim/simulator_thread.h"

namespace {

// One HTTP message as received: its first line, its head and its body.
struct Message {
    QByteArray firstLine;
    QByteArray head;  // up to and including the blank line
    QByteArray body;
    int contentLength = -1;
    QByteArray all() const { return head + body; }
};

// A blocking TCP client on 127.0.0.1 with a time limit on every wait.
class Client {
  public:
    explicit Client(quint16 port) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(port);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~Client() { close(); }
    bool connected() const { return connected_; }
    void close() {
        if (fd_ >= 0) {
            shutdown(fd_, SHUT_RDWR);
            ::close(fd_);
            fd_ = -1;
        }
    }
    bool send(const QByteArray& bytes) {
        qsizetype at = 0;
        while (at < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.constData() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            at += n;
        }
        return true;
    }
    // Reads one message framed by its Content-Length; false when none is complete in time.
    bool read(Message* m, int timeoutMs = 5000) {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            const qsizetype headEnd = buffer_.indexOf("\r\n\r\n");
            if (headEnd >= 0) {
                const QByteArray head = buffer_.left(headEnd + 4);
                const qsizetype cl = head.indexOf("Content-Length: ");
                const int length =
                    cl < 0 ? 0 : head.mid(cl + 16, head.indexOf("\r\n", cl) - cl - 16).toInt();
                if (buffer_.size() >= headEnd + 4 + length) {
                    m->head = head;
                    m->firstLine = head.left(head.indexOf("\r\n"));
                    m->contentLength = cl < 0 ? -1 : length;
                    m->body = buffer_.mid(headEnd + 4, length);
                    buffer_.remove(0, headEnd + 4 + length);
                    return true;
                }
            }
            const int left = timeoutMs - int(timer.elapsed());
            if (left <= 0 || !fill(left))
                return false;
        }
    }
    // True when some byte arrives within the time.
    bool anythingWithin(int ms) { return !buffer_.isEmpty() || fill(ms); }
    // Every byte received so far, in order.
    const QByteArray& received() const { return received_; }
    // What each read returned, in order.
    const QList<QByteArray>& reads() const { return reads_; }

  private:
    bool fill(int timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) != 1)
            return false;
        char chunk[65536];
        const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        buffer_.append(chunk, n);
        received_.append(chunk, n);
        reads_.append(QByteArray(chunk, n));
        return true;
    }
    int fd_ = -1;
    bool connected_ = false;
    QByteArray buffer_;
    QByteArray received_;
    QList<QByteArray> reads_;
};

const QByteArray kBasic = "Basic " + QByteArray("admin:739184").toBase64();

// A request as the tool's long template writes it.
QByteArray Request(const QByteArray& name, const QByteArray& body,
                   const QByteArray& authorization = kBasic) {
    return "POST /" + name + " HTTP/1.1\r\nAuthorization: " + authorization +
           "\r\nUser-Agent: Lurvane\r\nHost: 127.0.0.1\r\nContent-Length: " +
           QByteArray::number(body.size()) +
           "\r\nConnection: keep-alive\r\nKeep-Alive: 300 \r\n\r\n" + body;
}

QByteArray SubscribeBody(const QList<QByteArray>& types = {"VFD_MATCH", "VFD", "PEA", "VEHICLE"}) {
    QByteArray items;
    for (const QByteArray& t : types)
        items += "\t\t<item>" + t + "</item>\r\n";
    return "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<config version=\"1.0\">\r\n"
           "\t<subscribeFlag>BASE_SUBSCRIBE</subscribeFlag>\r\n\t<subscribeList type=\"list\" "
           "count=\"" +
           QByteArray::number(types.size()) + "\">\r\n" + items + "\t</subscribeList>\r\n</config>";
}

QByteArray FollowUpBody(const QByteArray& address) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<config version=\"1.0\">\r\n"
           "\t<serverAddress type=\"string\"><![CDATA[" +
           address +
           "]]></serverAddress>\r\n\t<renewTime type=\"uint32\">300</renewTime>\r\n</config>";
}

QByteArray Attr(const QByteArray& doc, const char* name) {
    const QByteArray key = QByteArray(" ") + name + "=\"";
    const qsizetype at = doc.indexOf(key);
    if (at < 0)
        return {};
    const qsizetype start = at + key.size();
    return doc.mid(start, doc.indexOf('"', start) - start);
}

QByteArray Decode(const QByteArray& base64) {
    const auto r = QByteArray::fromBase64Encoding(
        QByteArray(base64).replace('\r', "").replace('\n', ""),
        QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    return r ? r.decoded : QByteArray();
}

// Subscribes and returns the server address of the answer ("" on any fault).
QByteArray Subscribe(Client& client, const QByteArray& body = SubscribeBody()) {
    if (!client.send(Request("SetSubscribe", body)))
        return {};
    Message m;
    if (!client.read(&m) || !m.firstLine.startsWith("HTTP/1.1 200"))
        return {};
    return ElementText(m.body, {"config", "serverAddress"});
}

// Reads messages until an answer ("HTTP/..." first line) arrives; counts the events skipped.
bool ReadAnswer(Client& client, Message* answer, int* eventsSkipped = nullptr) {
    for (int guard = 0; guard < 10000; ++guard) {
        if (!client.read(answer))
            return false;
        if (answer->firstLine.startsWith("HTTP/"))
            return true;
        if (eventsSkipped != nullptr)
            ++*eventsSkipped;
    }
    return false;
}

SimulatorOptions Quiet() {
    SimulatorOptions o;
    o.eventCount = 0;
    return o;
}

int EventsPushed(SimulatorThread& sim) {
    int n = 0;
    sim.invoke([&n](DeviceSimulator& d) { n = d.eventsPushed(); });
    return n;
}

}  // namespace

class SimLongPortTest : public QObject {
    Q_OBJECT
  private slots:
    void subscribeAnswerCarriesLengthAndAddress() {
        SimulatorThread sim(Quiet());
        QVERIFY(sim.start());
        QVERIFY(sim.longPort() != 0);
        QVERIFY(sim.longPort() != sim.shortPort());
        Client client(sim.longPort());
        QVERIFY(client.connected());
        QVERIFY(client.send(Request("SetSubscribe", SubscribeBody())));
        Message m;
        QVERIFY(client.read(&m));
        QCOMPARE(m.firstLine, QByteArray("HTTP/1.1 200 OK"));
        QCOMPARE(m.contentLength, m.body.size());
        QVERIFY(m.head.contains("\r\nConnection: keep-alive\r\n"));
        QVERIFY(m.body.startsWith("<?xml"));
        QCOMPARE(Attr(m.body, "status"), QByteArray("success"));
        const QByteArray address = ElementText(m.body, {"config", "serverAddress"});
        const QByteArray prefix =
            "http://127.0.0.1:" + QByteArray::number(sim.longPort()) + "/Subscribers/";
        QVERIFY2(address.startsWith(prefix), address.constData());
        QVERIFY(m.body.contains("<![CDATA[" + address + "]]>"));
        QCOMPARE(ElementText(m.body, {"config", "renewTime"}), QByteArray("300"));
        // A new subscription gets a new address.
        const QByteArray second = Subscribe(client);
        QVERIFY(second.startsWith(prefix));
        QVERIFY(second != address);
    }

    void followUpsMustCarryTheAddress() {
        SimulatorThread sim(Quiet());
        QVERIFY(sim.start());
        Client client(sim.longPort());
        Message m;
        // Before any subscription every address is unknown.
        QVERIFY(client.send(Request("RenewSubscribe", FollowUpBody("http://x/Subscribers/1"))));
        QVERIFY(client.read(&m));
        QVERIFY(m.firstLine.startsWith("HTTP/1.1 400"));

        const QByteArray address = Subscribe(client);
        QVERIFY(!address.isEmpty());
        for (const QByteArray name : {"RenewSubscribe", "GetSubscribeInfo", "CancelSubscribe"}) {
            QVERIFY(client.send(Request(name, FollowUpBody(address + "9"))));
            QVERIFY(client.read(&m));
            QVERIFY2(m.firstLine.startsWith("HTTP/1.1 400 Bad Request"), name.constData());
            QCOMPARE(m.contentLength, m.body.size());
            QCOMPARE(Attr(m.body, "status"), QByteArray("failed"));
            QCOMPARE(Attr(m.body, "errorCode"), QByteArray("400"));
            QCOMPARE(Attr(m.body, "errorDesc"), QByteArray("Unknown serverAddress"));
        }
        QVERIFY(client.send(Request("RenewSubscribe", FollowUpBody(address))));
        QVERIFY(client.read(&m));
        QCOMPARE(m.firstLine, QByteArray("HTTP/1.1 200 OK"));
        QCOMPARE(Attr(m.body, "status"), QByteArray("success"));
        QVERIFY(client.send(Request("GetSubscribeInfo", FollowUpBody(address))));
        QVERIFY(client.read(&m));
        QCOMPARE(ElementText(m.body, {"config", "serverAddress"}), address);
        QVERIFY(client.send(Request("CancelSubscribe", FollowUpBody(address))));
        QVERIFY(client.read(&m));
        QCOMPARE(Attr(m.body, "status"), QByteArray("success"));
        // Cancelled: the address is gone.
        QVERIFY(client.send(Request("RenewSubscribe", FollowUpBody(address))));
        QVERIFY(client.read(&m));
        QCOMPARE(Attr(m.body, "errorDesc"), QByteArray("Unknown serverAddress"));
    }

    void requestsAreReadWhateverTheirCuts() {
        SimulatorThread sim(Quiet());
        QVERIFY(sim.start());
        Client client(sim.longPort());
        // One request in three writes, then two requests in one write.
        const QByteArray subscribe = Request("SetSubscribe", SubscribeBody());
        QVERIFY(client.send(subscribe.left(10)));
        QThread::msleep(50);
        QVERIFY(client.send(subscribe.mid(10, 100)));
        QThread::msleep(50);
        QVERIFY(client.send(subscribe.mid(110)));
        Message m;
        QVERIFY(client.read(&m));
        const QByteArray address = ElementText(m.body, {"config", "serverAddress"});
        QVERIFY(!address.isEmpty());
        QVERIFY(client.send(Request("RenewSubscribe", FollowUpBody(address)) +
                            Request("GetSubscribeInfo", FollowUpBody(address))));
        QVERIFY(client.read(&m));
        QCOMPARE(ElementText(m.body, {"config", "renewTime"}), QByteArray("300"));
        QVERIFY(ElementText(m.body, {"config", "serverAddress"}).isNull());
        QVERIFY(client.read(&m));
        QCOMPARE(ElementText(m.body, {"config", "serverAddress"}), address);
    }

    void strangersAndUnknownsAreRefused() {
        SimulatorThread sim(Quiet());
        QVERIFY(sim.start());
        Client client(sim.longPort());
        Message m;
        QVERIFY(client.send(Request("SetSubscribe", SubscribeBody(),
                                    "Basic " + QByteArray("admin:wrong").toBase64())));
        QVERIFY(client.read(&m));
        QVERIFY(m.firstLine.startsWith("HTTP/1.1 401"));
        QVERIFY(m.head.contains("WWW-Authenticate: Basic realm=\"Tessaly Device\""));
        QCOMPARE(m.contentLength, m.body.size());
        QVERIFY(client.send(Request("GetDeviceInfo", {})));
        QVERIFY(client.read(&m));
        QVERIFY(m.firstLine.startsWith("HTTP/1.1 404"));
        QCOMPARE(Attr(m.body, "errorDesc"), QByteArray("Unknown interface"));
        QVERIFY(client.send(Request("SetSubscribe", "no xml")));
        QVERIFY(client.read(&m));
        QVERIFY(m.firstLine.startsWith("HTTP/1.1 400"));
        // A request that cannot be read gets 400 and the connection is closed.
        QVERIFY(client.send("GARBAGE\r\n\r\n"));
        QVERIFY(client.read(&m));
        QVERIFY(m.firstLine.startsWith("HTTP/1.1 400"));
        QVERIFY(!client.anythingWithin(2000));
    }

    void eventsArriveInShapeAndAsRecorded_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("breaks");
        QTest::newRow("whole") << int(SimWriteMode::Whole) << false;
        QTest::newRow("pieces, line breaks") << int(SimWriteMode::Pieces) << true;
        QTest::newRow("pairs") << int(SimWriteMode::Pairs) << false;
    }
    void eventsArriveInShapeAndAsRecorded() {
        QFETCH(int, mode);
        QFETCH(bool, breaks);
        QTemporaryDir record;
        QVERIFY(record.isValid());
        SimulatorOptions o;
        o.eventRate = 0;
        o.eventCount = 5;
        o.kinds = {"VFD_MATCH", "PEA"};
        o.targetCount = 2;
        o.pictureWidth = 320;
        o.pictureHeight = 180;
        o.base64LineBreaks = breaks;
        o.writeMode = SimWriteMode(mode);
        o.pieceBytes = 777;
        o.recordFolder = record.path();
        SimulatorThread sim(o);
        QVERIFY(sim.start());
        Client client(sim.longPort());
        QVERIFY(!Subscribe(client).isEmpty());

        QSet<QByteArray> pictureHashes;
        for (int seq = 1; seq <= 5; ++seq) {
            Message m;
            QVERIFY2(client.read(&m), qPrintable(QString("event %1").arg(seq)));
            QCOMPARE(m.firstLine, QByteArray("POST /SendAlarmStatus HTTP/1.1"));
            QCOMPARE(m.contentLength, m.body.size());
            QVERIFY(m.body.startsWith("<?xml"));
            QVERIFY(IsWellFormedXml(m.body));
            // The document's own lines end in LF: a CR LF can only come from the Base64 texts.
            QCOMPARE(m.body.contains("\r\n"), breaks);
            const QByteArray type = ElementText(m.body, {"config", "smartType"});
            QCOMPARE(type, QByteArray(seq % 2 == 1 ? "VFD_MATCH" : "PEA"));

            QList<QPair<QString, QByteArray>> pictures;  // kind, Base64 text
            if (type == "VFD_MATCH") {
                QVERIFY(!ElementText(m.body, {"config", "albumData", "personName"}).isEmpty());
                pictures = {
                    {"snap",
                     ElementText(m.body, {"config", "snapData", "ImageData", "Base64Data"})},
                    {"album",
                     ElementText(m.body, {"config", "albumData", "ImageData", "Base64Data"})},
                    {"src",
                     ElementText(m.body, {"config", "sourceData", "ImageData", "Base64Data"})}};
            } else {
                const QByteArray src =
                    ElementText(m.body, {"config", "sourceDataInfo", "sourceBase64Data"});
                // The reader folds CR LF into LF; the length counts the text as sent.
                QCOMPARE(
                    ElementText(m.body, {"config", "sourceDataInfo", "sourceBase64Length"}).toInt(),
                    src.size() + src.count('\n'));
                pictures = {{"src", src}};
                QCOMPARE(m.body.count("<listInfo type=\"list\" count=\"2\">"), 1);
                const auto targets = ElementTexts(
                    m.body, {"config", "listInfo", "item", "targetImageData", "targetBase64Data"});
                QCOMPARE(targets.size(), 2);
                QCOMPARE(m.body.count("<targetBase64Data type=\"string\">"), 2);
                pictures << qMakePair(QString("target1"), targets[0])
                         << qMakePair(QString("target2"), targets[1]);
            }
            for (const auto& [kind, text] : pictures) {
                QCOMPARE(text.contains('\n'), breaks);
                const QByteArray jpeg = Decode(text);
                QVERIFY(!QImage::fromData(jpeg, "JPG").isNull());
                pictureHashes.insert(QCryptographicHash::hash(jpeg, QCryptographicHash::Md5));
                QFile file(record.filePath(QString("pictures/%1_%2.jpg").arg(seq).arg(kind)));
                QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
                QCOMPARE(file.readAll(), jpeg);
            }
        }
        QCOMPARE(pictureHashes.size(), 3 + 3 + 3 + 3 + 3);  // every picture differs
        // The count is reached: nothing more comes.
        QVERIFY(!client.anythingWithin(500));
        QCOMPARE(EventsPushed(sim), 5);
        QFile sent(record.filePath("long-sent.bin"));
        QVERIFY(sent.open(QIODevice::ReadOnly));
        QCOMPARE(sent.readAll(), client.received());
        QCOMPARE(QDir(record.filePath("pictures")).entryList(QDir::Files).size(), 15);
    }

    void writeModesShowInTheReads() {
        SimulatorOptions o;
        o.eventRate = 0;
        o.eventCount = 2;
        o.kinds = {"PEA"};
        o.targetCount = 1;
        o.pictureWidth = 64;
        o.pictureHeight = 32;
        o.writeMode = SimWriteMode::Pieces;
        o.pieceBytes = 512;
        o.pieceIntervalMs = 40;
        {
            SimulatorThread sim(o);
            QVERIFY(sim.start());
            Client client(sim.longPort());
            QVERIFY(!Subscribe(client).isEmpty());
            const qsizetype before = client.reads().size();
            Message m;
            QVERIFY(client.read(&m));
            const int writes = int((m.all().size() + 511) / 512);
            QVERIFY(writes >= 3);
            // Pieces come 40 ms apart, so the reads see them apart (allowing for a busy
            // machine that takes two at once now and then).
            const qsizetype reads = client.reads().size() - before;
            QVERIFY2(reads * 2 >= writes,
                     qPrintable(QString("%1 reads for %2 writes").arg(reads).arg(writes)));
            for (qsizetype i = before; i < client.reads().size(); ++i) {
                QVERIFY(client.reads()[i].size() < m.all().size());
            }
        }
        o.writeMode = SimWriteMode::Pairs;
        o.eventRate = 1;  // one tick after the answer: two events in one write
        SimulatorThread sim(o);
        QVERIFY(sim.start());
        Client client(sim.longPort());
        QVERIFY(!Subscribe(client).isEmpty());
        Message first, second;
        QVERIFY(client.read(&first, 8000));
        QVERIFY(client.read(&second, 8000));
        QCOMPARE(client.reads().last().count("POST /SendAlarmStatus HTTP/1.1"), 2);
        QVERIFY(client.reads().last().endsWith(second.body));
    }

    void aSubscriptionGetsOnlyTheTypesItLists() {
        SimulatorOptions o;
        o.eventRate = 0;
        o.eventCount = 3;
        o.kinds = {"VFD_MATCH", "PEA", "VEHICLE"};
        SimulatorThread sim(o);
        QVERIFY(sim.start());
        Client client(sim.longPort());
        QVERIFY(!Subscribe(client, SubscribeBody({"VEHICLE"})).isEmpty());
        for (int i = 0; i < 3; ++i) {
            Message m;
            QVERIFY(client.read(&m));
            QCOMPARE(ElementText(m.body, {"config", "smartType"}), QByteArray("VEHICLE"));
        }
        // A list naming nothing the device detects: no events at all.
        QVERIFY(!Subscribe(client, SubscribeBody({"FIRE"})).isEmpty());
        QVERIFY(!client.anythingWithin(500));
    }

    void cancelAndDisconnectStopThePushing() {
        SimulatorOptions o;
        o.eventRate = 40;
        o.eventCount = 100000;
        o.pictureWidth = 64;
        o.pictureHeight = 32;
        SimulatorThread sim(o);
        QVERIFY(sim.start());
        {
            Client client(sim.longPort());
            const QByteArray address = Subscribe(client);
            QVERIFY(!address.isEmpty());
            Message m;
            QVERIFY(client.read(&m));
            QVERIFY(client.read(&m));
            QVERIFY(m.firstLine.startsWith("POST "));
            QVERIFY(client.send(Request("CancelSubscribe", FollowUpBody(address))));
            int skipped = 0;
            QVERIFY(ReadAnswer(client, &m, &skipped));
            QCOMPARE(Attr(m.body, "status"), QByteArray("success"));
            QVERIFY(!client.anythingWithin(500));

            QVERIFY(!Subscribe(client).isEmpty());
            QVERIFY(client.read(&m));
            QVERIFY(m.firstLine.startsWith("POST "));
            int open = 0;
            sim.invoke([&open](DeviceSimulator& d) { open = d.longConnectionCount(); });
            QCOMPARE(open, 1);
        }  // the client goes away while subscribed
        QElapsedTimer timer;
        timer.start();
        int open = 1;
        while (open != 0 && timer.elapsed() < 5000) {
            QThread::msleep(20);
            sim.invoke([&open](DeviceSimulator& d) { open = d.longConnectionCount(); });
        }
        QCOMPARE(open, 0);
        const int pushed = EventsPushed(sim);
        QThread::msleep(300);
        QCOMPARE(EventsPushed(sim), pushed);
    }

    void aClientThatDoesNotReadHoldsTheDeviceBack() {
        SimulatorOptions o;
        o.eventRate = 0;
        o.eventCount = 40;
        o.kinds = {"VFD_MATCH"};
        o.pictureBytes = 300 * 1024;  // an event of about 1.2 MB of Base64
        SimulatorThread sim(o);
        QVERIFY(sim.start());
        Client client(sim.longPort());
        QVERIFY(!Subscribe(client).isEmpty());
        QThread::msleep(1500);
        const int early = EventsPushed(sim);
        QVERIFY2(early < 40, qPrintable(QString::number(early)));
        QVERIFY(early > 0);
        for (int i = 0; i < 40; ++i) {
            Message m;
            QVERIFY2(client.read(&m, 20000), qPrintable(QString("event %1").arg(i + 1)));
            QCOMPARE(m.contentLength, m.body.size());
            QVERIFY(m.body.size() > 3 * 4 * 300 * 1024 / 3);
        }
        QCOMPARE(EventsPushed(sim), 40);
    }

    void anUnwritableRecordFolderStopsTheStart() {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        SimulatorOptions o = Quiet();
        o.recordFolder = dir.filePath("file/record");  // below a file: cannot be made
        SimulatorThread sim(o);
        QString error;
        QVERIFY(!sim.start(&error));
        QVERIFY2(error.contains("file/record"), qPrintable(error));
        QCOMPARE(sim.shortPort(), quint16(0));

        // A long port that is taken: the short port it had opened is closed again.
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::LocalHost, 0));
        SimulatorOptions busy = Quiet();
        busy.longPort = taken.serverPort();
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            busy.shortPort = probe.serverPort();
        }
        DeviceSimulator device(busy);
        QVERIFY(!device.start(&error));
        QVERIFY(error.contains(QString::number(taken.serverPort())));
        QCOMPARE(device.shortPort(), quint16(0));
        QVERIFY(!device.isListening());
        QTcpServer again;
        QVERIFY(again.listen(QHostAddress::LocalHost, busy.shortPort));
    }

    void theProgramPrintsItsPortsAndServesBoth() {
        QTemporaryDir record;
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");  // the program chooses the off-screen platform itself
        program.setProcessEnvironment(env);
        program.start(TESSALY_DEVSIM_PATH, {"--rate", "0", "--count", "2", "--kinds", "PEA",
                                            "--record", record.path(), "--user", "op"});
        QVERIFY(program.waitForStarted(5000));
        QMap<QByteArray, quint16> ports;
        QElapsedTimer timer;
        timer.start();
        while (ports.size() < 2 && timer.elapsed() < 10000) {
            if (!program.canReadLine() && !program.waitForReadyRead(200))
                continue;
            while (program.canReadLine()) {
                const QList<QByteArray> words = program.readLine().trimmed().split(' ');
                if (words.size() == 2)
                    ports[words[0]] = quint16(words[1].toUInt());
            }
        }
        QVERIFY(ports.value("short-port") != 0);
        QVERIFY(ports.value("long-port") != 0);

        Client shortClient(ports.value("short-port"));
        QVERIFY(
            shortClient.send("POST /GetDeviceInfo HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                             "Authorization: Basic " +
                             QByteArray("op:739184").toBase64() + "\r\nContent-Length: 0\r\n\r\n"));
        Message m;
        QVERIFY(shortClient.read(&m));
        QVERIFY2(m.firstLine.startsWith("HTTP/1.1 200"), m.all().constData());
        QCOMPARE(Attr(m.body, "status"), QByteArray("success"));

        Client longClient(ports.value("long-port"));
        QVERIFY(longClient.send(Request("SetSubscribe", SubscribeBody(),
                                        "Basic " + QByteArray("op:739184").toBase64())));
        QVERIFY(longClient.read(&m));
        QVERIFY(m.firstLine.startsWith("HTTP/1.1 200"));
        for (int i = 0; i < 2; ++i) {
            QVERIFY(longClient.read(&m));
            QCOMPARE(ElementText(m.body, {"config", "smartType"}), QByteArray("PEA"));
        }
        QVERIFY(!longClient.anythingWithin(300));
        program.terminate();
        QVERIFY(program.waitForFinished(5000));
        QFile sent(record.filePath("long-sent.bin"));
        QVERIFY(sent.open(QIODevice::ReadOnly));
        QCOMPARE(sent.readAll(), longClient.received());
    }
};

QTEST_MAIN(SimLongPortTest)
#include "sim_long_port_test.moc"
