#include "exchange/KeynoteExportController_Shapes.h"
#include "exchange/TWExportController.h"
#include "exchange/TWKeynoteTemplates.h"
#include "graphics/TWGraphic.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <cmath>
#include <sys/stat.h>

#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

namespace {

const QString kCompressedIndex = QStringLiteral("index.apxl.gz");
const QString kIndex = QStringLiteral("index.apxl");

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, QString::fromUtf8(key));
}

void alert(const QString &title, const QString &message)
{
    Alerts::current().runAlertPanel(
        title, message, {TWLocalizedString(StringTable::General, QStringLiteral("OK"))});
}

void alertExportFailed()
{
    alert(dadoZiz("Error exporting to Keynote"),
          dadoZiz("Please see the Console for detailed messages"));
}

// A relative path that stays inside the package folder.
bool isSafeName(const QString &name)
{
    if (name.isEmpty() || QDir::isAbsolutePath(name))
        return false;
    for (const QString &part : name.split(QLatin1Char('/')))
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    return true;
}

struct DocumentDeleter
{
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};
struct ContextDeleter
{
    void operator()(xmlXPathContext *context) const { xmlXPathFreeContext(context); }
};

QList<xmlNodePtr> evaluate(xmlXPathContextPtr context, const char *query, xmlNodePtr node)
{
    QList<xmlNodePtr> result;
    context->node = node;
    xmlXPathObjectPtr object = xmlXPathEvalExpression(BAD_CAST query, context);
    if (object && object->nodesetval)
        for (int i = 0; i < object->nodesetval->nodeNr; ++i)
            result << object->nodesetval->nodeTab[i];
    xmlXPathFreeObject(object);
    return result;
}

} // namespace

// --- ids ---

QSet<qint64> KeynoteExportController::s_reserved;

quint32 KeynoteExportController::takeCounter()
{
    quint32 value = s_counter++;
    while (!s_reserved.isEmpty() && s_reserved.contains(value))
        value = s_counter++;
    return value;
}

void KeynoteExportController::setReservedNumbers(QSet<qint64> numbers)
{
    s_reserved = std::move(numbers);
}

// --- package ---

std::optional<KeynotePackage> KeynotePackage::fromFolder(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isDir())
        return std::nullopt;
    KeynotePackage package;
    const QDir root(path);
    // Links are not followed: a package holds its own files only.
    QDirIterator files(path, QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString file = files.next();
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly))
            return std::nullopt;
        package.m_files.insert(root.relativeFilePath(file), in.readAll());
    }
    return package;
}

void KeynotePackage::addRegularFile(const QByteArray &data, const QString &preferredName)
{
    m_files.insert(preferredName, data);
}

bool KeynotePackage::writeTo(const QString &path, QString *error) const
{
    auto fail = [&](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    const QFileInfo target(path);
    const QDir parent = target.absoluteDir();
    if (target.fileName().isEmpty() || !parent.exists())
        return fail(QStringLiteral("no folder to write %1 in").arg(path));

    QTemporaryDir staging(
        parent.filePath(QStringLiteral(".") + target.fileName() + QStringLiteral("-XXXXXX")));
    if (!staging.isValid())
        return fail(staging.errorString());
    for (auto it = m_files.cbegin(); it != m_files.cend(); ++it) {
        if (!isSafeName(it.key()))
            return fail(QStringLiteral("unsafe file name %1").arg(it.key()));
        const QString file = staging.filePath(it.key());
        if (!QDir().mkpath(QFileInfo(file).absolutePath()))
            return fail(QStringLiteral("cannot make the folder of %1").arg(it.key()));
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(it.value()) != it.value().size() ||
            !out.flush())
            return fail(out.errorString());
    }

    // The package takes the mode a saved file would: the one it replaces
    // keeps its own, a new one follows the user's umask (the staging
    // folder was made private).
    mode_t mode = 0;
    struct stat existing;
    if (::lstat(QFile::encodeName(target.absoluteFilePath()).constData(), &existing) == 0 &&
        S_ISDIR(existing.st_mode)) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0777 & ~mask;
    }
    if (::chmod(QFile::encodeName(staging.path()).constData(), mode) != 0)
        return fail(QStringLiteral("cannot set the mode of %1").arg(path));

    // The complete package takes the target's place; what was there is
    // moved aside first and removed only once the new one is in place.
    const QString destination = target.absoluteFilePath();
    QString previous;
    if (target.exists() || target.isSymLink()) {
        previous =
            parent.filePath(QStringLiteral(".") + target.fileName() + QStringLiteral("-previous-") +
                            QFileInfo(staging.path()).fileName().section('-', -1));
        if (!QDir().rename(destination, previous))
            return fail(QStringLiteral("cannot replace %1").arg(path));
    }
    if (!QDir().rename(staging.path(), destination)) {
        if (!previous.isEmpty())
            QDir().rename(previous, destination);
        return fail(QStringLiteral("cannot write %1").arg(path));
    }
    staging.setAutoRemove(false);
    if (!previous.isEmpty()) {
        if (QFileInfo(previous).isDir() && !QFileInfo(previous).isSymLink())
            QDir(previous).removeRecursively();
        else
            QFile::remove(previous);
    }
    return true;
}

