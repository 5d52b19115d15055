#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace TestSupport {

// Lets one pass of the event loop run, so that work deferred to "the end of
// the current pass" (undo grouping, queued notifications) happens.
inline void runEventLoopPass()
{
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace TestSupport
