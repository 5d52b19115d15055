#include "media/TWMediaBrowserPane.h"
#include "support/PropertyListReader.h"

#include <QFileInfo>
#include <QMimeData>
#include <QSignalSpy>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>

namespace {

QList<QVariantMap> records(const QStringList &paths)
{
    QList<QVariantMap> list;
    for (const QString &p : paths)
        list.append(TWMediaRecord::recordForPicture(p, QFileInfo(p).completeBaseName() + " "));
    return list;
}

QStringList paths(const QList<QVariantMap> &list)
{
    QStringList result;
    for (const QVariantMap &r : list)
        result.append(r.value(TWMediaRecord::ImagePath).toString());
    return result;
}

QStringList localFiles(const QMimeData &data)
{
    QStringList files;
    for (const QUrl &url : data.urls())
        files.append(url.toLocalFile());
    return files;
}

} // namespace

TEST(MediaBrowserPane, ThumbnailsStayCachedWithinOneBranchOfTheTree)
{
    const struct
    {
        QList<int> from, to;
        bool kept;
    } cases[] = {
        {{0}, {0, 2}, true},        {{0, 2}, {0}, true},        {{0, 1}, {0, 3}, true},
        {{0, 1}, {0, 1}, true},     {{0}, {1}, true},           {{0, 1}, {1, 1}, false},
        {{0, 1}, {1, 0, 2}, false}, {{0, 1, 4}, {0, 2}, false}, {{}, {0}, true},
    };
    for (const auto &c : cases) {
        TWMediaBrowserPane pane(TWMediaBrowserPane::adornmentsMember());
        QList<std::function<void()>> workers;
        pane.thumbnails().setWorkerStarter(
            [&](std::function<void()> w) { workers.append(std::move(w)); });
        pane.thumbnails().setLoader([](const QString &) {
            QImage image(1, 1, QImage::Format_ARGB32);
            image.fill(Qt::black);
            return image;
        });
        pane.setImages(records({"/a/x.png"}), c.from);
        pane.photoAtIndex(0);
        for (const auto &w : workers)
            w();
        ASSERT_TRUE(pane.photoAtIndex(0)) << "from " << c.from.size();
        pane.setImages(records({"/a/y.png"}), c.to);
        EXPECT_EQ(pane.thumbnails().isCached("/a/x.png"), c.kept)
            << c.from.size() << " -> " << c.to.size();
    }
    TWMediaBrowserPane pane(TWMediaBrowserPane::adornmentsMember());
    pane.thumbnails().setWorkerStarter([](std::function<void()> w) { w(); });
    pane.thumbnails().setLoader(
        [](const QString &) { return QImage(1, 1, QImage::Format_ARGB32); });
    pane.setImages(records({"/a/x.png"}), {0});
    pane.photoAtIndex(0);
    pane.didDeactivate();
    EXPECT_FALSE(pane.thumbnails().isCached("/a/x.png"));
}

