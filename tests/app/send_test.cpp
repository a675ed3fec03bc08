// Demo mode and the window's sends against the demo device and peers played by the test.

#include <QtNetwork>

#include "app/app_command_line.h"
#include "app/demo_device.h"
#include "app/display_form.h"
#include "app/request_text.h"
#include "app/status_strip.h"
#include "request/http_post.h"
#include "request/long_request.h"
#include "session/request_text.h"
#include "window_fixture.h"

namespace {
const char kSubscribeBody[] =
    "<config>\n<subscribeList><item>VFD_MATCH</item></subscribeList>\n</config>\n";

QByteArray FileBytes(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// The text of a status strip of the window.
QString Strip(QWidget* w, const char* name) {
    return w->findChild<StatusStrip*>(QString::fromLatin1(name))->text();
}

// What comes on socket until `size` bytes are in or 10 s pass.
std::string Read(QTcpSocket* socket, std::size_t size) {
    QByteArray bytes;
    QElapsedTimer timer;
    for (timer.start(); std::size_t(bytes.size()) < size && timer.elapsed() < 10000;) {
        socket->waitForReadyRead(50);
        bytes += socket->readAll();
    }
    return bytes.toStdString();
}
}  // namespace

class SendTest : public QObject {
    Q_OBJECT
    DemoDevice device_;
    TempFolder folder_;
    TempFolder record_;  // what recorded_ received on its short port
    std::unique_ptr<DemoDevice> recorded_;
    QTcpServer peer_;  // a device that accepts long connections and keeps what it receives
    std::vector<std::unique_ptr<QTcpSocket>> sockets_;

    // A window aimed at 127.0.0.1: in short mode at this short port, or at the peer's long port.
    std::unique_ptr<CDorvik_LurvaneDlg> Open(quint16 shortPort = 0) {
        auto w = OpenWindow(folder_.Path());
        if (w) {
            TypeIntoField(w.get(), kIp, QStringLiteral("127.0.0.1"));
            TypeIntoField(w.get(), shortPort ? kShortPort : kLongPort,
                          QString::number(shortPort ? shortPort : peer_.serverPort()));
            if (shortPort)
                Click(Control<QRadioButton>(w.get(), kShortConnect));
        }
        return w;
    }
    static bool Send(CDorvik_LurvaneDlg* w, const char* module, const std::string& name) {
        return ChooseModule(w, QString::fromLatin1(module)) && ClickListItem(w, name) &&
               SendAndWait(w);
    }
    // Presses "Long connect send" and takes the connection it opens at the peer.
    QTcpSocket* Connect(CDorvik_LurvaneDlg* w) {
        if (!LongSendAndWait(w) || !w->LongConnected() || !DialogSeam::shownTexts().isEmpty() ||
            (!peer_.hasPendingConnections() && !peer_.waitForNewConnection(10000)))
            return nullptr;
        return sockets_.emplace_back(peer_.nextPendingConnection()).get();
    }
    static bool Closed(QTcpSocket* socket) {
        return QTest::qWaitFor(
            [socket] { return socket->state() == QAbstractSocket::UnconnectedState; }, 10000);
    }

  private slots:
    void initTestCase() {
        QString error;
        QVERIFY2(device_.Start(&error), qPrintable(error));
        SimulatorOptions options = DemoDevice::DemoOptions();
        options.recordFolder = QString::fromStdString(record_.Path());
        recorded_ = std::make_unique<DemoDevice>(options);
        QVERIFY2(recorded_->Start(&error), qPrintable(error));
        QVERIFY(peer_.listen(QHostAddress::LocalHost));
        folder_.WriteFile("protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml",
                          kSubscribeBody);
    }
    void init() { DialogSeam::clearShown(); }

