#include "graphics/TWBoundaryProxy.h"
#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWGraphic.h"
#include "model/TWMapBranch.h"
#include "model/TWMapLayoutServices.h"
#include "platform/NotificationCenter.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"

namespace {

void nameAction(const TWGraphic &graphic, const char *name)
{
    UndoManager::setActionName(graphic.undoManager(),
                               TWLocalizedString(StringTable::DadoZiz, QString::fromUtf8(name)));
}

// The branch's shape and any other graphic are named apart in the undo menu.
void nameAction(const TWGraphic &graphic, const char *forShape, const char *forOther)
{
    nameAction(graphic, graphic.isMainGraphic() ? forShape : forOther);
}

void announce(const TWGraphic &graphic, const QString &name)
{
    NotificationCenter::defaultCenter().post(name, graphic.notificationObject());
}

} // namespace

// --- geometry ---

void TWGraphic::publicSetBounds(Rect bounds, bool committing)
{
    setBounds(bounds);
    if (committing)
        nameAction(*this, "Move Graphic");
}

int TWGraphic::publicResizeByMovingKnob(int knob, Point point, bool naturalAspectRatio,
                                        bool committing)
{
    const int held = resizeByMovingKnob(knob, point, naturalAspectRatio);
    if (committing)
        nameAction(*this, "Resize");
    return held;
}

void TWGraphic::publicMoveBy(Point delta, bool committing)
{
    if (dynamic_cast<TWBoundaryProxy *>(this))
        return;
    const std::shared_ptr<TWGraphic> self = weak_from_this().lock();
    TWMapBranch *owner = branch();
    const std::shared_ptr<TWMapBranch> ownerAlive = owner ? owner->shared_from_this() : nullptr;
    if (!owner || isLinkedGraphic())
        setBounds(bounds().offsetBy(delta.x, delta.y));
    else
        owner->moveBranchBy(delta.x, delta.y, true);

    if (owner) {
        TWMapLayoutServices &services = owner->layoutServices();
        auto refresh = [&services](TWMapBranch &branch) {
            services.invalidateBoundary(branch);
            if (branch.connectionGraphic())
                branch.connectionGraphic()->updateBounds();
        };
        refresh(*owner);
        for (const std::shared_ptr<TWMapBranch> &child : owner->children())
            refresh(*child);
    }
    if (committing)
        nameAction(*this, "Move Graphic");
}

// --- fill ---

void TWGraphic::publicSetInheritsFill(bool inherits)
{
    if (inherits == inheritsFill())
        return;
    if (!inherits && !fillColor())
        setFillColor(inheritedFillColor());
    setInheritsFill(inherits);
    nameAction(*this, "Set Inherits Fill Color", "Set Graphic Inherits Fill Color");
    announce(*this, GraphicInheritsFillChangedNotification);
}

void TWGraphic::publicSetDrawsFill(bool draws)
{
    if (draws == drawsFill())
        return;
    setDrawsFill(draws);
    nameAction(*this, "Set Draws Fill", "Set Graphic Draws Fill");
    announce(*this, GraphicDrawsFillChangedNotification);
}

void TWGraphic::publicSetFillColor(const Color &color)
{
    setFillColor(color);
    nameAction(*this, "Set Fill Color", "Set Graphic Fill Color");
    announce(*this, GraphicFillColorChangedNotification);
}

// --- line ---

void TWGraphic::publicSetInheritsStroke(bool inherits)
{
    if (inherits == inheritsStroke())
        return;
    if (!inherits && !strokeColor())
        setStrokeColor(inheritedStrokeColor());
    setInheritsStroke(inherits);
    nameAction(*this, "Set Inherits Line Color", "Set Graphic Inherits Line Color");
    announce(*this, GraphicInheritsStrokeChangedNotification);
}

void TWGraphic::publicSetDrawsStroke(bool draws)
{
    if (draws == drawsStroke())
        return;
    setDrawsStroke(draws);
    nameAction(*this, "Set Draws Line", "Set Graphic Draws Line");
    announce(*this, GraphicDrawsStrokeChangedNotification);
}

