#include "DocumentTestSupport.h"
#include "application/LinkBackBus.h"
#include "application/LinkBackRegistry.h"
#include "application/TWMenuDispatcher.h"
#include "application/TWOutlineViewController.h"
#include "application/TWSaveProgress.h"
#include "canvas/SpellableTextView.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "interface/TWHyperlinkableTextView.h"
#include "mapdrawing/TWMapImages.h"
#include "model/PackageArchive.h"
#include "model/TWAttachedText.h"
#include "support/AttributedString.h"
#include "support/AttributedStringDocument.h"
#include "support/Font.h"
#include "support/LinkBackData.h"
#include "support/PropertyList.h"
#include "support/TextAttachment.h"

#include <QApplication>
#include <QBuffer>
#include <QDeadlineTimer>
#include <QFile>
#include <QImage>
#include <QMainWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QTextCursor>
#include <QMimeData>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <functional>

namespace {

// A small picture in the form other programs send edits back in.
QByteArray redTiff()
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray tiff;
    QBuffer buffer(&tiff);
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, "TIFF") ? tiff : QByteArray();
}

const QString ServerName = TWApplication::LinkBackServerName;

// The package of a generated map, as an embedding program keeps it.
QVariantMap embeddedPackage(int branches)
{
    std::shared_ptr<TWMapsDoc> maps = BranchDocument::makeDocument(branches);
    QVariantMap package;
    const QVariantMap entries = maps->generateSaveDictionary();
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        package.insert(it.key(), it.value().typeId() == QMetaType::QString
                                     ? it.value().toString().toUtf8()
                                     : it.value().toByteArray());
    maps->detach();
    return package;
}

int branchesIn(const QVariant &linkBackData)
{
    PackageData package;
    const QVariantMap entries = LinkBackData::linkBackAppData(linkBackData.toMap()).toMap();
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        package.insert(it.key(), it.value().toByteArray());
    std::shared_ptr<TWMapsDoc> maps = TWMapsDoc::createWithDictionary(package, false);
    const int count = maps && maps->currentMap() ? maps->currentMap()->branchCount() : -1;
    if (maps)
        maps->detach();
    return count;
}

// A server of another program that records the item keys it is asked to edit.
struct RecordingServer : LinkBackDelegate
{
    void linkBackClientDidRequestEdit(LinkBack *link) override
    {
        keys << link->itemKey();
        last = link;
    }
    void linkBackServerDidSendEdit(LinkBack *) override {}
    void linkBackDidClose(LinkBack *) override {}
    QStringList keys;
    LinkBack *last = nullptr;
};

// A link whose other side may or may not be listening.
struct FakeLink : LinkBack
{
    QVariant representedObject() const override { return represented; }
    void setRepresentedObject(const QVariant &object) override { represented = object; }
    LinkBackPasteboard &pasteboard() override { return board; }
    bool sendEdit() override
    {
        ++sends;
        return listening;
    }
    void closeLink() override { ++closes; }
    QString sourceName() const override { return "Report.doc"; }
    QString sourceApplicationName() const override { return "Writer"; }
    QString itemKey() const override { return "item-9"; }

    QVariant represented;
    LinkBackPasteboard board;
    bool listening = false;
    int sends = 0;
    int closes = 0;
};

class LinkBackDocumentTest : public ApplicationTest
{
protected:
    void SetUp() override
    {
        ApplicationTest::SetUp();
        documents = std::make_unique<TWDocumentController>();
        documents->setShowsWindows(false);
        ApplicationServices services = recordingServices();
        services.documentController = documents.get();
        start(Edition::Deluxe, services);
        ASSERT_TRUE(LinkBack::publishServerWithName(ServerName, app.get()));
        ASSERT_TRUE(LinkBack::publishServerWithName("OtherServer", &other));
    }
    void TearDown() override
    {
        // Closed documents are freed later; let that happen before the application goes.
        settle();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        documents.reset();
        LinkBackRegistry::shared().retractServer(ServerName);
        LinkBackRegistry::shared().retractServer("OtherServer");
        NotificationQueue::defaultQueue().flush();
    }

    TWDocument *newDocument()
    {
        auto *document = static_cast<TWDocument *>(documents->newDocument());
        // A new document starts typing its title; these tests edit elsewhere.
        NotificationCenter::defaultCenter().post(TWMapBranch::EndEditingTextNotification, nullptr);
        settle();
        return document;
    }
    void settle()
    {
        for (int i = 0; i < 3; ++i)
            TestSupport::runEventLoopPass();
        NotificationQueue::defaultQueue().flush();
    }
    TWMap &mapOf(TWDocument *d) { return *d->mapsDocument()->currentMap(); }
    // The other program sends an edited picture back, as at each of its saves.
    bool sendPictureBack(const QByteArray &tiff)
    {
        LinkBackPasteboard &board = other.last->pasteboard();
        board.declareTypes({});
        board.setData(tiff, TWDocument::LinkBackTIFFType);
        board.setPropertyList(LinkBackData::linkBackDataWithServerName("OtherServer", 2),
                              LinkBackPboardType);
        const bool sent = other.last->sendEdit();
        settle();
        return sent;
    }
    // Graphics of the first `count` first-level branches, selected in order.
    QList<std::shared_ptr<TWGraphic>> selectBranches(TWDocument *d, int count)
    {
        TWMap &map = mapOf(d);
        while (map.root()->children().size() < count)
            addChild(d);
        map.removeAllSelectedGraphics();
        QList<std::shared_ptr<TWGraphic>> graphics;
        for (int i = 0; i < count; ++i) {
            graphics << map.root()->children().at(i)->mainGraphic();
            map.insertObjectInSelectedGraphicsAtIndex(graphics.last(), i);
        }
        return graphics;
    }
    // A new first-level branch, as one closed undo step.
    void addChild(TWDocument *d)
    {
        TWMap &map = mapOf(d);
        const int before = int(map.root()->children().size());
        map.removeAllSelectedGraphics();
        map.insertObjectInSelectedGraphicsAtIndex(map.root()->mainGraphic(), 0);
        map.publicCreateChildrenOfType(-1, std::nullopt, false, Point(0, 0));
        settle();
        ASSERT_EQ(map.root()->children().size(), before + 1);
    }
    // The edit item's state for the current selection.
    std::pair<bool, QString> editItem(TWDocument *d)
    {
        TWMenuItem item;
        item.selector = "editLinkBackItems:";
        const bool enabled = d->validateMenuItem(item);
        return {enabled, item.title.value_or(QString())};
    }

