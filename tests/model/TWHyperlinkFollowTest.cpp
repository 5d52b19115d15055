#include "BranchTestSupport.h"
#include "model/TWHyperlink.h"
#include "model/TWLinkServices.h"
#include "platform/RecordingAlerts.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <list>

using namespace BranchTest;

namespace {

class FakeDocument : public TWLinkDocument, public TWLinkCanvas
{
public:
    TWMapsDoc *mapsDoc() override { return doc.get(); }
    QString fileName() const override { return file; }
    TWLinkCanvas *graphicView() override { return this; }
    void makeMainWindowKeyAndOrderFront() override { *log << "front " + file; }
    bool loadDataRepresentation(const QByteArray &data) override
    {
        return *log << "load " + QString::fromLatin1(data), data != "bad";
    }
    Rect visibleRect() const override { return {0, 0, 200, 100}; }
    void scrollPoint(Point p) override { *log << QStringLiteral("scroll %1 %2").arg(p.x).arg(p.y); }
    void centerSelectionAfterCurrentEvent() override { *log << "center"; }

    std::shared_ptr<TWMapsDoc> doc;
    QString file;
    QStringList *log = nullptr;
};

// The desktop, the document controller and the network in one, logging every request.
class FakeDesktop : public TWLinkOpener, public TWDocumentOpener, public TWDocumentFetcher
{
public:
    QStringList log;
    bool succeeds = true;
    TWLinkDocument *active = nullptr;
    Callback pending;
    std::list<FakeDocument> made;

