#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

class QTextDocument;

// Colours XML in a text box: tag names, attribute names, attribute values, CDATA sections,
// comments, processing instructions and declarations; text between tags stays plain. It
// works line by line on what the box holds (the bounded display form, never the whole
// answer), carrying an open comment, CDATA section, tag or quoted value over to the next
// line. A line that ends in the display form's omission marker (" ... [1,234 more bytes]")
// shows the marker in a colour of its own and ends whatever the cut bytes left open, since
// the next line shown follows bytes that are not shown. Text that is not XML is coloured
// where it looks like markup and otherwise left alone.
class XmlHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
  public:
    // What a line ends inside of, carried to the next line as the block state.
    enum State {
        kText = 0,
        kComment,
        kCData,
        kInstruction,
        kTag,
        kDeclaration,
        kQuoted,      // an attribute value in double quotes
        kApostrophed  // an attribute value in single quotes
    };

    // Colours `document` from now on (null: none yet; see setDocument).
    explicit XmlHighlighter(QTextDocument* document);

    // The formats, for those who check or match them.
    const QTextCharFormat& TagFormat() const { return m_tag; }
    const QTextCharFormat& AttributeFormat() const { return m_attribute; }
    const QTextCharFormat& ValueFormat() const { return m_value; }
    const QTextCharFormat& CDataFormat() const { return m_cdata; }
    const QTextCharFormat& CommentFormat() const { return m_comment; }
    const QTextCharFormat& InstructionFormat() const { return m_instruction; }
    const QTextCharFormat& MarkerFormat() const { return m_marker; }

  protected:
    void highlightBlock(const QString& text) override;

  private:
    QTextCharFormat m_tag;
    QTextCharFormat m_attribute;
    QTextCharFormat m_value;
    QTextCharFormat m_cdata;
    QTextCharFormat m_comment;
    QTextCharFormat m_instruction;
    QTextCharFormat m_marker;
};

// Where the display form's omission marker starts in a line that ends with one; -1 when the
// line does not end with a marker.
int OmissionMarkerStart(const QString& line);