    RecordingAlerts alerts;
    Alerts::Scope alertsScope{&alerts};
    RecordingServer other;
    // Outlives the documents that may hold it.
    FakeLink fakeLink;
    std::unique_ptr<TWDocumentController> documents;
};

} // namespace

TEST_F(LinkBackDocumentTest, MapEmbeddedInAMapMakesTheRoundTrip)
{
    TWDocument *source = newDocument();
    const std::shared_ptr<TWGraphic> graphic = selectBranches(source, 1).first();
    graphic->setLinkBackData(
        LinkBackData::linkBackDataWithServerName(ServerName, embeddedPackage(6)));
    EXPECT_EQ(editItem(source), std::make_pair(true, "Edit in " + app->applicationName()));

    source->editLinkBackItems();
    ASSERT_EQ(documents->documents().size(), 2);
    auto *editor = static_cast<TWDocument *>(documents->documents().last());
    ASSERT_NE(editor->linkBack(), nullptr);
    EXPECT_EQ(source->activeLinkCount(), 1);
    EXPECT_EQ(mapOf(editor).branchCount(), 6);
    EXPECT_EQ(editor->displayName(),
              "DadoZiz from " + source->displayName() + " (" + app->applicationName() + ")");
    // A second request for the item being edited opens nothing new, whether
    // it comes on the link or from the source asking again.
    app->linkBackClientDidRequestEdit(editor->linkBack());
    source->editLinkBackItems();
    EXPECT_EQ(documents->documents().size(), 2);
    EXPECT_EQ(source->activeLinkCount(), 1);
    EXPECT_EQ(LinkBackRegistry::shared().openLinkCount(), 2);

    // Saving sends the map back: no file, the history emptied, clean.
    addChild(editor);
    ASSERT_TRUE(editor->isDocumentEdited());
    ASSERT_TRUE(editor->undoManager()->canUndo());
    EXPECT_TRUE(editor->save());
    EXPECT_TRUE(editor->fileName().isEmpty());
    EXPECT_TRUE(alerts.savePanels().isEmpty());
    EXPECT_FALSE(editor->isDocumentEdited());
    EXPECT_EQ(editor->undoManager()->undoStepCount(), 0);
    EXPECT_FALSE(editor->undoManager()->canUndo());

    // The source's item now carries the edited map and its picture.
    EXPECT_EQ(branchesIn(graphic->linkBackData()), 7);
    ASSERT_TRUE(graphic->imageFilename());
    const std::optional<QByteArray> picture =
        source->mapsDocument()->objectForKeyInCachedData(*graphic->imageFilename());
    ASSERT_TRUE(picture);
    EXPECT_TRUE(picture->startsWith("%PDF"));
    EXPECT_NE(graphic->cachedImageRep(), nullptr);
    // The picture came in as one undoable step of the source.
    EXPECT_TRUE(source->undoManager()->canUndo());

    // Closing the editor ends the link; the source hears it.
    editor->close();
    EXPECT_EQ(source->activeLinkCount(), 0);
    EXPECT_EQ(LinkBackRegistry::shared().openLinkCount(), 0);

    // Ending the link from the source closes the editor.
    source->editLinkBackItems();
    ASSERT_EQ(documents->documents().size(), 2);
    source->closeActiveLinks();
    EXPECT_EQ(documents->documents().size(), 1);
    EXPECT_EQ(LinkBackRegistry::shared().openLinkCount(), 0);
}

TEST_F(LinkBackDocumentTest, DataWithoutAMapAreRefused)
{
    QVariantMap withoutContents = embeddedPackage(3);
    withoutContents.remove("Thinkweb/Contents.xml");
    QVariantMap garbage = embeddedPackage(3);
    garbage.insert("Thinkweb/Contents.xml", QByteArray("<not-a-map"));
    QVariantMap wrongValue = embeddedPackage(3);
    wrongValue.insert("Images/x.png", 42);
    const QVariant appData[] = {QVariant("text"), QVariant(QVariantMap()),
                                withoutContents,  garbage,
                                wrongValue,       QVariant(QVariantList{1, 2})};
    TWDocument *source = newDocument();
    const std::shared_ptr<TWGraphic> graphic = selectBranches(source, 1).first();
    for (const QVariant &data : appData) {
        graphic->setLinkBackData(LinkBackData::linkBackDataWithServerName(ServerName, data));
        EXPECT_FALSE(source->editLinkBackInGraphic(graphic));
        EXPECT_EQ(documents->documents().size(), 1);
        EXPECT_EQ(source->activeLinkCount(), 0);
        EXPECT_EQ(LinkBackRegistry::shared().openLinkCount(), 0);
    }
}

