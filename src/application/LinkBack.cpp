#include "application/LinkBack.h"
#include "support/LinkBackData.h"
#include "application/LinkBackBus.h"
#include "application/LinkBackRegistry.h"

#include <QCoreApplication>
#include <QUuid>
#include <algorithm>

LinkBackDelegate::~LinkBackDelegate() = default;
LinkBack::~LinkBack() = default;

void LinkBackPasteboard::declareTypes(const QStringList &types)
{
    m_types = types;
    m_types.removeDuplicates();
    m_entries.clear();
    ++m_changeCount;
}

void LinkBackPasteboard::setData(const QByteArray &data, const QString &type)
{
    setPropertyList(data, type);
}

QByteArray LinkBackPasteboard::data(const QString &type) const
{
    const QVariant v = m_entries.value(type);
    return v.typeId() == QMetaType::QByteArray ? v.toByteArray() : QByteArray();
}

void LinkBackPasteboard::setPropertyList(const QVariant &propertyList, const QString &type)
{
    if (!m_types.contains(type))
        m_types << type;
    m_entries.insert(type, propertyList);
}

QVariant LinkBackPasteboard::propertyList(const QString &type) const
{
    return m_entries.value(type);
}

QString LinkBackUniqueItemKey()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

bool LinkBack::publishServerWithName(const QString &name, LinkBackDelegate *delegate)
{
    return LinkBackRegistry::shared().publishServer(name, delegate);
}

namespace {
// The program that made the item, when it runs apart from this one.
QString remoteServer(const QVariantMap &data)
{
    const QString address = LinkBackData::linkBackServerAddress(data);
    const LinkBackBus &bus = LinkBackBus::shared();
    if (address.isEmpty() || !bus.isConnected() || address == bus.serviceName() ||
        !bus.isReachable(address))
        return {};
    return address;
}
} // namespace

bool linkBackCanEdit(const QVariantMap &data)
{
    return LinkBackRegistry::shared().server(LinkBackData::linkBackServerName(data)) ||
           !remoteServer(data).isEmpty();
}

std::shared_ptr<LinkBack> LinkBack::editLinkBackData(const QVariantMap &data,
                                                     const QString &sourceName,
                                                     LinkBackDelegate *delegate,
                                                     const QString &itemKey)
{
    // The program that made the item edits it while it runs; else a server
    // of the same name here does.
    if (const QString address = remoteServer(data); !address.isEmpty())
        return LinkBackBus::shared().openLink(address, data, sourceName, delegate, itemKey);
    return LinkBackRegistry::shared().openLink(data, sourceName, delegate, itemKey);
}

// --- in-process links ---

class InProcessLinkBack : public LinkBack, public std::enable_shared_from_this<InProcessLinkBack>
{
public:
    InProcessLinkBack(LinkBackDelegate *delegate, std::shared_ptr<LinkBackPasteboard> pasteboard,
                      const QString &sourceName, const QString &sourceApplicationName,
                      const QString &itemKey)
        : m_delegate(delegate), m_pasteboard(std::move(pasteboard)), m_sourceName(sourceName),
          m_sourceApplicationName(sourceApplicationName), m_itemKey(itemKey)
    {}

    void setPeer(const std::shared_ptr<InProcessLinkBack> &peer) { m_peer = peer; }
    std::shared_ptr<InProcessLinkBack> peer() const { return m_peer.lock(); }
    void setServerEnd() { m_serverEnd = true; }
    bool isServerEnd() const { return m_serverEnd; }
    LinkBackDelegate *delegate() const { return m_delegate; }

    QVariant representedObject() const override { return m_represented; }
    void setRepresentedObject(const QVariant &object) override { m_represented = object; }
    LinkBackPasteboard &pasteboard() override { return *m_pasteboard; }

    bool sendEdit() override
    {
        const std::shared_ptr<InProcessLinkBack> peer = m_peer.lock();
        if (m_closed || !peer || !peer->m_delegate)
            return false;
        peer->m_delegate->linkBackServerDidSendEdit(peer.get());
        return true;
    }

    void closeLink() override
    {
        if (m_closed)
            return;
        // The registry may hold the last reference to this end.
        const std::shared_ptr<InProcessLinkBack> self = shared_from_this();
        const std::shared_ptr<InProcessLinkBack> peer = m_peer.lock();
        m_closed = true;
        if (peer)
            peer->m_closed = true;
        LinkBackRegistry &registry = LinkBackRegistry::shared();
        registry.forget(this);
        if (peer) {
            registry.forget(peer.get());
            if (peer->m_delegate)
                peer->m_delegate->linkBackDidClose(peer.get());
        }
    }

