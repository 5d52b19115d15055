#include "palettes/TWGraphicBindingController.h"

#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapLayoutServices.h"
#include "platform/NotificationCenter.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "support/AttributedString.h"
#include "support/Image.h"
#include "support/TWPreferences.h"

#include <QGuiApplication>
#include <QTimer>

namespace {

const QString BranchImageChangedNotification = QStringLiteral("BranchImageChangedNotification");
const QString ConstrainTextWidthNotification = QStringLiteral("ConstrainTextWidthNotification");

void nameStep(TWMapBranch &branch, const char *name)
{
    UndoManager::setActionName(branch.undoManager(),
                               TWLocalizedString(StringTable::DadoZiz, QString::fromLatin1(name)));
}

// The branch's user operation for its label width: the flag is cleared
// before the width changes, set after, and the label is fitted last.
void constrainToWidth(TWMapBranch &branch, float width, bool on)
{
    const bool wasOn = branch.textMaxWidthSet();
    const float oldWidth = branch.ownTextMaxWidth();
    if (oldWidth == width && wasOn == on)
        return;
    if (wasOn && !on)
        branch.setTextMaxWidthSet(false);
    if (oldWidth != width)
        branch.setTextMaxWidth(width);
    if (on != branch.textMaxWidthSet())
        branch.setTextMaxWidthSet(on);
    if (on)
        branch.resizeForTextAreaConstrainedToWidth(width);
    nameStep(branch, "Set Width Constraint");
    NotificationCenter::defaultCenter().post(ConstrainTextWidthNotification, &branch);
}

void setEnclosedImage(TWMapBranch &branch, const Image *image)
{
    branch.setEnclosedImageFromImage(image);
    if (image)
        branch.layoutServices().makeRoomForBranch(branch);
    nameStep(branch, "Set branch image");
    NotificationCenter::defaultCenter().post(BranchImageChangedNotification, &branch);
}

std::optional<Shadow> editableShadow(TWGraphic &graphic)
{
    // A graphic that shows no shadow yet starts from the standard one.
    std::optional<Shadow> shadow = graphic.inheritedShadow();
    return shadow ? shadow : std::optional<Shadow>(TWPreferences::shadow());
}

} // namespace

int TWGraphicBindingController::storeTriState(int &field, int value, const QString &key)
{
    if (value != -1) {
        field = value;
        return value;
    }
    // A control clicked out of its mixed state shows on once the event is over.
    field = 1;
    QTimer::singleShot(0, this, [this, key] { emit valueChanged(key); });
    return 1;
}

TWGraphicBindingController::BranchList TWGraphicBindingController::selectedBranches() const
{
    return actuallySelectedBranchesFromGraphics(selection());
}

void TWGraphicBindingController::afterGraphicChange(
    void (TWGraphicBindingController::*reread)(const GraphicList &), const GraphicList &graphics)
{
    (this->*reread)(graphics);
    updateCurrentStyle();
}

void TWGraphicBindingController::afterBranchChange(const BranchList &branches)
{
    updateBranchSettingsFromBranches(branches);
}

// --- fill ---

void TWGraphicBindingController::setInheritsFill(int value)
{
    const bool on = storeTriState(m_inheritsFill, value, QStringLiteral("inheritsFill")) & 0xff;
    const GraphicList graphics = selection();
    for (const auto &g : graphics)
        g->settingsGraphic()->setInheritsFill(on);
    afterGraphicChange(&TWGraphicBindingController::updateFillFromGraphics, graphics);
}

void TWGraphicBindingController::setDrawsFill(int value)
{
    const bool on = storeTriState(m_drawsFill, value, QStringLiteral("drawsFill")) & 0xff;
    const GraphicList graphics = selection();
    for (const auto &g : graphics)
        g->settingsGraphic()->setDrawsFill(on);
    afterGraphicChange(&TWGraphicBindingController::updateFillFromGraphics, graphics);
}

