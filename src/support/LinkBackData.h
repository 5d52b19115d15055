#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <optional>

// The pasteboard type of LinkBack data, for links and for the clipboard.
extern const QString LinkBackPboardType;

// Titles of the edit command for no item and for several items.
QString LinkBackEditNoneMenuTitle();
QString LinkBackEditMultipleMenuTitle();

// The LinkBack data that an embedding application keeps with an item: the
// server that made it, the application data that server reads back, and
// where that server runs.
namespace LinkBackData {

// The server name this program publishes.
QString thinkwebServerName();

QVariantMap linkBackDataWithServerName(const QString &serverName, const QVariant &appData);
QVariant linkBackAppData(const QVariantMap &linkBackData);
QString linkBackEditMenuTitle(const QVariantMap &linkBackData);
// The server that made the item.
QString linkBackServerName(const QVariantMap &linkBackData);
// The bus address of the program that made the item; empty when it made the
// data without being on a bus.
QString linkBackServerAddress(const QVariantMap &linkBackData);
// The bus address new data name; empty while this program is on no bus.
void setLocalServerAddress(const QString &address);
QString localServerAddress();

// LinkBack data as the clipboard carries it (an XML property list), and back;
// nothing for data that is not a dictionary.
std::optional<QByteArray> pasteboardData(const QVariantMap &linkBackData);
std::optional<QVariantMap> fromPasteboardData(const QByteArray &data);

} // namespace LinkBackData
