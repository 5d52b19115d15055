// A map exported to MindManager comes back through the import, whatever the
// file is named: pictures, branch colours and icons beside their labels.
#include "MMImportTestSupport.h"

#include "MindManagerImpExp/mmExport.h"
#include "graphics/TWBoundaryProxy.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "mapdrawing/TWBranchIndicators.h"
#include "mapdrawing/TWMapImages.h"
#include "model/TWAttachedText.h"
#include "model/TWHyperlink.h"

namespace {

using MMImportTest::ImportFixture;
using MMImportTest::mapWithTopic;


QByteArray png(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// As the file writes it.
QString name(const std::optional<Color> &c)
{
    return mmConverter::stringFromColor(c).value_or(QStringLiteral("none"));
}

} // namespace

// Both forms are told by their content: a zip archive named ".xml" and
// plain XML named ".mmap" import as they are.
TEST_F(ImportFixture, EitherFormImportsWhateverItsName)
{
    const QByteArray xml = mapWithTopic("<ap:Text PlainText=\"centre\"/>");
    const struct
    {
        const char *file;
        bool zipped;
    } cases[] = {
        {"plain.xml", false}, {"plain.mmap", false}, {"zipped.mmap", true},
        {"zipped.xml", true}, {"zipped", true},      {"plain.MAP", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = filePath(QString::fromLatin1(c.file));
        if (c.zipped) {
            MMImportTest::writeZip(path, {{QStringLiteral("Document.xml"), xml}});
        } else {
            QFile out(path);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(xml);
        }
        auto doc = freshDocument();
        EXPECT_TRUE(mmImpExpController::populateDadoZiz(*doc->maps().first(), path));
        EXPECT_EQ(doc->maps().first()->root()->enclosedTextArea()->text().string(), "centre");
        doc->detach();
    }
    EXPECT_TRUE(alertMessages().isEmpty()) << alertMessages().join("; ").toStdString();
}

// Exported and imported back, a map keeps its pictures and the colours its
// branches show (their own or the map's), and no indicator icon is drawn
// over a label.
TEST_F(ImportFixture, AnExportedMapComesBackWithPicturesColoursAndClearIcons)
{
    root().enclosedTextArea()->setString(QStringLiteral("Centre"));
    const struct
    {
        const char *label;
        int type; // of the branch's shape
        bool picture, note, link;
        std::optional<Color> fill;
        float widthLimit = 0; // none
    } cases[] = {
        {"a picture", 2, true, false, false, std::nullopt},
        {"its own colour and a note", 2, false, true, false,
         Color::colorWithCalibratedRed(0, 0.5, 0)},
        {"a long label with a note and a link", 2, false, true, true, std::nullopt},
        {"the map's colours", 2, false, false, false, std::nullopt},
        {"a line with a note", 1, false, true, false, std::nullopt},
        {"a curve with a note and a link", 5, false, true, true, std::nullopt},
        {"a narrow label with a note and a link", 2, false, true, true, std::nullopt, 60},
    };
    for (const auto &c : cases) {
        const std::shared_ptr<TWMapBranch> b = root().addChildOfType(c.type);
        ASSERT_TRUE(b);
        b->enclosedTextArea()->setString(QString::fromLatin1(c.label));
        if (c.widthLimit > 0) {
            b->setTextMaxWidthSet(true);
            b->setTextMaxWidth(c.widthLimit);
        }
        if (c.picture) {
            const std::optional<Image> image = Image::initWithData(png(30, 20));
            ASSERT_TRUE(image);
            b->publicSetEnclosedImageFromImage(&*image);
        }
        if (c.fill) {
            b->mainGraphic()->setFillColor(c.fill);
            b->mainGraphic()->setDrawsFill(true);
            b->mainGraphic()->setInheritsFill(false);
        }
        if (c.note)
            b->setPrimaryAttachedText(std::make_shared<const AttributedString>("noted"));
        if (c.link)
            b->publicInsertHyperlink(
                std::make_shared<TWHyperlink>(2, QStringLiteral("https://example.com/"),
                                              std::nullopt, std::nullopt, std::nullopt),
                0);
    }
    const std::shared_ptr<TWMapsDoc> again = exportedAndImported(map());
    ASSERT_TRUE(again);
    TWMap &back = *again->maps().first();
    if (const QString folder = qEnvironmentVariable("THINKWEB_KEEP_PICTURES"); !folder.isEmpty()) {
        for (TWMap *m : {&map(), &back})
            TWMapImages::imageOfMap(*m, m->getBoundingDrawingRectForAllGraphics(), 2, true)
                .save(folder + (m == &back ? "/mm-back.png" : "/mm-sent.png"));
    }
    const auto sent = root().children();
    const auto read = back.root()->children();
    ASSERT_EQ(read.size(), sent.size());
    for (qsizetype i = 0; i < sent.size(); ++i) {
        const TWMapBranch &was = *sent[i];
        const TWMapBranch &is = *read[i];
        SCOPED_TRACE(was.enclosedTextArea()->text().string().toStdString());
        EXPECT_EQ(bool(is.enclosedImage()), bool(was.enclosedImage()));
        // Lines draw no fill.
        const QString kind = was.mainGraphic()->className();
        if (kind != u"TWLine" && kind != u"TWFlexiBranch")
            EXPECT_EQ(name(is.mainGraphic()->inheritedFillColor()),
                      name(was.mainGraphic()->inheritedFillColor()));
        EXPECT_EQ(name(is.mainGraphic()->inheritedStrokeColor()),
                  name(was.mainGraphic()->inheritedStrokeColor()));
        const Rect label = is.enclosedTextArea()->bounds();
        for (const Rect icon : {TWBranchIndicators::boundsOfAttachedTextIndicatorAtIndex(is, 0),
                                TWBranchIndicators::boundsOfHyperlinkAtIndex(is, 0)}) {
            if (icon.width() <= 0)
                continue;
            EXPECT_LE(label.maxX(), icon.x() + 0.01f)
                << "label ends at " << label.maxX() << ", icon starts at " << icon.x();
        }
    }
    again->detach();
    EXPECT_TRUE(alertMessages().isEmpty()) << alertMessages().join("; ").toStdString();
}

// A boundary comes back drawn as it was: a fill that is off stays off, and
// its line keeps the colour it is drawn in, its own or its branch's.
TEST_F(ImportFixture, AnExportedBoundaryComesBackAsItWasDrawn)
{
    root().enclosedTextArea()->setString(QStringLiteral("Centre"));
    const struct
    {
        const char *label;
        bool fills, lineOfItsOwn;
    } cases[] = {
        {"no fill, the branch's line", false, false},
        {"no fill, a line of its own", false, true},
        {"a fill, the branch's line", true, false},
        {"a fill, a line of its own", true, true},
    };
    for (const auto &c : cases) {
        const std::shared_ptr<TWMapBranch> b = root().addChildOfType(2);
        ASSERT_TRUE(b);
        b->enclosedTextArea()->setString(QString::fromLatin1(c.label));
        b->mainGraphic()->setStrokeColor(Color::colorWithCalibratedRed(0, 0, 1));
        b->mainGraphic()->setDrawsStroke(true);
        b->mainGraphic()->setInheritsStroke(false);
        b->publicSetHasBoundary(true);
        b->setBoundaryFillColor(Color::colorWithCalibratedRed(0, 0.5, 0));
        b->setBoundaryDrawsFill(c.fills);
        b->setBoundaryDrawsLine(true);
        b->setBoundaryLineColor(Color::colorWithCalibratedRed(1, 0, 0));
        b->setBoundaryInheritsLineColor(!c.lineOfItsOwn);
    }
    const std::shared_ptr<TWMapsDoc> again = exportedAndImported(map());
    ASSERT_TRUE(again);
    const auto sent = root().children();
    const auto read = again->maps().first()->root()->children();
    ASSERT_EQ(read.size(), sent.size());
    for (qsizetype i = 0; i < sent.size(); ++i) {
        TWMapBranch &was = *sent[i];
        TWMapBranch &is = *read[i];
        SCOPED_TRACE(was.enclosedTextArea()->text().string().toStdString());
        ASSERT_TRUE(is.hasBoundary());
        EXPECT_EQ(is.boundaryDrawsFill(), was.boundaryDrawsFill());
        if (was.boundaryDrawsFill()) {
            EXPECT_EQ(name(is.boundaryFillColor()), name(was.boundaryFillColor()));
        }
        EXPECT_TRUE(is.boundaryDrawsLine());
        EXPECT_EQ(name(is.boundaryProxy()->inheritedStrokeColor()),
                  name(was.boundaryProxy()->inheritedStrokeColor()));
    }
    again->detach();
    EXPECT_TRUE(alertMessages().isEmpty()) << alertMessages().join("; ").toStdString();
}
