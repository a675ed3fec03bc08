#include "app/answer_box.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "app/box_look.h"

AnswerBox::AnswerBox(QWidget* parent) : QPlainTextEdit(parent), m_look(new BoxLook(this)) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
}

void AnswerBox::SetAnswer(std::shared_ptr<const std::string> bytes, const QString& shown,
                          bool shortened) {
    m_bytes = std::move(bytes);
    m_bShortened = m_bytes && shortened;
    m_look->SetText(shown);
}

void AnswerBox::ClearAnswer() {
    m_bytes.reset();
    m_bShortened = false;
    clear();
}

void AnswerBox::CopyForUser() {
    const QTextCursor cursor = textCursor();
    const bool all =
        !cursor.hasSelection() ||
        (cursor.selectionStart() == 0 && cursor.selectionEnd() >= document()->characterCount() - 1);
    if (m_bShortened && all) {
        QApplication::clipboard()->setText(
            QString::fromUtf8(m_bytes->data(), static_cast<qsizetype>(m_bytes->size())));
        return;
    }
    copy();
}

void AnswerBox::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        CopyForUser();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void AnswerBox::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    if (QAction* copy = menu->findChild<QAction*>(QStringLiteral("edit-copy"))) {
        disconnect(copy, &QAction::triggered, nullptr, nullptr);
        connect(copy, &QAction::triggered, this, &AnswerBox::CopyForUser);
    }
    menu->addSeparator();
    QAction* whole = menu->addAction(tr("Copy whole answer"), this, [this] {
        QApplication::clipboard()->setText(
            QString::fromUtf8(m_bytes->data(), static_cast<qsizetype>(m_bytes->size())));
    });
    whole->setEnabled(m_bytes != nullptr);
    QAction* save = menu->addAction(tr("Save answer..."), this, &AnswerBox::saveRequested);
    save->setShortcut(QKeySequence::Save);
    save->setEnabled(m_bytes != nullptr);
    menu->exec(event->globalPos());
}

bool WriteAnswerFile(const std::string& path, const std::string& bytes, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file != nullptr;
    int reason = errno;
    if (ok && !bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        ok = false;
        reason = errno;
    }
    if (file != nullptr && std::fclose(file) != 0 && ok) {
        ok = false;
        reason = errno;
    }
    if (!ok && error != nullptr)
        *error = std::generic_category().message(reason);
    return ok;
}
