#include "graphics/TWGraphic.h"
#include "model/TWMap.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "platform/VariantTypes.h"
#include "styles/TWStyleManager.h"
#include "styles/TWTheme.h"

namespace {

const QString OffsetXKey = QStringLiteral("backgroundImageOffsetX");
const QString OffsetYKey = QStringLiteral("backgroundImageOffsetY");
const QString ImageDataKey = QStringLiteral("backgroundImageData");

bool isNumber(const QVariant &v)
{
    return VariantTypes::numberKind(v) != VariantTypes::NumberKind::None;
}

// The map style identifier as one undoable change; undoing a map style
// restores the settings through their own inverses and this identifier.
void setMapStyleIDUndoably(const std::shared_ptr<TWMap> &map,
                           const std::optional<QString> &identifier)
{
    const std::optional<QString> old = map->mapStyleID();
    UndoManager::registerUndo(map->undoManager(), [map, old] { setMapStyleIDUndoably(map, old); });
    map->setMapStyleID(identifier);
}

} // namespace

const QStringList &TWMap::backgroundKeys()
{
    static const QStringList keys{QStringLiteral("backgroundColor"),
                                  ImageDataKey,
                                  QStringLiteral("backgroundImageTileMode"),
                                  QStringLiteral("backgroundImageOpacity"),
                                  OffsetXKey,
                                  OffsetYKey};
    return keys;
}

const QStringList &TWMap::coloringKeys()
{
    static const QStringList keys{QStringLiteral("graphicColoringMode"),
                                  QStringLiteral("rainbowAngle"),
                                  QStringLiteral("rainbowSaturation")};
    return keys;
}

const QStringList &TWMap::autolayoutKeys()
{
    static const QStringList keys{
        QStringLiteral("layoutAssistanceMode"), QStringLiteral("firstLevelSpacing"),
        QStringLiteral("interChildSpacing"), QStringLiteral("repelDistance")};
    return keys;
}

const QStringList &TWMap::outlineNumberingKeys()
{
    static const QStringList keys{
        QStringLiteral("showOutlineNumbers"), QStringLiteral("orderingMode"),
        QStringLiteral("outlineNumbersToLevel"), QStringLiteral("outlineFormatSettings"),
        QStringLiteral("childOutlineNumberingTopDown")};
    return keys;
}

QVariant TWMap::styleValueForKey(const QString &key) const
{
    if (key == OffsetXKey)
        return backgroundImageOffsetX();
    if (key == OffsetYKey)
        return backgroundImageOffsetY();
    if (key == ImageDataKey) {
        const std::optional<QByteArray> data = backgroundImageData();
        return data ? QVariant(*data) : QVariant();
    }
    if (key == QLatin1String("outlineFormatSettings")) {
        QVariantList formats;
        for (const QString &format : outlineFormatSettings())
            formats << format;
        return formats;
    }
    return valueForKey(key);
}

bool TWMap::setStyleValueForKey(const QVariant &value, const QString &key)
{
    if (key == OffsetXKey || key == OffsetYKey) {
        if (!isNumber(value))
            return false;
        if (key == OffsetXKey)
            setBackgroundImageOffsetX(value.toFloat());
        else
            setBackgroundImageOffsetY(value.toFloat());
        return true;
    }
    if (key == ImageDataKey) {
        // No data takes the picture away.
        setBackgroundImageData(value.typeId() == QMetaType::QByteArray
                                   ? std::optional<QByteArray>(value.toByteArray())
                                   : std::nullopt);
        return true;
    }
    return setMapValue(value, key);
}

void TWMap::updateKeys(const QStringList &keys, OrderedDictionary &dictionary) const
{
    for (const QString &key : keys) {
        const QVariant value = styleValueForKey(key);
        if (value.isValid())
            dictionary.setValue(key, value);
        else
            dictionary.remove(key);
    }
}

std::shared_ptr<TWStyle> TWMap::newStyleFromCurrentSettings() const
{
    auto style = std::make_shared<TWMapStyle>();
    OrderedDictionary m{{QStringLiteral("applyBackground"), true},
                        {QStringLiteral("applyColoring"), true},
                        {QStringLiteral("applyAutolayout"), false},
                        {QStringLiteral("applyOutlineNumbering"), false}};
    updateKeys(backgroundKeys(), m);
    updateKeys(coloringKeys(), m);
    updateKeys(autolayoutKeys(), m);
    updateKeys(outlineNumberingKeys(), m);
    style->setGroup(TWStyle::MapGroup, m);
    return style;
}

std::shared_ptr<TWStyle> TWMap::mapStyle() const
{
    if (!m_mapStyleID)
        return nullptr;
    return TWStyleManager::sharedStyleManager().mapStyleWithIdentifier(*m_mapStyleID);
}

std::shared_ptr<TWStyle> TWMap::defaultGraphicStyle() const
{
    if (!m_defaultGraphicStyleID)
        return nullptr;
    return TWStyleManager::sharedStyleManager().graphicStyleWithIdentifier(
        *m_defaultGraphicStyleID);
}

void TWMap::setDefaultGraphicStyle(const std::shared_ptr<TWStyle> &style)
{
    setDefaultGraphicStyleID(style ? std::optional<QString>(style->identifier()) : std::nullopt);
}

void TWMap::setMapStyle(const std::shared_ptr<TWStyle> &style)
{
    const std::shared_ptr<TWMap> self = shared_from_this();
    UndoManager *undo = undoManager();
    setMapStyleIDUndoably(self, style ? std::optional<QString>(style->identifier()) : std::nullopt);
    UndoManager::setActionName(
        undo, TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Graphic Style")));
    if (!style)
        return;
    const OrderedDictionary m = style->group(TWStyle::MapGroup);
    const auto on = [&m](const char *flag) { return m.value(QString::fromLatin1(flag)).toBool(); };
    if (on("applyBackground"))
        applyKeys(backgroundKeys(), *style);
    if (on("applyColoring"))
        applyKeys(coloringKeys(), *style);
    if (on("applyAutolayout"))
        applyKeys(autolayoutKeys(), *style);
    if (on("applyOutlineNumbering"))
        applyKeys(outlineNumberingKeys(), *style);
}

void TWMap::applyKeys(const QStringList &keys, const TWStyle &style)
{
    const OrderedDictionary m = style.group(TWStyle::MapGroup);
    for (const QString &key : keys) {
        // A setting the style does not hold stays as it is.
        if (m.contains(key))
            setStyleValueForKey(m.value(key), key);
    }
}

void TWMap::updateStyleForGraphicsWithStyleID(const QString &identifier)
{
    for (const std::shared_ptr<TWGraphic> &graphic : allGraphics()) {
        if (graphic->styleID() == identifier)
            graphic->updateStyle();
    }
}

std::shared_ptr<TWTheme> TWMap::theme() const
{
    if (!m_themeID)
        return nullptr;
    return TWThemeManager::sharedThemeManager().themeWithIdentifier(*m_themeID);
}

void TWMap::setTheme(const std::shared_ptr<TWTheme> &theme)
{
    setThemeID(theme ? std::optional<QString>(theme->identifier) : std::nullopt);
}
