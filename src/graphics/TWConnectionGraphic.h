#pragma once

#include "graphics/TWGraphic.h"

// The line that joins a branch to its parent. What the model needs of it
// today: the sides and the line style it was made with, and the request to
// follow its ends (forwarded to the map's layout services until the
// connection geometry is built here).
class TWConnectionGraphic : public TWGraphic
{
public:
    QString className() const override { return QStringLiteral("TWConnectionGraphic"); }

    int connectionToParentSide() const { return m_connectionToParentSide; }
    void setConnectionToParentSide(int side) { m_connectionToParentSide = side; }
    int connectionFromParentSide() const { return m_connectionFromParentSide; }
    void setConnectionFromParentSide(int side) { m_connectionFromParentSide = side; }
    int parentConnectionLineStyle() const { return m_parentConnectionLineStyle; }
    void setParentConnectionLineStyle(int style) { m_parentConnectionLineStyle = style; }

    // Recomputes the bounds from the graphics it joins.
    virtual void updateBounds();

private:
    int m_connectionToParentSide = 1;
    int m_connectionFromParentSide = 0;
    int m_parentConnectionLineStyle = 0;
};

// From a parent's main graphic to a child's.
class TWChildConnection : public TWConnectionGraphic
{
public:
    QString className() const override { return QStringLiteral("TWChildConnection"); }
    // Takes the child graphic's branch and stores both graphic numbers.
    static std::shared_ptr<TWChildConnection> create(const std::shared_ptr<TWGraphic> &parent,
                                                     const std::shared_ptr<TWGraphic> &child);

    long parentGraphicNumber() const { return m_parentGraphicNumber; }
    long childGraphicNumber() const { return m_childGraphicNumber; }
    std::shared_ptr<TWGraphic> parentGraphic() const { return m_parentGraphic.lock(); }
    std::shared_ptr<TWGraphic> childGraphic() const { return m_childGraphic.lock(); }

private:
    long m_parentGraphicNumber = 0;
    long m_childGraphicNumber = 0;
    std::weak_ptr<TWGraphic> m_parentGraphic;
    std::weak_ptr<TWGraphic> m_childGraphic;
};

// From a first-level branch's main graphic to a position on the central branch.
class TWTitleConnection : public TWConnectionGraphic
{
public:
    QString className() const override { return QStringLiteral("TWTitleConnection"); }
    static std::shared_ptr<TWTitleConnection> create(const std::shared_ptr<TWGraphic> &graphic,
                                                     Point position);

    long connectedGraphicNumber() const { return m_connectedGraphicNumber; }
    std::shared_ptr<TWGraphic> connectedGraphic() const { return m_connectedGraphic.lock(); }
    Point position() const { return m_position; }
    void setPosition(Point position);

private:
    long m_connectedGraphicNumber = 0;
    std::weak_ptr<TWGraphic> m_connectedGraphic;
    Point m_position;
};
