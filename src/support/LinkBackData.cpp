#include "support/LinkBackData.h"

#include "support/PropertyList.h"

#include <QCoreApplication>
#include <QDebug>

// The same text as the canvas's name for the type, which cannot see this one
// while static objects are made.
const QString LinkBackPboardType = QStringLiteral("application/x-linkback-data");

QString LinkBackEditNoneMenuTitle()
{
    return QStringLiteral("Edit LinkBack Item");
}

QString LinkBackEditMultipleMenuTitle()
{
    return QStringLiteral("Edit Multiple LinkBack Items");
}

namespace LinkBackData {

QString thinkwebServerName()
{
    return QStringLiteral("ThinkwebLinkBackServer");
}

namespace {
const QString ServerNameKey = QStringLiteral("serverName");
const QString ServerApplicationNameKey = QStringLiteral("serverApplicationName");
const QString ServerAddressKey = QStringLiteral("serverAddress");
const QString AppDataKey = QStringLiteral("appData");
const QString VersionKey = QStringLiteral("version");

QString &localAddress()
{
    static QString address;
    return address;
}
} // namespace

QVariantMap linkBackDataWithServerName(const QString &serverName, const QVariant &appData)
{
    QVariantMap data{{ServerNameKey, serverName},
                     {ServerApplicationNameKey, QCoreApplication::applicationName()},
                     {AppDataKey, appData},
                     {VersionKey, 1}};
    if (!localAddress().isEmpty())
        data.insert(ServerAddressKey, localAddress());
    return data;
}

QVariant linkBackAppData(const QVariantMap &linkBackData)
{
    return linkBackData.value(AppDataKey);
}

QString linkBackEditMenuTitle(const QVariantMap &linkBackData)
{
    QString name = linkBackData.value(ServerApplicationNameKey).toString();
    if (name.isEmpty())
        name = linkBackData.value(ServerNameKey).toString();
    return name.isEmpty() ? QStringLiteral("Edit LinkBack Item")
                          : QStringLiteral("Edit in %1").arg(name);
}

QString linkBackServerName(const QVariantMap &linkBackData)
{
    return linkBackData.value(ServerNameKey).toString();
}

QString linkBackServerAddress(const QVariantMap &linkBackData)
{
    return linkBackData.value(ServerAddressKey).toString();
}

void setLocalServerAddress(const QString &address)
{
    localAddress() = address;
}

QString localServerAddress()
{
    return localAddress();
}

std::optional<QByteArray> pasteboardData(const QVariantMap &linkBackData)
{
    QString error;
    std::optional<QByteArray> data = PropertyList::dataWithPropertyList(linkBackData, &error);
    if (!data)
        qWarning().noquote() << "LinkBack data cannot be written:" << error;
    return data;
}

std::optional<QVariantMap> fromPasteboardData(const QByteArray &data)
{
    QString error;
    const std::optional<QVariant> value = PropertyList::propertyListWithData(data, &error);
    if (!value || value->typeId() != QMetaType::QVariantMap) {
        qWarning().noquote() << "LinkBack data cannot be read:"
                             << (value ? QStringLiteral("no dictionary") : error);
        return std::nullopt;
    }
    return value->toMap();
}

} // namespace LinkBackData
