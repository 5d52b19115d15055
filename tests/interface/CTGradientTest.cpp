#include "interface/CTGradient.h"
#include "support/TWXMLProtocol.h"
#include "support/TWXMLUtils.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

struct RGBA
{
    double r, g, b, a;
};

void expectColor(const Color &c, RGBA e, const char *what, double tolerance = 1e-4)
{
    EXPECT_NEAR(c.redComponent(), e.r, tolerance) << what;
    EXPECT_NEAR(c.greenComponent(), e.g, tolerance) << what;
    EXPECT_NEAR(c.blueComponent(), e.b, tolerance) << what;
    EXPECT_NEAR(c.alphaComponent(), e.a, tolerance) << what;
}

Color rgb(double r, double g, double b, double a = 1)
{
    return Color::colorWithCalibratedRed(r, g, b, a);
}

CTGradient redToBlue(int mode)
{
    return CTGradient::gradientWithBeginningColor(rgb(1, 0, 0), rgb(0, 0, 1))
        .gradientWithBlendingMode(mode);
}

} // namespace

TEST(CTGradient, ColoursAtAndBetweenStopsInEachMode)
{
    const CTGradient one = CTGradient().addColorStop(rgb(0.2, 0.4, 0.6, 0.8), 0.3f);
    // Half-transparent red at 0.2, opaque blue at 0.8, added out of order.
    const CTGradient linear =
        CTGradient().addColorStop(rgb(0, 0, 1), 0.8f).addColorStop(rgb(1, 0, 0, 0.5), 0.2f);
    CTGradient mode7 = redToBlue(CTGradient::Chromatic);
    mode7.setBlendingMode(7);
    EXPECT_EQ(mode7.blendingMode(), CTGradient::Linear);
    EXPECT_EQ(redToBlue(-1).blendingMode(), CTGradient::Linear);
    const CTGradient chromatic = redToBlue(CTGradient::Chromatic);
    const CTGradient inverse = redToBlue(CTGradient::InverseChromatic);
    // A grey has no hue: it takes red's and only saturation and value change.
    const CTGradient greyToRed =
        CTGradient::gradientWithBeginningColor(Color::colorWithCalibratedWhite(0.5), rgb(1, 0, 0))
            .gradientWithBlendingMode(CTGradient::Chromatic);
    // Magenta (300) to yellow (60) climbs through 360, which is red again.
    const CTGradient wrap = CTGradient::gradientWithBeginningColor(rgb(1, 0, 1), rgb(1, 1, 0))
                                .gradientWithBlendingMode(CTGradient::Chromatic);
    const CTGradient aqua = CTGradient::aquaNormalGradient(); // coincident stops: a hard edge
    const struct
    {
        const char *name;
        const CTGradient &gradient;
        float position;
        RGBA expected;
    } cases[] = {
        {"empty", CTGradient(), -1, {1, 1, 1, 1}},
        {"empty", CTGradient(), 2, {1, 1, 1, 1}},
        {"one stop", one, 0, {0.2, 0.4, 0.6, 0.8}},
        {"one stop", one.gradientWithBlendingMode(1), 1, {0.2, 0.4, 0.6, 0.8}},
        {"one stop", one.gradientWithBlendingMode(2), 0.5f, {0.2, 0.4, 0.6, 0.8}},
        {"linear", linear, 0, {1, 0, 0, 0.5}},
        {"linear", linear, 0.35f, {0.75, 0, 0.25, 0.625}},
        {"linear", linear, 0.5f, {0.5, 0, 0.5, 0.75}},
        {"linear", linear, 0.8f, {0, 0, 1, 1}},
        {"linear", linear, 1, {0, 0, 1, 1}},
        {"chromatic", chromatic, 0.125f, {1, 0.5, 0, 1}},
        {"chromatic", chromatic, 0.5f, {0, 1, 0, 1}},
        {"chromatic", chromatic, 0.75f, {0, 1, 1, 1}},
        {"chromatic", chromatic, 1, {0, 0, 1, 1}},
        {"inverse chromatic", inverse, 0.5f, {1, 0, 1, 1}},
        {"inverse chromatic", inverse, 0.75f, {0.5, 0, 1, 1}},
        {"grey", greyToRed, 0.5f, {0.75, 0.375, 0.375, 1}},
        {"wrap", wrap, 0.25f, {1, 0, 0.5, 1}},
        {"wrap", wrap, 0.5f, {1, 0, 0, 1}},
        {"wrap", wrap, 0.75f, {1, 0.5, 0, 1}},
        {"mode 7", mode7, 0.5f, {0.5, 0, 0.5, 1}},
        {"aqua", aqua, 0.25f, {0.89, 0.89, 0.89, 1}},
        {"aqua", aqua, 0.5f, {0.83, 0.83, 0.83, 1}},
        {"aqua", aqua, 0.5001f, {0.95, 0.95, 0.95, 1}},
        {"aqua", aqua, 0.75f, {0.935, 0.935, 0.935, 1}},
    };
    for (const auto &c : cases)
        expectColor(c.gradient.colorAtPosition(c.position), c.expected,
                    QStringLiteral("%1 at %2").arg(c.name).arg(c.position).toUtf8().constData());
    expectColor(CTGradient()
                    .addColorStop(rgb(1, 0, 1e-3), 0)
                    .gradientWithBlendingMode(1)
                    .colorAtPosition(0),
                {1, 0, 1e-3, 1}, "hue 359.94 stays", 1e-5);
}