    void commandLineChoosesTheRun() {
        const struct {
            QStringList arguments;
            const char *flags, *says;  // flags: demo, help, version, error, tls
        } rows[] = {{{}, "00000", ""},
                    {{"--demo"}, "10000", ""},
                    {{"--demo", "--tls"}, "10001", ""},
                    {{"--version"}, "00100", "Tessaly 3.0.0.6\n"},
                    {{"--help"}, "01000", "--tls"},
                    {{"--dmeo"}, "00010", "dmeo"},
                    {{"--demo", "10.0.0.1"}, "00010", "10.0.0.1"},
                    {{"--home", "/"}, "00000", ""},
                    {{"--home=/no/such/folder"}, "00010", "'/no/such/folder' is not a folder"}};
        for (const auto& row : rows) {
            const AppCommandLine line =
                ParseAppCommandLine(QStringList{"/opt/x/tessaly"} + row.arguments);
            QCOMPARE(QString("%1%2%3%4%5")
                         .arg(line.demo)
                         .arg(line.help)
                         .arg(line.version)
                         .arg(line.error)
                         .arg(line.tls),
                     QString(row.flags));
            QVERIFY2(line.text.contains(row.says), row.says);
        }
        // The caption names the folder in use only when it is not the program's own.
        const QString base = QStringLiteral("Tessaly 3.0.0.6");
        QCOMPARE(WindowCaption(base, {HomeKind::Program, "/opt/x", ""}, "/home/a"), base);
        QCOMPARE(
            WindowCaption(base, {HomeKind::User, "/home/a/.local/share/tessaly", ""}, "/home/a"),
            base + QStringLiteral(" \u2014 ~/.local/share/tessaly"));
        QCOMPARE(WindowCaption(base, {HomeKind::Given, "/srv/lab", ""}, "/home/a"),
                 base + QStringLiteral(" \u2014 /srv/lab"));
    }

    void demoFillsTheWindowAndGetDeviceInfoLeavesThePairedPaneDisabled() {
        auto w = OpenWindow(folder_.Path());
        QVERIFY(w);
        device_.FillWindow(*w);
        Click(Control<QRadioButton>(w.get(), kShortConnect));
        QVERIFY(Send(w.get(), "System", "GetDeviceInfo"));
        QVERIFY(DialogSeam::shownTexts().isEmpty());
        QVERIFY(Text(w.get(), kResult).find("TS-IPC-2031") != std::string::npos);
        QVERIFY(!Box(w.get(), kPairRequest)->isEnabled() && Text(w.get(), kPairRequest).empty());
        w->OnPairSend();  // nothing to send for it
        QCOMPARE(DialogSeam::shownTexts(), QStringList{"Please select the interface!"});
    }

    void pairedPaneRoundTripShowsHugeAnswersCutButKeepsThemWhole() {
        auto w = Open(device_.ShortPort());
        QVERIFY(w);
        QVERIFY(Send(w.get(), "Image", "GetImageConfig"));
        const std::string answer = Text(w.get(), kResult);
        QVERIFY(Box(w.get(), kPairRequest)->isEnabled() && Button(w.get(), kPairSend)->isEnabled());
        const std::string body = WithCrLfLineEnds(answer);
        QCOMPARE(EditedTextToRequestBytes(Box(w.get(), kPairRequest)->toPlainText()),
                 "POST /SetImageConfig/1 HTTP/1.1\r\nAuthorization: Basic YWRtaW46NzM5MTg0\r\n"
                 "User-Agent: Lurvane\r\nHost: 127.0.0.1\r\nContent-Length: " +
                     std::to_string(body.size()) + "\r\n\r\n" + body);

        // Edited, with a picture line of 600 KB added, and sent.
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

        // The next Get shows the line cut (its CR among the hidden bytes), the pane has it whole.
        QVERIFY(Send(w.get(), "Image", "GetImageConfig"));
        const std::string shown = Text(w.get(), kResult);
        QVERIFY(shown.find("<brightness type=\"uint32\">200</brightness>") != std::string::npos);
        QVERIFY(EditedTextToRequestBytes(pairBox->toPlainText()).find("\n" + line + "\r\n") !=
                std::string::npos);
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
            const char *message, *shown;  // null: no message, nothing shown
            const char* status;           // how the strip under the box starts or ends
        } rows[] = {
            {"wrong", device_.ShortPort(), nullptr, "<title>401 Unauthorized</title>",
             "401 Unauthorized, "},
            {"739184", DeadPort(), "Send fail, Please Check the IP/Username/Password/ShortPort !",
             nullptr, "(Connection refused)"}};
        for (const auto& row : rows) {
            auto w = Open(row.port);
            QVERIFY(w);
            TypeIntoField(w.get(), kPassword, row.password);
            Box(w.get(), kResult)->setPlainText(QStringLiteral("old"));
            QVERIFY(Send(w.get(), "Image", "GetImageConfig"));
            QCOMPARE(DialogSeam::shownTexts(),
                     row.message ? QStringList{row.message} : QStringList());
            const std::string shown = Text(w.get(), kResult);
            QVERIFY2(row.shown ? shown.find(row.shown) != std::string::npos : shown.empty(),
                     shown.c_str());
            QVERIFY(Button(w.get(), kShortSend)->isEnabled());
            const QString status = Strip(w.get(), "resultStatus");
            QVERIFY2(status.startsWith(row.status) || status.endsWith(row.status),
                     qPrintable(status));
            // The 401 page is no setting: the partner's request has no body.
            QCOMPARE(Box(w.get(), kPairRequest)->isEnabled(), row.shown != nullptr);
            if (row.shown)
                QVERIFY(EditedTextToRequestBytes(Box(w.get(), kPairRequest)->toPlainText())
                            .ends_with("\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n"));
        }
    }

