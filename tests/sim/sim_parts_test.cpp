// The simulator's building blocks: Digest arithmetic and parsing, credential checks, the XML
// helpers, the interface table and the command line.

#include <QtTest>

#include "catalogue/builtin_interfaces.h"
#include "sim/command_line.h"
#include "sim/device_auth.h"
#include "sim/device_interfaces.h"
#include "sim/sim_xml.h"

namespace {

QByteArray Param(const QByteArray& challenge, const QByteArray& name) {
    const auto params = ParseDigestParams(challenge.mid(challenge.indexOf(' ') + 1));
    return params.value(name);
}

// A complete Digest Authorization value for the challenge, as a client computes it.
QByteArray DigestAuthorization(const QByteArray& challenge, const QByteArray& user,
                               const QByteArray& password, const QByteArray& uri,
                               const QByteArray& nc) {
    const QByteArray nonce = Param(challenge, "nonce");
    const QByteArray response =
        DigestResponse(user, kSimRealm, password, "POST", uri, nonce, nc, "c0ffee", "auth");
    return "Digest username=\"" + user + "\", realm=\"" + kSimRealm + "\", nonce=\"" + nonce +
           "\", uri=\"" + uri + "\", cnonce=\"c0ffee\", nc=" + nc + ", qop=auth, response=\"" +
           response + "\", opaque=\"" + Param(challenge, "opaque") + "\", algorithm=MD5";
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
    }

    void digestParamsAreParsedLikeAHeader() {
        const auto p = ParseDigestParams(
            "username=\"a\\\"b, c\", Realm=\"Tessaly Device\",nc=00000001 , qop=auth,"
            "uri=\"/x/1\"");
        QCOMPARE(p.value("username"), QByteArray("a\"b, c"));
        QCOMPARE(p.value("realm"), QByteArray("Tessaly Device"));
        QCOMPARE(p.value("nc"), QByteArray("00000001"));
        QCOMPARE(p.value("qop"), QByteArray("auth"));
        QCOMPARE(p.value("uri"), QByteArray("/x/1"));
        // An unterminated quote keeps what came before it.
        const auto cut = ParseDigestParams("a=1, b=\"open");
        QCOMPARE(cut.value("a"), QByteArray("1"));
        QVERIFY(!cut.contains("b"));
    }

    void basicAcceptsOnlyTheWholePair() {
        DeviceAuth auth(SimAuthMode::Basic, "ad:min", "pw");
        const auto basic = [](const QByteArray& pair) { return "Basic " + pair.toBase64(); };
        QCOMPARE(auth.check("POST", "/A", basic("ad:min:pw")), DeviceAuth::Verdict::Accepted);
        QCOMPARE(auth.check("POST", "/A", basic("ad:min:pwx")), DeviceAuth::Verdict::Refused);
        QCOMPARE(auth.check("POST", "/A", basic("ad:pw")), DeviceAuth::Verdict::Refused);
        QCOMPARE(auth.check("POST", "/A", "Basic !!!"), DeviceAuth::Verdict::Refused);
        QCOMPARE(auth.check("POST", "/A", ""), DeviceAuth::Verdict::Refused);
        // Digest is not offered nor accepted in Basic mode.
        const auto challenges = auth.challenges();
        QCOMPARE(challenges.size(), 1);
        QCOMPARE(challenges[0], QByteArray("Basic realm=\"Tessaly Device\""));
        auth.setPassword("new");
        QCOMPARE(auth.check("POST", "/A", basic("ad:min:pw")), DeviceAuth::Verdict::Refused);
        QCOMPARE(auth.check("POST", "/A", basic("ad:min:new")), DeviceAuth::Verdict::Accepted);
    }

    void digestChecksEveryPartAndEachNonceCountOnce() {
        DeviceAuth auth(SimAuthMode::Digest, "admin", "739184");
        const QList<QByteArray> challenges = auth.challenges();
        QCOMPARE(challenges.size(), 1);
        const QByteArray challenge = challenges[0];
        QVERIFY(challenge.startsWith("Digest "));
        QCOMPARE(Param(challenge, "qop"), QByteArray("auth"));
        QCOMPARE(Param(challenge, "algorithm"), QByteArray("MD5"));
        QCOMPARE(Param(challenge, "realm"), QByteArray(kSimRealm));
        QVERIFY(!Param(challenge, "nonce").isEmpty());

        const QByteArray first =
            DigestAuthorization(challenge, "admin", "739184", "/A/1", "00000001");
        QCOMPARE(auth.check("POST", "/A/1", first), DeviceAuth::Verdict::Accepted);
        // The same nonce count again is a replay.
        QCOMPARE(auth.check("POST", "/A/1", first), DeviceAuth::Verdict::Refused);
        QCOMPARE(auth.check("POST", "/A/1",
                            DigestAuthorization(challenge, "admin", "739184", "/A/1", "00000002")),
                 DeviceAuth::Verdict::Accepted);
        // Wrong password, other URI than the request's, other method.
        QCOMPARE(auth.check("POST", "/A/1",
                            DigestAuthorization(challenge, "admin", "x", "/A/1", "00000003")),
                 DeviceAuth::Verdict::Refused);
        QCOMPARE(auth.check("POST", "/B",
                            DigestAuthorization(challenge, "admin", "739184", "/A/1", "00000004")),
                 DeviceAuth::Verdict::Refused);
        QCOMPARE(auth.check("GET", "/A/1",
                            DigestAuthorization(challenge, "admin", "739184", "/A/1", "00000005")),
                 DeviceAuth::Verdict::Refused);
        // A nonce the device never issued, with otherwise right credentials: stale.
        QByteArray forged = challenge;
        forged.replace(Param(challenge, "nonce"), "00112233445566778899aabbccddeeff");
        QCOMPARE(auth.check("POST", "/A/1",
                            DigestAuthorization(forged, "admin", "739184", "/A/1", "00000001")),
                 DeviceAuth::Verdict::Stale);
        QVERIFY(auth.challenges(true)[0].endsWith(", stale=true"));
        // Basic is refused in Digest mode even with the right pair.
        QCOMPARE(auth.check("POST", "/A/1", "Basic " + QByteArray("admin:739184").toBase64()),
                 DeviceAuth::Verdict::Refused);
    }

