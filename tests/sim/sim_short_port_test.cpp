// The simulator's short port, driven through the tool's own HttpPost (libcurl) and, where the
// wire matters, through a plain socket.

#include <curl/curl.h>

#include <QTcpServer>
#include <QtTest>

#include "catalogue/builtin_interfaces.h"
#include "sim/short_port_server.h"
#include "sim/sim_xml.h"
#include "sim/simulator_thread.h"
#include "sim_support.h"

class SimShortPortTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        QVERIFY(sim_.start());  // a device with the default settings, shared
    }
    void cleanupTestCase() { curl_global_cleanup(); }

    void eachSchemeAuthorisesOnlyTheRightPair_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("basic") << int(SimAuthMode::Basic);
        QTest::newRow("digest") << int(SimAuthMode::Digest);
        QTest::newRow("any") << int(SimAuthMode::Any);
    }
    void eachSchemeAuthorisesOnlyTheRightPair() {
        QFETCH(int, mode);
        SimulatorOptions o;
        o.auth = SimAuthMode(mode);
        o.user = "ad:min";  // a colon in the user name is passed through as it is
        o.password = "pw";
        SimulatorThread sim(o);
        QVERIFY(sim.start());
        const Post p = PostTo(sim.shortPort(), "GetDeviceInfo", {}, "ad:min", "pw");
        QCOMPARE(p.ok, 1);
        QCOMPARE(Attr(p.body, "status"), QByteArray("success"));
        // Non-ASCII text arrives as the device's UTF-8 bytes.
        QCOMPARE(ElementText(p.body, {"config", "deviceName"}),
                 QString::fromUtf8("前门摄像机").toUtf8());
        for (const auto& [user, password] :
             {std::pair{"ad:min", "wrong"}, {"root", "pw"}, {"ad", "min:pw"}}) {
            if (o.auth == SimAuthMode::Basic && QByteArray(user) == "ad")
                continue;  // Basic carries these as the same bytes as the right pair
            const Post refused = PostTo(sim.shortPort(), "GetDeviceInfo", {}, user, password);
            QCOMPARE(refused.ok, 1);
            QCOMPARE(refused.body, UnauthorizedPage());
        }
    }

    void theWireCarriesStatusChallengesAndContentType() {
        Client client(sim_.shortPort());
        const QByteArray post = "POST /GetNothing HTTP/1.1\r\nHost: 127.0.0.1\r\n";
        Message m;
        QVERIFY(client.send(post + "Content-Length: 0\r\n\r\n") && client.read(&m));
        QVERIFY2(m.firstLine.startsWith("HTTP/1.1 401"), m.firstLine.constData());
        const QByteArray head = m.head.toLower();
        QCOMPARE(head.count("www-authenticate: "), 2);
        QVERIFY(head.contains("www-authenticate: digest ") &&
                head.contains("www-authenticate: basic "));
        QCOMPARE(m.body, UnauthorizedPage());
        QVERIFY(
            client.send(post + "Authorization: " + BasicAuth() + "\r\nContent-Length: 0\r\n\r\n") &&
            client.read(&m));
        QVERIFY2(m.firstLine.startsWith("HTTP/1.1 404"), m.firstLine.constData());
        QVERIFY(m.head.toLower().contains("content-type: application/xml; charset=utf-8"));
    }

    void portsAreUsedWholeAndADeadPortGivesNothing() {
        SimulatorOptions o;
        quint16 dead = 0;
        for (quint16 candidate = 47000; candidate < 47200 && dead == 0; candidate += 7) {
            QTcpServer probe;
            if (probe.listen(QHostAddress::LocalHost, candidate))
                *(o.shortPort == 0 ? &o.shortPort : &dead) = candidate;  // then a dead one
        }
        QVERIFY(o.shortPort >= 10000 && dead != 0);
        SimulatorThread sim(o);
        QVERIFY(sim.start());
        QCOMPARE(sim.shortPort(), o.shortPort);
        QCOMPARE(Attr(PostTo(o.shortPort, "GetDeviceInfo").body, "status"), QByteArray("success"));
        const Post p = PostTo(dead, "GetDeviceInfo");
        QVERIFY(p.ok == 0 && p.body.isEmpty() && !p.error.empty());
        // A port that another device holds cannot be had twice.
        SimulatorThread second(o);
        QString error;
        QVERIFY(!second.start(&error));
        QVERIFY(error.contains(QString::number(o.shortPort)));
    }

    void aLongAnswerArrivesWhole() {
        // A setting of about 3 MB with multi-byte text, so the answer comes in many pieces.
        QByteArray big = "\n";
        for (int i = 0; big.size() < 3 * 1024 * 1024; ++i)
            big += "\t<line id=\"" + QByteArray::number(i) + "\"><![CDATA[" +
                   QString::fromUtf8("第%1行 ").arg(i).toUtf8().repeated(20) + "]]></line>\n";
        QCOMPARE(Attr(PostTo(sim_.shortPort(), "SetImageOsdConfig/1", ConfigDocument(big)).body,
                      "status"),
                 QByteArray("success"));
        const Post get = PostTo(sim_.shortPort(), "GetImageOsdConfig/1");
        QCOMPARE(get.ok, 1);
        QCOMPARE(get.body, ConfigDocument(big));
    }

    void everyInterfaceSucceedsAndSetThenGetReturnsWhatWasSet() {
        int pairs = 0;
        for (const API_INTERFACE& record : BuiltinInterfaces()) {
            const QByteArray channel = record.bChannel ? "/1" : "";
            QByteArray path = record.strName.c_str() + channel;
            if (path == "PtzControl/1" && !record.strBody.empty())
                path += "/Up";
            const Post p =
                PostTo(sim_.shortPort(), path, QByteArray::fromStdString(record.strBody));
            QVERIFY2(p.ok == 1 && Attr(p.body, "status") == "success", path + ": " + p.body);
            QVERIFY(IsWellFormedXml(p.body));
            if (record.strPairName.empty())
                continue;
            ++pairs;
            // The window sends back the edited answer: its attributes are taken in stride.
            const QByteArray doc =
                ConfigDocument("\n\t<name type=\"string\"><![CDATA[" + path + " 改]]></name>\n");
            const Post set = PostTo(sim_.shortPort(), record.strPairName.c_str() + channel, doc);
            QVERIFY2(Attr(set.body, "status") == "success", set.body.constData());
            QCOMPARE(PostTo(sim_.shortPort(), path).body, doc);
        }
        QCOMPARE(pairs, 15);
        // Another channel keeps its own setting.
        const QByteArray other = PostTo(sim_.shortPort(), "GetImageConfig/2").body;
        QVERIFY(ElementText(other, {"config", "name"}).isNull());
        QVERIFY(!ElementText(other, {"config", "image", "brightness"}).isEmpty());
    }

    void modifyPasswordChangesWhatIsAccepted() {
        SimulatorThread sim;
        QVERIFY(sim.start());
        const auto modify = [&sim](const QByteArray& oldPw, const QByteArray& password) {
            return Attr(PostTo(sim.shortPort(), "ModifyPassword",
                               "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<config "
                               "version=\"1.0\"><userPassword><oldPassword><![CDATA[" +
                                   oldPw.toBase64() + "]]></oldPassword><password><![CDATA[" +
                                   password.toBase64() + "]]></password></userPassword></config>")
                            .body,
                        "errorCode");
        };
        // A wrong old password: 401 and nothing changes.
        QCOMPARE(modify("nope", "n3w:pass"), QByteArray("401"));
        QCOMPARE(Attr(PostTo(sim.shortPort(), "Reboot").body, "status"), QByteArray("success"));
        QCOMPARE(modify("739184", "n3w:pass"), QByteArray("0"));
        QCOMPARE(PostTo(sim.shortPort(), "Reboot").body, UnauthorizedPage());
        QCOMPARE(Attr(PostTo(sim.shortPort(), "Reboot", {}, "admin", "n3w:pass").body, "status"),
                 QByteArray("success"));
    }

    void unknownPathsGet404AndBadBodies400() {
        const QByteArray before = PostTo(sim_.shortPort(), "GetImageConfig/1").body;
        for (const char* path : {"GetNothing", "GetImageConfig/x", "GetImageConfig/1/Up",
                                 "PtzControl/1/Sideways", "getdeviceinfo", "Reboot/1/2/3", ""}) {
            const QByteArray body = PostTo(sim_.shortPort(), path).body;
            QVERIFY2(Attr(body, "errorCode") == "404", path);
            QCOMPARE(Attr(body, "status") + Attr(body, "errorDesc"),
                     QByteArray("failedUnknown interface"));
        }
        const QList<QPair<QByteArray, QByteArray>> bad = {
            // path, body
            {"SetImageConfig/1", "a=3"},
            {"SetImageConfig/1", "<image/>"},
            {"SetImageConfig/1", "<config><a></config>"},
            {"PtzGotoPreset/1", "<presetInfo>"},
            {"ModifyPassword", "<config><userPassword/></config>"}};
        for (const auto& [path, body] : bad)
            QVERIFY2(Attr(PostTo(sim_.shortPort(), path, body).body, "errorCode") == "400", body);
        QCOMPARE(PostTo(sim_.shortPort(), "GetImageConfig/1").body, before);
    }

  private:
    SimulatorThread sim_;
};

QTEST_MAIN(SimShortPortTest)
#include "sim_short_port_test.moc"
