// The simulator's short port and its credentials, driven through the tool's HttpPost.

#include <QtTest>

#include "catalogue/builtin_interfaces.h"
#include "sim/device_auth.h"
#include "sim/short_port_server.h"
#include "support/sim_support.h"

class SimShortPortTest : public QObject {
    Q_OBJECT
    SimulatorThread sim_;  // a device with the default settings, shared

  private slots:
    void initTestCase() { QVERIFY(sim_.start()); }

    void digestResponseMatchesThePublishedExample() {  // RFC 2617, section 3.5
        QCOMPARE(DigestResponse("Mufasa", "testrealm@host.com", "Circle Of Life", "GET",
                                "/dir/index.html", "dcd98b7102dd2f0e8b11d0f600bfb0c093", "00000001",
                                "0a4f113b", "auth"),
                 QByteArray("6629fae49393a05397450978507c4ef1"));
    }

    void eachSchemeAuthorisesOnlyTheRightPair_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("basic") << int(SimAuthMode::Basic);
        QTest::newRow("digest") << int(SimAuthMode::Digest);
    }
    void eachSchemeAuthorisesOnlyTheRightPair() {
        QFETCH(int, mode);
        SimulatorOptions o;
        o.auth = SimAuthMode(mode);
        o.user = "ad:min";  // a colon in the user name is passed through as it is
        o.password = "pw";
        SimulatorThread sim(o);
        QVERIFY(sim.start());
        // Non-ASCII text arrives as the device's UTF-8 bytes.
        QCOMPARE(ElementText(PostTo(sim.shortPort(), "GetDeviceInfo", {}, "ad:min", "pw"),
                             {"config", "deviceName"}),
                 QString::fromUtf8("前门摄像机").toUtf8());
        for (const auto& [user, password] : {std::pair{"ad:min", "wrong"}, {"root", "pw"}})
            QCOMPARE(PostTo(sim.shortPort(), "GetDeviceInfo", {}, user, password),
                     UnauthorizedPage());
    }

    void aLongAnswerArrivesWhole() {
        // About 3 MB with multi-byte text, so the answer comes in many pieces.
        QByteArray big = "\n";
        for (int i = 0; big.size() < 3 * 1024 * 1024; ++i)
            big += "\t<line><![CDATA[" + QString::fromUtf8("第%1行 ").arg(i).toUtf8().repeated(20) +
                   "]]></line>\n";
        QCOMPARE(
            Attr(PostTo(sim_.shortPort(), "SetImageOsdConfig/1", ConfigDocument(big)), "status"),
            QByteArray("success"));
        QCOMPARE(PostTo(sim_.shortPort(), "GetImageOsdConfig/1"), ConfigDocument(big));
    }

    void everyInterfaceSucceedsAndSetThenGetReturnsWhatWasSet() {
        int pairs = 0;
        for (const API_INTERFACE& record : BuiltinInterfaces()) {
            const QByteArray channel = record.bChannel ? "/1" : "";
            QByteArray path = record.strName.c_str() + channel;
            if (path == "PtzControl/1" && !record.strBody.empty())
                path += "/Up";
            const QByteArray answer =
                PostTo(sim_.shortPort(), path, QByteArray::fromStdString(record.strBody));
            QVERIFY2(Attr(answer, "status") == "success" && IsWellFormedXml(answer), path + answer);
            if (record.strPairName.empty())
                continue;
            ++pairs;
            const QByteArray doc = ConfigDocument("\n\t<name><![CDATA[" + path + " 改]]></name>\n");
            const QByteArray set =
                PostTo(sim_.shortPort(), record.strPairName.c_str() + channel, doc);
            QVERIFY2(Attr(set, "status") == "success", set.constData());
            QCOMPARE(PostTo(sim_.shortPort(), path), doc);
        }
        QVERIFY(pairs > 10);
        // Another channel keeps its own setting.
        QVERIFY(
            ElementText(PostTo(sim_.shortPort(), "GetImageConfig/2"), {"config", "name"}).isNull());
    }

    void modifyPasswordChangesWhatIsAccepted() {
        SimulatorThread sim;
        QVERIFY(sim.start());
        const auto modify = [&sim](const QByteArray& oldPw, const QByteArray& password) {
            return Attr(PostTo(sim.shortPort(), "ModifyPassword",
                               "<config><userPassword><oldPassword><![CDATA[" + oldPw.toBase64() +
                                   "]]></oldPassword><password><![CDATA[" + password.toBase64() +
                                   "]]></password></userPassword></config>"),
                        "errorCode");
        };
        QCOMPARE(modify("nope", "n3w:pass"), QByteArray("401"));  // nothing changes
        QCOMPARE(Attr(PostTo(sim.shortPort(), "Reboot"), "status"), QByteArray("success"));
        QCOMPARE(modify("739184", "n3w:pass"), QByteArray("0"));
        QCOMPARE(PostTo(sim.shortPort(), "Reboot"), UnauthorizedPage());
        QCOMPARE(Attr(PostTo(sim.shortPort(), "Reboot", {}, "admin", "n3w:pass"), "status"),
                 QByteArray("success"));
    }

    void unknownPathsGet404AndBadBodies400() {
        const QByteArray before = PostTo(sim_.shortPort(), "GetImageConfig/1");
        for (const char* path : {"GetNothing", "GetImageConfig/x", "PtzControl/1/Sideways", ""}) {
            const QByteArray body = PostTo(sim_.shortPort(), path);
            QVERIFY2(Attr(body, "errorCode") == "404", path);
            QCOMPARE(Attr(body, "errorDesc"), QByteArray("Unknown interface"));
        }
        for (const char* body : {"<image/>", "<config><a></config>"})
            QVERIFY2(Attr(PostTo(sim_.shortPort(), "SetImageConfig/1", body), "errorCode") == "400",
                     body);
        QCOMPARE(PostTo(sim_.shortPort(), "GetImageConfig/1"), before);
    }
};

const HttpLibrary kHttp;  // before main, as a program makes it
QTEST_MAIN(SimShortPortTest)
#include "sim_short_port_test.moc"
