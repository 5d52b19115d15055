#include "BranchTestSupport.h"
#include "graphics/TWCircle.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWImage.h"
#include "graphics/TWLine.h"
#include "graphics/TWRectangle.h"
#include "model/TWBranchRefitHold.h"
#include "model/TWHyperlink.h"
#include "model/TWNewBranchLabel.h"

#include <QBuffer>
#include <QImage>
#include <QRegularExpression>

using namespace BranchTest;

namespace {

class TWMapBranchSizingTest : public BranchFixture
{
protected:
    template <class Kind>
    std::shared_ptr<TWMapBranch> branchWith(TWMapBranch *parent, Rect shape, Rect label,
                                            const QString &text = QStringLiteral("label"))
    {
        auto b = TWMapBranch::createWithGraphic(TWGraphic::make<Kind>(shape), parent, map.get());
        b->enclosedTextArea()->setString(text);
        b->mainGraphic()->setBounds(shape);
        b->enclosedTextArea()->setBounds(label);
        settle();
        return b;
    }
    // A picture of that many points in the package data.
    QString picture(int width, int height)
    {
        QImage pixels(width, height, QImage::Format_ARGB32);
        pixels.fill(Qt::blue);
        pixels.setDotsPerMeterX(2835);
        pixels.setDotsPerMeterY(2835);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        pixels.save(&buffer, "PNG");
        const QString path = QStringLiteral("Images/picture%1.png").arg(width);
        document->setObjectInCachedData(png, path);
        return path;
    }
    static std::shared_ptr<TWEnclosedGraphic> icon(const QString &name, Rect bounds)
    {
        return std::make_shared<TWEnclosedGraphic>(name, std::nullopt,
                                                   TWGraphic::createWithBounds(bounds));
    }
};

TEST_F(TWMapBranchSizingTest, NaturalSizeFitsTheShapeToTheText)
{
    // A line: no height, on its old middle, the label 3 above it.
    auto line = branchWith<TWLine>(root.get(), Rect(500, 100, 80, 30), Rect(503, 80, 74, 20));
    const Size text = line->enclosedTextArea()->requiredSizeForWidth(line->textMaxWidth());
    line->makeNaturalSizeHonoringTextWidth(false, false);
    EXPECT_EQ(line->mainGraphic()->bounds(), Rect(500, 115, text.width + 6, 0));
    EXPECT_EQ(line->enclosedTextArea()->bounds(),
              Rect(503, 112 - text.height, text.width, text.height));

    // Each side of the root keeps the edge that faces it.
    auto left = branchWith<TWRectangle>(root.get(), Rect(100, 100, 80, 30), Rect(103, 103, 74, 24));
    auto right =
        branchWith<TWRectangle>(root.get(), Rect(600, 100, 80, 30), Rect(603, 103, 74, 24));
    for (const auto &b : {left, right})
        b->makeNaturalSizeHonoringTextWidth(false, false);
    const float h = text.height + 6;
    EXPECT_EQ(left->mainGraphic()->bounds(),
              Rect(180 - (text.width + 6), 115 - h / 2, text.width + 6, h));
    EXPECT_EQ(right->mainGraphic()->bounds(), Rect(600, 115 - h / 2, text.width + 6, h));
    EXPECT_EQ(right->enclosedTextArea()->bounds(), Rect(603, 118 - h / 2, text.width, text.height));
}

TEST_F(TWMapBranchSizingTest, APictureBranchGrowsWithItsWidthButNotBelowThePicture)
{
    map->branchDisplaySettingsForUpdate().showOutlineNumbers = true;
    const QString path = picture(200, 100);
    // Natural width = 3 + number label + 3 + 10 (an empty label) + 3.
    struct Case
    {
        float numberWidth;
        Size size;
    } cases[] = {{281, {300, 150}}, {131, {200, 100}}};
    for (const Case &c : cases) {
        auto b = branchWith<TWImage>(root.get(), Rect(600, 100, 120, 60), Rect(603, 120, 100, 20),
                                     QString(""));
        b->mainGraphic()->setImageFilename(path);
        b->insertObjectInOtherEnclosedGraphicsAtIndex(
            icon(TWMapBranch::OutlineNumberKey, Rect(0, 0, c.numberWidth, 15)), 0);
        b->makeNaturalSizeHonoringTextWidth(false, false);
        EXPECT_EQ(b->mainGraphic()->bounds(),
                  Rect(600, 130 - c.size.height / 2, c.size.width, c.size.height))
            << c.numberWidth;
        b->remove();
    }
}

TEST_F(TWMapBranchSizingTest, TheShapeFollowsTheTextsSize)
{
    const Rect shape(500, 100, 200, 30);
    // The label stands 10 from the inner left edge and 84 from the right.
    auto b = branchWith<TWRectangle>(root.get(), shape, Rect(513, 103, 100, 24));
    b->updateBranchSizeForTextChangeToSize(Size(120, 44), false);
    // Tight, and 20 taller downward.
    EXPECT_EQ(b->mainGraphic()->bounds(), Rect(500, 100, 126, 50));
    EXPECT_EQ(b->enclosedTextArea()->bounds(), Rect(503, 103, 120, 44));

    auto gaps = branchWith<TWRectangle>(root.get(), shape, Rect(513, 103, 100, 24));
    gaps->updateBranchSizeForTextChangeToSize(Size(120, 24), true);
    EXPECT_EQ(gaps->mainGraphic()->bounds(), Rect(500, 100, 220, 30));
    EXPECT_EQ(gaps->enclosedTextArea()->bounds().x(), 513);

    // A line keeps its height and carries the label above it.
    auto line = branchWith<TWLine>(root.get(), Rect(500, 100, 80, 0), Rect(503, 77, 74, 20));
    line->updateBranchSizeForTextChangeToSize(Size(74, 40), false);
    EXPECT_EQ(line->mainGraphic()->bounds(), Rect(500, 100, 80, 0));
    EXPECT_EQ(line->enclosedTextArea()->bounds(), Rect(503, 57, 74, 40));
}

TEST_F(TWMapBranchSizingTest, ALabelRectangleReshapesTheShapeAndMovesTheChildren)
{
    const Rect shape(500, 100, 200, 30);
    const Rect spanning(503, 103, 194, 24);
    auto b = branchWith<TWRectangle>(root.get(), shape, spanning);
    auto kid = newBranch(b.get(), Rect(800, 100, 60, 20), "kid");
    settle();
    // 20 taller: the shape grows upward, its bottom kept; the child on the
    // right follows the right edge and the middle.
    b->resizeForTextAreaBoundsChangeTo(Rect(503, 83, 194, 44), false);
    EXPECT_EQ(b->mainGraphic()->bounds(), Rect(500, 80, 200, 50));
    EXPECT_EQ(b->enclosedTextArea()->bounds(), Rect(503, 83, 194, 44));
    EXPECT_EQ(kid->mainGraphic()->bounds(), Rect(800, 90, 60, 20));

    // Narrower: the shape shrinks only when asked to.
    struct Case
    {
        bool shrink;
        float width;
    } cases[] = {{false, 200}, {true, 106}};
    for (const Case &c : cases) {
        auto n = branchWith<TWRectangle>(root.get(), shape, spanning);
        n->resizeForTextAreaBoundsChangeTo(Rect(503, 103, 100, 24), c.shrink);
        EXPECT_EQ(n->mainGraphic()->bounds(), Rect(500, 100, c.width, 30)) << c.shrink;
    }

    // A width constraint re-wraps the label and grows the shape around it.
    auto w = branchWith<TWRectangle>(root.get(), shape, spanning,
                                     "A label long enough to wrap at a hundred points");
    const Size r = w->enclosedTextArea()->requiredSizeForWidth(100);
    const float dh = r.height - 24;
    w->resizeForTextAreaConstrainedToWidth(100);
    EXPECT_EQ(w->mainGraphic()->bounds(), Rect(500, 100 - dh, r.width + 6, 30 + dh));
    EXPECT_EQ(w->enclosedTextArea()->bounds(),
              Rect(503, 115 - r.height / 2 - dh / 2, r.width, r.height));
}

TEST_F(TWMapBranchSizingTest, IconsLineUpLeftOfTheLabel)
{
    struct Case
    {
        int connectionSide; // 1: grows right, 3: grows left
        Rect shape;
        float textX;
        float iconX;
    } cases[] = {{1, {500, 100, 219, 30}, 522, 503}, {3, {481, 100, 219, 30}, 503, 484}};
    for (const Case &c : cases) {
        auto b =
            branchWith<TWRectangle>(root.get(), Rect(500, 100, 200, 30), Rect(503, 103, 194, 24));
        b->connectionGraphic()->setConnectionToParentSide(c.connectionSide);
        const auto adornment = icon(QStringLiteral("star"), Rect(0, 0, 16, 16));
        b->insertObjectInOtherEnclosedGraphicsAtIndex(adornment, 0);
        b->repositionOtherEnclosedGraphicsFromOldWidth(3);
        EXPECT_EQ(b->mainGraphic()->bounds(), c.shape) << c.connectionSide;
        EXPECT_EQ(b->enclosedTextArea()->bounds().x(), c.textX) << c.connectionSide;
        EXPECT_EQ(adornment->graphic()->bounds(), Rect(c.iconX, 107, 16, 16)) << c.connectionSide;
        b->remove();
    }

    // Numbers shown to level 2 only: a level-3 branch's number is neither
    // placed nor counted.
    map->branchDisplaySettingsForUpdate().showOutlineNumbers = true;
    map->branchDisplaySettingsForUpdate().outlineNumbersToLevel = 2;
    auto a = child(root, 100, "a");
    auto b = newBranch(a.get(), Rect(650, 100, 60, 20), "b");
    auto deep = branchWith<TWRectangle>(b.get(), Rect(800, 100, 200, 30), Rect(803, 103, 194, 24));
    const auto number = icon(TWMapBranch::OutlineNumberKey, Rect(0, 0, 30, 15));
    deep->insertObjectInOtherEnclosedGraphicsAtIndex(number, 0);
    deep->repositionOtherEnclosedGraphicsFromOldWidth(3);
    EXPECT_EQ(deep->totalWidthToAllowForOtherEnclosedGraphics(), 3);
    EXPECT_EQ(number->graphic()->bounds(), Rect(0, 0, 30, 15));
    EXPECT_EQ(deep->mainGraphic()->bounds(), Rect(800, 100, 200, 30));
}

TEST_F(TWMapBranchSizingTest, RightEndIconsPictureAndChildStacking)
{
    auto b = branchWith<TWRectangle>(root.get(), Rect(500, 100, 200, 30), Rect(503, 103, 100, 24));
    EXPECT_EQ(b->rectOfRightEndGraphics(), Rect());
    b->insertObjectInHyperlinksAtIndex(std::make_shared<TWHyperlink>(2), 0);
    b->insertObjectInHyperlinksAtIndex(std::make_shared<TWHyperlink>(2), 0);
    b->setShowCheckBox(true);
    EXPECT_EQ(b->rectOfRightEndGraphics(), Rect(643, 107, 54, 16));

    // A picture sharing the shape takes what the label band leaves.
    auto p = branchWith<TWRectangle>(root.get(), Rect(500, 100, 200, 30), Rect(503, 103, 194, 24));
    p->setTextRelativePosition(1);
    auto image = TWGraphic::make<TWImage>(Rect(0, 0, 10, 10));
    p->setEnclosedImage(image);
    p->updateEnclosedImageBoundsForMainGraphicBoundsChangeFrom(Rect(), Rect(500, 100, 200, 110));
    EXPECT_EQ(image->bounds(), Rect(500, 130, 200, 80));
    EXPECT_EQ(p->enclosedTextArea()->bounds().y(), 103);
    // A shape lower than the band leaves the picture no height, not a bad one.
    p->updateEnclosedImageBoundsForMainGraphicBoundsChangeFrom(Rect(), Rect(500, 100, 200, 20));
    EXPECT_EQ(image->bounds(), Rect(500, 130, 200, 0));

    // Children's layout rectangles stack without gaps; the first stays.
    auto a = child(root, 300, "a");
    const QList<Rect> moved = {{0, 0, 10, 10}, {0, 50, 10, 20}, {0, 100, 10, 5}};
    for (const Rect &r : moved)
        newBranch(a.get(), Rect(700, 300, 40, 20), "c")->setAutolayoutBranchMovedBounds(r);
    a->spaceChildrenToMinimumSpacing();
    QList<float> tops;
    for (const auto &c : a->children())
        tops << c->autolayoutBranchMovedBounds().y();
    EXPECT_EQ(tops, QList<float>({0, 10, 30}));
}

} // namespace

