#pragma once

#include "BranchTestSupport.h"
#include "canvas/TWCanvasHost.h"
#include "canvas/TWGraphicView.h"
#include "platform/RecordingAlerts.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <functional>

namespace CanvasTest {

using BranchTest::Recorder;

// The document window as the canvas sees it, counting what it is asked.
class FakeHost : public TWCanvasHost
{
public:
    explicit FakeHost(std::shared_ptr<TWMapsDoc> document) : document(std::move(document)) {}

    TWMapsDoc *mapsDocument() const override { return document.get(); }
    NotificationObject documentObject() const override { return NotificationObject(this); }
    void selectDadoZizTitle() override { ++titleSelections; }
    void saveTheme() override { ++themeSaves; }
    bool isFullScreen() const override { return fullScreen; }
    void endFullScreen() override
    {
        fullScreen = false;
        ++fullScreenEnds;
    }
    void addNewDefaultGraphicAtSavedLocation(Point) override {}
    bool editLinkBackInGraphic(const std::shared_ptr<TWGraphic> &) override { return false; }

    std::shared_ptr<TWMapsDoc> document;
    int titleSelections = 0;
    int themeSaves = 0;
    int fullScreenEnds = 0;
    bool fullScreen = false;
};

// Spins the event loop until the condition holds or the time is up.
inline bool waitUntil(const std::function<bool()> &condition, int ms = 2000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < ms)
        QTest::qWait(5);
    return condition();
}

// A map (root 100 x 40 at (300, 200)) shown in a 640 x 480 canvas, with
// beeps counted and rectangles types 2 as the document's default.
class CanvasFixture : public BranchTest::BranchFixture
{
protected:
    CanvasFixture() : alertsScope(&alerts), host(document)
    {
        document->setGraphicClassIdentifier(2);
        map->setCanvasSize(Size(2000, 1500));
        map->setZoomAmount(100);
        view.setDocument(&host);
        view.resize(640, 480);
        settle();
    }
    ~CanvasFixture() override { view.setDocument(nullptr); }

    // Selects the branches' texts, in order.
    void select(const QList<std::shared_ptr<TWMapBranch>> &branches)
    {
        map->removeAllSelectedGraphics();
        for (const auto &b : branches)
            map->insertObjectInSelectedGraphicsAtIndex(b->enclosedTextArea(),
                                                       map->countOfSelectedGraphics());
    }
    QStringList selectedNames() const
    {
        QStringList result;
        for (const auto &g : map->selectedGraphics())
            result << (g->branch() ? BranchTest::nameOf(*g->branch()) : QStringLiteral("?"));
        return result;
    }
    // Lays out what the edit left pending, then ends the pass.
    void settle()
    {
        view.performPendingLayout();
        BranchFixture::settle();
    }
    void finishEdit() { settle(); }
    QImage render(Rect area)
    {
        QImage image(int(area.width()), int(area.height()), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        view.renderArea(painter, area);
        return image;
    }

    RecordingAlerts alerts;
    Alerts::Scope alertsScope;
    FakeHost host;
    TWGraphicView view;
};

} // namespace CanvasTest
