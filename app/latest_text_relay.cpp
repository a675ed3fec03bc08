#include "app/latest_text_relay.h"

#include <QTimer>

LatestTextRelay::LatestTextRelay(QObject* parent, int restMs, DisplayBounds bounds)
    : QObject(parent), m_nRestMs(restMs), m_bounds(bounds) {}

void LatestTextRelay::Post(std::string_view bytes) {
    QString text = DisplayForm(bytes, m_bounds);
    const bool shortened = !FitsDisplayBounds(bytes, m_bounds);
    auto whole = std::make_shared<const std::string>(bytes);
    bool post = false;
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_strLatest.swap(text);
        m_latestBytes.swap(whole);
        m_bLatestShortened = shortened;
        if (!m_bPending) {
            m_bPending = true;
            post = true;
        }
    }
    if (post)
        QMetaObject::invokeMethod(this, &LatestTextRelay::Deliver, Qt::QueuedConnection);
}

void LatestTextRelay::Deliver() {
    if (m_nRestMs > 0 && m_sinceDelivery.isValid() && m_sinceDelivery.elapsed() < m_nRestMs) {
        // Still pending: the newest text at the end of the rest is delivered then.
        QTimer::singleShot(m_nRestMs - m_sinceDelivery.elapsed(), this, &LatestTextRelay::Deliver);
        return;
    }
    QString text;
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        text.swap(m_strLatest);
        m_delivered = std::move(m_latestBytes);
        m_bDeliveredShortened = m_bLatestShortened;
        m_bPending = false;
    }
    ++m_nDeliveries;
    emit delivered(text);
    m_sinceDelivery.start();
}
