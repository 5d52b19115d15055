#pragma once

#include <QWidget>

// The document view of the map's scroll area: it magnifies what it holds by
// the zoom for the screen and draws nothing itself.
class TWZoomView : public QWidget
{
    Q_OBJECT

public:
    explicit TWZoomView(QWidget *parent = nullptr);

    // How many screen units one unit inside measures; 1 until scaled.
    double unitScale() const { return m_unitScale; }
    // Multiplies the unit square by `factor` (a ratio of two zooms).
    void scaleUnitSquareToSize(double factor) { m_unitScale *= factor; }

private:
    double m_unitScale = 1;
};