    void anEditedShortRequestPostsItsOwnPathAndBody() {
        auto w = Open(recorded_->ShortPort());
        QVERIFY(w);
        QVERIFY(ChooseModule(w.get(), QStringLiteral("Image")));
        QVERIFY(ClickListItem(w.get(), "GetImageConfig"));
        const auto lastReceived = [this] {
            const std::string all = ReadFile(record_.Path() + "/short-received.bin");
            return all.substr(std::min(all.size(), all.rfind("POST /")));
        };
        // The editor says Set, with a body of its own and a stale length: that is what goes out.
        const std::string body = "<config><image><hue>7</hue></image></config>\r\n";
        Box(w.get(), kRequest)
            ->setPlainText(
                "POST /SetImageConfig/1 HTTP/1.1\nContent-Length: 1\n\n"
                "<config><image><hue>7</hue></image></config>\n");
        QVERIFY(SendAndWait(w.get()));
        const std::string sent = lastReceived();
        QVERIFY2(
            sent.starts_with("POST /SetImageConfig/1 HTTP/1.1\r\n") &&
                sent.ends_with("\r\n\r\n" + body) &&
                sent.find("Content-Length: " + std::to_string(body.size())) != std::string::npos,
            sent.c_str());
        QVERIFY(Strip(w.get(), "resultStatus").startsWith("200 OK, "));
        QVERIFY(Strip(w.get(), "resultStatus").contains("edited"));
        QVERIFY(!Box(w.get(), kPairRequest)->isEnabled());  // a Set has no partner
        // A click puts the tool's request back, and that one is posted as it always was.
        QVERIFY(Send(w.get(), "Image", "GetImageConfig"));
        QVERIFY(lastReceived().starts_with("POST /GetImageConfig/1 HTTP/1.1\r\n"));
        QVERIFY(Text(w.get(), kResult).find("<hue>7</hue>") != std::string::npos);
        // Without a request line nothing is posted.
        const std::string before = ReadFile(record_.Path() + "/short-received.bin");
        Box(w.get(), kRequest)->setPlainText("<config/>");
        Click(Button(w.get(), kShortSend));
        QCOMPARE(DialogSeam::shownTexts(), QStringList{QString::fromUtf8(kNoRequestLineText)});
        QTest::qWait(200);
        QVERIFY(!w->ShortSendInProgress());
        QCOMPARE(ReadFile(record_.Path() + "/short-received.bin"), before);
    }

