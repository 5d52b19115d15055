#pragma once

#include "support/CalendarDate.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

#include <libxml/tree.h>

class TWMap;
class TWMapBranch;
class TWExportController;

// One map written as an OPML 1.0 outline: the central branch's text as the
// title, one `outline` element per branch below it.
class TWOPMLExport
{
public:
    // What goes into each outline; by default the export settings
    // ExportTextIncludeBranchNotes, ExportTextIncludeAttachedGraphicText and
    // ExportTextIncludeHiddenText.
    struct Options
    {
        bool notes = false;
        bool attachedGraphicText = false;
        bool hiddenBranches = false;
    };
    static Options optionsFromDefaults();

    // The moment written as the file's dates; the machine's clock in its
    // zone unless set.
    void setClock(std::function<CalendarDate()> clock) { m_clock = std::move(clock); }

    // The file's bytes for the map.
    QByteArray opmlDataForMap(const TWMap &map, const Options &options) const;

    // Writes the map to the path through the controller (atomically; a
    // failure is alerted with the path). False when it could not be written.
    // `droppedCharacters`, when given, gets the number of characters left
    // out because XML 1.0 cannot hold them.
    bool exportDadoZiz(const TWMap &map, const QString &path, TWExportController &controller,
                       qint64 *droppedCharacters = nullptr) const;

    // The one notice of an export whose files left characters out (file path
    // and count each); empty when none did.
    static QString leftOutNotice(const QList<std::pair<QString, qint64>> &dropped);

    // The branch's outline (with its subtree) appended to the parent.
    static void addOutlineElementForBranch(const TWMapBranch &branch, xmlNodePtr parent,
                                           const Options &options);

private:
    std::function<CalendarDate()> m_clock;
};
