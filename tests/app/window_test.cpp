// The window: start-up state, toggles, modes, module choice, short-mode clicks, the file
// dialog and the text boxes.
#include "app/request_text.h"
#include "catalogue/builtin_interfaces.h"
#include "request/long_request.h"
#include "window_fixture.h"

class WindowTest : public QObject {
    Q_OBJECT
    TempProgramFolder folder_;

    std::unique_ptr<CDorvik_LurvaneDlg> Open(bool shortMode = false) {
        auto w = OpenWindow(folder_.path());
        if (w && shortMode)
            Click(Control<QRadioButton>(w.get(), kShortConnect));
        return w;
    }

  private slots:
    void initTestCase() {
        folder_.write("protocol_long/System/SUBSCRIBE_SetSubscribe_test.xml", "<a/>");
        folder_.write("protocol_long/System/plain.xml", "<config/>");
        folder_.write("protocol_short/Event/GetEventConfig&SetEventConfig_1.xml", "<a/>");
    }

    void startUpShowsTheDefaultsAndTheTogglesUnlockTheirOwnFields() {
        auto w = Open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Tessaly 3.0.0.6"));
        QVERIFY(Control<QRadioButton>(w.get(), kLongConnect)->isChecked());
        ExpectEnabled(w.get(), {kLongSend, kSelectProtocol, kRequest}, true);
        ExpectEnabled(w.get(), {kShortSend, kPairSend, kPairRequest, kPairResult}, false);
        QVERIFY(Box(w.get(), kResult)->isReadOnly() && Box(w.get(), kPairResult)->isReadOnly());
        const std::pair<int, const char*> texts[] = {
            {kIp, "192.168.1.100"},
            {kUser, "admin"},
            {kPassword, "739184"},
            {kLongPort, "8080"},
            {kShortPort, "80"},
            {kChangeAccount, "Change IP/username/password"},
            {kChangePort, "Change Port"},
            {kLongSend, "Long connect send"},
            {kShortSend, "Short connect send"},
            {kSelectProtocol, "Select Protocol"},
            {kPairSend, "Send"}};
        for (const auto& [id, text] : texts)
            QCOMPARE(Control<QWidget>(w.get(), id)->property("text").toString(), QString(text));
        QCOMPARE(Field(w.get(), kPassword)->echoMode(), QLineEdit::Password);
        QCOMPARE(ComboTexts(w.get()), QStringList{QStringLiteral("System")});
        QCOMPARE(ModuleCombo(w.get())->currentIndex(), -1);
        QCOMPARE(List(w.get())->horizontalHeaderItem(0)->text(), QStringLiteral("Interface Name"));
        QVERIFY(List(w.get())->rowCount() == 0 && Text(w.get(), kRequest).empty());

        // Each toggle unlocks and locks its own fields only, whatever state the other is in.
        const struct {
            int button;
            bool account, port;
        } steps[] = {{kChangePort, false, false},  // as started: nothing unlocked
                     {kChangePort, false, true},
                     {kChangeAccount, true, true},
                     {kChangePort, true, false},
                     {kChangeAccount, false, false}};
        for (std::size_t i = 0; i < std::size(steps); ++i) {
            if (i > 0)
                Click(Button(w.get(), steps[i].button));
            ExpectEnabled(w.get(), {kIp, kUser, kPassword}, steps[i].account);
            ExpectEnabled(w.get(), {kLongPort, kShortPort}, steps[i].port);
            QCOMPARE(Button(w.get(), kChangeAccount)->text(),
                     steps[i].account ? "Change OK" : "Change IP/username/password");
            QCOMPARE(Button(w.get(), kChangePort)->text(),
                     steps[i].port ? "Change OK" : "Change Port");
        }
        TypeIntoField(w.get(), kLongPort, QStringLiteral("9a0b0"));  // digits only
        QCOMPARE(Field(w.get(), kLongPort)->text(), QStringLiteral("900"));
    }

