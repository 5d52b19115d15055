#pragma once

#include "exchange/TWExportController.h"
#include "exchange/TWPowerPointHost.h"
#include "platform/Geometry.h"
#include "support/AttributedString.h"

#include <QList>
#include <QString>
#include <memory>

class ProgressPanelController;
class TWMap;
class TWMapBranch;

// Writes the chosen maps of the active document as a presentation: per map a
// slide with the map's picture (the central note on its notes page), then
// text slides per main branch with its sub-branches as indented paragraphs,
// styled like the map's text, and branch notes on the notes pages.
class TWPowerPointExporter
{
public:
    // Settings under these keys (the export controller registers them).
    static constexpr const char *IncludeHiddenKey = "ExportPPTIncludeHiddenBranchText";
    static constexpr const char *ZoomKey = "ExportPPTZoomPercent";
    static constexpr const char *PerPageKey = "ExportPPTSubBranchesPerPage";
    static constexpr const char *MultiplierKey = "ExportPPTTextSizeMultiplier";

    // Slides are 720 by 540 points.
    static constexpr int SlideWidth = 720;
    static constexpr int SlideHeight = 540;
    // The map's picture goes under the title of its slide, in this band.
    static constexpr int PictureTop = 126;
    static constexpr int PictureHeight = 396;

    TWPowerPointExporter(TWExportController &controller, TWPowerPointHost &host);

    // Where the map picture is written; by default the application's data folder.
    void setPictureFolder(const QString &folder) { m_pictureFolder = folder; }
    QString picturePath() const;
    // The progress display; by default the shared panel.
    void setProgressPanel(ProgressPanelController *panel) { m_progress = panel; }
    // The panel; by default the export panel with the presentation settings.
    void setPanelRunner(TWExportController::PanelRunner runner)
    {
        m_panelRunner = std::move(runner);
    }

    // Shows the panel (maps, settings, the file) and exports what was chosen.
    void begin();
    // Exports the maps of the given rows of the controller's map list, in
    // list order, into one presentation saved at `path`. False when nothing
    // was saved.
    bool exportSelectedMaps(const QList<int> &rows, const QString &path);

    // One map, the active document's current one, after the slides already
    // added in this run; false when it was abandoned.
    bool exportActiveMap(TWMap &map);
    bool createImageFileForActiveMap(TWMap &map);
    bool runCommand(const TWPowerPointOperation &operation);
    bool appendSlide();
    bool setSlideTitle(const AttributedString &title);
    bool appendNote(const AttributedString &note);
    bool applyTextAttributesForString(const AttributedString &string, int offset,
                                      TWPowerPointOperation::Target target, bool multiplyTextSize);
    bool addSlideBodyForBranch(TWMapBranch &branch, const AttributedString &title);
    void baleOut();

    // The picture box for a map of the given size: fitted inside the band
    // under the slide's title scaled by the zoom, keeping the map's
    // proportions.
    static Size pictureSize(Size mapSize, double zoomPercent);
    // Lines of a text and where each starts; a line break is "\n", "\r",
    // "\r\n", U+2028 or U+2029.
    struct Line
    {
        qsizetype start;
        QString text;
    };
    static QList<Line> splitLines(const QString &text);

    Size imageSize() const { return m_imageSize; }
    int currentSlideNumber() const { return m_currentSlideNumber; }
    int subBranchesPerPage() const;

private:
    ProgressPanelController &progress();
    void alert(const QString &title, const QString &message);

    TWExportController &m_controller;
    TWPowerPointHost &m_host;
    TWExportController::PanelRunner m_panelRunner;
    ProgressPanelController *m_progress = nullptr;
    QString m_pictureFolder;

    Size m_imageSize;
    int m_currentSlideNumber = 0;
    int m_slideCount = 0; // slides the presentation holds from this run
    int m_slideTextLength = 0;
    int m_slideNotesLength = 0;
    int m_nodesWrittenCounter = 0;
    int m_totalNumberOfNodes = 0;
    int m_currentProcessingNode = 0;
    bool m_launched = false;
};
