#include "DocumentTestSupport.h"

#include "application/TWCDocument.h"
#include "application/TWDDocument.h"
#include "application/TWMapSelector.h"
#include "application/TWMapTabBar.h"
#include "application/TWScrollerKnob.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "support/AttributedString.h"

#include <QBuffer>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace {

QByteArray pngBytes(QColor colour)
{
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void setRootText(TWMap &map, const QString &text)
{
    map.root()->enclosedTextArea()->setText(AttributedString(text));
}

// A saved document of named maps with the given one current; its bytes.
QByteArray documentData(const QString &path, const QStringList &names, int current)
{
    auto maps = TWMapsDoc::create();
    for (int i = 0; i < names.size(); ++i) {
        maps->publicCreateNewMapAtIndex(i);
        maps->currentMap()->setName(names.at(i));
    }
    maps->setCurrentMapNumber(current);
    EXPECT_EQ(maps->saveToFile(path), TWFileIO::SaveSucceeded);
    maps->detach();
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

} // namespace

// --- the scroll bars' knob ---

class TWCScrollerTest : public ApplicationTest
{
protected:
    void SetUp() override
    {
        ApplicationTest::SetUp();
        start();
    }
};

TEST_F(TWCScrollerTest, KnobIsInsetAndRoundedByItsThickness)
{
    struct Case
    {
        Qt::Orientation orientation;
        Rect knob;
        Rect drawn;
        float corner;
    };
    const Case cases[] = {
        // A knob 15 high in a horizontal bar is drawn 14 high with corners 14/3.
        {Qt::Horizontal, Rect(10, 0, 40, 15), Rect(12, 1, 36, 14), 14.0f / 3},
        {Qt::Vertical, Rect(0, 10, 15, 40), Rect(1, 12, 14, 36), 14.0f / 3},
        {Qt::Horizontal, Rect(0, 3, 9, 11), Rect(2, 4, 5, 10), 10.0f / 3},
    };
    for (const Case &c : cases) {
        const TWCScroller::KnobShape shape = TWCScroller::knobShape(c.knob, c.orientation);
        EXPECT_EQ(shape.rect.toQt(), c.drawn.toQt()) << int(c.orientation);
        EXPECT_FLOAT_EQ(shape.cornerAmount, c.corner) << int(c.orientation);
    }
}

TEST_F(TWCScrollerTest, KnobIsPaintedBlueWhereTheStylePlacesIt)
{
    for (Qt::Orientation orientation : {Qt::Horizontal, Qt::Vertical}) {
        TWCScroller bar(orientation);
        bar.resize(orientation == Qt::Horizontal ? QSize(200, 15) : QSize(15, 200));
        bar.setRange(0, 100);
        bar.setPageStep(100);
        bar.setValue(0);
        const QImage image = bar.grab().toImage();
        const QRectF knob = bar.knobRect().toQt();
        ASSERT_FALSE(knob.isEmpty());
        const QColor middle = image.pixelColor(knob.center().toPoint());
        // The translucent knob colour leans blue over any grey track.
        EXPECT_GT(middle.blue(), middle.red() + 20) << int(orientation);
    }
}

// --- the Compact document ---

class CompactDocumentTest : public ApplicationTest
{
protected:
    void SetUp() override
    {
        ApplicationTest::SetUp();
        start(Edition::Compact);
        documents = std::make_unique<TWDocumentController>();
        documents->setShowsWindows(false);
    }
    void TearDown() override
    {
        documents.reset();
        NotificationQueue::defaultQueue().flush();
    }
    TWCDocument *untitled()
    {
        auto *document = dynamic_cast<TWCDocument *>(documents->newDocument());
        EXPECT_NE(document, nullptr);
        return document;
    }

    RecordingAlerts alerts;
    Alerts::Scope alertsScope{&alerts};
    std::unique_ptr<TWDocumentController> documents;
};

TEST_F(CompactDocumentTest, SelectorSwitchesLiveAndEndsOnDoubleClickOrOK)
{
    struct Case
    {
        const char *name;
        QStringList maps;
        int current;
        // Rows clicked once, then how the choice ends (-1: no selector expected).
        QList<int> clicks;
        bool endWithOK;
        int expectedCurrent;
    };
    const QStringList three{"One", "Two", "Three"};
    const Case cases[] = {
        {"double click", three, 1, {2}, false, 2},
        {"ok button", three, 1, {0}, true, 0},
        {"two clicks then double", three, 0, {1, 2}, false, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TWCDocument *document = untitled();
        ASSERT_TRUE(document->loadDataRepresentation(
            documentData(dir.filePath(QString(c.name) + ".tweb"), c.maps, c.current)));
        ASSERT_EQ(document->mapsDocument()->countOfMaps(), c.maps.size());
        int shownRow = -2;
        QList<int> currentAfterClicks;
        bool stillUpAfterClicks = false;
        bool closed = false;
        // Runs inside the selector's modal loop.
        QTimer::singleShot(0, [&] {
            TWMapSelector *selector = document->mapSelector();
            ASSERT_NE(selector, nullptr);
            shownRow = selector->selectionIndex();
            QTableWidget *table = selector->tableView();
            for (int row : c.clicks) {
                const QRect cell = table->visualItemRect(table->item(row, 0));
                QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
                currentAfterClicks << document->mapsDocument()->currentMapNumber();
            }
            stillUpAfterClicks = selector->isVisible();
            if (c.endWithOK) {
                selector->okButton()->click();
            } else {
                const QRect cell = table->visualItemRect(table->item(c.clicks.last(), 0));
                QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
            }
            closed = !selector->isVisible();
        });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [document] {
            if (document->mapSelector())
                document->mapSelector()->reject();
        });
        watchdog.start(5000);
        // The selector comes on the next pass, after the window.
        QCoreApplication::processEvents();
        EXPECT_EQ(shownRow, c.current);
        EXPECT_EQ(currentAfterClicks, c.clicks);
        EXPECT_TRUE(stillUpAfterClicks);
        EXPECT_TRUE(closed);
        EXPECT_EQ(document->mapSelector(), nullptr);
        EXPECT_EQ(document->mapsDocument()->currentMapNumber(), c.expectedCurrent);
    }
}

TEST_F(CompactDocumentTest, OneMapShowsNoSelectorAndBadDataChangesNothing)
{
    TWCDocument *document = untitled();
    const int mapsBefore = document->mapsDocument()->countOfMaps();
    EXPECT_FALSE(document->loadDataRepresentation("not a document"));
    EXPECT_EQ(document->mapsDocument()->countOfMaps(), mapsBefore);

    bool selectorSeen = false;
    ASSERT_TRUE(
        document->loadDataRepresentation(documentData(dir.filePath("one.tweb"), {"Only"}, 0)));
    QTimer::singleShot(0, [&] { selectorSeen = document->mapSelector() != nullptr; });
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(selectorSeen);
    EXPECT_EQ(document->mapsDocument()->currentMap()->mapName(), "Only");
}

TEST_F(CompactDocumentTest, AFileOfSeveralMapsOpensWithTheSelector)
{
    struct Case
    {
        const char *name;
        QStringList maps;
        bool selector;
    };
    const Case cases[] = {{"three maps", {"One", "Two", "Three"}, true},
                          {"one map", {"Only"}, false}};
    documents->setShowsWindows(true);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString(c.name) + ".tweb");
        documentData(path, c.maps, 0);
        auto *document =
            dynamic_cast<TWCDocument *>(documents->openDocument(QUrl::fromLocalFile(path), true));
        ASSERT_NE(document, nullptr);
        // Runs inside the selector's modal loop when it comes.
        bool selectorSeen = false;
        QTimer::singleShot(0, [&] {
            if (TWMapSelector *selector = document->mapSelector();
                selector && selector->isVisible()) {
                selectorSeen = true;
                selector->okButton()->click();
            }
        });
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        EXPECT_EQ(selectorSeen, c.selector);
    }
}

