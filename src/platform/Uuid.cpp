#include "platform/Uuid.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QUuid>

QString newUUIDString()
{
    // Identifiers need to be unique, not secret: the securely seeded global
    // generator answers far quicker than asking the system for every one
    // (an import makes one per resource).
    quint32 words[4];
    QRandomGenerator::global()->fillRange(words);
    QByteArray bytes(reinterpret_cast<const char *>(words), sizeof words);
    bytes[6] = char((quint8(bytes[6]) & 0x0F) | 0x40); // version 4: random
    bytes[8] = char((quint8(bytes[8]) & 0x3F) | 0x80); // the RFC 4122 variant
    return QUuid::fromRfc4122(bytes).toString(QUuid::WithoutBraces).toUpper();
}
