#include "platform/Uuid.h"

#include <QUuid>

QString newUUIDString()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}
