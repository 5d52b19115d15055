#include "application/TWTemplate.h"

#include "application/TWDocument.h"
#include "interface/TWInputPanel.h"
#include "model/TWFileIO.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "support/XMLElement.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHash>
#include <QPainter>
#include <QStandardPaths>

namespace {

const QString ContentsPath = QStringLiteral("Thinkweb/Contents.xml");
const QString PreviewPathFormat = QStringLiteral("Images/MapPreviews/%1.png");
const QColor FrameBlue = QColor::fromRgbF(0.23f, 0.47f, 0.86f, 1.0f);

QString madeFolder(const QString &path)
{
    QDir().mkpath(path);
    return path;
}

QString nonEmpty(const std::optional<QString> &text)
{
    return text && !text->isEmpty() ? *text : QString();
}

} // namespace

// --- templates ---

std::shared_ptr<TWTemplate> TWTemplate::templateWithMapXMLElement(const XMLElement &element)
{
    auto result = std::make_shared<TWTemplate>();
    QString name = nonEmpty(element.stringForPath(u"mapName"));
    if (name.isEmpty()) {
        // Each step takes the first child of its name.
        XMLElement step = element;
        for (const char *part : {"root", "TWMapBranch", "enclosedTextArea", "TWGraphic", "text",
                                 "NSAttributedString", "string"}) {
            const QList<XMLElement> children = step.elementsForName(QLatin1String(part));
            step = children.isEmpty() ? XMLElement() : children.first();
        }
        name = step.isNull() ? QString() : step.stringValue();
    }
    if (name.isEmpty())
        name = TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Untitled"));
    result->name = name;
    result->identifier = element.stringForPath(u"identifier").value_or(QString());
    result->mapXMLData = element.xmlString();
    return result;
}

void TWTemplate::setPreviewImage(const QImage &stored)
{
    previewImage = templateImageFromPreviewImage(stored, QSize(PreviewWidth, PreviewHeight), name);
}

void TWTemplate::drawBorderForTemplateImageRect(QPainter &painter, const QRectF &rect,
                                                qreal titleHeight, const QString &title)
{
    const qreal w = rect.width();
    const qreal h = rect.height();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(Qt::white, 2.0);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect.x() + 8, rect.y() + 8, w - 16, h - 16));
    // The title strip is the band along the bottom edge.
    const qreal lineY = rect.y() + h - 8 - titleHeight;
    painter.drawLine(QPointF(rect.x() + 8, lineY), QPointF(rect.x() + w - 8, lineY));
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(std::max(1, int(0.75 * titleHeight)));
    painter.setFont(font);
    painter.drawText(QRectF(rect.x() + 8 + titleHeight, lineY, w - 16 - titleHeight, titleHeight),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
    painter.restore();
}

QImage TWTemplate::templateImageFromPreviewImage(const QImage &image, QSize size,
                                                 const QString &name)
{
    if (size.isEmpty())
        return QImage();
    QImage result(size, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    const qreal w = size.width();
    const qreal h = size.height();
    const qreal title = h / 6.0;
    QPainter painter(&result);
    painter.fillRect(QRectF(0, 0, w, h), FrameBlue);
    drawBorderForTemplateImageRect(painter, QRectF(0, 0, w, h), title, name);
    const QRectF picture(8, 8, w - 16, h - 16 - title);
    if (!image.isNull() && picture.width() > 0 && picture.height() > 0) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(picture, image);
    }
    QColor tint = FrameBlue;
    tint.setAlphaF(0.2f);
    painter.fillRect(QRectF(0, 0, w, h), tint);
    return result;
}

QImage TWTemplate::imageWithEffectsAppliedToImage(const QImage &image)
{
    if (image.isNull())
        return image;
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < result.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            const int grey = qGray(line[x]);
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]));
        }
    }
    return result;
}

// --- groups ---

