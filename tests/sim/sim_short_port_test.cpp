// The simulator's short port, driven through the tool's own HttpPost (libcurl) and, where the
// wire matters, through a plain socket.

#include <curl/curl.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <string>

#include "catalogue/builtin_interfaces.h"
#include "request/http_post.h"
#include "sim/device_auth.h"
#include "sim/device_interfaces.h"
#include "sim/device_simulator.h"
#include "sim/short_port_server.h"
#include "sim/sim_xml.h"
#include "sim/simulator_thread.h"

namespace {

SimulatorOptions WithAuth(SimAuthMode mode, QString user = "admin", QString password = "739184") {
    SimulatorOptions o;
    o.auth = mode;
    o.user = std::move(user);
    o.password = std::move(password);
    return o;
}

struct Post {
    int ok = 0;
    std::string response;
    std::string error;
    QByteArray bytes() const { return QByteArray::fromStdString(response); }
    QByteArray attr(const char* name) const {
        const QByteArray b = bytes();
        const QByteArray key = QByteArray(" ") + name + "=\"";
        const qsizetype at = b.indexOf(key);
        if (at < 0)
            return {};
        const qsizetype start = at + key.size();
        return b.mid(start, b.indexOf('"', start) - start);
    }
};

Post PostTo(quint16 port, const std::string& path, const std::string& body = {},
            const std::string& user = "admin", const std::string& password = "739184") {
    Post p;
    p.ok = HttpPost("127.0.0.1", std::to_string(port), user, password, path, body, p.response,
                    p.error);
    return p;
}

// One raw HTTP exchange on a fresh connection: the whole answer (headers and body).
QByteArray RawExchange(quint16 port, const QByteArray& request) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write(request);
    QByteArray answer;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 5000) {
        if (!socket.waitForReadyRead(200) && !answer.isEmpty()) {
            const qsizetype end = answer.indexOf("\r\n\r\n");
            const qsizetype cl = answer.indexOf("Content-Length: ");
            if (end > 0 && cl > 0 && cl < end) {
                const int length =
                    answer.mid(cl + 16, answer.indexOf("\r\n", cl) - cl - 16).toInt();
                if (answer.size() >= end + 4 + length)
                    break;
            }
        }
        answer += socket.readAll();
    }
    return answer;
}

QByteArray RequestPath(const API_INTERFACE& record) {
    QByteArray path = record.strName.c_str();
    if (record.bChannel)
        path += "/1";
    if (path == "PtzControl/1" && !record.strBody.empty())
        path += "/Up";
    return path;
}

}  // namespace

class SimShortPortTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    void cleanupTestCase() { curl_global_cleanup(); }

    void eachSchemeAuthorisesThePost_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("basic") << int(SimAuthMode::Basic);
        QTest::newRow("digest") << int(SimAuthMode::Digest);
        QTest::newRow("any") << int(SimAuthMode::Any);
    }
    void eachSchemeAuthorisesThePost() {
        QFETCH(int, mode);
        SimulatorThread sim(WithAuth(SimAuthMode(mode)));
        QVERIFY(sim.start());
        const Post p = PostTo(sim.shortPort(), "GetDeviceInfo");
        QCOMPARE(p.ok, 1);
        QCOMPARE(p.attr("status"), QByteArray("success"));
        QCOMPARE(RootElementName(p.bytes()), QByteArray("config"));
        // Non-ASCII text arrives as the device's UTF-8 bytes.
        QCOMPARE(ElementText(p.bytes(), {"config", "deviceName"}),
                 QString::fromUtf8("前门摄像机").toUtf8());
    }

    void wrongCredentialsGetTheUnauthorizedPage_data() { eachSchemeAuthorisesThePost_data(); }
    void wrongCredentialsGetTheUnauthorizedPage() {
        QFETCH(int, mode);
        SimulatorThread sim(WithAuth(SimAuthMode(mode)));
        QVERIFY(sim.start());
        const QByteArray page = UnauthorizedPage();
        Post p = PostTo(sim.shortPort(), "GetDeviceInfo", {}, "admin", "wrong");
        QCOMPARE(p.ok, 1);
        QCOMPARE(p.bytes(), page);
        p = PostTo(sim.shortPort(), "GetDeviceInfo", {}, "root", "739184");
        QCOMPARE(p.ok, 1);
        QCOMPARE(p.bytes(), page);
    }

    void aColonInTheUserNameWorksWithDigest() {
        SimulatorThread sim(WithAuth(SimAuthMode::Digest, "ad:min", "pw"));
        QVERIFY(sim.start());
        QCOMPARE(PostTo(sim.shortPort(), "Reboot", {}, "ad:min", "pw").attr("status"),
                 QByteArray("success"));
        // The same bytes split at the first colon are another user.
        QCOMPARE(PostTo(sim.shortPort(), "Reboot", {}, "ad", "min:pw").bytes(), UnauthorizedPage());
    }

    void unauthorisedAnswerCarriesEveryChallenge() {
        SimulatorThread sim(WithAuth(SimAuthMode::Any));
        QVERIFY(sim.start());
        const QByteArray answer = RawExchange(sim.shortPort(),
                                              "POST /GetDeviceInfo HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                              "Content-Length: 0\r\n\r\n");
        QVERIFY2(answer.startsWith("HTTP/1.1 401"), answer.constData());
        const qsizetype headEnd = answer.indexOf("\r\n\r\n");
        const QByteArray head = answer.left(headEnd).toLower();
        QCOMPARE(head.count("www-authenticate: "), 2);
        QVERIFY(head.contains("www-authenticate: digest realm=\"tessaly device\", qop=\"auth\""));
        QVERIFY(head.contains("www-authenticate: basic realm=\"tessaly device\""));
        QVERIFY(head.contains("content-type: text/html"));
        QCOMPARE(answer.mid(headEnd + 4), UnauthorizedPage());
    }

    void aClosedPortGivesZeroAndNothing() {
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        const Post p = PostTo(port, "GetDeviceInfo");
        QCOMPARE(p.ok, 0);
        QVERIFY(p.response.empty());
        QVERIFY(!p.error.empty());
    }

    void aFiveDigitPortIsUsedWhole() {
        // Find a free port of five digits, then have the device listen exactly there.
        quint16 port = 0;
        for (quint16 candidate = 47000; candidate < 47200 && port == 0; candidate += 7) {
            QTcpServer probe;
            if (probe.listen(QHostAddress::LocalHost, candidate))
                port = candidate;
        }
        QVERIFY(port >= 10000);
        SimulatorOptions o;
        o.shortPort = port;
        SimulatorThread sim(o);
        QVERIFY(sim.start());
        QCOMPARE(sim.shortPort(), port);
        QCOMPARE(PostTo(port, "GetDeviceInfo").attr("status"), QByteArray("success"));
        // A port that another device holds cannot be had twice.
        SimulatorThread second(o);
        QString error;
        QVERIFY(!second.start(&error));
        QVERIFY(error.contains(QString::number(port)));
    }

    void aLongAnswerArrivesWhole() {
        SimulatorThread sim;
        QVERIFY(sim.start());
        // A setting of about 3 MB with multi-byte text, so the answer comes in many pieces.
        QByteArray big = "\n\t<osd>\n";
        for (int i = 0; big.size() < 3 * 1024 * 1024; ++i) {
            big += "\t\t<line id=\"" + QByteArray::number(i) + "\"><![CDATA[" +
                   QString::fromUtf8("第%1行 ").arg(i).toUtf8().repeated(20) + "]]></line>\n";
        }
        big += "\t</osd>\n";
        const Post set =
            PostTo(sim.shortPort(), "SetImageOsdConfig/1",
                   ("<?xml version=\"1.0\"?>\n<config>" + big + "</config>").toStdString());
        QCOMPARE(set.attr("status"), QByteArray("success"));
        const Post get = PostTo(sim.shortPort(), "GetImageOsdConfig/1");
        QCOMPARE(get.ok, 1);
        QCOMPARE(get.bytes(), ConfigDocument(big));
    }

    void everyCatalogueInterfaceSucceeds() {
        SimulatorThread sim;
        QVERIFY(sim.start());
        for (const API_INTERFACE& record : BuiltinInterfaces()) {
            const QByteArray path = RequestPath(record);
            const Post p = PostTo(sim.shortPort(), path.toStdString(), record.strBody);
            QCOMPARE(p.ok, 1);
            QVERIFY2(p.attr("status") == "success", (path + ": " + p.bytes()).constData());
            QVERIFY(IsWellFormedXml(p.bytes()));
        }
        // The template of ModifyPassword sets the default password again: still accepted.
        QCOMPARE(PostTo(sim.shortPort(), "Reboot").attr("status"), QByteArray("success"));
    }

    void setThenGetReturnsWhatWasSet() {
        SimulatorThread sim;
        QVERIFY(sim.start());
        int pairs = 0;
        for (const API_INTERFACE& record : BuiltinInterfaces()) {
            if (record.strPairName.empty())
                continue;
            ++pairs;
            const std::string channel = record.bChannel ? "/1" : "";
            const QByteArray children = "\n\t<name type=\"string\"><![CDATA[" +
                                        QByteArray(record.strName.c_str()) + " 改]]></name>\n";
            // The window sends back the edited answer: its attributes are taken in stride.
            const QByteArray body = ConfigDocument(children);
            const Post set =
                PostTo(sim.shortPort(), record.strPairName + channel, body.toStdString());
            QVERIFY2(set.attr("status") == "success", set.response.c_str());
            const Post get = PostTo(sim.shortPort(), record.strName + channel);
            QCOMPARE(get.bytes(), ConfigDocument(children));
        }
        QCOMPARE(pairs, 15);
        // Another channel keeps its own setting.
        const Post other = PostTo(sim.shortPort(), "GetImageConfig/2");
        QVERIFY(ElementText(other.bytes(), {"config", "name"}).isNull());
        QVERIFY(!ElementText(other.bytes(), {"config", "image", "brightness"}).isEmpty());
    }

    void modifyPasswordChangesWhatIsAccepted() {
        SimulatorThread sim(WithAuth(SimAuthMode::Any));
        QVERIFY(sim.start());
        const auto body = [](const QByteArray& oldPw, const QByteArray& newPw) {
            return ("<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<config version=\"1.0\">"
                    "<userPassword><oldPassword><![CDATA[" +
                    oldPw.toBase64() + "]]></oldPassword><password><![CDATA[" + newPw.toBase64() +
                    "]]></password></userPassword></config>")
                .toStdString();
        };
        // A wrong old password: failed, 401, nothing changes.
        Post p = PostTo(sim.shortPort(), "ModifyPassword", body("nope", "n3w:pass"));
        QCOMPARE(p.attr("status"), QByteArray("failed"));
        QCOMPARE(p.attr("errorCode"), QByteArray("401"));
        QCOMPARE(PostTo(sim.shortPort(), "Reboot").attr("status"), QByteArray("success"));

        p = PostTo(sim.shortPort(), "ModifyPassword", body("739184", "n3w:pass"));
        QCOMPARE(p.attr("status"), QByteArray("success"));
        QCOMPARE(PostTo(sim.shortPort(), "Reboot").bytes(), UnauthorizedPage());
        QCOMPARE(PostTo(sim.shortPort(), "Reboot", {}, "admin", "n3w:pass").attr("status"),
                 QByteArray("success"));
        QString now;
        sim.invoke([&now](DeviceSimulator& d) { now = d.password(); });
        QCOMPARE(now, QString("n3w:pass"));

        // A body without the password elements is refused as a bad request.
        p = PostTo(sim.shortPort(), "ModifyPassword", "<config><userPassword/></config>", "admin",
                   "n3w:pass");
        QCOMPARE(p.attr("errorCode"), QByteArray("400"));
    }

    void unknownInterfacesAndPathsGet404() {
        SimulatorThread sim;
        QVERIFY(sim.start());
        for (const char* path : {"GetNothing", "GetImageConfig/x", "GetImageConfig/1/Up",
                                 "PtzControl/1/Sideways", "getdeviceinfo", "Reboot/1/2/3", ""}) {
            const Post p = PostTo(sim.shortPort(), path);
            QCOMPARE(p.ok, 1);
            QVERIFY2(p.attr("errorCode") == "404", path);
            QCOMPARE(p.attr("status"), QByteArray("failed"));
            QCOMPARE(p.attr("errorDesc"), QByteArray("Unknown interface"));
        }
        const QByteArray raw = RawExchange(
            sim.shortPort(), "POST /GetNothing HTTP/1.1\r\nHost: x\r\nAuthorization: Basic " +
                                 QByteArray("admin:739184").toBase64() +
                                 "\r\nContent-Length: 0\r\n\r\n");
        QVERIFY2(raw.startsWith("HTTP/1.1 404"), raw.constData());
        QVERIFY(raw.toLower().contains("content-type: application/xml; charset=utf-8"));
    }

    void aBodyThatIsNotXmlGets400() {
        SimulatorThread sim;
        QVERIFY(sim.start());
        const QByteArray before = PostTo(sim.shortPort(), "GetImageConfig/1").bytes();
        for (const char* body : {"brightness=3", "<config><a></config>", "<image/>"}) {
            const Post p = PostTo(sim.shortPort(), "SetImageConfig/1", body);
            QVERIFY2(p.attr("errorCode") == "400", body);
            QCOMPARE(p.attr("status"), QByteArray("failed"));
        }
        QCOMPARE(PostTo(sim.shortPort(), "PtzGotoPreset/1", "<presetInfo>").attr("errorCode"),
                 QByteArray("400"));
        QCOMPARE(PostTo(sim.shortPort(), "GetImageConfig/1").bytes(), before);
    }
};

QTEST_MAIN(SimShortPortTest)
#include "sim_short_port_test.moc"