TEST(CTGradient, StopsKeepPositionOrderAndInsertionOrderOnTies)
{
    const CTGradient g = CTGradient()
                             .addColorStop(rgb(1, 0, 0), 0.5f)
                             .addColorStop(rgb(0, 1, 0), 0.2f)
                             .addColorStop(rgb(0, 0, 1), 0.5f)
                             .addColorStop(rgb(1, 1, 1), 0.9f);
    const float positions[] = {0.2f, 0.5f, 0.5f, 0.9f};
    ASSERT_EQ(g.elements().size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(g.elements()[i].position, positions[i]);
    expectColor(g.colorStopAtIndex(1), {1, 0, 0, 1}, "first added of the tie");
    expectColor(g.colorStopAtIndex(2), {0, 0, 1, 1}, "second added of the tie");
}

TEST(CTGradient, CopiesLeaveTheReceiverAlone)
{
    const CTGradient g = CTGradient::rainbowGradient();
    EXPECT_EQ(g.blendingMode(), CTGradient::Chromatic);

    const CTGradient faded = g.gradientWithAlphaComponent(0.25f);
    EXPECT_EQ(faded.blendingMode(), CTGradient::Linear);
    ASSERT_EQ(faded.elements().size(), 2u);
    for (const auto &e : faded.elements())
        EXPECT_EQ(e.alpha, 0.25f);

    const CTGradient fewer = g.removeColorStopAtIndex(0);
    EXPECT_EQ(fewer.elements().size(), 1u);
    EXPECT_EQ(fewer.blendingMode(), CTGradient::Chromatic);
    EXPECT_EQ(g.removeColorStopAtPosition(1).elements().front().position, 0.0f);
    EXPECT_EQ(g.elements().size(), 2u);
}

TEST(CTGradient, BadIndexOrPositionRaisesRangeExceptionAndChangesNothing)
{
    const CTGradient g = CTGradient::unifiedNormalGradient();
    const CTGradient before = g;
    const auto message = [](const std::function<void()> &call) {
        try {
            call();
        } catch (const NSRangeException &e) {
            return std::string(e.what());
        }
        return std::string("no exception");
    };
    EXPECT_EQ(message([&] { g.removeColorStopAtPosition(0.3f); }),
              "-[CTGradient removeColorStopAtPosition:]: no such colorStop at position (0.300000)");
    EXPECT_EQ(message([&] { g.removeColorStopAtIndex(2); }),
              "-[CTGradient removeColorStopAtIndex:]: index (2) beyond bounds");
    EXPECT_THROW(g.colorStopAtIndex(2), NSRangeException);
    EXPECT_THROW(CTGradient().removeColorStopAtIndex(0), NSRangeException);
    EXPECT_EQ(g, before);
}

TEST(CTGradient, ArchivesAsXMLOnBothRoutes)
{
    const CTGradient g = CTGradient::aquaSelectedGradient().gradientWithBlendingMode(2);
    const XMLElement element = g.freshXMLElement();
    EXPECT_EQ(element.name(), "CTGradient");
    EXPECT_EQ(element.intForPath("CTGradientElementCount"), 4);
    EXPECT_EQ(element.intForPath("CTGradientBlendingMode"), 2);
    EXPECT_EQ(element.elementsForName("CTGradientElement").size(), 4);
    EXPECT_EQ(TWXMLProtocol::objectWithXMLElement(element).value<CTGradient>(), g);
    XMLElement holder = XMLElement::create("holder");
    ASSERT_TRUE(TWXMLProtocol::addXmlDataToNode(QVariant::fromValue(g), holder.node()));
    EXPECT_EQ(CTGradient::objectWithXMLElement(holder.elementForName("CTGradient")), g);
}

TEST(CTGradient, MalformedArchivesReadWhatTheyCan)
{
    const auto read = [](const char *xml) {
        return CTGradient::objectWithXMLElement(XMLElement::parse(xml));
    };
    const char *stop = "<CTGradientElement><position>0.5</position><NSColor><redComponent>1"
                       "</redComponent><alphaComponent>1</alphaComponent></NSColor>"
                       "</CTGradientElement>";
    // An unknown mode, a count beyond the stops there are, a stop that is no number.
    const std::optional<CTGradient> g = read(
        QByteArray("<CTGradient><CTGradientBlendingMode>9</CTGradientBlendingMode>"
                   "<CTGradientElementCount>5</CTGradientElementCount>") +
        stop +
        "<CTGradientElement><position>nan</position><NSColor/></CTGradientElement></CTGradient>");
    ASSERT_TRUE(g);
    EXPECT_EQ(g->blendingMode(), CTGradient::Linear);
    ASSERT_EQ(g->elements().size(), 1u);
    expectColor(g->colorAtPosition(0), {1, 0, 0, 1}, "kept stop");
    // A count smaller than the stops reads only that many.
    const std::optional<CTGradient> one =
        read(QByteArray("<CTGradient><CTGradientElementCount>1</CTGradientElementCount>") + stop +
             stop + "</CTGradient>");
    ASSERT_TRUE(one);
    EXPECT_EQ(one->elements().size(), 1u);
    EXPECT_FALSE(CTGradient::objectWithXMLElement(XMLElement()));
}

namespace {

QImage filled(const std::function<void(QPainter &)> &paint, QSize size = {200, 100})
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    paint(p);
    return image;
}

void expectPixel(const QImage &image, QPoint at, QRgb expected, const char *what, int tolerance = 4)
{
    const QRgb actual = image.pixel(at);
    const int diffs[4] = {qRed(actual) - qRed(expected), qGreen(actual) - qGreen(expected),
                          qBlue(actual) - qBlue(expected), qAlpha(actual) - qAlpha(expected)};
    for (int d : diffs)
        EXPECT_LE(std::abs(d), tolerance)
            << what << " at " << at.x() << "," << at.y() << ": " << std::hex << actual;
}

} // namespace

