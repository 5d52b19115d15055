#pragma once

#include "support/AttributedString.h"
#include "support/ParagraphStyle.h"

class TWMap;
class TWMapBranch;
class UndoManager;

// A map written as outline text: one paragraph group per branch, indented by
// depth, either rich (indents carried by paragraph styles, labels keeping
// their fonts) or single-line (one line a branch, parts joined by "|",
// indentation by tabs or spaces). Also the note editor's bridge: the text of
// a branch's first attached text follows what is typed into its editor.
namespace TWBranchOutline {

// Option bits of the writer.
enum Option : int {
    Notes = 1,          // the first attached text
    LinkedText = 2,     // the text of attached text areas
    ScreenScript = 4,   // not written here; kept for the export settings
    HiddenBranches = 8, // include hidden branches and their subtrees
    BranchText = 16,    // the branch's label
};

// Layout types: SingleLineLayout, or any other value for the rich layout.
constexpr int RichLayout = 0;
constexpr int SingleLineLayout = 1;

// Indentation characters of the single-line layout.
enum IndentSelection : int { NoIndent = 0, IndentWithSpaces = 1, IndentWithTabs = 2 };

struct Settings
{
    int options = BranchText;
    int type = RichLayout;
    int indentSelection = NoIndent;
    // Spaces per level with IndentWithSpaces.
    int indentNoOfSpaces = 0;
    // Handed down to the children; the writer does not read it.
    bool includeAttachedText = false;
    // Single-line layout: allows linked text and adds "|" separators.
    bool includeGraphicText = false;
};

// One branch at `level` (0 for the root) appended to `destination`; with
// `doChildren` its subtree follows at the deeper levels.
void appendTextToAttrString(const TWMapBranch &branch, AttributedString &destination,
                            const Settings &settings, bool doChildren, int level);

// The whole map from its root at level 0. Empty for a map without a root.
AttributedString createTextOfType(const TWMap &map, const Settings &settings);

// The whole map in the rich layout for printing: `options` also decides
// includeAttachedText (bit 1) and includeGraphicText (bit 2).
AttributedString generateAttributedStringForPrinting(const TWMap &map, int options,
                                                     int indentSelection, int indentNoOfSpaces);

// What a copy of a branch carries as text and RTF: the branch alone at level
// 0, then each child's subtree from level 1, in the rich layout with every
// part included (options 31, hidden branches too).
AttributedString copyTextOfBranch(const TWMapBranch &branch, int indentSelection = NoIndent,
                                  int indentNoOfSpaces = 0, bool includeAttachedText = false,
                                  bool includeGraphicText = false);

// Paragraph styles of a branch's parts at a level: the label (first line at
// 20 a level, wrapped lines 20 more, one left tab 40 in), the notes (20 more)
// and the linked texts (30 more).
ParagraphStyle labelStyle(int level);
ParagraphStyle noteStyle(int level);
ParagraphStyle linkedTextStyle(int level);

// A text with every blank or line-break character other than the space
// turned into a space, for the single-line layout.
QString flattenedText(const QString &text);

// The note editor of a branch changed to `text`: typing into an empty editor
// of a branch without attached texts makes one, clearing the editor removes
// the first one (both resize the branch), any other change replaces the
// first one's text. Changes are undoable through the branch's manager.
void noteTextDidChange(TWMapBranch &branch, const AttributedString &text);
// Where the note editor's typing is undone.
UndoManager *undoManagerForNoteEditor(const TWMapBranch &branch);

} // namespace TWBranchOutline
