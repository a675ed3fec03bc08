#pragma once

// Small parts of the event browser.

#include <QRegularExpression>

#include "app/xml_highlighter.h"

// Colours the detail text as the response boxes colour XML, and shows the placeholders of
// collapsed Base64 runs ("[Base64, 18,485 characters: picture snap id5]") as links.
class DetailHighlighter : public XmlHighlighter {
  public:
    explicit DetailHighlighter(QTextDocument* document);

  protected:
    void highlightBlock(const QString& text) override;

  private:
    QTextCharFormat m_link;
    QRegularExpression m_placeholder;
};
