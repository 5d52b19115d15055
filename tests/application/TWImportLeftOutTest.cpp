// After a MindManager import the user is told once what the map held that
// was not imported, and told nothing when everything came in.
#include "MindManagerImpExp/mmImpExpController.h"
#include "TWMenuTestSupport.h"

#include <QFile>

TEST_F(MenuTest, AMindManagerImportTellsOnceWhatWasLeftOut)
{
    auto leftOut = std::make_shared<MMLeftOut>();
    TWImportController::Readers readers;
    readers.mindManagerFile = [leftOut](TWMap &map, const QString &path) {
        *leftOut = {};
        return mmImpExpController::populateDadoZiz(map, path, leftOut.get());
    };
    readers.mindManagerLeftOut = [leftOut] { return std::exchange(*leftOut, {}).message(); };
    importer->setReaders(readers);
    const auto write = [&](const char *name, const QByteArray &inside) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<ap:Map xmlns:ap=\"x\"><ap:OneTopic><ap:Topic><ap:Text PlainText=\"C\"/>" +
                   inside + "</ap:Topic></ap:OneTopic></ap:Map>");
        return path;
    };
    const struct
    {
        const char *what;
        QString path;
        bool imported;
        const char *told; // nullptr: no alert at all
    } cases[] = {
        {"two tags", write("Tags.xml", "<ap:TextLabels><ap:TextLabel/><ap:TextLabel/></ap:TextLabels>"),
         true, "2 tags were not imported: this map has no place for them."},
        {"everything in place", write("Plain.xml", ""), true, nullptr},
        {"a file that is no map", write("Broken.xml", "<unclosed>"), false,
         "Failed to load XML file"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        alerts.clear();
        EXPECT_EQ(importer->importMindManagerFileAtPathReturningDocument(c.path) != nullptr,
                  c.imported);
        if (!c.told) {
            EXPECT_TRUE(alerts.alerts().isEmpty());
            continue;
        }
        ASSERT_EQ(alerts.alerts().size(), 1);
        EXPECT_EQ(alerts.alerts().first().title,
                  QString::fromUtf8(c.imported ? "Not everything was imported"
                                               : "Mind Manager import error"));
        EXPECT_TRUE(alerts.alerts().first().message.startsWith(QString::fromUtf8(c.told)))
            << alerts.alerts().first().message.toStdString();
    }
}
