#include "exchange/TWExportController.h"

#include "MindManagerImpExp/mmExport.h"
#include "exchange/KeynoteExportController.h"
#include "exchange/TWExportPanel.h"
#include "exchange/TWGifPalette.h"
#include "exchange/TWImpressHost.h"
#include "exchange/TWOPMLExport.h"
#include "exchange/TWPowerPointExporter.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWMapUtilities.h"
#include "graphics/TWTextArea.h"
#include "mapdrawing/TWMapImages.h"
#include "mapdrawing/TWMap_Drawing.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "render/DrawingContext.h"
#include "support/RichTextFormat.h"

#include <QBuffer>
#include <QDebug>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <cmath>

#include <gif_lib.h>
#include <poppler/qt6/poppler-qt6.h>

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, QString::fromUtf8(key));
}

UserDefaults &defaults()
{
    return UserDefaults::standard();
}

bool usableRect(Rect r)
{
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height) && r.size.width > 0 && r.size.height > 0;
}

// giflib writes through a callback; the buffer collects the file.
int writeToBuffer(GifFileType *gif, const GifByteType *bytes, int length)
{
    static_cast<QByteArray *>(gif->UserData)->append(reinterpret_cast<const char *>(bytes), length);
    return length;
}

QByteArray encodeGif(const QImage &source, QString *error)
{
    const QImage image = TWGifPalette::toIndexed8(source);
    if (image.isNull() || image.colorCount() == 0) {
        *error = QStringLiteral("the image could not be reduced to 256 colours");
        return {};
    }
    QByteArray out;
    int code = 0;
    GifFileType *gif = EGifOpen(&out, writeToBuffer, &code);
    if (!gif) {
        *error = QString::fromUtf8(GifErrorString(code));
        return {};
    }
    // The colour map's size must be a power of two.
    int bits = 1;
    while ((1 << bits) < image.colorCount())
        ++bits;
    ColorMapObject *palette = GifMakeMapObject(1 << bits, nullptr);
    for (int i = 0; i < palette->ColorCount; ++i) {
        const QRgb c = i < image.colorCount() ? image.color(i) : qRgb(0, 0, 0);
        palette->Colors[i] = {GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))};
    }
    bool ok = EGifPutScreenDesc(gif, image.width(), image.height(), bits, 0, palette) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, image.width(), image.height(), false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < image.height(); ++y)
        ok = EGifPutLine(gif, const_cast<GifByteType *>(image.constScanLine(y)), image.width()) ==
             GIF_OK;
    if (!ok)
        *error = QString::fromUtf8(GifErrorString(gif->Error));
    GifFreeMapObject(palette);
    EGifCloseFile(gif, &code);
    return ok ? out : QByteArray();
}

} // namespace

// --- settings ---

const QList<std::pair<QString, QVariant>> &TWExportController::defaultSettings()
{
    static const QList<std::pair<QString, QVariant>> settings = {
        {"ExportJpegCompressionFactor", 0.7},
        {"ExportMapBackground", false},
        {"ExportBitmapSpecificWidth", 600},
        {"ExportBitmapSpecificWidthEnabled", false},
        {"ExportTextIndentSelection", 0.0},
        {"ExportTextIndentNoOfSpaces", 1.0},
        {"ExportTextIncludeBranchText", false},
        {"ExportTextIncludeBranchNotes", false},
        {"ExportTextIncludeAttachedGraphicText", false},
        {"ExportTextIncludeSWText", false},
        {"ExportTextIncludeHiddenText", false},
        {"ExportKeynoteVersionAndSize", 2},
        {"ExportKeynoteIncludeHiddenBranchText", true},
        {"ExportKeynoteZoomPercent", 100},
        {"ExportKeynoteSubBranchesPerPage", 10},
        {"ExportKeynoteTextSizeMultiplier", 4.0},
        {"ExportPPTIncludeHiddenBranchText", true},
        {"ExportPPTZoomPercent", 100},
        {"ExportPPTSubBranchesPerPage", 10},
        {"ExportPPTTextSizeMultiplier", 1.0},
        {"ExportScreenScriptFormat", 0},
        {"ExportScreenScriptIncludeDadoZizText", false},
        {"ExportScreenScriptIncludeBranchNotes", false},
        {"ExportScreenScriptIncludeAttachedGraphicText", false},
        {"ExportScreenScriptIncludeBranchesWithoutScriptText", false},
        {"ExportScreenScriptIncludeHiddenBranches", false},
        {"ExportScreenScriptIncludeAllScript", false},
    };
    return settings;
}

