#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The one place where the window opens message boxes, file and folder dialogs and the desktop's
// file browser. In normal runs it shows them; in answer mode (tests) nothing pops up: box texts
// and folders shown are recorded and the dialogs return the answers set beforehand.
class DialogSeam {
  public:
    // Shows a modal box with the text and an OK button (in answer mode: records the text).
    static void information(QWidget* parent, const QString& text);

    // Shows a modal warning box with an OK button (in answer mode: records the text).
    static void warning(QWidget* parent, const QString& text);

    // Asks a yes-or-no question, No being the default. True for Yes (in answer mode: records
    // the text and returns the answer set by setNextQuestionAnswer, consumed; false when none).
    static bool question(QWidget* parent, const QString& text);

    // Asks for a file to open with the given name filter, e.g. "(*.xml)". Returns the chosen
    // full path, or an empty text when the user cancels (in answer mode: the next answer,
    // which is consumed; empty when none was set).
    static QString openFile(QWidget* parent, const QString& filter);

    // Asks for a folder, titled `title`. Returns its path, or an empty text when the user
    // cancels (in answer mode: the answer set by setNextFolder, consumed; empty when none).
    static QString chooseFolder(QWidget* parent, const QString& title);

    // Shows a folder in the desktop's file browser (in answer mode: records its path).
    static void openFolder(QWidget* parent, const QString& path);
    // Asks for one line of text under `label`, starting with `text`, which receives the answer.
    // False when the user cancels (in answer mode: the next answer set by setNextText, which
    // is consumed; false when none was set).
    static bool askText(QWidget* parent, const QString& label, QString& text);

    // Asks for a file to save to, offering `suggested` as its name. Returns the chosen full
    // path, or an empty text when the user cancels (in answer mode: the next save answer,
    // which is consumed; empty when none was set).
    static QString saveFile(QWidget* parent, const QString& suggested);

    // Switches answer mode on or off; switching clears recorded texts and pending answers.
    static void setAnswerMode(bool on);

    // The path that the next openFile returns in answer mode; an empty path means "cancel".
    static void setNextOpenFile(const QString& path);

    // The folder that the next chooseFolder returns in answer mode; empty means "cancel".
    static void setNextFolder(const QString& path);

    // Folders openFolder was asked to show in answer mode, oldest first.
    static QStringList openedFolders();
    // The answer of the next askText in answer mode.
    static void setNextText(const QString& text);

    // The path that the next saveFile returns in answer mode; an empty path means "cancel".
    static void setNextSaveFile(const QString& path);

    // The answer of the next question in answer mode.
    static void setNextQuestionAnswer(bool yes);

    // Texts of the boxes shown in answer mode since the last clear, oldest first.
    static QStringList shownTexts();

    // Forgets the recorded texts.
    static void clearShown();
};
