// The end of the session (a logout) and the signals that end the program
// (SIGTERM, SIGHUP, SIGINT), in the program's own process.

#include "DocumentTestSupport.h"

#include <QDir>
#include <QFile>
#include <csignal>

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The session manager's request as the program sees it.
class SessionRequest : public SessionEndRequest
{
public:
    explicit SessionRequest(bool interaction) : m_interaction(interaction) {}
    bool allowsInteraction() override { return m_interaction; }
    void cancel() override { ++cancels; }
    void release() override { ++releases; }
    int cancels = 0;
    int releases = 0;

private:
    bool m_interaction;
};

} // namespace

class SessionEndTest : public DocumentTest
{
protected:
    // A document opened from its file and changed since.
    TWDocument *openEdited(const QString &name)
    {
        TWDocument *document = open(savedDocument(name));
        if (!document)
            return nullptr;
        settle();
        document->mapsDocument()->currentMap()->publicCreateChildrenOfType(
            -1, QStringLiteral("unsaved work"), false);
        settle();
        return document;
    }
    // The application object goes and comes again as the next launch makes
    // it, over the program's own document controller.
    void relaunch()
    {
        settle();
        app.reset();
        ApplicationServices services = recordingServices();
        services.documentController = documents.get();
        start(Edition::Deluxe, services);
    }
    QStringList kept() const
    {
        return QDir(dir.filePath(QStringLiteral("kept"))).entryList(QDir::Files, QDir::Name);
    }
};

namespace {
bool hasBranchLabelled(TWDocument *document, const QString &label)
{
    for (const auto &branch : document->mapsDocument()->currentMap()->allBranches())
        if (branch->enclosedTextArea()->text().string() == label)
            return true;
    return false;
}
} // namespace

