// The short connection of the window against the simulated device on 127.0.0.1.
#include <curl/curl.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include "app/request_text.h"
#include "sim/simulator_thread.h"
#include "window_fixture.h"

using namespace ControlId;

namespace {
const QString kSendFail =
    QStringLiteral("Send fail, Please Check the IP/Username/Password/ShortPort !");

std::string Text(QWidget* w, int id) {
    return Box(w, id)->toPlainText().toStdString();
}

// A window aimed at 127.0.0.1 and the given short port, in short mode.
std::unique_ptr<CDorvik_LurvaneDlg> OpenShortWindow(const std::string& folder, quint16 port) {
    auto w = OpenWindow(folder);
    if (!w)
        return w;
    TypeIntoField(w.get(), kIp, QStringLiteral("127.0.0.1"));
    TypeIntoField(w.get(), kShortPort, QString::number(port));
    Click(Control<QRadioButton>(w.get(), kShortConnect));
    return w;
}

// Picks an interface of a module and presses "Short connect send"; waits for the outcome.
bool SendInterface(CDorvik_LurvaneDlg* w, const QString& module, const std::string& name) {
    if (!ChooseModule(w, module) || !ClickListItem(w, name))
        return false;
    QSignalSpy finished(w, &CDorvik_LurvaneDlg::shortSendFinished);
    Click(Button(w, kShortSend));
    return finished.wait(30000);
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
}  // namespace

class ShortSendTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase() { curl_global_cleanup(); }
    void init() { DialogSeam::clearShown(); }
    void getOpensThePairedPaneAndItsSendWritesTheSetting();
    void interfaceWithoutPartnerLeavesThePairedPaneDisabled();
    void wrongCredentialsShowTheDevicesAnswer();
    void deadPortShowsTheFailureAndAnEmptyBox();
    void sendWithoutInterfaceAsksForOne();
    void windowKeepsRunningAndRefusesASecondSend();

  private:
    std::unique_ptr<SimulatorThread> sim_;
    TempProgramFolder folder_;
};

void ShortSendTest::initTestCase() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    sim_ = std::make_unique<SimulatorThread>();
    QString error;
    QVERIFY2(sim_->start(&error), qPrintable(error));
}

void ShortSendTest::getOpensThePairedPaneAndItsSendWritesTheSetting() {
    auto w = OpenShortWindow(folder_.path(), sim_->shortPort());
    QVERIFY(w);
    Click(Button(w.get(), kChangeAccount));  // left unlocked: the send locks it
    QVERIFY(SendInterface(w.get(), QStringLiteral("Image"), "GetImageConfig"));
    QVERIFY(DialogSeam::shownTexts().isEmpty());
    QVERIFY(!Field(w.get(), kIp)->isEnabled());
    QCOMPARE(Button(w.get(), kChangeAccount)->text(),
             QStringLiteral("Change IP/username/password"));

    const std::string answer = Text(w.get(), kResult);
    QVERIFY(answer.find("<brightness type=\"uint32\">128</brightness>") != std::string::npos);
    QVERIFY(Box(w.get(), kPairRequest)->isEnabled());
    QVERIFY(Box(w.get(), kPairResult)->isEnabled());
    QVERIFY(Button(w.get(), kPairSend)->isEnabled());
    QCOMPARE(w->PairInterface(), std::string("SetImageConfig/1"));

    // The partner's request: its header, then the answer as the body, all lines CR LF.
    const std::string pair = EditedTextToRequestBytes(Box(w.get(), kPairRequest)->toPlainText());
    const std::string body = WithCrLfLineEnds(answer);
    const std::string header =
        "POST /SetImageConfig/1 HTTP/1.1\r\n"
        "Authorization: Basic YWRtaW46NzM5MTg0\r\n"
        "User-Agent: Lurvane\r\nHost: 127.0.0.1\r\n"
        "Content-Length: " +
        std::to_string(body.size()) + "\r\n\r\n";
    QCOMPARE(pair, header + body);

    // Edit the setting in the paired box and send it.
    QPlainTextEdit* pairBox = Box(w.get(), kPairRequest);
    pairBox->setFocus();
    QVERIFY(pairBox->find(QStringLiteral("128</brightness>")));
    QTest::keyClicks(pairBox, "200</brightness>");
    QSignalSpy finished(w.get(), &CDorvik_LurvaneDlg::shortSendFinished);
    Click(Button(w.get(), kPairSend));
    QVERIFY(finished.wait(30000));
    QVERIFY(DialogSeam::shownTexts().isEmpty());
    QVERIFY(Text(w.get(), kPairResult).find("status=\"success\"") != std::string::npos);
    QVERIFY(Text(w.get(), kResult) == answer);  // the first answer stays

    // The next Get shows the change.
    QVERIFY(SendInterface(w.get(), QStringLiteral("Image"), "GetImageConfig"));
    QVERIFY(Text(w.get(), kResult).find("<brightness type=\"uint32\">200</brightness>") !=
            std::string::npos);
    QVERIFY(Text(w.get(), kPairResult).empty());  // cleared by the new send
}