    void modeSwitchesRebuildTheModulesAndListTheirOwnRecords() {
        auto w = Open();
        QVERIFY(ChooseModule(w.get(), QStringLiteral("System")));
        std::vector<std::string> items = ListTexts(w.get());
        std::sort(items.begin(), items.end());
        QCOMPARE(items, (std::vector<std::string>{"SUBSCRIBE_SetSubscribe_test", "plain"}));

        Click(Control<QRadioButton>(w.get(), kShortConnect));
        ExpectEnabled(w.get(), {kShortSend}, true);
        ExpectEnabled(w.get(), {kLongSend}, false);
        QStringList modules{QStringLiteral("Event")};
        for (const char* name : kBuiltinModuleNames)
            modules << QString::fromLatin1(name);
        QCOMPARE(ComboTexts(w.get()), modules);
        QCOMPARE(ModuleCombo(w.get())->currentText(), QStringLiteral("System"));  // kept
        QCOMPARE(List(w.get())->rowCount(), 0);  // listed only after a choice
        QVERIFY(ChooseModule(w.get(), QStringLiteral("Event")));
        QCOMPARE(ListTexts(w.get()), std::vector<std::string>{"GetEventConfig"});
        QVERIFY(ChooseModule(w.get(), QStringLiteral("Maintain")));
        QCOMPARE(ListTexts(w.get()), std::vector<std::string>{"Reboot"});

        Click(Control<QRadioButton>(w.get(), kLongConnect));  // long mode has no "Maintain"
        ExpectEnabled(w.get(), {kLongSend}, true);
        ExpectEnabled(w.get(), {kShortSend}, false);
        QCOMPARE(ComboTexts(w.get()), QStringList{QStringLiteral("System")});
        QCOMPARE(ModuleCombo(w.get())->currentIndex(), -1);
        QCOMPARE(List(w.get())->rowCount(), 0);
    }

    void shortClickShowsThePreviewExactToTheByte() {
        auto w = Open();
        TypeIntoField(w.get(), kPassword, QStringLiteral("abc"));
        Click(Control<QRadioButton>(w.get(), kShortConnect));
        QVERIFY(ChooseModule(w.get(), QStringLiteral("Maintain")));  // a click below the rows
        QTest::mouseClick(List(w.get())->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(10, List(w.get())->viewport()->height() - 5));
        QVERIFY(w->Interface().empty() && w->RequestEditorBytes().empty());
        const struct {
            const char *module, *item, *interface, *pair;
            std::string start;
        } rows[] = {
            {"System", "GetDeviceInfo", "GetDeviceInfo", "",
             "POST /GetDeviceInfo HTTP/1.1\r\nAuthorization: Basic YWRtaW46YWJj\r\n"
             "User-Agent: Lurvane\r\nHost: 192.168.1.100\r\n\r\n"},
            {"Image", "GetImageConfig", "GetImageConfig/1", "SetImageConfig",
             "POST /GetImageConfig/1 HTTP/1.1\r\n"},
            {"PTZ", "PtzControl", "PtzControl/1/Up", "", "POST /PtzControl/1/Up HTTP/1.1\r\n"},
            {"Security", "ModifyPassword", "ModifyPassword", "",
             "POST /ModifyPassword HTTP/1.1\r\nAuthorization: Basic YWRtaW46YWJj\r\n"},
        };
        for (const auto& row : rows) {
            QVERIFY(ChooseModule(w.get(), QString::fromLatin1(row.module)));
            QVERIFY(ClickListItem(w.get(), row.item));
            const std::string bytes = w->RequestEditorBytes();  // exact up to the blank line
            QVERIFY2(bytes.rfind(row.start, 0) == 0, bytes.c_str());
            QCOMPARE(w->Interface(), std::string(row.interface));
            QCOMPARE(w->PairInterface(), std::string(row.pair));
            QCOMPARE(w->Body(), BodyAfterBlankLine(bytes));
            const std::string length = "Content-Length: " + std::to_string(w->Body().size());
            QCOMPARE(bytes.find(length + "\r\n") != std::string::npos, !w->Body().empty());
            QCOMPARE(Box(w.get(), kRequest)->toPlainText(),
                     QString::fromStdString(bytes).replace(QStringLiteral("\r\n"), "\n"));
        }
        // The password change carries the entered password as the old one.
        for (const char* part : {"<oldPassword><![CDATA[YWJj]]></oldPassword>",
                                 "<password><![CDATA[NzM5MTg0]]></password>"})
            QVERIFY(w->Body().find(part) != std::string::npos);
    }

