#pragma once

#include <QObject>
#include <QString>

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
// a line of hundreds of kilobytes, minutes. Lives as a child of its box; window thread only.
class BoxLook : public QObject {
    Q_OBJECT
  public:
    // Gives the box its font and look; the box's text so far decides the look.
    explicit BoxLook(QPlainTextEdit* box);

    // Sets the box's text, choosing the look before the text goes in, so that a text beyond
    // the bounds is never highlighted.
    void SetText(const QString& text);

    // True while the box is highlighted and wrapped at word boundaries.
    bool Highlighted() const { return m_bFits; }

    // True when a text is within the bounds above. An empty text is not: an empty box waits
    // plain, wrapped anywhere, for whatever comes.
    static bool Fits(const QString& text);

  private:
    void Apply(bool fits);
    void Recheck();
    bool DocumentFits() const;

    QPlainTextEdit* m_box;
    XmlHighlighter* m_highlighter;
    bool m_bFits = false;
    bool m_bSetting = false;       // SetText is putting its text in
    bool m_bAttachQueued = false;  // an edit brought the text within the bounds
};
