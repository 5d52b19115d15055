#include "TWMapsDocTestSupport.h"
#include "model/PackageArchive.h"
#include "model/TWFileIO.h"
#include "platform/LoadingNotifications.h"

#include <QFile>

using namespace MapsDocTest;

namespace {

using DocumentRefusalTest = MapsDocFixture;

bool writePackage(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           PackageArchive::write(
               file, {{TWMapsDoc::ContentsPath, contents}, {"Thinkweb/fileVersion.txt", "4.1"}}) ==
               PackageArchive::WriteStatus::Written;
}

QByteArray mapsDocument(const QByteArray &root)
{
    return "<TWMapsDoc><maps><map><TWMap><identifier>M</identifier><root>" + root +
           "</root></TWMap></map></maps></TWMapsDoc>";
}

// A refused document says why in words a user can act on, and a read that
// started the progress panel ends it, so that no panel covers the alert.
TEST_F(DocumentRefusalTest, ARefusedPackageSaysWhyAndEndsItsProgress)
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

} // namespace
