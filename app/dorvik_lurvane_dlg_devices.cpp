// Remembered devices: the "Devices" menu beside the IP field, and their passwords in the
// desktop keychain (never in the device list, never in a log).
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

#include "app/control_ids.h"
#include "app/dialog_seam.h"
#include "app/dorvik_lurvane_dlg.h"
#include "devices/password_store.h"

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

DeviceRecord DeviceOf(const ConnectionSettings& settings) {
    DeviceRecord record;
    record.address = settings.ip;
    record.user = settings.user;
    record.longPort = settings.longPort;
    record.shortPort = settings.shortPort;
    record.tls = settings.tls;
    return record;
}

}  // namespace

void CDorvik_LurvaneDlg::ShowDeviceStatus(const QString& text, const QString& detail) {
    m_labelDeviceStatus->setText(text);
    m_labelDeviceStatus->setToolTip(detail);
}

void CDorvik_LurvaneDlg::RebuildDevicesMenu() {
    // Later, not now: this may run inside a slot of one of these actions.
    for (QAction* action : m_menuDevices->actions()) {
        m_menuDevices->removeAction(action);
        action->deleteLater();
    }
    for (const DeviceRecord& record : m_devices.Devices()) {
        QAction* choose = m_menuDevices->addAction(Q(DeviceLabel(record)));
        connect(choose, &QAction::triggered, this, [this, record] { OnChooseDevice(record); });
    }
    if (m_devices.Devices().empty())
        m_menuDevices->addAction(QStringLiteral("No device used yet"))->setEnabled(false);
    m_menuDevices->addSeparator();
    SyncSettings();
    const DeviceRecord shown = DeviceOf(m_session.Settings());
    QAction* name = m_menuDevices->addAction(QStringLiteral("Remember as..."));
    name->setObjectName(QStringLiteral("nameDevice"));
    name->setToolTip(QStringLiteral("Remembers the device that the fields show under a name"));
    connect(name, &QAction::triggered, this, &CDorvik_LurvaneDlg::OnNameDevice);
    QAction* forget = m_menuDevices->addAction(QStringLiteral("Forget ") + Q(DeviceKey(shown)));
    forget->setObjectName(QStringLiteral("forgetDevice"));
    forget->setEnabled(m_devices.Find(DeviceKey(shown)) != nullptr);
    connect(forget, &QAction::triggered, this, &CDorvik_LurvaneDlg::OnForgetDevice);
}

void CDorvik_LurvaneDlg::OnChooseDevice(const DeviceRecord& record) {
    const std::string key = DeviceKey(record);
    SyncSettings();
    const bool otherDevice = DeviceKey(DeviceOf(m_session.Settings())) != key;
    // As typing would: the change handlers run (an edit of the IP empties the boxes, any edit
    // closes the long connection) and locked fields stay locked.
    m_editIp->setText(Q(record.address));
    m_editUser->setText(Q(record.user));
    m_editLongPort->setText(Q(record.longPort));
    m_editShortPort->setText(Q(record.shortPort));
    m_checkTls->setChecked(record.tls);
    // Another device must never get this one's password, not even while the keychain answers.
    if (otherDevice)
        m_editPassword->clear();
    const int read = ++m_nPasswordRead;
    const QString before = m_editPassword->text();
    ReadPassword(key, this, [this, read, before, key](const KeychainResult& result) {
        // Another device was chosen since, or the user typed a password: theirs stands.
        if (read != m_nPasswordRead || m_editPassword->text() != before)
            return;
        if (result.status == KeychainStatus::Ok) {
            m_keychainHolds[key] = result.password;
            m_editPassword->setText(Q(result.password));
        } else if (result.status == KeychainStatus::NotFound) {
            ShowDeviceStatus(QStringLiteral("No password stored for ") + Q(key) + '.');
        } else {
            ReportKeychain(result);
        }
    });
}

void CDorvik_LurvaneDlg::OnNameDevice() {
    SyncSettings();
    const ConnectionSettings settings = m_session.Settings();
    const std::string key = DeviceKey(DeviceOf(settings));
    const DeviceRecord* known = m_devices.Find(key);
    QString name = known != nullptr ? Q(known->name) : QString();
    if (!DialogSeam::askText(this, QStringLiteral("Name for ") + Q(key), name))
        return;
    name = name.trimmed();
    RememberDevice(settings, name.toStdString());
    if (name.isEmpty())
        m_devices.Name(key, std::string());  // an emptied name takes the name away
    ShowDeviceStatus(QStringLiteral("Remembered ") + Q(key) +
                     (name.isEmpty() ? QString() : " as \"" + name + '"') + '.');
}

void CDorvik_LurvaneDlg::OnForgetDevice() {
    SyncSettings();
    const std::string key = DeviceKey(DeviceOf(m_session.Settings()));
    if (m_devices.Forget(key) == DeviceListResult::NotSaved) {
        ShowDeviceStatus(QStringLiteral("Cannot save ") + Q(DeviceList::FilePath()));
        return;
    }
    m_keychainHolds.erase(key);
    ErasePassword(key, this, [this](const KeychainResult& result) { ReportKeychain(result); });
    ShowDeviceStatus(QStringLiteral("Forgot ") + Q(key) + '.');
    RebuildDevicesMenu();
}

void CDorvik_LurvaneDlg::RememberDevice(const ConnectionSettings& settings,
                                        const std::string& name) {
    DeviceRecord record = DeviceOf(settings);
    record.name = name;
    const std::string key = DeviceKey(record);
    const DeviceListResult saved = m_devices.Remember(std::move(record));
    if (saved == DeviceListResult::NotSaved)
        ShowDeviceStatus(QStringLiteral("Cannot save ") + Q(DeviceList::FilePath()));
    RebuildDevicesMenu();
    const auto holds = m_keychainHolds.find(key);
    if (holds != m_keychainHolds.end() && holds->second == settings.password)
        return;
    // Tried once per password: without a keychain the next sends do not ask again.
    m_keychainHolds[key] = settings.password;
    WritePassword(key, settings.password, this,
                  [this](const KeychainResult& result) { ReportKeychain(result); });
}

void CDorvik_LurvaneDlg::ReportKeychain(const KeychainResult& result) {
    if (result.status != KeychainStatus::Unavailable || m_bKeychainReported)
        return;
    m_bKeychainReported = true;
    ShowDeviceStatus(QStringLiteral("No keychain: the password is not stored."), Q(result.error));
}
