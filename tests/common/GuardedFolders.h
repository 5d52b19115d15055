#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

// A temporary folder and a home of their own, each holding a file
// "victim.txt" that reads "SECRET", set as TMPDIR and HOME while the object
// lives: what a hostile picture may reach, and must leave as it was.
class GuardedFolders
{
public:
    GuardedFolders()
    {
        m_ready = m_outer.isValid();
        for (const char *name : {"tmp", "home"}) {
            QFile victim(folder(name) + "/victim.txt");
            m_ready = m_ready && QDir(m_outer.path()).mkpath(QString::fromLatin1(name)) &&
                      victim.open(QIODevice::WriteOnly) && victim.write("SECRET") == 6;
        }
        m_savedTmp = qgetenv("TMPDIR");
        m_savedHome = qgetenv("HOME");
        qputenv("TMPDIR", QFile::encodeName(folder("tmp")));
        qputenv("HOME", QFile::encodeName(folder("home")));
    }
    ~GuardedFolders()
    {
        qputenv("TMPDIR", m_savedTmp);
        qputenv("HOME", m_savedHome);
    }
    GuardedFolders(const GuardedFolders &) = delete;
    GuardedFolders &operator=(const GuardedFolders &) = delete;

    bool isReady() const { return m_ready; }
    QString path() const { return m_outer.path(); }
    QString folder(const char *name) const { return m_outer.filePath(QString::fromLatin1(name)); }

    // The entries of "tmp" or "home" with their contents.
    QStringList listing(const char *name) const
    {
        QStringList entries;
        const QDir dir(folder(name));
        for (const QString &entry :
             dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
            QFile file(dir.filePath(entry));
            entries << entry + '=' + (file.open(QIODevice::ReadOnly) ? file.readAll() : "?");
        }
        return entries;
    }

private:
    QTemporaryDir m_outer;
    QByteArray m_savedTmp, m_savedHome;
    bool m_ready = false;
};