void TWGraphicBindingController::setFillColor(const std::optional<Color> &color)
{
    m_fillColor = color;
    const GraphicList graphics = selection();
    for (const auto &g : graphics) {
        TWGraphic *settings = g->settingsGraphic();
        settings->setFillColor(color);
        // Choosing a colour means showing it.
        if (!m_applyingStyle) {
            settings->setInheritsFill(false);
            settings->setDrawsFill(true);
        }
    }
    afterGraphicChange(&TWGraphicBindingController::updateFillFromGraphics, graphics);
}

// --- stroke ---

void TWGraphicBindingController::setInheritsStroke(int value)
{
    const bool on = storeTriState(m_inheritsStroke, value, QStringLiteral("inheritsStroke")) & 0xff;
    const GraphicList graphics = selection();
    for (const auto &g : graphics)
        g->settingsGraphic()->setInheritsStroke(on);
    afterGraphicChange(&TWGraphicBindingController::updateStrokeFromGraphics, graphics);
}

void TWGraphicBindingController::setDrawsStroke(int value)
{
    const bool on = storeTriState(m_drawsStroke, value, QStringLiteral("drawsStroke")) & 0xff;
    const GraphicList graphics = selection();
    for (const auto &g : graphics)
        g->settingsGraphic()->setDrawsStroke(on);
    afterGraphicChange(&TWGraphicBindingController::updateStrokeFromGraphics, graphics);
}

void TWGraphicBindingController::setStrokeColor(const std::optional<Color> &color)
{
    m_strokeColor = color;
    const GraphicList graphics = selection();
    for (const auto &g : graphics) {
        TWGraphic *settings = g->settingsGraphic();
        settings->setStrokeColor(color);
        if (!m_applyingStyle) {
            settings->setInheritsStroke(false);
            settings->setDrawsStroke(true);
        }
    }
    afterGraphicChange(&TWGraphicBindingController::updateStrokeFromGraphics, graphics);
}

void TWGraphicBindingController::setStrokeStyle(int style)
{
    m_strokeStyle = style;
    const GraphicList graphics = selection();
    for (const auto &g : graphics) {
        TWGraphic *settings = g->settingsGraphic();
        settings->setStrokeStyle(style);
        if (!m_applyingStyle)
            settings->setDrawsStroke(true);
    }
    afterGraphicChange(&TWGraphicBindingController::updateStrokeFromGraphics, graphics);
}

void TWGraphicBindingController::setStrokeWidth(float width)
{
    m_strokeWidth = width;
    const GraphicList graphics = selection();
    for (const auto &g : graphics) {
        TWGraphic *settings = g->settingsGraphic();
        settings->setStrokeWidth(width);
        if (!m_applyingStyle)
            settings->setDrawsStroke(true);
    }
    afterGraphicChange(&TWGraphicBindingController::updateStrokeFromGraphics, graphics);
}

// --- shadow ---

void TWGraphicBindingController::setInheritsShadow(int value)
{
    const bool on = storeTriState(m_inheritsShadow, value, QStringLiteral("inheritsShadow")) & 0xff;
    const GraphicList graphics = selection();
    for (const auto &g : graphics)
        g->settingsGraphic()->setInheritsShadow(on);
    afterGraphicChange(&TWGraphicBindingController::updateShadowFromGraphics, graphics);
}

void TWGraphicBindingController::setDrawsShadow(int value)
{
    const bool on = storeTriState(m_drawsShadow, value, QStringLiteral("drawsShadow")) & 0xff;
    const GraphicList graphics = selection();
    for (const auto &g : graphics)
        g->settingsGraphic()->setDrawsShadow(on);
    afterGraphicChange(&TWGraphicBindingController::updateShadowFromGraphics, graphics);
}

namespace {

// Each settings graphic gets the shadow it shows with one part replaced, as
// its own shadow, drawn.
template <class Edit>
void editShadows(const TWGraphicBindingController::GraphicList &graphics, bool applyingStyle,
                 Edit edit)
{
    for (const auto &g : graphics) {
        TWGraphic *settings = g->settingsGraphic();
        std::optional<Shadow> shadow = editableShadow(*settings);
        edit(*shadow);
        settings->setShadow(shadow);
        if (!applyingStyle) {
            settings->setInheritsShadow(false);
            settings->setDrawsShadow(true);
        }
    }
}

} // namespace

