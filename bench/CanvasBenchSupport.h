#pragma once

// What the canvas benchmarks share: a widget application and a host with no
// document window behind it.

#include "canvas/TWCanvasHost.h"
#include "model/TWMapsDoc.h"

#include <QApplication>
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

} // namespace CanvasBench
