#pragma once

#include <QString>
#include <QStringList>

// The namespaces of a MindManager map file, from the publisher's 2003
// schemas. Every URI the exporter writes derives from kSchemaHost.
namespace MMNamespaces {

inline constexpr char kSchemaHost[] = "http://schemas.mindjet.com";

inline QString onHost(const char *path)
{
    return QString::fromLatin1(kSchemaHost) + QLatin1String(path);
}
inline QString application()
{
    return onHost("/MindManager/Application/2003");
}
inline QString core()
{
    return onHost("/MindManager/Core/2003");
}
inline QString primitive()
{
    return onHost("/MindManager/Primitive/2003");
}
inline QString delta()
{
    return onHost("/MindManager/Delta/2003");
}
inline QString schemaInstance()
{
    return QStringLiteral("http://www.w3.org/2001/XMLSchema-instance");
}
inline QString xhtml()
{
    return QStringLiteral("http://www.w3.org/1999/xhtml");
}
// Each namespace followed by itself as its schema location.
inline QString schemaLocation()
{
    QStringList parts;
    for (const QString &uri : {application(), core(), delta(), primitive()})
        parts << uri << uri;
    return parts.join(QLatin1Char(' '));
}

} // namespace MMNamespaces
