#include "../../bench/BranchDocumentGenerator.h"
#include "CanvasTestSupport.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWFileIO.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>

using namespace CanvasTest;

namespace {

// The document window of an opened file: it knows the printed pages.
class PagedHost : public FakeHost
{
public:
    using FakeHost::FakeHost;
    std::optional<TWMapDrawing::PageGrid> pageGrid() const override { return pages; }
    std::optional<TWMapDrawing::PageGrid> pages;
};

// Rows of the viewport band [x - 2, x + 2] whose darkest pixel is dark.
int darkRowsNear(const QImage &image, int x, int top, int bottom)
{
    int rows = 0;
    for (int y = std::max(0, top); y < std::min(image.height(), bottom); ++y) {
        int darkest = 255;
        for (int dx = -2; dx <= 2; ++dx)
            if (x + dx >= 0 && x + dx < image.width())
                darkest = std::min(darkest, qGray(image.pixel(x + dx, y)));
        rows += darkest < 160;
    }
    return rows;
}

} // namespace

// A saved generated document opened and shown as a user sees it: laid out,
// every branch kind, at three zooms with the page frame. With
// THINKWEB_CANVAS_SHOTS naming a folder, the window's grabs are kept there.
TEST(CanvasDocument, AnOpenedDocumentShowsAtEveryZoomWithItsPageFrame)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("generated.tweb");
    {
        auto made = BranchDocument::makeDocument(60);
        ASSERT_EQ(made->saveToFile(path), TWFileIO::SaveSucceeded);
        made->detach();
    }
    int error = -1;
    auto document = TWMapsDoc::loadFromFile(path, false, &error);
    ASSERT_NE(document, nullptr) << error;
    const std::shared_ptr<TWMap> map = document->currentMap();
    map->setLayoutServices(std::make_shared<TWMapLayout>());
    TWMapLayout::autoArrange(*map);
    // The layout spreads around the root; the window would move the map
    // onto its pages.
    const Rect laidOut = map->getBoundingDrawingRectForAllGraphics();
    map->root()->moveBranchBy(50 - laidOut.x(), 50 - laidOut.y(), true);
    map->setCanvasSize(Size(laidOut.width() + 100, laidOut.height() + 100));
    document->setShowPageFrames(true);
    QSet<QString> kinds;
    for (const auto &branch : map->allBranches())
        kinds.insert(branch->mainGraphic()->className());
    EXPECT_EQ(kinds.size(), 7);

    PagedHost host(document);
    TWGraphicView view;
    view.setDocument(&host);
    view.resize(900, 700);
    view.show();
    QSet<qint64> pictures;
    for (float zoom : {50.0f, 100.0f, 200.0f}) {
        map->setZoomAmount(zoom);
        view.mapGeometryDidChange();
        view.centerRoot();
        // One page whose right and bottom edges cross the view near its
        // right and bottom sides.
        const Rect seen = view.visibleRect();
        const Size page(seen.x() + seen.width() * 0.9f, seen.y() + seen.height() * 0.9f);
        host.pages = TWMapDrawing::PageGrid{page, 1, 1};
        const QImage shot = view.grab().toImage();
        if (const QString folder = qEnvironmentVariable("THINKWEB_CANVAS_SHOTS");
            !folder.isEmpty() && QDir().mkpath(folder))
            shot.save(QDir(folder).filePath(QStringLiteral("document-%1.png").arg(int(zoom))));
        pictures.insert(shot.cacheKey());

        // The frame's right edge runs down the view to the page's bottom.
        const QRectF edge = view.viewportRectFromMap(Rect(page.width, 0, 0, page.height));
        const int top = std::max(0, int(edge.top()));
        const int rows = int(edge.bottom()) - top;
        EXPECT_GT(darkRowsNear(shot, int(edge.left()), top, int(edge.bottom())), rows / 2) << zoom;
        // The map is drawn: a good part of the view is not the white ground.
        int inked = 0;
        for (int y = 0; y < shot.height(); y += 2)
            for (int x = 0; x < shot.width(); x += 2)
                inked += (shot.pixel(x, y) & 0xffffff) != 0xffffff;
        EXPECT_GT(inked, shot.width() * shot.height() / 4 / 50) << zoom;

        // Without page frames the edge is gone.
        document->setShowPageFrames(false);
        const QImage plain = view.grab().toImage();
        EXPECT_LT(darkRowsNear(plain, int(edge.left()), top, int(edge.bottom())), rows / 2) << zoom;
        document->setShowPageFrames(true);
        // Once the labels seen are laid out, drawing changes nothing in the
        // tree: the next drawing skips by the same extents.
        EXPECT_TRUE(map->root()->subtreeDrawingExtent(map->branchHideLevel()).has_value());
    }
    view.setDocument(nullptr);
    document->detach();
}
