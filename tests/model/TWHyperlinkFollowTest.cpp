#include "BranchTestSupport.h"
#include "model/TWDocumentFetcher.h"
#include "model/TWHyperlink.h"
#include "model/TWLinkDocuments.h"
#include "model/TWLinkOpener.h"
#include "model/TWLinkServices.h"
#include "platform/RecordingAlerts.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace BranchTest;

namespace {

class FakeDocument : public TWLinkDocument, public TWLinkCanvas
{
public:
    FakeDocument(std::shared_ptr<TWMapsDoc> doc, QString file, QStringList *log)
        : doc(std::move(doc)), file(std::move(file)), log(log)
    {}
    TWMapsDoc *mapsDoc() override { return doc.get(); }
    QString fileName() const override { return file; }
    TWLinkCanvas *graphicView() override { return this; }
    void makeMainWindowKeyAndOrderFront() override { *log << "front " + file; }
    bool loadDataRepresentation(const QByteArray &data) override
    {
        *log << "load " + QString::fromLatin1(data);
        return data != "bad";
    }
    Rect visibleRect() const override { return {0, 0, 200, 100}; }
    void scrollPoint(Point p) override { *log << QStringLiteral("scroll %1 %2").arg(p.x).arg(p.y); }
    void centerSelectionAfterCurrentEvent() override { *log << "center"; }

    std::shared_ptr<TWMapsDoc> doc;
    QString file;
    QStringList *log;
};

// The desktop, the document controller and the network in one, logging every request.
class FakeDesktop : public TWLinkOpener, public TWDocumentOpener, public TWDocumentFetcher
{
public:
    QStringList log;
    bool succeeds = true;
    TWLinkDocument *active = nullptr;
    Callback pending;
    std::vector<std::unique_ptr<FakeDocument>> made;

    bool openURL(const QUrl &url) override
    {
        log << "open " + url.toString(QUrl::FullyEncoded);
        return succeeds;
    }
    bool revealFile(const QString &path) override { return log << "reveal " + path, true; }
    TWLinkDocument *currentlyActiveDocument() override { return active; }
    QList<TWLinkDocument *> documents() override { return {active}; }
    TWLinkDocument *openUntitledDocument() override { return make("untitled", {}); }
    TWLinkDocument *openDocumentWithContentsOfFile(const QString &path) override
    {
        return make("open " + path, path);
    }
    void fetch(const QUrl &url, Callback done) override
    {
        log << "fetch " + url.toString();
        pending = std::move(done);
    }

private:
    TWLinkDocument *make(const QString &call, const QString &file)
    {
        log << call;
        if (!succeeds)
            return nullptr;
        auto doc = TWMapsDoc::create();
        doc->addMap(TWMap::create(doc.get()), true);
        made.push_back(std::make_unique<FakeDocument>(doc, file, &log));
        return made.back().get();
    }
};

// Two maps: "root" with a, b (below it, collapsed, "twin") and "twin"; "second" with "twin".
class FollowTest : public BranchFixture
{
protected:
    FollowTest()
    {
        child(root, 100, "a");
        b = child(root, 200, "b");
        twin = child(b, 200, "twin", 650);
        b->setChildrenHidden(true);
        child(root, 300, "twin");
        second = TWMap::create(document.get());
        document->addMap(second, false);
        auto root2 = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds({0, 0, 60, 20}),
                                                    nullptr, second.get());
        root2->enclosedTextArea()->setString("second");
        second->setRoot(root2);
        TWMapBranch::createWithGraphic(TWGraphic::createWithBounds({100, 0, 60, 20}), root2.get(),
                                       second.get())
            ->enclosedTextArea()
            ->setString("twin");
        desktop.active = &activeDocument;
        settle();
    }
    // Follows a link with the alerts answered, and answers what it logged.
    QString follow(int type, const QString &url, std::optional<QString> arg = {}, int answer = 0)
    {
        desktop.log.clear();
        alerts.clear();
        alerts.queueAlertResponse(answer);
        TWHyperlink(type, url, arg, std::nullopt, std::nullopt).followLinkURL(services);
        return desktop.log.join(",");
    }
    QString firstAlert() const { return alerts.alerts().value(0).title; }
    QString selectedName(const TWMap &m) const
    {
        return m.countOfSelectedGraphics() == 1 ? nameOf(*m.selectedGraphics()[0]->branch())
                                                : QString("-");
    }

