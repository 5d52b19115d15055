#include "model/TWMapConnectionRebuild.h"
#include "graphics/TWChildConnection.h"
#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWTitleConnection.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "support/BezierPath.h"

namespace {
std::shared_ptr<TWConnectionFactory> &installedFactory()
{
    static std::shared_ptr<TWConnectionFactory> factory;
    return factory;
}

long numberOf(const std::shared_ptr<TWGraphic> &graphic)
{
    return graphic ? graphic->graphicNumber() : 0;
}

Point centreOf(const TWMapBranch *branch)
{
    const Rect r = branch && branch->mainGraphic() ? branch->mainGraphic()->bounds() : Rect();
    return {r.x() + r.width() / 2, r.y() + r.height() / 2};
}

// Points a connection of the right kind at the current graphics.
void renumber(TWConnectionGraphic &connection, TWConnectionKind kind, const TWMapBranch &branch,
              TWConnectionFactory &factory)
{
    if (kind == TWConnectionKind::Title) {
        factory.setConnectedGraphicNumber(connection, numberOf(branch.mainGraphic()));
    } else {
        const TWMapBranch *parent = branch.parent();
        factory.setParentAndChildGraphicNumbers(connection,
                                                numberOf(parent ? parent->mainGraphic() : nullptr),
                                                numberOf(branch.mainGraphic()));
    }
}

void resetOne(TWMapBranch &branch, TWConnectionFactory &factory)
{
    const std::optional<TWConnectionKind> kind = TWMapConnectionRebuild::rightKindFor(branch);
    if (!kind)
        return;
    const std::shared_ptr<TWConnectionGraphic> existing = branch.connectionGraphic();
    if (existing && factory.kindOf(*existing) == kind) {
        existing->setBranch(&branch);
        renumber(*existing, *kind, branch, factory);
    } else {
        const std::shared_ptr<TWConnectionGraphic> fresh = factory.makeConnection(*kind);
        if (!fresh)
            return;
        branch.setConnectionGraphic(fresh);
        fresh->setBranch(&branch);
        renumber(*fresh, *kind, branch, factory);
        if (*kind == TWConnectionKind::Title)
            factory.setPosition(*fresh, centreOf(branch.parent()));
        factory.applySettings(*fresh, TWConnectionSettings());
        fresh->setDrawsFill(*kind == TWConnectionKind::Title);
        fresh->setDrawsStroke(true);
    }
    if (const std::shared_ptr<TWConnectionGraphic> &connection = branch.connectionGraphic())
        connection->updateBounds();
}

void resolveOne(TWMapBranch &branch, TWConnectionFactory &factory)
{
    const std::optional<TWConnectionKind> kind = TWMapConnectionRebuild::rightKindFor(branch);
    if (!kind)
        return;
    const std::shared_ptr<TWConnectionGraphic> existing = branch.connectionGraphic();
    if (existing && factory.kindOf(*existing) == kind) {
        renumber(*existing, *kind, branch, factory);
        existing->setCachedBezierPath(nullptr);
    } else {
        const std::shared_ptr<TWConnectionGraphic> fresh =
            *kind == TWConnectionKind::Title
                ? factory.makeTitleConnection(branch.mainGraphic(), centreOf(branch.parent()))
                : factory.makeChildConnection(branch.parent()->mainGraphic(), branch.mainGraphic());
        if (!fresh)
            return;
        if (existing) {
            TWMapConnectionRebuild::carrySettings(*existing, *fresh, *kind, factory);
        } else {
            factory.applySettings(*fresh, TWConnectionSettings());
            fresh->setDrawsFill(*kind == TWConnectionKind::Title);
        }
        branch.setConnectionGraphic(fresh);
    }
    if (const std::shared_ptr<TWConnectionGraphic> &connection = branch.connectionGraphic())
        connection->updateBounds();
}
} // namespace

// --- the factory ---

TWConnectionFactory &TWConnectionFactory::installed()
{
    if (const std::shared_ptr<TWConnectionFactory> &factory = installedFactory())
        return *factory;
    static TWConnectionKindsFactory kinds;
    return kinds;
}

void TWConnectionFactory::install(std::shared_ptr<TWConnectionFactory> factory)
{
    installedFactory() = std::move(factory);
}

std::optional<TWConnectionKind>
TWConnectionKindsFactory::kindOf(const TWConnectionGraphic &connection) const
{
    if (dynamic_cast<const TWTitleConnection *>(&connection))
        return TWConnectionKind::Title;
    if (dynamic_cast<const TWChildConnection *>(&connection))
        return TWConnectionKind::Child;
    return std::nullopt;
}

