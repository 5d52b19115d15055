#include "styles/TWStyleManager.h"

#include "platform/NotificationCenter.h"
#include "platform/TWLocalizedString.h"
#include "platform/Uuid.h"
#include "platform/VariantTypes.h"
#include "support/Color.h"
#include "support/Image.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <cmath>

namespace {

const QString StyleExtension = QStringLiteral("TWStyle");

QString fileName(const QString &identifier)
{
    return identifier + QLatin1Char('.') + StyleExtension;
}

QString madeFolder(const QString &path)
{
    QDir().mkpath(path);
    return path;
}

const char *namesTable(int type)
{
    return type == TWStyle::MapStyle ? "MapStyleNames" : "GraphicStyleNames";
}

QString subfolder(int type)
{
    return type == TWStyle::MapStyle ? QStringLiteral("Map") : QStringLiteral("Graphic");
}

bool isKnownType(int type)
{
    return type == TWStyle::GraphicStyle || type == TWStyle::MapStyle;
}

// Truncated toward zero, as whole thousandths.
double thousandths(double value)
{
    return std::trunc(value * 1000.0);
}

} // namespace

TWStyleManager::TWStyleManager(const QString &applicationStylesFolder,
                               const QString &userStylesFolder)
    : m_applicationFolder(applicationStylesFolder), m_userFolder(userStylesFolder)
{}

TWStyleManager &TWStyleManager::sharedStyleManager()
{
    static TWStyleManager shared;
    return shared;
}

// --- folders ---

QString TWStyleManager::applicationStylesFolder()
{
    return QStringLiteral(":/Application Support/Thinkweb/Styles");
}

QString TWStyleManager::applicationGraphicStylesFolder()
{
    return applicationStylesFolder() + QStringLiteral("/Graphic");
}

QString TWStyleManager::applicationMapStylesFolder()
{
    return applicationStylesFolder() + QStringLiteral("/Map");
}

QString TWStyleManager::userStylesFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::tempPath();
    return madeFolder(base + QStringLiteral("/Thinkweb/Styles"));
}

QString TWStyleManager::userGraphicStylesFolder()
{
    return madeFolder(userStylesFolder() + QStringLiteral("/Graphic"));
}

QString TWStyleManager::userMapStylesFolder()
{
    return madeFolder(userStylesFolder() + QStringLiteral("/Map"));
}

QString TWStyleManager::folder(int type, bool user) const
{
    if (user) {
        const QString root = m_userFolder.isEmpty() ? userStylesFolder() : m_userFolder;
        return madeFolder(root + QLatin1Char('/') + subfolder(type));
    }
    const QString root =
        m_applicationFolder.isEmpty() ? applicationStylesFolder() : m_applicationFolder;
    return root + QLatin1Char('/') + subfolder(type);
}

QString TWStyleManager::graphicFolder(bool user) const
{
    return folder(TWStyle::GraphicStyle, user);
}

QString TWStyleManager::mapFolder(bool user) const
{
    return folder(TWStyle::MapStyle, user);
}

TWStyleManager::StyleList TWStyleManager::stylesInFolder(const QString &path)
{
    StyleList styles;
    if (path.isEmpty())
        return styles;
    const QDir dir(path);
    for (const QFileInfo &entry : dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
        if (entry.suffix() != StyleExtension)
            continue;
        if (std::shared_ptr<TWStyle> style = TWStyle::createWithContentsOfFile(entry.filePath()))
            styles.append(style);
    }
    return styles;
}