void TWExportController::registerDefaults(UserDefaults &userDefaults)
{
    QVariantMap values;
    for (const auto &[key, value] : defaultSettings())
        values.insert(key, value);
    userDefaults.registerDefaults(values);
}

TWExportController::TWExportController() : m_panelRunner(&TWExportPanel::run) {}

TWExportController &TWExportController::sharedExportController()
{
    static TWExportController *shared = [] {
        registerDefaults(UserDefaults::standard());
        return new TWExportController;
    }();
    return *shared;
}

// --- map list and names ---

bool TWExportController::validateMenuItem() const
{
    return m_host && m_host->activeDocument();
}

void TWExportController::refreshMapArrayController()
{
    m_rows.clear();
    TWMapsDoc *document = m_host ? m_host->activeDocument() : nullptr;
    if (!document)
        return;
    const std::shared_ptr<TWMap> current =
        document->objectInMapsAtIndex(document->currentMapNumber());
    auto addRow = [&](const std::shared_ptr<TWMap> &map) {
        m_rows.append({true, nameForMap(*map), map});
    };
    if (current)
        addRow(current);
    for (const std::shared_ptr<TWMap> &map : document->maps())
        if (map && map != current)
            addRow(map);
}

QString TWExportController::nameForMap(const TWMap &map) const
{
    const QString name = map.mapName();
    if (!name.isEmpty())
        return name;
    QString text;
    if (map.root() && map.root()->enclosedTextArea())
        text = map.root()->enclosedTextArea()->text().string();
    if (!text.isEmpty()) {
        QString whitespace, controls;
        for (const QChar c : std::as_const(text)) {
            if (c.isSpace())
                whitespace += c;
            else if (c.category() == QChar::Other_Control)
                controls += c;
        }
        TWMapUtilities::replaceAllOccurrencesOfCharactersInSet(whitespace, QStringLiteral(" "),
                                                               text);
        // Characters no file name can hold.
        TWMapUtilities::replaceAllOccurrencesOfCharactersInSet(QStringLiteral("/:"), QString(),
                                                               text);
        TWMapUtilities::replaceAllOccurrencesOfCharactersInSet(controls, QString(), text);
        return text;
    }
    const int position = map.document() ? map.document()->indexOfMap(&map) + 1 : 1;
    return dadoZiz("DadoZiz %d").replace(QStringLiteral("%d"), QString::number(position));
}

QString TWExportController::pathWithoutExtension(const QString &path)
{
    if (QFileInfo(path).suffix().isEmpty())
        return path;
    QStringList pieces = path.split(QLatin1Char('.'));
    pieces.removeLast();
    return pieces.join(QLatin1Char('.'));
}

QStringList TWExportController::fileNamesForChosenName(const QString &chosen, int count)
{
    if (count == 1)
        return {chosen};
    QStringList names;
    const QString stem = pathWithoutExtension(chosen);
    const QString extension = QFileInfo(chosen).suffix();
    // A name without extension gets none (not a trailing dot).
    for (int i = 1; i <= count; ++i)
        names << (extension.isEmpty() ? QStringLiteral("%1 %2").arg(stem).arg(i)
                                      : QStringLiteral("%1 %2.%3").arg(stem).arg(i).arg(extension));
    return names;
}

// --- windows ---

void TWExportController::displayMap(const TWMap *map)
{
    TWMapsDoc *document = documentForMap(map);
    if (!document)
        return;
    const int index = document->indexOfMap(map);
    if (index == document->currentMapNumber())
        return;
    // Showing a map to draw it is no edit of the document.
    UndoManager *undo = document->undoManager();
    if (undo)
        undo->disableUndoRegistration();
    document->setCurrentMapNumber(index);
    if (undo)
        undo->enableUndoRegistration();
}

