#include "palettes/TWStylePalettes.h"

#include "palettes/TWGraphicStyleController.h"
#include "palettes/TWMapStyleController.h"
#include "palettes/TWPaletteMapping.h"
#include "palettes/TWPalettesController.h"
#include "palettes/TWStyleView.h"
#include "platform/TWLocalizedString.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int PreviewHeight = 60;

// The preview above a row of buttons; `menu` builds the selected-style menu
// each time it is asked for.
TWStyleView *fillPalette(QWidget *palette, const std::function<QMenu *()> &menu,
                         const std::function<void()> &update)
{
    auto *layout = new QVBoxLayout(palette);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *preview = new TWStyleView(palette);
    preview->setFixedHeight(PreviewHeight);
    layout->addWidget(preview);
    auto *row = new QHBoxLayout;
    auto *updateButton =
        new QPushButton(TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Update")), palette);
    QObject::connect(updateButton, &QPushButton::clicked, palette, update);
    auto *menuButton =
        new QPushButton(TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Style")), palette);
    QObject::connect(menuButton, &QPushButton::clicked, palette, [menuButton, menu] {
        std::unique_ptr<QMenu> shown(menu());
        shown->exec(menuButton->mapToGlobal(QPoint(0, menuButton->height())));
    });
    row->addStretch();
    row->addWidget(updateButton);
    row->addWidget(menuButton);
    layout->addLayout(row);
    palette->adjustSize();
    return preview;
}

} // namespace

TWStylePalettes::TWStylePalettes(TWPalettesController *registry)
    : m_graphicController(std::make_unique<TWGraphicStyleController>()),
      m_mapController(std::make_unique<TWMapStyleController>())
{
    if (QWidget *palette = registry->paletteView(TWPaletteIDs::GeneralStyle)) {
        TWGraphicStyleController *controller = m_graphicController.get();
        m_graphicPreview = fillPalette(
            palette, [controller] { return controller->selectedStyleSubMenu(); },
            [controller] { controller->updateSelectedStyle(); });
        controller->setPreview(m_graphicPreview);
        registry->paletteSizeChanged(TWPaletteIDs::GeneralStyle);
    }
    if (QWidget *palette = registry->paletteView(TWPaletteIDs::MapStyle)) {
        TWMapStyleController *controller = m_mapController.get();
        m_mapPreview = fillPalette(
            palette, [controller] { return controller->selectedStyleSubMenu(); },
            [controller] { controller->askToUpdateSelectedStyle(); });
        controller->setPreview(m_mapPreview);
        registry->paletteSizeChanged(TWPaletteIDs::MapStyle);
    }
}

TWStylePalettes::~TWStylePalettes() = default;

void TWStylePalettes::setDocument(TWPaletteHost *document)
{
    m_graphicController->setDocument(document);
    m_mapController->setDocument(document);
}