    void anyModeOffersBothAndNoncesStayBounded() {
        DeviceAuth auth(SimAuthMode::Any, "admin", "739184");
        QList<QByteArray> c;
        for (int i = 0; i < kSimNonceLimit + 10; ++i)
            c = auth.challenges();
        QCOMPARE(c.size(), 2);
        QVERIFY(c[0].startsWith("Digest "));
        QVERIFY(c[1].startsWith("Basic "));
        QCOMPARE(auth.nonceCount(), kSimNonceLimit);
        // The newest nonce still works; Basic works too.
        QCOMPARE(auth.check("POST", "/A",
                            DigestAuthorization(c[0], "admin", "739184", "/A", "00000001")),
                 DeviceAuth::Verdict::Accepted);
        QCOMPARE(auth.check("POST", "/A", "Basic " + QByteArray("admin:739184").toBase64()),
                 DeviceAuth::Verdict::Accepted);
    }

    void rootContentIsTheBytesBetweenTheRootTags() {
        QByteArray content;
        QVERIFY(
            RootContent("<?xml version=\"1.0\"?>\n<!-- c <x> -->\n<config a=\"x>y\">\n\t<a>"
                        "<![CDATA[张]]></a>\n</config>\n",
                        &content));
        QCOMPARE(content, QByteArray("\n\t<a><![CDATA[张]]></a>\n"));
        QVERIFY(RootContent("<config/>", &content));
        QVERIFY(content.isEmpty());
        content = "kept";
        QVERIFY(!RootContent("<config><a></config>", &content));
        QVERIFY(!RootContent("not xml", &content));
        QCOMPARE(content, QByteArray("kept"));
        QCOMPARE(RootElementName("<?xml version=\"1.0\"?><x:presetInfo xmlns:x=\"u\"/>"),
                 QByteArray("presetInfo"));
        QVERIFY(RootElementName("<a>").isEmpty());
    }

    void elementTextFollowsThePathFromTheRoot() {
        const QByteArray doc =
            "<config><other><oldPassword>no</oldPassword></other><userPassword>"
            "<oldPassword><![CDATA[b2xk]]></oldPassword><password>bm&amp;V3</password>"
            "<empty/></userPassword></config>";
        QCOMPARE(ElementText(doc, {"config", "userPassword", "oldPassword"}), QByteArray("b2xk"));
        QCOMPARE(ElementText(doc, {"config", "userPassword", "password"}), QByteArray("bm&V3"));
        const QByteArray empty = ElementText(doc, {"config", "userPassword", "empty"});
        QVERIFY(!empty.isNull());
        QVERIFY(empty.isEmpty());
        QVERIFY(ElementText(doc, {"config", "oldPassword"}).isNull());
        QVERIFY(ElementText(doc, {"userPassword"}).isNull());
        QVERIFY(ElementText("<config>", {"config"}).isNull());
    }

    void everyCatalogueInterfaceAndSetPartnerIsKnown() {
        for (const API_INTERFACE& record : BuiltinInterfaces()) {
            const SimInterface* known = DeviceInterfaces::find(record.strName.c_str());
            QVERIFY2(known != nullptr, record.strName.c_str());
            if (!record.strPairName.empty()) {
                QCOMPARE(known->kind, SimInterfaceKind::Get);
                QCOMPARE(known->partner, QByteArray(record.strPairName.c_str()));
                const SimInterface* set = DeviceInterfaces::find(record.strPairName.c_str());
                QVERIFY(set != nullptr);
                QCOMPARE(set->kind, SimInterfaceKind::Set);
                QCOMPARE(set->partner, known->name);
            }
        }
        for (const SimInterface& i : DeviceInterfaces::table()) {
            if (i.kind == SimInterfaceKind::Get)
                QVERIFY2(IsWellFormedXml("<config>" + i.defaults + "</config>"),
                         i.name.constData());
        }
    }

