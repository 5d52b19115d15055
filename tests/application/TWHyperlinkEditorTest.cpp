#include "../../bench/BranchDocumentGenerator.h"
#include "ApplicationTestSupport.h"
#include "TestSupport.h"
#include "application/DocumentController.h"
#include "application/TWDocument.h"
#include "model/TWHyperlink.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "palettes/TWHyperlinkEditor.h"
#include "palettes/TWHyperlinkTableView.h"
#include "platform/NotificationQueue.h"
#include "platform/RecordingAlerts.h"
#include "platform/UndoManager.h"
#include "support/Image.h"

#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <optional>

namespace {

// The links of a list in memory.
class ListHyperlinks : public TWHyperlinkArrayController
{
public:
    LinkList arrangedObjects() const override { return links; }
    void addObject(const std::shared_ptr<TWHyperlink> &link) override
    {
        links.append(link);
        rearrangeObjects();
    }
    LinkList links;
};

struct Made
{
    int kind;
    QString url;
    friend bool operator==(const Made &, const Made &) = default;
    friend std::ostream &operator<<(std::ostream &out, const Made &m)
    {
        return out << m.kind << " " << m.url.toStdString();
    }
};

class HyperlinkEditorTest : public ApplicationTest
{
protected:
    void SetUp() override
    {
        ApplicationTest::SetUp();
        start();
        table = std::make_unique<TWHyperlinkTableView>();
        table->setHyperlinkArrayController(&links);
        editor().setURLGetter([this](const std::optional<QString> &url) {
            askedURLs << url.value_or(QStringLiteral("<none>"));
            std::optional<QString> answer;
            if (!urlAnswers.isEmpty())
                answer = urlAnswers.takeFirst();
            return answer;
        });
    }
    void TearDown() override
    {
        table.reset();
        // Windows go before the application object.
        delete &editor();
    }

    static TWHyperlinkEditor &editor() { return TWHyperlinkEditor::sharedEditor(); }

    QList<Made> made() const
    {
        QList<Made> list;
        for (const auto &link : links.links)
            list.append({link->linkType(), link->linkURL().value_or(QString())});
        return list;
    }
    QString writeFile(const QString &name, const QByteArray &contents)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return file.fileName();
    }
    void select(int row)
    {
        table->selectionModel()->clearSelection();
        table->selectRow(row);
    }

    RecordingAlerts alerts;
    Alerts::Scope alertsScope{&alerts};
    ListHyperlinks links;
    std::unique_ptr<TWHyperlinkTableView> table;
    QList<std::optional<QString>> urlAnswers;
    QStringList askedURLs;
};