TEST_F(CompactDocumentTest, MapScrollBarsAreTheEditionsOwn)
{
    TWCDocument *document = untitled();
    QAbstractScrollArea *scroll = document->graphicView();
    EXPECT_NE(dynamic_cast<TWCScroller *>(scroll->verticalScrollBar()), nullptr);
    EXPECT_NE(dynamic_cast<TWCScroller *>(scroll->horizontalScrollBar()), nullptr);
}

// --- the Deluxe document's map tabs ---

class DeluxeDocumentTest : public DocumentTest
{
protected:
    TWDDocument *deluxe()
    {
        auto *document = dynamic_cast<TWDDocument *>(untitled());
        EXPECT_NE(document, nullptr);
        settle();
        return document;
    }
    void addMaps(TWDDocument *document, int count)
    {
        for (int i = 0; i < count; ++i)
            document->mapsDocument()->publicCreateNewMapAtIndex(
                document->mapsDocument()->countOfMaps());
        settle();
    }
};

TEST_F(DeluxeDocumentTest, OnlyTheSelectedTabOfSeveralCloses)
{
    TWDDocument *document = deluxe();
    TWMapTabBar *tabs = document->mapTabView();
    ASSERT_EQ(tabs->count(), 1);
    EXPECT_FALSE(tabs->closeButtonVisible(0));
    addMaps(document, 2);
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(tabs->currentIndex(), 2);
    EXPECT_EQ(QList<bool>({tabs->closeButtonVisible(0), tabs->closeButtonVisible(1),
                           tabs->closeButtonVisible(2)}),
              QList<bool>({false, false, true}));
}

