#pragma once

#include "support/LinkBackData.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

class LinkBack;

// Hears what happens on a link: a server hears edit requests, both sides hear
// edits sent back and the end of the link.
class LinkBackDelegate
{
public:
    virtual ~LinkBackDelegate();
    virtual void linkBackClientDidRequestEdit(LinkBack *link) = 0;
    virtual void linkBackServerDidSendEdit(LinkBack *link) = 0;
    virtual void linkBackDidClose(LinkBack *link) = 0;
};

// The data a link carries: typed entries that either side writes and reads.
class LinkBackPasteboard
{
public:
    // Starts a new content with these types; counts a change.
    void declareTypes(const QStringList &types);
    QStringList types() const { return m_types; }
    bool hasType(const QString &type) const { return m_types.contains(type); }
    // A type not declared yet is added.
    void setData(const QByteArray &data, const QString &type);
    QByteArray data(const QString &type) const;
    void setPropertyList(const QVariant &propertyList, const QString &type);
    QVariant propertyList(const QString &type) const;
    // Grows with every new content.
    int changeCount() const { return m_changeCount; }

private:
    QStringList m_types;
    QMap<QString, QVariant> m_entries;
    int m_changeCount = 0;
};

// The type of LinkBack data on a link's pasteboard.
extern const QString LinkBackPboardType;
// A new key, unique across runs, that names an embedded item.
QString LinkBackUniqueItemKey();

// The LinkBack data that an embedding application keeps with an item.
namespace LinkBackData {
QVariantMap linkBackDataWithServerName(const QString &serverName, const QVariant &appData);
QVariant linkBackAppData(const QVariantMap &linkBackData);
QString linkBackEditMenuTitle(const QVariantMap &linkBackData);
// The server that made the item.
QString linkBackServerName(const QVariantMap &linkBackData);
} // namespace LinkBackData

// One end of a live link between the application that embeds an item and the
// server that made it.
class LinkBack
{
public:
    virtual ~LinkBack();

    // Edit requests for `name` reach `delegate` (not owned) from now on. False
    // when another delegate serves that name.
    static bool publishServerWithName(const QString &name, LinkBackDelegate *delegate);
    // Asks the server named in `data` to edit the item; nullptr when no such
    // server can be reached.
    static std::shared_ptr<LinkBack> editLinkBackData(const QVariantMap &data,
                                                      const QString &sourceName,
                                                      LinkBackDelegate *delegate,
                                                      const QString &itemKey);

    virtual QVariant representedObject() const = 0;
    virtual void setRepresentedObject(const QVariant &object) = 0;
    virtual LinkBackPasteboard &pasteboard() = 0;
    // The other side receives the pasteboard's data; false when the link has
    // ended or nobody is there to hear it.
    virtual bool sendEdit() = 0;
    // Ends the link; the other side is told.
    virtual void closeLink() = 0;
    // The embedding document and application.
    virtual QString sourceName() const = 0;
    virtual QString sourceApplicationName() const = 0;
    virtual QString itemKey() const = 0;
};