std::shared_ptr<TWConnectionGraphic> TWConnectionKindsFactory::makeConnection(TWConnectionKind kind)
{
    if (kind == TWConnectionKind::Title)
        return TWTitleConnection::create(nullptr, Point());
    return TWChildConnection::create(nullptr, nullptr);
}

std::shared_ptr<TWConnectionGraphic>
TWConnectionKindsFactory::makeTitleConnection(const std::shared_ptr<TWGraphic> &graphic,
                                              Point position)
{
    return TWTitleConnection::create(graphic, position);
}

std::shared_ptr<TWConnectionGraphic>
TWConnectionKindsFactory::makeChildConnection(const std::shared_ptr<TWGraphic> &parent,
                                              const std::shared_ptr<TWGraphic> &child)
{
    return TWChildConnection::create(parent, child);
}

TWConnectionGraphicNumbers
TWConnectionKindsFactory::graphicNumbers(const TWConnectionGraphic &connection) const
{
    TWConnectionGraphicNumbers numbers;
    if (const auto *title = dynamic_cast<const TWTitleConnection *>(&connection)) {
        numbers.connected = title->connectedGraphicNumber();
    } else if (const auto *child = dynamic_cast<const TWChildConnection *>(&connection)) {
        numbers.parent = child->parentGraphicNumber();
        numbers.child = child->childGraphicNumber();
    }
    return numbers;
}

namespace {
// The shape with that number among the connection's branch's and its parent's
// shapes, for a branch the map cannot find yet.
std::shared_ptr<TWGraphic> nearbyShape(const TWConnectionGraphic &connection, long number,
                                       bool parentEnd)
{
    const TWMapBranch *branch = connection.branch();
    if (branch && parentEnd)
        branch = branch->parent();
    const std::shared_ptr<TWGraphic> shape = branch ? branch->mainGraphic() : nullptr;
    return shape && number != 0 && shape->graphicNumber() == number ? shape : nullptr;
}
} // namespace

void TWConnectionKindsFactory::setConnectedGraphicNumber(TWConnectionGraphic &connection,
                                                         long number)
{
    auto *title = dynamic_cast<TWTitleConnection *>(&connection);
    if (!title)
        return;
    title->setConnectedGraphicNumber(number);
    if (!title->connectedGraphic()) {
        if (std::shared_ptr<TWGraphic> shape = nearbyShape(connection, number, false))
            title->setConnectedGraphic(shape);
    }
}

void TWConnectionKindsFactory::setParentAndChildGraphicNumbers(TWConnectionGraphic &connection,
                                                               long parent, long child)
{
    auto *c = dynamic_cast<TWChildConnection *>(&connection);
    if (!c)
        return;
    // One number at a time: each is a hash lookup in the map.
    c->setParentGraphicNumber(parent);
    c->setChildGraphicNumber(child);
    if (!c->parentGraphic()) {
        if (std::shared_ptr<TWGraphic> shape = nearbyShape(connection, parent, true))
            c->setParentGraphic(shape);
    }
    if (!c->childGraphic()) {
        if (std::shared_ptr<TWGraphic> shape = nearbyShape(connection, child, false))
            c->setChildGraphic(shape);
    }
}

void TWConnectionKindsFactory::setPosition(TWConnectionGraphic &connection, Point position)
{
    if (auto *title = dynamic_cast<TWTitleConnection *>(&connection))
        title->setPosition(position);
}

TWConnectionSettings TWConnectionKindsFactory::settings(const TWConnectionGraphic &c) const
{
    TWConnectionSettings s;
    s.connectionToParentSide = c.connectionToParentSide();
    s.connectionFromParentSide = c.connectionFromParentSide();
    s.parentConnectionLineStyle = c.parentConnectionLineStyle();
    s.endAtParent = c.endAtParent();
    s.endAtChild = c.endAtChild();
    s.parentArrowLength = c.parentArrowLength();
    s.parentArrowWidth = c.parentArrowWidth();
    s.childArrowLength = c.childArrowLength();
    s.childArrowWidth = c.childArrowWidth();
    s.parentFilled = c.parentFilled();
    s.childFilled = c.childFilled();
    s.label = c.label();
    s.labelDirection = c.labelDirection();
    s.labelAngle = c.labelAngle();
    s.labelOffset = c.labelOffset();
    return s;
}