// --- placement ---

KeynoteExportController::Placement KeynoteExportController::mapPlacement(Rect bounds,
                                                                         int slideWidth,
                                                                         int slideHeight,
                                                                         long long zoomPercent)
{
    // A percent below 1 or an empty map would mirror the map or divide by
    // zero; a map smaller than a point is fitted as a point (the zoom is at
    // most 2 either way).
    const long long percent = std::max<long long>(zoomPercent, 1);
    auto finite = [](float v) { return std::isfinite(v) ? v : 0.0f; };
    const float x = finite(bounds.x()), y = finite(bounds.y());
    const float w = std::max(finite(bounds.width()), 0.0f);
    const float h = std::max(finite(bounds.height()), 0.0f);

    const float fitV = float(percent * slideHeight) * 0.01f / std::max(h, 1.0f);
    const float fitH = float(percent * slideWidth) * 0.01f / std::max(w, 1.0f);
    float zoom = (fitH < fitV ? fitH : fitV) - 0.03f;
    if (zoom > 2.0f)
        zoom = 2.0f;
    if (!(zoom > 0))
        zoom = 0.01f;
    Placement placement;
    placement.zoom = zoom;
    placement.xOffset = (float(slideWidth) - w * zoom) * 0.5f - x * zoom;
    placement.yOffset = (float(slideHeight) - h * zoom) * 0.5f - y * zoom;
    return placement;
}

std::pair<QString, int> KeynoteExportController::templateForSetting(long long index)
{
    if (const TWKeynoteTemplates::Template *entry = TWKeynoteTemplates::templateAt(index))
        return {TWKeynoteTemplates::packagePath(*entry), entry->keynoteVersion};
    return {TWKeynoteTemplates::supportFolder(), 0};
}

// --- one presentation ---

