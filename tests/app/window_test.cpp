// The window: start-up state, toggles, modes, module choice, list clicks and the editor.
#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QTextBlock>
#include <QtTest>
#include <algorithm>

#include "app/request_text.h"
#include "catalogue/builtin_interfaces.h"
#include "request/long_request.h"
#include "window_fixture.h"

namespace {
const char kSubscribeBody[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<config version=\"1.0\">\n"
    "\t<subscribeFlag>BASE_SUBSCRIBE</subscribeFlag>\n</config>\n";

void ExpectEnabled(QWidget* w, std::initializer_list<int> ids, bool enabled) {
    for (int id : ids)
        QVERIFY2(Control<QWidget>(w, id)->isEnabled() == enabled, qPrintable(ControlName(id)));
}
}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
  private slots:
    void startUpShowsTheDefaults() {
        TempProgramFolder folder;
        folder.mkdir("protocol_long/Subscribe");
        auto w = OpenWindow(folder.path());
        QCOMPARE(w->windowTitle(), QStringLiteral("Tessaly 3.0.0.6"));
        QCOMPARE(w->minimumSize(), w->maximumSize());
        QVERIFY(Control<QRadioButton>(w.get(), kLongConnect)->isChecked());
        QCOMPARE(w->ConnMode(), 0);
        ExpectEnabled(w.get(), {kLongSend, kSelectProtocol, kRequest}, true);
        ExpectEnabled(w.get(), {kShortSend, kPairSend, kPairRequest, kPairResult}, false);
        QVERIFY(Button(w.get(), kPairSend)->isDefault());
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
        ExpectEnabled(w.get(), {kIp, kUser, kPassword, kLongPort, kShortPort}, false);
        QCOMPARE(Field(w.get(), kPassword)->echoMode(), QLineEdit::Password);
        QCOMPARE(ComboTexts(w.get()), QStringList{QStringLiteral("Subscribe")});
        QCOMPARE(ModuleCombo(w.get())->currentIndex(), -1);
        QCOMPARE(List(w.get())->rowCount(), 0);
        QCOMPARE(List(w.get())->horizontalHeaderItem(0)->text(), QStringLiteral("Interface Name"));
        QVERIFY(Text(w.get(), kRequest).empty() && Text(w.get(), kResult).empty());
    }

    void changeTogglesUnlockTheirOwnFieldsOnly() {
        TempProgramFolder folder;
        auto w = OpenWindow(folder.path());
        QPushButton* account = Button(w.get(), kChangeAccount);
        QPushButton* port = Button(w.get(), kChangePort);
        Click(account);
        QCOMPARE(account->text(), QStringLiteral("Change OK"));
        ExpectEnabled(w.get(), {kIp, kUser, kPassword}, true);
        ExpectEnabled(w.get(), {kLongPort, kShortPort}, false);
        Click(port);
        QCOMPARE(port->text(), QStringLiteral("Change OK"));
        ExpectEnabled(w.get(), {kIp, kUser, kPassword, kLongPort, kShortPort}, true);
        Click(account);
        QCOMPARE(account->text(), QStringLiteral("Change IP/username/password"));
        ExpectEnabled(w.get(), {kIp, kUser, kPassword}, false);
        ExpectEnabled(w.get(), {kLongPort, kShortPort}, true);
        QCOMPARE(port->text(), QStringLiteral("Change OK"));
        // The port fields take digits only.
        TypeIntoField(w.get(), kLongPort, QStringLiteral("9a0b0"));
        QCOMPARE(Field(w.get(), kLongPort)->text(), QStringLiteral("900"));
    }

    void modeSwitchesRebuildTheModulesAndListTheirOwnRecords() {
        TempProgramFolder folder;
        folder.write("protocol_long/System/SUBSCRIBE_SetSubscribe_test.xml", kSubscribeBody);
        folder.write("protocol_short/Event/GetEventConfig&SetEventConfig_1.xml", "<a/>");
        auto w = OpenWindow(folder.path());
        QVERIFY(ChooseModule(w.get(), QStringLiteral("System")));
        QCOMPARE(ListTexts(w.get()), std::vector<std::string>{"SUBSCRIBE_SetSubscribe_test"});

        Click(Control<QRadioButton>(w.get(), kShortConnect));
        QCOMPARE(w->ConnMode(), 1);
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
        for (int id = 0; id < kBuiltinModuleCount; ++id) {
            QVERIFY(ChooseModule(w.get(), QString::fromLatin1(kBuiltinModuleNames[id])));
            std::vector<std::string> names;
            for (const API_INTERFACE& record : BuiltinInterfaces()) {
                if (record.nModule == id)
                    names.push_back(record.strName);
            }
            QCOMPARE(ListTexts(w.get()), names);
        }
        QVERIFY(ChooseModule(w.get(), QStringLiteral("Maintain")));
        QCOMPARE(ListTexts(w.get()), std::vector<std::string>{"Reboot"});

        Click(Control<QRadioButton>(w.get(), kLongConnect));  // long mode has no "Maintain"
        QCOMPARE(w->ConnMode(), 0);
        ExpectEnabled(w.get(), {kLongSend}, true);
        ExpectEnabled(w.get(), {kShortSend}, false);
        QCOMPARE(ComboTexts(w.get()), QStringList{QStringLiteral("System")});
        QCOMPARE(ModuleCombo(w.get())->currentIndex(), -1);
        QCOMPARE(List(w.get())->rowCount(), 0);
        QVERIFY(w->GetCatalogue().Interfaces().empty());
    }

