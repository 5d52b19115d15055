#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class QDBusConnection;

// One running program per edition and user session: the first launch takes
// the edition's name on the session bus (the bus LinkBack uses); a later
// launch hands the files it was given to that program, which opens them or
// brings their windows to the front, and ends. Main thread only.
class DocumentHandOver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.thinkweb.Documents")

public:
    static inline const QString ObjectPath = QStringLiteral("/Documents");
    static inline const QString Interface = QStringLiteral("org.thinkweb.Documents");
    // How long a launch waits for the running program to take its files.
    static constexpr int CallTimeoutMs = 10000;
    // Tests shorten the wait.
    static void setCallTimeoutMs(int milliseconds);

    enum class Outcome {
        // This program holds the name: it opens its own files and those of
        // later launches.
        Running,
        // The running program took the files: this launch ends.
        HandedOver,
        // No bus, or the program holding the name did not answer: this
        // launch runs on its own.
        Alone,
    };

    // Files handed over arrive here, absolute, on a later pass of the event
    // loop; an empty list asks for what a launch without files shows.
    using Receiver = std::function<void(const QStringList &files)>;

    DocumentHandOver();
    ~DocumentHandOver() override;

    // The bus name of an edition's running program, from its identifier.
    static QString serviceNameFor(const QString &applicationIdentifier);

    // Takes `service` on the bus, or hands `files` to the program that holds it.
    Outcome start(const QDBusConnection &connection, const QString &service,
                  const QStringList &files);
    // The session bus, when there is one.
    Outcome startOnSessionBus(const QString &service, const QStringList &files);
    // The bus at that address, on a connection of its own.
    Outcome startOnBus(const QString &address, const QString &service, const QStringList &files);
    // Gives the name up, so that a launch from now on runs on its own
    // rather than hand its files to a program that is ending.
    void stop();
    bool isRunning() const { return m_connection != nullptr; }

    void setReceiver(Receiver receiver) { m_receiver = std::move(receiver); }
    // Whether this program has the file (an absolute path) open: a launch
    // of the other edition hands such a file here instead of opening it.
    using OpenQuery = std::function<bool(const QString &file)>;
    void setOpenQuery(OpenQuery query) { m_openQuery = std::move(query); }

    // Hands those of `files` that the program holding `service` has open to
    // it, which brings their windows to the front; answers the files it
    // took (absolute), none when no such program runs or answers.
    static QStringList handOverOpenFiles(const QDBusConnection &connection, const QString &service,
                                         const QStringList &files);
    static QStringList handOverOpenFilesOnSessionBus(const QString &service,
                                                     const QStringList &files);
    // The same over the bus at that address, on a connection of its own.
    static QStringList handOverOpenFilesOnBus(const QString &address, const QString &service,
                                              const QStringList &files);

public slots:
    // What later launches call: true once the files are taken.
    Q_SCRIPTABLE bool OpenFiles(const QStringList &files);
    // What a launch of the other edition calls: the files of the list this
    // program has open, which it then shows.
    Q_SCRIPTABLE QStringList TakeOpenFiles(const QStringList &files);

private:
    std::unique_ptr<QDBusConnection> m_connection;
    // The name of a connection this object opened itself.
    QString m_ownConnection;
    QString m_service;
    Receiver m_receiver;
    OpenQuery m_openQuery;
};