TEST_F(LinkBackDocumentTest, SelectedItemsAreSentLastFirstAndTheMenuSaysHowMany)
{
    TWDocument *source = newDocument();
    EXPECT_EQ(editItem(source), std::make_pair(false, LinkBackEditNoneMenuTitle()));
    const QList<std::shared_ptr<TWGraphic>> graphics = selectBranches(source, 3);
    EXPECT_EQ(editItem(source), std::make_pair(false, LinkBackEditNoneMenuTitle()));
    for (int i = 0; i < 3; ++i) {
        graphics[i]->setLinkBackData(LinkBackData::linkBackDataWithServerName("OtherServer", i));
        graphics[i]->setLinkBackItemKey(QStringLiteral("k%1").arg(i + 1));
    }
    EXPECT_EQ(editItem(source), std::make_pair(true, LinkBackEditMultipleMenuTitle()));
    source->editLinkBackItems();
    EXPECT_EQ(other.keys, QStringList({"k3", "k2", "k1"}));
    EXPECT_EQ(source->activeLinkCount(), 3);

    // One item: its own title; a server that is not here: disabled.
    selectBranches(source, 1);
    EXPECT_EQ(editItem(source), std::make_pair(true, LinkBackData::linkBackEditMenuTitle(
                                                         graphics[0]->linkBackData().toMap())));
    graphics[0]->setLinkBackData(LinkBackData::linkBackDataWithServerName("Elsewhere", 1));
    EXPECT_FALSE(editItem(source).first);
    EXPECT_FALSE(source->editLinkBackInGraphic(graphics[0]));
    EXPECT_EQ(other.keys.size(), 3);
}

TEST_F(LinkBackDocumentTest, EditedPicturesAreKeptInTheFormTheyCameIn)
{
    const QByteArray tiff = redTiff();
    ASSERT_FALSE(tiff.isEmpty());
    std::shared_ptr<TWMapsDoc> pictureMap = BranchDocument::makeDocument(2);
    const QByteArray pdf = TWMapImages::pdfDataForMap(*pictureMap->currentMap(), true);
    pictureMap->detach();
    ASSERT_TRUE(pdf.startsWith("%PDF"));

    struct Case
    {
        const char *name;
        bool pdf;
        bool tiff;
        bool linkBack;
        const char *stored; // "pdf", "tiff" or "" for the old picture
    };
    const Case cases[] = {
        {"PDF", true, false, true, "pdf"},
        {"TIFF only", false, true, true, "tiff"},
        {"both", true, true, true, "pdf"},
        {"picture without data", true, false, false, "pdf"},
        {"data without picture", false, false, true, ""},
    };
    TWDocument *source = newDocument();
    const std::shared_ptr<TWGraphic> graphic = selectBranches(source, 1).first();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        source->mapsDocument()->setObjectInCachedData(QByteArray("old"), "Images/item.pdf");
        graphic->setImageFilename(QString("Images/item.pdf"));
        const QVariantMap before = LinkBackData::linkBackDataWithServerName("OtherServer", 1);
        graphic->setLinkBackData(before);
        ASSERT_TRUE(source->editLinkBackInGraphic(graphic));
        LinkBack *server = other.last;
        server->pasteboard().declareTypes({});
        if (c.pdf)
            server->pasteboard().setData(pdf, TWDocument::LinkBackPDFType);
        if (c.tiff)
            server->pasteboard().setData(tiff, TWDocument::LinkBackTIFFType);
        const QVariantMap after = LinkBackData::linkBackDataWithServerName("OtherServer", 2);
        if (c.linkBack)
            server->pasteboard().setPropertyList(after, LinkBackPboardType);
        ASSERT_TRUE(server->sendEdit());
        const QByteArray stored =
            *source->mapsDocument()->objectForKeyInCachedData(*graphic->imageFilename());
        const QByteArray expected = QByteArray(c.stored) == "pdf"    ? pdf
                                    : QByteArray(c.stored) == "tiff" ? tiff
                                                                     : "old";
        EXPECT_EQ(stored, expected);
        EXPECT_EQ(graphic->linkBackData().toMap(), c.linkBack ? after : before);
        EXPECT_EQ(graphic->linkBackItemKey(), server->itemKey());
        source->closeActiveLinks();
    }

    const std::tuple<int, const char *, const char *> names[] = {
        {0, "pdf", "_00000000.pdf"},
        {0x1f, "tiff", "_0000001f.tiff"},
        {0x7fffffff, "pdf", "_7fffffff.pdf"},
    };
    for (const auto &[count, ext, name] : names)
        EXPECT_EQ(TWDocument::linkBackPictureName(count, ext), name);
}

// An edit that comes back while the document is being written goes in once
// the save is done: the file holds the picture as it was when the save began.
TEST_F(LinkBackDocumentTest, AnEditThatComesBackDuringASaveWaitsForItsEnd)
{
    const QByteArray tiff = redTiff();
    ASSERT_FALSE(tiff.isEmpty());
    TWDocument *source = newDocument();
    source->documentWindow()->show();
    const std::shared_ptr<TWGraphic> graphic = selectBranches(source, 1).first();
    source->mapsDocument()->setObjectInCachedData(QByteArray("old"), "Images/item.tiff");
    graphic->setImageFilename(QString("Images/item.tiff"));
    graphic->setLinkBackData(LinkBackData::linkBackDataWithServerName("OtherServer", 1));
    const QString path = dir.filePath("linked.tweb");
    ASSERT_EQ(source->writeToFile(path), TWFileIO::SaveSucceeded);
    source->setFileName(path);
    ASSERT_TRUE(source->editLinkBackInGraphic(graphic));
    settle();

    bool sent = false;
    QByteArray duringSave;
    TWSaveProgress::setReportHookForTesting([&sent] {
        if (!sent)
            QThread::msleep(300);
    });
    const auto hookGone = qScopeGuard([] { TWSaveProgress::setReportHookForTesting({}); });
    QMetaObject::invokeMethod(
        qApp,
        [&] {
            if (TWSaveProgress::runningSheet()) {
                LinkBackPasteboard &board = other.last->pasteboard();
                board.declareTypes({});
                board.setData(tiff, TWDocument::LinkBackTIFFType);
                EXPECT_TRUE(other.last->sendEdit());
                duringSave = *source->mapsDocument()->objectForKeyInCachedData("Images/item.tiff");
            }
            sent = true;
        },
        Qt::QueuedConnection);
    ASSERT_TRUE(source->save());
    EXPECT_EQ(duringSave, "old");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(PackageArchive::read(file)->value("Images/item.tiff"), "old");
    settle();
    EXPECT_EQ(*source->mapsDocument()->objectForKeyInCachedData(*graphic->imageFilename()), tiff);
    EXPECT_TRUE(source->isDocumentEdited());
    source->closeActiveLinks();
}

