#include "application/LinkBackBus.h"

#include "application/LinkBackRegistry.h"
#include "support/LinkBackData.h"
#include "support/PropertyList.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDBusMessage>
#include <QDebug>
#include <QUuid>

namespace {
// A call that waits for its answer gives up after this long.
constexpr int CallTimeoutMs = 30000;

std::optional<QByteArray> serialized(const QVariant &value)
{
    QString error;
    std::optional<QByteArray> data = PropertyList::dataWithPropertyList(value, &error);
    if (!data)
        qWarning().noquote() << "LinkBack: data cannot be sent:" << error;
    return data;
}
} // namespace

QVariant linkBackPasteboardRepresentation(const LinkBackPasteboard &pasteboard)
{
    QVariantMap entries;
    for (const QString &type : pasteboard.types())
        entries.insert(type, pasteboard.propertyList(type));
    return QVariantMap{{QStringLiteral("types"), pasteboard.types()},
                       {QStringLiteral("entries"), entries}};
}

bool setLinkBackPasteboardRepresentation(LinkBackPasteboard &pasteboard,
                                         const QVariant &representation)
{
    if (representation.typeId() != QMetaType::QVariantMap)
        return false;
    const QVariantMap map = representation.toMap();
    const QVariant types = map.value(QStringLiteral("types"));
    const QVariant entries = map.value(QStringLiteral("entries"));
    if (types.typeId() != QMetaType::QVariantList || entries.typeId() != QMetaType::QVariantMap)
        return false;
    QStringList names;
    for (const QVariant &type : types.toList()) {
        if (type.typeId() != QMetaType::QString)
            return false;
        names << type.toString();
    }
    pasteboard.declareTypes(names);
    const QVariantMap values = entries.toMap();
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (names.contains(it.key()))
            pasteboard.setPropertyList(it.value(), it.key());
    }
    return true;
}

// This program's end of a link whose other end is in another program.
class RemoteLinkBack : public LinkBack
{
public:
    RemoteLinkBack(const QString &linkId, const QString &peer, LinkBackDelegate *delegate,
                   const QString &sourceName, const QString &sourceApplicationName,
                   const QString &itemKey)
        : m_linkId(linkId), m_peer(peer), m_delegate(delegate), m_sourceName(sourceName),
          m_sourceApplicationName(sourceApplicationName), m_itemKey(itemKey)
    {}

    const QString &linkId() const { return m_linkId; }
    const QString &peer() const { return m_peer; }
    LinkBackDelegate *delegate() const { return m_delegate; }
    bool isClosed() const { return m_closed; }
    void markClosed() { m_closed = true; }

    QVariant representedObject() const override { return m_represented; }
    void setRepresentedObject(const QVariant &object) override { m_represented = object; }
    LinkBackPasteboard &pasteboard() override { return m_pasteboard; }

    bool sendEdit() override
    {
        LinkBackBus &bus = LinkBackBus::shared();
        const std::optional<QByteArray> content =
            serialized(linkBackPasteboardRepresentation(m_pasteboard));
        if (m_closed || !bus.isConnected() || !content)
            return false;
        QDBusMessage call = bus.callOf(m_peer, QStringLiteral("SendEdit"));
        call << m_linkId << *content;
        const QDBusMessage reply = bus.m_connection->call(call, QDBus::Block, CallTimeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            qWarning().noquote() << "LinkBack: the edit did not reach" << m_peer << ":"
                                 << reply.errorMessage();
            return false;
        }
        return reply.arguments().first().toBool();
    }

    void closeLink() override
    {
        if (m_closed)
            return;
        m_closed = true;
        LinkBackBus &bus = LinkBackBus::shared();
        // The bus may hold the last reference to this end.
        const std::shared_ptr<RemoteLinkBack> self = bus.take(m_linkId);
        if (bus.isConnected()) {
            QDBusMessage call = bus.callOf(m_peer, QStringLiteral("CloseLink"));
            call << m_linkId;
            bus.m_connection->send(call);
        }
    }

