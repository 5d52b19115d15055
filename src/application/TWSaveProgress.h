#pragma once

#include "model/TWFileIO.h"

#include <QByteArrayView>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <functional>

class QAbstractScrollArea;

// The branch elements that start in a piece of a document's text.
qint64 branchTagsIn(QByteArrayView text);

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
    // text will hold. The bar follows the bytes written against the length
    // that many branches take in the pieces of text sampled so far.
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
    qint64 m_branches = 0;
    qint64 m_textBytes = 0;
    // Every SampleEvery-th piece of text is searched for its branches: what
    // they take tells how long the whole text will be, at a small part of
    // the cost of searching it all.
    static constexpr int SampleEvery = 8;
    qint64 m_pieces = 0;
    qint64 m_sampledBytes = 0;
    qint64 m_sampledBranches = 0;
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
