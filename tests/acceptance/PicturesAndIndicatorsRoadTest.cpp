// Pictures and indicators on a keyboard-built map: a picture dropped on a
// branch, or attached to one, leaves every label readable, and Auto-arrange
// Tree keeps children clear of a branch's link, note and check-box icons.

#include "AcceptanceSupport.h"
#include "PictureTestData.h"

#include "application/TWDocumentViewController.h"
#include "graphics/TWImage.h"
#include "mapdrawing/TWBranchIndicators.h"
#include "model/TWAttachedText.h"
#include "model/TWHyperlink.h"

#include <QCheckBox>
#include <QFile>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>

namespace {

bool overlap(Rect a, Rect b)
{
    return a.minX() < b.maxX() && b.minX() < a.maxX() && a.minY() < b.maxY() && b.minY() < a.maxY();
}

std::string described(Rect r)
{
    return QStringLiteral("(%1, %2, %3 x %4)")
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .toStdString();
}

// A photo as the media browser offers it: dark blue with a yellow middle.
QString writePhoto(const QString &path)
{
    QImage image(200, 150, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 139));
    QPainter(&image).fillRect(20, 20, 160, 110, Qt::yellow);
    image.save(path);
    return path;
}

// Pixels of the photo's colours.
int photoPixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const bool blue = c.red() < 40 && c.green() < 40 && c.blue() > 100;
            const bool yellow = c.red() > 200 && c.green() > 200 && c.blue() < 60;
            count += blue || yellow;
        }
    return count;
}

// How far apart two rectangles stand; 0 when they meet.
float gapBetween(Rect a, Rect b)
{
    const float dx = std::max({0.0f, a.minX() - b.maxX(), b.minX() - a.maxX()});
    const float dy = std::max({0.0f, a.minY() - b.maxY(), b.minY() - a.maxY()});
    return std::hypot(dx, dy);
}

} // namespace

