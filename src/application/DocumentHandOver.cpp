#include "application/DocumentHandOver.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <QtDebug>

#include <algorithm>

namespace {

int callTimeoutMs = DocumentHandOver::CallTimeoutMs;

// The bus's RequestName flag and answers.
constexpr uint DoNotQueue = 4;
constexpr uint PrimaryOwner = 1, AlreadyOwner = 4;

// The answer to `call`, or an error once the wait is over. Events go on
// meanwhile: the program that answers may be this one. The wait is ended
// by a timer of this thread's own, because the bus library's timeout was
// once seen not to come, which left a launch without a window for good.
QDBusMessage callWithDeadline(QDBusConnection &bus, const QDBusMessage &call)
{
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, callTimeoutMs));
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(callTimeoutMs, &loop, &QEventLoop::quit);
    if (!watcher.isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!watcher.isFinished())
        return call.createErrorReply(QDBusError::NoReply,
                                     QStringLiteral("no answer within %1 ms").arg(callTimeoutMs));
    return watcher.reply();
}

} // namespace

DocumentHandOver::DocumentHandOver() = default;

void DocumentHandOver::setCallTimeoutMs(int milliseconds)
{
    callTimeoutMs = milliseconds;
}

DocumentHandOver::~DocumentHandOver()
{
    stop();
}

QString DocumentHandOver::serviceNameFor(const QString &applicationIdentifier)
{
    // A bus name needs two elements, none starting with a digit.
    const QStringList parts = applicationIdentifier.split(u'.');
    const bool usable =
        parts.size() >= 2 && std::all_of(parts.cbegin(), parts.cend(), [](const QString &part) {
            if (part.isEmpty() || part.front().isDigit())
                return false;
            return std::all_of(part.cbegin(), part.cend(), [](QChar c) {
                return (c.isLetterOrNumber() && c.unicode() < 128) || c == u'_' || c == u'-';
            });
        });
    return usable ? applicationIdentifier : QStringLiteral("org.thinkweb.Thinkweb");
}

DocumentHandOver::Outcome DocumentHandOver::start(const QDBusConnection &connection,
                                                  const QString &service, const QStringList &files)
{
    stop();
    if (!connection.isConnected() || service.isEmpty() || !connection.interface())
        return Outcome::Alone;
    QDBusConnection bus = connection;
    QStringList absolute;
    for (const QString &file : files)
        absolute << QFileInfo(file).absoluteFilePath();
    // Taking the name is the test, so that two launches at once agree on
    // which of them runs. A program that is ending gives the name up before
    // it refuses files: the second try then takes it.
    for (int attempt = 0; attempt < 2; ++attempt) {
        QDBusMessage request = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
        request << service << uint(DoNotQueue);
        const QDBusReply<uint> taken = callWithDeadline(bus, request);
        if (taken.isValid() && (taken.value() == PrimaryOwner || taken.value() == AlreadyOwner)) {
            if (!bus.registerObject(ObjectPath, this, QDBusConnection::ExportScriptableSlots)) {
                bus.interface()->unregisterService(service);
                return Outcome::Alone;
            }
            m_connection = std::make_unique<QDBusConnection>(bus);
            m_service = service;
            return Outcome::Running;
        }
        if (!taken.isValid())
            return Outcome::Alone;
        QDBusMessage call = QDBusMessage::createMethodCall(service, ObjectPath, Interface,
                                                           QStringLiteral("OpenFiles"));
        call << absolute;
        const QDBusMessage reply = callWithDeadline(bus, call);
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
            reply.arguments().first().toBool())
            return Outcome::HandedOver;
        qWarning().noquote() << "The running program did not take the files:"
                             << (reply.errorMessage().isEmpty() ? QStringLiteral("refused")
                                                                : reply.errorMessage());
    }
    return Outcome::Alone;
}

QStringList DocumentHandOver::handOverOpenFiles(const QDBusConnection &connection,
                                                const QString &service, const QStringList &files)
{
    if (files.isEmpty() || service.isEmpty() || !connection.isConnected())
        return {};
    QStringList absolute;
    for (const QString &file : files)
        absolute << QFileInfo(file).absoluteFilePath();
    QDBusMessage call = QDBusMessage::createMethodCall(service, ObjectPath, Interface,
                                                       QStringLiteral("TakeOpenFiles"));
    // Nothing is started for the question: only a program that runs answers.
    call.setAutoStartService(false);
    call << absolute;
    QDBusConnection bus = connection;
    const QDBusMessage reply = callWithDeadline(bus, call);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    QStringList taken;
    // Only what was asked counts as taken.
    for (const QString &file : reply.arguments().first().toStringList())
        if (absolute.contains(file) && !taken.contains(file))
            taken << file;
    return taken;
}

QStringList DocumentHandOver::handOverOpenFilesOnSessionBus(const QString &service,
                                                            const QStringList &files)
{
    return handOverOpenFiles(QDBusConnection::sessionBus(), service, files);
}

QStringList DocumentHandOver::handOverOpenFilesOnBus(const QString &address, const QString &service,
                                                     const QStringList &files)
{
    const QString name = QStringLiteral("thinkweb-handover-%1").arg(address);
    QStringList taken =
        handOverOpenFiles(QDBusConnection::connectToBus(address, name), service, files);
    QDBusConnection::disconnectFromBus(name);
    return taken;
}

DocumentHandOver::Outcome DocumentHandOver::startOnSessionBus(const QString &service,
                                                              const QStringList &files)
{
    return start(QDBusConnection::sessionBus(), service, files);
}

DocumentHandOver::Outcome DocumentHandOver::startOnBus(const QString &address,
                                                       const QString &service,
                                                       const QStringList &files)
{
    // A connection of each object's own: two of them may meet on one bus.
    const QString name =
        QStringLiteral("thinkweb-documents-%1-%2").arg(quintptr(this), 0, 16).arg(address);
    const Outcome outcome = start(QDBusConnection::connectToBus(address, name), service, files);
    if (outcome == Outcome::Running)
        m_ownConnection = name;
    else
        QDBusConnection::disconnectFromBus(name);
    return outcome;
}

void DocumentHandOver::stop()
{
    if (m_connection) {
        m_connection->unregisterObject(ObjectPath);
        m_connection->unregisterService(m_service);
        m_connection.reset();
        m_service.clear();
    }
    if (!m_ownConnection.isEmpty())
        QDBusConnection::disconnectFromBus(std::exchange(m_ownConnection, QString()));
}

bool DocumentHandOver::OpenFiles(const QStringList &files)
{
    if (!m_connection || !m_receiver)
        return false;
    // Any program of the session may call: only absolute paths are taken.
    for (const QString &file : files)
        if (!QDir::isAbsolutePath(file))
            return false;
    // Answered at once: opening may ask the user something, and the launch
    // that handed the files over should not wait for that.
    QTimer::singleShot(0, this, [this, files] {
        if (m_receiver)
            m_receiver(files);
    });
    return true;
}

QStringList DocumentHandOver::TakeOpenFiles(const QStringList &files)
{
    if (!m_connection || !m_receiver || !m_openQuery)
        return {};
    QStringList taken;
    for (const QString &file : files)
        if (QDir::isAbsolutePath(file) && m_openQuery(file) && !taken.contains(file))
            taken << file;
    if (!taken.isEmpty())
        QTimer::singleShot(0, this, [this, taken] {
            if (m_receiver)
                m_receiver(taken);
        });
    return taken;
}
