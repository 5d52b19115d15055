// The window at rest after an edit: once a child is added, whatever its
// place on the map, the canvas paints nothing more, and nothing else paints
// or ticks more than once a second while the new label waits to be typed.
#include "AcceptanceSupport.h"

#include "canvas/SpellableTextView.h"

#include <QHash>
#include <QStyleHints>
#include <QTimerEvent>

namespace {

// Counts, from its making on, the paints of one window's widgets and the
// ticks of every timer of the program.
class ActivityCounter : public QObject
{
public:
    ActivityCounter(QWidget *window, QWidget *canvas) : m_window(window), m_canvas(canvas)
    {
        qApp->installEventFilter(this);
    }
    ~ActivityCounter() override { qApp->removeEventFilter(this); }

    // Paints of the canvas and of what lies on it (the label's editor).
    int canvasPaints = 0;
    int allPaints = 0;
    QHash<QString, int> paints;
    QHash<QString, int> ticks;

    // What happened more than `most` times, with its count.
    static QStringList moreThan(const QHash<QString, int> &counts, int most)
    {
        QStringList busy;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            if (it.value() > most)
                busy << QStringLiteral("%1 x%2").arg(it.key()).arg(it.value());
        return busy;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            auto *widget = qobject_cast<QWidget *>(watched);
            if (widget && widget->window() == m_window) {
                if (widget == m_canvas || m_canvas->isAncestorOf(widget))
                    ++canvasPaints;
                ++allPaints;
                ++paints[QStringLiteral("%1 %2").arg(
                    QString::fromLatin1(widget->metaObject()->className()),
                    QString::number(quintptr(widget), 16))];
            }
        } else if (event->type() == QEvent::Timer) {
            const auto *timer = qobject_cast<QTimer *>(watched);
            ++ticks[QStringLiteral("%1 %2 #%3 every %4 ms")
                        .arg(QString::fromLatin1(watched->metaObject()->className()),
                             watched->parent() ? QString::fromLatin1(
                                                     watched->parent()->metaObject()->className())
                                               : QString())
                        .arg(static_cast<QTimerEvent *>(event)->timerId())
                        .arg(timer ? timer->interval() : -1)];
        }
        return false;
    }

private:
    QWidget *m_window;
    QWidget *m_canvas;
};

class AtRest : public AcceptanceTest
{
protected:
    void SetUp() override
    {
        AcceptanceTest::SetUp();
        // A blinking caret is the platform's choice: without it, any paint
        // is work the program did not need.
        m_flashTime = QGuiApplication::styleHints()->cursorFlashTime();
        QGuiApplication::styleHints()->setCursorFlashTime(0);
    }
    void TearDown() override
    {
        QGuiApplication::styleHints()->setCursorFlashTime(m_flashTime);
        AcceptanceTest::TearDown();
    }

    // Runs the event loop without settling anything ahead of its time.
    static void run(QElapsedTimer &clock, int untilMs)
    {
        while (clock.elapsed() < untilMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            NotificationQueue::defaultQueue().flush();
            QTest::qSleep(2);
        }
    }

    static TWMapBranch *childNamed(const TWMapBranch &parent, const QString &name)
    {
        for (const auto &child : parent.children())
            if (label(*child) == name)
                return child.get();
        return nullptr;
    }

    // Long enough for every delayed refresh to have come.
    static constexpr int ObservedMs = 3000;
    static constexpr int SettledMs = 2500;
    int m_flashTime = 0;
};

} // namespace

