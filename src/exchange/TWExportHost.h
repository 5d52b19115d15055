#pragma once

#include "support/AttributedString.h"

#include <QList>
#include <optional>

class TWMap;
class TWMapsDoc;

// What an export asks of the windows: the application implements it, tests
// use a fake. Documents are the maps documents their windows show.
class TWExportHost
{
public:
    virtual ~TWExportHost() = default;

    // The document of the active window; null when none is open.
    virtual TWMapsDoc *activeDocument() = 0;
    // The open documents, front window first.
    virtual QList<TWMapsDoc *> orderedDocuments() = 0;
    // Commits an in-place text edit in the document's canvas.
    virtual void endEditingTextArea(TWMapsDoc &document) = 0;
    // Holds (false) and resumes (true) the document window's screen updates,
    // so the maps shown while rendering do not flicker by.
    virtual void setWindowUpdatesEnabled(TWMapsDoc &document, bool enabled) = 0;

    // The map as outline text. Option bits: 1 notes, 2 text of attached
    // graphics, 4 screen-script text, 8 hidden branches, 16 branch text.
    struct OutlineTextRequest
    {
        int type = 0;
        int options = 0;
        int indentSelection = 0;
        int indentNoOfSpaces = 1;
        bool includeAttachedText = false;
        bool includeGraphicText = false;
    };
    // Nothing when the map cannot be written as text. By default the map's
    // own outline text (mapOutlineText).
    virtual std::optional<AttributedString> outlineText(TWMap &map,
                                                        const OutlineTextRequest &request);
    // The outline writer's text of the whole map; nothing without a root.
    static std::optional<AttributedString> mapOutlineText(const TWMap &map,
                                                          const OutlineTextRequest &request);
};