TWMapsDoc *TWExportController::documentForMap(const TWMap *map) const
{
    if (!m_host || !map)
        return nullptr;
    for (TWMapsDoc *document : m_host->orderedDocuments())
        if (document && document->indexOfMap(map) >= 0)
            return document;
    return nullptr;
}

// --- writing ---

void TWExportController::alertWriteFailure(const QString &path)
{
    Alerts::current().runAlertPanel(
        dadoZiz("Error saving file"),
        dadoZiz("Thinkweb could not write to the file %@ - please check that you have "
                "permission to create files in this directory.")
            .replace(QStringLiteral("%@"), path),
        {TWLocalizedString(StringTable::General, QStringLiteral("OK"))});
}

bool TWExportController::writeData(const QByteArray &data, const QString &path)
{
    if (!data.isEmpty()) {
        // Written beside the target and renamed over it: a failed write
        // leaves the old file as it was.
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit())
            return true;
    }
    alertWriteFailure(path);
    return false;
}

QList<std::pair<std::shared_ptr<TWMap>, QString>> TWExportController::runPanel(const Action &action)
{
    refreshMapArrayController();
    if (m_rows.isEmpty() || !m_panelRunner)
        return {};
    TWExportPanelRequest request{
        dadoZiz(action.title.toUtf8().constData()), action.fileType, action.settings, {}};
    for (const MapRow &row : std::as_const(m_rows)) {
        request.mapNames << row.name;
        request.darkBackground = request.darkBackground ||
                                 (row.map && TWMapImages::hasDarkBackground(*row.map));
    }
    const std::optional<TWExportPanelResult> result = m_panelRunner(request);
    if (!result || result->path.isEmpty())
        return {};
    m_includeBackground = result->includeBackground;
    const QList<MapRow> rows = m_rows;
    QList<int> selected;
    for (int row : result->selectedRows)
        if (row >= 0 && row < rows.size() && !selected.contains(row))
            selected << row;
    std::sort(selected.begin(), selected.end());
    const QStringList names = fileNamesForChosenName(result->path, int(selected.size()));

    // The panel confirmed only the name chosen; numbered files it did not
    // show are confirmed here before they are replaced.
    if (selected.size() > 1) {
        QStringList existing;
        for (const QString &name : names)
            if (QFileInfo::exists(name))
                existing << QFileInfo(name).fileName();
        if (!existing.isEmpty()) {
            const int answer = Alerts::current().runAlertPanel(
                dadoZiz("Replace existing files?"),
                dadoZiz("These files already exist and will be replaced: %@")
                    .replace(QStringLiteral("%@"), existing.join(QStringLiteral(", "))),
                {dadoZiz("Replace"), TWLocalizedString(StringTable::General, "Cancel")});
            if (answer != 0)
                return {};
        }
    }
    QList<std::pair<std::shared_ptr<TWMap>, QString>> chosen;
    for (qsizetype i = 0; i < selected.size(); ++i)
        chosen.append({rows[selected[i]].map, names[i]});
    return chosen;
}

namespace {

// The panel's choices hold for the export they were made for.
struct PanelChoiceScope
{
    std::optional<bool> &choice;
    ~PanelChoiceScope() { choice.reset(); }
};

} // namespace

bool TWExportController::includeBackground() const
{
    return m_includeBackground.value_or(defaults().boolForKey("ExportMapBackground"));
}

void TWExportController::exportPDF()
{
    const PanelChoiceScope scope{m_includeBackground};
    for (const auto &[map, path] :
         runPanel({"Export image to PDF file", "pdf", TWExportPanelRequest::Settings::Vector}))
        writeData(vectorImageDataOfType(PDF, *map), path);
}

void TWExportController::exportEPS()
{
    const PanelChoiceScope scope{m_includeBackground};
    for (const auto &[map, path] :
         runPanel({"Export image to EPS file", "eps", TWExportPanelRequest::Settings::Vector}))
        writeData(vectorImageDataOfType(EPS, *map), path);
}

