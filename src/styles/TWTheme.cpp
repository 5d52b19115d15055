#include "styles/TWTheme.h"

#include "model/TWMap.h"
#include "platform/Uuid.h"
#include "render/PictureDrawing.h"
#include "styles/TWStyleManager.h"
#include "support/Image.h"

#include <QCollator>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

namespace {

const QString ThemeVersion = QStringLiteral("1.0");

QString madeFolder(const QString &path)
{
    QDir().mkpath(path);
    return path;
}

std::shared_ptr<TWStyle> styleOfValue(const QVariant &value)
{
    return value.canConvert<TWStylePointer>() ? value.value<TWStylePointer>() : nullptr;
}

} // namespace

TWTheme::TWTheme() : name(QStringLiteral("New Theme")), identifier(newUUIDString()) {}

bool TWTheme::isFileIdentifier(const QString &identifier)
{
    return identifier == DefaultThemeIdentifier || TWStyleManager::isFileIdentifier(identifier);
}

std::shared_ptr<TWTheme> TWTheme::createWithContentsOfFile(const QString &path)
{
    const std::optional<OrderedDictionary> dictionary =
        OrderedDictionary::dictionaryWithContentsOfXMLFile(path);
    if (!dictionary) {
        qWarning("Theme file %s cannot be read; skipped", qUtf8Printable(path));
        return nullptr;
    }
    return createWithDictionary(*dictionary);
}

std::shared_ptr<TWTheme> TWTheme::createWithDictionary(const OrderedDictionary &dictionary)
{
    auto theme = std::make_shared<TWTheme>();
    theme->name = dictionary.value(NameKey).toString();
    // Identifiers name files: anything but the UUID form gets a fresh one.
    const QString id = dictionary.value(IDKey).toString();
    if (isFileIdentifier(id))
        theme->identifier = id;
    else if (!id.isEmpty())
        qWarning("Theme identifier \"%s\" is no UUID; a new one is used", qUtf8Printable(id));
    theme->mapStyle = styleOfValue(dictionary.value(MapStyleKey));
    if (dictionary.contains(DefaultGraphicStyleIDKey))
        theme->defaultGraphicStyleID = dictionary.value(DefaultGraphicStyleIDKey).toString();
    if (const auto styles = OrderedDictionary::fromVariant(dictionary.value(GraphicStylesKey))) {
        for (const auto &[key, value] : *styles) {
            if (std::shared_ptr<TWStyle> style = styleOfValue(value))
                theme->graphicStyles.insert(key, style);
        }
    }
    for (const QVariant &level : dictionary.value(BranchLevelStyleIDsKey).toList())
        theme->branchLevelStyleIDs.append(
            OrderedDictionary::fromVariant(level).value_or(OrderedDictionary()));
    theme->previewPDFData = dictionary.value(PreviewPDFDataKey).toByteArray();
    return theme;
}

OrderedDictionary TWTheme::dictionary() const
{
    OrderedDictionary d;
    d.setValue(NameKey, name);
    d.setValue(IDKey, identifier);
    d.setValue(VersionKey, ThemeVersion);
    if (mapStyle)
        d.setValue(MapStyleKey, QVariant::fromValue(mapStyle));
    if (defaultGraphicStyleID)
        d.setValue(DefaultGraphicStyleIDKey, *defaultGraphicStyleID);
    OrderedDictionary styles;
    for (auto it = graphicStyles.cbegin(); it != graphicStyles.cend(); ++it) {
        if (it.value())
            styles.setValue(it.key(), QVariant::fromValue(it.value()));
    }
    d.setValue(GraphicStylesKey, QVariant::fromValue(styles));
    QVariantList levels;
    for (const OrderedDictionary &level : branchLevelStyleIDs)
        levels.append(QVariant::fromValue(level));
    d.setValue(BranchLevelStyleIDsKey, levels);
    if (!previewPDFData.isEmpty())
        d.setValue(PreviewPDFDataKey, previewPDFData);
    return d;
}

bool TWTheme::writeToFile(const QString &path) const
{
    return dictionary().writeToXMLFile(path);
}

QImage TWTheme::previewImage() const
{
    if (previewPDFData.isEmpty())
        return QImage();
    const std::optional<Image> image = Image::initWithData(previewPDFData);
    if (!image || !(image->size().width > 0) || !(image->size().height > 0))
        return QImage();
    // Large enough for the biggest preview grid, in the page's proportions.
    const QSizeF page = image->size().toQt();
    const qreal scale = 400.0 / std::max(page.width(), page.height());
    return PictureDrawing::renderPDF(previewPDFData,
                                     QSize(std::max(1, qRound(page.width() * scale)),
                                           std::max(1, qRound(page.height() * scale))));
}

std::shared_ptr<TWStyle> TWTheme::styleForLevel(int level, const QString &key) const
{
    if (branchLevelStyleIDs.isEmpty() || level < 0)
        return nullptr;
    const OrderedDictionary &entry = level < branchLevelStyleIDs.size()
                                         ? branchLevelStyleIDs[level]
                                         : branchLevelStyleIDs.last();
    const QVariant identifier = entry.value(key);
    if (identifier.typeId() != QMetaType::QString)
        return nullptr;
    return graphicStyles.value(identifier.toString());
}

std::shared_ptr<TWStyle> TWTheme::mainGraphicStyleForBranchLevel(int level, const TWTheme &theme)
{
    return theme.styleForLevel(level, MainGraphicStyleIDKey);
}

