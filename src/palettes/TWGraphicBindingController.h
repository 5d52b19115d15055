#pragma once

#include "interface/KeyValueBinding.h"
#include "platform/NotificationCenter.h"
#include "support/Color.h"
#include "support/Image.h"

#include <QByteArray>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TWGraphic;
class TWMap;
class TWMapBranch;
class TWMapsDoc;
class TWStyle;

// -1 (mixed) and 0 give true, 1 gives false, anything else nothing: a
// control stays enabled while a flag such as inheritsFill is off or mixed.
std::optional<bool> TWMixedNegateBoolean(const QVariant &value);

// The inspector model of one document: the selection's settings merged into
// one shown value per key (-1 where the selected objects disagree), written
// back to every selected graphic or branch by the setters, and the
// selection's current style. Palettes bind their controls to its keys.
class TWGraphicBindingController : public KeyValueBindable
{
    Q_OBJECT

public:
    using GraphicList = std::vector<std::shared_ptr<TWGraphic>>;
    using BranchList = std::vector<std::shared_ptr<TWMapBranch>>;

    static inline const QString NeedsUpdateNotification =
        QStringLiteral("TWGraphicBindingControllerNeedsUpdate");
    static inline const QString PalettesNeedsUpdateNotification =
        QStringLiteral("TWPalettesNeedsUpdateNotification");
    static inline const QString DocumentWillCloseNotification =
        QStringLiteral("TWDocumentWillClose");
    // How long a burst of selection changes is waited out.
    static constexpr int UpdateDelayMilliseconds = 100;
    // A branch picture's larger side is scaled down to this unless Shift is held.
    static constexpr float EnclosedImageMaximumSide = 120;

    // `mapsDocument` answers the document's maps document (it may change
    // after a revert); `document` is the identity the document posts its
    // closing under.
    TWGraphicBindingController(std::function<TWMapsDoc *()> mapsDocument, const void *document,
                               QObject *parent = nullptr);
    ~TWGraphicBindingController() override;

    // --- key-value access (every key of the palettes) ---
    QVariant valueForKey(const QString &key) const override;
    void setValueForKey(const QVariant &value, const QString &key) override;
    // The keys a group rewrites; all keys.
    static const QStringList &allKeys();

    // --- the refresh ---
    // Restarts the wait; the refresh runs once the selection stays still.
    void delayedUpdate();
    bool updatePending() const { return m_updateTimer.isActive(); }
    // Re-reads the selection now; an empty selection keeps every value.
    void update();
    void updateFillFromGraphics(const GraphicList &graphics);
    void updateStrokeFromGraphics(const GraphicList &graphics);
    void updateShadowFromGraphics(const GraphicList &graphics);
    void updateCornerFromGraphics(const GraphicList &graphics);
    void updateTerminatorsFromGraphics(const GraphicList &graphics);
    void updateStringAttributesFromGraphics(const GraphicList &graphics);
    void updateBranchSettingsFromBranches(const BranchList &branches);
    // The distinct branches of the branch graphics (shape or label) among them.
    static BranchList actuallySelectedBranchesFromGraphics(const GraphicList &graphics);
    // The current map's selection; empty without one.
    GraphicList selection() const;
    TWMap *currentMap() const;

    // --- the current style ---
    std::shared_ptr<TWStyle> updateCurrentStyle();
    // A new graphic style holding the shown values. A mixed value is left
    // out and its group is not applied: a style never stores -1.
    std::shared_ptr<TWStyle> newStyleFromCurrentSettings() const;
    void updateKeys(const QStringList &keys, QVariantMap &dictionary) const;
    void applyStyleToSelection(const std::shared_ptr<TWStyle> &style);
    void applyCurrentStyleToSelection();
    const std::shared_ptr<TWStyle> &currentStyle() const { return m_currentStyle; }
    bool currentStyleIsNew() const { return m_currentStyleIsNew; }
    bool currentStyleIsDirty() const { return m_currentStyleIsDirty; }
    void makeStyleDirty();
    bool applyingStyle() const { return m_applyingStyle; }
    static const QStringList &styleKeys();
    static QStringList styleKeysForGraphics(const GraphicList &graphics);

