// The simulator's long port, driven by a plain blocking socket client as the tool's long
// connection would: subscribe, follow-ups, pushed events, the record files; and the program.

#include <QCryptographicHash>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include "sim/sim_xml.h"
#include "sim/simulator_thread.h"
#include "sim_support.h"

namespace {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// The kinds and Base64 texts of an event's pictures, named as the record files name them.
QList<QPair<QString, QByteArray>> EventPictureTexts(const QByteArray& body) {
    const auto text = [&body](const char* parent, const char* data, const char* base64) {
        return ElementText(body, {"config", parent, data, base64});
    };
    if (ElementText(body, {"config", "smartType"}) == "VFD_MATCH")
        return {{"snap", text("snapData", "ImageData", "Base64Data")},
                {"album", text("albumData", "ImageData", "Base64Data")},
                {"src", text("sourceData", "ImageData", "Base64Data")}};
    QList<QPair<QString, QByteArray>> texts = {
        {"src", ElementText(body, {"config", "sourceDataInfo", "sourceBase64Data"})}};
    for (const QByteArray& t :
         ElementTexts(body, {"config", "listInfo", "item", "targetImageData", "targetBase64Data"}))
        texts.append({QString("target%1").arg(texts.size()), t});
    return texts;
}

SimulatorOptions Pushing(int count, const QStringList& kinds, double rate = 0) {
    SimulatorOptions o;
    o.eventCount = count;
    o.kinds = kinds;
    o.eventRate = rate;
    o.pictureWidth = 64;
    o.pictureHeight = 32;
    return o;
}

}  // namespace

class SimLongPortTest : public QObject {
    Q_OBJECT
  private slots:
    void subscribeAnswerCarriesLengthAndAddress() {
        SimulatorThread sim(Quiet());
        QVERIFY(sim.start());
        Client client(sim.longPort());
        const QByteArray subscribe = Request("SetSubscribe", SubscribeBody());
        for (const QByteArray& part :
             {subscribe.left(10), subscribe.mid(10, 99), subscribe.mid(109)}) {
            QVERIFY(client.send(part));  // one request in three writes
            QThread::msleep(50);
        }
        Message m;
        QVERIFY(client.read(&m));
        QCOMPARE(m.firstLine, QByteArray("HTTP/1.1 200 OK"));
        QCOMPARE(m.contentLength, m.body.size());
        QVERIFY(m.head.contains("\r\nConnection: keep-alive\r\n") && m.body.startsWith("<?xml"));
        QCOMPARE(Attr(m.body, "status"), QByteArray("success"));
        const QByteArray address = ElementText(m.body, {"config", "serverAddress"});
        const QByteArray prefix =
            "http://127.0.0.1:" + QByteArray::number(sim.longPort()) + "/Subscribers/";
        QVERIFY2(address.startsWith(prefix), address.constData());
        const QByteArray second = Subscribe(client);  // a new subscription, a new address
        QVERIFY(second.startsWith(prefix) && second != address);
    }

