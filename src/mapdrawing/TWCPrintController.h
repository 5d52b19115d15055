#pragma once

#include "mapdrawing/TWCPrintImageView.h"

#include <QDialog>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <memory>

class QWidget;
class TWMap;

// The Compact edition's print sheet. The map is drawn once as a picture,
// spread over a number of pages wide and high, sized within that area,
// placed at one of nine positions, with or without its background; the
// sheet previews the pages with their boundaries dashed. The map itself is
// left as it was: its selection and background setting are not touched.
//
// Controls of the sheet are found by object name: "pagesWide", "pagesHigh",
// "mapSize", "printBackground", "alignment0" to "alignment8", "preview",
// "print" and "cancel".
class TWCPrintController : public QObject
{
    Q_OBJECT

public:
    static TWCPrintController &sharedPrintController();

    TWCPrintController();
    ~TWCPrintController() override;

    // Opens the sheet for the map on the window (a plain dialog without one).
    void printMap(const std::shared_ptr<TWMap> &map, QWidget *window);
    bool isOpen() const { return m_sheet != nullptr; }
    QDialog *sheet() const { return m_sheet; }
    void print();
    void cancel();

    // --- what the controls bind to; setters update the picture ---
    int pagesWide() const { return m_pagesWide; }
    void setPagesWide(int pages);
    int pagesHigh() const { return m_pagesHigh; }
    void setPagesHigh(int pages);
    bool printBackground() const { return m_printBackground; }
    void setPrintBackground(bool print);
    // 0 to 8, row by row from the top left; other values change nothing
    // but still update.
    int alignment() const;
    void setAlignment(int index);
    // The picture's size as a factor of its natural size.
    float mapSize() const { return m_mapSize; }
    void setMapSize(float factor);
    float maxMapSize() const { return m_maxMapSize; }
    float minMapSize() const { return m_minMapSize; }

    // The imageable size of the map's page layout.
    Size pageSize() const;
    Size originalMapSize() const { return m_originalMapSize; }
    const TWCPrintImageView &printImageView() const { return m_view; }
    QImage previewImage() const { return m_preview; }

    void update();
    void updateMapImage();
    void updateSizeBindings();
    void updatePreview();

    // Prints into this PDF file instead of asking for a printer; empty asks.
    void setPDFOutputPath(const QString &path) { m_pdfOutputPath = path; }

signals:
    void maxMapSizeChanged(float maximum);
    void previewChanged(const QImage &preview);
    // After each print operation; a failure has been reported by then.
    void printOperationDidRun(bool success);

private:
    void buildSheet(QWidget *window);
    void reloadControls();
    void closeSheet();
    void printOperationFinished(bool success, const QString &error);

    std::weak_ptr<TWMap> m_map;
    TWCPrintImageView m_view;
    QPointer<QDialog> m_sheet;
    int m_pagesWide = 1;
    int m_pagesHigh = 1;
    Size m_originalMapSize;
    float m_mapSize = 1.0f;
    float m_maxMapSize = 1.0f;
    float m_minMapSize = 0.1f;
    bool m_printBackground = false;
    bool m_reloading = false;
    QImage m_preview;
    QString m_pdfOutputPath;
};
