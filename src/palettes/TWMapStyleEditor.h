#pragma once

#include "palettes/TWStyleListEditor.h"

#include <QPointer>

class TWRainbowAngleControl;

// The editor of the library's map styles, one shared window.
class TWMapStyleEditor : public TWStyleListEditor
{
    Q_OBJECT

public:
    static TWMapStyleEditor &sharedMapStyleEditor();
    explicit TWMapStyleEditor(QObject *parent = nullptr);

    // The picked style's identifier becomes the user's default map style.
    void setAsDefault() override;
    void editOutlineNumberingFormat() override;
    // Asks, then gives each picked style again to the active document's
    // maps that use it.
    void updateExistingMaps();
    bool isDefaultStyle(const TWStyle &style) const override;

    TWRainbowAngleControl *rainbowAngleControl() const { return m_rainbow; }

protected:
    void buildSettings(QWidget *window, QBoxLayout *layout) override;
    void addButtons(QWidget *window, QBoxLayout *row) override;

private:
    TWRainbowAngleControl *m_rainbow = nullptr;
};