    QString sourceName() const override { return m_sourceName; }
    QString sourceApplicationName() const override { return m_sourceApplicationName; }
    QString itemKey() const override { return m_itemKey; }

private:
    QString m_linkId;
    QString m_peer;
    LinkBackDelegate *m_delegate;
    LinkBackPasteboard m_pasteboard;
    QVariant m_represented;
    QString m_sourceName;
    QString m_sourceApplicationName;
    QString m_itemKey;
    bool m_closed = false;
};

LinkBackBus::LinkBackBus() = default;
LinkBackBus::~LinkBackBus() = default;

LinkBackBus &LinkBackBus::shared()
{
    static LinkBackBus *bus = new LinkBackBus;
    return *bus;
}

bool LinkBackBus::start(const QDBusConnection &connection)
{
    if (m_connection)
        stop();
    if (!connection.isConnected())
        return false;
    QDBusConnection bus = connection;
    const QString name =
        QStringLiteral("org.thinkweb.LinkBack.p%1").arg(QCoreApplication::applicationPid());
    if (!bus.registerService(name)) {
        qWarning().noquote() << "LinkBack: the bus name" << name
                             << "is taken:" << bus.lastError().message();
        return false;
    }
    if (!bus.registerObject(ObjectPath, this, QDBusConnection::ExportScriptableSlots)) {
        bus.unregisterService(name);
        return false;
    }
    m_connection = std::make_unique<QDBusConnection>(bus);
    m_serviceName = name;
    LinkBackData::setLocalServerAddress(name);
    return true;
}

bool LinkBackBus::startOnSessionBus()
{
    return start(QDBusConnection::sessionBus());
}

bool LinkBackBus::startOnBus(const QString &address)
{
    const QString name = QStringLiteral("thinkweb-linkback-%1").arg(address);
    if (!start(QDBusConnection::connectToBus(address, name))) {
        QDBusConnection::disconnectFromBus(name);
        return false;
    }
    m_ownConnection = name;
    return true;
}

void LinkBackBus::stop()
{
    if (!m_connection)
        return;
    const QList<std::shared_ptr<RemoteLinkBack>> open = m_links.values();
    for (const std::shared_ptr<RemoteLinkBack> &link : open)
        link->closeLink();
    m_connection->unregisterObject(ObjectPath);
    m_connection->unregisterService(m_serviceName);
    m_connection.reset();
    if (!m_ownConnection.isEmpty())
        QDBusConnection::disconnectFromBus(std::exchange(m_ownConnection, QString()));
    m_serviceName.clear();
    LinkBackData::setLocalServerAddress(QString());
}

bool LinkBackBus::isReachable(const QString &service) const
{
    if (!m_connection || service.isEmpty() || !m_connection->interface())
        return false;
    const QDBusReply<bool> reply = m_connection->interface()->isServiceRegistered(service);
    return reply.isValid() && reply.value();
}

QDBusMessage LinkBackBus::callOf(const QString &service, const QString &method) const
{
    return QDBusMessage::createMethodCall(service, ObjectPath, Interface, method);
}

std::shared_ptr<RemoteLinkBack> LinkBackBus::take(const QString &linkId)
{
    return m_links.take(linkId);
}