    // --- shown values ---
    int inheritsFill() const { return m_inheritsFill; }
    int drawsFill() const { return m_drawsFill; }
    const std::optional<Color> &fillColor() const { return m_fillColor; }
    int inheritsStroke() const { return m_inheritsStroke; }
    int drawsStroke() const { return m_drawsStroke; }
    const std::optional<Color> &strokeColor() const { return m_strokeColor; }
    int strokeStyle() const { return m_strokeStyle; }
    float strokeWidth() const { return m_strokeWidth; }
    int inheritsShadow() const { return m_inheritsShadow; }
    int drawsShadow() const { return m_drawsShadow; }
    const std::optional<Color> &shadowColor() const { return m_shadowColor; }
    float shadowBlurRadius() const { return m_shadowBlurRadius; }
    float shadowOffsetWidth() const { return m_shadowOffsetWidth; }
    float shadowOffsetHeight() const { return m_shadowOffsetHeight; }
    bool cornerEnabled() const { return m_cornerEnabled; }
    int cornerMode() const { return m_cornerMode; }
    float cornerAmount() const { return m_cornerAmount; }
    bool terminatorEnabled() const { return m_terminatorEnabled; }
    int terminatorAtStart() const { return m_terminatorAtStart; }
    float terminatorStartWidth() const { return m_terminatorStartWidth; }
    float terminatorStartLength() const { return m_terminatorStartLength; }
    int terminatorAtEnd() const { return m_terminatorAtEnd; }
    float terminatorEndWidth() const { return m_terminatorEndWidth; }
    float terminatorEndLength() const { return m_terminatorEndLength; }
    const std::optional<QVariantMap> &stringAttributes() const { return m_stringAttributes; }
    // The foreground colour of the attributes, black without one.
    Color fontColor() const;
    int branchType() const { return m_branchType; }
    const std::optional<QByteArray> &enclosedImageData() const { return m_enclosedImageData; }
    int textRelativePosition() const { return m_textRelativePosition; }
    int connectionStyle() const { return m_connectionStyle; }
    bool connectionStyleEnabled() const { return m_connectionStyleEnabled; }
    int hasBoundary() const { return m_hasBoundary; }
    float boundaryMargin() const { return m_boundaryMargin; }
    int textMaxWidthSet() const { return m_textMaxWidthSet; }
    float textMaxWidth() const { return m_textMaxWidth; }
    int hideChildrenOutlineNumbers() const { return m_hideChildrenOutlineNumbers; }
    int resetChildrenOutlineNumbers() const { return m_resetChildrenOutlineNumbers; }
    int childrenOutlineNumberFormatOverrideEnabled() const
    {
        return m_childrenOutlineNumberFormatOverrideEnabled;
    }
    const QStringList &childrenOutlineNumberFormatOverride() const
    {
        return m_childrenOutlineNumberFormatOverride;
    }
    int showCheckBox() const { return m_showCheckBox; }

