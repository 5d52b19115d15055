#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Collects qWarning lines for the life of the object.
class LogCapture
{
public:
    LogCapture()
    {
        m_previous = qInstallMessageHandler(&LogCapture::handler);
        current() = this;
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        current() = nullptr;
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    const QStringList &lines() const { return m_lines; }
    int count(const QString &line) const { return int(m_lines.count(line)); }
    bool contains(const QString &line) const { return m_lines.contains(line); }
    void clear() { m_lines.clear(); }

private:
    static LogCapture *&current()
    {
        static LogCapture *instance = nullptr;
        return instance;
    }
    static void handler(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        if (current())
            current()->m_lines.append(message);
    }

    QtMessageHandler m_previous = nullptr;
    QStringList m_lines;
};
