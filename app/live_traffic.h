#pragma once

#include <QObject>
#include <cstddef>
#include <string>

#include "session/traffic_rows.h"

// The rows of the long connection since the program started, kept whether or not the event
// browser is open. The session's receive path and sends fill the inbox from any thread; the
// rows are taken on this object's thread (the window's) in one queued call per burst, so the
// receive path never waits for the window.
class LiveTraffic : public QObject {
    Q_OBJECT
  public:
    // folder: the session's folder (where pic lies); logPath: its traffic log.
    LiveTraffic(std::string folder, std::string logPath, QObject* parent = nullptr);

    // What the session fills; lives as long as this object.
    TrafficInbox* Inbox() { return &m_inbox; }
    const TrafficRows& Rows() const { return m_rows; }
    const std::string& LogPath() const { return m_logPath; }
    // Takes what the inbox holds now (also done by the queued call).
    void Drain();

  signals:
    // Rows [from, Rows().Size()) were added.
    void rowsAdded(std::size_t from);

  private:
    TrafficInbox m_inbox;
    TrafficRows m_rows;
    std::string m_logPath;
};
