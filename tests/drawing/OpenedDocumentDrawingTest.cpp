#include "../../bench/BranchDocumentGenerator.h"
#include "drawing/TWMapImages.h"
#include "drawing/TWMapLayout.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

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