    void changeOkRefreshesOnlyAnUneditedRequest() {
        auto w = Open(device_.ShortPort());
        QVERIFY(w);
        QVERIFY(ChooseModule(w.get(), QStringLiteral("System")));
        QVERIFY(ClickListItem(w.get(), "GetDeviceInfo"));
        const auto auth = [&w] {
            const std::string bytes = w->RequestEditorBytes();
            const size_t at = bytes.find("Basic ");
            return at == std::string::npos ? bytes : bytes.substr(at, bytes.find('\r', at) - at);
        };
        TypeIntoField(w.get(), kPassword, QStringLiteral("new"));
        QCOMPARE(auth(), std::string("Basic YWRtaW46NzM5MTg0"));  // unlocked: not yet
        Click(Button(w.get(), kChangeAccount));                   // "Change OK"
        QCOMPARE(auth(), "Basic " + QByteArray("admin:new").toBase64().toStdString());
        QVERIFY(w->RequestEditorPristine());
        // An edited request is left as the user left it.
        QPlainTextEdit* editor = Box(w.get(), kRequest);
        editor->moveCursor(QTextCursor::End);
        editor->insertPlainText(QStringLiteral("<a/>"));
        const std::string edited = w->RequestEditorBytes();
        TypeIntoField(w.get(), kUser, QStringLiteral("root"));
        Click(Button(w.get(), kChangeAccount));
        QCOMPARE(w->RequestEditorBytes(), edited);
        // In long mode the request file is built again.
        Click(Control<QRadioButton>(w.get(), kLongConnect));
        QVERIFY(ChooseModule(w.get(), QStringLiteral("Subscribe")));
        QVERIFY(ClickListItem(w.get(), "SUBSCRIBE_SetSubscribe_test"));
        TypeIntoField(w.get(), kPassword, QStringLiteral("long"));
        Click(Button(w.get(), kChangeAccount));
        QCOMPARE(auth(), "Basic " + QByteArray("root:long").toBase64().toStdString());
    }

