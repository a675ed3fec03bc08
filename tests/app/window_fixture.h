#pragma once

// Helpers of the window tests: controls found by id and driven like a user, windows opened.

#include <QtTest>
#include <QtWidgets>
#include <memory>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/dialog_seam.h"
#include "app/dorvik_lurvane_dlg.h"
#include "support/test_support.h"

using namespace ControlId;

template <class T>
T* Control(QWidget* window, int id) {
    return window->findChild<T*>(ControlName(id));
}
inline QLineEdit* Field(QWidget* w, int id) {
    return Control<QLineEdit>(w, id);
}
inline QPushButton* Button(QWidget* w, int id) {
    return Control<QPushButton>(w, id);
}
inline QPlainTextEdit* Box(QWidget* w, int id) {
    return Control<QPlainTextEdit>(w, id);
}
inline QComboBox* ModuleCombo(QWidget* w) {
    return Control<QComboBox>(w, kModule);
}
inline QTableWidget* List(QWidget* w) {
    return Control<QTableWidget>(w, kInterfaceList);
}
inline void Click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton);
}
inline std::string Text(QWidget* w, int id) {
    return Box(w, id)->toPlainText().toStdString();
}

inline QStringList ComboTexts(QWidget* w) {
    QStringList texts;
    for (int i = 0; i < ModuleCombo(w)->count(); ++i)
        texts << ModuleCombo(w)->itemText(i);
    return texts;
}

inline std::vector<std::string> ListTexts(QWidget* w) {
    std::vector<std::string> texts;
    for (int row = 0; row < List(w)->rowCount(); ++row)
        texts.push_back(List(w)->item(row, 0)->text().toStdString());
    return texts;
}

// Chooses the module entry with this text as a user would; false when there is none.
inline bool ChooseModule(QWidget* w, const QString& text) {
    const int index = ModuleCombo(w)->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        return false;
    ModuleCombo(w)->setCurrentIndex(index);
    emit ModuleCombo(w)->activated(index);
    return true;
}

// Clicks the first row of the list that shows this text; false when there is none.
inline bool ClickListItem(QWidget* w, const std::string& text) {
    const auto items = List(w)->findItems(QString::fromStdString(text), Qt::MatchExactly);
    if (items.isEmpty())
        return false;
    List(w)->scrollToItem(items[0]);
    QTest::mouseClick(List(w)->viewport(), Qt::LeftButton, Qt::NoModifier,
                      List(w)->visualItemRect(items[0]).center());
    return true;
}

// Replaces a connection field's text by typing (one change per key), unlocking it first.
inline void TypeIntoField(QWidget* w, int id, const QString& text) {
    QLineEdit* field = Field(w, id);
    if (!field->isEnabled())
        Click(Button(w, id == kLongPort || id == kShortPort ? kChangePort : kChangeAccount));
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);  // not empty
}

// A shown window on the program folder; message boxes and file dialogs answered by the seam.
inline std::unique_ptr<CDorvik_LurvaneDlg> OpenWindow(const std::string& programFolder) {
    DialogSeam::setAnswerMode(true);
    auto window = std::make_unique<CDorvik_LurvaneDlg>(programFolder);
    window->show();
    return QTest::qWaitForWindowExposed(window.get()) ? std::move(window) : nullptr;
}

// Presses "Long connect send" and waits until its outcome is shown; false when none is.
inline bool LongSendAndWait(CDorvik_LurvaneDlg* w) {
    QSignalSpy finished(w, &CDorvik_LurvaneDlg::longSendFinished);
    Click(Button(w, kLongSend));
    return finished.wait(30000);
}

// Presses a short-mode send button and waits for its outcome; false when none is shown.
inline bool SendAndWait(CDorvik_LurvaneDlg* w, int button = kShortSend) {
    QSignalSpy finished(w, &CDorvik_LurvaneDlg::shortSendFinished);
    Click(Button(w, button));
    return finished.wait(30000);
}