// A picture whose branch is deleted before its edit comes back: the user
// hears of it once, and the picture an undo may bring back holds the edit.
TEST_F(LinkBackDocumentTest, AnEditForADeletedPictureIsSaidOnceAndKept)
{
    const QByteArray tiff = redTiff();
    ASSERT_FALSE(tiff.isEmpty());
    TWDocument *source = newDocument();
    const std::shared_ptr<TWGraphic> graphic = selectBranches(source, 1).first();
    source->mapsDocument()->setObjectInCachedData(QByteArray("old"), "Images/item.tiff");
    graphic->setImageFilename(QString("Images/item.tiff"));
    graphic->setLinkBackData(LinkBackData::linkBackDataWithServerName("OtherServer", 1));
    ASSERT_TRUE(source->editLinkBackInGraphic(graphic));
    mapOf(source).publicDeleteSelectedBranches();
    settle();
    alerts.clear();
    for (int send = 0; send < 2; ++send)
        ASSERT_TRUE(sendPictureBack(tiff));
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_TRUE(alerts.alerts().first().message.contains(source->displayName()));
    EXPECT_EQ(*source->mapsDocument()->objectForKeyInCachedData(*graphic->imageFilename()),
              tiff);
    source->closeActiveLinks();
}

TEST_F(LinkBackDocumentTest, OnlyASendThatArrivedMakesTheEditorClean)
{
    // Save and the periodic autosave both send the map back over the link.
    struct Case
    {
        const char *name;
        std::function<void(TWDocument *)> save;
        int sendsOfACleanEditor; // Save always sends; autosave only changes
    };
    const Case cases[] = {
        {"Save", [](TWDocument *d) { d->save(); }, 1},
        {"autosave", [this](TWDocument *) { app->autoSaveDocuments(); }, 0},
    };
    // A document of the user's own, untitled and changed, that no autosave
    // may ask a place for.
    addChild(newDocument());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FakeLink link;
        TWDocument *editor = newDocument();
        editor->setLinkBack(&link);
        EXPECT_EQ(link.represented.value<QObject *>(), editor);
        EXPECT_EQ(editor->displayName(), "DadoZiz from Report.doc (Writer)");
        selectBranches(editor, 2);
        ASSERT_TRUE(editor->isDocumentEdited());
        const int steps = editor->undoManager()->undoStepCount();
        ASSERT_GT(steps, 0);

        // Nobody heard it: the changes and their history stay.
        c.save(editor);
        EXPECT_EQ(link.sends, 1);
        EXPECT_TRUE(editor->isDocumentEdited());
        EXPECT_EQ(editor->undoManager()->undoStepCount(), steps);

        link.listening = true;
        c.save(editor);
        EXPECT_EQ(link.sends, 2);
        EXPECT_FALSE(editor->isDocumentEdited());
        // The other program holds this version now; the history went with it.
        EXPECT_EQ(editor->undoManager()->undoStepCount(), 0);
        EXPECT_FALSE(editor->undoManager()->canUndo());
        EXPECT_EQ(link.board.types(),
                  QStringList({TWDocument::LinkBackPDFType, LinkBackPboardType}));
        EXPECT_TRUE(link.board.data(TWDocument::LinkBackPDFType).startsWith("%PDF"));
        EXPECT_EQ(
            LinkBackData::linkBackServerName(link.board.propertyList(LinkBackPboardType).toMap()),
            ServerName);
        EXPECT_EQ(branchesIn(link.board.propertyList(LinkBackPboardType)), 3);

        c.save(editor);
        EXPECT_EQ(link.sends, 2 + c.sendsOfACleanEditor);
        EXPECT_TRUE(alerts.savePanels().isEmpty());

        // Closing the document ends its link once.
        editor->close();
        EXPECT_EQ(link.closes, 1);
        EXPECT_FALSE(link.represented.isValid());
    }
}

