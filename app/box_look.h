#pragma once

#include <QFont>
#include <QObject>
#include <QString>
#include <QTextDocument>
#include <QTextOption>
#include <memory>

class QPlainTextEdit;
class XmlHighlighter;

// Most characters in all and in one line of a text that a box highlights and wraps at word
// boundaries: a little above the display form's bounds, so that every display form fits.
inline constexpr int kLookTextChars = 132 * 1024;
inline constexpr int kLookLineChars = 2200;

// Keeps a text box readable: a fixed-width font, and while its text fits the bounds above,
// XML highlighting and lines wrapped at word boundaries. A larger text (an edited request
// with a picture in it, an answer of megabytes as the paired pane's body) is shown plain and
// wrapped anywhere, because highlighting and word wrapping cost time with every byte and, for
// a line of hundreds of kilobytes, minutes. An empty box waits wrapped anywhere. The look is
// chosen before a text goes in, so that the text is laid out and coloured once, in the same
// turn of the event loop. Lives as a child of its box; window thread only.
class BoxLook : public QObject {
    Q_OBJECT
  public:
    // Gives the box its font and look; the box's text so far decides the look.
    explicit BoxLook(QPlainTextEdit* box);

    // Sets the box's text, choosing the look before the text goes in, so that a text beyond
    // the bounds is never highlighted.
    void SetText(const QString& text);

    // What MakeDocument needs of the box, taken on the window's thread.
    struct DocumentLook {
        QFont font;
        QTextOption option;
    };
    DocumentLook Look() const;
    // A document holding `text` as the box would hold it, made on any thread, so that a text
    // of megabytes is not built on the window's thread. The caller moves it to the window's
    // thread before AdoptDocument.
    static std::unique_ptr<QTextDocument> MakeDocument(const QString& text,
                                                       const DocumentLook& look);
    // Shows a document from MakeDocument (whose text is `text`) in the box instead of its own,
    // which is deleted in a later turn of the event loop; the box owns the new one.
    void AdoptDocument(std::unique_ptr<QTextDocument> document, const QString& text);

    // True while the box's text is highlighted and wrapped at word boundaries (never for an
    // empty box).
    bool Highlighted() const { return m_bHighlighting && m_bWordWrap; }

    // True when a text is within the bounds above (an empty one is).
    static bool Fits(const QString& text);

  private:
    void Highlight(bool on);
    void WrapWords(bool on);
    void Recheck();
    bool DocumentFits() const;
    void Watch();

    QPlainTextEdit* m_box;
    XmlHighlighter* m_highlighter;
    QMetaObject::Connection m_watch;  // contentsChange of the box's document
    bool m_bHighlighting = false;     // the highlighter is attached to the box's document
    bool m_bWordWrap = false;
    bool m_bSetting = false;       // SetText is putting its text in
    bool m_bAttachQueued = false;  // an edit brought the text within the bounds
};
