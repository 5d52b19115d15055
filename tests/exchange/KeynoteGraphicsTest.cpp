#include "KeynoteTestSupport.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWFlexiBranchTransformedCharacter.h"
#include "graphics/TWLine.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWTextArea.h"
#include "graphics/TWTitleConnection.h"
#include "model/TWMapsDoc.h"
#include "platform/CFormat.h"
#include "support/BezierPath.h"
#include "support/Image.h"
#include "support/Shadow.h"
#include "support/TWImageEncryption.h"

#include <QBuffer>
#include <QImage>

using namespace KeynoteTest;

namespace {

const TWKeynoteTemplates::Template &templateOfVersion(int version)
{
    return TWKeynoteTemplates::templates()[version == 2 ? 1 : 3];
}

QByteArray imageBytes(int w, int h, const char *format)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray pngBytes(int w, int h)
{
    return imageBytes(w, h, "PNG");
}

const QByteArray kEPS = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 20 10\n"
                        "1 0 0 setrgbcolor 0 0 20 10 rectfill\nshowpage\n%%EOF\n";

// A title connection whose path carries a dash of its own.
class DashedTitle : public TWTitleConnection
{
public:
    std::shared_ptr<BezierPath> bezierPath() override { return path; }
    float strokeWidth() const override { return 2; }
    std::shared_ptr<BezierPath> path = std::make_shared<BezierPath>();
};

} // namespace

class KeynoteGraphics : public KeynoteFixture
{
protected:
    // A map slide of the version: its shapes group and anonymous styles.
    void makeSlide(int version)
    {
        presentation = std::make_unique<Presentation>(templateOfVersion(version));
        slide = mapSlide(*presentation, version);
        group = presentation
                    ->nodes(".//sf:layer[sf:type/sf:string/@sfa:string='BGSlideForegroundLayer']/"
                            "sf:drawables",
                            slide)
                    .value(0);
        anon = presentation->nodes(".//sf:anon-styles", slide).value(0);
        ASSERT_NE(group, nullptr);
        ASSERT_NE(anon, nullptr);
    }
    void write(TWGraphic &graphic, int version, float zoom = 1, float dx = 0, float dy = 0)
    {
        exporter.insertGraphicInstructions(graphic, group, anon, zoom, dx, dy, version,
                                           KeynoteExportController::pictureOfGraphic(graphic));
    }
    QStringList values(const QString &query, xmlNodePtr context) const
    {
        return presentation->values(query, context);
    }

    std::unique_ptr<Presentation> presentation;
    xmlNodePtr slide = nullptr, group = nullptr, anon = nullptr;
};

