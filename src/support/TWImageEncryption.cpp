#include "support/TWImageEncryption.h"

namespace {

constexpr char key[] = "Thinkweb library pictures, 1.0";
constexpr qsizetype keyLength = sizeof key - 1;

QByteArray applied(const QByteArray &data)
{
    QByteArray result(data.size(), Qt::Uninitialized);
    const char *in = data.constData();
    char *out = result.data();
    for (qsizetype i = 0; i < data.size(); ++i) {
        // The round number is mixed in, so that runs of equal bytes do not
        // show the key.
        const auto round = static_cast<unsigned char>(i / keyLength);
        out[i] = char(static_cast<unsigned char>(in[i]) ^
                      static_cast<unsigned char>(key[i % keyLength]) ^ round);
    }
    return result;
}

} // namespace

namespace TWImageEncryption {

QByteArray decryptedData(const QByteArray &data)
{
    return applied(data);
}

QByteArray encryptedData(const QByteArray &data)
{
    return applied(data);
}

} // namespace TWImageEncryption
