#pragma once

// What the canvas benchmarks share: a widget application, a host with no
// document window behind it, and a generated map shown on a canvas.

#include "GeneratedMap.h"

#include "canvas/TWCanvasHost.h"
#include "canvas/TWGraphicView.h"
#include "model/TWMapsDoc.h"

#include <QApplication>
#include <map>
#include <memory>

namespace CanvasBench {

inline QApplication &application()
{
    static int argc = 1;
    static char name[] = "thinkweb_bench";
    static char *argv[] = {name, nullptr};
    // Never deleted: canvases and Qt's caches outlive main().
    static QApplication *app = new QApplication(argc, argv);
    return *app;
}

class Host : public TWCanvasHost
{
public:
    explicit Host(std::shared_ptr<TWMapsDoc> document) : m_document(std::move(document)) {}
    TWMapsDoc *mapsDocument() const override { return m_document.get(); }
    NotificationObject documentObject() const override { return NotificationObject(this); }
    void selectDadoZizTitle() override {}
    void saveTheme() override {}
    void addNewDefaultGraphicAtSavedLocation(Point) override {}
    bool editLinkBackInGraphic(const std::shared_ptr<TWGraphic> &) override { return false; }

private:
    std::shared_ptr<TWMapsDoc> m_document;
};

// A generated map of the given size on a 1280 x 800 canvas whose size holds
// the whole drawing.
struct GeneratedCanvas
{
    explicit GeneratedCanvas(int branches)
    {
        application();
        document = TWMapsDoc::create();
        map = TWMap::create(document.get());
        document->addMap(map, true);
        GeneratedMap::fill(*map, branches);
        const Rect all = map->getBoundingDrawingRectForAllGraphics();
        map->setCanvasSize(Size(all.maxX() + 200, all.maxY() + 200));
        map->setZoomAmount(100);
        host = std::make_unique<Host>(document);
        view = std::make_unique<TWGraphicView>();
        view->setDocument(host.get());
        view->resize(1280, 800);
    }
    ~GeneratedCanvas()
    {
        view.reset();
        document->detach();
    }
    void send(QEvent &event) { QCoreApplication::sendEvent(view->viewport(), &event); }

    std::shared_ptr<TWMapsDoc> document;
    std::shared_ptr<TWMap> map;
    std::unique_ptr<Host> host;
    std::unique_ptr<TWGraphicView> view;
};

// One canvas of each size, made when first asked for and kept for the run.
template <class Canvas> Canvas &canvasOfSize(int branches)
{
    // Kept to the end of the process: destroyed at exit, a canvas would outlive
    // the tables its branches use while they are freed.
    static auto *canvases = new std::map<int, std::unique_ptr<Canvas>>;
    std::unique_ptr<Canvas> &c = (*canvases)[branches];
    if (!c)
        c = std::make_unique<Canvas>(branches);
    return *c;
}

} // namespace CanvasBench
