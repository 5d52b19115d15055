// Linked to the static library as any program is, keeping only the objects
// it refers to: everything the library registers must come from the start-up
// call, not from initialisers the linker may drop.
#include "BranchTestSupport.h"
#include "exchange/KeynoteExportController.h"
#include "exchange/TWExportController.h"
#include "graphics/TWGraphic.h"
#include "interface/KeyPathObserver.h"
#include "mapdrawing/TWMapImages.h"
#include "model/TWFileIO.h"
#include "model/TWMapDrawingServices.h"
#include "platform/RecordingAlerts.h"
#include "styles/TWStyle.h"
#include "support/AttributedString.h"
#include "support/Color.h"
#include "support/OrderedDictionary.h"
#include "support/TWXMLProtocol.h"
#include "support/XMLDocument.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

using namespace BranchTest;

namespace {

// The resource paths a .qrc file lists.
QStringList resourcePaths(const QString &qrcFile)
{
    QFile file(qrcFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList paths;
    QString prefix;
    QXmlStreamReader xml(&file);
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"qresource") {
            prefix = xml.attributes().value("prefix").toString();
        } else if (xml.name() == u"file") {
            const QString alias = xml.attributes().value("alias").toString();
            const QString name = xml.readElementText();
            paths << QDir::cleanPath(QLatin1Char(':') + prefix + QLatin1Char('/') +
                                     (alias.isEmpty() ? name : alias));
        }
    }
    return paths;
}

} // namespace

TEST(LinkedLibrary, EveryShippedResourceIsReachable)
{
    const QStringList qrcFiles =
        QDir(THINKWEB_RESOURCES).entryList({QStringLiteral("*.qrc")}, QDir::Files);
    ASSERT_FALSE(qrcFiles.isEmpty());
    for (const QString &qrc : qrcFiles) {
        SCOPED_TRACE(qrc.toStdString());
        const QStringList paths = resourcePaths(QStringLiteral(THINKWEB_RESOURCES "/") + qrc);
        ASSERT_FALSE(paths.isEmpty());
        for (const QString &path : paths)
            EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    }
}

TEST(LinkedLibrary, EveryFloorRegistered)
{
    // One registration of each floor's function.
    EXPECT_NE(TWXMLProtocol::classForElementName(u"NSColor"), nullptr);
    EXPECT_NE(TWXMLProtocol::classForElementName(u"CTGradient"), nullptr);
    EXPECT_TRUE(TWGraphic::isClassRegistered(QStringLiteral("TWImage")));
    EXPECT_NE(dynamic_cast<TWMapPreviewServices *>(&TWMapDrawingServices::shared()), nullptr);
    EXPECT_NE(TWXMLProtocol::classForElementName(TWStyle::ElementName), nullptr);
    EXPECT_TRUE(KeyPathObserver::hasLink(QStringLiteral("currentMap")));
}

class LinkedLibraryDocument : public BranchFixture
{
protected:
    LinkedLibraryDocument() : alertsScope(&alerts)
    {
        TWExportController::registerDefaults(defaults);
        child(root, 260, QStringLiteral("first child"));
        root->mainGraphic()->setFillColor(Color::colorWithCalibratedRed(1, 0.5, 0.25));
        settle();
    }

    QTemporaryDir out;
    RecordingAlerts alerts;
    Alerts::Scope alertsScope;
};

TEST_F(LinkedLibraryDocument, ExportsAKeynotePresentation)
{
    defaults.setInteger(3, QStringLiteral("ExportKeynoteVersionAndSize"));
    const QString target = out.filePath(QStringLiteral("Talk.key"));
    KeynoteExportController::sharedExporter().exportMapsToFiles({{map, target}});

    EXPECT_TRUE(alerts.alerts().isEmpty());
    QFile index(target + QStringLiteral("/index.apxl"));
    ASSERT_TRUE(index.open(QIODevice::ReadOnly));
    const QByteArray xml = index.readAll();
    const std::optional<XMLDocument> presentation = XMLDocument::parse(xml);
    ASSERT_TRUE(presentation.has_value());
    EXPECT_EQ(presentation->rootElement().name(), QStringLiteral("presentation"));
    for (const char *text : {"root", "first child"})
        EXPECT_TRUE(xml.contains(text)) << text;
}

TEST_F(LinkedLibraryDocument, ReadsASavedDocumentBack)
{
    // Values inside a dictionary are read by the reader registered for their
    // element name.
    OrderedDictionary printSetup = map->printSetupDictionary();
    printSetup.setValue(QStringLiteral("frameColor"),
                        QVariant::fromValue(Color::colorWithCalibratedRed(0.2, 0.4, 0.6)));
    printSetup.setValue(QStringLiteral("headerAttributedString"),
                        QVariant::fromValue(AttributedString(QStringLiteral("Header"))));
    map->setPrintSetupDictionary(printSetup);
    const QString file = out.filePath(QStringLiteral("map.tweb"));
    ASSERT_EQ(TWFileIO::saveDocument(*document, file), TWFileIO::SaveSucceeded);
    int error = -1;
    const auto loaded = TWFileIO::loadDocumentFromFile(file, false, &error);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(error, TWFileIO::LoadSucceeded);
    ASSERT_EQ(loaded->maps().size(), 1);
    const auto loadedRoot = loaded->maps().front()->root();
    ASSERT_NE(loadedRoot, nullptr);
    EXPECT_EQ(nameOf(*loadedRoot), QStringLiteral("root"));
    ASSERT_EQ(loadedRoot->children().size(), 1);
    EXPECT_EQ(nameOf(*loadedRoot->children().front()), QStringLiteral("first child"));
    EXPECT_EQ(loadedRoot->mainGraphic()->fillColor(), root->mainGraphic()->fillColor());
    const OrderedDictionary loadedSetup = loaded->maps().front()->printSetupDictionary();
    EXPECT_EQ(loadedSetup.value(QStringLiteral("frameColor")).value<Color>(),
              Color::colorWithCalibratedRed(0.2, 0.4, 0.6));
    EXPECT_EQ(loadedSetup.value(QStringLiteral("headerAttributedString"))
                  .value<AttributedString>()
                  .string(),
              QStringLiteral("Header"));
    loaded->detach();
}
