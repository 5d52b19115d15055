#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

class QToolButton;
class TWGraphicStyleController;
class TWMapStyleController;
class TWPaletteHost;
class TWPalettesController;
class TWStyleView;

// Fills the graphic and map style palettes of a registry: the style preview
// with its menu, an update button and the selected-style menu button, each
// palette driven by its controller.
class TWStylePalettes : public QObject
{
    Q_OBJECT

public:
    explicit TWStylePalettes(TWPalettesController *registry);
    ~TWStylePalettes() override;

    void setDocument(TWPaletteHost *document);

    TWGraphicStyleController *graphicController() const { return m_graphicController.get(); }
    TWMapStyleController *mapController() const { return m_mapController.get(); }
    TWStyleView *graphicPreview() const { return m_graphicPreview; }
    TWStyleView *mapPreview() const { return m_mapPreview; }

private:
    std::unique_ptr<TWGraphicStyleController> m_graphicController;
    std::unique_ptr<TWMapStyleController> m_mapController;
    TWStyleView *m_graphicPreview = nullptr;
    TWStyleView *m_mapPreview = nullptr;
};