TEST_F(TWMapBranchSizingTest, ABranchMadeWithItsLabelSizesAsOneLabelledAfterwards)
{
    auto firstLevel =
        branchWith<TWRectangle>(root.get(), Rect(600, 100, 80, 30), Rect(603, 103, 74, 24));
    const AttributedString bold(
        QStringLiteral("Bold words"),
        {{NSFontAttributeName, QVariant::fromValue(Font("Helvetica-Bold", 18))}});
    const AttributedString wide(
        QStringLiteral("a label long enough to wrap over more than one line at "
                       "the map's width of two hundred points"));
    const AttributedString lines(QStringLiteral("two\nlines"));
    const AttributedString empty;
    struct Case
    {
        int kind; // 1 line, 2 rectangle, 3 circle
        bool underRoot;
        Rect shape;
        const AttributedString *label;
    };
    const Case cases[] = {
        {2, true, Rect(600, 300, 80, 40), &bold},  {2, true, Rect(50, 300, 80, 40), &wide},
        {1, true, Rect(600, 300, 80, 40), &lines}, {1, true, Rect(50, 300, 80, 40), &bold},
        {3, false, Rect(750, 90, 80, 40), &wide},  {1, false, Rect(750, 90, 80, 40), &empty},
        {2, false, Rect(750, 90, 80, 40), &lines},
    };
    const auto make = [&](const Case &c) {
        auto shape = TWMapBranch::makeMainGraphicOfType(c.kind, c.shape);
        auto b = TWMapBranch::createWithGraphic(shape, c.underRoot ? root.get() : firstLevel.get(),
                                                map.get());
        b->enclosedTextArea()->setText(*c.label);
        b->makeNaturalSize();
        return b;
    };
    for (const Case &c : cases) {
        const auto plain = make(c);
        std::shared_ptr<TWMapBranch> started;
        {
            const TWNewBranchLabelScope scope(c.label);
            started = make(c);
        }
        const std::string name = c.label->string().toStdString();
        EXPECT_EQ(started->enclosedTextArea()->text(), *c.label) << name;
        EXPECT_EQ(started->mainGraphic()->bounds(), plain->mainGraphic()->bounds()) << name;
        EXPECT_EQ(started->enclosedTextArea()->bounds(), plain->enclosedTextArea()->bounds())
            << name;
    }
}