    std::shared_ptr<TWMapBranch> b, twin;
    std::shared_ptr<TWMap> second;
    RecordingAlerts alerts;
    Alerts::Scope alertsScope{&alerts};
    FakeDesktop desktop;
    TWLinkServices services{&desktop, &desktop, &desktop};
    FakeDocument activeDocument{document, tempDir.filePath("doc.tweb"), &desktop.log};
};

TEST_F(FollowTest, EachKindOpensOnlyWhatIsSafeAndAsksBeforeTheRest)
{
    auto write = [&](const QString &name, bool executable) {
        QFile f(tempDir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        if (executable)
            f.setPermissions(f.permissions() | QFile::ExeOwner);
        return f.fileName();
    };
    const QString notes = write("notes.txt", false), tool = write("tool", true);
    const QString script = write("run.sh", false);
    const QString A1 = "Unable to follow link.", ask = "Open this link?";
    const QString askFile = "Open this file?", A6 = "Unknown hyperlink type.";
    struct Case
    {
        int type;
        QString url, arg;
        int answer; // to the first alert
        QString log, alert;
    } cases[] = {
        {2, "http://example.org/a b%20c", {}, 0, "open http://example.org/a%20b%20c", ""},
        {2, "https://example.org/\u00fc", {}, 0, "open https://example.org/%C3%BC", ""},
        {2, "www.example.org", {}, 0, "", A1},
        {2, "ftp://example.org/x", {}, 0, "", ask},
        {2, "ftp://example.org/x", {}, 1, "open ftp://example.org/x", ask},
        {2, "file://" + tool, {}, 1, "reveal " + tool, A1},
        {5, "ann@example.org", "Hi", 0, "open mailto:ann@example.org?Subject=Hi", ""},
        {5, "ann@example.org?attach=/etc/passwd", {}, 0, "", ask},
        {1, notes, {}, 1, "open file://" + notes, askFile},
        {1, notes, {}, 0, "", askFile},
        {1, "./notes.txt", {}, 1, "open file://" + notes, askFile},
        {1, tempDir.filePath("gone.txt"), {}, 0, "", A1},
        {1, tool, {}, 1, "reveal " + tool, A1},
        {1, script, {}, 0, "", A1},
        {0, "x", {}, 0, "", A6},
        {6, "x", {}, 0, "", A6},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        EXPECT_EQ(follow(c.type, c.url, c.arg, c.answer), c.log);
        EXPECT_EQ(firstAlert(), c.alert);
    }

    // Relative paths stay as written in an untitled document; failures name the link.
    activeDocument.file.clear();
    follow(1, "./notes.txt");
    EXPECT_EQ(alerts.alerts().value(0).message,
              "The link to ./notes.txt could not be found. Please check that the file is still "
              "there and you have access to it.");
    EXPECT_EQ(alerts.alerts().value(0).buttons, QStringList{"OK"});
    desktop.succeeds = false;
    follow(2, "http://example.org");
    EXPECT_TRUE(alerts.alerts().value(0).message.startsWith("The link to http://example.org c"));
    follow(5, "bob@example.org");
    EXPECT_EQ(alerts.alerts().value(0).message,
              "The link to mailto:bob@example.org could not be found.");
}

TEST_F(FollowTest, FindsTheFirstBranchByTitleAcrossMaps)
{
    struct Case
    {
        QString title;
        int currentMap;
        QString selected, canvas, alert;
    } cases[] = {
        // Root of the second map: scrolled so that its centre is in the middle.
        {"second", 1, "second", "scroll -70 -35", ""},
        // Map order first, then pre-order: the (collapsed) twin below "b" wins.
        {"twin", 0, "twin", "center", ""},
        {"Twin", 0, "-", "", "Unable to find required branch in Thinkweb document."},
        {" \n\t", 0, "-", "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        document->setCurrentMapNumber(0);
        map->removeAllSelectedGraphics();
        desktop.log.clear();
        alerts.clear();
        TWHyperlink::tryToFindString(c.title, activeDocument);
        EXPECT_EQ(document->currentMapNumber(), c.currentMap);
        EXPECT_EQ(selectedName(*document->currentMap()), c.selected);
        EXPECT_EQ(desktop.log.join(","), c.canvas);
        EXPECT_EQ(firstAlert(), c.alert);
    }
    TWHyperlink::tryToFindString("twin", activeDocument);
    EXPECT_EQ(map->selectedGraphics().value(0)->branch(), twin.get());
    TWHyperlink::tryToFindString("nothing", activeDocument);
    EXPECT_EQ(alerts.alerts().value(0).message,
              "There is no branch with a title nothing in the document. Please check the "
              "spelling and adjust the link settings.");
}

TEST_F(FollowTest, MapDocumentFilesAreFoundOpenedOrMade)
{
    const QString other = tempDir.filePath("other.tweb");
    const QString A3 = "Unable to create document.";
    struct Case
    {
        QString url;
        bool succeeds;
        QString log, alert;
    } cases[] = {
        {"", true, "center", ""},
        {"<new>", true, "untitled", ""},
        {"<NEW>", false, "untitled", A3},
        {"./doc.tweb", true, "front " + activeDocument.file + ",center", ""},
        {other, true, "open " + other, "Unable to find required branch in Thinkweb document."},
        {other, false, "open " + other, A3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        desktop.succeeds = c.succeeds;
        EXPECT_EQ(follow(4, c.url, "twin"), c.log);
        EXPECT_EQ(firstAlert(), c.alert);
    }
    // The opened document starts with no selection and no text being edited.
    Recorder stops({TWTextArea::StopAllTextEditingNotification});
    desktop.succeeds = true;
    follow(4, other, "twin");
    EXPECT_EQ(stops.notifications.size(), 1);
}

TEST_F(FollowTest, MapDocumentsAtAnAddressAreFetchedAndLoaded)
{
    QFile local(tempDir.filePath("local.tweb"));
    ASSERT_TRUE(local.open(QIODevice::WriteOnly));
    local.write("local bytes");
    local.close();
    const QString fileURL = QUrl::fromLocalFile(local.fileName()).toString();
    const QString A2 = "Unable to open URL.", http = "http://example.org/m.tweb";
    struct Case
    {
        QString url;
        int answer;
        std::optional<QByteArray> fetched; // the answer to the pending fetch
        bool succeeds;
        QString log, alert;
    } cases[] = {
        {http, 0, "good", true, "fetch " + http + ",untitled,load good", ""},
        {http, 0, "", true, "fetch " + http, A2},
        {http, 0, "bad", true, "fetch " + http + ",untitled,load bad",
         "Unable to load Thinkweb document."},
        {http, 0, "good", false, "fetch " + http + ",untitled", "Unable to create document."},
        {"ftp://example.org/m.tweb", 0, {}, true, "", A2},
        {fileURL, 0, {}, true, "", "Load this local file?"},
        {fileURL, 1, {}, true, "untitled,load local bytes", "Load this local file?"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        desktop.succeeds = c.succeeds;
        desktop.pending = nullptr;
        follow(3, c.url, " ", c.answer);
        ASSERT_EQ(bool(desktop.pending), c.fetched.has_value());
        if (c.fetched) {
            EXPECT_EQ(desktop.log.size(), 1); // nothing happens before the answer
            desktop.pending(*c.fetched);
        }
        EXPECT_EQ(desktop.log.join(","), c.log);
        EXPECT_EQ(firstAlert(), c.alert);
    }
}

// A local server that answers each connection as the test says.
TEST(NetworkDocumentFetcherTest, FetchesOverHttpWithinTheLimits)
{
    enum class Answer { Document, Missing, Silent, Huge };
    struct Case
    {
        Answer answer;
        QByteArray expected;
    } cases[] = {
        {Answer::Document, "map data"},
        {Answer::Missing, ""},
        {Answer::Silent, ""},
        {Answer::Huge, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.answer));
        QTcpServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
        QObject::connect(&server, &QTcpServer::newConnection, [&] {
            QTcpSocket *socket = server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, &c] {
                socket->readAll();
                const QByteArray body =
                    c.answer == Answer::Huge ? QByteArray(4096, 'x') : QByteArray("map data");
                if (c.answer == Answer::Silent)
                    return;
                socket->write(c.answer == Answer::Missing ? "HTTP/1.1 404 Not Found\r\n"
                                                          : "HTTP/1.1 200 OK\r\n");
                socket->write("Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" +
                              body);
            });
        });
        NetworkDocumentFetcher fetcher;
        fetcher.setTimeoutMs(300);
        fetcher.setMaxSize(1024);
        std::optional<QByteArray> result;
        fetcher.fetch(QUrl(QStringLiteral("http://127.0.0.1:%1/m.tweb").arg(server.serverPort())),
                      [&](const QByteArray &data) { result = data; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 5000));
        EXPECT_EQ(result.value_or("unanswered"), c.expected);
    }

    // Other schemes are never read, and the answer still comes later.
    NetworkDocumentFetcher fetcher;
    std::optional<QByteArray> result;
    fetcher.fetch(QUrl("file:///etc/hostname"), [&](const QByteArray &data) { result = data; });
    EXPECT_FALSE(result.has_value());
    EXPECT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 5000));
    EXPECT_EQ(result.value_or("unanswered"), "");
}

} // namespace
