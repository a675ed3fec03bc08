#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "app/display_form.h"

// Carries texts from a worker thread to the thread of this object without ever waiting for
// it. Texts that arrive while a delivery is pending replace each other: only the newest is
// delivered. Post may be called from any thread; delivered is emitted on this object's thread.
// Between the end of one delivery and the next, the receiving thread keeps at least the rest
// interval for its own work. Post turns the bytes into the display form that the relay was
// made with and decodes them, so the receiving thread only gets a bounded text to show; it
// also keeps a copy of the whole bytes, which the receiving thread reads once the text is
// delivered (DeliveredBytes).
class LatestTextRelay : public QObject {
    Q_OBJECT
  public:
    // restMs: least time between the end of a delivery and the start of the next (0: none).
    // bounds: display form of the delivered texts (the default bounds nothing).
    explicit LatestTextRelay(QObject* parent = nullptr, int restMs = 0, DisplayBounds bounds = {});

    // Makes the display form of the bytes on the calling thread, keeps it and a copy of the
    // bytes as the newest text and posts one queued delivery unless one is pending. The bytes
    // are read during the call only. Never blocks beyond a short hold of the relay's own
    // mutex.
    void Post(std::string_view bytes);

    // Number of deliveries so far (texts that were replaced before delivery are not counted).
    int Deliveries() const { return m_nDeliveries; }

    // The whole bytes of the text delivered last, and whether its display form leaves some of
    // them out; null before the first delivery. This object's thread only.
    const std::shared_ptr<const std::string>& DeliveredBytes() const { return m_delivered; }
    bool DeliveredShortened() const { return m_bDeliveredShortened; }

  signals:
    // The newest text in its display form, decoded from UTF-8.
    void delivered(const QString& text);

  private:
    void Deliver();

    std::mutex m_mutex;
    QString m_strLatest;                               // guarded by m_mutex
    std::shared_ptr<const std::string> m_latestBytes;  // guarded by m_mutex
    bool m_bLatestShortened = false;                   // guarded by m_mutex
    bool m_bPending = false;                           // guarded by m_mutex
    std::shared_ptr<const std::string> m_delivered;    // this object's thread only
    bool m_bDeliveredShortened = false;                // this object's thread only
    int m_nDeliveries = 0;                             // this object's thread only
    const int m_nRestMs;
    const DisplayBounds m_bounds;
    QElapsedTimer m_sinceDelivery;  // this object's thread only
};
