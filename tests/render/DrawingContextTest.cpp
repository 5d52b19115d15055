#include "GoldenImage.h"
#include "render/DrawingContext.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <poppler-qt6.h>

namespace {

QImage whiteImage(Size points, qreal pixelsPerPoint = 1.0)
{
    return DrawingContext::makeImage(points, pixelsPerPoint, Qt::white);
}

// A black square at (20, 20), 20 points wide, of which only the shadow is drawn.
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
        context.drawWithShadow(Shadow(Size(5, -5), 5, std::nullopt),
                               path.bounds().toQt().adjusted(-2, -2, 2, 2), paint);
        paint(context);
    }
    EXPECT_TRUE(GoldenImage::matches(image, "rounded-rect-shadow"));

    QPainter painter(&image);
    painter.translate(3, 4);
    painter.setOpacity(0.5);
    const QTransform before = painter.worldTransform();
    DrawingContext context(painter, true);
    context.drawWithShadow(Shadow(Size(2, -2), 3, std::nullopt), QRectF(5, 5, 10, 10),
                           [](DrawingContext &c) { c.painter().drawRect(5, 5, 10, 10); });
    EXPECT_EQ(painter.worldTransform(), before);
    EXPECT_EQ(painter.opacity(), 0.5);
}

TEST(DrawingContext, ShadowIsOffsetWithPositiveHeightUpAndScaledToTheDevice)
{
    const struct
    {
        Size offset;
        qreal pixelsPerPoint;
        QPoint shadowed, clear, squareOnly; // in points
    } cases[] = {
        {Size(10, -10), 1, QPoint(45, 45), QPoint(15, 15), QPoint(22, 22)},
        {Size(-10, 10), 1, QPoint(15, 15), QPoint(45, 45), QPoint(38, 38)},
        {Size(10, -10), 2, QPoint(45, 45), QPoint(15, 15), QPoint(22, 22)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pixelsPerPoint);
        const QImage image = shadowedSquare(Shadow(c.offset, 0, std::nullopt), c.pixelsPerPoint);
        const auto darkness = [&](QPoint p) {
            return 255 - qGray(image.pixel(p * int(c.pixelsPerPoint)));
        };
        EXPECT_NEAR(darkness(c.shadowed), 85, 2); // black at one third opacity
        EXPECT_EQ(darkness(c.clear), 0);
        EXPECT_EQ(darkness(c.squareOnly), 0);
    }

    const Color red = Color::colorWithCalibratedRed(1, 0, 0, 1);
    const QImage sharp = shadowedSquare(Shadow(Size(0, 0), 0, red));
    const QImage blurred = shadowedSquare(Shadow(Size(0, 0), 6, red));
    EXPECT_EQ(sharp.pixel(21, 30), qRgb(255, 0, 0));
    EXPECT_EQ(sharp.pixel(18, 30), qRgb(255, 255, 255));
    EXPECT_NEAR(qGreen(blurred.pixel(20, 30)), 128, 20);
    EXPECT_LT(qGreen(blurred.pixel(17, 30)), 255);
    EXPECT_GT(qGreen(blurred.pixel(17, 30)), qGreen(blurred.pixel(20, 30)));
    EXPECT_EQ(blurred.pixel(30, 30), qRgb(255, 0, 0));
}

