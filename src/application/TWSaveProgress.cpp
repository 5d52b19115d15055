#include "application/TWSaveProgress.h"

#include "platform/NotificationQueue.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QByteArrayMatcher>
#include <QDialog>
#include <QDragMoveEvent>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

TWSaveProgress *g_running = nullptr;
std::function<void()> g_reportHook;

struct HeldWork
{
    QPointer<QObject> context;
    std::function<void()> work;
};
std::vector<HeldWork> g_held;

bool isInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::InputMethod:
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
    case QEvent::HoverLeave:
    case QEvent::Gesture:
    case QEvent::NativeGesture:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

} // namespace

TWSaveProgress::TWSaveProgress(QWidget *window, QAbstractScrollArea *canvas, QString title,
                               std::function<qint64()> branchCount)
    : m_window(window), m_canvas(canvas), m_title(std::move(title)),
      m_branchCount(std::move(branchCount)), m_outermost(g_running == nullptr),
      m_scope([this](TWFileIO::SaveStep step, QByteArrayView text) { report(step, text); })
{
    if (m_outermost)
        g_running = this;
    m_clock.start();
}

TWSaveProgress::~TWSaveProgress()
{
    if (m_shown) {
        qApp->removeEventFilter(this);
        // Some window systems give a shown window the activation whatever
        // it asks; the user's window gets it back (not when the user went
        // to another program meanwhile).
        const bool sheetWasActive = m_sheet && QApplication::activeWindow() == m_sheet;
        delete m_sheet.data();
        if (sheetWasActive && m_activeWindow && !QApplication::activeWindow()) {
            m_activeWindow->activateWindow();
            QApplication::setActiveWindow(m_activeWindow);
        }
        if (m_focus && !QApplication::focusWidget())
            m_focus->setFocus(Qt::OtherFocusReason);
        NotificationQueue::defaultQueue().resume();
    }
    if (!m_outermost)
        return;
    g_running = nullptr;
    // From the event loop: whoever asked is not called back inside the
    // save's caller.
    for (HeldWork &held : std::exchange(g_held, {}))
        if (held.context)
            QTimer::singleShot(0, held.context.data(), std::move(held.work));
}

bool TWSaveProgress::isRunning()
{
    return g_running != nullptr;
}

void TWSaveProgress::whenNoSaveRuns(QObject *context, std::function<void()> work)
{
    if (!g_running) {
        work();
        return;
    }
    g_held.push_back({context, std::move(work)});
}

QDialog *TWSaveProgress::runningSheet()
{
    return g_running ? g_running->m_sheet.data() : nullptr;
}

void TWSaveProgress::setReportHookForTesting(std::function<void()> hook)
{
    g_reportHook = std::move(hook);
}

qint64 branchTagsIn(QByteArrayView text)
{
    // No other element's name begins so.
    static const QByteArrayMatcher tag(QByteArrayLiteral("<TWMapBranch"));
    qint64 found = 0;
    for (qsizetype at = tag.indexIn(text); at >= 0; at = tag.indexIn(text, at + 1))
        ++found;
    return found;
}

void TWSaveProgress::report(TWFileIO::SaveStep step, QByteArrayView text)
{
    if (g_reportHook)
        g_reportHook();
    if (step == TWFileIO::SaveStep::Text) {
        m_textBytes += text.size();
        if (m_pieces++ % SampleEvery == 0) {
            m_sampledBytes += text.size();
            m_sampledBranches += branchTagsIn(text);
        }
    }
    if (!m_outermost || !m_window || !m_window->isVisible())
        return;
    if (!m_shown) {
        if (m_clock.elapsed() < ShowAfterMs)
            return;
        showSheet();
    }
    switch (step) {
    case TWFileIO::SaveStep::Text:
        // Nothing moves until a sampled piece held a branch.
        if (m_sampledBranches > 0) {
            const qint64 expected =
                std::max<qint64>(1, m_sampledBytes * m_branches / m_sampledBranches);
            advanceBar(int(TextShare * std::min(m_textBytes, expected) / expected));
        }
        break;
    case TWFileIO::SaveStep::OtherEntries:
        advanceBar(TextShare);
        break;
    case TWFileIO::SaveStep::Package:
        advanceBar(PackageValue);
        break;
    }
    if (m_lastPassEnd >= 0 && m_clock.elapsed() - m_lastPassEnd < PassEveryMs)
        return;
    // Timers and sockets wait for the save's end: they are where edits,
    // autosaves and other programs' requests come from.
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::X11ExcludeTimers |
                                    QEventLoop::ExcludeSocketNotifiers);
    m_lastPassEnd = m_clock.elapsed();
}

void TWSaveProgress::showSheet()
{
    m_shown = true;
    m_activeWindow = QApplication::activeWindow();
    m_focus = QApplication::focusWidget();
    m_branches = std::max<qint64>(1, m_branchCount ? m_branchCount() : 0);
    qApp->installEventFilter(this);
    // What observers would do with queued notifications waits as well.
    NotificationQueue::defaultQueue().suspend();

    auto *sheet = new QDialog(m_window, Qt::Sheet);
    sheet->setObjectName(QStringLiteral("SaveProgressSheet"));
    // It takes neither the focus nor the window's activation: the canvas
    // keeps both, as it had them.
    sheet->setAttribute(Qt::WA_ShowWithoutActivating);
    sheet->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    sheet->setWindowTitle(m_title);
    auto *layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(10);
    auto *label = new QLabel(m_title, sheet);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    layout->addWidget(label);
    m_bar = new QProgressBar(sheet);
    m_bar->setRange(0, BarMaximum);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    layout->addWidget(m_bar);
    sheet->setFixedWidth(std::max(360, label->sizeHint().width() + 40));
    sheet->adjustSize();
    // Hung from the top of the window it belongs to.
    const QRect frame = m_window->geometry();
    sheet->move(frame.x() + (frame.width() - sheet->width()) / 2, frame.y());
    m_sheet = sheet;
    sheet->show();
}

void TWSaveProgress::advanceBar(int value)
{
    // Never back, never full before the save is.
    if (m_bar && value > m_bar->value())
        m_bar->setValue(std::min(value, BarMaximum - 1));
}

bool TWSaveProgress::passes(QObject *watched, QEvent *event) const
{
    auto *widget = qobject_cast<QWidget *>(watched);
    // Windows hand their input on to their widgets, where it is judged.
    if (!widget)
        return event->type() != QEvent::Shortcut && event->type() != QEvent::ShortcutOverride;
    // An alert that opened over everything (Qt keeps the other windows from
    // it) must be answerable.
    if (QWidget *modal = QApplication::activeModalWidget();
        modal && modal != m_sheet && (modal == widget || modal->isAncestorOf(widget)))
        return true;
    if (!m_canvas)
        return false;
    const bool scrollBar =
        widget == m_canvas->horizontalScrollBar() || widget == m_canvas->verticalScrollBar();
    switch (event->type()) {
    case QEvent::Wheel: {
        // With a modifier the wheel zooms or scales the map.
        const auto modifiers = static_cast<QWheelEvent *>(event)->modifiers();
        return (widget == m_canvas || widget == m_canvas->viewport() || scrollBar) &&
               !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return scrollBar;
    default:
        return false;
    }
}

bool TWSaveProgress::eventFilter(QObject *watched, QEvent *event)
{
    if (!isInput(event->type()) || passes(watched, event))
        return false;
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Taken by the receiver: no shortcut fires, and the key is dropped.
        event->accept();
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
        static_cast<QDragMoveEvent *>(event)->ignore();
        break;
    default:
        event->ignore();
        break;
    }
    return true;
}
