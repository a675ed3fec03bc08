#include "app/dialog_seam.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>
#include <optional>
#include <utility>

namespace {
struct SeamState {
    bool answerMode = false;
    QString nextOpenFile;
    QString nextFolder;
    std::optional<QString> nextText;
    QString nextSaveFile;
    bool nextQuestionAnswer = false;
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

void DialogSeam::warning(QWidget* parent, const QString& text) {
    if (State().answerMode) {
        State().shown.append(text);
        return;
    }
    QMessageBox::warning(parent, QStringLiteral("Tessaly"), text, QMessageBox::Ok);
}

bool DialogSeam::question(QWidget* parent, const QString& text) {
    if (State().answerMode) {
        State().shown.append(text);
        return std::exchange(State().nextQuestionAnswer, false);
    }
    return QMessageBox::question(parent, QStringLiteral("Tessaly"), text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void DialogSeam::setNextQuestionAnswer(bool yes) {
    State().nextQuestionAnswer = yes;
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

bool DialogSeam::askText(QWidget* parent, const QString& label, QString& text) {
    if (State().answerMode) {
        const std::optional<QString> answer = std::exchange(State().nextText, std::nullopt);
        if (answer)
            text = *answer;
        return answer.has_value();
    }
    bool ok = false;
    const QString answer = QInputDialog::getText(parent, QStringLiteral("Tessaly"), label,
                                                 QLineEdit::Normal, text, &ok);
    if (ok)
        text = answer;
    return ok;
}

void DialogSeam::setNextText(const QString& text) {
    State().nextText = text;
}

QString DialogSeam::saveFile(QWidget* parent, const QString& suggested) {
    if (State().answerMode) {
        QString answer = State().nextSaveFile;
        State().nextSaveFile.clear();
        return answer;
    }
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save answer"), suggested,
                                        QStringLiteral("XML (*.xml);;All files (*)"));
}

void DialogSeam::setNextSaveFile(const QString& path) {
    State().nextSaveFile = path;
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