TEST(MediaBrowserPane, SearchNarrowsSelectionCaptionsAndDrags)
{
    const QStringList all{"/lib/Red.png", "/lib/Blue.png", "/lib/red;dark.png", "/lib/Green.png"};
    const struct
    {
        TWMediaBrowserPane::Member member;
        QString search;
        QList<int> select;
        QStringList dragged;
        bool adornmentType;
    } cases[] = {
        {TWMediaBrowserPane::adornmentsMember(),
         "red",
         {1, 0},
         {"/lib/Red.png", "/lib/red;dark.png"},
         true},
        {TWMediaBrowserPane::adornmentsMember(),
         "",
         {3, 1},
         {"/lib/Blue.png", "/lib/Green.png"},
         true},
        {TWMediaBrowserPane::adornmentsMember(), "green", {0, 5}, {"/lib/Green.png"}, true},
        {TWMediaBrowserPane::graphicsMember(), "RED", {1}, {"/lib/red;dark.png"}, false},
        {TWMediaBrowserPane::graphicsMember(), "png", {0}, {}, false},
    };
    for (const auto &c : cases) {
        TWMediaBrowserPane pane(c.member);
        pane.setImages(records(all), {0});
        pane.setSelectionIndexes({0});
        QSignalSpy changed(&pane, &TWMediaBrowserPane::imagesChanged);
        pane.search(c.search);
        EXPECT_EQ(changed.size(), 1);
        EXPECT_TRUE(pane.selectionIndexes().isEmpty());

        QSignalSpy selected(&pane, &TWMediaBrowserPane::selectionChanged);
        pane.setSelectionIndexes(c.select);
        EXPECT_EQ(paths(pane.selectedRecords()), c.dragged) << c.search.toStdString();
        ASSERT_EQ(selected.size(), 1);
        if (!c.dragged.isEmpty()) {
            EXPECT_EQ(pane.captionAtIndex(pane.selectionIndexes().first()),
                      QFileInfo(c.dragged.first()).fileName());
        }
        std::unique_ptr<QMimeData> drag(pane.fillPasteboardForDrag());
        if (c.dragged.isEmpty()) {
            EXPECT_FALSE(drag);
            continue;
        }
        ASSERT_TRUE(drag);
        EXPECT_EQ(localFiles(*drag), c.dragged);
        EXPECT_EQ(drag->hasFormat(TWMediaBrowserPane::AdornmentPasteboardType), c.adornmentType);
        if (c.adornmentType) {
            EXPECT_EQ(QString::fromUtf8(drag->data(TWMediaBrowserPane::AdornmentPasteboardType)),
                      c.dragged.join(';'));
        }
    }
}

TEST(MediaBrowserPane, GraphicsPaneFindsRecordsByPath)
{
    TWMediaBrowserPane graphics(TWMediaBrowserPane::graphicsMember());
    graphics.setImages(records({"/g/a.twpng", "/g/b.twpng"}), {0});
    EXPECT_EQ(graphics.recordForPath("/g/b.twpng").value(TWMediaRecord::ImageName), "b");
    EXPECT_TRUE(graphics.recordForPath("/g/c.twpng").isEmpty());
    TWMediaBrowserPane adornments(TWMediaBrowserPane::adornmentsMember());
    adornments.setImages(records({"/g/a.twpng"}), {0});
    EXPECT_TRUE(adornments.recordForPath("/g/a.twpng").isEmpty());
}

TEST(MediaBrowserPane, WholeNodeDragNumbersEveryRecord)
{
    for (const int count : {0, 1, 3, 12}) {
        QStringList files;
        for (int i = 0; i < count; ++i)
            files.append(QStringLiteral("/n/pic \"%1\".png").arg(i));
        QList<QVariantMap> list = records(files);
        for (QVariantMap &r : list)
            r.insert(TWMediaRecord::CachedThumb, QImage(1, 1, QImage::Format_ARGB32));
        std::unique_ptr<QMimeData> data(TWMediaBrowserPane::writeItems(list, "Birds; wild"));
        EXPECT_EQ(localFiles(*data), files);

        const auto albums = PropertyListReader::propertyListFromData(
            data->data(TWMediaBrowserPane::AlbumDataListPasteboardType));
        const auto master = PropertyListReader::propertyListFromData(
            data->data(TWMediaBrowserPane::ImageDataListPasteboardType));
        ASSERT_TRUE(albums && master) << count;
        const QVariantMap album = albums->toMap().value("List of Albums").toList().value(0).toMap();
        EXPECT_EQ(album.value("AlbumName").toString(), "Birds; wild");
        EXPECT_EQ(album.value("Album Type").toString(), "Regular");
        QStringList expectedKeys;
        for (int i = 1; i <= count; ++i)
            expectedKeys.append(QString::number(i));
        EXPECT_EQ(album.value("KeyList").toStringList(), expectedKeys);
        const QVariantMap images = master->toMap();
        EXPECT_EQ(albums->toMap().value("Master Image List").toMap(), images);
        ASSERT_EQ(images.size(), count);
        for (int i = 0; i < count; ++i) {
            const QVariantMap r = images.value(QString::number(i + 1)).toMap();
            EXPECT_EQ(r.value(TWMediaRecord::ImagePath).toString(), files.at(i));
            EXPECT_FALSE(r.contains(TWMediaRecord::CachedThumb));
            EXPECT_EQ(r.size(), 4);
        }
    }
}
