#include "graphics/TWChildConnection.h"
#include "graphics/TWCircle.h"
#include "graphics/TWCloud.h"
#include "graphics/TWCustomBranchShape.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWImage.h"
#include "graphics/TWLine.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWTextArea.h"
#include "graphics/TWTitleConnection.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/NotificationCenter.h"
#include "platform/UndoManager.h"
#include "support/TWPreferences.h"

#include <typeinfo>

namespace {

std::shared_ptr<TWGraphic> shapeOfType(int code)
{
    switch (code) {
    case 2:
        return TWGraphic::make<TWRectangle>();
    case 3:
        return TWGraphic::make<TWCircle>();
    case 4:
        return TWGraphic::make<TWImage>();
    case 5:
        return TWGraphic::make<TWFlexiBranch>();
    case 6:
        return TWGraphic::make<TWCloud>();
    case 7:
        return TWGraphic::make<TWCustomBranchShape>();
    default:
        // Logs an unknown code; a line stands in for it.
        TWMapBranch::classForBranchType(code);
        return TWGraphic::make<TWLine>();
    }
}

// What the user set on the old shape goes to the new one.
void carrySettings(const TWGraphic &from, TWGraphic &to, int code)
{
    to.setBounds(from.bounds());
    to.setDrawsStroke(from.drawsStroke());
    to.setStrokeWidth(from.strokeWidth());
    to.setStrokeStyle(from.strokeStyle());
    to.setStrokeColor(from.strokeColor());
    to.setDrawsFill(from.drawsFill());
    to.setFillColor(from.fillColor());
    to.setInheritsShadow(from.inheritsShadow());
    to.setDrawsShadow(from.drawsShadow());
    to.setShadow(from.shadow());
    to.setInheritsFill(from.inheritsFill());
    to.setInheritsStroke(from.inheritsStroke());
    to.setInternalOrdering(from.internalOrdering());
    to.setStyleID(from.styleID());
    to.setGraphicNumber(from.graphicNumber());
    to.setFlippedHorizontally(from.flippedHorizontally());
    to.setFlippedVertically(from.flippedVertically());
    to.setCachedBounds(from.cachedBounds());
    to.setCachedBezierPath(nullptr);
    if (code == 2) {
        to.setCornerMode(TWPreferences::rectCornerMode());
        to.setCornerAmount(15.0f);
    } else {
        to.setCornerMode(from.cornerMode());
        to.setCornerAmount(from.cornerAmount());
    }
    to.setDrawnZoomAmount(from.drawnZoomAmount());
    to.setManipulatingBounds(from.manipulatingBounds());
    to.setMoviePath(from.moviePath());
    to.setMovieReferenceStyle(from.movieReferenceStyle());
    if (from.shapeName())
        to.setShapeName(from.shapeName());
    to.setUpdateNotificationsDisabled(from.updateNotificationsDisabled());
}

// Link lines find their ends by graphic number, and the selection holds
// graphics; undo and redo swap the shapes back without telling either. So a
// type change brackets its step with a pair of closures: the one that runs
// last in a replay, once the other shape is back in place, points the lines
// and the selection at the shape that now has the number. Each registers
// its partner, so redo and the next undo do the same.
void followShape(const std::weak_ptr<TWMap> &weakMap, long number, bool resolveNow)
{
    const std::shared_ptr<TWMap> map = weakMap.lock();
    if (!map)
        return;
    if (resolveNow) {
        for (const std::shared_ptr<TWLinkLine> &line : map->linkLines()) {
            if (line->startGraphicNumber() == number)
                line->setStartGraphicNumber(number);
            if (line->endGraphicNumber() == number)
                line->setEndGraphicNumber(number);
        }
        if (const std::shared_ptr<TWGraphic> shape = map->findGraphicWithGraphicNumber(number)) {
            for (int i = map->countOfSelectedGraphics() - 1; i >= 0; --i) {
                const std::shared_ptr<TWGraphic> selected = map->objectInSelectedGraphicsAtIndex(i);
                if (selected == shape || selected->graphicNumber() != number)
                    continue;
                if (map->isGraphicSelected(shape.get()))
                    map->removeObjectFromSelectedGraphicsAtIndex(i);
                else
                    map->replaceObjectInSelectedGraphicsAtIndex(i, shape);
            }
        }
    }
    UndoManager::registerUndo(map->undoManager(), [weakMap, number, resolveNow] {
        followShape(weakMap, number, !resolveNow);
    });
}

void registerFollowShape(TWMap *map, long number, bool resolveWhenRun)
{
    if (!map)
        return;
    std::weak_ptr<TWMap> weakMap = map->weak_from_this();
    UndoManager::registerUndo(map->undoManager(), [weakMap, number, resolveWhenRun] {
        followShape(weakMap, number, resolveWhenRun);
    });
}

} // namespace

void TWMapBranch::setBranchType(int code)
{
    changeToBranchType(code);
}