TEST_F(SessionEndTest, ALogoutAsksAsQuitDoesOrKeepsTheWorkWhereNobodyCanAnswer)
{
    struct Case
    {
        const char *what;
        bool interaction;
        int answer; // to "Save, Cancel, Don't Save"; -1: not asked
        bool cancelled;
        bool saved;
    };
    const Case cases[] = {
        {"the user saves", true, 0, false, true},
        {"the user cancels the logout", true, 1, true, false},
        {"nobody can answer", false, -1, false, true},
        // Last: the program ends after it.
        {"the user drops the changes", true, 2, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        alerts.clear();
        TWDocument *document = openEdited(QStringLiteral("%1.tweb").arg(c.what));
        ASSERT_NE(document, nullptr);
        controller.docs = {document};
        const QString path = document->fileName();
        const QByteArray before = bytesOf(path);
        if (c.answer >= 0)
            alerts.queueAlertResponse(c.answer);

        SessionRequest request(c.interaction);
        app->commitSessionData(request);
        settle();
        EXPECT_EQ(alerts.alerts().size(), c.answer >= 0 ? 1 : 0);
        EXPECT_EQ(request.cancels, c.cancelled ? 1 : 0);
        if (c.interaction)
            EXPECT_EQ(request.releases, 1);
        EXPECT_EQ(bytesOf(path) != before, c.saved);
        EXPECT_EQ(document->isDocumentEdited(), !c.saved);
        // Nothing closes until the session ends the program.
        EXPECT_EQ(documents->documents().size(), 1);

        if (c.answer != 2) {
            document->close();
            settle();
            continue;
        }
        // When the session ends the program, what the user answered
        // stands: no second question.
        QEvent quit(QEvent::Quit);
        QCoreApplication::sendEvent(app.get(), &quit);
        settle();
        EXPECT_EQ(alerts.alerts().size(), 1);
        EXPECT_TRUE(documents->documents().isEmpty());
        EXPECT_EQ(bytesOf(path), before);
    }
}

TEST_F(SessionEndTest, SIGTERMKeepsTheWorkAsAutosaveWouldAndEndsAsQuitDoes)
{
    TWDocument *withFile = openEdited(QStringLiteral("kept.tweb"));
    ASSERT_NE(withFile, nullptr);
    TWDocument *unchanged = open(savedDocument(QStringLiteral("unchanged.tweb")));
    ASSERT_NE(unchanged, nullptr);
    controller.docs = {withFile, unchanged};
    const QString path = withFile->fileName();
    const QByteArray before = bytesOf(path);
    const QString unchangedPath = unchanged->fileName();
    const QByteArray unchangedBytes = bytesOf(unchangedPath);

    ASSERT_EQ(std::raise(SIGTERM), 0);
    settle();
    // Nobody was asked; the changed document is in its file, the other untouched.
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_NE(bytesOf(path), before);
    EXPECT_EQ(bytesOf(unchangedPath), unchangedBytes);
    EXPECT_TRUE(documents->documents().isEmpty());
    TWDocument reread;
    EXPECT_TRUE(reread.readFromFile(path));
}

TEST_F(SessionEndTest, WorkWithNowhereOfItsOwnIsKeptOpensAgainWithANoticeAndGoesOnceSavedOrClosed)
{
    struct Case
    {
        const char *what;
        int signal; // 0: the session ends and nobody can answer
        bool untitled;
        bool savedAfter; // else closed without saving
    };
    const Case cases[] = {
        {"SIGTERM, untitled", SIGTERM, true, true},
        {"SIGTERM, changed on disk", SIGTERM, false, false},
        {"SIGHUP, untitled", SIGHUP, true, false},
        {"SIGHUP, changed on disk", SIGHUP, false, true},
        {"SIGINT, untitled", SIGINT, true, true},
        {"SIGINT, changed on disk", SIGINT, false, false},
        {"the session ends unanswered, untitled", 0, true, false},
        {"the session ends unanswered, changed on disk", 0, false, true},
    };
    int row = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ++row;
        relaunch();
        alerts.clear();
        TWDocument *document = nullptr;
        QString path;
        QByteArray theirs;
        if (c.untitled) {
            document = untitled();
            ASSERT_NE(document, nullptr);
            settle();
            document->mapsDocument()->currentMap()->publicCreateChildrenOfType(
                -1, QStringLiteral("unsaved work"), false);
            settle();
        } else {
            document = openEdited(QStringLiteral("theirs %1.tweb").arg(row));
            ASSERT_NE(document, nullptr);
            path = document->fileName();
            // Another program writes the file; Save asks, and the user cancels.
            savedDocument(QFileInfo(path).fileName(), 7);
            theirs = bytesOf(path);
            alerts.queueAlertResponse(1);
            EXPECT_FALSE(document->save());
            ASSERT_EQ(alerts.alerts().size(), 1);
            alerts.clear();
        }
        ASSERT_TRUE(document->isDocumentEdited());

        if (c.signal) {
            ASSERT_EQ(std::raise(c.signal), 0);
            settle();
        } else {
            SessionRequest request(false);
            app->commitSessionData(request);
            // What the session's end then does (TWApplication::event): each closes.
            document->close();
            settle();
        }
        // Nobody was asked, the other program's file is as it left it, and
        // the work is kept once, in the program's own folder.
        EXPECT_TRUE(alerts.alerts().isEmpty());
        EXPECT_TRUE(documents->documents().isEmpty());
        if (!c.untitled) {
            EXPECT_EQ(bytesOf(path), theirs);
        }
        ASSERT_EQ(kept().filter(QStringLiteral(".tweb")).size(), 1) << kept().join(u' ').toStdString();

        // The next launch opens it again, untitled and edited, with one
        // notice that says what it is.
        relaunch();
        app->finishLaunching();
        settle();
        ASSERT_EQ(documents->documents().size(), 1);
        auto *again = static_cast<TWDocument *>(documents->documents().first());
        EXPECT_TRUE(again->fileName().isEmpty());
        EXPECT_EQ(again->displayName(), QStringLiteral("Untitled"));
        EXPECT_TRUE(again->isDocumentEdited());
        EXPECT_TRUE(hasBranchLabelled(again, QStringLiteral("unsaved work")));
        ASSERT_EQ(alerts.alerts().size(), 1);
        const QString notice = alerts.alerts().first().message;
        EXPECT_TRUE(c.untitled ? notice.contains(QStringLiteral("never been saved"))
                               : notice.contains(QFileInfo(path).fileName()) &&
                                     notice.contains(QStringLiteral("another program")))
            << notice.toStdString();
        EXPECT_EQ(bytesOf(path), theirs);
        alerts.clear();

        if (c.savedAfter) {
            const QString saved = dir.filePath(QStringLiteral("saved %1.tweb").arg(row));
            alerts.queueSaveResponse(saved);
            EXPECT_TRUE(again->save());
            EXPECT_EQ(again->fileName(), saved);
            EXPECT_TRUE(kept().isEmpty()) << kept().join(u' ').toStdString();
            again->close();
        } else {
            // The window's close asks; the user drops the changes.
            alerts.queueAlertResponse(2);
            again->documentWindow()->close();
            EXPECT_EQ(alerts.alerts().size(), 1);
        }
        settle();
        EXPECT_TRUE(documents->documents().isEmpty());
        EXPECT_TRUE(kept().isEmpty()) << kept().join(u' ').toStdString();
        if (!c.untitled) {
            EXPECT_EQ(bytesOf(path), theirs);
        }
    }
}
