#include "app/dialog_seam.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {
struct SeamState {
    bool answerMode = false;
    QString nextOpenFile;
    QStringList shown;
};

SeamState& State() {
    static SeamState state;
    return state;
}
}  // namespace

void DialogSeam::information(QWidget* parent, const QString& text) {
    if (State().answerMode) {
        State().shown.append(text);
        return;
    }
    QMessageBox::information(parent, QStringLiteral("Tessaly"), text, QMessageBox::Ok);
}

QString DialogSeam::openFile(QWidget* parent, const QString& filter) {
    if (State().answerMode) {
        QString answer = State().nextOpenFile;
        State().nextOpenFile.clear();
        return answer;
    }
    return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
}

void DialogSeam::setAnswerMode(bool on) {
    State() = SeamState();
    State().answerMode = on;
}

void DialogSeam::setNextOpenFile(const QString& path) {
    State().nextOpenFile = path;
}

QStringList DialogSeam::shownTexts() {
    return State().shown;
}

void DialogSeam::clearShown() {
    State().shown.clear();
}
