// The simulator's long port driven by a blocking socket client as the tool would; the program.
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include "sim/sim_xml.h"
#include "sim/simulator_thread.h"
#include "support/sim_support.h"

namespace {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// The pictures of an event, decoded from every Base64 text it carries.
QList<QByteArray> EventPictures(const QByteArray& body) {
    QList<QByteArray> pictures;
    static const QRegularExpression text("Base64Data type=\"string\">([^<]*)<");
    for (const auto& match : text.globalMatch(QString::fromLatin1(body)))
        pictures << QByteArray::fromBase64(match.captured(1).toLatin1().replace("\r\n", ""));
    return pictures;
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
    void subscribeAndFollowUpsGetTheirAnswers() {
        SimulatorThread sim(Pushing(0, {"PEA"}));
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
        const QByteArray first = ElementText(m.body, {"config", "serverAddress"});
        const QByteArray prefix =
            "http://127.0.0.1:" + QByteArray::number(sim.longPort()) + "/Subscribers/";
        const QByteArray address = Subscribe(client), wrong = address + "9";
        QVERIFY2(first.startsWith(prefix) && address.startsWith(prefix) && address != first,
                 first + " " + address);  // a new subscription, a new address
        const QByteArray unknown = "Unknown serverAddress", bad = "HTTP/1.1 400 Bad Request";
        const struct {
            QByteArray request, firstLine, errorDesc;
        } rows[] = {
            {Request("RenewSubscribe", FollowUpBody(wrong)), bad, unknown},
            {Request("GetDeviceInfo", {}), "HTTP/1.1 404 Not Found", "Unknown interface"},
            {Request("GetSubscribeInfo", FollowUpBody(address), BasicAuth("a:x")),
             "HTTP/1.1 401 Unauthorized",
             {}},
            {Request("GetSubscribeInfo", FollowUpBody(address)), "HTTP/1.1 200 OK", {}},
            {Request("CancelSubscribe", FollowUpBody(address)), "HTTP/1.1 200 OK", {}},
            {Request("RenewSubscribe", FollowUpBody(address)), bad, unknown},
            {"GARBAGE\r\n\r\n", bad, "Malformed request"}};  // then the connection is closed
        for (const auto& r : rows) {
            QVERIFY(client.send(r.request) && client.read(&m));
            QVERIFY2(m.firstLine == r.firstLine, r.request.left(40) + " -> " + m.firstLine);
            QCOMPARE(m.contentLength, m.body.size());
            QCOMPARE(Attr(m.body, "errorDesc"), r.errorDesc);
        }
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
        o.pictureBytes = 70000;
        o.base64LineBreaks = breaks;
        o.writeMode = SimWriteMode(mode);
        o.pieceBytes = 777;
        o.recordFolder = record.path();
        SimulatorThread sim(o);
        QVERIFY(sim.start());
        Client client(sim.longPort());
        QVERIFY(!Subscribe(client, SubscribeBody({"PEA", "VFD_MATCH"})).isEmpty());
        QList<QByteArray> sent;
        int sources = 0;
        for (int seq = 1; seq <= 5; ++seq) {
            Message m;
            QVERIFY2(client.read(&m), qPrintable(QString("event %1").arg(seq)));
            QCOMPARE(m.firstLine, QByteArray("POST /SendAlarmStatus HTTP/1.1"));
            QCOMPARE(m.contentLength, m.body.size());
            QVERIFY(m.body.startsWith("<?xml") && IsWellFormedXml(m.body));
            QCOMPARE(m.body.contains("\r\n"), breaks);  // only Base64 texts may hold CR LF
            QCOMPARE(ElementText(m.body, {"config", "smartType"}),
                     QByteArray(seq % 2 == 1 ? "VFD_MATCH" : "PEA"));
            for (const QByteArray& line : m.body.split('\n'))  // MIME lines of 76
                QVERIFY(!line.endsWith('\r') || line.contains('<') || line.size() <= 77);
            const QList<QByteArray> pictures = EventPictures(m.body);
            QCOMPARE(pictures.size(), 3);  // snap, album, source or source and two targets
            for (const QByteArray& jpeg : pictures)  // padded, still a picture
                sources += jpeg.size() >= 70000 && QImage::fromData(jpeg).size() == QSize(320, 180);
            sent += pictures;
        }
        QCOMPARE(sources, 5);
        QCOMPARE(QSet<QByteArray>(sent.begin(), sent.end()).size(), 15);  // every picture differs
        QList<QByteArray> recorded;
        for (const QFileInfo& file : QDir(record.filePath("pictures")).entryInfoList(QDir::Files))
            recorded << ReadFile(file.filePath());
        std::sort(recorded.begin(), recorded.end());
        std::sort(sent.begin(), sent.end());
        QCOMPARE(recorded, sent);
        // The count is reached; a list naming nothing the device detects gets no events.
        QVERIFY(!Subscribe(client, SubscribeBody({"FIRE"})).isEmpty());
        QVERIFY(!client.anythingWithin(500));
        QCOMPARE(Ask(sim, &DeviceSimulator::eventsPushed), 5);
        QCOMPARE(ReadFile(record.filePath("long-sent.bin")), client.received);
    }

    void writeModesShowInTheReads() {
        // Pieces 40 ms apart are read apart (a busy machine may join two); pairs in one write.
        for (const SimWriteMode mode : {SimWriteMode::Pieces, SimWriteMode::Pairs}) {
            SimulatorOptions o = Pushing(2, {"PEA"}, mode == SimWriteMode::Pairs);
            o.writeMode = mode;
            o.pieceBytes = 512;
            o.pieceIntervalMs = 40;
            SimulatorThread sim(o);
            QVERIFY(sim.start());
            Client client(sim.longPort());
            QVERIFY(!Subscribe(client).isEmpty());
            const qsizetype before = client.reads.size();
            Message m, second;
            QVERIFY(client.read(&m, 8000) && client.read(&second, 8000));
            if (mode == SimWriteMode::Pairs)
                QCOMPARE(client.reads.last().count("POST /SendAlarmStatus HTTP/1.1"), 2);
            else
                QVERIFY((client.reads.size() - before) * 1024 >= m.head.size() + m.body.size());
        }
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
        }  // the client goes away while subscribed
        QTRY_COMPARE_WITH_TIMEOUT(Ask(sim, &DeviceSimulator::longConnectionCount), 0, 5000);
        const int pushed = Ask(sim, &DeviceSimulator::eventsPushed);
        QThread::msleep(300);
        QCOMPARE(Ask(sim, &DeviceSimulator::eventsPushed), pushed);
    }

