// The Navigator beside a document as a user opens it: the map shows in it
// from the window's first paint, without any edit, on a new document, on a
// small saved one and on an outline of 10,000 items imported and saved.

#include "AcceptanceSupport.h"

#include "../../bench/BranchDocumentGenerator.h"
#include "../../bench/WindowBenchSupport.h"
#include "application/TWImportController.h"
#include "exchange/TWOPMLImportExport.h"
#include "model/TWFileIO.h"
#include "palettes/TWNavigatorView.h"

#include <QPainter>
#include <functional>

class NavigatorRoad : public AcceptanceTest
{
protected:
    // The outline of 10,000 items the window benchmarks use, imported by
    // the program and saved; made once for the run.
    QString bigDocument()
    {
        static QString saved;
        if (!saved.isEmpty())
            return saved;
        const QString outline = WindowBench::outlineFile(10000);
        if (outline.isEmpty())
            return QString();
        TWImportController importer(*documentController);
        TWImportController::Readers readers;
        readers.opml = [](TWMap &map, const QString &path, QString *reason) {
            return TWOPMLImportExport().importFile(path, map, reason);
        };
        importer.setReaders(readers);
        TWDocument *imported = importer.importOPMLFileAtPathReturningDocument(outline);
        if (!imported)
            return QString();
        const QString path = QDir(WindowBench::folder().path()).filePath("outline-10000.tweb");
        const bool written = imported->writeToFile(path) == TWFileIO::SaveSucceeded;
        imported->clearChangeCount();
        imported->close();
        settle();
        if (written)
            saved = path;
        return saved;
    }
    TWDocument *smallDocument()
    {
        const QString path = dir.filePath(QStringLiteral("plan.tweb"));
        auto made = BranchDocument::makeDocument(12);
        const bool written = made->saveToFile(path) == TWFileIO::SaveSucceeded;
        made->detach();
        return written ? openDocument(path) : nullptr;
    }

    // The Navigator as the screen shows it now (not painted afresh).
    QImage navigatorOnScreen(TWDocument *document, TWNavigatorView *navigator,
                             const QString &step)
    {
        const QImage window = grab(document, step);
        const QRect r(navigator->mapTo(document->mainWindow(), QPoint(0, 0)), navigator->size());
        const qreal ratio = window.devicePixelRatio();
        return window.copy(
            QRect((QPointF(r.topLeft()) * ratio).toPoint(), (QSizeF(r.size()) * ratio).toSize()));
    }
    // The share of the pixels the thumbnail draws that the screen shows in
    // their colour, over the palette's ground where the thumbnail leaves it
    // (the outline of the visible part lies over a few).
    static double shownShare(const QImage &screen, const QImage &thumbnail)
    {
        if (screen.size() != thumbnail.size())
            return 0;
        QColor ground(Qt::white);
        for (int y = 0; y < thumbnail.height(); ++y)
            for (int x = 0; x < thumbnail.width(); ++x)
                if (qAlpha(thumbnail.pixel(x, y)) == 0) {
                    ground = screen.pixelColor(x, y);
                    y = thumbnail.height();
                    break;
                }
        QImage expected(thumbnail.size(), QImage::Format_RGB32);
        expected.fill(ground);
        {
            QPainter painter(&expected);
            painter.drawImage(0, 0, thumbnail);
        }
        int drawn = 0, shown = 0;
        for (int y = 0; y < expected.height(); ++y)
            for (int x = 0; x < expected.width(); ++x) {
                if (qAlpha(thumbnail.pixel(x, y)) == 0)
                    continue;
                ++drawn;
                const QRgb want = expected.pixel(x, y), got = screen.pixel(x, y);
                shown += std::abs(qRed(got) - qRed(want)) + std::abs(qGreen(got) - qGreen(want)) +
                             std::abs(qBlue(got) - qBlue(want)) <=
                         24;
            }
        return drawn > 0 ? double(shown) / drawn : 0;
    }
};

TEST_P(NavigatorRoad, ShowsTheMapFromTheFirstPaintWithoutAnEdit)
{
    struct Case
    {
        const char *what;
        std::function<TWDocument *()> open;
    };
    const Case cases[] = {
        {"new", [this] { return newDocument(); }},
        {"small", [this] { return smallDocument(); }},
        {"10000",
         [this] {
             const QString path = bigDocument();
             return path.isEmpty() ? nullptr : openDocument(path);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TWDocument *document = c.open();
        ASSERT_TRUE(document);
        auto *navigator = document->mainWindow()->findChild<TWNavigatorView *>();
        if (!navigator || !navigator->isVisible())
            GTEST_SKIP() << "this edition's window shows no Navigator";
        // As the window first shows: at least the first bands are there.
        const QImage first =
            navigatorOnScreen(document, navigator, QStringLiteral("%1-shown").arg(c.what));
        // The whole picture, from a view of its own: the shown one goes on
        // at its own pace.
        TWNavigatorView reference;
        reference.resize(navigator->size());
        reference.setDocument(document);
        reference.layoutThumbnail();
        const QImage thumbnail = reference.thumbnail().copy();
        ASSERT_FALSE(thumbnail.isNull());
        EXPECT_GT(shownShare(first, thumbnail), 0) << "the Navigator is empty";
        // Then the rest, with no edit: only the event loop runs.
        QImage last;
        for (int i = 0; i < 200 && shownShare(last, thumbnail) < 0.9; ++i) {
            wait(100);
            last = navigatorOnScreen(document, navigator, QStringLiteral("%1-later").arg(c.what));
        }
        EXPECT_GE(shownShare(last, thumbnail), 0.9) << "the Navigator shows part of the map";
        document->clearChangeCount();
        document->close();
        settle();
    }
}

// Zoom to Fit on a large map: the Navigator shows the whole map again once
// the event loop has run, as it did before the zoom. Fitting a tall map at
// 1 % widens the canvas to the window's size at that zoom, a hundred times
// the map's width.
TEST_P(NavigatorRoad, ShowsTheMapAgainAfterZoomToFit)
{
    const QString path = bigDocument();
    ASSERT_FALSE(path.isEmpty());
    TWDocument *document = openDocument(path);
    ASSERT_TRUE(document);
    auto *navigator = document->mainWindow()->findChild<TWNavigatorView *>();
    if (!navigator || !navigator->isVisible())
        GTEST_SKIP() << "this edition's window shows no Navigator";
    TWNavigatorView reference;
    reference.resize(navigator->size());
    reference.setDocument(document);
    reference.layoutThumbnail();
    const QImage thumbnail = reference.thumbnail().copy();
    ASSERT_FALSE(thumbnail.isNull());
    const auto shownSoon = [&](const QString &step) {
        QImage last;
        for (int i = 0; i < 200 && shownShare(last, thumbnail) < 0.9; ++i) {
            wait(100);
            last = navigatorOnScreen(document, navigator, step);
        }
        return shownShare(last, thumbnail);
    };
    EXPECT_GE(shownSoon(QStringLiteral("before")), 0.9);
    key(document, Qt::Key_0, Qt::ControlModifier);
    EXPECT_GE(shownSoon(QStringLiteral("fitted")), 0.9) << "the Navigator is left grey";
    document->clearChangeCount();
    document->close();
    settle();
}

ACCEPTANCE_EDITIONS(NavigatorRoad);