    bool openURL(const QUrl &url) override
    {
        return log << "open " + url.toString(QUrl::FullyEncoded), succeeds;
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
        FakeDocument &d = made.emplace_back();
        d.doc = TWMapsDoc::create(), d.file = file, d.log = &log;
        d.doc->addMap(TWMap::create(d.doc.get()), true);
        return &d;
    }
};

// Two maps: "root" with a, b (below it, collapsed, "twin") and "twin"; "second" with "twin".
class FollowTest : public BranchFixture
{
protected:
    FollowTest()
    {
        child(root, 100, "a");
        auto b = child(root, 200, "b");
        child(b, 200, "twin", 650);
        b->setChildrenHidden(true);
        child(root, 300, "twin");
        second = TWMap::create(document.get());
        document->addMap(second, false);
        auto add = [&](TWMapBranch *parent, const char *name) {
            auto branch = TWMapBranch::createWithGraphic(
                TWGraphic::createWithBounds({parent ? 100.f : 0.f, 0, 60, 20}), parent,
                second.get());
            branch->enclosedTextArea()->setString(name);
            return branch;
        };
        second->setRoot(add(nullptr, "second"));
        add(second->root().get(), "twin");
        activeDocument.doc = document, activeDocument.log = &desktop.log;
        activeDocument.file = tempDir.filePath("doc.tweb");
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
    QString write(const QString &name, const QByteArray &data = {}, bool executable = false)
    {
        QFile f(tempDir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(data) == data.size());
        EXPECT_TRUE(!executable || f.setPermissions(f.permissions() | QFile::ExeOwner));
        return f.fileName();
    }
    QString firstAlert() const { return alerts.alerts().value(0).title; }
    // "parent/name" of the one selected branch.
    QString selectedName(const TWMap &m) const
    {
        if (m.countOfSelectedGraphics() != 1)
            return "-";
        const TWMapBranch *branch = m.selectedGraphics()[0]->branch();
        return (branch->parent() ? nameOf(*branch->parent()) + "/" : "") + nameOf(*branch);
    }

    std::shared_ptr<TWMap> second;
    RecordingAlerts alerts;
    Alerts::Scope alertsScope{&alerts};
    FakeDesktop desktop;
    TWLinkServices services{&desktop, &desktop, &desktop};
    FakeDocument activeDocument;
    // A document opened or made for a link stops all text editing before it is searched or loaded.
    ObserverToken stops = NotificationCenter::defaultCenter().observe(
        TWTextArea::StopAllTextEditingNotification, nullptr,
        [this](const Notification &) { desktop.log << "stop"; });
};

TEST_F(FollowTest, EachKindOpensOnlyWhatIsSafeAndAsksBeforeTheRest)
{
    const QString notes = write("notes.txt"), tool = write("tool", {}, true);
    const QString script = write("run.sh");
    const QString A1 = "Unable to follow link.", ask = "Open this link?";
    const QString askFile = "Open this file?", A6 = "Unknown hyperlink type.";
    // Kind, address, title, answer to the first alert, what was asked of the desktop, the alert.
    const std::tuple<int, QString, QString, int, QString, QString> cases[] = {
        {2,
         "https://example.org/a b%20c\u00fc",
         {},
         0,
         "open https://example.org/a%20b%20c%C3%BC",
         ""},
        {2, "www.example.org", {}, 0, "", A1},
        {2, "ftp://example.org/x", {}, 0, "", ask},
        {2, "ftp://example.org/x", {}, 1, "open ftp://example.org/x", ask},
        {2, "file://" + tool, {}, 1, "reveal " + tool, A1},
        {5, "ann@example.org", "Hi", 0, "open mailto:ann@example.org?Subject=Hi", ""},
        {5, "ann@example.org?attach=/etc/passwd", {}, 0, "", ask},
        {1, notes, {}, 1, "open file://" + notes, askFile},
        {1, "./notes.txt", {}, 1, "open file://" + notes, askFile},
        {1, tool, {}, 1, "reveal " + tool, A1},
        {1, script, {}, 0, "", A1},
        {0, "x", {}, 0, "", A6},
    };
    for (const auto &[type, url, arg, answer, log, alert] : cases) {
        SCOPED_TRACE(url.toStdString());
        EXPECT_EQ(follow(type, url, arg, answer), log);
        EXPECT_EQ(firstAlert(), alert);
    }

    // Relative paths stay as written in an untitled document; failures name the link.
    activeDocument.file.clear();
    follow(1, "./notes.txt");
    EXPECT_EQ(alerts.alerts().value(0).message,
              "The link to ./notes.txt could not be found. Please check that the file is still "
              "there and you have access to it.");
    EXPECT_EQ(alerts.alerts().value(0).buttons, QStringList{"OK"});
    desktop.succeeds = false;
    follow(5, "bob@example.org");
    EXPECT_EQ(alerts.alerts().value(0).message,
              "The link to mailto:bob@example.org could not be found.");
}

TEST_F(FollowTest, FindsTheFirstBranchByTitleAcrossMaps)
{
    // Title, current map, selected branch, what the canvas was asked, the alert's message.
    const std::tuple<QString, int, QString, QString, QString> cases[] = {
        // Root of the second map: scrolled so that its centre is in the middle.
        {"second", 1, "second", "scroll -70 -35", ""},
        // Map order first, then pre-order: the (collapsed) twin below "b" wins.
        {"twin", 0, "b/twin", "center", ""},
        {"Twin", 0, "-", "",
         "There is no branch with a title Twin in the document. Please check the spelling and "
         "adjust the link settings."},
        {" \n\t", 0, "-", "", ""},
    };
    for (const auto &[title, currentMap, selected, canvas, alert] : cases) {
        SCOPED_TRACE(title.toStdString());
        document->setCurrentMapNumber(0);
        map->removeAllSelectedGraphics();
        desktop.log.clear();
        alerts.clear();
        TWHyperlink::tryToFindString(title, activeDocument);
        EXPECT_EQ(document->currentMapNumber(), currentMap);
        EXPECT_EQ(selectedName(*document->currentMap()), selected);
        EXPECT_EQ(desktop.log.join(","), canvas);
        EXPECT_EQ(alerts.alerts().value(0).message, alert);
    }
}

TEST_F(FollowTest, MapDocumentFilesAreFoundOpenedOrMade)
{
    const QString other = tempDir.filePath("other.tweb");
    const QString A3 = "Unable to create document.";
    // Address, whether documents can be made and opened, the log, the alert.
    const std::tuple<QString, bool, QString, QString> cases[] = {
        {"", true, "center", ""},
        {"<new>", true, "untitled", ""},
        {"<NEW>", false, "untitled", A3},
        {"./doc.tweb", true, "front " + activeDocument.file + ",center", ""},
        {other, true, "open " + other + ",stop",
         "Unable to find required branch in Thinkweb document."},
        {other, false, "open " + other, A3},
    };
    for (const auto &[url, succeeds, log, alert] : cases) {
        SCOPED_TRACE(url.toStdString());
        desktop.succeeds = succeeds;
        EXPECT_EQ(follow(4, url, "twin"), log);
        EXPECT_EQ(firstAlert(), alert);
    }
}

TEST_F(FollowTest, MapDocumentsAtAnAddressAreFetchedAndLoaded)
{
    const QString fileURL = QUrl::fromLocalFile(write("local.tweb", "local bytes")).toString();
    const QString A2 = "Unable to open URL.", http = "http://example.org/m.tweb";
    // Address, answer to the first alert, the answer to the pending fetch, whether documents
    // can be made, the log, the alert.
    const std::tuple<QString, int, std::optional<QByteArray>, bool, QString, QString> cases[] = {
        {http, 0, "good", true, "fetch " + http + ",untitled,stop,load good", ""},
        {http, 0, "", true, "fetch " + http, A2},
        {http, 0, "bad", true, "fetch " + http + ",untitled,stop,load bad",
         "Unable to load Thinkweb document."},
        {http, 0, "good", false, "fetch " + http + ",untitled", "Unable to create document."},
        {"ftp://example.org/m.tweb", 0, {}, true, "", A2},
        {fileURL, 0, {}, true, "", "Load this local file?"},
        {fileURL, 1, {}, true, "untitled,stop,load local bytes", "Load this local file?"},
    };
    for (const auto &[url, answer, fetched, succeeds, log, alert] : cases) {
        SCOPED_TRACE(url.toStdString());
        desktop.succeeds = succeeds;
        desktop.pending = nullptr;
        follow(3, url, " ", answer);
        ASSERT_EQ(bool(desktop.pending), fetched.has_value());
        if (fetched) {
            EXPECT_EQ(desktop.log.size(), 1); // nothing happens before the answer
            desktop.pending(*fetched);
        }
        EXPECT_EQ(desktop.log.join(","), log);
        EXPECT_EQ(firstAlert(), alert);
    }
}

TEST(NetworkDocumentFetcherTest, FetchesOverHttpWithinTheLimits)
{
    // What a local server answers (nothing: it stays silent), and what the fetch gives.
    const QList<std::pair<QByteArray, QByteArray>> cases = {
        {"200 OK\r\nContent-Length: 8\r\n\r\nmap data", "map data"},
        {"404 Not Found\r\nContent-Length: 8\r\n\r\nmap data", ""},
        {"", ""},
        {"200 OK\r\nContent-Length: 2000\r\n\r\n" + QByteArray(2000, 'x'), ""},
    };
    for (const auto &[answer, expected] : cases) {
        SCOPED_TRACE(answer.left(20).toStdString());
        QTcpServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
        QObject::connect(&server, &QTcpServer::newConnection, [&server, answer] {
            QTcpSocket *socket = server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, answer] {
                socket->readAll();
                if (!answer.isEmpty())
                    socket->write("HTTP/1.1 " + answer);
            });
        });
        NetworkDocumentFetcher fetcher;
        fetcher.setTimeoutMs(300);
        fetcher.setMaxSize(1024);
        std::optional<QByteArray> result;
        fetcher.fetch(QUrl(QStringLiteral("http://127.0.0.1:%1/m.tweb").arg(server.serverPort())),
                      [&](const QByteArray &data) { result = data; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 60000));
        EXPECT_EQ(result.value_or("unanswered"), expected);
    }
}

} // namespace