void TWExportController::exportToBitmapImageType(int type)
{
    static const QHash<int, std::pair<const char *, const char *>> titles = {
        {TIFF, {"Export image to TIFF file", "tiff"}},
        {BMP, {"Export image to BMP file", "bmp"}},
        {GIF, {"Export image to GIF file", "gif"}},
        {JPEG, {"Export image to JPEG file", "jpg"}},
        {PNG, {"Export image to PNG file", "png"}}};
    if (!titles.contains(type))
        return;
    const auto [title, fileType] = titles.value(type);
    const PanelChoiceScope scope{m_includeBackground};
    const auto chosen = runPanel({title, fileType,
                                  type == JPEG ? TWExportPanelRequest::Settings::Jpeg
                                               : TWExportPanelRequest::Settings::Bitmap});
    const double factor = defaults().doubleForKey("ExportJpegCompressionFactor");
    for (const auto &[map, path] : chosen) {
        QString error;
        const QImage image = imageRepForMap(*map, &error);
        QByteArray data;
        if (!image.isNull())
            data = encodeBitmap(image, type, factor, &error);
        if (data.isEmpty()) {
            // Nothing is written for this map; the others still are.
            Alerts::current().runAlertPanel(
                dadoZiz("Error saving file"),
                dadoZiz("The image for the file %1 could not be made: %2.").arg(path, error),
                {TWLocalizedString(StringTable::General, QStringLiteral("OK"))});
            continue;
        }
        writeData(data, path);
    }
}

void TWExportController::exportRTF()
{
    for (const auto &[map, path] :
         runPanel({"Export to rich text file", "rtf", TWExportPanelRequest::Settings::Text})) {
        const std::optional<AttributedString> text = textViewOfType(0, *map);
        writeData(text ? RichTextFormat::rtfFromAttributedString(*text) : QByteArray(), path);
    }
}

void TWExportController::exportPowerPoint()
{
    TWImpressHost impress;
    TWPowerPointExporter exporter(*this, impress);
    exporter.setPanelRunner(m_panelRunner);
    exporter.begin();
}

void TWExportController::exportOPML()
{
    QList<std::pair<QString, qint64>> dropped;
    for (const auto &[map, path] :
         runPanel({"Export to OPML", "opml", TWExportPanelRequest::Settings::Text})) {
        qint64 count = 0;
        if (TWOPMLExport().exportDadoZiz(*map, path, *this, &count))
            dropped.append({path, count});
    }
    // Once for the whole export, however many files it wrote.
    if (const QString notice = TWOPMLExport::leftOutNotice(dropped); !notice.isEmpty())
        Alerts::current().runAlertPanel(dadoZiz("Not everything was exported"), notice,
                                        {TWLocalizedString(StringTable::General, "OK")});
}

void TWExportController::exportKeynote()
{
    const auto chosen =
        runPanel({"Export to Keynote file", "key", TWExportPanelRequest::Settings::Keynote});
    if (!chosen.isEmpty())
        KeynoteExportController::sharedExporter().exportMapsToFiles(chosen);
}

void TWExportController::exportMindManager()
{
    // What the files could not hold is told once, for all of them.
    QStringList leftOutOf;
    int leftOut = 0;
    for (const auto &[map, path] :
         runPanel({"Export MindManager XML File", "xml", TWExportPanelRequest::Settings::None})) {
        int left = 0;
        if (writeData(mmExport::xmlDataForMap(*map, QDateTime::currentDateTime(), &left), path) &&
            left > 0) {
            leftOut += left;
            leftOutOf << QStringLiteral("“%1”").arg(QFileInfo(path).fileName());
        }
    }
    if (leftOut > 0)
        Alerts::current().runAlertPanel(
            dadoZiz("Not everything was exported"),
            leftOut == 1
                ? dadoZiz("1 character that XML cannot hold (a control character or a lone "
                          "half of a character) was left out of %1.")
                      .arg(leftOutOf.join(QStringLiteral(", ")))
                : dadoZiz("%1 characters that XML cannot hold (control characters or lone "
                          "halves of characters) were left out of %2.")
                      .arg(leftOut)
                      .arg(leftOutOf.join(QStringLiteral(", "))),
            {TWLocalizedString(StringTable::General, QStringLiteral("OK"))});
}

