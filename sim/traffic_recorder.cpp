#include "sim/traffic_recorder.h"

#include <QDir>

TrafficRecorder::TrafficRecorder(const QString& folder) : folder_(folder) {
    if (!QDir().mkpath(folder_ + "/pictures")) {
        error_ = "cannot make " + folder_ + "/pictures";
        return;
    }
    sent_.setFileName(folder_ + "/long-sent.bin");
    received_.setFileName(folder_ + "/short-received.bin");
    for (QFile* file : {&sent_, &received_}) {
        if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            error_ = "cannot write " + file->fileName() + ": " + file->errorString();
            sent_.close();
            return;
        }
    }
}

void TrafficRecorder::recordShortRequest(const QByteArray& request) {
    if (!received_.isOpen())
        return;
    received_.write(request);
    received_.flush();
}

void TrafficRecorder::recordSent(const QByteArray& bytes) {
    if (!sent_.isOpen())
        return;
    sent_.write(bytes);
    sent_.flush();
}

QString TrafficRecorder::picturePath(int sequence, const QString& kind) const {
    return folder_ + "/pictures/" + QString::number(sequence) + "_" + kind + ".jpg";
}

bool TrafficRecorder::recordPicture(int sequence, const QString& kind, const QByteArray& jpeg) {
    QFile file(picturePath(sequence, kind));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(jpeg) == jpeg.size();
}