bool KeynoteExportController::generateKeynoteFile(const QString &templatePath,
                                                  KeynotePackage &package, int keynoteVersion,
                                                  TWMap &map)
{
    resetIds();

    QString indexName;
    std::optional<QByteArray> data;
    if (package.contains(kCompressedIndex)) {
        indexName = kCompressedIndex;
        data = TWFileIO::gzDataFromFile(templatePath + QLatin1Char('/') + kCompressedIndex);
    } else if (package.contains(kIndex)) {
        indexName = kIndex;
        QFile file(templatePath + QLatin1Char('/') + kIndex);
        if (file.open(QIODevice::ReadOnly))
            data = file.readAll();
    } else {
        alert(QStringLiteral("Error"),
              dadoZiz("Incorrect version of Keynote template - Thinkweb will only use Keynote 2 "
                      "and 3 templates."));
        qWarning("Incorrect version of Keynote template - Thinkweb will only use Keynote 2 & 3 "
                 "templates.");
        return false;
    }

    const long long zoomPercent =
        UserDefaults::standard().integerForKey(QStringLiteral("ExportKeynoteZoomPercent"));
    if (!data || data->isEmpty()) {
        qWarning("Keynote template was empty.");
        return false;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(*data);
    if (decoder.hasError() || text.isEmpty()) {
        qWarning("This is not a valid Keynote file - no contents found");
        return false;
    }
    const std::unique_ptr<xmlDoc, DocumentDeleter> doc(
        xmlReadMemory(data->constData(), int(data->size()), nullptr, "UTF-8", XML_PARSE_NONET));
    if (!doc) {
        qWarning("Failed to parse the keynote file.");
        return false;
    }
    xmlNodePtr root = xmlDocGetRootElement(doc.get());
    if (!root) {
        qWarning("Empty Keynote document");
        return false;
    }

    const std::unique_ptr<xmlXPathContext, ContextDeleter> context(xmlXPathNewContext(doc.get()));
    if (!context) {
        qWarning("Couldn't set up keynote namespace");
        return false;
    }
    const KeynoteNamespaces ns = KeynoteNamespaces::forDocument(doc.get());
    auto registerPrefix = [&](xmlNsPtr space, const char *prefix, const char *failure) {
        if (!space || !space->href ||
            xmlXPathRegisterNs(context.get(), BAD_CAST prefix, space->href) != 0)
            qWarning("%s", failure);
    };
    registerPrefix(ns.key, "key", "Couldn't set up keynote namespace");
    registerPrefix(ns.sfa, "sfa", "Couldn't set up sfa namespace");
    registerPrefix(ns.sf, "sf", "Couldn't set up sf namespace");

    const QList<xmlNodePtr> sizes =
        ns.key ? evaluate(context.get(), "/key:presentation/key:size", root) : QList<xmlNodePtr>();
    if (sizes.isEmpty()) {
        qWarning("No presentation size defined in Keynote file");
        return false;
    }
    const QString widthText = TWKeynoteXML::attribute(sizes.first(), ns.sfa, "w");
    if (!ns.sfa || widthText.isNull()) {
        qWarning("No width defined in Keynote file");
        return false;
    }
    const QString heightText = TWKeynoteXML::attribute(sizes.first(), ns.sfa, "h");
    if (heightText.isNull()) {
        qWarning("No height defined in Keynote file");
        return false;
    }

    map.removeAllGraphicOrderCache();
    const Placement placement =
        mapPlacement(map.getBoundingDrawingRectForAllGraphics(), CFormat::intValue(widthText),
                     CFormat::intValue(heightText), zoomPercent);

    // Masters: the second in theme order carries bullets, the fourth is blank.
    if (!ns.key || !ns.sf || !ns.sfa) {
        qWarning("Could not find bullet style sheet for theme");
        return false;
    }
    const QList<xmlNodePtr> masters =
        evaluate(context.get(),
                 "/key:presentation/key:theme-list/key:theme/key:master-slides/"
                 "key:master-slide",
                 root);
    if (masters.isEmpty()) {
        qWarning("Could not find bullet style sheet for theme");
        return false;
    }
    QStringList order;
    for (xmlNodePtr ref :
         evaluate(context.get(), "/key:presentation/key:master-order/key:master-slide-ref", root)) {
        const QString id = TWKeynoteXML::attribute(ref, ns.sfa, "IDREF");
        if (!id.isNull())
            order << id;
    }
    const QString bulletMaster = order.value(1);
    const QString blankMaster = order.value(3);
    QString bulletSheet, blankSheet, bulletLayer, blankLayer;
    for (xmlNodePtr master : masters) {
        const QString id = TWKeynoteXML::attribute(master, ns.sfa, "ID");
        if (id.isNull() || (id != bulletMaster && id != blankMaster))
            continue;
        QString sheet, layer;
        if (const QList<xmlNodePtr> sheets =
                evaluate(context.get(), "child::key:stylesheet", master);
            !sheets.isEmpty())
            sheet = TWKeynoteXML::attribute(sheets.first(), ns.sfa, "ID");
        for (xmlNodePtr kind : evaluate(
                 context.get(), "child::key:page/sf:layers/sf:layer/sf:type/sf:string", master)) {
            if (TWKeynoteXML::attribute(kind, ns.sfa, "string") ==
                    QLatin1String("BGMasterSlideLayer") &&
                kind->parent && kind->parent->parent)
                layer = TWKeynoteXML::attribute(kind->parent->parent, ns.sfa, "ID");
        }
        if (id == bulletMaster)
            bulletSheet = sheet, bulletLayer = layer;
        if (id == blankMaster)
            blankSheet = sheet, blankLayer = layer;
    }
    const std::pair<const QString *, const char *> checks[] = {
        {&bulletSheet, "Could not find bullet style sheet for theme"},
        {&blankSheet, "Could not find blank style sheet for theme"},
        {&bulletLayer, "Could not find bullet master layer info for theme"},
        {&blankLayer, "Could not find blank master layer info for theme"},
    };
    for (const auto &[value, message] : checks) {
        if (value->isEmpty()) {
            qWarning("%s", message);
            return false;
        }
    }
    const QList<xmlNodePtr> lists =
        evaluate(context.get(), "/key:presentation/key:slide-list", root);
    if (lists.isEmpty()) {
        qWarning("No slide list defined in Keynote file");
        return false;
    }
    xmlNodePtr slideList = lists.first();

    // Graphic ids ("TWGraphicStyle-<number>") and counter ids share their
    // kinds: the counter keeps clear of the map's graphic numbers.
    QSet<qint64> numbers;
    for (const auto &graphic : map.allGraphics())
        if (graphic)
            numbers.insert(graphic->graphicNumber());
    setReservedNumbers(std::move(numbers));
    struct Release
    {
        ~Release() { KeynoteExportController::setReservedNumbers({}); }
    } release;

    if (!createMapSlide(blankMaster, blankLayer, blankSheet, slideList, root, placement.zoom,
                        placement.xOffset, placement.yOffset, keynoteVersion, map, package)) {
        qWarning("Error creating graphic slides");
        return false;
    }
    if (!createTextSlides(bulletMaster, bulletLayer, bulletSheet, slideList, root, keynoteVersion,
                          map)) {
        qWarning("Error creating text slides");
        return false;
    }

    xmlChar *bytes = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc.get(), &bytes, &size, "UTF-8", 1);
    const QByteArray xml(reinterpret_cast<const char *>(bytes), size);
    xmlFree(bytes);
    // Written uncompressed, whichever form the template held.
    package.removeFile(indexName);
    package.removeFile(kIndex);
    package.addRegularFile(xml, kIndex);
    return true;
}

