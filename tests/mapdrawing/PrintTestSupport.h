#pragma once

#include "BranchTestSupport.h"
#include "mapdrawing/TWPrintCanvasController.h"
#include "mapdrawing/TWPrintDocument.h"
#include "mapdrawing/TWPrintSetup.h"

#include <QList>

namespace PrintTest {

// A document window as printing sees it: the maps document, a scale and an
// editor whose moves are noted.
class FakePrintDocument : public TWPrintDocument
{
public:
    TWMapsDoc *doc = nullptr;
    std::optional<float> scale;
    Size visible;
    const TWTextArea *editing = nullptr;
    QList<Point> editorMoves;
    QString file;

    TWMapsDoc *mapsDocument() const override { return doc; }
    float scaleAmount() const override { return scale ? *scale : TWPrintDocument::scaleAmount(); }
    Size visibleAreaSize() const override { return visible; }
    const TWTextArea *editingTextArea() const override { return editing; }
    void moveCachedEditingRects(Point offset) override { editorMoves.append(offset); }
    QString fileName() const override { return file; }
};

// A map on a custom sheet with no hardware margins, so that the printable
// page is exactly the sheet less the map's margins.
class PrintFixture : public BranchTest::BranchFixture
{
protected:
    PrintFixture()
    {
        printDocument.doc = document.get();
        setPaper(Size(500, 700));
    }

    void setPaper(Size paper, const OrderedDictionary &extra = {})
    {
        OrderedDictionary setup = map->printSetupDictionary();
        setup.setValue(TWPrintSetup::PaperSize, paper.toString());
        for (const auto &[key, value] : extra)
            setup.setValue(key, value);
        map->setPrintSetupDictionary(setup);
        settle();
        undo->removeAllActions();
    }

    // Moves the whole tree so that its drawing's top-left corner lies at the
    // point (map units), without leaving an undo step behind.
    void placeDrawingAt(float x, float y)
    {
        const Rect r = map->getBoundingDrawingRectForAllGraphics();
        root->moveBranchBy(x - r.x(), y - r.y(), true);
        settle();
        undo->removeAllActions();
    }
    Rect drawing() { return map->getBoundingDrawingRectForAllGraphics(); }

    FakePrintDocument printDocument;
};

} // namespace PrintTest
