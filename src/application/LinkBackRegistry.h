#pragma once

#include "application/LinkBack.h"

#include <QHash>
#include <QString>
#include <memory>
#include <vector>

// LinkBack within this process: published servers by name and the open links
// between them and their clients. Main thread only.
class LinkBackRegistry
{
public:
    static LinkBackRegistry &shared();

    bool publishServer(const QString &name, LinkBackDelegate *delegate);
    // Also ends the server's open links.
    void retractServer(const QString &name);
    LinkBackDelegate *server(const QString &name) const;

    // The client's end of a new link to the server named in `data`, which
    // hears the edit request on its own end; nullptr without such a server.
    std::shared_ptr<LinkBack> openLink(const QVariantMap &data, const QString &sourceName,
                                       LinkBackDelegate *client, const QString &itemKey);
    int openLinkCount() const { return int(m_open.size()); }

private:
    friend class InProcessLinkBack;
    void forget(const LinkBack *end);

    QHash<QString, LinkBackDelegate *> m_servers;
    // Both ends of every open link, kept until the link closes.
    std::vector<std::shared_ptr<LinkBack>> m_open;
};