TEST_F(LinkBackDocumentTest, EditedTextAttachmentsAreReplacedInTheNotes)
{
    TWDocument *source = newDocument();
    const std::shared_ptr<TWGraphic> graphic = selectBranches(source, 1).first();
    TWMapBranch *branch = graphic->branch();
    const TextAttachment original = TextAttachment::linkBackAttachment(
        TextAttachment::FileWrapper::regularFile("old"),
        LinkBackData::linkBackDataWithServerName("OtherServer", 1), "att-1");
    AttributedString notes(QStringLiteral("see \uFFFC here"));
    notes.addAttribute(NSAttachmentAttributeName, QVariant::fromValue(original), {4, 1});
    branch->setPrimaryAttachedText(std::make_shared<const AttributedString>(notes));
    const auto attachment = [branch] {
        const auto text = branch->attachedTextArray().first()->text();
        return text->attribute(NSAttachmentAttributeName, 4).value<TextAttachment>();
    };
    ASSERT_TRUE(source->editLinkBackInTextAttachment(original));
    EXPECT_EQ(other.keys.last(), "att-1");

    struct Case
    {
        const char *name;
        QByteArray pdf;
        QByteArray tiff;
        bool data;
        const char *ext; // "" when the attachment must stay
    };
    const Case cases[] = {
        {"pdf", "%PDF-1 new", "", true, "pdf"},
        {"tiff", "", "II*tiff", true, "tiff"},
        {"no data", "%PDF-1 other", "", false, ""},
        {"no picture", "", "", true, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const TextAttachment before = attachment();
        LinkBackPasteboard &board = other.last->pasteboard();
        board.declareTypes({});
        if (!c.pdf.isEmpty())
            board.setData(c.pdf, TWDocument::LinkBackPDFType);
        if (!c.tiff.isEmpty())
            board.setData(c.tiff, TWDocument::LinkBackTIFFType);
        const QVariantMap data = LinkBackData::linkBackDataWithServerName("OtherServer", c.name);
        if (c.data)
            board.setPropertyList(data, LinkBackPboardType);
        ASSERT_TRUE(other.last->sendEdit());
        const TextAttachment after = attachment();
        if (!*c.ext) {
            EXPECT_EQ(after, before);
            continue;
        }
        EXPECT_EQ(after.fileWrapper()->regularFileContents, c.pdf.isEmpty() ? c.tiff : c.pdf);
        EXPECT_EQ(after.fileWrapper()->preferredFilename,
                  TWDocument::linkBackPictureName(board.changeCount(), c.ext));
        EXPECT_NE(after.fileWrapper()->preferredFilename, before.fileWrapper()->preferredFilename);
        EXPECT_EQ(after.linkBackData().toMap(), data);
        EXPECT_EQ(after.linkBackItemKey(), "att-1");
        EXPECT_EQ(branch->attachedTextArray().first()->text()->string(), "see \uFFFC here");
    }
}

TEST_F(LinkBackDocumentTest, EditedPicturesComeBackWhereverTheItemIsAndAreUndoable)
{
    enum class Gone { No, Retyped, BranchDeleted };
    struct Case
    {
        const char *name;
        bool inLabel, inNotes;
        bool editing; // the label is open in the canvas's editor
        Gone gone;
    };
    const Case cases[] = {
        {"label", true, false, false, Gone::No},
        {"label being edited", true, false, true, Gone::No},
        {"notes", false, true, false, Gone::No},
        {"label and notes at once", true, true, false, Gone::No},
        {"label retyped without it", true, false, true, Gone::Retyped},
        {"notes retyped without it", false, true, false, Gone::Retyped},
        {"branch deleted", true, true, false, Gone::BranchDeleted},
    };
    const TextAttachment original = TextAttachment::linkBackAttachment(
        TextAttachment::FileWrapper::regularFile("old"),
        LinkBackData::linkBackDataWithServerName("OtherServer", 1), "att-1");
    AttributedString text(QStringLiteral("see \uFFFC here"));
    text.addAttribute(NSFontAttributeName, QVariant::fromValue(Font("Helvetica-Bold", 18)),
                      {0, text.length()});
    text.addAttribute(NSAttachmentAttributeName, QVariant::fromValue(original), {4, 1});
    // The picture at 4, and whether the rest of the text and its font stayed.
    const auto pictureIn = [&text](const AttributedString &t) -> QByteArray {
        const TextAttachment a = t.attribute(NSAttachmentAttributeName, 4).value<TextAttachment>();
        const bool kept =
            t.string() == text.string() &&
            t.attribute(NSFontAttributeName, 4).value<Font>().fontName() == "Helvetica-Bold";
        return !kept ? "text changed" : a.fileWrapper()->regularFileContents.value_or("");
    };

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TWDocument *source = newDocument();
        if (c.editing)
            source->showWindows();
        TWMapBranch *branch = selectBranches(source, 1).first()->branch();
        branch->enclosedTextArea()->setText(c.inLabel ? text : AttributedString("label"));
        branch->setPrimaryAttachedText(
            std::make_shared<const AttributedString>(c.inNotes ? text : AttributedString("notes")));
        // Where the picture is expected, as the model and the open editor hold it.
        TWGraphicView *canvas = source->graphicView();
        const auto pictures = [&] {
            QList<QByteArray> found;
            if (c.inLabel)
                found << pictureIn(branch->enclosedTextArea()->text());
            if (c.inNotes)
                found << pictureIn(*branch->primaryAttachedText());
            if (c.editing)
                found << pictureIn(canvas->editorView()->attributedString());
            return found;
        };
        if (c.editing)
            canvas->startEditingSelectedBranch();
        settle();
        ASSERT_TRUE(source->editLinkBackInTextAttachment(original));
        if (c.gone == Gone::Retyped && c.editing)
            canvas->editorView()->setPlainText("retyped");
        else if (c.gone == Gone::Retyped)
            branch->setPrimaryAttachedText(std::make_shared<const AttributedString>("retyped"));
        else if (c.gone == Gone::BranchDeleted)
            mapOf(source).publicDeleteSelectedBranches();
        settle();
        // Undo reaches no further back than the edits that come back.
        source->undoManager()->removeAllActions();
        const int changes = source->changeCount();
        alerts.clear();

        // The other program may send at each of its saves.
        for (const QByteArray &tiff : {QByteArray("II*edited"), QByteArray("II*again")})
            ASSERT_TRUE(sendPictureBack(tiff));
        if (c.gone != Gone::No) {
            // Told once, naming the document; nothing changed.
            EXPECT_EQ(alerts.alerts().size(), 1);
            for (const RecordingAlerts::Alert &alert : alerts.alerts())
                EXPECT_TRUE(alert.message.contains(source->displayName()));
            EXPECT_EQ(source->changeCount(), changes);
            source->closeActiveLinks();
            continue;
        }
        EXPECT_TRUE(alerts.alerts().isEmpty());
        EXPECT_EQ(source->changeCount(), changes + 2);
        EXPECT_EQ(source->undoManager()->undoActionName(), "Text Editing");
        EXPECT_TRUE(std::ranges::all_of(pictures(), [](auto &p) { return p == "II*again"; }));
        // Each send is one step: the first undo brings the first edit back.
        source->undoManager()->undo();
        settle();
        EXPECT_TRUE(std::ranges::all_of(pictures(), [](auto &p) { return p == "II*edited"; }));
        source->undoManager()->undo();
        settle();
        EXPECT_TRUE(std::ranges::all_of(pictures(), [](auto &p) { return p == "old"; }));
        EXPECT_EQ(source->changeCount(), changes);
        source->closeActiveLinks();
    }
}