    void theProgramHelpsPrintsItsPortsAndServes() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");  // the program chooses the off-screen platform itself
        QProcess help;
        help.setProcessEnvironment(env);
        help.start(TESSALY_DEVSIM_PATH, {"--help"});
        QVERIFY(help.waitForFinished(10000) && help.exitCode() == 0);
        QVERIFY(help.readAllStandardOutput().contains("--long-port"));

        QProcess program;
        program.setProcessEnvironment(env);
        program.start(TESSALY_DEVSIM_PATH,
                      {"--rate", "0", "--count", "2", "--kinds", "PEA", "--user", "op"});
        QByteArray out;  // "short-port <n>" and "long-port <n>" lines
        while (out.count('\n') < 2 && program.waitForReadyRead(10000))
            out += program.readAllStandardOutput();
        const QList<QByteArray> lines = out.split('\n');
        QVERIFY2(lines[0].startsWith("short-port ") && lines.value(1).startsWith("long-port "),
                 out);
        Message m;
        Client client(lines[1].mid(10).toUShort());
        QVERIFY(client.send(Request("SetSubscribe", SubscribeBody(), BasicAuth("op:739184"))));
        QVERIFY(client.read(&m) && m.firstLine.startsWith("HTTP/1.1 200"));
        for (int i = 0; i < 2; ++i)
            QVERIFY(client.read(&m) && ElementText(m.body, {"config", "smartType"}) == "PEA");
        QVERIFY(!client.anythingWithin(300));
        program.terminate();
        QVERIFY(program.waitForFinished(5000));
    }
};

QTEST_MAIN(SimLongPortTest)
#include "sim_long_port_test.moc"
