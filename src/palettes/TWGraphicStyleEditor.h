#pragma once

#include "palettes/TWStyleListEditor.h"

#include <QPointer>

class QCheckBox;
class TWFontView;
class TWShadowPositionBox;

// The editor of the library's graphic styles (settings of graphics and of
// branches), one shared window.
class TWGraphicStyleEditor : public TWStyleListEditor
{
    Q_OBJECT

public:
    static TWGraphicStyleEditor &sharedGraphicStyleEditor();
    explicit TWGraphicStyleEditor(QObject *parent = nullptr);

    // The picked style becomes the default graphic style of the active
    // document's current map.
    void setAsDefault() override;
    void editOutlineNumberingFormat() override;
    // Asks, then re-applies each picked style to the current map's graphics
    // that have it.
    void updateExistingGraphics();
    // Shadow blur 10, offset (0, -4), black at 75%.
    void restoreDefaultShadow();
    // On: an override without levels; off: no override.
    void switchEnableBranchOutlineNumberOverride(bool on);
    bool isDefaultStyle(const TWStyle &style) const override;

    TWFontView *fontView() const { return m_fontView; }
    TWShadowPositionBox *shadowPositionBox() const { return m_shadowPositionBox; }
    QCheckBox *outlineOverrideSwitch() const { return m_outlineOverride; }

protected:
    // Through the XML form, so the copy shares nothing with the original.
    OrderedDictionary copiedProperties(const TWStyle &style) const override;
    void buildSettings(QWidget *window, QBoxLayout *layout) override;
    void addButtons(QWidget *window, QBoxLayout *row) override;

private:
    TWFontView *m_fontView = nullptr;
    TWShadowPositionBox *m_shadowPositionBox = nullptr;
    QCheckBox *m_outlineOverride = nullptr;
};