TEST_F(LinkBackDocumentTest, AnItemOpenAlreadyOnlyBringsItsWindowToTheFront)
{
    documents->setShowsWindows(true);
    TWDocument *source = newDocument();
    selectBranches(source, 1).first()->setLinkBackData(
        LinkBackData::linkBackDataWithServerName(ServerName, embeddedPackage(2)));
    const auto inFront = [](TWDocument *d) {
        return QTest::qWaitFor([d] { return QApplication::activeWindow() == d->documentWindow(); });
    };
    // The first request opens the editor in front; asked for again from the
    // source, the item's editor only comes back to the front.
    for (int request = 0; request < 3; ++request) {
        SCOPED_TRACE(request);
        source->documentWindow()->activateWindow();
        ASSERT_TRUE(inFront(source));
        source->editLinkBackItems();
        ASSERT_EQ(documents->documents().size(), 2);
        EXPECT_EQ(source->activeLinkCount(), 1);
        EXPECT_TRUE(inFront(static_cast<TWDocument *>(documents->documents().last())));
    }
    documents->documents().last()->close();
    EXPECT_EQ(source->activeLinkCount(), 0);
}

TEST_F(LinkBackDocumentTest, PicturesInTextOpenFromTheLabelEditorAndTheNotesPane)
{
    TWDocument *source = newDocument();
    source->showWindows();
    const std::shared_ptr<TWGraphic> graphic = selectBranches(source, 1).first();
    TWMapBranch *branch = graphic->branch();
    QImage image(24, 24, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "PNG"));
    const QVariantMap data = LinkBackData::linkBackDataWithServerName("OtherServer", 1);
    const TextAttachment picture = TextAttachment::linkBackAttachment(
        TextAttachment::FileWrapper::regularFile(png), data, "att-1");
    const TextAttachment second = TextAttachment::linkBackAttachment(
        TextAttachment::FileWrapper::regularFile(png), data, "att-2");
    AttributedString text(QStringLiteral("see \uFFFC here \uFFFC"));
    text.addAttribute(NSAttachmentAttributeName, QVariant::fromValue(picture), {4, 1});
    text.addAttribute(NSAttachmentAttributeName, QVariant::fromValue(second), {11, 1});
    // A plain picture beside it is no item of another program.
    AttributedString plain(QStringLiteral("\uFFFC"));
    plain.addAttribute(NSAttachmentAttributeName,
                       QVariant::fromValue(TextAttachment(TextAttachment::FileWrapper::regularFile(png))),
                       {0, 1});
    text.appendAttributedString(plain);
    const qsizetype plainIndex = text.length() - 1;

    // The label being edited on the canvas.
    branch->enclosedTextArea()->setText(text);
    TWGraphicView *canvas = source->graphicView();
    ASSERT_TRUE(canvas);
    canvas->startEditingSelectedBranch();
    settle();
    TWHyperlinkableTextView *label = canvas->editorView();
    ASSERT_TRUE(label && label->isVisible());
    ASSERT_EQ(label->toPlainText(), text.string());

    // The branch's notes in the outline window.
    branch->setPrimaryAttachedText(std::make_shared<const AttributedString>(text));
    TWOutlineViewController outline(false);
    outline.setDocument(source);
    outline.window()->resize(400, 600);
    outline.showNotesOnly();
    outline.window()->show();
    outline.updateBranchSelection();
    settle();
    auto *notes = qobject_cast<TWHyperlinkableTextView *>(outline.branchNotesView());
    ASSERT_TRUE(notes && notes->isVisible());
    ASSERT_EQ(notes->toPlainText(), text.string());

    // The middle of the character at `index`, where the pointer shows it.
    const auto pointAt = [](TWHyperlinkableTextView *view, qsizetype index) {
        QTextCursor cursor(view->document());
        cursor.setPosition(int(index));
        const QRect before = view->cursorRect(cursor);
        cursor.setPosition(int(index) + 1);
        const QRect after = view->cursorRect(cursor);
        return QPoint((before.left() + after.left()) / 2, before.center().y());
    };
    const auto doubleClick = [&](TWHyperlinkableTextView *view, qsizetype index) {
        const QPoint at = pointAt(view, index);
        QMouseEvent event(QEvent::MouseButtonDblClick, at, view->viewport()->mapToGlobal(at),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view->viewport(), &event);
    };
    const auto select = [](TWHyperlinkableTextView *view, qsizetype from, qsizetype length) {
        QTextCursor cursor(view->document());
        cursor.setPosition(int(from));
        cursor.setPosition(int(from + length), QTextCursor::KeepAnchor);
        view->setTextCursor(cursor);
    };
    // The label editor's command is the menu bar's, which reaches the editor
    // first; the notes pane's is in its context menu.
    const auto menuCommand = [&](TWHyperlinkableTextView *view) -> std::pair<bool, QString> {
        if (view == label) {
            QAction *item = source->menuDispatcher()->actionFor("editLinkBackItems:");
            if (!item)
                return {false, "no menu item"};
            const bool enabled = source->menuDispatcher()->validate(item);
            const QString title = item->text();
            source->menuDispatcher()->dispatch(item);
            return {enabled, title};
        }
        std::unique_ptr<QMenu> menu(view->createHyperlinkContextMenu(pointAt(view, 0)));
        QAction *item = menu->findChild<QAction *>("editLinkBackItems:");
        if (!item)
            return {false, "no menu item"};
        const std::pair<bool, QString> state{item->isEnabled(), item->text()};
        if (item->isEnabled())
            item->trigger();
        return state;
    };

    struct Case
    {
        const char *name;
        bool doubleClick;
        qsizetype at, length; // the character clicked, or the selection
        QStringList opened;   // the items the other program is asked for
        QString title;        // of the command; empty for double clicks
    };
    const Case cases[] = {
        {"double click on the picture", true, 4, 0, {"att-1"}, {}},
        {"double click on the second picture", true, 11, 0, {"att-2"}, {}},
        {"double click on a word", true, 1, 0, {}, {}},
        {"double click on a plain picture", true, plainIndex, 0, {}, {}},
        {"command with the picture selected", false, 4, 1, {"att-1"},
         LinkBackData::linkBackEditMenuTitle(data)},
        {"command with the caret before the picture", false, 4, 0, {"att-1"},
         LinkBackData::linkBackEditMenuTitle(data)},
        {"command with only words selected", false, 0, 3, {}, LinkBackEditNoneMenuTitle()},
        {"command with the caret at the end", false, text.length(), 0, {},
         LinkBackEditNoneMenuTitle()},
        {"command with the whole text selected: the last first", false, 0, text.length(),
         {"att-2", "att-1"}, LinkBackEditMultipleMenuTitle()},
    };
    for (TWHyperlinkableTextView *view : {label, notes}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(view == label ? "label editor: " : "notes pane: ") + c.name);
            other.keys.clear();
            if (c.doubleClick) {
                select(view, 0, 0);
                doubleClick(view, c.at);
            } else {
                select(view, c.at, c.length);
                EXPECT_EQ(menuCommand(view), std::make_pair(!c.opened.isEmpty(), c.title));
            }
            EXPECT_EQ(other.keys, c.opened);
            EXPECT_EQ(source->activeLinkCount(), c.opened.size());
            source->closeActiveLinks();
            // Nothing of the text changed on the way.
            EXPECT_EQ(view->toPlainText(), text.string());
        }
    }

    // The edited picture comes back while the notes are open: the pane shows
    // it, and what is typed next keeps it.
    notes->setFocus();
    other.keys.clear();
    doubleClick(notes, 4);
    ASSERT_EQ(other.keys, QStringList{"att-1"});
    LinkBackPasteboard &board = other.last->pasteboard();
    board.declareTypes({});
    board.setData("II*edited", TWDocument::LinkBackTIFFType);
    board.setPropertyList(data, LinkBackPboardType);
    ASSERT_TRUE(other.last->sendEdit());
    settle();
    const auto pictureIn = [](const AttributedString &t) {
        const TextAttachment a = t.attribute(NSAttachmentAttributeName, 4).value<TextAttachment>();
        return a.fileWrapper() ? a.fileWrapper()->regularFileContents.value_or("") : "";
    };
    ASSERT_EQ(pictureIn(*branch->primaryAttachedText()), "II*edited");
    EXPECT_EQ(pictureIn(AttributedStringDocument::attributedString(*notes->document())),
              "II*edited");
    QTextCursor cursor = notes->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText("!");
    EXPECT_EQ(branch->primaryAttachedText()->string(), text.string() + "!");
    EXPECT_EQ(pictureIn(*branch->primaryAttachedText()), "II*edited");
    source->closeActiveLinks();
    outline.window()->close();
}

