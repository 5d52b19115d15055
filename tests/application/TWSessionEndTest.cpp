// The end of the session (a logout) and SIGTERM, in the program's own process.

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
};

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
