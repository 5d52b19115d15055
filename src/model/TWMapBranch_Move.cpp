#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch_Private.h"
#include "model/TWMapLayoutServices.h"
#include "platform/NotificationCenter.h"

#include <QRectF>

void TWMapBranch::moveBranchBy(float dx, float dy, bool moveChildren)
{
    if (dx == 0 && dy == 0)
        return;
    TWMap *m = map();
    if (isRoot()) {
        BranchList subtree;
        buildBranchArray(subtree);
        for (const std::shared_ptr<TWMapBranch> &branch : std::as_const(subtree)) {
            GraphicList graphics;
            branch->insertBranchGraphicsIntoArray(graphics, true);
            graphics += branch->m_linkedGraphics;
            for (const std::shared_ptr<TWGraphic> &graphic : std::as_const(graphics))
                graphic->moveBy(dx, dy);
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
    if (m_enclosedTextArea)
        m_enclosedTextArea->moveBy(dx, dy);
    if (const std::shared_ptr<TWGraphic> image = enclosedImage())
        image->moveBy(dx, dy);
    for (const std::shared_ptr<TWGraphic> &graphic : GraphicList(m_linkedGraphics))
        graphic->moveBy(dx, dy);
    for (const std::shared_ptr<TWEnclosedGraphic> &record :
         EnclosedGraphicList(m_otherEnclosedGraphics)) {
        if (record->graphic())
            record->graphic()->moveBy(dx, dy);
    }
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
