#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

class QTextDocument;

// Colours XML in a text box: tag names, attribute names, attribute values, CDATA sections,
// comments, processing instructions and declarations; text between tags stays plain. It
// works line by line on what the box holds (the bounded display form, never the whole
// answer), carrying an open comment, CDATA section or tag over to the next line. Text that is
// not XML is coloured where it looks like markup and otherwise left alone.
class XmlHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
  public:
    // Colours `document` from now on (null: none yet; see setDocument).
    explicit XmlHighlighter(QTextDocument* document);

  protected:
    void highlightBlock(const QString& text) override;

  private:
    // What a line ends inside of, carried to the next line as the block state.
    enum State { kText = 0, kComment, kCData, kInstruction, kTag, kDeclaration };

    QTextCharFormat m_tag;
    QTextCharFormat m_attribute;
    QTextCharFormat m_value;
    QTextCharFormat m_cdata;
    QTextCharFormat m_comment;
    QTextCharFormat m_instruction;
};
