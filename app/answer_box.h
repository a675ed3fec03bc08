#pragma once

#include <QPlainTextEdit>
#include <memory>
#include <string>

class BoxLook;

// A response box: read-only, it shows an answer in its display form and keeps the answer's
// whole bytes, so that "Save answer..." and a copy of the whole shortened display give every
// byte. Its context menu adds "Save answer..." (Ctrl+S, see saveRequested) and "Copy whole
// answer". Window thread only.
class AnswerBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit AnswerBox(QWidget* parent = nullptr);

    // Shows `shown` (the display form of `bytes`; `shortened` when it leaves bytes out) and
    // keeps the bytes. Null bytes keep nothing (as after clear).
    void SetAnswer(std::shared_ptr<const std::string> bytes, const QString& shown, bool shortened);
    // Empties the box and forgets the answer.
    void ClearAnswer();

    // The whole answer shown last; null when none.
    const std::shared_ptr<const std::string>& Bytes() const { return m_bytes; }
    // True when the display leaves bytes of the answer out.
    bool Shortened() const { return m_bShortened; }
    // The name a saved answer is offered under ("answer.xml" when none was set).
    QString SuggestedName() const { return m_strSuggested; }
    void SetSuggestedName(const QString& name) { m_strSuggested = name; }

    // Copy as the user asks for it: a shortened display with everything or nothing selected
    // copies the whole answer (decoded from UTF-8), anything else the selection.
    void CopyForUser();

    BoxLook* Look() const { return m_look; }

  signals:
    // The user asked to save the answer (context menu).
    void saveRequested();

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    BoxLook* m_look;
    std::shared_ptr<const std::string> m_bytes;
    bool m_bShortened = false;
    QString m_strSuggested;
};

// Writes the bytes to a new or emptied file at path. False with the reason in *error (the
// system's text) when it cannot be opened or written. Any thread.
bool WriteAnswerFile(const std::string& path, const std::string& bytes, std::string* error);
