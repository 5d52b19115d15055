#pragma once

#include "platform/Geometry.h"

#include <QList>
#include <memory>
#include <utility>
#include <vector>

class TWGraphic;
class TWLinkLine;
class TWMap;
class TWMapBranch;

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
    // The same for a graphic sliding with the tree from `bounds` to `to`,
    // whose undo manager is the one of every other graphic in it.
    static void recordSlide(TWGraphic &graphic, Rect bounds, Rect to);
    // The translation's one move is of the whole tree below `top` by this
    // offset, starting now: its undo step keeps the offset, only the
    // graphics that the offset taken back would not put back bit for bit,
    // and the branches' kept extents as plain values, and walks the tree.
    // It holds no graphic it need not. The step finding the tree slid where
    // it would put it, by the same offset from the same place (something
    // replayed before it in the same step set off that slide), leaves it
    // there. Ignored by a translation inside another one.
    void slidesWholeTree(const std::shared_ptr<TWMapBranch> &top, float dx, float dy);
    // Room for that many recorded moves, asked for once.
    static void expectMoves(size_t count);

    // What a branch kept of its subtree's extents. A whole-tree move shifts
    // them, and its undo puts back what was measured before, since the
    // offset is not exact in reverse.
    struct KeptExtents
    {
        Rect drawing;
        Rect graphics;
        bool drawingKept = false;
        bool graphicsKept = false;

        // An empty extent counts for nothing wherever it stands.
        static Rect shifted(Rect extent, float dx, float dy)
        {
            return extent.isEmpty() ? extent : extent.offsetBy(dx, dy);
        }
        KeptExtents shiftedBy(float dx, float dy) const
        {
            return {shifted(drawing, dx, dy), shifted(graphics, dx, dy), drawingKept,
                    graphicsKept};
        }
        bool any() const { return drawingKept || graphicsKept; }
    };
    struct Recorded
    {
        std::vector<std::pair<std::shared_ptr<TWGraphic>, Rect>> bounds;
        // By the index of a branch's shape in bounds, the extents its
        // branch kept before the move.
        std::vector<std::pair<size_t, KeptExtents>> extents;
        // In a whole-tree slide, by the branch's shape (a key, never
        // followed), the extents its branch kept before the move.
        std::vector<std::pair<const TWGraphic *, KeptExtents>> treeExtents;
    };
    // A whole-tree move shifts kept extents by this offset, from its first
    // slide to keptExtentsShifted(); a step holding other moves keeps none.
    static void shiftsKeptExtentsBy(float dx, float dy);
    static void keptExtentsShifted();
    // Right after the shape's slide, on the thread that slid it.
    static void recordKeptExtents(const TWGraphic &shape, const KeptExtents &before);

    // Graphics sliding on several threads: the undo manager the record goes
    // to is looked up first, from one of them, on the main thread; each
    // thread records into its own list, and the lists are added in the
    // tree's order once the threads are done.
    static void prepareToShare(TWGraphic &graphic);
    // The map has no relationship lines: no graphic looks for them.
    static void ruleOutLinkLines();
    static bool linkLinesRuledOut();
    static void recordOnThisThread(Recorded *into);
    static void add(Recorded &&recorded);
    // Numbers each outermost translation, from 1.
    static unsigned serial();

private:
    bool m_outer;
};