void TWMapBranch::changeToBranchType(int code)
{
    const std::shared_ptr<TWMapBranch> keep = shared_from_this();
    const std::shared_ptr<TWGraphic> old = m_mainGraphic;
    if (!old)
        return;
    TWMap *owner = map();
    // Runs last when the step is undone.
    registerFollowShape(owner, old->graphicNumber(), true);
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.post(TWGraphic::GraphicNeedsRedrawNotification, old->notificationObject());

    const std::shared_ptr<TWGraphic> shape = shapeOfType(code);
    carrySettings(*old, *shape, code);
    shape->setBranch(this);
    auto *flexi = dynamic_cast<TWFlexiBranch *>(shape.get());
    if (flexi)
        flexi->initializePoints();
    const bool wasSelected = owner && owner->isGraphicSelected(old.get());
    setMainGraphic(shape);
    if (owner)
        owner->removeAllGraphicOrderCache();

    const std::shared_ptr<TWTextArea> text = m_enclosedTextArea;
    const bool editing = text && text->isEditing();
    if (editing)
        text->setIsEditing(false);
    const Rect t = text ? text->bounds() : Rect();
    const bool textAtTopOrBottom = m_textRelativePosition == 1 || m_textRelativePosition == 3;
    const bool circle = dynamic_cast<TWCircle *>(shape.get()) != nullptr;

    if (!enclosedImage()) {
        const Rect o = old->bounds();
        if (dynamic_cast<const TWLine *>(old.get())) {
            // The shape rises above the line's place.
            const float height = t.height() + (circle && textAtTopOrBottom ? 12 : 6);
            shape->setBounds(Rect(o.x(), o.y() - height, o.width(), height));
        } else if (dynamic_cast<TWLine *>(shape.get())) {
            shape->setBounds(Rect(o.x(), t.maxY() + 3, o.width(), 0));
            shape->setDrawsStroke(true);
        }
        if (flexi) {
            flexi->initializePoints();
            shape->setCachedBezierPath(nullptr);
            if (text) {
                text->removeAllCachedFlexiCharacters();
                center.post(TWGraphic::GraphicNeedsRedrawNotification, text->notificationObject());
            }
        }
    }
    // A circle leaves room for text above or below the middle.
    if (circle && textAtTopOrBottom && t.height() + 12 > shape->bounds().height()) {
        const Rect b = shape->bounds();
        const float height = t.height() + 12;
        shape->setBounds(Rect(b.x(), b.maxY() - height, b.width(), height));
    }
    if (!old->canDrawStroke() && shape->canDrawStroke())
        shape->setDrawsStroke(true);
    if (!old->canDrawFill() && shape->canDrawFill())
        shape->setDrawsFill(true);
    if (flexi && typeid(*flexi) == typeid(TWFlexiBranch)) {
        flexi->initializePoints();
        if (text)
            text->removeAllCachedFlexiCharacters();
        shape->setCachedBezierPath(nullptr);
    }

    // Connections find their ends by graphic number.
    TWMapBranch *up = parent();
    if (up && m_connectionGraphic) {
        // A first-level branch hangs on a title connection, deeper ones on
        // child connections.
        if (auto *title = dynamic_cast<TWTitleConnection *>(m_connectionGraphic.get()))
            title->setConnectedGraphicNumber(shape->graphicNumber());
        else if (auto *child = dynamic_cast<TWChildConnection *>(m_connectionGraphic.get()))
            child->setChildGraphicNumber(shape->graphicNumber());
        m_connectionGraphic->updateBounds();
    }
    for (const std::shared_ptr<TWMapBranch> &child : m_children) {
        const std::shared_ptr<TWConnectionGraphic> &connection = child->connectionGraphic();
        if (!connection)
            continue;
        if (up) {
            if (auto *c = dynamic_cast<TWChildConnection *>(connection.get()))
                c->setParentGraphicNumber(shape->graphicNumber());
        }
        connection->updateBounds();
    }

    if (owner) {
        if (wasSelected) {
            owner->removeSelectedGraphic(old.get());
            shape->tryToSelect();
        }
        if (flexi && text && owner->isGraphicSelected(text.get())) {
            owner->removeSelectedGraphic(text.get());
            shape->tryToSelect();
        }
    }
    center.post(TWGraphic::GraphicNeedsRedrawNotification, m_mainGraphic->notificationObject());
    for (const std::shared_ptr<TWGraphic> &graphic : m_linkedGraphics)
        center.post(TWGraphic::GraphicNeedsRedrawNotification, graphic->notificationObject());

    if (owner) {
        for (const std::shared_ptr<TWLinkLine> &line :
             owner->linkLinesStartingOrEndingWithGraphic(old.get())) {
            if (line->startGraphicNumber() == old->graphicNumber())
                line->setStartGraphicNumber(shape->graphicNumber());
            if (line->endGraphicNumber() == old->graphicNumber())
                line->setEndGraphicNumber(shape->graphicNumber());
        }
    }
    registerFollowShape(owner, old->graphicNumber(), false);
    center.post(TWGraphic::BranchDidResizeNotification, notificationObject(),
                {{TWGraphic::BranchKey, QVariant::fromValue(keep)}});
    if (editing)
        text->setIsEditing(true);
}