    void selectProtocolBuildsFromAnyFileAndCancelKeepsTheEditor() {
        const std::string file = folder_.write("elsewhere/SUBSCRIBE_GetSubscribeInfo_test.xml",
                                               "<config>\r\n</config>\r\n");
        auto w = Open(true);  // works in both modes
        std::string expected;
        QCOMPARE(::PrepareLongRequest(file, "192.168.1.100", "GetSubscribeInfo", "admin", "739184",
                                      "", expected),
                 0);
        const QString answers[] = {QString::fromStdString(file), QString(),
                                   QString::fromStdString(folder_.write("empty.xml", ""))};
        for (const QString& answer : answers) {  // a file, a cancel, an empty file
            DialogSeam::setNextOpenFile(answer);
            Click(Button(w.get(), kSelectProtocol));
            QCOMPARE(w->RequestEditorBytes(), expected);
        }
        QVERIFY(DialogSeam::shownTexts().isEmpty());
    }

    void ipEditEmptiesThePanesAndTheList() {
        auto w = Open(true);
        QVERIFY(ChooseModule(w.get(), QStringLiteral("System")));
        QVERIFY(ClickListItem(w.get(), "GetDeviceInfo"));
        for (int id : {kResult, kPairRequest, kPairResult})
            Box(w.get(), id)->setPlainText(QStringLiteral("text"));
        const int entries = ModuleCombo(w.get())->count();
        TypeIntoField(w.get(), kUser, QStringLiteral("root"));  // empties nothing
        QVERIFY(!w->RequestEditorBytes().empty() && List(w.get())->rowCount() == 2);
        TypeIntoField(w.get(), kIp, QStringLiteral("127.0.0.2"));
        for (int id : {kRequest, kResult, kPairRequest, kPairResult})
            QVERIFY(Text(w.get(), id).empty());
        QVERIFY(w->RequestEditorBytes().empty());
        ExpectEnabled(w.get(), {kPairRequest, kPairSend}, false);
        QCOMPARE(ModuleCombo(w.get())->currentIndex(), -1);
        QCOMPARE(ModuleCombo(w.get())->count(), entries);
        QCOMPARE(List(w.get())->rowCount(), 0);
        // Choosing a module again refills the list; the new IP is the host now.
        QVERIFY(ChooseModule(w.get(), QStringLiteral("System")));
        QVERIFY(ClickListItem(w.get(), "GetDeviceInfo"));
        QVERIFY(w->RequestEditorBytes().find("Host: 127.0.0.2\r\n") != std::string::npos);
    }

    void textBoxesTakeLongLinesFast() {
        auto w = Open();
        for (int id : {kRequest, kResult, kPairRequest, kPairResult})
            QCOMPARE(Box(w.get(), id)->wordWrapMode(), QTextOption::WrapAnywhere);
        // One line of Base64 text without spaces, like the picture of a pushed event.
        const QString line = QString::fromLatin1(QByteArray(450 * 1024, 'p').toBase64());
        QPlainTextEdit* box = Box(w.get(), kResult);
        QElapsedTimer timer;
        timer.start();
        box->setPlainText(line);
        const QRectF bounds =
            box->document()->documentLayout()->blockBoundingRect(box->document()->firstBlock());
        box->viewport()->repaint();
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(bounds.height() > 100 * box->fontMetrics().height());  // wrapped into many lines
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
