#pragma once

#include <QPainter>
#include <QPushButton>

// A button that draws small named pictures over itself after the button.
class TWBadgeButtonCell : public QPushButton
{
    Q_OBJECT

public:
    struct Badge
    {
        QString imageName;
        QPointF lowerLeft; // the picture's lower-left corner in the button
        qreal fraction = 1.0;
        QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    };

    using QPushButton::QPushButton;

    // What is drawn for the button's current size and state.
    virtual QList<Badge> badges() const = 0;
    // Where a badge lands in the button.
    static QRectF badgeRect(const Badge &badge);

protected:
    void paintEvent(QPaintEvent *event) override;
    static qreal imageWidth(const QString &name);
};

class TWArrowCursorButtonCell : public TWBadgeButtonCell
{
    Q_OBJECT

public:
    using TWBadgeButtonCell::TWBadgeButtonCell;
    QList<Badge> badges() const override;
};

class TWCrossButtonCell : public TWBadgeButtonCell
{
    Q_OBJECT

public:
    using TWBadgeButtonCell::TWBadgeButtonCell;
    QList<Badge> badges() const override;
};

// A down arrow at the lower right, lighter while pressed.
class TWMoreOptionsButtonCell : public TWBadgeButtonCell
{
    Q_OBJECT

public:
    using TWBadgeButtonCell::TWBadgeButtonCell;
    QList<Badge> badges() const override;
};

// The more-options arrow and a green plus at the lower left.
class TWPlusMoreOptionsButtonCell : public TWMoreOptionsButtonCell
{
    Q_OBJECT

public:
    using TWMoreOptionsButtonCell::TWMoreOptionsButtonCell;
    QList<Badge> badges() const override;
};