bool TWStyleManager::isFileIdentifier(const QString &identifier)
{
    static const QRegularExpression form(QStringLiteral(
        "^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    return form.match(identifier).hasMatch();
}

// --- the dictionaries ---

TWStyleManager::Library &TWStyleManager::library(int type)
{
    Library &lib = type == TWStyle::MapStyle ? m_map : m_graphic;
    if (!lib.loaded)
        reload(type);
    return lib;
}

void TWStyleManager::reload(int type)
{
    Library &lib = type == TWStyle::MapStyle ? m_map : m_graphic;
    lib.styles.clear();
    lib.shipped.clear();
    lib.loaded = true;
    for (const std::shared_ptr<TWStyle> &style : stylesInFolder(folder(type, false))) {
        if (style->type() != type || style->identifier().isEmpty())
            continue;
        style->setName(TWLocalizedString(namesTable(type), style->name()));
        style->setCustom(false);
        lib.styles.insert(style->identifier(), style);
        lib.shipped.insert(style->identifier(), style->fullProperties());
    }
    for (const std::shared_ptr<TWStyle> &style : stylesInFolder(folder(type, true))) {
        if (style->type() != type)
            continue;
        // Nameless identifiers would all collide under one key.
        if (style->identifier().isEmpty())
            style->setIdentifier(newUUIDString());
        style->setCustom(true);
        lib.styles.insert(style->identifier(), style);
    }
}

const TWStyleManager::StyleDictionary &TWStyleManager::graphicStyles()
{
    return library(TWStyle::GraphicStyle).styles;
}

const TWStyleManager::StyleDictionary &TWStyleManager::mapStyles()
{
    return library(TWStyle::MapStyle).styles;
}

void TWStyleManager::reloadGraphicStyles()
{
    reload(TWStyle::GraphicStyle);
    postChange(TWStyle::GraphicStyle);
}

void TWStyleManager::reloadMapStyles()
{
    reload(TWStyle::MapStyle);
    postChange(TWStyle::MapStyle);
}

void TWStyleManager::postChange(int type)
{
    NotificationCenter::defaultCenter().post(
        StylesDidChangeNotification, this,
        {{KindKey, type == TWStyle::MapStyle ? QStringLiteral("mapStyles")
                                             : QStringLiteral("graphicStyles")}});
}

bool TWStyleManager::setGraphicStyles(const StyleDictionary &styles)
{
    return setStyles(TWStyle::GraphicStyle, styles);
}

bool TWStyleManager::setMapStyles(const StyleDictionary &styles)
{
    return setStyles(TWStyle::MapStyle, styles);
}

bool TWStyleManager::setStyles(int type, const StyleDictionary &styles)
{
    Library &lib = library(type);
    const QString userFolder = folder(type, true);
    bool ok = true;

    StyleDictionary kept;
    for (auto it = styles.cbegin(); it != styles.cend(); ++it) {
        const std::shared_ptr<TWStyle> &style = it.value();
        if (!style)
            continue;
        const auto shipped = lib.shipped.constFind(style->identifier());
        const bool changed =
            style->custom() || shipped == lib.shipped.cend() || *shipped != style->fullProperties();
        if (changed) {
            if (!isFileIdentifier(style->identifier()))
                style->setIdentifier(newUUIDString());
            style->setCustom(true);
            ok = writeStyle(*style, userFolder) && ok;
        }
        kept.insert(style->identifier(), style);
    }

    // Only the files of styles that left the library go.
    for (auto it = lib.styles.cbegin(); it != lib.styles.cend(); ++it) {
        if (kept.contains(it.key()) || !isFileIdentifier(it.key()))
            continue;
        QFile file(userFolder + QLatin1Char('/') + fileName(it.key()));
        if (file.exists() && !file.remove()) {
            qWarning("Could not remove %s: %s", qPrintable(file.fileName()),
                     qPrintable(file.errorString()));
            ok = false;
        }
    }
    lib.styles = kept;
    postChange(type);
    return ok;
}

bool TWStyleManager::writeStyle(const TWStyle &style, const QString &folder) const
{
    const QString path = folder + QLatin1Char('/') + fileName(style.identifier());
    if (!style.writeToFile(path)) {
        qWarning("Could not write the style \"%s\" to %s", qPrintable(style.name()),
                 qPrintable(path));
        return false;
    }
    return true;
}

bool TWStyleManager::saveStyle(const std::shared_ptr<TWStyle> &style)
{
    if (!style)
        return false;
    if (style->name().isEmpty()) {
        qWarning("Cannot save style without a name");
        return false;
    }
    if (!isKnownType(style->type())) {
        qWarning("Style type %i is unknown so it cannot be saved", style->type());
        return false;
    }
    Library &lib = library(style->type());
    if (!isFileIdentifier(style->identifier()))
        style->setIdentifier(newUUIDString());
    style->setCustom(true);
    const bool written = writeStyle(*style, folder(style->type(), true));
    // Kept for the session even when the file failed: the caller reports it.
    lib.styles.insert(style->identifier(), style);
    postChange(style->type());
    return written;
}

bool TWStyleManager::deleteStyle(const std::shared_ptr<TWStyle> &style)
{
    if (!style)
        return false;
    if (!isKnownType(style->type())) {
        qWarning("Style type %i is unknown so it cannot be deleted", style->type());
        return false;
    }
    Library &lib = library(style->type());
    if (!isFileIdentifier(style->identifier()))
        return true;
    QFile file(folder(style->type(), true) + QLatin1Char('/') + fileName(style->identifier()));
    if (!file.exists())
        return true;
    if (!file.remove()) {
        qWarning("Could not remove %s: %s", qPrintable(file.fileName()),
                 qPrintable(file.errorString()));
        return false;
    }
    lib.styles.remove(style->identifier());
    postChange(style->type());
    return true;
}

// --- lookups ---

std::shared_ptr<TWStyle> TWStyleManager::graphicStyleWithIdentifier(const QString &identifier)
{
    return graphicStyles().value(identifier);
}

std::shared_ptr<TWStyle> TWStyleManager::mapStyleWithIdentifier(const QString &identifier)
{
    return mapStyles().value(identifier);
}

std::shared_ptr<TWStyle>
TWStyleManager::graphicStyleWithProperties(const OrderedDictionary &properties)
{
    return graphicStyleWithProperties(properties, graphicStyles().values());
}

std::shared_ptr<TWStyle> TWStyleManager::mapStyleWithProperties(const OrderedDictionary &properties)
{
    return mapStyleWithProperties(properties, mapStyles().values());
}

std::shared_ptr<TWStyle>
TWStyleManager::graphicStyleWithProperties(const OrderedDictionary &properties,
                                           const StyleList &styles)
{
    for (const std::shared_ptr<TWStyle> &style : styles) {
        bool matches = true;
        for (const auto &[key, value] : properties) {
            if (!isEqualTo(style->properties().value(key), value)) {
                matches = false;
                break;
            }
        }
        if (matches)
            return style;
    }
    return nullptr;
}

std::shared_ptr<TWStyle> TWStyleManager::mapStyleWithProperties(const OrderedDictionary &properties,
                                                                const StyleList &styles)
{
    for (const std::shared_ptr<TWStyle> &style : styles) {
        bool matches = true;
        for (const auto &[key, value] : style->properties()) {
            if (!properties.contains(key) || !isEqualTo(value, properties.value(key))) {
                matches = false;
                break;
            }
        }
        if (matches)
            return style;
    }
    return nullptr;
}

bool TWStyleManager::isEqualTo(const QVariant &a, const QVariant &b)
{
    using VariantTypes::NumberKind;
    if (VariantTypes::numberKind(a) != NumberKind::None &&
        VariantTypes::numberKind(b) != NumberKind::None)
        return thousandths(a.toFloat()) == thousandths(b.toFloat());

    if (a.canConvert<Color>() && a.metaType() == QMetaType::fromType<Color>() &&
        b.metaType() == QMetaType::fromType<Color>()) {
        const Color x = a.value<Color>().toCalibratedRGB();
        const Color y = b.value<Color>().toCalibratedRGB();
        return thousandths(x.alphaComponent()) == thousandths(y.alphaComponent()) &&
               thousandths(x.redComponent()) == thousandths(y.redComponent()) &&
               thousandths(x.greenComponent()) == thousandths(y.greenComponent()) &&
               thousandths(x.blueComponent()) == thousandths(y.blueComponent());
    }

    if (a.metaType() == QMetaType::fromType<Image>() &&
        b.metaType() == QMetaType::fromType<Image>())
        return a.value<Image>().toQImage() == b.value<Image>().toQImage();

    const std::optional<OrderedDictionary> da = OrderedDictionary::fromVariant(a);
    const std::optional<OrderedDictionary> db = OrderedDictionary::fromVariant(b);
    if (da && db) {
        if (da->count() != db->count())
            return false;
        for (const auto &[key, value] : *da) {
            if (!db->contains(key) || !isEqualTo(value, db->value(key)))
                return false;
        }
        return true;
    }

    if (a.typeId() == QMetaType::QVariantList && b.typeId() == QMetaType::QVariantList) {
        const QVariantList la = a.toList();
        const QVariantList lb = b.toList();
        if (la.size() != lb.size())
            return false;
        for (qsizetype i = 0; i < la.size(); ++i) {
            if (!isEqualTo(la[i], lb[i]))
                return false;
        }
        return true;
    }
    // QVariant would compare "2" and 2 equal by converting one of them.
    return a.metaType() == b.metaType() && a == b;
}