// --- rendering ---

// The window shows the map while it is drawn and the map is drawn without
// its selection or an edit in progress; all is put back afterwards.
class TWExportController::RenderingScope
{
public:
    RenderingScope(TWExportController &controller, TWMap &map)
        : m_controller(controller), m_map(map)
    {
        TWExportHost *host = controller.m_host;
        // The map's own document: the one whose window is switched to draw it,
        // whichever window is active while the panel goes away.
        m_document = controller.documentForMap(&map);
        if (m_document)
            m_shown = m_document->objectInMapsAtIndex(m_document->currentMapNumber());
        controller.displayMap(&map);
        m_selection = map.selectedGraphics();
        if (host && m_document)
            host->setWindowUpdatesEnabled(*m_document, false);
        map.removeAllSelectedGraphics();
        if (host && m_document)
            host->endEditingTextArea(*m_document);
    }
    ~RenderingScope()
    {
        m_map.removeAllSelectedGraphics();
        for (qsizetype i = 0; i < m_selection.size(); ++i)
            m_map.insertObjectInSelectedGraphicsAtIndex(m_selection[i], int(i));
        m_map.removeAllGraphicOrderCache();
        if (m_controller.m_host && m_document)
            m_controller.m_host->setWindowUpdatesEnabled(*m_document, true);
        if (m_shown)
            m_controller.displayMap(m_shown.get());
    }

private:
    TWExportController &m_controller;
    TWMap &m_map;
    TWMapsDoc *m_document = nullptr;
    std::shared_ptr<TWMap> m_shown;
    TWMap::GraphicList m_selection;
};

QByteArray TWExportController::vectorImageDataOfType(int type, TWMap &map)
{
    RenderingScope scope(*this, map);
    return renderVector(type, map);
}

QByteArray TWExportController::renderVector(int type, TWMap &map)
{
    const Rect bounds = map.getBoundingPrintingRectForAllGraphics();
    if (!usableRect(bounds)) {
        qWarning().noquote() << "Export controller failed to find usefull bounds:"
                             << bounds.toString();
        return {};
    }
    if (type != PDF && type != EPS)
        return {};
    // The setting is passed to the drawing, so the map's own flag (what
    // it prints with and saves) stays as it was.
    const QByteArray pdf =
        TWMapImages::pdfOfMapRect(map, bounds, includeBackground());
    return type == PDF ? pdf : epsFromPDF(pdf, bounds.size);
}

QByteArray TWExportController::epsFromPDF(const QByteArray &pdf, Size pageSize)
{
    std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(pdf);
    if (!document || document->isLocked() || document->numPages() < 1)
        return {};
    QByteArray eps;
    QBuffer buffer(&eps);
    buffer.open(QIODevice::WriteOnly);
    std::unique_ptr<Poppler::PSConverter> converter = document->psConverter();
    converter->setOutputDevice(&buffer);
    converter->setPageList({1});
    converter->setPaperWidth(int(std::ceil(pageSize.width)));
    converter->setPaperHeight(int(std::ceil(pageSize.height)));
    converter->setPSOptions(Poppler::PSConverter::PrintToEPS);
    if (!converter->convert())
        return {};
    return eps;
}