TEST_P(AtRest, AddingAChildLeavesTheWindowIdleWithin100Ms)
{
    TWDocument *document = newDocument(QSize(1300, 700));
    ASSERT_TRUE(document);
    TWMap *map = currentMap(document);
    ASSERT_TRUE(map && map->root());
    // A chain wider than the window, with a second leaf on its third level.
    TWMapBranch *two = nullptr;
    TWMapBranch *last = map->root().get();
    for (const char *name : {"One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight"}) {
        grow(document, *last, {QString::fromLatin1(name)});
        last = childNamed(*last, QString::fromLatin1(name));
        ASSERT_TRUE(last);
        if (QLatin1String(name) == QLatin1String("Two"))
            two = last;
    }
    grow(document, *two, {"Side"});
    wait(300);

    // The rightmost leaf: its child lies beyond the canvas, which grows to
    // the map only once the label is done.
    const auto rightmost = [&]() -> TWMapBranch * {
        TWMapBranch *found = nullptr;
        TWMapBranch::BranchList all;
        map->root()->allDescendantsIntoArray(all, false);
        for (const auto &branch : std::as_const(all))
            if (branch->countOfChildren() == 0 &&
                (!found || branch->mainGraphic()->bounds().maxX() >
                               found->mainGraphic()->bounds().maxX()))
                found = branch.get();
        return found;
    };
    struct Case
    {
        const char *where;
        std::function<TWMapBranch *()> parent;
        // The new label's editor reaches past the canvas's edge.
        bool editorCut;
    };
    const Case cases[] = {
        {"central branch", [&] { return map->root().get(); }, false},
        {"deep leaf inside the map",
         [&] { return childNamed(*two, QStringLiteral("Side")); }, false},
        {"deep leaf at the canvas's right edge", rightmost, true},
    };
    TWGraphicView *view = document->graphicView();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.where);
        TWMapBranch *parent = c.parent();
        ASSERT_TRUE(parent && parent->enclosedTextArea());
        click(document, windowPoint(document, *parent->enclosedTextArea()));
        wait(2500);
        const int children = parent->countOfChildren();

        QElapsedTimer clock;
        ActivityCounter shown(document->mainWindow(), view);
        QTest::keyClick(windowHandle(document), Qt::Key_Tab);
        clock.start();
        // The canvas shows the child, however long a busy machine takes; then
        // nothing repaints it however long the window is watched.
        while (shown.canvasPaints == 0 && clock.elapsed() < 60000)
            run(clock, int(clock.elapsed()) + 20);
        for (int painted = -1; painted != shown.canvasPaints && clock.elapsed() < 60000;) {
            painted = shown.canvasPaints;
            run(clock, int(clock.elapsed()) + 100);
        }
        ASSERT_GT(shown.canvasPaints, 0);
        // The palettes follow the edit once it pauses (up to 2 s later) and
        // the navigator draws its picture in as many slices as the machine
        // needs: the window is watched once it has painted nothing for
        // longer than that. A window that never rests fails below.
        QElapsedTimer quiet;
        quiet.start();
        for (int seen = shown.allPaints;
             quiet.elapsed() < SettledMs && clock.elapsed() < 60000;) {
            run(clock, int(clock.elapsed()) + 50);
            if (std::exchange(seen, shown.allPaints) != shown.allPaints)
                quiet.restart();
        }
        ActivityCounter counter(document->mainWindow(), view);
        clock.restart();
        run(clock, ObservedMs);

        EXPECT_EQ(parent->countOfChildren(), children + 1);
        ASSERT_TRUE(view->editingTextArea());
        const QRect editor = view->editorView()->geometry();
        EXPECT_EQ(editor.right() >= view->viewport()->width(), c.editorCut)
            << "editor at " << editor.x() << "+" << editor.width() << " in a canvas "
            << view->viewport()->width() << " wide";
        // Once at rest, nothing paints the canvas again, and nothing else
        // paints, nor does a timer tick, more often than once a second.
        EXPECT_EQ(counter.canvasPaints, 0);
        EXPECT_EQ(ActivityCounter::moreThan(counter.paints, ObservedMs / 1000).join(u'\n').toStdString(), "");
        EXPECT_EQ(ActivityCounter::moreThan(counter.ticks, ObservedMs / 1000)
                      .join(u'\n')
                      .toStdString(),
                  "");
        if (c.editorCut)
            grab(document, QStringLiteral("cut-editor"));
        key(document, Qt::Key_Escape);
    }
}

ACCEPTANCE_EDITIONS(AtRest);
