// The window's keys and the tools of its boxes: Enter, Tab, Escape and the send shortcuts;
// find, save and copy of an answer larger than its display.

#include "app/answer_box.h"
#include "app/demo_device.h"
#include "request/http_post.h"
#include "support/sim_support.h"
#include "window_fixture.h"

class KeysTest : public QObject {
    Q_OBJECT
    DemoDevice device_;
    TempFolder folder_;

    // A shown, active window aimed at the device, in short mode, with GetImageConfig sent (so
    // that the paired pane is open and its Send enabled).
    std::unique_ptr<CDorvik_LurvaneDlg> OpenWithPairedPane(const char* module = "Image",
                                                           const char* name = "GetImageConfig") {
        auto w = OpenWindow(folder_.Path());
        if (!w)
            return nullptr;
        device_.FillWindow(*w);
        Click(Control<QRadioButton>(w.get(), kShortConnect));
        QApplication::setActiveWindow(w.get());
        if (!QTest::qWaitForWindowActive(w.get()) || !ChooseModule(w.get(), module) ||
            !ClickListItem(w.get(), name) || !SendAndWait(w.get()) ||
            !Button(w.get(), kPairSend)->isEnabled())
            return nullptr;
        return w;
    }

  private slots:
    void initTestCase() { QVERIFY(device_.Start()); }
    void init() { DialogSeam::clearShown(); }

    void enterAndArrowsInTheListLoadAndNothingSendsByAccident() {
        auto w = OpenWithPairedPane();
        QVERIFY(w);
        QSignalSpy sends(w.get(), &CDorvik_LurvaneDlg::shortSendFinished);
        // Enter in a read-only box presses nothing, with the paired Send ready.
        Box(w.get(), kResult)->setFocus();
        QTest::keyClick(Box(w.get(), kResult), Qt::Key_Return);
        QVERIFY(Button(w.get(), kPairSend)->isEnabled());
        // In the list an arrow key and Enter load what they reach, as a click does.
        QTableWidget* list = List(w.get());
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QVERIFY(w->RequestEditorBytes().starts_with("POST /GetStreamCaps/1 "));
        Box(w.get(), kRequest)->setPlainText(QStringLiteral("edited"));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(w->RequestEditorBytes().starts_with("POST /GetStreamCaps/1 "));
        QTest::qWait(300);
        QCOMPARE(sends.count(), 0);
        QVERIFY(!w->ShortSendInProgress());
        // Tab leaves the list; Escape closes nothing, Ctrl+Q closes the window.
        QTest::keyClick(list, Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != list);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(w->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!w->isVisible());
    }

    void ctrlEnterSendsInTheModeAndCtrlShiftEnterSendsThePairedPane() {
        auto w = OpenWithPairedPane();
        QVERIFY(w);
        QPlainTextEdit* editor = Box(w.get(), kRequest);
        editor->setFocus();
        QSignalSpy sends(w.get(), &CDorvik_LurvaneDlg::shortSendFinished);
        Box(w.get(), kResult)->clear();
        QTest::keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(sends.wait(10000));
        QVERIFY(Text(w.get(), kResult).find("<brightness") != std::string::npos);
        QVERIFY(w->RequestEditorPristine());  // the key sent; it typed nothing
        QTest::keyClick(editor, Qt::Key_Enter, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(sends.wait(10000));
        QVERIFY(Text(w.get(), kPairResult).find("status=\"success\"") != std::string::npos);
        // A pane without a request line has nothing to send.
        Box(w.get(), kPairRequest)->setPlainText(QStringLiteral("<config/>"));
        QVERIFY(!Button(w.get(), kPairSend)->isEnabled());
    }

    void findSearchesTheFocusedBoxAndGoesRound() {
        auto w = OpenWithPairedPane();
        QVERIFY(w);
        QPlainTextEdit* box = Box(w.get(), kResult);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_F, Qt::ControlModifier);
        auto* find = w->findChild<QLineEdit*>(QStringLiteral("findText"));
        QVERIFY(find->isVisible() && find->hasFocus());
        QTest::keyClicks(find, QStringLiteral("Type=\"uint32\""));
        const auto found = [&] {
            QTest::keyClick(find, Qt::Key_Return);
            return box->textCursor().position();
        };
        const int first = found();
        QCOMPARE(box->textCursor().selectedText(), QStringLiteral("type=\"uint32\""));
        QVERIFY(found() > first);
        while (found() > first) {
        }
        QCOMPARE(box->textCursor().position(), first);  // went round to the first again
        find->setText(QStringLiteral("nowhere"));
        found();
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("findResult"))->text(),
                 QStringLiteral("Not found"));
        QTest::keyClick(find, Qt::Key_Escape);
        QVERIFY(!find->isVisible() && w->isVisible() && box->hasFocus());
    }

    void saveAndCopyGiveTheWholeAnswerOfAShortenedDisplay() {
        // The device's OSD setting grows past the display's 128 KB.
        QByteArray setting = "<config>";
        for (int i = 0; setting.size() < 200 * 1024; ++i)
            setting += "<osd id=\"" + QByteArray::number(i) + "\"><text>caption</text></osd>\n";
        setting += "</config>";
        QCOMPARE(Attr(PostTo(device_.ShortPort(), "SetImageOsdConfig/1", setting), "status"),
                 QByteArray("success"));
        const QByteArray whole = PostTo(device_.ShortPort(), "GetImageOsdConfig/1");
        QVERIFY(whole.size() > 200 * 1024);

        auto w = OpenWithPairedPane("Image", "GetImageOsdConfig");
        QVERIFY(w);
        QCOMPARE(QByteArray::fromStdString(*w->AnswerBytes(kResult)), whole);
        QVERIFY(Box(w.get(), kResult)->toPlainText().size() < 129 * 1024);
        // The whole answer as the pane's body is too large to colour; the shown form is not.
        QCOMPARE(Box(w.get(), kPairRequest)->wordWrapMode(), QTextOption::WrapAnywhere);
        QCOMPARE(Box(w.get(), kResult)->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);

        const QString path = QString::fromStdString(folder_.Path() + "/saved.xml");
        DialogSeam::setNextSaveFile(path);
        QSignalSpy saved(w.get(), &CDorvik_LurvaneDlg::answerSaved);
        Box(w.get(), kResult)->setFocus();
        QTest::keyClick(Box(w.get(), kResult), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(saved.wait(10000));
        QCOMPARE(saved.at(0).at(1).toBool(), true);
        QCOMPARE(QByteArray::fromStdString(ReadFile(path.toStdString())), whole);

        Box(w.get(), kResult)->selectAll();
        QTest::keyClick(Box(w.get(), kResult), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QString::fromUtf8(whole));
        // A part of the display copies as shown.
        QTextCursor part = Box(w.get(), kResult)->textCursor();
        part.setPosition(0);
        part.setPosition(5, QTextCursor::KeepAnchor);
        Box(w.get(), kResult)->setTextCursor(part);
        QTest::keyClick(Box(w.get(), kResult), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("<?xml"));

        // A file that cannot be written is reported, and nothing is saved.
        DialogSeam::setNextSaveFile(QString::fromStdString(folder_.Path() + "/none/x.xml"));
        w->OnSaveAnswer(kResult);
        QVERIFY(saved.wait(10000));
        QCOMPARE(saved.at(1).at(1).toBool(), false);
        QVERIFY(DialogSeam::shownTexts().value(0).startsWith("Cannot save the answer to "));
    }
};

const HttpLibrary kHttp;  // before main, as a program makes it
QTEST_MAIN(KeysTest)
#include "keys_test.moc"