void ShortSendTest::interfaceWithoutPartnerLeavesThePairedPaneDisabled() {
    auto w = OpenShortWindow(folder_.path(), sim_->shortPort());
    QVERIFY(w);
    QVERIFY(SendInterface(w.get(), QStringLiteral("System"), "GetDeviceInfo"));
    QVERIFY(DialogSeam::shownTexts().isEmpty());
    QVERIFY(Text(w.get(), kResult).find("<config") != std::string::npos);
    QVERIFY(!Box(w.get(), kPairRequest)->isEnabled());
    QVERIFY(!Button(w.get(), kPairSend)->isEnabled());
    QVERIFY(Text(w.get(), kPairRequest).empty());

    // The paired Send has nothing to send for it.
    w->OnPairSend();
    QCOMPARE(DialogSeam::shownTexts(), QStringList{QStringLiteral("Please select the interface!")});
}

void ShortSendTest::wrongCredentialsShowTheDevicesAnswer() {
    auto w = OpenShortWindow(folder_.path(), sim_->shortPort());
    QVERIFY(w);
    TypeIntoField(w.get(), kPassword, QStringLiteral("wrong"));
    QVERIFY(SendInterface(w.get(), QStringLiteral("Image"), "GetImageConfig"));
    QVERIFY(DialogSeam::shownTexts().isEmpty());
    const std::string answer = Text(w.get(), kResult);
    QVERIFY2(answer.find("<title>401 Unauthorized</title>") != std::string::npos, answer.c_str());
    QVERIFY(answer.find("brightness") == std::string::npos);
}

void ShortSendTest::deadPortShowsTheFailureAndAnEmptyBox() {
    const quint16 port = DeadPort();
    QVERIFY(port != 0);
    auto w = OpenShortWindow(folder_.path(), port);
    QVERIFY(w);
    Box(w.get(), kResult)->setPlainText(QStringLiteral("old"));
    QVERIFY(SendInterface(w.get(), QStringLiteral("Image"), "GetImageConfig"));
    QCOMPARE(DialogSeam::shownTexts(), QStringList{kSendFail});
    QVERIFY(Text(w.get(), kResult).empty());
    QVERIFY(!Box(w.get(), kPairRequest)->isEnabled());
    QVERIFY(!Button(w.get(), kPairSend)->isEnabled());
    QVERIFY(!w->ShortSendInProgress());
    QVERIFY(Button(w.get(), kShortSend)->isEnabled());
}

void ShortSendTest::sendWithoutInterfaceAsksForOne() {
    auto w = OpenShortWindow(folder_.path(), sim_->shortPort());
    QVERIFY(w);
    Click(Button(w.get(), kChangePort));
    Click(Button(w.get(), kShortSend));
    QCOMPARE(DialogSeam::shownTexts(), QStringList{QStringLiteral("Please select the interface!")});
    QVERIFY(!w->ShortSendInProgress());
    // Fields are locked before the check.
    QVERIFY(!Field(w.get(), kShortPort)->isEnabled());
    QCOMPARE(Button(w.get(), kChangePort)->text(), QStringLiteral("Change Port"));
}

void ShortSendTest::windowKeepsRunningAndRefusesASecondSend() {
    // A device that accepts the connection and stays silent until told otherwise.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    QList<QTcpSocket*> peers;
    connect(&silent, &QTcpServer::newConnection, this, [&] {
        while (QTcpSocket* peer = silent.nextPendingConnection())
            peers << peer;
    });
    auto w = OpenShortWindow(folder_.path(), silent.serverPort());
    QVERIFY(w);
    QVERIFY(ChooseModule(w.get(), QStringLiteral("System")));
    QVERIFY(ClickListItem(w.get(), "GetDeviceInfo"));
    QSignalSpy finished(w.get(), &CDorvik_LurvaneDlg::shortSendFinished);

    w->OnShortSend();
    QVERIFY(w->ShortSendInProgress());
    QVERIFY(!Button(w.get(), kShortSend)->isEnabled());
    QVERIFY(!w->findChild<QLabel*>(QStringLiteral("status"))->text().isEmpty());
    w->OnShortSend();  // refused while the first one runs

    // The window's thread keeps running its events while the device is silent.
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
    timer.start(20);
    QTRY_VERIFY_WITH_TIMEOUT(!peers.isEmpty(), 10000);
    QTest::qWait(300);
    QVERIFY(ticks >= 5);
    QVERIFY(w->ShortSendInProgress());
    QCOMPARE(finished.count(), 0);

    // The device answers; the outcome is shown once.
    const QByteArray body = "<config status=\"success\"/>";
    peers.front()->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) +
                         "\r\nConnection: close\r\n\r\n" + body);
    peers.front()->flush();
    QVERIFY(finished.wait(10000));
    QTest::qWait(100);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(peers.size(), 1);  // the refused send never connected
    QCOMPARE(Text(w.get(), kResult), body.toStdString());
    QVERIFY(Button(w.get(), kShortSend)->isEnabled());
    qDeleteAll(peers);
}

QTEST_MAIN(ShortSendTest)
#include "short_send_test.moc"
