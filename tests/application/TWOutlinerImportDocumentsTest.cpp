#include "application/TWOutlinerImportDocuments.h"
#include "TWMenuTestSupport.h"
#include "exchange/TWOmniOutlineImporter.h"
#include "interface/ProgressPanelController.h"

#include <zlib.h>

namespace {

QByteArray gzipped(const QByteArray &data)
{
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(data.size()))) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

const QByteArray Outline = "<outline xmlns=\"http://example.org/outline/v3\"><root>"
                           "<item><values><text><p><run><lit>Buy milk</lit></run></p></text>"
                           "</values><note><text><p><run><lit>two litres</lit></run></p></text>"
                           "</note></item></root></outline>";

class OutlinerImportTest : public MenuTest
{
protected:
    void SetUp() override
    {
        MenuTest::SetUp();
        outliner = std::make_unique<TWOutlinerImportDocuments>(*documents);
    }
    void TearDown() override
    {
        outliner.reset();
        MenuTest::TearDown();
    }
    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    std::unique_ptr<TWOutlinerImportDocuments> outliner;
};

} // namespace

TEST_F(OutlinerImportTest, OutlinerFilesOpenAsUntitledDocumentsFromTheMenuAndTheDesktop)
{
    TWDocument *front = untitled();
    QAction *command = front->menuDispatcher()->actionFor(QStringLiteral("importOmniOutline:"));
    ASSERT_TRUE(command);
    EXPECT_FALSE(front->menuDispatcher()->validate(command));
    outliner->install(*importer);
    EXPECT_TRUE(front->menuDispatcher()->validate(command));

    struct Case
    {
        const char *file;
        bool fromPanel;
    };
    for (const Case c : {Case{"Groceries.oo3", false}, Case{"Errands.ooutline", true}}) {
        SCOPED_TRACE(c.file);
        const QString path = write(QString::fromLatin1(c.file), gzipped(Outline));
        const int before = documents->documents().size();
        if (c.fromPanel) {
            alerts.queueOpenResponse({path});
            command->trigger();
        } else {
            EXPECT_TRUE(app->openFile(path));
        }
        ASSERT_EQ(documents->documents().size(), before + 1);
        auto *document = static_cast<TWDocument *>(documents->documents().last());
        const QString name = QFileInfo(path).completeBaseName();
        EXPECT_EQ(mapOf(document).root()->enclosedTextArea()->text().string(), name);
        ASSERT_EQ(mapOf(document).root()->children().size(), 1);
        const TWMapBranch &item = *mapOf(document).root()->children().first();
        EXPECT_EQ(item.enclosedTextArea()->text().string(), QStringLiteral("Buy milk"));
        EXPECT_EQ(item.countOfAttachedTextArray(), 1);
        // Untitled under the file's name: Save asks where.
        EXPECT_TRUE(document->fileName().isEmpty());
        EXPECT_EQ(document->displayName(), name);
        EXPECT_FALSE(document->mapsDocument()->filename().has_value());
        EXPECT_EQ(document->mapsDocument()->countOfMaps(), 1);
    }
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_FALSE(ProgressPanelController::sharedProgressPanel().progressPanel()->isVisible());

    auto *groceries = static_cast<TWDocument *>(documents->documents().at(1));
    EXPECT_FALSE(groceries->save());
    ASSERT_EQ(alerts.savePanels().size(), 1);
    EXPECT_EQ(alerts.savePanels().first().fileName, QStringLiteral("Groceries.tweb"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("Groceries")));
}

TEST_F(OutlinerImportTest, ARefusedFileOpensNothing)
{
    outliner->install(*importer);
    const QString path = write(QStringLiteral("Plain.oo3"), Outline);
    const int before = documents->documents().size();
    EXPECT_EQ(importer->importOmniOutlineFileAtPathReturningDocument(path), nullptr);
    EXPECT_EQ(documents->documents().size(), before);
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts().first().message,
              QStringLiteral("“Plain.oo3” cannot be imported. This file does not appear to "
                             "contain OmniOutline data."));
}