TEST_F(KeynoteGraphics, PicturesAreNamedAndFilledByTheirDecodedType)
{
    struct Case
    {
        QString file;
        QByteArray data;
        int version;
        QString packageName; // empty: no picture can be made
    };
    const QList<Case> cases{
        {"Pictures/photo.png", pngBytes(8, 6), 3, "photo42png"},
        {"photo.png", pngBytes(8, 6), 2, "photo42png"},
        {"photo.eps", kEPS, 3, "photo42tiff"},
        {"Logo.EPS", kEPS, 2, "Logo42tiff"},
        {"map.tweps", TWImageEncryption::encryptedData(kEPS), 3, "map42tiff"},
        {"icon.twpng", TWImageEncryption::encryptedData(pngBytes(4, 4)), 3, "icon42png"},
        {"icon.twjpg", TWImageEncryption::encryptedData(imageBytes(4, 4, "JPEG")), 3, "icon42jpg"},
        {"plain.twpng", pngBytes(4, 4), 3, ""},
        {"icon.twlpng", pngBytes(4, 4), 3, "icon42twlpng"},
        {"broken.png", "not a picture", 3, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file.toStdString() + " v" + std::to_string(c.version));
        makeSlide(c.version);
        TWGraphic &graphic = *root->mainGraphic();
        graphic.setGraphicNumber(42);
        graphic.setImageFilename(c.file);
        document->setObjectInCachedData(c.data, c.file);

        const auto picture = KeynoteExportController::pictureOfGraphic(graphic);
        ASSERT_TRUE(picture);
        LogCapture log;
        write(graphic, c.version);
        const QString fill = "sf:graphic-style[@sfa:ID='TWGraphicStyle-42']/sf:property-map/"
                             "sf:fill/";
        if (c.packageName.isEmpty()) {
            EXPECT_EQ(presentation->count(fill + "sf:null", anon), 1);
            EXPECT_TRUE(log.lines().contains("Error loading image " + c.file))
                << log.lines().join('|').toStdString();
            continue;
        }
        EXPECT_EQ(picture->packageName, c.packageName);
        EXPECT_EQ(picture->displayName, c.file.section('/', -1));
        const QString textured = fill + "sf:textured-fill[@sfa:ID='TWTexturedImageFill-42']"
                                        "[@sf:technique='stretch']/";
        const QString image =
            c.version == 3 ? textured + "sf:filtered-image/sf:unfiltered/" : textured + "sf:image/";
        EXPECT_EQ(values(image + "sf:data/@sf:path", anon), QStringList{c.packageName});
        EXPECT_EQ(values(image + "sf:data/@sf:displayname", anon),
                  QStringList{c.file.section('/', -1)});
        // The size is that of the bytes stored under the name.
        EXPECT_EQ(values(image + "sf:data/@sf:size", anon),
                  QStringList{QString::number(picture->data.size())});
        EXPECT_FALSE(picture->data.isEmpty());
        // The picture's size in points: the EPS bounding box, the bitmap's
        // pixels at its resolution.
        const bool enciphered =
            c.file.endsWith(".twpng") || c.file.endsWith(".twjpg") || c.file.endsWith(".tweps");
        const QByteArray plain = enciphered ? TWImageEncryption::decryptedData(c.data) : c.data;
        const Size size = plain == kEPS ? Size(20, 10) : Image::initWithData(plain)->size();
        EXPECT_EQ(values(image + "sf:size/@sfa:w", anon), QStringList{CFormat::f(size.width)});
        EXPECT_EQ(values(image + "sf:size/@sfa:h", anon), QStringList{CFormat::f(size.height)});
        EXPECT_EQ(picture->size, size);
        EXPECT_EQ(presentation->count(textured + "sf:extent/sfa:rect", anon),
                  c.version == 3 ? 1 : 0);
        EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join('|').toStdString();
        if (c.packageName.endsWith("tiff")) {
            EXPECT_TRUE(picture->data.startsWith("II*") || picture->data.startsWith("MM"));
        }
    }
}

