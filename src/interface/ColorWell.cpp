#include "interface/ColorWell.h"

#include <QColorDialog>
#include <QPainter>

ColorWell::ColorWell(QWidget *parent) : QPushButton(parent)
{
    setMinimumSize(32, 20);
    connect(this, &QPushButton::clicked, this, &ColorWell::openDialog);
}

void ColorWell::setColor(const std::optional<Color> &color)
{
    m_color = color;
    update();
}

void ColorWell::chooseColor(const Color &color)
{
    setColor(color);
    emit colorChosen(color);
}

void ColorWell::openDialog()
{
    // Non-modal, as a colour panel is: each pick is sent while it stays open.
    auto *dialog = new QColorDialog(m_color ? m_color->toQColor() : QColor(Qt::white), this);
    dialog->setOption(QColorDialog::ShowAlphaChannel);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QColorDialog::currentColorChanged, this,
            [this](const QColor &c) { chooseColor(Color::fromQColor(c)); });
    dialog->show();
}

void ColorWell::paintEvent(QPaintEvent *event)
{
    QPushButton::paintEvent(event);
    if (!m_color)
        return;
    QPainter painter(this);
    const QRect swatch = rect().adjusted(6, 5, -6, -5);
    painter.fillRect(swatch, m_color->toQColor());
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
}
