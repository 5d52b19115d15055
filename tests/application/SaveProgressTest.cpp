// A long save shows its progress on the window and keeps the window
// answering, while nothing changes or saves the document being written.

#include "TWMenuTestSupport.h"

#include "application/TWSaveProgress.h"
#include "graphics/TWGraphic.h"
#include "model/PackageArchive.h"

#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QThread>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>

namespace {

// Contents.xml of a saved file without what every save stamps anew (its
// date and revision).
QByteArray unstampedContents(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const std::optional<PackageData> data = PackageArchive::read(file);
    if (!data)
        return QByteArray();
    QString text = QString::fromUtf8(data->value(TWMapsDoc::ContentsPath));
    static const QRegularExpression stamps(
        QStringLiteral("<revisionNumber>[^<]*</revisionNumber>|<lastSaveDate>.*?</lastSaveDate>"),
        QRegularExpression::DotMatchesEverythingOption);
    text.remove(stamps);
    return text.toUtf8();
}

// What input to the window could change: the document and what it shows.
struct WindowState
{
    qsizetype branches = 0;
    int selected = 0;
    bool editingLabel = false;
    bool windowShown = false;
    int changeCount = 0;
    bool operator==(const WindowState &) const = default;
};

std::ostream &operator<<(std::ostream &out, const WindowState &s)
{
    return out << "{branches " << s.branches << ", selected " << s.selected << ", editing "
               << s.editingLabel << ", shown " << s.windowShown << ", changes " << s.changeCount
               << "}";
}

WindowState stateOf(TWDocument *document)
{
    TWMap *map = document->mapsDocument()->currentMap().get();
    return {map->allBranches().size(), map->countOfSelectedGraphics(),
            document->graphicView()->editingTextArea() != nullptr,
            document->documentWindow()->isVisible(), document->changeCount()};
}

// Whether a save's sheet shows on some window.
bool aSheetShows()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](const QWidget *w) {
        return w->objectName() == QLatin1String("SaveProgressSheet") && w->isVisible();
    });
}

// Alerts that note whether a save's sheet still showed when they came.
class SheetNotingAlerts : public RecordingAlerts
{
public:
    int runAlertPanel(const QString &title, const QString &message,
                      const QStringList &buttons) override
    {
        sheetShowedAtAlert = sheetShowedAtAlert || aSheetShows();
        return RecordingAlerts::runAlertPanel(title, message, buttons);
    }
    bool sheetShowedAtAlert = false;
};

} // namespace

// Windows with their menu bars, so that shortcuts are live.
class SaveProgressTest : public MenuTest
{
protected:
    void TearDown() override
    {
        TWSaveProgress::setReportHookForTesting({});
        MenuTest::TearDown();
    }

