#include "ApplicationTestSupport.h"
#include "application/LinkBackRegistry.h"

#include <QSet>

namespace {

// One side of a link that writes down what it hears.
struct RecordingDelegate : LinkBackDelegate
{
    void linkBackClientDidRequestEdit(LinkBack *link) override
    {
        heard << "request " + link->sourceName() + " " + link->itemKey();
        lastLink = link;
    }
    void linkBackServerDidSendEdit(LinkBack *link) override
    {
        heard << "edit " + link->pasteboard().data("application/pdf");
        lastLink = link;
    }
    void linkBackDidClose(LinkBack *link) override
    {
        heard << "close";
        lastLink = link;
    }
    QStringList heard;
    LinkBack *lastLink = nullptr;
};

class LinkBackTest : public ::testing::Test
{
protected:
    void TearDown() override { LinkBackRegistry::shared().retractServer("TestServer"); }
    RecordingDelegate server;
    RecordingDelegate client;
};

} // namespace

TEST_F(LinkBackTest, ClientAndServerTalkOverOneLink)
{
    const QVariantMap data =
        LinkBackData::linkBackDataWithServerName("TestServer", QVariantMap{{"map", "bytes"}});
    // Nobody serves that name yet.
    EXPECT_EQ(LinkBack::editLinkBackData(data, "Report", &client, "key-1"), nullptr);

    ASSERT_TRUE(LinkBack::publishServerWithName("TestServer", &server));
    EXPECT_TRUE(LinkBack::publishServerWithName("TestServer", &server)); // again: fine
    RecordingDelegate other;
    EXPECT_FALSE(LinkBack::publishServerWithName("TestServer", &other));

    const std::shared_ptr<LinkBack> link =
        LinkBack::editLinkBackData(data, "Report", &client, "key-1");
    ASSERT_TRUE(link);
    EXPECT_EQ(server.heard, QStringList{"request Report key-1"});
    LinkBack *serverEnd = server.lastLink;
    ASSERT_TRUE(serverEnd);
    EXPECT_EQ(LinkBackData::linkBackAppData(
                  serverEnd->pasteboard().propertyList(LinkBackPboardType).toMap()),
              QVariant(QVariantMap{{"map", "bytes"}}));
    EXPECT_EQ(LinkBackRegistry::shared().openLinkCount(), 2);

    // The server answers with a picture and its data; the client hears it.
    const int before = serverEnd->pasteboard().changeCount();
    serverEnd->setRepresentedObject(42);
    serverEnd->pasteboard().declareTypes({"application/pdf", LinkBackPboardType});
    serverEnd->pasteboard().setData("%PDF", "application/pdf");
    EXPECT_GT(serverEnd->pasteboard().changeCount(), before);
    serverEnd->sendEdit();
    EXPECT_EQ(client.heard, QStringList{"edit %PDF"});
    EXPECT_EQ(client.lastLink, link.get());
    EXPECT_EQ(link->itemKey(), "key-1");
    EXPECT_FALSE(link->representedObject().isValid()); // each end has its own

    // Closing tells the other side once; a closed link sends nothing.
    link->closeLink();
    link->closeLink();
    EXPECT_EQ(server.heard.last(), "close");
    EXPECT_EQ(server.heard.size(), 2);
    EXPECT_EQ(LinkBackRegistry::shared().openLinkCount(), 0);
    link->sendEdit();
    EXPECT_EQ(client.heard.size(), 1);

    // A server that goes away ends its links.
    const std::shared_ptr<LinkBack> again =
        LinkBack::editLinkBackData(data, "Report", &client, "k");
    ASSERT_TRUE(again);
    LinkBackRegistry::shared().retractServer("TestServer");
    EXPECT_EQ(client.heard.last(), "close");
    EXPECT_EQ(LinkBackRegistry::shared().openLinkCount(), 0);
    EXPECT_EQ(LinkBack::editLinkBackData(data, "Report", &client, "k"), nullptr);
}

