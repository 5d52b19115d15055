// A whole map that slides by one offset (a Tab at its left edge pushes it
// onto the canvas, a move of the central branch carries it): undo and redo
// give back every place exactly, also once earlier undone slides are let
// go; and a branch shown by a raised hide level is redrawn alone.
#include "DocumentTestSupport.h"

#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "palettes/TWNavigatorView.h"

#include <QSignalSpy>
#include <functional>

namespace {

// Every graphic's place, branch by branch in tree order.
QList<Rect> places(const TWMap &map)
{
    QList<Rect> all;
    for (const std::shared_ptr<TWMapBranch> &branch : map.allBranches()) {
        all << branch->mainGraphic()->bounds() << branch->enclosedTextArea()->bounds();
        if (branch->connectionGraphic())
            all << branch->connectionGraphic()->bounds();
    }
    return all;
}

// Pixels whose channels differ by more than the smoothing of an edge drawn
// a hair's breadth elsewhere.
int differingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return a.width() * a.height() + 1;
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            differing += std::abs(qRed(p) - qRed(q)) > 2 || std::abs(qGreen(p) - qGreen(q)) > 2 ||
                         std::abs(qBlue(p) - qBlue(q)) > 2 || std::abs(qAlpha(p) - qAlpha(q)) > 2;
        }
    return differing;
}

} // namespace

class MapSlideTest : public DocumentTest
{
protected:
    TWDocument *document = nullptr;
    TWMap *map = nullptr;

    void SetUp() override
    {
        DocumentTest::SetUp();
        document = untitled();
        show(document, QSize(1600, 1200));
        document->graphicView()->endEditingTextArea();
        map = document->mapsDocument()->currentMap().get();
        settle();
    }
    std::shared_ptr<TWMapBranch> addChild(const std::shared_ptr<TWMapBranch> &parent)
    {
        map->setSelectedBranches({parent});
        const TWMap::BranchList made = map->publicCreateChildrenOfType(2, QString(), false);
        map->removeAllSelectedGraphics();
        document->undoManager()->closeEventGroup();
        settle();
        return made.value(0);
    }
    // Four main branches round the centre and two levels below each.
    void grow()
    {
        for (int i = 0; i < 4; ++i)
            addChild(map->root());
        for (const std::shared_ptr<TWMapBranch> &main : map->root()->children())
            addChild(addChild(main));
    }
    // The leaf standing furthest left: its new child lands left of the map.
    std::shared_ptr<TWMapBranch> leftmostLeaf() const
    {
        std::shared_ptr<TWMapBranch> found;
        for (const std::shared_ptr<TWMapBranch> &branch : map->allBranches())
            if (branch->children().isEmpty() &&
                (!found || branch->mainGraphic()->bounds().x() <
                               found->mainGraphic()->bounds().x()))
                found = branch;
        return found;
    }
};

TEST_F(MapSlideTest, UndoAndRedoOfASlidePutEveryPlaceBackExactly)
{
    grow();
    struct Case
    {
        const char *what;
        std::function<void()> slide;
        bool across, down;
    };
    const Case cases[] = {
        {"a Tab at the map's left edge", [this] { addChild(leftmostLeaf()); }, true, false},
        {"the central branch moved right and down",
         [this] {
             map->root()->mainGraphic()->publicMoveBy(Point(37.25f, 23.5f), true);
             document->undoManager()->closeEventGroup();
             settle();
         },
         true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // Twice: the second time the first one's undone steps are let go.
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(round);
            const QList<Rect> before = places(*map);
            const Rect root = map->root()->mainGraphic()->bounds();
            c.slide();
            const Rect slid = map->root()->mainGraphic()->bounds();
            ASSERT_EQ(slid.x() > root.x(), c.across) << "the map did not slide as expected";
            ASSERT_EQ(slid.y() > root.y(), c.down);
            const QList<Rect> after = places(*map);

            ASSERT_TRUE(document->undoManager()->canUndo());
            document->undoManager()->undo();
            settle();
            EXPECT_EQ(places(*map), before);
            ASSERT_TRUE(document->undoManager()->canRedo());
            document->undoManager()->redo();
            settle();
            EXPECT_EQ(places(*map), after);
            document->undoManager()->undo();
            settle();
            EXPECT_EQ(places(*map), before);
        }
    }
}

