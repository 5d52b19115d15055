#pragma once

#include <QWidget>

// Holds the canvas between the pages and the map: it scales the map
// relative to the paper and draws nothing itself.
class TWScaleView : public QWidget
{
    Q_OBJECT

public:
    explicit TWScaleView(QWidget *parent = nullptr);

    // Paper units per map unit; 1 until scaled.
    double unitScale() const { return m_unitScale; }
    void scaleUnitSquareToSize(double factor) { m_unitScale *= factor; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    double m_unitScale = 1;
};
