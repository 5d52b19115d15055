// Quitting asks about unsaved documents; files another launch handed over
// open here.

#include "DocumentTestSupport.h"

#include <QDeadlineTimer>
#include <QDialog>
#include <QFile>

namespace {

bool fileHolds(const QString &path, const QString &label)
{
    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::loadFromFile(path, false);
    if (!document)
        return false;
    bool found = false;
    for (const std::shared_ptr<TWMapBranch> &branch : document->currentMap()->allBranches())
        found = found || branch->enclosedTextArea()->text().string() == label;
    document->detach();
    return found;
}

} // namespace

class QuitTest : public DocumentTest
{
protected:
    // The application again, this time over the real document controller.
    void startOverDocuments()
    {
        app.reset();
        ApplicationServices services = recordingServices();
        services.documentController = documents.get();
        start(Edition::Deluxe, services);
    }
};

TEST_F(QuitTest, QuitAsksAboutEachUnsavedDocumentAndStopsWhereTheUserKeepsOne)
{
    struct Case
    {
        const char *name;
        QList<int> answers; // Save, Cancel, Don't Save; one a document, front first
        bool quits;
        int left;
        int saved;
    };
    const Case cases[] = {
        {"drop both", {2, 2}, true, 0, 0},
        {"save one, drop the other", {0, 2}, true, 0, 1},
        {"keep the second open", {2, 1}, false, 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        startOverDocuments();
        QStringList paths;
        for (int i = 0; i < 2; ++i) {
            paths << savedDocument(QStringLiteral("%1-%2.tweb").arg(QLatin1String(c.name)).arg(i));
            TWDocument *document = open(paths.last());
            ASSERT_NE(document, nullptr);
            show(document);
            document->mapsDocument()->currentMap()->publicCreateChildrenOfType(
                -1, QStringLiteral("unsaved"), false);
        }
        settle();
        alerts.clear();
        for (int answer : c.answers)
            alerts.queueAlertResponse(answer);
        EXPECT_EQ(app->terminate(), c.quits);
        settle();
        EXPECT_EQ(alerts.alerts().size(), c.answers.size());
        EXPECT_EQ(documents->documents().size(), c.left);
        int saved = 0;
        for (const QString &path : paths)
            saved += fileHolds(path, QStringLiteral("unsaved"));
        EXPECT_EQ(saved, c.saved);
        for (Document *open : documents->documents())
            static_cast<TWDocument *>(open)->clearChangeCount();
        for (Document *open : documents->documents())
            open->close();
        settle();
    }
}

TEST_F(QuitTest, HandedOverFilesOpenHereOnceTheWayIsClear)
{
    startOverDocuments();
    const QString plan = savedDocument(QStringLiteral("plan.tweb"));

    // None: a new document, as a launch without files.
    app->openHandedOverFiles({});
    EXPECT_EQ(documents->documents().size(), 1);

    // A question in front is answered first.
    QDialog question;
    question.setModal(true);
    question.show();
    settle();
    app->openHandedOverFiles({plan});
    settle();
    EXPECT_EQ(documents->documents().size(), 1);
    question.close();
    QDeadlineTimer deadline(5000);
    while (documents->documents().size() < 2 && !deadline.hasExpired())
        settle();
    ASSERT_EQ(documents->documents().size(), 2);
    EXPECT_TRUE(documents->documentForPath(plan));

    // Again: the open one serves, no second window.
    app->openHandedOverFiles({plan});
    settle();
    EXPECT_EQ(documents->documents().size(), 2);
}
