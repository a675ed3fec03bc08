#include "app/box_look.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>

#include "app/xml_highlighter.h"

BoxLook::BoxLook(QPlainTextEdit* box)
    : QObject(box), m_box(box), m_highlighter(new XmlHighlighter(nullptr)) {
    m_highlighter->setParent(this);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(box->font().pointSizeF());
    box->setFont(font);
    // Requests and answers indent with tabs: four characters keep nested XML on screen.
    box->setTabStopDistance(4 * QFontMetricsF(font).horizontalAdvance(QLatin1Char(' ')));
    box->setWordWrapMode(QTextOption::WrapAnywhere);
    Watch();
    const QString text = box->toPlainText();
    Highlight(Fits(text));
    WrapWords(Fits(text) && !text.isEmpty());
}

void BoxLook::Watch() {
    // Connected before the highlighter is: an edit that leaves the bounds detaches it before
    // it would colour the new text.
    disconnect(m_watch);
    m_watch =
        connect(m_box->document(), &QTextDocument::contentsChange, this, [this] { Recheck(); });
}

bool BoxLook::Fits(const QString& text) {
    if (text.size() > kLookTextChars)
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
    if (m_box->document()->characterCount() > kLookTextChars) {
        // Emptying a document of megabytes takes a while: a new one takes its place now, and
        // it goes in a later turn.
        AdoptDocument(MakeDocument(text, Look()), text);
        return;
    }
    const bool fits = Fits(text);
    m_bSetting = true;
    if (fits && !m_bHighlighting) {
        // Attached to an empty document the highlighter has nothing to colour later: it
        // colours the new text as it goes in.
        m_box->clear();
        Highlight(true);
    } else if (!fits) {
        Highlight(false);
    }
    WrapWords(fits && !text.isEmpty());
    m_box->setPlainText(text);
    m_bSetting = false;
}

BoxLook::DocumentLook BoxLook::Look() const {
    return {m_box->font(), m_box->document()->defaultTextOption()};
}

std::unique_ptr<QTextDocument> BoxLook::MakeDocument(const QString& text,
                                                     const DocumentLook& look) {
    auto document = std::make_unique<QTextDocument>();
    document->setDocumentLayout(new QPlainTextDocumentLayout(document.get()));
    document->setDefaultFont(look.font);
    // The box's options (tab stops, where lines wrap) are the document's: set now, they cost
    // the window no second layout of every line.
    QTextOption option = look.option;
    option.setWrapMode(QTextOption::WrapAnywhere);
    document->setDefaultTextOption(option);
    document->setPlainText(text);
    // The box lays its document out anew when it takes it, and makes each line's layout
    // object then unless it exists: made here, they cost the window nothing.
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        block.layout();
    return document;
}

void BoxLook::AdoptDocument(std::unique_ptr<QTextDocument> document, const QString& text) {
    Highlight(false);
    WrapWords(false);  // as the new document wraps
    QTextDocument* adopted = document.release();
    adopted->setParent(m_box);
    // The document going may be megabytes too: it goes in a turn of its own.
    QTextDocument* old = m_box->document();
    old->setParent(nullptr);
    old->deleteLater();
    m_bSetting = true;
    m_box->setDocument(adopted);
    m_bSetting = false;
    Watch();
    const bool fits = Fits(text);
    Highlight(fits);
    WrapWords(fits && !text.isEmpty());
}

void BoxLook::Highlight(bool on) {
    if (on == m_bHighlighting)
        return;
    m_bHighlighting = on;
    m_highlighter->setDocument(on ? m_box->document() : nullptr);
}

void BoxLook::WrapWords(bool on) {
    if (on == m_bWordWrap)
        return;
    m_bWordWrap = on;
    m_box->setWordWrapMode(on ? QTextOption::WrapAtWordBoundaryOrAnywhere
                              : QTextOption::WrapAnywhere);
}

bool BoxLook::DocumentFits() const {
    const QTextDocument* document = m_box->document();
    if (document->characterCount() > kLookTextChars)
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
        Highlight(false);
        WrapWords(false);
        return;
    }
    WrapWords(!m_box->document()->isEmpty());
    if (!m_bHighlighting && !m_bAttachQueued) {
        // Called while the document announces a change: the highlighter is attached once the
        // change is done, never in the middle of it.
        m_bAttachQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_bAttachQueued = false;
                Highlight(DocumentFits());
            },
            Qt::QueuedConnection);
    }
}