// --- the export ---

void KeynoteExportController::exportMaps(const QList<std::shared_ptr<TWMap>> &maps,
                                         const QString &path)
{
    const QStringList names = TWExportController::fileNamesForChosenName(path, int(maps.size()));
    QList<std::pair<std::shared_ptr<TWMap>, QString>> targets;
    for (qsizetype i = 0; i < maps.size(); ++i)
        targets.append({maps[i], names.value(i)});
    exportMapsToFiles(targets);
}

void KeynoteExportController::exportMapsToFiles(
    const QList<std::pair<std::shared_ptr<TWMap>, QString>> &targets)
{
    const auto [templatePath, version] = templateForSetting(
        UserDefaults::standard().integerForKey(QStringLiteral("ExportKeynoteVersionAndSize")));
    const std::optional<KeynotePackage> original = KeynotePackage::fromFolder(templatePath);
    if (!original) {
        qWarning().noquote()
            << QStringLiteral("Error opening standard keynote file at path: %1").arg(templatePath);
        alertExportFailed();
        return;
    }
    // Files that cannot be written are told of once, with the reason, after
    // the others are written: one folder the user cannot write to would
    // otherwise raise an alert per map.
    QList<std::pair<QString, QString>> unwritten;
    const auto tellUnwritten = [&unwritten]() {
        if (unwritten.isEmpty())
            return;
        const auto &[first, reason] = unwritten.first();
        QString message = dadoZiz("Failed to write to file %@").replace(QStringLiteral("%@"), first);
        message += QStringLiteral(" (%1).").arg(reason);
        if (unwritten.size() > 1) {
            QStringList others;
            for (qsizetype i = 1; i < unwritten.size(); ++i)
                others << unwritten[i].first;
            message += QLatin1Char(' ') +
                       dadoZiz("Not written either: %@.")
                           .replace(QStringLiteral("%@"), others.join(QStringLiteral(", ")));
        }
        alert(dadoZiz("Error exporting to Keynote"), message);
    };
    for (const auto &[map, target] : targets) {
        if (!map)
            continue;
        // Every presentation starts from the untouched template.
        KeynotePackage package = *original;
        if (!generateKeynoteFile(templatePath, package, version, *map)) {
            tellUnwritten();
            alertExportFailed();
            return;
        }
        QString reason;
        if (!package.writeTo(target, &reason)) {
            qWarning().noquote() << QStringLiteral("Keynote export: %1").arg(reason);
            unwritten.append({target, reason});
        }
    }
    tellUnwritten();
}
