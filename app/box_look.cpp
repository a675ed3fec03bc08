#include "app/box_look.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QTextBlock>

#include "app/xml_highlighter.h"

BoxLook::BoxLook(QPlainTextEdit* box)
    : QObject(box), m_box(box), m_highlighter(new XmlHighlighter(nullptr)) {
    m_highlighter->setParent(this);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(box->font().pointSizeF());
    box->setFont(font);
    // Requests and answers indent with tabs: four characters keep nested XML on screen.
    box->setTabStopDistance(4 * QFontMetricsF(font).horizontalAdvance(QLatin1Char(' ')));
    // Connected before the highlighter is: an edit that leaves the bounds detaches it before
    // it would colour the new text.
    connect(box->document(), &QTextDocument::contentsChange, this, [this] { Recheck(); });
    m_bFits = !Fits(box->toPlainText());
    Apply(!m_bFits);
}

bool BoxLook::Fits(const QString& text) {
    if (text.isEmpty() || text.size() > kLookTextChars)
        return false;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        if (end - start > kLookLineChars)
            return false;
        start = end + 1;
    }
    return true;
}

void BoxLook::SetText(const QString& text) {
    const bool fits = Fits(text);
    if (!fits)
        Apply(false);
    m_bSetting = true;
    m_box->setPlainText(text);
    m_bSetting = false;
    if (fits)
        Apply(true);
}

void BoxLook::Apply(bool fits) {
    if (fits == m_bFits)
        return;
    m_bFits = fits;
    m_highlighter->setDocument(fits ? m_box->document() : nullptr);
    m_box->setWordWrapMode(fits ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                : QTextOption::WrapAnywhere);
}

bool BoxLook::DocumentFits() const {
    const QTextDocument* document = m_box->document();
    if (document->isEmpty() || document->characterCount() > kLookTextChars)
        return false;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.length() > kLookLineChars + 1)  // the length counts the line's end
            return false;
    }
    return true;
}

void BoxLook::Recheck() {
    if (m_bSetting)
        return;
    if (!DocumentFits()) {
        Apply(false);
    } else if (!m_bFits && !m_bAttachQueued) {
        // Called while the document announces a change: the highlighter is attached once the
        // change is done, never in the middle of it.
        m_bAttachQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_bAttachQueued = false;
                Apply(DocumentFits());
            },
            Qt::QueuedConnection);
    }
}