std::shared_ptr<TWTemplateGroup> TWTemplateGroup::initWithContentsOfFile(const QString &path)
{
    auto group = std::make_shared<TWTemplateGroup>();
    group->name = QFileInfo(path).completeBaseName();
    const std::optional<PackageData> entries = TWFileIO::documentDictionaryFromFile(path);
    if (!entries) {
        qWarning("Template file %s cannot be read", qUtf8Printable(path));
        return group;
    }
    group->cachedData = *entries;
    const XMLElement root = XMLElement::parse(group->cachedData.value(ContentsPath));
    group->cachedData.remove(ContentsPath);
    if (root.isNull() || root.name() != QLatin1String("TWMapsDoc")) {
        qWarning("Template file %s holds no maps document", qUtf8Printable(path));
        return group;
    }
    for (const XMLElement &maps : root.elementsForName(u"maps")) {
        for (const XMLElement &map : maps.elementsForName(u"map")) {
            const XMLElement element = map.elementForName(u"TWMap");
            if (element.isNull())
                continue;
            std::shared_ptr<TWTemplate> entry = TWTemplate::templateWithMapXMLElement(element);
            const QString previewPath = PreviewPathFormat.arg(entry->identifier);
            entry->setPreviewImage(QImage::fromData(group->cachedData.value(previewPath)));
            group->cachedData.remove(previewPath);
            group->templates.append(entry);
        }
    }
    return group;
}

namespace {

// "dir/name.ext" as "dir/name-N.ext".
QString numberedPath(const QString &path, int number)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const QString suffix = QStringLiteral("-%1").arg(number);
    if (dot > slash + 1)
        return path.left(dot) + suffix + path.mid(dot);
    return path + suffix;
}

void renameReferences(XMLElement element, const QHash<QString, QString> &renames)
{
    QList<XMLElement> pending{element};
    while (!pending.isEmpty()) {
        XMLElement e = pending.takeLast();
        const QList<XMLElement> children = e.elements();
        if (children.isEmpty()) {
            const auto found = renames.constFind(e.stringValue());
            if (found != renames.cend())
                e.setStringValue(found.value());
            continue;
        }
        pending.append(children);
    }
}

} // namespace

void TWTemplateGroup::mergeCachedData(TWMapsDoc &document, const PackageData &data,
                                      XMLElement &mapElement)
{
    QHash<QString, QString> renames;
    for (auto it = data.cbegin(); it != data.cend(); ++it) {
        QString path = it.key();
        for (int number = 2;; ++number) {
            const std::optional<QByteArray> held = document.objectForKeyInCachedData(path);
            if (!held) {
                document.setObjectInCachedData(it.value(), path);
                break;
            }
            if (*held == it.value())
                break;
            path = numberedPath(it.key(), number);
        }
        if (path != it.key())
            renames.insert(it.key(), path);
    }
    if (!renames.isEmpty())
        renameReferences(mapElement, renames);
}

// --- the library ---

TWTemplateController::TWTemplateController(const QString &standardFolder,
                                           const QString &customFolder)
    : m_standardFolder(standardFolder), m_customFolder(customFolder)
{}

TWTemplateController &TWTemplateController::sharedTemplateController()
{
    static TWTemplateController *shared = [] {
        auto *controller = new TWTemplateController;
        controller->customTemplateGroups();
        return controller;
    }();
    return *shared;
}

QString TWTemplateController::standardTemplateGroupsFolder()
{
    return QStringLiteral(":/Application Support/Thinkweb/Templates");
}

QString TWTemplateController::customTemplateGroupsFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::tempPath();
    return madeFolder(base + QStringLiteral("/Thinkweb/Templates"));
}

QString TWTemplateController::standardFolder() const
{
    return m_standardFolder.isEmpty() ? standardTemplateGroupsFolder() : m_standardFolder;
}

QString TWTemplateController::customFolder() const
{
    return m_customFolder.isEmpty() ? customTemplateGroupsFolder() : madeFolder(m_customFolder);
}

