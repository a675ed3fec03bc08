#include "app/live_traffic.h"

LiveTraffic::LiveTraffic(std::string folder, std::string logPath, QObject* parent)
    : QObject(parent), m_rows(std::move(folder)), m_logPath(std::move(logPath)) {
    m_inbox.SetWakeUp([this] {
        QMetaObject::invokeMethod(
            this, [this] { Drain(); }, Qt::QueuedConnection);
    });
}

void LiveTraffic::Drain() {
    const std::size_t from = m_rows.Size();
    if (m_inbox.TakeInto(m_rows) > 0)
        emit rowsAdded(from);
}
