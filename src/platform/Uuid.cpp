#include "platform/Uuid.h"

#include <QRandomGenerator>

QString newUUIDString()
{
    // Identifiers need to be unique, not secret: the securely seeded global
    // generator answers far quicker than asking the system for every one
    // (an import makes one per resource).
    quint32 words[4];
    QRandomGenerator::global()->fillRange(words);
    quint8 bytes[16];
    for (int i = 0; i < 16; ++i)
        bytes[i] = quint8(words[i / 4] >> (8 * (i % 4)));
    bytes[6] = quint8((bytes[6] & 0x0F) | 0x40); // version 4: random
    bytes[8] = quint8((bytes[8] & 0x3F) | 0x80); // the RFC 4122 variant
    // Written out upper case directly: converting the case afterwards
    // costs more than the rest.
    static constexpr char16_t Digits[] = u"0123456789ABCDEF";
    QString text(36, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            *out++ = u'-';
        *out++ = Digits[bytes[i] >> 4];
        *out++ = Digits[bytes[i] & 0x0F];
    }
    return text;
}
