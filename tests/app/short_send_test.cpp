// Demo mode and the short connection of the window against the demo device on 127.0.0.1.
#include <curl/curl.h>

#include <QtNetwork>

#include "app/app_command_line.h"
#include "app/demo_device.h"
#include "app/display_form.h"
#include "app/request_text.h"
#include "window_fixture.h"

class ShortSendTest : public QObject {
    Q_OBJECT
    DemoDevice device_;
    TempProgramFolder folder_;

    std::unique_ptr<CDorvik_LurvaneDlg> Open(quint16 port) {
        return OpenAimedWindow(folder_.path(), port, true);
    }
    static bool Send(CDorvik_LurvaneDlg* w, const char* module, const std::string& name) {
        return ChooseModule(w, QString::fromLatin1(module)) && ClickListItem(w, name) &&
               SendAndWait(w);
    }

  private slots:
    void initTestCase() {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        QString error;
        QVERIFY2(device_.Start(&error), qPrintable(error));
    }
    void cleanupTestCase() { curl_global_cleanup(); }
    void init() { DialogSeam::clearShown(); }

    void commandLineChoosesTheRun() {
        const struct {
            QStringList arguments;
            bool demo, help, version, error;
            QStringList says;
        } rows[] = {
            {{}, false, false, false, false, {}},
            {{"--demo"}, true, false, false, false, {}},
            {{"--version"}, false, false, true, false, {"Tessaly 3.0.0.6\n"}},
            {{"--help"}, false, true, false, false, {"--demo", "--version", "127.0.0.1"}},
            {{"--dmeo"}, false, false, false, true, {"dmeo", "--demo"}},
            {{"--demo", "10.0.0.1"}, false, false, false, true, {"10.0.0.1"}},
        };
        for (const auto& row : rows) {
            const AppCommandLine line =
                ParseAppCommandLine(QStringList{QStringLiteral("/opt/x/tessaly")} + row.arguments);
            const QByteArray name = row.arguments.join(' ').toUtf8();
            QVERIFY2(line.demo == row.demo && line.help == row.help &&
                         line.version == row.version && line.error == row.error,
                     name);
            for (const QString& text : row.says)
                QVERIFY2(line.text.contains(text), name);
        }
    }

    void demoFillsTheWindowAndGetDeviceInfoLeavesThePairedPaneDisabled() {
        auto w = OpenWindow(folder_.path());
        QVERIFY(w);
        device_.FillWindow(*w);
        const std::pair<int, QString> fields[] = {
            {kIp, QStringLiteral("127.0.0.1")},
            {kShortPort, QString::number(device_.ShortPort())},
            {kLongPort, QString::number(device_.LongPort())},
            {kUser, device_.User()},
            {kPassword, device_.Password()}};
        for (const auto& [id, text] : fields)
            QCOMPARE(Field(w.get(), id)->text(), text);

        Click(Control<QRadioButton>(w.get(), kShortConnect));
        QVERIFY(Send(w.get(), "System", "GetDeviceInfo"));
        QVERIFY(DialogSeam::shownTexts().isEmpty());
        QVERIFY2(
            Text(w.get(), kResult).find("<![CDATA[TS-IPC-2031]]></model>") != std::string::npos,
            Text(w.get(), kResult).c_str());
        QVERIFY(!Box(w.get(), kPairRequest)->isEnabled() && Text(w.get(), kPairRequest).empty());
        w->OnPairSend();  // nothing to send for it
        QCOMPARE(DialogSeam::shownTexts(), QStringList{"Please select the interface!"});
    }

