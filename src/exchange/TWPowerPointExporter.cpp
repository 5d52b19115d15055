#include "exchange/TWPowerPointExporter.h"

#include "exchange/TWExportPanel.h"
#include "graphics/TWTextArea.h"
#include "interface/ProgressPanelController.h"
#include "model/TWAttachedText.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/FontRegistry.h"
#include "support/ParagraphStyle.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <cmath>

#include <poppler/qt6/poppler-qt6.h>

Q_LOGGING_CATEGORY(lcPowerPoint, "thinkweb.powerpoint", QtWarningMsg)

namespace {

using Op = TWPowerPointOperation;

QString pptString(const char *key)
{
    return TWLocalizedString(StringTable::PowerPoint, QString::fromUtf8(key));
}

QString plainText(const TWMapBranch &branch)
{
    return branch.enclosedTextArea() ? branch.enclosedTextArea()->text().string() : QString();
}

AttributedString branchText(const TWMapBranch &branch)
{
    return branch.enclosedTextArea() ? branch.enclosedTextArea()->text() : AttributedString();
}

// The text of the branch's first attached text; null when it has none.
std::shared_ptr<const AttributedString> firstNote(const TWMapBranch &branch)
{
    const auto &texts = branch.attachedTextArray();
    if (texts.isEmpty() || !texts.first())
        return nullptr;
    return texts.first()->text();
}

int component(double value)
{
    return int(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
}

} // namespace

TWPowerPointExporter::TWPowerPointExporter(TWExportController &controller, TWPowerPointHost &host)
    : m_controller(controller), m_host(host), m_panelRunner(&TWExportPanel::run)
{
    m_pictureFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                      QStringLiteral("/Thinkweb");
}

QString TWPowerPointExporter::picturePath() const
{
    return QDir(m_pictureFolder).filePath(QStringLiteral("pptExport.tiff"));
}

ProgressPanelController &TWPowerPointExporter::progress()
{
    return m_progress ? *m_progress : ProgressPanelController::sharedProgressPanel();
}

void TWPowerPointExporter::alert(const QString &title, const QString &message)
{
    Alerts::current().runAlertPanel(
        title, message, {TWLocalizedString(StringTable::General, QStringLiteral("OK"))});
}

int TWPowerPointExporter::subBranchesPerPage() const
{
    // Below 1 no slide could ever take a branch.
    return int(std::max<long long>(1, UserDefaults::standard().integerForKey(PerPageKey)));
}

// --- the run ---

void TWPowerPointExporter::begin()
{
    m_controller.refreshMapArrayController();
    const QList<TWExportController::MapRow> rows = m_controller.mapRows();
    if (rows.isEmpty() || !m_panelRunner)
        return;
    TWExportPanelRequest request{pptString("Export to LibreOffice Impress"),
                                 "pptx",
                                 TWExportPanelRequest::Settings::PowerPoint,
                                 {}};
    for (const auto &row : rows)
        request.mapNames << row.name;
    // The file is chosen before anything is sent, and Cancel exports nothing.
    const std::optional<TWExportPanelResult> result = m_panelRunner(request);
    if (!result || result->path.isEmpty() || result->selectedRows.isEmpty())
        return;
    exportSelectedMaps(result->selectedRows, result->path);
}

bool TWPowerPointExporter::exportSelectedMaps(const QList<int> &rows, const QString &path)
{
    const QList<TWExportController::MapRow> mapRows = m_controller.mapRows();
    QList<int> chosen;
    for (int row : rows)
        if (row >= 0 && row < mapRows.size() && !chosen.contains(row))
            chosen << row;
    std::sort(chosen.begin(), chosen.end());
    if (chosen.isEmpty())
        return false;

    TWMapsDoc *document = m_controller.host() ? m_controller.host()->activeDocument() : nullptr;
    const std::shared_ptr<TWMap> shown =
        document ? document->objectInMapsAtIndex(document->currentMapNumber()) : nullptr;
    m_launched = false;
    // Starting the office alone takes seconds: the panel shows from the start,
    // and the user may stop the run between any two operations.
    progress().setCancellable(true);
    m_host.setWhileWaiting([this] { return progress().keepResponsive(); });
    progress().runIndeterminate(true, 0);
    progress().setInfoString(pptString("Starting LibreOffice Impress…"));
    bool anyMap = false;
    for (int row : std::as_const(chosen)) {
        const std::shared_ptr<TWMap> &map = mapRows[row].map;
        if (!map)
            continue;
        m_controller.displayMap(map.get());
        // An abandoned map leaves its slides and the run goes on, unless the
        // program itself has gone: no later map could be exported either.
        anyMap |= exportActiveMap(*map);
        if (!m_launched || !m_host.isAlive() || progress().isCancelled())
            break;
    }
    if (shown)
        m_controller.displayMap(shown.get());
    const bool cancelled = progress().isCancelled();
    if (!m_launched || cancelled) {
        if (m_launched)
            m_host.quitInBackground();
        m_launched = false;
        m_host.setWhileWaiting({});
        progress().finish();
        progress().setCancellable(false);
        return false;
    }
    m_host.setWhileWaiting({});
    progress().setCancellable(false);
    progress().runIndeterminate(true, 0);
    progress().setInfoString(pptString("Saving the presentation…"));
    QString error;
    const bool saved = m_host.save(path, &error);
    progress().finish();
    // The office ends on its own time: the program is usable at once.
    m_host.quitInBackground();
    m_launched = false;
    if (!saved) {
        qCWarning(lcPowerPoint).noquote() << "Saving the presentation failed:" << error;
        alert(TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Error saving file")),
              TWLocalizedString(StringTable::DadoZiz,
                                QStringLiteral("Thinkweb could not write to the file %@ - please "
                                               "check that you have permission to create files "
                                               "in this directory."))
                      .replace(QStringLiteral("%@"), path) +
                  (error.isEmpty() ? QString() : QStringLiteral("\n\n") + error));
        return false;
    }
    return anyMap;
}

bool TWPowerPointExporter::runCommand(const Op &operation)
{
    // A cancelled run stops here, without a word: the user asked for it.
    if (progress().isCancelled())
        return false;
    QString error;
    if (m_host.run(operation, &error))
        return true;
    // Cancelled while the answer was awaited: not a failure to report.
    if (progress().isCancelled())
        return false;
    qCWarning(lcPowerPoint).noquote().nospace()
        << "Script execution failed (" << error << "). Script: " << operation.commandText();
    alert(pptString("Error in PowerPoint export"),
          pptString("Error exporting to LibreOffice Impress. Please make sure LibreOffice Impress "
                    "is installed and available. Error message: %@")
              .replace(QStringLiteral("%@"), error));
    return false;
}

bool TWPowerPointExporter::exportActiveMap(TWMap &map)
{
    if (!m_launched) {
        QString error;
        if (!m_host.launch(&error)) {
            if (progress().isCancelled())
                return false;
            qCWarning(lcPowerPoint).noquote().nospace()
                << "Script execution failed (" << error << "). Script: launch";
            alert(pptString("Unable to start LibreOffice Impress"),
                  pptString("Thinkweb was unable to start LibreOffice Impress - please ensure that "
                            "LibreOffice Impress and its Python bridge are installed.") +
                      (error.isEmpty() ? QString() : QStringLiteral("\n\n") + error));
            return false;
        }
        m_launched = true;
        m_slideCount = 0;
    }
    // Each map follows the slides of the maps before it, so that the maps
    // come out in the order they were chosen.
    const int pictureSlide = m_slideCount + 1;
    m_currentProcessingNode = 1;
    m_totalNumberOfNodes = map.branchCount() + 1;
    progress().runIndeterminate(false, m_totalNumberOfNodes);
    progress().setInfoString(TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Image")));

    if (!runCommand(Op::addTitleSlide(pictureSlide))) {
        baleOut();
        return false;
    }
    m_slideCount = pictureSlide;
    m_currentSlideNumber = pictureSlide;
    m_slideTextLength = 0;
    m_slideNotesLength = 0;
    // The map's slide is titled by its central branch, as the text slides
    // are by theirs; by the map's name when the central branch says nothing.
    const std::shared_ptr<TWMapBranch> root = map.root();
    AttributedString mapTitle = root ? branchText(*root) : AttributedString();
    if (mapTitle.string().trimmed().isEmpty())
        mapTitle = AttributedString(map.mapName());
    if ((!mapTitle.isEmpty() && !setSlideTitle(mapTitle)) || !createImageFileForActiveMap(map)) {
        baleOut();
        return false;
    }
    const int w = int(m_imageSize.width), h = int(m_imageSize.height);
    if (!runCommand(Op::addPicture(pictureSlide, picturePath(), (SlideWidth - w) / 2,
                                   PictureTop + (PictureHeight - h) / 2, w, h))) {
        baleOut();
        return false;
    }
    if (root) {
        if (const auto note = firstNote(*root); note && !appendNote(*note)) {
            baleOut();
            return false;
        }
        const TWMapBranch::BranchList mainBranches = root->children();
        for (const auto &branch : mainBranches) {
            m_nodesWrittenCounter = 0;
            progress().setInfoString(plainText(*branch));
            const AttributedString title = branchText(*branch);
            if (!appendSlide() || !setSlideTitle(title) || !addSlideBodyForBranch(*branch, title)) {
                baleOut();
                return false;
            }
        }
    }
    progress().finish();
    return true;
}

void TWPowerPointExporter::baleOut()
{
    progress().finish();
}

// --- the picture ---

Size TWPowerPointExporter::pictureSize(Size mapSize, double zoomPercent)
{
    const double zoom = std::clamp(zoomPercent, 1.0, 1000.0);
    const double boxWidth = zoom * SlideWidth / 100.0, boxHeight = zoom * PictureHeight / 100.0;
    if (!(mapSize.width > 0) || !(mapSize.height > 0))
        return Size(float(boxWidth), float(boxHeight));
    // The whole map in the box, undistorted.
    const double scale = std::min(boxWidth / mapSize.width, boxHeight / mapSize.height);
    return Size(float(mapSize.width * scale), float(mapSize.height * scale));
}

bool TWPowerPointExporter::createImageFileForActiveMap(TWMap &map)
{
    if (!QDir().mkpath(m_pictureFolder) || !QFileInfo(m_pictureFolder).isDir()) {
        alert(pptString("Error creating directory for PowerPoint export."),
              pptString("Please create a directory called %@ and give yourself permission to "
                        "write to it.")
                  .replace(QStringLiteral("%@"), m_pictureFolder));
        return false;
    }
    const QByteArray pdf = m_controller.pdfDataForMap(map);
    QImage image;
    if (!pdf.isEmpty()) {
        std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(pdf);
        std::unique_ptr<Poppler::Page> page =
            document && document->numPages() > 0 ? document->page(0) : nullptr;
        if (page) {
            const QSizeF pageSize = page->pageSizeF();
            m_imageSize = pictureSize(Size(float(pageSize.width()), float(pageSize.height())),
                                      double(UserDefaults::standard().integerForKey(ZoomKey)));
            // Twice the slide's resolution, so the picture stays sharp on a
            // projector; placed at its size in points.
            const double dpi = 144.0 * m_imageSize.width / pageSize.width();
            document->setRenderHint(Poppler::Document::Antialiasing);
            document->setRenderHint(Poppler::Document::TextAntialiasing);
            image = page->renderToImage(dpi, dpi);
        }
    }
    QByteArray data;
    if (!image.isNull()) {
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        if (!QImageWriter(&buffer, "tiff").write(image))
            data.clear();
    }
    // writeData alerts "Error saving file" with the path when it cannot write.
    return m_controller.writeData(data, picturePath()) && QFileInfo::exists(picturePath());
}

// --- text ---

QList<TWPowerPointExporter::Line> TWPowerPointExporter::splitLines(const QString &text)
{
    QList<Line> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\n' && c != u'\r' && c != QChar(0x2028) && c != QChar(0x2029))
            continue;
        lines.append({start, text.mid(start, i - start)});
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    lines.append({start, text.mid(start)});
    return lines;
}

bool TWPowerPointExporter::appendSlide()
{
    ++m_currentSlideNumber;
    m_slideTextLength = 0;
    m_slideNotesLength = 0;
    m_nodesWrittenCounter = 0;
    if (!runCommand(Op::addTextSlide(m_currentSlideNumber)))
        return false;
    m_slideCount = m_currentSlideNumber;
    return true;
}

bool TWPowerPointExporter::setSlideTitle(const AttributedString &title)
{
    // A title is one line: its breaks become spaces, one character each, so
    // the attribute ranges still match.
    QString text = title.string();
    for (QChar &c : text)
        if (c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029))
            c = u' ';
    if (!runCommand(Op::setText(Op::Target::Title, m_currentSlideNumber, text)))
        return false;
    return applyTextAttributesForString(title, 0, Op::Target::Title, true);
}

bool TWPowerPointExporter::appendNote(const AttributedString &note)
{
    const QList<Line> lines = splitLines(note.string());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const Line &line = lines[i];
        if (!runCommand(Op::insertText(Op::Target::Notes, m_currentSlideNumber, line.text)))
            return false;
        const AttributedString part =
            note.attributedSubstringFromRange({line.start, line.text.size()});
        if (!applyTextAttributesForString(part, m_slideNotesLength, Op::Target::Notes, false))
            return false;
        if (i + 1 < lines.size()) {
            if (!runCommand(Op::insertBreak(Op::Target::Notes, m_currentSlideNumber)))
                return false;
            ++m_slideNotesLength;
        }
        m_slideNotesLength += int(line.text.size());
    }
    return true;
}

