// The window's keys and the tools of its text boxes: shortcuts, the find bar, saving an
// answer and "Copy as curl".
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

#include "app/answer_box.h"
#include "app/control_ids.h"
#include "app/dialog_seam.h"
#include "app/dorvik_lurvane_dlg.h"
#include "app/status_strip.h"

namespace {
// What the find bar calls each box.
QString BoxName(int id) {
    switch (id) {
        case ControlId::kRequest:
            return QStringLiteral("the request");
        case ControlId::kPairRequest:
            return QStringLiteral("the paired request");
        case ControlId::kPairResult:
            return QStringLiteral("the paired answer");
        default:
            return QStringLiteral("the answer");
    }
}
}  // namespace

void CDorvik_LurvaneDlg::CreateShortcuts() {
    const auto add = [this](const QKeySequence& keys, auto handler) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, handler);
    };
    // A send only where its button could be pressed now.
    const auto sendInMode = [this] {
        QPushButton* button = m_radioShort->isChecked()  ? m_btnShortSend
                              : m_radioLong->isChecked() ? m_btnLongSend
                                                         : nullptr;
        if (button != nullptr && button->isEnabled())
            button->click();
    };
    const auto sendPair = [this] {
        if (m_btnPairSend->isEnabled())
            m_btnPairSend->click();
    };
    add(QKeySequence(Qt::CTRL | Qt::Key_Return), sendInMode);
    add(QKeySequence(Qt::CTRL | Qt::Key_Enter), sendInMode);
    add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Return), sendPair);
    add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Enter), sendPair);
    add(QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); });
    // The pane of the focused box: the paired pane's boxes save and search their own.
    const auto focusedBox = [this] {
        for (QPlainTextEdit* box :
             {static_cast<QPlainTextEdit*>(m_editResult), m_editRequest, m_editPairRequest,
              static_cast<QPlainTextEdit*>(m_editPairResult)}) {
            if (box->hasFocus())
                return box->objectName().toInt();
        }
        return static_cast<int>(ControlId::kResult);
    };
    add(QKeySequence::Save, [this, focusedBox] {
        const int id = focusedBox();
        OnSaveAnswer(id == ControlId::kPairRequest || id == ControlId::kPairResult
                         ? ControlId::kPairResult
                         : ControlId::kResult);
    });
    add(QKeySequence::Find, [this, focusedBox] { OnFind(focusedBox()); });
    add(QKeySequence::FindNext, [this] { FindNext(false); });
    add(QKeySequence::FindPrevious, [this] { FindNext(true); });
}

void CDorvik_LurvaneDlg::CreateFindBar() {
    m_findBar = new QWidget(this);
    m_findBar->setObjectName(QStringLiteral("findBar"));
    auto* label = new QLabel(QStringLiteral("Find:"), m_findBar);
    label->setObjectName(QStringLiteral("findLabel"));
    m_editFind = new QLineEdit(m_findBar);
    m_editFind->setObjectName(QStringLiteral("findText"));
    m_editFind->setToolTip(
        QStringLiteral("Enter finds the next, Shift+Enter the previous; "
                       "Escape closes"));
    auto* next = new QPushButton(QStringLiteral("Next"), m_findBar);
    next->setObjectName(QStringLiteral("findNext"));
    auto* previous = new QPushButton(QStringLiteral("Previous"), m_findBar);
    previous->setObjectName(QStringLiteral("findPrevious"));
    auto* close = new QPushButton(QStringLiteral("Close"), m_findBar);
    for (QPushButton* button : {next, previous, close})
        button->setAutoDefault(false);
    m_labelFound = new QLabel(m_findBar);
    m_labelFound->setObjectName(QStringLiteral("findResult"));
    auto* row = new QHBoxLayout(m_findBar);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(label);
    row->addWidget(m_editFind, 2);
    row->addWidget(next);
    row->addWidget(previous);
    row->addWidget(m_labelFound, 1);
    row->addWidget(close);
    connect(m_editFind, &QLineEdit::returnPressed, this,
            [this] { FindNext(QApplication::keyboardModifiers() & Qt::ShiftModifier); });
    connect(next, &QPushButton::clicked, this, [this] { FindNext(false); });
    connect(previous, &QPushButton::clicked, this, [this] { FindNext(true); });
    connect(close, &QPushButton::clicked, this, [this] {
        m_findBar->hide();
        if (m_findTarget != nullptr)
            m_findTarget->setFocus();
    });
    m_findBar->hide();
}

void CDorvik_LurvaneDlg::OnFind(int id) {
    m_findTarget = findChild<QPlainTextEdit*>(ControlName(id));
    if (m_findTarget == nullptr)
        return;
    m_findBar->findChild<QLabel*>(QStringLiteral("findLabel"))
        ->setText(QStringLiteral("Find in ") + BoxName(id) + QLatin1Char(':'));
    m_labelFound->clear();
    m_findBar->show();
    m_editFind->setFocus();
    m_editFind->selectAll();
}

void CDorvik_LurvaneDlg::FindNext(bool backwards) {
    const QString text = m_editFind->text();
    if (m_findTarget == nullptr || text.isEmpty())
        return;
    const QTextDocument::FindFlags flags =
        backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (m_findTarget->find(text, flags)) {
        m_labelFound->clear();
        return;
    }
    // Once past the last match, go round from the other end.
    m_findTarget->moveCursor(backwards ? QTextCursor::End : QTextCursor::Start);
    m_labelFound->setText(m_findTarget->find(text, flags) ? QStringLiteral("Went round")
                                                          : QStringLiteral("Not found"));
}

void CDorvik_LurvaneDlg::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        // Escape closes the find bar it is pressed in, cancels a running short transfer, and
        // never closes the window.
        if (m_findBar->isVisible() && m_findBar->isAncestorOf(focusWidget())) {
            m_findBar->hide();
            if (m_findTarget != nullptr)
                m_findTarget->setFocus();
        } else if (m_bShortBusy) {
            CancelShortTransfer();
        }
        event->accept();
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Only a button with the focus takes Enter; a send never happens by accident.
        auto* button = qobject_cast<QPushButton*>(focusWidget());
        if (button != nullptr && button->isEnabled())
            button->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CDorvik_LurvaneDlg::OnSaveAnswer(int id) {
    AnswerBox* box = AnswerBoxOf(id);
    if (box == nullptr || box->Bytes() == nullptr)
        return;
    const QString path = DialogSeam::saveFile(this, box->SuggestedName());
    if (path.isEmpty())
        return;
    // The file is written on a thread of its own: an answer may be megabytes.
    if (m_saveThread.joinable())
        m_saveThread.join();
    m_saveThread = std::thread([this, bytes = box->Bytes(), path, id] {
        std::string error;
        const bool ok = WriteAnswerFile(QFile::encodeName(path).toStdString(), *bytes, &error);
        QMetaObject::invokeMethod(
            this,
            [this, path, ok, error, id, size = bytes->size()] {
                StatusStrip* strip = StripOf(id);
                if (ok) {
                    strip->setText(strip->text() + QStringLiteral("; saved ") +
                                   QString::number(size) + QStringLiteral(" bytes to ") + path);
                } else {
                    DialogSeam::information(this, QStringLiteral("Cannot save the answer to ") +
                                                      path + QStringLiteral(": ") +
                                                      QString::fromStdString(error));
                }
                emit answerSaved(path, ok);
            },
            Qt::QueuedConnection);
    });
}

void CDorvik_LurvaneDlg::OnCopyAsCurl() {
    const std::string command = ShortCurlCommand();
    if (!command.empty())
        QApplication::clipboard()->setText(QString::fromStdString(command));
}
