#pragma once

#include <QByteArray>
#include <QString>

#include <libxml/tree.h>

// Small builders for presentation trees: elements and attributes in a
// namespace taken from the presentation's root (see KeynoteNamespaces).
namespace TWKeynoteXML {

// Appends an empty element <ns:name/> to parent and returns it.
xmlNodePtr addElement(xmlNodePtr parent, xmlNsPtr ns, const char *name);
// Sets ns:name="value" (escaped once on writing).
void setAttribute(xmlNodePtr node, xmlNsPtr ns, const char *name, const QString &value);
// The attribute's value in the namespace; a null string when it is missing.
QString attribute(xmlNodePtr node, xmlNsPtr ns, const char *name);
// Appends a text node holding the text (characters XML cannot hold dropped).
void addText(xmlNodePtr parent, const QString &text);
// "(null)" for a null string, as a log line shows a missing argument.
QString orNull(const QString &text);

} // namespace TWKeynoteXML
