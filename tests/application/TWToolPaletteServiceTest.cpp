#include "ApplicationTestSupport.h"

#include "application/TWToolPaletteService.h"
#include "canvas/TWGraphicView.h"
#include "canvas/TWToolPaletteController.h"

#include <QVBoxLayout>

namespace {

// A document whose window holds a canvas.
class CanvasDocument : public FakeDocument
{
public:
    CanvasDocument() : canvas(new TWGraphicView(mainWindow()))
    {
        (new QVBoxLayout(mainWindow()))->addWidget(canvas);
    }
    TWGraphicView *canvas;
};

} // namespace

TEST_F(ApplicationTest, TheToolPaletteFollowsTheActiveDocumentAndClosesForEveryCanvas)
{
    TWApplication &a = start();
    UserDefaults defaults(dir.filePath(QStringLiteral("palette.ini")));
    UserDefaults::Scope scope(&defaults);
    CanvasDocument first, second;
    a.setCurrentlyActiveDocument(&first);
    TWToolPaletteController palette;
    TWToolPaletteService service(palette, &a);
    EXPECT_EQ(palette.inspectingCanvas(), first.canvas);

    a.setCurrentlyActiveDocument(&second);
    EXPECT_EQ(palette.inspectingCanvas(), second.canvas);
    palette.button(TWGraphicView::GraftMode)->click();
    EXPECT_EQ(second.canvas->drawingMode(), TWGraphicView::GraftMode);
    EXPECT_EQ(first.canvas->drawingMode(), TWGraphicView::SelectMode);

    first.canvas->setDrawingMode(TWGraphicView::ZoomMode);
    first.canvas->lockDrawingMode();
    service.showPanel();
    EXPECT_TRUE(defaults.boolForKey(QString::fromLatin1(TWPreferences::ShowToolPaletteKey)));
    service.closePanel();
    for (const TWGraphicView *canvas : {first.canvas, second.canvas}) {
        EXPECT_EQ(canvas->drawingMode(), TWGraphicView::SelectMode);
        EXPECT_FALSE(canvas->modeLockedIn());
    }
    EXPECT_FALSE(defaults.boolForKey(QString::fromLatin1(TWPreferences::ShowToolPaletteKey)));

    a.setCurrentlyActiveDocument(nullptr);
    EXPECT_EQ(palette.inspectingCanvas(), nullptr);
    EXPECT_TRUE(palette.button(TWGraphicView::SelectMode)->isChecked());
}