    void eachRequestGetsItsAnswer() {
        SimulatorThread sim(Quiet());
        QVERIFY(sim.start());
        Client client(sim.longPort());
        Message m;
        // Before any subscription every address is unknown.
        QVERIFY(client.send(Request("RenewSubscribe", FollowUpBody("http://x/Subscribers/1"))));
        QVERIFY(client.read(&m) && m.firstLine.startsWith("HTTP/1.1 400"));
        const QByteArray address = Subscribe(client), wrong = address + "9";
        QVERIFY(!address.isEmpty());
        const QByteArray unknown = "Unknown serverAddress";
        const struct {
            QByteArray request, firstLine, errorDesc;
        } rows[] = {
            {Request("RenewSubscribe", FollowUpBody(wrong)), "HTTP/1.1 400 Bad Request", unknown},
            {Request("GetSubscribeInfo", FollowUpBody(wrong)), "HTTP/1.1 400 Bad Request", unknown},
            {Request("CancelSubscribe", FollowUpBody(wrong)), "HTTP/1.1 400 Bad Request", unknown},
            {Request("GetDeviceInfo", {}), "HTTP/1.1 404 Not Found", "Unknown interface"},
            {Request("SetSubscribe", "no xml"), "HTTP/1.1 400 Bad Request", {}},
            {Request("RenewSubscribe", FollowUpBody(address), BasicAuth("admin:x")),
             "HTTP/1.1 401 Unauthorized",
             {}},
            // Two requests in one write.
            {Request("RenewSubscribe", FollowUpBody(address)) +
                 Request("GetSubscribeInfo", FollowUpBody(address)),
             "HTTP/1.1 200 OK",
             {}},
            {{}, "HTTP/1.1 200 OK", {}},
            {Request("CancelSubscribe", FollowUpBody(address)), "HTTP/1.1 200 OK", {}},
            {Request("RenewSubscribe", FollowUpBody(address)), "HTTP/1.1 400 Bad Request", unknown},
            // A request that cannot be read gets 400 and the connection is closed.
            {"GARBAGE\r\n\r\n", "HTTP/1.1 400 Bad Request", {}}};
        QList<Message> answers;
        for (const auto& r : rows) {
            QVERIFY(client.send(r.request) && client.read(&m));
            QVERIFY2(m.firstLine == r.firstLine,
                     (r.request.left(40) + " -> " + m.firstLine).data());
            QCOMPARE(m.contentLength, m.body.size());
            if (!r.errorDesc.isEmpty())
                QCOMPARE(Attr(m.body, "errorDesc"), r.errorDesc);
            answers << m;
        }
        QVERIFY(
            answers[5].head.contains("\r\nWWW-Authenticate: Basic realm=\"Tessaly Device\"\r\n"));
        QVERIFY(ElementText(answers[6].body, {"config", "serverAddress"}).isNull());
        QCOMPARE(ElementText(answers[7].body, {"config", "serverAddress"}), address);
        client.send(Request("SetSubscribe", SubscribeBody()));  // closed: no answer
        QVERIFY(!client.anythingWithin(1000));
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
        SimulatorOptions o = Pushing(5, {"VFD_MATCH", "VEHICLE", "PEA"});
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
        QVERIFY(!Subscribe(client, SubscribeBody({"PEA", "VFD_MATCH"})).isEmpty());
        QSet<QByteArray> hashes;
        for (int seq = 1; seq <= 5; ++seq) {
            Message m;
            QVERIFY2(client.read(&m), qPrintable(QString("event %1").arg(seq)));
            QCOMPARE(m.firstLine, QByteArray("POST /SendAlarmStatus HTTP/1.1"));
            QCOMPARE(m.contentLength, m.body.size());
            QVERIFY(m.body.startsWith("<?xml") && IsWellFormedXml(m.body));
            // The document's own lines end in LF: a CR LF can only come from the Base64 texts.
            QCOMPARE(m.body.contains("\r\n"), breaks);
            QCOMPARE(ElementText(m.body, {"config", "smartType"}),
                     QByteArray(seq % 2 == 1 ? "VFD_MATCH" : "PEA"));
            const auto pictures = EventPictureTexts(m.body);
            QCOMPARE(pictures.size(), 3);  // snap, album, src or src and two targets
            for (const auto& [kind, text] : pictures) {
                const QByteArray jpeg = Decode(text);
                const QSize size = QImage::fromData(jpeg, "JPG").size();
                QVERIFY(kind == "src" ? size == QSize(320, 180) : size.width() >= 16);
                hashes.insert(QCryptographicHash::hash(jpeg, QCryptographicHash::Md5));
                const QString file = QString("pictures/%1_%2.jpg").arg(seq).arg(kind);
                QCOMPARE(ReadFile(record.filePath(file)), jpeg);
            }
        }
        QCOMPARE(hashes.size(), 15);  // every picture differs
        // The count is reached; a list naming nothing the device detects gets no events.
        QVERIFY(!Subscribe(client, SubscribeBody({"FIRE"})).isEmpty());
        QVERIFY(!client.anythingWithin(500));
        QCOMPARE(Ask(sim, &DeviceSimulator::eventsPushed), 5);
        QCOMPARE(ReadFile(record.filePath("long-sent.bin")), client.received());
        QCOMPARE(QDir(record.filePath("pictures")).entryList(QDir::Files).size(), 15);
    }

