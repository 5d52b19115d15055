// What a label says comes out of every export as text a reader can find,
// and a picture's flat colours stay flat.
#include "ExportTestSupport.h"

#include "MindManagerImpExp/mmImpExpController.h"
#include "exchange/TWGifPalette.h"
#include "graphics/TWTextArea.h"
#include "mapdrawing/TWMapLayout.h"
#include "support/Font.h"
#include "support/RichTextFormat.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QPainter>
#include <QRegularExpression>

#include <poppler/qt6/poppler-qt6.h>

using namespace ExportTest;

namespace {

class TWExportTextTest : public ExportFixture
{
protected:
    static QString squeezed(QString text)
    {
        static const QRegularExpression space(QStringLiteral("\\s+"));
        return text.remove(space);
    }
    // Each drawn label, and the text a reader of the map's PDF finds in its
    // rectangle as the reader gives it.
    QList<std::pair<QString, QString>> labelsInPdf(TWMap &of)
    {
        QList<std::pair<QString, QString>> found;
        const auto pdf = Poppler::Document::loadFromData(controller.pdfDataForMap(of));
        if (!pdf || pdf->numPages() != 1) {
            ADD_FAILURE() << "no one-page PDF";
            return found;
        }
        const std::unique_ptr<Poppler::Page> page = pdf->page(0);
        const Rect printing = of.getBoundingPrintingRectForAllGraphics();
        collect(*of.root(), *page, printing.origin, found);
        return found;
    }
    static void collect(const TWMapBranch &branch, const Poppler::Page &page, Point origin,
                        QList<std::pair<QString, QString>> &found)
    {
        if (branch.hidden())
            return;
        if (const auto &area = branch.enclosedTextArea(); area && !area->text().isEmpty()) {
            const Rect b = area->bounds();
            const QRectF rect(b.x() - origin.x - 2, b.y() - origin.y - 2, b.width() + 4,
                              b.height() + 4);
            found.append({area->text().string(), page.text(rect)});
        }
        if (!branch.childrenHidden())
            for (const auto &child : branch.children())
                collect(*child, page, origin, found);
    }
    // Labels whose words are not all in the PDF where they are drawn.
    QStringList missingLabels(TWMap &of)
    {
        QStringList missing;
        for (const auto &[label, text] : labelsInPdf(of))
            if (!squeezed(text).contains(squeezed(label)))
                missing << label + QStringLiteral(" / ") + text;
        return missing;
    }
};

AttributedString styled(const QString &string, const QString &font)
{
    return AttributedString(string, {{NSFontAttributeName, QVariant::fromValue(Font(font, 14))}});
}

const QString kNoGlyph = QString::fromUcs4(U"\U000F0001");

TEST_F(TWExportTextTest, EveryLabelComesOutOfThePdfAsText)
{
    const struct
    {
        const char *what;
        AttributedString label;
    } cases[] = {
        {"Latin", styled(QStringLiteral("Plain words"), "LiberationSans")},
        {"Chinese", styled(QStringLiteral("Core模块"), "LiberationSans")},
        {"Japanese and Korean", styled(QStringLiteral("かなカナ 한국어"), "LiberationSans")},
        {"italic of a family not installed",
         styled(QStringLiteral("Slanted formatting"), "SourceSansPro-It")},
        {"bold italic of a family not installed",
         styled(QStringLiteral("Heavy slanted"), "SourceSansPro-BoldIt")},
        {"Chinese in a family not installed", styled(QStringLiteral("汉字测试"), "SourceSansPro-Bold")},
        {"a tab", styled(QStringLiteral("Tab\tinside"), "LiberationSans")},
    };
    float y = 120;
    for (const auto &c : cases) {
        auto branch = newBranch(root.get(), Rect(500, y, 300, 40), QString());
        branch->enclosedTextArea()->setText(c.label);
        branch->resizeForTextAreaConstrainedToWidth(300);
        y += 60;
    }
    settle();
    const auto labels = labelsInPdf(*map);
    ASSERT_EQ(labels.size(), qsizetype(std::size(cases)) + 1);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto &[label, text] = labels[qsizetype(i) + 1];
        EXPECT_EQ(squeezed(text), squeezed(label)) << cases[i].what;
        // Words apart stay apart: a tab is a gap, not nothing.
        EXPECT_EQ(text.simplified(), label.simplified()) << cases[i].what;
    }
}

// Maps written by other programs, kept with the tests.
TEST_F(TWExportTextTest, EveryLabelOfARealMapComesOutOfItsPdf)
{
    const QDir real(QStringLiteral(THINKWEB_TEST_DATA "/real/"));
    const QStringList files = real.entryList({QStringLiteral("*.mmap")}, QDir::Files, QDir::Name);
    ASSERT_FALSE(files.isEmpty()) << "no real maps in " << real.path().toStdString();
    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        auto imported = TWMap::create(document.get());
        document->addMap(imported, false);
        imported->setLayoutServices(std::make_shared<TWMapLayout>());
        ASSERT_TRUE(mmImpExpController::populateDadoZiz(*imported, real.filePath(file)));
        ASSERT_TRUE(imported->root());
        const QStringList missing = missingLabels(*imported);
        EXPECT_TRUE(missing.isEmpty()) << missing.join(QStringLiteral("\n")).toStdString();
        EXPECT_GT(labelsInPdf(*imported).size(), 3);
    }
}