    void commandLineReadsEveryOption() {
        const SimCommandLine c =
            ParseSimCommandLine({"tessaly-devsim", "--short-port", "54321", "--user", "u:1",
                                 "--password", "p w", "--auth", "Digest"});
        QVERIFY2(c.error.isEmpty(), qPrintable(c.error));
        QCOMPARE(c.options.shortPort, quint16(54321));
        QCOMPARE(c.options.user, QString("u:1"));
        QCOMPARE(c.options.password, QString("p w"));
        QCOMPARE(c.options.auth, SimAuthMode::Digest);

        const SimCommandLine d = ParseSimCommandLine({"tessaly-devsim"});
        QVERIFY(d.error.isEmpty());
        QCOMPARE(d.options.shortPort, quint16(0));
        QCOMPARE(d.options.user, QString(kDefaultUser));
        QCOMPARE(d.options.password, QString(kDefaultPassword));
        QCOMPARE(d.options.auth, SimAuthMode::Any);

        const SimCommandLine l = ParseSimCommandLine({"tessaly-devsim",
                                                      "--long-port",
                                                      "40001",
                                                      "--rate",
                                                      "0.5",
                                                      "--count",
                                                      "7",
                                                      "--kinds",
                                                      "PEA, VEHICLE",
                                                      "--targets",
                                                      "0",
                                                      "--picture-size",
                                                      "320X200",
                                                      "--picture-bytes",
                                                      "400K",
                                                      "--base64-breaks",
                                                      "--write",
                                                      "pieces",
                                                      "--piece-bytes",
                                                      "2k",
                                                      "--piece-interval",
                                                      "15",
                                                      "--record",
                                                      "/tmp/rec"});
        QVERIFY2(l.error.isEmpty(), qPrintable(l.error));
        QCOMPARE(l.options.longPort, quint16(40001));
        QCOMPARE(l.options.eventRate, 0.5);
        QCOMPARE(l.options.eventCount, 7);
        QCOMPARE(l.options.kinds, QStringList({"PEA", "VEHICLE"}));
        QCOMPARE(l.options.targetCount, 0);
        QCOMPARE(l.options.pictureWidth, 320);
        QCOMPARE(l.options.pictureHeight, 200);
        QCOMPARE(l.options.pictureBytes, 400 * 1024);
        QVERIFY(l.options.base64LineBreaks);
        QCOMPARE(l.options.writeMode, SimWriteMode::Pieces);
        QCOMPARE(l.options.pieceBytes, 2048);
        QCOMPARE(l.options.pieceIntervalMs, 15);
        QCOMPARE(l.options.recordFolder, QString("/tmp/rec"));
        QVERIFY(!d.options.base64LineBreaks);
        QCOMPARE(d.options.writeMode, SimWriteMode::Whole);
        QCOMPARE(d.options.kinds, QStringList({"VFD_MATCH", "PEA"}));
        QVERIFY(d.options.recordFolder.isEmpty());
        QCOMPARE(ParseSimCommandLine({"p", "--write", "PAIRS"}).options.writeMode,
                 SimWriteMode::Pairs);
        QCOMPARE(ParseSimCommandLine({"p", "--picture-bytes", "2M"}).options.pictureBytes,
                 2 * 1024 * 1024);
        for (const QStringList& bad : QList<QStringList>{{"--rate", "-1"},
                                                         {"--count", "many"},
                                                         {"--kinds", ","},
                                                         {"--kinds", "A/B"},
                                                         {"--picture-size", "640"},
                                                         {"--picture-size", "8x8"},
                                                         {"--picture-bytes", "1G"},
                                                         {"--write", "halves"},
                                                         {"--piece-bytes", "0"},
                                                         {"--long-port", "-5"}}) {
            QVERIFY2(!ParseSimCommandLine(QStringList{"p"} + bad).error.isEmpty(),
                     qPrintable(bad.join(' ')));
        }

        QVERIFY(ParseSimCommandLine({"p", "--help"}).help);
        QVERIFY(!ParseSimCommandLine({"p", "--auth", "ntlm"}).error.isEmpty());
        QVERIFY(!ParseSimCommandLine({"p", "--short-port", "65536"}).error.isEmpty());
        QVERIFY(!ParseSimCommandLine({"p", "--short-port", "x"}).error.isEmpty());
        QVERIFY(!ParseSimCommandLine({"p", "--bogus"}).error.isEmpty());
        QVERIFY(!ParseSimCommandLine({"p", "stray"}).error.isEmpty());
        const QString help = ParseSimCommandLine({"p"}).helpText;
        for (const char* option :
             {"--short-port", "--user", "--password", "--auth", "--help", "--long-port", "--rate",
              "--count", "--kinds", "--targets", "--picture-size", "--picture-bytes",
              "--base64-breaks", "--write", "--piece-bytes", "--piece-interval", "--record"}) {
            QVERIFY2(help.contains(option), option);
        }
    }
};

QTEST_MAIN(SimPartsTest)
#include "sim_parts_test.moc"