TEST(CTGradient, AxialFillsRunAlongTheirAngle)
{
    const CTGradient g = redToBlue(CTGradient::Linear);
    const QRgb red = qRgb(254, 0, 1), mid = qRgb(127, 0, 128), blue = qRgb(1, 0, 254);
    const struct
    {
        float angle;
        QPoint at;
        QRgb expected;
        int tolerance;
    } cases[] = {
        {0, {0, 50}, red, 4},    {0, {100, 10}, mid, 4},   {0, {199, 90}, blue, 4},
        {90, {10, 0}, red, 4},   {90, {190, 50}, mid, 4},  {90, {10, 99}, blue, 4},
        {45, {0, 0}, red, 6}, // the ends sit on opposite corners
        {45, {100, 50}, mid, 4}, {45, {199, 99}, blue, 6},
    };
    for (const auto &c : cases) {
        const QImage image =
            filled([&](QPainter &p) { g.fillRect(p, QRectF(0, 0, 200, 100), c.angle); });
        expectPixel(image, c.at, c.expected, std::to_string(c.angle).c_str(), c.tolerance);
    }
    const QImage diagonal = filled([&](QPainter &p) { g.fillRect(p, QRectF(0, 0, 200, 100), 45); });
    expectPixel(diagonal, {0, 99}, diagonal.pixel(99, 0), "across the axis", 1);

    // Clipped to the rectangle, and chromatic colours are sampled, not mixed in RGB.
    const QImage part = filled([&](QPainter &p) {
        redToBlue(CTGradient::Chromatic).fillRect(p, QRectF(50, 0, 100, 100), 0);
    });
    EXPECT_EQ(qAlpha(part.pixel(20, 50)), 0);
    EXPECT_EQ(qAlpha(part.pixel(170, 50)), 0);
    expectPixel(part, {100, 50}, qRgb(0, 255, 0), "chromatic middle", 8);
}

TEST(CTGradient, RadialFillGrowsFromTheCentreAndExtendsBothEnds)
{
    const CTGradient g = CTGradient::gradientWithBeginningColor(rgb(1, 1, 1), rgb(0, 0, 0));
    const QImage image =
        filled([&](QPainter &p) { g.radialFillRect(p, QRectF(0, 0, 201, 101)); }, {201, 101});
    expectPixel(image, {100, 50}, qRgb(255, 255, 255), "centre");
    // Outer radius 100.5: half way out is about half grey.
    expectPixel(image, {150, 50}, qRgb(129, 129, 129), "half way", 6);
    expectPixel(image, {100, 0}, qRgb(129, 129, 129), "as far up as across", 6);
    expectPixel(image, {200, 100}, qRgb(0, 0, 0), "corner beyond the outer circle");
    EXPECT_EQ(image.pixel(150, 50), image.pixel(50, 50));
}
