// The user's operations on the graphics around a branch: attached graphics,
// adornments and the boundary.

#include "graphics/TWCircle.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWImage.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch_Private.h"
#include "model/TWMapBranch_PublicInterfaceSupport.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/Random.h"
#include "platform/TWLocalizedString.h"
#include "support/Image.h"
#include "support/TWPreferences.h"

#include <QAction>
#include <QDebug>
#include <QPointF>
#include <QSizeF>

namespace {

constexpr float DefaultLinkedSize = 50;
constexpr float LinkedOffset = 20;

// Swaps two attached graphics' places with an inverse that swaps them back.
void swapLinkedGraphics(const std::shared_ptr<TWMapBranch> &branch, int first, int second)
{
    branch->exchangeLinkedGraphicsAtIndexes(first, second);
    UndoManager::registerUndo(branch->undoManager(), [branch, first, second] {
        swapLinkedGraphics(branch, first, second);
    });
}

void setOutline(TWGraphic &graphic, bool drawn, bool inherited)
{
    graphic.setDrawsFill(drawn);
    graphic.setDrawsStroke(drawn);
    graphic.setStrokeWidth(1.0f);
    graphic.setInheritsFill(inherited);
    graphic.setInheritsStroke(inherited);
}

Rect shapeAndLabel(const TWMapBranch &branch)
{
    return branch.branchBounds().unitedKeepingLines(
        branch.mainGraphic() ? branch.mainGraphic()->bounds() : Rect());
}

// Where a new attached picture that the layout does not place (the free
// layout moves nothing aside) covers neither its branch's label nor any
// other branch or attached graphic shown: above the branch, below it or on
// its outer side, as near as the map allows; the old place above the label
// when the map is too crowded for any.
Point freeSpotForPicture(TWMapBranch &branch, Size size, Point fallback)
{
    constexpr float Gap = 6, Step = 12;
    constexpr int Steps = 12;
    const TWMap *map = branch.map();
    if (!map || !map->root())
        return fallback;
    QList<Rect> taken;
    TWMapBranch::BranchList shown;
    map->root()->allDescendantsIntoArray(shown, false);
    for (const std::shared_ptr<TWMapBranch> &b : std::as_const(shown)) {
        taken.append(shapeAndLabel(*b));
        for (const std::shared_ptr<TWGraphic> &g : b->linkedGraphics())
            taken.append(g->bounds());
    }
    const Rect own = shapeAndLabel(branch);
    const bool left = branch.isToLeftOfRoot();
    const auto isFree = [&](Rect r) {
        return std::none_of(taken.cbegin(), taken.cend(),
                            [&](const Rect &t) { return t.intersects(r); });
    };
    for (int k = 0; k < Steps; ++k) {
        const float d = Gap + Step * float(k);
        const Rect candidates[] = {
            {own.x(), own.y() - d - size.height, size.width, size.height},
            {own.x(), own.maxY() + d, size.width, size.height},
            {left ? own.x() - d - size.width : own.maxX() + d, own.midY() - size.height / 2,
             size.width, size.height},
        };
        for (const Rect &r : candidates) {
            if (isFree(r))
                return r.origin;
        }
    }
    return fallback;
}

} // namespace

// --- attached graphics ---

void TWMapBranch::publicAddLinkedGraphic(const std::shared_ptr<TWGraphic> &graphic)
{
    if (!graphic)
        return;
    const std::shared_ptr<TWMapBranch> self = shared_from_this();
    insertObjectInLinkedGraphicsAtIndex(graphic, 0);
    // Highest z-order first, equal ones kept in their order.
    for (int i = 1; i < m_linkedGraphics.size(); ++i) {
        for (int j = i; j > 0 && attachedGraphicOrderFunction(*m_linkedGraphics.at(j - 1),
                                                              *m_linkedGraphics.at(j)) > 0;
             --j)
            swapLinkedGraphics(self, j - 1, j);
    }
    removeGraphicOrderCache();
    nameUndoAction("Add linked graphic");
    NotificationCenter::defaultCenter().post(LinkedGraphicAddedNotification,
                                             graphic->notificationObject());
}

