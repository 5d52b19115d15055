#pragma once

#include "MindManagerImpExp/MMXMLBaseObject.h"
#include "support/AttributedString.h"
#include "support/Image.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

class TWMap;
class TWMapBranch;

// One map written as a MindManager XML map: an ap:Map holding the style
// group, the document group, the topic tree and the link lines as
// relationships. The map itself is only read: topic identifiers are kept in
// a table for the call, not stored on the branches, so an export leaves
// nothing to undo.
namespace mmExport {

// Identifier of each exported branch's topic, for the relationships.
using TopicIds = QHash<const TWMapBranch *, QString>;

// The ap:Map element; `now` is written as the last modification.
MMObjectPtr mapElement(const TWMap &map, const QDateTime &now);
// The file's text as UTF-8; `leftOut`, where given, counts the characters
// XML 1.0 cannot hold that were left out of it.
QByteArray xmlDataForMap(const TWMap &map, const QDateTime &now, int *leftOut = nullptr);

// The topic of the branch with its subtree, children first.
MMObjectPtr createTopicForBranch(const TWMapBranch &branch, TopicIds &ids);
void populateStyleGroup(MMXMLBaseObject &styleGroup, const TWMap &map);

// ap:Text of a label: its characters, the first run's font as the text's
// font and one font range per later run that differs from it.
MMObjectPtr apTextFromAttributedString(const AttributedString &text);
// ap:Image of a picture: PNG data and the picture's size.
MMObjectPtr apImageFromImage(const Image &image);
// ap:CustomIconImageData of a picture, with the next icon signature of the
// run (the Base64 text of a sixteen-digit counter).
MMObjectPtr apCustomIconImageDataFromImage(const Image &image);

} // namespace mmExport
