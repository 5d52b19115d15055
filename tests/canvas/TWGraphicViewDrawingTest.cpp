#include "CanvasTestSupport.h"

#include "graphics/TWRectangle.h"

#include <QDir>
#include <QScrollBar>

using namespace CanvasTest;

// The map at several zooms. With THINKWEB_CANVAS_SHOTS naming a folder, the
// pictures are written there to be looked at.
class CanvasDrawing : public CanvasFixture
{
protected:
    CanvasDrawing()
    {
        shape = TWGraphic::make<TWRectangle>(Rect(100, 60, 80, 40));
        boxed = TWMapBranch::createWithGraphic(shape, root.get(), map.get());
        boxed->enclosedTextArea()->setString(QStringLiteral("boxed"));
        shape->setInheritsFill(false);
        shape->setDrawsFill(true);
        shape->setFillColor(Color::colorWithCalibratedRed(0, 0, 1));
        settle();
    }
    void keep(const QImage &image, const QString &name)
    {
        const QString folder = qEnvironmentVariable("THINKWEB_CANVAS_SHOTS");
        if (!folder.isEmpty() && QDir().mkpath(folder))
            image.save(QDir(folder).filePath(name));
    }
    std::shared_ptr<TWRectangle> shape;
    std::shared_ptr<TWMapBranch> boxed;
};

TEST_F(CanvasDrawing, TheZoomScalesThePicture)
{
    for (float zoom : {50.0f, 100.0f, 200.0f}) {
        map->setZoomAmount(zoom);
        view.mapGeometryDidChange();
        view.horizontalScrollBar()->setValue(0);
        view.verticalScrollBar()->setValue(0);
        const QImage image = view.renderVisibleImage();
        keep(image, QStringLiteral("canvas-%1.png").arg(int(zoom)));
        const qreal z = zoom / 100.0;
        // Inside the blue shape, left of its label; and empty canvas beside it.
        const QColor inside = image.pixelColor(QPoint(int(104 * z), int(64 * z)));
        const QColor outside = image.pixelColor(QPoint(int(90 * z), int(64 * z)));
        EXPECT_EQ(inside.rgb(), QColor(Qt::blue).rgb()) << zoom;
        EXPECT_EQ(outside.rgb(), QColor(Qt::white).rgb()) << zoom;
    }
}

TEST_F(CanvasDrawing, RubberBandAndSelectionShowOverTheMap)
{
    view.setRubberbandRect(Rect(20, 20, 40, 40));
    QImage image = render(Rect(0, 0, 200, 200));
    const QColor band = image.pixelColor(QPoint(40, 40));
    EXPECT_NE(band.rgb(), QColor(Qt::white).rgb());
    EXPECT_GT(band.blue(), band.green());

    view.setRubberbandRect(Rect());
    image = render(Rect(0, 0, 200, 200));
    EXPECT_EQ(image.pixelColor(QPoint(40, 40)).rgb(), QColor(Qt::white).rgb());
}
