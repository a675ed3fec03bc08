// Remembered devices in the window: what a send remembers, the "Devices" menu filling the
// fields as typing would, naming and forgetting, and the keychain (none, or a private one).

#include "app/demo_device.h"
#include "devices/device_list.h"
#include "devices/password_store.h"
#include "request/http_post.h"
#include "window_fixture.h"

namespace {
const char kSecret[] = "pw-Secret-4711";

QString Status(QWidget* w) {
    return w->findChild<QLabel*>(QStringLiteral("deviceStatus"))->text();
}

// The entry of the menu, opened as the user opens it, whose object name is `name` or whose
// text starts with it; null when none.
QAction* Entry(QWidget* w, const QString& name) {
    QMenu* menu = w->findChild<QToolButton*>(QStringLiteral("devices"))->menu();
    emit menu->aboutToShow();
    for (QAction* action : menu->actions())
        if (action->objectName() == name || action->text().startsWith(name))
            return action;
    return nullptr;
}

// Clicks that entry; false when there is none or it is disabled.
bool Pick(QWidget* w, const QString& name) {
    QAction* action = Entry(w, name);
    return action && action->isEnabled() && (action->trigger(), true);
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

    // Sends GetImageConfig from the window, aimed at the device, in short mode.
    static bool SendToDevice(CDorvik_LurvaneDlg* w) {
        Click(Control<QRadioButton>(w, kShortConnect));
        return ChooseModule(w, "Image") && ClickListItem(w, "GetImageConfig") && SendAndWait(w) &&
               DialogSeam::shownTexts().isEmpty();
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

    // Without a keychain the status says so once; with one the password goes there and comes
    // back to another window.
    void aSendRemembersTheDeviceAndThePasswordGoesOnlyToTheKeychain() {
        const std::string key = "admin@127.0.0.1";
        ErasePasswordNow(key);
        auto w = OpenWindow(folder_.Path());
        QVERIFY(w);
        device_.FillWindow(*w);
        QVERIFY(SendToDevice(w.get()));
        QCOMPARE(DeviceLabel(DeviceList().Devices().at(0)),
                 key + ", long port " + std::to_string(device_.LongPort()) + ", short port " +
                     std::to_string(device_.ShortPort()));
        if (privateKeychain_) {
            QTRY_COMPARE(ReadPasswordNow(key).password, std::string(kSecret));
            auto other = OpenWindow(folder_.Path());
            QVERIFY(other && Pick(other.get(), QString::fromStdString(key)));
            QTRY_COMPARE(Field(other.get(), kPassword)->text(), QString(kSecret));
            QVERIFY(SendToDevice(other.get()));  // the device takes it
            ErasePasswordNow(key);
        } else {
            QTRY_COMPARE(Status(w.get()), "No keychain: the password is not stored.");
            TypeIntoField(w.get(), kPassword, "other");  // a later write and read say nothing
            DialogSeam::setNextText("  Demo ");
            QVERIFY(Pick(w.get(), "nameDevice") && Pick(w.get(), "Demo: " + QString(key.c_str())));
            QTest::qWait(300);
            QCOMPARE(Status(w.get()), "Remembered admin@127.0.0.1 as \"Demo\".");
        }
        QVERIFY(ReadFile(DeviceList::FilePath()).find(kSecret) == std::string::npos);
    }

    void choosingADeviceFillsTheFieldsAsTypingWould() {
        DeviceList().Remember({"Lab", "10.0.0.5", "viewer", "9001", "9002", true});
        auto w = OpenWindow(folder_.Path());
        QVERIFY(w);
        QCOMPARE(Field(w.get(), kIp)->text(), "192.168.1.100");  // still the defaults
        QVERIFY(!Entry(w.get(), "forgetDevice")->isEnabled());
        device_.FillWindow(*w);
        QVERIFY(LongSendAndWait(w.get()));
        QVERIFY(w->LongConnected() && DeviceList().Find("admin@127.0.0.1"));  // remembered
        w->SetRequestEditorBytes("<a/>");

        QVERIFY(Pick(w.get(), "Lab: viewer@10.0.0.5"));
        QVERIFY(!w->LongConnected());
        QVERIFY(Text(w.get(), kRequest).empty());  // as an edit of the IP field empties it
        QStringList fields;
        for (int id : {kIp, kUser, kPassword, kLongPort, kShortPort})
            fields << Field(w.get(), id)->text() + (Field(w.get(), id)->isEnabled() ? "+" : "");
        QCOMPARE(fields.join('|'), "10.0.0.5|viewer||9001|9002");  // locked, no password
        QVERIFY(w->findChild<QCheckBox*>(QStringLiteral("tls"))->isChecked());

        // The device the fields already show keeps the password typed for it.
        TypeIntoField(w.get(), kPassword, "typed");
        QVERIFY(Pick(w.get(), "Lab: "));
        QTest::qWait(300);
        QCOMPARE(Field(w.get(), kPassword)->text(), "typed");

        QVERIFY(Pick(w.get(), "nameDevice"));  // cancelled: the name stays
        QCOMPARE(Entry(w.get(), "forgetDevice")->text(), "Forget viewer@10.0.0.5");
        QVERIFY(Pick(w.get(), "forgetDevice"));
        QVERIFY(!DeviceList().Find("Lab"));
        QCOMPARE(Status(w.get()), "Forgot viewer@10.0.0.5.");
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
