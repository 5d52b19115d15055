#pragma once

#include "support/Color.h"

#include <QPushButton>
#include <optional>

// A button that shows a colour and lets the user choose another: a click
// opens the colour dialog on it. No colour (nothing selected) shows empty.
class ColorWell : public QPushButton
{
    Q_OBJECT

public:
    explicit ColorWell(QWidget *parent = nullptr);

    const std::optional<Color> &color() const { return m_color; }
    // Shows the colour; sends nothing.
    void setColor(const std::optional<Color> &color);
    // What the dialog does with the user's choice: shows it and sends it.
    void chooseColor(const Color &color);

signals:
    void colorChosen(const Color &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void openDialog();

    std::optional<Color> m_color;
};
