#pragma once

#include "BranchTestSupport.h"
#include "TWMapsDocTestSupport.h"
#include "model/TWMapDrawingServices.h"

#include <QStringList>

namespace MapTest {

// Records what the map asks of whole-map layout, previews and text fitting.
class RecordingDrawing : public TWMapDrawingServices
{
public:
    QStringList calls;

    void autoArrange(TWMap &) override { calls << QStringLiteral("arrange map"); }
    void updatePreviewImage(TWMap &) override { calls << QStringLiteral("preview"); }
    void updatePreviewInFileCache(TWMap &) override { calls << QStringLiteral("file preview"); }
    void resizeForTextAreaConstrainedToWidth(TWMapBranch &branch, float width) override
    {
        calls << QStringLiteral("fit %1 to %2").arg(BranchTest::nameOf(branch)).arg(width);
    }
    Size imageablePageSize() override { return {500, 700}; }
};

// A document with an undo manager; maps made in it get recording services.
class MapFixture : public MapsDocTest::MapsDocFixture
{
protected:
    MapFixture()
    {
        document = TWMapsDoc::create();
        document->setUndoManager(undo);
    }
    ~MapFixture() override
    {
        document->detach();
        NotificationQueue::defaultQueue().flush();
    }

    // A new map of the document, added and current.
    std::shared_ptr<TWMap> addMap()
    {
        auto map = TWMap::create(document.get());
        map->setLayoutServices(layout);
        map->setDrawingServices(drawing);
        document->addMap(map, true);
        settle();
        return map;
    }
    // A branch under `parent` with its text set to `name`.
    std::shared_ptr<TWMapBranch> branch(const std::shared_ptr<TWMap> &map,
                                        const std::shared_ptr<TWMapBranch> &parent,
                                        const QString &name, Rect bounds = Rect(400, 100, 80, 30))
    {
        auto b = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(bounds), parent.get(),
                                                map.get());
        b->enclosedTextArea()->setString(name);
        return b;
    }
    // Ends the pass: the undo group closes and queued notifications go out
    // (those the first batch's observers queue too).
    void settle()
    {
        undo->closeEventGroup();
        NotificationQueue::defaultQueue().flush();
        NotificationQueue::defaultQueue().flush();
        layout->calls.clear();
        drawing->calls.clear();
    }

    std::shared_ptr<BranchTest::RecordingLayout> layout =
        std::make_shared<BranchTest::RecordingLayout>();
    std::shared_ptr<RecordingDrawing> drawing = std::make_shared<RecordingDrawing>();
    std::shared_ptr<TWMapsDoc> document;
};

} // namespace MapTest
