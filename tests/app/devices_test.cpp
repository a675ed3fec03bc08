// Remembered devices in the window: what a send remembers, the "Devices" menu filling the
// fields as typing would, naming and forgetting, and the keychain (none, or a private one).

#include "app/demo_device.h"
#include "devices/device_list.h"
#include "devices/password_store.h"
#include "request/http_post.h"
#include "window_fixture.h"

namespace {
const char kSecret[] = "pw-Secret-4711";
const char kNoKeychain[] = "No keychain: the password is not stored.";

QString Status(QWidget* w) {
    return w->findChild<QLabel*>(QStringLiteral("deviceStatus"))->text();
}

// The menu as it is when the user opens it.
QMenu* OpenedMenu(QWidget* w) {
    QMenu* menu = w->findChild<QToolButton*>(QStringLiteral("devices"))->menu();
    emit menu->aboutToShow();
    return menu;
}

// Opens the menu and triggers the entry whose text starts with `text`; false when none does.
bool PickFromMenu(QWidget* w, const QString& text) {
    for (QAction* action : OpenedMenu(w)->actions()) {
        if (action->text().startsWith(text) && action->isEnabled()) {
            action->trigger();
            return true;
        }
    }
    return false;
}

QAction* MenuAction(QWidget* w, const char* name) {
    for (QAction* action : OpenedMenu(w)->actions()) {
        if (action->objectName() == QLatin1String(name))
            return action;
    }
    return nullptr;
}

SimulatorOptions DeviceOptions() {
    SimulatorOptions options = DemoDevice::DemoOptions();
    options.password = QString::fromLatin1(kSecret);
    return options;
}
}  // namespace

class DevicesTest : public QObject {
    Q_OBJECT
    const std::string config_;
    const bool privateKeychain_;
    DemoDevice device_{DeviceOptions()};
    TempFolder folder_;
    const std::string key_ = "admin@127.0.0.1";

    // A window filled with the device's address, ports and credentials, in short mode, that
    // has sent GetImageConfig to it.
    std::unique_ptr<CDorvik_LurvaneDlg> SentToDevice() {
        auto w = OpenWindow(folder_.Path());
        if (!w)
            return w;
        device_.FillWindow(*w);
        Click(Control<QRadioButton>(w.get(), kShortConnect));
        if (!ChooseModule(w.get(), "Image") || !ClickListItem(w.get(), "GetImageConfig") ||
            !SendAndWait(w.get()) || !DialogSeam::shownTexts().isEmpty())
            return nullptr;
        return w;
    }

  public:
    DevicesTest(std::string config, bool privateKeychain)
        : config_(std::move(config)), privateKeychain_(privateKeychain) {}

  private slots:
    void initTestCase() { QVERIFY(device_.Start()); }
    void init() {
        std::filesystem::remove_all(config_ + "/Tessaly");
        DialogSeam::clearShown();
    }

    void aSendRemembersTheDeviceButNeverItsPassword() {
        if (privateKeychain_)
            QSKIP("this run has a keychain");
        auto w = SentToDevice();
        QVERIFY(w);
        QTRY_COMPARE(Status(w.get()), kNoKeychain);
        const DeviceList list;
        QCOMPARE(list.Devices().size(), size_t(1));
        const DeviceRecord& record = list.Devices().front();
        QCOMPARE(DeviceKey(record), key_);
        QCOMPARE(record.shortPort, std::to_string(device_.ShortPort()));
        QCOMPARE(record.longPort, std::to_string(device_.LongPort()));
        const std::string file = ReadFile(DeviceList::FilePath());
        QVERIFY(file.find("127.0.0.1") != std::string::npos);
        QVERIFY(file.find(kSecret) == std::string::npos);
        // The status says it once: a later write (another password) and read say nothing.
        TypeIntoField(w.get(), kPassword, "other");
        DialogSeam::setNextText("Demo");
        MenuAction(w.get(), "nameDevice")->trigger();
        QVERIFY(PickFromMenu(w.get(), "Demo: "));
        QTest::qWait(300);
        QCOMPARE(Status(w.get()), "Remembered admin@127.0.0.1 as \"Demo\".");
    }