TEST_F(TWMapBranchSizingTest, OnlyABranchMadeInsideALabelScopeStartsWithItsLabel)
{
    const auto made = [&] {
        return TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(600, 100, 80, 30)),
                                              root.get(), map.get())
            ->enclosedTextArea()
            ->text();
    };
    const AttributedString usual = made();
    ASSERT_FALSE(usual.isEmpty());
    const AttributedString outer(QStringLiteral("outer")), inner(QStringLiteral("inner"));
    {
        const TWNewBranchLabelScope first(&outer);
        EXPECT_EQ(made(), outer);
        {
            const TWNewBranchLabelScope second(&inner);
            EXPECT_EQ(made(), inner);
            const TWNewBranchLabelScope none(nullptr);
            EXPECT_EQ(made(), usual);
        }
        EXPECT_EQ(made(), outer);
    }
    EXPECT_EQ(made(), usual);
    EXPECT_EQ(TWNewBranchLabelScope::current(), nullptr);
}

// A branch made while sizing is deferred is left to its maker to size;
// scopes nest, and an inner one may size again.
TEST_F(TWMapBranchSizingTest, ABranchMadeWhileSizingIsDeferredIsNotSized)
{
    const auto sizings = [&] {
        layout->calls.clear();
        TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(600, 100, 80, 30)),
                                       root.get(), map.get());
        return int(layout->calls.filter(QStringLiteral("natural size")).size());
    };
    EXPECT_EQ(sizings(), 1);
    {
        const TWNewBranchSizingDeferred outer;
        EXPECT_EQ(sizings(), 0);
        {
            const TWNewBranchSizingDeferred inner(false);
            EXPECT_EQ(sizings(), 1);
            const TWNewBranchSizingDeferred again;
            EXPECT_EQ(sizings(), 0);
        }
        EXPECT_EQ(sizings(), 0);
    }
    EXPECT_EQ(sizings(), 1);
    EXPECT_FALSE(TWNewBranchSizingDeferred::active());
}

