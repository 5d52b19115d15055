#include "drawing/DrawingContext.h"
#include "GoldenImage.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <poppler-qt6.h>

namespace {

QImage whiteImage(Size points, qreal pixelsPerPoint = 1.0)
{
    return DrawingContext::makeImage(points, pixelsPerPoint, Qt::white);
}

int darkness(const QImage &image, int x, int y)
{
    return 255 - qGray(image.pixel(x, y));
}

// A black square at (20, 20), 20 points wide, shadowed.
QImage shadowedSquare(const Shadow &shadow, qreal pixelsPerPoint = 1.0)
{
    QImage image = whiteImage(Size(80, 80), pixelsPerPoint);
    QPainter painter(&image);
    DrawingContext context(painter, false);
    const QRectF square(20, 20, 20, 20);
    context.drawShadowOnly(shadow, square,
                           [&](DrawingContext &c) { c.painter().fillRect(square, Qt::black); });
    return image;
}

TEST(DrawingContext, RoundedRectangleWithShadowMatchesReference)
{
    QImage image = whiteImage(Size(160, 110));
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        DrawingContext context(painter, false);
        const BezierPath path = BezierPath::bezierPathWithRect(Rect(20, 15, 110, 65), 12, 3);
        const auto paint = [&](DrawingContext &c) {
            c.fillPath(path, QColor(255, 214, 102));
            c.strokePath(path, QColor(40, 70, 160));
        };
        const Shadow shadow(Size(5, -5), 5, std::nullopt);
        context.drawWithShadow(shadow, path.bounds().toQt().adjusted(-2, -2, 2, 2), paint);
        paint(context);
    }
    EXPECT_TRUE(GoldenImage::matches(image, "rounded-rect-shadow"));
}

TEST(DrawingContext, ShadowIsOffsetWithPositiveHeightUpAndScaledToTheDevice)
{
    struct Case
    {
        Size offset;
        qreal pixelsPerPoint;
        QPoint shadowed; // in points
        QPoint clear;
        QPoint squareOnly; // under the square, outside its shadow
    };
    // Offset (10, -10) moves the shadow right and down; (-10, 10) left and up.
    const Case cases[] = {
        {Size(10, -10), 1, QPoint(45, 45), QPoint(15, 15), QPoint(22, 22)},
        {Size(-10, 10), 1, QPoint(15, 15), QPoint(45, 45), QPoint(38, 38)},
        {Size(10, -10), 2, QPoint(45, 45), QPoint(15, 15), QPoint(22, 22)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pixelsPerPoint);
        const QImage image = shadowedSquare(Shadow(c.offset, 0, std::nullopt), c.pixelsPerPoint);
        const int s = int(c.pixelsPerPoint);
        // The default shadow colour is black at one third opacity.
        EXPECT_NEAR(darkness(image, c.shadowed.x() * s, c.shadowed.y() * s), 85, 2);
        EXPECT_EQ(darkness(image, c.clear.x() * s, c.clear.y() * s), 0);
        // The square itself is not drawn by the shadow alone.
        EXPECT_EQ(darkness(image, c.squareOnly.x() * s, c.squareOnly.y() * s), 0);
    }
}

TEST(DrawingContext, ShadowBlurSoftensTheEdge)
{
    const Color red = Color::colorWithCalibratedRed(1, 0, 0, 1);
    const QImage sharp = shadowedSquare(Shadow(Size(0, 0), 0, red));
    const QImage blurred = shadowedSquare(Shadow(Size(0, 0), 6, red));
    // Sharp: full colour inside, nothing outside.
    EXPECT_EQ(sharp.pixel(21, 30), qRgb(255, 0, 0));
    EXPECT_EQ(sharp.pixel(18, 30), qRgb(255, 255, 255));
    // Blurred: about half at the edge, some colour spills outside, the middle stays full.
    EXPECT_NEAR(qGreen(blurred.pixel(20, 30)), 128, 20);
    EXPECT_LT(qGreen(blurred.pixel(17, 30)), 255);
    EXPECT_GT(qGreen(blurred.pixel(17, 30)), qGreen(blurred.pixel(20, 30)));
    EXPECT_LT(qGreen(blurred.pixel(30, 30)), 10);
    EXPECT_EQ(qRed(blurred.pixel(30, 30)), 255);
}

TEST(DrawingContext, ShadowedDrawingLeavesThePainterAsItWas)
{
    QImage image = whiteImage(Size(50, 50));
    QPainter painter(&image);
    painter.translate(3, 4);
    painter.setOpacity(0.5);
    const QTransform before = painter.worldTransform();
    {
        DrawingContext context(painter, true);
        context.drawWithShadow(Shadow(Size(2, -2), 3, std::nullopt), QRectF(5, 5, 10, 10),
                               [](DrawingContext &c) {
                                   c.painter().setPen(Qt::red);
                                   c.painter().drawRect(5, 5, 10, 10);
                               });
        EXPECT_EQ(painter.worldTransform(), before);
        EXPECT_EQ(painter.opacity(), 0.5);
    }
    EXPECT_EQ(painter.worldTransform(), before);
}

