#include "TWMapsDocTestSupport.h"
#include "model/TWAttachedTextCategory.h"
#include "model/TWMapDrawingServices.h"
#include "model/TWFileIO.h"
#include "model/TWResource.h"

#include <QFile>
#include <QProcess>
#include <QSet>

using namespace MapsDocTest;

namespace {

// Deterministic bytes that compress about as badly as real pictures do.
QByteArray pictureBytes(int size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = seed | 1;
    for (int i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = char(x >> 24);
    }
    return bytes;
}

QStringList tarListing(const QString &archive)
{
    QProcess tar;
    tar.start("tar", {"--quoting-style=literal", "-tzf", archive});
    if (!tar.waitForFinished(60000) || tar.exitCode() != 0)
        return {};
    QStringList entries = QString::fromUtf8(tar.readAllStandardOutput()).split('\n');
    entries.removeAll(QString());
    return entries;
}

// The cached data without the two entries every package has, read whole.
PackageData picturesOf(const TWMapsDoc &document)
{
    PackageData pictures;
    const PackageEntries &cached = document.cachedData();
    for (auto it = cached.cbegin(); it != cached.cend(); ++it)
        pictures.insert(it.key(), it->bytes().value_or("unreadable"));
    pictures.remove(TWMapsDoc::ContentsPath);
    pictures.remove(TWFileIO::fileVersionPath);
    return pictures;
}

class TWMapsDocPackageTest : public MapsDocFixture
{
protected:
    // Previews stay the bytes the test stores: the stand-in renders none.
    TWMapsDocPackageTest() : m_drawing(TWMapDrawingServices::installShared(nullptr)) {}
    ~TWMapsDocPackageTest() override { TWMapDrawingServices::installShared(m_drawing); }
    std::shared_ptr<TWMapDrawingServices> m_drawing;

