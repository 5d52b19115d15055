#pragma once

#include <QString>

// Writes a report with a backtrace when the program dies of a fatal signal,
// so that the user can send it to the maker.
namespace CrashReporter {

// $XDG_STATE_HOME/thinkweb, else ~/.local/state/thinkweb.
QString defaultFolder();

// Installs the handlers for SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT. Each
// report goes to "crash-<pid>.txt" in `folder` (made when missing), by
// default the user's state folder. False when the folder cannot be made.
bool launch(const QString &company, const QString &reportAddress,
            const QString &folder = defaultFolder());
// The file the next report will be written to; empty before launch().
QString reportPath();

} // namespace CrashReporter