    void pairedPaneRoundTripShowsHugeAnswersCutButKeepsThemWhole() {
        auto w = Open(device_.ShortPort());
        QVERIFY(w);
        QVERIFY(Send(w.get(), "Image", "GetImageConfig"));
        const std::string answer = Text(w.get(), kResult);
        QVERIFY(answer.find("<brightness type=\"uint32\">128</brightness>") != std::string::npos);
        ExpectEnabled(w.get(), {kPairRequest, kPairResult, kPairSend}, true);
        QCOMPARE(w->PairInterface(), std::string("SetImageConfig/1"));
        // The partner's request: its header, then the answer as the body, all lines CR LF.
        const std::string body = WithCrLfLineEnds(answer);
        QCOMPARE(EditedTextToRequestBytes(Box(w.get(), kPairRequest)->toPlainText()),
                 "POST /SetImageConfig/1 HTTP/1.1\r\nAuthorization: Basic YWRtaW46NzM5MTg0\r\n"
                 "User-Agent: Lurvane\r\nHost: 127.0.0.1\r\nContent-Length: " +
                     std::to_string(body.size()) + "\r\n\r\n" + body);

        // Edit the setting, add a picture line of 600 KB and send it.
        QPlainTextEdit* pairBox = Box(w.get(), kPairRequest);
        pairBox->setFocus();
        QVERIFY(pairBox->find(QStringLiteral("128</brightness>")));
        QTest::keyClicks(pairBox, "200</brightness>");
        const std::string line =
            "<picture>" + QByteArray(450 * 1024, 'p').toBase64().toStdString() + "</picture>";
        pairBox->insertPlainText(QString::fromStdString("\n" + line));
        QVERIFY(SendAndWait(w.get(), kPairSend));
        QVERIFY(Text(w.get(), kPairResult).find("status=\"success\"") != std::string::npos);
        QCOMPARE(Text(w.get(), kResult), answer);  // the first answer stays

        // The next Get shows the line cut; the paired request built from it has it whole.
        QVERIFY(Send(w.get(), "Image", "GetImageConfig"));
        const std::string shown = Text(w.get(), kResult);
        QVERIFY(shown.find("<brightness type=\"uint32\">200</brightness>") != std::string::npos);
        QVERIFY(EditedTextToRequestBytes(pairBox->toPlainText()).find("\n" + line + "\r\n") !=
                std::string::npos);
        // The setting went back with CR LF line ends: the line's CR is among the hidden bytes.
        const std::string cut =
            line.substr(0, 2000) + OmissionMarker(line.size() + 1 - 2000, nullptr);
        QVERIFY2(shown.find("\n" + cut + "\n") != std::string::npos, shown.c_str());
        QVERIFY(Text(w.get(), kPairResult).empty());  // cleared by the new send
        QVERIFY(DialogSeam::shownTexts().isEmpty());
    }

    void failuresShowTheDevicesAnswerOrTheMessageAndAnEmptyBox() {
        const struct {
            QString password;
            quint16 port;
            QStringList messages;
            const char* shown;  // a part of the answer shown; null: nothing
        } rows[] = {
            {QStringLiteral("wrong"), device_.ShortPort(), {}, "<title>401 Unauthorized</title>"},
            {QStringLiteral("739184"),
             DeadPort(),
             {"Send fail, Please Check the IP/Username/Password/ShortPort !"},
             nullptr},
        };
        for (const auto& row : rows) {
            auto w = Open(row.port);
            QVERIFY(w);
            TypeIntoField(w.get(), kPassword, row.password);
            Box(w.get(), kResult)->setPlainText(QStringLiteral("old"));
            QVERIFY(Send(w.get(), "Image", "GetImageConfig"));
            QCOMPARE(DialogSeam::shownTexts(), row.messages);
            const std::string shown = Text(w.get(), kResult);
            QVERIFY2(row.shown ? shown.find(row.shown) != std::string::npos : shown.empty(),
                     shown.c_str());
            QVERIFY(shown.find("brightness") == std::string::npos);
            QVERIFY(Button(w.get(), kShortSend)->isEnabled());
            QVERIFY(row.shown || !Box(w.get(), kPairRequest)->isEnabled());
        }
    }

    void aSecondSendIsRefusedWhileOneRuns() {
        // A device that accepts the connection and stays silent until told otherwise.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        auto w = Open(silent.serverPort());
        QVERIFY(w);
        QVERIFY(ChooseModule(w.get(), QStringLiteral("System")));
        QVERIFY(ClickListItem(w.get(), "GetDeviceInfo"));
        QSignalSpy finished(w.get(), &CDorvik_LurvaneDlg::shortSendFinished);
        w->OnShortSend();
        QVERIFY(w->ShortSendInProgress() && !Button(w.get(), kShortSend)->isEnabled());
        QVERIFY(!w->findChild<QLabel*>(QStringLiteral("status"))->text().isEmpty());
        w->OnShortSend();  // refused while the first one runs
        QVERIFY(silent.waitForNewConnection(10000));
        std::unique_ptr<QTcpSocket> peer(silent.nextPendingConnection());
        const QByteArray body = "<config status=\"success\"/>";
        peer->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) +
                    "\r\nConnection: close\r\n\r\n" + body);
        QVERIFY(finished.wait(10000));
        QTest::qWait(100);
        QCOMPARE(finished.count(), 1);             // the outcome is shown once
        QVERIFY(!silent.waitForNewConnection(0));  // the refused send never connected
        QCOMPARE(Text(w.get(), kResult), body.toStdString());
        QVERIFY(Button(w.get(), kShortSend)->isEnabled());
    }
};

QTEST_MAIN(ShortSendTest)
#include "short_send_test.moc"