TEST_F(LinkBackDocumentTest, CopiedBranchesPasteAsAnItemThatEditsInAWindowOfItsSource)
{
    TWDocument *source = newDocument();
    selectBranches(source, 2);
    mapOf(source).removeAllSelectedGraphics();
    mapOf(source).insertObjectInSelectedGraphicsAtIndex(mapOf(source).root()->mainGraphic(), 0);
    const std::unique_ptr<QMimeData> copied = source->graphicView()->clipboardDataForSelection();
    ASSERT_TRUE(copied);
    ASSERT_TRUE(copied->hasFormat(LinkBackPboardType));
    const std::optional<QVariantMap> offered =
        LinkBackData::fromPasteboardData(copied->data(LinkBackPboardType));
    ASSERT_TRUE(offered);
    EXPECT_EQ(LinkBackData::linkBackServerName(*offered), ServerName);
    EXPECT_EQ(branchesIn(*offered), 3);

    // What each kind of paste leaves on the pasted picture.
    QMimeData unreadable;
    unreadable.setData(TWGraphicView::PDFPboardType, copied->data(TWGraphicView::PDFPboardType));
    unreadable.setData(LinkBackPboardType, "<plist");
    QMimeData withoutData;
    withoutData.setData(TWGraphicView::PDFPboardType, copied->data(TWGraphicView::PDFPboardType));
    struct Case
    {
        const char *name;
        const QMimeData *pasted;
        bool carries;
    };
    const Case cases[] = {
        {"unreadable data", &unreadable, false},
        {"a picture alone", &withoutData, false},
        {"a copy of branches", copied.get(), true},
    };
    TWDocument *target = newDocument();
    std::shared_ptr<TWGraphic> item;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        selectBranches(target, 1);
        target->graphicView()->pasteFromPB(c.pasted, 1);
        settle();
        ASSERT_EQ(mapOf(target).countOfSelectedGraphics(), 1);
        item = mapOf(target).selectedGraphics().first();
        EXPECT_EQ(item->linkBackData().toMap(), c.carries ? *offered : QVariantMap());
        EXPECT_EQ(editItem(target).first, c.carries);
    }
    EXPECT_EQ(editItem(target).second, "Edit in " + app->applicationName());

    // The item opens in an editor of the program that made it...
    target->editLinkBackItems();
    ASSERT_EQ(documents->documents().size(), 3);
    auto *editor = static_cast<TWDocument *>(documents->documents().last());
    ASSERT_NE(editor->linkBack(), nullptr);
    EXPECT_EQ(mapOf(editor).branchCount(), 3);
    // ...and comes back with the edited map when that editor saves.
    addChild(editor);
    EXPECT_TRUE(editor->save());
    EXPECT_EQ(branchesIn(item->linkBackData()), 4);
    ASSERT_TRUE(item->imageFilename());
    const std::optional<QByteArray> picture =
        target->mapsDocument()->objectForKeyInCachedData(*item->imageFilename());
    ASSERT_TRUE(picture);
    EXPECT_TRUE(picture->startsWith("%PDF"));
    editor->close();
    EXPECT_EQ(target->activeLinkCount(), 0);
    EXPECT_EQ(LinkBackRegistry::shared().openLinkCount(), 0);
}