TEST(DrawingContext, EveryDeviceCountsInPoints)
{
    const QImage once = DrawingContext::makeImage(Size(10.2f, 3));
    EXPECT_EQ(once.size(), QSize(11, 3));
    EXPECT_EQ(once.logicalDpiX(), 72);
    EXPECT_EQ(once.pixel(0, 0), qRgba(0, 0, 0, 0));
    QImage twice = whiteImage(Size(40, 40), 2.0);
    ASSERT_EQ(twice.size(), QSize(80, 80));
    EXPECT_EQ(twice.logicalDpiY(), 144);
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

TEST(DrawingContext, PensCarryThePlatformStrokingDefaults)
{
    const QPen plain = DrawingContext::pen(Qt::black, StrokeStyle());
    EXPECT_EQ(plain.widthF(), 1.0);
    EXPECT_EQ(plain.capStyle(), Qt::FlatCap);
    EXPECT_EQ(plain.joinStyle(), Qt::SvgMiterJoin);
    EXPECT_EQ(plain.miterLimit(), 10.0);

    const struct
    {
        float width;
        QList<float> multiples;
        QList<qreal> penDashes; // in pen widths, as Qt counts
    } cases[] = {
        {3, {3, 2, 1, 2}, {3, 2, 1, 2}},
        {2, {1, 2, 3}, {1, 2, 3, 1, 2, 3}}, // an odd pattern repeats with on and off swapped
        {0, {2, 1}, {}},                    // a hairline: dashes of zero widths would draw solid
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.width);
        StrokeStyle style = StrokeStyle::withWidth(c.width);
        style.dash = StrokeStyle::dashInWidths(c.multiples, c.width);
        const QPen pen = DrawingContext::pen(Qt::red, style);
        EXPECT_EQ(pen.widthF(), c.width);
        if (c.width > 0)
            EXPECT_EQ(pen.dashPattern(), c.penDashes);
        else
            EXPECT_EQ(pen.style(), Qt::SolidLine);
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
    const struct
    {
        qreal zoom;
        Rect rect, aligned;
    } cases[] = {
        {1.0, Rect(10.3f, 10.6f, 7, 7), Rect(10, 11, 7, 7)},
        {1.0, Rect(-3.5f, 2.49f, 7, 7), Rect(-3, 2, 7, 7)},
        {2.0, Rect(10.3f, 10.6f, 7, 7), Rect(10.5f, 10.5f, 7, 7)},
        {1.5, Rect(1, 1, 7, 7), Rect(4.0f / 3, 4.0f / 3, 20.0f / 3, 20.0f / 3)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.zoom);
        QImage image = whiteImage(Size(40, 40));
        QPainter painter(&image);
        painter.scale(c.zoom, c.zoom);
        DrawingContext context(painter, true);
        const QRectF aligned = context.centerScanRect(c.rect).toQt(), want = c.aligned.toQt();
        for (auto [got, expected] : {std::pair(aligned.topLeft(), want.topLeft()),
                                     std::pair(aligned.bottomRight(), want.bottomRight())}) {
            EXPECT_NEAR(got.x(), expected.x(), 1e-4);
            EXPECT_NEAR(got.y(), expected.y(), 1e-4);
        }
    }
}

// On screen a filled figure far larger than the view is cut to the view
// before it is filled; what shows is what the whole figure gives, for
// figures that pass the view, cover it, or lie within it, at any zoom.
TEST(DrawingContext, HugeFiguresFillTheScreenAsWhole)
{
    const auto taper = [](float length) {
        // A connection's tapered curve, running far past the view.
        BezierPath p;
        p.moveToPoint(Point(30, -length));
        p.curveToPoint(Point(140, length), Point(400, -length / 3), Point(-200, length / 3));
        p.lineToPoint(Point(150, length));
        p.curveToPoint(Point(36, -length), Point(-190, length / 3), Point(410, -length / 3));
        p.closePath();
        return p;
    };
    struct Case
    {
        const char *what;
        BezierPath path;
        qreal zoom;
        QPointF scroll;
    };
    const Case cases[] = {
        {"a taper through the view", taper(90000), 1.0, QPointF(0, 0)},
        {"the same zoomed and scrolled", taper(90000), 2.5, QPointF(-100, -40)},
        {"a rectangle covering the view",
         BezierPath::bezierPathWithRect(Rect(-60000, -60000, 120000, 120000), 0, 1), 1.0,
         QPointF(0, 0)},
        {"a rounded rectangle with a corner in view",
         BezierPath::bezierPathWithRect(Rect(50, 40, 90000, 90000), 20, 1), 0.5, QPointF(0, 0)},
        {"a figure within the view", BezierPath::bezierPathWithRect(Rect(20, 20, 100, 60), 12, 1),
         1.0, QPointF(0, 0)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const auto draw = [&](bool screen) {
            // 72 dots an inch: a point is a pixel on either kind of context.
            QImage image = whiteImage(Size(200, 150));
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.translate(c.scroll);
            painter.scale(c.zoom, c.zoom);
            DrawingContext context(painter, screen);
            context.fillPath(c.path, QColor(30, 90, 200));
            return image;
        };
        const QImage whole = draw(false), cut = draw(true);
        int differing = 0, inked = 0;
        for (int y = 0; y < whole.height(); ++y)
            for (int x = 0; x < whole.width(); ++x) {
                const QRgb a = whole.pixel(x, y), b = cut.pixel(x, y);
                inked += a != qRgb(255, 255, 255);
                differing += std::abs(qRed(a) - qRed(b)) > 8 ||
                             std::abs(qGreen(a) - qGreen(b)) > 8 ||
                             std::abs(qBlue(a) - qBlue(b)) > 8;
            }
        // Curves flattened once more may move an edge pixel's shade.
        EXPECT_LE(differing, whole.width() * whole.height() / 500);
        EXPECT_GT(inked, 0);
    }
}

} // namespace
