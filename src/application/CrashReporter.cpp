#include "application/CrashReporter.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <csignal>
#include <cstring>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Everything the handler needs is prepared here, because it may not allocate.
char g_path[4096];
char g_header[1024];
size_t g_headerLength = 0;
bool g_installed = false;
QString g_reportPath;

constexpr int FatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
alignas(16) char g_alternateStack[64 * 1024];
// What answered each signal before, so that it still does after the report.
struct sigaction g_previous[NSIG];

void writeAll(int fd, const char *text, size_t length)
{
    while (length > 0) {
        const ssize_t written = write(fd, text, length);
        if (written <= 0)
            return;
        text += written;
        length -= size_t(written);
    }
}

void writeText(int fd, const char *text)
{
    writeAll(fd, text, strlen(text));
}

void writeNumber(int fd, long value)
{
    char digits[24];
    size_t n = 0;
    const bool negative = value < 0;
    unsigned long v = negative ? 0UL - static_cast<unsigned long>(value) : value;
    do {
        digits[sizeof digits - 1 - n++] = char('0' + v % 10);
        v /= 10;
    } while (v && n < sizeof digits - 1);
    if (negative)
        digits[sizeof digits - 1 - n++] = '-';
    writeAll(fd, digits + sizeof digits - n, n);
}

const char *signalName(int signal)
{
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGILL:
        return "SIGILL";
    case SIGFPE:
        return "SIGFPE";
    case SIGABRT:
        return "SIGABRT";
    }
    return "signal";
}

void handleFatalSignal(int signal)
{
    const int fd = open(g_path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd >= 0) {
        writeAll(fd, g_header, g_headerLength);
        writeText(fd, "Signal: ");
        writeText(fd, signalName(signal));
        writeText(fd, " (");
        writeNumber(fd, signal);
        writeText(fd, ")\nProcess: ");
        writeNumber(fd, long(getpid()));
        writeText(fd, "\n\nBacktrace:\n");
        void *frames[128];
        const int count = backtrace(frames, 128);
        backtrace_symbols_fd(frames, count, fd);
        close(fd);
    }
    // Hand the signal to whoever had it before (the default: die of it), so
    // that the parent, a debugger or a sanitizer still see it.
    sigaction(signal, &g_previous[signal], nullptr);
    raise(signal);
}

} // namespace

namespace CrashReporter {

QString defaultFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/thinkweb");
}

QString reportPath()
{
    return g_reportPath;
}

bool launch(const QString &company, const QString &reportAddress, const QString &folder)
{
    if (!QDir().mkpath(folder))
        return false;
    const QString path =
        QDir(folder).filePath(QStringLiteral("crash-%1.txt").arg(qint64(getpid())));
    const QByteArray encodedPath = QFile::encodeName(path);
    const QByteArray header = QStringLiteral("%1 crash report\nPlease send this file to %2.\n\n")
                                  .arg(company, reportAddress)
                                  .toUtf8()
                                  .left(sizeof g_header - 1);
    if (size_t(encodedPath.size()) >= sizeof g_path)
        return false;
    memcpy(g_path, encodedPath.constData(), size_t(encodedPath.size()) + 1);
    memcpy(g_header, header.constData(), size_t(header.size()));
    g_headerLength = size_t(header.size());
    g_reportPath = path;

    // The first backtrace() loads the unwinder, which a handler may not do.
    void *warmUp[1];
    backtrace(warmUp, 1);

    if (!g_installed) {
        // Its own stack, so that a stack overflow is reported too.
        stack_t stack{};
        stack.ss_sp = g_alternateStack;
        stack.ss_size = sizeof g_alternateStack;
        sigaltstack(&stack, nullptr);
        struct sigaction action
        {};
        action.sa_handler = handleFatalSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_ONSTACK;
        for (int signal : FatalSignals)
            sigaction(signal, &action, &g_previous[signal]);
        g_installed = true;
    }
    return true;
}

} // namespace CrashReporter