// Refits asked for while a hold on the branch lives are made once, when the
// outermost hold on it ends; other branches refit at once.
TEST_F(TWMapBranchSizingTest, ARefitHoldRefitsItsBranchOnceAtItsEnd)
{
    auto a = newBranch(root.get(), Rect(500, 100, 80, 30), "a");
    auto b = newBranch(root.get(), Rect(500, 300, 80, 30), "b");
    const QString refitA = QStringLiteral("natural size a 1 1");
    const QString refitB = QStringLiteral("natural size b 1 1");
    const auto changeBoth = [&] {
        for (const auto &branch : {a, b}) {
            branch->setPriority(branch->priority() == 0 ? 1 : 0);
            branch->setPercentageComplete(branch->percentageComplete() == -1 ? 10 : -1);
        }
    };
    const struct
    {
        const char *what;
        std::function<void()> run;
        QStringList calls;
    } cases[] = {
        {"no hold", changeBoth, {refitA, refitA, refitB, refitB}},
        {"a held",
         [&] {
             const TWBranchRefitHold hold(*a);
             changeBoth();
         },
         {refitB, refitB, refitA}},
        {"a held twice",
         [&] {
             const TWBranchRefitHold outer(*a);
             {
                 const TWBranchRefitHold inner(*a);
                 changeBoth();
             }
             layout->calls << QStringLiteral("inner ended");
         },
         {refitB, refitB, QStringLiteral("inner ended"), refitA}},
        {"both held, nothing asked",
         [&] {
             const TWBranchRefitHold holdA(*a), holdB(*b);
             a->setDuration(a->duration() + 1);
         },
         {}},
        // Icons placed later: a's icon waits for whoever sized a, the hold
        // ends without a refit, and an inner hold's refit goes with it.
        {"a held with its icons, dismissed",
         [&] {
             TWBranchRefitHold hold(*a, true);
             for (const auto &branch : {a, b})
                 branch->insertObjectInOtherEnclosedGraphicsAtIndex(
                     std::make_shared<TWEnclosedGraphic>(
                         QString(), QString(), TWGraphic::make<TWImage>(Rect(0, 0, 16, 16))),
                     branch->countOfOtherEnclosedGraphics());
             {
                 const TWBranchRefitHold inner(*a);
                 changeBoth();
             }
             layout->calls << QStringLiteral("icons unplaced %1").arg(hold.dismiss());
             layout->calls << QStringLiteral("again %1").arg(hold.dismiss());
         },
         {QStringLiteral("reposition b from 3"), refitB, refitB, QStringLiteral("icons unplaced 1"),
          QStringLiteral("again 0")}},
        {"a held, its icons placed as they come",
         [&] {
             TWBranchRefitHold hold(*a);
             a->insertObjectInOtherEnclosedGraphicsAtIndex(
                 std::make_shared<TWEnclosedGraphic>(QString(), QString(),
                                                     TWGraphic::make<TWImage>(Rect(0, 0, 16, 16))),
                 0);
             layout->calls << QStringLiteral("icons unplaced %1").arg(hold.dismiss());
         },
         {QStringLiteral("reposition a from 22"), QStringLiteral("icons unplaced 0")}},
    };
    for (const auto &c : cases) {
        settle();
        layout->calls.clear();
        c.run();
        QStringList refits =
            layout->calls.filter(QRegularExpression("natural size|ended|reposition|icons|again"));
        EXPECT_EQ(refits, c.calls) << c.what;
    }
}
