#include "graphics/TWConnectionGraphic.h"
#include "model/TWMapBranch.h"
#include "model/TWMapLayoutServices.h"
#include "platform/UndoManager.h"

void TWConnectionGraphic::updateBounds()
{
    if (TWMapBranch *owner = branch())
        owner->layoutServices().updateConnectionBounds(*this);
}

std::shared_ptr<TWChildConnection>
TWChildConnection::create(const std::shared_ptr<TWGraphic> &parent,
                          const std::shared_ptr<TWGraphic> &child)
{
    auto connection = make<TWChildConnection>();
    connection->setPrimitiveBranch(child ? child->branch() : nullptr);
    connection->m_parentGraphic = parent;
    connection->m_childGraphic = child;
    connection->m_parentGraphicNumber = parent ? parent->graphicNumber() : 0;
    connection->m_childGraphicNumber = child ? child->graphicNumber() : 0;
    connection->setDrawsFill(false);
    connection->setDrawsStroke(true);
    connection->setConnectionToParentSide(1);
    connection->setConnectionFromParentSide(0);
    connection->setParentConnectionLineStyle(0);
    return connection;
}

std::shared_ptr<TWTitleConnection>
TWTitleConnection::create(const std::shared_ptr<TWGraphic> &graphic, Point position)
{
    auto connection = make<TWTitleConnection>();
    connection->setPrimitiveBranch(graphic ? graphic->branch() : nullptr);
    connection->m_connectedGraphic = graphic;
    connection->m_connectedGraphicNumber = graphic ? graphic->graphicNumber() : 0;
    connection->m_position = position;
    connection->setConnectionToParentSide(1);
    connection->setConnectionFromParentSide(0);
    connection->setParentConnectionLineStyle(0);
    return connection;
}

void TWTitleConnection::setPosition(Point position)
{
    if (position == m_position)
        return;
    const Point old = m_position;
    if (UndoManager *undo = undoManager()) {
        std::shared_ptr<TWGraphic> self = shared_from_this();
        undo->registerUndo(
            [self, old] { static_cast<TWTitleConnection &>(*self).setPosition(old); });
    }
    m_position = position;
}
