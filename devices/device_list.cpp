#include "devices/device_list.h"

#include <QSettings>
#include <algorithm>

namespace {

// One QSettings object per use: it reads the file when made and writes it on sync().
QSettings OpenFile() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tessaly"),
                     QStringLiteral("devices"));
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string S(const QVariant& value) {
    return value.toString().toStdString();
}

}  // namespace

DeviceList::DeviceList() {
    Reload();
}

void DeviceList::Reload() {
    devices_.clear();
    QSettings file = OpenFile();
    const int count = file.beginReadArray(QStringLiteral("devices"));
    for (int i = 0; i < count; ++i) {
        file.setArrayIndex(i);
        DeviceRecord record;
        record.name = S(file.value(QStringLiteral("name")));
        record.address = S(file.value(QStringLiteral("address")));
        record.user = S(file.value(QStringLiteral("user")));
        record.longPort = S(file.value(QStringLiteral("longPort")));
        record.shortPort = S(file.value(QStringLiteral("shortPort")));
        record.tls = file.value(QStringLiteral("tls")).toBool();
        if (!record.address.empty() && FindKey(DeviceKey(record)) == devices_.end())
            devices_.push_back(std::move(record));
    }
    file.endArray();
}

DeviceListResult DeviceList::Save() {
    QSettings file = OpenFile();
    file.remove(QStringLiteral("devices"));
    file.beginWriteArray(QStringLiteral("devices"), static_cast<int>(devices_.size()));
    for (size_t i = 0; i < devices_.size(); ++i) {
        const DeviceRecord& record = devices_[i];
        file.setArrayIndex(static_cast<int>(i));
        file.setValue(QStringLiteral("name"), Q(record.name));
        file.setValue(QStringLiteral("address"), Q(record.address));
        file.setValue(QStringLiteral("user"), Q(record.user));
        file.setValue(QStringLiteral("longPort"), Q(record.longPort));
        file.setValue(QStringLiteral("shortPort"), Q(record.shortPort));
        file.setValue(QStringLiteral("tls"), record.tls);
    }
    file.endArray();
    file.sync();
    return file.status() == QSettings::NoError ? DeviceListResult::Ok : DeviceListResult::NotSaved;
}

std::vector<DeviceRecord>::iterator DeviceList::FindKey(const std::string& key) {
    return std::find_if(devices_.begin(), devices_.end(),
                        [&key](const DeviceRecord& r) { return DeviceKey(r) == key; });
}

void DeviceList::ReleaseName(const std::string& name) {
    for (DeviceRecord& record : devices_) {
        if (record.name == name)
            record.name.clear();
    }
}

const DeviceRecord* DeviceList::Find(const std::string& name) const {
    if (name.empty())
        return nullptr;
    for (const DeviceRecord& record : devices_) {
        if (record.name == name)
            return &record;
    }
    const DeviceRecord* found = nullptr;
    for (const DeviceRecord& record : devices_) {
        if (DeviceKey(record) == name)
            return &record;
        if (record.address == name) {
            if (found != nullptr)
                return nullptr;  // several accounts on that address: ambiguous
            found = &record;
        }
    }
    return found;
}

DeviceListResult DeviceList::Remember(DeviceRecord record) {
    if (record.address.empty())
        return DeviceListResult::Unknown;
    Reload();
    if (const auto old = FindKey(DeviceKey(record)); old != devices_.end()) {
        if (record.name.empty())
            record.name = old->name;
        if (old == devices_.begin() && *old == record)
            return DeviceListResult::Ok;  // used again as it stands: nothing to write
        devices_.erase(old);
    }
    if (!record.name.empty())
        ReleaseName(record.name);
    devices_.insert(devices_.begin(), std::move(record));
    size_t unnamed = 0;
    std::erase_if(devices_, [&unnamed](const DeviceRecord& r) {
        return r.name.empty() && ++unnamed > kMaxUnnamed;
    });
    return Save();
}

DeviceListResult DeviceList::Name(const std::string& key, const std::string& name) {
    Reload();
    if (FindKey(key) == devices_.end())
        return DeviceListResult::Unknown;
    if (!name.empty())
        ReleaseName(name);
    FindKey(key)->name = name;
    return Save();
}

DeviceListResult DeviceList::Forget(const std::string& key) {
    Reload();
    const auto record = FindKey(key);
    if (record == devices_.end())
        return DeviceListResult::Unknown;
    devices_.erase(record);
    return Save();
}

std::string DeviceList::FilePath() {
    return OpenFile().fileName().toStdString();
}