    void shortClickShowsThePreviewExactToTheByte() {
        TempProgramFolder folder;
        auto w = OpenWindow(folder.path());
        TypeIntoField(w.get(), kPassword, QStringLiteral("abc"));
        Click(Control<QRadioButton>(w.get(), kShortConnect));
        const struct {
            const char *module, *item, *interface, *pair;
            std::string start;  // the whole preview when exact
            bool exact;
            std::vector<std::string> parts;
        } rows[] = {
            {"System",
             "GetDeviceInfo",
             "GetDeviceInfo",
             "",
             "POST /GetDeviceInfo HTTP/1.1\r\nAuthorization: Basic YWRtaW46YWJj\r\n"
             "User-Agent: Lurvane\r\nHost: 192.168.1.100\r\n\r\n",
             true,
             {}},
            {"Image",
             "GetImageConfig",
             "GetImageConfig/1",
             "SetImageConfig",
             "POST /GetImageConfig/1 HTTP/1.1\r\n",
             false,
             {}},
            {"PTZ",
             "PtzControl",
             "PtzControl/1/Up",
             "",
             "POST /PtzControl/1/Up HTTP/1.1\r\n",
             false,
             {}},
            {"Security",
             "ModifyPassword",
             "ModifyPassword",
             "",
             "POST /ModifyPassword HTTP/1.1\r\nAuthorization: Basic YWRtaW46YWJj\r\n",
             false,
             {"<oldPassword><![CDATA[YWJj]]></oldPassword>",
              "<password><![CDATA[NzM5MTg0]]></password>"}},
        };
        for (const auto& row : rows) {
            QVERIFY(ChooseModule(w.get(), QString::fromLatin1(row.module)));
            QVERIFY(ClickListItem(w.get(), row.item));
            const std::string bytes = w->RequestEditorBytes();
            QVERIFY2(bytes.rfind(row.start, 0) == 0 && (!row.exact || bytes == row.start),
                     bytes.c_str());
            QCOMPARE(w->Interface(), std::string(row.interface));
            QCOMPARE(w->PairInterface(), std::string(row.pair));
            for (const std::string& part : row.parts)
                QVERIFY2(bytes.find(part) != std::string::npos, part.c_str());
            QCOMPARE(w->Body(), BodyAfterBlankLine(bytes));
            if (!w->Body().empty()) {
                const std::string length = "Content-Length: " + std::to_string(w->Body().size());
                QVERIFY(bytes.find(length + "\r\n") != std::string::npos);
            }
            QCOMPARE(Box(w.get(), kRequest)->toPlainText(),
                     QString::fromStdString(bytes).replace(QStringLiteral("\r\n"), "\n"));
        }
    }