// Adding a child to the deepest leaf raises the hide level with it: only the
// new branch and its parent are drawn again, not the whole map; lowering the
// level again redraws the map, whose branches go, and raising it once more
// draws the one branch it shows.
TEST_F(MapSlideTest, ABranchShownByARaisedHideLevelIsRedrawnAlone)
{
    grow();
    std::shared_ptr<TWMapBranch> deepest;
    for (const std::shared_ptr<TWMapBranch> &branch : map->allBranches())
        if (!deepest || branch->getThisBranchLevel() > deepest->getThisBranchLevel())
            deepest = branch;
    // A deep leaf on the right side: its child needs no slide.
    for (const std::shared_ptr<TWMapBranch> &branch : map->allBranches())
        if (branch->getThisBranchLevel() == deepest->getThisBranchLevel() &&
            branch->mainGraphic()->bounds().x() > deepest->mainGraphic()->bounds().x())
            deepest = branch;
    const int level = map->branchHideLevel();
    ASSERT_EQ(level, deepest->getThisBranchLevel());
    TWGraphicView *view = document->graphicView();
    const Rect drawing = map->getBoundingDrawingRectForAllGraphics();
    const Rect root = map->root()->mainGraphic()->bounds();

    TWNavigatorView navigator;
    navigator.resize(240, 180);
    navigator.setDocument(document);
    navigator.layoutThumbnail();
    ASSERT_FALSE(navigator.thumbnail().isNull());

    QSignalSpy marked(view, &TWGraphicView::displayMarked);
    const std::shared_ptr<TWMapBranch> child = addChild(deepest);
    ASSERT_TRUE(child);
    ASSERT_EQ(map->root()->mainGraphic()->bounds(), root) << "the map slid";
    EXPECT_EQ(map->branchHideLevel(), level + 1);
    Rect union_;
    for (const QList<QVariant> &mark : std::as_const(marked)) {
        const Rect r = mark.at(0).value<Rect>();
        EXPECT_FALSE(r.contains(drawing.insetBy(drawing.width() / 4, drawing.height() / 4)))
            << "the whole map was drawn again";
        union_ = union_.isEmpty() ? r : union_.united(r);
    }
    EXPECT_TRUE(union_.contains(child->mainGraphic()->drawingBounds()))
        << "the new branch was not drawn";
    // The Navigator, told what the canvas marked, shows the map as it is.
    navigator.catchUp();
    ASSERT_FALSE(navigator.updatePending()) << "the Navigator draws the whole map again";
    EXPECT_EQ(differingPixels(navigator.thumbnail(), navigator.pictureDrawnAfresh()), 0)
        << "the Navigator misses what changed";

    marked.clear();
    map->setBranchHideLevel(level);
    settle();
    bool whole = false;
    for (const QList<QVariant> &mark : std::as_const(marked))
        whole = whole || mark.at(0).value<Rect>().contains(child->mainGraphic()->drawingBounds());
    EXPECT_TRUE(whole) << "the hidden branch stays drawn";

    // Raised again from the menu, the level shows that branch alone: it and
    // its parent are drawn again, on the canvas and in the Navigator.
    navigator.updateDisplay();
    ASSERT_FALSE(navigator.thumbnail().isNull());
    marked.clear();
    map->setBranchHideLevel(level + 1);
    settle();
    bool shownAgain = false;
    for (const QList<QVariant> &mark : std::as_const(marked)) {
        const Rect r = mark.at(0).value<Rect>();
        EXPECT_FALSE(r.contains(drawing.insetBy(drawing.width() / 4, drawing.height() / 4)))
            << "the whole map was drawn again";
        shownAgain = shownAgain || r.contains(child->mainGraphic()->drawingBounds());
    }
    EXPECT_TRUE(shownAgain) << "the branch shown again was not drawn";
    navigator.catchUp();
    ASSERT_FALSE(navigator.updatePending());
    EXPECT_EQ(differingPixels(navigator.thumbnail(), navigator.pictureDrawnAfresh()), 0)
        << "the Navigator misses the branch shown again";
}