std::shared_ptr<LinkBack> LinkBackBus::openLink(const QString &service, const QVariantMap &data,
                                                const QString &sourceName,
                                                LinkBackDelegate *client, const QString &itemKey)
{
    const std::optional<QByteArray> payload = serialized(data);
    if (!m_connection || !payload)
        return nullptr;
    // An item already open keeps its one link; asked again on it, the
    // server brings its editor forward.
    for (const std::shared_ptr<RemoteLinkBack> &open : std::as_const(m_links)) {
        if (open->peer() != service || open->delegate() != client || itemKey.isEmpty() ||
            open->itemKey() != itemKey || open->isClosed())
            continue;
        const std::shared_ptr<RemoteLinkBack> end = open;
        QDBusMessage call = callOf(service, QStringLiteral("RequestEdit"));
        call << end->linkId() << m_serviceName << *payload << sourceName
             << QCoreApplication::applicationName() << itemKey;
        const QDBusMessage reply = m_connection->call(call, QDBus::Block, CallTimeoutMs);
        const bool accepted = reply.type() == QDBusMessage::ReplyMessage &&
                              !reply.arguments().isEmpty() && reply.arguments().first().toBool();
        return accepted && !end->isClosed() ? end : nullptr;
    }
    const QString linkId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString application = QCoreApplication::applicationName();
    auto end = std::make_shared<RemoteLinkBack>(linkId, service, client, sourceName, application,
                                                itemKey);
    end->pasteboard().declareTypes({LinkBackPboardType});
    end->pasteboard().setPropertyList(data, LinkBackPboardType);
    // Known before the request: the server may answer within it.
    m_links.insert(linkId, end);
    QDBusMessage call = callOf(service, QStringLiteral("RequestEdit"));
    call << linkId << m_serviceName << *payload << sourceName << application << itemKey;
    const QDBusMessage reply = m_connection->call(call, QDBus::Block, CallTimeoutMs);
    const bool accepted = reply.type() == QDBusMessage::ReplyMessage &&
                          !reply.arguments().isEmpty() && reply.arguments().first().toBool();
    if (!accepted || end->isClosed()) {
        if (reply.type() == QDBusMessage::ErrorMessage)
            qWarning().noquote() << "LinkBack:" << service << "cannot edit:" << reply.errorMessage();
        m_links.remove(linkId);
        return nullptr;
    }
    return end;
}

bool LinkBackBus::RequestEdit(const QString &linkId, const QString &clientService,
                              const QByteArray &data, const QString &sourceName,
                              const QString &sourceApplicationName, const QString &itemKey)
{
    QString error;
    const std::optional<QVariant> linkBackData = PropertyList::propertyListWithData(data, &error);
    if (!linkBackData || linkBackData->typeId() != QMetaType::QVariantMap) {
        qWarning().noquote() << "LinkBack: an edit request without readable data:" << error;
        return false;
    }
    LinkBackDelegate *server = LinkBackRegistry::shared().server(
        LinkBackData::linkBackServerName(linkBackData->toMap()));
    if (!server || linkId.isEmpty())
        return false;
    if (const std::shared_ptr<RemoteLinkBack> open = m_links.value(linkId)) {
        // The same item asked for again on its link: only that client may.
        if (open->peer() != clientService || open->delegate() != server || open->isClosed())
            return false;
        server->linkBackClientDidRequestEdit(open.get());
        return !open->isClosed();
    }
    auto end = std::make_shared<RemoteLinkBack>(linkId, clientService, server, sourceName,
                                                sourceApplicationName, itemKey);
    end->pasteboard().declareTypes({LinkBackPboardType});
    end->pasteboard().setPropertyList(*linkBackData, LinkBackPboardType);
    m_links.insert(linkId, end);
    server->linkBackClientDidRequestEdit(end.get());
    // A server that refused the edit has ended the link already.
    return !end->isClosed();
}

bool LinkBackBus::SendEdit(const QString &linkId, const QByteArray &pasteboard)
{
    const std::shared_ptr<RemoteLinkBack> end = m_links.value(linkId);
    if (!end || !end->delegate())
        return false;
    QString error;
    const std::optional<QVariant> content = PropertyList::propertyListWithData(pasteboard, &error);
    if (!content || !setLinkBackPasteboardRepresentation(end->pasteboard(), *content)) {
        qWarning().noquote() << "LinkBack: an edit that cannot be read:" << error;
        return false;
    }
    end->delegate()->linkBackServerDidSendEdit(end.get());
    return true;
}

void LinkBackBus::CloseLink(const QString &linkId)
{
    const std::shared_ptr<RemoteLinkBack> end = take(linkId);
    if (!end)
        return;
    end->markClosed();
    if (end->delegate())
        end->delegate()->linkBackDidClose(end.get());
}
