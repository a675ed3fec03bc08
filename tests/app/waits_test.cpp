// The window never waits on a device: a hanging connect and a slow answer leave it answering,
// and closing, Escape, Stop and an edit give them up at once. TLS trust is asked in the window.

#include <QtNetwork>

#include "app/demo_device.h"
#include "app/status_strip.h"
#include "net/known_devices.h"
#include "window_fixture.h"

namespace {

using namespace std::chrono_literals;

QString Strip(QWidget* w) {
    return w->findChild<StatusStrip*>(QStringLiteral("resultStatus"))->text();
}

// Milliseconds that `work` took.
qint64 Took(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.elapsed();
}

}  // namespace

class WaitsTest : public QObject {
    Q_OBJECT
    TempFolder folder_;

    // A window aimed at 127.0.0.1 with these ports, in long or short mode.
    std::unique_ptr<CDorvik_LurvaneDlg> Open(int longPort, int shortPort, bool shortMode) {
        auto w = OpenWindow(folder_.Path());
        if (!w)
            return w;
        Click(Button(w.get(), kChangePort));
        TypeIntoField(w.get(), kLongPort, QString::number(longPort));
        TypeIntoField(w.get(), kShortPort, QString::number(shortPort));
        Click(Button(w.get(), kChangeAccount));
        TypeIntoField(w.get(), kIp, QStringLiteral("127.0.0.1"));
        Click(Control<QRadioButton>(w.get(), shortMode ? kShortConnect : kLongConnect));
        return w;
    }

  private slots:
    void initTestCase() { QFile::remove(QString::fromStdString(KnownDevices::DefaultPath())); }

    void init() { DialogSeam::setAnswerMode(true); }

    void aHangingConnectLeavesTheWindowAnsweringAndIsGivenUpAtOnce() {
        FullListener full;
        QVERIFY(full.Port() != 0);
        auto w = Open(full.Port(), 1, false);
        QVERIFY(w);

        // At its limit the connect fails with the usual boxes, in the usual order.
        w->SetLongConnectLimit(300ms);
        QVERIFY(Took([&] { Click(Button(w.get(), kLongSend)); }) < 100);
        QCOMPARE(Strip(w.get()), "Connecting to 127.0.0.1:" + QString::number(full.Port()) + "...");
        QTRY_VERIFY(!w->LongSendRunning());
        QTRY_COMPARE(DialogSeam::shownTexts(),
                     (QStringList{"Connect fail, Please Check the IP/Username/Password/LongPort !",
                                  "Send fail"}));
        QVERIFY2(Strip(w.get()).contains("Connection timed out after 300 ms"),
                 qPrintable(Strip(w.get())));

        // While it hangs the window runs its timers; a second send waits for the first.
        w->SetLongConnectLimit(10s);
        DialogSeam::clearShown();
        w->OnLongSend();
        QVERIFY(w->LongSendRunning() && !Button(w.get(), kLongSend)->isEnabled());
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(10);
        QTest::qWait(300);
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        w->OnLongSend();  // refused while the first runs

        // An edit of the IP gives it up without a box; so do short mode and closing the window.
        Click(Button(w.get(), kChangeAccount));
        QVERIFY(Took([&] { TypeIntoField(w.get(), kIp, QStringLiteral("127.0.0.1")); }) < 200);
        QVERIFY(!w->LongSendRunning());
        w->OnLongSend();
        QVERIFY(w->LongSendRunning());
        Click(Control<QRadioButton>(w.get(), kShortConnect));  // so does short mode
        QVERIFY(!w->LongSendRunning());
        Click(Control<QRadioButton>(w.get(), kLongConnect));
        w->OnLongSend();
        QVERIFY(w->LongSendRunning());
        QVERIFY(Took([&] { w.reset(); }) < 200);
        QCOMPARE(DialogSeam::shownTexts(), QStringList());
    }

    void aSlowAnswerIsCancelledByEscapeOrStopAndByClosing() {
        for (const bool byEscape : {true, false}) {
            TricklePeer device(1s);
            auto w = Open(1, device.Port(), true);
            QVERIFY(w);
            QVERIFY(ChooseModule(w.get(), QStringLiteral("System")));
            QVERIFY(ClickListItem(w.get(), "GetDeviceInfo"));
            QSignalSpy finished(w.get(), &CDorvik_LurvaneDlg::shortSendFinished);
            Click(Button(w.get(), kShortSend));
            auto* stop = w->findChild<QPushButton*>(QStringLiteral("stop"));
            QVERIFY(stop->isVisible() && !Button(w.get(), kShortSend)->isVisible());
            QTest::qWait(300);
            const qint64 took = Took([&] {
                if (byEscape)
                    QTest::keyClick(w.get(), Qt::Key_Escape);
                else
                    Click(stop);
                QVERIFY(finished.wait(1000));
            });
            QVERIFY2(took < 200, qPrintable(QString::number(took)));
            QCOMPARE(Strip(w.get()), "Cancelled");
            QCOMPARE(DialogSeam::shownTexts(), QStringList());
            QVERIFY(Button(w.get(), kShortSend)->isVisible() && !stop->isVisible());
            QVERIFY(w->isVisible());  // Escape never closes the window
        }
        TricklePeer device(1s);
        auto w = Open(1, device.Port(), true);
        QVERIFY(w);
        QVERIFY(ChooseModule(w.get(), QStringLiteral("System")));
        QVERIFY(ClickListItem(w.get(), "GetDeviceInfo"));
        Click(Button(w.get(), kShortSend));
        QTest::qWait(300);
        QVERIFY(w->ShortSendInProgress());
        QVERIFY(Took([&] { w.reset(); }) < 200);
    }