void TWGraphic::publicSetStrokeColor(const Color &color)
{
    setStrokeColor(color);
    nameAction(*this, "Set Line Color", "Set Graphic Line Color");
    announce(*this, GraphicStrokeColorChangedNotification);
}

void TWGraphic::publicSetStrokeStyle(int style)
{
    setStrokeStyle(style);
    nameAction(*this, "Set Line Style", "Set Graphic Line Style");
    // The palettes listen for the colour's name for the style as well.
    announce(*this, GraphicStrokeColorChangedNotification);
}

void TWGraphic::publicSetStrokeWidth(float width)
{
    if (width == strokeWidth())
        return;
    setStrokeWidth(width);
    nameAction(*this, "Set Line Width", "Set Graphic Line Width");
    announce(*this, GraphicStrokeWidthChangedNotification);
}

// --- corners ---

void TWGraphic::publicSetCornerMode(int mode)
{
    if (mode == cornerMode())
        return;
    setCornerMode(mode);
    nameAction(*this, "Set Rounded Rectangle Corners");
    announce(*this, GraphicRectangleCornersChangedNotification);
}

void TWGraphic::publicSetCornerAmount(float amount)
{
    if (amount == cornerAmount())
        return;
    setCornerAmount(amount);
    nameAction(*this, "Set Rectangle Corner Radius");
    announce(*this, GraphicRectangleCornersChangedNotification);
}

// --- shadow ---

void TWGraphic::publicSetInheritsShadow(bool inherits)
{
    if (inherits == inheritsShadow())
        return;
    if (!inherits && !shadow())
        setShadow(inheritedShadow());
    setInheritsShadow(inherits);
    nameAction(*this, "Set Inherits Shadow", "Set Graphic Inherits Shadow");
    announce(*this, GraphicInheritsShadowChangedNotification);
}

void TWGraphic::publicSetDrawsShadow(bool draws)
{
    if (draws == drawsShadow())
        return;
    setDrawsShadow(draws);
    nameAction(*this, "Set Draws Shadow", "Set Graphic Draws Shadow");
    announce(*this, GraphicDrawsShadowChangedNotification);
}

namespace {

// The graphic first takes the shadow it shows as its own; the part is then
// changed on a copy that replaces it, so undo gets the old shadow back.
// Where no shadow is shown at all, the change starts from an empty one
// rather than being lost.
template <class Equal, class Change>
bool changeShadowPart(TWGraphic &graphic, Equal &&equal, Change &&change)
{
    if (!graphic.shadow())
        graphic.setShadow(graphic.inheritedShadow());
    Shadow copy = graphic.shadow().value_or(Shadow());
    if (equal(copy))
        return false;
    change(copy);
    graphic.setShadow(copy);
    return true;
}

} // namespace

void TWGraphic::publicSetShadowBlurRadius(float radius)
{
    if (!changeShadowPart(
            *this, [radius](const Shadow &s) { return float(s.shadowBlurRadius()) == radius; },
            [radius](Shadow &s) { s.setShadowBlurRadius(radius); }))
        return;
    nameAction(*this, "Set Shadow Blur", "Set Graphic Shadow Blur");
    announce(*this, GraphicShadowBlurRadiusChangedNotification);
}

void TWGraphic::publicSetShadowOffset(Size offset)
{
    if (!changeShadowPart(
            *this, [offset](const Shadow &s) { return s.shadowOffset() == offset; },
            [offset](Shadow &s) { s.setShadowOffset(offset); }))
        return;
    nameAction(*this, "Set Shadow Offset", "Set Graphic Shadow Offset");
    announce(*this, GraphicShadowOffsetChangedNotification);
}

void TWGraphic::publicSetShadowColor(const Color &color)
{
    if (!changeShadowPart(
            *this, [&color](const Shadow &s) { return s.shadowColor() == color; },
            [&color](Shadow &s) { s.setShadowColor(color); }))
        return;
    nameAction(*this, "Set Shadow Color", "Set Graphic Shadow Color");
    announce(*this, GraphicShadowColorChangedNotification);
}