void TWGraphicBindingController::setShadowColor(const std::optional<Color> &color)
{
    m_shadowColor = color;
    const GraphicList graphics = selection();
    editShadows(graphics, m_applyingStyle, [&](Shadow &s) { s.setShadowColor(color); });
    afterGraphicChange(&TWGraphicBindingController::updateShadowFromGraphics, graphics);
}

void TWGraphicBindingController::setShadowBlurRadius(float radius)
{
    m_shadowBlurRadius = radius;
    const GraphicList graphics = selection();
    editShadows(graphics, m_applyingStyle, [&](Shadow &s) { s.setShadowBlurRadius(radius); });
    afterGraphicChange(&TWGraphicBindingController::updateShadowFromGraphics, graphics);
}

void TWGraphicBindingController::setShadowOffsetWidth(float width)
{
    m_shadowOffsetWidth = width;
    const GraphicList graphics = selection();
    editShadows(graphics, m_applyingStyle,
                [&](Shadow &s) { s.setShadowOffset(Size(width, s.shadowOffset().height)); });
    afterGraphicChange(&TWGraphicBindingController::updateShadowFromGraphics, graphics);
}

void TWGraphicBindingController::setShadowOffsetHeight(float height)
{
    m_shadowOffsetHeight = height;
    const GraphicList graphics = selection();
    editShadows(graphics, m_applyingStyle,
                [&](Shadow &s) { s.setShadowOffset(Size(s.shadowOffset().width, height)); });
    afterGraphicChange(&TWGraphicBindingController::updateShadowFromGraphics, graphics);
}

void TWGraphicBindingController::restoreDefaultShadow()
{
    for (const auto &g : selection()) {
        TWGraphic *settings = g->settingsGraphic();
        if (!settings->inheritsShadow())
            settings->setShadow(TWPreferences::shadow());
    }
}

// --- corner ---

void TWGraphicBindingController::setCornerMode(int mode)
{
    m_cornerMode = mode;
    const GraphicList graphics = selection();
    for (const auto &g : graphics)
        g->settingsGraphic()->setCornerMode(mode);
    afterGraphicChange(&TWGraphicBindingController::updateCornerFromGraphics, graphics);
}

void TWGraphicBindingController::setCornerAmount(float amount)
{
    m_cornerAmount = amount;
    const GraphicList graphics = selection();
    for (const auto &g : graphics)
        g->settingsGraphic()->setCornerAmount(amount);
    afterGraphicChange(&TWGraphicBindingController::updateCornerFromGraphics, graphics);
}

// --- terminators: selected link lines only, never branch connections ---

namespace {

template <class Write>
void eachLinkLine(const TWGraphicBindingController::GraphicList &graphics, Write write)
{
    for (const auto &g : graphics)
        if (auto *line = dynamic_cast<TWLinkLine *>(g.get()))
            write(*line);
}

} // namespace

void TWGraphicBindingController::setTerminatorAtStart(int style)
{
    const int stored =
        storeTriState(m_terminatorAtStart, style, QStringLiteral("terminatorAtStart"));
    const GraphicList graphics = selection();
    eachLinkLine(graphics, [&](TWLinkLine &l) { l.setStartArrowStyle(stored); });
    afterGraphicChange(&TWGraphicBindingController::updateTerminatorsFromGraphics, graphics);
}

void TWGraphicBindingController::setTerminatorAtEnd(int style)
{
    const int stored = storeTriState(m_terminatorAtEnd, style, QStringLiteral("terminatorAtEnd"));
    const GraphicList graphics = selection();
    eachLinkLine(graphics, [&](TWLinkLine &l) { l.setEndArrowStyle(stored); });
    afterGraphicChange(&TWGraphicBindingController::updateTerminatorsFromGraphics, graphics);
}