    QString target(const QString &name) const { return tempDir.filePath(name); }
};

TEST_F(TWMapsDocPackageTest, ADocumentSavesAndLoadsBackEqual)
{
    auto document = TWMapsDoc::create();
    document->setUndoManager(undo);
    auto plain = TWMap::create(document.get());
    document->addMap(plain, false);
    const XMLElement pictured = XMLElement::parse(
        QByteArray(
            "<TWMap><identifier>MAP-2</identifier>"
            "<useMyOwnBackgroundSettings>YES</useMyOwnBackgroundSettings>"
            "<backgroundImageFilename>Images/DocumentBackground5/ExtractedImage.pdf"
            "</backgroundImageFilename>"
            "<root><TWMapBranch><soundFileName>Sounds/Branch3/bell.aiff</soundFileName>"
            "<mainGraphic><TWGraphic><class>TWImage</class><graphicNumber>41</graphicNumber>"
            "<imageFilename>Images/Graphic4/photo.png</imageFilename></TWGraphic></mainGraphic>"
            "<enclosedTextArea><TWGraphic><class>TWTextArea</class><graphicNumber>42</"
            "graphicNumber>"
            "</TWGraphic></enclosedTextArea><branchNumber>3</branchNumber><children>") +
        branchElement(8, "<linkedGraphics><linkedGraphic><TWGraphic><class>TWRectangle</class>"
                         "<graphicNumber>83</graphicNumber>"
                         "<moviePath>Images/Branch8/Graphic2/clip.mov</moviePath>"
                         "</TWGraphic></linkedGraphic></linkedGraphics>") +
        "</children></TWMapBranch></root></TWMap>");
    document->addMap(
        TWMap::createWithXMLElement(pictured, document.get(), TWMap::Identifier::KeepStored), true);

    document->setCreator(QStringLiteral("Ann Lee"));
    document->setOrganization(QStringLiteral("Lee & Co"));
    document->setComments(QStringLiteral("Plans for the spring\nsecond line"));
    document->setCreationDate(*CalendarDate::dateWithYear(
        2019, 4, 1, 8, 30, 0, *TimeZone::timeZoneWithName("America/New_York")));
    document->setFilename(QStringLiteral("/home/ann/spring.tweb"));
    document->insertObjectInKeywordsAtIndex({{"keyword", "garden"}}, 0);
    document->insertObjectInKeywordsAtIndex({{"keyword", "Überblick"}}, 1);
    document->setHtmlSetupDictionary(OrderedDictionary{{"title", "Spring"}, {"columns", 3}});
    document->setShowPageFrames(true);
    document->addResource(TWResource::objectWithXMLElement(XMLElement::parse(
        "<TWResource><resourceIdentifier>R-1</resourceIdentifier><resourceName>Dan</resourceName>"
        "<unitCost>12.500000</unitCost><availableDays>62</availableDays></TWResource>")));
    auto made = std::make_shared<TWResource>();
    made->setResourceName("Cleo Park");
    document->addResource(made);
    document->insertObjectInAttachedTextCategoriesAtIndex(
        std::make_shared<TWAttachedTextCategory>(QStringLiteral("N"), QStringLiteral("Notes"),
                                                 Color::colorWithCalibratedRed(0.25, 0.5, 1)),
        0);
    document->insertObjectInAttachedTextCategoriesAtIndex(
        std::make_shared<TWAttachedTextCategory>(QStringLiteral("T"), QStringLiteral("Tasks"),
                                                 std::nullopt),
        1);

    const PackageData used = {
        {plain->previewPath(), pictureBytes(2000, 1)},
        {"Images/MapPreviews/MAP-2.png", pictureBytes(3000, 2)},
        {"Images/DocumentBackground5/ExtractedImage.pdf", pictureBytes(4000, 3)},
        {"Images/Graphic4/photo.png", pictureBytes(70000, 4)},
        {"Images/Branch8/Graphic2/clip.mov", pictureBytes(5000, 5)},
        {"Sounds/Branch3/bell.aiff", pictureBytes(6000, 6)},
    };
    for (auto it = used.cbegin(); it != used.cend(); ++it)
        document->setObjectInCachedData(it.value(), it.key());
    // Data of a deleted picture and the preview of a deleted map are not saved.
    for (const QString unused : {"Images/Graphic9/deleted.png", "Images/MapPreviews/OLD.png"}) {
        document->setObjectInCachedData(pictureBytes(100, 7), unused);
        EXPECT_FALSE(document->hasIdentifier(unused));
    }
    for (const QString &path : used.keys())
        EXPECT_TRUE(document->hasIdentifier(path)) << path.toStdString();
    undo->closeEventGroup();
    const int steps = undo->undoStepCount();
    bool groupClosed = false;
    QObject::connect(undo.get(), &UndoManager::groupClosed, [&] { groupClosed = true; });

    // The save stamp is no user edit: no undo step, registration back on.
    const QString file = target("spring.tweb");
    ASSERT_EQ(TWFileIO::saveDocument(*document, file), TWFileIO::SaveSucceeded);
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoStepCount(), steps);
    EXPECT_FALSE(groupClosed);
    EXPECT_TRUE(undo->isUndoRegistrationEnabled());
    EXPECT_EQ(document->revisionNumber(), 1);
    ASSERT_TRUE(document->lastSaveDate().has_value());

    // What a standard tar sees: the three folders and every used entry.
    QSet<QString> files;
    QSet<QString> topLevel;
    for (const QString &entry : tarListing(file)) {
        topLevel.insert(entry.section('/', 0, 0));
        if (!entry.endsWith('/'))
            files.insert(entry);
    }
    EXPECT_EQ(topLevel, (QSet<QString>{"Images", "Sounds", "Thinkweb"}));
    QSet<QString> expectedFiles(used.keyBegin(), used.keyEnd());
    expectedFiles << "Thinkweb/Contents.xml"
                  << "Thinkweb/fileVersion.txt";
    EXPECT_EQ(files, expectedFiles);

    int error = -1;
    auto loaded = TWFileIO::loadDocumentFromFile(file, false, &error);
    EXPECT_EQ(error, TWFileIO::LoadSucceeded);
    ASSERT_NE(loaded, nullptr);