    void choosingADeviceFillsTheFieldsAsTypingWould() {
        DeviceList().Remember({"Lab", "10.0.0.5", "viewer", "9001", "9002", false});
        auto w = OpenWindow(folder_.Path());
        QVERIFY(w);
        QCOMPARE(Field(w.get(), kIp)->text(), QStringLiteral("192.168.1.100"));  // defaults
        device_.FillWindow(*w);
        Click(Button(w.get(), kLongSend));
        QVERIFY(w->LongConnected());
        w->SetRequestEditorBytes("<a/>");

        QVERIFY(PickFromMenu(w.get(), "Lab: viewer@10.0.0.5"));
        QVERIFY(!w->LongConnected());
        QVERIFY(Text(w.get(), kRequest).empty());  // as an edit of the IP field empties it
        QStringList fields;
        for (int id : {kIp, kUser, kPassword, kLongPort, kShortPort}) {
            fields << Field(w.get(), id)->text();
            QVERIFY(!Field(w.get(), id)->isEnabled());
        }
        QCOMPARE(fields.join('|'), "10.0.0.5|viewer||9001|9002");

        // The device the fields already show keeps the password typed for it.
        TypeIntoField(w.get(), kPassword, "typed");
        QVERIFY(PickFromMenu(w.get(), "Lab: "));
        QTest::qWait(300);
        QCOMPARE(Field(w.get(), kPassword)->text(), QStringLiteral("typed"));
    }

    void rememberAsAndForget() {
        auto w = OpenWindow(folder_.Path());
        QVERIFY(w);
        QVERIFY(!MenuAction(w.get(), "forgetDevice")->isEnabled());
        MenuAction(w.get(), "nameDevice")->trigger();  // cancelled: nothing remembered
        QVERIFY(DeviceList().Devices().empty());

        DialogSeam::setNextText("  Lab  ");
        MenuAction(w.get(), "nameDevice")->trigger();
        const DeviceList list;
        QVERIFY(list.Find("Lab") && DeviceKey(*list.Find("Lab")) == "admin@192.168.1.100");
        QCOMPARE(Status(w.get()), "Remembered admin@192.168.1.100 as \"Lab\".");
        QVERIFY(PickFromMenu(w.get(), "Lab: admin@192.168.1.100, long port 8080"));

        QCOMPARE(MenuAction(w.get(), "forgetDevice")->text(), "Forget admin@192.168.1.100");
        MenuAction(w.get(), "forgetDevice")->trigger();
        QVERIFY(DeviceList().Devices().empty());
        QVERIFY(!MenuAction(w.get(), "forgetDevice")->isEnabled());
    }

    void thePasswordGoesToTheKeychainAndComesBack() {
        if (!privateKeychain_)
            QSKIP("needs the private Secret Service of scripts/keychain-test.sh");
        ErasePasswordNow(key_);
        auto w = SentToDevice();
        QVERIFY(w);
        QTRY_COMPARE(ReadPasswordNow(key_).password, std::string(kSecret));
        QVERIFY(ReadFile(DeviceList::FilePath()).find(kSecret) == std::string::npos);

        auto other = OpenWindow(folder_.Path());
        QVERIFY(other && PickFromMenu(other.get(), QString::fromStdString(key_)));
        QTRY_COMPARE(Field(other.get(), kPassword)->text(), QString(kSecret));
        QVERIFY(!Field(other.get(), kPassword)->isEnabled());
        // The device takes it.
        Click(Control<QRadioButton>(other.get(), kShortConnect));
        QVERIFY(ChooseModule(other.get(), "Image") && ClickListItem(other.get(), "GetImageConfig"));
        QVERIFY(SendAndWait(other.get()) && DialogSeam::shownTexts().isEmpty());
        ErasePasswordNow(key_);
    }
};

int main(int argc, char** argv) {
    TempFolder config;
    const bool privateKeychain = IsolateUserSettings(config.Path());
    QApplication app(argc, argv);
    const HttpLibrary http;
    DevicesTest test(config.Path(), privateKeychain);
    return QTest::qExec(&test, argc, argv);
}

#include "devices_test.moc"