    void aSecondSendIsRefusedWhileOneRuns() {
        QTcpServer silent;  // accepts and stays silent until told otherwise
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

    void longClickBuildsTheKeepAliveRequestThatReachesThePeerExactly() {
        auto w = Open();
        QVERIFY(w);
        QVERIFY(ChooseModule(w.get(), QStringLiteral("Subscribe")));
        QVERIFY(ClickListItem(w.get(), "SUBSCRIBE_SetSubscribe_test"));
        const std::string composed = w->RequestEditorBytes();  // the body's LF as in the file
        QCOMPARE(composed,
                 "POST /SetSubscribe HTTP/1.1\r\nAuthorization: Basic YWRtaW46NzM5MTg0\r\n"
                 "User-Agent: Lurvane\r\nHost: 127.0.0.1\r\nContent-Length: " +
                     std::to_string(sizeof kSubscribeBody - 1) +
                     "\r\nConnection: keep-alive\r\nKeep-Alive: 300 \r\n\r\n" + kSubscribeBody);
        QTcpSocket* socket = Connect(w.get());
        QVERIFY(socket);
        QCOMPARE(Read(socket, composed.size()), composed);

        // Typed at the end: every line end becomes CR LF, and the stale length is made true
        // on the wire; sent on the same connection.
        QPlainTextEdit* editor = Box(w.get(), kRequest);
        editor->setFocus();
        editor->moveCursor(QTextCursor::End);
        QTest::keyClicks(editor, "<!--x-->");
        const std::string edited = QString::fromStdString(composed + "<!--x-->")
                                       .replace("\r\n", "\n")
                                       .replace("\n", "\r\n")
                                       .toStdString();
        QCOMPARE(w->RequestEditorBytes(), edited);
        QVERIFY(LongSendAndWait(w.get()));
        const std::string sent = WithTrueContentLength(edited);
        QCOMPARE(Read(socket, sent.size()), sent);
        const std::string length = std::to_string(BodyAfterBlankLine(edited).size());
        QVERIFY(sent.find("\r\nContent-Length: " + length + "\r\n") != std::string::npos);
        QVERIFY(length != std::to_string(sizeof kSubscribeBody - 1));
        // A request without a Content-Length gets one.
        const std::string bare = "POST /SetSubscribe HTTP/1.1\r\n\r\n<a/>";
        editor->setPlainText(QString::fromStdString(bare));
        QVERIFY(LongSendAndWait(w.get()));
        const std::string withLength =
            "POST /SetSubscribe HTTP/1.1\r\nContent-Length: 4\r\n\r\n<a/>";
        QCOMPARE(Read(socket, withLength.size()), withLength);
        QVERIFY(!peer_.waitForNewConnection(200));
        QVERIFY(DialogSeam::shownTexts().isEmpty());

        w.reset();  // closing the window while connected disconnects
        QVERIFY(Closed(socket));
    }

    void answersAppearCutAndLoggedWholeAndTheServerAddressFeedsFollowUps() {
        auto w = Open();
        QVERIFY(w);
        QTcpSocket* socket = Connect(w.get());  // empty editor: connects and sends nothing
        QVERIFY(socket);
        const QByteArray address = "http://127.0.0.1:1/Subscribers/42";
        const QByteArray body = "<config status=\"success\">\r\n<serverAddress><![CDATA[" +
                                address + "]]></serverAddress>\r\n</config>\r\n";
        const QByteArray answer =
            "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" +
            body;
        socket->write(answer);
        QTRY_COMPARE_WITH_TIMEOUT(Box(w.get(), kResult)->toPlainText(),
                                  QString::fromLatin1(answer).replace("\r\n", "\n"), 10000);
        QTRY_VERIFY(Strip(w.get(), "resultStatus")
                        .endsWith(", 1 message, " + QString::number(answer.size()) +
                                  " bytes received, last answer 200"));

        // A follow-up request built now carries the recorded address.
        DialogSeam::setNextOpenFile(QString::fromStdString(folder_.WriteFile(
            "SUBSCRIBE_RenewSubscribe_test.xml",
            "<config><serverAddress><![CDATA[http://old.invalid/x]]></serverAddress></config>")));
        Click(Button(w.get(), kSelectProtocol));
        const std::string followUp = w->RequestEditorBytes();
        QVERIFY(followUp.rfind("POST /RenewSubscribe HTTP/1.1\r\n", 0) == 0);
        QVERIFY(followUp.find("<![CDATA[" + address.toStdString() + "]]>") != std::string::npos);
        QVERIFY(followUp.find("old.invalid") == std::string::npos);
        // A cancel and an empty file keep the editor.
        for (const QString& file :
             {QString(), QString::fromStdString(folder_.WriteFile("e.xml", ""))}) {
            DialogSeam::setNextOpenFile(file);
            Click(Button(w.get(), kSelectProtocol));
            QCOMPARE(w->RequestEditorBytes(), followUp);
        }
        QVERIFY(DialogSeam::shownTexts().isEmpty());

        // An event with a picture line of 400 KB is shown cut and logged whole.
        const QByteArray line = "<B>" + QByteArray(300 * 1024, 'f').toBase64() + "</B>";
        const QByteArray xml = "<config>\n" + line + "\n</config>\n";
        const QByteArray event =
            "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: " + QByteArray::number(xml.size()) +
            "\r\n\r\n" + xml;
        socket->write(event);
        QTRY_VERIFY_WITH_TIMEOUT(Text(w.get(), kResult).rfind("POST", 0) == 0, 20000);
        QVERIFY(Text(w.get(), kResult)
                    .find("\n<config>\n" + line.left(2000).toStdString() +
                          OmissionMarker(line.size() - 2000, "the traffic log") +
                          "\n</config>\n") != std::string::npos);
        QCOMPARE(*w->AnswerBytes(kResult), event.toStdString());  // the box keeps it whole
        socket->disconnectFromHost();
        QTRY_VERIFY(Strip(w.get(), "resultStatus").startsWith("Closed by the device"));
        w.reset();  // the log is complete once the window is gone
        QCOMPARE(FileBytes(folder_.Path() + "/ApiLog.txt"), answer + event);
    }

    void editsOfUserPasswordAndLongPortAndShortSendsDisconnect() {
        auto w = Open();
        QVERIFY(w);
        const std::pair<int, QString> edits[] = {{kUser, QStringLiteral("root")},
                                                 {kPassword, QStringLiteral("x")},
                                                 {kLongPort, QString::number(peer_.serverPort())}};
        for (const auto& [id, text] : edits) {
            QTcpSocket* socket = Connect(w.get());
            QVERIFY(socket);
            TypeIntoField(w.get(), kShortPort, QStringLiteral("81"));  // has no change handler
            Click(Control<QRadioButton>(w.get(), kShortConnect));      // nor does a mode switch
            Click(Control<QRadioButton>(w.get(), kLongConnect));
            QVERIFY(w->LongConnected());
            TypeIntoField(w.get(), id, text);
            QVERIFY(!w->LongConnected() && Closed(socket));
        }
        // So does a short send, even one refused for want of an interface.
        QTcpSocket* last = Connect(w.get());
        QVERIFY(last);
        Click(Control<QRadioButton>(w.get(), kShortConnect));
        Click(Button(w.get(), kShortSend));
        QCOMPARE(DialogSeam::shownTexts(), QStringList{"Please select the interface!"});
        QVERIFY(!w->LongConnected());
        QVERIFY(Closed(last));
    }

    void failedChecksShowTheirMessagesAndFocusTheirField() {
        auto w = Open();
        QVERIFY(w);
        QApplication::setActiveWindow(w.get());
        const struct {
            int id;
            QString text, message;
            int focus;
        } rows[] = {{kPassword, "", "Please input password", kPassword},
                    {kUser, "", "Please input username", kUser},
                    {kIp, "0.0.0.0", "Please input device's IP", kIp},
                    {kLongPort, QString::number(DeadPort()),
                     "Connect fail, Please Check the IP/Username/Password/LongPort !", kRequest}};
        for (const auto& row : rows) {
            const QString before = Field(w.get(), row.id)->text();
            Field(w.get(), row.id)->setText(row.text);
            DialogSeam::clearShown();
            QVERIFY(LongSendAndWait(w.get()));
            QCOMPARE(DialogSeam::shownTexts(), (QStringList{row.message, "Send fail"}));
            // Connecting with the fields unlocked, so that they can take the focus.
            Click(Button(w.get(), kChangeAccount));
            Box(w.get(), kRequest)->setFocus();
            w->ConnectLong();
            QTRY_COMPARE(QApplication::focusWidget(), Control<QWidget>(w.get(), row.focus));
            QVERIFY(!w->LongConnected());
            Field(w.get(), row.id)->setText(before);
        }
        QVERIFY(!peer_.waitForNewConnection(200));  // no connection was attempted
    }

    void closingDuringAPushStormIsQuickAndLeavesTheLogAPrefixOfTheStream() {
        TempFolder folder;  // the device pushes small events as fast as they go
        folder.WriteFile("protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml", kSubscribeBody);
        SimulatorOptions options = DemoDevice::DemoOptions();
        options.eventRate = 0;
        options.eventCount = 1000000;
        options.pictureWidth = 64;
        options.pictureHeight = 32;
        options.pictureBytes = 24 * 1024;
        options.recordFolder = QString::fromStdString(folder.Path() + "/device");
        auto device = std::make_unique<DemoDevice>(options);
        QVERIFY(device->Start());
        auto w = OpenWindow(folder.Path());
        QVERIFY(w);
        device->FillWindow(*w);
        QVERIFY(ChooseModule(w.get(), QStringLiteral("Subscribe")));
        QVERIFY(ClickListItem(w.get(), "SUBSCRIBE_SetSubscribe_test"));
        QVERIFY(LongSendAndWait(w.get()));
        const QDir pictures(QString::fromStdString(folder.Path() + "/pic/VFD_MATCH"));
        QTRY_VERIFY_WITH_TIMEOUT(pictures.entryList(QDir::Files).size() > 40, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(Text(w.get(), kResult).rfind("POST", 0) == 0, 10000);

        QElapsedTimer timer;
        timer.start();
        w->close();
        w.reset();
        QVERIFY2(timer.elapsed() < 200, qPrintable(QString::number(timer.elapsed())));
        device.reset();
        // The log was closed with the window: a prefix of the stream, byte for byte.
        const QByteArray log = FileBytes(folder.Path() + "/ApiLog.txt");
        QVERIFY(log.size() > 1000000);
        QVERIFY(FileBytes(folder.Path() + "/device/long-sent.bin").startsWith(log));
    }
};

const HttpLibrary kHttp;  // before main, as a program makes it
QTEST_MAIN(SendTest)
#include "send_test.moc"
