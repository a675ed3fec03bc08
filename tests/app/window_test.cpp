// The window: start-up state, toggles, modes, module choice, list clicks and the editor.
#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTextBlock>
#include <QtTest>
#include <algorithm>

#include "app/request_text.h"
#include "catalogue/builtin_interfaces.h"
#include "request/long_request.h"
#include "request/short_request.h"
#include "window_fixture.h"

using namespace ControlId;

namespace {
const char kSubscribeBody[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<config version=\"1.0\">\n"
    "\t<subscribeFlag>BASE_SUBSCRIBE</subscribeFlag>\n</config>\n";

std::vector<std::string> BuiltinNamesOfModule(int id) {
    std::vector<std::string> names;
    for (const API_INTERFACE& record : BuiltinInterfaces()) {
        if (record.nModule == id)
            names.push_back(record.strName);
    }
    return names;
}

std::string Text(QWidget* w, int id) {
    return Box(w, id)->toPlainText().toStdString();
}
}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
  private slots:
    void startUpShowsTheDefaults();
    void changeTogglesUnlockTheirOwnFieldsOnly();
    void portFieldsTakeDigitsOnly();
    void modeSwitchRebuildsTheModules();
    void modeSwitchKeepsAModuleOfTheSameName();
    void eachModuleListsItsOwnRecords();
    void shortClickShowsThePreviewExactToTheByte();
    void shortClickSubstitutesTheEnteredPassword();
    void shortClickOfPtzControlAddsUp();
    void clickOnNothingChangesNothing();
    void longClickBuildsTheKeepAliveRequest();
    void selectProtocolBuildsFromAnyFileAndCancelKeepsTheEditor();
    void ipEditEmptiesThePanesAndTheList();
    void editorBytesBeforeAndAfterAnEdit();
    void textBoxesTakeLongLinesFast();
};

