#pragma once

#include <QString>
#include <functional>
#include <optional>

#include <libxml/tree.h>
#include <libxml/xpath.h>

// In-place edits of screenwriting XML: <SWDocument> holding <SWElement>s,
// each with a <type> and a <string> child.
namespace SWXMLUtils {

// The text of the context node's first <string> child ("" when it has no
// text); "" and a log line when there is none.
QString getStringFromContext(xmlXPathContextPtr context);
// The text of the first <type> child; nullopt, a log line and a beep when
// it is missing or empty.
std::optional<QString> getTypeFromContext(xmlXPathContextPtr context);
// Replaces the text of the first <type> child, then of the first <string>
// child. A missing <type> changes nothing.
void changeType(const QString &type, const QString &andString, xmlXPathContextPtr inContext);
// Detaches and frees the index-th SWElement of the document; an index out
// of range changes nothing.
void removeElementAtIndex(int index, xmlDocPtr inDocument);

// The alert beep; a no-op until the application installs one.
void setBeepHandler(std::function<void()> beep);

} // namespace SWXMLUtils