    QString sourceName() const override { return m_sourceName; }
    QString sourceApplicationName() const override { return m_sourceApplicationName; }
    QString itemKey() const override { return m_itemKey; }

private:
    LinkBackDelegate *m_delegate;
    std::weak_ptr<InProcessLinkBack> m_peer;
    std::shared_ptr<LinkBackPasteboard> m_pasteboard;
    QVariant m_represented;
    QString m_sourceName;
    QString m_sourceApplicationName;
    QString m_itemKey;
    bool m_closed = false;
    bool m_serverEnd = false;
};

LinkBackRegistry &LinkBackRegistry::shared()
{
    static LinkBackRegistry registry;
    return registry;
}

bool LinkBackRegistry::publishServer(const QString &name, LinkBackDelegate *delegate)
{
    if (name.isEmpty() || !delegate)
        return false;
    LinkBackDelegate *present = m_servers.value(name);
    if (present && present != delegate)
        return false;
    m_servers.insert(name, delegate);
    return true;
}

void LinkBackRegistry::retractServer(const QString &name)
{
    LinkBackDelegate *server = m_servers.take(name);
    if (!server)
        return;
    // Its open links end with it; their clients are told.
    const std::vector<std::shared_ptr<LinkBack>> open = m_open;
    for (const std::shared_ptr<LinkBack> &end : open) {
        auto *link = static_cast<InProcessLinkBack *>(end.get());
        if (link->delegate() == server && link->isServerEnd())
            link->closeLink();
    }
}

LinkBackDelegate *LinkBackRegistry::server(const QString &name) const
{
    return m_servers.value(name);
}

std::shared_ptr<LinkBack> LinkBackRegistry::openLink(const QVariantMap &data,
                                                     const QString &sourceName,
                                                     LinkBackDelegate *client,
                                                     const QString &itemKey)
{
    LinkBackDelegate *serverDelegate = server(LinkBackData::linkBackServerName(data));
    if (!serverDelegate)
        return nullptr;
    // An item already open keeps its one link: the server hears the request
    // again on it and brings its editor forward instead of opening another.
    for (const std::shared_ptr<LinkBack> &end : m_open) {
        auto *link = static_cast<InProcessLinkBack *>(end.get());
        const std::shared_ptr<InProcessLinkBack> peer = link->peer();
        if (link->isServerEnd() || link->delegate() != client || link->itemKey() != itemKey ||
            itemKey.isEmpty() || !peer || peer->delegate() != serverDelegate)
            continue;
        const std::shared_ptr<LinkBack> open = end;
        serverDelegate->linkBackClientDidRequestEdit(peer.get());
        const bool stillOpen =
            std::any_of(m_open.cbegin(), m_open.cend(),
                        [&](const std::shared_ptr<LinkBack> &p) { return p == open; });
        return stillOpen ? open : nullptr;
    }
    auto pasteboard = std::make_shared<LinkBackPasteboard>();
    pasteboard->declareTypes({LinkBackPboardType});
    pasteboard->setPropertyList(data, LinkBackPboardType);
    const QString application = QCoreApplication::applicationName();
    auto clientEnd =
        std::make_shared<InProcessLinkBack>(client, pasteboard, sourceName, application, itemKey);
    auto serverEnd = std::make_shared<InProcessLinkBack>(serverDelegate, pasteboard, sourceName,
                                                         application, itemKey);
    clientEnd->setPeer(serverEnd);
    serverEnd->setPeer(clientEnd);
    serverEnd->setServerEnd();
    m_open.push_back(clientEnd);
    m_open.push_back(serverEnd);
    serverDelegate->linkBackClientDidRequestEdit(serverEnd.get());
    // A server that refused the edit has ended the link already.
    const bool open =
        std::any_of(m_open.cbegin(), m_open.cend(),
                    [&](const std::shared_ptr<LinkBack> &p) { return p == clientEnd; });
    return open ? clientEnd : nullptr;
}

void LinkBackRegistry::forget(const LinkBack *end)
{
    std::erase_if(m_open, [end](const std::shared_ptr<LinkBack> &p) { return p.get() == end; });
}