void WindowTest::startUpShowsTheDefaults() {
    TempProgramFolder folder;
    folder.mkdir("protocol_long/Subscribe");
    auto w = OpenWindow(folder.path());

    QCOMPARE(w->windowTitle(), QStringLiteral("Tessaly 3.0.0.6"));
    QCOMPARE(w->minimumSize(), w->maximumSize());  // fixed size
    QVERIFY(w->width() > w->height());
    QVERIFY(Control<QRadioButton>(w.get(), kLongConnect)->isChecked());
    QVERIFY(!Control<QRadioButton>(w.get(), kShortConnect)->isChecked());
    QCOMPARE(w->ConnMode(), 0);
    QVERIFY(Button(w.get(), kLongSend)->isEnabled());
    QVERIFY(!Button(w.get(), kShortSend)->isEnabled());
    QVERIFY(Button(w.get(), kSelectProtocol)->isEnabled());
    QVERIFY(!Box(w.get(), kPairRequest)->isEnabled());
    QVERIFY(!Box(w.get(), kPairResult)->isEnabled());
    QVERIFY(!Button(w.get(), kPairSend)->isEnabled());
    QVERIFY(Button(w.get(), kPairSend)->isDefault());
    QVERIFY(Box(w.get(), kResult)->isReadOnly());
    QVERIFY(Box(w.get(), kPairResult)->isReadOnly());
    QVERIFY(!Box(w.get(), kRequest)->isReadOnly());

    const struct {
        int id;
        const char* text;
    } fields[] = {{kIp, "192.168.1.100"},
                  {kUser, "admin"},
                  {kPassword, "739184"},
                  {kLongPort, "8080"},
                  {kShortPort, "80"}};
    for (const auto& field : fields) {
        QVERIFY2(!Field(w.get(), field.id)->isEnabled(), field.text);
        QCOMPARE(Field(w.get(), field.id)->text(), QString::fromLatin1(field.text));
    }
    QCOMPARE(Field(w.get(), kPassword)->echoMode(), QLineEdit::Password);

    QCOMPARE(Button(w.get(), kChangeAccount)->text(),
             QStringLiteral("Change IP/username/password"));
    QCOMPARE(Button(w.get(), kChangePort)->text(), QStringLiteral("Change Port"));
    QCOMPARE(Button(w.get(), kLongSend)->text(), QStringLiteral("Long connect send"));
    QCOMPARE(Button(w.get(), kShortSend)->text(), QStringLiteral("Short connect send"));
    QCOMPARE(Button(w.get(), kSelectProtocol)->text(), QStringLiteral("Select Protocol"));
    QCOMPARE(Button(w.get(), kPairSend)->text(), QStringLiteral("Send"));

    QCOMPARE(ComboTexts(w.get()), QStringList{QStringLiteral("Subscribe")});
    QCOMPARE(ModuleCombo(w.get())->currentIndex(), -1);
    QCOMPARE(List(w.get())->rowCount(), 0);
    QCOMPARE(List(w.get())->columnCount(), 1);
    QCOMPARE(List(w.get())->horizontalHeaderItem(0)->text(), QStringLiteral("Interface Name"));
    QCOMPARE(List(w.get())->columnWidth(0), 290);
    QVERIFY(List(w.get())->showGrid());
    QCOMPARE(List(w.get())->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(List(w.get())->selectionMode(), QAbstractItemView::SingleSelection);
    QVERIFY(Text(w.get(), kRequest).empty());
    QVERIFY(Text(w.get(), kResult).empty());
}

void WindowTest::changeTogglesUnlockTheirOwnFieldsOnly() {
    TempProgramFolder folder;
    auto w = OpenWindow(folder.path());
    QPushButton* account = Button(w.get(), kChangeAccount);
    QPushButton* port = Button(w.get(), kChangePort);

    Click(account);
    QCOMPARE(account->text(), QStringLiteral("Change OK"));
    for (int id : {kIp, kUser, kPassword})
        QVERIFY(Field(w.get(), id)->isEnabled());
    for (int id : {kLongPort, kShortPort})
        QVERIFY(!Field(w.get(), id)->isEnabled());

    Click(port);  // in between: does not touch the account fields
    QCOMPARE(port->text(), QStringLiteral("Change OK"));
    for (int id : {kIp, kUser, kPassword, kLongPort, kShortPort})
        QVERIFY(Field(w.get(), id)->isEnabled());

    Click(account);
    QCOMPARE(account->text(), QStringLiteral("Change IP/username/password"));
    for (int id : {kIp, kUser, kPassword})
        QVERIFY(!Field(w.get(), id)->isEnabled());
    for (int id : {kLongPort, kShortPort})
        QVERIFY(Field(w.get(), id)->isEnabled());

    // Locking from a send locks both groups and restores both captions.
    Click(account);
    w->LockConnectionFields();
    QCOMPARE(account->text(), QStringLiteral("Change IP/username/password"));
    QCOMPARE(port->text(), QStringLiteral("Change Port"));
    for (int id : {kIp, kUser, kPassword, kLongPort, kShortPort})
        QVERIFY(!Field(w.get(), id)->isEnabled());
}

void WindowTest::portFieldsTakeDigitsOnly() {
    TempProgramFolder folder;
    auto w = OpenWindow(folder.path());
    TypeIntoField(w.get(), kLongPort, QStringLiteral("9a0b0"));
    QCOMPARE(Field(w.get(), kLongPort)->text(), QStringLiteral("900"));
    TypeIntoField(w.get(), kShortPort, QStringLiteral("x81"));
    QCOMPARE(Field(w.get(), kShortPort)->text(), QStringLiteral("81"));
}

void WindowTest::modeSwitchRebuildsTheModules() {
    TempProgramFolder folder;
    folder.mkdir("protocol_long/Subscribe");
    folder.write("protocol_short/Event/GetEventConfig&SetEventConfig_1.xml", "<a/>");
    auto w = OpenWindow(folder.path());

    Click(Control<QRadioButton>(w.get(), kShortConnect));
    QCOMPARE(w->ConnMode(), 1);
    QVERIFY(Button(w.get(), kShortSend)->isEnabled());
    QVERIFY(!Button(w.get(), kLongSend)->isEnabled());
    QStringList expected{QStringLiteral("Event")};
    for (const char* name : kBuiltinModuleNames)
        expected << QString::fromLatin1(name);
    QCOMPARE(ComboTexts(w.get()), expected);
    QCOMPARE(ModuleCombo(w.get())->currentIndex(), -1);
    QVERIFY(ChooseModule(w.get(), QStringLiteral("PTZ")));
    QCOMPARE(ListTexts(w.get()).size(), size_t(16));

    Click(Control<QRadioButton>(w.get(), kLongConnect));
    QCOMPARE(w->ConnMode(), 0);
    QVERIFY(!Button(w.get(), kShortSend)->isEnabled());
    QVERIFY(Button(w.get(), kLongSend)->isEnabled());
    QCOMPARE(ComboTexts(w.get()), QStringList{QStringLiteral("Subscribe")});
    QCOMPARE(List(w.get())->rowCount(), 0);
    QVERIFY(w->GetCatalogue().Interfaces().empty());
}

void WindowTest::modeSwitchKeepsAModuleOfTheSameName() {
    TempProgramFolder folder;
    folder.write("protocol_long/System/SUBSCRIBE_SetSubscribe_test.xml", kSubscribeBody);
    auto w = OpenWindow(folder.path());
    QVERIFY(ChooseModule(w.get(), QStringLiteral("System")));
    QCOMPARE(ListTexts(w.get()), std::vector<std::string>{"SUBSCRIBE_SetSubscribe_test"});

    Click(Control<QRadioButton>(w.get(), kShortConnect));
    QCOMPARE(ModuleCombo(w.get())->currentText(), QStringLiteral("System"));
    QCOMPARE(w->Module(), std::string("System"));
    QCOMPARE(List(w.get())->rowCount(), 0);  // listed only after a choice
}

void WindowTest::eachModuleListsItsOwnRecords() {
    TempProgramFolder folder;
    folder.write("protocol_short/Event/GetEventConfig&SetEventConfig_1.xml", "<a/>");
    auto w = OpenWindow(folder.path());
    Click(Control<QRadioButton>(w.get(), kShortConnect));

    QVERIFY(ChooseModule(w.get(), QStringLiteral("Event")));
    QCOMPARE(ListTexts(w.get()), std::vector<std::string>{"GetEventConfig"});

    for (int id = 0; id < kBuiltinModuleCount; ++id) {
        const QString name = QString::fromLatin1(kBuiltinModuleNames[id]);
        QVERIFY(ChooseModule(w.get(), name));
        QCOMPARE(ListTexts(w.get()), BuiltinNamesOfModule(id));
    }
    QVERIFY(ChooseModule(w.get(), QStringLiteral("Maintain")));
    QCOMPARE(ListTexts(w.get()), std::vector<std::string>{"Reboot"});
    QVERIFY(ChooseModule(w.get(), QStringLiteral("PTZ")));
    const std::vector<std::string> ptz = ListTexts(w.get());
    QCOMPARE(ptz.size(), size_t(16));
    QCOMPARE(ptz.front(), std::string("PtzGetCaps"));
    QCOMPARE(ptz.back(), std::string("PtzControl"));
}

void WindowTest::shortClickShowsThePreviewExactToTheByte() {
    TempProgramFolder folder;
    auto w = OpenWindow(folder.path());
    Click(Control<QRadioButton>(w.get(), kShortConnect));
    QVERIFY(ChooseModule(w.get(), QStringLiteral("System")));
    QVERIFY(ClickListItem(w.get(), "GetDeviceInfo"));

    const std::string expected =
        "POST /GetDeviceInfo HTTP/1.1\r\nAuthorization: Basic YWRtaW46NzM5MTg0\r\n"
        "User-Agent: Lurvane\r\nHost: 192.168.1.100\r\n\r\n";
    QCOMPARE(w->RequestEditorBytes(), expected);
    QCOMPARE(w->Interface(), std::string("GetDeviceInfo"));
    QVERIFY(w->PairInterface().empty());

    QVERIFY(ChooseModule(w.get(), QStringLiteral("Image")));
    QVERIFY(ClickListItem(w.get(), "GetImageConfig"));
    const ShortRequest composed =
        ComposeShortRequest(w->GetCatalogue().Find("GetImageConfig"), "GetImageConfig",
                            "192.168.1.100", "80", "admin", "739184");
    QCOMPARE(w->RequestEditorBytes(), composed.preview);
    QCOMPARE(w->Interface(), std::string("GetImageConfig/1"));
    QCOMPARE(w->PairInterface(), std::string("SetImageConfig"));
    // The editor shows the same text with its line breaks.
    QCOMPARE(Box(w.get(), kRequest)->toPlainText(),
             QString::fromStdString(composed.preview)
                 .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void WindowTest::shortClickSubstitutesTheEnteredPassword() {
    TempProgramFolder folder;
    auto w = OpenWindow(folder.path());
    TypeIntoField(w.get(), kPassword, QStringLiteral("abc"));
    Click(Control<QRadioButton>(w.get(), kShortConnect));
    QVERIFY(ChooseModule(w.get(), QStringLiteral("Security")));
    QVERIFY(ClickListItem(w.get(), "ModifyPassword"));

    const std::string bytes = w->RequestEditorBytes();
    QVERIFY(bytes.find("Authorization: Basic YWRtaW46YWJj\r\n") != std::string::npos);
    QVERIFY(bytes.find("<oldPassword><![CDATA[YWJj]]></oldPassword>") != std::string::npos);
    QVERIFY(bytes.find("<password><![CDATA[NzM5MTg0]]></password>") != std::string::npos);
    QCOMPARE(w->Body(), BodyAfterBlankLine(bytes));
    const std::string length = "Content-Length: " + std::to_string(w->Body().size()) + "\r\n";
    QVERIFY(bytes.find(length) != std::string::npos);
}

void WindowTest::shortClickOfPtzControlAddsUp() {
    TempProgramFolder folder;
    auto w = OpenWindow(folder.path());
    Click(Control<QRadioButton>(w.get(), kShortConnect));
    QVERIFY(ChooseModule(w.get(), QStringLiteral("PTZ")));
    QVERIFY(ClickListItem(w.get(), "PtzControl"));
    QCOMPARE(w->Interface(), std::string("PtzControl/1/Up"));
    QVERIFY(w->RequestEditorBytes().rfind("POST /PtzControl/1/Up HTTP/1.1\r\n", 0) == 0);
}

void WindowTest::clickOnNothingChangesNothing() {
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

void WindowTest::longClickBuildsTheKeepAliveRequest() {
    TempProgramFolder folder;
    const std::string file =
        folder.write("protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml", kSubscribeBody);
    folder.write("protocol_long/Subscribe/plain.xml", "<config/>");
    auto w = OpenWindow(folder.path());
    QVERIFY(ChooseModule(w.get(), QStringLiteral("Subscribe")));
    std::vector<std::string> items = ListTexts(w.get());
    std::sort(items.begin(), items.end());
    QCOMPARE(items, (std::vector<std::string>{"SUBSCRIBE_SetSubscribe_test", "plain"}));

    QVERIFY(ClickListItem(w.get(), "SUBSCRIBE_SetSubscribe_test"));
    QCOMPARE(w->ProtocolFile(), file);
    const std::string body = kSubscribeBody;
    const std::string expected =
        "POST /SetSubscribe HTTP/1.1\r\n"
        "Authorization: Basic YWRtaW46NzM5MTg0\r\n"
        "User-Agent: Lurvane\r\nHost: 192.168.1.100\r\n"
        "Content-Length: " +
        std::to_string(body.size()) + "\r\nConnection: keep-alive\r\nKeep-Alive: 300 \r\n\r\n" +
        body;
    QCOMPARE(w->RequestEditorBytes(), expected);

    // A file without the markers gives the empty interface name.
    QVERIFY(ClickListItem(w.get(), "plain"));
    QVERIFY(w->RequestEditorBytes().rfind("POST / HTTP/1.1\r\n", 0) == 0);
    // The short-mode fields stay untouched by long-mode clicks.
    QVERIFY(w->Interface().empty());
}

void WindowTest::selectProtocolBuildsFromAnyFileAndCancelKeepsTheEditor() {
    TempProgramFolder folder;
    const std::string file =
        folder.write("elsewhere/SUBSCRIBE_GetSubscribeInfo_test.xml", "<config>\r\n</config>\r\n");
    auto w = OpenWindow(folder.path());
    Click(Control<QRadioButton>(w.get(), kShortConnect));  // works in both modes

    DialogSeam::setNextOpenFile(QString::fromStdString(file));
    Click(Button(w.get(), kSelectProtocol));
    std::string expected;
    QCOMPARE(::PrepareLongRequest(file, "192.168.1.100", "GetSubscribeInfo", "admin", "739184", "",
                                  expected),
             0);
    QCOMPARE(w->RequestEditorBytes(), expected);
    QCOMPARE(w->ProtocolFile(), file);

    DialogSeam::setNextOpenFile(QString());  // cancel
    Click(Button(w.get(), kSelectProtocol));
    QCOMPARE(w->RequestEditorBytes(), expected);
    QCOMPARE(w->ProtocolFile(), file);

    // An empty file keeps the previous text.
    DialogSeam::setNextOpenFile(QString::fromStdString(folder.write("empty.xml", "")));
    Click(Button(w.get(), kSelectProtocol));
    QCOMPARE(w->RequestEditorBytes(), expected);
    QVERIFY(DialogSeam::shownTexts().isEmpty());
}

void WindowTest::ipEditEmptiesThePanesAndTheList() {
    TempProgramFolder folder;
    auto w = OpenWindow(folder.path());
    Click(Control<QRadioButton>(w.get(), kShortConnect));
    QVERIFY(ChooseModule(w.get(), QStringLiteral("System")));
    QVERIFY(ClickListItem(w.get(), "GetDeviceInfo"));
    Box(w.get(), kResult)->setPlainText(QStringLiteral("answer"));
    Box(w.get(), kPairRequest)->setPlainText(QStringLiteral("pair"));
    Box(w.get(), kPairResult)->setPlainText(QStringLiteral("pair answer"));
    const int entries = ModuleCombo(w.get())->count();

    TypeIntoField(w.get(), kIp, QStringLiteral("127.0.0.2"));
    QCOMPARE(Field(w.get(), kIp)->text(), QStringLiteral("127.0.0.2"));
    for (int id : {kRequest, kResult, kPairRequest, kPairResult})
        QVERIFY(Box(w.get(), id)->toPlainText().isEmpty());
    QVERIFY(w->RequestEditorBytes().empty());
    QVERIFY(!Box(w.get(), kPairRequest)->isEnabled());
    QVERIFY(!Button(w.get(), kPairSend)->isEnabled());
    QCOMPARE(ModuleCombo(w.get())->currentIndex(), -1);
    QCOMPARE(ModuleCombo(w.get())->count(), entries);
    QCOMPARE(List(w.get())->rowCount(), 0);
    QVERIFY(!w->GetCatalogue().Interfaces().empty());

    // Choosing a module again refills the list; the new IP is the host now.
    QVERIFY(ChooseModule(w.get(), QStringLiteral("System")));
    QVERIFY(ClickListItem(w.get(), "GetDeviceInfo"));
    QVERIFY(w->RequestEditorBytes().find("Host: 127.0.0.2\r\n") != std::string::npos);

    // Short port and user name edits do not empty anything.
    TypeIntoField(w.get(), kShortPort, QStringLiteral("8080"));
    TypeIntoField(w.get(), kUser, QStringLiteral("root"));
    QVERIFY(!w->RequestEditorBytes().empty());
    QCOMPARE(List(w.get())->rowCount(), 2);
}

void WindowTest::editorBytesBeforeAndAfterAnEdit() {
    TempProgramFolder folder;
    // A body with LF line ends: sent as in the file while untouched.
    folder.write("protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml", kSubscribeBody);
    auto w = OpenWindow(folder.path());
    QVERIFY(ChooseModule(w.get(), QStringLiteral("Subscribe")));
    QVERIFY(ClickListItem(w.get(), "SUBSCRIBE_SetSubscribe_test"));
    const std::string composed = w->RequestEditorBytes();
    QVERIFY(composed.find("\r\n\r\n<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<config") !=
            std::string::npos);

    // Typing at the end: every line end becomes CR LF, the typed text is kept.
    QPlainTextEdit* editor = Box(w.get(), kRequest);
    editor->setFocus();
    editor->moveCursor(QTextCursor::End);
    QTest::keyClicks(editor, "<!--x-->");
    std::string expected;
    for (char c : composed) {
        if (c == '\r')
            continue;
        if (c == '\n')
            expected += '\r';
        expected += c;
    }
    expected += "<!--x-->";
    QCOMPARE(w->RequestEditorBytes(), expected);

    // Filling again by a click makes the composed bytes count again.
    QVERIFY(ClickListItem(w.get(), "SUBSCRIBE_SetSubscribe_test"));
    QCOMPARE(w->RequestEditorBytes(), composed);

    // A typed line break is a CR LF too.
    editor->moveCursor(QTextCursor::Start);
    QTest::keyClick(editor, Qt::Key_Return);
    QVERIFY(w->RequestEditorBytes().rfind("\r\nPOST /SetSubscribe HTTP/1.1\r\n", 0) == 0);
}

void WindowTest::textBoxesTakeLongLinesFast() {
    TempProgramFolder folder;
    auto w = OpenWindow(folder.path());
    // One line of Base64 text without spaces, like the picture of a pushed event.
    QByteArray bytes(450 * 1024, Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((static_cast<unsigned>(i) * 7919u) >> 3);
    const QString line = QString::fromLatin1(bytes.toBase64());
    for (int id : {kRequest, kResult, kPairRequest, kPairResult}) {
        QPlainTextEdit* box = Box(w.get(), id);
        QVERIFY(box->wordWrapMode() == QTextOption::WrapAnywhere ||
                box->lineWrapMode() == QPlainTextEdit::NoWrap);
        box->setEnabled(true);
        QElapsedTimer timer;
        timer.start();
        box->setPlainText(line);
        // Lay the line out as painting would.
        const QRectF bounds =
            box->document()->documentLayout()->blockBoundingRect(box->document()->firstBlock());
        box->viewport()->repaint();
        QCoreApplication::processEvents();
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(box->toPlainText().size(), line.size());
        QVERIFY(bounds.height() > box->fontMetrics().height());  // wrapped into many lines
    }
}

QTEST_MAIN(WindowTest)
#include "window_test.moc"
