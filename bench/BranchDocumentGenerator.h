// Generated documents for the streaming benchmarks, made through the model so
// that they hold what real documents hold: one map whose branches take every
// shape in turn (line, rectangle, circle, picture, flexi, cloud, custom
// shape), a styled text of several runs, a connection, settings, a note on
// every fifth branch, a link on every seventh, task data on every third, a
// boundary on every eleventh, an attached graphic on every thirteenth, a
// picture (with its package data) on every twentieth and a link line for
// every fiftieth.
#pragma once

#include "graphics/TWCircle.h"
#include "graphics/TWCloud.h"
#include "graphics/TWCustomBranchShape.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWImage.h"
#include "graphics/TWLine.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWTextArea.h"
#include "model/TWAttachedText.h"
#include "model/TWHyperlink.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/UndoManager.h"
#include "support/AttributedString.h"
#include "support/Font.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <algorithm>

namespace BranchDocument {

inline std::shared_ptr<TWGraphic> shapeOfKind(int kind, Rect bounds)
{
    switch (kind % 7) {
    case 0:
        return TWGraphic::make<TWLine>(bounds);
    case 1:
        return TWGraphic::make<TWRectangle>(bounds);
    case 2:
        return TWGraphic::make<TWCircle>(bounds);
    case 3:
        return TWGraphic::make<TWImage>(bounds);
    case 4:
        return TWGraphic::make<TWFlexiBranch>(bounds);
    case 5:
        return TWGraphic::make<TWCloud>(bounds);
    default:
        return TWGraphic::make<TWCustomBranchShape>(bounds);
    }
}

// A text of `runs` runs, each in its own font and colour.
inline AttributedString styledText(int number, int runs)
{
    AttributedString text;
    for (int i = 0; i < runs; ++i) {
        const QString part = QStringLiteral("Branch %1 part %2 & more ").arg(number).arg(i);
        text.appendAttributedString(AttributedString(
            part,
            {{NSFontAttributeName, QVariant::fromValue(Font(i % 2 ? QStringLiteral("Helvetica-Bold")
                                                                  : QStringLiteral("Times-Roman"),
                                                            12 + i))},
             {NSForegroundColorAttributeName,
              QVariant::fromValue(Color::colorWithCalibratedRed(0, 0, 0.1 * i, 1))}}));
    }
    return text;
}

// Deterministic picture bytes that compress about as badly as real ones.
inline QByteArray pictureBytes(int size, quint32 seed)
{
    QByteArray data(size, Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 1;
    for (char &c : data) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = char(x);
    }
    return data;
}

// How the branches hang together: `fanOut` children a branch, or, with 0,
// ten first-level branches over chains about 25 branches long. Only the
// second keeps a large map within the model's coordinate range once laid
// out (its height goes with the number of leaves), as a map a user lays
// out must be.
inline std::shared_ptr<TWMapsDoc> makeDocument(int count, int fanOut = 8)
{
    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::create();
    std::shared_ptr<TWMap> map = TWMap::create(document.get());
    document->addMap(map, true);
    QList<std::shared_ptr<TWMapBranch>> branches{map->root()};
    map->root()->enclosedTextArea()->setText(styledText(0, 3));
    const int heads = std::max(10, count / 25);
    QList<TWMapBranch *> tails;
    for (int n = 1; n < count; ++n) {
        TWMapBranch *parent;
        if (fanOut > 0)
            parent = branches.at((n - 1) / fanOut).get();
        else if (n <= 10)
            parent = map->root().get();
        else if (n <= 10 + heads)
            parent = branches.at(1 + (n - 11) % 10).get();
        else
            parent = tails.at((n - 11 - heads) % heads);
        const Rect bounds(float(n % 900), float(n % 700), 120.5f, 48.25f);
        // Deeper branches join the map at the end: the map's graphic-number
        // index would be rebuilt for every one of them.
        auto branch = TWMapBranch::createWithGraphic(
            shapeOfKind(n, bounds), parent, parent == map->root().get() ? map.get() : nullptr);
        branch->enclosedTextArea()->setText(styledText(n, 3));
        if (n % 3 == 0) {
            branch->setPriority(n % 9);
            branch->setPercentageComplete(float(n % 100));
            branch->setDuration(2.5f);
        }
        if (n % 5 == 0)
            branch->setPrimaryAttachedText(
                std::make_shared<const AttributedString>(styledText(n, 2)));
        if (n % 7 == 0)
            branch->insertObjectInHyperlinksAtIndex(
                std::make_shared<TWHyperlink>(2, QStringLiteral("https://example.org/%1").arg(n),
                                              std::nullopt, std::nullopt, std::nullopt),
                0);
        if (n % 11 == 0)
            branch->setHasBoundary(true);
        if (n % 13 == 0)
            branch->insertObjectInLinkedGraphicsAtIndex(
                TWGraphic::make<TWCircle>(Rect(bounds.x() + 130, bounds.y(), 20, 20)), 0);
        if (n % 20 == 0) {
            const QString path = QStringLiteral("Images/Branch%1/Graphic%2/ExtractedImage.png")
                                     .arg(n)
                                     .arg(branch->mainGraphic()->graphicNumber());
            auto picture = TWGraphic::make<TWImage>(Rect(bounds.x(), bounds.y(), 32, 32));
            picture->setImageFilename(path);
            branch->setEnclosedImage(picture);
            document->setObjectInCachedData(pictureBytes(8192, quint32(n)), path);
        }
        if (n % 50 == 0) {
            auto line = TWGraphic::make<TWLinkLine>();
            line->connect(branch->mainGraphic(), branches.at(n / 2)->mainGraphic());
            // As the canvas makes them: a curve between the two ends.
            line->calculateDefaultIntermediatePoints();
            map->insertObjectInLinkLinesAtIndex(line, map->countOfLinkLines());
        }
        branches.append(branch);
        if (fanOut <= 0 && n > 10) {
            if (n <= 10 + heads)
                tails.append(branch.get());
            else
                tails[(n - 11 - heads) % heads] = branch.get();
        }
    }
    map->reparent();
    // Every level shown, as branches added by hand leave it.
    map->setBranchHideLevel(map->root()->getMaximumBranchLevel());
    return document;
}

} // namespace BranchDocument
