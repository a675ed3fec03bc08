// The window: start-up state, toggles, modes, module choice, short-mode clicks, text boxes.
#include "app/request_text.h"
#include "catalogue/builtin_interfaces.h"
#include "session/request_text.h"
#include "window_fixture.h"

class WindowTest : public QObject {
    Q_OBJECT
    TempFolder folder_;

    std::unique_ptr<CDorvik_LurvaneDlg> Open(bool shortMode = false) {
        auto w = OpenWindow(folder_.Path());
        if (w && shortMode)
            Click(Control<QRadioButton>(w.get(), kShortConnect));
        return w;
    }

  private slots:
    void initTestCase() {
        folder_.WriteFile("protocol_long/System/SUBSCRIBE_SetSubscribe_test.xml", "<a/>");
        folder_.WriteFile("protocol_long/System/plain.xml", "<config/>");
        folder_.WriteFile("protocol_short/Event/GetEventConfig&SetEventConfig_1.xml", "<a/>");
    }

    void startUpShowsTheDefaultsAndTheTogglesUnlockTheirOwnFields() {
        auto w = Open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Tessaly 3.0.0.6"));
        QVERIFY(Control<QRadioButton>(w.get(), kLongConnect)->isChecked());
        QCOMPARE(Field(w.get(), kPassword)->echoMode(), QLineEdit::Password);
        QVERIFY(List(w.get())->rowCount() == 0 && Text(w.get(), kRequest).empty());
        QStringList texts;
        for (int id : {kIp, kUser, kPassword, kLongPort, kShortPort, kLongSend, kShortSend,
                       kSelectProtocol, kPairSend})
            texts << Control<QWidget>(w.get(), id)->property("text").toString();
        QCOMPARE(texts.join('|'),
                 "192.168.1.100|admin|739184|8080|80|Long connect send|"
                 "Short connect send|Select Protocol|Send");
        // Enabled (1) or not, and the toggles' captions: as started and after each toggle.
        const auto state = [&w] {
            QString s;
            for (int id : {kIp, kUser, kPassword, kLongPort, kShortPort, kLongSend, kSelectProtocol,
                           kRequest, kShortSend, kPairSend, kPairRequest, kPairResult})
                s += Control<QWidget>(w.get(), id)->isEnabled() ? '1' : '0';
            return s + " " + Button(w.get(), kChangeAccount)->text() + "|" +
                   Button(w.get(), kChangePort)->text();
        };
        const std::pair<int, const char*> steps[] = {
            {0, "000001110000 Change IP/username/password|Change Port"},
            {kChangePort, "000111110000 Change IP/username/password|Change OK"},
            {kChangeAccount, "111111110000 Change OK|Change OK"},
            {kChangePort, "111001110000 Change OK|Change Port"},
            {kChangeAccount, "000001110000 Change IP/username/password|Change Port"}};
        for (const auto& [button, expected] : steps) {
            if (button)
                Click(Button(w.get(), button));
            QCOMPARE(state(), QString(expected));
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
        QVERIFY(Button(w.get(), kShortSend)->isEnabled() &&
                !Button(w.get(), kLongSend)->isEnabled());
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
        QVERIFY(!Button(w.get(), kShortSend)->isEnabled() &&
                Button(w.get(), kLongSend)->isEnabled());
        QCOMPARE(ComboTexts(w.get()), QStringList{QStringLiteral("System")});
        QCOMPARE(ModuleCombo(w.get())->currentIndex(), -1);
        QCOMPARE(List(w.get())->rowCount(), 0);
    }

    void shortClickShowsThePreviewExactToTheByte() {
        auto w = Open();
        TypeIntoField(w.get(), kPassword, QStringLiteral("abc"));
        Click(Control<QRadioButton>(w.get(), kShortConnect));
        const struct {
            const char *module, *item, *interface, *pair;
            std::string start;
        } rows[] = {{"System", "GetDeviceInfo", "GetDeviceInfo", "",
                     "POST /GetDeviceInfo HTTP/1.1\r\nAuthorization: Basic YWRtaW46YWJj\r\n"
                     "User-Agent: Lurvane\r\nHost: 192.168.1.100\r\n\r\n"},
                    {"Image", "GetImageConfig", "GetImageConfig/1", "SetImageConfig",
                     "POST /GetImageConfig/1 "},
                    {"PTZ", "PtzControl", "PtzControl/1/Up", "", "POST /PtzControl/1/Up "},
                    {"Security", "ModifyPassword", "ModifyPassword", "", "POST /ModifyPassword "}};
        for (const auto& row : rows) {
            QVERIFY(ChooseModule(w.get(), QString::fromLatin1(row.module)));
            QVERIFY(ClickListItem(w.get(), row.item));
            const std::string bytes = w->RequestEditorBytes();
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
        QVERIFY(!Box(w.get(), kPairRequest)->isEnabled() &&
                !Button(w.get(), kPairSend)->isEnabled());
        QCOMPARE(ModuleCombo(w.get())->currentIndex(), -1);
        QCOMPARE(ModuleCombo(w.get())->count(), entries);
        QCOMPARE(List(w.get())->rowCount(), 0);
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