void TWGraphicBindingController::setTerminatorStartWidth(float width)
{
    m_terminatorStartWidth = width;
    const GraphicList graphics = selection();
    eachLinkLine(graphics, [&](TWLinkLine &l) { l.setStartArrowWidth(width); });
    afterGraphicChange(&TWGraphicBindingController::updateTerminatorsFromGraphics, graphics);
}

void TWGraphicBindingController::setTerminatorStartLength(float length)
{
    m_terminatorStartLength = length;
    const GraphicList graphics = selection();
    eachLinkLine(graphics, [&](TWLinkLine &l) { l.setStartArrowLength(length); });
    afterGraphicChange(&TWGraphicBindingController::updateTerminatorsFromGraphics, graphics);
}

void TWGraphicBindingController::setTerminatorEndWidth(float width)
{
    m_terminatorEndWidth = width;
    const GraphicList graphics = selection();
    eachLinkLine(graphics, [&](TWLinkLine &l) { l.setEndArrowWidth(width); });
    afterGraphicChange(&TWGraphicBindingController::updateTerminatorsFromGraphics, graphics);
}

void TWGraphicBindingController::setTerminatorEndLength(float length)
{
    m_terminatorEndLength = length;
    const GraphicList graphics = selection();
    eachLinkLine(graphics, [&](TWLinkLine &l) { l.setEndArrowLength(length); });
    afterGraphicChange(&TWGraphicBindingController::updateTerminatorsFromGraphics, graphics);
}

// --- text ---

namespace {

// The text a selected graphic stands for: itself, or its branch's label
// when it is the branch's shape.
TWTextArea *textOf(TWGraphic &graphic)
{
    if (auto *area = dynamic_cast<TWTextArea *>(&graphic))
        return area;
    if (graphic.isMainGraphic() && graphic.branch())
        return graphic.branch()->enclosedTextArea().get();
    return nullptr;
}

} // namespace

void TWGraphicBindingController::setStringAttributes(const std::optional<QVariantMap> &attributes)
{
    m_stringAttributes = attributes;
    if (!attributes)
        return;
    const GraphicList graphics = selection();
    for (const auto &g : graphics)
        if (TWTextArea *area = textOf(*g))
            area->setStringAttributes(*attributes);
    afterGraphicChange(&TWGraphicBindingController::updateStringAttributesFromGraphics, graphics);
}

void TWGraphicBindingController::setFontColor(const Color &color)
{
    for (const auto &g : selection()) {
        TWTextArea *area = textOf(*g);
        if (!area)
            continue;
        TextAttributes attributes = area->stringAttributes().value_or(TextAttributes());
        attributes.insert(NSForegroundColorAttributeName, QVariant::fromValue(color));
        area->setStringAttributes(attributes);
    }
}

// --- branches ---

void TWGraphicBindingController::setBranchValue(const QVariant &value, const QString &key)
{
    const BranchList branches = selectedBranches();
    for (const auto &b : branches)
        b->setValueForKey(value, key);
    afterBranchChange(branches);
}

void TWGraphicBindingController::setBranchType(int type)
{
    m_branchType = type;
    const BranchList branches = selectedBranches();
    if (type != -1) {
        for (const auto &b : branches)
            b->changeToBranchType(type);
        // The palettes offered depend on the shape.
        NotificationCenter::defaultCenter().post(PalettesNeedsUpdateNotification);
    }
    afterBranchChange(branches);
}

void TWGraphicBindingController::setTextRelativePosition(int position)
{
    m_textRelativePosition = position;
    const BranchList branches = selectedBranches();
    if (position != -1)
        for (const auto &b : branches)
            b->setTextRelativePosition(position);
    afterBranchChange(branches);
}

void TWGraphicBindingController::setHasBoundary(int value)
{
    setBranchValue(storeTriState(m_hasBoundary, value, QStringLiteral("hasBoundary")),
                   QStringLiteral("hasBoundary"));
}