// Dark pixels of the bitmap export inside the root's label.
int darkInLabel(TWExportController &controller, TWMap &map)
{
    const QImage image = controller.imageRepForMap(map);
    const Rect printing = map.getBoundingPrintingRectForAllGraphics();
    const Rect label = map.root()->enclosedTextArea()->bounds();
    int dark = 0;
    for (int y = int(label.y() - printing.y()); y < int(label.maxY() - printing.y()); ++y)
        for (int x = int(label.x() - printing.x()); x < int(label.maxX() - printing.x()); ++x)
            if (image.rect().contains(x, y) && qAlpha(image.pixel(x, y)) > 128 &&
                qGray(image.pixel(x, y)) < 200)
                ++dark;
    return dark;
}

TEST_F(TWExportTextTest, ACharacterNoFontHasIsDrawnAsABox)
{
    // The label's frame: what three spaces leave dark.
    root->enclosedTextArea()->setText(styled(QStringLiteral("   "), "LiberationSerif"));
    settle();
    const int frame = darkInLabel(controller, *map);
    const struct
    {
        const char *what;
        QString label;
        QString font;
    } cases[] = {
        // Liberation Serif draws nothing for a glyph it lacks.
        {"characters no font has", kNoGlyph + kNoGlyph + kNoGlyph, "LiberationSerif"},
        {"in a font not installed", kNoGlyph + kNoGlyph + kNoGlyph, "Times-Roman"},
        {"Chinese", QStringLiteral("模块模"), "LiberationSerif"},
    };
    for (const auto &c : cases) {
        root->enclosedTextArea()->setText(styled(c.label, c.font));
        settle();
        EXPECT_GT(darkInLabel(controller, *map), frame + 20) << c.what;
    }
}

TEST_F(TWExportTextTest, ATabInALabelIsATabInRichText)
{
    root->enclosedTextArea()->setText(styled(QStringLiteral("Tab\tinside"), "LiberationSans"));
    settle();
    TWExportHost::OutlineTextRequest request;
    request.options = 16; // branch text
    const std::optional<AttributedString> outline = TWExportHost::mapOutlineText(*map, request);
    ASSERT_TRUE(outline);
    const QByteArray rtf = RichTextFormat::rtfFromAttributedString(*outline);
    EXPECT_TRUE(rtf.contains("Tab\\tab inside")) << rtf.toStdString();
    const std::optional<AttributedString> back = RichTextFormat::attributedStringFromRTF(rtf);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->string().contains(QStringLiteral("Tab\tinside")));
}

// The GIF as a reader sees it.
QImage throughGif(const QImage &image)
{
    QString error;
    QByteArray gif = TWExportController::encodeBitmap(image, TWExportController::GIF, 0, &error);
    EXPECT_FALSE(gif.isEmpty()) << error.toStdString();
    QBuffer buffer(&gif);
    return QImageReader(&buffer, "gif").read().convertToFormat(QImage::Format_RGB32);
}

QImage flat(const QImage &image)
{
    QImage out(image.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter(&out).drawImage(0, 0, image);
    return out;
}

// A white picture with a band of smooth colour: far more than 256 colours.
QImage whiteWithRainbow()
{
    QImage image(300, 120, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 40; y < 80; ++y)
        for (int x = 0; x < 300; ++x)
            image.setPixelColor(x, y, QColor::fromHsv(x * 359 / 299, 55 + 5 * (y - 40), 230));
    return image;
}

// A picture of exactly `count` colours (at most 256).
QImage exactColours(int count)
{
    QImage image(count, 20, QImage::Format_RGB32);
    for (int x = 0; x < count; ++x)
        for (int y = 0; y < 20; ++y)
            image.setPixel(x, y, qRgb(x, 255 - x, (x * 7) % 256));
    return image;
}

TEST_F(TWExportTextTest, GifKeepsFlatColoursFlat)
{
    addChildren();
    root->enclosedTextArea()->setText(styled(QStringLiteral("Core模块 with words"), "LiberationSans"));
    settle();
    const struct
    {
        const char *what;
        QImage picture;
        bool exact; // every pixel comes back as it was
    } cases[] = {
        {"the map on white", flat(controller.imageRepForMap(*map)), false},
        {"a rainbow on white", whiteWithRainbow(), false},
        {"200 colours", exactColours(200), true},
        {"as many colours as a GIF holds", exactColours(256), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QImage back = throughGif(c.picture);
        ASSERT_EQ(back.size(), c.picture.size());
        int whiteChanged = 0, changed = 0;
        double difference = 0;
        for (int y = 0; y < back.height(); ++y)
            for (int x = 0; x < back.width(); ++x) {
                const QRgb was = c.picture.pixel(x, y) | 0xff000000u,
                           now = back.pixel(x, y) | 0xff000000u;
                changed += was != now;
                whiteChanged += was == 0xffffffffu && now != was;
                difference += std::abs(qGray(was) - qGray(now));
            }
        EXPECT_EQ(whiteChanged, 0);
        if (c.exact)
            EXPECT_EQ(changed, 0);
        EXPECT_LT(difference / (back.width() * back.height()), 2.0);
    }
    // A picture of no more colours than a GIF holds is its own palette, in
    // the order of use, then of value (all are used alike here).
    for (const int count : {200, 256}) {
        SCOPED_TRACE(count);
        const QImage picture = exactColours(count);
        QList<QRgb> colours;
        for (int x = 0; x < count; ++x)
            colours << (picture.pixel(x, 0) | 0xff000000u);
        std::sort(colours.begin(), colours.end());
        EXPECT_EQ(TWGifPalette::toIndexed8(picture).colorTable(), colours);
    }
    // At most 256 colours whatever the picture holds.
    const QImage indexed = TWGifPalette::toIndexed8(whiteWithRainbow());
    EXPECT_EQ(indexed.format(), QImage::Format_Indexed8);
    EXPECT_LE(indexed.colorCount(), 256);
    EXPECT_TRUE(TWGifPalette::toIndexed8(QImage()).isNull());
}

} // namespace