std::shared_ptr<TWStyle> TWTheme::attachedGraphicStyleForBranchLevel(int level,
                                                                     const TWTheme &theme)
{
    return theme.styleForLevel(level, AttachedGraphicStyleIDKey);
}

// --- the library ---

TWThemeManager::TWThemeManager(const QString &standardFolder, const QString &customFolder)
    : m_standardFolder(standardFolder), m_customFolder(customFolder)
{}

TWThemeManager::~TWThemeManager() = default;

TWThemeManager &TWThemeManager::sharedThemeManager()
{
    // Never destroyed: its panels must not outlive the application object.
    static TWThemeManager *shared = new TWThemeManager;
    return *shared;
}

QString TWThemeManager::standardThemesFolder()
{
    return QStringLiteral(":/Application Support/Thinkweb/Themes");
}

QString TWThemeManager::customThemesFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::tempPath();
    return madeFolder(base + QStringLiteral("/Thinkweb/Themes"));
}

QString TWThemeManager::standardFolder() const
{
    return m_standardFolder.isEmpty() ? standardThemesFolder() : m_standardFolder;
}

QString TWThemeManager::customFolder() const
{
    return m_customFolder.isEmpty() ? customThemesFolder() : madeFolder(m_customFolder);
}

TWThemeManager::ThemeDictionary TWThemeManager::themesInFolder(const QString &path)
{
    ThemeDictionary themes;
    if (path.isEmpty())
        return themes;
    const QDir dir(path);
    for (const QFileInfo &entry : dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
        if (entry.suffix() != TWTheme::FileExtension)
            continue;
        if (std::shared_ptr<TWTheme> theme = TWTheme::createWithContentsOfFile(entry.filePath()))
            themes.insert(theme->identifier, theme);
    }
    return themes;
}

void TWThemeManager::reloadStandardThemes()
{
    m_standard = themesInFolder(standardFolder());
    m_standardLoaded = true;
}

void TWThemeManager::reloadCustomThemes()
{
    m_custom = themesInFolder(customFolder());
    m_customLoaded = true;
}

const TWThemeManager::ThemeDictionary &TWThemeManager::standardThemes()
{
    if (!m_standardLoaded)
        reloadStandardThemes();
    return m_standard;
}

const TWThemeManager::ThemeDictionary &TWThemeManager::customThemes()
{
    if (!m_customLoaded)
        reloadCustomThemes();
    return m_custom;
}

TWThemeManager::ThemeDictionary TWThemeManager::allThemes()
{
    ThemeDictionary all = standardThemes();
    const ThemeDictionary &custom = customThemes();
    for (auto it = custom.cbegin(); it != custom.cend(); ++it)
        all.insert(it.key(), it.value());
    return all;
}

std::shared_ptr<TWTheme> TWThemeManager::defaultTheme()
{
    return themeWithIdentifier(TWTheme::DefaultThemeIdentifier);
}

TWThemeManager::ThemeList TWThemeManager::orderedThemes()
{
    const ThemeDictionary all = allThemes();
    std::shared_ptr<TWTheme> first = all.value(TWTheme::DefaultThemeIdentifier);
    ThemeList others;
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        if (it.value() != first)
            others.append(it.value());
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(others.begin(), others.end(), [&collator](const auto &a, const auto &b) {
        return collator.compare(a->name, b->name) < 0;
    });
    if (first)
        others.prepend(first);
    return others;
}

std::shared_ptr<TWTheme> TWThemeManager::themeWithIdentifier(const QString &identifier)
{
    if (customThemes().contains(identifier))
        return m_custom.value(identifier);
    return standardThemes().value(identifier);
}

bool TWThemeManager::writeCustomTheme(TWTheme &theme)
{
    if (!TWTheme::isFileIdentifier(theme.identifier))
        theme.identifier = newUUIDString();
    const QString path = customFolder() + QLatin1Char('/') + theme.identifier + QLatin1Char('.') +
                         TWTheme::FileExtension;
    if (!theme.writeToFile(path)) {
        qWarning("Theme \"%s\" could not be written to %s", qUtf8Printable(theme.name),
                 qUtf8Printable(path));
        return false;
    }
    reloadCustomThemes();
    return true;
}

std::shared_ptr<TWTheme> TWThemeManager::createNewCustomThemeWithName(const QString &name,
                                                                      TWMap &map)
{
    std::shared_ptr<TWTheme> theme = map.newThemeFromCurrentSettings();
    theme->name = name;
    if (!writeCustomTheme(*theme))
        return nullptr;
    return themeWithIdentifier(theme->identifier);
}

bool TWThemeManager::updateTheme(TWTheme &theme, TWMap &map)
{
    const std::shared_ptr<TWTheme> fresh = map.newThemeFromCurrentSettings();
    theme.mapStyle = fresh->mapStyle;
    theme.graphicStyles = fresh->graphicStyles;
    theme.branchLevelStyleIDs = fresh->branchLevelStyleIDs;
    theme.previewPDFData = fresh->previewPDFData;
    return writeCustomTheme(theme);
}

void TWThemeManager::addTheme(const std::shared_ptr<TWTheme> &theme)
{
    if (!theme)
        return;
    customThemes();
    m_custom.insert(theme->identifier, theme);
}

void TWThemeManager::removeTheme(const QString &identifier)
{
    m_custom.remove(identifier);
    m_standard.remove(identifier);
}