    void clickOnNothingChangesNothing() {
        TempProgramFolder folder;
        auto w = OpenWindow(folder.path());
        Click(Control<QRadioButton>(w.get(), kShortConnect));
        QVERIFY(ChooseModule(w.get(), QStringLiteral("Maintain")));
        QTableWidget* list = List(w.get());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(10, list->viewport()->height() - 5));
        QVERIFY(w->Interface().empty());
        QVERIFY(w->RequestEditorBytes().empty());
    }

    void longClickBuildsTheKeepAliveRequestAndEditsBecomeCrLf() {
        TempProgramFolder folder;
        const std::string file =
            folder.write("protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml", kSubscribeBody);
        folder.write("protocol_long/Subscribe/plain.xml", "<config/>");
        auto w = OpenWindow(folder.path());
        QVERIFY(ChooseModule(w.get(), QStringLiteral("Subscribe")));
        std::vector<std::string> items = ListTexts(w.get());
        std::sort(items.begin(), items.end());
        QCOMPARE(items, (std::vector<std::string>{"SUBSCRIBE_SetSubscribe_test", "plain"}));

        QVERIFY(ClickListItem(w.get(), "plain"));  // no markers: the empty interface name
        QVERIFY(w->RequestEditorBytes().rfind("POST / HTTP/1.1\r\n", 0) == 0);
        QVERIFY(ClickListItem(w.get(), "SUBSCRIBE_SetSubscribe_test"));
        QCOMPARE(w->ProtocolFile(), file);
        const std::string composed = w->RequestEditorBytes();
        QCOMPARE(composed,
                 "POST /SetSubscribe HTTP/1.1\r\nAuthorization: Basic YWRtaW46NzM5MTg0\r\n"
                 "User-Agent: Lurvane\r\nHost: 192.168.1.100\r\nContent-Length: " +
                     std::to_string(sizeof kSubscribeBody - 1) +
                     "\r\nConnection: keep-alive\r\nKeep-Alive: 300 \r\n\r\n" + kSubscribeBody);
        QVERIFY(w->Interface().empty());  // short-mode state untouched

        // Typing at the end: every line end becomes CR LF, the typed text is kept.
        QPlainTextEdit* editor = Box(w.get(), kRequest);
        editor->setFocus();
        editor->moveCursor(QTextCursor::End);
        QTest::keyClicks(editor, "<!--x-->");
        std::string expected;
        for (char c : composed) {
            if (c == '\n')
                expected += '\r';
            if (c != '\r')
                expected += c;
        }
        QCOMPARE(w->RequestEditorBytes(), expected + "<!--x-->");
        // Filling again by a click makes the composed bytes count again.
        QVERIFY(ClickListItem(w.get(), "SUBSCRIBE_SetSubscribe_test"));
        QCOMPARE(w->RequestEditorBytes(), composed);
        editor->moveCursor(QTextCursor::Start);
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(w->RequestEditorBytes().rfind("\r\nPOST /SetSubscribe HTTP/1.1\r\n", 0) == 0);
    }

    void selectProtocolBuildsFromAnyFileAndCancelKeepsTheEditor() {
        TempProgramFolder folder;
        const std::string file = folder.write("elsewhere/SUBSCRIBE_GetSubscribeInfo_test.xml",
                                              "<config>\r\n</config>\r\n");
        auto w = OpenWindow(folder.path());
        Click(Control<QRadioButton>(w.get(), kShortConnect));  // works in both modes
        std::string expected;
        QCOMPARE(::PrepareLongRequest(file, "192.168.1.100", "GetSubscribeInfo", "admin", "739184",
                                      "", expected),
                 0);
        const QString answers[] = {QString::fromStdString(file), QString(),
                                   QString::fromStdString(folder.write("empty.xml", ""))};
        for (const QString& answer : answers) {  // a file, a cancel, an empty file
            DialogSeam::setNextOpenFile(answer);
            Click(Button(w.get(), kSelectProtocol));
            QCOMPARE(w->RequestEditorBytes(), expected);
        }
        QVERIFY(DialogSeam::shownTexts().isEmpty());
    }

    void ipEditEmptiesThePanesAndTheList() {
        TempProgramFolder folder;
        auto w = OpenWindow(folder.path());
        Click(Control<QRadioButton>(w.get(), kShortConnect));
        QVERIFY(ChooseModule(w.get(), QStringLiteral("System")));
        QVERIFY(ClickListItem(w.get(), "GetDeviceInfo"));
        for (int id : {kResult, kPairRequest, kPairResult})
            Box(w.get(), id)->setPlainText(QStringLiteral("text"));
        const int entries = ModuleCombo(w.get())->count();
        // Short port and user name edits empty nothing.
        TypeIntoField(w.get(), kShortPort, QStringLiteral("8080"));
        TypeIntoField(w.get(), kUser, QStringLiteral("root"));
        QVERIFY(!w->RequestEditorBytes().empty() && !Text(w.get(), kResult).empty());
        QCOMPARE(List(w.get())->rowCount(), 2);

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
        TempProgramFolder folder;
        auto w = OpenWindow(folder.path());
        // One line of Base64 text without spaces, like the picture of a pushed event.
        QByteArray bytes(450 * 1024, Qt::Uninitialized);
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>((static_cast<unsigned>(i) * 7919u) >> 3);
        const QString line = QString::fromLatin1(bytes.toBase64());
        for (int id : {kRequest, kResult, kPairRequest, kPairResult}) {
            QPlainTextEdit* box = Box(w.get(), id);
            QCOMPARE(box->wordWrapMode(), QTextOption::WrapAnywhere);
            box->setEnabled(true);
            QElapsedTimer timer;
            timer.start();
            box->setPlainText(line);
            const QRectF bounds =
                box->document()->documentLayout()->blockBoundingRect(box->document()->firstBlock());
            box->viewport()->repaint();
            QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
            QCOMPARE(box->toPlainText().size(), line.size());
            QVERIFY(bounds.height() > box->fontMetrics().height());  // wrapped into many lines
        }
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