TEST_F(KeynoteGraphics, StrokesWriteTheirDashInLineWidths)
{
    struct Case
    {
        const char *what;
        int style;
        float width;
        QList<float> ownDash; // the title connection's
        QString type;
        QStringList elements;
    };
    const QList<Case> cases{
        {"solid", 1, 2, {}, "solid", {}},
        {"style 3", 3, 2, {}, "pattern", {"3.000000", "2.000000"}},
        {"style 4 at width 0.5",
         4,
         0.5f,
         {},
         "pattern",
         {"3.000000", "2.000000", "1.000000", "2.000000"}},
        {"title connection", 1, 2, {6, 2}, "pattern", {"3.000000", "1.000000"}},
        {"title connection without dash", 3, 2, {}, "solid", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        makeSlide(3);
        std::shared_ptr<TWGraphic> graphic;
        if (QString(c.what).startsWith("title")) {
            auto title = TWGraphic::make<DashedTitle>(Rect(0, 0, 50, 20));
            title->path->moveToPoint({0, 0});
            title->path->lineToPoint({50, 20});
            title->path->setLineDash(c.ownDash, 0);
            graphic = title;
        } else {
            graphic = TWGraphic::make<TWRectangle>(Rect(0, 0, 50, 20));
            graphic->setStrokeWidth(c.width);
        }
        graphic->setStrokeStyle(c.style);
        graphic->setDrawsStroke(true);
        write(*graphic, 3, 0.5f);
        const QString g = QString::number(graphic->graphicNumber());
        const QString stroke = "sf:graphic-style/sf:property-map/sf:stroke/sf:stroke[@sfa:ID="
                               "'TWStroke-" +
                               g + "'][@sf:cap='butt'][@sf:join='miter']/";
        EXPECT_EQ(values(stroke + "../sf:stroke/@sf:width", anon),
                  QStringList{CFormat::f(graphic->strokeWidth() * 0.5f)});
        EXPECT_EQ(values(stroke + "sf:pattern/@sf:type", anon), QStringList{c.type});
        EXPECT_EQ(values(stroke + "sf:pattern/@sfa:ID", anon), QStringList{"TWStrokePattern-" + g});
        EXPECT_EQ(values(stroke + "sf:pattern/sf:pattern/sf:element/@sf:val", anon), c.elements);
        EXPECT_EQ(presentation->count(stroke + "sf:pattern/sf:pattern", anon), 1);
        EXPECT_EQ(presentation->count(stroke + "sf:color", anon), 1);
        if (auto *title = dynamic_cast<DashedTitle *>(graphic.get())) {
            // The graphic's own path keeps its dash.
            EXPECT_EQ(title->path->lineDashPattern(), c.ownDash);
        }
    }
}

TEST_F(KeynoteGraphics, OutlinesBecomeFlattenedBezierShapes)
{
    struct Case
    {
        const char *what;
        Rect bounds;
        float zoom, dx, dy;
        QString x, y, w, h;
    };
    const QList<Case> cases{
        {"plain", Rect(10, 20, 100, 50), 0.5f, 30, 40, "35.000000000000000", "50.000000000000000",
         "50.000000000000000", "25.000000000000000"},
        // Lifted off the top edge by less than 1e-4, or written 1 high.
        {"flat", Rect(10, 20, 100, 0), 1, 0, 0, "10.000000000000000", "20.000000000000000",
         "100.000000000000000", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        makeSlide(3);
        auto graphic = TWGraphic::make<TWRectangle>(c.bounds);
        graphic->setBounds(c.bounds);
        if (c.bounds.height() == 0) {
            // A horizontal outline on its own top edge.
            BezierPath path;
            path.moveToPoint({10, 20});
            path.lineToPoint({60, 20});
            path.lineToPoint({110, 20});
            graphic->setCachedBezierPath(std::make_shared<BezierPath>(path));
        }
        write(*graphic, 3, c.zoom, c.dx, c.dy);
        const QString g = QString::number(graphic->graphicNumber());
        xmlNodePtr shape =
            presentation->nodes("sf:shape[@sfa:ID='TWShapeInfo-" + g + "']", group).value(0);
        ASSERT_NE(shape, nullptr);
        const QString geometry = "sf:geometry[@sfa:ID='TWAffineGeometry-" + g + "']/";
        EXPECT_EQ(values(geometry + "sf:position/@sfa:x", shape), QStringList{c.x});
        EXPECT_EQ(values(geometry + "sf:position/@sfa:y", shape), QStringList{c.y});
        for (const char *size : {"sf:naturalSize", "sf:size"}) {
            EXPECT_EQ(values(geometry + size + "/@sfa:w", shape), QStringList{c.w});
            const QString h = values(geometry + size + "/@sfa:h", shape).value(0);
            if (c.h.isEmpty())
                EXPECT_TRUE(h == "1.000000000000000" || h.toDouble() < 1e-4) << h.toStdString();
            else
                EXPECT_EQ(h, c.h);
        }
        EXPECT_EQ(values("sf:style/sf:graphic-style-ref/@sfa:IDREF", shape),
                  QStringList{"TWGraphicStyle-" + g});
        const QString bezier = "sf:path/sf:bezier-path[@sfa:ID='TWBezierPathSource-" + g +
                               "']/sf:bezier[@sfa:ID='TWBezierPath-" + g + "']";
        EXPECT_EQ(values(bezier + "/@sfa:version", shape), QStringList{"524"});
        const QString path = values(bezier + "/@sfa:path", shape).value(0);
        ASSERT_TRUE(path.startsWith(" M 0.000000000000000 ")) << path.toStdString();
        EXPECT_FALSE(path.contains(" C ")) << "curves are flattened";
        // No line lies exactly on the top edge.
        const QStringList tokens = path.split(' ', Qt::SkipEmptyParts);
        for (int i = 0; i + 2 < tokens.size(); ++i) {
            if (tokens[i] != "L")
                continue;
            const double y = tokens[i + 2].toDouble();
            EXPECT_GT(y, -1e-12);
            if (y < 1e-3) {
                EXPECT_LT(y, 1e-4); // at most 999e-7 in single precision
            }
        }
    }
}

TEST_F(KeynoteGraphics, WhatAGraphicDrawsDecidesWhatIsWritten)
{
    makeSlide(3);
    // Nothing stroked, filled or pictured: nothing at all.
    auto bare = TWGraphic::make<TWRectangle>(Rect(0, 0, 10, 10));
    bare->setDrawsStroke(false);
    bare->setDrawsFill(false);
    const int stylesBefore = presentation->count("*", anon);
    write(*bare, 3);
    EXPECT_EQ(presentation->count("*", anon), stylesBefore);
    EXPECT_EQ(presentation->count("*", group), 0);

    // A filled shape with a shadow.
    auto filled = TWGraphic::make<TWRectangle>(Rect(0, 0, 10, 10));
    filled->setDrawsStroke(false);
    filled->setInheritsFill(false);
    filled->setFillColor(Color::colorWithCalibratedRed(0.25, 0.5, 1, 0.5));
    filled->setInheritsShadow(false);
    filled->setShadow(Shadow(Size(3, -4), 2, Color::colorWithDeviceRed(0, 0, 0, 0.25)));
    filled->setDrawsShadow(true);
    write(*filled, 3, 2);
    const QString g = QString::number(filled->graphicNumber());
    const QString map = "sf:graphic-style[@sfa:ID='TWGraphicStyle-" + g +
                        "'][@sf:parent-ident='shapeStyleID']/sf:property-map/";
    EXPECT_EQ(values(map + "sf:fill/sf:color/@xsi:type", anon),
              QStringList{"sfa:calibrated-rgb-color-type"});
    EXPECT_EQ(values(map + "sf:fill/sf:color/@sfa:a", anon), QStringList{"0.500000"});
    EXPECT_EQ(presentation->count(map + "sf:stroke/sf:null", anon), 1);
    const QString shadow = map + "sf:shadow/sf:shadow[@sfa:ID='TWShadow-" + g + "']/";
    EXPECT_EQ(values(shadow + "@sf:offset", anon), QStringList{"10.000000"});
    EXPECT_EQ(values(shadow + "@sf:radius", anon), QStringList{"4.000000"});
    EXPECT_EQ(values(shadow + "@sf:opacity", anon), QStringList{"0.250000"});
    EXPECT_EQ(values(shadow + "@sf:angle", anon), QStringList{"53.130102"});
    EXPECT_EQ(values(shadow + "sf:color/@sfa:a", anon), QStringList{"1"});

    // A text area always writes its style and its text box.
    const TWMapBranch &branch = *root;
    TWTextArea &label = *branch.enclosedTextArea();
    label.setDrawsStroke(false);
    label.setDrawsFill(false);
    write(label, 3, 2, 5, 7);
    const QString t = QString::number(label.graphicNumber());
    EXPECT_EQ(values("sf:graphic-style[@sfa:ID='TWGraphicStyle-" + t + "']/@sf:parent-ident", anon),
              QStringList{"textboxStyleID"});
    EXPECT_EQ(presentation->count(
                  "sf:graphic-style[@sfa:ID='TWGraphicStyle-" + t + "']/sf:property-map/*", anon),
              0);
    xmlNodePtr box =
        presentation->nodes("sf:shape[@sfa:ID='TWShapeInfo-" + t + "']", group).value(0);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(values("@can-autosize-v", box), QStringList{"true"});
    EXPECT_EQ(values("sf:path/sf:bezier-path/sf:bezier/@sfa:path", box),
              QStringList{"M 0 0 L 100 0 L 100 100 L 0 100 Z M 0 0"});
    const Rect b = label.bounds();
    EXPECT_EQ(values("sf:geometry/sf:position/@sfa:x", box),
              QStringList{CFormat::f(b.x() * 2 + 5)});
    EXPECT_EQ(values("sf:geometry/sf:size/@sfa:w", box), QStringList{CFormat::f(b.width() * 2)});
    EXPECT_EQ(values("sf:text[@sfa:ID='TWFrame-" + t + "']/sf:text-storage[@sfa:ID='TWStorage-" +
                         t + "'][@sf:kind='textbox']/sf:text-body/sf:layout/sf:p/sf:span",
                     box),
              QStringList{"root"});
    EXPECT_TRUE(presentation->idProblems().isEmpty())
        << presentation->idProblems().join(", ").toStdString();
}

TEST_F(KeynoteGraphics, LinesBecomeLinesWithHeadAndTail)
{
    struct Case
    {
        Rect bounds;
        float zoom, dx, dy;
        QString headX, headY, tailX, tailY, width;
    };
    const QList<Case> cases{
        {Rect(10, 20, 100, 14), 0.5f, 30, 40, "35.000000", "57.000000", "85.000000", "57.000000",
         "50.000000"},
        {Rect(10, 20, 0, 14), 1, 0, 0, "10.000000", "34.000000", "10.000000", "34.000000",
         "0.000000"},
    };
    for (const Case &c : cases) {
        makeSlide(3);
        auto line = TWGraphic::make<TWLine>(c.bounds);
        line->setBounds(c.bounds);
        write(*line, 3, c.zoom, c.dx, c.dy);
        const QString g = QString::number(line->graphicNumber());
        xmlNodePtr element =
            presentation->nodes("sf:line[@sfa:ID='TWLineInfo-" + g + "']", group).value(0);
        ASSERT_NE(element, nullptr);
        EXPECT_EQ(presentation->count("sf:shape", group), 0);
        const QString geometry =
            "sf:geometry[@sfa:ID='TWAffineGeometry-" + g + "'][@sf:sizesLocked='true']/";
        for (const char *size : {"sf:naturalSize", "sf:size"}) {
            EXPECT_EQ(values(geometry + size + "/@sfa:w", element), QStringList{c.width});
            EXPECT_EQ(values(geometry + size + "/@sfa:h", element), QStringList{"0.000000"});
        }
        EXPECT_EQ(values(geometry + "sf:position/@sfa:x", element), QStringList{c.headX});
        EXPECT_EQ(values("sf:head/@sfa:x", element), QStringList{c.headX});
        EXPECT_EQ(values("sf:head/@sfa:y", element), QStringList{c.headY});
        EXPECT_EQ(values("sf:tail/@sfa:x", element), QStringList{c.tailX});
        EXPECT_EQ(values("sf:tail/@sfa:y", element), QStringList{c.tailY});
        EXPECT_EQ(values("sf:style/sf:graphic-style-ref/@sfa:IDREF", element),
                  QStringList{"TWGraphicStyle-" + g});
        EXPECT_TRUE(presentation->idProblems().isEmpty());
    }
}

TEST_F(KeynoteGraphics, EnclosedPicturesTakeTheirShapesOutline)
{
    struct Case
    {
        const char *what;
        std::shared_ptr<TWGraphic> main;
        QString w, h; // of the picture's written shape
    };
    const Rect shape(500, 100, 80, 30);
    const QList<Case> cases{
        {"rectangle", TWGraphic::make<TWRectangle>(shape), "80.000000000000000",
         "30.000000000000000"},
        {"line", TWGraphic::make<TWLine>(shape), "20.000000000000000", "10.000000000000000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        makeSlide(3);
        auto branch = TWMapBranch::createWithGraphic(c.main, root.get(), map.get());
        auto picture = TWGraphic::createWithBounds(Rect(510, 105, 20, 10));
        picture->setPrimitiveBranch(branch.get());
        branch->setEnclosedImage(picture);
        ASSERT_EQ(branch->enclosedImage(), picture);
        ASSERT_EQ(picture->branch(), branch.get());
        exporter.insertOutlineShape(*picture, group, 1, 0, 0, "style");
        const QString geometry = "sf:shape[@sfa:ID='TWShapeInfo-" +
                                 QString::number(picture->graphicNumber()) + "']/sf:geometry/";
        EXPECT_EQ(values(geometry + "sf:size/@sfa:w", group), QStringList{c.w});
        EXPECT_EQ(values(geometry + "sf:size/@sfa:h", group), QStringList{c.h});
        root->removeChild(branch);
    }
}

TEST_F(KeynoteGraphics, FlexiTextIsOneTurnedBoxPerCharacter)
{
    auto branch = TWMapBranch::createWithGraphic(
        TWGraphic::make<TWFlexiBranch>(Rect(40, 60, 300, 30)), root.get(), map.get());
    auto flexi = std::static_pointer_cast<TWFlexiBranch>(branch->mainGraphic());
    TWTextArea &label = *branch->enclosedTextArea();
    label.setBounds(Rect(43, 70, 294, 20));
    flexi->initializePoints();
    label.setText(AttributedString("Arc"));
    settle();
    ASSERT_TRUE(label.shouldDrawFlexiText());
    label.removeAllCachedFlexiCharacters();

    makeSlide(3);
    const float zoom = 0.5f, dx = 7, dy = 9;
    exporter.insertTextBoxes(label, group, zoom, dx, dy, "style");
    // The characters were laid out for the export.
    const auto &characters = label.cachedFlexiCharacters();
    ASSERT_EQ(characters.size(), 3u);
    const QString g = QString::number(label.graphicNumber());
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const auto &c = *characters[size_t(i)];
        const QString n = g + '-' + QString::number(i);
        xmlNodePtr shape =
            presentation->nodes("sf:shape[@sfa:ID='TWShapeInfo-" + n + "']", group).value(0);
        ASSERT_NE(shape, nullptr);
        const float a = c.angle(), s = std::fabs(std::sin(a)), k = std::fabs(std::cos(a));
        const Size size = c.size();
        const QString geometry = "sf:geometry[@sfa:ID='TWAffineGeometry-" + n + "']/";
        EXPECT_EQ(values(geometry + "@sf:angle", shape), QStringList{CFormat::f(a * 57.2957795)});
        EXPECT_EQ(values(geometry + "sf:size/@sfa:w", shape),
                  QStringList{CFormat::f(size.width * zoom)});
        EXPECT_EQ(values(geometry + "sf:position/@sfa:x", shape),
                  QStringList{CFormat::f(dx + zoom * c.drawPoint().x -
                                         0.5f * zoom * (s * size.height + k * size.width))});
        EXPECT_EQ(values(geometry + "sf:position/@sfa:y", shape),
                  QStringList{CFormat::f(dy + zoom * c.drawPoint().y -
                                         0.5f * zoom * (k * size.height + s * size.width))});
        EXPECT_EQ(values("sf:path/sf:bezier-path[@sfa:ID='TWBezierPathSource-" + n +
                             "']/sf:bezier[@sfa:ID='TWBezierPath-" + n + "']/@sfa:version",
                         shape),
                  QStringList{"524"});
        EXPECT_EQ(values("sf:text[@sfa:ID='TWFrame-" + n +
                             "']/sf:text-storage[@sfa:ID='TWStorage-" + n + "']//sf:span",
                         shape),
                  QStringList{QString("Arc")[i]});
    }
    EXPECT_EQ(presentation->count("sf:shape", group), 3);
}
