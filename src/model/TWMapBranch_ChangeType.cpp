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
#include "platform/TWPreferences.h"

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

} // namespace

void TWMapBranch::changeToBranchType(int code)
{
    const std::shared_ptr<TWMapBranch> keep = shared_from_this();
    const std::shared_ptr<TWGraphic> old = m_mainGraphic;
    if (!old)
        return;
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.post(TWGraphic::GraphicNeedsRedrawNotification, old->notificationObject());

    const std::shared_ptr<TWGraphic> shape = shapeOfType(code);
    carrySettings(*old, *shape, code);
    shape->setBranch(this);
    auto *flexi = dynamic_cast<TWFlexiBranch *>(shape.get());
    if (flexi)
        flexi->initializePoints();
    TWMap *owner = map();
    const bool wasSelected = owner && owner->isGraphicSelected(old.get());
    setMainGraphic(shape);
    if (owner)
        owner->removeAllGraphicOrderCache();

    const std::shared_ptr<TWTextArea> text = m_enclosedTextArea;
    const bool editing = text && text->isEditing();
    if (editing)
        text->setIsEditing(false);

    if (!enclosedImage() && text) {
        const Rect t = text->bounds();
        const Rect o = old->bounds();
        if (dynamic_cast<const TWLine *>(old.get())) {
            const bool tall = dynamic_cast<TWCircle *>(shape.get()) &&
                              (m_textRelativePosition == 1 || m_textRelativePosition == 3);
            const float height = t.height() + (tall ? 12 : 6);
            shape->setBounds(Rect(o.x(), o.y() - height, o.width(), height));
        } else if (dynamic_cast<TWLine *>(shape.get())) {
            shape->setBounds(Rect(o.x(), t.maxY() + 3, o.width(), 0));
            shape->setDrawsStroke(true);
        }
        if (flexi) {
            flexi->initializePoints();
            shape->setCachedBezierPath(nullptr);
            text->removeAllCachedFlexiCharacters();
            center.post(TWGraphic::GraphicNeedsRedrawNotification, text->notificationObject());
        }
    }
    if (!old->canDrawStroke() && shape->canDrawStroke())
        shape->setDrawsStroke(true);
    if (!old->canDrawFill() && shape->canDrawFill())
        shape->setDrawsFill(true);

    // Connections find their ends by graphic number.
    if (TWMapBranch *up = parent()) {
        if (auto *title = dynamic_cast<TWTitleConnection *>(m_connectionGraphic.get()))
            title->setConnectedGraphicNumber(shape->graphicNumber());
        else if (auto *child = dynamic_cast<TWChildConnection *>(m_connectionGraphic.get()))
            child->setChildGraphicNumber(shape->graphicNumber());
        if (m_connectionGraphic)
            m_connectionGraphic->updateBounds();
        (void)up;
    }
    for (const std::shared_ptr<TWMapBranch> &child : m_children) {
        const std::shared_ptr<TWConnectionGraphic> &connection = child->connectionGraphic();
        if (!connection)
            continue;
        if (parent()) {
            if (auto *c = dynamic_cast<TWChildConnection *>(connection.get()))
                c->setParentGraphicNumber(shape->graphicNumber());
        }
        connection->updateBounds();
    }

    if (owner && wasSelected) {
        owner->removeSelectedGraphic(old.get());
        shape->tryToSelect();
    }
    center.post(TWGraphic::GraphicNeedsRedrawNotification, shape->notificationObject());
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
    center.post(TWGraphic::BranchDidResizeNotification, notificationObject(),
                {{TWGraphic::BranchKey, QVariant::fromValue(keep)}});
    if (editing)
        text->setIsEditing(true);
}
