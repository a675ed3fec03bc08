#pragma once

#include <QObject>
#include <QString>
#include <optional>
#include <string>

class QPlainTextEdit;

// Tells whether the user changed the text of a box since the tool last put a text there.
// Colouring and layout changes are no edits: a text that reads as the tool's text (line ends
// aside) is unchanged. Once changed, the box stays edited until the tool sets a text again.
// Lives as a child of its box; window thread only.
class EditTracker : public QObject {
    Q_OBJECT
  public:
    explicit EditTracker(QPlainTextEdit* box);

    // Runs set (which puts `shown` into the box) as the tool's own change.
    template <class Set>
    void SetByTool(const QString& shown, Set&& set) {
        m_bSetting = true;
        set();
        m_bSetting = false;
        m_strShown = shown;
        m_shownBytes.reset();
        m_bPristine = true;
    }

    // True while the box holds what the tool put there.
    bool Pristine() const { return m_bPristine; }

  private:
    void Changed();

    QPlainTextEdit* m_box;
    QString m_strShown;
    std::optional<std::string> m_shownBytes;  // m_strShown as request bytes, made when needed
    bool m_bPristine = true;
    bool m_bSetting = false;
};
