// The room a branch takes: its line, its indicators and its pictures are
// kept clear of its children and neighbours, and its label of its picture.

#include "LayoutTestSupport.h"
#include "graphics/TWImage.h"
#include "graphics/TWLine.h"
#include "mapdrawing/TWBranchIndicators.h"
#include "model/TWAttachedText.h"
#include "model/TWHyperlink.h"
#include "support/Image.h"

#include <QBuffer>
#include <QImage>

using namespace LayoutTest;
using BranchTest::nameOf;

namespace {

QString show(Rect r)
{
    return QStringLiteral("(%1, %2, %3 x %4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

bool overlap(Rect a, Rect b)
{
    return a.minX() < b.maxX() && b.minX() < a.maxX() && a.minY() < b.maxY() && b.minY() < a.maxY();
}

QByteArray pngOfSize(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class TWBranchRoom : public LayoutFixture
{
protected:
    // A branch whose shape is a line or a rectangle, its label 50 wide
    // standing on the line or centred in the rectangle.
    std::shared_ptr<TWMapBranch> shaped(const std::shared_ptr<TWMapBranch> &parent, bool line,
                                        Rect shape, const QString &name)
    {
        auto b = add(parent, shape, name);
        if (line) {
            b->setMainGraphic(TWGraphic::make<TWLine>(shape));
            b->mainGraphic()->setBranch(b.get());
            b->enclosedTextArea()->setBounds(Rect(shape.x() + 3, shape.y() - 22, 50, 19));
        } else {
            b->enclosedTextArea()->setBounds(Rect(shape.x() + 3, shape.midY() - 9.5f, 50, 19));
        }
        return b;
    }
    static QList<Rect> indicatorRects(const TWMapBranch &b)
    {
        namespace BI = TWBranchIndicators;
        QList<Rect> rects;
        for (int i = 0; i < b.countOfHyperlinks(); ++i)
            rects << BI::boundsOfHyperlinkAtIndex(b, i);
        for (int i = 0; i < b.countOfAttachedTextArray(); ++i)
            rects << BI::boundsOfAttachedTextIndicatorAtIndex(b, i);
        rects << BI::boundsOfCheckbox(b);
        rects.removeAll(Rect());
        return rects;
    }
    // Everything a branch shows on the map: its shape with its label, and
    // its pictures.
    static QList<Rect> shownRects(const TWMapBranch &b)
    {
        const Rect shape = b.mainGraphic()->bounds();
        const Rect text = b.enclosedTextArea()->bounds();
        const float x0 = std::min(shape.minX(), text.minX());
        const float y0 = std::min(shape.minY(), text.minY());
        QList<Rect> rects{Rect(x0, y0, std::max(shape.maxX(), text.maxX()) - x0,
                               std::max(shape.maxY(), text.maxY()) - y0)};
        if (b.enclosedImage())
            rects << b.enclosedImage()->bounds();
        for (const auto &g : b.linkedGraphics())
            rects << g->bounds();
        return rects;
    }
    void allBranches(const std::shared_ptr<TWMapBranch> &from, BranchList &out)
    {
        out << from;
        for (const auto &c : from->children())
            allBranches(c, out);
    }
    // Pairs of different branches whose shown rectangles meet.
    QStringList coverings()
    {
        BranchList all;
        allBranches(root, all);
        QStringList found;
        for (const auto &a : std::as_const(all))
            for (const auto &b : std::as_const(all)) {
                if (a == b || a.get() == b->parent() || b.get() == a->parent())
                    continue;
                for (const Rect &ra : shownRects(*a))
                    for (const Rect &rb : shownRects(*b))
                        if (overlap(ra, rb) && nameOf(*a) < nameOf(*b))
                            found << nameOf(*a) + " " + show(ra) + " covers " + nameOf(*b) + " " +
                                         show(rb);
            }
        found.removeDuplicates();
        return found;
    }
};

// Auto-arrange places children beyond the end of their parent's shape and
// its indicators, on either side of the root, whatever the shape: their
// connections run straight out instead of back over the icons.
TEST_F(TWBranchRoom, ArrangedChildrenStandBeyondTheirParentsIndicators)
{
    struct Case
    {
        const char *what;
        bool line;
        bool withIcons;
        bool leftOfRoot;
    };
    const Case cases[] = {
        {"line with a link, a note and a check box, right", true, true, false},
        {"line with a link, a note and a check box, left", true, true, true},
        {"line without icons, right", true, false, false},
        {"rectangle with icons, right", false, true, false},
        {"rectangle with icons, left", false, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const BranchList earlier = root->children();
        for (const auto &old : earlier)
            old->remove();
        // Wider than its label when it shows icons, as the shape is fitted.
        const float width = c.withIcons ? 50 + 3 * 19 + 9 : 56;
        const float x = c.leftOfRoot ? 100 : 500;
        // Four main branches: the first two go to the right of the root,
        // the last two to its left.
        auto filler = [&](int i) {
            shaped(root, false, Rect(500, 400 + 50 * i, 60, 30), QStringLiteral("f%1").arg(i));
        };
        if (c.leftOfRoot)
            for (int i = 0; i < 3; ++i)
                filler(i);
        auto parent = shaped(root, c.line, Rect(x, 300, width, c.line ? 0 : 30), "parent");
        if (!c.leftOfRoot)
            for (int i = 0; i < 3; ++i)
                filler(i);
        if (c.withIcons) {
            parent->insertObjectInHyperlinksAtIndex(
                std::make_shared<TWHyperlink>(1, QStringLiteral("https://example.org/"),
                                              std::nullopt, std::nullopt, std::nullopt),
                0);
            parent->insertObjectInAttachedTextArrayAtIndex(
                std::make_shared<TWAttachedText>(std::nullopt, undo.get()), 0);
            parent->setShowCheckBox(true);
        }
        auto one = shaped(parent, c.line, Rect(x + 200, 280, 56, c.line ? 0 : 30), "one");
        auto two = shaped(parent, c.line, Rect(x + 200, 330, 56, c.line ? 0 : 30), "two");
        settle();

        TWMapLayout::autoArrange(*map);

        const Rect p = parent->mainGraphic()->bounds();
        ASSERT_EQ(p.midX() < root->mainGraphic()->bounds().midX(), c.leftOfRoot);
        QList<Rect> parentRects = indicatorRects(*parent);
        EXPECT_EQ(parentRects.size(), c.withIcons ? 3 : 0);
        parentRects << p;
        for (const auto &kid : {one, two}) {
            const Rect k = kid->mainGraphic()->bounds().united(kid->enclosedTextArea()->bounds());
            for (const Rect &r : std::as_const(parentRects)) {
                if (c.leftOfRoot)
                    EXPECT_LE(k.maxX(), r.minX())
                        << (nameOf(*kid) + " " + show(k) + " reaches back over " + show(r))
                               .toStdString();
                else
                    EXPECT_GE(k.minX(), r.maxX())
                        << (nameOf(*kid) + " " + show(k) + " reaches back over " + show(r))
                               .toStdString();
            }
        }
        EXPECT_EQ(coverings(), QStringList());
    }
}

// A picture put into a branch, or attached to it, leaves its label readable
// and covers no other branch: a centred label goes below the picture, an
// attached picture goes where nothing stands, and the neighbours the
// grown shape reaches step aside, on the first level too.
TEST_F(TWBranchRoom, PicturesShareTheBranchsRoomWithItsLabelAndCoverNoNeighbour)
{
    enum Kind { Enclosed, Attached };
    struct Case
    {
        const char *what;
        Kind kind;
        bool line;
        bool firstLevel;
        int position; // the label's place in the shape before
        int positionAfter;
    };
    const Case cases[] = {
        {"picture into a rectangle, first level", Enclosed, false, true, 2, 3},
        {"picture into a line, first level", Enclosed, true, true, 2, 3},
        {"picture into a rectangle, second level", Enclosed, false, false, 2, 3},
        {"picture into a rectangle with its label on top", Enclosed, false, true, 1, 1},
        {"attached picture, first level", Attached, false, true, 2, 2},
        {"attached picture on a line, second level", Attached, true, false, 2, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const BranchList earlier = root->children();
        for (const auto &old : earlier)
            old->remove();
        map->setLayoutAssistanceMode(2);
        const std::shared_ptr<TWMapBranch> parent =
            c.firstLevel ? root : shaped(root, false, Rect(460, 200, 56, 30), "main");
        const float x = c.firstLevel ? 460 : 560;
        auto above = shaped(parent, c.line, Rect(x, 150, 70, c.line ? 0 : 30), "above");
        auto middle = shaped(parent, c.line, Rect(x, 205, 70, c.line ? 0 : 30), "middle");
        auto below = shaped(parent, c.line, Rect(x, 260, 70, c.line ? 0 : 30), "below");
        middle->setTextRelativePosition(c.position);
        settle();
        ASSERT_EQ(coverings(), QStringList());

        const QByteArray png = pngOfSize(120, 90);
        if (c.kind == Enclosed) {
            middle->publicSetEnclosedImageFromData(png, QStringLiteral("png"), Size(120, 90));
            ASSERT_TRUE(middle->enclosedImage());
            const Rect picture = middle->enclosedImage()->bounds();
            const Rect text = middle->enclosedTextArea()->bounds();
            EXPECT_FALSE(overlap(picture, text))
                << (show(picture) + " " + show(text)).toStdString();
            EXPECT_TRUE(overlap(middle->mainGraphic()->bounds(), text));
        } else {
            const std::optional<Image> image = Image::initWithData(png);
            ASSERT_TRUE(image);
            ASSERT_TRUE(middle->publicCreateLinkedGraphicOfType(TWMapBranch::LinkedImage,
                                                                Size(120, 90), std::nullopt,
                                                                QVariant::fromValue(*image)));
            const Rect picture = middle->linkedGraphics().first()->bounds();
            for (const Rect &own : shownRects(*middle).mid(0, 1))
                EXPECT_FALSE(overlap(picture, own))
                    << (show(picture) + " " + show(own)).toStdString();
        }
        EXPECT_EQ(middle->textRelativePosition(), c.positionAfter);
        EXPECT_EQ(coverings(), QStringList());

        // One step: undo puts every branch back where it was.
        settle();
        undo->undo();
        EXPECT_EQ(above->mainGraphic()->bounds().y(), 150);
        EXPECT_EQ(below->mainGraphic()->bounds().y(), 260);
        EXPECT_EQ(middle->textRelativePosition(), c.position);
    }
}

// The free layout moves nothing by itself: a picture there grows its shape
// and its neighbours stay.
TEST_F(TWBranchRoom, FreeLayoutKeepsTheNeighboursWhereTheyAre)
{
    map->setLayoutAssistanceMode(1);
    auto above = shaped(root, false, Rect(460, 150, 70, 30), "above");
    auto middle = shaped(root, false, Rect(460, 205, 70, 30), "middle");
    settle();
    middle->publicSetEnclosedImageFromData(pngOfSize(120, 90), QStringLiteral("png"),
                                           Size(120, 90));
    EXPECT_EQ(above->mainGraphic()->bounds(), Rect(460, 150, 70, 30));
}

} // namespace