TEST_F(LinkBackDocumentTest, AnItemMadeInAnotherRunningProgramEditsThereAndComesBack)
{
    // A bus of the test's own, shared with the other program only.
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"),
              {"--session", "--nofork", "--nopidfile", "--print-address=1"});
    ASSERT_TRUE(bus.waitForStarted()) << "dbus-daemon is needed: scripts/install-deps";
    ASSERT_TRUE(bus.waitForReadyRead(10000));
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    ASSERT_FALSE(address.isEmpty());
    const auto stopBus = qScopeGuard([&] {
        LinkBackBus::shared().stop();
        bus.kill();
        bus.waitForFinished();
    });
    ASSERT_TRUE(LinkBackBus::shared().startOnBus(address));

    QTemporaryDir folder;
    const QString clipboard = folder.filePath(QStringLiteral("clipboard.plist"));
    QProcess peer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", address);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_CONFIG_HOME", folder.path());
    environment.insert("XDG_STATE_HOME", folder.path());
    // Its leaks are not what is tested here.
    environment.insert("ASAN_OPTIONS", "detect_leaks=0");
    peer.setProcessEnvironment(environment);
    peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    peer.start(QCoreApplication::applicationDirPath() + QStringLiteral("/thinkweb_linkback_peer"),
               {clipboard});
    const auto stopPeer = qScopeGuard([&] {
        if (peer.state() != QProcess::NotRunning) {
            peer.kill();
            peer.waitForFinished();
        }
    });
    QByteArray said;
    while (!said.contains("ready") && peer.waitForReadyRead(30000))
        said += peer.readAll();
    ASSERT_TRUE(said.contains("ready")) << said.constData();

    // The other program's copy, pasted here.
    QFile file(clipboard);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::optional<QVariant> formats = PropertyList::propertyListWithData(file.readAll());
    ASSERT_TRUE(formats);
    QMimeData copied;
    for (auto [type, data] : formats->toMap().asKeyValueRange())
        copied.setData(type, data.toByteArray());
    TWDocument *target = newDocument();
    selectBranches(target, 1);
    target->graphicView()->pasteFromPB(&copied, 1);
    settle();
    const std::shared_ptr<TWGraphic> item = mapOf(target).selectedGraphics().first();
    const QString server = LinkBackData::linkBackServerAddress(item->linkBackData().toMap());
    EXPECT_FALSE(server.isEmpty());
    EXPECT_NE(server, LinkBackBus::shared().serviceName());
    EXPECT_EQ(branchesIn(item->linkBackData()), 3);
    EXPECT_TRUE(editItem(target).first);

    // Edited over there, not here: no editor opens in this program.
    target->editLinkBackItems();
    EXPECT_EQ(documents->documents().size(), 1);
    EXPECT_EQ(target->activeLinkCount(), 1);
    QDeadlineTimer deadline(30000);
    while (branchesIn(item->linkBackData()) != 4 && !deadline.hasExpired())
        QTest::qWait(20);
    EXPECT_EQ(branchesIn(item->linkBackData()), 4);
    ASSERT_TRUE(item->imageFilename());
    const std::optional<QByteArray> picture =
        target->mapsDocument()->objectForKeyInCachedData(*item->imageFilename());
    ASSERT_TRUE(picture);
    EXPECT_TRUE(picture->startsWith("%PDF"));

    // Asked for again while its editor is open: the same link, no second editor.
    target->editLinkBackItems();
    EXPECT_EQ(target->activeLinkCount(), 1);
    EXPECT_EQ(LinkBackBus::shared().openLinkCount(), 1);

    // Ending the link here closes the editor there, and the program ends.
    target->closeActiveLinks();
    ASSERT_TRUE(peer.waitForFinished(30000));
    said += peer.readAll();
    EXPECT_TRUE(said.contains("saved 1")) << said.constData();
    EXPECT_TRUE(said.contains("editors 1")) << said.constData();
    EXPECT_EQ(peer.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(peer.exitCode(), 0);
    EXPECT_EQ(LinkBackBus::shared().openLinkCount(), 0);
}
