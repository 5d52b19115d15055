#pragma once

#include "platform/Geometry.h"

#include <QList>
#include <memory>
#include <utility>
#include <vector>

class TWGraphic;
class TWLinkLine;
class TWMap;

// While one lives, the graphics whose bounds change belong to a whole tree
// that moves by one offset: a branch's connection is not fitted as its shape
// moves, since the mover fits every connection once all ends have moved, and
// the link lines at each graphic are found in a table made once per move.
// The graphics post nothing about their new bounds (the mover redraws the
// map), and the move is undone by one step that puts every graphic back.
class TWTreeTranslation
{
public:
    TWTreeTranslation();
    ~TWTreeTranslation();
    TWTreeTranslation(const TWTreeTranslation &) = delete;
    TWTreeTranslation &operator=(const TWTreeTranslation &) = delete;

    static bool active();
    // The map's link lines starting or ending at the graphic, in the map's
    // order, as TWMap::linkLinesStartingOrEndingWithGraphic() finds them.
    static QList<std::shared_ptr<TWLinkLine>> linkLinesAt(const TWGraphic &graphic,
                                                          const TWMap &map);
    // Keeps the graphic's bounds before its move for the move's one undo
    // step; false when it must register its own (no translation, or
    // another undo manager).
    static bool recordOldBounds(const std::shared_ptr<TWGraphic> &graphic, Rect bounds);
    // The same for a graphic sliding with the tree, whose undo manager is
    // the one of every other graphic in it.
    static void recordSlide(TWGraphic &graphic, Rect bounds);
    // Room for that many recorded moves, asked for once.
    static void expectMoves(size_t count);

    // Graphics sliding on several threads: the undo manager the record goes
    // to is looked up first, from one of them, on the main thread; each
    // thread records into its own list, and the lists are added in the
    // tree's order once the threads are done.
    using Recorded = std::vector<std::pair<std::shared_ptr<TWGraphic>, Rect>>;
    static void prepareToShare(TWGraphic &graphic);
    static void recordOnThisThread(Recorded *into);
    static void add(Recorded &&recorded);
    // Numbers each outermost translation, from 1.
    static unsigned serial();

private:
    bool m_outer;
};
