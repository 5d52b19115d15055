// A document the program saved, opened and saved again, writes what it read:
// the same elements, whichever way the document was first made. (Graphic
// numbers are drawn anew on every opening, the canvas takes the window's size
// and the save stamps its date, so the text itself may differ there.)
#include "DocumentTestSupport.h"
#include "exchange/TWOPMLImportExport.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/PackageArchive.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>

namespace {

// How many elements of each name Contents.xml of a saved document holds.
QMap<QString, int> elementsSaved(const QString &path)
{
    QMap<QString, int> counts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return counts;
    const std::optional<PackageData> data = PackageArchive::read(file);
    if (!data || !data->contains(TWMapsDoc::ContentsPath))
        return counts;
    static const QRegularExpression start(QStringLiteral("<([A-Za-z][A-Za-z0-9]*)[ />]"));
    const QString text = QString::fromUtf8(data->value(TWMapsDoc::ContentsPath));
    for (const QRegularExpressionMatch &m : start.globalMatch(text))
        ++counts[m.captured(1)];
    return counts;
}

// The names whose counts differ, for the failure message.
QString differences(const QMap<QString, int> &a, const QMap<QString, int> &b)
{
    QStringList names;
    QMap<QString, int> all = a;
    all.insert(b);
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        if (a.value(it.key()) != b.value(it.key()))
            names << QStringLiteral("%1: %2 then %3")
                         .arg(it.key())
                         .arg(a.value(it.key()))
                         .arg(b.value(it.key()));
    return names.join(QStringLiteral(", "));
}
class SecondSaveTest : public DocumentTest
{
protected:
    // An outline imported into a new document, as a user brings one in.
    QString importedAndSaved(const QString &name)
    {
        const QString opml = dir.filePath(name + ".opml");
        QFile file(opml);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<?xml version=\"1.0\"?><opml version=\"2.0\"><head><title>T</title></head>"
                   "<body><outline text=\"One\" _note=\"A note\"><outline text=\"One.1\"/>"
                   "<outline text=\"One.2\"><outline text=\"Deep\"/></outline></outline>"
                   "<outline text=\"Two\"/><outline text=\"\"/></body></opml>");
        file.close();
        std::unique_ptr<TWDocument> document = TWDocument::makeUntitled();
        document->addMapUsingTemplate(false);
        TWMap &map = *document->mapsDocument()->currentMap();
        if (!dynamic_cast<TWMapLayout *>(&map.layoutServices()))
            map.setLayoutServices(std::make_shared<TWMapLayout>());
        EXPECT_TRUE(TWOPMLImportExport().importFile(opml, map));
        const QString path = dir.filePath(name + ".tweb");
        EXPECT_EQ(document->writeToFile(path), TWFileIO::SaveSucceeded);
        return path;
    }
};

TEST_F(SecondSaveTest, OpeningAndSavingAgainWritesWhatWasRead)
{
    struct Case
    {
        const char *made;
        QString path;
        // The model's own save leaves the file's name to the window's document.
        bool firstSaveNamesTheFile;
    };
    const Case cases[] = {
        {"generated and saved by the model", savedDocument("generated.tweb", 40), false},
        {"imported from an outline and saved by the window's document",
         importedAndSaved("imported"), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.made);
        QMap<QString, int> first = elementsSaved(c.path);
        ASSERT_FALSE(first.isEmpty());
        if (!c.firstSaveNamesTheFile)
            first.insert(QStringLiteral("filename"), 1);
        TWDocument *document = open(c.path);
        ASSERT_NE(document, nullptr);
        show(document);
        ASSERT_TRUE(document->save());
        const QMap<QString, int> second = elementsSaved(c.path);
        EXPECT_TRUE(second == first) << qPrintable(differences(first, second));
        document->close();
        settle();
    }
}

} // namespace
