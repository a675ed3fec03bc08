#include "app/edit_tracker.h"

#include <QPlainTextEdit>

#include "app/request_text.h"

EditTracker::EditTracker(QPlainTextEdit* box) : QObject(box), m_box(box) {
    connect(box, &QPlainTextEdit::textChanged, this, &EditTracker::Changed);
}

void EditTracker::Changed() {
    if (m_bSetting || !m_bPristine)
        return;
    // The highlighter's colours announce a change too; only a change of the text counts. The
    // box gives its text with LF line ends, so both sides are compared as request bytes.
    if (!m_shownBytes)
        m_shownBytes = EditedTextToRequestBytes(m_strShown);
    m_bPristine = EditedTextToRequestBytes(m_box->toPlainText()) == *m_shownBytes;
}
