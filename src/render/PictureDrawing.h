#pragma once

#include "platform/Geometry.h"
#include "support/Image.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QSize>

class DrawingContext;

// Draws pictures of every kind a document holds. Bitmaps are drawn from
// their pixels; PDF and EPS pages are rasterised at the device's resolution
// and kept in a cache, so redrawing at the same size costs nothing.
//
// PostScript can take long or never finish: on the screen an EPS picture not
// yet rasterised is drawn as a placeholder while it renders on a thread, and
// views repaint when PictureEvents says it is ready. Printing, exports and
// previews wait for it. A picture that fails is remembered at every size and
// the user is told once.
namespace PictureDrawing {

// PostScript that has not finished after this long is given up.
constexpr int epsTimeoutMilliseconds = 10000;
// The limit pictures drawn in maps get (tests and fuzzing shorten it).
int epsTimeLimit();
void setEPSTimeLimit(int milliseconds);

// Draws the picture stretched into `rect` (source over, fully opaque) from
// its first representation that can be drawn; a page description is clipped
// to the rectangle. False, with nothing drawn, when no representation
// decodes: the caller draws what it draws for a picture that is missing.
bool drawImage(const DrawingContext &context, const Image &image, const Rect &rect);
bool drawRepresentation(const DrawingContext &context, const ImageRepresentation &rep,
                        const Rect &rect);

enum class Failure { None, TimedOut, Unreadable, FolderFull };

// What the PostScript interpreter may write into its folder, beside the
// picture handed to it: past either, the render is ended as for a timeout.
constexpr qint64 epsFolderBudgetBytes = 64LL * 1024 * 1024;
constexpr qint64 epsFolderBudgetFiles = 256;

// The first page stretched to `pixels`, on a transparent background for PDF
// and a white one for EPS; a null image when the bytes do not render.
// PostScript runs in a child process that is stopped after `timeoutMilliseconds`,
// in an empty temporary folder of its own (removed after) that is the only
// place its files may be, with its memory capped. The folder is watched while
// it runs: a render that writes more than the folder budget is ended.
QImage renderPDF(const QByteArray &data, QSize pixels);
QImage renderEPS(const QByteArray &data, QSize pixels,
                 int timeoutMilliseconds = epsTimeoutMilliseconds, Failure *failure = nullptr);

// Waits until no EPS picture is rendering on a thread; false when one still
// is after `milliseconds`.
bool waitForRenders(int milliseconds);

// Forgets rasterised pages and failed pictures (and that the user was told).
void clearCache();
constexpr qint64 cacheBudgetBytes = 128LL * 1024 * 1024;
// A page is never rasterised larger than this; zooming further scales it.
constexpr qint64 maxRasterPixels = 4096LL * 4096LL;

} // namespace PictureDrawing

// Lives on the main thread and tells views what happened to pictures drawn
// as placeholders.
class PictureEvents : public QObject
{
    Q_OBJECT
public:
    static PictureEvents &shared();

signals:
    // Pictures that were drawn as placeholders have rendered, or failed:
    // what shows them should repaint.
    void picturesReady();

private:
    PictureEvents() = default;
};
