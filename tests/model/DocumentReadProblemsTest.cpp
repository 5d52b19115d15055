#include "TWMapsDocTestSupport.h"
#include "model/PackageArchive.h"
#include "model/TWBranchReadDamage.h"
#include "model/TWFileIO.h"
#include "platform/LoadingNotifications.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>

using namespace MapsDocTest;

namespace {

using DocumentReadProblemsTest = MapsDocFixture;

bool writePackage(const QString &path, const QByteArray &contents, PackageData more = {})
{
    QFile file(path);
    more.insert(TWMapsDoc::ContentsPath, contents);
    more.insert("Thinkweb/fileVersion.txt", "4.1");
    return file.open(QIODevice::WriteOnly) &&
           PackageArchive::write(file, more) == PackageArchive::WriteStatus::Written;
}

std::optional<PackageData> readPackage(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return PackageArchive::read(file);
}

// A PNG of noise: it compresses badly, so `side` sets its size in bytes.
QByteArray noisePNG(int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, random.generate());
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QByteArray mapsDocument(const QByteArray &root)
{
    return "<TWMapsDoc><maps><map><TWMap><identifier>M</identifier><root>" + root +
           "</root></TWMap></map></maps></TWMapsDoc>";
}

// A refused document says why in words a user can act on, and a read that
// started the progress panel ends it, so that no panel covers the alert.
TEST_F(DocumentReadProblemsTest, ARefusedPackageSaysWhyAndEndsItsProgress)
{
    struct Case
    {
        const char *what;
        QByteArray contents;
        QString message; // the start of it
        bool started;    // the read got as far as counting branches
    };
    const Case cases[] = {
        {"nested too deep", mapsDocument(branchChain(1100)),
         "The file cannot be opened: its branches nest deeper than Thinkweb can read", true},
        {"another root", "<TWMap/>",
         "The file is damaged: the root element is <TWMap>, not <TWMapsDoc>.", false},
        {"cut short", mapsDocument(branchChain(3)).chopped(20), "The file is damaged: ", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = tempDir.filePath("refused.tweb");
        ASSERT_TRUE(writePackage(path, c.contents));
        QStringList heard;
        const ObserverToken starts = NotificationCenter::defaultCenter().observe(
            LoadingNotifications::Start, nullptr,
            [&heard](const Notification &) { heard << "start"; });
        const ObserverToken finishes = NotificationCenter::defaultCenter().observe(
            LoadingNotifications::Finish, nullptr,
            [&heard](const Notification &) { heard << "finish"; });
        QString message;
        EXPECT_EQ(TWFileIO::readDocumentFromFile(path, &message), nullptr);
        EXPECT_TRUE(message.startsWith(c.message)) << message.toStdString();
        EXPECT_FALSE(message.contains("XML_PARSE_HUGE")) << message.toStdString();
        if (c.started)
            EXPECT_EQ(heard, QStringList({"start", "finish"}));
        else
            EXPECT_EQ(heard.count("start"), heard.count("finish"));
    }
}

// A picture whose data does not come to its end opens without showing, is
// counted for the open to say so, and is saved again as it was read.
TEST_F(DocumentReadProblemsTest, PicturesCutShortAreToldAndKept)
{
    const QByteArray small = noisePNG(20);
    const QByteArray large = noisePNG(200); // beyond what is held in memory
    ASSERT_GT(large.size(), TWFileIO::maxEntryHeldInMemory);
    const auto picture = [](const QByteArray &embedded) {
        return "<TWMapBranch><mainGraphic><TWGraphic><class>TWImage</class>"
               "<graphicNumber>41</graphicNumber>"
               "<imageFilename>Images/Graphic4/photo.png</imageFilename>" +
               (embedded.isEmpty() ? QByteArray()
                                   : "<embeddedImageData>" + embedded + "</embeddedImageData>") +
               "</TWGraphic></mainGraphic><enclosedTextArea><TWGraphic><class>TWTextArea</class>"
               "<graphicNumber>42</graphicNumber></TWGraphic></enclosedTextArea>"
               "<branchNumber>3</branchNumber></TWMapBranch>";
    };
    struct Case
    {
        const char *what;
        QByteArray embedded; // Base64 in the contents, or the entry below
        QByteArray entry;
        int damaged;
        QByteArray kept; // the picture's bytes after a save
    };
    const Case cases[] = {
        {"whole", {}, small, 0, small},
        {"cut short", {}, small.left(small.size() / 2), 1, small.left(small.size() / 2)},
        {"large and cut short",
         {},
         large.left(large.size() - 5000),
         1,
         large.left(large.size() - 5000)},
        {"data after its end", {}, small + QByteArray(3000, 'x'), 0, small + QByteArray(3000, 'x')},
        {"embedded data cut short",
         small.toBase64().left(401),
         {},
         1,
         QByteArray::fromBase64(small.toBase64().left(401))},
        // The whole picture the graphic names wins over its inline copy.
        {"embedded data cut short beside the whole file", small.toBase64().left(401), small, 1,
         small},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = tempDir.filePath("pictured.tweb");
        PackageData entries;
        if (!c.entry.isEmpty())
            entries.insert("Images/Graphic4/photo.png", c.entry);
        ASSERT_TRUE(writePackage(path, mapsDocument(picture(c.embedded)), entries));
        std::shared_ptr<TWMapsDoc> document;
        int damaged = -1;
        {
            const TWBranchReadDamage damage;
            document = TWFileIO::readDocumentFromFile(path);
            damaged = damage.damagedPictures();
        }
        ASSERT_NE(document, nullptr);
        EXPECT_EQ(damaged, c.damaged);
        const QString again = tempDir.filePath("again.tweb");
        ASSERT_EQ(document->saveToFile(again), TWFileIO::SaveSucceeded);
        const std::optional<PackageData> saved = readPackage(again);
        ASSERT_TRUE(saved);
        QByteArray kept;
        int pictures = 0;
        for (auto it = saved->cbegin(); it != saved->cend(); ++it)
            if (it.key().startsWith("Images/Graphic4/")) {
                kept = it.value();
                ++pictures;
            }
        EXPECT_EQ(kept, c.kept);
        EXPECT_EQ(pictures, 1);
    }
}

} // namespace
