#pragma once

#include "platform/Geometry.h"

#include <QScrollBar>

// Scroll bars of the document windows: the platform's track and arrows with
// a knob of our own, a translucent blue rounded bar.
class TWCScroller : public QScrollBar
{
    Q_OBJECT

public:
    explicit TWCScroller(Qt::Orientation orientation, QWidget *parent = nullptr);

    // What is drawn for a knob in `knob`: the rectangle, inset two points at
    // both ends and one at the edge on the side of the knob's origin, and
    // the corner amount of its rounding.
    struct KnobShape
    {
        Rect rect;
        float cornerAmount = 0;
    };
    static KnobShape knobShape(const Rect &knob, Qt::Orientation orientation);
    // The knob's rectangle as the style places it, in widget coordinates.
    Rect knobRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// Gives the scroll area the document windows' scroll bars.
class QAbstractScrollArea;
void installTWCScrollers(QAbstractScrollArea *scrollArea);
