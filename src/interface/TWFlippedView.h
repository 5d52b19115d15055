#pragma once

#include <QWidget>

// A plain container whose coordinates run top-down (as every Qt widget's do).
class TWFlippedView : public QWidget
{
public:
    using QWidget::QWidget;
    bool isFlipped() const { return true; }
};
