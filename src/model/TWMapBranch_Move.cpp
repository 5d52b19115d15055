#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch_Private.h"
#include "model/TWMapLayoutServices.h"
#include "platform/NotificationCenter.h"

#include <QRectF>

namespace {

// What rides on a branch's shape: its label, picture, attached graphics and
// the other enclosed graphics (shown or not).
TWMapBranch::GraphicList ridingGraphics(const TWMapBranch &branch)
{
    TWMapBranch::GraphicList graphics;
    if (branch.enclosedTextArea())
        graphics.append(branch.enclosedTextArea());
    if (std::shared_ptr<TWGraphic> image = branch.enclosedImage())
        graphics.append(image);
    graphics += branch.linkedGraphics();
    for (const std::shared_ptr<TWEnclosedGraphic> &record : branch.otherEnclosedGraphics()) {
        if (record->graphic())
            graphics.append(record->graphic());
    }
    return graphics;
}

} // namespace

void TWMapBranch::moveBranchBy(float dx, float dy, bool moveChildren)
{
    if (dx == 0 && dy == 0)
        return;
    TWMap *m = map();
    if (isRoot()) {
        BranchList subtree;
        buildBranchArray(subtree);
        for (const std::shared_ptr<TWMapBranch> &branch : std::as_const(subtree)) {
            for (const std::shared_ptr<TWGraphic> &graphic : ridingGraphics(*branch))
                graphic->moveBy(dx, dy);
            if (branch->m_mainGraphic)
                branch->m_mainGraphic->moveBy(dx, dy);
            layoutServices().invalidateBoundary(*branch);
        }
        if (m) {
            const Size canvas = m->canvasSize();
            NotificationCenter::defaultCenter().post(
                RedrawInRectNotification, nullptr,
                {{RectKey, QRectF(0, 0, canvas.width, canvas.height)},
                 {MapKey, QVariant::fromValue(NotificationObject(m->shared_from_this()))}});
        }
        return;
    }

    // The graphics that ride on the shape go first, so that the shape's own
    // move finds them where they belong.
    for (const std::shared_ptr<TWGraphic> &graphic : ridingGraphics(*this))
        graphic->moveBy(dx, dy);
    setCachedBounds(Rect());
    if (m_mainGraphic)
        m_mainGraphic->moveBy(dx, dy);
    if (moveChildren) {
        for (const std::shared_ptr<TWMapBranch> &child : BranchList(m_children))
            child->moveBranchBy(dx, dy, true);
    } else {
        invalidateIncomingAndOutgoingConnectionGraphics();
    }
}
