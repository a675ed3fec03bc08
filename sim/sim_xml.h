#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// Small XML helpers of the simulated device. Documents are UTF-8 bytes and are never
// re-encoded: what a client sends is stored and returned byte for byte.

// The answer document: XML declaration, then <config version="1.0" xmlns="..."
// status="<status>" errorCode="<errorCode>"> (plus errorDesc="..." when not empty), the
// children bytes as given, </config> and a line end.
QByteArray ConfigDocument(const QByteArray& children, const QByteArray& status = "success",
                          int errorCode = 0, const QByteArray& errorDesc = {});

// True when the bytes are one well-formed XML document (with a root element).
bool IsWellFormedXml(const QByteArray& doc);

// The local name of the root element of a well-formed document; empty otherwise.
QByteArray RootElementName(const QByteArray& doc);

// The bytes between the root element's start tag and its end tag (empty for a self-closing
// root). False when the document is not well-formed; the content is then left alone.
bool RootContent(const QByteArray& doc, QByteArray* content);

// The text (character data and CDATA, entities decoded) of the first element reached by the
// path of local names from the root (the root's own name first). Null when the document is
// not well-formed or the path does not exist; empty for an empty element.
QByteArray ElementText(const QByteArray& doc, const QStringList& path);

// The texts of every element reached by the path, in document order (so the path
// {"config", "list", "item"} gives the text of each item). Empty when the document is not
// well-formed or nothing matches.
QList<QByteArray> ElementTexts(const QByteArray& doc, const QStringList& path);

// The text escaped for use between tags or in a quoted attribute (& < > " ').
QByteArray XmlEscape(const QByteArray& text);

// The text in a CDATA section; a "]]>" inside it is split over two sections.
QByteArray Cdata(const QByteArray& text);
