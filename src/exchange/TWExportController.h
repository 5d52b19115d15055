#pragma once

#include "exchange/TWExportHost.h"
#include "platform/Geometry.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

class TWMap;
class TWMapsDoc;
class UserDefaults;

// What the save panel of an export shows and what the user chose there.
struct TWExportPanelRequest
{
    enum class Settings { Vector, Jpeg, Bitmap, Text, PowerPoint, None, Keynote };
    QString title;
    QString fileType; // extension without the dot
    Settings settings = Settings::Vector;
    QStringList mapNames; // the map list, current map first
    // A listed map has a dark background: "Include map background" starts on.
    bool darkBackground = false;
};

struct TWExportPanelResult
{
    QString path;
    QList<int> selectedRows; // in list order, never empty
    // Whether the maps are drawn with their background, when the panel asks.
    std::optional<bool> includeBackground{};
};

// The Export menu: writes the chosen maps of the active document as PDF,
// EPS, bitmaps or RTF, one file per map, and renders maps for other callers
// (the canvas's PDF clipboard data, the outline window's text).
class TWExportController
{
public:
    // Bitmap file types, as the menu passes them.
    enum BitmapType { TIFF = 0, BMP = 1, GIF = 2, JPEG = 3, PNG = 4 };
    enum VectorType { PDF = 1, EPS = 2 };

    // Bitmaps larger than this are refused rather than allocated.
    static constexpr qint64 maximumBitmapPixels = 100'000'000;

    struct MapRow
    {
        bool shouldExport = true;
        QString name;
        std::shared_ptr<TWMap> map;
    };
    using PanelRunner =
        std::function<std::optional<TWExportPanelResult>(const TWExportPanelRequest &)>;

    TWExportController();

    // The controller other subsystems render through; made on first request.
    static TWExportController &sharedExportController();

    // The export settings, in registration order, and their registration.
    static const QList<std::pair<QString, QVariant>> &defaultSettings();
    static void registerDefaults(UserDefaults &defaults);

    void setHost(TWExportHost *host) { m_host = host; }
    TWExportHost *host() const { return m_host; }
    // The save panel; by default the export dialog.
    void setPanelRunner(PanelRunner runner) { m_panelRunner = std::move(runner); }

    // --- menu ---
    bool validateMenuItem() const;
    void exportPDF();
    void exportEPS();
    void exportJPEG() { exportToBitmapImageType(JPEG); }
    void exportPNG() { exportToBitmapImageType(PNG); }
    void exportTIFF() { exportToBitmapImageType(TIFF); }
    void exportBMP() { exportToBitmapImageType(BMP); }
    void exportGIF() { exportToBitmapImageType(GIF); }
    void exportRTF();
    // Runs the presentation exporter with LibreOffice Impress.
    void exportPowerPoint();
    void exportOPML();
    // One Keynote presentation package per chosen map.
    void exportKeynote();
    void exportMindManager();
    void exportToBitmapImageType(int type);

    // --- map list and names ---
    void refreshMapArrayController();
    const QList<MapRow> &mapRows() const { return m_rows; }
    QString nameForMap(const TWMap &map) const;
    static QString pathWithoutExtension(const QString &path);
    // The files of `count` exported maps for the name chosen in the panel.
    static QStringList fileNamesForChosenName(const QString &chosen, int count);

    // --- windows ---
    void displayMap(const TWMap *map);
    TWMapsDoc *documentForMap(const TWMap *map) const;

    // Writes atomically; on failure (or with no data) alerts with the path.
    bool writeData(const QByteArray &data, const QString &path);

    // --- rendering ---
    // PDF or EPS of the map's printing bounds; empty when it has none.
    QByteArray vectorImageDataOfType(int type, TWMap &map);
    QByteArray pdfDataForMap(TWMap &map) { return vectorImageDataOfType(PDF, map); }
    // One pixel a point, or scaled to the set width; null with the reason in
    // `error` when the map draws nothing or the bitmap would be too large.
    QImage imageRepForMap(TWMap &map, QString *error = nullptr);
    std::optional<AttributedString> textViewOfType(int type, TWMap &map);

    // The encoded file; empty with the reason when the encoder fails.
    static QByteArray encodeBitmap(const QImage &image, int type, double jpegFactor,
                                   QString *error = nullptr);
    // EPS of a one-page PDF; empty when it cannot be converted.
    static QByteArray epsFromPDF(const QByteArray &pdf, Size pageSize);

private:
    struct Action
    {
        QString title;
        QString fileType;
        TWExportPanelRequest::Settings settings;
    };
    // Runs the panel and returns the chosen maps with their files; empty when
    // cancelled or when the user declined replacing numbered files.
    QList<std::pair<std::shared_ptr<TWMap>, QString>> runPanel(const Action &action);
    // Notes what the window shows and how the map is selected, and puts it back.
    class RenderingScope;
    QByteArray renderVector(int type, TWMap &map);
    void alertWriteFailure(const QString &path);

    // The panel's background choice while its export runs, else the setting.
    bool includeBackground() const;

    TWExportHost *m_host = nullptr;
    PanelRunner m_panelRunner;
    std::optional<bool> m_includeBackground;
    QList<MapRow> m_rows;
};
