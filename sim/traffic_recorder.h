#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Writes what the long port sends into a folder, so that tests and soak scripts can compare
// it with what the tool logged and filed: every byte sent, in order, to long-sent.bin, and
// every picture to pictures/<sequence>_<kind>.jpg. The requests the short port received go
// to short-received.bin, so that a test sees what the tool posted.
class TrafficRecorder {
  public:
    // Creates the folder and its pictures/ folder if needed and empties long-sent.bin and
    // short-received.bin.
    // isOpen() tells whether that worked.
    explicit TrafficRecorder(const QString& folder);

    // True when long-sent.bin is open for appending.
    bool isOpen() const { return sent_.isOpen(); }

    // The reason isOpen() is false; empty when it is true.
    QString error() const { return error_; }

    // Appends bytes to long-sent.bin and flushes them. Does nothing when not open.
    void recordSent(const QByteArray& bytes);

    // Appends one short-port request to short-received.bin and flushes it: its request line,
    // its headers as received, a blank line and its body. Does nothing when not open.
    void recordShortRequest(const QByteArray& request);

    // Writes pictures/<sequence>_<kind>.jpg. False when it cannot be written.
    bool recordPicture(int sequence, const QString& kind, const QByteArray& jpeg);

    // The file of a picture: <folder>/pictures/<sequence>_<kind>.jpg.
    QString picturePath(int sequence, const QString& kind) const;

  private:
    QString folder_;
    QFile sent_;
    QFile received_;
    QString error_;
};
