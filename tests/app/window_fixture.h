#pragma once

// Helpers shared by the window tests: a temporary program folder, finding controls by id and
// driving them like a user.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/dialog_seam.h"
#include "app/dorvik_lurvane_dlg.h"

// A program folder that exists for the life of the object.
class TempProgramFolder {
  public:
    TempProgramFolder() { dir_.setAutoRemove(true); }
    std::string path() const { return dir_.path().toStdString(); }

    // Writes bytes to a file below the folder, creating its folders; returns its full path.
    std::string write(const std::string& relative, const std::string& bytes) const {
        const QString full = dir_.filePath(QString::fromStdString(relative));
        QDir().mkpath(QFileInfo(full).path());
        QFile file(full);
        if (!file.open(QIODevice::WriteOnly))
            return std::string();
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
        return full.toStdString();
    }

    // Creates an (empty) folder below the folder.
    void mkdir(const std::string& relative) const {
        QDir().mkpath(dir_.filePath(QString::fromStdString(relative)));
    }

  private:
    QTemporaryDir dir_;
};

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
    return Control<QComboBox>(w, ControlId::kModule);
}
inline QTableWidget* List(QWidget* w) {
    return Control<QTableWidget>(w, ControlId::kInterfaceList);
}

inline void Click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton);
}

// The texts of the combo's entries, in order.
inline QStringList ComboTexts(QWidget* w) {
    QStringList texts;
    for (int i = 0; i < ModuleCombo(w)->count(); ++i)
        texts << ModuleCombo(w)->itemText(i);
    return texts;
}

// The texts of the list's rows, in order.
inline std::vector<std::string> ListTexts(QWidget* w) {
    std::vector<std::string> texts;
    QTableWidget* list = List(w);
    for (int row = 0; row < list->rowCount(); ++row) {
        const QTableWidgetItem* item = list->item(row, 0);
        texts.push_back(item ? item->text().toStdString() : std::string());
    }
    return texts;
}

// Chooses the module entry with this text as a user would; false when there is none.
inline bool ChooseModule(QWidget* w, const QString& text) {
    QComboBox* combo = ModuleCombo(w);
    const int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        return false;
    combo->setCurrentIndex(index);
    emit combo->activated(index);
    return true;
}

// Clicks the first row of the list that shows this text; false when there is none.
inline bool ClickListItem(QWidget* w, const std::string& text) {
    QTableWidget* list = List(w);
    for (int row = 0; row < list->rowCount(); ++row) {
        QTableWidgetItem* item = list->item(row, 0);
        if (item && item->text().toStdString() == text) {
            list->scrollToItem(item);
            const QRect rect = list->visualItemRect(item);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
            return true;
        }
    }
    return false;
}

// Replaces the text of a connection field as typing would: unlocks it with its toggle when
// it is locked, selects all and types the new text (one change per keystroke).
inline void TypeIntoField(QWidget* w, int id, const QString& text) {
    QLineEdit* field = Field(w, id);
    if (!field->isEnabled()) {
        const bool port = id == ControlId::kLongPort || id == ControlId::kShortPort;
        Click(Button(w, port ? ControlId::kChangePort : ControlId::kChangeAccount));
    }
    field->setFocus();
    field->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(field, Qt::Key_Delete);
    } else {
        QTest::keyClicks(field, text);
    }
}

// A shown window on a temporary program folder, with message boxes answered by the seam.
inline std::unique_ptr<CDorvik_LurvaneDlg> OpenWindow(const std::string& programFolder) {
    DialogSeam::setAnswerMode(true);
    auto window = std::make_unique<CDorvik_LurvaneDlg>(programFolder);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) return nullptr;
    return window;
}
