// The simulator's short port and its credentials, driven through the tool's HttpPost.
#include <curl/curl.h>

#include <QtTest>

#include "catalogue/builtin_interfaces.h"
#include "sim/device_auth.h"
#include "sim/short_port_server.h"
#include "sim/sim_xml.h"
#include "sim/simulator_thread.h"
#include "sim_support.h"

class SimShortPortTest : public QObject {
    Q_OBJECT
    SimulatorThread sim_;  // a device with the default settings, shared

  private slots:
    void initTestCase() {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        QVERIFY(sim_.start());
    }
    void cleanupTestCase() { curl_global_cleanup(); }

    void digestResponseMatchesThePublishedExample() {
        // The worked example of RFC 2617, section 3.5.
        QCOMPARE(DigestResponse("Mufasa", "testrealm@host.com", "Circle Of Life", "GET",
                                "/dir/index.html", "dcd98b7102dd2f0e8b11d0f600bfb0c093", "00000001",
                                "0a4f113b", "auth"),
                 QByteArray("6629fae49393a05397450978507c4ef1"));
    }

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
        // Non-ASCII text arrives as the device's UTF-8 bytes.
        QCOMPARE(ElementText(p.body, {"config", "deviceName"}),
                 QString::fromUtf8("前门摄像机").toUtf8());
        for (const auto& [user, password] : {std::pair{"ad:min", "wrong"}, {"root", "pw"}}) {
            const Post refused = PostTo(sim.shortPort(), "GetDeviceInfo", {}, user, password);
            QCOMPARE(refused.ok, 1);
            QCOMPARE(refused.body, UnauthorizedPage());
        }
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
        QCOMPARE(PostTo(sim_.shortPort(), "GetImageOsdConfig/1").body, ConfigDocument(big));
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
            QVERIFY2(Attr(p.body, "status") == "success" && IsWellFormedXml(p.body), path + p.body);
            if (record.strPairName.empty())
                continue;
            ++pairs;
            const QByteArray doc =
                ConfigDocument("\n\t<name type=\"string\"><![CDATA[" + path + " 改]]></name>\n");
            const Post set = PostTo(sim_.shortPort(), record.strPairName.c_str() + channel, doc);
            QVERIFY2(Attr(set.body, "status") == "success", set.body.constData());
            QCOMPARE(PostTo(sim_.shortPort(), path).body, doc);
        }
        QCOMPARE(pairs, 15);
        // Another channel keeps its own setting.
        QVERIFY(ElementText(PostTo(sim_.shortPort(), "GetImageConfig/2").body, {"config", "name"})
                    .isNull());
    }

    void modifyPasswordChangesWhatIsAccepted() {
        SimulatorThread sim;
        QVERIFY(sim.start());
        const auto modify = [&sim](const QByteArray& oldPw, const QByteArray& password) {
            return Attr(PostTo(sim.shortPort(), "ModifyPassword",
                               "<config><userPassword><oldPassword><![CDATA[" + oldPw.toBase64() +
                                   "]]></oldPassword><password><![CDATA[" + password.toBase64() +
                                   "]]></password></userPassword></config>")
                            .body,
                        "errorCode");
        };
        QCOMPARE(modify("nope", "n3w:pass"), QByteArray("401"));  // nothing changes
        QCOMPARE(Attr(PostTo(sim.shortPort(), "Reboot").body, "status"), QByteArray("success"));
        QCOMPARE(modify("739184", "n3w:pass"), QByteArray("0"));
        QCOMPARE(PostTo(sim.shortPort(), "Reboot").body, UnauthorizedPage());
        QCOMPARE(Attr(PostTo(sim.shortPort(), "Reboot", {}, "admin", "n3w:pass").body, "status"),
                 QByteArray("success"));
    }

    void unknownPathsGet404AndBadBodies400() {
        const QByteArray before = PostTo(sim_.shortPort(), "GetImageConfig/1").body;
        for (const char* path : {"GetNothing", "GetImageConfig/x", "PtzControl/1/Sideways",
                                 "getdeviceinfo", "Reboot/1/2/3", ""}) {
            const QByteArray body = PostTo(sim_.shortPort(), path).body;
            QVERIFY2(Attr(body, "errorCode") == "404", path);
            QCOMPARE(Attr(body, "status") + Attr(body, "errorDesc"),
                     QByteArray("failedUnknown interface"));
        }
        for (const char* body : {"a=3", "<image/>", "<config><a></config>"})
            QVERIFY2(
                Attr(PostTo(sim_.shortPort(), "SetImageConfig/1", body).body, "errorCode") == "400",
                body);
        QCOMPARE(PostTo(sim_.shortPort(), "GetImageConfig/1").body, before);
    }
};

QTEST_MAIN(SimShortPortTest)
#include "sim_short_port_test.moc"