TEST(DrawingContext, EveryDeviceCountsInPoints)
{
    QImage twice = whiteImage(Size(40, 40), 2.0);
    ASSERT_EQ(twice.size(), QSize(80, 80));
    EXPECT_EQ(DrawingContext::pointScale(twice, false), 2.0);
    EXPECT_EQ(DrawingContext::pointScale(twice, true), 1.0);
    {
        QPainter painter(&twice);
        DrawingContext context(painter, false);
        painter.fillRect(QRectF(0, 0, 10, 10), Qt::black);
        EXPECT_EQ(context.devicePixelsPerPoint(), 2.0);
    }
    EXPECT_EQ(qGray(twice.pixel(19, 19)), 0);
    EXPECT_EQ(qGray(twice.pixel(21, 21)), 255);

    // A PDF written through the context has its page and drawing in points,
    // whatever resolution the writer runs at.
    for (int resolution : {72, 300}) {
        SCOPED_TRACE(resolution);
        QByteArray pdf;
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        {
            QPdfWriter writer(&buffer);
            DrawingContext::preparePdfWriter(writer, Size(200, 100));
            writer.setResolution(resolution);
            QPainter painter(&writer);
            DrawingContext context(painter, false);
            EXPECT_NEAR(context.devicePixelsPerPoint(), 300.0 / 72.0, 1e-9)
                << "pictures are rasterised for print";
            painter.fillRect(QRectF(0, 0, 100, 100), Qt::black);
        }
        std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(pdf);
        ASSERT_TRUE(document);
        std::unique_ptr<Poppler::Page> page = document->page(0);
        ASSERT_TRUE(page);
        EXPECT_NEAR(page->pageSizeF().width(), 200, 0.5);
        EXPECT_NEAR(page->pageSizeF().height(), 100, 0.5);
        const QImage rendered = page->renderToImage(72, 72);
        EXPECT_EQ(qGray(rendered.pixel(90, 50)), 0);
        EXPECT_EQ(qGray(rendered.pixel(110, 50)), 255);
    }
}

TEST(DrawingContext, ImagesRecordTheirResolution)
{
    const QImage once = DrawingContext::makeImage(Size(10.2f, 3));
    EXPECT_EQ(once.size(), QSize(11, 3));
    EXPECT_EQ(once.logicalDpiX(), 72);
    EXPECT_EQ(once.pixel(0, 0), qRgba(0, 0, 0, 0));
    EXPECT_EQ(DrawingContext::makeImage(Size(10, 3), 3.0).logicalDpiY(), 216);
}

TEST(DrawingContext, PensCarryThePlatformStrokingDefaults)
{
    const QPen plain = DrawingContext::pen(Qt::black, StrokeStyle());
    EXPECT_EQ(plain.widthF(), 1.0);
    EXPECT_EQ(plain.capStyle(), Qt::FlatCap);
    EXPECT_EQ(plain.joinStyle(), Qt::SvgMiterJoin);
    EXPECT_EQ(plain.miterLimit(), 10.0);
    EXPECT_EQ(plain.style(), Qt::SolidLine);

    struct Case
    {
        float width;
        QList<float> multiples;
        QList<qreal> penDashes; // in pen widths, as Qt counts
    };
    const Case cases[] = {
        {2, {1, 2}, {1, 2}},
        {3, {3, 2, 1, 2}, {3, 2, 1, 2}},
        {4, {7, 3}, {7, 3}},
        // An odd pattern repeats with on and off swapped.
        {2, {1, 2, 3}, {1, 2, 3, 1, 2, 3}},
        // A zero width is a hairline; dashes are then counted in points.
        {0, {2, 1}, {0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.width);
        StrokeStyle style = StrokeStyle::withWidth(c.width);
        style.dash = StrokeStyle::dashInWidths(c.multiples, c.width);
        const QPen pen = DrawingContext::pen(Qt::red, style);
        EXPECT_EQ(pen.widthF(), c.width);
        if (c.width > 0)
            EXPECT_EQ(pen.dashPattern(), c.penDashes);
        else
            EXPECT_EQ(pen.style(), Qt::SolidLine) << "a pattern of zero lengths draws solid";
    }

    BezierPath path;
    path.setLineWidth(5);
    path.setLineCapStyle(BezierPath::RoundLineCap);
    path.setLineJoinStyle(BezierPath::BevelLineJoin);
    path.setLineDash({10, 5}, 5);
    const QPen fromPath = DrawingContext::pen(Qt::black, StrokeStyle::ofPath(path));
    EXPECT_EQ(fromPath.capStyle(), Qt::RoundCap);
    EXPECT_EQ(fromPath.joinStyle(), Qt::BevelJoin);
    EXPECT_EQ(fromPath.dashPattern(), QList<qreal>({2, 1}));
    EXPECT_EQ(fromPath.dashOffset(), 1.0);
}

TEST(DrawingContext, CenterScanRectAlignsToDevicePixels)
{
    struct Case
    {
        qreal zoom;
        Rect rect;
        Rect aligned;
    };
    const Case cases[] = {
        {1.0, Rect(10.3f, 10.6f, 7, 7), Rect(10, 11, 7, 7)},
        {1.0, Rect(-3.5f, 2.49f, 7, 7), Rect(-3, 2, 7, 7)},
        {2.0, Rect(10.3f, 10.6f, 7, 7), Rect(10.5f, 10.5f, 7, 7)},
        {1.5, Rect(1, 1, 7, 7), Rect(4.0f / 3, 4.0f / 3, 20.0f / 3, 20.0f / 3)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.zoom);
        QImage image = whiteImage(Size(40, 40));
        QPainter painter(&image);
        painter.scale(c.zoom, c.zoom);
        DrawingContext context(painter, true);
        const Rect aligned = context.centerScanRect(c.rect);
        EXPECT_NEAR(aligned.x(), c.aligned.x(), 1e-4);
        EXPECT_NEAR(aligned.y(), c.aligned.y(), 1e-4);
        EXPECT_NEAR(aligned.width(), c.aligned.width(), 1e-4);
        EXPECT_NEAR(aligned.height(), c.aligned.height(), 1e-4);
    }
}

} // namespace