QImage TWExportController::imageRepForMap(TWMap &map, QString *error)
{
    RenderingScope scope(*this, map);
    QString reason;
    QImage image;
    const Rect bounds = map.getBoundingPrintingRectForAllGraphics();
    double width = bounds.size.width, height = bounds.size.height;
    if (!usableRect(bounds)) {
        reason = QStringLiteral("the map has nothing to draw");
    } else {
        if (defaults().boolForKey("ExportBitmapSpecificWidthEnabled")) {
            long long target = defaults().integerForKey("ExportBitmapSpecificWidth");
            if (target < 1) {
                target = 600;
                defaults().setInteger(target, "ExportBitmapSpecificWidth");
            }
            height *= double(target) / width;
            width = double(target);
        }
        const double pixelsWide = std::round(width), pixelsHigh = std::max(1.0, std::round(height));
        if (pixelsWide * pixelsHigh > double(maximumBitmapPixels)) {
            reason = QStringLiteral("%1 by %2 pixels is larger than the %3 megapixels an image "
                                    "may have")
                         .arg(pixelsWide, 0, 'f', 0)
                         .arg(pixelsHigh, 0, 'f', 0)
                         .arg(maximumBitmapPixels / 1'000'000);
        } else {
            image = QImage(int(pixelsWide), int(pixelsHigh), QImage::Format_ARGB32_Premultiplied);
            if (image.isNull()) {
                reason = QStringLiteral("there is not enough memory for the image");
            } else {
                image.fill(Qt::transparent);
                image.setDotsPerMeterX(2835); // 72 dpi: a pixel a point
                image.setDotsPerMeterY(2835);
                QPainter painter(&image);
                painter.setRenderHint(QPainter::Antialiasing);
                painter.setRenderHint(QPainter::SmoothPixmapTransform);
                painter.scale(pixelsWide / bounds.size.width, pixelsHigh / bounds.size.height);
                DrawingContext context(painter, false);
                context.painter().translate(-bounds.origin.x, -bounds.origin.y);
                TWMapDrawing::drawMapInRect(
                    context, map, bounds,
                    {.drawBackground = true,
                     .drawSelection = false,
                     .backgroundOffScreen = includeBackground()});
            }
        }
    }
    if (error)
        *error = reason;
    return image;
}

QByteArray TWExportController::encodeBitmap(const QImage &source, int type, double jpegFactor,
                                            QString *error)
{
    QString reason;
    QImage image = source;
    if (type == JPEG || type == GIF || type == BMP) {
        // Formats without (usable) transparency get the map on white.
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.setDotsPerMeterX(image.dotsPerMeterX());
        flat.setDotsPerMeterY(image.dotsPerMeterY());
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, image);
        image = flat;
    }
    QByteArray data;
    if (type == GIF) {
        data = encodeGif(image, &reason);
    } else {
        static const QHash<int, QByteArray> formats = {
            {TIFF, "tiff"}, {BMP, "bmp"}, {JPEG, "jpeg"}, {PNG, "png"}};
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, formats.value(type));
        if (type == JPEG)
            writer.setQuality(int(std::lround(std::clamp(jpegFactor, 0.0, 1.0) * 100.0)));
        if (!formats.contains(type) || !writer.write(image)) {
            reason = writer.errorString();
            data.clear();
        }
    }
    if (error)
        *error = reason;
    return data;
}

std::optional<AttributedString> TWExportController::textViewOfType(int type, TWMap &map)
{
    const TWMap::GraphicList selection = map.selectedGraphics();
    map.removeAllSelectedGraphics();
    UserDefaults &d = defaults();
    TWExportHost::OutlineTextRequest request;
    request.type = type;
    request.options = (d.boolForKey("ExportTextIncludeBranchNotes") ? 1 : 0) |
                      (d.boolForKey("ExportTextIncludeAttachedGraphicText") ? 2 : 0) |
                      (d.boolForKey("ExportTextIncludeSWText") ? 4 : 0) |
                      (d.boolForKey("ExportTextIncludeHiddenText") ? 8 : 0) |
                      (type != 1 || d.boolForKey("ExportTextIncludeBranchText") ? 16 : 0);
    request.indentSelection = int(d.doubleForKey("ExportTextIndentSelection"));
    request.indentNoOfSpaces = int(d.doubleForKey("ExportTextIndentNoOfSpaces"));
    request.includeAttachedText = d.boolForKey("ExportTextIncludeBranchNotes");
    request.includeGraphicText = d.boolForKey("ExportTextIncludeAttachedGraphicText");
    std::optional<AttributedString> text;
    text = m_host ? m_host->outlineText(map, request) : TWExportHost::mapOutlineText(map, request);
    map.removeAllSelectedGraphics();
    for (qsizetype i = 0; i < selection.size(); ++i)
        map.insertObjectInSelectedGraphicsAtIndex(selection[i], int(i));
    return text;
}
