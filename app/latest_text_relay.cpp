#include "app/latest_text_relay.h"

#include "app/request_text.h"

LatestTextRelay::LatestTextRelay(QObject* parent) : QObject(parent) {}

void LatestTextRelay::Post(std::string bytes) {
    bool post = false;
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_strLatest = std::move(bytes);
        if (!m_bPending) {
            m_bPending = true;
            post = true;
        }
    }
    if (post)
        QMetaObject::invokeMethod(this, &LatestTextRelay::Deliver, Qt::QueuedConnection);
}

void LatestTextRelay::Deliver() {
    std::string text;
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        text.swap(m_strLatest);
        m_bPending = false;
    }
    ++m_nDeliveries;
    emit delivered(BytesForDisplay(text));
}
