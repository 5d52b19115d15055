#include "../../bench/BranchDocumentGenerator.h"
#include "PictureTestData.h"
#include "mapdrawing/TWMapImages.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <poppler-qt6.h>

// What a user sees of a saved document: opened from its file, laid out by
// the tight layout and drawn, every branch kind on the picture.
TEST(OpenedDocumentDrawing, AGeneratedDocumentOpensLaysOutAndDraws)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("generated.tweb");
    {
        auto made = BranchDocument::makeDocument(60);
        ASSERT_EQ(made->saveToFile(path), TWFileIO::SaveSucceeded);
        made->detach();
    }
    int error = -1;
    auto document = TWMapsDoc::loadFromFile(path, false, &error);
    ASSERT_NE(document, nullptr) << error;
    const std::shared_ptr<TWMap> map = document->maps().at(0);
    ASSERT_EQ(map->allBranches().size(), 60);
    map->setLayoutServices(std::make_shared<TWMapLayout>());
    TWMapLayout::autoArrange(*map);

    // Laid out, no two first-level shapes overlap.
    const auto &first = map->root()->children();
    for (qsizetype i = 0; i < first.size(); ++i)
        for (qsizetype j = i + 1; j < first.size(); ++j)
            EXPECT_FALSE(first.at(i)->mainGraphic()->bounds().intersects(
                first.at(j)->mainGraphic()->bounds()))
                << i << " " << j;

    const Rect extent = map->getBoundingDrawingRectForAllGraphics();
    const QImage image = TWMapImages::imageOfMap(*map, extent, 1, true);
    ASSERT_FALSE(image.isNull());
    if (const QString folder = qEnvironmentVariable("THINKWEB_KEEP_PICTURES"); !folder.isEmpty())
        image.save(folder + "/opened-document.png");
    // Something other than the ground is drawn.
    qsizetype inked = 0;
    const QRgb ground = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            inked += image.pixel(x, y) != ground;
    EXPECT_GT(inked, image.width() * image.height() / 20);
    document->detach();
}

// A document made by hand with one branch of every kind, each carrying
// another indicator, saved, opened and drawn to an image and to PDF: every
// branch shows on both.
TEST(OpenedDocumentDrawing, EveryBranchKindAndIndicatorDrawsToImageAndPdf)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("kinds.tweb");
    {
        auto document = TWMapsDoc::create();
        auto map = TWMap::create(document.get());
        document->addMap(map, true);
        map->setShowOutlineNumbers(true);
        map->setShowTextIndicators(true);
        map->setShowResourcesAllocated(true);
        map->setShowCollapseSign(true);
        map->root()->enclosedTextArea()->setText(BranchDocument::styledText(0, 1));
        for (int kind = 0; kind < 7; ++kind) {
            const Rect bounds(500, 40 + float(kind) * 90, 160, 60);
            auto branch = TWMapBranch::createWithGraphic(BranchDocument::shapeOfKind(kind, bounds),
                                                         map->root().get(), map.get());
            branch->enclosedTextArea()->setString(QStringLiteral("Kind %1").arg(kind));
            switch (kind) {
            case 0:
                branch->setPrimaryAttachedText(
                    std::make_shared<const AttributedString>(BranchDocument::styledText(kind, 1)));
                break;
            case 1:
                branch->insertObjectInHyperlinksAtIndex(
                    std::make_shared<TWHyperlink>(2, QStringLiteral("https://example.org/"),
                                                  std::nullopt, std::nullopt, std::nullopt),
                    0);
                break;
            case 2:
                branch->setShowCheckBox(true);
                branch->setCheckBoxState(1);
                break;
            case 3: {
                const QString picture = QStringLiteral("Images/Kind3/ExtractedImage.png");
                static_cast<TWImage &>(*branch->mainGraphic()).setImageFilename(picture);
                document->setObjectInCachedData(PictureTestData::pngPicture(), picture);
                branch->setPriority(3);
                break;
            }
            case 4:
                branch->setPercentageComplete(40);
                break;
            case 5: {
                auto attached = TWGraphic::make<TWCircle>(Rect(670, bounds.y(), 20, 20));
                branch->insertObjectInLinkedGraphicsAtIndex(attached, 0);
                attached->setBranch(branch.get());
                break;
            }
            default: {
                auto leaf = TWMapBranch::createWithGraphic(
                    TWGraphic::make<TWRectangle>(Rect(760, bounds.y(), 80, 30)), branch.get(),
                    map.get());
                leaf->enclosedTextArea()->setString(QStringLiteral("Leaf"));
                branch->setChildrenHidden(true);
                break;
            }
            }
        }
        map->setBranchHideLevel(9);
        ASSERT_EQ(document->saveToFile(path), TWFileIO::SaveSucceeded);
        document->detach();
    }
    int error = -1;
    auto document = TWMapsDoc::loadFromFile(path, false, &error);
    ASSERT_NE(document, nullptr) << error;
    const std::shared_ptr<TWMap> map = document->maps().at(0);
    map->setLayoutServices(std::make_shared<TWMapLayout>());
    const auto &kinds = map->root()->children();
    ASSERT_EQ(kinds.size(), 7);

    const Rect extent = map->getBoundingDrawingRectForAllGraphics();
    const QImage image =
        TWMapImages::imageOfMap(*map, extent, 1, true).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(image.isNull());
    if (const QString folder = qEnvironmentVariable("THINKWEB_KEEP_PICTURES"); !folder.isEmpty())
        image.save(folder + "/every-kind.png");
    for (const auto &branch : kinds) {
        // The branch's area on the picture holds ink: its shape, label or icons.
        const Rect r = branch->mainGraphic()->bounds().offsetBy(-extent.x(), -extent.y());
        int inked = 0;
        for (int y = int(r.minY()); y < int(r.maxY()); ++y)
            for (int x = int(r.minX()); x < int(r.maxX()); ++x)
                inked += (image.pixel(x, y) & 0xffffff) != 0xffffff;
        EXPECT_GT(inked, 50) << branch->mainGraphic()->className().toStdString();
    }
    // The closed branch hides its leaf.
    EXPECT_TRUE(kinds.at(6)->children().at(0)->hidden());

    std::unique_ptr<Poppler::Document> pdf =
        Poppler::Document::loadFromData(TWMapImages::pdfDataForMap(*map, true));
    ASSERT_TRUE(pdf);
    ASSERT_EQ(pdf->numPages(), 1);
    const QString text = pdf->page(0)->text(QRectF());
    for (int kind = 0; kind < 7; ++kind)
        EXPECT_TRUE(text.contains(QStringLiteral("Kind %1").arg(kind))) << kind;
    EXPECT_FALSE(text.contains(QStringLiteral("Leaf")));
    document->detach();
}