bool TWPowerPointExporter::applyTextAttributesForString(const AttributedString &string, int offset,
                                                        Op::Target target, bool multiplyTextSize)
{
    if (string.isEmpty())
        return true;
    double multiplier =
        multiplyTextSize ? UserDefaults::standard().doubleForKey(MultiplierKey) : 1.0;
    // A setting edited by hand must not make every size 0 or overflow it.
    if (!std::isfinite(multiplier) || multiplier <= 0.0)
        multiplier = 1.0;
    multiplier = std::min(multiplier, 100.0);
    qCDebug(lcPowerPoint, "Text multiplier: %f", multiplier);
    const FontRegistry &fonts = FontRegistry::shared();
    for (qsizetype run = 0; run < string.runCount(); ++run) {
        const AttributedString::Range range = string.runRange(run);
        const TextAttributes &attributes = string.runAttributes(run);
        const int start = offset + int(range.location) + 1, length = int(range.length);
        auto characters = [&](Op::Kind kind) {
            return Op::characters(kind, target, m_currentSlideNumber, start, length);
        };
        QList<Op> ops;
        const QVariant fontValue = attributes.value(NSFontAttributeName);
        if (fontValue.canConvert<Font>() && !fontValue.value<Font>().isNull()) {
            const Font font = fontValue.value<Font>();
            Op name = characters(Op::Kind::FontName);
            name.text = font.familyName();
            if (name.text.isEmpty()) // not installed here: its PostScript name's family part
                name.text = font.fontName().section(QLatin1Char('-'), 0, 0);
            Op size = characters(Op::Kind::FontSize);
            size.number = std::max(1, int(font.pointSize() * multiplier));
            FontRegistry::Traits traits = fonts.traits(font.fontName());
            if (!fonts.isInstalled(font.fontName())) {
                // A font missing here still says what it was by its name.
                if (font.fontName().contains(QLatin1String("bold"), Qt::CaseInsensitive))
                    traits |= FontRegistry::BoldTrait;
                if (font.fontName().contains(QLatin1String("italic"), Qt::CaseInsensitive) ||
                    font.fontName().contains(QLatin1String("oblique"), Qt::CaseInsensitive))
                    traits |= FontRegistry::ItalicTrait;
            }
            Op italic = characters(Op::Kind::Italic);
            italic.flag = traits & FontRegistry::ItalicTrait;
            Op bold = characters(Op::Kind::Bold);
            bold.flag = traits & FontRegistry::BoldTrait;
            ops << name << size << italic << bold;
        }
        Color color = Color::blackColor();
        if (const QVariant v = attributes.value(NSForegroundColorAttributeName);
            v.canConvert<Color>())
            color = v.value<Color>();
        if (!color.isRGB())
            color = color.colorUsingColorSpace(Color::Space::DeviceRGB);
        Op rgb = characters(Op::Kind::Color);
        rgb.red = component(color.redComponent());
        rgb.green = component(color.greenComponent());
        rgb.blue = component(color.blueComponent());
        ops << rgb;
        if (const double baseline = attributes.value(NSBaselineOffsetAttributeName).toDouble();
            baseline != 0.0 && std::isfinite(baseline)) {
            Op op = characters(Op::Kind::BaselineOffset);
            op.offset = baseline;
            ops << op;
        }
        if (attributes.value(NSUnderlineStyleAttributeName).toInt() != 0)
            ops << characters(Op::Kind::Underline);
        ParagraphStyle paragraph = ParagraphStyle::defaultParagraphStyle();
        if (const QVariant v = attributes.value(NSParagraphStyleAttributeName);
            v.canConvert<ParagraphStyle>())
            paragraph = v.value<ParagraphStyle>();
        Op alignment = characters(Op::Kind::Alignment);
        alignment.alignment = paragraph.alignment >= LeftTextAlignment &&
                                      paragraph.alignment <= JustifiedTextAlignment
                                  ? paragraph.alignment
                                  : LeftTextAlignment;
        ops << alignment;
        for (const Op &op : std::as_const(ops))
            if (!runCommand(op))
                return false;
    }
    return true;
}