TWTemplateController::GroupList TWTemplateController::templateGroupsInFolder(const QString &path)
{
    GroupList groups;
    if (path.isEmpty())
        return groups;
    for (const QFileInfo &entry : QDir(path).entryInfoList(QDir::Files, QDir::Name)) {
        if (entry.suffix().toLower() == TWTemplateGroup::Extension)
            groups.append(TWTemplateGroup::initWithContentsOfFile(entry.filePath()));
    }
    return groups;
}

const TWTemplateController::GroupList &TWTemplateController::standardTemplateGroups()
{
    if (!m_standard)
        m_standard = templateGroupsInFolder(standardFolder());
    return *m_standard;
}

const TWTemplateController::GroupList &TWTemplateController::customTemplateGroups()
{
    if (!m_custom)
        m_custom = templateGroupsInFolder(customFolder());
    return *m_custom;
}

TWTemplateController::GroupList TWTemplateController::allTemplateGroups()
{
    return standardTemplateGroups() + customTemplateGroups();
}

std::optional<QString> TWTemplateController::sanitizedTemplateName(const QString &name)
{
    QString safe;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':'))
            safe += QLatin1Char('-');
        else if (c.category() != QChar::Other_Control)
            safe += c;
    }
    safe = safe.trimmed();
    while (safe.startsWith(QLatin1Char('.')))
        safe.remove(0, 1);
    safe = safe.trimmed();
    if (safe.isEmpty())
        return std::nullopt;
    return safe;
}

void TWTemplateController::saveDocumentAsTemplate(TWDocument &document)
{
    TWInputPanel &prompt = TWInputPanel::sharedInputPanel();
    if (prompt.runInputPanelWithTitle(TWLocalizedString(
            StringTable::DadoZiz, QStringLiteral("Save Template As"))) == TWInputPanel::Cancel)
        return;
    if (TWMapsDoc *maps = document.mapsDocument())
        saveMapsDocumentAsTemplate(*maps, prompt.inputString());
}

TWTemplateController::SaveResult
TWTemplateController::saveMapsDocumentAsTemplate(TWMapsDoc &document, const QString &name)
{
    const std::optional<QString> fileName = sanitizedTemplateName(name);
    if (!fileName) {
        Alerts::current().runAlertPanel(
            TWLocalizedString(StringTable::DadoZiz,
                              QStringLiteral("The template could not be saved.")),
            TWLocalizedString(StringTable::DadoZiz,
                              QStringLiteral("Please give the template a name.")),
            {TWLocalizedString(StringTable::General, QStringLiteral("OK"))});
        return SaveResult::InvalidName;
    }
    const QString path = customFolder() + QLatin1Char('/') + *fileName + QLatin1Char('.') +
                         TWTemplateGroup::Extension;
    if (QFileInfo::exists(path)) {
        const int answer = Alerts::current().runAlertPanel(
            TWLocalizedString(
                StringTable::DadoZiz,
                QStringLiteral("A template with that name already exists. Do you want to "
                               "replace it?")),
            QString(),
            {TWLocalizedString(StringTable::General, QStringLiteral("OK")),
             TWLocalizedString(StringTable::General, QStringLiteral("Cancel"))});
        if (answer != 0)
            return SaveResult::Cancelled;
    }
    // Saving stamps the document; a copy written elsewhere must leave the
    // open document's date and revision as they were.
    const std::optional<CalendarDate> saveDate = document.lastSaveDate();
    const int revision = document.revisionNumber();
    const int status = TWFileIO::saveDocument(document, path);
    {
        UndoManager *undo = document.undoManager();
        if (undo)
            undo->disableUndoRegistration();
        document.setLastSaveDate(saveDate);
        document.setRevisionNumber(revision);
        if (undo)
            undo->enableUndoRegistration();
    }
    m_custom.reset();
    customTemplateGroups();
    if (status != TWFileIO::SaveSucceeded) {
        qWarning("Template %s could not be written (%d)", qUtf8Printable(path), status);
        return SaveResult::WriteFailed;
    }
    return SaveResult::Saved;
}
