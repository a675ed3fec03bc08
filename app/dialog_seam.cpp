#include "app/dialog_seam.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace {
struct SeamState {
    bool answerMode = false;
    QString nextOpenFile;
    QString nextFolder;
    QStringList shown;
    QStringList openedFolders;
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

QString DialogSeam::chooseFolder(QWidget* parent, const QString& title) {
    if (State().answerMode) {
        QString answer = State().nextFolder;
        State().nextFolder.clear();
        return answer;
    }
    return QFileDialog::getExistingDirectory(parent, title);
}

void DialogSeam::openFolder(QWidget* parent, const QString& path) {
    (void)parent;
    if (State().answerMode) {
        State().openedFolders.append(path);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void DialogSeam::setNextFolder(const QString& path) {
    State().nextFolder = path;
}

QStringList DialogSeam::openedFolders() {
    return State().openedFolders;
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