bool TWPowerPointExporter::addSlideBodyForBranch(TWMapBranch &branch, const AttributedString &title)
{
    TWMapBranch::BranchList list;
    branch.allDescendantsIntoArray(list, true);
    // Notes are a courtesy: a note that fails does not stop the slide.
    auto appendNotes = [this](const TWMapBranch &b) {
        const auto note = firstNote(b);
        if (!note || note->isEmpty())
            return;
        appendNote(branchText(b));
        appendNote(AttributedString(QStringLiteral("\n")));
        appendNote(*note);
        appendNote(AttributedString(QStringLiteral("\n\n")));
    };
    appendNotes(branch);
    const int perPage = subBranchesPerPage();
    const bool includeHidden = UserDefaults::standard().boolForKey(IncludeHiddenKey);
    int paragraphs = 0;
    for (qsizetype i = 0; i < list.size(); ++i) {
        TWMapBranch &entry = *list[i];
        if (m_nodesWrittenCounter == perPage) {
            if (!appendSlide() || !setSlideTitle(title))
                return false;
            paragraphs = 0;
        }
        if (&entry == &branch || (!includeHidden && entry.hidden()))
            continue;
        progress().setInfoString(plainText(entry));
        appendNotes(entry);
        const AttributedString text = branchText(entry);
        const QList<Line> lines = splitLines(text.string());
        for (qsizetype l = 0; l < lines.size(); ++l) {
            const Line &line = lines[l];
            if (!runCommand(Op::insertText(Op::Target::Body, m_currentSlideNumber, line.text)))
                return false;
            if (l == 0 && !runCommand(Op::setIndentLevel(m_currentSlideNumber, paragraphs + 1,
                                                         entry.getThisBranchLevel() - 1)))
                return false;
            const AttributedString part =
                text.attributedSubstringFromRange({line.start, line.text.size()});
            if (!applyTextAttributesForString(part, m_slideTextLength, Op::Target::Body, true))
                return false;
            if (l + 1 < lines.size()) {
                if (!runCommand(Op::insertBreak(Op::Target::Body, m_currentSlideNumber)))
                    return false;
                ++m_slideTextLength;
                ++paragraphs;
            }
            m_slideTextLength += int(line.text.size());
        }
        if (i != list.size() - 1 && m_nodesWrittenCounter != perPage - 1) {
            if (!runCommand(Op::insertBreak(Op::Target::Body, m_currentSlideNumber)))
                return false;
            ++m_slideTextLength;
            ++paragraphs;
        }
        ++m_nodesWrittenCounter;
    }
    return true;
}