std::shared_ptr<TWGraphic>
TWMapBranch::publicCreateLinkedGraphicOfType(int type, Size size, std::optional<Point> position,
                                             const QVariant &userData)
{
    std::shared_ptr<TWGraphic> graphic;
    const char *actionName = nullptr;
    switch (type) {
    case LinkedRectangle:
        graphic = TWGraphic::make<TWRectangle>();
        setOutline(*graphic, true, true);
        actionName = "Attach Rectangle";
        break;
    case LinkedOval:
        graphic = TWGraphic::make<TWCircle>();
        setOutline(*graphic, true, true);
        actionName = "Attach Oval";
        break;
    case LinkedImage:
        if (userData.metaType() == QMetaType::fromType<Image>()) {
            graphic = TWGraphic::make<TWImage>();
            setOutline(*graphic, false, true);
            actionName = "Attach Image";
        }
        break;
    case LinkedText: {
        auto text = TWGraphic::make<TWTextArea>();
        setOutline(*text, false, false);
        text->setText(AttributedString(
            TWLocalizedString(StringTable::DadoZiz, QStringLiteral("New Text Attachment")),
            {{NSFontAttributeName, QVariant::fromValue(TWPreferences::attachedGraphicFont())}}));
        graphic = text;
        actionName = "Attach Text";
        break;
    }
    case LinkedPackageImage:
        if (userData.metaType() == QMetaType::fromType<QVariantMap>() &&
            userData.toMap().value(QStringLiteral("data")).metaType() ==
                QMetaType::fromType<QByteArray>()) {
            graphic = TWGraphic::make<TWImage>();
            setOutline(*graphic, false, true);
            actionName = "Add linked graphic";
        }
        break;
    default:
        break;
    }
    if (!graphic) {
        qWarning().noquote() << QStringLiteral("Unable to create branch of type %1").arg(type);
        Alerts::current().beep();
        return nullptr;
    }

    if (type == LinkedPackageImage) {
        const QVariantMap picture = userData.toMap();
        const QString path =
            QStringLiteral("Images/Branch%1/Graphic%2/%3.%4")
                .arg(QString::number(m_branchNumber), QString::number(graphic->graphicNumber()),
                     QString::number(Random::next()),
                     TWBranchOperations::safeExtension(
                         picture.value(QStringLiteral("type")).toString()));
        if (TWMapsDoc *document = map() ? map()->document() : nullptr)
            document->setObjectInCachedData(picture.value(QStringLiteral("data")).toByteArray(),
                                            path);
        graphic->setImageFilename(path);
    }
    if (m_mainGraphic && m_mainGraphic->drawsShadow())
        graphic->setDrawsShadow(true);

    const Size shown =
        size.width > 0 && size.height > 0 ? size : Size(DefaultLinkedSize, DefaultLinkedSize);
    const Rect around = branchBounds();
    Point origin =
        position ? *position : Point(around.x() + LinkedOffset, around.y() - LinkedOffset);
    const bool picture = type == LinkedImage || type == LinkedPackageImage;
    if (picture && !position) {
        const std::optional<Point> spot = layoutServices().spotForAttachedPicture(*this, shown);
        origin = spot ? *spot : freeSpotForPicture(*this, shown, origin);
    }
    graphic->setBounds(Rect(origin.x, origin.y, shown.width, shown.height));

    graphic->setInternalOrdering(getMinimumAttachedGraphicNumber() - 1);
    graphic->setBranch(this);
    if (TWMap *m = map())
        m->setShowAttachedGraphics(true);
    if (type == LinkedText) {
        auto *text = static_cast<TWTextArea *>(graphic.get());
        text->publicSetTextAndResize(AttributedString(text->text()));
    }
    insertObjectInLinkedGraphicsAtIndex(graphic, 0);
    removeGraphicOrderCache();
    // An attached picture is part of the room the layout keeps for the branch.
    if (picture && parent()) {
        layoutServices().updateBoundaryForChangedChild(*this, *this);
        layoutServices().makeRoomForBranch(*this);
    }
    nameUndoAction(actionName);
    graphic->applyAutoStyle();
    NotificationCenter::defaultCenter().post(LinkedGraphicAddedNotification,
                                             graphic->notificationObject());
    return graphic;
}

std::shared_ptr<TWGraphic>
TWMapBranch::publicCreateLinkedGraphicWithOptions(const QVariantMap &options)
{
    const QVariant type = options.value(QStringLiteral("gType"));
    const QVariant size = options.value(QStringLiteral("size"));
    const QVariant location = options.value(QStringLiteral("location"));
    std::optional<Point> position;
    if (location.isValid())
        position = Point::fromQt(location.toPointF());
    return publicCreateLinkedGraphicOfType(type.isValid() ? type.toInt() : -1,
                                           size.isValid() ? Size::fromQt(size.toSizeF()) : Size(),
                                           position, options.value(QStringLiteral("userData")));
}

std::shared_ptr<TWGraphic>
TWMapBranch::publicCreateLinkedGraphicFromMenuItem(const QObject *menuItem)
{
    const auto *item = qobject_cast<const QAction *>(menuItem);
    return publicCreateLinkedGraphicWithOptions(item ? item->data().toMap() : QVariantMap());
}

void TWMapBranch::publicRemoveLinkedGraphicAtIndex(int index)
{
    if (!TWBranchOperations::checkIndex(index, countOfLinkedGraphics(), "Remove linked graphic"))
        return;
    removeObjectFromLinkedGraphicsAtIndex(index);
    nameUndoAction("Remove linked graphic");
    postBranch(LinkedGraphicRemovedNotification);
}

