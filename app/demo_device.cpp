#include "app/demo_device.h"

#include <QCheckBox>
#include <QLineEdit>

#include "app/control_ids.h"
#include "app/dorvik_lurvane_dlg.h"
#include "sim/simulator_thread.h"

namespace {
// The only address a demo talks to.
const char* const kDemoIp = "127.0.0.1";
}  // namespace

SimulatorOptions DemoDevice::DemoOptions() {
    SimulatorOptions options;
    options.eventRate = 2.0;
    options.eventCount = 20;
    options.kinds = {QStringLiteral("VFD_MATCH"), QStringLiteral("PEA")};
    options.pictureWidth = 640;
    options.pictureHeight = 360;
    return options;
}

DemoDevice::DemoDevice(SimulatorOptions options) : m_options(std::move(options)) {
    // Free ports only: a demo must never take a port that something else asked for.
    m_options.shortPort = 0;
    m_options.longPort = 0;
}

DemoDevice::~DemoDevice() = default;

bool DemoDevice::Start(QString* error) {
    if (!m_thread)
        m_thread = std::make_unique<SimulatorThread>(m_options);
    m_bStarted = m_thread->start(error);
    return m_bStarted;
}

quint16 DemoDevice::ShortPort() const {
    return m_bStarted ? m_thread->shortPort() : 0;
}

quint16 DemoDevice::LongPort() const {
    return m_bStarted ? m_thread->longPort() : 0;
}

void DemoDevice::FillWindow(CDorvik_LurvaneDlg& window) const {
    if (!m_bStarted)
        return;
    const struct {
        int id;
        QString text;
    } fields[] = {
        {ControlId::kIp, QString::fromLatin1(kDemoIp)},
        {ControlId::kUser, m_options.user},
        {ControlId::kPassword, m_options.password},
        {ControlId::kLongPort, QString::number(LongPort())},
        {ControlId::kShortPort, QString::number(ShortPort())},
    };
    for (const auto& field : fields) {
        if (auto* edit = window.findChild<QLineEdit*>(ControlName(field.id)))
            edit->setText(field.text);
    }
    if (m_options.tls) {
        if (auto* tls = window.findChild<QCheckBox*>(QStringLiteral("tls")))
            tls->setChecked(true);
        window.TrustForThisRun(m_thread->fingerprint().toStdString());
    }
}
