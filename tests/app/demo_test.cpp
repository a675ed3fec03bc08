// Demo mode and the command line of the tool: the window aimed at the simulated device that
// the program starts in its own process.
#include <curl/curl.h>

#include <QDirIterator>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include "app/app_command_line.h"
#include "app/demo_device.h"
#include "window_fixture.h"

using namespace ControlId;

namespace {
std::string Text(QWidget* w, int id) {
    return Box(w, id)->toPlainText().toStdString();
}

AppCommandLine Parse(const QStringList& arguments) {
    return ParseAppCommandLine(QStringList{QStringLiteral("/opt/x/tessaly")} + arguments);
}

// JPEG files below a folder.
int PictureCount(const QString& folder) {
    int count = 0;
    QDirIterator it(folder, {QStringLiteral("*.jpg")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++count;
    }
    return count;
}
}  // namespace

class DemoTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    void cleanupTestCase() { curl_global_cleanup(); }
    void init() { DialogSeam::clearShown(); }
    void commandLineChoosesTheRun();
    void commandLineRefusesWhatItDoesNotKnow();
    void demoFillsTheWindowAndAShortSendIsAnswered();
    void demoSubscriptionFilesPictures();
    void nothingIsFilledBeforeTheDeviceRuns();
};

void DemoTest::commandLineChoosesTheRun() {
    const AppCommandLine plain = Parse({});
    QVERIFY(!plain.demo && !plain.help && !plain.version && !plain.error);

    const AppCommandLine demo = Parse({QStringLiteral("--demo")});
    QVERIFY(demo.demo && !demo.help && !demo.version && !demo.error);

    const AppCommandLine version = Parse({QStringLiteral("--version")});
    QVERIFY(version.version && !version.error);
    QCOMPARE(version.text, QStringLiteral("Tessaly 3.0.0.6\n"));

    for (const QString& option : {QStringLiteral("--help"), QStringLiteral("-h")}) {
        const AppCommandLine help = Parse({option});
        QVERIFY(help.help && !help.error);
        QVERIFY(help.text.contains(QStringLiteral("--demo")));
        QVERIFY(help.text.contains(QStringLiteral("--version")));
        QVERIFY(help.text.contains(QStringLiteral("127.0.0.1")));
    }
}

void DemoTest::commandLineRefusesWhatItDoesNotKnow() {
    const AppCommandLine unknown = Parse({QStringLiteral("--dmeo")});
    QVERIFY(unknown.error && !unknown.demo);
    QVERIFY(unknown.text.contains(QStringLiteral("dmeo")));
    QVERIFY(unknown.text.contains(QStringLiteral("--demo")));  // the help follows

    const AppCommandLine stray = Parse({QStringLiteral("--demo"), QStringLiteral("10.0.0.1")});
    QVERIFY(stray.error);
    QVERIFY(stray.text.contains(QStringLiteral("10.0.0.1")));
}

void DemoTest::demoFillsTheWindowAndAShortSendIsAnswered() {
    DemoDevice device;
    QString error;
    QVERIFY2(device.Start(&error), qPrintable(error));
    QVERIFY(device.ShortPort() != 0 && device.LongPort() != 0);
    QVERIFY(device.ShortPort() != device.LongPort());

    TempProgramFolder folder;
    auto w = OpenWindow(folder.path());
    QVERIFY(w);
    device.FillWindow(*w);
    QCOMPARE(Field(w.get(), kIp)->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(Field(w.get(), kShortPort)->text(), QString::number(device.ShortPort()));
    QCOMPARE(Field(w.get(), kLongPort)->text(), QString::number(device.LongPort()));
    QCOMPARE(Field(w.get(), kUser)->text(), device.User());
    QCOMPARE(Field(w.get(), kPassword)->text(), device.Password());
    // Everything else is as in a normal start: long mode, fields locked.
    QVERIFY(Control<QRadioButton>(w.get(), kLongConnect)->isChecked());
    QVERIFY(!Field(w.get(), kIp)->isEnabled());

    Click(Control<QRadioButton>(w.get(), kShortConnect));
    QVERIFY(ChooseModule(w.get(), QStringLiteral("System")));
    QVERIFY(ClickListItem(w.get(), "GetDeviceInfo"));
    QSignalSpy finished(w.get(), &CDorvik_LurvaneDlg::shortSendFinished);
    Click(Button(w.get(), kShortSend));
    QVERIFY(finished.wait(30000));
    QVERIFY(DialogSeam::shownTexts().isEmpty());
    const std::string answer = Text(w.get(), kResult);
    QVERIFY2(
        answer.find("<model type=\"string\"><![CDATA[TS-IPC-2031]]></model>") != std::string::npos,
        answer.c_str());
}

void DemoTest::demoSubscriptionFilesPictures() {
    // The demo's own options, sped up so the test is short: events as fast as they are taken,
    // a handful of them.
    SimulatorOptions options = DemoDevice::DemoOptions();
    options.eventRate = 0;
    options.eventCount = 4;
    DemoDevice device(options);
    QVERIFY(device.Start());
    TempProgramFolder folder;
    QFile subscribe(QStringLiteral(TESSALY_SOURCE_DIR
                                   "/protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml"));
    QVERIFY(subscribe.open(QIODevice::ReadOnly));
    folder.write("protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml",
                 subscribe.readAll().toStdString());

    auto w = OpenWindow(folder.path());
    QVERIFY(w);
    device.FillWindow(*w);
    QVERIFY(ChooseModule(w.get(), QStringLiteral("Subscribe")));
    QVERIFY(ClickListItem(w.get(), "SUBSCRIBE_SetSubscribe_test"));
    Click(Button(w.get(), kLongSend));
    QVERIFY(DialogSeam::shownTexts().isEmpty());
    QVERIFY(w->LongConnected());

    // Two face matches (three pictures each) and two intrusion events (source and targets).
    const QString pictures = QString::fromStdString(folder.path() + "/pic");
    const int expected = 2 * 3 + 2 * (1 + options.targetCount);
    QTRY_COMPARE_WITH_TIMEOUT(PictureCount(pictures), expected, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(Text(w.get(), kResult).rfind("POST /SendAlarmStatus", 0) == 0, 10000);
    w.reset();
    QVERIFY(QFileInfo(QString::fromStdString(folder.path() + "/ApiLog.txt")).size() > 0);
}

void DemoTest::nothingIsFilledBeforeTheDeviceRuns() {
    DemoDevice device;
    QCOMPARE(device.ShortPort(), quint16(0));
    TempProgramFolder folder;
    auto w = OpenWindow(folder.path());
    QVERIFY(w);
    device.FillWindow(*w);
    QCOMPARE(Field(w.get(), kIp)->text(), QStringLiteral("192.168.1.100"));
    QCOMPARE(Field(w.get(), kLongPort)->text(), QStringLiteral("8080"));
    QCOMPARE(Field(w.get(), kShortPort)->text(), QStringLiteral("80"));
}

QTEST_MAIN(DemoTest)
#include "demo_test.moc"