TEST_F(LinkBackTest, AnItemAskedForAgainWhileOpenKeepsItsLink)
{
    ASSERT_TRUE(LinkBack::publishServerWithName("TestServer", &server));
    const QVariantMap data = LinkBackData::linkBackDataWithServerName("TestServer", 1);
    RecordingDelegate otherClient;
    const std::shared_ptr<LinkBack> open = LinkBack::editLinkBackData(data, "Report", &client, "k");
    ASSERT_TRUE(open);
    LinkBack *serverEnd = server.lastLink;
    struct Case
    {
        const char *name;
        LinkBackDelegate *client;
        QString key;
        bool sameLink;
    };
    const Case cases[] = {
        {"the same item from the same client", &client, "k", true},
        {"another item", &client, "k2", false},
        {"the same key from another client", &otherClient, "k", false},
        {"no key", &client, "", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        server.heard.clear();
        const std::shared_ptr<LinkBack> again =
            LinkBack::editLinkBackData(data, "Report", c.client, c.key);
        ASSERT_TRUE(again);
        // The server hears every request, on the item's own link when open.
        EXPECT_EQ(server.heard, QStringList{"request Report " + c.key});
        EXPECT_EQ(again == open, c.sameLink);
        EXPECT_EQ(server.lastLink == serverEnd, c.sameLink);
        EXPECT_EQ(LinkBackRegistry::shared().openLinkCount(), c.sameLink ? 2 : 4);
        if (!c.sameLink)
            again->closeLink();
    }
    // A closed link is not asked again.
    open->closeLink();
    const std::shared_ptr<LinkBack> fresh = LinkBack::editLinkBackData(data, "Report", &client, "k");
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh, open);
    EXPECT_EQ(LinkBackRegistry::shared().openLinkCount(), 2);
    fresh->closeLink();
}

TEST_F(LinkBackTest, DataHelpers)
{
    const QVariantMap data = LinkBackData::linkBackDataWithServerName("TestServer", 7);
    EXPECT_EQ(LinkBackData::linkBackAppData(data), QVariant(7));
    EXPECT_FALSE(LinkBackData::linkBackEditMenuTitle(data).isEmpty());
    EXPECT_EQ(LinkBackData::linkBackEditMenuTitle({}), LinkBackEditNoneMenuTitle());
    EXPECT_NE(LinkBackEditNoneMenuTitle(), LinkBackEditMultipleMenuTitle());
    QSet<QString> keys;
    for (int i = 0; i < 100; ++i)
        keys.insert(LinkBackUniqueItemKey());
    EXPECT_EQ(keys.size(), 100);
}

TEST_F(ApplicationTest, TheApplicationServesLinkBackAndClosesTheDocumentOfAClosedLink)
{
    TWApplication &a = start();
    a.applicationDidFinishLaunching();
    EXPECT_EQ(LinkBackRegistry::shared().server(TWApplication::LinkBackServerName), &a);
    RecordingDelegate client;
    const std::shared_ptr<LinkBack> link = LinkBack::editLinkBackData(
        LinkBackData::linkBackDataWithServerName(TWApplication::LinkBackServerName, QVariant()),
        "Report", &client, "key");
    ASSERT_TRUE(link);
    link->closeLink();

    // A link of another server stands in for the application's own end.
    RecordingDelegate server;
    ASSERT_TRUE(LinkBack::publishServerWithName("TestServer", &server));
    const std::shared_ptr<LinkBack> other = LinkBack::editLinkBackData(
        LinkBackData::linkBackDataWithServerName("TestServer", QVariant()), "Report", &client, "k");
    ASSERT_TRUE(server.lastLink);
    FakeDocument document;
    server.lastLink->setRepresentedObject(QVariant::fromValue<QObject *>(&document));
    a.linkBackDidClose(server.lastLink);
    EXPECT_EQ(document.closes, 1);
    server.lastLink->setRepresentedObject(QVariant());
    a.linkBackDidClose(server.lastLink); // nobody to close
    EXPECT_EQ(document.closes, 1);
    other->closeLink();
    LinkBackRegistry::shared().retractServer("TestServer");
}
