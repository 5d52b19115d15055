#include "platform/TWLocalizedString.h"

#include <QCoreApplication>

QString TWLocalizedString(const char *table, const QString &key)
{
    if (key.isEmpty())
        return key;
    // Without an installed translator Qt hands back the source text.
    const QByteArray utf8 = key.toUtf8();
    return QCoreApplication::translate(table, utf8.constData());
}