TEST_F(DeluxeDocumentTest, TabLabelsAreCleanedCutAndFallBackToTheMapNumber)
{
    struct Case
    {
        const char *name;
        std::optional<QString> mapName;
        QString rootText;
        QString label;
    };
    const Case cases[] = {
        {"tab and newline", QString("Plans\tfor\n"), "Root", "Plans for"},
        {"control characters",
         QString("A\x01"
                 "B\x7f"),
         "Root", "AB"},
        {"root text, first line", std::nullopt, "Line one\nLine two", "Line one"},
        {"blank lines before", std::nullopt, "\n \u2029Line two\rLine three", "Line two"},
        {"numbered", std::nullopt, "", "DadoZiz 3"},
        {"forty characters whole", std::nullopt, QString(40, u'x'), QString(40, u'x')},
        {"a long line", std::nullopt, QString(10000, u'y'),
         QString(TWMapTabBar::TitleLength, u'y') + QChar(0x2026)},
        {"controls do not count", std::nullopt, QString(5, u'\x01') + QString(41, u'z'),
         QString(40, u'z') + QChar(0x2026)},
        {"a pair is not split", std::nullopt, QString(39, u'a') + QStringLiteral("\U0001F600tail"),
         QString(39, u'a') + QStringLiteral("\U0001F600") + QChar(0x2026)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TWDDocument *document = deluxe();
        addMaps(document, 2);
        TWMap &third = *document->mapsDocument()->objectInMapsAtIndex(2);
        third.setName(c.mapName);
        setRootText(third, c.rootText);
        document->updateMapTabs();
        EXPECT_EQ(document->tabLabelForMapAtIndex(2), c.label);
        EXPECT_EQ(document->mapTabView()->tabText(2), c.label);
    }
}

// A central label of 9 MB: the document opens whole and its tab shows the
// label's first line.
TEST_F(DeluxeDocumentTest, ALabelOfMegabytesOpensWithItsFirstLineAsTheTab)
{
    auto *document = dynamic_cast<TWDDocument *>(
        open(QStringLiteral(THINKWEB_TEST_DATA "/hostile/long-label.tweb")));
    ASSERT_NE(document, nullptr);
    settle();
    const TWMap &map = *document->mapsDocument()->currentMap();
    EXPECT_GE(map.root()->enclosedTextArea()->text().length(), 9 << 20);
    EXPECT_EQ(document->mapTabView()->tabText(0), QStringLiteral("A title line"));
}

TEST_F(DeluxeDocumentTest, TabWidthsStayWithinTheirBounds)
{
    TWDDocument *document = deluxe();
    addMaps(document, 1);
    document->mapsDocument()->objectInMapsAtIndex(0)->setName(QString(300, u'W'));
    document->mapsDocument()->objectInMapsAtIndex(1)->setName(QString("x"));
    document->updateMapTabs();
    TWMapTabBar *tabs = document->mapTabView();
    EXPECT_EQ(tabs->preferredTabWidth(0), TWMapTabBar::MaximumTabWidth);
    EXPECT_GE(tabs->preferredTabWidth(1), TWMapTabBar::MinimumTabWidth);
    EXPECT_LT(tabs->preferredTabWidth(1), TWMapTabBar::MaximumTabWidth);
    // However narrow the bar, a tab keeps its least width.
    tabs->resize(40, tabs->height());
    EXPECT_GE(tabs->tabRect(0).width(), TWMapTabBar::MinimumTabWidth);
}

TEST_F(DeluxeDocumentTest, ClosingATabAsksUnlessTheMapIsUntouched)
{
    struct Case
    {
        const char *name;
        bool addChild;
        int answer; // 0 Yes, 1 No
        int alertsShown;
        int mapsLeft;
    };
    const Case cases[] = {
        {"untouched closes silently", false, 0, 0, 1},
        {"touched and No keeps it", true, 1, 1, 2},
        {"touched and Yes deletes it", true, 0, 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts.clear();
        TWDDocument *document = deluxe();
        addMaps(document, 1);
        TWMap &current = *document->mapsDocument()->currentMap();
        EXPECT_TRUE(TWDDocument::isMapUntouched(current));
        if (c.addChild) {
            current.publicCreateChildrenOfType(1, std::nullopt, false);
            settle();
            EXPECT_FALSE(TWDDocument::isMapUntouched(current));
        }
        alerts.queueAlertResponse(c.answer);
        emit document->mapTabView()->tabCloseRequested(1);
        settle();
        ASSERT_EQ(alerts.alerts().size(), c.alertsShown);
        if (c.alertsShown) {
            EXPECT_EQ(alerts.alerts().first().title, "Delete Mind Map");
        }
        EXPECT_EQ(document->mapsDocument()->countOfMaps(), c.mapsLeft);
        EXPECT_EQ(document->mapTabView()->count(), c.mapsLeft);
        if (c.mapsLeft == 1) {
            document->undoManager()->closeEventGroup();
            document->undoManager()->undo();
            settle();
            EXPECT_EQ(document->mapsDocument()->countOfMaps(), 2) << "undo brings it back";
        }
    }
}

TEST_F(DeluxeDocumentTest, NextAndPreviousTabsWrapAround)
{
    struct Case
    {
        int current;
        bool next;
        int expected;
    };
    const Case cases[] = {{0, false, 2}, {2, true, 0}, {1, true, 2}, {1, false, 0}};
    TWDDocument *document = deluxe();
    addMaps(document, 2);
    for (const Case &c : cases) {
        document->mapsDocument()->setCurrentMapNumber(c.current);
        TWMenuItem item;
        item.selector = c.next ? QString("selectNextTab:") : QString("selectPreviousTab:");
        ASSERT_TRUE(document->menuDispatcher()->sendItem(item));
        settle();
        EXPECT_EQ(document->mapsDocument()->currentMapNumber(), c.expected)
            << c.current << (c.next ? " next" : " previous");
        EXPECT_EQ(document->mapTabView()->currentIndex(), c.expected);
    }
}

TEST_F(DeluxeDocumentTest, RevertingShowsTheTabsOfTheSavedMaps)
{
    const QString path = dir.filePath("two.tweb");
    documentData(path, {"First", "Second"}, 0);
    auto *document = dynamic_cast<TWDDocument *>(open(path));
    ASSERT_NE(document, nullptr);
    settle();
    addMaps(document, 1);
    ASSERT_EQ(document->mapTabView()->count(), 3);
    ASSERT_TRUE(document->revertToSaved());
    settle();
    EXPECT_EQ(document->mapTabView()->labels(), QStringList({"First", "Second"}));
}

TEST_F(DeluxeDocumentTest, ReorderingIsOneUndoableStep)
{
    TWDDocument *document = deluxe();
    addMaps(document, 2);
    TWMapsDoc *maps = document->mapsDocument();
    for (int i = 0; i < 3; ++i)
        maps->objectInMapsAtIndex(i)->setName(QString("M%1").arg(i));
    document->updateMapTabs();
    document->undoManager()->closeEventGroup();
    emit document->mapTabView()->tabReordered(0, 2);
    settle();
    EXPECT_EQ(document->mapTabView()->labels(), QStringList({"M1", "M2", "M0"}));
    EXPECT_EQ(maps->currentMapNumber(), 2);
    document->undoManager()->closeEventGroup();
    document->undoManager()->undo();
    settle();
    EXPECT_EQ(document->mapTabView()->labels(), QStringList({"M0", "M1", "M2"}));
}

TEST_F(DeluxeDocumentTest, ATabDroppedOnAnotherDocumentCopiesTheMapWithItsPictures)
{
    TWDDocument *source = deluxe();
    TWDDocument *destination = deluxe();
    addMaps(source, 1);
    addMaps(destination, 1);
    destination->mapsDocument()->setCurrentMapNumber(0);
    settle();

    // The source's second map hangs a picture from its root; the destination
    // holds other bytes under the same package path.
    const QString path = "Images/Graphic1/picture.png";
    const QByteArray theirs = pngBytes(Qt::red);
    const QByteArray ours = pngBytes(Qt::green);
    TWMap &copied = *source->mapsDocument()->objectInMapsAtIndex(1);
    copied.setName(QString("Pictured"));
    source->mapsDocument()->setObjectInCachedData(theirs, path);
    copied.root()->mainGraphic()->setImageFilename(path);
    destination->mapsDocument()->setObjectInCachedData(ours, path);
    settle();
    destination->undoManager()->closeEventGroup();
    const int sourceMaps = source->mapsDocument()->countOfMaps();

    std::unique_ptr<QMimeData> payload(source->mapTabView()->mimeDataForTab(1));
    ASSERT_EQ(TWMapTabBar::tabFromMimeData(payload.get()).bar, source->mapTabView());
    // Entering the bar names it the drop's target.
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, payload.get(), Qt::LeftButton, {});
    QCoreApplication::sendEvent(destination->mapTabView(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, payload.get(), Qt::LeftButton, {});
    QCoreApplication::sendEvent(destination->mapTabView(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    settle();

    TWMapsDoc *maps = destination->mapsDocument();
    ASSERT_EQ(maps->countOfMaps(), 3);
    const std::shared_ptr<TWMap> copy = maps->objectInMapsAtIndex(0);
    EXPECT_EQ(copy->mapName(), "Pictured");
    EXPECT_EQ(destination->mapTabView()->tabText(0), "Pictured");
    const std::optional<QString> copyPath = copy->root()->mainGraphic()->imageFilename();
    ASSERT_TRUE(copyPath.has_value());
    EXPECT_NE(*copyPath, path);
    EXPECT_EQ(maps->objectForKeyInCachedData(*copyPath), theirs);
    EXPECT_EQ(maps->objectForKeyInCachedData(path), ours) << "never overwritten";
    EXPECT_EQ(source->mapsDocument()->countOfMaps(), sourceMaps);
    EXPECT_EQ(source->mapsDocument()->objectForKeyInCachedData(path), theirs);

    destination->undoManager()->closeEventGroup();
    destination->undoManager()->undo();
    settle();
    EXPECT_EQ(maps->countOfMaps(), 2);
    EXPECT_FALSE(maps->objectForKeyInCachedData(*copyPath).has_value());
    EXPECT_EQ(maps->objectForKeyInCachedData(path), ours);
}

TEST_F(DeluxeDocumentTest, APayloadNamingNoLiveTabChangesNothing)
{
    TWDDocument *document = deluxe();
    const struct
    {
        const char *name;
        QByteArray payload;
    } cases[] = {
        {"garbage", "garbage"},
        {"other process", QByteArray::number(QCoreApplication::applicationPid() + 1) + " " +
                              QByteArray::number(quintptr(document->mapTabView())) + " 0"},
        {"unknown bar", QByteArray::number(QCoreApplication::applicationPid()) + " 12345 0"},
        {"index out of range", QByteArray::number(QCoreApplication::applicationPid()) + " " +
                                   QByteArray::number(quintptr(document->mapTabView())) + " 7"},
    };
    for (const auto &c : cases) {
        QMimeData data;
        data.setData(TWMapTabBar::MapTabMimeType, c.payload);
        EXPECT_EQ(TWMapTabBar::tabFromMimeData(&data).bar, nullptr) << c.name;
    }
}
