#pragma once

#include "application/LinkBack.h"

#include <QHash>
#include <QObject>
#include <memory>

// A server for the item can be reached: here or in the program that made it.
bool linkBackCanEdit(const QVariantMap &data);

// A link's pasteboard as a property list, to carry it to another program, and
// back (a new content); false when it is not such a list.
QVariant linkBackPasteboardRepresentation(const LinkBackPasteboard &pasteboard);
bool setLinkBackPasteboardRepresentation(LinkBackPasteboard &pasteboard,
                                         const QVariant &representation);

class QDBusConnection;
class QDBusMessage;
class RemoteLinkBack;

// LinkBack between programs over a D-Bus bus: each program that joins offers
// its published servers under a name of its own, and its links to another
// program's servers travel as calls between the two. Main thread only.
class LinkBackBus : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.thinkweb.LinkBack")

public:
    static inline const QString ObjectPath = QStringLiteral("/LinkBack");
    static inline const QString Interface = QStringLiteral("org.thinkweb.LinkBack");

    static LinkBackBus &shared();

    // Joins the bus under this program's name; false (and nothing joined)
    // when the bus cannot be reached or the name is taken.
    bool start(const QDBusConnection &connection);
    // The session bus, when there is one.
    bool startOnSessionBus();
    // The bus at that address, on a connection of its own.
    bool startOnBus(const QString &address);
    // Leaves the bus; the open links end and their other sides are told.
    void stop();
    bool isConnected() const { return m_connection != nullptr; }
    // This program's name on the bus; empty when it is on none.
    QString serviceName() const { return m_serviceName; }
    // Another program answers to that name.
    bool isReachable(const QString &service) const;

    // The client's end of a new link to the server of `service`, which hears
    // the edit request; nullptr when it refuses or cannot be reached.
    std::shared_ptr<LinkBack> openLink(const QString &service, const QVariantMap &data,
                                       const QString &sourceName, LinkBackDelegate *client,
                                       const QString &itemKey);
    int openLinkCount() const { return int(m_links.size()); }

public slots:
    // What the other programs call.
    Q_SCRIPTABLE bool RequestEdit(const QString &linkId, const QString &clientService,
                                  const QByteArray &data, const QString &sourceName,
                                  const QString &sourceApplicationName, const QString &itemKey);
    Q_SCRIPTABLE bool SendEdit(const QString &linkId, const QByteArray &pasteboard);
    Q_SCRIPTABLE void CloseLink(const QString &linkId);

private:
    friend class RemoteLinkBack;
    LinkBackBus();
    ~LinkBackBus() override;
    QDBusMessage callOf(const QString &service, const QString &method) const;
    std::shared_ptr<RemoteLinkBack> take(const QString &linkId);

    std::unique_ptr<QDBusConnection> m_connection;
    // The name of a connection this object opened itself.
    QString m_ownConnection;
    QString m_serviceName;
    // This program's end of every open link, by the link's identifier.
    QHash<QString, std::shared_ptr<RemoteLinkBack>> m_links;
};
