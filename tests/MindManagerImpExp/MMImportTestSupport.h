#pragma once

#include "MMTestSupport.h"
#include "ZipTestSupport.h"

#include "MindManagerImpExp/mmExport.h"
#include "MindManagerImpExp/mmImpExpController.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapDrawingServices.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/RecordingAlerts.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "support/Base64.h"
#include "support/TWPreferences.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace MMImportTest {

// A w x h red PNG, in Base64 as a map keeps it.
inline QString pngBase64(int w = 4, int h = 4)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return TWBase64::twBase64String(png);
}

// The document's XML with the identifiers, numbers and dates each import
// makes afresh masked, so that two imports of one map compare equal.
inline QString documentXMLWithoutFreshValues(TWMapsDoc &doc)
{
    static const QRegularExpression fresh(
        QStringLiteral("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}|"
                       "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[^<\"]*|"
                       "(?<=Number>)-?\\d+|(?<=Graphic|Branch)\\d+|"
                       "<NSCalendarDate>[\\s\\S]*?</NSCalendarDate>"),
        QRegularExpression::CaseInsensitiveOption);
    return QString::fromUtf8(doc.xmlDocumentData()).replace(fresh, QStringLiteral("*"));
}

// A map file around the given children of ap:Map.
inline QByteArray mapXML(const QString &children)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><ap:Map%1>%2</ap:Map>")
        .arg(QLatin1String(MMTest::kNamespaces), children)
        .toUtf8();
}

// A map whose central topic holds `topic` (its children) and whose other
// children follow the topic.
inline QByteArray mapWithTopic(const QString &topic, const QString &after = QString())
{
    return mapXML(
        QStringLiteral("<ap:OneTopic><ap:Topic OId=\"root\">%1</ap:Topic></ap:OneTopic>%2")
            .arg(topic, after));
}

// A zip archive of the members, written to `path`.
inline void writeZip(const QString &path, const QList<std::pair<QString, QByteArray>> &members)
{
    ASSERT_TRUE(ZipTest::writeZip(path, members)) << path.toStdString();
}

// A new document with one blank map, its undo registration off as the
// import's caller leaves it, preferences in a temporary file and alerts
// recorded.
class ImportFixture : public ::testing::Test
{
protected:
    ImportFixture()
        : defaults(tempDir.filePath("defaults.ini")), defaultsScope(&defaults), alertsScope(&alerts)
    {
        TWPreferences::registerDefaults(defaults);
        document = TWMapsDoc::create();
        document->addMap(TWMap::create(document.get()), false);
        document->setCurrentMap(document->maps().first());
        // As a document window's maps have it.
        document->currentMap()->setLayoutServices(std::make_shared<TWMapLayout>());
        // The converter is tested where it places topics: the whole-map arrange
        // that follows an import in the program is left out.
        document->currentMap()->setDrawingServices(standIn());
        document->setUndoManager(undo);
        undo->disableUndoRegistration();
    }
    ~ImportFixture() override { undo->enableUndoRegistration(); }

    TWMap &map() { return *document->currentMap(); }
    static std::shared_ptr<TWMapDrawingServices> standIn()
    {
        return std::shared_ptr<TWMapDrawingServices>(&TWMapDrawingStandIn::shared(),
                                                     [](TWMapDrawingServices *) {});
    }
    // Another document of one map set up as the fixture's, sharing its undo manager.
    std::shared_ptr<TWMapsDoc> freshDocument()
    {
        auto doc = TWMapsDoc::create();
        doc->addMap(TWMap::create(doc.get()), false);
        doc->maps().first()->setLayoutServices(std::make_shared<TWMapLayout>());
        doc->maps().first()->setDrawingServices(standIn());
        doc->setUndoManager(undo);
        return doc;
    }
    TWMapBranch &root() { return *map().root(); }
    // `from` laid out, exported as MindManager XML and imported into a
    // fresh document, laid out as the import action leaves it; none when
    // the file cannot be written or read back.
    std::shared_ptr<TWMapsDoc> exportedAndImported(TWMap &from)
    {
        TWMapLayout::autoArrange(from);
        const QString file = filePath(QStringLiteral("exported.xml"));
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) ||
            out.write(mmExport::xmlDataForMap(from, QDateTime::currentDateTime())) < 0)
            return nullptr;
        out.close();
        auto again = freshDocument();
        if (!mmImpExpController::populateDadoZiz(*again->maps().first(), file)) {
            again->detach();
            return nullptr;
        }
        TWMapLayout::autoArrange(*again->maps().first());
        return again;
    }

    bool import(const QByteArray &xml)
    {
        return mmImpExpController::populateDadoZiz(
            map(), mmImpExpController::sourceForData(xml, QStringLiteral("map.xml")));
    }
    bool importTopic(const QString &topic, const QString &after = QString())
    {
        return import(mapWithTopic(topic, after));
    }
    // The branch the topic with the identifier became (children are kept
    // in position order, not file order).
    TWMapBranch &branch(const QString &oid)
    {
        TWMapBranch *found = find(&root(), oid);
        EXPECT_TRUE(found) << oid.toStdString();
        return found ? *found : root();
    }
    static TWMapBranch *find(TWMapBranch *b, const QString &oid)
    {
        if (b->mmOid() == oid)
            return b;
        for (const auto &child : b->children())
            if (TWMapBranch *f = find(child.get(), oid))
                return f;
        return nullptr;
    }
    QString filePath(const QString &name) const { return tempDir.filePath(name); }
    QStringList alertMessages() const
    {
        QStringList messages;
        for (const RecordingAlerts::Alert &a : alerts.alerts())
            messages.append(a.message);
        return messages;
    }

    QTemporaryDir tempDir;
    UserDefaults defaults;
    UserDefaults::Scope defaultsScope;
    RecordingAlerts alerts;
    Alerts::Scope alertsScope;
    std::shared_ptr<UndoManager> undo = std::make_shared<UndoManager>();
    std::shared_ptr<TWMapsDoc> document;
};

} // namespace MMImportTest