class PicturesRoad : public AcceptanceTest
{
protected:
    static TWMapBranch *named(TWMapBranch &from, const QString &name)
    {
        if (label(from) == name)
            return &from;
        for (const auto &c : from.children())
            if (TWMapBranch *found = named(*c, name))
                return found;
        return nullptr;
    }
    static void collect(TWMapBranch &from, QList<TWMapBranch *> &out)
    {
        out << &from;
        for (const auto &c : from.children())
            collect(*c, out);
    }
    // Every label that some picture covers, and every other branch's shape
    // that a picture covers, named.
    static QStringList coveredByPictures(TWMap &map)
    {
        QList<TWMapBranch *> all;
        collect(*map.root(), all);
        QStringList covered;
        for (TWMapBranch *owner : std::as_const(all)) {
            QList<Rect> pictures;
            if (owner->enclosedImage())
                pictures << owner->enclosedImage()->bounds();
            for (const auto &g : owner->linkedGraphics())
                pictures << g->bounds();
            for (const Rect &p : std::as_const(pictures))
                for (TWMapBranch *b : std::as_const(all)) {
                    if (overlap(p, b->enclosedTextArea()->bounds()))
                        covered << label(*owner) + "'s picture covers the label " + label(*b);
                    else if (b != owner && overlap(p, b->mainGraphic()->bounds()))
                        covered << label(*owner) + "'s picture covers the shape of " + label(*b);
                }
        }
        return covered;
    }
    // Each attached picture more than 12 pt from its own branch (label and
    // shape) or as near another branch, and every two branches or pictures
    // that meet.
    static std::string misplacedPictures(TWMap &map)
    {
        QList<TWMapBranch *> all;
        collect(*map.root(), all);
        const auto area = [](const TWMapBranch &b) {
            return b.enclosedTextArea()->bounds().unitedKeepingLines(b.mainGraphic()->bounds());
        };
        QStringList faults;
        QList<std::pair<QString, Rect>> taken;
        for (TWMapBranch *b : std::as_const(all))
            taken.append({label(*b), area(*b)});
        for (TWMapBranch *owner : std::as_const(all))
            for (const auto &g : owner->linkedGraphics()) {
                const float own = gapBetween(g->bounds(), area(*owner));
                if (own > 12)
                    faults << label(*owner) + "'s picture stands " + QString::number(own) +
                                  " pt off";
                for (TWMapBranch *other : std::as_const(all))
                    if (other != owner && gapBetween(g->bounds(), area(*other)) <= own)
                        faults << label(*owner) + "'s picture is as near " + label(*other);
                taken.append({label(*owner) + "'s picture", g->bounds()});
            }
        for (qsizetype i = 0; i < taken.size(); ++i)
            for (qsizetype j = i + 1; j < taken.size(); ++j)
                if (overlap(taken.at(i).second, taken.at(j).second))
                    faults << taken.at(i).first + " meets " + taken.at(j).first;
        return faults.join(u'\n').toStdString();
    }
    // A file dropped on the canvas at a point of the map, as from the media
    // browser, which offers its pictures as files.
    void dropFile(TWDocument *document, const QString &path, Point at)
    {
        QWidget *viewport = document->graphicView()->viewport();
        const QRectF r = document->graphicView()->viewportRectFromMap(Rect(at.x, at.y, 0, 0));
        const QPointF p = r.topLeft();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(p.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(p.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &move);
        QDropEvent drop(p, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
        settle();
    }
};

// A photo dropped on a branch shows whole with the label below it; a photo
// attached through Map › Attach › Attach Image... goes beside its branch; no
// label is drawn over a picture and no picture lies over another branch.
TEST_P(PicturesRoad, PicturesLeaveEveryLabelReadable)
{
    TWDocument *document = newDocument(QSize(1100, 800));
    ASSERT_TRUE(document);
    TWMap *map = currentMap(document);
    grow(document, *map->root(), {"north", "east", "south", "west"});
    grow(document, *named(*map->root(), "east"), {"one", "two", "three"});
    wait(100);
    ASSERT_EQ(coveredByPictures(*map), QStringList());

    // Dropped on the middle child.
    TWMapBranch &two = *named(*map->root(), "two");
    const QString photo = writePhoto(dir.filePath("photo.png"));
    const Rect twoLabel = two.enclosedTextArea()->bounds();
    dropFile(document, photo, Point(twoLabel.midX(), twoLabel.midY()));
    wait(200);
    ASSERT_TRUE(two.enclosedImage()) << "the drop put no picture into the branch";
    const Rect picture = two.enclosedImage()->bounds();
    const Rect text = two.enclosedTextArea()->bounds();
    EXPECT_FALSE(overlap(picture, text))
        << described(picture) << " under the label " << described(text);
    EXPECT_EQ(coveredByPictures(*map), QStringList());
    // The label shows on the canvas, not the photo through it.
    EXPECT_EQ(photoPixels(grabMapArea(document, text, "dropped")), 0);

    // Attached to a main branch, chosen with a click.
    TWMapBranch &south = *named(*map->root(), "south");
    click(document, windowPoint(document, *south.enclosedTextArea()));
    alerts.queueOpenResponse({photo});
    ASSERT_TRUE(choose(document, {"Map", "Attach", "Attach Image..."}));
    wait(200);
    ASSERT_EQ(south.linkedGraphics().size(), 1);
    EXPECT_EQ(coveredByPictures(*map), QStringList());
    for (TWMapBranch *b : {map->root().get(), named(*map->root(), "north"), &south,
                           named(*map->root(), "west"), &two}) {
        SCOPED_TRACE(label(*b).toStdString());
        EXPECT_EQ(photoPixels(grabMapArea(document, b->enclosedTextArea()->bounds(),
                                          "attached-" + label(*b))),
                  0);
    }
    grab(document, "pictures");
}

// A picture attached to a branch of a small map, whatever its level: the
// branches make room for it, and no two branches come to touch.
TEST_P(PicturesRoad, AttachedPictureLeavesNoTwoBranchesTouching)
{
    const QString photo = writePhoto(dir.filePath("photo.png"));
    const char *const owners[] = {"east", "two", "north", "bee"};
    for (const char *owner : owners) {
        SCOPED_TRACE(owner);
        TWDocument *document = newDocument(QSize(1100, 800));
        ASSERT_TRUE(document);
        TWMap *map = currentMap(document);
        grow(document, *map->root(), {"north", "east", "south", "west"});
        grow(document, *named(*map->root(), "east"), {"one", "two", "three"});
        grow(document, *named(*map->root(), "south"), {"ant", "bee", "cat"});
        grow(document, *named(*map->root(), "north"), {"red", "green"});
        wait(100);
        // Each branch's label with its shape (for a line branch, the line
        // under the label): no two of them meet.
        const auto touching = [map] {
            QList<TWMapBranch *> all;
            collect(*map->root(), all);
            const auto area = [](const TWMapBranch &b) {
                return b.enclosedTextArea()->bounds().unitedKeepingLines(b.mainGraphic()->bounds());
            };
            QStringList found;
            for (qsizetype i = 0; i < all.size(); ++i)
                for (qsizetype j = i + 1; j < all.size(); ++j)
                    if (overlap(area(*all.at(i)), area(*all.at(j))))
                        found << label(*all.at(i)) + " " +
                                     QString::fromStdString(described(area(*all.at(i)))) +
                                     " and " + label(*all.at(j)) + " " +
                                     QString::fromStdString(described(area(*all.at(j))));
            return found.join(u'\n').toStdString();
        };
        ASSERT_EQ(touching(), "");
        QList<TWMapBranch *> all;
        collect(*map->root(), all);
        QHash<TWMapBranch *, Rect> before;
        for (TWMapBranch *b : std::as_const(all))
            before.insert(b, b->enclosedTextArea()->bounds());
        TWMapBranch &branch = *named(*map->root(), QString::fromLatin1(owner));
        click(document, windowPoint(document, *branch.enclosedTextArea()));
        alerts.queueOpenResponse({photo});
        ASSERT_TRUE(choose(document, {"Map", "Attach", "Attach Image..."}));
        wait(300);
        ASSERT_EQ(branch.linkedGraphics().size(), 1);
        EXPECT_EQ(touching(), "");
        // The picture went where there was room: what it does not come near
        // stays where it was.
        const float near = 2.0f * float(map->repelDistance());
        const Rect picture = branch.linkedGraphics().first()->bounds().insetBy(-near, -near);
        // A picture past the canvas's corner moves the whole map back onto
        // it, the central branch with it: that is no move of one branch.
        const Rect rootBefore = before.value(map->root().get());
        const Rect rootNow = map->root()->enclosedTextArea()->bounds();
        const float dx = rootNow.x() - rootBefore.x(), dy = rootNow.y() - rootBefore.y();
        QStringList moved;
        for (TWMapBranch *b : std::as_const(all)) {
            const Rect now = b->enclosedTextArea()->bounds();
            const Rect was = before.value(b).offsetBy(dx, dy);
            if (b != &branch && !overlap(now, picture) && !overlap(was, picture) &&
                (std::abs(now.x() - was.x()) > 0.5f || std::abs(now.y() - was.y()) > 0.5f))
                moved << label(*b) + " from " + QString::fromStdString(described(was)) + " to " +
                             QString::fromStdString(described(now));
        }
        EXPECT_EQ(moved.join(u'\n').toStdString(), "");
        EXPECT_EQ(coveredByPictures(*map), QStringList());
        grab(document, QStringLiteral("attached-to-%1").arg(QString::fromLatin1(owner)));
        document->clearChangeCount();
        document->mainWindow()->close();
        settle();
    }
}

// The check box is turned on in the Branch palette, the branch has a link
// and a note; Auto-arrange Tree places the children beyond all of them.
TEST_P(PicturesRoad, AutoArrangeTreeKeepsChildrenClearOfIndicators)
{
    TWDocument *document = newDocument(QSize(1100, 800));
    ASSERT_TRUE(document);
    TWMap *map = currentMap(document);
    grow(document, *map->root(), {"alpha", "beta", "gamma", "delta"});
    TWMapBranch &alpha = *named(*map->root(), "alpha");
    grow(document, alpha, {"kid one", "kid two", "kid three"});
    click(document, windowPoint(document, *alpha.enclosedTextArea()));
    alpha.publicInsertHyperlink(
        std::make_shared<TWHyperlink>(1, QStringLiteral("https://example.org/"), std::nullopt,
                                      std::nullopt, std::nullopt),
        0);
    alpha.insertObjectInAttachedTextArrayAtIndex(
        std::make_shared<TWAttachedText>(std::nullopt, nullptr), 0);
    QCheckBox *checkBox = nullptr;
    for (QCheckBox *box : document->mainWindow()->findChildren<QCheckBox *>())
        if (box->text() == QLatin1String("Check Box") && box->isVisible())
            checkBox = box;
    ASSERT_TRUE(checkBox) << "no Check Box in the Branch palette";
    // On its box, where a click turns it on.
    click(document, checkBox->mapTo(document->mainWindow(), QPoint(8, checkBox->height() / 2)));
    wait(200);
    ASSERT_TRUE(alpha.showCheckBox());

    ASSERT_TRUE(choose(document, {"Map", "Arrange", "Auto-arrange Tree"}));
    wait(300);

    namespace BI = TWBranchIndicators;
    const QList<Rect> icons = {BI::boundsOfHyperlinkAtIndex(alpha, 0),
                               BI::boundsOfAttachedTextIndicatorAtIndex(alpha, 0),
                               BI::boundsOfCheckbox(alpha)};
    for (const Rect &r : icons)
        ASSERT_FALSE(r.isEmpty()) << "an indicator is not shown";
    const Rect shape = alpha.mainGraphic()->bounds();
    const bool left = shape.midX() < map->root()->mainGraphic()->bounds().midX();
    for (const auto &kid : alpha.children()) {
        SCOPED_TRACE(label(*kid).toStdString());
        const Rect k = kid->mainGraphic()->bounds().united(kid->enclosedTextArea()->bounds());
        for (const Rect &r : icons + QList<Rect>{shape}) {
            if (left)
                EXPECT_LE(k.maxX(), r.minX())
                    << described(k) << " reaches back over " << described(r);
            else
                EXPECT_GE(k.minX(), r.maxX())
                    << described(k) << " reaches back over " << described(r);
        }
    }
    grab(document, "arranged");
}

// Pictures of five kinds attached in turn to the branches of a small map:
// each stands against its own branch, clear of every other, as attached,
// after the map is laid out again and once saved and opened again.
TEST_P(PicturesRoad, PicturesAttachedInTurnStandAgainstTheirOwnBranches)
{
    QByteArray gif = ImageTestData::gif();
    gif[6] = 64; // a 64 x 48 screen in a magenta background around the one pixel
    gif[8] = 48;
    gif.replace(13, 3, "\xc8\x1e\xa0");
    const QImage photo = ImageTestData::sample().scaled(80, 60);
    const std::pair<QString, QByteArray> pictures[] = {
        {"one.png", ImageTestData::encoded("png", photo)},
        {"two.jpg", ImageTestData::encoded("jpeg", photo)},
        {"three.gif", gif},
        {"four.pdf", PictureTestData::pdfPicture()},
        {"five.eps", PictureTestData::epsPicture()}};
    TWDocument *document = newDocument(QSize(1100, 800));
    ASSERT_TRUE(document);
    TWMap *map = currentMap(document);
    grow(document, *map->root(), {"one", "two", "three", "four", "five"});
    for (const auto &[name, bytes] : pictures) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        click(document,
              windowPoint(document,
                          *named(*map->root(), QFileInfo(name).baseName())->enclosedTextArea()));
        alerts.queueOpenResponse({file.fileName()});
        ASSERT_TRUE(choose(document, {"Map", "Attach", "Attach Image..."}));
        wait(200);
        EXPECT_EQ(misplacedPictures(*map), "") << name.toStdString();
    }
    grab(document, "attached");
    ASSERT_TRUE(choose(document, {"Map", "Arrange", "Auto-arrange Tree"}));
    wait(200);
    EXPECT_EQ(misplacedPictures(*map), "") << "arranged";

    alerts.queueSaveResponse(dir.filePath("pictures.tweb"));
    ASSERT_TRUE(choose(document, {"File", "Save As..."}));
    ASSERT_TRUE(choose(document, {"File", "Close"}));
    TWDocument *reopened = openDocument(dir.filePath("pictures.tweb"), QSize(1100, 800));
    ASSERT_TRUE(reopened);
    map = currentMap(reopened);
    wait(200);
    for (const auto &[name, bytes] : pictures) {
        const TWMapBranch *branch = named(*map->root(), QFileInfo(name).baseName());
        ASSERT_TRUE(branch && branch->linkedGraphics().size() == 1) << name.toStdString();
        EXPECT_EQ(
            QFileInfo(branch->linkedGraphics().first()->imageFilename().value_or("")).suffix(),
            QFileInfo(name).suffix());
    }
    EXPECT_EQ(misplacedPictures(*map), "") << "reopened";
    grab(reopened, "reopened");
}

// The handles a selected graphic shows, as drawn: a knob's square with its
// outline around it.
QList<Rect> handleRects(TWGraphic &graphic)
{
    QList<Rect> rects;
    const unsigned mask = unsigned(graphic.knobMask());
    for (int knob = 1; knob <= 8; ++knob)
        if (mask & (1u << knob))
            rects << TWGraphic::knobRect(graphic.knobPoint(knob));
    return rects;
}

TEST_P(PicturesRoad, ACheckBoxStaysClearOfTheSelectionHandles)
{
    TWDocument *document = newDocument(QSize(1100, 800));
    ASSERT_TRUE(document);
    TWMap *map = currentMap(document);
    grow(document, *map->root(), {"alpha", "beta"});
    TWMapBranch &alpha = *named(*map->root(), "alpha");
    click(document, windowPoint(document, *alpha.enclosedTextArea()));
    QCheckBox *checkBox = nullptr;
    for (QCheckBox *box : document->mainWindow()->findChildren<QCheckBox *>())
        if (box->text() == QLatin1String("Check Box") && box->isVisible())
            checkBox = box;
    ASSERT_TRUE(checkBox) << "no Check Box in the Branch palette";
    click(document, checkBox->mapTo(document->mainWindow(), QPoint(8, checkBox->height() / 2)));
    wait(200);
    ASSERT_TRUE(alpha.showCheckBox());
    document->documentViewController()->setMapZoomAmount(300);
    settle();
    document->graphicView()->centerRect(alpha.mainGraphic()->bounds());
    wait(100);

    ASSERT_FALSE(TWBranchIndicators::boundsOfCheckbox(alpha).isEmpty());
    // The label, as a click selects it, then the whole branch's shape.
    struct Pick
    {
        const char *what;
        std::shared_ptr<TWGraphic> graphic;
    };
    for (const Pick &pick : {Pick{"label", alpha.enclosedTextArea()}, Pick{"shape", alpha.mainGraphic()}}) {
        SCOPED_TRACE(pick.what);
        map->removeAllSelectedGraphics();
        map->insertObjectInSelectedGraphicsAtIndex(pick.graphic, 0);
        wait(100);
        const Rect box = TWBranchIndicators::clearOfHandles(
            alpha, TWBranchIndicators::boundsOfCheckbox(alpha));
        for (const Rect &handle : handleRects(*pick.graphic))
            EXPECT_FALSE(overlap(box, handle))
                << "check box " << described(box) << " under the handle " << described(handle);
        // The box moved aside is drawn where it now is, and nowhere else.
        EXPECT_EQ(staleCanvasPixels(document, QString::fromLatin1(pick.what)), 0);
        const QImage near = grabMapArea(
            document, TWBranchIndicators::branchDrawingBounds(alpha).insetBy(-12, -12),
            QString::fromLatin1(pick.what));
        near.save(QDir(Acceptance::grabFolder())
                      .filePath(QStringLiteral("check-box-%1-%2.png")
                                    .arg(Acceptance::editionName(edition()),
                                         QString::fromLatin1(pick.what))));
    }
}

ACCEPTANCE_EDITIONS(PicturesRoad);
