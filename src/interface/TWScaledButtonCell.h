#pragma once

#include <QImage>
#include <QPushButton>

// A button whose picture follows its size, 5 points inside each edge. The
// picture is rescaled only when the button's size changes.
class TWScaledButtonCell : public QPushButton
{
    Q_OBJECT

public:
    using QPushButton::QPushButton;

    QImage image() const { return m_image; }
    void setImage(const QImage &image) { m_image = image; }
    int scaleCount() const { return m_scaleCount; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
    int m_scaleCount = 0;
};