void TWGraphicBindingController::setHideChildrenOutlineNumbers(int value)
{
    const QString key = QStringLiteral("hideChildrenOutlineNumbers");
    setBranchValue(storeTriState(m_hideChildrenOutlineNumbers, value, key), key);
}

void TWGraphicBindingController::setResetChildrenOutlineNumbers(int value)
{
    const QString key = QStringLiteral("resetChildrenOutlineNumbers");
    setBranchValue(storeTriState(m_resetChildrenOutlineNumbers, value, key), key);
}

void TWGraphicBindingController::setShowCheckBox(int value)
{
    const QString key = QStringLiteral("showCheckBox");
    setBranchValue(storeTriState(m_showCheckBox, value, key), key);
}

void TWGraphicBindingController::setBoundaryMargin(float margin)
{
    m_boundaryMargin = margin;
    setBranchValue(margin, QStringLiteral("boundaryMargin"));
}

void TWGraphicBindingController::setChildrenOutlineNumberFormatOverride(const QStringList &formats)
{
    m_childrenOutlineNumberFormatOverride = formats;
    const BranchList branches = selectedBranches();
    for (const auto &b : branches)
        b->setChildrenOutlineNumberFormatOverride(formats);
    afterBranchChange(branches);
}

void TWGraphicBindingController::setChildrenOutlineNumberFormatOverrideEnabled(int value)
{
    const int stored = storeTriState(m_childrenOutlineNumberFormatOverrideEnabled, value,
                                     QStringLiteral("childrenOutlineNumberFormatOverrideEnabled"));
    QStringList formats;
    if (stored == 1) {
        // Switching the override on starts from the map's own formats.
        formats = m_childrenOutlineNumberFormatOverride;
        if (formats.isEmpty()) {
            TWMap *map = currentMap();
            if (map)
                formats = map->outlineFormatSettings();
            if (formats.isEmpty())
                formats = {QStringLiteral("Numeric")};
        }
    }
    setChildrenOutlineNumberFormatOverride(formats);
}

void TWGraphicBindingController::setTextMaxWidthSet(int value)
{
    const bool on = storeTriState(m_textMaxWidthSet, value, QStringLiteral("textMaxWidthSet"));
    const BranchList branches = selectedBranches();
    for (const auto &b : branches)
        constrainToWidth(*b, m_textMaxWidth, on);
    afterBranchChange(branches);
}

void TWGraphicBindingController::setTextMaxWidth(float width)
{
    m_textMaxWidth = width;
    const BranchList branches = selectedBranches();
    for (const auto &b : branches)
        constrainToWidth(*b, width, true);
    afterBranchChange(branches);
}

void TWGraphicBindingController::setConnectionStyle(int style)
{
    const BranchList branches = selectedBranches();
    for (const auto &b : branches)
        if (b->connectionGraphic())
            b->connectionGraphic()->setStrokeStyle(style);
    afterBranchChange(branches);
}

void TWGraphicBindingController::setEnclosedImageData(const QByteArray &data)
{
    const bool shift = QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
    setEnclosedImageData(data, shift);
}

std::optional<Image> TWGraphicBindingController::enclosedImageFromData(const QByteArray &data,
                                                                       bool keepSize)
{
    std::optional<Image> image = Image::initWithData(data);
    if (!image || keepSize)
        return image;
    image->setScalesWhenResized(true);
    const Size size = image->size();
    if (size.width > EnclosedImageMaximumSide || size.height > EnclosedImageMaximumSide) {
        const float larger = size.width > size.height ? size.width : size.height;
        image->setSize(Size(size.width * EnclosedImageMaximumSide / larger,
                            size.height * EnclosedImageMaximumSide / larger));
    }
    return image;
}

void TWGraphicBindingController::setEnclosedImageData(const QByteArray &data, bool keepSize)
{
    m_enclosedImageData = data;
    const std::optional<Image> image = enclosedImageFromData(data, keepSize);
    const BranchList branches = selectedBranches();
    for (const auto &b : branches)
        setEnclosedImage(*b, image ? &*image : nullptr);
    afterBranchChange(branches);
}