    // A shown document of `branches` generated branches with one edit, a
    // first-level branch selected.
    TWDocument *openEdited(const QString &name, int branches = 60)
    {
        TWDocument *document = open(savedDocument(name, branches));
        EXPECT_NE(document, nullptr);
        show(document, QSize(900, 700));
        // Active, as the user's window is: its shortcuts work.
        QWidget *window = document->documentWindow();
        window->activateWindow();
        QApplication::setActiveWindow(window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        TWMap *map = document->mapsDocument()->currentMap().get();
        select(document, map->root()->children().first());
        grow(document);
        EXPECT_TRUE(document->isDocumentEdited());
        select(document, map->root()->children().first());
        return document;
    }
    // A child of the selection, its label not left open.
    void grow(TWDocument *document)
    {
        document->mapsDocument()->currentMap()->publicCreateChildren();
        document->graphicView()->endEditingTextArea();
        settle();
    }
    void select(TWDocument *document, const std::shared_ptr<TWMapBranch> &branch)
    {
        TWMap *map = document->mapsDocument()->currentMap().get();
        map->removeAllSelectedGraphics();
        map->insertObjectInSelectedGraphicsAtIndex(branch->mainGraphic(), 0);
        settle();
    }
    // Where a graphic of the current map shows in the window.
    static QPoint windowPoint(TWDocument *document, const TWGraphic &graphic)
    {
        const Rect b = graphic.bounds();
        TWGraphicView *view = document->graphicView();
        const QRectF r = view->viewportRectFromMap(Rect(b.midX(), b.midY(), 0, 0));
        return view->viewport()->mapTo(document->mainWindow(), r.topLeft().toPoint());
    }
    static QWindow *windowOf(TWDocument *document)
    {
        return document->mainWindow()->windowHandle();
    }

    // Makes each report of the next saves wait `ms` until `done` holds: the
    // save runs past the sheet's delay however small its document.
    static void slowUntil(std::function<bool()> done, int ms = 300)
    {
        TWSaveProgress::setReportHookForTesting([done = std::move(done), ms] {
            if (!done())
                QThread::msleep(ms);
        });
    }
    // Runs work at the first pass the save gives the event loop.
    static void duringSave(std::function<void()> work)
    {
        QMetaObject::invokeMethod(qApp, std::move(work), Qt::QueuedConnection);
    }
};

TEST_F(SaveProgressTest, InputDuringASlowSaveChangesNothingAndTheFileIsTheSame)
{
    struct Case
    {
        const char *name;
        std::function<void(TWDocument *)> send;
    };
    const std::vector<Case> cases = {
        {"Tab adds a child", [](TWDocument *d) { QTest::keyClick(windowOf(d), Qt::Key_Tab); }},
        {"Delete removes the branch",
         [](TWDocument *d) { QTest::keyClick(windowOf(d), Qt::Key_Delete); }},
        {"Return starts editing",
         [](TWDocument *d) { QTest::keyClick(windowOf(d), Qt::Key_Return); }},
        {"New Branch shortcut",
         [](TWDocument *d) {
             QTest::keyClick(windowOf(d), Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
         }},
        {"click on empty canvas deselects",
         [](TWDocument *d) {
             QTest::mouseClick(windowOf(d), Qt::LeftButton, {}, QPoint(12, 200));
         }},
        {"double-click on a label edits it",
         [](TWDocument *d) {
             TWMap *map = d->mapsDocument()->currentMap().get();
             const auto &label = *map->root()->enclosedTextArea();
             QTest::mouseDClick(windowOf(d), Qt::LeftButton, {}, windowPoint(d, label));
         }},
        {"close", [](TWDocument *d) { d->documentWindow()->close(); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TWDocument *document = openEdited(QStringLiteral("input.tweb"));
        const QString path = document->fileName();
        // Saved once already: the saves compared below are both second ones.
        ASSERT_TRUE(document->save());
        TWMap *map = document->mapsDocument()->currentMap().get();
        grow(document);
        select(document, map->root()->children().first());
        ASSERT_TRUE(document->isDocumentEdited());

        bool sent = false;
        WindowState whileSaving;
        QString sheetText;
        slowUntil([&sent] { return sent; });
        duringSave([&] {
            if (QDialog *sheet = TWSaveProgress::runningSheet()) {
                sheetText = sheet->isVisible() ? sheet->findChild<QLabel *>()->text() : QString();
                // The user may go back to the document's window meanwhile.
                QApplication::setActiveWindow(document->documentWindow());
                c.send(document);
                whileSaving = stateOf(document);
            }
            sent = true;
        });
        const WindowState atStart = stateOf(document);
        ASSERT_TRUE(document->save());
        EXPECT_EQ(sheetText, QStringLiteral("Saving “input”…"));
        EXPECT_EQ(whileSaving, atStart);
        EXPECT_FALSE(aSheetShows());
        settle();
        EXPECT_FALSE(document->isDocumentEdited());
        EXPECT_TRUE(document->documentWindow()->isVisible());
        EXPECT_EQ(QApplication::activeWindow(), document->documentWindow());
        const QString during = dir.filePath(QStringLiteral("during.tweb"));
        QFile::remove(during);
        ASSERT_TRUE(QFile::copy(path, during));

        // The same document saved again, with no events run, writes the same.
        TWSaveProgress::setReportHookForTesting({});
        ASSERT_TRUE(document->save());
        const QByteArray quiet = unstampedContents(path);
        EXPECT_FALSE(quiet.isEmpty());
        EXPECT_TRUE(unstampedContents(during) == quiet) << "written while the window answered";

        // The same input with no save running does change something: the
        // case tests what it claims to.
        const WindowState idle = stateOf(document);
        const QPointer<TWDocument> alive(document);
        c.send(document);
        EXPECT_NE(stateOf(document), idle) << "the input does nothing anyway";
        settle();
        if (alive)
            document->close();
        settle();
    }
}

TEST_F(SaveProgressTest, ThePlainWheelScrollsTheMapDuringASaveAndNothingElseDoes)
{
    // What a wheel turn changed: the canvas's scrolling, the map's zoom.
    const auto turnWheel = [](TWDocument *d, Qt::KeyboardModifiers modifiers, int notches) {
        QWidget *viewport = d->graphicView()->viewport();
        const QPointF at(viewport->width() / 2.0, viewport->height() / 2.0);
        QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                          Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
    };
    const auto seen = [](TWDocument *d) {
        return std::pair(d->graphicView()->verticalScrollBar()->value(),
                         d->mapsDocument()->currentMap()->zoomAmount());
    };
    struct Case
    {
        const char *name;
        Qt::KeyboardModifiers modifiers;
        bool scrolls;
    };
    const std::vector<Case> cases = {
        {"plain", Qt::NoModifier, true},
        {"zooming", Qt::ControlModifier, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TWDocument *document = openEdited(QStringLiteral("wheel.tweb"));
        bool sent = false;
        std::pair<int, float> before, during;
        slowUntil([&sent] { return sent; });
        duringSave([&] {
            if (TWSaveProgress::runningSheet()) {
                before = seen(document);
                turnWheel(document, c.modifiers, -3);
                during = seen(document);
            }
            sent = true;
        });
        ASSERT_TRUE(document->save());
        EXPECT_EQ(during.first != before.first, c.scrolls);
        EXPECT_EQ(during.second, before.second);
        EXPECT_FALSE(document->isDocumentEdited());
        // With no save running the wheel does something (turned back: the
        // first turn may have reached the end).
        TWSaveProgress::setReportHookForTesting({});
        const auto idle = seen(document);
        turnWheel(document, c.modifiers, 3);
        EXPECT_NE(seen(document), idle);
        document->close();
        settle();
    }
}

TEST_F(SaveProgressTest, OnlyASaveLongerThanHalfASecondShowsTheSheetAndRunsEvents)
{
    struct Case
    {
        const char *name;
        int reportDelayMs;
        bool showsSheet;
    };
    const std::vector<Case> cases = {
        {"quick", 0, false},
        {"slow", 300, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TWDocument *document = openEdited(QStringLiteral("quick.tweb"));
        bool sawSheet = false;
        bool ranDuring = false;
        bool saving = true;
        TWSaveProgress::setReportHookForTesting([&] {
            sawSheet = sawSheet || TWSaveProgress::runningSheet() != nullptr;
            QThread::msleep(c.reportDelayMs);
        });
        duringSave([&] { ranDuring = saving; });
        QElapsedTimer clock;
        clock.start();
        EXPECT_TRUE(document->save());
        saving = false;
        // A busy machine may make even a small save longer than the wait:
        // then it is not a quick one.
        if (c.showsSheet || clock.elapsed() < TWSaveProgress::ShowAfterMs) {
            EXPECT_EQ(sawSheet, c.showsSheet);
            EXPECT_EQ(ranDuring, c.showsSheet) << "events ran during the save";
        }
        EXPECT_FALSE(document->isDocumentEdited());
        settle();
        document->close();
        settle();
    }
}

TEST_F(SaveProgressTest, TheBarOnlyMovesOnAndNeverFillsBeforeTheEnd)
{
    // Text enough for several reports while it is written.
    TWDocument *document = openEdited(QStringLiteral("long.tweb"), 150);
    std::vector<int> values;
    TWSaveProgress::setReportHookForTesting([&values] {
        if (QDialog *sheet = TWSaveProgress::runningSheet())
            values.push_back(sheet->findChild<QProgressBar *>()->value());
        QThread::msleep(120);
    });
    ASSERT_TRUE(document->save());
    ASSERT_GE(values.size(), 3u);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_LT(values.back(), TWSaveProgress::BarMaximum);
    EXPECT_GE(values.back(), TWSaveProgress::TextShare);
    // It moved while the text was written, not only at its end.
    EXPECT_TRUE(std::any_of(values.begin(), values.end(),
                            [](int v) { return v > 0 && v < TWSaveProgress::TextShare; }));
    // Every branch written counted: the text's share is full at its end.
    EXPECT_NE(std::find(values.begin(), values.end(), TWSaveProgress::TextShare), values.end());
    EXPECT_EQ(TWSaveProgress::runningSheet(), nullptr);
}

TEST(SaveProgressBranchTags, AreCountedOnlyWhereABranchStarts)
{
    struct Case
    {
        const char *name;
        QByteArray text;
        qint64 branches;
    };
    const QByteArray branch = "<TWMapBranch a=\"1\"><TWMapBranch/></TWMapBranch>";
    const std::vector<Case> cases = {
        {"none", "<TWMap><TWMapsDoc/></TWMap>", 0},
        {"nested, the end tags not counted", branch, 2},
        {"side by side", "<TWMapBranch><TWMapBranch>", 2},
        {"near misses", "x<TWMapBranc<TWMapBranch>TWMapBranch<<TWMapBranch\n", 2},
        {"at the very start and end", "<TWMapBranch><TWMap><TWMapBranch", 2},
        {"many", branch.repeated(40), 80},
    };
    for (const Case &c : cases)
        EXPECT_EQ(branchTagsIn(c.text), c.branches) << c.name;
}

TEST_F(SaveProgressTest, AFailedSlowSaveClosesTheSheetThenSaysWhy)
{
    SheetNotingAlerts noting;
    Alerts::Scope scope(&noting);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    TWDocument *document = openEdited(QStringLiteral("folder/failing.tweb"));
    const QString folder = dir.filePath(QStringLiteral("folder"));
    const QString moved = dir.filePath(QStringLiteral("moved"));
    bool sheetShowed = false;
    // Once the sheet shows, the folder goes away under the save.
    TWSaveProgress::setReportHookForTesting([&] {
        if (TWSaveProgress::runningSheet() && !sheetShowed) {
            sheetShowed = true;
            QDir().rename(folder, moved);
        }
        if (!sheetShowed)
            QThread::msleep(300);
    });
    EXPECT_FALSE(document->save());
    EXPECT_TRUE(sheetShowed);
    ASSERT_EQ(noting.alerts().size(), 1);
    EXPECT_EQ(noting.alerts().first().title, QStringLiteral("The document could not be saved."));
    EXPECT_FALSE(noting.sheetShowedAtAlert);
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(TWSaveProgress::runningSheet(), nullptr);
}

TEST_F(SaveProgressTest, WhatWouldSaveCloseOrRevertDuringASaveWaitsOrIsRefused)
{
    struct Case
    {
        const char *name;
        // Asked during the save; true when it did nothing yet.
        std::function<bool(TWDocument *saving, TWDocument *other)> during;
        // Once the save is over and the event loop ran; saving may be gone.
        std::function<bool(const QPointer<TWDocument> &saving, TWDocument *other)> after;
    };
    const std::vector<Case> cases = {
        {"a second save is refused",
         [](TWDocument *d, TWDocument *) { return !d->save() && !d->saveAs(); },
         [](const QPointer<TWDocument> &d, TWDocument *) { return !d->isDocumentEdited(); }},
        {"another document's autosave waits",
         [](TWDocument *, TWDocument *o) {
             o->autosaveDocument();
             return o->isDocumentEdited();
         },
         [](const QPointer<TWDocument> &, TWDocument *o) { return !o->isDocumentEdited(); }},
        {"a close waits",
         [](TWDocument *d, TWDocument *) {
             d->close();
             return d->documentWindow()->isVisible() && !d->canCloseDocument();
         },
         [](const QPointer<TWDocument> &d, TWDocument *) { return !d; }},
        {"a revert is refused", [](TWDocument *d, TWDocument *) { return !d->revertToSaved(); },
         [](const QPointer<TWDocument> &d, TWDocument *) {
             return d && d->documentWindow()->isVisible();
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TWDocument *document = openEdited(QStringLiteral("saving.tweb"));
        TWDocument *other = openEdited(QStringLiteral("other.tweb"));
        document->documentWindow()->activateWindow();
        bool sent = false;
        bool waited = false;
        slowUntil([&sent] { return sent; });
        duringSave([&] {
            waited = TWSaveProgress::runningSheet() && c.during(document, other);
            sent = true;
        });
        const QPointer<TWDocument> alive(document);
        EXPECT_TRUE(document->save());
        EXPECT_TRUE(waited);
        TWSaveProgress::setReportHookForTesting({});
        settle();
        EXPECT_TRUE(c.after(alive, other));
        for (TWDocument *open : {alive.data(), other}) {
            if (open)
                open->close();
            settle();
        }
    }
}
