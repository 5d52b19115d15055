#pragma once

#include <QString>
#include <QVariantMap>

// One announcement: a name from the system's own vocabulary, the object it is
// about (compared by identity only, never dereferenced) and optional details.
struct Notification
{
    QString name;
    const void *sender = nullptr;
    QVariantMap userInfo;
};