// --- adornments ---

void TWMapBranch::publicAddAdornment(const std::shared_ptr<TWEnclosedGraphic> &adornment)
{
    publicAddAdornment(adornment, countOfOtherEnclosedGraphics());
}

void TWMapBranch::publicAddAdornment(const std::shared_ptr<TWEnclosedGraphic> &adornment, int index)
{
    if (!adornment ||
        !TWBranchOperations::checkIndex(index, countOfOtherEnclosedGraphics() + 1, "Add adornment"))
        return;
    insertObjectInOtherEnclosedGraphicsAtIndex(adornment, index);
    nameUndoAction("Add adornment");
    postBranch(AddAdornmentNotification);
}

void TWMapBranch::publicRemoveAdornmentAtIndex(int index)
{
    if (!TWBranchOperations::checkIndex(index, countOfOtherEnclosedGraphics(), "Remove adornment"))
        return;
    removeObjectFromOtherEnclosedGraphicsAtIndex(index);
    nameUndoAction("Remove adornment");
    postBranch(RemoveAdornmentNotification);
}

// --- boundary ---

void TWMapBranch::publicSetHasBoundary(bool has)
{
    if (has == hasBoundary())
        return;
    setHasBoundary(has);
    if (has) {
        // A boundary that comes back starts from the default look.
        setBoundaryDrawsFill(false);
        setBoundaryFillColor(Color::whiteColor());
        setBoundaryInheritsLineColor(true);
        setBoundaryDrawsLine(false);
        setBoundaryLineColor(Color::blackColor());
        setBoundaryLineStyle(1);
        setBoundaryLineWidth(1.0f);
        setBoundaryCornerStyle(1);
        setBoundaryCurveRadius(10.0f);
        setBoundaryMargin(3.0f);
        nameUndoAction("Add boundary");
        postBranch(AddBoundaryNotification);
    } else {
        nameUndoAction("Remove boundary");
        postBranch(RemoveBoundaryNotification);
    }
}

void TWMapBranch::publicSetBoundaryLineColor(const std::optional<Color> &color)
{
    setBoundaryLineColor(color);
    nameUndoAction("Set boundary line color");
    postBranch(SetBoundaryLineColorNotification);
}

void TWMapBranch::publicSetBoundaryFillColor(const std::optional<Color> &color)
{
    setBoundaryFillColor(color);
    nameUndoAction("Set boundary fill color");
    postBranch(SetBoundaryFillColorNotification);
}

void TWMapBranch::publicSetBoundaryLineStyle(int style)
{
    setBoundaryLineStyle(style);
    nameUndoAction("Set boundary line style");
    postBranch(SetBoundaryLineStyleNotification);
}

void TWMapBranch::publicSetBoundaryCornerStyle(int style)
{
    setBoundaryCornerStyle(style);
    nameUndoAction("Set boundary corner style");
    postBranch(SetBoundaryCornerStyleNotification);
}

void TWMapBranch::publicSetBoundaryInheritsLineColor(bool inherits)
{
    setBoundaryInheritsLineColor(inherits);
    nameUndoAction("Set boundary line style");
    postBranch(SetBoundaryLineStyleNotification);
}

void TWMapBranch::publicSetBoundaryDrawsFill(bool draws)
{
    setBoundaryDrawsFill(draws);
    nameUndoAction("Set boundary draws fill");
    postBranch(SetBoundaryDrawsFillNotification);
}

void TWMapBranch::publicSetBoundaryDrawsLine(bool draws)
{
    setBoundaryDrawsLine(draws);
    nameUndoAction("Set boundary line style");
    postBranch(SetBoundaryLineStyleNotification);
}

void TWMapBranch::publicSetBoundaryLineWidth(float width, bool isCommitting)
{
    // The committing call usually repeats the last live value: it still
    // names the step the live calls made.
    if (width != boundaryLineWidth()) {
        setBoundaryLineWidth(width);
        postBranch(SetBoundaryLineWidthNotification);
    }
    if (isCommitting)
        nameUndoAction("Set boundary line width");
}

void TWMapBranch::publicSetBoundaryCurveRadius(float radius, bool isCommitting)
{
    // The committing call usually repeats the last live value: it still
    // names the step the live calls made.
    if (radius != boundaryCurveRadius()) {
        setBoundaryCurveRadius(radius);
        postBranch(SetBoundaryCurveRadiusNotification);
    }
    if (isCommitting)
        nameUndoAction("Set boundary curve radius");
}

void TWMapBranch::publicSetBoundaryMargin(float margin, bool isCommitting)
{
    // The committing call usually repeats the last live value: it still
    // names the step the live calls made.
    if (margin != boundaryMargin()) {
        setBoundaryMargin(margin);
        postBranch(SetBoundaryMarginNotification);
    }
    if (isCommitting)
        nameUndoAction("Set boundary margin");
}