    // --- setters (TWGraphicBindingController_Setters.cpp) ---
    // Each writes through the model's undoable setters; one control change is
    // one undo step because the undo manager groups by event.
    void setInheritsFill(int value);
    void setDrawsFill(int value);
    void setFillColor(const std::optional<Color> &color);
    void setInheritsStroke(int value);
    void setDrawsStroke(int value);
    void setStrokeColor(const std::optional<Color> &color);
    void setStrokeStyle(int style);
    void setStrokeWidth(float width);
    void setInheritsShadow(int value);
    void setDrawsShadow(int value);
    void setShadowColor(const std::optional<Color> &color);
    void setShadowBlurRadius(float radius);
    void setShadowOffsetWidth(float width);
    void setShadowOffsetHeight(float height);
    void setCornerMode(int mode);
    void setCornerAmount(float amount);
    void setTerminatorAtStart(int style);
    void setTerminatorAtEnd(int style);
    void setTerminatorStartWidth(float width);
    void setTerminatorStartLength(float length);
    void setTerminatorEndWidth(float width);
    void setTerminatorEndLength(float length);
    void setStringAttributes(const std::optional<QVariantMap> &attributes);
    void setFontColor(const Color &color);
    void restoreDefaultShadow();
    void setBranchType(int type);
    void setTextRelativePosition(int position);
    void setHasBoundary(int value);
    void setHideChildrenOutlineNumbers(int value);
    void setResetChildrenOutlineNumbers(int value);
    void setShowCheckBox(int value);
    void setBoundaryMargin(float margin);
    void setChildrenOutlineNumberFormatOverride(const QStringList &formats);
    void setChildrenOutlineNumberFormatOverrideEnabled(int value);
    void setTextMaxWidthSet(int value);
    void setTextMaxWidth(float width);
    void setConnectionStyle(int style);
    // Scaled so that its larger side is 120 unless `keepSize` (Shift held).
    void setEnclosedImageData(const QByteArray &data);
    void setEnclosedImageData(const QByteArray &data, bool keepSize);
    // The picture a branch gets from the data; nothing for data that is no picture.
    static std::optional<Image> enclosedImageFromData(const QByteArray &data, bool keepSize);
    // Sets the key on every selected branch and re-reads them.
    void setBranchValue(const QVariant &value, const QString &key);

signals:
    void currentStyleChanged();

private:
    void documentWillClose();
    void observeSelection();
    void changed(const QStringList &keys);
    // The tri-state rule: -1 is stored as 1, announced on the next turn.
    int storeTriState(int &field, int value, const QString &key);
    // The settings graphics of the selection, each once, in order.
    GraphicList settingsGraphics(const GraphicList &graphics) const;
    void afterGraphicChange(void (TWGraphicBindingController::*reread)(const GraphicList &),
                            const GraphicList &graphics);
    void afterBranchChange(const BranchList &branches);
    BranchList selectedBranches() const;

    std::function<TWMapsDoc *()> m_mapsDocument;
    const void *m_document;
    QTimer m_updateTimer;
    std::vector<ObserverToken> m_observers;

    int m_inheritsFill = 0;
    int m_drawsFill = 0;
    std::optional<Color> m_fillColor;
    int m_inheritsStroke = 0;
    int m_drawsStroke = 0;
    std::optional<Color> m_strokeColor;
    int m_strokeStyle = 1;
    float m_strokeWidth = 0;
    int m_inheritsShadow = 0;
    int m_drawsShadow = 0;
    std::optional<Color> m_shadowColor;
    float m_shadowBlurRadius = 0;
    float m_shadowOffsetWidth = 0;
    float m_shadowOffsetHeight = 0;
    bool m_cornerEnabled = false;
    int m_cornerMode = 0;
    float m_cornerAmount = 0;
    bool m_terminatorEnabled = false;
    int m_terminatorAtStart = 0;
    float m_terminatorStartWidth = 0;
    float m_terminatorStartLength = 0;
    int m_terminatorAtEnd = 0;
    float m_terminatorEndWidth = 0;
    float m_terminatorEndLength = 0;
    std::optional<QVariantMap> m_stringAttributes;
    int m_branchType = -1;
    std::optional<QByteArray> m_enclosedImageData;
    int m_textRelativePosition = -1;
    int m_connectionStyle = 1;
    bool m_connectionStyleEnabled = false;
    int m_hasBoundary = 0;
    float m_boundaryMargin = 0;
    int m_textMaxWidthSet = 0;
    float m_textMaxWidth = 0;
    int m_hideChildrenOutlineNumbers = 0;
    int m_resetChildrenOutlineNumbers = 0;
    int m_childrenOutlineNumberFormatOverrideEnabled = 0;
    QStringList m_childrenOutlineNumberFormatOverride;
    int m_showCheckBox = 0;
    bool m_applyingStyle = false;
    std::shared_ptr<TWStyle> m_currentStyle;
    bool m_currentStyleIsDirty = false;
    bool m_currentStyleIsNew = false;
};