TEST_F(HyperlinkEditorTest, DropsMakeLinksOfTheirKind)
{
    const QString card = writeFile(
        "ann.vcf", "BEGIN:VCARD\r\nEMAIL:a@x.org\r\nEMAIL;TYPE=pref:ann@x.org\r\nEND:VCARD\r\n");
    const QString loudCard =
        writeFile("BOB.VCF", "BEGIN:VCARD\r\nEMAIL:bob@x.org\r\nEND:VCARD\r\n");
    const QString noMail = writeFile("nobody.vcf", "BEGIN:VCARD\r\nTEL:1\r\nEND:VCARD\r\n");
    const QString map = dir.filePath("A.TWEB");
    const QString text = dir.filePath("notes.txt");
    struct Case
    {
        const char *name;
        QList<QUrl> urls;
        QList<Made> expected;
        bool mailPanel = false;
    };
    const Case cases[] = {
        {"map file in capitals", {QUrl::fromLocalFile(map)}, {{4, map}}},
        {"other file", {QUrl::fromLocalFile(text)}, {{1, text}}},
        {"card with a primary address", {QUrl::fromLocalFile(card)}, {{5, "ann@x.org"}}, true},
        {"card extension in capitals", {QUrl::fromLocalFile(loudCard)}, {{5, "bob@x.org"}}, true},
        {"card without an address", {QUrl::fromLocalFile(noMail)}, {}},
        {"map address",
         {QUrl("https://maps.example.org/plans/Q3.tweb")},
         {{3, "https://maps.example.org/plans/Q3.tweb"}}},
        {"map address with a query",
         {QUrl("http://h.example.org/Q3.TWEB?rev=2")},
         {{3, "http://h.example.org/Q3.TWEB?rev=2"}}},
        {"web address",
         {QUrl("https://www.example.org/index.html")},
         {{2, "https://www.example.org/index.html"}}},
        {"several in order",
         {QUrl::fromLocalFile(text), QUrl("https://www.example.org/"), QUrl::fromLocalFile(map)},
         {{1, text}, {2, "https://www.example.org/"}, {4, map}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        links.links.clear();
        links.rearrangeObjects();
        editor().closeAllPanels();
        QMimeData data;
        data.setUrls(c.urls);
        ASSERT_TRUE(TWHyperlinkTableView::acceptsDrag(&data));
        EXPECT_EQ(table->concludeDragOperation(&data), c.expected.size());
        EXPECT_EQ(made(), c.expected);
        EXPECT_EQ(editor().visiblePanel(), c.mailPanel ? editor().emailPanel() : nullptr);
        if (c.mailPanel) {
            EXPECT_EQ(editor().hyperlink(), links.links.last());
        }
    }
}

TEST_F(HyperlinkEditorTest, CardDataAndUnsupportedDrags)
{
    QMimeData card;
    card.setData("text/vcard", "BEGIN:VCARD\nEMAIL;PREF:c@x.org\nEND:VCARD\n");
    EXPECT_TRUE(TWHyperlinkTableView::acceptsDrag(&card));
    EXPECT_EQ(table->concludeDragOperation(&card), 1);
    EXPECT_EQ(made(), (QList<Made>{{5, "c@x.org"}}));

    QMimeData junkCard;
    junkCard.setData("text/x-vcard", "not a card");
    EXPECT_TRUE(TWHyperlinkTableView::acceptsDrag(&junkCard));
    EXPECT_EQ(table->concludeDragOperation(&junkCard), 0);

    QMimeData plain;
    plain.setText("https://www.example.org/");
    EXPECT_FALSE(TWHyperlinkTableView::acceptsDrag(&plain));
    EXPECT_FALSE(TWHyperlinkTableView::acceptsDrag(nullptr));
    EXPECT_EQ(TWHyperlinkTableView::supportedDragTypes().first(), QStringLiteral("text/uri-list"));
}

TEST_F(HyperlinkEditorTest, LinkFromTheAddMenuIsAddedOnlyWhenConfirmed)
{
    enum class Answer { OK, Cancel, Close };
    struct Case
    {
        int kind;
        Answer answer;
        std::optional<QString> url;
    };
    const Case cases[] = {
        {1, Answer::OK, "/home/ann/plan.pdf"},
        {1, Answer::Cancel, std::nullopt},
        {2, Answer::OK, "https://www.example.org/"},
        {2, Answer::Cancel, std::nullopt},
        {3, Answer::OK, std::nullopt},
        {3, Answer::Close, std::nullopt},
        {4, Answer::OK, std::nullopt},
        {4, Answer::Close, std::nullopt},
        {5, Answer::OK, std::nullopt},
        {5, Answer::Close, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " answer " << int(c.answer));
        links.links.clear();
        links.rearrangeObjects();
        if (c.kind == 1)
            alerts.queueOpenResponse(c.url ? QStringList{*c.url} : QStringList());
        if (c.kind == 2)
            urlAnswers << c.url;
        table->addHyperlink(c.kind);
        QDialog *panel = editor().visiblePanel();
        if (c.kind >= 3) {
            ASSERT_NE(panel, nullptr) << "the kind's panel is shown";
            EXPECT_TRUE(links.links.isEmpty()) << "nothing is added before OK";
            if (c.answer == Answer::OK)
                editor().ok(panel);
            else
                panel->reject();
            EXPECT_FALSE(panel->isVisible());
        } else {
            EXPECT_EQ(panel, nullptr);
        }
        const bool added = c.answer == Answer::OK;
        ASSERT_EQ(links.links.size(), added ? 1 : 0);
        if (added) {
            EXPECT_EQ(links.links.first()->linkType(), c.kind);
            EXPECT_EQ(links.links.first()->linkURL(), c.url);
        }
    }
    // A confirmation is not carried over to the next link edited.
    links.links.clear();
    table->addHyperlink(5);
    QDialog *mail = editor().visiblePanel();
    TWHyperlinkEditor::edit(std::make_shared<TWHyperlink>(3));
    editor().ok(editor().visiblePanel());
    editor().ok(mail);
    EXPECT_TRUE(links.links.isEmpty());
}

TEST_F(HyperlinkEditorTest, EditorShowsThePanelOfTheLinkKind)
{
    struct Case
    {
        int kind;
        QDialog *(TWHyperlinkEditor::*panel)() const;
    };
    const Case cases[] = {
        {3, &TWHyperlinkEditor::thinkwebURLPanel},
        {4, &TWHyperlinkEditor::thinkwebFilePanel},
        {5, &TWHyperlinkEditor::emailPanel},
        {0, nullptr},
        {9, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        auto link = std::make_shared<TWHyperlink>(3);
        link->setValueForKey(c.kind, "linkType");
        TWHyperlinkEditor::edit(link);
        EXPECT_EQ(editor().visiblePanel(), c.panel ? (editor().*c.panel)() : nullptr);
        EXPECT_EQ(link->linkType(), c.kind) << "an unknown kind is left alone";
    }
    TWHyperlinkEditor::edit(nullptr);
    EXPECT_EQ(editor().visiblePanel(), nullptr);

    // The panel's fields show and write the link's fields.
    auto mail = std::make_shared<TWHyperlink>(5, QString("ann@x.org"), QString("Hello"),
                                              std::nullopt, std::nullopt);
    TWHyperlinkEditor::edit(mail);
    QDialog *panel = editor().emailPanel();
    EXPECT_EQ(panel->findChild<QLineEdit *>("linkURL")->text(), "ann@x.org");
    EXPECT_EQ(panel->findChild<QLineEdit *>("linkArg")->text(), "Hello");
    panel->findChild<QLineEdit *>("linkArg")->setText("Minutes");
    panel->findChild<QPlainTextEdit *>("linkArg2")->setPlainText("See below.");
    EXPECT_EQ(mail->linkArg(), QString("Minutes"));
    EXPECT_EQ(mail->linkArg2(), QString("See below."));

    // Choosing a map file fills the file panel's field; cancelling keeps it.
    auto file = std::make_shared<TWHyperlink>(4);
    TWHyperlinkEditor::edit(file);
    alerts.queueOpenResponse({"/maps/B.tweb"});
    EXPECT_TRUE(editor().chooseTWFile());
    EXPECT_EQ(file->linkURL(), QString("/maps/B.tweb"));
    EXPECT_EQ(editor().thinkwebFilePanel()->findChild<QLineEdit *>("linkURL")->text(),
              "/maps/B.tweb");
    EXPECT_TRUE(alerts.openPanels().last().fileTypes.contains("tweb"));
    EXPECT_FALSE(editor().chooseTWFile());
    EXPECT_EQ(file->linkURL(), QString("/maps/B.tweb"));
}

TEST_F(HyperlinkEditorTest, TableEditsChangesAndDescribesTheSelectedLink)
{
    links.addObject(std::make_shared<TWHyperlink>(2, QString("https://a.example.org/"),
                                                  std::nullopt, std::nullopt, std::nullopt));
    links.addObject(std::make_shared<TWHyperlink>(4, QString("/maps/B.tweb"), std::nullopt,
                                                  std::nullopt, std::nullopt));
    EXPECT_EQ(table->toolTipForRow(0), "https://a.example.org/");
    EXPECT_EQ(table->toolTipForRow(1), "/maps/B.tweb");
    EXPECT_EQ(table->toolTipForRow(7), QString());

    // Nothing selected: nothing edited or changed.
    table->editSelectedHyperlink();
    table->changeSelectedHyperlink(5);
    EXPECT_EQ(editor().visiblePanel(), nullptr);
    EXPECT_EQ(made(), (QList<Made>{{2, "https://a.example.org/"}, {4, "/maps/B.tweb"}}));

    select(1);
    table->editSelectedHyperlink();
    EXPECT_EQ(editor().visiblePanel(), editor().thinkwebFilePanel());

    struct Case
    {
        int kind;
        QDialog *(TWHyperlinkEditor::*panel)() const;
    };
    const Case changes[] = {{5, &TWHyperlinkEditor::emailPanel},
                            {3, &TWHyperlinkEditor::thinkwebURLPanel},
                            {2, nullptr}};
    select(0);
    for (const Case &c : changes) {
        SCOPED_TRACE(c.kind);
        urlAnswers << std::optional<QString>("https://b.example.org/");
        table->changeSelectedHyperlink(c.kind);
        EXPECT_EQ(links.links.at(0)->linkType(), c.kind);
        EXPECT_EQ(editor().visiblePanel(), c.panel ? (editor().*c.panel)() : nullptr);
    }
    EXPECT_EQ(askedURLs, QStringList{"https://a.example.org/"})
        << "the address panel opened at once";
    EXPECT_EQ(links.links.at(0)->linkURL(), QString("https://b.example.org/"));
}

TEST_F(HyperlinkEditorTest, AddMenuNeverShowsACheckedItem)
{
    QList<int> kinds;
    for (QAction *item : table->addMenu()->actions()) {
        item->setChecked(true);
        kinds << item->data().toInt();
    }
    EXPECT_EQ(kinds, (QList<int>{1, 2, 3, 4, 5}));
    table->showHyperlinkAddMenu(table.get());
    for (QAction *item : table->addMenu()->actions())
        EXPECT_FALSE(item->isChecked()) << item->text().toStdString();
    table->addMenu()->close();
}

TEST_F(HyperlinkEditorTest, BranchListAddsThroughTheUndoableOperation)
{
    std::shared_ptr<TWMapsDoc> maps = BranchDocument::makeDocument(3);
    auto undo = std::make_shared<UndoManager>();
    maps->setUndoManager(undo);
    const std::shared_ptr<TWMapBranch> branch = maps->currentMap()->root();
    TWBranchHyperlinks branchLinks;
    branchLinks.setBranch(branch);
    table->setHyperlinkArrayController(&branchLinks);
    QMimeData data;
    data.setUrls({QUrl("https://www.example.org/"), QUrl("https://www.example.org/B.tweb")});
    EXPECT_EQ(table->concludeDragOperation(&data), 2);
    ASSERT_EQ(branch->countOfHyperlinks(), 2);
    EXPECT_EQ(branch->objectInHyperlinksAtIndex(1)->linkType(), 3);
    EXPECT_EQ(branchLinks.rowCount(), 2);
    undo->closeEventGroup();
    undo->undo();
    EXPECT_EQ(branch->countOfHyperlinks(), 0);

    // A branch that went away leaves an empty list that takes nothing.
    branchLinks.setBranch(nullptr);
    EXPECT_EQ(table->concludeDragOperation(&data), 0);
    table->setHyperlinkArrayController(&links);
    maps->detach();
}

TEST_F(HyperlinkEditorTest, PaletteShowsTheLinksOfTheOneSelectedBranch)
{
    TWDocumentController documents;
    documents.setShowsWindows(false);
    auto *document = static_cast<TWDocument *>(documents.newDocument());
    TWMap *map = document->mapsDocument()->currentMap().get();
    const std::shared_ptr<TWMapBranch> root = map->root();
    map->setSelectedBranch(root);
    const std::shared_ptr<TWMapBranch> child =
        map->publicCreateChildrenOfType(-1, QStringLiteral("child"), false).front();
    child->publicAddHyperlinkWithLinkType(2, QString("https://c.example.org/"), std::nullopt,
                                          std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                          0);
    TWHyperlinkPalette palette;
    palette.setDocument(document);
    struct Case
    {
        TWMap::BranchList selected;
        std::shared_ptr<TWMapBranch> shown;
    };
    const Case cases[] = {
        {{root}, root}, {{root, child}, nullptr}, {{child}, child}, {{}, nullptr}};
    for (const Case &c : cases) {
        map->setSelectedBranches(c.selected);
        NotificationQueue::defaultQueue().flush();
        EXPECT_EQ(palette.hyperlinks()->branch(), c.shown);
        EXPECT_EQ(palette.hyperlinks()->rowCount(), c.shown ? c.shown->countOfHyperlinks() : 0);
        EXPECT_EQ(palette.addButton()->isEnabled(), c.shown != nullptr);
    }

    // Links added, and taken away as undo takes them, show at once.
    map->setSelectedBranches({root});
    NotificationQueue::defaultQueue().flush();
    root->publicAddHyperlinkWithLinkType(5, QString("ann@x.org"), std::nullopt, std::nullopt,
                                         std::nullopt, std::nullopt, std::nullopt, 0);
    EXPECT_EQ(palette.tableView()->toolTipForRow(0), "ann@x.org");
    root->removeObjectFromHyperlinksAtIndex(0);
    EXPECT_EQ(palette.hyperlinks()->rowCount(), 0);
    document->close();
    TestSupport::runEventLoopPass();
}

} // namespace