    // Everything the contents hold reads back to the same text; spot checks
    // for what the text could hide.
    EXPECT_EQ(withoutGraphicNumbers(loaded->xmlDocumentData()),
              withoutGraphicNumbers(document->xmlDocumentData()));
    EXPECT_EQ(loaded->comments(), document->comments());
    ASSERT_TRUE(loaded->lastSaveDate().has_value());
    EXPECT_EQ(loaded->lastSaveDate()->timeZone(), document->lastSaveDate()->timeZone());
    EXPECT_EQ(loaded->htmlSetupDictionary().keys(), (QStringList{"title", "columns"}));
    ASSERT_EQ(loaded->countOfResources(), 2);
    EXPECT_EQ(loaded->resources().at(1)->resourceName(), "Cleo Park");
    ASSERT_EQ(loaded->countOfMaps(), 2);
    EXPECT_EQ(loaded->currentMap(), loaded->maps().at(1));
    EXPECT_EQ(picturesOf(*loaded), used);
    EXPECT_EQ(loaded->objectForKeyInCachedData(TWFileIO::fileVersionPath), "4.1");

    // Saved again, only the stamp moves on.
    const QString again = target("again.tweb");
    ASSERT_EQ(loaded->saveToFile(again), TWFileIO::SaveSucceeded);
    auto second = TWMapsDoc::loadFromFile(again, false, &error);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->revisionNumber(), 2);
    EXPECT_EQ(picturesOf(*second), used);
}

// What a save keeps of the package data: the previews of the maps there
// are and what their graphics name, whichever of them the data holds.
TEST_F(TWMapsDocPackageTest, OnlyWhatSomeMapNamesIsKept)
{
    auto document = TWMapsDoc::create();
    auto map = TWMap::createWithXMLElement(
        XMLElement::parse("<TWMap><identifier>MAP-1</identifier><root><TWMapBranch>"
                          "<mainGraphic><TWGraphic><class>TWImage</class>"
                          "<graphicNumber>5</graphicNumber>"
                          "<imageFilename>Images/Graphic5/photo.png</imageFilename>"
                          "</TWGraphic></mainGraphic><enclosedTextArea><TWGraphic>"
                          "<class>TWTextArea</class><graphicNumber>6</graphicNumber>"
                          "</TWGraphic></enclosedTextArea><branchNumber>1</branchNumber>"
                          "</TWMapBranch></root></TWMap>"),
        document.get(), TWMap::Identifier::KeepStored);
    document->addMap(map, false);
    ASSERT_TRUE(document->hasIdentifier("Images/Graphic5/photo.png"));
    const QString preview = map->previewPath(), photo = "Images/Graphic5/photo.png",
                  stalePreview = "Images/MapPreviews/OLD.png",
                  deleted = "Images/Graphic9/deleted.png";
    struct Case
    {
        QStringList held;
        QStringList kept;
    };
    const Case cases[] = {
        {{preview}, {preview}},
        {{preview, stalePreview}, {preview}},
        {{stalePreview}, {}},
        {{preview, photo}, {preview, photo}},
        {{photo, deleted}, {photo}},
        {{preview, deleted, stalePreview}, {preview}},
        {{}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.held.join(' ').toStdString());
        PackageEntries held;
        for (const QString &path : c.held)
            held.insert(path, pictureBytes(50, 3));
        const PackageEntries kept = document->stripUnusedDataFromCache(held);
        QStringList keys = kept.keys();
        QStringList expected = c.kept;
        keys.sort();
        expected.sort();
        EXPECT_EQ(keys, expected);
    }
}

TEST_F(TWMapsDocPackageTest, FilesThatAreNoDocumentGiveTheirCodes)
{
    const QString text = target("notes.txt");
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("just some text, no archive\n");
    }
    int error = -1;
    EXPECT_EQ(TWFileIO::loadDocumentFromFile(text, false, &error), nullptr);
    EXPECT_EQ(error, TWFileIO::LoadNoEntries);

    const QString picturesOnly = target("pictures.tweb");
    ASSERT_EQ(TWFileIO::savePackage(QVariantMap{{"Images/Graphic1/a.png", pictureBytes(100, 9)}},
                                    picturesOnly),
              TWFileIO::SaveSucceeded);
    WarningCapture warnings;
    EXPECT_EQ(TWMapsDoc::loadFromFile(picturesOnly, false, &error), nullptr);
    EXPECT_EQ(error, TWFileIO::LoadRefused);
    EXPECT_TRUE(warnings.contains("This is not a valid Thinkweb file - no contents found"));
}

} // namespace
