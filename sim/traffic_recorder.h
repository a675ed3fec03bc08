#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Writes what the long port sends into a folder, so that tests and soak scripts can compare
// it with what the tool logged and filed: every byte sent, in order, to long-sent.bin, and
// every picture to pictures/<sequence>_<kind>.jpg.
class TrafficRecorder {
  public:
    // Creates the folder and its pictures/ folder if needed and empties long-sent.bin.
    // isOpen() tells whether that worked.
    explicit TrafficRecorder(const QString& folder);

    // True when long-sent.bin is open for appending.
    bool isOpen() const { return sent_.isOpen(); }

    // The reason isOpen() is false; empty when it is true.
    QString error() const { return error_; }

    // Appends bytes to long-sent.bin and flushes them. Does nothing when not open.
    void recordSent(const QByteArray& bytes);

    // Writes pictures/<sequence>_<kind>.jpg. False when it cannot be written.
    bool recordPicture(int sequence, const QString& kind, const QByteArray& jpeg);

    // The file of a picture: <folder>/pictures/<sequence>_<kind>.jpg.
    QString picturePath(int sequence, const QString& kind) const;

  private:
    QString folder_;
    QFile sent_;
    QString error_;
};