    // A device whose certificate nobody vouches for is shown with its key; once trusted, the
    // key is pinned and both connections go through. A changed key is refused with a warning.
    void aDevicesKeyIsTrustedOnceAndAChangedKeyIsRefused() {
        SimulatorOptions options = DemoDevice::DemoOptions();
        options.tls = true;
        DemoDevice device(options);
        QVERIFY(device.Start());
        auto w = Open(device.LongPort(), device.ShortPort(), true);
        QVERIFY(w);
        w->findChild<QCheckBox*>(QStringLiteral("tls"))->click();  // unlocked with the ports
        Click(Button(w.get(), kChangePort));
        QVERIFY(ChooseModule(w.get(), QStringLiteral("System")));
        QVERIFY(ClickListItem(w.get(), "GetDeviceInfo"));

        DialogSeam::setNextQuestionAnswer(true);
        QVERIFY(SendAndWait(w.get()));
        QTRY_VERIFY(!w->ShortSendInProgress());
        QCOMPARE(DialogSeam::shownTexts().size(), 1);
        QVERIFY2(DialogSeam::shownTexts().front().startsWith("Unknown certificate"),
                 qPrintable(DialogSeam::shownTexts().front()));
        const KnownDevices known(KnownDevices::DefaultPath());
        const std::string pin = known.Find("127.0.0.1", device.ShortPort());
        QVERIFY(IsPublicKeyPin(pin));
        QVERIFY(DialogSeam::shownTexts().front().contains(QString::fromStdString(pin)));
        QVERIFY(Strip(w.get()).startsWith("200 OK"));

        // The long port is asked about on its own; a No leaves it refused with the usual boxes.
        Click(Control<QRadioButton>(w.get(), kLongConnect));
        DialogSeam::clearShown();
        QVERIFY(LongSendAndWait(w.get()));
        QCOMPARE(DialogSeam::shownTexts().size(), 3);
        QVERIFY(DialogSeam::shownTexts()[1].startsWith("Connect fail"));
        QVERIFY2(Strip(w.get()).contains("Unknown certificate"), qPrintable(Strip(w.get())));
        QVERIFY(known.Find("127.0.0.1", device.LongPort()).empty());

        // Another key pinned for the short port: refused, with both keys named.
        const std::string other = "sha256//" + std::string(43, 'A') + "=";
        QVERIFY(known.Trust("127.0.0.1", device.ShortPort(), other));
        Click(Control<QRadioButton>(w.get(), kShortConnect));
        DialogSeam::clearShown();
        QVERIFY(SendAndWait(w.get()));
        const QStringList shown = DialogSeam::shownTexts();
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown[0].startsWith("Pinned key changed") &&
                shown[0].contains(QString::fromStdString(pin)) &&
                shown[0].contains(QString::fromStdString(other)));
        QCOMPARE(shown[1], QString::fromUtf8(kShortSendFailText));
        QCOMPARE(known.Find("127.0.0.1", device.ShortPort()), other);  // left as it was

        // The demo trusts its own device's key for the run only: no question, nothing stored.
        w.reset();
        auto demo = OpenWindow(folder_.Path());
        QVERIFY(demo);
        device.FillWindow(*demo);
        Click(Control<QRadioButton>(demo.get(), kShortConnect));
        QVERIFY(ChooseModule(demo.get(), QStringLiteral("System")));
        QVERIFY(ClickListItem(demo.get(), "GetDeviceInfo"));
        DialogSeam::clearShown();
        QVERIFY(SendAndWait(demo.get()));
        QCOMPARE(DialogSeam::shownTexts(), QStringList());
        QVERIFY2(Strip(demo.get()).startsWith("200 OK"), qPrintable(Strip(demo.get())));
        QCOMPARE(known.Find("127.0.0.1", device.ShortPort()), other);
    }
};

const HttpLibrary kHttp;  // before main, as a program makes it
QTEST_MAIN(WaitsTest)
#include "waits_test.moc"