void TWConnectionKindsFactory::applySettings(TWConnectionGraphic &c, const TWConnectionSettings &s)
{
    c.setConnectionToParentSide(s.connectionToParentSide);
    c.setConnectionFromParentSide(s.connectionFromParentSide);
    c.setParentConnectionLineStyle(s.parentConnectionLineStyle);
    c.setEndAtParent(s.endAtParent);
    c.setEndAtChild(s.endAtChild);
    c.setParentArrowLength(s.parentArrowLength);
    c.setParentArrowWidth(s.parentArrowWidth);
    c.setChildArrowLength(s.childArrowLength);
    c.setChildArrowWidth(s.childArrowWidth);
    c.setParentFilled(s.parentFilled);
    c.setChildFilled(s.childFilled);
    c.setLabel(s.label);
    c.setLabelDirection(s.labelDirection);
    c.setLabelAngle(s.labelAngle);
    c.setLabelOffset(s.labelOffset);
}

// --- the walks ---

std::optional<TWConnectionKind> TWMapConnectionRebuild::rightKindFor(const TWMapBranch &branch)
{
    const TWMapBranch *parent = branch.parent();
    if (!parent)
        return std::nullopt;
    return parent->isRoot() ? TWConnectionKind::Title : TWConnectionKind::Child;
}

void TWMapConnectionRebuild::resetConnectionGraphicsRecursively(TWMapBranch &branch)
{
    resetConnectionGraphicsRecursively(branch, TWConnectionFactory::installed());
}

void TWMapConnectionRebuild::resetConnectionGraphicsRecursively(TWMapBranch &branch,
                                                                TWConnectionFactory &factory)
{
    resetOne(branch, factory);
    // A copy: nothing here changes the children, but the list is not ours.
    const TWMapBranch::BranchList children = branch.children();
    for (const std::shared_ptr<TWMapBranch> &child : children)
        resetConnectionGraphicsRecursively(*child, factory);
}

void TWMapConnectionRebuild::resolveConnectionGraphicRecursively(TWMapBranch &branch,
                                                                 bool recursive)
{
    resolveConnectionGraphicRecursively(branch, recursive, TWConnectionFactory::installed());
}

void TWMapConnectionRebuild::resolveConnectionGraphicRecursively(TWMapBranch &branch,
                                                                 bool recursive,
                                                                 TWConnectionFactory &factory)
{
    resolveOne(branch, factory);
    if (!recursive)
        return;
    const TWMapBranch::BranchList children = branch.children();
    for (const std::shared_ptr<TWMapBranch> &child : children)
        resolveConnectionGraphicRecursively(*child, true, factory);
}

void TWMapConnectionRebuild::carrySettings(const TWConnectionGraphic &from, TWConnectionGraphic &to,
                                           TWConnectionKind toKind, TWConnectionFactory &factory)
{
    to.setBranch(from.branch());
    to.setBounds(from.bounds());
    to.setDrawsStroke(from.drawsStroke());
    to.setStrokeWidth(from.strokeWidth());
    to.setStrokeStyle(from.strokeStyle());
    to.setStrokeColor(from.strokeColor());
    // Title connections are filled, child connections not.
    to.setDrawsFill(toKind == TWConnectionKind::Title);
    to.setFillColor(from.fillColor());
    to.setIsBeingDragged(false);
    to.setInheritsShadow(from.inheritsShadow());
    to.setDrawsShadow(from.drawsShadow());
    to.setShadow(from.shadow());
    to.setInheritsFill(from.inheritsFill());
    to.setInheritsStroke(from.inheritsStroke());
    to.setInternalOrdering(from.internalOrdering());
    to.setImageFilename(from.imageFilename());
    to.setFlippedHorizontally(from.flippedHorizontally());
    to.setFlippedVertically(from.flippedVertically());
    to.setCachedBounds(from.cachedBounds());
    to.setCachedBezierPath(from.cachedBezierPath());
    to.setCornerMode(from.cornerMode());
    to.setCornerAmount(from.cornerAmount());
    to.setDrawnZoomAmount(from.drawnZoomAmount());
    to.setManipulatingBounds(from.manipulatingBounds());
    to.setMoviePath(from.moviePath());
    to.setMovieReferenceStyle(from.movieReferenceStyle());
    to.setShapeName(from.shapeName());
    to.setUpdateNotificationsDisabled(from.updateNotificationsDisabled());
    factory.applySettings(to, factory.settings(from));
}
