#pragma once

#include "model/TWFileIO.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <functional>

class QAbstractScrollArea;

// Counts the branch elements in a text handed over in pieces, a tag cut
// between two pieces included.
class SavedBranchCounter
{
public:
    void feed(QByteArrayView text);
    qint64 count() const { return m_count; }

private:
    qint64 m_count = 0;
    // The end of the text so far, shorter than a tag.
    QByteArray m_carry;
};

class QDialog;
class QLabel;
class QProgressBar;
class QWidget;

// One save of a document, seen from its window. A save still running after
// ShowAfterMs shows a sheet on the window with a bar of its progress, and
// from then on lets the event loop run a pass about every PassEveryMs, so
// that the window repaints, resizes and its canvas can be scrolled. Until
// the save ends nothing may change or save a document: input to every
// window is dropped (but the plain wheel and the scroll bars of the canvas
// being saved), timers and sockets wait, queued notifications are held,
// and work handed to whenNoSaveRuns waits. A quick save shows nothing and
// runs no events; a save of a hidden window runs none either.
class TWSaveProgress : public QObject
{
public:
    static constexpr int ShowAfterMs = 500;
    static constexpr int PassEveryMs = 50;
    // The bar's range: the text fills most of it; the previews drawn after
    // it (a large map's take seconds) the rest.
    static constexpr int BarMaximum = 1000;
    static constexpr int TextShare = 800;
    static constexpr int PackageValue = 990;

    // title: the sheet's text; canvas: the view whose scrolling passes;
    // branchCount: asked once, when the sheet shows, how many branches the
    // text will hold (the bar counts them as they are written).
    TWSaveProgress(QWidget *window, QAbstractScrollArea *canvas, QString title,
                   std::function<qint64()> branchCount);
    ~TWSaveProgress() override;
    TWSaveProgress(const TWSaveProgress &) = delete;
    TWSaveProgress &operator=(const TWSaveProgress &) = delete;

    // Whether a save runs now.
    static bool isRunning();
    // Runs work at once when no save runs; else from the event loop once the
    // running one has ended, unless context is gone by then.
    static void whenNoSaveRuns(QObject *context, std::function<void()> work);

    // The sheet of the running save, once it shows.
    static QDialog *runningSheet();

    // Tests: called at each report of the save, before anything is decided.
    static void setReportHookForTesting(std::function<void()> hook);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void report(TWFileIO::SaveStep step, QByteArrayView text);
    void showSheet();
    void advanceBar(int value);
    // Whether an input event to watched may pass: scrolling the canvas, or
    // anything for a dialog that opened over everything during the save.
    bool passes(QObject *watched, QEvent *event) const;

    QPointer<QWidget> m_window;
    QPointer<QAbstractScrollArea> m_canvas;
    QString m_title;
    std::function<qint64()> m_branchCount;
    qint64 m_expected = 0;
    SavedBranchCounter m_written;
    QElapsedTimer m_clock;
    qint64 m_lastPassEnd = -1;
    // Only the outermost of nested saves shows and runs events.
    bool m_outermost = false;
    bool m_shown = false;
    QPointer<QDialog> m_sheet;
    // Where the user was when the sheet came: given back when it goes.
    QPointer<QWidget> m_activeWindow;
    QPointer<QWidget> m_focus;
    QProgressBar *m_bar = nullptr;
    TWFileIO::SaveProgressScope m_scope;
};