    void writeModesShowInTheReads() {
        SimulatorOptions o = Pushing(2, {"PEA"});
        o.targetCount = 1;
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
            const qsizetype size = m.head.size() + m.body.size(), writes = (size + 511) / 512;
            // Pieces come 40 ms apart, so the reads see them apart (allowing for a busy
            // machine that takes two at once now and then).
            const qsizetype reads = client.reads().size() - before;
            QVERIFY2(writes >= 3 && reads * 2 >= writes, qPrintable(QString::number(reads)));
        }
        o.writeMode = SimWriteMode::Pairs;
        o.eventRate = 1;  // one tick after the answer: two events in one write
        SimulatorThread sim(o);
        QVERIFY(sim.start());
        Client client(sim.longPort());
        QVERIFY(!Subscribe(client).isEmpty());
        Message first, second;
        QVERIFY(client.read(&first, 8000) && client.read(&second, 8000));
        QCOMPARE(client.reads().last().count("POST /SendAlarmStatus HTTP/1.1"), 2);
        QVERIFY(client.reads().last().endsWith(second.body));
    }

    void cancelAndDisconnectStopThePushing() {
        SimulatorThread sim(Pushing(100000, {"VFD_MATCH", "PEA"}, 40));
        QVERIFY(sim.start());
        {
            Client client(sim.longPort());
            const QByteArray address = Subscribe(client);
            Message m;
            QVERIFY(client.read(&m) && client.read(&m) && m.firstLine.startsWith("POST "));
            QVERIFY(client.send(Request("CancelSubscribe", FollowUpBody(address))));
            do  // events already under way may come before the answer
                QVERIFY(client.read(&m));
            while (!m.firstLine.startsWith("HTTP/"));
            QCOMPARE(Attr(m.body, "status"), QByteArray("success"));
            QVERIFY(!client.anythingWithin(500));
            QVERIFY(!Subscribe(client).isEmpty());
            QVERIFY(client.read(&m) && m.firstLine.startsWith("POST "));
            QCOMPARE(Ask(sim, &DeviceSimulator::longConnectionCount), 1);
        }  // the client goes away while subscribed
        QTRY_COMPARE_WITH_TIMEOUT(Ask(sim, &DeviceSimulator::longConnectionCount), 0, 5000);
        const int pushed = Ask(sim, &DeviceSimulator::eventsPushed);
        QThread::msleep(300);
        QCOMPARE(Ask(sim, &DeviceSimulator::eventsPushed), pushed);
    }

    void aClientThatDoesNotReadHoldsTheDeviceBack() {
        SimulatorOptions o = Pushing(40, {"VFD_MATCH"});
        o.pictureBytes = 300 * 1024;  // an event of about 1.2 MB of Base64
        SimulatorThread sim(o);
        QVERIFY(sim.start());
        Client client(sim.longPort());
        QVERIFY(!Subscribe(client).isEmpty());
        QThread::msleep(1500);
        const int early = Ask(sim, &DeviceSimulator::eventsPushed);
        QVERIFY2(early > 0 && early < 40, qPrintable(QString::number(early)));
        for (int i = 0; i < 40; ++i) {
            Message m;
            QVERIFY2(client.read(&m, 20000), qPrintable(QString("event %1").arg(i + 1)));
            QVERIFY(m.contentLength == m.body.size() && m.body.size() > 4 * 300 * 1024);
        }
        QCOMPARE(Ask(sim, &DeviceSimulator::eventsPushed), 40);
    }

    void aFailedStartClosesWhatItOpened() {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        SimulatorOptions o = Quiet();
        o.recordFolder = dir.filePath("file/record");  // below a file: cannot be made
        SimulatorThread sim(o);
        QString error;
        QVERIFY(!sim.start(&error));
        QVERIFY2(error.contains("file/record") && sim.shortPort() == 0, qPrintable(error));
        // A long port that is taken: the short port it had opened is closed again.
        QTcpServer taken, probe;
        QVERIFY(taken.listen(QHostAddress::LocalHost) && probe.listen(QHostAddress::LocalHost));
        o = Quiet();
        o.longPort = taken.serverPort();
        o.shortPort = probe.serverPort();
        probe.close();
        DeviceSimulator device(o);
        QVERIFY(!device.start(&error));
        QVERIFY(error.contains(QString::number(o.longPort)));
        QVERIFY(!device.isListening() && device.shortPort() == 0);
        QVERIFY(probe.listen(QHostAddress::LocalHost, o.shortPort));
    }

    void theProgramHelpsPrintsItsPortsAndServesBoth() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");  // the program chooses the off-screen platform itself
        QProcess help;
        help.setProcessEnvironment(env);
        help.start(TESSALY_DEVSIM_PATH, {"--help"});
        QVERIFY(help.waitForFinished(10000) && help.exitCode() == 0);
        const QByteArray text = help.readAllStandardOutput();
        for (const QString& option :
             QString("short-port user password auth help long-port rate count kinds targets "
                     "picture-size picture-bytes base64-breaks write piece-bytes piece-interval "
                     "record")
                 .split(' '))
            QVERIFY2(text.contains("--" + option.toUtf8()), qPrintable(option));

        QTemporaryDir record;
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(TESSALY_DEVSIM_PATH, {"--rate", "0", "--count", "2", "--kinds", "PEA",
                                            "--record", record.path(), "--user", "op"});
        QByteArray out;  // "short-port <n>" and "long-port <n>" lines
        while (out.count('\n') < 2 && program.waitForReadyRead(10000))
            out += program.readAllStandardOutput();
        const QList<QByteArray> lines = out.split('\n');
        QVERIFY2(lines[0].startsWith("short-port ") && lines.value(1).startsWith("long-port "),
                 out);
        const quint16 longPort = lines[1].mid(10).toUShort();
        Message m;
        Client longClient(longPort);
        QVERIFY(longClient.send(Request("SetSubscribe", SubscribeBody(), BasicAuth("op:739184"))));
        QVERIFY(longClient.read(&m) && m.firstLine.startsWith("HTTP/1.1 200"));
        for (int i = 0; i < 2; ++i) {
            QVERIFY(longClient.read(&m));
            QCOMPARE(ElementText(m.body, {"config", "smartType"}), QByteArray("PEA"));
        }
        QVERIFY(!longClient.anythingWithin(300));
        program.terminate();
        QVERIFY(program.waitForFinished(5000));
        QCOMPARE(ReadFile(record.filePath("long-sent.bin")), longClient.received());
    }
};

QTEST_MAIN(SimLongPortTest)
#include "sim_long_port_test.moc"
