#pragma once

#include <QString>
#include <memory>

class TWGraphic;
class TWMap;
class TWMapBranch;

// Branches and attached graphics as clipboard XML: an "XMLObj" document
// holding one "TWMapBranch" or "TWGraphic" element, pictures embedded as
// Base64. Pasted text may come from any program, so it is checked before
// anything in the map changes.
namespace TWClipboardXML {

// Pasted XML longer than this (UTF-8 bytes) is refused.
constexpr qsizetype maximumPastedBytes = qsizetype(64) * 1024 * 1024;

// "1.0", UTF-8, pretty-printed, the branch with its subtree.
QString xmlCopy(TWMapBranch &branch);
// A text area travels without embedded data, any other graphic with it.
QString xmlCopy(TWGraphic &graphic);

// Whether a graphic of the class may be copied and pasted as an attached
// graphic: not a link line, a connection, a boundary proxy or a plain base.
bool isAttachableGraphicClass(const QString &className);

// A copy of the graphic behind the attached graphics of every selected
// branch; the selection is cleared. False (a beep, nothing changed) for XML
// that is refused.
bool pasteGraphicFromXml(TWMap &map, const QString &xml);
// The branch becomes the last child of the one selected branch (the root
// when nothing is selected), with fresh numbers and connections, placed
// beside its parent; its label is selected. Null (a beep, nothing changed
// but the root's selection) when refused.
std::shared_ptr<TWMapBranch> pasteBranchFromXml(TWMap &map, const QString &xml);

// Moves `branch` (read, not yet a child of `parent`) where a pasted branch
// goes; some layouts move the parent's children too.
void placePastedBranch(TWMap &map, TWMapBranch &parent, TWMapBranch &branch);

} // namespace TWClipboardXML
